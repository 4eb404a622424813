#!/usr/bin/env bash
# preview-live-test.sh LOOMCSS_BINARY
# `loomcss preview` seen from headless Chromium through puppeteer-core
# (preview-live.mjs): the sample page and a committed page with a committed real sheet,
# changes of the sheet on disk reaching every open page without a reload, a refused text
# kept out, SIGTERM. Prints the delays. Exit 1 on a failure, 77 (skipped) when node, the
# judges, puppeteer-core or chromium are missing.
set -uo pipefail

if [ $# -ne 1 ] || [ ! -x "$1" ]; then
    echo "usage: preview-live-test.sh LOOMCSS_BINARY" >&2
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
"$node" "$here/preview-live.mjs" "$1" "$here/../data" || rc=$?
case "$rc" in
    0) exit 0 ;;
    1) exit 1 ;;
    *) echo "FAIL: preview-live.mjs exited $rc"; exit 1 ;;
esac
