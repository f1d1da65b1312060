# shellcheck shell=bash
# Shared by the scripts that run the real program (the benchmarks, the screenshots): its
# own X server, the simulated controller, the program itself, the way to the car screen
# and to a capture log as a technician takes it, and figures read from /proc. Sourced
# from the repository's root after `set -euo pipefail`; every process started here ends
# with the script, also on Ctrl-C or a failure.

drive_tmp=$(mktemp -d)
drive_pids=()
drive_clk_tck=$(getconf CLK_TCK)

drive_say() { echo "${drive_name:-drive}: $*"; }
drive_fail() {
    echo "${drive_name:-drive}: $*" >&2
    exit 1
}

# Asks a process to end and, if it will not within five seconds, makes it.
drive_stop() {
    local pid=$1
    kill "$pid" 2>/dev/null || return 0
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        [ "$(drive_state "$pid")" = Z ] && break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

drive_cleanup() {
    local rc=$?
    trap - EXIT INT TERM
    # Newest first: the program before its port and its display.
    local i
    for ((i = ${#drive_pids[@]} - 1; i >= 0; i--)); do
        drive_stop "${drive_pids[i]}"
    done
    rm -rf "$drive_tmp"
    exit "$rc"
}
trap drive_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A private X server that keeps serving when the last client leaves, its screen of the
# given size (1280x1024 unless told); sets DISPLAY.
drive_start_xvfb() {
    exec 3>"$drive_tmp/display"
    Xvfb -displayfd 3 -screen 0 "${1:-1280x1024}x24" -nolisten tcp -noreset >/dev/null 2>&1 &
    drive_xvfb_pid=$!
    drive_pids+=("$drive_xvfb_pid")
    exec 3>&-
    for _ in $(seq 100); do
        grep -q '^[0-9][0-9]*$' "$drive_tmp/display" 2>/dev/null && break
        sleep 0.1
    done
    grep -q '^[0-9][0-9]*$' "$drive_tmp/display" || drive_fail "Xvfb did not start"
    DISPLAY=":$(head -n 1 "$drive_tmp/display")"
    export DISPLAY
}

# A private D-Bus session bus with the AT-SPI bus on it, as a screen reader listens on,
# and the toolkit's bridge to it on for the program started after this.
drive_start_atspi() {
    export XDG_RUNTIME_DIR="$drive_tmp/runtime"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    dbus-daemon --session --nofork --print-address=1 >"$drive_tmp/bus" 2>/dev/null &
    drive_pids+=($!)
    for _ in $(seq 50); do
        [ -s "$drive_tmp/bus" ] && break
        sleep 0.1
    done
    DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$drive_tmp/bus")
    [ -n "$DBUS_SESSION_BUS_ADDRESS" ] || drive_fail "the session bus did not start"
    export DBUS_SESSION_BUS_ADDRESS
    /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
    drive_pids+=($!)
    drive_a11y bus >/dev/null || drive_fail "the AT-SPI bus did not come up"
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1
}

# What a screen reader reads of the program (scripts/lib/a11y.py, with Debian's Python
# and its AT-SPI bindings).
drive_a11y() { /usr/bin/python3 scripts/lib/a11y.py "$@"; }

# The simulated controller with the given options; sets drive_device, drive_sim_pid.
# Its output after the device's path is in $drive_tmp/sim.out.
drive_start_sim() {
    build/tools/controller-sim/vantrel-sim "$@" >"$drive_tmp/sim.out" 2>"$drive_tmp/sim.err" &
    drive_sim_pid=$!
    drive_pids+=("$drive_sim_pid")
    for _ in $(seq 50); do
        [ -s "$drive_tmp/sim.out" ] && break
        sleep 0.1
    done
    drive_device=$(head -n 1 "$drive_tmp/sim.out")
    [ -n "$drive_device" ] || drive_fail "the simulated controller did not start"
}

# The real program on the X server with port 1 on the device; sets drive_app_pid.
# VANTREL_PROGRAM names another build of it (a before-and-after comparison).
drive_start_program() {
    VANTREL_COM1="$1" QT_QPA_PLATFORM=xcb "${VANTREL_PROGRAM:-build/src/vantrel}" >"$drive_tmp/vantrel.out" 2>&1 &
    drive_app_pid=$!
    drive_pids+=("$drive_app_pid")
}

# The id of the visible window with exactly this caption, once it is there.
drive_window() {
    local id=""
    for _ in $(seq 200); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n 1) || true
        [ -n "$id" ] && break
        sleep 0.1
    done
    [ -n "$id" ] || drive_fail "no window \"$1\""
    echo "$id"
}

# Waits until the window's caption reads exactly this.
drive_wait_caption() {
    for _ in $(seq 100); do
        [ "$(xdotool getwindowname "$1" 2>/dev/null)" = "$2" ] && return 0
        sleep 0.1
    done
    drive_fail "the caption did not become \"$2\" (it reads \"$(xdotool getwindowname "$1")\")"
}

# From the splash, a key goes straight to the menu; "Car diagnostics" on the menu bar
# opens the car screen and its port. Sets drive_car (the window), drive_dpi and
# drive_client_top (where the client area starts below the menu bar).
drive_open_car_screen() {
    local splash menu WIDTH HEIGHT
    splash=$(drive_window Vantrel)
    xdotool windowfocus --sync "$splash"
    xdotool key space
    menu=$(drive_window "Vantrel Menu")
    xdotool mousemove --window "$menu" 40 10 click 1
    drive_car=$(drive_window "Vantrel Car")
    eval "$(xdotool getwindowgeometry --shell "$drive_car" | grep -E '^(WIDTH|HEIGHT)=')"
    # The client area is 11070 x 7125 twips, laid out at the screen's logical dpi.
    drive_dpi=$((WIDTH * 1440 / 11070))
    drive_client_top=$((HEIGHT - (7125 * drive_dpi + 720) / 1440))
}

# Clicks the middle of a control on the car screen given by its twips rectangle.
drive_click_twips() {
    local x y
    x=$((($1 + $3 / 2) * drive_dpi / 1440))
    y=$((drive_client_top + ($2 + $4 / 2) * drive_dpi / 1440))
    xdotool mousemove --window "$drive_car" "$x" "$y" click 1
}
drive_click_pmi() { drive_click_twips 120 4800 615 495; }
drive_click_stress() { drive_click_twips 2880 4920 615 375; }

# File > "Open Log File..." on the car screen, the path typed into the real file
# dialog and Enter; the caption then names the log. The path must not exist yet.
drive_open_capture_log() {
    local path=$1 dialog
    xdotool windowfocus --sync "$drive_car"
    xdotool key --delay 150 alt+f o
    dialog=$(drive_window "Open Communications Log File")
    xdotool windowfocus --sync "$dialog"
    sleep 0.5
    xdotool type --delay 20 "$path"
    sleep 0.3
    xdotool key Return
    drive_wait_caption "$drive_car" "Comm Terminal - $(basename "$path")"
}

# Figures from /proc.
drive_state() { sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d ' ' -f 1; }
drive_alive() {
    local s
    s=$(drive_state "$1")
    [ -n "$s" ] && [ "$s" != Z ]
}
# User and system CPU seconds of the process, all its threads.
drive_cpu_seconds() {
    sed 's/.*) //' "/proc/$1/stat" | awk -v hz="$drive_clk_tck" '{ printf "%.2f", ($12 + $13) / hz }'
}
drive_status_kb() { awk -v k="$2:" '$1 == k { print $2 }' "/proc/$1/status"; }
drive_rss_kb() { drive_status_kb "$1" VmRSS; }
drive_hwm_kb() { drive_status_kb "$1" VmHWM; }
drive_fds() { find "/proc/$1/fd" -mindepth 1 -maxdepth 1 | wc -l; }
# Voluntary and forced context switches of all the process's threads: its wake-ups.
drive_switches() {
    cat /proc/"$1"/task/*/status 2>/dev/null |
        awk '/^(voluntary|nonvoluntary)_ctxt_switches:/ { s += $2 } END { print s + 0 }'
}
# One line per thread: id, name, CPU ticks, switches.
drive_threads() {
    local t name
    for t in /proc/"$1"/task/*; do
        name=$(tr ' ' _ <"$t/comm" 2>/dev/null) || continue
        echo "${t##*/} $name $(sed 's/.*) //' "$t/stat" | awk '{ print $12 + $13 }')" \
            "$(awk '/^(voluntary|nonvoluntary)_ctxt_switches:/ { s += $2 } END { print s + 0 }' "$t/status")"
    done 2>/dev/null
}
drive_now() { date +%s.%N; }

# Why the program is gone, for the report.
drive_obituary() {
    local rc=0
    wait "$drive_app_pid" 2>/dev/null || rc=$?
    drive_say "the program (pid $drive_app_pid) died, exit status $rc; its last output:"
    tail -n 20 "$drive_tmp/vantrel.out" | sed 's/^/    /'
}
