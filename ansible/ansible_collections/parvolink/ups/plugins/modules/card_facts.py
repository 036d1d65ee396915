#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: card_facts
short_description: A UPS network card's identity, configuration, SNMPv3 users and UPS status
description:
  - Reads the card with C(parvolink-cli config get), C(snmpv3 list) and, when SNMP credentials
    are given, C(status), and returns them as facts of the card host.
version_added: "1.0.0"
author: Parvolink developers (@parvolink)
extends_documentation_fragment:
  - parvolink.ups.card
  - parvolink.ups.card.reads
options:
  gather:
    description: What to read.
    type: list
    elements: str
    choices: [configuration, users, status]
    default: [configuration, users]
  snmp_user:
    description: For C(status), the SNMPv3 user to read the UPS with.
    type: str
  snmp_level:
    description: For C(status), that user's level.
    type: str
    choices: [noAuthNoPriv, authNoPriv, authPriv]
    default: authPriv
  snmp_auth_password:
    description: For C(status), the user's authentication password.
    type: str
  snmp_priv_password:
    description: For C(status), the user's privacy password.
    type: str
attributes:
  facts:
    description: The card as the fact C(ups_card).
    support: full
"""

EXAMPLES = r"""
- name: Every card's configuration and users
  parvolink.ups.card_facts:
    card: "{{ parvolink_card }}"
    password: "{{ parvolink_password }}"
- ansible.builtin.debug:
    var: ups_card.configuration['sntp-server-1']
"""

RETURN = r"""
ansible_facts:
  description: The card, as C(ups_card).
  returned: always
  type: dict
  contains:
    ups_card:
      description: C(version), C(configuration), C(engine-id), C(context), C(users), C(status).
      type: dict
      returned: always
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.parvolink.ups.plugins.module_utils.parvolink import (
    CARD_ARGS, failure_message, is_failure, one_record, run_cli)


def read(module, words, **passwords):
    rc, records = run_cli(module, words, **passwords)
    record = one_record(module, records)
    if is_failure(record):
        module.fail_json(msg=failure_message(record), rc=rc)
    return record


def main():
    levels = ["noAuthNoPriv", "authNoPriv", "authPriv"]
    arguments = dict(CARD_ARGS,
                     gather=dict(type="list", elements="str", default=["configuration", "users"],
                                 choices=["configuration", "users", "status"]),
                     snmp_user=dict(type="str"),
                     snmp_level=dict(type="str", default="authPriv", choices=levels),
                     snmp_auth_password=dict(type="str", no_log=True),
                     snmp_priv_password=dict(type="str", no_log=True))
    module = AnsibleModule(argument_spec=arguments, supports_check_mode=True)
    p = module.params
    card = {}
    if "configuration" in p["gather"]:
        record = read(module, ["config", "get", p["card"]], password=p["password"])
        card.update(version=record.get("version"), configuration=record.get("configuration"))
    if "users" in p["gather"]:
        record = read(module, ["snmpv3", "list", p["card"]], password=p["password"])
        card.update({key: record.get(key) for key in ("engine-id", "context", "users")})
    if "status" in p["gather"]:
        if not p["snmp_user"]:
            module.fail_json(msg="gather status needs snmp_user")
        record = read(module, ["status", p["card"], "--user", p["snmp_user"],
                               "--level", p["snmp_level"]],
                      auth_password=p["snmp_auth_password"], priv_password=p["snmp_priv_password"])
        card.update({"mac-address": record.get("mac-address"), "status": record.get("ups")})
    module.exit_json(changed=False, ansible_facts=dict(ups_card=card))


if __name__ == "__main__":
    main()
