#!/usr/bin/env python3
"""The x86 runs under Wine skip for one reason only: the kernel refuses to
start Wine's 32-bit loader (exec format error). Each other way the loader can
fail is a failure with its message. The loader is replaced by files of ours
that the kernel treats as each case does.

    check_skip_reason.py WORK_DIR
"""
import os
import stat
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import run_e2e  # noqa: E402


def main():
    work = os.path.abspath(sys.argv[1])
    os.makedirs(work, exist_ok=True)

    def program(name, text):
        path = os.path.join(work, name)
        with open(path, "w") as file:
            file.write(text)
        os.chmod(path, stat.S_IRWXU)
        return path

    # An executable file in no format the kernel knows (no ELF header, no
    # "#!"): execve answers ENOEXEC, as it does for an i386 program on a
    # kernel without 32-bit emulation.
    cases = [
        ("the kernel refuses the loader (exec format error)", program("foreign", "\x7fXYZ not a program\n"), "skip"),
        ("the loader is missing (no wine32)", os.path.join(work, "missing"), "cannot be started"),
        ("the loader cannot be read", program("unreadable", "#!/bin/sh\nexit 0\n"), "cannot be started"),
        ("the loader fails", program("failing", "#!/bin/sh\necho 'wine: broken' >&2\nexit 3\n"), "exit 3: wine: broken"),
        ("the loader runs", program("working", "#!/bin/sh\necho wine-8.0\n"), None),
    ]
    os.chmod(os.path.join(work, "unreadable"), 0)
    failed = 0
    for name, loader, expected in cases:
        run_e2e.WINE_LOADER["win32"] = loader
        try:
            outcome = run_e2e.why_no_32_bit_programs()
            got = "skip" if outcome else None
        except run_e2e.Failure as error:
            got = str(error)
        if expected in ("skip", None):
            passed = got == expected
        else:
            passed = got is not None and got != "skip" and expected.lower() in got.lower()
        print("%s - %s: %s" % ("ok" if passed else "not ok", name, outcome if got == "skip" else got))
        failed += 0 if passed else 1
    print("%d failed" % failed)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
