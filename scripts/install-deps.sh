#!/usr/bin/env bash
# Installs what building and testing Setup.exe needs, from Debian's packages.
# Runs as root; does nothing when everything is there already.
set -euo pipefail

packages=(cmake ninja-build g++ libgtest-dev python3 fonts-wine
          g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64
          wine wine64 xvfb imagemagick osslsigncode openssl clang libclang-rt-14-dev clang-tidy cppcheck)
# wine32 is left out on purpose: 32-bit programs cannot run on these
# machines, and installing it breaks the wine command.

missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
