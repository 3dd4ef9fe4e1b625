#!/bin/sh
# Checks the layering of src/: no folder includes a higher one, and folders
# of one level include each other in one direction only (no loop). Prints
# each fault and the count; exits non-zero when there is one. Run from the
# repository's root, or give the root as $1.
cd "${1:-.}" || exit 2

level() {
    case "$1" in
    core) echo 0 ;;
    destination | shared) echo 1 ;;
    tickets | bidi | discovery | VagantUIExtension) echo 2 ;;
    extension) echo 3 ;;
    ui) echo 4 ;;
    module) echo 5 ;;
    *) echo 99 ;;
    esac
}

includes=$(mktemp)
trap 'rm -f "$includes"' EXIT
# "file:line including-folder included-folder" for every include of src/.
grep -rn --include='*.h' --include='*.cpp' --include='*.rc' '^#include "' src |
    sed -E 's@^(src/([^/]+)/[^:]+):([0-9]+):#include "([^/"]+)/.*@\1:\3 \2 \4@' >"$includes"

faults=0
while read -r where from to; do
    if [ "$(level "$to")" -gt "$(level "$from")" ]; then
        echo "upward include: $where includes $to/"
        faults=$((faults + 1))
    fi
done <"$includes"

# Every pair of folders that include one another, directly or round a loop.
loop=$(awk '$2 != $3 { print $2, $3 }' "$includes" | sort -u | tsort 2>&1 >/dev/null |
    grep -v 'input contains a loop' | sed 's/^tsort: //' | tr '\n' ' ')
if [ -n "$loop" ]; then
    echo "folders in a loop: $loop"
    faults=$((faults + 1))
fi

echo "$(wc -l <"$includes") includes checked, $faults fault(s)"
[ "$faults" -eq 0 ]
