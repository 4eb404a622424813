# Shared steps of the end-to-end tests. Sourced by each test_*.sh, which is called as
#   test_x.sh <bin folder> <work folder> <screenshot folder>
# under xvfb-run.
set -euo pipefail

BIN=$1
WORK=$2
SHOTS=$3
APP_PID=
TITLE_PREFIX="Loomwright CSS - "

rm -rf "$WORK"
mkdir -p "$WORK" "$SHOTS"
export LOOMWRIGHT_REGISTRY="$WORK/registry.reg"
export XDG_CONFIG_HOME="$WORK/config"
# Recovery files of unsaved work go here, not into the user's own state folder.
export XDG_STATE_HOME="$WORK/state"
RECOVERY="$XDG_STATE_HOME/Loomwright 99"

fail() {
    echo "FAIL: $*" >&2
    if [ -n "$APP_PID" ]; then
        import -window root "$WORK/failure.png" 2>/dev/null || true
        echo "screen at failure: $WORK/failure.png" >&2
    fi
    exit 1
}

cleanup() {
    if [ -n "$APP_PID" ] && kill -0 "$APP_PID" 2>/dev/null; then
        kill "$APP_PID" 2>/dev/null || true
    fi
}
trap cleanup EXIT

# A program folder of the test's own: the program, its library and its catalogue,
# hard-linked where possible (the program finds its catalogue beside its own file).
make_program_folder() {
    PROGRAM="$WORK/program"
    mkdir -p "$PROGRAM"
    for f in loomwright-css libColors.so loomwright-preview.so tags.db css.db attributes.db registry-defaults.reg; do
        [ -e "$BIN/$f" ] || continue
        cp -l "$BIN/$f" "$PROGRAM/$f" 2>/dev/null || cp "$BIN/$f" "$PROGRAM/$f"
    done
    [ -d "$BIN/tree control" ] && cp -r "$BIN/tree control" "$PROGRAM/tree control"
    true
}

# start_app [args...]: starts the program in the background.
start_app() {
    "$PROGRAM/loomwright-css" "$@" >"$WORK/stdout.log" 2>"$WORK/stderr.log" &
    APP_PID=$!
}

# wait_window <exact title> [seconds]: prints the window id.
wait_window() {
    local title=$1 seconds=${2:-30} id
    id=$(timeout "$seconds" xdotool search --sync --onlyvisible --name "^$(printf '%s' "$title" | sed 's/[][\.*^$()+?{}|]/\\&/g')\$" 2>/dev/null | head -n 1) ||
        fail "no window titled '$title' within ${seconds}s"
    echo "$id"
}

# window_named <exact title>: true when such a window exists now.
window_named() {
    xdotool search --onlyvisible --name "^$(printf '%s' "$1" | sed 's/[][\.*^$()+?{}|]/\\&/g')\$" >/dev/null 2>&1
}

# press <window id> <keys...>
press() {
    local id=$1
    shift
    xdotool windowfocus --sync "$id"
    xdotool key --clearmodifiers "$@"
}

# type_text <window id> <text>
type_text() {
    xdotool windowfocus --sync "$1"
    xdotool type --delay 20 "$2"
}

# wait_exit [seconds]: waits for the program to end; fails unless its exit code is 0.
wait_exit() {
    local seconds=${1:-20} i=0
    while kill -0 "$APP_PID" 2>/dev/null; do
        sleep 0.1
        i=$((i + 1))
        [ $i -lt $((seconds * 10)) ] || fail "the program did not end within ${seconds}s"
    done
    local code=0
    wait "$APP_PID" || code=$?
    APP_PID=
    [ "$code" -eq 0 ] || fail "the program ended with exit code $code (stderr: $(tail -5 "$WORK/stderr.log"))"
}

screenshot() {
    import -window root "$SHOTS/$1.png"
}

# wait_until <seconds> <command...>: retries the command every 0.1 s until it succeeds.
wait_until() {
    local seconds=$1 i=0
    shift
    until "$@"; do
        sleep 0.1
        i=$((i + 1))
        [ $i -lt $((seconds * 10)) ] || return 1
    done
}

# file_is <path> <bytes>: true when the file holds exactly these bytes.
file_is() {
    cmp -s <(printf '%s' "$2") "$1"
}

# recovery_files: prints the names of the recovery files there are now.
recovery_files() {
    ls -A "$RECOVERY" 2>/dev/null | grep '\.recovery$' || true
}

# The pixels of column x from y0 to y1 of a window, one "y r g b" per line.
column() {
    local id=$1 x=$2 y0=$3 y1=$4
    import -window "$id" "$WORK/probe.png"
    /usr/bin/convert "$WORK/probe.png" -crop "1x$((y1 - y0))+$x+$y0" +repage -depth 8 txt:- |
        awk -v y0="$y0" 'NR > 1 { split($1, p, /[,:]/); c = $2; gsub(/[()]/, "", c); split(c, v, ",");
                                  print p[2] + y0, v[1], v[2], v[3] }'
}

# The top line and the height of the selected (blue) row of the tree whose column x
# runs from y0 to y1, as "top height".
selected_row() {
    column "$@" | awk '$2 < 100 && $4 > 150 && $4 > $2 + 80 { if (top == "") top = $1; n++ }
                       END { if (n > 0) print top, n }'
}

# True when pixel (x, y) of a window is white (an enabled edit box).
white_at() {
    column "$1" "$2" "$3" $(($3 + 1)) | awk '{ exit !($2 == 255 && $3 == 255 && $4 == 255) }'
}

# wait_visible_window <exact title>: prints the id of a shown window of that title
# (the program also has hidden windows titled like the application).
wait_visible_window() {
    local id i=0
    while ! id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) || [ -z "$id" ]; do
        sleep 0.1
        i=$((i + 1))
        [ $i -lt 100 ] || fail "no shown window titled '$1'"
    done
    echo "$id"
}

# relabel_row <window id> <row> <label>: edits in place (F2) the label of a row of the
# element tree, counted from its root row, which must be the selected one (as at start).
relabel_row() {
    local id=$1 row=$2 label=$3 tree_x=150 top height
    read -r top height < <(selected_row "$id" "$tree_x" 0 120) || fail "no selected row in the element tree"
    xdotool mousemove --window "$id" "$tree_x" $((top + row * height + height / 2)) click 1
    sleep 0.3
    press "$id" F2
    sleep 0.2
    press "$id" ctrl+a
    type_text "$id" "$label"
    press "$id" Return
}

# The menu bar's height: the places below are given as they stand under it, with
# MENU_BAR added to their y.
MENU_BAR=19

# locate_editors <window id>: sets EDITORS_X and defines click_at X Y (a click at window
# coordinates below the menu bar) and select_declaration NAME (the element tree's own search selects the
# first label that starts with NAME; the root row is clicked first to give the tree the
# focus). The value editors sit in the Edit Settings group at the window's right edge;
# below the menu bar its editors start 19 pixels into the last 148 pixels, their tops
# at 46 (colour button), 90 (font list), 142 (spin edit), 186 (choice list) and 234
# (file field).
locate_editors() {
    EDITOR_WINDOW=$1
    eval "$(xdotool getwindowgeometry --shell "$EDITOR_WINDOW")"
    EDITORS_X=$((WIDTH - 148))
}
click_at() {
    xdotool mousemove --window "$EDITOR_WINDOW" "$1" $(($2 + MENU_BAR)) click 1
    sleep 0.3
}
select_declaration() {
    click_at 60 35
    type_text "$EDITOR_WINDOW" "$1"
    sleep 0.5
}
