#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test twice: a plain build,
# then a build with AddressSanitizer and UndefinedBehaviorSanitizer, then the
# live frame path's tests under ThreadSanitizer.
# Usage: scripts/test.sh [plain|sanitize|thread|all]   (default: all)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
mode=${1:-all}

bash scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=0"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

run_build() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 600)
}

if [ "$mode" = all ] || [ "$mode" = plain ]; then
  echo "== plain build =="
  run_build build -DCMAKE_BUILD_TYPE=Release
fi
if [ "$mode" = all ] || [ "$mode" = sanitize ]; then
  echo "== sanitizer build =="
  run_build build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
    -DBC_SANITIZE=ON -DBC_BUILD_BENCH=OFF
fi
if [ "$mode" = all ] || [ "$mode" = thread ]; then
  echo "== thread sanitizer build (live frame path) =="
  bash scripts/tsan.sh "$jobs"
fi
