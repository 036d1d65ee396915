# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
"""What the modules make of parvolink-cli's records: a change, a failure, a diff, a version."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import unittest

from ansible_collections.parvolink.ups.plugins.module_utils.parvolink import (
    cli_environment, diff_of, failure_message, findings_at_or_above, is_changed, is_failure, older,
    parse_records, read_version)


class VersionTest(unittest.TestCase):
    def test_versions_read_as_the_window_reads_them(self):
        cases = [("2.40", 2.40), ("V2.40", 2.40), (" 2.1", 2.1), ("v2.01b", 2.01), ("", 0.0),
                 ("V", 0.0), ("+3", 3.0), ("x.y", 0.0)]
        for text, number in cases:
            self.assertAlmostEqual(read_version(text), number, msg=text)

    def test_only_an_older_card_is_upgraded(self):
        cases = [("V2.10", "2.40", True), ("2.40", "V2.40", False), ("2.41", "2.40", False),
                 ("2.4", "2.40", False), ("2.1", "2.10", False), ("1.12", "2.0", True)]
        for have, wanted, expected in cases:
            self.assertEqual(older(have, wanted), expected, msg=(have, wanted))


class RecordTest(unittest.TestCase):
    change = {"field": "sntp-server-1", "before": "0.0.0.0", "after": "192.0.2.1"}

    def test_what_counts_as_a_change(self):
        cases = [
            ({"result": "done", "written": True, "changes": [self.change]}, True, False),
            ({"result": "done", "written": False, "changes": [self.change]}, True, False),  # --check
            ({"result": "unchanged", "written": False, "changes": []}, False, False),
            ({"result": "refused", "written": False, "changes": []}, False, True),
            ({"result": "held-back", "written": False, "changes": [self.change]}, False, True),
            ({"result": "no-response"}, False, True),
        ]
        for record, changed, failed in cases:
            self.assertEqual(is_changed(record), changed, msg=record)
            self.assertEqual(is_failure(record), failed, msg=record)

    def test_the_diff_is_every_field_before_and_after(self):
        other = {"field": "host-name", "before": "a", "after": "b"}
        diff = diff_of([{"changes": [self.change, other]}, {"changes": []}, {}])
        self.assertEqual(diff, {"before": {"sntp-server-1": "0.0.0.0", "host-name": "a"},
                                "after": {"sntp-server-1": "192.0.2.1", "host-name": "b"}})

    def test_a_failure_is_one_line_naming_the_card(self):
        record = {"card": "192.0.2.5", "result": "refused",
                  "message": "Account or Password mismatched."}
        self.assertEqual(failure_message(record),
                         "192.0.2.5: refused: Account or Password mismatched.")

    def test_an_audit_fails_on_the_findings_at_or_above_its_severity(self):
        findings = [{"id": "telnet-enabled", "severity": "high"},
                    {"id": "http-enabled", "severity": "medium"},
                    {"id": "clock-drift", "severity": "low"},
                    {"id": "odd", "severity": "severe"}, {"id": "bare"}]
        cases = [("high", ["telnet-enabled", "odd", "bare"]),
                 ("medium", ["telnet-enabled", "http-enabled", "odd", "bare"]),
                 ("info", ["telnet-enabled", "http-enabled", "clock-drift", "odd", "bare"])]
        for least, ids in cases:
            self.assertEqual([f["id"] for f in findings_at_or_above(findings, least)], ids,
                             msg=least)

    def test_output_that_is_not_a_json_array_is_no_records(self):
        for out in ["", "[", "{}", "parvolink-cli: bad", '"x"']:
            self.assertIsNone(parse_records(out), msg=out)
        self.assertEqual(parse_records('[{"card": "x"}]'), [{"card": "x"}])


class EnvironmentTest(unittest.TestCase):
    def test_passwords_go_to_the_environment_only_when_given(self):
        env = cli_environment(password="p", priv_password="q")
        self.assertEqual(env["PARVOLINK_PASSWORD"], "p")
        self.assertEqual(env["PARVOLINK_PRIV_PASSWORD"], "q")
        self.assertNotIn("PARVOLINK_AUTH_PASSWORD", env)


if __name__ == "__main__":
    unittest.main()
