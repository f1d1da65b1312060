#!/usr/bin/env bash
# Renders each window under a virtual X server into docs/screenshots/: the splash,
# the password challenge, the menu, the car diagnostics screen with a grid filled by
# the simulated controller, and the replay screen.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
out=docs/screenshots
mkdir -p "$out"
tmp=$(mktemp -d)
pids=()
cleanup() { kill "${pids[@]}" 2>/dev/null || true; rm -rf "$tmp"; }
trap cleanup EXIT

exec 3>"$tmp/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$tmp/display")"

build/tools/controller-sim/vantrel-sim >"$tmp/sim.out" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$tmp/sim.out" ] && break; sleep 0.1; done
VANTREL_COM1=$(head -n 1 "$tmp/sim.out") QT_QPA_PLATFORM=xcb build/src/vantrel &
pids+=($!)

# The id of the visible window with exactly this caption, once it is there.
window() {
  local id=""
  for _ in $(seq 100); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n 1) || true
    [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || { echo "screenshots: no window \"$1\"" >&2; exit 1; }
  echo "$id"
}
shot() { sleep 0.5; import -window "$1" "$out/$2.png"; echo "screenshots: $out/$2.png"; }

splash=$(window Vantrel)
shot "$splash" splash
xdotool mousemove --window "$splash" 20 360 click 1
login=$(window "Password challenge")
xdotool mousemove --window "$login" 150 45 click 1
xdotool type --delay 50 570341
shot "$login" login
xdotool key Return
menu=$(window "Vantrel Menu")
xdotool mousemove --window "$menu" 40 10 click 1
car=$(window "Vantrel Car")
shot "$menu" menu
# "pmi 1", then time for the dump, the speed and the stop counter to come in.
menubar=$(( $(xdotool getwindowgeometry "$car" | awk '/Geometry/ { split($2, a, "x"); print a[2] }') - 475 ))
xdotool mousemove --window "$car" 20 $(( menubar + 335 )) click 1
sleep 4
shot "$car" car-diagnostics
xdotool windowfocus --sync "$car"
# File, "Replay Log File" (the entry below the greyed "Close Log File").
xdotool key --delay 150 alt+f Down Return
replay=""
for _ in $(seq 50); do
  replay=$(xdotool search --onlyvisible --name "^Vantrel Car\$" | grep -v "^$car\$" | tail -n 1) || true
  [ -n "$replay" ] && break
  sleep 0.1
done
[ -n "$replay" ] || { echo "screenshots: the replay screen did not open" >&2; exit 1; }
shot "$replay" replay
