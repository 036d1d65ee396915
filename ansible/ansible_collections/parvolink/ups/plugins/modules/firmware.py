#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: firmware
short_description: Upgrades a UPS network card's firmware when it is older than wanted
description:
  - Reads the card's version; when it is older than I(version), C(parvolink-cli upgrade) serves
    the file over TFTP from the host that runs the task and has the card fetch it.
  - Changed only where the card was older; done only when the card came back running the
    file's version. A card that does not come back fails the task, which with
    C(max_fail_percentage=0) stops a rolling upgrade after its batch.
  - The host needs UDP port 69 (root, or parvolink-cli with its bind helper). Port 69 is one
    per host, so the upgrades one site host runs for several cards take turns (a lock file);
    sites run in parallel.
version_added: "1.0.0"
author: Parvolink developers (@parvolink)
extends_documentation_fragment:
  - parvolink.ups.card
  - parvolink.ups.card.writes
options:
  file:
    description: The firmware file, on the host that runs the task.
    type: path
    required: true
  version:
    description: The file's version; cards older than it are upgraded (C(V2.40) and C(2.40) are one).
    type: str
    required: true
  confirm_timeout:
    description: Seconds to wait for the card to come back with the new version.
    type: int
    default: 300
  lock_file:
    description: The file whose lock the upgrades of one host take in turn.
    type: path
    default: /run/lock/parvolink-upgrade.lock
"""

EXAMPLES = r"""
- name: Rolling upgrade, two cards at a time, stopping at the first failure
  hosts: ups_cards
  serial: 2
  max_fail_percentage: 0
  gather_facts: false
  tasks:
    - parvolink.ups.firmware:
        card: "{{ parvolink_card }}"
        password: "{{ parvolink_password }}"
        file: /srv/firmware/nmc-2.40.bin
        version: "2.40"
"""

RETURN = r"""
version_before:
  description: The card's version before the task.
  returned: always
  type: str
record:
  description: parvolink-cli's upgrade record, when the card was upgraded.
  returned: when changed and not in check mode
  type: dict
"""

import fcntl

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.parvolink.ups.plugins.module_utils.parvolink import (
    CARD_ARGS, failure_message, is_failure, older, one_record, run_cli)


def main():
    arguments = dict(CARD_ARGS,
                     file=dict(type="path", required=True),
                     version=dict(type="str", required=True),
                     confirm_timeout=dict(type="int", default=300),
                     lock_file=dict(type="path", default="/run/lock/parvolink-upgrade.lock"))
    module = AnsibleModule(argument_spec=arguments, supports_check_mode=True)
    p = module.params
    rc, records = run_cli(module, ["config", "get", p["card"]], password=p["password"])
    current = one_record(module, records)
    if is_failure(current):
        module.fail_json(msg=failure_message(current), rc=rc)
    have = current.get("version", "")
    result = dict(changed=older(have, p["version"]), version_before=have)
    if module._diff:
        result["diff"] = dict(before=dict(version=have),
                              after=dict(version=p["version"] if result["changed"] else have))
    if not result["changed"] or module.check_mode:
        module.exit_json(**result)
    # One TFTP server per host: this host's other upgrades wait for this one to end.
    with open(p["lock_file"], "a") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        rc, records = run_cli(module, ["upgrade", p["file"], p["card"],
                                       "--confirm-timeout", str(p["confirm_timeout"])],
                              password=p["password"])
    record = one_record(module, records)
    result.update(record=record, rc=rc)
    if is_failure(record):
        module.fail_json(msg=failure_message(record), **result)
    module.exit_json(**result)


if __name__ == "__main__":
    main()
