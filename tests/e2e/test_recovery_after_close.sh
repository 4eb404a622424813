#!/usr/bin/env bash
# A normal end leaves nothing to recover: after an edit that was not saved (No in the
# question at Close), the recovery file is gone, and the next start asks nothing.
source "$(dirname "$0")/lib.sh"
export LOOMWRIGHT_RECOVERY_INTERVAL_MS=300

make_program_folder
SHEET="$WORK/sheet.css"
printf 'A {color=red; margin=5;}' >"$SHEET"
start_app "$SHEET"
id=$(wait_window "${TITLE_PREFIX}$SHEET")
sleep 0.5

# Row 3 of the element tree is margin=5 (under A, open after the read).
relabel_row "$id" 3 "margin=7"
wait_window "${TITLE_PREFIX}*$SHEET" 10 >/dev/null
wait_until 10 eval '[ -n "$(recovery_files)" ]' || fail "no recovery file was written"

press "$id" alt+c
box=$(wait_window "Loomwright CSS")
press "$box" n
wait_exit
[ -z "$(recovery_files)" ] || fail "recovery files after a normal end: $(recovery_files)"

start_app
main=$(wait_window "${TITLE_PREFIX}Not Saved")
sleep 1.5
window_named "Loomwright CSS" && fail "a question was asked after a normal end"
press "$main" alt+c
wait_exit
