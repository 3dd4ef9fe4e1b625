#!/bin/sh
# The benchmarks proper, run inside tools/with-wine.sh: bench-run.sh BUILD ARGS...
# Every bin/*Bench.exe in turn, its rows under one header; non-zero when any
# benchmark fails (a step that failed, a crash, or more than its time).
build=$(cd "$1" && pwd); shift
WINE=/usr/lib/wine/wine64
status=0
echo "| case | module (us) | baseline (us) | ratio |"
echo "|---|---:|---:|---:|"
for exe in "$build"/bin/*Bench.exe; do
  if ! timeout 600 "$WINE" "$exe" --rows-only "$@" </dev/null | tr -d '\r'; then
    echo "$(basename "$exe") failed" >&2
    status=1
  fi
done
exit $status
