#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   ./test.sh             the normal build in build/
#   ./test.sh --sanitize  the same suite built with AddressSanitizer and UBSan in build-asan/
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
build=$root/build
cmake_args=()
if [[ ${1:-} == --sanitize ]]; then
    build=$root/build-asan
    cmake_args=(-DORVANDEL_SANITIZE=ON -DORVANDEL_BENCH=OFF)
    # Leaks inside the system's font and GL libraries are theirs, not ours.
    export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi
"$root/scripts/setup.sh" "$build" "${cmake_args[@]}"
cd "$build"
ctest --output-on-failure -j2
