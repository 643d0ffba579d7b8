#!/usr/bin/env bash
# Static analysis of the program's own code, headers included: clang-tidy with
# the project's .clang-tidy (warnings are errors) and cppcheck. Prints what it
# finds and fails when anything is found.
#
#   static_analysis.sh SOURCE_DIR NATIVE_BUILD_DIR clang-tidy|cppcheck WIN64_BUILD_DIR
#
# Two views of the code. The native build's compile commands give the layers
# as the tests build them. The Win32 layer (platform/win32) and Setup.exe's
# entry (app/Main.cpp) need the Windows headers, and both tools read them with
# the win64 build's compile commands: clang-tidy with the MinGW target, the
# program's headers read a second time there on the SDK's own records;
# cppcheck with the MinGW-w64 SDK's headers (scripts/cppcheck_windows.py: the
# C++ library and GCC's intrinsics it takes from its own library description).
# When WIN64_BUILD_DIR holds no compile commands yet, it is configured (not
# built).
set -uo pipefail
source_dir="$1"
build_dir="$2"
win64_dir="$4"
cd "$source_dir"
files=(app/SetupApp.cpp app/SetupDlg.cpp ports/*.cpp install/*.cpp framework/*.cpp profile/*.cpp platform/Platform.cpp)
windows_files=(app/Main.cpp platform/win32/*.cpp)

if [ ! -f "$win64_dir/compile_commands.json" ]; then
    cmake -S "$source_dir" -B "$win64_dir" -G Ninja --toolchain "$source_dir/cmake/mingw-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null || { echo "static_analysis: cannot configure $win64_dir"; exit 1; }
fi

case "$3" in
clang-tidy)
    # The compile commands name every file by its absolute path, so the header
    # filter is anchored on the source folder: the program's headers, never
    # the system's or the tests'.
    escaped=$(printf '%s' "$PWD" | sed 's/[][\.*^$+?(){}|]/\\&/g')
    header_filter="^$escaped/(app|ports|install|framework|profile|platform)/"
    # clang finds the MinGW C headers but not its C++ library: take those
    # folders from the compiler that builds Setup.exe.
    windows_args=(--extra-arg=--target=x86_64-w64-mingw32)
    while read -r dir; do
        windows_args+=("--extra-arg=-isystem$dir")
    done < <(x86_64-w64-mingw32-g++ -xc++ -E -v /dev/null 2>&1 |
             sed -n '/search starts here/,/End of search list/p' | grep '/include/c++')

    # The two views side by side, one process each.
    windows_log=$(mktemp)
    trap 'rm -f "$windows_log"' EXIT
    clang-tidy -p "$win64_dir" --quiet --header-filter="$header_filter" "${windows_args[@]}" \
        "${windows_files[@]}" >"$windows_log" 2>&1 &
    windows_job=$!
    status=0
    report=$(clang-tidy -p "$build_dir" --quiet --header-filter="$header_filter" "${files[@]}" 2>&1) || status=1
    wait $windows_job || status=1
    # Everything but clang-tidy's running count of what the filters left out.
    printf '%s\n' "$report" | cat - "$windows_log" | grep -v ' warnings\? generated\.$' | grep -v '^$'
    [ $status -eq 0 ] &&
        echo "clang-tidy: ${#files[@]} files natively and ${#windows_files[@]} for Windows, with their headers: nothing found"
    exit $status
    ;;
cppcheck)
    # Without "style": it takes the platform's own macros (MB_OK | MB_ICONERROR,
    # HKEY_LOCAL_MACHINE) for faults of ours.
    # Natively the program includes only its own headers and the C++
    # library's, which cppcheck takes from its library description.
    options=(--enable=warning,performance,portability --std=c++17 --language=c++ --inline-suppr
             --suppress=missingIncludeSystem --error-exitcode=1 -q -I . -I resources)
    # The two views side by side: the Windows one takes about two minutes.
    python3 scripts/cppcheck_windows.py "$win64_dir" "$build_dir/cppcheck-windows" "${windows_files[@]}" &
    windows_job=$!
    status=0
    cppcheck "${options[@]}" "${files[@]}" || status=1
    wait $windows_job || status=1
    [ $status -eq 0 ] &&
        echo "cppcheck: ${#files[@]} files natively and ${#windows_files[@]} for Windows with the SDK's headers: nothing found"
    exit $status
    ;;
esac
