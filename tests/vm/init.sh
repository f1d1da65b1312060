#!/bin/busybox sh
# The rig's initramfs: mounts this machine's root file system (read-only over 9p), the
# build tree at its own path and the rig's shared folder at /run/rig, then runs the
# guest's script there. Anything that fails powers the guest off, saying why.
bb=/bin/busybox
fail() {
    echo "vm-init: $*"
    echo o >/proc/sysrq-trigger
    $bb sleep 30
}
$bb mkdir -p /proc /sys /dev /newroot
$bb mount -t proc proc /proc
$bb mount -t devtmpfs dev /dev
echo "vm-init: started"
for m in /lib/rig/*.ko; do
    $bb insmod "$m" || fail "cannot load $m"
done
ninep="trans=virtio,version=9p2000.L,msize=512000"
$bb mount -t 9p -o "$ninep,ro,cache=loose" hostroot /newroot || fail "cannot mount the root"
r=/newroot
$bb mount -t tmpfs -o mode=1777 tmp $r/tmp || fail "no /tmp"
$bb mount -t tmpfs -o mode=755 run $r/run || fail "no /run"
$bb mount -t devtmpfs dev $r/dev || fail "no /dev"
$bb mkdir -p $r/dev/pts
$bb mount -t devpts -o ptmxmode=666 devpts $r/dev/pts || fail "no /dev/pts"
$bb mount -t proc proc $r/proc || fail "no /proc"
$bb mount -t sysfs sys $r/sys || fail "no /sys"
$bb mkdir -p $r/run/rig
$bb mount -t 9p -o "$ninep" rig $r/run/rig || fail "cannot mount the rig's folder"
. $r/run/rig/guest.env
# The build tree where it is on this machine, also where the guest's own /tmp hides it.
$bb mkdir -p "$r$BUILD" 2>/dev/null
$bb mount -t 9p -o "$ninep,ro,cache=loose" build "$r$BUILD" || fail "cannot mount $BUILD"
$bb umount /proc
exec $bb switch_root $r /bin/sh /run/rig/guest.sh
