#!/bin/sh
# Set-up, build and every test. Exits non-zero on any failure.
set -e
cd "$(dirname "$0")/.."
sh tools/setup.sh
# No folder of src/ includes a higher one.
sh tools/check-layers.sh .
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw64.cmake -DVRELM_WERROR=ON >/dev/null
# The benchmarks are built here too, from the test build: CI proves they
# build and run; their figures come from the shipped build (tools/bench.sh).
cmake --build "$build" --target all benchmarks
jobs=$(nproc)
# Every test process runs under Wine beside the others in one prefix, each
# once: a test that passes only on a second run is a failing test. The
# machine state tests share is declared in their sources
# (tests/support/SharedState.h). CTEST_ARGS="--repeat until-fail:10" hunts
# flaky tests.
# Then each benchmark case runs once, in the same Wine session: it must run;
# no time is judged.
sh tools/with-wine.sh "$build" sh -c '
  ctest --test-dir "$1" --output-on-failure -j "$2" $3
  tests=$?
  sh tools/bench-run.sh "$1" --tiny || exit 1
  exit $tests' sh "$build" "$jobs" "$CTEST_ARGS"
