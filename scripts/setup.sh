#!/usr/bin/env bash
# Installs the Debian packages that are missing, then configures and builds in build/.
# Usage: scripts/setup.sh [BUILD_DIR [extra cmake arguments...]]
set -euo pipefail
if [[ ${1:-} == -h || ${1:-} == --help ]]; then
    sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"
    exit 0
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true

mapfile -t wanted < <(grep -v '^\s*#' "$root/scripts/packages.txt" | sed '/^\s*$/d')
missing=()
for pkg in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ $status == "install ok installed" ]] || missing+=("$pkg")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""
    [[ $(id -u) == 0 ]] || sudo=sudo
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

cmake -S "$root" -B "$build" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
