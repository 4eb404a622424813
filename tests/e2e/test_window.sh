#!/usr/bin/env bash
# The main window at its first start, with a real style sheet open: it fits the screen
# (at least 1000 x 700 on this 1280 x 800 one); "Show Unused Elements" switched off in
# the element tree's menu hides the catalogue's empty nodes; the window stores where
# it stood when it closes and stands there again at the next start. Screenshots show
# the window before and after the unused nodes are hidden.
source "$(dirname "$0")/lib.sh"

make_program_folder
SHEET="$WORK/normalize.css"
cp "$(dirname "$0")/../data/real/normalize.css" "$SHEET"
start_app "$SHEET"
id=$(wait_window "${TITLE_PREFIX}$SHEET")
sleep 0.5

eval "$(xdotool getwindowgeometry --shell "$id")"
[ "$WIDTH" -ge 1000 ] && [ "$HEIGHT" -ge 700 ] || fail "first start at ${WIDTH}x$HEIGHT, below 1000x700"
[ "$WIDTH" -le 1280 ] && [ "$HEIGHT" -le 800 ] || fail "first start at ${WIDTH}x$HEIGHT, larger than the screen"
FIRST="$WIDTH x $HEIGHT at $X,$Y"
import -window "$id" "$SHOTS/window-first-start.png"

# The element tree's menu (a right click on it), then its entry Sho&w Unused Elements.
xdotool mousemove --window "$id" 60 $((120 + MENU_BAR)) click 3
sleep 0.5
xdotool key w
sleep 0.5
import -window "$id" "$SHOTS/window-unused-hidden.png"
[ "$(/usr/bin/compare -metric AE "$SHOTS/window-first-start.png" "$SHOTS/window-unused-hidden.png" null: 2>&1 || true)" != 0 ] ||
    fail "hiding the unused elements changed nothing on the screen"
# Hiding nodes is no edit of the style sheet: the title has no "*".
window_named "${TITLE_PREFIX}$SHEET" || fail "the title changed: $(xdotool getwindowname "$id")"

# Ctrl+Q closes without a question; the placement is stored.
press "$id" ctrl+q
wait_exit
for name in Maximised Left Top Width Height Splitter; do
    grep -q "^\"$name\"=dword:" "$LOOMWRIGHT_REGISTRY" || fail "no $name stored under Position"
done

start_app "$SHEET"
id=$(wait_window "${TITLE_PREFIX}$SHEET")
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$id")"
[ "$WIDTH x $HEIGHT at $X,$Y" = "$FIRST" ] || fail "second start at $WIDTH x $HEIGHT at $X,$Y, first at $FIRST"
press "$id" ctrl+q
wait_exit
