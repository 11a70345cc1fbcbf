#!/usr/bin/env bash
# Installs what the build, the tests and the demo need and is not there yet (Debian 12, root).
# Runs `apt-get update` once, and only when something must be installed.
set -euo pipefail

packages=(
    cmake ninja-build g++ make
    g++-mingw-w64-x86-64-posix
    wine wine64 xvfb xauth fonts-wine fonts-liberation
    googletest libbenchmark-dev libcli11-dev nlohmann-json3-dev
    valgrind clang libclang-rt-14-dev clang-format ccache
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$package")
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "setup: installing ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "setup: these packages are missing; install them as root: ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
echo "setup: done"
