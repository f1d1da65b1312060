#!/usr/bin/env bash
# Checks an installed tree as a desktop sees it: usage: check-install.sh <root> <app id>.
# <root> holds usr/...: the programs, the desktop entry, the icons at every size, the
# AppStream metadata, the manual pages and the copyright file are there; the desktop
# entry and the metadata pass their validators; each manual page is compressed, formats
# without warnings and names every option its program's --help lists; the log tool runs
# without a display. Used by the package script on the package's contents and by the test suite
# on `cmake --install` of the build tree.
set -euo pipefail
root=$1
id=$2
fail() { echo "check-install: $*" >&2; exit 1; }

expected=(usr/bin/vantrel usr/bin/vantrel-sim usr/bin/vantrel-log
          "usr/share/applications/$id.desktop"
          "usr/share/metainfo/$id.metainfo.xml"
          "usr/share/icons/hicolor/scalable/apps/$id.svg"
          usr/share/man/man1/vantrel-sim.1.gz
          usr/share/man/man1/vantrel-log.1.gz
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
for program in vantrel-sim vantrel-log; do
  page="$root/usr/share/man/man1/$program.1.gz"
  out=$(zcat "$page" | groff -man -ww -z 2>&1) && [ -z "$out" ] ||
    fail "the manual page of $program: ${out:-groff failed}"
  text=$(zcat "$page" | sed 's/\\-/-/g')
  for option in $("$root/usr/bin/$program" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
    grep -qF -- "$option" <<<"$text" || fail "the manual page of $program lacks $option"
  done
done
# The log tool runs where there is no display: its help and its exit status for usage.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= "$root/usr/bin/vantrel-log" --help) &&
  grep -q '^Usage: vantrel-log' <<<"$out" || fail "vantrel-log --help: $out"
status=0
"$root/usr/bin/vantrel-log" 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "vantrel-log without a command exits $status, not 2"
echo "check-install: ${#expected[@]} files present"
