#!/usr/bin/env python3
"""Static checks of a built Setup.exe, for the x86 and the x64 build alike.

    check_exe.py SETUP_EXE x86|x64
"""
import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

# DLLs that the system always maps from its own directory (KnownDLLs), so that
# none can be planted beside the program.
KNOWN_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll", "setupapi.dll",
              "msvcrt.dll"}
# The manifest's supportedOS entries: Setup.exe declares exactly Vista and 7,
# the systems it was made for. Without them Windows 7 and later treat it as a
# Vista program (the Program Compatibility Assistant among what that brings);
# with Windows 8.1 or 10 declared, those systems would report 6.3 or 10.0 and
# setup would refuse every current Windows. A program that declares none
# beyond 7 is told 6.2 by Windows 8, 8.1, 10 and 11.
SUPPORTED_OS = {"{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Vista",
                "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "7"}
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
TOOLS = {"x86": ("i686-w64-mingw32-objdump", "pei-i386"), "x64": ("x86_64-w64-mingw32-objdump", "pei-x86-64")}


class Checks:
    """Named checks, each printed as it is made; summary() answers the exit code."""

    def __init__(self):
        self.passed = self.failed = 0

    def __call__(self, name, condition, detail=""):
        if condition:
            self.passed += 1
            print("ok - " + name)
        else:
            self.failed += 1
            print("not ok - %s: %s" % (name, detail))

    def summary(self):
        print("%d passed, %d failed" % (self.passed, self.failed))
        return 1 if self.failed else 0


def resource(data, type_id, name_id):
    """The bytes of a resource with numeric type and name, first language; with
    name_id None, how many resources of the type there are, over all names and
    languages."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional_size
    for index in range(sections):
        name, _, rva, raw_size, raw = struct.unpack_from("<8sIIII", data, table + 40 * index)
        if name.rstrip(b"\0") == b".rsrc":
            break
    else:
        return None

    def entries(offset):
        named, numbered = struct.unpack_from("<HH", data, raw + offset + 12)
        for i in range(named + numbered):
            ident, target = struct.unpack_from("<II", data, raw + offset + 16 + 8 * i)
            yield ident, target

    def find(offset, ident):
        for entry, target in entries(offset):
            if entry == ident:
                return target & 0x7FFFFFFF, bool(target & 0x80000000)
        return None, False

    types, _ = find(0, type_id)
    if types is None:
        return None if name_id is not None else 0
    if name_id is None:
        return sum(len(list(entries(target & 0x7FFFFFFF))) for _, target in entries(types))
    names, _ = find(types, name_id)
    if names is None:
        return None
    language = next(entries(names))[1] & 0x7FFFFFFF
    data_rva, size = struct.unpack_from("<II", data, raw + language)
    start = raw + data_rva - rva
    return data[start:start + size]


def manifests(data):
    """How many manifest resources (type 24) the file holds, over all names and languages."""
    return resource(data, 24, None)


def version_record(data):
    """The version record read back from the resource: the fixed file and
    product versions and the strings of its StringFileInfo block."""
    record = resource(data, 16, 1)
    if record is None:
        return None

    def node(offset):
        length, value_length, kind = struct.unpack_from("<HHH", record, offset)
        end_of_key = offset + 6
        while record[end_of_key:end_of_key + 2] != b"\0\0":
            end_of_key += 2
        key = record[offset + 6:end_of_key].decode("utf-16-le")
        value_at = (end_of_key + 2 + 3) & ~3
        return length, value_length, kind, key, value_at

    found = {}
    length, value_length, _, key, value_at = node(0)
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIIIII", record, value_at)
    if key != "VS_VERSION_INFO" or signature != 0xFEEF04BD:
        return None
    versions = lambda ms, ls: "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    found["file version"] = versions(file_ms, file_ls)
    found["product version"] = versions(product_ms, product_ls)

    def walk(offset, end):
        while offset < end:
            length, value_length, kind, key, value_at = node(offset)
            if length == 0:
                break
            if kind == 1 and value_length:
                found[key] = record[value_at:value_at + 2 * value_length].decode("utf-16-le").rstrip("\0")
            else:
                walk((value_at + (value_length if kind == 0 else 2 * value_length) + 3) & ~3, offset + length)
            offset = (offset + length + 3) & ~3

    walk((value_at + value_length + 3) & ~3, length)
    return found


def pe_checksum(data):
    """The PE checksum as the loader's CheckSumMappedFile computes it: the file's
    16-bit words summed with carries folded back, its own field left out, plus
    the file's length."""
    field = struct.unpack_from("<I", data, 0x3C)[0] + 24 + 64
    padded = data + b"\0" * (len(data) % 2)
    total = 0
    for offset, (word,) in enumerate(struct.iter_unpack("<H", padded)):
        if offset * 2 in (field, field + 2):
            continue
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return ((total & 0xFFFF) + (total >> 16) + len(data)) & 0xFFFFFFFF


def dialog_style(data, dialog_id):
    """The style of an extended dialog template (DLGTEMPLATEEX)."""
    template = resource(data, 5, dialog_id)
    if template is None or struct.unpack_from("<HH", template, 0) != (1, 0xFFFF):
        return None
    return struct.unpack_from("<I", template, 12)[0]


def main():
    path, architecture = sys.argv[1], sys.argv[2]
    objdump, file_format = TOOLS[architecture]
    headers = subprocess.run([objdump, "-p", path], capture_output=True, text=True, check=True).stdout
    sections = subprocess.run([objdump, "-h", path], capture_output=True, text=True, check=True).stdout
    data = open(path, "rb").read()
    wide = lambda text: text.encode("utf-16-le")

    check = Checks()

    check("built for " + architecture, "file format " + file_format in headers, headers.splitlines()[1:2])
    check("a GUI program", re.search(r"Subsystem\s+0+2\s", headers) is not None)
    # Reproducible builds: a link time in the header would differ from build
    # to build, and so would the checksum over it.
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    stamp, checksum = struct.unpack_from("<I", data, pe + 8)[0], struct.unpack_from("<I", data, pe + 24 + 64)[0]
    check("no link time in the PE header", stamp == 0, "0x%08X" % stamp)
    check("the PE checksum is the file's", checksum == pe_checksum(data),
          "0x%08X, computed 0x%08X" % (checksum, pe_checksum(data)))
    imports = {name.lower() for name in re.findall(r"DLL Name: (\S+)", headers)}
    print("imports: " + ", ".join(sorted(imports)))
    check("imports only DLLs the system maps from its own directory", imports <= KNOWN_DLLS,
          "also " + ", ".join(sorted(imports - KNOWN_DLLS)))
    check("the spooler and the common controls are loaded at run time",
          "winspool.drv" not in imports and "comctl32.dll" not in imports)
    check("has resources", ".rsrc" in sections)
    manifest = (resource(data, 24, 1) or b"").decode("utf-8", "replace")
    check("the manifest resource asks for elevation", 'level="requireAdministrator"' in manifest, manifest[:200])
    check("the manifest resource asks for common controls 6",
          re.search(r'name="Microsoft\.Windows\.Common-Controls"\s+version="6\.0\.0\.0"', manifest) is not None)
    try:
        root = ElementTree.fromstring(manifest.encode("utf-8"))
    except ElementTree.ParseError as error:
        root = ElementTree.Element("unreadable")
        check("the manifest is well-formed XML", False, error)
    # Every supportedOS, wherever and in whatever namespace it stands.
    claimed = [element.get("Id", "").lower() for element in root.iter() if element.tag.endswith("supportedOS")]
    declared = [element.get("Id", "").lower() for element in
                root.findall("%scompatibility/%sapplication/%ssupportedOS" % ((COMPATIBILITY,) * 3))]
    check("the manifest declares Windows Vista and 7 in its compatibility section",
          sorted(declared) == sorted(SUPPORTED_OS), declared)
    check("the manifest claims no system beyond Windows 7 (so 8 to 11 report 6.2)",
          all(guid in SUPPORTED_OS for guid in claimed), claimed)
    check("one manifest resource, in one language", manifests(data) == 1, manifests(data))
    version = version_record(data) or {}
    print("version record: %s" % version)
    check("the version record's file and product version", version.get("file version") == "1.0.0.1" and
          version.get("product version") == "1.0.0.1", version)
    for key, value in (("FileVersion", "1.10.xxx"), ("ProductVersion", "1.10.xxx"), ("CompanyName", "Corvantis"),
                       ("FileDescription", "Corvex Printer Driver - Setup"), ("OriginalFilename", "Setup.exe")):
        check("the version record's " + key, version.get(key) == value, version.get(key))
    check("the dialog templates' texts", all(wide(text) in data for text in
                                             ("Now the printer will be installed ...\nPlease wait ...",
                                              "Version 2.XX (9W)", "Manual", "Current Port:")))
    check("the model's texts", all(text in data for text in (b"KVX QL70 TILLMATE (ESC P)", b"Version 2.01 (9W)",
                                                             b"Printer Model")))
    # WS_CAPTION | WS_VISIBLE | DS_MODALFRAME | DS_CENTER | DS_SETFONT | DS_FIXEDSYS | DS_3DLOOK
    wait_style = dialog_style(data, 130)
    check("the wait window's style is exactly its listed one", wait_style == 0x10C008CC,
          "0x%08X" % (wait_style or 0))
    refusal = b"This Setup.exe is for 32-bit Windows"
    if architecture == "x86":
        check("the x86 build refuses on 64-bit Windows", refusal in data and b"IsWow64Process" in data)
    else:
        check("the x64 build has no WOW64 refusal", refusal not in data)
    # Vista, 7, 8 and 8.1 lack it: a static import would keep Setup.exe from starting there.
    check("IsWow64Process2 is loaded at run time, not imported",
          re.search(r"\bIsWow64Process2\b", headers) is None and b"IsWow64Process2\0" in data)
    check("both builds refuse on ARM64", b"This printer driver does not run on ARM-based Windows.\0" in data)
    check("the staging refuses a folder without the package",
          b" does not hold the printer driver package (" in data and
          b"Please start Setup.exe from the folder of the unpacked driver package." in data)
    check("the mutex name", b"Global\\{6B1F2E90-3C4D-4a7e-9F21-0D8C5A7B3E14}" in data)
    print("size: %d bytes" % len(data))
    for line in sections.splitlines():
        fields = line.split()
        if len(fields) > 2 and fields[0].isdigit():
            print("  section %-8s %7d bytes" % (fields[1], int(fields[2], 16)))
    check("at most 256 KiB", len(data) <= 256 * 1024, "%d bytes" % len(data))
    return check.summary()


if __name__ == "__main__":
    sys.exit(main())
