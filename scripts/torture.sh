#!/bin/bash
# The writer torture run: a writing program (scripts/torture_writer.py) rewrites a watched
# workbook for SECONDS, alternating six versions (5 to 5,000 rows; four legacy workbooks and two
# OOXML ones under the same .xls name) and three ways of writing
# (in place with truncation, a new file renamed over it, in place under an exclusive flock),
# while orvandel-dump takes snapshots and imports them back to back, as the viewer would.
# Besides the tables, every copy a dump hands to the workbook reader is checked: its SHA-256
# must be that of one of the versions.
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
#   TORTURE_FUSE=OPTIONS   as on a share: the writer writes its directory, and the dumps read
#                          the file through a bindfs (FUSE) mount of it, which hides the
#                          writer's locks and open handles and caches attributes. OPTIONS are
#                          bindfs's -o options ("defaults" for none; e.g. auto_cache or
#                          attr_timeout=2). Needs root, /dev/fuse and bindfs; the dumps run as
#                          TORTURE_DUMP_USER, by default nobody. Without /dev/fuse or bindfs
#                          the run is skipped with a message (exit status 77).
#
# It prints the counts and exits 1 when one that must be 0 is not: tables that are not
# exactly one of the versions, copies read that are not exactly one of the versions, changes to the watched file not made by the writer, write
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
FUSE=${TORTURE_FUSE:-}
if [[ -n $FUSE ]]; then
    if [[ ! -e /dev/fuse ]] || ! command -v bindfs >/dev/null; then
        echo "torture: skipped: the FUSE mode needs /dev/fuse and bindfs"
        exit 77
    fi
    if ((EUID != 0)); then
        echo "torture: skipped: the FUSE mode runs as root (it mounts, and runs the dumps as another user)"
        exit 77
    fi
    TORTURE_DUMP_USER=${TORTURE_DUMP_USER:-nobody}
fi
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
# Where the dumps find the file: the writer's directory, or the FUSE mount of it.
SEEN_DIR=$WATCH_DIR
COPIES=$WORK/copies.txt
mkdir -p "$TOOL_DIR" "$WATCH_DIR" "$WORK/versions" "$WORK/expected" "$WORK/bad" "$WORK/trace"
: >"$COPIES"
cp "$BUILD/bin/orvandel-dump" "$TOOL_DIR/" || die "no $BUILD/bin/orvandel-dump"
DUMP=$TOOL_DIR/orvandel-dump
RUN_DUMP=("$DUMP")
if [[ -n ${TORTURE_DUMP_USER:-} ]]; then
    chmod 755 "$WORK" && chown "$TORTURE_DUMP_USER" "$TOOL_DIR" "$COPIES" ||
        die "cannot hand $TOOL_DIR over"
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

# The copies a dump may hand to the reader: the versions' bytes.
declare -A VERSION_SUMS=()
for version in "${VERSIONS[@]}"; do
    VERSION_SUMS[$(sha256sum <"$version" | cut -d' ' -f1)]=1
done

unmount() { :; }
if [[ -n $FUSE ]]; then
    SEEN_DIR=$WORK/mount
    mkdir -p "$SEEN_DIR"
    FUSE_ARGS=()
    [[ $FUSE == defaults ]] || FUSE_ARGS=(-o "$FUSE")
    bindfs "${FUSE_ARGS[@]}" "$WATCH_DIR" "$SEEN_DIR" || die "bindfs could not mount $WATCH_DIR"
    unmount() {
        mountpoint -q "$SEEN_DIR" && { fusermount -u "$SEEN_DIR" || umount -l "$SEEN_DIR"; }
    }
    trap unmount EXIT
fi
SEEN_PATH=$SEEN_DIR/results.xls

cp "${VERSIONS[0]}" "$WATCHED"
"$PYTHON" "$REPO/scripts/torture_writer.py" run "$WATCHED" "$DURATION" "$WORK/writer.log" \
    "${VERSIONS[@]}" >"$WORK/writer.out" 2>"$WORK/writer.err" &
WRITER=$!
trap 'kill $WRITER 2>/dev/null; unmount' EXIT

runs=0 imported=0 gave_up=0 errors=0 missing=0 mismatched=0 attempts=0 retried=0 torn=0
traced=0 traced_opens=0 our_writes=0
declare -A SEEN=()
# A traced call that names the watched directory and is not one of these is a change by us.
READ_ONLY_OPEN='^[0-9]+ +open(at)?\((AT_FDCWD, )?"[^"]*", O_RDONLY(\|O_(NONBLOCK|CLOEXEC|NOCTTY|LARGEFILE|DIRECTORY|NOFOLLOW|PATH))*( <unfinished|\))'
echo "torturing for $DURATION s in $WORK${TORTURE_DUMP_USER:+, dumps run as $TORTURE_DUMP_USER}${FUSE:+, through a bindfs mount ($FUSE)} ..."
while kill -0 "$WRITER" 2>/dev/null; do
    runs=$((runs + 1))
    out=$WORK/out.csv err=$WORK/err.txt
    if ((TRACE_EVERY > 0 && runs % TRACE_EVERY == 0)); then
        traced=$((traced + 1))
        # LeakSanitizer cannot work under ptrace; a sanitizer build's traced runs skip it.
        ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
            strace -f -qq -o "$WORK/trace/last" \
            -e trace=open,openat,openat2,creat,truncate,rename,renameat,renameat2,unlink,unlinkat,link,linkat,symlink,symlinkat,mkdir,mkdirat,rmdir,chmod,fchmodat,utimensat \
            "${RUN_DUMP[@]}" --stats --csv --retry-ms "$RETRY_MS" --copies "$COPIES" "$SEEN_PATH" >"$out" 2>"$err"
        rc=$?
        trace=$WORK/trace/last
        traced_opens=$((traced_opens + $(grep -c "\"$SEEN_PATH\", O_RDONLY" "$trace")))
        # Anything but a read-only open that names the watched directory is a change by us.
        writes=$(grep -F "\"$SEEN_DIR" "$trace" | grep -Evc "$READ_ONLY_OPEN" || true)
        if ((writes > 0)); then
            our_writes=$((our_writes + writes))
            cp "$trace" "$WORK/bad/strace-$runs"
        fi
    else
        "${RUN_DUMP[@]}" --stats --csv --retry-ms "$RETRY_MS" --copies "$COPIES" "$SEEN_PATH" >"$out" 2>"$err"
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
unmount
trap - EXIT

copies=0 foreign_copies=0
while read -r sum; do
    copies=$((copies + 1))
    [[ -n ${VERSION_SUMS[$sum]:-} ]] || foreign_copies=$((foreign_copies + 1))
done <"$COPIES"

read -r _ rewrites _ w_inplace _ w_rename _ w_flock _ foreign <"$WORK/writer.out" ||
    die "the writer failed: $(cat "$WORK/writer.err")"
((writer_rc == 0)) || die "the writer failed: $(cat "$WORK/writer.err")"
# The file must be exactly what the writer wrote last.
last_sum=$(tail -n 1 "$WORK/writer.log" | cut -d' ' -f4)
final_sum=$(sha256sum <"$WATCHED" | cut -d' ' -f1)
[[ $final_sum == "$last_sum" ]] || foreign=$((foreign + 1))
changes=$((foreign + our_writes))
leftovers=$(find "$TOOL_DIR" "$WATCH_DIR" -mindepth 1 ! -path "$DUMP" ! -path "$WATCHED" | wc -l)
[[ -n $FUSE ]] && rmdir "$SEEN_DIR"

seen=""
for i in "${!VERSIONS[@]}"; do seen+=" v$((i + 1)):${SEEN[$((i + 1))]:-0}"; done
cat <<EOF

writer: $rewrites rewrites in $DURATION s ($w_inplace in place, $w_rename renamed over, $w_flock under flock)${FUSE:+
read through a bindfs mount with options: $FUSE}
dumps run:                                $runs
snapshots taken and imported:             $imported  (tables per version:$seen)
attempts refused as locked or torn:       $retried  (of which torn: $torn; attempts in all: $attempts)
scans that gave up (exit 3):              $gave_up
errors reported (exit 1):                 $errors
file reported missing (exit 2):           $missing
copies handed to the reader:              $copies
copies read that are no version:          $foreign_copies  (must be 0)
tables not exactly one of the versions:   $mismatched  (must be 0)
changes to the watched file not by the writer: $changes  (must be 0; $foreign seen by the writer, $our_writes write accesses in $traced traced dumps, which opened it read-only $traced_opens times)
temporary files left behind:              $leftovers  (must be 0)
EOF

if ((mismatched + foreign_copies + changes + leftovers + errors + missing > 0)); then
    echo "FAILED; the evidence is in $WORK"
    exit 1
fi
[[ ${TORTURE_KEEP:-0} == 1 ]] && echo "kept $WORK" || rm -rf "$WORK"
echo "passed"
exit
}
