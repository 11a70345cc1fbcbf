#!/usr/bin/env bash
# Writes the editors' reference snapshots with the Windows build's qxahost (under Wine): each
# image listed in synth/tests/reference/snapshots.txt (Oriv) and delay/tests/reference/
# snapshots.txt (Malvoree), with the options listed beside it. Run it after a deliberate change
# to an editor's look, look at the images, and commit them; the editor window tests compare
# their own snapshots with these.
#
# usage: make-editor-references.sh [BUILD_DIR]     (default: build/windows, built beforehand)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/windows}
qxahost=$build/bin/qxahost.exe
[ -f "$qxahost" ] || {
    echo "make-editor-references: $qxahost is missing: build the windows preset first" >&2
    exit 1
}

# folder and plug-in, one pair a line
references="synth/tests/reference Oriv
delay/tests/reference Malvoree"

while read -r folder plugin; do
    manifest=$folder/snapshots.txt
    [ -f "$manifest" ] || continue
    while read -r image options; do
        case $image in '' | '#'*) continue ;; esac
        # Z: is the Unix root under Wine.
        # shellcheck disable=SC2086 # the options are words
        scripts/wine-run.sh "$qxahost" snapshot "$build/bin/$plugin.dll" \
            --out "Z:$PWD/$folder/$image" $options </dev/null 2> >(grep -v "^X connection" >&2)
    done <"$manifest"
done <<<"$references"
