#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test. Tests that need a display get a virtual
# one from xvfb-run; tests of the HID backend run under umockdev-wrapper (set up by CTest).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
jobs=$(nproc 2>/dev/null || echo 2)
xvfb-run -a -s "-screen 0 1024x768x24" ctest --test-dir build --output-on-failure -j "$jobs"
