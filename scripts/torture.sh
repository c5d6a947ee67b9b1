#!/bin/bash
# The writer torture run: a writing program (scripts/torture_writer.py) rewrites a watched
# workbook for SECONDS, alternating six versions (5 to 5,000 rows; four legacy workbooks and two
# OOXML ones under the same .xls name) and three ways of writing
# (in place with truncation, a new file renamed over it, in place under an exclusive flock),
# while orvandel-dump takes snapshots and imports them back to back, as the viewer would.
#
# Usage: scripts/torture.sh [SECONDS [BUILD_DIR]]     (default 60 s, BUILD_DIR build/)
#   TORTURE_TRACE_EVERY=N  run every Nth dump under strace (default 25; 0: never)
#   TORTURE_RETRY_MS=N     the dump's pause between attempts (default the viewer's 300)
#   TORTURE_KEEP=1         keep the work directory even when the run passes
#   TORTURE_NO_BUILD=1     use BUILD_DIR/bin/orvandel-dump as it is (CTest builds it first)
#   TORTURE_DUMP_USER=U    run the dumps as user U (as root; e.g. nobody): the kernel then
#                          grants no read lease on the writer's file, and the snapshot falls
#                          back on its lock checks and change times
#   TORTURE_WRITER_REST_MS=N  the writer rests a random 0 to N ms between rewrites (default
#                          40); without a lease a copy needs the file quiet for 100 ms
#   TORTURE_FORMAT=F       the versions' format: xls (python3-xlwt, the default) or ods
#                          (python3-odf); the watched file is results.xls either way
#
# It prints the counts and exits 1 when one that must be 0 is not: tables that are not
# exactly one of the versions, changes to the watched file not made by the writer, write
# access to the watched directory seen in a traced dump, and temporary files left behind.
# Missing files and errors are counted and shown, and also fail the run: the watched file
# always exists and every version is a good workbook.
# The whole script is one compound command, read before any of it runs, so that editing the
# file during a long run cannot change what the run does.
{
set -u -o pipefail
if [[ ${1:-} == -h || ${1:-} == --help ]]; then
    sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"
    exit 0
fi

REPO=$(cd "$(dirname "$0")/.." && pwd)
DURATION=${1:-60}
BUILD=${2:-$REPO/build}
TRACE_EVERY=${TORTURE_TRACE_EVERY:-25}
RETRY_MS=${TORTURE_RETRY_MS:-300}
PYTHON=/usr/bin/python3

die() {
    echo "torture: $*" >&2
    exit 2
}

[[ $DURATION =~ ^[0-9]+$ && $DURATION -gt 0 ]] || die "SECONDS must be a positive whole number"
if [[ ${TORTURE_NO_BUILD:-0} != 1 ]]; then
    if [[ ! -f $BUILD/CMakeCache.txt ]]; then
        cmake -S "$REPO" -B "$BUILD" >/dev/null || die "cmake failed"
    fi
    cmake --build "$BUILD" -j2 --target orvandel-dump >/dev/null || die "building orvandel-dump failed"
fi
if ((TRACE_EVERY > 0)) && ! command -v strace >/dev/null; then
    echo "torture: strace not installed, dumps are not traced" >&2
    TRACE_EVERY=0
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/orvandel-torture.XXXXXX") || die "no work directory"
# The dump writes its temporary copy beside its executable: a private copy of the tool makes
# anything it leaves behind visible.
TOOL_DIR=$WORK/tool
WATCH_DIR=$WORK/watch
WATCHED=$WATCH_DIR/results.xls
mkdir -p "$TOOL_DIR" "$WATCH_DIR" "$WORK/versions" "$WORK/expected" "$WORK/bad" "$WORK/trace"
cp "$BUILD/bin/orvandel-dump" "$TOOL_DIR/" || die "no $BUILD/bin/orvandel-dump"
DUMP=$TOOL_DIR/orvandel-dump
RUN_DUMP=("$DUMP")
if [[ -n ${TORTURE_DUMP_USER:-} ]]; then
    chmod 755 "$WORK" && chown "$TORTURE_DUMP_USER" "$TOOL_DIR" || die "cannot hand $TOOL_DIR over"
    RUN_DUMP=(setpriv --reuid="$TORTURE_DUMP_USER" --regid="$(id -g "$TORTURE_DUMP_USER")" --clear-groups "$DUMP")
fi
export LC_ALL=C.UTF-8

FORMAT=${TORTURE_FORMAT:-xls}
mapfile -t VERSIONS < <("$PYTHON" "$REPO/scripts/torture_writer.py" make "$WORK/versions" "$FORMAT")
((${#VERSIONS[@]} >= 2)) || die "could not make the $FORMAT versions (python3-xlwt, python3-xlsxwriter, python3-odf?)"

# The expected tables: each version dumped while nothing writes it.
declare -A EXPECTED=()
for i in "${!VERSIONS[@]}"; do
    "${RUN_DUMP[@]}" --csv "${VERSIONS[$i]}" >"$WORK/expected/$((i + 1)).csv" ||
        die "the dump of ${VERSIONS[$i]} failed"
    sum=$(sha256sum <"$WORK/expected/$((i + 1)).csv" | cut -d' ' -f1)
    [[ -z ${EXPECTED[$sum]:-} ]] || die "two versions give the same table"
    EXPECTED[$sum]=$((i + 1))
    echo "version $((i + 1)): $(stat -c %s "${VERSIONS[$i]}") bytes, table of" \
        "$(($(grep -c $'\r$' "$WORK/expected/$((i + 1)).csv"))) rows"
done

cp "${VERSIONS[0]}" "$WATCHED"
"$PYTHON" "$REPO/scripts/torture_writer.py" run "$WATCHED" "$DURATION" "$WORK/writer.log" \
    "${VERSIONS[@]}" >"$WORK/writer.out" 2>"$WORK/writer.err" &
WRITER=$!
trap 'kill $WRITER 2>/dev/null' EXIT

runs=0 imported=0 gave_up=0 errors=0 missing=0 mismatched=0 attempts=0 retried=0 torn=0
traced=0 traced_opens=0 our_writes=0
declare -A SEEN=()
# A traced call that names the watched directory and is not one of these is a change by us.
READ_ONLY_OPEN='^[0-9]+ +open(at)?\((AT_FDCWD, )?"[^"]*", O_RDONLY(\|O_(NONBLOCK|CLOEXEC|NOCTTY|LARGEFILE|DIRECTORY|NOFOLLOW|PATH))*( <unfinished|\))'
echo "torturing for $DURATION s in $WORK${TORTURE_DUMP_USER:+, dumps run as $TORTURE_DUMP_USER} ..."
while kill -0 "$WRITER" 2>/dev/null; do
    runs=$((runs + 1))
    out=$WORK/out.csv err=$WORK/err.txt
    if ((TRACE_EVERY > 0 && runs % TRACE_EVERY == 0)); then
        traced=$((traced + 1))
        # LeakSanitizer cannot work under ptrace; a sanitizer build's traced runs skip it.
        ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
            strace -f -qq -o "$WORK/trace/last" \
            -e trace=open,openat,openat2,creat,truncate,rename,renameat,renameat2,unlink,unlinkat,link,linkat,symlink,symlinkat,mkdir,mkdirat,rmdir,chmod,fchmodat,utimensat \
            "${RUN_DUMP[@]}" --stats --csv --retry-ms "$RETRY_MS" "$WATCHED" >"$out" 2>"$err"
        rc=$?
        trace=$WORK/trace/last
        traced_opens=$((traced_opens + $(grep -c "\"$WATCHED\", O_RDONLY" "$trace")))
        # Anything but a read-only open that names the watched directory is a change by us.
        writes=$(grep -F "\"$WATCH_DIR" "$trace" | grep -Evc "$READ_ONLY_OPEN" || true)
        if ((writes > 0)); then
            our_writes=$((our_writes + writes))
            cp "$trace" "$WORK/bad/strace-$runs"
        fi
    else
        "${RUN_DUMP[@]}" --stats --csv --retry-ms "$RETRY_MS" "$WATCHED" >"$out" 2>"$err"
        rc=$?
    fi
    if read -r _ _ a _ t < <(grep '^orvandel-dump: attempts' "$err"); then
        attempts=$((attempts + a))
        torn=$((torn + t))
        retried=$((retried + a - (rc == 0 ? 1 : 0)))
    fi
    case $rc in
    0)
        imported=$((imported + 1))
        sum=$(sha256sum <"$out" | cut -d' ' -f1)
        if [[ -n ${EXPECTED[$sum]:-} ]]; then
            SEEN[${EXPECTED[$sum]}]=$((${SEEN[${EXPECTED[$sum]}]:-0} + 1))
        else
            mismatched=$((mismatched + 1))
            cp "$out" "$WORK/bad/table-$runs.csv"
        fi
        ;;
    1)
        errors=$((errors + 1))
        ((errors <= 5)) && echo "error (run $runs): $(grep -v '^orvandel-dump: attempts' "$err")"
        ;;
    2) missing=$((missing + 1)) ;;
    3) gave_up=$((gave_up + 1)) ;;
    *) errors=$((errors + 1)) && echo "run $runs: exit status $rc: $(cat "$err")" ;;
    esac
done
wait "$WRITER"
writer_rc=$?
trap - EXIT

read -r _ rewrites _ w_inplace _ w_rename _ w_flock _ foreign <"$WORK/writer.out" ||
    die "the writer failed: $(cat "$WORK/writer.err")"
((writer_rc == 0)) || die "the writer failed: $(cat "$WORK/writer.err")"
# The file must be exactly what the writer wrote last.
last_sum=$(tail -n 1 "$WORK/writer.log" | cut -d' ' -f4)
final_sum=$(sha256sum <"$WATCHED" | cut -d' ' -f1)
[[ $final_sum == "$last_sum" ]] || foreign=$((foreign + 1))
changes=$((foreign + our_writes))
leftovers=$(find "$TOOL_DIR" "$WATCH_DIR" -mindepth 1 ! -path "$DUMP" ! -path "$WATCHED" | wc -l)

seen=""
for i in "${!VERSIONS[@]}"; do seen+=" v$((i + 1)):${SEEN[$((i + 1))]:-0}"; done
cat <<EOF

writer: $rewrites rewrites in $DURATION s ($w_inplace in place, $w_rename renamed over, $w_flock under flock)
dumps run:                                $runs
snapshots taken and imported:             $imported  (tables per version:$seen)
attempts refused as locked or torn:       $retried  (of which torn: $torn; attempts in all: $attempts)
scans that gave up (exit 3):              $gave_up
errors reported (exit 1):                 $errors
file reported missing (exit 2):           $missing
tables not exactly one of the versions:   $mismatched  (must be 0)
changes to the watched file not by the writer: $changes  (must be 0; $foreign seen by the writer, $our_writes write accesses in $traced traced dumps, which opened it read-only $traced_opens times)
temporary files left behind:              $leftovers  (must be 0)
EOF

if ((mismatched + changes + leftovers + errors + missing > 0)); then
    echo "FAILED; the evidence is in $WORK"
    exit 1
fi
[[ ${TORTURE_KEEP:-0} == 1 ]] && echo "kept $WORK" || rm -rf "$WORK"
echo "passed"
exit
}
