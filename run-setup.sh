#!/usr/bin/env bash
# The main job: builds the x64 Setup.exe and runs it under Wine from a copy of
# our sample driver package, in a fresh Wine prefix. With a display ($DISPLAY)
# you drive it yourself; without one it runs on Xvfb and is driven to its end.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

cmake --preset win64 >/dev/null && cmake --build --preset win64
python3 e2e/run_e2e.py --demo --bin build/win64 --work build/demo
