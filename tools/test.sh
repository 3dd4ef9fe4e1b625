#!/bin/sh
# Set-up, build and every test. Exits non-zero on any failure.
set -e
cd "$(dirname "$0")/.."
sh tools/setup.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw64.cmake -DVRELM_WERROR=ON >/dev/null
cmake --build "$build"
jobs=$(nproc)
sh tools/with-wine.sh "$build" ctest --test-dir "$build" --output-on-failure -j "$jobs" ${CTEST_ARGS:-}
