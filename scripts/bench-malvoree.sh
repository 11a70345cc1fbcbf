#!/usr/bin/env bash
# Malvoree's render speed, from a linux-release build directory:
#   - Google Benchmark (median of 5 runs): real-time factor (seconds of audio per second of CPU)
#     and nanoseconds of CPU per stereo frame, 44.1 kHz, blocks of 512, four heads with feedback;
#   - callgrind: instructions per stereo frame, counted over the render calls only.
# Usage: scripts/bench-malvoree.sh [build/linux-release]
set -euo pipefail

build_dir=${1:-build/linux-release}
bench="$build_dir/bin/malvoree_bench"
if [ ! -x "$bench" ]; then
    echo "bench-malvoree: $bench is missing; build the linux-release preset first" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_format=json >"$work/bench.json"
# A benchmark that stops with an error still exits 0; its record says so.
if grep -q '"error_occurred": true' "$work/bench.json"; then
    echo "bench-malvoree: a benchmark reported an error:" >&2
    grep '"error_message"' "$work/bench.json" >&2
    exit 1
fi
read -r cpu_ns realtime < <(awk '
    /"aggregate_name": "median"/ { median = 1 }
    median && /"cpu_time"/ { gsub(/[",]/, "", $2); cpu = $2 }
    median && /"x_realtime"/ { gsub(/[",]/, "", $2); print cpu, $2; exit }
' "$work/bench.json")
if [ -z "${realtime:-}" ]; then
    echo "bench-malvoree: no median in the benchmark output" >&2
    exit 1
fi

if ! command -v valgrind >/dev/null; then
    echo "bench-malvoree: valgrind is missing" >&2
    exit 1
fi
frames=$(valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file="$work/callgrind.out" \
    "$bench" --callgrind 2000 2>/dev/null | awk '/^frames/ { print $2 }')
instructions=$(awk '/^totals:/ { print $2 }' "$work/callgrind.out")

awk -v cpu="$cpu_ns" -v rt="$realtime" -v frames="$frames" -v ir="$instructions" 'BEGIN {
    printf "Malvoree render, 44.1 kHz stereo, block 512, four heads with feedback\n"
    printf "  real-time factor:           %.0fx (target >= 1500x)\n", rt
    printf "  CPU time per stereo frame:  %.2f ns\n", cpu / 512
    printf "  instructions per frame:     %.1f (callgrind over %d frames; target <= 130)\n", ir / frames, frames
}'
