#!/usr/bin/env python3
"""cppcheck over the Windows code (the Win32 layer and Setup.exe's entry),
read with the MinGW-w64 headers as the win64 build compiles it.

    cppcheck_windows.py WIN64_BUILD_DIR WORK_DIR FILE...

From the win64 build's compile commands: each file's include folders and
definitions, and its compiler's predefined macros and search folders. Of those
folders cppcheck is given the Windows SDK's (windows.h, winspool.h,
setupapi.h, shlobj.h ...), not GCC's own: the C++ library and the
intrinsics, which cppcheck knows from its own library description and whose
reading would take it many minutes. It must find every header but those:
one it cannot find fails the check. The files are read as one translation
unit, so that the SDK's headers are read once. Findings inside the SDK's
headers are not ours and are left out; any other fails the check.
"""
import json
import os
import re
import shlex
import subprocess
import sys

OPTIONS = ["--enable=warning,performance,portability", "--language=c++", "--platform=win64", "--inline-suppr", "-q"]


def compiler_folders(compiler, standard):
    """The compiler's include search folders, GCC's own ones apart from the rest."""
    listing = subprocess.run([compiler, standard, "-xc++", "-E", "-v", os.devnull], capture_output=True, text=True,
                             check=True).stderr
    folders = [os.path.realpath(line.strip()) for line in
               listing.split("#include <...> search starts here:")[1].split("End of search list.")[0].splitlines()
               if line.strip()]
    own = os.path.dirname(os.path.realpath(subprocess.run([compiler, "-print-file-name=include"], capture_output=True,
                                                          text=True, check=True).stdout.strip()))
    return [f for f in folders if not f.startswith(own + os.sep)], [f for f in folders if f.startswith(own + os.sep)]


def main():
    win64, work, files = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), sys.argv[3:]
    os.makedirs(work, exist_ok=True)
    commands = {os.path.realpath(entry["file"]): entry for entry in
                json.load(open(os.path.join(win64, "compile_commands.json")))}
    arguments, compiler, standard = [], None, "-std=c++17"
    for name in files:
        entry = commands.get(os.path.realpath(name))
        if entry is None:
            sys.exit("cppcheck_windows.py: %s is not in %s's compile commands" % (name, win64))
        words = entry.get("arguments") or shlex.split(entry["command"])
        compiler = compiler or words[0]
        index = 1
        while index < len(words):
            word = words[index]
            if word in ("-I", "-isystem", "-D"):
                word, index = word + words[index + 1], index + 1
            if word.startswith(("-I", "-isystem")):
                folder = word[2:] if word.startswith("-I") else word[len("-isystem"):]
                argument = "-I" + os.path.join(entry["directory"], folder)
            elif word.startswith("-D"):
                argument = word
            elif word.startswith("-std="):
                standard, argument = word, None
            else:
                argument = None
            if argument and argument not in arguments:
                arguments.append(argument)
            index += 1
    sdk, own = compiler_folders(compiler, standard)
    predefined = os.path.join(work, "predefined.h")
    with open(predefined, "w") as file:
        file.write(subprocess.run([compiler, standard, "-dM", "-E", "-xc++", os.devnull], capture_output=True,
                                  text=True, check=True).stdout)
    unity = os.path.join(work, "windows.cpp")
    with open(unity, "w") as file:
        file.writelines('#include "%s"\n' % os.path.abspath(name) for name in files)
    # GCC's keyword, which the SDK's headers use and cppcheck does not know.
    options = (OPTIONS + ["--std=" + standard[len("-std="):].replace("gnu", "c"), "--include=" + predefined,
                          "-D__extension__="] + arguments + ["-I" + folder for folder in sdk])

    # Every header found, but GCC's own.
    report = subprocess.run(["cppcheck", "--check-config"] + options + [unity], capture_output=True, text=True)
    unfound = sorted(set(re.findall(r'Include file: [<"]([^>"]+)[>"] not found', report.stdout + report.stderr)))
    missing = [header for header in unfound if not any(os.path.isfile(os.path.join(f, header)) for f in own)]
    for header in missing:
        print("cppcheck does not find %s (searched: %s)" % (header, ", ".join(
            [argument[2:] for argument in arguments if argument.startswith("-I")] + sdk)))
    print("cppcheck reads the SDK's headers from %s; left to its library description: %s"
          % (", ".join(sdk), ", ".join(unfound) or "nothing"))
    if missing or report.returncode != 0:
        return 1
    run = subprocess.run(["cppcheck", "--error-exitcode=1", "--suppress=missingIncludeSystem"] +
                         ["--suppress=*:%s/*" % folder for folder in sdk] + options + [unity])
    return run.returncode


if __name__ == "__main__":
    sys.exit(main())
