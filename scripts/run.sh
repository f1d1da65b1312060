#!/usr/bin/env bash
# Builds the program and starts it wired to the bundled simulated controller.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
sim_out=$(mktemp)
./build/tools/controller-sim/vantrel-sim >"$sim_out" &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null; rm -f "$sim_out"' EXIT
for _ in $(seq 50); do [ -s "$sim_out" ] && break; sleep 0.1; done
device=$(head -n 1 "$sim_out")
echo "run: simulated controller on $device (port 1)"
export VANTREL_COM1="$device"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display set, running under a virtual X server (xvfb-run)"
  xvfb-run -a ./build/src/vantrel "$@"
else
  ./build/src/vantrel "$@"
fi
