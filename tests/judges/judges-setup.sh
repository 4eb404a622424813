# Sourced by the judges' test scripts beside it. Sets $here (this folder), $node (the
# node program: $NODE or node) and $judges (the installed judges: $LW_JUDGES_DIR or
# build/judges, exported for the .mjs scripts), makes a temporary folder $tmp removed at
# exit, and exits 77 (skipped) with the reason when node or the judges are missing.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
node="${NODE:-node}"
judges="${LW_JUDGES_DIR:-$here/../../build/judges}"
if ! command -v "$node" >/dev/null 2>&1; then
    echo "SKIP: node not found (scripts/deps installs it)"
    exit 77
fi
if [ ! -f "$judges/node_modules/postcss/package.json" ] || [ ! -f "$judges/node_modules/css-tree/package.json" ]; then
    echo "SKIP: the judges are not installed in $judges (run scripts/deps)"
    exit 77
fi
export LW_JUDGES_DIR="$judges"

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
