#!/usr/bin/env bash
# A real style sheet (bootstrap's CSS, with @media, @supports, @keyframes) opens
# through the Open dialog; an @media block, closed after the read, is found by typing
# its name in the element tree and opened with the Right key, and so is its first rule. Screenshots show the
# tree before and after.
source "$(dirname "$0")/lib.sh"

make_program_folder
SHEET="$WORK/bootstrap.css"
cp "$(dirname "$0")/../data/real/bootstrap.css" "$SHEET"
start_app
main=$(wait_window "${TITLE_PREFIX}Not Saved")
sleep 0.5

# Open... shows the open dialog with its file-name box focused: type the path.
press "$main" alt+o
wait_until 10 bash -c '[ "$(xdotool getwindowfocus)" != "'"$main"'" ]' || fail "the open dialog did not take the focus"
dialog=$(xdotool getwindowfocus)
type_text "$dialog" "$SHEET"
press "$dialog" Return
wait_window "${TITLE_PREFIX}$SHEET" 60 >/dev/null
sleep 0.5

# The element tree (x 0..221 below its heading): click its root row, then type the
# start of a block's label; the tree's own search selects the first @media block.
xdotool mousemove --window "$main" 60 $((35 + MENU_BAR)) click 1
sleep 0.3
type_text "$main" "@media"
sleep 0.5
import -window "$main" "$WORK/before.png"
press "$main" Right
# Down moves to the block's first rule, and Right opens it too.
press "$main" Down Right Down
sleep 0.5
import -window "$main" "$SHOTS/real-sheet-media-open.png"
cp "$SHOTS/real-sheet-media-open.png" "$WORK/after.png"
# Opening the block shows its rules below it: the tree's pixels change.
[ "$(/usr/bin/compare -metric AE "$WORK/before.png" "$WORK/after.png" null: 2>&1 || true)" != 0 ] ||
    fail "the @media block did not open"

# Nothing was edited: Close ends the program without a question.
press "$main" alt+c
wait_exit
