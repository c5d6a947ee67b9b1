#!/usr/bin/env bash
# Builds the Debian package: a release build in build-package/ installing under /usr, packed
# by CPack into build/orvandel_<version>_<arch>.deb, then checked with lintian.
#   scripts/package.sh
# ORVANDEL_PACKAGE_BUILD_DIR names another build directory; the package still goes to build/.
set -euo pipefail
if [[ ${1:-} == -h || ${1:-} == --help ]]; then
    sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"
    exit 0
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVANDEL_PACKAGE_BUILD_DIR:-$root/build-package}
out=$root/build

# CPack finds the libraries' packages with dpkg-shlibdeps (dpkg-dev), which needs `file`.
tools=()
command -v dpkg-shlibdeps >/dev/null || tools+=(dpkg-dev)
command -v file >/dev/null || tools+=(file)
command -v lintian >/dev/null || tools+=(lintian)
if ((${#tools[@]})); then
    sudo=""
    [[ $(id -u) == 0 ]] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${tools[@]}" >/dev/null
fi

# Debian's hardening flags (stack protector, fortified calls, read-only relocations, bound
# at start), with the build directory's path left out of the debugging data.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cd "$root"
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

"$root/scripts/setup.sh" "$build" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DORVANDEL_TESTS=OFF -DORVANDEL_BENCH=OFF -DORVANDEL_SANITIZE=OFF -DORVANDEL_FUZZ=OFF \
    "-DCMAKE_CXX_FLAGS=$cxxflags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags"

mkdir -p "$out"
rm -f "$out"/orvandel_*.deb
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
rm -rf "$out/_CPack_Packages"
deb=$(ls "$out"/orvandel_*.deb)
echo "Built $deb"
lintian --info --fail-on error,warning "$deb"
