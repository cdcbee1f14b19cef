#!/usr/bin/env python3
"""Prints the GoogleTest skips of ctest runs: one line per test program that
skipped tests, naming each with its reason, then a total.

Usage: skip_summary.py LABEL=BUILD_TREE...   (reads BUILD_TREE's
Testing/Temporary/LastTest.log, the full output of its last ctest run)
"""
import os
import re
import sys

RUN = re.compile(r"^\[ RUN      \] (\S+)")
SKIPPED = re.compile(r"^\[  SKIPPED \] (\S+) \(")
TEST_BLOCK = re.compile(r"^\d+/\d+ Test: (\S+)")


def program_of(test):
    # Shards are named program/index.
    return test.split("/")[0]


def skips_in(log_path):
    """{program: [(test, reason)]} from one LastTest.log."""
    found = {}
    program = None
    current = None
    reason = []
    in_reason = False
    with open(log_path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\r\n")
            m = TEST_BLOCK.match(line)
            if m:
                program = program_of(m.group(1))
                continue
            m = RUN.match(line)
            if m:
                current, reason, in_reason = m.group(1), [], False
                continue
            if line.endswith(": Skipped") and current:
                in_reason = True
                continue
            m = SKIPPED.match(line)
            if m and program:
                text = " ".join(r.strip() for r in reason if r.strip()) or "no reason given"
                found.setdefault(program, [])
                if (m.group(1), text) not in found[program]:
                    found[program].append((m.group(1), text))
                current, in_reason = None, False
                continue
            if in_reason:
                reason.append(line)
    return found


def main():
    total = 0
    programs = 0
    for arg in sys.argv[1:]:
        label, _, tree = arg.partition("=")
        log = os.path.join(tree, "Testing", "Temporary", "LastTest.log")
        if not os.path.exists(log):
            continue
        for program, tests in sorted(skips_in(log).items()):
            programs += 1
            total += len(tests)
            listed = "; ".join("%s (%s)" % t for t in tests)
            print("skipped in %s %s: %s" % (label, program, listed))
    if total:
        print("== %d test(s) skipped in %d program(s)" % (total, programs))
    else:
        print("== no test skipped")


if __name__ == "__main__":
    main()
