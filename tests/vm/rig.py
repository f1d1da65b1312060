#!/usr/bin/env python3
"""The serial lines on the kernel's own drivers, in a QEMU guest.

  rig.py run --build DIR --sim PATH --out DIR TEST...
      Boots a guest on this machine's Debian kernel (its root file system shared
      read-only over 9p, a busybox initramfs that mounts it) with a 16550 UART as the
      guest's /dev/ttyS1 and two FTDI USB serial adapters, runs each TEST executable in
      it and plays the controller's side of every line from here: text, breaks, paced
      controller text, plugging and pulling the adapters, as the tests ask over a
      virtio serial port. Each test's output and exit status go to DIR/results/.
      Fails, saying why, when the guest cannot be started or a test did not run.
  rig.py report --out DIR TEST
      Prints one test's output from the last run; fails when the test failed.

VANTREL_VM_ACCEL=tcg|kvm|auto (auto by default: KVM when it boots within a few
seconds, else the emulator).
"""

import argparse
import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))

# The guest's control port and the adapters' serial numbers; the tests inside the
# guest use the same (tests/support/vmrig.h).
CONTROL_PORT = "org.vantrel.rig"
ADAPTERS = {"usb1": "VT1001", "usb2": "VT1002"}

# The 9p file system and what it stands on, in load order.
NINEP_MODULES = ["virtio_ring", "virtio", "virtio_pci_modern_dev", "virtio_pci_legacy_dev",
                 "virtio_pci", "9pnet", "9pnet_virtio", "netfs", "fscache", "9p"]

KVM_BOOT_SECONDS = 6  # a KVM guest that has not reached its init by then never will here
DEADLINE_SECONDS = 400  # the whole guest run, boot to power-off (about 100 s here)
# The host's side of each line keeps little in flight, so a guest that stops reading
# makes the controller wait at once (on a real line without flow control: bytes lost).
SEND_BUFFER_BYTES = 4096

IAC, BRK, SB, SE = 255, 243, 250, 240


def say(text):
    print(f"vm: {text}", flush=True)


class RigError(Exception):
    pass


# --- what this machine must have -------------------------------------------------------

def kernel():
    """The newest kernel image with its modules, by version."""
    found = []
    for version in os.listdir("/lib/modules") if os.path.isdir("/lib/modules") else []:
        image = f"/boot/vmlinuz-{version}"
        if os.path.isfile(image) and os.path.isdir(f"/lib/modules/{version}/kernel"):
            found.append(version)
    if not found:
        raise RigError("no kernel with its modules (/boot/vmlinuz-* and /lib/modules/*): "
                       "install linux-image-amd64 with scripts/install-deps.sh")
    key = lambda v: [int(p) if p.isdigit() else p for p in v.replace("-", ".").split(".")]
    version = sorted(found, key=key)[-1]
    image = f"/boot/vmlinuz-{version}"
    if not os.access(image, os.R_OK):
        raise RigError(f"{image} cannot be read (the rig runs as root, as CI does)")
    return version, image


def module_path(version, name):
    out = subprocess.run(["modinfo", "-k", version, "-n", name], capture_output=True, text=True)
    path = out.stdout.strip()
    if out.returncode != 0 or not path.endswith(".ko") or not os.path.isfile(path):
        raise RigError(f"kernel module {name} for {version} not found as a plain .ko "
                       f"({out.stderr.strip() or path})")
    return path


def static_busybox():
    path = shutil.which("busybox") or "/bin/busybox"
    if not os.path.isfile(path):
        raise RigError("busybox is missing: install busybox-static with scripts/install-deps.sh")
    with open(path, "rb") as f:
        elf = f.read()
    # A program header of type PT_INTERP means it needs a dynamic loader.
    phoff, = struct.unpack_from("<Q", elf, 0x20)
    phentsize, phnum = struct.unpack_from("<HH", elf, 0x36)
    for i in range(phnum):
        kind, = struct.unpack_from("<I", elf, phoff + i * phentsize)
        if kind == 3:
            raise RigError(f"{path} is linked dynamically: install busybox-static")
    return elf


def prerequisites():
    for tool in ("qemu-system-x86_64", "modinfo", "udevadm"):
        if not shutil.which(tool):
            raise RigError(f"{tool} is missing: install the rig's packages with "
                           "scripts/install-deps.sh")
    if not os.path.exists("/lib/systemd/systemd-udevd"):
        raise RigError("systemd-udevd is missing: install udev with scripts/install-deps.sh")


# --- the initramfs -----------------------------------------------------------------------

def cpio_newc(entries):
    """An uncompressed newc archive of (name, mode, bytes) entries."""
    out = bytearray()

    def pad():
        out.extend(b"\0" * (-len(out) % 4))

    for ino, (name, mode, data) in enumerate(entries + [("TRAILER!!!", 0, b"")], 1):
        encoded = name.encode() + b"\0"
        fields = (ino, mode, 0, 0, 1, 0, len(data), 0, 0, 0, 0, len(encoded), 0)
        out += b"070701" + b"".join(b"%08X" % v for v in fields) + encoded
        pad()
        out += data
        pad()
    return bytes(out)


def initramfs(version, path):
    entries = [("bin", 0o40755, b""), ("lib", 0o40755, b""), ("lib/rig", 0o40755, b""),
               ("bin/busybox", 0o100755, static_busybox())]
    with open(os.path.join(HERE, "init.sh"), "rb") as f:
        entries.append(("init", 0o100755, f.read()))
    for i, name in enumerate(NINEP_MODULES):
        with open(module_path(version, name), "rb") as f:
            entries.append((f"lib/rig/{i:02d}-{name}.ko", 0o100644, f.read()))
    with open(path, "wb") as f:
        f.write(cpio_newc(entries))


# --- the controller's side of the lines --------------------------------------------------

class Line:
    """This machine's end of one of the guest's serial devices: a client of QEMU's
    socket. For the adapters, connecting plugs the adapter into the guest's USB bus and
    closing pulls it out. The UART speaks telnet, which carries the break."""

    def __init__(self, name, path, telnet):
        self.name, self.path, self.telnet = name, path, telnet
        self.sock = None
        self.received = bytearray()
        self.cond = threading.Condition()
        self.send_lock = threading.Lock()

    @property
    def plugged(self):
        return self.sock is not None

    def connect(self):
        if self.sock:
            return
        sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, SEND_BUFFER_BYTES)
        sock.connect(self.path)
        self.sock = sock
        threading.Thread(target=self._read, args=(sock,), daemon=True).start()

    def close(self):
        sock, self.sock = self.sock, None
        if sock:
            try:
                sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            sock.close()

    def _read(self, sock):
        state, data = None, b""
        while True:
            try:
                chunk = sock.recv(65536)
            except OSError:
                return
            if not chunk:
                return
            if self.telnet:
                chunk, state = self._untelnet(chunk, state)
            with self.cond:
                self.received += chunk
                self.cond.notify_all()

    @staticmethod
    def _untelnet(chunk, state):
        """Data bytes without QEMU's telnet negotiation; state carries a cut sequence."""
        out = bytearray()
        for b in chunk:
            if state is None:
                if b == IAC:
                    state = "iac"
                else:
                    out.append(b)
            elif state == "iac":
                if b == IAC:
                    out.append(IAC)
                    state = None
                elif b == SB:
                    state = "sb"
                elif 251 <= b <= 254:  # WILL, WONT, DO, DONT and their option
                    state = "option"
                else:
                    state = None
            elif state == "option":
                state = None
            elif state == "sb":
                state = "sb-iac" if b == IAC else "sb"
            elif state == "sb-iac":
                state = None if b == SE else "sb"
        return bytes(out), state

    def send(self, data):
        if not self.sock:
            raise RigError(f"{self.name} is not plugged in")
        if self.telnet:
            data = data.replace(b"\xff", b"\xff\xff")
        with self.send_lock:
            self.sock.sendall(data)

    def send_break(self):
        if not self.telnet:
            raise RigError(f"{self.name} carries no break")
        with self.send_lock:
            self.sock.sendall(bytes([IAC, BRK]))

    def take(self, count, timeout):
        """What the guest sent since the last take, once there are count bytes or the
        time is up."""
        end = time.monotonic() + timeout
        with self.cond:
            while len(self.received) < count and time.monotonic() < end:
                self.cond.wait(end - time.monotonic())
            out = bytes(self.received)
            self.received.clear()
        return out


class Feed(threading.Thread):
    """Controller text paced as a line delivers it: pieces of the same size, piece k due
    at start + k * piece / rate, so a late piece pushes no later one back."""

    def __init__(self, line, text, rate, piece, done):
        super().__init__(daemon=True)
        self.line, self.text, self.rate, self.piece, self.done = line, text, rate, piece, done

    def run(self):
        start = time.monotonic()
        late = 0.0
        error = ""
        for k, at in enumerate(range(0, len(self.text), self.piece)):
            due = start + k * self.piece / self.rate
            wait = due - time.monotonic()
            if wait > 0:
                time.sleep(wait)
            late = max(late, time.monotonic() - due)
            try:
                self.line.send(self.text[at:at + self.piece])
            except (OSError, RigError) as e:
                error = str(e)
                break
        seconds = time.monotonic() - start
        if error:
            self.done(f"fed {self.line.name} error {error}")
        else:
            self.done(f"fed {self.line.name} {len(self.text)} {seconds:.3f} {late * 1000:.1f}")


class Controller:
    """Serves the guest's requests on the control port, one line each, "ID VERB ARGS":
      plug DEV | pull DEV | send DEV HEX | break DEV | take DEV COUNT MS
      feed DEV BYTES RATE PIECE SEED  (answered at once with the text's file in the
                                      shared folder; "ID-fed fed DEV BYTES SECONDS LATE_MS"
                                      follows when the last piece is sent)
    Each is answered "ID ok ..." or "ID error ...": the id is the asker's, so an answer
    left over from a test that ended early is never taken for another's."""

    def __init__(self, sock, lines, share, sim):
        self.sock, self.lines, self.share, self.sim = sock, lines, share, sim
        self.write_lock = threading.Lock()

    def reply(self, text):
        with self.write_lock:
            self.sock.sendall(text.encode() + b"\n")

    def serve(self):
        buf = b""
        while True:
            try:
                chunk = self.sock.recv(4096)
            except OSError:
                return
            if not chunk:
                return
            buf += chunk
            while b"\n" in buf:
                raw, buf = buf.split(b"\n", 1)
                words = raw.decode(errors="replace").split()
                if len(words) < 2:
                    continue
                try:
                    self.reply(f"{words[0]} {self.handle(words[0], words[1:])}")
                except (OSError, RigError, ValueError, KeyError, IndexError,
                        subprocess.CalledProcessError) as e:
                    self.reply(f"{words[0]} error {words[1]}: {e!r}")

    def handle(self, ident, words):
        verb = words[0]
        line = self.lines[words[1]]
        if verb == "plug":
            line.connect()
        elif verb == "pull":
            line.close()
        elif verb == "send":
            line.send(bytes.fromhex(words[2] if len(words) > 2 else ""))
        elif verb == "break":
            line.send_break()
        elif verb == "take":
            return "ok " + line.take(int(words[2]), int(words[3]) / 1000).hex()
        elif verb == "feed":
            size, rate, piece, seed = (int(w) for w in words[2:6])
            text = subprocess.run([self.sim, "--print-traffic", str(size), "--seed", str(seed)],
                                  capture_output=True, check=True).stdout
            name = f"feed-{line.name}.txt"
            with open(os.path.join(self.share, name), "wb") as f:
                f.write(text)
            Feed(line, text, rate, piece, lambda done: self.reply(f"{ident}-fed {done}")).start()
            return f"ok {name}"
        else:
            raise RigError(f"unknown request {verb}")
        return f"ok {verb} {line.name}"


# --- the guest ---------------------------------------------------------------------------

def wait_for_socket(path, qemu, seconds=20):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if qemu.poll() is not None:
            raise RigError("QEMU ended before it made its sockets")
        if os.path.exists(path):
            sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            try:
                sock.connect(path)
                return sock
            except OSError:
                sock.close()
        time.sleep(0.02)
    raise RigError(f"QEMU made no socket {path}")


def die_with_parent():
    # QEMU ends with the rig, also when the rig is killed.
    import ctypes
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def qemu_command(accel, image, initrd, build, share, sockets):
    cmd = ["qemu-system-x86_64", "-machine", f"pc,accel={accel}", "-m", "1024", "-smp", "2",
           "-nodefaults", "-nographic", "-no-reboot", "-vga", "none",
           "-kernel", image, "-initrd", initrd,
           "-append", "console=ttyS0 panic=-1 quiet edd=off",
           "-virtfs", "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,"
                      "multidevs=remap",
           "-virtfs", f"local,path={build},mount_tag=build,security_model=none,readonly=on,"
                      "multidevs=remap",
           "-virtfs", f"local,path={share},mount_tag=rig,security_model=none,multidevs=remap",
           "-chardev", f"file,id=console,path={share}/console.log",
           "-serial", "chardev:console",
           "-chardev", f"socket,id=uart,path={sockets}/uart,server=on,wait=off,telnet=on",
           "-serial", "chardev:uart",
           "-usb"]
    for name, serial in ADAPTERS.items():
        cmd += ["-chardev", f"socket,id={name},path={sockets}/{name},server=on,wait=off",
                "-device", f"usb-serial,chardev={name},serial={serial}"]
    cmd += ["-device", "virtio-serial-pci",
            "-chardev", f"socket,id=control,path={sockets}/control,server=on,wait=off",
            "-device", f"virtserialport,chardev=control,name={CONTROL_PORT}"]
    return cmd


def console_tail(share, lines=30):
    try:
        with open(os.path.join(share, "console.log"), "rb") as f:
            text = f.read().decode(errors="replace").replace("\r", "")
    except OSError:
        return "(no console output)"
    return "\n".join("    " + line for line in text.splitlines()[-lines:])


def boot(accel, image, initrd, build, share, sockets, sim, log):
    """Starts the guest and its lines; hands back QEMU and the controller once the
    guest's tests may ask."""
    for name in os.listdir(sockets):
        os.unlink(os.path.join(sockets, name))
    qemu = subprocess.Popen(qemu_command(accel, image, initrd, build, share, sockets),
                            stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                            preexec_fn=die_with_parent)
    try:
        # The control port's chardev is made last, so every line's socket is there then.
        control = wait_for_socket(f"{sockets}/control", qemu)
        lines = {"uart": Line("uart", f"{sockets}/uart", telnet=True)}
        for name in ADAPTERS:
            lines[name] = Line(name, f"{sockets}/{name}", telnet=False)
        lines["uart"].connect()  # the UART's cable stays in
        controller = Controller(control, lines, share, sim)
        threading.Thread(target=controller.serve, daemon=True).start()
        return qemu, controller
    except BaseException:
        qemu.kill()
        qemu.wait()
        raise


def run(args):
    prerequisites()
    version, image = kernel()
    out = os.path.abspath(args.out)
    share = os.path.join(out, "share")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(os.path.join(share, "results"))
    initrd = os.path.join(out, "initrd.cpio")
    initramfs(version, initrd)
    shutil.copy(os.path.join(HERE, "guest.sh"), share)
    build = os.path.abspath(args.build)
    with open(os.path.join(share, "guest.env"), "w") as f:
        f.write(f"BUILD='{build}'\nCONTROL_PORT='{CONTROL_PORT}'\n")
        f.write("TESTS='" + " ".join(os.path.abspath(t) for t in args.tests) + "'\n")
    # Socket paths must be short; the folder is this run's alone.
    sockets = tempfile.mkdtemp(prefix="vantrel-vm-")
    started = time.monotonic()
    accel = os.environ.get("VANTREL_VM_ACCEL", "auto")
    if accel == "auto":
        accel = "kvm" if os.access("/dev/kvm", os.R_OK | os.W_OK) else "tcg"
        fallback = accel == "kvm"
    else:
        fallback = False
    log = open(os.path.join(out, "qemu.log"), "wb")
    qemu = None
    try:
        qemu, controller = boot(accel, image, initrd, build, share, sockets, args.sim, log)
        if fallback and not wait_for_init(share, qemu, KVM_BOOT_SECONDS):
            say(f"KVM did not reach the guest's init within {KVM_BOOT_SECONDS} s: "
                "using the emulator (TCG)")
            qemu.kill()
            qemu.wait()
            accel = "tcg"
            qemu, controller = boot(accel, image, initrd, build, share, sockets, args.sim, log)
        say(f"kernel {version}, {accel}; guest started")
        deadline = started + DEADLINE_SECONDS
        while qemu.poll() is None and time.monotonic() < deadline:
            time.sleep(0.2)
        if qemu.poll() is None:
            qemu.kill()
            qemu.wait()
            raise RigError(f"the guest was still running after {DEADLINE_SECONDS} s; its "
                           f"console ends:\n{console_tail(share)}")
    finally:
        if qemu and qemu.poll() is None:
            qemu.kill()
            qemu.wait()
        log.close()
        shutil.rmtree(sockets, ignore_errors=True)
    say(f"guest ended after {time.monotonic() - started:.1f} s")
    missing = []
    for test in args.tests:
        name = os.path.basename(test)
        rc = result(out, name)
        if rc is None:
            missing.append(name)
            continue
        totals = [l for l in read_output(out, name).splitlines() if l.startswith("Totals:")]
        say(f"{name}: exit status {rc}; {totals[-1] if totals else 'no totals'}")
    if missing:
        raise RigError(f"{', '.join(missing)} did not run; the guest's console ends:\n"
                       f"{console_tail(share)}")


def wait_for_init(share, qemu, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end and qemu.poll() is None:
        try:
            with open(os.path.join(share, "console.log"), "rb") as f:
                if b"vm-init:" in f.read():
                    return True
        except OSError:
            pass
        time.sleep(0.1)
    return False


def read_output(out, name):
    try:
        with open(os.path.join(out, "share", "results", f"{name}.txt"), "rb") as f:
            return f.read().decode(errors="replace")
    except OSError:
        return ""


def result(out, name):
    try:
        with open(os.path.join(out, "share", "results", f"{name}.rc")) as f:
            return int(f.read().strip())
    except (OSError, ValueError):
        return None


def report(args):
    name = os.path.basename(args.test)
    rc = result(args.out, name)
    if rc is None:
        raise RigError(f"{name} did not run in the guest (see the test vm_guest)")
    sys.stdout.write(read_output(args.out, name))
    if rc != 0:
        raise RigError(f"{name} failed in the guest, exit status {rc}")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    r = sub.add_parser("run")
    r.add_argument("--build", required=True)
    r.add_argument("--sim", required=True)
    r.add_argument("--out", required=True)
    r.add_argument("tests", nargs="+")
    p = sub.add_parser("report")
    p.add_argument("--out", required=True)
    p.add_argument("test")
    args = parser.parse_args()
    try:
        run(args) if args.command == "run" else report(args)
    except RigError as e:
        say(f"FAILED: {e}")
        sys.exit(1)


if __name__ == "__main__":
    main()
