#!/usr/bin/env bash
# Renders each window under a virtual X server into docs/screenshots/: the splash,
# the password challenge, the menu, the car diagnostics screen with a grid filled by
# the simulated controller, the port settings window and the replay screen; and,
# offscreen, the timeline window over a generated day of capture log, and an hour of it
# with what was sent and two notes. Then the car, replay
# and timeline windows at twice the scale on a small laptop's screen (1366 x 768), where
# they do not fit: each opens within the screen and scrolls, and a second shot, scrolled
# to the far corner, shows the controls the first cannot.
set -euo pipefail
cd "$(dirname "$0")/.."
drive_name=screenshots
# shellcheck source=scripts/lib/drive.sh
source scripts/lib/drive.sh
bash scripts/build.sh >/dev/null
out=docs/screenshots
mkdir -p "$out"

shot() {
    sleep 0.5
    import -window "$1" "$out/$2.png"
    drive_say "$out/$2.png"
}

drive_start_xvfb
drive_start_sim
drive_start_program "$drive_device"

splash=$(drive_window Vantrel)
shot "$splash" splash
xdotool mousemove --window "$splash" 20 360 click 1
login=$(drive_window "Password challenge")
xdotool mousemove --window "$login" 150 45 click 1
xdotool type --delay 50 570341
shot "$login" login
xdotool key Return
menu=$(drive_window "Vantrel Menu")
shot "$menu" menu
xdotool mousemove --window "$menu" 40 10 click 1
drive_car=$(drive_window "Vantrel Car")
eval "$(xdotool getwindowgeometry --shell "$drive_car" | grep -E '^(WIDTH|HEIGHT)=')"
drive_dpi=$((WIDTH * 1440 / 11070))
drive_client_top=$((HEIGHT - (7125 * drive_dpi + 720) / 1440))
# "pmi 1", then time for the dump, the speed and the stop counter to come in.
drive_click_pmi
sleep 4
shot "$drive_car" car-diagnostics

# CommPort, "&Settings...".
xdotool windowfocus --sync "$drive_car"
xdotool key --delay 150 alt+c s
settings=$(drive_window "Configure Comm Port")
shot "$settings" settings
# It stays open beside the car screen; the values would apply when it closes.

xdotool windowfocus --sync "$drive_car"
# File, "Replay Log File" (the greyed "Close Log File" above it takes a step too).
xdotool key --delay 150 alt+f Down Down Return
replay=""
for _ in $(seq 50); do
    replay=$(xdotool search --onlyvisible --name "^Vantrel Car\$" | grep -v "^$drive_car\$" | tail -n 1) || true
    [ -n "$replay" ] && break
    sleep 0.1
done
[ -n "$replay" ] || drive_fail "the replay screen did not open"
shot "$replay" replay

# The timeline shows a whole day best, which the simulated controller would take a day
# to send: timeline-shot generates one (a slow poll, a car called now and then, a few
# faults), indexes it and draws the window with the cursor on a fault, on a screen with
# room for its full width.
QT_QPA_PLATFORM=offscreen:configfile=tests/data/screens/1600x1000.json \
    build/tools/timeline-shot/timeline-shot "$out/timeline.png" \
    2> >(grep -v -e XDG_RUNTIME_DIR -e propagateSizeHints >&2)
drive_say "$out/timeline.png"
# The same day with what was sent beside it and two notes, an hour around the cursor.
QT_QPA_PLATFORM=offscreen:configfile=tests/data/screens/1600x1000.json \
    build/tools/timeline-shot/timeline-shot --sent "$out/timeline-sent.png" 60 \
    2> >(grep -v -e XDG_RUNTIME_DIR -e propagateSizeHints >&2)
drive_say "$out/timeline-sent.png"

# The wheel, over the status line's caption (a label, which hands the wheel on to the
# scroll area), turned down and then to the right as far as it goes.
scroll_to_far_corner() {
    xdotool mousemove --window "$1" 40 60 click --repeat 20 5 click --repeat 20 7
}

drive_stop "$drive_app_pid"
drive_start_xvfb 1366x768
QT_SCALE_FACTOR=2 drive_start_program "$drive_device"
drive_open_car_screen
shot "$drive_car" car-diagnostics-scale2
scroll_to_far_corner "$drive_car"
shot "$drive_car" car-diagnostics-scale2-corner
xdotool windowfocus --sync "$drive_car"
xdotool key --delay 150 alt+f Down Down Return
replay=""
for _ in $(seq 50); do
    replay=$(xdotool search --onlyvisible --name "^Vantrel Car\$" | grep -v "^$drive_car\$" | tail -n 1) || true
    [ -n "$replay" ] && break
    sleep 0.1
done
[ -n "$replay" ] || drive_fail "the replay screen did not open at twice the scale"
shot "$replay" replay-scale2
scroll_to_far_corner "$replay"
shot "$replay" replay-scale2-corner

QT_SCALE_FACTOR=2 QT_QPA_PLATFORM=offscreen:configfile=tests/data/screens/1366x768.json \
    build/tools/timeline-shot/timeline-shot "$out/timeline-scale2.png" \
    2> >(grep -v -e XDG_RUNTIME_DIR -e propagateSizeHints >&2)
drive_say "$out/timeline-scale2.png"
