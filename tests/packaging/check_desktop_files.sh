#!/usr/bin/env bash
# Checks what the viewer gives a desktop: the menu entry and the AppStream metadata with their
# validators, where installed (desktop-file-utils, appstream); the manual pages with man's
# warnings; each PNG icon's size against the folder that names it; the media types the entry
# and the metadata claim against each other; and the files `cmake --install` puts in place.
# Usage: check_desktop_files.sh PACKAGING_DIR BUILD_DIR
set -uo pipefail
dir=$1
build=$2
id=org.orvandel.Orvandel
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$dir/$id.desktop" || fail "desktop-file-validate $id.desktop"
else
    echo "SKIP: desktop-file-validate is not installed"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net --strict --explain "$dir/$id.metainfo.xml" >/dev/null ||
        fail "appstreamcli validate $id.metainfo.xml: $(appstreamcli validate --no-net --strict "$dir/$id.metainfo.xml")"
else
    echo "SKIP: appstreamcli is not installed"
fi
if command -v man >/dev/null; then
    for page in "$dir"/man/*.1; do
        # The way lintian reads a page: any warning from the formatter counts.
        warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
        [[ -z $warnings ]] || fail "$(basename "$page"): $warnings"
    done
else
    echo "SKIP: man is not installed"
fi

# A PNG's width and height are the big-endian words at bytes 16 and 20; an icon theme passes
# over an icon whose size is not the one its folder says.
for png in "$dir"/icons/*x*/orvandel.png; do
    size=$(basename "$(dirname "$png")")
    read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
        awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4, $5 * 16777216 + $6 * 65536 + $7 * 256 + $8 }')
    [[ "${width}x${height}" == "$size" ]] || fail "icons/$size/orvandel.png is ${width}x${height}"
done

# The file manager offers the viewer for the types of the entry, a software centre for those
# of the metadata: the same list in both.
desktop_types=$(sed -n 's/^MimeType=//p' "$dir/$id.desktop" | tr ';' '\n' | sed '/^$/d' | sort)
metainfo_types=$(sed -n 's:.*<mediatype>\(.*\)</mediatype>.*:\1:p' "$dir/$id.metainfo.xml" | sort)
[[ -n $desktop_types && $desktop_types == "$metainfo_types" ]] ||
    fail "media types differ: entry [$(echo $desktop_types)], metadata [$(echo $metainfo_types)]"

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
if cmake --install "$build" --prefix "$prefix" >/dev/null; then
    share=$prefix/share
    expected=(bin/Orvandel bin/orvandel-dump
        "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml"
        share/icons/hicolor/scalable/apps/orvandel.svg
        share/man/man1/Orvandel.1.gz share/man/man1/orvandel-dump.1.gz
        share/doc/orvandel/copyright share/doc/orvandel/changelog.gz)
    for size in 16 22 24 32 48 64 128 256; do
        expected+=("share/icons/hicolor/${size}x${size}/apps/orvandel.png")
    done
    for file in "${expected[@]}"; do
        [[ -f $prefix/$file ]] || fail "cmake --install leaves out $file"
    done
    for gz in "$share"/man/man1/*.gz "$share"/doc/orvandel/*.gz; do
        gzip -t "$gz" 2>/dev/null || fail "${gz#"$prefix"/} is not a gzip file"
    done
    icon=$(sed -n 's/^Icon=//p' "$dir/$id.desktop")
    [[ -f $share/icons/hicolor/scalable/apps/$icon.svg ]] || fail "the entry's icon $icon is not installed"
else
    fail "cmake --install $build"
fi

if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "desktop files: all checks passed"
