#!/usr/bin/env bash
# The benchmark: builds both Setup.exe and the native tests, then measures on
# this machine and prints a table (scripts/benchmark.py says how).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
unset SETUP_SIGN_CERTIFICATE
cmake --preset win64 >/dev/null && cmake --build --preset win64 >/dev/null
cmake --preset win32 >/dev/null && cmake --build --preset win32 >/dev/null
cmake --preset native >/dev/null && cmake --build --preset native --target setup_tests setup_tests_no_auto_install setup_tests_x86 >/dev/null
python3 scripts/benchmark.py --bin build/win64 --bin32 build/win32 --native build/native --work build/benchmark "$@"
