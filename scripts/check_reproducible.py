#!/usr/bin/env python3
"""Checks that the build is reproducible: a copy of the source tree in another
folder, built again without a certificate, gives the same Setup.exe and the
same release zip as the build at hand.

    check_reproducible.py SOURCE_DIR BUILD_DIR win64|win32 WORK_DIR

SOURCE_DIR's files as git sees them (tracked and new ones, as they are in the
working tree) are copied to WORK_DIR/tree, which is built with the same preset
into WORK_DIR/tree/build/<preset>: another path, another time. Then the
linker's outputs must be byte-identical, and the release zip must match as
scripts/compare_release.py checks it (Setup.exe compared without the
signature that BUILD_DIR's may carry). A build that found nothing to do
proves nothing, so the copy is always built from scratch.
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


def main():
    source, build, preset, work = (os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3],
                                   os.path.abspath(sys.argv[4]))
    tree = os.path.join(work, "tree")
    copy_tree(source, tree)
    env = {name: value for name, value in os.environ.items() if not name.startswith("SETUP_SIGN_")}
    # The copy has no history of its own: the release's date comes from the source's.
    if not env.get("SOURCE_DATE_EPOCH"):
        env["SOURCE_DATE_EPOCH"] = subprocess.run(["git", "-C", source, "log", "-1", "--format=%ct"],
                                                  capture_output=True, text=True, check=True).stdout.strip()
    subprocess.run(["cmake", "--preset", preset], cwd=tree, env=env, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", "--preset", preset, "--target", "package"], cwd=tree, env=env, check=True,
                   stdout=subprocess.DEVNULL)
    rebuilt = os.path.join(tree, "build", preset)

    checks = Checks()
    print("built again in %s" % rebuilt)
    with open(os.path.join(build, "unsigned", "Setup.exe"), "rb") as file:
        linked = file.read()
    with open(os.path.join(rebuilt, "unsigned", "Setup.exe"), "rb") as file:
        linked_again = file.read()
    checks.check("the linker's Setup.exe is byte-identical (sha256 %s)" % digest(linked_again), linked == linked_again,
                 "%s against %s" % (digest(linked), digest(linked_again)))
    with open(os.path.join(build, "Setup.exe"), "rb") as file:
        final = file.read()
    with open(os.path.join(rebuilt, "Setup.exe"), "rb") as file:
        final_again = file.read()
    compare_executables(checks, "Setup.exe", final, final_again)
    compare_zips(checks, os.path.join(build, ZIPS[preset]), os.path.join(rebuilt, ZIPS[preset]))
    print("%d differences" % checks.failed)
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
