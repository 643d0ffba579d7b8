#!/usr/bin/env python3
"""Runs the installer's operations and RunInstallation for real, on the Win32
layer, in a fresh Wine prefix on Xvfb: InstallerOnWine.exe does the work and
checks through the system's own calls, then this script reads the prefix's
registry and files from disk.

    run_integration.py --bin BUILD_WIN64 --work FOLDER              in a 64-bit prefix
    run_integration.py --bin BUILD_WIN32 --arch x86 --work FOLDER   in a 32-bit prefix (WINEARCH=win32)

Where Wine's answers differ from Windows (it accepts any port, answers 87 for
an unknown driver, returns a handle for an existing queue), the paths are
tested on the simulated machine instead.
"""
import os
import re
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_e2e import (DRIVER_RECORD, Failure, Report, cannot_run, prefix_arguments, prefix_of_its_own,  # noqa: E402
                     registry_section, string)

MODEL = "KVX QL70 TILLMATE (ESC P)"
MONITOR = "QL70TILLMATE(ESCP)"


def main():
    args = prefix_arguments()
    refused = cannot_run(args.arch)
    if refused is not None:
        return refused
    started = time.monotonic()
    display, wine = prefix_of_its_own(args)
    report = Report()
    try:
        wine.lay_out_package()
        shutil.copy(os.path.join(wine.binaries, "InstallerOnWine.exe"), wine.tools)
        wine.create_prefix()
        run = wine.spawn("wine", os.path.join(wine.tools, "InstallerOnWine.exe"), cwd=wine.package).finish(240)
        for line in run.stdout.splitlines():
            if line.startswith("ok - ") or line.startswith("not ok - "):
                report.check("on Wine: " + line.split(" - ", 1)[1].split(": ")[0], line.startswith("ok - "),
                             line.split(": ", 1)[1] if ": " in line else "")
            elif not re.match(r"\d+ passed, \d+ failed", line):
                print("  " + line, flush=True)
        report.equal("InstallerOnWine.exe ends with 0", run.returncode, 0)

        # The server writes the registry to disk when it ends.
        wine.stop()
        system_reg = os.path.join(wine.prefix, "system.reg")
        queue = registry_section(system_reg, r"System\CurrentControlSet\Control\Print\Printers" + "\\" + MODEL)
        report.check("system.reg holds the queue", queue is not None)
        if queue is not None:
            report.equal("the queue's port in system.reg", string(queue.get("Port")), "LPT1:")
            report.equal("the queue's driver in system.reg", string(queue.get("Printer Driver")), MODEL)
            report.equal("the queue's share name in system.reg", string(queue.get("Share Name")), "KVXQL70TILLMATE(ESC P)")
            report.equal("the queue's priority in system.reg", queue.get("Priority"), "dword:00000001")
        run_key = registry_section(system_reg, r"Software\Microsoft\Windows\CurrentVersion\Run") or {}
        driver_dir = wine.driver_directory
        report.equal("the Run value in system.reg", string(run_key.get("Corvex" + MONITOR, "")).lower(),
                     (driver_dir + "\\STM\\" + MONITOR).lower())
        entry = registry_section(system_reg, r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvantis") or {}
        report.equal("the uninstall entry's name in system.reg", string(entry.get("DisplayName")),
                     "Corvantis Printer Software")
        report.equal("the uninstall entry's command in system.reg", string(entry.get("UninstallString", "")).lower(),
                     (driver_dir + "\\Uninstall.exe").lower())
        report.equal("the uninstall entry's icon in system.reg", string(entry.get("DisplayIcon", "")).lower(),
                     (driver_dir + "\\Uninstall.exe").lower())

        drivers = wine.drive_c("windows", "system32", "spool", "drivers", wine.driver_folder)
        names = {name.lower() for name in os.listdir(os.path.join(drivers, "3"))} if os.path.isdir(
            os.path.join(drivers, "3")) else set()
        record = {name.lower() for name in DRIVER_RECORD}
        report.check("every file of the driver record lies in drivers\\%s\\3" % wine.driver_folder,
                     record <= names, "missing %s" % sorted(record - names))
        report.check("the status monitor lies in the STM folder",
                     os.path.isfile(os.path.join(drivers, "STM", MONITOR + ".exe")))
        report.check("the launched status monitor left its mark",
                     os.path.isfile(os.path.join(drivers, "STM", MONITOR + ".exe.ran")))
        inf = wine.drive_c("windows", "inf")
        # Windows names the stored copy oemN.inf; Wine keeps the file's own name.
        stored = [name for name in os.listdir(inf) if name.lower().endswith(".inf")] if os.path.isdir(inf) else []
        ours = open(os.path.join(wine.package, "CORVEX_ESCP.INF"), "rb").read()
        report.check("the INF file is in the store (on Wine under its own name; Windows names it oemN.inf)",
                     any(open(os.path.join(inf, name), "rb").read() == ours for name in stored), sorted(stored)[:5])
        shortcut = wine.drive_c("Documents and Settings", "All Users", "Start Menu", "Programs", "Corvantis",
                                "StatusMonitor" + MONITOR + ".LNK")
        report.check("the shortcut file is saved", os.path.isfile(shortcut) and os.path.getsize(shortcut) > 0)
        if os.path.isfile(shortcut):
            data = open(shortcut, "rb").read()
            report.check("the shortcut names the status monitor", (MONITOR + ".exe").encode() in data)
    except (Failure, OSError) as error:
        report.check("the run could be set up", False, str(error))
    finally:
        wine.stop()
        display.stop()
    print("figure: Wine integration wall time (s) = %.1f" % (time.monotonic() - started))
    print("%d passed, %d failed" % (report.passed, report.failed))
    return 1 if report.failed else 0


if __name__ == "__main__":
    sys.exit(main())
