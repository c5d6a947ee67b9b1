#!/usr/bin/env bash
# Installs the Debian packages that are missing, then configures and builds in build/.
# Usage: scripts/setup.sh [BUILD_DIR [extra cmake arguments...]]
# ORVANDEL_TARGETS, when set, names the only targets to build (run.sh builds the viewer alone);
# the build then says in one line what it builds and keeps the compiler's output in
# BUILD_DIR/build.log, shown only when the build fails.
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
read -ra targets <<<"${ORVANDEL_TARGETS:-}"
if ((${#targets[@]} == 0)); then
    cmake --build "$build" -j"$(nproc)"
    exit
fi
echo "Building ${targets[*]} in $build (a few minutes the first time; compiler output in $build/build.log)..."
if ! cmake --build "$build" -j"$(nproc)" --target "${targets[@]}" >"$build/build.log" 2>&1; then
    tail -n 40 "$build/build.log"
    echo "The build failed; the whole output is in $build/build.log." >&2
    exit 1
fi
