#!/usr/bin/env bash
# Runs the test suites of the given presets (default: linux, then windows under Wine; the
# linux-tsan preset runs its thread tests and validation only) and ends
# with one line "N passed, M failed". Every GoogleTest case counts; a test that is not a
# GoogleTest executable (a command-line check) counts as one. Exits non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.."

presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(linux windows)

# One virtual display for every Windows test, rather than one per test.
xvfb_pid=""
if [ -z "${DISPLAY:-}" ] && command -v Xvfb >/dev/null; then
    for number in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] && continue
        Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        export DISPLAY=":$number"
        break
    done
    sleep 1
fi
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    for preset in "${presets[@]}"; do
        [ -d "build/$preset/wineprefix" ] && WINEPREFIX="$PWD/build/$preset/wineprefix" wineserver -k 2>/dev/null
    done
    true
}
trap cleanup EXIT

# Reads an attribute of the first <testsuites> element of a GoogleTest XML report.
attribute() {
    grep -o "<testsuites [^>]*" "$2" | head -1 | grep -o " $1=\"[0-9]*\"" | grep -o '[0-9]*'
}

passed=0
failed=0
for preset in "${presets[@]}"; do
    dir="build/$preset"
    if [ ! -f "$dir/CTestTestfile.cmake" ]; then
        echo "run-tests: $dir is not built; run make build first" >&2
        failed=$((failed + 1))
        continue
    fi
    echo "== $preset tests"
    junit="$PWD/$dir/ctest-junit.xml"
    rm -f "$dir"/test-results/*.xml "$junit"
    selection=()
    # The ThreadSanitizer build runs only what exercises threads.
    [ "$preset" = linux-tsan ] &&
        selection=(-R '^(oriv_thread_tests|malvoree_thread_tests|validate_oriv|validate_malvoree)$')
    ctest --test-dir "$dir" --output-on-failure -j2 --output-junit "$junit" "${selection[@]}"
    if [ ! -f "$junit" ]; then
        echo "run-tests: ctest wrote no report for $preset" >&2
        failed=$((failed + 1))
        continue
    fi

    # ctest's JUnit report: one <testcase> per registered test, with its status.
    while IFS='|' read -r name status; do
        report="$dir/test-results/$name.xml"
        if [ -f "$report" ]; then
            cases=$(attribute tests "$report")
            fails=$(( $(attribute failures "$report") + $(attribute errors "$report") ))
            skipped=$(attribute disabled "$report")
            passed=$((passed + cases - fails - ${skipped:-0}))
            # A crash after the report was written still fails the executable.
            if [ "$status" != "run" ] && [ "$fails" -eq 0 ]; then fails=1; fi
            failed=$((failed + fails))
        elif [ "$status" = "run" ]; then
            passed=$((passed + 1))
        else
            failed=$((failed + 1))
        fi
    done < <(grep -o '<testcase name="[^"]*"[^>]*status="[a-z]*"' "$junit" |
             sed -E 's/<testcase name="([^"]*)".*status="([a-z]*)"/\1|\2/')
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
