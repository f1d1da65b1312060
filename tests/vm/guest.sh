#!/bin/sh
# Runs in the rig's guest on this machine's own root file system: loads the serial
# drivers, starts udev (for /dev/serial/by-id and the ports' descriptions), runs each
# test and powers off. Each test's output and exit status go to /run/rig/results.
. /run/rig/guest.env
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
export HOME=/tmp XDG_RUNTIME_DIR=/tmp/runtime LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen
results=/run/rig/results
say() { echo "vm-guest: $* ($(cut -d ' ' -f 1 /proc/uptime) s)"; }
off() {
    sync
    echo o >/proc/sysrq-trigger
    sleep 30
}
mkdir -m 700 "$XDG_RUNTIME_DIR"
mkdir -m 1777 /run/lock # where serial ports are locked on Debian
say "user space"
# The network port tests serve the UART on 127.0.0.1; the guest has no other network.
# The resolver names no IPv4 address while the machine has none but 127.0.0.1
# (AI_ADDRCONFIG), so the loopback gets a second one, reachable from nowhere else.
ip link set lo up && ip addr add 192.0.2.1/32 dev lo ||
    { say "cannot bring up the loopback interface"; off; }
modprobe -a virtio_console uhci_hcd ftdi_sio || { say "cannot load the drivers"; off; }
/lib/systemd/systemd-udevd --daemon >/dev/null 2>&1 || { say "udevd did not start"; off; }
udevadm trigger --action=add --subsystem-match=tty --subsystem-match=usb \
    --subsystem-match=usb-serial --subsystem-match=virtio-ports
udevadm settle --timeout=30
for port in /sys/class/virtio-ports/*; do
    [ "$(cat "$port/name" 2>/dev/null)" = "$CONTROL_PORT" ] && VANTREL_RIG=/dev/${port##*/}
done
[ -n "${VANTREL_RIG:-}" ] || { say "no control port $CONTROL_PORT"; off; }
export VANTREL_RIG
say "drivers and udev ready"
for test in $TESTS; do
    name=${test##*/}
    say "running $name"
    timeout -k 5 150 "$test" -o "$results/$name.txt,txt" >/dev/null 2>&1
    echo $? >"$results/$name.rc"
done
say "done"
off
