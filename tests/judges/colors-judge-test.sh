#!/usr/bin/env bash
# CTest colors_judge: `loomcss color` against colorjs.io on the colour table
# (colors-judge.mjs says what is compared). Exits 77 (skipped) when node or the
# installed judges (scripts/deps) are missing. Usage: colors-judge-test.sh LOOMCSS
set -euo pipefail

source "$(dirname "$0")/judges-setup.sh"
if [ ! -f "$judges/node_modules/colorjs.io/package.json" ]; then
    echo "SKIP: colorjs.io is not installed in $judges (run scripts/deps)"
    exit 77
fi
"$node" "$here/colors-judge.mjs" "$1" "$here/../data/colors/colours.txt"
