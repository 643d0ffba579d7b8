#!/usr/bin/env python3
"""Checks that the build is reproducible: a copy of the source tree in another
folder, built again without a certificate, gives the same Setup.exe and the
same release zip as the builds at hand, for each architecture given.

    check_reproducible.py SOURCE_DIR WORK_DIR PRESET=BUILD_DIR...   (PRESET: win64, win32)

SOURCE_DIR's files as git sees them (tracked and new ones, as they are in the
working tree) are copied to WORK_DIR/tree, and each preset's package target
is built there into WORK_DIR/tree/build/<preset>: another path, another time.
Then, for each, the linker's Setup.exe must be byte-identical, the final
Setup.exe byte-identical once the signatures of both are removed, and the
release zip the same as scripts/compare_release.py checks it: entry by entry
and whole, byte for byte once Setup.exe's signature is removed. A build that
found nothing to do proves nothing, so the copy is always built from scratch.
"""
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from compare_release import Checks, compare_executables, compare_zips, digest  # noqa: E402

ZIPS = {"win64": "Corvex-Setup-x64.zip", "win32": "Corvex-Setup-x86.zip"}


def copy_tree(source, tree):
    listed = subprocess.run(["git", "-C", source, "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
                            capture_output=True, check=True).stdout.decode().split("\0")
    shutil.rmtree(tree, ignore_errors=True)
    for name in filter(None, listed):
        path = os.path.join(source, name)
        if not os.path.isfile(path):
            continue  # deleted in the working tree
        os.makedirs(os.path.dirname(os.path.join(tree, name)), exist_ok=True)
        shutil.copy2(path, os.path.join(tree, name))


def read(path):
    with open(path, "rb") as file:
        return file.read()


def main():
    source, work = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    builds = [(preset, os.path.abspath(folder)) for preset, _, folder in (arg.partition("=") for arg in sys.argv[3:])]
    tree = os.path.join(work, "tree")
    copy_tree(source, tree)
    env = {name: value for name, value in os.environ.items() if not name.startswith("SETUP_SIGN_")}
    # The copy has no history of its own: the release's date comes from the source's.
    if not env.get("SOURCE_DATE_EPOCH"):
        env["SOURCE_DATE_EPOCH"] = subprocess.run(["git", "-C", source, "log", "-1", "--format=%ct"],
                                                  capture_output=True, text=True, check=True).stdout.strip()
    checks = Checks()
    for preset, build in builds:
        subprocess.run(["cmake", "--preset", preset], cwd=tree, env=env, check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", "--preset", preset, "--target", "package"], cwd=tree, env=env,
                       check=True, stdout=subprocess.DEVNULL)
        rebuilt = os.path.join(tree, "build", preset)
        print("%s: %s built again in %s" % (preset, build, rebuilt))
        linked, linked_again = read(os.path.join(build, "unsigned", "Setup.exe")), read(
            os.path.join(rebuilt, "unsigned", "Setup.exe"))
        checks.check("%s: the linker's Setup.exe is byte-identical (sha256 %s)" % (preset, digest(linked_again)),
                     linked == linked_again, "%s against %s" % (digest(linked), digest(linked_again)))
        sides = ("first build", "second build")
        compare_executables(checks, preset + ": Setup.exe", read(os.path.join(build, "Setup.exe")),
                            read(os.path.join(rebuilt, "Setup.exe")), sides)
        compare_zips(checks, os.path.join(build, ZIPS[preset]), os.path.join(rebuilt, ZIPS[preset]), sides)
        for name, folder in (("built", build), ("built again", rebuilt)):
            for file in ("Setup.exe", ZIPS[preset]):
                print("%s: sha256 %s %s/%s" % (preset, digest(read(os.path.join(folder, file))), name, file))
    print("%d differences" % checks.failed)
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
