#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#   ./test.sh             the normal build in build/
#   ./test.sh --sanitize  the same suite built with AddressSanitizer and UBSan in build-asan/
# ORVANDEL_BUILD_DIR and ORVANDEL_SANITIZE_BUILD_DIR name other build directories for them.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
build=${ORVANDEL_BUILD_DIR:-$root/build}
cmake_args=()
if [[ ${1:-} == --sanitize ]]; then
    build=${ORVANDEL_SANITIZE_BUILD_DIR:-$root/build-asan}
    # The tests carry the sanitizers' options (tests/CMakeLists.txt).
    cmake_args=(-DORVANDEL_SANITIZE=ON -DORVANDEL_BENCH=OFF)
fi
"$root/scripts/setup.sh" "$build" "${cmake_args[@]}"
cd "$build"
ctest --output-on-failure -j2
