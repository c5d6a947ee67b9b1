#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   ./test.sh             the normal build in build/
#   ./test.sh --sanitize  the same suite built with AddressSanitizer and UBSan in build-asan/
# ORVANDEL_BUILD_DIR names another build directory for either form.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
build=${ORVANDEL_BUILD_DIR:-$root/build}
cmake_args=()
if [[ ${1:-} == --sanitize ]]; then
    build=${ORVANDEL_BUILD_DIR:-$root/build-asan}
    cmake_args=(-DORVANDEL_SANITIZE=ON -DORVANDEL_BENCH=OFF)
    # Leaks inside the system's libraries are theirs, not ours.
    export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi
"$root/scripts/setup.sh" "$build" "${cmake_args[@]}"
cd "$build"
ctest --output-on-failure -j2
