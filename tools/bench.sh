#!/bin/sh
# bench.sh [--tiny] [--rounds N] [--filter TEXT]
# Builds the shipped configuration (optimised, in $BUILD_DIR/shipped) and runs
# every benchmark under Wine: one table of the module's median per call, the
# bare platform baseline's median measured beside it, and their ratio.
# Configured exactly as tools/demo.sh does, so the two share one build.
# --tiny runs each case once (CI: proves the benchmarks still run; no times).
set -e
cd "$(dirname "$0")/.."
sh tools/setup.sh
build=${BUILD_DIR:-build}/shipped
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target benchmarks
sh tools/with-wine.sh "$build" sh tools/bench-run.sh "$build" "$@"
