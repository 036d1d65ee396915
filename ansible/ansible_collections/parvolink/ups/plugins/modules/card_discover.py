#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: card_discover
short_description: Finds the UPS network cards of the LAN of the host that runs it
description:
  - Runs C(parvolink-cli discover) on a site's host; its broadcast does not cross routers, so
    each site's host finds its own cards.
  - Returns every card that answered; a play then makes them inventory hosts with
    C(ansible.builtin.add_host), grouped by site, model and version (see the collection's
    README and its example playbooks).
version_added: "1.0.0"
author: Parvolink developers (@parvolink)
extends_documentation_fragment:
  - parvolink.ups.card.reads
options:
  lan:
    description: The network to search, such as C(192.168.1.0/24).
    type: str
    required: true
  large_sweep:
    description: Allow a network larger than a /16 (its sweep takes hours).
    type: bool
    default: false
  cli:
    description: The parvolink-cli program on the host that runs the task.
    type: path
    default: parvolink-cli
"""

EXAMPLES = r"""
- name: The cards of this site
  parvolink.ups.card_discover:
    lan: 192.168.1.0/24
  register: found
"""

RETURN = r"""
cards:
  description: Each card that answered, as C(parvolink-cli discover) lists it.
  returned: always
  type: list
  elements: dict
  sample: [{"ip-address": "192.168.1.20", "host-name": "ups-1", "version": "2.40",
            "model": "NMC-3", "mac-address": "00:C0:B7:01:02:03", "flash-size": "256K",
            "duplicate-mac": ""}]
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.parvolink.ups.plugins.module_utils.parvolink import run_cli


def main():
    module = AnsibleModule(
        argument_spec=dict(lan=dict(type="str", required=True),
                           large_sweep=dict(type="bool", default=False),
                           cli=dict(type="path", default="parvolink-cli")),
        supports_check_mode=True)
    words = ["discover", "--lan", module.params["lan"]]
    if module.params["large_sweep"]:
        words.append("--large-sweep")
    rc, cards = run_cli(module, words)
    if rc not in (0, 3):  # 3: no card answered, which is an empty site, not a failure
        module.fail_json(msg="parvolink-cli discover exited with %d" % rc, rc=rc, cards=cards)
    module.exit_json(changed=False, cards=cards)


if __name__ == "__main__":
    main()
