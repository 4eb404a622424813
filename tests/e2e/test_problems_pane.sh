#!/usr/bin/env bash
# The problems pane: a style sheet with one finding of each kind is opened; the pane
# lists them, choosing a row selects the node or declaration it names in the element tree
# (the value editors follow the selection), and the screen is kept for a look.
source "$(dirname "$0")/lib.sh"

make_program_folder
cp -l "$BIN/syntax.db" "$PROGRAM/syntax.db" 2>/dev/null || cp "$BIN/syntax.db" "$PROGRAM/syntax.db"
SHEET="$WORK/kinds.css"
printf '%s\n' \
    'a { colr: red }' \
    'b { display: flexx }' \
    'c { color: red; color: blue }' \
    'd:hovr { top: 0 }' \
    'input::-moz-placeholder, input::placeholder { color: red }' \
    '@medai screen { e { top: 0 } }' \
    '@media (min-widht: 1px) { f { top: 0 } }' \
    '@font-face { font-family: x; font-wieght: bold }' \
    '@import url(late.css);' \
    'g { padding-top: 0; padding: 1em }' \
    'h { top: 0 }' \
    'h { left: 0 }' \
    '.empty {}' \
    '@keyframes k { from { top: 0 !important } }' \
    ':root { --a: 1px } i { top: var(--b) }' >"$SHEET"
start_app "$SHEET"
id=$(wait_window "${TITLE_PREFIX}$SHEET")
sleep 1
screenshot problems-pane

locate_editors "$id"
eval "$(xdotool getwindowgeometry --shell "$id")"
# Choosing: a click into the list, then Home (the first finding, line 1: colr: red, a
# declaration without a value editor), then Down (line 2: display: flexx, whose value is
# a choice). The Choice box is enabled only when the tree's selection is that
# declaration, so the window's own click handler ran for it.
white_at "$id" $((EDITORS_X + 95)) $((197 + MENU_BAR)) && fail "the choice list is enabled before any row is chosen"
read -r ROOT_TOP ROOT_HEIGHT < <(selected_row "$id" 150 0 120) || fail "no selected row in the element tree"
xdotool mousemove --window "$id" 400 $((HEIGHT - 120)) click 1
sleep 0.3
press "$id" Home
sleep 0.3
press "$id" Down
wait_until 5 white_at "$id" $((EDITORS_X + 95)) $((197 + MENU_BAR)) || fail "choosing display: flexx did not select it in the tree"
read -r TOP _ < <(selected_row "$id" 150 0 $((HEIGHT - 330))) || fail "no selected row in the element tree after choosing"
[ "$TOP" != "$ROOT_TOP" ] || fail "the tree's selection stayed on the root"
screenshot problems-pane-chosen
# A finding of a rule itself (the empty rule, line 13): the rule is selected, and a
# rule has no value editor.
press "$id" End
press "$id" Up
press "$id" Up
choice_disabled() { ! white_at "$id" $((EDITORS_X + 95)) $((197 + MENU_BAR)); }
wait_until 5 choice_disabled || fail "choosing a rule's finding left the declaration selected"
screenshot problems-pane-rule
press "$id" alt+c
wait_exit
