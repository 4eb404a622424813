#!/usr/bin/env bash
# A new sheet built with the keyboard only: New Rule (Ctrl+R) with three declarations
# (New Property, Ctrl+Shift+P), an @media block from New At-rule (Ctrl+Shift+R) with a
# rule and a declaration inside, then Save through the Save dialog. The file holds
# exactly that standard CSS, and css-tree and postcss find every declaration in place
# and valid.
source "$(dirname "$0")/lib.sh"

make_program_folder
SHEET="$WORK/card.css"
start_app
id=$(wait_window "${TITLE_PREFIX}Not Saved")
sleep 0.5

press "$id" ctrl+r
sleep 0.3
screenshot build-new-rule-in-edit
press "$id" ctrl+a
type_text "$id" ".card"
press "$id" Return
for declaration in "padding: 16px" "border-radius: 8px" "background-color: #ffffff"; do
    press "$id" ctrl+shift+p
    sleep 0.2
    press "$id" ctrl+a
    type_text "$id" "$declaration"
    press "$id" Return
    sleep 0.2
done

# Home selects the root: the at-rule goes at the end of the sheet.
press "$id" Home
sleep 0.2
press "$id" ctrl+shift+r
sleep 0.4
screenshot build-at-rule-menu
press "$id" Down Return
sleep 0.3
press "$id" Return
sleep 0.2
press "$id" ctrl+r
sleep 0.2
press "$id" ctrl+a
type_text "$id" ".card"
press "$id" Return
press "$id" ctrl+shift+p
sleep 0.2
press "$id" ctrl+a
type_text "$id" "padding: 8px"
press "$id" Return
sleep 0.3
screenshot build-finished-tree

press "$id" ctrl+s
dialog=$(wait_visible_window "Save Style Sheet")
sleep 0.5
press "$dialog" ctrl+a
type_text "$dialog" "$SHEET"
press "$dialog" Return
expected='.card {
  padding: 16px;
  border-radius: 8px;
  background-color: #ffffff;
}

@media (max-width: 600px) {
  .card {
    padding: 8px;
  }
}'
wait_until 10 file_is "$SHEET" "$expected
" || fail "the saved sheet holds: $( [ -f "$SHEET" ] && cat "$SHEET")"

JUDGES="$(dirname "$0")/../judges"
invalid=$("${NODE:-node}" "$JUDGES/css-tree-verdicts.mjs" --invalid-only "$SHEET" 2>"$WORK/judge.log") ||
    fail "css-tree could not judge the saved sheet: $(cat "$WORK/judge.log")"
[ -z "$invalid" ] || fail "css-tree finds declarations invalid: $invalid"
declarations=$("${NODE:-node}" "$JUDGES/postcss-declarations.mjs" "$SHEET" 2>"$WORK/judge.log") ||
    fail "postcss could not read the saved sheet: $(cat "$WORK/judge.log")"
[ "$declarations" = ".card > padding: 16px
.card > border-radius: 8px
.card > background-color: #ffffff
@media (max-width: 600px) > .card > padding: 8px" ] || fail "postcss reads: $declarations"

press "$id" ctrl+q
# A question about saving, if one comes, is answered No: the file was checked above.
for _ in 1 2 3 4 5 6 7 8 9 10; do
    kill -0 "$APP_PID" 2>/dev/null || break
    if box=$(xdotool search --onlyvisible --name "^Loomwright CSS\$" 2>/dev/null | head -n 1) && [ -n "$box" ]; then
        press "$box" n
        break
    fi
    sleep 0.2
done
wait_exit
