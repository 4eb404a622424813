#!/usr/bin/env bash
# Started with a style sheet on the command line, the window's title names it.
source "$(dirname "$0")/lib.sh"
make_program_folder
printf 'BODY {color=red; margin=5;}\r\n.note {font-family="Serif";}' >"$WORK/sheet.css"
start_app "$WORK/sheet.css"
id=$(wait_window "${TITLE_PREFIX}$WORK/sheet.css")
sleep 0.5
screenshot main-window
press "$id" alt+c
wait_exit
