#!/bin/sh
# fuzz.sh [SECONDS] [TARGET...]
# Runs every fuzz target (or the ones named) for SECONDS each (default 60)
# and prints per target the inputs, the rate and the findings. A target that
# crashes or hangs is started again for the time left, so one finding does
# not end its run; the inputs that did it are in the findings folder.
#   BUILD_DIR=build        the build (built here first when it is a build tree)
#   FUZZ_JOBS=1            targets run at once (one Wine prefix: keep it small)
#   FUZZ_FINDINGS=<build>/fuzz-findings
#   FUZZ_ARGS=""           more arguments for vrelmfuzz (--max-bytes N, --hang-seconds N)
# Exits non-zero when any target had a finding. Not while tests run on the
# same build: the runs share its Wine server, and either would stop it.
set -e
cd "$(dirname "$0")/.."
build=$(cd "${BUILD_DIR:-build}" && pwd)
seconds=${1:-60}
[ $# -gt 0 ] && shift
if [ -f "$build/build.ninja" ]; then
  cmake --build "$build" --target vrelmfuzz >/dev/null
fi
findings=${FUZZ_FINDINGS:-$build/fuzz-findings}
mkdir -p "$findings"
exec sh tools/with-wine.sh "$build" sh tools/fuzz-run.sh "$build" "$findings" "$seconds" "${FUZZ_JOBS:-1}" "$@"
