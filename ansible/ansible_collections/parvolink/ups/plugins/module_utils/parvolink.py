# -*- coding: utf-8 -*-
# SPDX-License-Identifier: GPL-3.0-or-later
"""What the modules share: parvolink-cli run with its JSON, and what its records mean.

Every exchange with a card is parvolink-cli's; nothing here speaks to a card. A module builds
the command line, hands the passwords over in the environment (never in argv), and reads one
JSON record per card.
"""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json
import re

# The options every card module takes.
CARD_ARGS = dict(
    card=dict(type="str", required=True),
    account=dict(type="str", default="admin"),
    password=dict(type="str", no_log=True),
    cli=dict(type="path", default="parvolink-cli"),
)

_NUMBER = re.compile(r"^[ \t]*\+?([0-9]*\.?[0-9]*)")


def read_version(text):
    """A version as the window reads it: the leading number, or when that is 0 the number after
    the first character, so "V2.01" and "2.01" are both 2.01."""
    text = str(text)

    def number(part):
        match = _NUMBER.match(part)
        try:
            return float(match.group(1)) if match and match.group(1) not in ("", ".") else 0.0
        except ValueError:
            return 0.0

    return number(text) or number(text[1:])


def older(have, wanted):
    """True when the card's version have is older than wanted."""
    return read_version(have) < read_version(wanted)


def is_changed(record):
    """A write that changed the card, or with --check would: done, with changes."""
    return record.get("result") == "done" and bool(record.get("changes"))


def is_failure(record):
    return record.get("result") not in ("done", "unchanged")


# An audit's severities, the least first.
SEVERITIES = ["info", "low", "medium", "high"]


def findings_at_or_above(findings, least):
    """An audit's findings of severity least or above; one of a severity not known is kept, as
    an audit does not drop what it cannot rank."""
    floor = SEVERITIES.index(least)
    return [f for f in findings
            if f.get("severity") not in SEVERITIES or SEVERITIES.index(f["severity"]) >= floor]


def diff_of(records):
    """The before and after of every field a write changes, as Ansible shows a diff."""
    before, after = {}, {}
    for record in records:
        for change in record.get("changes") or []:
            before[change["field"]] = change["before"]
            after[change["field"]] = change["after"]
    return dict(before=before, after=after)


def failure_message(record):
    """One line: the card, its result and what it said."""
    text = "%s: %s" % (record.get("card", "?"), record.get("result", "?"))
    if record.get("message"):
        text += ": " + record["message"]
    return text


def cli_environment(password=None, auth_password=None, priv_password=None):
    """The passwords, where parvolink-cli reads them: never on its command line."""
    env = {"LC_ALL": "C.UTF-8"}
    for name, value in (("PARVOLINK_PASSWORD", password),
                        ("PARVOLINK_AUTH_PASSWORD", auth_password),
                        ("PARVOLINK_PRIV_PASSWORD", priv_password)):
        if value is not None:
            env[name] = value
    return env


def parse_records(out):
    """The JSON array parvolink-cli printed; None when it printed none."""
    try:
        records = json.loads(out)
    except ValueError:
        return None
    return records if isinstance(records, list) else None


def run_cli(module, words, password=None, auth_password=None, priv_password=None):
    """Runs parvolink-cli WORDS --format json; returns (exit code, records). Fails the module with
    parvolink-cli's own line when it printed no JSON (bad usage, a file it cannot read)."""
    cli = module.params["cli"]
    if "/" not in cli:
        cli = module.get_bin_path(cli, required=True)
    args = [cli] + list(words) + ["--format", "json"]
    if module.params.get("account") and words[0] not in ("discover", "status"):
        args += ["--account", module.params["account"]]
    rc, out, err = module.run_command(
        args, environ_update=cli_environment(password, auth_password, priv_password))
    records = parse_records(out)
    if records is None:
        lines = [line for line in err.splitlines() if line.strip()]
        module.fail_json(msg=lines[-1] if lines else "parvolink-cli exited with %d" % rc, rc=rc)
    return rc, records


def one_record(module, records):
    """The one card's record."""
    if len(records) != 1:
        module.fail_json(msg="parvolink-cli gave %d records for one card" % len(records))
    return records[0]


def exit_with_record(module, rc, record):
    """Ends a module that wrote (or with --check would write) one card: changed where the card
    changed, the diff when asked, failed with one line when the card did not take it."""
    result = dict(changed=is_changed(record), record=record, rc=rc)
    if module._diff:
        result["diff"] = diff_of([record])
    if is_failure(record):
        module.fail_json(msg=failure_message(record), **result)
    module.exit_json(**result)
