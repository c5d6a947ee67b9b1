#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs one of them for a given time.
#   scripts/fuzz.sh TARGET SECONDS [extra libFuzzer flags...]
# TARGET is fuzz_reader, fuzz_html, fuzz_text, fuzz_settings or fuzz_commandline. The build goes
# to build-fuzz, or to ORVANDEL_FUZZ_BUILD_DIR when set. The growing corpus is kept in
# fuzz/corpus-TARGET (not in git); crashes land in fuzz/ as crash-*.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:?target}
seconds=${2:?seconds}
shift 2
for pkg in clang libclang-rt-14-dev; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || {
        sudo=""; [[ $(id -u) == 0 ]] || sudo=sudo
        $sudo apt-get install -y -qq --no-install-recommends clang libclang-rt-14-dev >/dev/null
        break
    }
done
build=${ORVANDEL_FUZZ_BUILD_DIR:-$root/build-fuzz}
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DORVANDEL_FUZZ=ON -DORVANDEL_TESTS=OFF \
    -DORVANDEL_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target "$target" >/dev/null
corpus=$root/fuzz/corpus-$target
mkdir -p "$corpus"
seeds=()
pattern='*.xls'
case $target in
fuzz_reader) seeds=("$root/tests/data/corpus" "$root/tests/data/fixtures" "$root/tests/data/regressions") ;;
fuzz_html) seeds=("$root/tests/data/formats"); pattern='*.htm*' ;;
fuzz_text) seeds=("$root/tests/data/formats"); pattern='*.[ct][sx][vt]' ;;
esac
for s in "${seeds[@]}"; do [[ -d $s ]] && find "$s" -type f -name "$pattern" -exec cp -n {} "$corpus/" \; ; done
cd "$root/fuzz"
# Qt looks for nothing on screen here; the leak check stays on (libFuzzer's default).
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
"$build/fuzz/$target" "$corpus" -max_total_time="$seconds" -print_final_stats=1 "$@"
