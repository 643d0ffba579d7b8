#!/usr/bin/env python3
"""Lists the tests that CTest skipped, each with the reason it gave: CTest
counts a skip as no failure, so the test command names them at its end.

    skipped_tests.py JUNIT.xml...

Each file is one CTest run's --output-junit report. A test's reason is its
"skipped: ..." line (our harness prints one before anything else), or
GoogleTest's skip message, or else the last line it printed.
"""
import os
import sys
import xml.etree.ElementTree as ElementTree


def reason(output):
    lines = [line.strip() for line in output.splitlines() if line.strip()]
    for line in lines:
        if line.lower().startswith("skipped: "):
            return line[len("skipped: "):]
    # GoogleTest: "file:line: Skipped" and the message on the lines after it.
    for index, line in enumerate(lines):
        if line.endswith(": Skipped") and index + 1 < len(lines) and not lines[index + 1].startswith("["):
            return lines[index + 1]
    return lines[-1] if lines else "(it printed no reason)"


def main():
    skipped = []
    for path in sys.argv[1:]:
        if not os.path.isfile(path):
            print("skipped_tests.py: no CTest report %s (that run did not finish)" % path)
            continue
        for case in ElementTree.parse(path).getroot().iter("testcase"):
            if case.get("status") == "notrun" or case.find("skipped") is not None:
                skipped.append((case.get("name"), reason(case.findtext("system-out") or "")))
    if not skipped:
        print("Skipped tests: none.")
        return 0
    print("Skipped tests (%d), each with its reason:" % len(skipped))
    for name, why in skipped:
        print("  %s: %s" % (name, why))
    return 0


if __name__ == "__main__":
    sys.exit(main())
