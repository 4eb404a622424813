#!/usr/bin/env bash
# Shows that the judges can fail and can pass: same-css.mjs on small variants of one
# style sheet, on the published style sheets, and css-tree-verdicts.mjs on a fixture
# with known verdicts. Exits 77 (skipped) when node or the installed judges
# (scripts/deps) are missing. $NODE names the node program (default: node).
set -euo pipefail

source "$(dirname "$0")/judges-setup.sh"
data="$here/../data/judges"
real="$here/../data/real"
passed=0
failed=0

# expect NAME WANTED_EXIT ORIGINAL SAVED
expect() {
    local name="$1" want="$2" got=0
    "$node" "$here/same-css.mjs" "$3" "$4" >"$tmp/out" 2>&1 || got=$?
    # A difference must be reported as one, a parse error with its place.
    if [ "$got" = "$want" ] && { [ "$want" != 1 ] || grep -q ' does not say the same as ' "$tmp/out"; } &&
        { [ "$want" != 2 ] || grep -qE ':[0-9]+:[0-9]+: ' "$tmp/out"; }; then
        passed=$((passed + 1))
        echo "ok   $name (exit $got)"
    else
        failed=$((failed + 1))
        echo "FAIL $name: exit $got, wanted $want"
        sed 's/^/     /' "$tmp/out"
    fi
}

# Each case is base.css changed by one perl substitution (over the whole file),
# or, for "reformatted", a committed file: NAME | WANTED EXIT | SUBSTITUTION.
cases=(
    'identical|0|'
    'dropped declaration|1|s/  margin: 0;\n//'
    'two declarations swapped in one rule|1|s/color: red; text-decoration: underline/text-decoration: underline; color: red/'
    'changed @media prelude|1|s/min-width: 576px/min-width: 577px/'
    'declaration moved out of @media|1|s/(\@media [^{]*\{\n)(  \.btn \{ padding: 4px 8px; \}\n)/$2$1/'
    'dropped comment|1|s|/\* Page colours \*/\n||'
    'dropped @import|1|s/\@import [^\n]*\n//'
    'whitespace inside a string|1|s/"a  /"a /'
    'class selector case|1|s/^\.btn \{/.BTN {/m'
    'dropped !important|1|s/ !important//'
    'dropped hack prefix|1|s/\*zoom/zoom/'
    'two @font-face blocks swapped|1|s/(\@font-face \{ font-family: A; [^\n]*\n)(\@font-face [^\n]*\n)/$2$1/'
    'name=value declarations|2|s/color: #333;/color=#333;/'
)
for c in "${cases[@]}"; do
    IFS='|' read -r name want substitution <<<"$c"
    perl -0pe "$substitution" "$data/base.css" >"$tmp/saved.css"
    if [ -n "$substitution" ] && cmp -s "$data/base.css" "$tmp/saved.css"; then
        failed=$((failed + 1))
        echo "FAIL $name: the substitution changed nothing"
        continue
    fi
    expect "$name" "$want" "$data/base.css" "$tmp/saved.css"
done
expect 'reformatted (CR LF, blanks, BODY, A:Hover, empty blocks, comment moved)' 0 "$data/base.css" "$data/reformatted.css"

# The published style sheets: against themselves, against postcss's own writing of
# them with the layout forgotten, and with one declaration left out of that.
for sheet in "$real"/*.css; do
    name="$(basename "$sheet")"
    expect "$name against itself" 0 "$sheet" "$sheet"
    "$node" "$here/reflow.mjs" "$sheet" >"$tmp/reflowed.css"
    expect "$name against its reflowed copy" 0 "$sheet" "$tmp/reflowed.css"
    "$node" "$here/reflow.mjs" "$sheet" --drop-declaration 40 >"$tmp/dropped.css"
    expect "$name with its 40th declaration dropped" 1 "$sheet" "$tmp/dropped.css"
done

# css-tree's verdicts: LINE, COLUMN, PROPERTY, VERDICT (the reason is css-tree's own
# text; an invalid verdict must carry one).
check_verdicts() {
    local name="$1" want="$2" got
    shift 2
    got="$("$node" "$here/css-tree-verdicts.mjs" "$@" 2>"$tmp/summary" |
        awk -F'\t' '{ print $1, $2, $3, $4, ($4 == "invalid" && $5 == "") ? "NO-REASON" : "" }')" || true
    got="$got|$(cat "$tmp/summary")"
    # A difference must be reported as one, a parse error with its place.
    if [ "$got" = "$want" ] && { [ "$want" != 1 ] || grep -q ' does not say the same as ' "$tmp/out"; } &&
        { [ "$want" != 2 ] || grep -qE ':[0-9]+:[0-9]+: ' "$tmp/out"; }; then
        passed=$((passed + 1))
        echo "ok   $name"
    else
        failed=$((failed + 1))
        printf 'FAIL %s\n  got:    %s\n  wanted: %s\n' "$name" "$got" "$want"
    fi
}
summary='4 declarations, 2 invalid, 1 skipped'
check_verdicts 'css-tree verdicts' "$(printf '%s\n' '2 3 width invalid ' '3 3 display ok ' '5 21 display invalid ' '6 6 margin skip ')|$summary" \
    "$data/verdicts.css"
check_verdicts 'css-tree verdicts, invalid only' "$(printf '%s\n' '2 3 width invalid ' '5 21 display invalid ')|$summary" \
    --invalid-only "$data/verdicts.css"

echo "judges: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
