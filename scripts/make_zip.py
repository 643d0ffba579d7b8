#!/usr/bin/env python3
"""Zips the release folder so that the same files always give the same zip.

    make_zip.py FOLDER ZIP SOURCE_DIR

FOLDER is the release folder (its name becomes the zip's top folder). The
entries come in sorted order, folders before their contents, each with the
same time and attributes whatever the files on disk say: the time is
SOURCE_DATE_EPOCH when it is set, else the date of SOURCE_DIR's last commit.
"""
import io
import os
import subprocess
import sys
import time
import zipfile

# The zip format's own earliest time.
ZIP_EPOCH = 315532800  # 1980-01-01 00:00:00 UTC
# MS-DOS attributes as Windows' own zip folders write them; a Unix zip would
# carry the build machine's permission bits.
ATTRIBUTE_DIRECTORY, ATTRIBUTE_ARCHIVE = 0x10, 0x20


def source_date(source_dir):
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    result = subprocess.run(["git", "-C", source_dir, "log", "-1", "--format=%ct"], capture_output=True, text=True)
    if result.returncode != 0 or not result.stdout.strip():
        sys.exit("make_zip.py: %s is no git checkout; set SOURCE_DATE_EPOCH" % source_dir)
    return int(result.stdout.strip())


def zip_bytes(entries):
    """The zip of (name, date_time, data) entries, in their order; data None
    makes a folder. The same entries always give the same bytes:
    compare_release.py rewrites a zip's entries with this to compare two."""
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        for name, date_time, data in entries:
            info = zipfile.ZipInfo(name, date_time)
            info.create_system = 0
            if data is None:
                info.external_attr = ATTRIBUTE_DIRECTORY
                archive.writestr(info, b"")
            else:
                info.external_attr = ATTRIBUTE_ARCHIVE
                info.compress_type = zipfile.ZIP_DEFLATED
                archive.writestr(info, data, compresslevel=9)
    return buffer.getvalue()


def main():
    folder, zip_path, source_dir = sys.argv[1:4]
    # UTC: the zip's times have no zone, and the build machine's must not matter.
    date_time = time.gmtime(max(ZIP_EPOCH, source_date(source_dir)))[:6]
    top = os.path.basename(os.path.normpath(folder))
    names = []
    for here, folders, files in os.walk(folder):
        relative = os.path.relpath(here, folder)
        prefix = top + "/" if relative == "." else top + "/" + relative.replace(os.sep, "/") + "/"
        names.append((prefix, None))
        names.extend((prefix + name, os.path.join(here, name)) for name in files)
        folders.sort()
    names.sort()
    entries = []
    for name, path in names:
        if path is None:
            entries.append((name, date_time, None))
            continue
        with open(path, "rb") as file:
            entries.append((name, date_time, file.read()))
    partial = zip_path + ".partial"
    with open(partial, "wb") as file:
        file.write(zip_bytes(entries))
    os.replace(partial, zip_path)
    print("%s: %d entries, dated %s UTC" % (zip_path, len(names), time.strftime("%Y-%m-%d %H:%M:%S", date_time + (0, 0, -1))))
    return 0


if __name__ == "__main__":
    sys.exit(main())
