#!/usr/bin/env bash
# Checks an installed tree as a desktop sees it: usage: check-install.sh <root> <app id>.
# <root> holds usr/...: the programs, the desktop entry, the icons at every size, the
# AppStream metadata, the manual page and the copyright file are there; the desktop
# entry and the metadata pass their validators; the manual page formats without
# warnings. Used by the package script on the package's contents and by the test suite
# on `cmake --install` of the build tree.
set -euo pipefail
root=$1
id=$2
fail() { echo "check-install: $*" >&2; exit 1; }

expected=(usr/bin/vantrel usr/bin/vantrel-sim
          "usr/share/applications/$id.desktop"
          "usr/share/metainfo/$id.metainfo.xml"
          "usr/share/icons/hicolor/scalable/apps/$id.svg"
          usr/share/man/man1/vantrel-sim.1
          usr/share/doc/vantrel/copyright)
for n in 16 24 32 48 64 128 256; do
  expected+=("usr/share/icons/hicolor/${n}x${n}/apps/$id.png")
done
missing=()
for f in "${expected[@]}"; do
  [ -f "$root/$f" ] || missing+=("$f")
done
[ ${#missing[@]} -eq 0 ] || fail "$root lacks ${missing[*]}"

# desktop-file-validate exits 0 on warnings and hints; any of them counts here.
out=$(desktop-file-validate "$root/usr/share/applications/$id.desktop" 2>&1) &&
  [ -z "$out" ] || fail "desktop-file-validate: ${out:-failed}"
echo "check-install: desktop-file-validate: no complaints"
out=$(appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" 2>&1) &&
  ! grep -qE '^[IWE]: ' <<<"$out" || fail "appstreamcli validate: $out"
echo "check-install: appstreamcli validate:$(tr '\n' ' ' <<<"$out")"
out=$(groff -man -ww -z "$root/usr/share/man/man1/vantrel-sim.1" 2>&1) && [ -z "$out" ] ||
  fail "the manual page: ${out:-groff failed}"
echo "check-install: ${#expected[@]} files present"
