#!/usr/bin/env bash
# Runs the test suites of the given presets and ends with one line
#
#   N passed, M failed, K skipped
#
# Every GoogleTest case counts, from the XML report its executable must write; any other ctest
# entry (a command-line check, a corpus replay) counts as one. A GoogleTest executable without a
# complete report, a test that ctest could not start, a failed build and a ctest run that failed
# without naming a failing test each count as one failure. Exits non-zero on any failure.
#
# usage: run-tests.sh [--build] [PRESET | BUILD_DIR ...]     (default: linux windows)
#   --build    configure and build each preset first (-DQXA_WERROR from $QXA_WERROR, default
#              OFF); a preset whose build fails counts as one failure and its tests do not run
#   PRESET     a configure preset, built in build/PRESET; linux-tsan builds and runs only the
#              thread tests and the validation battery
#   BUILD_DIR  any path with a slash: a configured build tree, tested as it is
set -uo pipefail

build=0
targets=()
for arg in "$@"; do
    case $arg in
    --build) build=1 ;;
    -h | --help)
        sed -n '2,/^set -uo/p' "$0" | sed '$d; s/^# \{0,1\}//'
        exit 0
        ;;
    -*)
        echo "run-tests: unknown option '$arg' (--help lists the options)" >&2
        exit 2
        ;;
    /*) targets+=("$arg") ;;
    */*) targets+=("$PWD/$arg") ;;
    *) targets+=("$arg") ;;
    esac
done
cd "$(dirname "$0")/.." || exit 2
[ ${#targets[@]} -gt 0 ] || targets=(linux windows)

jobs=$(nproc 2>/dev/null || echo 2)
# The ThreadSanitizer build holds only what exercises threads.
tsan_targets=(qxahost oriv_plugin malvoree_plugin oriv_thread_tests malvoree_thread_tests oriv_editor_tests malvoree_editor_tests)
tsan_tests='^(oriv_thread_tests|malvoree_thread_tests|oriv_editor_tests|malvoree_editor_tests|validate_oriv|validate_malvoree)$'

passed=0
failed=0
skipped=0
problem() {
    echo "run-tests: $*" >&2
    failed=$((failed + 1))
}

# One virtual display for every Windows test, rather than one per test; started on first need.
xvfb_pid=""
wine_dirs=()
start_display() {
    [ -n "$xvfb_pid" ] || [ -n "${DISPLAY:-}" ] || ! command -v Xvfb >/dev/null && return 0
    for number in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] && continue
        Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        export DISPLAY=":$number"
        sleep 1
        return
    done
}
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    for dir in "${wine_dirs[@]}"; do
        [ -d "$dir/wineprefix" ] && WINEPREFIX="$dir/wineprefix" wineserver -k 2>/dev/null
    done
    true
}
trap cleanup EXIT

build_preset() {
    local preset=$1 selection=()
    [ "$preset" = linux-tsan ] && selection=(--target "${tsan_targets[@]}")
    echo "== $preset build"
    cmake --preset "$preset" -DQXA_WERROR="${QXA_WERROR:-OFF}" >/dev/null &&
        cmake --build --preset "$preset" --parallel "$jobs" "${selection[@]}"
}

# Cases of a GoogleTest XML report as "passed failed skipped"; nothing when the report lacks
# a count, is cut short, or its suites do not add up to its total.
gtest_counts() {
    awk '
        function count(line, key) {
            if (!match(line, " " key "=\"[0-9]+\"")) { incomplete = 1; return 0 }
            return substr(line, RSTART + length(key) + 3, RLENGTH - length(key) - 4) + 0
        }
        /<testsuites[ >]/ { total = count($0, "tests"); header = 1 }
        /<testsuite[ >]/ {
            cases += count($0, "tests")
            failures += count($0, "failures") + count($0, "errors")
            skips += count($0, "disabled") + count($0, "skipped")
        }
        /<\/testsuites>/ { closed = 1 }
        END {
            if (!header || !closed || incomplete || cases != total) exit 1
            print cases - failures - skips, failures, skips
        }' "$1"
}

# ctest's JUnit report as "name|status|skip message" lines, one per registered test.
junit_tests() {
    awk '
        function attribute(line, key) {
            if (!match(line, " " key "=\"[^\"]*\"")) return ""
            return substr(line, RSTART + length(key) + 3, RLENGTH - length(key) - 4)
        }
        /<testcase / {
            name = attribute($0, "name"); status = attribute($0, "status"); message = ""
            if ($0 ~ /\/>[[:space:]]*$/) print name "|" status "|"
            next
        }
        /<skipped / { message = attribute($0, "message") }
        /<\/testcase>/ { print name "|" status "|" message }' "$1"
}

run_suite() {
    local label=$1 dir=$2 selection=() list junit status before
    list=$dir/googletest-executables.txt
    junit=$dir/ctest-junit.xml
    if [ ! -f "$list" ]; then
        problem "$label: $list is missing; configure the build again"
        return
    fi
    if grep -rqs --include=CTestTestfile.cmake wine-run.sh "$dir"; then
        start_display
        wine_dirs+=("$dir")
    fi
    [ "$label" = linux-tsan ] && selection=(-R "$tsan_tests")
    echo "== $label tests"
    rm -f "$dir"/test-results/*.xml "$junit"
    ctest --test-dir "$dir" --output-on-failure --parallel "$jobs" --no-tests=error \
        --output-junit "$junit" "${selection[@]}"
    status=$?
    if [ ! -f "$junit" ]; then
        problem "$label: ctest wrote no report (exit status $status)"
        return
    fi

    before=$failed
    local name result message counts
    while IFS='|' read -r name result message; do
        case $result in
        disabled)
            skipped=$((skipped + 1))
            continue
            ;;
        notrun)
            # ctest also reports a test whose executable is missing as not run.
            case $message in
            SKIP_*) skipped=$((skipped + 1)) ;;
            *) problem "$label: $name did not run: ${message:-no reason given}" ;;
            esac
            continue
            ;;
        esac
        if grep -qxF "$name" "$list"; then
            local report=$dir/test-results/$name.xml
            if [ ! -f "$report" ]; then
                problem "$label: $name wrote no GoogleTest report"
            elif ! counts=$(gtest_counts "$report"); then
                problem "$label: $name's GoogleTest report is incomplete (no counts, or cut short)"
            else
                read -r p f s <<<"$counts"
                passed=$((passed + p))
                failed=$((failed + f))
                skipped=$((skipped + s))
                # A crash or a leak report after the report was written still fails it.
                [ "$result" != run ] && [ "$f" -eq 0 ] &&
                    problem "$label: $name failed after writing a report without failures"
            fi
        elif [ "$result" = run ]; then
            passed=$((passed + 1))
        else
            failed=$((failed + 1))
        fi
    done < <(junit_tests "$junit")
    [ "$status" -ne 0 ] && [ "$failed" -eq "$before" ] &&
        problem "$label: ctest failed (exit status $status) but its report names no failing test"
}

for target in "${targets[@]}"; do
    case $target in
    /*) dir=$target ;;
    *) dir=$PWD/build/$target ;;
    esac
    if [ "$build" = 1 ]; then
        case $target in
        /*) cmake --build "$dir" --parallel "$jobs" ;;
        *) build_preset "$target" ;;
        esac || {
            problem "$target: the build failed; its tests were not run"
            continue
        }
    fi
    if [ ! -f "$dir/CTestTestfile.cmake" ]; then
        problem "$target: $dir holds no configured build; run make build first"
        continue
    fi
    run_suite "$target" "$dir"
done

echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
