#!/usr/bin/env bash
# Oriv's speed, from a linux-release build directory, at every vector level the processor runs
# (QXA_SIMD=scalar, sse2, avx2), side by side:
#   - Google Benchmark (median of 5 runs, CPU time): real-time factor and nanoseconds per
#     voice-sample with ten voices sounding, and with a held ten-note chord (which settles to
#     the five voices the voice manager lets hold notes); creation time of a second instance;
#   - callgrind: instructions per voice-sample, counted over the render calls only.
# Usage: scripts/bench-oriv.sh [build/linux-release]
set -euo pipefail
. "$(dirname "$0")/simd-benchmark.sh"

build_dir=${1:-build/linux-release}
bench="$build_dir/bin/oriv_bench"
if [ ! -x "$bench" ]; then
    echo "bench-oriv: $bench is missing; build the linux-release preset first" >&2
    exit 1
fi
for tool in valgrind python3; do
    if ! command -v "$tool" >/dev/null; then
        echo "bench-oriv: $tool is missing" >&2
        exit 1
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$bench" --simd-levels >"$work/levels"
read -r -a levels <"$work/levels"
for level in "${levels[@]}"; do
    run_simd_benchmark bench-oriv "$bench" "$level" "$work/bench.$level.json" || exit 1
    for scenario in tenvoices heldchord; do
        QXA_SIMD=$level valgrind --tool=callgrind --instr-atstart=no \
            --callgrind-out-file="$work/callgrind.$scenario.$level" \
            "$bench" --callgrind="$scenario" 2>/dev/null >"$work/samples.$scenario.$level"
    done
done

python3 - "$work" "${levels[@]}" <<'PY'
import json, sys

work, levels = sys.argv[1], sys.argv[2:]
picked = open(f"{work}/levels").read().split("picked")[1].split()[0]
medians = {}
for level in levels:
    for run in json.load(open(f"{work}/bench.{level}.json"))["benchmarks"]:
        if run.get("aggregate_name") == "median":
            medians[level, run["run_name"]] = run

def instructions(scenario, level):
    total = 0
    for line in open(f"{work}/callgrind.{scenario}.{level}"):
        if line.startswith("totals:"):
            total = int(line.split()[1])
    words = open(f"{work}/samples.{scenario}.{level}").read().split()
    return total / int(words[words.index("voice_samples") + 1])

def row(label, values):
    print(f"    {label:<32}" + "".join(f"{value:>12}" for value in values))

print(f"Oriv render, 44.1 kHz, block 512, Basic Patch (the engine picks {picked})")
for name, scenario, title in [
    ("BM_OrivTenVoices", "tenvoices", "voices sounding (5 holding, 5 fading out after being stolen)"),
    ("BM_OrivHeldChord", "heldchord", "sustaining voices (a held ten-note chord, settled)"),
]:
    voices = int(medians[levels[0], name]["voices"])
    print(f"  {voices} {title}:")
    row("", levels)
    row("real-time factor", [f"{medians[l, name]['x_realtime']:.0f}x" for l in levels])
    row("CPU time per voice-sample (ns)", [f"{medians[l, name]['ns_per_voice_sample']:.2f}" for l in levels])
    row("instructions per voice-sample", [f"{instructions(scenario, l):.1f}" for l in levels])
print("  targets for the picked level, ten voices: >= 1000x, <= 25 instructions per voice-sample")
second = medians[picked, "BM_OrivSecondInstance/manual_time"]
scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}[second["time_unit"]]
print(f"  second instance created in: {second['real_time'] * scale:.1f} us (target < 1000 us)")
PY
