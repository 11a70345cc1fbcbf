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
# Nothing drops out in silence: each preset's count of skipped cases is pinned in
# scripts/expected-counts.txt, and a different count fails the run, naming the skipped cases;
# the linux-tsan run selects the thread tests by their label (cmake/QxaTesting.cmake) and
# fails when fewer ran than pinned; GTEST_* variables of the caller are cleared.
#
# usage: run-tests.sh [--build] [PRESET | BUILD_DIR ...]     (default: linux windows)
#   --build    configure and build each preset first (-DQXA_WERROR from $QXA_WERROR, default
#              OFF); a preset whose build fails counts as one failure and its tests do not run
#   PRESET     a configure preset, built in build/PRESET; linux-tsan builds and runs only the
#              thread tests (label `threads`)
#   BUILD_DIR  any path with a slash: a configured build tree, tested as it is (its counts are
#              checked when the counts file has a line for its folder's name)
# QXA_EXPECTED_COUNTS names another counts file (the runner's own tests use one).
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
counts_file=${QXA_EXPECTED_COUNTS:-}
[ -z "$counts_file" ] || counts_file=$(cd "$(dirname "$counts_file")" && pwd)/$(basename "$counts_file")
cd "$(dirname "$0")/.." || exit 2
[ ${#targets[@]} -gt 0 ] || targets=(linux windows)
counts_file=${counts_file:-$PWD/scripts/expected-counts.txt}

# A filter, repeat count or shard inherited from the caller would shrink every run.
while read -r name; do unset "$name"; done < <(compgen -e | grep '^GTEST_')

jobs=$(nproc 2>/dev/null || echo 2)

# expected NAME KEY: the pinned value of KEY (skipped, threads) for a preset or build folder.
expected() {
    [ -f "$counts_file" ] || return 0
    awk -v name="$1" -v key="$2" '
        $1 == name { for (i = 2; i <= NF; i++) if (index($i, key "=") == 1) print substr($i, length(key) + 2) }
    ' "$counts_file"
}

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
# One wineserver per Windows build tree for the whole run: without it every test executable
# pays the server's start and, after its last process, the shutdown of Wine's own processes
# (about 2.6 s each). Those processes (services, the desktop) start with the server's first
# program and stay as long as it does, holding that program's standard output: started here
# with none, so that no test's output pipe stays open after the test, which ctest would wait for.
keep_wineserver() {
    local dir=$1 program=$1/bin/qxahost.exe
    command -v wineserver >/dev/null && [ -x "$program" ] || return 0
    # Makes the prefix when needed (scripts/wine-run.sh waits for its server to end then).
    scripts/wine-run.sh "$program" --version </dev/null >/dev/null 2>&1 || return 0
    WINEPREFIX="$dir/wineprefix" timeout 60 wineserver -w
    WINEPREFIX="$dir/wineprefix" wineserver -p </dev/null >/dev/null 2>&1 || return 0
    scripts/wine-run.sh "$program" --version </dev/null >/dev/null 2>&1
}
# Ends the kept servers and the display, also after a failure or an interruption. A server that
# does not end when told is not waited for past a bound.
cleanup() {
    for dir in "${wine_dirs[@]}"; do
        if [ -d "$dir/wineprefix" ]; then
            WINEPREFIX="$dir/wineprefix" wineserver -k >/dev/null 2>&1
            WINEPREFIX="$dir/wineprefix" timeout 20 wineserver -w >/dev/null 2>&1
        fi
    done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    true
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# A Windows tree's Wine prefix is made while the tree builds: wineboot mostly waits, and the
# first tests would otherwise wait for it.
prefix_pids=()
prepare_wine_prefix() {
    local dir=$1
    grep -qs '^CMAKE_CROSSCOMPILING_EMULATOR:.*wine-run.sh' "$dir/CMakeCache.txt" &&
        command -v wineboot >/dev/null || return 0
    wine_dirs+=("$dir")
    scripts/wine-run.sh --prefix "$dir" </dev/null >/dev/null 2>&1 &
    prefix_pids+=($!)
}

build_preset() {
    local preset=$1 selection=()
    # A thread-test run builds only what its tests run and load.
    [ -n "$(expected "$preset" threads)" ] && selection=(--target qxa_thread_tests)
    echo "== $preset build"
    cmake --preset "$preset" -DQXA_WERROR="${QXA_WERROR:-OFF}" >/dev/null || return
    prepare_wine_prefix "$PWD/build/$preset"
    cmake --build --preset "$preset" --parallel "$jobs" "${selection[@]}"
}

# Cases of a GoogleTest XML report as "passed failed skipped"; nothing when the report lacks
# a count, is cut short, or its suites do not add up to its total. A failure's message (CDATA)
# may quote anything, XML included, so its lines are not read.
gtest_counts() {
    awk '
        in_cdata { if (index($0, "]]>")) in_cdata = 0; next }
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
        /<!\[CDATA\[/ && !index(substr($0, index($0, "<![CDATA[")), "]]>") { in_cdata = 1 }
        END {
            if (!header || !closed || incomplete || cases != total) exit 1
            print cases - failures - skips, failures, skips
        }' "$1"
}

# The skipped and disabled cases of a GoogleTest report, one "Suite.Case" a line.
gtest_skips() {
    awk '
        function attribute(line, key) {
            if (!match(line, " " key "=\"[^\"]*\"")) return ""
            return substr(line, RSTART + length(key) + 3, RLENGTH - length(key) - 4)
        }
        in_cdata { if (index($0, "]]>")) in_cdata = 0; next }
        /<testcase / && (/ result="skipped"/ || / result="suppressed"/ || / status="notrun"/) {
            print attribute($0, "classname") "." attribute($0, "name")
        }
        /<!\[CDATA\[/ && !index(substr($0, index($0, "<![CDATA[")), "]]>") { in_cdata = 1 }' "$1"
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
    local label=$1 dir=$2 selection=() list junit status before skipped_before ran=0
    local pinned_skips pinned_threads skipped_cases=()
    list=$dir/googletest-executables.txt
    junit=$dir/ctest-junit.xml
    if [ ! -f "$list" ]; then
        problem "$label: $list is missing; configure the build again"
        return
    fi
    pinned_skips=$(expected "$(basename "$dir")" skipped)
    pinned_threads=$(expected "$(basename "$dir")" threads)
    if grep -rqs --include=CTestTestfile.cmake wine-run.sh "$dir"; then
        # A failed prefix shows in the tests: scripts/wine-run.sh makes it again and says why.
        [ ${#prefix_pids[@]} -eq 0 ] || wait "${prefix_pids[@]}"
        prefix_pids=()
        start_display
        wine_dirs+=("$dir")
        keep_wineserver "$dir"
    fi
    [ -n "$pinned_threads" ] && selection=(-L '^threads$')
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
    skipped_before=$skipped
    local name result message counts
    while IFS='|' read -r name result message; do
        case $result in
        disabled)
            skipped=$((skipped + 1))
            skipped_cases+=("$name")
            continue
            ;;
        notrun)
            # ctest also reports a test whose executable is missing as not run.
            case $message in
            SKIP_*)
                skipped=$((skipped + 1))
                skipped_cases+=("$name")
                ;;
            *) problem "$label: $name did not run: ${message:-no reason given}" ;;
            esac
            continue
            ;;
        esac
        ran=$((ran + 1))
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
                while read -r case_name; do
                    [ -n "$case_name" ] && skipped_cases+=("$name: $case_name")
                done < <(gtest_skips "$report")
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

    local suite_skips=$((skipped - skipped_before))
    if [ -n "$pinned_skips" ]; then
        echo "== $label: $suite_skips cases skipped, $pinned_skips expected"
        if [ "$suite_skips" -ne "$pinned_skips" ]; then
            problem "$label: $suite_skips cases skipped, but $counts_file expects $pinned_skips;" \
                "the skipped cases:$(printf '\n    %s' "${skipped_cases[@]}")"
        fi
    elif [ -z "${label##*/*}" ]; then
        echo "== $label: $suite_skips cases skipped (no count pinned for this folder)"
    else
        problem "$label: $counts_file pins no count of skipped cases for this preset" \
            "($suite_skips skipped)"
    fi
    if [ -n "$pinned_threads" ]; then
        echo "== $label: $ran thread tests ran, at least $pinned_threads expected"
        [ "$ran" -lt "$pinned_threads" ] &&
            problem "$label: only $ran ctest entries labelled 'threads' ran, $counts_file" \
                "expects at least $pinned_threads: a thread test lost its THREADS word" \
                "(cmake/QxaTesting.cmake) or its executable"
    fi
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
