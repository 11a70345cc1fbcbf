#!/usr/bin/env bash
# Runs a Windows program under Wine (the cross build's test emulator).
# The Wine prefix is private to the build tree (build/<preset>/wineprefix), created on first
# use; GDI+ needs the Arial -> Liberation Sans font replacement to find "Arial", and one for
# "Microsoft Sans Serif" to have a generic sans-serif family.
#
# usage: wine-run.sh PROGRAM [ARGUMENTS...]
#        wine-run.sh --prefix BUILD_DIR     only make the build tree's prefix (while it builds)
set -euo pipefail

if [ "${1:-}" = --prefix ]; then
    program=""
    build_dir=$(cd "$2" && pwd)
else
    program=$1
    shift
    # The build tree is the nearest directory above the program that holds a CMakeCache.txt.
    build_dir=$(cd "$(dirname "$program")" && pwd)
    while [ "$build_dir" != / ] && [ ! -f "$build_dir/CMakeCache.txt" ]; do
        build_dir=$(dirname "$build_dir")
    done
    [ -f "$build_dir/CMakeCache.txt" ] || build_dir=$(cd "$(dirname "$program")" && pwd)
fi

export WINEPREFIX=${QXA_WINEPREFIX:-$build_dir/wineprefix}
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# A prefix counts as ready only once it was made completely: a failed attempt is removed and
# made again on the next run.
if [ ! -f "$WINEPREFIX/.qxa-ready" ]; then
    mkdir -p "$WINEPREFIX"
    log=$WINEPREFIX-setup.log
    (
        flock 9
        [ -f "$WINEPREFIX/.qxa-ready" ] && exit 0
        echo "wine-run: creating the Wine prefix $WINEPREFIX (once)" >&2
        if wineboot -i >"$log" 2>&1 &&
            wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ \
                /d 'Liberation Sans' /f >>"$log" 2>&1 &&
            # GDI+'s generic sans-serif family (the toolkit's font fallback).
            wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Microsoft Sans Serif' \
                /t REG_SZ /d 'Liberation Sans' /f >>"$log" 2>&1 &&
            # No window manager runs on the test display: unmanaged windows are created and
            # destroyed at once instead of waiting two seconds each for one.
            wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
                >>"$log" 2>&1 &&
            wineserver -w && [ -f "$WINEPREFIX/system.reg" ]; then
            touch "$WINEPREFIX/.qxa-ready"
            exit 0
        fi
        echo "wine-run: creating the Wine prefix $WINEPREFIX failed; it is made again on the" \
            "next run. The end of $log:" >&2
        tail -n 20 "$log" >&2 || true
        wineserver -k >/dev/null 2>&1 || true
        rm -rf "$WINEPREFIX"
        exit 1
    ) 9>"$WINEPREFIX.lock" || exit 1
fi

[ -n "$program" ] || exit 0

if [ -z "${DISPLAY:-}" ]; then
    # Wine's desktop process outlives the program and says goodbye when xvfb-run stops the X
    # server ("X connection to :99 broken"): that line is not the program's, so it is dropped.
    exec xvfb-run -a wine "$program" "$@" \
        2> >(grep --line-buffered -v '^X connection to :[0-9]* broken' >&2)
fi
exec wine "$program" "$@"
