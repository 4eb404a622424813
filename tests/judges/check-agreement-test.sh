#!/usr/bin/env bash
# check-agreement-test.sh LOOMCSS_BINARY
# Our declaration check against css-tree's (css-tree-verdicts.mjs) on every published
# style sheet in tests/data/real. Declarations are matched by file, line and column.
# Left out on both sides: custom properties, values holding var(), env() or attr()
# (css-tree's `skip`), vendor-prefixed properties and hacks (*zoom, _height). Our
# "overridden" findings are no verdict on a value and are not compared.
# Passes when
#   - we report at most 1 in 1,000 of the declarations css-tree accepts,
#   - we report at least 90% of those it rejects,
#   - every difference that remains is listed, with its reason, in
#     check-differences.txt beside this script, and every listed one still occurs.
# Exit 1 on a failure, 77 (skipped) when node or the installed judges are missing.
set -uo pipefail

if [ $# -ne 1 ] || [ ! -x "$1" ]; then
    echo "usage: check-agreement-test.sh LOOMCSS_BINARY" >&2
    exit 2
fi
loomcss="$1"
source "$(dirname "$0")/judges-setup.sh"
: >"$tmp/theirs"
: >"$tmp/ours"
for sheet in "$here"/../data/real/*.css; do
    name="$(basename "$sheet")"
    if ! "$node" "$here/css-tree-verdicts.mjs" "$sheet" >"$tmp/verdicts" 2>"$tmp/err"; then
        echo "FAIL $name: css-tree-verdicts.mjs failed"
        sed 's/^/     /' "$tmp/err"
        exit 1
    fi
    # FILE LINE COLUMN PROPERTY VERDICT REASON
    awk -F'\t' -v OFS='\t' -v f="$name" '{ print f, $1, $2, $3, $4, $5 }' "$tmp/verdicts" >>"$tmp/theirs"
    rc=0
    "$loomcss" check --tab "$sheet" >"$tmp/findings" 2>"$tmp/err" || rc=$?
    if [ "$rc" -gt 1 ] || [ -s "$tmp/err" ]; then
        echo "FAIL $name: loomcss check exited $rc"
        sed 's/^/     /' "$tmp/err"
        exit 1
    fi
    # FILE LINE COLUMN KIND PROPERTY REASON, the file as its name alone
    awk -F'\t' -v OFS='\t' -v f="$name" '{ $1 = f; print }' "$tmp/findings" >>"$tmp/ours"
done

# The listed differences: FILE TAB LINE TAB COLUMN TAB PROPERTY TAB SIDE TAB REASON,
# SIDE "ours" (we report, css-tree accepts) or "css-tree" (it rejects, we do not).
grep -v '^#' "$here/check-differences.txt" | grep -v '^[[:space:]]*$' >"$tmp/listed"

awk -F'\t' -v listedFile="$tmp/listed" -v oursFile="$tmp/ours" '
function leftOut(property) { return property ~ /^(-|\*|_)/ }
BEGIN {
    while ((getline line < listedFile) > 0) {
        split(line, f, "\t")
        listed[f[1] SUBSEP f[2] SUBSEP f[3]] = f[5]
        listedText[f[1] SUBSEP f[2] SUBSEP f[3]] = f[1] ":" f[2] ":" f[3] " " f[4]
    }
    while ((getline line < oursFile) > 0) {
        split(line, f, "\t")
        if (f[4] == "unknown" || f[4] == "invalid" || f[4] == "quoted")
            ours[f[1] SUBSEP f[2] SUBSEP f[3]] = f[6]
    }
}
{
    key = $1 SUBSEP $2 SUBSEP $3
    if ($5 == "skip" || leftOut($4)) { delete ours[key]; next }
    seen[key] = 1
    if ($5 == "ok") {
        accepted++
        if (key in ours) {
            reported++
            difference(key, "ours", $1 ":" $2 ":" $3 " " $4 ": we report \"" ours[key] "\", css-tree accepts")
        }
    } else {
        rejected++
        if (key in ours) found++
        else difference(key, "css-tree", $1 ":" $2 ":" $3 " " $4 ": css-tree rejects (" $6 "), we do not")
    }
}
function difference(key, side, text) {
    if ((key in listed) && listed[key] == side) { stillThere[key] = 1; return }
    print "UNLISTED " text
    failed = 1
}
END {
    for (key in ours)
        if (!(key in seen)) {
            split(key, k, SUBSEP)
            print "UNMATCHED we report " k[1] ":" k[2] ":" k[3] " (" ours[key] ") where css-tree saw no declaration"
            failed = 1
        }
    for (key in listed)
        if (!(key in stillThere)) {
            print "STALE listed difference no longer occurs: " listedText[key]
            failed = 1
        }
    printf "css-tree accepts %d declarations, we report %d of them (limit %d)\n", accepted, reported, int(accepted / 1000)
    printf "css-tree rejects %d declarations, we report %d of them (%.1f%%, at least 90%% wanted)\n", rejected, found, rejected ? 100 * found / rejected : 100
    if (reported > int(accepted / 1000)) { print "FAIL: we report too many declarations css-tree accepts"; failed = 1 }
    if (rejected > 0 && found < 0.9 * rejected) { print "FAIL: we miss too many declarations css-tree rejects"; failed = 1 }
    exit failed
}' "$tmp/theirs"
