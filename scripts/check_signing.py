#!/usr/bin/env python3
"""Checks that the final Setup.exe follows the certificate settings of each
build, not of the build that last linked the program.

    check_signing.py SOURCE_DIR win64|win32 WORK_DIR CERTIFICATE.pfx PASSWORD CERTIFICATE.pem

It builds in WORK_DIR/tree (the copy that check_reproducible.py builds; made
here when it is not there): unsigned, then with the certificate while the
program itself is up to date, again with it, then unsigned again; and it signs
the signed file once more with scripts/sign.sh. After each step the file must
carry exactly one valid signature or none, and its contents must be the
linker's output.

"Not signed again" is judged by what any signing changes: the file's
identity (sign.sh writes a new file and renames it over the old one) and its
modification time, to the nanosecond. Not by its bytes: osslsigncode signing
the same file twice within one second writes the same bytes, since the
signature's signing time counts whole seconds. The check is shown to see a
re-sign within the same second.
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_reproducible import copy_tree  # noqa: E402
from compare_release import Checks, has_signature, without_signature  # noqa: E402


def main():
    source, preset, work, pfx, password, pem = sys.argv[1:7]
    source, work = os.path.abspath(source), os.path.abspath(work)
    tree = os.path.join(work, "tree")
    build = os.path.join(tree, "build", preset)
    unsigned_env = {name: value for name, value in os.environ.items() if not name.startswith("SETUP_SIGN_")}
    signing_env = dict(unsigned_env, SETUP_SIGN_CERTIFICATE=os.path.abspath(pfx), SETUP_SIGN_PASSWORD=password)
    if not os.path.isfile(os.path.join(build, "build.ninja")):
        copy_tree(source, tree)
        subprocess.run(["cmake", "--preset", preset], cwd=tree, env=unsigned_env, check=True, stdout=subprocess.DEVNULL)
    setup = os.path.join(build, "Setup.exe")
    linked = os.path.join(build, "unsigned", "Setup.exe")
    checks = Checks()

    def build_with(env):
        result = subprocess.run(["cmake", "--build", "--preset", preset, "--target", "SignedSetup"], cwd=tree, env=env,
                                capture_output=True, text=True)
        if result.returncode != 0:
            sys.exit("the build failed:\n" + result.stdout + result.stderr)
        return result.stdout

    def signatures(path):
        """How many signatures osslsigncode verifies against the certificate (0: none, or not valid)."""
        result = subprocess.run(["osslsigncode", "verify", "-in", path, "-CAfile", pem], capture_output=True, text=True)
        counts = [line for line in result.stdout.splitlines() if line.startswith("Number of verified signatures:")]
        if result.returncode != 0 or not counts:
            return 0
        return int(counts[-1].split(":")[1])

    def contents(path):
        with open(path, "rb") as file:
            return file.read()

    def identity(path):
        status = os.stat(path)
        return status.st_dev, status.st_ino, status.st_mtime_ns

    def signed_again(before, after):
        return before != after

    def expect(step, signed):
        data = contents(setup)
        if signed:
            checks.check("%s: exactly one valid signature" % step, signatures(setup) == 1,
                         "%d verified" % signatures(setup))
        else:
            checks.check("%s: unsigned" % step, not has_signature(data))
        checks.check("%s: the linker's output %s" % (step, "inside" if signed else "as it is"),
                     without_signature(data) == contents(linked))

    build_with(unsigned_env)
    expect("built without a certificate", signed=False)
    link_time = os.stat(linked).st_mtime_ns

    output = build_with(signing_env)
    checks.check("then with one, the program was not linked again", os.stat(linked).st_mtime_ns == link_time,
                 output)
    expect("then built with the certificate", signed=True)
    first_signing = identity(setup)

    build_with(signing_env)
    expect("built again with it", signed=True)
    checks.check("built again with it, nothing was signed again (the same file, not written since)",
                 not signed_again(first_signing, identity(setup)), "%s, then %s" % (first_signing, identity(setup)))

    # The build's step forced to sign again (its record of what it made the
    # file from removed), right after a signing, within the same second.
    def sign_anew():
        os.remove(setup + ".how")
        subprocess.run([os.path.join(source, "scripts", "sign.sh"), linked, setup], env=signing_env, check=True,
                       stdout=subprocess.DEVNULL)
        return identity(setup), contents(setup)

    same_second = None
    for _ in range(10):
        # Early in a second, so that two signings fit into it.
        deadline = time.monotonic() + 2
        while time.time() % 1 > 0.3 and time.monotonic() < deadline:
            time.sleep(0.01)
        before, before_bytes = sign_anew()
        after, after_bytes = sign_anew()
        if before[2] // 10**9 == after[2] // 10**9:
            same_second = (before, after, before_bytes == after_bytes)
            break
    checks.check("signed twice within one second", same_second is not None)
    if same_second:
        before, after, same_bytes = same_second
        checks.check("a re-sign within the same second is seen as one", signed_again(before, after),
                     "%s, then %s" % (before, after))
        print("  (its bytes were %s the first signing's)" % ("the same as" if same_bytes else "not"))
    expect("signed anew", signed=True)

    subprocess.run([os.path.join(source, "scripts", "sign.sh"), setup], env=signing_env, check=True,
                   stdout=subprocess.DEVNULL)
    expect("the signed file signed once more", signed=True)

    build_with(unsigned_env)
    expect("then built without a certificate again", signed=False)
    print("%d failed" % checks.failed)
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
