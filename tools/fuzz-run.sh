#!/bin/sh
# fuzz-run.sh BUILD FINDINGS SECONDS JOBS [TARGET...]: the part of fuzz.sh
# that runs inside tools/with-wine.sh.
build=$1 findings=$2 seconds=$3 jobs=$4
shift 4
fuzz="$build/bin/vrelmfuzz.exe"
wine=/usr/lib/wine/wine64
targets="$*"
[ -n "$targets" ] || targets=$("$wine" "$fuzz" --list | tr -d '\r')
winfindings="Z:$(echo "$findings" | tr / '\\')"
logs=$(mktemp -d)

# One target for its whole time, started again after a crash or a hang.
# Its standard output holds the program's own lines; standard error also
# the XML reader's complaints, kept apart.
campaign() {
  name=$1
  end=$(( $(date +%s) + seconds ))
  : >"$logs/$name"
  : >"$logs/$name.err"
  while left=$(( end - $(date +%s) )); [ "$left" -gt 0 ]; do
    # shellcheck disable=SC2086
    "$wine" "$fuzz" "$name" --seconds "$left" --findings "$winfindings" $FUZZ_ARGS \
      </dev/null >>"$logs/$name" 2>>"$logs/$name.err"
    code=$?
    [ $code -eq 2 ] || [ $code -eq 3 ] || break
  done
}

running=0
for name in $targets; do
  campaign "$name" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait
    running=0
  fi
done
wait

status=0
for name in $targets; do
  tr -d '\r' <"$logs/$name" | awk -v name="$name" '
    /^FINDING/ { findings++; print "  " $0; next }
    /^fuzz .* inputs in / { inputs += $3; secs += $6; found += $10 }
    /set-up failed|^usage/ { print "  " $0; setup = 1 }
    END {
      rate = secs > 0 ? inputs / secs : 0
      total = findings > found ? findings : found
      printf "%-16s %10d inputs %8.1f s %9.1f inputs/s %3d findings\n", name, inputs, secs, rate, total
      exit (total > 0 || setup || inputs == 0) ? 1 : 0
    }' || status=1
done
[ -n "$FUZZ_KEEP_LOGS" ] && echo "logs in $logs" || rm -rf "$logs"
[ $status -eq 0 ] || echo "findings saved in $findings"
exit $status
