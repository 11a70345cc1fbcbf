#!/usr/bin/env bash
# Runs a Windows program under Wine (the cross build's test emulator).
# The Wine prefix is private to the build tree (build/<preset>/wineprefix), created on first
# use; GDI+ needs the Arial -> Liberation Sans font replacement to find "Arial", and one for
# "Microsoft Sans Serif" to have a generic sans-serif family.
set -euo pipefail

program=$1
shift

# The build tree is the nearest directory above the program that holds a CMakeCache.txt.
build_dir=$(cd "$(dirname "$program")" && pwd)
while [ "$build_dir" != / ] && [ ! -f "$build_dir/CMakeCache.txt" ]; do
    build_dir=$(dirname "$build_dir")
done
[ -f "$build_dir/CMakeCache.txt" ] || build_dir=$(cd "$(dirname "$program")" && pwd)

export WINEPREFIX=${QXA_WINEPREFIX:-$build_dir/wineprefix}
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ ! -f "$WINEPREFIX/.qxa-ready" ]; then
    mkdir -p "$WINEPREFIX"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.qxa-ready" ]; then
            echo "wine-run: creating the Wine prefix $WINEPREFIX (once)" >&2
            wineboot -i >/dev/null 2>&1 || true
            wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial /t REG_SZ \
                /d 'Liberation Sans' /f >/dev/null 2>&1
            # GDI+'s generic sans-serif family (the toolkit's font fallback).
            wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Microsoft Sans Serif' \
                /t REG_SZ /d 'Liberation Sans' /f >/dev/null 2>&1
            # No window manager runs on the test display: unmanaged windows are created and
            # destroyed at once instead of waiting two seconds each for one.
            wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
                >/dev/null 2>&1
            wineserver -w
            touch "$WINEPREFIX/.qxa-ready"
        fi
    ) 9>"$WINEPREFIX.lock"
fi

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a wine "$program" "$@"
fi
exec wine "$program" "$@"
