#!/usr/bin/env python3
"""Builds the release of a maker's package that cannot install as it should,
and checks what the build says.

    check_release_refusal.py SOURCE_DIR WORK_DIR missing|catalog

missing: the package lacks unidrv.dll and holds a Setup.exe of its own.
    Building the package target must fail, naming unidrv.dll and the step
    of setup that needs it and no other missing file, refusing the
    Setup.exe (it would replace the release's own), and lay out no release.
catalog: the package is complete, one of its names in other letter case
    (Windows' names ignore case), and it carries a catalog (.CAT), a folder
    of its own and a second file in STM. Its check must pass with a warning
    for each, naming it and saying that Setup.exe does not copy it. (The rest of the package target is the release build
    that the test command makes anyway; it is not made again here.)

The package is our sample's files, with stand-in bytes for the programs, in
WORK_DIR/package; WORK_DIR/build is a win64 tree configured for it.
"""
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_package import REGISTRATION, STATUS_MONITOR, STATUS_MONITOR_FOLDER, UNINSTALLER, required  # noqa: E402


def lay_out(source, package, leave_out=(), add=(), renamed=None):
    shutil.rmtree(package, ignore_errors=True)
    os.makedirs(os.path.join(package, STATUS_MONITOR_FOLDER))
    for path in add:
        os.makedirs(os.path.join(package, os.path.dirname(path)), exist_ok=True)
    for name in os.listdir(os.path.join(source, "e2e", "package")):
        if name not in leave_out:
            shutil.copy(os.path.join(source, "e2e", "package", name),
                        os.path.join(package, name.upper() if name == renamed else name))
    for path in (UNINSTALLER, os.path.join(STATUS_MONITOR_FOLDER, STATUS_MONITOR)) + tuple(add):
        with open(os.path.join(package, path), "wb") as file:
            file.write(b"stand-in\n")


def main():
    source, work, case = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3]
    package, build = os.path.join(work, "package"), os.path.join(work, "build")
    if case == "missing":
        lay_out(source, package, leave_out=("unidrv.dll",), add=("Setup.exe",))
        target = "package"
    else:
        lay_out(source, package, add=("CORVEX_ESCP.CAT", "Manuals/QL70.pdf", "STM/Monitor.ini"), renamed="stdnames.gpd")
        target = "package_check"
    shutil.rmtree(build, ignore_errors=True)
    subprocess.run(["cmake", "-S", source, "-B", build, "-G", "Ninja", "--toolchain",
                    os.path.join(source, "cmake", "mingw-x86_64.cmake"), "-DCMAKE_BUILD_TYPE=Release",
                    "-DSETUP_PACKAGE_DIR=" + package], check=True, stdout=subprocess.DEVNULL)
    result = subprocess.run(["cmake", "--build", build, "--target", target], capture_output=True, text=True)
    output = result.stdout + result.stderr
    print(output)

    failed = 0

    def check(name, condition):
        nonlocal failed
        print(("ok - " if condition else "not ok - ") + name)
        failed += 0 if condition else 1

    if case == "missing":
        check("the build fails", result.returncode != 0)
        check("it names unidrv.dll with the driver registration", "unidrv.dll is missing: " in output and
              REGISTRATION in output)
        others = [path for path, _ in required() if path != "unidrv.dll" and
                  "%s is missing" % path.replace("/", "\\") in output]
        check("it names no other file as missing", not others)
        check("it refuses the package's own Setup.exe", "Setup.exe: the release puts its own Setup.exe" in output)
        check("no release is laid out", not os.path.exists(os.path.join(build, "Corvex-Setup-x64.zip")) and
              not os.path.exists(os.path.join(build, "release")))
    else:
        check("the check passes", result.returncode == 0)
        warnings = [line for line in output.splitlines() if line.startswith("warning: ")]
        for name, text in (("the catalog", "CORVEX_ESCP.CAT: Setup.exe does not copy it"),
                           ("the folder", "Manuals/: Setup.exe does not copy this folder"),
                           ("the file beside the status monitor", "STM/Monitor.ini: Setup.exe does not copy it")):
            check("a warning names %s and says that Setup.exe does not copy it" % name,
                  any(text in line for line in warnings))
        check("no other warning", len(warnings) == 3)
    print("%d failed" % failed)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
