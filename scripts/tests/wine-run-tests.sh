#!/usr/bin/env bash
# scripts/wine-run.sh with stand-ins for Wine's commands: a prefix whose creation fails is
# reported, left unmarked and made again on the next run; a prefix made once is reused.
set -uo pipefail

runner=$(cd "$(dirname "$0")/.." && pwd)/wine-run.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL $*"
    failures=$((failures + 1))
}

# Stand-ins: wineboot succeeds (and writes the registry) unless $work/wineboot-fails exists and
# counts its runs; wine runs "programs" by printing their arguments.
mkdir -p "$work/bin"
cat >"$work/bin/wineboot" <<'STUB'
#!/bin/sh
echo run >>"$STUB_DIR/wineboot-runs"
if [ -e "$STUB_DIR/wineboot-fails" ]; then echo "wineboot: cannot start" >&2; exit 3; fi
mkdir -p "$WINEPREFIX" && touch "$WINEPREFIX/system.reg"
STUB
cat >"$work/bin/wine" <<'STUB'
#!/bin/sh
[ "$1" = reg ] && exit 0
echo "ran $*"
STUB
printf '#!/bin/sh\nexit 0\n' >"$work/bin/wineserver"
chmod +x "$work/bin/"*
export PATH="$work/bin:$PATH" STUB_DIR=$work DISPLAY=:99 QXA_WINEPREFIX=$work/prefix
runs() { wc -l <"$work/wineboot-runs" 2>/dev/null || echo 0; }

touch "$work/wineboot-fails"
output=$("$runner" "$work/program.exe" one 2>&1) && fail "a failed wineboot still ran the program"
grep -q "creating the Wine prefix .* failed" <<<"$output" || fail "no error for the failed prefix: $output"
grep -q "wineboot: cannot start" <<<"$output" || fail "the error does not show wineboot's: $output"
[ ! -e "$work/prefix/.qxa-ready" ] || fail "a failed prefix was marked ready"

rm "$work/wineboot-fails"
output=$("$runner" "$work/program.exe" two 2>&1) || fail "the second run did not make the prefix: $output"
[ "$(tail -n 1 <<<"$output")" = "ran $work/program.exe two" ] || fail "the program did not run: $output"
[ -e "$work/prefix/.qxa-ready" ] || fail "a prefix made completely was not marked ready"
[ "$(runs)" -eq 2 ] || fail "wineboot ran $(runs) times over two runs, expected 2"

output=$("$runner" "$work/program.exe" three 2>&1) || fail "a ready prefix failed: $output"
[ "$output" = "ran $work/program.exe three" ] || fail "a ready prefix was made again: $output"
[ "$(runs)" -eq 2 ] || fail "wineboot ran again for a ready prefix"

# Without a display, xvfb-run provides one; the goodbye of Wine's desktop process when the X
# server stops is not the program's output, the program's own error lines are.
cat >"$work/bin/xvfb-run" <<'STUB'
#!/bin/sh
[ "$1" = -a ] && shift
"$@"
echo "program error" >&2
echo "X connection to :99 broken (explicit kill or server shutdown)." >&2
STUB
chmod +x "$work/bin/xvfb-run"
output=$(env -u DISPLAY "$runner" "$work/program.exe" four 2>&1) || fail "the run failed: $output"
grep -q "X connection" <<<"$output" && fail "the X server's goodbye was left in: $output"
grep -q "program error" <<<"$output" || fail "the program's own errors were dropped: $output"
grep -q "ran $work/program.exe four" <<<"$output" || fail "the program did not run: $output"

# --prefix makes a build tree's own prefix and runs nothing.
mkdir -p "$work/tree"
touch "$work/tree/CMakeCache.txt"
output=$(env -u QXA_WINEPREFIX "$runner" --prefix "$work/tree" 2>&1) || fail "--prefix failed: $output"
[ -e "$work/tree/wineprefix/.qxa-ready" ] || fail "--prefix made no prefix in the tree: $output"
grep -q "^ran" <<<"$output" && fail "--prefix ran a program: $output"

[ "$failures" -eq 0 ] && echo "wine-run.sh: all cases passed"
[ "$failures" -eq 0 ]
