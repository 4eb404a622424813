#!/usr/bin/env bash
# Without attributes.db the installation check stops start-up: the "Fatal Error" box
# appears, no main window does, and the program ends when the box is closed.
source "$(dirname "$0")/lib.sh"
make_program_folder
rm "$PROGRAM/attributes.db"
start_app
id=$(wait_window "Fatal Error")
sleep 0.3
window_named "${TITLE_PREFIX}Not Saved" && fail "the main window opened"
press "$id" Return
wait_exit
