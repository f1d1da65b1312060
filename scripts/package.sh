#!/usr/bin/env bash
# Builds the Debian package build/vantrel_<version>_<arch>.deb from a Release tree in
# build/package/ and checks it: every file a desktop installation needs is in it, the
# desktop entry and the AppStream metadata pass their validators, the manual pages
# format without warnings, and the font package is among the dependencies.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
tree=build/package
fail() { echo "package: $*" >&2; exit 1; }

# The project's cache entries are dropped first, so the package always follows the CMake
# files (and VANTREL_CMAKE_ARGS), never a value left from an earlier run.
# shellcheck disable=SC2086
cmake -S . -B "$tree" -U 'VANTREL_*' -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DVANTREL_BUILD_TESTS=OFF ${VANTREL_CMAKE_ARGS:-} >/dev/null
cmake --build "$tree" -j"$(nproc)"

cache() { sed -n "s/^$1:[A-Z]*=//p" "$tree/CMakeCache.txt"; }
version=$(cache CMAKE_PROJECT_VERSION)
id=$(cache VANTREL_APP_ID)
font=$(cache VANTREL_FONT_PACKAGE)
name="vantrel_${version}_$(dpkg --print-architecture).deb"
# The package reaches build/ only once every check below has passed.
rm -rf "$tree/cpack" "build/$name"
cpack --config "$tree/CPackConfig.cmake" -B "$PWD/$tree/cpack" >"$tree/cpack.log" 2>&1 ||
  { cat "$tree/cpack.log" >&2; fail "cpack failed"; }
deb="$tree/cpack/$name"
[ -f "$deb" ] || { cat "$tree/cpack.log" >&2; fail "cpack made no $name"; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp"
bash scripts/lib/check-install.sh "$tmp" "$id" | sed 's/^check-install:/package:/'
depends=$(dpkg-deb -f "$deb" Depends)
grep -qE "(^|, )$font( |,|$)" <<<"$depends" || fail "Depends lacks $font: $depends"

mv "$deb" "build/$name"
echo "package: Depends: $depends"
echo "package: build/$name ($(du -k "build/$name" | cut -f1) KiB, ${SECONDS}s)"
