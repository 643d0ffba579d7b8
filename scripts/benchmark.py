#!/usr/bin/env python3
"""Measures Setup.exe on the machine at hand and prints a small table.

    benchmark.py --bin BUILD_WIN64 --bin32 BUILD_WIN32 --native BUILD_NATIVE --work FOLDER [--runs N]

Start-up and installation are measured under Wine on Xvfb. The yardstick is
PlainScreens.exe (e2e/bench): a plain Win32 program, none of our framework,
that makes Setup's start-up checks (the named mutex, the version, the shell's
administrator test) and shows Setup's own wait window for its second and then
its model dialog, from Setup's own resources and with its manifest. Setup's
time from its start to the visible model dialog, less the yardstick's, is what
our own code adds. The two are started the same way, in turn, N times each (at
least 11), after one unmeasured warm-up start of each; every figure is the
median, and every run's times are printed. The times come from automate.exe,
which notes the wall clock when it finds a window or posts a click. Beside the
wall clock, the CPU time each program has used when its model dialog is found
(from /proc) shows our code's share with less of the machine's other load in it.
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


def watch(wine, title, text, timeout_ms=30000, shot=None):
    extra = [wine.windows_path(wine.shot_path(shot, ".bmp"))] if shot else []
    return wine.spawn("wine", os.path.join(wine.tools, "automate.exe"), "wait", title, text, str(timeout_ms), *extra)


def shown(watcher):
    result = watcher.finish(60)
    if result.returncode != 0:
        raise RuntimeError("the window did not show: " + result.stderr)
    return result.stdout.split()[0], at(result)


def same_screens(wine, first, second):
    pictures = []
    for name in (first, second):
        wine.to_png(name)
        pictures.append(wine.shot_path(name, ".png"))
    result = subprocess.run(["compare", "-metric", "AE", pictures[0], pictures[1], "null:"], capture_output=True,
                            text=True, timeout=60)
    if result.returncode != 0:
        raise RuntimeError("the yardstick's model dialog is not Setup's (%s pixels differ): see %s" % (
            result.stderr.strip(), " and ".join(pictures)))


def cpu_ms(program):
    """The CPU time (user and system, ms) that a program under Wine has used so
    far: its Windows process runs in the Unix process that was started, which
    /proc tells. Unlike the wall clock it hardly moves with the machine's
    other load, though it leaves out the Wine server's share."""
    with open("/proc/%d/stat" % program.process.pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) * 1000.0 / os.sysconf("SC_CLK_TCK")


def plain_screens(wine, shot=None):
    """One start of the yardstick, to its visible model dialog."""
    watcher = watch(wine, "Corvex Printer Driver - Setup", "Version 2.01 (9W)", shot=shot)
    time.sleep(0.3)  # the watcher runs before the program starts
    started = time.time() * 1000
    program = wine.spawn("wine", os.path.join(wine.tools, "PlainScreens.exe"), cwd=wine.package)
    hwnd, visible = shown(watcher)
    cpu = cpu_ms(program)
    automate(wine, "click", hwnd, str(IDCANCEL))
    result = program.finish(60)
    if result.returncode != IDCANCEL:
        raise RuntimeError("PlainScreens.exe ended with %d: a start-up check failed" % result.returncode)
    return visible - started, cpu


def setup_run(wine, shot=None):
    """One start of Setup.exe down the manual path: start-up, working set, installation."""
    watcher = watch(wine, "Corvex Printer Driver - Setup", "Version 2.01 (9W)", shot=shot)
    time.sleep(0.3)
    started = time.time() * 1000
    setup = wine.start_setup()
    model, visible = shown(watcher)
    cpu = cpu_ms(setup)
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
    return visible - started, peak, outcome - clicked, cpu


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
    parser.add_argument("--runs", type=int, default=11)
    args = parser.parse_args()
    runs = max(11, args.runs)

    display = Display()
    wine = Wine(os.path.abspath(args.work), os.path.abspath(args.bin), display.name)
    plain, setups = [], []
    try:
        wine.lay_out_package()
        shutil.copy(os.path.join(wine.binaries, "PlainScreens.exe"), wine.tools)
        wine.create_prefix()
        # A first start of each warms Wine's caches; it is not counted. Its
        # pictures show that the yardstick's model dialog is Setup's, pixel for pixel.
        plain_screens(wine, shot="plain-model-dialog")
        setup_run(wine, shot="setup-model-dialog")
        same_screens(wine, "plain-model-dialog", "setup-model-dialog")
        print("run | start to model dialog: plain Win32, Setup.exe, difference | CPU time to it: plain Win32, "
              "Setup.exe, difference | installation", flush=True)
        for run in range(1, runs + 1):
            plain.append(plain_screens(wine))
            setups.append(setup_run(wine))
            print("%3d | %5.0f ms %5.0f ms %+5.0f ms | %4.0f ms %4.0f ms %+4.0f ms | %4.0f ms" % (
                run, plain[-1][0], setups[-1][0], setups[-1][0] - plain[-1][0], plain[-1][1], setups[-1][3],
                setups[-1][3] - plain[-1][1], setups[-1][2]), flush=True)
    finally:
        wine.stop()
        display.stop()
    native = [native_suite(args.native) for _ in range(runs)]

    plain_ms = statistics.median(run[0] for run in plain)
    plain_cpu = statistics.median(run[1] for run in plain)
    setup_cpu = statistics.median(run[3] for run in setups)
    start_ms = statistics.median(run[0] for run in setups)
    peak = statistics.median(run[1] for run in setups)
    install_ms = statistics.median(run[2] for run in setups)
    paired = statistics.median(run[0] - other[0] for run, other in zip(setups, plain))
    rows = [
        ("Setup.exe x64, stripped", "%d bytes" % os.path.getsize(os.path.join(args.bin, "Setup.exe")), "at most 262,144"),
        ("Setup.exe x86, stripped", "%d bytes" % os.path.getsize(os.path.join(args.bin32, "Setup.exe")),
         "at most 262,144"),
        ("plain Win32, the same screens: start to model dialog", "%.0f ms" % plain_ms, ""),
        ("Setup.exe: start to model dialog", "%.0f ms" % start_ms, ""),
        ("start-up overhead (Setup.exe less the plain Win32 program)", "%.0f ms" % (start_ms - plain_ms),
         "at most 20 ms"),
        ("CPU time to the model dialog: plain Win32 / Setup.exe", "%.0f / %.0f ms" % (plain_cpu, setup_cpu), ""),
        ("CPU time our code adds (Setup.exe less the plain Win32 program)", "%.0f ms" % (setup_cpu - plain_cpu), ""),
        ("installation overhead, manual path (OK to outcome box)", "%.0f ms" % (install_ms - MANUAL_PATH_WAITS_MS),
         "at most 300 ms"),
        ("peak working set with the model dialog open", "%.1f MiB" % (peak / 1048576.0), ""),
        ("native test suite", "%.0f ms" % statistics.median(native), "under 10 s"),
    ]
    print("\n| figure (median of %d runs) | measured | target |" % runs)
    print("|---|---|---|")
    for row in rows:
        print("| %s | %s | %s |" % row)
    paired_cpu = statistics.median(run[3] - other[1] for run, other in zip(setups, plain))
    print("\nmedian of the runs' differences: %+.0f ms start to model dialog, %+.0f ms CPU time" % (paired, paired_cpu))
    return 0


if __name__ == "__main__":
    sys.exit(main())
