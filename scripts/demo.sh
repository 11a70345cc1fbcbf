#!/usr/bin/env bash
# The demo: qxahost loads the plug-ins on both platforms (Linux natively, Windows under Wine)
# and shows what they are; where the plug-ins and the demo material exist, it renders audio.
set -euo pipefail
cd "$(dirname "$0")/.."

linux_bin=build/linux/bin
windows_bin=build/windows/bin
wine_run=scripts/wine-run.sh

banner() { printf '\n=== %s ===\n' "$*"; }

for plugin in QxaTestPlugin; do
    banner "Linux: qxahost info $linux_bin/$plugin.so"
    "$linux_bin/qxahost" info "$linux_bin/$plugin.so"
    banner "Windows (Wine): qxahost.exe info $windows_bin/$plugin.dll"
    "$wine_run" "$windows_bin/qxahost.exe" info "$windows_bin/$plugin.dll"
done
