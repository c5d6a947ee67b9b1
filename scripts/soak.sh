#!/usr/bin/env bash
# The soak run of the window's scan and import, outside the test suite's defaults:
#   scripts/soak.sh [IMPORTS]
# runs tst_soak with IMPORTS imports (default 1000) and prints the resident memory after the
# first 100 and after the last, then runs 50 imports under valgrind's memcheck and fails on any
# leak in the viewer's own code. Builds tst_soak in build/ (or ORVANDEL_BUILD_DIR) first.
set -euo pipefail
if [[ ${1:-} == -h || ${1:-} == --help ]]; then
    sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"
    exit 0
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVANDEL_BUILD_DIR:-$root/build}
imports=${1:-1000}
command -v valgrind >/dev/null || {
    sudo=""; [[ $(id -u) == 0 ]] || sudo=sudo
    $sudo apt-get install -y -qq --no-install-recommends valgrind >/dev/null
}
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 --target tst_soak >/dev/null
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
ORVANDEL_SOAK_IMPORTS=$imports "$build/tests/tst_soak" -silent

log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Qt's and the system libraries' allocations that live to the end of the process are "still
# reachable" or "possibly lost" in their own code; only definite and indirect leaks count.
ORVANDEL_SOAK_IMPORTS=50 valgrind --tool=memcheck --leak-check=full \
    --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect \
    --error-exitcode=3 --num-callers=30 "$build/tests/tst_soak" -silent >"$log" 2>&1 || {
    cat "$log"
    echo "soak: valgrind found errors or leaks" >&2
    exit 1
}
grep -E "soak:|definitely lost|indirectly lost|possibly lost|ERROR SUMMARY" "$log" | sed 's/^==[0-9]*== //'
