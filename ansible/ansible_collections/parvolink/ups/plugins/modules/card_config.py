#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: card_config
short_description: Sets fields of a UPS network card's configuration
description:
  - Reads the card's configuration with C(parvolink-cli config set), changes only the fields
    given, checks them as the window's configuration dialog does, and writes them.
  - A card that already has every value is left alone (no write is sent), and the task is
    not changed. In check mode nothing is written and the diff shows what would change.
  - Runs on a host of the card's LAN (the playbooks delegate each card's tasks to its site's
    host).
version_added: "1.0.0"
author: Parvolink developers (@parvolink)
extends_documentation_fragment:
  - parvolink.ups.card
  - parvolink.ups.card.writes
options:
  settings:
    description:
      - Field names and values, as C(parvolink-cli config set) takes them, such as
        C(sntp-server-1), C(host-name), C(http-port), C(time-zone).
    type: dict
    required: true
notes:
  - Needs parvolink-cli on the host the task runs on.
"""

EXAMPLES = r"""
- name: The SNTP server on every card
  parvolink.ups.card_config:
    card: "{{ parvolink_card }}"
    password: "{{ parvolink_password }}"
    settings:
      sntp-server-1: 192.168.1.1
      time-source: sntp
"""

RETURN = r"""
record:
  description: parvolink-cli's record for the card.
  returned: always
  type: dict
  sample: {"card": "192.168.1.20", "result": "done", "written": true,
           "changes": [{"field": "sntp-server-1", "before": "0.0.0.0", "after": "192.168.1.1"}]}
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.parvolink.ups.plugins.module_utils.parvolink import (
    CARD_ARGS, exit_with_record, one_record, run_cli)


def setting_text(value):
    """A value as the command line takes it: yes/no as Ansible writes booleans become the card's
    enabled/disabled."""
    if isinstance(value, bool):
        return "enabled" if value else "disabled"
    return str(value)


def main():
    arguments = dict(CARD_ARGS, settings=dict(type="dict", required=True))
    module = AnsibleModule(argument_spec=arguments, supports_check_mode=True)
    p = module.params
    if not p["settings"]:
        module.fail_json(msg="settings: give at least one field")
    words = ["config", "set", p["card"]]
    words += ["%s=%s" % (name, setting_text(value)) for name, value in sorted(p["settings"].items())]
    if module.check_mode:
        words.append("--check")
    rc, records = run_cli(module, words, password=p["password"])
    record = one_record(module, records)
    exit_with_record(module, rc, record)


if __name__ == "__main__":
    main()
