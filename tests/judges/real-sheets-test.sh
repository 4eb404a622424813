#!/usr/bin/env bash
# real-sheets-test.sh LOOMCSS_BINARY
# Every published style sheet in tests/data/real goes through `loomcss format` (what
# Save writes) and must come out saying the same (same-css.mjs). Prints OK or FAIL
# per file with the reason; exits 1 on any failure, 77 (skipped) when node or the
# installed judges are missing, 2 on wrong arguments.
set -uo pipefail

if [ $# -ne 1 ] || [ ! -x "$1" ]; then
    echo "usage: real-sheets-test.sh LOOMCSS_BINARY" >&2
    exit 2
fi
loomcss="$1"
source "$(dirname "$0")/judges-setup.sh"
passed=0
failed=0
for sheet in "$here"/../data/real/*.css; do
    name="$(basename "$sheet")"
    saved="$tmp/$name"
    rc=0
    "$loomcss" format "$sheet" >"$saved" 2>"$tmp/err" || rc=$?
    if [ "$rc" -ne 0 ]; then
        failed=$((failed + 1))
        echo "FAIL $name: loomcss format exited $rc"
        head -n 20 "$tmp/err" | sed 's/^/     /'
        continue
    fi
    if "$node" "$here/same-css.mjs" "$sheet" "$saved" >"$tmp/judge" 2>&1; then
        # What Save wrote is read and written again unchanged.
        if "$loomcss" format "$saved" >"$tmp/again" 2>"$tmp/err" && cmp -s "$saved" "$tmp/again"; then
            passed=$((passed + 1))
            echo "OK   $name"
        else
            failed=$((failed + 1))
            echo "FAIL $name: the saved text does not save to itself"
            cmp "$saved" "$tmp/again" | sed 's/^/     /'
        fi
    else
        failed=$((failed + 1))
        echo "FAIL $name: what loomcss writes does not say the same"
        sed 's/^/     /' "$tmp/judge"
    fi
done
echo "real sheets: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
