#!/usr/bin/env bash
# preview-live-test.sh LOOMCSS_BINARY [JUDGE]
# `loomcss preview` seen from headless Chromium through puppeteer-core. JUDGE is
# preview-live.mjs by default: the sample page and a committed page with a committed real
# sheet, changes of the sheet on disk reaching every open page without a reload, a
# refused text kept out, SIGTERM; it prints the delays. preview-inspect.mjs: Inspect
# mode's matched rules on a table of cascade cases. Exit 1 on a failure, 77 (skipped)
# when node, the judges, puppeteer-core or chromium are missing.
set -uo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ] || [ ! -x "$1" ]; then
    echo "usage: preview-live-test.sh LOOMCSS_BINARY [JUDGE]" >&2
    exit 2
fi
source "$(dirname "$0")/judges-setup.sh"
if [ ! -f "$judges/node_modules/puppeteer-core/package.json" ]; then
    echo "SKIP: puppeteer-core is not installed in $judges (run scripts/deps)"
    exit 77
fi
chromium="$(command -v "${CHROMIUM:-chromium}" || true)"
if [ -z "$chromium" ]; then
    echo "SKIP: ${CHROMIUM:-chromium} not found (scripts/deps installs it)"
    exit 77
fi
export CHROMIUM="$chromium"
rc=0
judge="${2:-preview-live.mjs}"
"$node" "$here/$judge" "$1" "$here/../data" || rc=$?
case "$rc" in
    0) exit 0 ;;
    1) exit 1 ;;
    *) echo "FAIL: $judge exited $rc"; exit 1 ;;
esac
