#!/usr/bin/env bash
# Oriv's speed, from a linux-release build directory:
#   - Google Benchmark (median of 5 runs, CPU time): real-time factor and nanoseconds per
#     voice-sample with ten voices sounding, and with a held ten-note chord (which settles to
#     the five voices the voice manager lets hold notes); creation time of a second instance;
#   - callgrind: instructions per voice-sample, counted over the render calls only.
# Usage: scripts/bench-oriv.sh [build/linux-release]
set -euo pipefail

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

"$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_format=json >"$work/bench.json"
# A benchmark that stops with an error still exits 0; its record says so.
if grep -q '"error_occurred": true' "$work/bench.json"; then
    echo "bench-oriv: a benchmark reported an error:" >&2
    grep '"error_message"' "$work/bench.json" >&2
    exit 1
fi

for scenario in tenvoices heldchord; do
    valgrind --tool=callgrind --instr-atstart=no \
        --callgrind-out-file="$work/callgrind.$scenario" \
        "$bench" --callgrind="$scenario" 2>/dev/null >"$work/samples.$scenario"
done

python3 - "$work" <<'PY'
import json, sys

work = sys.argv[1]
medians = {}
for run in json.load(open(f"{work}/bench.json"))["benchmarks"]:
    if run.get("aggregate_name") == "median":
        medians[run["run_name"]] = run

def render(name):
    run = medians[name]
    return run["x_realtime"], run["ns_per_voice_sample"], int(run["voices"])

def instructions(scenario):
    total = 0
    for line in open(f"{work}/callgrind.{scenario}"):
        if line.startswith("totals:"):
            total = int(line.split()[1])
    words = open(f"{work}/samples.{scenario}").read().split()
    return total / int(words[words.index("voice_samples") + 1])

ten_rt, ten_ns, ten_voices = render("BM_OrivTenVoices")
held_rt, held_ns, held_voices = render("BM_OrivHeldChord")
second = medians["BM_OrivSecondInstance/manual_time"]
scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}[second["time_unit"]]
print("Oriv render, 44.1 kHz, block 512, Basic Patch")
print(f"  {ten_voices} voices sounding (5 holding, 5 fading out after being stolen):")
print(f"    real-time factor:         {ten_rt:.0f}x (target >= 350x)")
print(f"    CPU time per voice-sample: {ten_ns:.2f} ns")
print(f"    instructions per voice-sample: {instructions('tenvoices'):.1f} (callgrind; target <= 70)")
print(f"  held ten-note chord, settled to {held_voices} sustaining voices:")
print(f"    real-time factor:         {held_rt:.0f}x")
print(f"    CPU time per voice-sample: {held_ns:.2f} ns")
print(f"    instructions per voice-sample: {instructions('heldchord'):.1f} (callgrind; target <= 70)")
print(f"  second instance created in: {second['real_time'] * scale:.1f} us (target < 1000 us)")
PY
