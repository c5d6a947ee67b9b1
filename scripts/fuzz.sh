#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs one of them for a given time.
#   scripts/fuzz.sh TARGET SECONDS [extra libFuzzer flags...]
# TARGET is fuzz_reader, fuzz_decryption, fuzz_ooxmldecryption, fuzz_decoding, fuzz_xlsb, fuzz_ooxml, fuzz_xmlscanner, fuzz_fods,
# fuzz_xml2003, fuzz_html, fuzz_text, fuzz_settings or fuzz_commandline. The build goes to
# build-fuzz, or to ORVANDEL_FUZZ_BUILD_DIR when set. The growing corpus is kept in
# fuzz/corpus-TARGET (not in git); crashes land in fuzz/ as crash-*.
set -euo pipefail
if [[ ${1:-} == -h || ${1:-} == --help ]]; then
    sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"
    exit 0
fi
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
fuzz_reader) seeds=("$root/tests/data/corpus" "$root/tests/data/fixtures" "$root/tests/data/regressions"
                    "$root/tests/data/formats") ;;
fuzz_decryption) seeds=("$root/tests/data/formats") ;;
fuzz_ooxmldecryption) seeds=("$root/tests/data/formats"); pattern='*-password.xls[xb]' ;;
fuzz_html) seeds=("$root/tests/data/formats"); pattern='*.htm*' ;;
fuzz_text) seeds=("$root/tests/data/formats" "$root/tests/data/encodings"); pattern='*.[ct][sx][vt]' ;;
fuzz_decoding)
    # Each file of the encoding corpus after its label, or its code page, as the target takes them.
    /usr/bin/python3 - "$corpus" "$root/tests/data/encodings" <<'PY'
import os, struct, sys
corpus, folder = sys.argv[1:]
for line in open(os.path.join(folder, "cases.tsv"), encoding="utf-8"):
    if line.startswith("#") or not line.strip():
        continue
    name, code_page = line.split("\t")[:2]
    label = name.split("-", 1)[1].rsplit(".", 1)[0].encode()[:31]
    number = int(code_page) if code_page != "-" else 0
    data = open(os.path.join(folder, name), "rb").read()
    with open(os.path.join(corpus, name + ".seed"), "wb") as seed:
        seed.write(bytes([len(label)]) + label + struct.pack("<H", number & 0xFFFF) + data)
PY
    ;;
fuzz_xlsb)
    # The workbook part, the shared strings and the first sheet of each binary workbook, as
    # the target takes them.
    /usr/bin/python3 - "$corpus" "$root"/tests/data/formats/*.xlsb <<'PY'
import os, sys, zipfile
for path in sys.argv[2:]:
    try:
        package = zipfile.ZipFile(path)
        parts = [package.read(name) if name in package.namelist() else b""
                 for name in ("xl/workbook.bin", "xl/sharedStrings.bin", "xl/worksheets/sheet1.bin")]
    except Exception:
        continue
    with open(os.path.join(sys.argv[1], os.path.basename(path) + ".seed"), "wb") as seed:
        seed.write(b"\n#part#\n".join(parts))
PY
    ;;
esac
for s in "${seeds[@]}"; do [[ -d $s ]] && find "$s" -type f -name "$pattern" -exec cp -n {} "$corpus/" \; ; done
case $target in
fuzz_ooxml | fuzz_xmlscanner)
    # The OOXML workbooks of the format corpus: whole (fuzz_ooxml), their parts joined by 0xFF
    # (fuzz_ooxml) and each XML part after a byte that sets the piece size (fuzz_xmlscanner).
    /usr/bin/python3 - "$target" "$corpus" "$root/tests/data/formats" "$root/tests/data/regressions/ooxml" <<'PY'
import os, shutil, sys, zipfile
target, corpus, *folders = sys.argv[1:]
for folder in folders:
    if not os.path.isdir(folder):
        continue
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if not zipfile.is_zipfile(path):
            continue
        # A damaged package (a CRC mismatch among the fixtures) is whole as a seed only.
        if target == "fuzz_ooxml":
            shutil.copyfile(path, os.path.join(corpus, name))
        try:
            with zipfile.ZipFile(path) as package:
                names = package.namelist()
                def part(suffix):
                    found = [n for n in names if n.lower().endswith(suffix)]
                    return package.read(found[0]) if found else b""
                if target == "fuzz_ooxml":
                    joined = b"\xff".join(part(s) for s in ("sheet1.xml", "sharedstrings.xml",
                                                              "styles.xml", "workbook.xml"))
                    open(os.path.join(corpus, name + ".parts"), "wb").write(joined)
                else:
                    for i, n in enumerate(x for x in names if x.endswith(".xml")):
                        seed = bytes([i * 37 % 256]) + package.read(n)
                        open(os.path.join(corpus, "%s.%d.xml" % (name, i)), "wb").write(seed)
        except Exception:  # a package too damaged to take apart
            continue
PY
    ;;
esac
formats=$root/tests/data/formats
case $target in
fuzz_reader) find "$formats" -maxdepth 1 -type f ! -name '*.tsv' ! -name '*.md' -exec cp -n {} "$corpus/" \; ;;
fuzz_xml2003) grep -l 'urn:schemas-microsoft-com:office:spreadsheet' "$formats"/*.xml "$root"/tests/data/encodings/*.xml | xargs -r cp -n -t "$corpus/" ;;
fuzz_fods)
    cp -n "$formats"/*.fods "$corpus/"
    # A package's content.xml is read by the same handler as a flat document.
    for ods in "$formats"/*.ods; do
        [[ -e $corpus/$(basename "$ods").content.xml ]] ||
            unzip -p "$ods" content.xml >"$corpus/$(basename "$ods").content.xml"
    done
    ;;
esac
cd "$root/fuzz"
# Qt looks for nothing on screen here; the leak check stays on (libFuzzer's default).
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
"$build/fuzz/$target" "$corpus" -max_total_time="$seconds" -print_final_stats=1 "$@"
