#!/usr/bin/env bash
# What CI runs (.ci/run): the README's test command (every test of the plain build, the soak test
# among them), then the whole suite again under AddressSanitizer and UBSan, the tests whose threads
# meet (worker, HID, platform, end to end) under ThreadSanitizer, and a short run of every fuzz
# target. Each sanitizer build has its own folder (build-asan, build-tsan), made by clang-14 from
# the presets; the fuzz targets are built in the ASan one, along with its tests. Stops at the first
# step that fails, with its status.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/test.sh

jobs=$(nproc 2>/dev/null || echo 2)
tests() { xvfb-run -a -s "-screen 0 1024x768x24" ctest --test-dir "$@" --output-on-failure -j "$jobs"; }

bash scripts/configure-preset.sh asan
cmake --build build-asan -j "$jobs"
tests build-asan

bash scripts/configure-preset.sh tsan
cmake --build build-tsan -j "$jobs" --target qel720-updater app_tests hid_tests platform_tests e2e_tests
tests build-tsan -L threads

bash scripts/fuzz.sh 30
