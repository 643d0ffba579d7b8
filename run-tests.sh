#!/usr/bin/env bash
# Every test: builds Setup.exe for x64 and x86, the native test build and the
# sanitizer build, then runs the native scenario tests (plain and under
# AddressSanitizer and UndefinedBehaviorSanitizer), the static checks of both
# Setup.exe and the end-to-end run of the x64 Setup.exe under Wine on Xvfb.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

cmake --preset win64 >/dev/null && cmake --build --preset win64
cmake --preset win32 >/dev/null && cmake --build --preset win32
cmake --preset native -DSETUP_WIN64_DIR="$PWD/build/win64" -DSETUP_WIN32_DIR="$PWD/build/win32" >/dev/null
cmake --build --preset native
cmake --preset native-asan >/dev/null && cmake --build --preset native-asan
ctest --preset native-asan
ctest --preset native
