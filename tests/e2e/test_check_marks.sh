#!/usr/bin/env bash
# The declaration check's marks in the element tree: a style sheet with a declaration a
# browser would drop is opened and that declaration is hovered; its tooltip (with the
# reason) appears, and the screen is kept for a look: the struck-out label, the warning
# sign on it and on its rule, the tooltip.
source "$(dirname "$0")/lib.sh"

make_program_folder
# The check reads the value syntaxes beside the program.
cp -l "$BIN/syntax.db" "$PROGRAM/syntax.db" 2>/dev/null || cp "$BIN/syntax.db" "$PROGRAM/syntax.db"
SHEET="$WORK/sheet.css"
printf 'A {colr: red; margin: 5px;}\n' >"$SHEET"
start_app "$SHEET"
id=$(wait_window "${TITLE_PREFIX}$SHEET")
sleep 0.5

# The root row is selected at start; row 1 is A, shown open, with its declarations in
# rows 2 and 3.
TREE_X=150
read -r ROW_TOP ROW_HEIGHT < <(selected_row "$id" "$TREE_X" 0 120) || fail "no selected row in the element tree"
row_y() { echo $((ROW_TOP + $1 * ROW_HEIGHT + ROW_HEIGHT / 2)); }

eval "$(xdotool getwindowgeometry --shell "$id")"
# The part of the screen below the declaration, where its tooltip shows.
tip_area() { import -window root -crop "400x60+$((X + 100))+$((Y + $(row_y 2)))" +repage "$WORK/$1.png"; }
tip_area before
# Tooltips show in the active window only.
xdotool windowfocus --sync "$id"
xdotool mousemove --window "$id" 90 "$(row_y 2)"
sleep 0.2
xdotool mousemove --window "$id" 100 "$(row_y 2)"
shown() {
    tip_area after
    [ "$(compare -metric AE "$WORK/before.png" "$WORK/after.png" null: 2>&1 | cut -d' ' -f1)" -gt 500 ]
}
wait_until 5 shown || fail "no tooltip appeared over the struck-out declaration"
sleep 0.3
screenshot check-marks
# The tree's part of the screen, with the tooltip below the pointer.
import -window root -crop "420x160+$X+$Y" +repage "$SHOTS/check-marks-tree.png"

press "$id" alt+c
wait_exit
