#!/usr/bin/env bash
# Static analysis of the program's own code: clang-tidy with the project's
# .clang-tidy (warnings are errors) over the native build's compile commands,
# and cppcheck. Prints what it finds and fails when anything is found.
#
#   static_analysis.sh SOURCE_DIR NATIVE_BUILD_DIR clang-tidy|cppcheck
#
# The Win32 layer (platform/win32) needs the Windows headers and is left to
# the compilers' warnings.
set -uo pipefail
source_dir="$1"
build_dir="$2"
cd "$source_dir"
files=(app/SetupApp.cpp app/SetupDlg.cpp ports/*.cpp install/*.cpp framework/*.cpp profile/*.cpp platform/Platform.cpp)
case "$3" in
clang-tidy)
    status=0
    for file in "${files[@]}"; do
        clang-tidy -p "$build_dir" --quiet "$file" 2>/dev/null || status=1
    done
    [ $status -eq 0 ] && echo "clang-tidy: ${#files[@]} files, nothing found"
    exit $status
    ;;
cppcheck)
    # Without "style": it takes the platform's own macros (MB_OK | MB_ICONERROR,
    # HKEY_LOCAL_MACHINE) for faults of ours.
    cppcheck --enable=warning,performance,portability --std=c++17 --language=c++ --inline-suppr \
        --suppress=missingIncludeSystem --error-exitcode=1 -q -I . -I resources "${files[@]}" &&
        echo "cppcheck: ${#files[@]} files, nothing found"
    ;;
esac
