#!/usr/bin/env python3
"""Runs the conformance table on the real Win32 layer under Wine: the cases
that the simulated machine answers natively (tests/conformance), here
answered by Wine in a fresh prefix on Xvfb. ConformanceOnWine.exe runs every
case once; the Wine server is then restarted, as the machine would be, and the
program runs again for what must or must not survive a restart.

    run_conformance.py --bin BUILD_WIN64 --work FOLDER              in a 64-bit prefix
    run_conformance.py --bin BUILD_WIN32 --arch x86 --work FOLDER   in a 32-bit prefix (WINEARCH=win32)

Each case prints "ok", "not ok" with what it got, "differs" where Wine answers
as the case says it differs from Windows (and why), or "skip" for a state that
only the simulated machine can be put in.
"""
import os
import re
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_e2e import Failure, cannot_run, prefix_arguments, prefix_of_its_own  # noqa: E402


def run_phase(wine, program, label, *args):
    """One run of the table's program; its lines, and whether it ended well."""
    run = wine.spawn("wine", program, *args, cwd=wine.tools).finish(600)
    lines = [line for line in run.stdout.splitlines() if line.strip()]
    for line in lines:
        print(line, flush=True)
    summary = [line for line in lines if re.match(r"\d+ cases run", line)]
    if not summary:
        print("not ok - %s: the program ended with %d before its summary: %s" % (
            label, run.returncode, run.stderr.strip()[-400:]), flush=True)
    return lines, run.returncode == 0 and bool(summary)


def main():
    args = prefix_arguments()
    refused = cannot_run(args.arch)
    if refused is not None:
        return refused
    started = time.monotonic()
    display, wine = prefix_of_its_own(args)
    passed = True
    lines = []
    try:
        os.makedirs(wine.tools, exist_ok=True)
        for name in ("ConformanceOnWine.exe", "StatusMonitor.exe"):
            shutil.copy(os.path.join(wine.binaries, name), wine.tools)
        wine.create_prefix()
        program = os.path.join(wine.tools, "ConformanceOnWine.exe")
        first, ok = run_phase(wine, program, "the table")
        passed &= ok
        # A restart: the server ends (and with it every volatile key), a new
        # one starts, and the user logs on: wineboot starts the Run keys' programs.
        wine.stop()
        wine.command("wineserver", "-w", timeout=120)
        wine.start_server()
        wine.command("wineboot", timeout=120)
        second, ok = run_phase(wine, program, "the table after the restart", "--after-restart")
        passed &= ok
        lines = first + second
    except (Failure, OSError) as error:
        print("not ok - the table could be run: %s" % error, flush=True)
        passed = False
    finally:
        wine.stop()
        display.stop()
    failed = [line for line in lines if line.startswith("not ok")]
    print("figure: conformance cases answered by Wine (%s) = %d" % (
        args.arch, sum(1 for line in lines if line.startswith("ok - ") or line.startswith("not ok - "))))
    print("figure: answers where Wine differs from Windows (%s) = %d" % (
        args.arch, sum(1 for line in lines if line.startswith("differs - "))))
    print("figure: Wine conformance wall time (s) = %.1f" % (time.monotonic() - started))
    return 0 if passed and not failed else 1


if __name__ == "__main__":
    sys.exit(main())
