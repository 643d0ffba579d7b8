#!/usr/bin/env python3
"""Builds the release of a maker's package that cannot install as it should,
and checks what the build says.

    check_release_refusal.py SOURCE_DIR WORK_DIR missing|no_catalog_entry|catalog_missing|warnings

missing: the package lacks unidrv.dll and holds a Setup.exe of its own.
    Building the package target must fail, naming unidrv.dll and the step
    of setup that needs it and no other missing file, refusing the
    Setup.exe (it would replace the release's own), and lay out no release.
no_catalog_entry: the package's INF names no catalog in [Version] (neither
    CatalogFile nor CatalogFile.NTamd64); catalog_missing: it names one
    that is not in the package. Either way the build must fail, naming the
    INF and saying that 64-bit Windows refuses it, and lay out no release.
warnings: the package is complete, one of its names in other letter case
    (Windows' names ignore case), and it carries a folder of its own and a
    second file in STM. Its check must pass with a warning for each, naming
    it and saying that Setup.exe does not copy it, and none for its catalog,
    which the staging copies. (The rest of the package target is the
    release build that the test command makes anyway; it is not made again
    here.)

The package is our sample's files, with stand-in bytes for the programs, in
WORK_DIR/package; WORK_DIR/build is a win64 tree configured for it.
"""
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_package import (MODEL_INF, REGISTRATION, STATUS_MONITOR, STATUS_MONITOR_FOLDER, UNSIGNED, UNINSTALLER,  # noqa: E402
                           required)


def lay_out(source, package, leave_out=(), add=(), renamed=None, catalog_entry=None):
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
    if catalog_entry is not None:
        inf = os.path.join(package, MODEL_INF)
        with open(inf, encoding="latin-1") as file:
            text = file.read()
        with open(inf, "w", encoding="latin-1") as file:
            file.write(text.replace("CatalogFile=CORVEX_ESCP.CAT", catalog_entry))


def main():
    source, work, case = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3]
    package, build = os.path.join(work, "package"), os.path.join(work, "build")
    if case == "missing":
        lay_out(source, package, leave_out=("unidrv.dll",), add=("Setup.exe",))
        target = "package"
    elif case == "no_catalog_entry":
        # Another architecture's entry is no entry for this build.
        lay_out(source, package, catalog_entry="CatalogFile.NTx86=CORVEX_ESCP.CAT")
        target = "package"
    elif case == "catalog_missing":
        lay_out(source, package, leave_out=("CORVEX_ESCP.CAT",))
        target = "package"
    else:
        lay_out(source, package, add=("Manuals/QL70.pdf", "STM/Monitor.ini"), renamed="stdnames.gpd")
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
    elif case in ("no_catalog_entry", "catalog_missing"):
        check("the build fails", result.returncode != 0)
        why = "names no catalog" if case == "no_catalog_entry" else "the catalog CORVEX_ESCP.CAT that it names is not"
        check("it names the INF and what is wrong with its catalog", (MODEL_INF + ": ") in output and why in output)
        check("it says that 64-bit Windows refuses such an INF", UNSIGNED in output)
        check("it names no file as missing", " is missing: " not in output)
        check("no release is laid out", not os.path.exists(os.path.join(build, "Corvex-Setup-x64.zip")) and
              not os.path.exists(os.path.join(build, "release")))
    else:
        check("the check passes", result.returncode == 0)
        warnings = [line for line in output.splitlines() if line.startswith("warning: ")]
        for name, text in (("the folder", "Manuals/: Setup.exe does not copy this folder"),
                           ("the file beside the status monitor", "STM/Monitor.ini: Setup.exe does not copy it")):
            check("a warning names %s and says that Setup.exe does not copy it" % name,
                  any(text in line for line in warnings))
        check("no warning for the catalog, which the staging copies", not any(".CAT" in line for line in warnings))
        check("no other warning", len(warnings) == 2)
    print("%d failed" % failed)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
