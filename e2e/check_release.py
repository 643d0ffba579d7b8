#!/usr/bin/env python3
"""Checks a release zip as an administrator receives it: Setup.exe beside
every file of the driver package that a step of setup needs, the status
monitor in "STM", an INF that installs the same driver as the record that
Setup.exe registers, and the static checks of the Setup.exe inside it.

    check_release.py ZIP x64|x86
"""
import os
import re
import subprocess
import sys
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "scripts"))
from check_package import DRIVER_RECORD, MODEL_INF, catalog_error, required  # noqa: E402
from check_exe import Checks  # noqa: E402

MODEL = "KVX QL70 TILLMATE (ESC P)"


def inf_sections(text):
    """An INF's sections: name (lower case) -> its lines, comments and blank lines left out."""
    sections, current = {}, None
    for line in text.splitlines():
        line = line.split(";", 1)[0].strip()
        if not line:
            continue
        match = re.fullmatch(r"\[([^\]]+)\]", line)
        if match:
            current = sections.setdefault(match.group(1).strip().lower(), [])
        elif current is not None:
            current.append(line)
    return sections


def directives(lines):
    """The key=value lines of a section, keys in lower case."""
    found = {}
    for line in lines:
        key, equals, value = line.partition("=")
        if equals:
            found.setdefault(key.strip().lower(), []).append(value.strip())
    return found


def check_inf(check, text, packaged):
    """The model's install section must name the record's driver, data,
    configuration and help file and copy exactly the record's files, each
    one from the package (no Include/Needs, which AddPrinterDriverA never
    follows); and the package holds no driver file that the INF leaves out."""
    sections = inf_sections(text)
    install = None
    for models in directives(sections.get("manufacturer", [])).values():
        decorated = models[0].split(",")
        for name in [decorated[0].strip()] + [decorated[0].strip() + "." + d.strip() for d in decorated[1:]]:
            for model, entry in directives(sections.get(name.lower(), [])).items():
                if model.strip('"') == MODEL.lower():
                    install = install or entry[0].split(",")[0].strip().lower()
    check("the INF names the model's install section", install in sections, install)
    keys = directives(sections.get(install, []))
    first = lambda key: (keys.get(key) or [""])[0].lower()
    record = [name.lower() for name in DRIVER_RECORD]
    check("the INF's driver, data, configuration and help file are the record's",
          [first("driverfile"), first("datafile"), first("configfile"), first("helpfile")] == record[:4],
          [first(key) for key in ("driverfile", "datafile", "configfile", "helpfile")])
    check("the INF pulls nothing from the system (no Include, no Needs)", "include" not in keys and "needs" not in keys,
          keys.get("include", []) + keys.get("needs", []))
    copied = set()
    for entry in ",".join(keys.get("copyfiles", [])).split(","):
        entry = entry.strip()
        if entry.startswith("@"):
            copied.add(entry[1:].lower())
        elif entry:
            copied |= {line.split(",")[0].strip().lower() for line in sections.get(entry.lower(), [])}
    check("the INF copies exactly the record's files", copied == set(record),
          "also %s, without %s" % (sorted(copied - set(record)), sorted(set(record) - copied)))
    sources = {key.lower() for key in directives(sections.get("sourcedisksfiles", []))}
    check("the INF's source disk lists every file it copies", copied <= sources, sorted(copied - sources))
    check("every file the INF copies lies in the package", copied <= packaged, sorted(copied - packaged))
    drivers = {name for name in packaged if name.endswith((".dll", ".gpd", ".hlp"))}
    check("the package holds no driver file that the INF leaves out", drivers <= copied, sorted(drivers - copied))


def main():
    path, architecture = sys.argv[1], sys.argv[2]
    check = Checks()

    with zipfile.ZipFile(path) as archive:
        names = archive.namelist()
        top = os.path.splitext(os.path.basename(path))[0]
        lowered = {name.lower(): name for name in names}
        for name, step in [("Setup.exe", "")] + required():
            check("%s lies in %s/" % (name, top), (top + "/" + name).lower() in lowered,
                  "missing (%s)" % step if step else names)
        inf = lowered.get((top + "/" + MODEL_INF).lower())
        if inf:
            packaged = {name[len(top) + 1:].lower() for name in names if name.count("/") == 1}
            check_inf(check, archive.read(inf).decode("latin-1"), packaged)
            error = catalog_error(archive.read(inf).decode("latin-1"), packaged,
                                  "win64" if architecture == "x64" else "win32")
            check("the INF's catalog lies beside it", error is None, error)
        with tempfile.TemporaryDirectory() as folder:
            archive.extract(top + "/Setup.exe", folder)
            checks = subprocess.run([sys.executable, os.path.join(HERE, "check_exe.py"),
                                     os.path.join(folder, top, "Setup.exe"), architecture], capture_output=True,
                                    text=True)
            check("the Setup.exe inside passes its static checks", checks.returncode == 0, "\n" + checks.stdout)
    return check.summary()


if __name__ == "__main__":
    sys.exit(main())
