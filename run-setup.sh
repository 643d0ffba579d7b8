#!/usr/bin/env bash
# The main job: builds Setup.exe and runs it under Wine from a copy of our
# sample driver package, in a fresh Wine prefix. With a display ($DISPLAY) you
# drive it yourself; without one it runs on Xvfb and is driven to its end.
#
#   ./run-setup.sh          the x64 Setup.exe in a 64-bit prefix
#   ./run-setup.sh --x86    the x86 Setup.exe in a 32-bit prefix (WINEARCH=win32)
set -euo pipefail
cd "$(dirname "$0")"
preset=win64 arch=x64 work=build/demo
case "${1:-}" in
    "") ;;
    --x86) preset=win32 arch=x86 work=build/demo-x86 ;;
    *) echo "usage: $0 [--x86]" >&2; exit 2 ;;
esac
./scripts/install-deps.sh

cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"
python3 e2e/run_e2e.py --demo --arch "$arch" --bin "build/$preset" --work "$work"
