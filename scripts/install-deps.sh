#!/usr/bin/env bash
# Installs what building and testing Setup.exe needs, from Debian's packages.
# Runs as root; does nothing when everything is there already.
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev python3 python3-clang-14 fonts-wine
          g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64
          wine wine64 wine32:i386 xvfb imagemagick osslsigncode openssl clang libclang-rt-14-dev
          clang-tidy cppcheck zip)

# wine32 comes from the i386 architecture: with it a 64-bit prefix runs 32-bit
# programs under WOW64, and WINEARCH=win32 makes a 32-bit prefix for the x86 Setup.exe.
added_i386=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    added_i386=1
fi

missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ] || [ "$added_i386" = 1 ]; then
    [ ${#missing[@]} -gt 0 ] && echo "Installing: ${missing[*]}"
    apt-get update -qq
    [ ${#missing[@]} -gt 0 ] && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
# Wine's 32-bit loader is a Linux i386 program: a kernel without 32-bit
# emulation (or with ia32_emulation=off) cannot start it (exec format error),
# and only then are the x86 Setup.exe's runs under Wine skipped. Anything else
# that keeps the loader from running makes them fail.
if ! loader=$(/usr/lib/wine/wine --version 2>&1); then
    case "$loader" in
    *"Exec format error"*)
        echo "Note: this kernel does not start i386 programs; the x86 Setup.exe's runs under Wine are skipped here." ;;
    *)
        echo "Warning: Wine's 32-bit loader does not run ($loader); the x86 Setup.exe's runs under Wine will fail." ;;
    esac
fi
exit 0
