#!/usr/bin/env bash
# Lists what a screen reader finds on the car diagnostics screen, the replay screen and
# the port settings window of the real program (under its own X server, against the
# simulated controller), and counts the controls, the controls without a name and the
# text boxes without a text interface. Fails unless both of the latter are 0.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
drive_name=a11y-dump
# shellcheck source=scripts/lib/drive.sh
source scripts/lib/drive.sh

drive_start_xvfb
drive_start_atspi
drive_start_sim
drive_start_program "$drive_device"
drive_open_car_screen
# CommPort > Settings... opens the port settings window.
xdotool windowfocus --sync "$drive_car"
xdotool key --delay 150 alt+c s
drive_window "Configure Comm Port" >/dev/null
# File > Replay Log File (the third entry, Close Log File between) opens the replay screen.
xdotool windowfocus --sync "$drive_car"
xdotool key --delay 150 alt+f Down Down Return
drive_a11y wait --pid "$drive_app_pid" --window replay --control replay --read name \
    --expect '.+' >/dev/null || drive_fail "the replay screen did not open"
# The screens' text boxes, whatever role they show.
boxes=()
for box in Term Text1 Text2 Text3 Text4 Text5 txtdpc txtbbt txtpos txtvel; do
    boxes+=(--text-box "$box")
done
drive_a11y dump --pid "$drive_app_pid" --window Form1 --window replay --window ConfigScrn "${boxes[@]}"
