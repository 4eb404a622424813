#!/usr/bin/env bash
# cascade-order-test.sh LOOMCSS_BINARY
# The order of every property's declarations across a sheet decides which one wins:
# saved unedited and after an unrelated edit (loomcss edit, the window's own edits),
# every committed real sheet and the cascade cases keep that order (postcss judges,
# cascade-order.mjs), and unedited they are written back byte for byte. Exits 1 on any
# failure, 77 (skipped) when node or the installed judges are missing.
set -uo pipefail

if [ $# -ne 1 ] || [ ! -x "$1" ]; then
    echo "usage: cascade-order-test.sh LOOMCSS_BINARY" >&2
    exit 2
fi
loomcss="$1"
source "$(dirname "$0")/judges-setup.sh"
failed=0
for sheet in "$here"/../data/real/*.css "$here"/../data/judges/cascade-cases.css; do
    name="$(basename "$sheet")"
    if ! "$loomcss" edit "$sheet" >"$tmp/unedited" || ! cmp -s "$sheet" "$tmp/unedited"; then
        failed=$((failed + 1))
        echo "FAIL $name: saved unedited, the bytes differ"
        continue
    fi
    # An unrelated edit: a value of the first rule changed in place, a rule added.
    if ! "$loomcss" edit "$sheet" --set 'h1 { color: olive }' --set '.loomwright-probe { outline: 0 }' \
        >"$tmp/edited"; then
        failed=$((failed + 1))
        echo "FAIL $name: loomcss edit failed"
        continue
    fi
    for saved in unedited edited; do
        if ! "$node" "$here/cascade-order.mjs" "$sheet" "$tmp/$saved" >"$tmp/judge" 2>&1; then
            failed=$((failed + 1))
            echo "FAIL $name ($saved):"
            head -n 20 "$tmp/judge" | sed 's/^/     /'
            continue 2
        fi
    done
    echo "OK   $name: $(tail -n 1 "$tmp/judge")"
done
exit $((failed > 0))
