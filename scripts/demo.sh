#!/usr/bin/env bash
# The demo: qxahost loads Oriv and Malvoree on both platforms (Linux natively, Windows under
# Wine), shows what they are, plays the demo MIDI file through Oriv and then Malvoree, and runs
# a click pattern through Malvoree. The WAV files land in build/<preset>/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."

midi=host/demo/demo.mid

banner() { printf '\n=== %s ===\n' "$*"; }

# run PRESET COMMAND...: qxahost of that preset, under Wine for Windows.
run() {
    local preset=$1
    shift
    if [ "$preset" = windows ]; then
        scripts/wine-run.sh build/windows/bin/qxahost.exe "$@" 2> >(grep -v '^X connection' >&2)
    else
        build/linux/bin/qxahost "$@"
    fi
}

# snapshot PLUGIN PROGRAM: PNG images of a plug-in's editor (Windows build, under Wine), with
# its default program and with PROGRAM, into build/windows/demo/; skipped without an editor.
snapshot() {
    local plugin=$1 program=$2
    local dll=build/windows/bin/$plugin.dll name=${1,,}
    if ! run windows info "$dll" | grep '^Flags .* Editor' >/dev/null; then
        echo "$plugin reports no editor: no snapshot"
        return
    fi
    banner "windows: snapshots of $plugin's editor"
    run windows snapshot "$dll" --out "build/windows/demo/$name-editor.png"
    run windows snapshot "$dll" --program "$program" --out "build/windows/demo/$name-editor-program-$program.png"
}

for preset in linux windows; do
    bin=build/$preset/bin
    out=build/$preset/demo
    suffix=.so
    [ "$preset" = windows ] && suffix=.dll
    mkdir -p "$out"
    rm -f "$out"/*.wav

    for plugin in Oriv Malvoree; do
        banner "$preset: qxahost info $bin/$plugin$suffix (identity; --help for more)"
        run "$preset" info "$bin/$plugin$suffix" | sed -n '1,12p'
    done

    banner "$preset: the demo song through Oriv"
    run "$preset" render "$bin/Oriv$suffix" --midi "$midi" --programs-from-midi --out "$out/oriv.wav"

    banner "$preset: the demo song through Oriv, then Malvoree"
    run "$preset" render "$bin/Oriv$suffix" --midi "$midi" --programs-from-midi \
        --out "$out/oriv-malvoree.wav" \
        --then "$bin/Malvoree$suffix" --then-set Mix=0.35 --then-set "Feedb 1=0.6"

    banner "$preset: a click pattern through Malvoree"
    run "$preset" make-clicks "$out/clicks.wav"
    run "$preset" process "$bin/Malvoree$suffix" --in "$out/clicks.wav" --out "$out/clicks-malvoree.wav"

    if [ "$preset" = windows ]; then
        rm -f "$out"/*.png
        snapshot Oriv 7
        snapshot Malvoree 5
    fi
done

banner "demo output"
ls -l build/linux/demo/*.wav build/windows/demo/*.wav
