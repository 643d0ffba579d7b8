#!/usr/bin/env bash
# Mutation testing of app/, ports/, install/ and framework/ against the native
# tests (scripts/mutate.py): ./run-mutation.sh [N] runs a sample of N mutants
# seeded by the commit, or all of them; the report is build/mutation/report.md.
# Not part of the test command: each mutant costs a rebuild.
set -euo pipefail
cd "$(dirname "$0")"
if ! /usr/bin/python3 -c 'import clang.cindex' 2>/dev/null; then
    echo "libclang's Python bindings are missing: apt-get install python3-clang-14" >&2
    exit 2
fi
if [ ! -f build/native/compile_commands.json ]; then
    cmake --preset native >/dev/null
fi
# The system's python3: a python3 earlier on the PATH may not see the bindings.
exec /usr/bin/python3 scripts/mutate.py "$@"
