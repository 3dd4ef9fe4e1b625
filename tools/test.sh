#!/bin/sh
# Set-up, build and every test. Exits non-zero on any failure.
set -e
cd "$(dirname "$0")/.."
sh tools/setup.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw64.cmake -DVRELM_WERROR=ON >/dev/null
cmake --build "$build"
jobs=$(nproc)
# Every test process runs under Wine beside the others in one prefix; a test
# that fails is run once more, and both runs stay in the output. A fault
# fails both runs. CTEST_ARGS="--repeat until-fail:10" hunts flaky tests.
sh tools/with-wine.sh "$build" ctest --test-dir "$build" --output-on-failure -j "$jobs" \
  ${CTEST_ARGS:---repeat until-pass:2}
# The shipped build and its benchmarks, each case run once: they must build
# and run; no time is judged.
sh tools/bench.sh --tiny
