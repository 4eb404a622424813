#!/usr/bin/env bash
# Started without a style sheet, the title says the document has no file yet.
source "$(dirname "$0")/lib.sh"
make_program_folder
start_app
id=$(wait_window "${TITLE_PREFIX}Not Saved")
press "$id" alt+c
wait_exit
