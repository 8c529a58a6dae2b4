#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz in the ASan build (build-asan, the asan preset: clang-14,
# the whole tree, JUCE included, instrumented with ASan and UBSan), has each write its seed corpus,
# runs each on its reproducers in tests/fuzz/reproducers, then fuzzes each for the given number of
# seconds. Exits non-zero when any target crashes, fails a check, leaks or hangs; the input that did
# it is left in build-asan/fuzz/<target>/crashes/.
#   scripts/fuzz.sh [seconds per target, default 30] [target ...]
# Targets: update_files device_replies hidraw_input platform_parsers (all by default).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(update_files device_replies hidraw_input platform_parsers)
fi

jobs=$(nproc 2>/dev/null || echo 2)
jobs=$((jobs < 4 ? jobs : 4))
bash scripts/configure-preset.sh asan
cmake --build build-asan -j "$jobs" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export ASAN_SYMBOLIZER_PATH=${ASAN_SYMBOLIZER_PATH:-$(command -v llvm-symbolizer-14 || true)}
status=0
for target in "${targets[@]}"; do
  binary=build-asan/tests/fuzz/fuzz_$target
  work=build-asan/fuzz/$target
  rm -rf "$work/seeds"
  mkdir -p "$work/seeds" "$work/corpus" "$work/crashes"
  QEL_FUZZ_SEEDS="$work/seeds" "$binary"
  # Inputs that once failed (tests/fuzz/reproducers/<target>-*) are run first, on their own.
  for reproducer in tests/fuzz/reproducers/"$target"-*; do
    if [ -e "$reproducer" ] && ! "$binary" "$reproducer" > "$work/reproducer.log" 2>&1; then
      echo "== $target FAILED on $reproducer: see $work/reproducer.log" >&2
      status=1
    fi
  done
  # The targets that build a MainComponent skip libFuzzer's leak scan after each input (JUCE's
  # caches make every input look leaky, and the scan costs more than the run); LeakSanitizer still
  # checks at exit. Slower inputs get less of their time.
  options=()
  case $target in
    update_files | device_replies) options=(-detect_leaks=0 -entropic_scale_per_exec_time=1) ;;
  esac
  echo "== $target: $seconds s"
  if ! "$binary" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=4096 -print_final_stats=1 "${options[@]}" \
      -artifact_prefix="$work/crashes/" "$work/corpus" "$work/seeds"; then
    echo "== $target FAILED: see $work/crashes/" >&2
    status=1
  fi
done
exit $status
