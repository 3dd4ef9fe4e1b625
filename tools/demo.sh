#!/bin/sh
# Set-up, build, and run the module's main job in Wine.
set -e
cd "$(dirname "$0")/.."
sh tools/setup.sh
# The shipped (optimised) configuration, as tools/bench.sh builds it.
build=${BUILD_DIR:-build}/shipped
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target demo
# --interactive: with a display, the person picks the printer in the chooser.
if [ "${1:-}" = "--interactive" ] && [ -n "${DISPLAY:-}" ]; then
  VRELM_OWN_DISPLAY=1 sh tools/with-wine.sh "$build" sh tools/demo-run.sh "$build" --interactive
else
  sh tools/with-wine.sh "$build" sh tools/demo-run.sh "$build"
fi
