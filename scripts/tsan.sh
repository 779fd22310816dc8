#!/usr/bin/env bash
# Builds the acquisition and analysis tests with ThreadSanitizer in build-tsan
# and runs the tests of the live frame path: the grabber on a streaming thread
# handing frames to the raw-frame view on the user-interface thread.
# Usage: scripts/tsan.sh [jobs]   (default: 3)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${1:-3}

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
  -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=thread" -DBC_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build build-tsan -j "$jobs" --target acquisition_tests analysis_tests

export QT_QPA_PLATFORM=offscreen
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:ignore_noninstrumented_modules=1:suppressions=$root/tests/tsan.supp"
build-tsan/tests/acquisition/acquisition_tests --gtest_filter='GrabberTest.*'
build-tsan/tests/analysis/analysis_tests --gtest_filter='OpenViewTest.*:*LivePathTest.*'
