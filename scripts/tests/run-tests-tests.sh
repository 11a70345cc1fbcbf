#!/usr/bin/env bash
# scripts/run-tests.sh against hand-made build trees: each tree holds a CTestTestfile.cmake whose
# tests stand in for GoogleTest executables (they write a prepared report, or a broken one, or
# none) and for plain ctest entries. Every tree must end in the summary line that tells the truth
# about it, and the exit status must follow the failures.
set -uo pipefail

runner=$(cd "$(dirname "$0")/.." && pwd)/run-tests.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# A GoogleTest report: one suite of TESTS cases with the given failures, disabled and skipped.
report() {
    local tests=$1 failures=$2 disabled=$3 skipped=$4
    cat <<XML
<?xml version="1.0" encoding="UTF-8"?>
<testsuites tests="$tests" failures="$failures" disabled="$disabled" errors="0" time="0" name="AllTests">
  <testsuite name="Suite" tests="$tests" failures="$failures" disabled="$disabled" skipped="$skipped" errors="0" time="0">
    <testcase name="Case" status="run" result="completed" time="0" classname="Suite" />
  </testsuite>
</testsuites>
XML
}

# tree NAME: a fresh build tree; gtest NAME EXIT [REPORT_FILE]: a GoogleTest stand-in that
# copies REPORT_FILE (if given) to its report and exits with EXIT; plain NAME COMMAND...
tree() {
    dir=$work/$1
    mkdir -p "$dir/test-results" "$dir/reports"
    : >"$dir/CTestTestfile.cmake"
    : >"$dir/googletest-executables.txt"
}
gtest() {
    local copy=""
    [ $# -gt 2 ] && copy="cp reports/$3 test-results/$1.xml; "
    echo "add_test($1 \"/bin/sh\" \"-c\" \"${copy}exit $2\")" >>"$dir/CTestTestfile.cmake"
    echo "$1" >>"$dir/googletest-executables.txt"
}
plain() {
    local name=$1
    shift
    echo "add_test($name $*)" >>"$dir/CTestTestfile.cmake"
}

# expect SUMMARY EXIT_STATUS [run-tests.sh options]: runs the runner on the current tree.
expect() {
    local summary=$1 status=$2 code
    shift 2
    output=$("$runner" "$@" "$dir" 2>&1)
    code=$?
    if [ "$(tail -n 1 <<<"$output")" != "$summary" ] || [ "$code" -ne "$status" ]; then
        echo "FAIL $(basename "$dir"): expected '$summary' (exit $status), got exit $code:"
        sed 's/^/    /' <<<"$output"
        failures=$((failures + 1))
    else
        echo "ok   $(basename "$dir"): $summary"
    fi
}

tree all-good
report 4 0 1 1 >"$dir/reports/good.xml"
gtest unit 0 good.xml
plain check /bin/true
expect "3 passed, 0 failed, 2 skipped" 0

tree failing-cases
report 5 2 0 0 >"$dir/reports/two-fail.xml"
gtest unit 1 two-fail.xml
expect "3 passed, 2 failed, 0 skipped" 1

tree failure-quoting-a-report
report 2 1 0 0 | sed 's|<testcase name="Case" status="run" result="completed" time="0" classname="Suite" />|<testcase name="Case" status="run" result="completed" time="0" classname="Suite">\n<failure message="x" type=""><![CDATA[it printed:\n  <testsuite name="Quoted" tests="9" failures="0" disabled="0" skipped="0" errors="0">\n]]></failure>\n</testcase>|' >"$dir/reports/quoting.xml"
gtest unit 1 quoting.xml
expect "1 passed, 1 failed, 0 skipped" 1

tree report-without-counts
report 4 0 0 0 | sed 's/ tests="4"//' >"$dir/reports/broken.xml"
gtest unit 0 broken.xml
plain check /bin/true
expect "1 passed, 1 failed, 0 skipped" 1

tree suite-without-counts
report 4 0 0 0 | sed '/<testsuite /s/ skipped="0"//' >"$dir/reports/broken.xml"
gtest unit 0 broken.xml
expect "0 passed, 1 failed, 0 skipped" 1

tree report-cut-short
report 4 0 0 0 | head -n 3 >"$dir/reports/cut.xml"
gtest unit 0 cut.xml
expect "0 passed, 1 failed, 0 skipped" 1

tree report-missing
gtest unit 0
gtest crashed 1
plain check /bin/true
expect "1 passed, 2 failed, 0 skipped" 1

tree failed-after-a-clean-report
report 3 0 0 0 >"$dir/reports/clean.xml"
gtest leaky 1 clean.xml
expect "3 passed, 1 failed, 0 skipped" 1

tree plain-entries
plain passes /bin/true
plain fails /bin/false
plain skips /bin/sh -c "exit\ 77"
echo 'set_tests_properties(skips PROPERTIES SKIP_RETURN_CODE 77)' >>"$dir/CTestTestfile.cmake"
plain off /bin/true
echo 'set_tests_properties(off PROPERTIES DISABLED ON)' >>"$dir/CTestTestfile.cmake"
plain missing /nonexistent/program
expect "1 passed, 2 failed, 2 skipped" 1

tree not-configured
rm "$dir/CTestTestfile.cmake"
expect "0 passed, 1 failed, 0 skipped" 1

tree build-fails
plain passes /bin/true
expect "0 passed, 1 failed, 0 skipped" 1 --build

tree no-tests
expect "0 passed, 1 failed, 0 skipped" 1

# Pinned counts (the folder's name is the key): a skip more or less fails and names the cases;
# a thread-test tree runs only the entries labelled threads, and no fewer than pinned.
export QXA_EXPECTED_COUNTS=$work/counts.txt
printf 'skips-as-pinned skipped=2\nskips-changed skipped=1\nthreads-kept skipped=0 threads=2\nthreads-dropped skipped=0 threads=2\n' >"$QXA_EXPECTED_COUNTS"
tree skips-as-pinned
report 4 0 1 1 >"$dir/reports/good.xml"
gtest unit 0 good.xml
expect "2 passed, 0 failed, 2 skipped" 0

tree skips-changed
report 4 0 1 1 | sed 's|<testcase name="Case" status="run" result="completed"|<testcase name="Quiet" status="run" result="skipped"|' >"$dir/reports/good.xml"
gtest unit 0 good.xml
expect "2 passed, 1 failed, 2 skipped" 1
grep -q "unit: Suite.Quiet" <<<"$output" || {
    echo "FAIL skips-changed: the skipped case is not named:"
    failures=$((failures + 1))
}

for name in threads-kept threads-dropped; do
    tree $name
    plain racing /bin/true
    plain other /bin/true
    plain serial /bin/true
    echo 'set_tests_properties(racing PROPERTIES LABELS threads)' >>"$dir/CTestTestfile.cmake"
    [ $name = threads-kept ] &&
        echo 'set_tests_properties(other PROPERTIES LABELS threads)' >>"$dir/CTestTestfile.cmake"
done
expect "1 passed, 1 failed, 0 skipped" 1
dir=$work/threads-kept
expect "2 passed, 0 failed, 0 skipped" 0

# A filter inherited from the caller does not shrink the run.
tree filter-cleared
printf '#!/bin/sh\ntest -z "$GTEST_FILTER$GTEST_REPEAT"\n' >"$dir/unfiltered.sh"
chmod +x "$dir/unfiltered.sh"
plain unfiltered "$dir/unfiltered.sh"
GTEST_FILTER=None GTEST_REPEAT=0 expect "1 passed, 0 failed, 0 skipped" 0

# A Windows tree keeps one wineserver for its run, and ends it whether the run failed or was
# interrupted. Stand-ins for Wine's commands log their calls; Wine's own processes start with
# the kept server's first program, so that one must run with no output that ctest reads.
mkdir -p "$work/wine"
cat >"$work/wine/wine" <<'STUB'
#!/bin/sh
[ "$1" = reg ] && exit 0
echo "wine $(basename "$1") $2 output=$(readlink /proc/$$/fd/1)" >>"$STUB_DIR/wine.log"
STUB
printf '#!/bin/sh
mkdir -p "$WINEPREFIX" && touch "$WINEPREFIX/system.reg"
' >"$work/wine/wineboot"
printf '#!/bin/sh
echo "wineserver $*" >>"$STUB_DIR/wine.log"
' >"$work/wine/wineserver"
chmod +x "$work/wine/"*
wine_tree() {
    tree "$1"
    mkdir -p "$dir/bin"
    touch "$dir/CMakeCache.txt"
    printf '#!/bin/sh
' >"$dir/bin/qxahost.exe"
    chmod +x "$dir/bin/qxahost.exe"
    plain windows "$(dirname "$runner")/wine-run.sh" "$dir/bin/qxahost.exe" test
    export STUB_DIR=$dir
}
# wine_calls: the stand-ins' calls in order, waits left out, any pipe shown as "pipe".
wine_calls() { grep -v -e '-w$' "$dir/wine.log" | sed 's/output=pipe:.*/output=pipe/'; }
printf 'wine-failing skipped=0\nwine-interrupted skipped=0\n' >>"$QXA_EXPECTED_COUNTS"
wine_tree wine-failing
plain fails /bin/false
PATH="$work/wine:$PATH" DISPLAY=:99 expect "1 passed, 1 failed, 0 skipped" 1
expected="wine qxahost.exe --version output=/dev/null
wineserver -p
wine qxahost.exe --version output=/dev/null
wine qxahost.exe test output=pipe
wineserver -k"
[ "$(wine_calls)" = "$expected" ] || {
    echo "FAIL wine-failing: Wine's commands ran as"$'\n'"$(wine_calls)"$'\n'"expected"$'\n'"$expected"
    failures=$((failures + 1))
}

# Interrupted while its tests run: a test sends the runner TERM.
wine_tree wine-interrupted
mkfifo "$dir/runner-pid"
plain interrupts /bin/sh -c "\"read\ pid\ <runner-pid\ &&\ kill\ -TERM\ \\\$pid\""
echo "set_tests_properties(interrupts PROPERTIES WORKING_DIRECTORY $dir)" >>"$dir/CTestTestfile.cmake"
PATH="$work/wine:$PATH" DISPLAY=:99 "$runner" "$dir" >"$dir/output" 2>&1 &
echo $! >"$dir/runner-pid"
wait $!
status=$?
if [ "$status" -ne 143 ] || [ "$(wine_calls | tail -n 1)" != "wineserver -k" ]; then
    echo "FAIL wine-interrupted: exit $status (expected 143); Wine's commands ran as"
    wine_calls | sed 's/^/    /'
    failures=$((failures + 1))
else
    echo "ok   wine-interrupted: exit 143, the kept wineserver ended"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures of the run-tests.sh cases failed"
    exit 1
fi
