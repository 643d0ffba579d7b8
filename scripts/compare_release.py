#!/usr/bin/env python3
"""Checks a rebuilt release zip against the published one.

    compare_release.py PUBLISHED.zip REBUILT.zip

The rebuild is made without a certificate, so its Setup.exe is unsigned. The
published Setup.exe carries the maker's Authenticode signature (and a time
stamp): it is compared with that signature removed (osslsigncode
remove-signature), which gives back the linker's output byte for byte.
Everything else must be the same: the entries, their order, times and
attributes, and every other file's bytes. When neither Setup.exe is signed,
the two zips must be byte-identical.
"""
import hashlib
import os
import subprocess
import sys
import tempfile
import zipfile


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


def compare_executables(checks, what, published, rebuilt):
    """Setup.exe as published (perhaps signed) against the unsigned rebuild."""
    signed = has_signature(published)
    checks.check("%s: the rebuilt one is unsigned" % what, not has_signature(rebuilt))
    stripped = without_signature(published)
    checks.check("%s: the same bytes%s (sha256 %s)" % (what, " once its signature is removed" if signed else "",
                                                       digest(rebuilt)),
                 stripped == rebuilt, "published %s, rebuilt %s" % (digest(stripped), digest(rebuilt)))
    return signed


def compare_zips(checks, published_path, rebuilt_path):
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
            if info.filename.endswith("/Setup.exe"):
                any_signed |= compare_executables(checks, info.filename, data, other_data)
            else:
                checks.check("%s: the same bytes" % info.filename, data == other_data)
    with open(published_path, "rb") as file:
        published_bytes = file.read()
    with open(rebuilt_path, "rb") as file:
        rebuilt_bytes = file.read()
    if not any_signed:
        checks.check("the zips are byte-identical (sha256 %s)" % digest(rebuilt_bytes),
                     published_bytes == rebuilt_bytes, "published %s" % digest(published_bytes))


def main():
    checks = Checks()
    compare_zips(checks, sys.argv[1], sys.argv[2])
    print("%s" % ("the rebuild matches" if not checks.failed else "%d differences" % checks.failed))
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
