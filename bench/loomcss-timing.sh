#!/usr/bin/env bash
# Times `loomcss format` and `loomcss check` (its findings printed, to /dev/null) on
# style sheets of about 1 MB and 10 MB (and 100 MB with --large; the generated sheets'
# declaration counts are chosen for those sizes), best of five runs each: wall time (to
# the millisecond) and CPU time (user + system, to 10 ms). The sheets are made in a
# temporary folder and removed afterwards:
#   writer        generated flat sheet in the editor's own form, one rule per line
#   hand-written  generated flat sheet in standard CSS, blanks, comments, selector lists
#   real          the committed bootstrap.css and bulma.css from tests/data/real,
#                 taken whole in turn until the size is reached
# Usage: bench/loomcss-timing.sh [BUILD-FOLDER] [--large]   (default build/release)
set -euo pipefail
build=${1:-build/release}
declare -A counts=([writer]="35500 355000" [hand-written]="26900 269000")
sizes=(1000000 10000000)
if [ "${2:-}" = --large ]; then
    counts[writer]+=" 3550000"
    counts[hand-written]+=" 2690000"
    sizes+=(100000000)
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# time_command COMMAND LABEL FILE: best wall and CPU time of five runs of loomcss COMMAND.
time_command() {
    local command=$1 label=$2 file=$3 best_wall=999999 best_cpu=999999 start end wall_ms cpu_ms user sys
    for _ in 1 2 3 4 5; do
        start=$(date +%s%N)
        # check exits 1 when it has findings: only its time counts here.
        /usr/bin/time -f '%U %S' -o "$work/t" "$build/bin/loomcss" "$command" "$file" >/dev/null || true
        end=$(date +%s%N)
        read -r user sys < <(tail -n 1 "$work/t")
        wall_ms=$(((end - start) / 1000000))
        cpu_ms=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%d", (u + s) * 1000 }')
        ((wall_ms < best_wall)) && best_wall=$wall_ms
        ((cpu_ms < best_cpu)) && best_cpu=$cpu_ms
    done
    printf '%-6s %-36s %7.1f MB  wall %5d ms  cpu %5d ms\n' \
        "$command" "$label" "$(awk -v s="$(stat -c %s "$file")" 'BEGIN { print s / 1e6 }')" "$best_wall" "$best_cpu"
}

for form in writer hand-written; do
    for n in ${counts[$form]}; do
        file=$work/$form-$n.css
        "$build/bin/bench_stylesheet" --generate "$form" "$n" "$file"
        for command in format check; do
            time_command $command "$(printf '%-13s %8d declarations' "$form" "$n")" "$file"
        done
    done
done
for size in "${sizes[@]}"; do
    file=$work/real-$size.css
    "$build/bin/bench_stylesheet" --generate real "$size" "$file"
    for command in format check; do
        time_command $command "$(printf '%-13s %8s' real 'bootstrap+bulma')" "$file"
    done
done
