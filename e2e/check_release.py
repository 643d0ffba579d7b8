#!/usr/bin/env python3
"""Checks a release zip as an administrator receives it: Setup.exe beside the
driver package's files, the status monitor in "STM", and the static checks of
the Setup.exe inside it.

    check_release.py ZIP x64|x86
"""
import os
import subprocess
import sys
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
EXPECTED = ["Setup.exe", "CORVEX_ESCP.INF", "ESC_QRT_BILL.GPD", "ESC_QRT_BILL.dll", "CORVEX.HLP", "Uninstall.exe",
            "STM/QL70TILLMATE(ESCP).exe"]


def main():
    path, architecture = sys.argv[1], sys.argv[2]
    passed = failed = 0
    with zipfile.ZipFile(path) as archive:
        names = archive.namelist()
        top = os.path.splitext(os.path.basename(path))[0]
        for name in EXPECTED:
            if top + "/" + name in names:
                passed += 1
                print("ok - %s lies in %s/" % (name, top))
            else:
                failed += 1
                print("not ok - %s is missing from %s: %s" % (name, top, names))
        with tempfile.TemporaryDirectory() as folder:
            archive.extract(top + "/Setup.exe", folder)
            checks = subprocess.run([sys.executable, os.path.join(HERE, "check_exe.py"),
                                     os.path.join(folder, top, "Setup.exe"), architecture], capture_output=True,
                                    text=True)
            if checks.returncode == 0:
                passed += 1
                print("ok - the Setup.exe inside passes its static checks")
            else:
                failed += 1
                print("not ok - the Setup.exe inside fails its static checks:\n" + checks.stdout)
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
