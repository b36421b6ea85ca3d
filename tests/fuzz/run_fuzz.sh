#!/usr/bin/env bash
# One bounded fuzz run: TARGET SECONDS CORPUS SEEDS... Grows CORPUS (kept
# between runs), writes any crashing input beside it, and ends with the run's
# figures on one line.
set -euo pipefail
target=$1 seconds=$2 corpus=$3
shift 3
mkdir -p "$corpus" "$corpus.crashes"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$corpus.crashes/" "$corpus" "$@" >"$log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
    tail -n 60 "$log"
    echo "$(basename "$target"): failed (status $status); inputs in $corpus.crashes/"
    exit "$status"
fi
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
edges=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1)
echo "$(basename "$target"): $runs executions in $seconds s ($speed/s), $edges, corpus $(ls "$corpus" | wc -l) inputs"
