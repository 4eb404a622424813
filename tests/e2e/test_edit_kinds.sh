#!/usr/bin/env bash
# Each value editor writes valid CSS into a standard style sheet: one declaration of
# each kind (colour, font, number, choice, file) is found by typing its name in the
# element tree and edited with its editor (the palette, typed text, the spin edit's
# arrow, the choice list's keys); Save writes the sheet, and css-tree, as an
# independent judge, finds every declaration of the saved file valid.
source "$(dirname "$0")/lib.sh"

make_program_folder
SHEET="$WORK/sheet.css"
cat >"$SHEET" <<'CSS'
h1 {
  color: #336699;
  font-family: Georgia, serif;
  margin: 0.67em 0;
  display: block;
  background-image: url(img/a.png);
}
CSS
start_app "$SHEET"
id=$(wait_window "${TITLE_PREFIX}$SHEET")
sleep 0.5

locate_editors "$id"

# Colour: the button's palette opens below it; the keys move through its swatches and
# Enter picks one.
select_declaration color
click_at $((EDITORS_X + 41)) 57
sleep 0.5
screenshot edit-kinds-palette
xdotool key --clearmodifiers Right Down Return
sleep 0.3

# Font: the family typed into the font list replaces the first family of the list.
select_declaration font-family
click_at $((EDITORS_X + 60)) 101
press "$id" ctrl+a
type_text "$id" "DejaVu Sans"
sleep 0.3

# Number: the spin edit's up arrow steps the first number and keeps its unit.
select_declaration margin
click_at $((EDITORS_X + 128)) 148

# Choice: Down picks the next keyword of the list.
select_declaration display
click_at $((EDITORS_X + 60)) 197
press "$id" Down
sleep 0.3

# File: a path typed into the file field.
select_declaration background-image
click_at $((EDITORS_X + 60)) 245
press "$id" ctrl+a
type_text "$id" "img/b.png"
sleep 0.3
screenshot edit-kinds

press "$id" ctrl+s
wait_until 10 bash -c "! grep -q Georgia '$SHEET'" || fail "Save did not write the sheet"
saved=$(cat "$SHEET")
echo "saved: $saved"
# Each editor wrote its declaration in standard CSS: the palette's colour as #RRGGBB,
# the typed family quoted in front of the rest of the list, the number with its unit
# and the second value, the keyword unquoted, the path inside url().
for expected in 'color: #7F0000;' 'font-family: "DejaVu Sans", serif;' 'margin: 1.67em 0;' \
    'display: inline;' 'background-image: url("img/b.png");'; do
    grep -qF "$expected" "$SHEET" || fail "the saved sheet lacks '$expected': $saved"
done

# The independent judge: every declaration of the saved file is valid by css-tree.
JUDGE="$(dirname "$0")/../judges/css-tree-verdicts.mjs"
invalid=$("${NODE:-node}" "$JUDGE" --invalid-only "$SHEET" 2>"$WORK/judge.log") ||
    fail "css-tree could not judge the saved sheet: $(cat "$WORK/judge.log")"
[ -z "$invalid" ] || fail "css-tree finds declarations invalid: $invalid"
grep -q '^5 declarations, 0 invalid, 0 skipped' "$WORK/judge.log" ||
    fail "css-tree did not judge the five declarations: $(cat "$WORK/judge.log")"

# Saved, the sheet is no longer marked as edited: no "*" in the title, and Close
# asks nothing.
wait_window "${TITLE_PREFIX}$SHEET" 10 >/dev/null
press "$id" ctrl+q
wait_exit
