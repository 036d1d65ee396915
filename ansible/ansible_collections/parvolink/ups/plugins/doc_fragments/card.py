# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment(object):
    # The options of every module that works on one card.
    DOCUMENTATION = r"""
options:
  card:
    description: The card's IPv4 address.
    type: str
    required: true
  account:
    description: The card's administrator account.
    type: str
    default: admin
  password:
    description: The account's password (from a vault); given to parvolink-cli in its environment.
    type: str
  cli:
    description: The parvolink-cli program on the host that runs the task.
    type: path
    default: parvolink-cli
"""

    # The attributes of every module that writes to a card.
    WRITES = r"""
attributes:
  check_mode:
    description: Cards are read and checked as in a real run; nothing is written.
    support: full
  diff_mode:
    description: Each field that changes, as the card has it and as it would have it.
    support: full
"""

    # The attributes of every module that only reads.
    READS = r"""
attributes:
  check_mode:
    description: The module only reads; it runs in check mode as it does otherwise.
    support: full
  diff_mode:
    description: Nothing is changed.
    support: none
"""
