#!/bin/sh
# Set-up, build, and run the module's main job in Wine.
set -e
cd "$(dirname "$0")/.."
sh tools/setup.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw64.cmake >/dev/null
cmake --build "$build"
sh tools/with-wine.sh "$build" sh tools/demo-run.sh "$build"
