#!/usr/bin/env bash
# Renders the hicolor PNG icons from orvandel.svg (needs rsvg-convert, in librsvg2-bin).
# The PNGs are kept in git beside the picture, so a build needs no SVG renderer: run this
# after changing the picture, and commit what it writes.
set -euo pipefail
if [[ ${1:-} == -h || ${1:-} == --help ]]; then
    sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"
    exit 0
fi
here=$(cd "$(dirname "$0")" && pwd)
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "$here/${size}x${size}"
    rsvg-convert --width "$size" --height "$size" "$here/orvandel.svg" \
        --output "$here/${size}x${size}/orvandel.png"
done
