#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: snmpv3_user
short_description: An SNMPv3 user of a UPS network card, verified on the card's agent
description:
  - I(state=present) writes the user to its row with C(parvolink-cli snmpv3 set), keys derived
    from its passwords as the window derives them. The card never gives its keys back, so the
    card's agent is asked first, and a row with the same name and level whose user already
    answers with these passwords is left alone (not changed).
  - With I(verify) the user written is proved with an authenticated SNMP GET; the task fails
    when the agent does not take it, naming the reason.
  - I(state=absent) is satisfied when no row holds the user. A card cannot remove one user
    (its protocol writes a user, or resets them all). With I(reset=true) every user is reset
    to the card's defaults, otherwise the task fails saying so.
version_added: "1.0.0"
author: Parvolink developers (@parvolink)
extends_documentation_fragment:
  - parvolink.ups.card
  - parvolink.ups.card.writes
options:
  index:
    description: The user's row, 0 to 7.
    type: int
    required: true
  name:
    description: The user's name, at most 8 characters.
    type: str
    required: true
  level:
    description: The user's security level.
    type: str
    choices: [noAuthNoPriv, authNoPriv, authPriv]
    default: authPriv
  auth_password:
    description: The authentication password (8 to 16 characters), for authNoPriv and authPriv.
    type: str
  priv_password:
    description: The privacy password (8 to 16 characters), for authPriv.
    type: str
  state:
    description: Whether the user is on the card.
    type: str
    choices: [present, absent]
    default: present
  verify:
    description: Prove the user written over SNMP before the task is done.
    type: bool
    default: true
  reset:
    description: With I(state=absent), reset every user of a card that holds this one.
    type: bool
    default: false
"""

EXAMPLES = r"""
- name: The monitoring user on every card
  parvolink.ups.snmpv3_user:
    card: "{{ parvolink_card }}"
    password: "{{ parvolink_password }}"
    index: 1
    name: monitor
    level: authPriv
    auth_password: "{{ snmp_auth_password }}"
    priv_password: "{{ snmp_priv_password }}"
"""

RETURN = r"""
record:
  description: parvolink-cli's record for the card.
  returned: always
  type: dict
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.parvolink.ups.plugins.module_utils.parvolink import (
    CARD_ARGS, exit_with_record, is_failure, one_record, run_cli)


def present(module):
    p = module.params
    words = ["snmpv3", "set", p["card"], "--index", str(p["index"]), "--user", p["name"],
             "--level", p["level"]]
    if module.check_mode:
        words.append("--check")
    elif p["verify"]:
        words.append("--verify")
    rc, records = run_cli(module, words, password=p["password"],
                          auth_password=p["auth_password"], priv_password=p["priv_password"])
    return rc, one_record(module, records)


def absent(module):
    p = module.params
    rc, records = run_cli(module, ["snmpv3", "list", p["card"]], password=p["password"])
    listing = one_record(module, records)
    if is_failure(listing):
        return rc, listing
    held = [user["index"] for user in listing.get("users", []) if user.get("user") == p["name"]]
    if not held:
        return rc, dict(listing, result="unchanged", changes=[])
    if not p["reset"]:
        module.fail_json(msg="%s: user %s is in row %s; a card cannot remove one user: "
                             "reset=true resets every user" % (p["card"], p["name"], held[0]))
    words = ["snmpv3", "reset", p["card"]] + (["--check"] if module.check_mode else [])
    rc, records = run_cli(module, words, password=p["password"])
    record = one_record(module, records)
    record["changes"] = [dict(field="user-%d-name" % i, before=p["name"], after="") for i in held]
    return rc, record


def main():
    arguments = dict(CARD_ARGS,
                     index=dict(type="int", required=True),
                     name=dict(type="str", required=True),
                     level=dict(type="str", default="authPriv",
                                choices=["noAuthNoPriv", "authNoPriv", "authPriv"]),
                     auth_password=dict(type="str", no_log=True),
                     priv_password=dict(type="str", no_log=True),
                     state=dict(type="str", default="present", choices=["present", "absent"]),
                     verify=dict(type="bool", default=True),
                     reset=dict(type="bool", default=False))
    module = AnsibleModule(
        argument_spec=arguments, supports_check_mode=True,
        required_if=[("level", "authNoPriv", ("auth_password",)),
                     ("level", "authPriv", ("auth_password", "priv_password"))])
    if not 0 <= module.params["index"] <= 7:
        module.fail_json(msg="index: a row from 0 to 7")
    rc, record = (present if module.params["state"] == "present" else absent)(module)
    exit_with_record(module, rc, record)


if __name__ == "__main__":
    main()
