#!/usr/bin/env bash
# Installs what is needed, builds, and runs every benchmark; each prints its figures (checking a
# 2 MiB update file, one exchange through the whole program path, a full update, the running
# program's memory and processor use, the fonts' first layout).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
cmake --build build --target run_benchmarks
