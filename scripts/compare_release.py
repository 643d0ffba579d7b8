#!/usr/bin/env python3
"""Checks a rebuilt release zip against the published one.

    compare_release.py PUBLISHED.zip REBUILT.zip

Each Setup.exe is compared with the signatures of both sides removed
(osslsigncode remove-signature, which gives back the linker's output byte for
byte): the published one carries the maker's Authenticode signature and time
stamp, a rebuild has none or its own. Everything else must be the same, in
every case: the entries, their order, times and attributes, every file's
bytes, and the zips themselves byte for byte once Setup.exe's signature is
removed. For that, each zip must be exactly what scripts/make_zip.py writes
from its own entries; both are then written again with Setup.exe unsigned
and compared whole. When neither Setup.exe is signed, the zips are compared
as they are.
"""
import hashlib
import os
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_zip import zip_bytes  # noqa: E402


def digest(data):
    return hashlib.sha256(data).hexdigest()


def has_signature(data):
    """The PE's certificate table (data directory 4) is where Authenticode lives."""
    pe = int.from_bytes(data[0x3C:0x40], "little")
    magic = int.from_bytes(data[pe + 24:pe + 26], "little")
    directories = pe + 24 + (96 if magic == 0x10B else 112)
    return int.from_bytes(data[directories + 4 * 8 + 4:directories + 4 * 8 + 8], "little") != 0


def without_signature(data):
    if not has_signature(data):
        return data
    with tempfile.TemporaryDirectory() as folder:
        signed, unsigned = os.path.join(folder, "signed.exe"), os.path.join(folder, "unsigned.exe")
        with open(signed, "wb") as file:
            file.write(data)
        subprocess.run(["osslsigncode", "remove-signature", "-in", signed, "-out", unsigned], check=True,
                       stdout=subprocess.DEVNULL)
        with open(unsigned, "rb") as file:
            return file.read()


class Checks:
    def __init__(self):
        self.failed = 0

    def check(self, name, condition, detail=""):
        print(("ok - " if condition else "not ok - ") + name + ("" if condition or not detail else ": " + detail))
        self.failed += 0 if condition else 1


def is_setup(name):
    return name == "Setup.exe" or name.endswith("/Setup.exe")


def compare_executables(checks, what, published, rebuilt, sides=("published", "rebuilt")):
    """Two Setup.exe, each without its signature, byte for byte."""
    signed = [side for side, data in zip(sides, (published, rebuilt)) if has_signature(data)]
    published, rebuilt = without_signature(published), without_signature(rebuilt)
    checks.check("%s: the same bytes%s (sha256 %s)" % (what, " once signatures are removed (signed: %s)" %
                                                       ", ".join(signed) if signed else "", digest(rebuilt)),
                 published == rebuilt, "%s %s, %s %s" % (sides[0], digest(published), sides[1], digest(rebuilt)))
    return bool(signed)


def entries(archive, unsigned):
    """The zip's entries as make_zip.py takes them, Setup.exe without its signature when asked."""
    found = []
    for info in archive.infolist():
        data = None if info.is_dir() else archive.read(info)
        if unsigned and is_setup(info.filename):
            data = without_signature(data)
        found.append((info.filename, info.date_time, data))
    return found


def compare_zips(checks, published_path, rebuilt_path, sides=("published", "rebuilt")):
    with open(published_path, "rb") as file:
        published_bytes = file.read()
    with open(rebuilt_path, "rb") as file:
        rebuilt_bytes = file.read()
    with zipfile.ZipFile(published_path) as published, zipfile.ZipFile(rebuilt_path) as rebuilt:
        names = [info.filename for info in published.infolist()]
        checks.check("the same entries in the same order", names == [info.filename for info in rebuilt.infolist()],
                     "%s against %s" % (names, [info.filename for info in rebuilt.infolist()]))
        rebuilt_entries = {info.filename: info for info in rebuilt.infolist()}
        any_signed = False
        for info in published.infolist():
            other = rebuilt_entries.get(info.filename)
            if other is None:
                continue
            fields = ("date_time", "external_attr", "create_system", "flag_bits", "compress_type", "extra", "comment")
            differing = [field for field in fields if getattr(info, field) != getattr(other, field)]
            checks.check("%s: the same time and attributes" % info.filename, not differing,
                         ", ".join("%s %r against %r" % (f, getattr(info, f), getattr(other, f)) for f in differing))
            data, other_data = published.read(info), rebuilt.read(other)
            if is_setup(info.filename):
                any_signed |= compare_executables(checks, info.filename, data, other_data, sides)
            else:
                checks.check("%s: the same bytes" % info.filename, data == other_data)
        # Written again from its own entries, each zip gives its own bytes:
        # nothing of it lies outside what is compared next.
        for side, archive, raw in ((sides[0], published, published_bytes), (sides[1], rebuilt, rebuilt_bytes)):
            checks.check("%s: the zip is exactly its entries as make_zip.py writes them" % side,
                         zip_bytes(entries(archive, unsigned=False)) == raw)
        if any_signed:
            published_unsigned = zip_bytes(entries(published, unsigned=True))
            rebuilt_unsigned = zip_bytes(entries(rebuilt, unsigned=True))
            checks.check("the zips are byte-identical once Setup.exe's signature is removed (sha256 %s)" %
                         digest(rebuilt_unsigned), published_unsigned == rebuilt_unsigned,
                         "%s %s" % (sides[0], digest(published_unsigned)))
        else:
            checks.check("the zips are byte-identical (sha256 %s)" % digest(rebuilt_bytes),
                         published_bytes == rebuilt_bytes, "%s %s" % (sides[0], digest(published_bytes)))


def main():
    checks = Checks()
    compare_zips(checks, sys.argv[1], sys.argv[2])
    print("%s" % ("the rebuild matches" if not checks.failed else "%d differences" % checks.failed))
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
