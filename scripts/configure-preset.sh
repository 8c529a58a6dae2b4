#!/usr/bin/env bash
# Configures the build folder of a sanitizer preset (asan or tsan: build-<preset>, clang-14).
# CMake cannot switch an existing build folder to another compiler: one configured with another
# compiler (before the presets named clang-14) is configured afresh.
#   scripts/configure-preset.sh asan|tsan
set -euo pipefail
cd "$(dirname "$0")/.."
fresh=()
grep -qs '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang++-14$' "build-$1/CMakeCache.txt" || fresh=(--fresh)
cmake --preset "$1" "${fresh[@]}" >/dev/null
