#!/usr/bin/env bash
# Malvoree's render speed, from a linux-release build directory, at every vector level the
# processor runs (QXA_SIMD=scalar, sse2, avx2), side by side:
#   - Google Benchmark (median of 5 runs): real-time factor (seconds of audio per second of CPU)
#     and nanoseconds of CPU per stereo frame, 44.1 kHz, blocks of 512, four heads with feedback;
#   - callgrind: instructions per stereo frame, counted over the render calls only.
# Usage: scripts/bench-malvoree.sh [build/linux-release]
set -euo pipefail
. "$(dirname "$0")/simd-benchmark.sh"

build_dir=${1:-build/linux-release}
bench="$build_dir/bin/malvoree_bench"
if [ ! -x "$bench" ]; then
    echo "bench-malvoree: $bench is missing; build the linux-release preset first" >&2
    exit 1
fi
if ! command -v valgrind >/dev/null; then
    echo "bench-malvoree: valgrind is missing" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$bench" --simd-levels >"$work/levels"
read -r -a levels <"$work/levels"
picked=$(awk '/^picked/ { print $2 }' "$work/levels")
for level in "${levels[@]}"; do
    run_simd_benchmark bench-malvoree "$bench" "$level" "$work/bench.json" || exit 1
    read -r cpu_ns realtime < <(awk '
        /"aggregate_name": "median"/ { median = 1 }
        median && /"cpu_time"/ { gsub(/[",]/, "", $2); cpu = $2 }
        median && /"x_realtime"/ { gsub(/[",]/, "", $2); print cpu, $2; exit }
    ' "$work/bench.json")
    if [ -z "${realtime:-}" ]; then
        echo "bench-malvoree: no median in the benchmark output ($level)" >&2
        exit 1
    fi
    frames=$(QXA_SIMD=$level valgrind --tool=callgrind --instr-atstart=no \
        --callgrind-out-file="$work/callgrind.out" "$bench" --callgrind 2000 2>/dev/null |
        awk '/^frames/ { print $2 }')
    instructions=$(awk '/^totals:/ { print $2 }' "$work/callgrind.out")
    echo "$level $realtime $cpu_ns $instructions $frames" >>"$work/figures"
done

awk -v picked="$picked" '
    { level[NR] = $1; rt[NR] = $2; ns[NR] = $3 / 512; ir[NR] = $4 / $5; frames = $5 }
    END {
        printf "Malvoree render, 44.1 kHz stereo, block 512, four heads with feedback (the engine picks %s)\n", picked
        printf "    %-32s", ""; for (i = 1; i <= NR; ++i) printf "%12s", level[i]; printf "\n"
        printf "    %-32s", "real-time factor"; for (i = 1; i <= NR; ++i) printf "%12s", sprintf("%.0fx", rt[i]); printf "\n"
        printf "    %-32s", "CPU time per stereo frame (ns)"; for (i = 1; i <= NR; ++i) printf "%12.2f", ns[i]; printf "\n"
        printf "    %-32s", "instructions per frame"; for (i = 1; i <= NR; ++i) printf "%12.1f", ir[i]; printf "\n"
        printf "  callgrind over %d frames; targets for the picked level: >= 10000x, <= 35 instructions per frame\n", frames
    }' "$work/figures"
