#!/usr/bin/env bash
# Every test: builds Setup.exe for x64 and x86 (signed with a throwaway test
# certificate) and their release zips, the native test build and the
# sanitizer build and the fuzzing targets (clang, libFuzzer), then runs the
# native scenario tests (plain and under AddressSanitizer and
# UndefinedBehaviorSanitizer), each fuzzing target for a minute, the static
# checks of both Setup.exe and their release zips, the release's refusal of a
# package that cannot install, both builds again from a copy of the tree in
# another folder (they must give the same bytes) and the signing steps in that
# copy, and the end-to-end runs under Wine on Xvfb. It ends with the tests
# that were skipped and why (docs/testing.md describes every check).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

# Signed with a throwaway certificate of our own, verified below.
./scripts/test-certificate.sh build/test-certificate
export SETUP_SIGN_CERTIFICATE="$PWD/build/test-certificate/test-signing.pfx" SETUP_SIGN_PASSWORD=test
cmake --preset win64 >/dev/null && cmake --build --preset win64 && cmake --build --preset win64 --target package
cmake --preset win32 >/dev/null && cmake --build --preset win32 && cmake --build --preset win32 --target package
cmake --preset fuzz >/dev/null && cmake --build --preset fuzz
cmake --preset native -DSETUP_WIN64_DIR="$PWD/build/win64" -DSETUP_WIN32_DIR="$PWD/build/win32" \
    -DSETUP_TEST_CERTIFICATE="$PWD/build/test-certificate/test-signing.pem" -DSETUP_FUZZ_DIR="$PWD/build/fuzz" \
    >/dev/null
cmake --build --preset native
cmake --preset native-asan >/dev/null && cmake --build --preset native-asan

# Both runs, whatever the first gives; then the tests that were skipped, each
# with its reason (CTest counts a skip as no failure).
reports=("$PWD/build/asan/ctest-report.xml" "$PWD/build/native/ctest-report.xml")
rm -f "${reports[@]}"
status=0
ctest --preset native-asan --output-junit "${reports[0]}" || status=1
ctest --preset native --output-junit "${reports[1]}" || status=1
python3 scripts/skipped_tests.py "${reports[@]}"
exit $status
