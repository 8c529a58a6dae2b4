#!/usr/bin/env bash
# Installs what is needed, builds, and takes a picture of every screen of the real program in each
# of the twelve languages (language, its list open, confirmation with both versions, DSP
# confirmation, progress, completion, and the errors without a device (0E21), of the update file
# (0E05) and of the device (0E41)), with the simulated device behind an emulated hidraw node, into
# build/screenshots/. No display of your own is needed: the program runs on a private X server.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
umockdev-wrapper build/tests/e2e/screenshots build/screenshots
echo "Pictures in build/screenshots/"
