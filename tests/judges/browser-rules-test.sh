#!/usr/bin/env bash
# browser-rules-test.sh LOOMCSS_BINARY
# Our check of selectors, at-rules and statements (loomcss check --tab, the findings that
# belong to a rule or an at-rule) against a real browser, headless Chromium asked through
# browser-rule-verdicts.mjs, on every published style sheet in tests/data/real and on the
# hand-made cases of tests/data/judges/browser-rule-cases.css. Matched by file, line and
# column. Passes when
#   - the browser answers every hand-made case as its comment says;
#   - nothing we report is kept by the browser (a false mark), except a vendor pseudo in
#     a selector list, which the browsers of other makers drop;
#   - we report every rule and at-rule the browser drops, except vendor ones;
#   - everything we report stands where the browser saw a rule or an at-rule, and was
#     asked about (an @charset, which the object model never keeps, aside).
# Prints the figures. Exit 1 on a failure, 77 (skipped) when node, the judges or
# chromium are missing.
set -uo pipefail

if [ $# -ne 1 ] || [ ! -x "$1" ]; then
    echo "usage: browser-rules-test.sh LOOMCSS_BINARY" >&2
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

sheets=("$here"/../data/real/*.css "$here"/../data/judges/browser-rule-cases.css)
rc=0
"$node" "$here/browser-rule-verdicts.mjs" "${sheets[@]}" >"$tmp/theirs" 2>"$tmp/err" || rc=$?
if [ "$rc" -ne 0 ]; then
    echo "FAIL: browser-rule-verdicts.mjs exited $rc"
    sed 's/^/     /' "$tmp/err"
    exit 1
fi
sed 's/^/browser: /' "$tmp/err"

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
    awk -F'\t' -v OFS='\t' -v f="$name" '{ $1 = f; print }' "$tmp/findings" >>"$tmp/ours"
done

# theirs: FILE LINE COLUMN WHAT VERDICT LEFT-OUT EXPECTED
awk -F'\t' -v oursFile="$tmp/ours" '
BEGIN {
    while ((getline line < oursFile) > 0) {
        split(line, f, "\t")
        if (f[4] == "selector" || f[4] == "vendor-selector" || f[4] == "unknown-at-rule" || f[4] == "prelude" ||
            f[4] == "ignored-statement" || f[4] == "descriptor") {
            key = f[1] SUBSEP f[2] SUBSEP f[3]
            ours[key] = f[6]
            kind[key] = f[4]
        }
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
        if ((key in ours) && $4 != "@charset") { print "UNJUDGED we report " place " (" ours[key] "), which the browser is not asked"; failed = 1 }
        next
    }
    asked++
    if ($5 == "keep") kept++
    if ($6 != "" && $5 == "drop") leftOut[$6]++
    if ((key in ours) && $5 == "keep" && kind[key] != "vendor-selector") {
        falseMarks++
        print "FALSE MARK " place ": we report \"" ours[key] "\", the browser keeps it"
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
            print "UNMATCHED we report " k[1] ":" k[2] ":" k[3] " (" ours[key] ") where the browser judge saw no rule"
            failed = 1
        }
    left = ""
    for (why in leftOut) left = left (left == "" ? "" : ", ") why " " leftOut[why]
    printf "browser asked about %d rules and at-rules: %d kept, %d dropped (of those set aside: %s)\n", asked, kept, asked - kept, left
    printf "dropped and not left out: %d; we report %d of them (%.1f%%)\n", dropped, found, dropped ? 100 * found / dropped : 100
    printf "false marks (we report, the browser keeps): %d\n", falseMarks
    if (falseMarks > 0) { print "FAIL: we report rules the browser keeps"; failed = 1 }
    if (found < dropped) { print "FAIL: we miss rules the browser drops"; failed = 1 }
    exit failed
}' "$tmp/theirs"
