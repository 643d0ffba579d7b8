#!/usr/bin/env python3
"""Measures Setup.exe on the machine at hand and prints a small table.

    benchmark.py --bin BUILD_WIN64 --bin32 BUILD_WIN32 --native BUILD_NATIVE --work FOLDER [--runs N]

Every timing is the median of N runs (at least 5). Start-up and installation
are measured under Wine on Xvfb, side by side with a minimal dialog program
started the same way, so that the figures are differences on the same
machine; the times come from automate.exe, which notes the wall clock when it
finds a window or posts a click.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from run_e2e import IDC_MANUAL, IDC_PORT_OK, IDCANCEL, IDOK, IDYES, Display, Wine, finish  # noqa: E402

START_UP_SLEEP_MS = 1000   # the wait window's mandated second
MANUAL_PATH_WAITS_MS = 0   # the manual path on a port the spooler knows waits for nothing


def at(result):
    """The wall-clock time (ms) that automate.exe noted."""
    match = re.search(r"^at (\d+)$", result.stderr, re.M)
    if not match:
        raise RuntimeError("automate noted no time: " + result.stderr)
    return int(match.group(1))


def automate(wine, *args, timeout=60):
    result = wine.spawn("wine", os.path.join(wine.tools, "automate.exe"), *args).finish(timeout)
    if result.returncode != 0:
        raise RuntimeError("automate %s: %s" % (" ".join(args), result.stderr.strip()))
    return result


def watch(wine, title, text, timeout_ms=30000):
    return wine.spawn("wine", os.path.join(wine.tools, "automate.exe"), "wait", title, text, str(timeout_ms))


def shown(watcher):
    result = watcher.finish(60)
    if result.returncode != 0:
        raise RuntimeError("the window did not show: " + result.stderr)
    return result.stdout.split()[0], at(result)


def minimal_dialog(wine):
    watcher = watch(wine, "Minimal dialog", "A minimal dialog")
    time.sleep(0.3)  # the watcher runs before the program starts
    started = time.time() * 1000
    program = wine.spawn("wine", os.path.join(wine.tools, "MinimalDialog.exe"), cwd=wine.package)
    hwnd, visible = shown(watcher)
    automate(wine, "click", hwnd, str(IDCANCEL))
    program.finish(60)
    return visible - started


def setup_run(wine):
    """One start of Setup.exe down the manual path: start-up, working set, installation."""
    watcher = watch(wine, "Corvex Printer Driver - Setup", "Version 2.01 (9W)")
    time.sleep(0.3)
    started = time.time() * 1000
    setup = wine.start_setup()
    model, visible = shown(watcher)
    peak = int(automate(wine, "memory", model).stdout.split()[0])
    automate(wine, "click", model, str(IDOK))
    connection = wine.wait_window("Please connect the printer")
    automate(wine, "click", connection, str(IDC_MANUAL))
    ports = wine.wait_window("Select the printer port")
    box_watcher = wine.spawn("wine", os.path.join(wine.tools, "automate.exe"), "box", "installed successfully", "60000")
    time.sleep(0.3)
    clicked = at(automate(wine, "click", ports, str(IDC_PORT_OK)))
    result = box_watcher.finish(90)
    if result.returncode != 0:
        raise RuntimeError("no outcome box: " + result.stderr)
    outcome = at(result)
    box = result.stdout.split()[0]
    automate(wine, "click", box, str(IDOK))
    finish(setup, 60)
    return visible - started, peak, outcome - clicked


def native_suite(native):
    started = time.monotonic()
    for program in ("setup_tests", "setup_tests_no_auto_install", "setup_tests_x86"):
        subprocess.run([os.path.join(native, program)], stdout=subprocess.DEVNULL, check=True)
    return (time.monotonic() - started) * 1000


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--bin32", required=True)
    parser.add_argument("--native", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    runs = max(5, args.runs)

    display = Display()
    wine = Wine(os.path.abspath(args.work), os.path.abspath(args.bin), display.name)
    try:
        wine.lay_out_package()
        shutil.copy(os.path.join(wine.binaries, "MinimalDialog.exe"), wine.tools)
        wine.create_prefix()
        # A first start of each warms Wine's caches; it is not counted.
        minimal_dialog(wine)
        setup_run(wine)
        minimal = [minimal_dialog(wine) for _ in range(runs)]
        setups = [setup_run(wine) for _ in range(runs)]
    finally:
        wine.stop()
        display.stop()
    native = [native_suite(args.native) for _ in range(runs)]

    minimal_ms = statistics.median(minimal)
    start_ms = statistics.median(run[0] for run in setups)
    peak = statistics.median(run[1] for run in setups)
    install_ms = statistics.median(run[2] for run in setups)
    overhead = start_ms - START_UP_SLEEP_MS - minimal_ms
    rows = [
        ("Setup.exe x64, stripped", "%d bytes" % os.path.getsize(os.path.join(args.bin, "Setup.exe")), "at most 262,144"),
        ("Setup.exe x86, stripped", "%d bytes" % os.path.getsize(os.path.join(args.bin32, "Setup.exe")),
         "at most 262,144"),
        ("minimal dialog: start to visible", "%.0f ms" % minimal_ms, ""),
        ("Setup.exe: start to model dialog", "%.0f ms" % start_ms, ""),
        ("start-up overhead (less 1000 ms and the minimal dialog)", "%.0f ms" % overhead, "at most 100 ms"),
        ("installation overhead, manual path (OK to outcome box)", "%.0f ms" % (install_ms - MANUAL_PATH_WAITS_MS),
         "at most 300 ms"),
        ("peak working set with the model dialog open", "%.1f MiB" % (peak / 1048576.0), ""),
        ("native test suite", "%.0f ms" % statistics.median(native), "under 10 s"),
    ]
    print("\n| figure (median of %d runs) | measured | target |" % runs)
    print("|---|---|---|")
    for row in rows:
        print("| %s | %s | %s |" % row)
    print("\nruns: minimal %s ms; start %s ms; installation %s ms" % (
        [round(x) for x in minimal], [round(run[0]) for run in setups], [round(run[2]) for run in setups]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
