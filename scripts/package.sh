#!/usr/bin/env bash
# Builds the Debian package build/vantrel_<version>_<arch>.deb from a Release tree in
# build/package/ and checks it: every file a desktop installation needs is in it, the
# desktop entry and the AppStream metadata pass their validators, the manual page
# formats without warnings, and the font package is among the dependencies.
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

expected=(usr/bin/vantrel usr/bin/vantrel-sim
          "usr/share/applications/$id.desktop"
          "usr/share/metainfo/$id.metainfo.xml"
          "usr/share/icons/hicolor/scalable/apps/$id.svg"
          usr/share/man/man1/vantrel-sim.1
          usr/share/doc/vantrel/copyright)
for n in 16 24 32 48 64 128 256; do
  expected+=("usr/share/icons/hicolor/${n}x${n}/apps/$id.png")
done
listing=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
missing=()
for f in "${expected[@]}"; do
  grep -qxF "./$f" <<<"$listing" || missing+=("$f")
done
[ ${#missing[@]} -eq 0 ] || fail "$deb lacks ${missing[*]}"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp"
# desktop-file-validate exits 0 on warnings and hints; any of them counts here.
out=$(desktop-file-validate "$tmp/usr/share/applications/$id.desktop" 2>&1) &&
  [ -z "$out" ] || fail "desktop-file-validate: ${out:-failed}"
echo "package: desktop-file-validate: no complaints"
out=$(appstreamcli validate --no-net "$tmp/usr/share/metainfo/$id.metainfo.xml" 2>&1) &&
  ! grep -qE '^[IWE]: ' <<<"$out" || fail "appstreamcli validate: $out"
echo "package: appstreamcli validate:$(tr '\n' ' ' <<<"$out")"
out=$(groff -man -ww -z "$tmp/usr/share/man/man1/vantrel-sim.1" 2>&1) && [ -z "$out" ] ||
  fail "the manual page: ${out:-groff failed}"
depends=$(dpkg-deb -f "$deb" Depends)
grep -qE "(^|, )$font( |,|$)" <<<"$depends" || fail "Depends lacks $font: $depends"

mv "$deb" "build/$name"
echo "package: Depends: $depends"
echo "package: build/$name ($(du -k "build/$name" | cut -f1) KiB, ${#expected[@]} files checked, ${SECONDS}s)"
