#!/usr/bin/env bash
# The live preview with the real program and a real browser: a committed real sheet
# (normalize.css) is opened, Preview (F5) serves it on the built-in sample page (the
# program told by LOOMWRIGHT_PREVIEW_NO_BROWSER=1 to print the page's URL instead of
# opening a browser), headless Chromium opens that URL (preview-page.mjs), the spin
# edit's up arrow changes html's line-height, and the page's computed line-height
# changes without a reload. Screenshots of the page before and after. Skipped (77)
# without node, puppeteer-core or chromium.
source "$(dirname "$0")/lib.sh"

node="${NODE:-node}"
judges="${LW_JUDGES_DIR:-$(dirname "$0")/../../build/judges}"
if ! command -v "$node" >/dev/null || [ ! -f "$judges/node_modules/puppeteer-core/package.json" ] ||
    ! command -v "${CHROMIUM:-chromium}" >/dev/null; then
    echo "SKIP: node, puppeteer-core (in $judges) or chromium missing"
    exit 77
fi
export LW_JUDGES_DIR="$(cd "$judges" && pwd)"

make_program_folder
SHEET="$WORK/normalize.css"
cp "$(dirname "$0")/../data/real/normalize.css" "$SHEET"
LOOMWRIGHT_PREVIEW_NO_BROWSER=1 start_app "$SHEET"
id=$(wait_window "${TITLE_PREFIX}$SHEET")
sleep 0.5
locate_editors "$id"

press "$id" F5
wait_until 10 grep -q '^Preview: http' "$WORK/stderr.log" || fail "no preview URL on standard error"
url=$(sed -n 's/^Preview: //p' "$WORK/stderr.log" | head -n 1)
[[ "$url" =~ ^http://127\.0\.0\.1:[0-9]+/[0-9a-f]{32}/ ]] || fail "unexpected preview URL '$url'"

"$node" "$(dirname "$0")/preview-page.mjs" "$url" "$SHOTS" >"$WORK/page.log" 2>&1 &
page_pid=$!
wait_until 30 grep -q '^ready' "$WORK/page.log" || fail "the page did not open: $(cat "$WORK/page.log")"

# html's line-height (1.15) selected through the tree's own search; the spin edit's up
# arrow raises it.
select_declaration "line-height"
white_at "$id" $((EDITORS_X + 34)) $((153 + MENU_BAR)) || fail "the spin edit was not enabled for line-height"
xdotool mousemove --window "$id" $((EDITORS_X + 128)) $((148 + MENU_BAR)) click 1
screenshot preview-window

code=0
wait "$page_pid" || code=$?
cat "$WORK/page.log"
[ "$code" -eq 0 ] || fail "the page did not show the edit without a reload (exit $code)"
[ -s "$SHOTS/preview-before.png" ] && [ -s "$SHOTS/preview-after.png" ] || fail "no screenshots of the page"
[ "$(/usr/bin/compare -metric AE "$SHOTS/preview-before.png" "$SHOTS/preview-after.png" null: 2>&1 || true)" != 0 ] ||
    fail "the page looks the same after the edit"
# The edited sheet is not saved by the preview: the file still holds 1.15.
grep -q 'line-height: 1.15;' "$SHEET" || fail "the preview changed the file"
