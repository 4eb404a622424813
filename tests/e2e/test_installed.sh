#!/usr/bin/env bash
# Installed into a fresh prefix and started from its link in <prefix>/bin, the program
# finds its catalogue in <prefix>/lib/loomwright-css and opens its main window.
source "$(dirname "$0")/lib.sh"
PREFIX="$WORK/prefix"
cmake --install "$BIN/.." --prefix "$PREFIX" >"$WORK/install.log" || fail "cmake --install failed"
for f in lib/loomwright-css/loomwright-css lib/loomwright-css/libColors.so lib/loomwright-css/loomwright-preview.so \
    lib/loomwright-css/tags.db \
    lib/loomwright-css/css.db lib/loomwright-css/attributes.db lib/loomwright-css/registry-defaults.reg \
    "lib/loomwright-css/tree control" share/applications/loomwright-css.desktop \
    share/icons/hicolor/scalable/apps/loomwright-css.svg; do
    [ -e "$PREFIX/$f" ] || fail "not installed: $f"
done
[ -L "$PREFIX/bin/loomwright-css" ] || fail "no link bin/loomwright-css"
grep -q '^MimeType=text/css;' "$PREFIX/share/applications/loomwright-css.desktop" || fail "desktop entry lacks text/css"

printf 'P {color=red;}' >"$WORK/sheet.css"
"$PREFIX/bin/loomwright-css" "$WORK/sheet.css" >"$WORK/stdout.log" 2>"$WORK/stderr.log" &
APP_PID=$!
id=$(wait_window "${TITLE_PREFIX}$WORK/sheet.css")
window_named "Fatal Error" && fail "the installed program misses its files"
press "$id" alt+c
wait_exit
