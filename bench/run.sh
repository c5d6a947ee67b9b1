#!/bin/bash
# The benchmark suite, one command: builds what it needs, makes the 65,536-row workbook once
# and the OOXML ones (kept in BUILD_DIR/bench/), and prints the table of figures against their goals.
#
# Usage: bench/run.sh [BUILD_DIR] [--idle-seconds N]
#   BUILD_DIR defaults to build/; a new one is configured as a Release build. An existing one
#   is used as it is configured (the table names its build type; Debug or sanitizer builds
#   give figures that say nothing about the product).
#   --idle-seconds N: how long the idle viewer is watched (default 60); the driver,
#   bench/bench_suite.py, takes more options (--refresh-runs, --reader-runs, --dump-runs,
#   --xlrd-runs, --ooxml-runs, --reference-runs).
#   --big: also the 1,048,575-row OOXML workbook against ssconvert and LibreOffice (a minute
#   each per run there; the workbook takes xlsxwriter several minutes to make, once).
#   --ooxml-only: only the OOXML measures. --odf adds the legacy workbook saved as ODS by
#   LibreOffice and as XML Spreadsheet 2003 by SheetJS, against Gnumeric and LibreOffice
#   (several minutes more; --odf-only runs that alone, --odf-runs N how many times each,
#   default 3). --web-and-text: the workbook saved as a web page and as text against
#   LibreOffice reading them, which takes minutes.
# Exit status 0 when every goal is met, 1 when one is missed, another status on failure.
set -eu -o pipefail
if [[ ${1:-} == -h || ${1:-} == --help ]]; then
    sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"
    exit 0
fi

REPO=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$REPO/build
if [[ $# -gt 0 && $1 != --* ]]; then
    BUILD=$1
    shift
fi

if [[ ! -f $BUILD/CMakeCache.txt ]]; then
    cmake -S "$REPO" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DORVANDEL_BENCH=ON >/dev/null
fi
echo "building in $BUILD ..."
cmake --build "$BUILD" -j2 --target orvandel-dump Orvandel bench_reader bench_refresh bench_ooxml bench_odf bench_page >/dev/null

exec /usr/bin/python3 "$REPO/bench/bench_suite.py" --repo "$REPO" --build "$BUILD" "$@"
