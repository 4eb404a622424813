#!/usr/bin/env bash
# browser-check-test.sh LOOMCSS_BINARY
# Our declaration check (loomcss check --tab) against a real browser, headless Chromium
# asked through browser-verdicts.mjs, on every published style sheet in tests/data/real
# and on the hand-made cases of tests/data/judges/browser-cases.css. Declarations are
# matched by file, line and column. Passes when
#   - the browser answers every hand-made case as its comment says (keep or drop), so a
#     browser that answers wrongly, or not at all, cannot pass the check;
#   - no declaration we report as unknown or invalid is one the browser keeps, or one
#     guarded by an @supports that asks for it (a false mark);
#   - we report every declaration the browser drops, except those a checker leaves out
#     on purpose (vendor-prefixed names and values, *zoom and _height hacks, values with
#     var(), env() or attr(), guarded ones, @page descriptors: see browser-verdicts.mjs);
#   - everything we report stands where the browser saw a declaration.
# Prints the figures: declarations asked, dropped by the browser, found by us, false marks.
# Exit 1 on a failure, 77 (skipped) when node, the installed judges or chromium are missing.
set -uo pipefail

if [ $# -ne 1 ] || [ ! -x "$1" ]; then
    echo "usage: browser-check-test.sh LOOMCSS_BINARY" >&2
    exit 2
fi
loomcss="$1"
source "$(dirname "$0")/judges-setup.sh"
chromium="${CHROMIUM:-chromium}"
if ! command -v "$chromium" >/dev/null 2>&1; then
    echo "SKIP: $chromium not found (scripts/deps installs it)"
    exit 77
fi
export CHROMIUM="$chromium"

sheets=("$here"/../data/real/*.css "$here"/../data/judges/browser-cases.css)
rc=0
"$node" "$here/browser-verdicts.mjs" "${sheets[@]}" >"$tmp/theirs" 2>"$tmp/err" || rc=$?
if [ "$rc" -ne 0 ]; then
    echo "FAIL: browser-verdicts.mjs exited $rc"
    sed 's/^/     /' "$tmp/err"
    exit 1
fi

: >"$tmp/ours"
for sheet in "${sheets[@]}"; do
    name="$(basename "$sheet")"
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

# theirs: FILE LINE COLUMN PROPERTY VERDICT LEFT-OUT EXPECTED
awk -F'\t' -v oursFile="$tmp/ours" '
BEGIN {
    while ((getline line < oursFile) > 0) {
        split(line, f, "\t")
        if (f[4] == "unknown" || f[4] == "invalid" || f[4] == "quoted")
            ours[f[1] SUBSEP f[2] SUBSEP f[3]] = f[6]
    }
}
{
    key = $1 SUBSEP $2 SUBSEP $3
    place = $1 ":" $2 ":" $3 " " $4
    seen[key] = 1
    if ($7 != "" && $7 != $5) {
        print "JUDGE " place ": the browser answers " $5 ", the case says " $7
        failed = 1
    }
    if ($5 == "none") {
        if (key in ours) { print "UNJUDGED we report " place " (" ours[key] "), which the browser is not asked"; failed = 1 }
        next
    }
    asked++
    if ($5 == "keep") kept++
    if ($6 != "" && $5 == "drop") leftOut[$6]++
    if (key in ours && ($5 == "keep" || $6 == "guarded")) {
        falseMarks++
        print "FALSE MARK " place ": we report \"" ours[key] "\", the browser " ($5 == "keep" ? "keeps it" : "drops it, but an @supports guards it")
    }
    if ($5 == "drop" && $6 == "") {
        dropped++
        if (key in ours) found++
        else print "MISSED " place ": the browser drops it, we report nothing"
    }
}
END {
    for (key in ours)
        if (!(key in seen)) {
            split(key, k, SUBSEP)
            print "UNMATCHED we report " k[1] ":" k[2] ":" k[3] " (" ours[key] ") where the browser judge saw no declaration"
            failed = 1
        }
    left = ""
    for (why in leftOut) left = left (left == "" ? "" : ", ") why " " leftOut[why]
    printf "browser asked about %d declarations: %d kept, %d dropped (of those set aside: %s)\n", asked, kept, asked - kept, left
    printf "dropped and not left out: %d; we report %d of them (%.1f%%)\n", dropped, found, dropped ? 100 * found / dropped : 100
    printf "false marks (we report, the browser keeps or an @supports guards): %d\n", falseMarks
    if (falseMarks > 0) { print "FAIL: we report declarations the browser keeps"; failed = 1 }
    if (found < dropped) { print "FAIL: we miss declarations the browser drops"; failed = 1 }
    exit failed
}' "$tmp/theirs"
