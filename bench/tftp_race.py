#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Times TFTP fetches from one server in the test LAN: run by bench/run-tftp on the PC side of
a LAN made by tests/lan/testlan, with the server command after "--". Starts the server, fetches
FILE with each client from the LAN side several times, then ten clients at once from ten card
addresses, checks every copy, stops the server and prints one JSON line of median seconds."""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

PC = "198.51.100.1"


def lan(*command):
    return ["ip", "netns", "exec", os.environ["PARVOLINK_LAN_NS"], *command]


def clients(name, out, source=None):
    url = f"tftp://{PC}/{name}"
    bind = ["--interface", source] if source else []
    return {
        "tftp-hpa": ["tftp", "-m", "binary", PC, "-c", "get", name, out],
        "curl": ["curl", "-s", "--tftp-no-options", *bind, "-o", out, url],
        "busybox": ["busybox", "tftp", "-g", "-r", name, "-l", out, PC],
    }


def wait_for_port(seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        listening = subprocess.run(["ss", "-ulnH", "sport = :69"], capture_output=True,
                                   text=True).stdout
        if listening.strip():
            return
        time.sleep(0.05)
    sys.exit("tftp_race: the server never bound port 69")


def fetch(commands, expected):
    start = time.monotonic()
    running = [subprocess.Popen(lan(*c), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
               for c, _ in commands]
    if any(p.wait(timeout=120) != 0 for p in running):
        sys.exit("tftp_race: a client failed")
    took = time.monotonic() - start
    for _, out in commands:
        with open(out, "rb") as f:
            if f.read() != expected:
                sys.exit(f"tftp_race: {out} differs from the file served")
        os.remove(out)
    return took


def main():
    path, rounds, server = sys.argv[1], int(sys.argv[2]), sys.argv[sys.argv.index("--") + 1:]
    name = os.path.basename(path)
    with open(path, "rb") as f:
        expected = f.read()
    process = subprocess.Popen(server, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wait_for_port()
        scratch = tempfile.mkdtemp()
        results = {}
        for client in ("tftp-hpa", "curl", "busybox"):
            out = os.path.join(scratch, "copy")
            times = [fetch([(clients(name, out)[client], out)], expected) for _ in range(rounds)]
            results[client] = statistics.median(times)
        ten = []
        for _ in range(rounds):
            batch = []
            for card in range(2, 12):
                out = os.path.join(scratch, f"copy{card}")
                batch.append((clients(name, out, f"198.51.100.{card}")["curl"], out))
            ten.append(fetch(batch, expected))
        results["ten-curl"] = statistics.median(ten)
        print(json.dumps(results))
    finally:
        process.terminate()
        process.wait(timeout=10)


if __name__ == "__main__":
    main()
