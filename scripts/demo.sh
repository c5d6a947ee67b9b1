#!/usr/bin/env bash
# The live demo: a writer plays the testing program and rewrites Bellquor.xls beside the viewer
# every few seconds while the viewer watches it at its shortest interval. Closing the viewer
# stops the writer.
set -euo pipefail
if [[ ${1:-} == -h || ${1:-} == --help ]]; then
    sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"
    exit 0
fi
bin=$(cd "${1:?usage: demo.sh BIN_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)

/usr/bin/python3 "$here/demo_writer.py" "$bin/Bellquor.xls" --rounds 1 --conf "$bin/Orvandel.conf"
/usr/bin/python3 "$here/demo_writer.py" "$bin/Bellquor.xls" --period 4 &
writer=$!
trap 'kill "$writer" 2>/dev/null || true' EXIT
"$bin/Orvandel"
