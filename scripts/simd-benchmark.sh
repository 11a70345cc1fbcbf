# Sourced by the bench-*.sh scripts (it runs nothing itself).
#
# run_simd_benchmark TOOL BENCH LEVEL OUT
#   Runs the Google Benchmark program BENCH at one vector level (QXA_SIMD=LEVEL), median of five
#   repetitions, into OUT as JSON. A benchmark that stops with an error still exits 0 and only
#   its record says so: then TOOL reports the error and the function fails.
run_simd_benchmark() {
    local tool=$1 bench=$2 level=$3 out=$4
    QXA_SIMD=$level "$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
        --benchmark_format=json >"$out" || return 1
    if grep -q '"error_occurred": true' "$out"; then
        echo "$tool: a benchmark reported an error ($level):" >&2
        grep '"error_message"' "$out" >&2
        return 1
    fi
}
