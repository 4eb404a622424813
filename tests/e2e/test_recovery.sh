#!/usr/bin/env bash
# Unsaved work survives a crash: an attribute's label is edited in place (F2), the
# program writes its recovery file after the (shortened) interval and is killed; the
# next start offers the work back, Recover opens it as an edited document without
# touching the file, and Save writes exactly the edited sheet.
source "$(dirname "$0")/lib.sh"
export LOOMWRIGHT_RECOVERY_INTERVAL_MS=300

make_program_folder
SHEET="$WORK/sheet.css"
ORIGINAL='A {color=red; margin=5;}'
printf '%s' "$ORIGINAL" >"$SHEET"
start_app "$SHEET"
id=$(wait_window "${TITLE_PREFIX}$SHEET")
sleep 0.5
[ -z "$(recovery_files)" ] || fail "a recovery file before any edit: $(recovery_files)"

# The root row is selected at start; row 1 is the element A, open after the read,
# with its attributes in rows 2 and 3: margin=5 becomes margin=7.
relabel_row "$id" 3 "margin=7"
wait_window "${TITLE_PREFIX}*$SHEET" 10 >/dev/null

wait_until 10 eval '[ -n "$(recovery_files)" ]' || fail "no recovery file was written"
# Past one more interval, so that the file holds the whole edit.
sleep 1
kill -9 "$APP_PID"
wait "$APP_PID" 2>/dev/null || true
APP_PID=
file_is "$SHEET" "$ORIGINAL" || fail "the sheet changed before it was saved: $(cat "$SHEET")"

# The next start, without a file, offers the work back.
start_app
box=$(wait_window "Loomwright CSS" 30)
screenshot recovery-question
press "$box" Return # Recover, the default button
main=$(wait_window "${TITLE_PREFIX}*$SHEET" 10)
file_is "$SHEET" "$ORIGINAL" || fail "Recover wrote to the sheet: $(cat "$SHEET")"
press "$main" alt+s
wait_until 10 file_is "$SHEET" 'A {color=red; margin=7;}' || fail "Save wrote: $(od -c "$SHEET" | head -5)"
wait_until 5 eval '[ -z "$(recovery_files)" ]' || fail "the recovery file stayed after Save: $(recovery_files)"

# Saved, the sheet is no longer marked as edited: no "*" in the title, and Close
# asks nothing.
wait_window "${TITLE_PREFIX}$SHEET" 10 >/dev/null
press "$main" alt+c
wait_exit
[ -z "$(recovery_files)" ] || fail "recovery files after a normal end: $(recovery_files)"
