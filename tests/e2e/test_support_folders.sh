#!/usr/bin/env bash
# Without "tree control" beside the program the warning appears and the main window
# still opens; a missing "common code" folder is made as "Common Code" without a word.
source "$(dirname "$0")/lib.sh"
make_program_folder
rm -rf "$PROGRAM/tree control" "$PROGRAM/Common Code"
start_app
box=$(wait_window "Loomwright 99")
press "$box" Return
# The start-up screen is made a second time (hidden) once the main window is built; it
# repeats the check, but the user has seen the warning: it does not come again.
warnings=1
main=
for _ in $(seq 300); do
    if window_named "Loomwright 99"; then
        box=$(wait_window "Loomwright 99" 5)
        press "$box" Return
        warnings=$((warnings + 1))
        sleep 0.2
    elif window_named "${TITLE_PREFIX}Not Saved"; then
        main=$(wait_window "${TITLE_PREFIX}Not Saved" 5)
        break
    fi
    sleep 0.1
done
[ -n "$main" ] || fail "the main window did not open after the warning"
# Nor later: the hidden screen is made after the main window is built.
sleep 1
window_named "Loomwright 99" && warnings=$((warnings + 1))
[ "$warnings" -eq 1 ] || fail "the warning came $warnings times"
[ -d "$PROGRAM/Common Code" ] || fail "\"Common Code\" was not made"
window_named "Fatal Error" && fail "a fatal error was shown"
wait_until 10 eval '! window_named "Loomwright 99"' || fail "the warning stayed"
press "$main" alt+c
wait_exit
