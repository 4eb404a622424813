#!/usr/bin/env bash
# Save changes only what the user changed: a committed real style sheet is opened, one
# colour is changed with the colour button's palette and one length with the spin
# edit's arrow; the saved file differs from the original in exactly those two lines.
# Both edits undone with Ctrl+Z and saved again give the original bytes.
source "$(dirname "$0")/lib.sh"

make_program_folder
ORIGINAL="$(dirname "$0")/../data/real/normalize.css"
SHEET="$WORK/normalize.css"
cp "$ORIGINAL" "$SHEET"
start_app "$SHEET"
id=$(wait_window "${TITLE_PREFIX}$SHEET")
sleep 0.5

locate_editors "$id"

# A length: font-size: 2em stepped up by the spin edit's arrow.
select_declaration font-size
click_at $((EDITORS_X + 128)) 148
# A colour: color: inherit given a colour of the palette.
select_declaration color
click_at $((EDITORS_X + 41)) 57
sleep 0.5
xdotool key --clearmodifiers Right Down Return
sleep 0.3
screenshot save-in-place-edited

press "$id" ctrl+s
wait_until 10 bash -c "! cmp -s '$ORIGINAL' '$SHEET'" || fail "Save did not write the sheet"
# git diff exits 1 when the files differ.
numstat=$( (git diff --no-index --numstat "$ORIGINAL" "$SHEET" || true) | cut -f1,2)
echo "numstat: $numstat"
(git diff --no-index "$ORIGINAL" "$SHEET" || true) | grep '^[-+][^-+]' || true
[ "$numstat" = "$(printf '2\t2')" ] || fail "the saved sheet differs in other lines than the two edited: $numstat"
grep -q '^  font-size: 3em;$' "$SHEET" || fail "the length was not stepped in place"
grep -qE '^  color: #[0-9A-Fa-f]{6}; /\* 2 \*/$' "$SHEET" || fail "the colour was not written in place"

# Both edits undone (the keys go to the element tree) and saved: the original bytes.
click_at 60 35
press "$id" ctrl+z
press "$id" ctrl+z
sleep 0.3
press "$id" ctrl+s
wait_until 10 cmp -s "$ORIGINAL" "$SHEET" || fail "undone and saved, the sheet is not the original: $(git diff --no-index --stat "$ORIGINAL" "$SHEET" || true)"

# Undone back to where it was read, the sheet is unedited: Close asks nothing.
press "$id" ctrl+q
wait_exit
