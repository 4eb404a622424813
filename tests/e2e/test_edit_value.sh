#!/usr/bin/env bash
# A value edited with the mouse reaches the file: a style sheet is opened, an
# attribute node is clicked (its editor is enabled and preset), the spin edit's up
# arrow is clicked, and Save writes exactly the edited sheet.
source "$(dirname "$0")/lib.sh"

wait_file() {
    local path=$1 expected=$2 i=0
    while [ "$(cat "$path" 2>/dev/null)" != "$expected" ]; do
        sleep 0.1
        i=$((i + 1))
        [ $i -lt 100 ] || fail "$path holds '$(cat "$path")', expected '$expected'"
    done
}

make_program_folder
SHEET="$WORK/sheet.css"
printf 'A {color=red; margin=5;}' >"$SHEET"
start_app "$SHEET"
id=$(wait_window "${TITLE_PREFIX}$SHEET")
sleep 0.5

# Client layout (the window has no frame without a window manager): the element
# tree from x 0 below its heading, the catalogue tree beside it, and the value
# editors in the 148 pixels at the right edge: the spin edit 19 pixels into them at
# y 142 (117 x 23), with its arrows at its right end.
eval "$(xdotool getwindowgeometry --shell "$id")"
EDITORS_X=$((WIDTH - 148))
# The root row is selected at start (a click on it would edit its label).
TREE_X=150
read -r ROW_TOP ROW_HEIGHT < <(selected_row "$id" "$TREE_X" 0 120) || fail "no selected row in the element tree"
[ "$ROW_HEIGHT" -ge 16 ] || fail "unexpected row height $ROW_HEIGHT"
row_y() { echo $((ROW_TOP + $1 * ROW_HEIGHT + ROW_HEIGHT / 2)); }

white_at "$id" $((EDITORS_X + 34)) $((153 + MENU_BAR)) && fail "the spin edit is enabled before any attribute is clicked"

# Row 1 is the element A, shown open after the read: its attributes are rows 2 and 3.
# Click margin=5: the spin edit is enabled and shows 5; its up arrow makes it 6.
xdotool mousemove --window "$id" "$TREE_X" "$(row_y 3)" click 1
sleep 0.3
white_at "$id" $((EDITORS_X + 34)) $((153 + MENU_BAR)) || fail "the spin edit was not enabled by the click"
xdotool mousemove --window "$id" $((EDITORS_X + 128)) $((148 + MENU_BAR)) click 1
sleep 0.3
screenshot edit-value
import -window "$id" "$SHOTS/edit-value-window.png"

press "$id" alt+s
wait_file "$SHEET" 'A {color=red; margin=6;}'
# Saved, the sheet is no longer marked as edited: no "*" in the title, and Close
# asks nothing.
wait_window "${TITLE_PREFIX}$SHEET" 10 >/dev/null
press "$id" alt+c
wait_exit
