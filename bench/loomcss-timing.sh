#!/usr/bin/env bash
# Times `loomcss format` on generated flat style sheets of about 1 MB and 10 MB (and
# 100 MB with --large), best of five runs each: wall time and CPU time (user + system).
# Usage: bench/loomcss-timing.sh [BUILD-FOLDER] [--large]   (default build/release)
set -euo pipefail
build=${1:-build/release}
counts=(40000 400000)
if [ "${2:-}" = --large ]; then counts+=(4000000); fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for form in writer hand-written; do
    for n in "${counts[@]}"; do
        file=$work/$form-$n.css
        "$build/bin/bench_stylesheet" --generate "$form" "$n" "$file"
        best_wall=999999
        best_cpu=999999
        for _ in 1 2 3 4 5; do
            /usr/bin/time -f '%e %U %S' -o "$work/t" "$build/bin/loomcss" format "$file" >/dev/null
            read -r wall user sys <"$work/t"
            wall_ms=$(awk -v w="$wall" 'BEGIN { printf "%d", w * 1000 }')
            cpu_ms=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%d", (u + s) * 1000 }')
            ((wall_ms < best_wall)) && best_wall=$wall_ms
            ((cpu_ms < best_cpu)) && best_cpu=$cpu_ms
        done
        size=$(stat -c %s "$file")
        printf '%-13s %8d declarations %7.1f MB  wall %5d ms  cpu %5d ms\n' \
            "$form" "$n" "$(awk -v s="$size" 'BEGIN { print s / 1e6 }')" "$best_wall" "$best_cpu"
    done
done
