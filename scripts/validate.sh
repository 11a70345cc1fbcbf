#!/usr/bin/env bash
# Runs qxahost's validation battery on both plug-ins on both platforms.
# usage: validate.sh [STRICTNESS]   (default 10)
set -uo pipefail
cd "$(dirname "$0")/.."
strictness=${1:-10}
status=0
for plugin in Oriv Malvoree; do
    echo "== Linux: $plugin"
    build/linux/bin/qxahost validate "build/linux/bin/$plugin.so" --strictness "$strictness" ||
        status=1
    echo "== Windows (Wine): $plugin"
    scripts/wine-run.sh build/windows/bin/qxahost.exe validate "build/windows/bin/$plugin.dll" \
        --strictness "$strictness" || status=1
done
exit $status
