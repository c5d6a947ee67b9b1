#!/usr/bin/env bash
# How long the viewer's window goes without answering while it refreshes a workbook: starts an
# X server of its own, the viewer on WORKBOOK with its interval at 10 s (a copy of the viewer
# in a directory of its own, so that its settings and private copies stay there), and pings
# the window every 20 ms for SECONDS (default 25: the first three refreshes).
#
# usage: bench/responsiveness.sh WORKBOOK [SECONDS [BUILD_DIR]]
# BUILD_DIR is a build tree, which is brought up to date first, or a directory that holds
# bin/Orvandel and bin/window_ping alone (a saved build to compare with), used as it is.
# Prints window_ping's line: pings sent and answered, the median and longest wait; then the
# viewer's peak resident memory.
set -eu -o pipefail
if [[ ${1:-} == -h || ${1:-} == --help ]]; then
    sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"
    exit 0
fi
repo=$(cd "$(dirname "$0")/.." && pwd)
workbook=$(realpath "$1")
seconds=${2:-25}
build=${3:-$repo/build}
if [[ -f $build/CMakeCache.txt ]]; then
    cmake --build "$build" -j2 --target Orvandel window_ping >/dev/null
fi

work=$(mktemp -d)
display=:$((RANDOM % 400 + 200))
cleanup() {
    [[ -n ${viewer:-} ]] && kill "$viewer" 2>/dev/null || true
    [[ -n ${server:-} ]] && kill "$server" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
cp "$build/bin/Orvandel" "$work/"
# The settings record: left 0, top 0, height 600, width 900, normal, interval 10 s, checksum.
/usr/bin/python3 - "$work/Orvandel.conf" <<'PY'
import struct, sys
record = struct.pack('<iiiiB3xi', 0, 0, 600, 900, 0, 10)
open(sys.argv[1], 'wb').write(record + bytes([sum(record) % 256]))
PY
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
server=$!
sleep 1
DISPLAY=$display QT_QPA_PLATFORM=xcb "$work/Orvandel" "$workbook" >/dev/null 2>&1 &
viewer=$!
DISPLAY=$display "$build/bin/window_ping" --pid "$viewer" --seconds "$seconds"
echo "viewer peak resident $(awk '/^VmHWM:/ { printf "%.0f MiB", $2 / 1024 }' "/proc/$viewer/status")"
