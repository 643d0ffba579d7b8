#!/usr/bin/env python3
"""Checks a driver package folder against what Setup.exe will need from it,
before the release is laid out: a package that cannot install stops the
build here, not on the customer's machine.

    check_package.py PACKAGE_DIR [win64|win32]

Every file that a step of setup needs must be there (Windows matches names
without regard to case, and so does this check); each one missing is named
with the step that needs it, and the check fails. So does a model INF whose
[Version] names no catalog (CatalogFile, or CatalogFile.NTamd64 for win64,
CatalogFile.NTx86 for win32), or whose catalog is not in the package. A
file that Setup.exe's staging copy does not take is named in a warning: it
goes into the release but never onto the machine.
"""
import os
import sys

# The driver record that Setup.exe registers (DRIVER_INFO_6, version 3): the
# driver, data, configuration and help file, then the dependent files.
# AddPrinterDriverA takes each of them from the driver directory.
DRIVER_RECORD = ["unidrv.dll", "ESC_QRT_BILL.GPD", "unidrvui.dll", "unidrv.hlp", "ESC_QRT_BILL.dll", "unires.dll",
                 "stdnames.gpd", "TTFSUB.gpd"]
MODEL_INF = "CORVEX_ESCP.INF"
STATUS_MONITOR_FOLDER = "STM"
STATUS_MONITOR = "QL70TILLMATE(ESCP).exe"
UNINSTALLER = "Uninstall.exe"
# The staging copy's patterns: SHFileOperation with "*.GPD", "*.DLL",
# "*.INF", "*.HLP", "*.EXE" and "*.CAT" from the package folder, nothing below it.
STAGED_EXTENSIONS = (".gpd", ".dll", ".inf", ".hlp", ".exe", ".cat")
# The catalog entry of [Version] for each build, besides the undecorated one.
CATALOG_ENTRY = {"win64": "catalogfile.ntamd64", "win32": "catalogfile.ntx86"}
UNSIGNED = ("64-bit Windows refuses an INF without its catalog, and then setup installs nothing when the printer "
            "is plugged in")

STAGED = "where the staging copy puts the package"
REGISTRATION = ("the driver registration (AddPrinterDriverA) needs every file of the driver record in the driver "
                "directory, " + STAGED)
INF_STORE = "the INF store (SetupCopyOEMInfA) takes the model's INF from the driver directory, " + STAGED
STATUS_MONITOR_STEP = "the status monitor deployment copies STM\\%s from the package folder" % STATUS_MONITOR
UNINSTALL_STEP = "the uninstall entry names Uninstall.exe in the driver directory, " + STAGED


def required():
    """(path in the package, the step of setup that needs it), in the order setup needs them."""
    needs = [(name, REGISTRATION) for name in DRIVER_RECORD]
    needs.append((MODEL_INF, INF_STORE))
    needs.append((STATUS_MONITOR_FOLDER + "/" + STATUS_MONITOR, STATUS_MONITOR_STEP))
    needs.append((UNINSTALLER, UNINSTALL_STEP))
    return needs


def named_catalog(text, architecture):
    """The catalog that the INF's [Version] names for this build, or None."""
    section, catalog = None, None
    for line in text.splitlines():
        line = line.split(";", 1)[0].strip()
        if line.startswith("[") and line.endswith("]"):
            section = line[1:-1].strip().lower()
        elif section == "version" and "=" in line:
            key, value = (part.strip() for part in line.split("=", 1))
            key = key.lower()
            if key == CATALOG_ENTRY[architecture] or (key == "catalogfile" and catalog is None):
                catalog = value.strip('"')
    return catalog


def catalog_error(text, names, architecture):
    """Why the INF's catalog would not travel with it, or None. `names`: the
    package's own file names in lower case."""
    catalog = named_catalog(text, architecture)
    if not catalog:
        return ("%s: its [Version] names no catalog (CatalogFile, or %s): %s"
                % (MODEL_INF, "CatalogFile.NTamd64" if architecture == "win64" else "CatalogFile.NTx86", UNSIGNED))
    if catalog.lower() not in names:
        return "%s: the catalog %s that it names is not in the package: %s" % (MODEL_INF, catalog, UNSIGNED)
    return None


def listing(folder):
    """The names in a folder by their lower case (Windows' file names ignore
    case), each with its name as written."""
    if not os.path.isdir(folder):
        return {}
    return {name.lower(): name for name in os.listdir(folder)}


def check(package, architecture="win64"):
    """The missing files with their steps, the errors of the folder's layout,
    and the warnings."""
    top = listing(package)
    monitor_folder = top.get(STATUS_MONITOR_FOLDER.lower())
    monitors = listing(os.path.join(package, monitor_folder)) if monitor_folder else {}
    missing = []
    for path, step in required():
        folder, _, name = path.rpartition("/")
        found = (monitors if folder else top).get(name.lower())
        base = os.path.join(package, monitor_folder) if folder and monitor_folder else package
        if found is None or not os.path.isfile(os.path.join(base, found)):
            missing.append((path, step))
    errors = []
    if "setup.exe" in top:
        errors.append("%s: the release puts its own Setup.exe beside the package, and this one would replace it; "
                      "leave it out of the package folder" % top["setup.exe"])
    inf = top.get(MODEL_INF.lower())
    if inf is not None and os.path.isfile(os.path.join(package, inf)):
        with open(os.path.join(package, inf), encoding="latin-1") as file:
            error = catalog_error(file.read(), {key for key, name in top.items()
                                                if os.path.isfile(os.path.join(package, name))}, architecture)
        if error:
            errors.append(error)
    warnings = []
    for key, name in sorted(top.items()):
        path = os.path.join(package, name)
        if os.path.isdir(path):
            if key != STATUS_MONITOR_FOLDER.lower():
                warnings.append("%s/: Setup.exe does not copy this folder (its staging copy takes only the package "
                                "folder's own files, and the status monitor from STM)" % name)
        elif not key.endswith(STAGED_EXTENSIONS):
            warnings.append("%s: Setup.exe does not copy it (its staging copy takes only *.GPD, *.DLL, *.INF, *.HLP, "
                            "*.EXE and *.CAT): it never reaches the machine" % name)
    for key, name in sorted(monitors.items()):
        if key != STATUS_MONITOR.lower():
            warnings.append("%s/%s: Setup.exe does not copy it (from STM it copies only %s)"
                            % (monitor_folder, name, STATUS_MONITOR))
    return missing, errors, warnings


def main():
    package = sys.argv[1]
    architecture = sys.argv[2] if len(sys.argv) > 2 else "win64"
    missing, errors, warnings = check(package, architecture)
    for warning in warnings:
        print("warning: driver package %s: %s" % (package, warning), flush=True)
    if not missing and not errors:
        print("driver package %s: every file that Setup.exe needs is there" % package)
        return 0
    lines = ["error: the driver package %s cannot install:" % package]
    lines += ["  %s is missing: %s" % (path.replace("/", "\\"), step) for path, step in missing]
    lines += ["  " + error for error in errors]
    print("\n".join(lines), file=sys.stderr, flush=True)
    return 1


if __name__ == "__main__":
    sys.exit(main())
