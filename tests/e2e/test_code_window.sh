#!/usr/bin/env bash
# The code window from the keyboard: with nothing edited, Alt+E opens it, a typed rule
# is saved over the style sheet given on the command line, Close reads the file back
# into the trees, and Save in the main window writes the tree's form of it.
source "$(dirname "$0")/lib.sh"
make_program_folder
SHEET="$WORK/sheet.css"
printf 'P {color=red;}' >"$SHEET"
start_app "$SHEET"
main=$(wait_window "${TITLE_PREFIX}$SHEET")
sleep 0.3

press "$main" alt+e
code=$(wait_window "Style Sheet Code")
press "$code" ctrl+End Return
type_text "$code" "H1 {margin=5;}"
press "$code" alt+s
wait_until 10 file_is "$SHEET" $'P {color=red;}\r\nH1 {margin=5;}' ||
    fail "the code window saved: $(od -c "$SHEET" | head -5)"
press "$code" alt+c
wait_until 10 eval '! window_named "Style Sheet Code"' || fail "the code window stayed open"

# The file was read back into the trees: Save writes it in tree order, H1 before P.
press "$main" alt+s
wait_until 10 file_is "$SHEET" $'H1 {margin=5;}\r\nP {color=red;}' || fail "Save wrote: $(od -c "$SHEET" | head -5)"
window_named "Loomwright CSS" && fail "a message box is open"
press "$main" alt+c
wait_exit
