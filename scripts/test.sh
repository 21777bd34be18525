#!/usr/bin/env bash
# Sets up, builds and runs every test.
#   scripts/test.sh              release build with debug info, in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build, in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

build=build
flags=(-DCMAKE_BUILD_TYPE=Release)
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  # -O1 keeps the sanitized tests quick; -g1 still gives line numbers in reports.
  flags=(-DBIVARA_SANITIZE=ON -DBIVARA_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1")
  export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi

cmake -S . -B "$build" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
# SANE's test backend cancels its reader thread asynchronously and can, rarely, catch it inside
# malloc at thread exit and hang there; a test that times out is run again.
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --repeat after-timeout:3
