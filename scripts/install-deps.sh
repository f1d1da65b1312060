#!/usr/bin/env bash
# Installs the Debian packages that the build (Qt; libarchive for capture bundles), the
# tests (clang and its runtime for the sanitizer build and the fuzzers; gtkwave, whose
# vcd2fst and fst2vcd read the exported value change dumps back; a private D-Bus and
# AT-SPI bus with Python's AT-SPI bindings for what a screen reader reads; QEMU, a kernel,
# busybox and udev for the guest of the vm tests; ser2net and openssl for the network
# port tests), the run command and the package script need, and any more named as
# arguments. Quiet and quick when everything is already there.
set -euo pipefail
packages=(cmake g++ make pkg-config qt6-base-dev qt6-serialport-dev libarchive-dev
          fonts-liberation2
          xvfb xauth xdotool imagemagick clang-format
          librsvg2-bin dpkg-dev desktop-file-utils appstream groff-base
          clang libclang-rt-14-dev gtkwave
          dbus-daemon at-spi2-core python3 python3-gi gir1.2-atspi-2.0
          qemu-system-x86 linux-image-amd64 busybox-static udev kmod ser2net openssl "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "install-deps: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
