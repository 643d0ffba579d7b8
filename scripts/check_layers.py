#!/usr/bin/env python3
"""Fails when a source file includes a header of a layer above its own.

The layers, from the bottom: platform, framework, install, ports, app. The
model profile and the shared texts (profile/) include nothing of ours; the
Win32 implementation (platform/win32) includes only the platform; the
simulated machine (tests/sim) includes only the platform and itself.
"""
import os
import re
import sys

RANK = {"platform": 0, "framework": 1, "install": 2, "ports": 3, "app": 4}
ALLOWED = {
    "profile": set(),
    "platform/win32": {"platform"},
    "tests/sim": {"platform", "tests/sim"},
}
INCLUDE = re.compile(r'\s*#\s*include\s*"([a-z0-9_/]+)/[^"/]+"')


def owner(path):
    for folder in ALLOWED:
        if path.startswith(folder + "/"):
            return folder
    top = path.split("/", 1)[0]
    return top if top in RANK else None


def allowed(folder, included):
    if folder in ALLOWED:
        return included in ALLOWED[folder] or included == folder
    if included == "profile":
        return RANK[folder] >= RANK["install"]
    if included == "resources":
        return True
    base = included.split("/", 1)[0]
    if included.startswith("platform/win32"):
        return False
    return base in RANK and RANK[base] <= RANK[folder]


def main(root):
    problems = []
    for folder in list(RANK) + ["profile", "tests/sim"]:
        for directory, _, names in os.walk(os.path.join(root, folder)):
            for name in names:
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.relpath(os.path.join(directory, name), root)
                mine = owner(path)
                for number, line in enumerate(open(os.path.join(root, path), errors="replace"), 1):
                    match = INCLUDE.match(line)
                    if not match:
                        continue
                    included = match.group(1)
                    if included.startswith("platform/win32"):
                        included = "platform/win32"
                    elif included.startswith("tests/sim"):
                        included = "tests/sim"
                    if path == "app/Main.cpp" and included == "platform/win32":
                        continue  # the program's entry chooses the real system
                    if not allowed(mine, included):
                        problems.append(f"{path}:{number}: {mine} includes {included}/")
    for problem in problems:
        print(problem)
    print(f"{len(problems)} includes point up the layers")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
