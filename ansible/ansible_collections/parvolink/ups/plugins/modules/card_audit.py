#!/usr/bin/python
# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
# GNU General Public License v3.0+ (see https://www.gnu.org/licenses/gpl-3.0.txt)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: card_audit
short_description: What on a UPS network card an administrator should change
description:
  - Audits the card with C(parvolink-cli audit), which reads it and its SNMP agent and writes
    nothing, and returns its findings, each with a stable id, a severity and a sentence to act on.
  - A card that cannot be read is a finding of its own (C(card-unreadable)), never skipped.
  - Fails when a finding at or above I(fail_on) was found, naming them.
version_added: "1.1.0"
author: Parvolink developers (@parvolink)
extends_documentation_fragment:
  - parvolink.ups.card
  - parvolink.ups.card.reads
options:
  min_version:
    description: A finding for firmware older than this version.
    type: str
  max_clock_drift:
    description:
      - A finding for a clock more than this off the site host's, the card's time zone taken
        into account; seconds, or with C(s), C(m), C(h) or C(d).
    type: str
    default: 5m
  fail_on:
    description:
      - The least severity that fails the task; C(never) returns the findings without failing.
    type: str
    choices: [info, low, medium, high, never]
    default: high
"""

EXAMPLES = r"""
- name: Audit every card; fail the cards with a finding of medium or above
  parvolink.ups.card_audit:
    card: "{{ parvolink_card }}"
    password: "{{ parvolink_card_password }}"
    min_version: "2.40"
    fail_on: medium
  delegate_to: "{{ parvolink_site }}"
"""

RETURN = r"""
findings:
  description: The findings, the most severe first.
  returned: when parvolink-cli gave the card's record
  type: list
  elements: dict
  contains:
    id:
      description: The finding's id, such as C(telnet-enabled).
      type: str
    severity:
      description: C(info), C(low), C(medium) or C(high).
      type: str
    text:
      description: What was found and what to change.
      type: str
record:
  description: The card's record as parvolink-cli gave it.
  returned: when parvolink-cli gave the card's record
  type: dict
rc:
  description: parvolink-cli's exit code.
  returned: when the task fails
  type: int
"""

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.parvolink.ups.plugins.module_utils.parvolink import (
    CARD_ARGS, SEVERITIES, failure_message, findings_at_or_above, one_record, run_cli)

# parvolink-cli audit's exit codes: nothing at --fail-on, and a finding at or above it.
NOTHING_TO_FAIL = 0
FINDINGS = 5


def main():
    arguments = dict(CARD_ARGS,
                     min_version=dict(type="str"),
                     max_clock_drift=dict(type="str", default="5m"),
                     fail_on=dict(type="str", default="high", choices=SEVERITIES + ["never"]))
    module = AnsibleModule(argument_spec=arguments, supports_check_mode=True)
    p = module.params
    words = ["audit", p["card"], "--max-clock-drift", p["max_clock_drift"],
             "--fail-on", "high" if p["fail_on"] == "never" else p["fail_on"]]
    if p["min_version"]:
        words += ["--min-version", p["min_version"]]
    rc, records = run_cli(module, words, password=p["password"])
    record = one_record(module, records)
    findings = record.get("findings") or []
    # No rc in a result that does not fail: Ansible fails any task whose rc is not 0.
    result = dict(changed=False, findings=findings, record=record)
    if rc not in (NOTHING_TO_FAIL, FINDINGS):
        module.fail_json(msg="parvolink-cli audit exited with %d: %s" % (rc, failure_message(record)),
                         rc=rc, **result)
    if rc == FINDINGS and p["fail_on"] != "never":
        named = ", ".join("%s (%s)" % (f.get("id"), f.get("severity"))
                          for f in findings_at_or_above(findings, p["fail_on"]))
        module.fail_json(msg="%s: %s" % (p["card"], named), rc=rc, **result)
    module.exit_json(**result)


if __name__ == "__main__":
    main()
