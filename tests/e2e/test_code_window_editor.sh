#!/usr/bin/env bash
# The code window as an editor, from the keyboard, on a real style sheet: Ctrl+F finds a
# word and Escape closes the bar (not the window); a declaration typed with completion
# (Enter takes the attribute name, Tab its word); a "}" that closes no block is marked
# by the check and named in the status line; taken back, the text is saved and read back.
# Screenshots: code-window-find.png, code-window-check.png, code-window-find-colour.png.
source "$(dirname "$0")/lib.sh"

make_program_folder
SHEET="$WORK/normalize.css"
cp "$(dirname "$0")/../data/real/normalize.css" "$SHEET"
start_app "$SHEET"
main=$(wait_window "${TITLE_PREFIX}$SHEET" 60)
sleep 0.5

press "$main" alt+e
code=$(wait_window "Style Sheet Code")
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$code")"
[ "$WIDTH" -ge 800 ] && [ "$HEIGHT" -ge 600 ] || fail "the code window is ${WIDTH}x${HEIGHT}"

press "$code" ctrl+f
type_text "$code" "margin"
sleep 0.5
import -window "$code" "$SHOTS/code-window-find.png"
press "$code" Escape
sleep 0.3
window_named "Style Sheet Code" || fail "Escape closed the code window"

# A new rule at the end, typed with completion.
press "$code" ctrl+End Return
type_text "$code" "h1 {"
press "$code" Return
type_text "$code" "  text-al"
sleep 0.3
press "$code" Return
type_text "$code" ": ce"
sleep 0.3
press "$code" Tab
type_text "$code" ";"
press "$code" Return
type_text "$code" "  color: #c03;"
press "$code" Return
type_text "$code" "}"
press "$code" Return
type_text "$code" "}"
# The check runs half a second after the last key; the caret goes up a line so that
# the mark is not under the brace highlight.
press "$code" Up
sleep 1.5
import -window "$code" "$SHOTS/code-window-check.png"
press "$code" Down End BackSpace BackSpace
press "$code" alt+s
EXPECTED=$'h1 {\n  text-align: center;\n  color: #c03;\n}'
saved_rule() { [ "$(tr -d '\r' <"$SHEET" | tail -n 4)" = "$EXPECTED" ]; }
wait_until 10 saved_rule || fail "the saved text ends: $(tail -c 80 "$SHEET" | od -c | head -8)"
# A find of the colour typed above: its match and the colour's swatch in one view.
press "$code" ctrl+f
type_text "$code" "#c03"
sleep 0.5
import -window "$code" "$SHOTS/code-window-find-colour.png"
press "$code" Escape
press "$code" alt+c
wait_until 10 eval '! window_named "Style Sheet Code"' || fail "the code window stayed open"
window_named "Error" && fail "the read-back failed"
press "$main" alt+c
wait_exit
