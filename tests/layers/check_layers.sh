#!/usr/bin/env bash
# Builds each target given as NAME:builds or NAME:HEADER and checks that the first builds and
# that the second fails because HEADER cannot be found, not for any other reason.
set -u
build=$1
shift
status=0
for case in "$@"; do
    target=${case%%:*}
    expect=${case#*:}
    output=$(cmake --build "$build" --target "$target" 2>&1)
    built=$?
    if [[ $expect == builds ]]; then
        if ((built != 0)); then
            echo "FAIL $target should build:"
            echo "$output" | grep -m5 error
            status=1
        else
            echo "ok   $target builds"
        fi
    elif ((built == 0)); then
        echo "FAIL $target built, but $expect should be out of its reach"
        status=1
    elif ! grep -q "fatal error: $expect: No such file or directory" <<<"$output"; then
        echo "FAIL $target failed for another reason:"
        echo "$output" | grep -m5 error
        status=1
    else
        echo "ok   $target cannot include $expect"
    fi
done
exit $status
