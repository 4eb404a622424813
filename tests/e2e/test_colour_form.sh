#!/usr/bin/env bash
# The colour button keeps the author's form: on `color: oklch(70% 0.1 200)` a pick in
# the palette (red) writes an oklch() colour, the declaration beside it keeps its hex
# case, the contrast beside the button is shown, the button's menu offers the forms,
# and Save writes exactly that; css-tree judges the saved sheet valid.
source "$(dirname "$0")/lib.sh"

make_program_folder
SHEET="$WORK/sheet.css"
cat >"$SHEET" <<'CSS'
h1 {
  color: oklch(70% 0.1 200);
  border: 1px solid #abc;
}
CSS
start_app "$SHEET"
id=$(wait_window "${TITLE_PREFIX}$SHEET")
sleep 0.5

locate_editors "$id"
select_declaration color
screenshot colour-form-selected

# The palette opens below the button (window x EDITORS_X + 19, y 46, 45 x 22); its
# square in column 1, row 2 is red: 3 pixels of border, then 18 pixels a square.
click_at $((EDITORS_X + 41)) 57
sleep 0.5
screenshot colour-form-palette
click_at $((EDITORS_X + 19 + 3 + 9)) $((68 + 3 + 18 + 9))
sleep 0.3
screenshot colour-form-picked

# The button's menu (right click) lists the forms; Escape closes it unchanged.
xdotool mousemove --window "$id" $((EDITORS_X + 30)) $((57 + MENU_BAR)) click 3
sleep 0.5
screenshot colour-form-menu
press "$id" Escape
sleep 0.2

press "$id" ctrl+s
expected='h1 {
  color: oklch(62.796% 0.25768 29.234);
  border: 1px solid #abc;
}'
wait_until 10 file_is "$SHEET" "$expected
" || fail "the saved sheet holds: $(cat "$SHEET")"

JUDGE="$(dirname "$0")/../judges/css-tree-verdicts.mjs"
invalid=$("${NODE:-node}" "$JUDGE" --invalid-only "$SHEET" 2>"$WORK/judge.log") ||
    fail "css-tree could not judge the saved sheet: $(cat "$WORK/judge.log")"
[ -z "$invalid" ] || fail "css-tree finds declarations invalid: $invalid"

# Saved, the sheet is no longer marked as edited: no "*" in the title, and Close
# asks nothing.
wait_window "${TITLE_PREFIX}$SHEET" 10 >/dev/null
press "$id" ctrl+q
wait_exit
