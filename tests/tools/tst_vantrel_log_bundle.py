#!/usr/bin/env python3
"""vantrel-log on whole captures: a log with its times, what was sent and notes is packed,
read back with Python's zipfile as an independent reader, unpacked byte for byte, and
counted by summary and summary --csv over the bundle and loose logs alike.
Usage: tst_vantrel_log_bundle.py <vantrel-log>"""
import csv
import io
import os
import subprocess
import sys
import tempfile
import zipfile

TOOL = sys.argv[1]
failures = []


def check(what, got, expected):
    if got != expected:
        failures.append(f"{what}: got {got!r}, expected {expected!r}")


def run(*args, expect=0, cwd=None):
    p = subprocess.run([TOOL, *args], capture_output=True, text=True, cwd=cwd)
    if p.returncode != expect:
        failures.append(f"vantrel-log {' '.join(args)} exited {p.returncode}, not {expect}: {p.stderr}")
    return p


def write(path, text):
    with open(path, "w", encoding="latin-1", newline="") as f:
        f.write(text)


with tempfile.TemporaryDirectory() as d:
    log = "".join(f"FLT0 =  {t}\r\n" for t in ["DOOR OPEN", "ARRIVED AT 2", "DOOR OPEN", "VEL =   0"])
    parts = {
        "car.log": log,
        "car.log.times": f"vantrel capture times 1\nopen 0 1767225600000\n20 1767229200000\nclose {len(log)} 1767229200000\n",
        "car.log.sent": ("vantrel sent 1\nopen 0 1767225600000\nbutton 0 1767225600100 stu\\x0d\n"
                         "polls 0 1767225600200 240 20 1767225660000 pmii\\x0d\n"
                         f"key 20 1767225661000 a\nclose {len(log)} 1767229200000\n"),
        "car.log.notes": "vantrel notes 1\n20 1767225661000 door noise, at 14:05\n",
    }
    for name, text in parts.items():
        write(os.path.join(d, name), text)
    loose = os.path.join(d, "car.log")
    run("pack", loose, "-o", os.path.join(d, "car.zip"))
    with zipfile.ZipFile(os.path.join(d, "car.zip")) as z:
        check("the bundle is a zip any reader lists", sorted(z.namelist()), sorted(parts))
        check("zip members", {n: z.read(n).decode("latin-1") for n in z.namelist()}, parts)
    out = os.path.join(d, "out")
    os.mkdir(out)
    check("unpack lists the files", run("unpack", "../car.zip", cwd=out).stdout.split(), list(parts))
    for name, text in parts.items():
        check(f"{name} unpacked", open(os.path.join(out, name), encoding="latin-1", newline="").read(), text)
    p = run("unpack", "../car.zip", cwd=out, expect=3)
    check("unpack over files there refuses", "File exists" in p.stderr, True)

    p = run("summary", os.path.join(d, "car.zip"))
    check("summary counts what was sent by source", "sent: 242 (button 1, poll 240, key 1)\n" in p.stdout, True)
    check("summary counts notes", "notes: 1\n" in p.stdout, True)

    other = os.path.join(d, "other.log")
    write(other, "FLT0 =  DOOR OPEN\r\n")
    p = run("summary", "--csv", os.path.join(d, "car.zip"), loose, other)
    rows = list(csv.DictReader(io.StringIO(p.stdout)))
    check("one row per capture", [r["file"] for r in rows], [os.path.join(d, "car.zip"), loose, other])
    for r in rows[:2]:
        check("hours", r["hours"], "1.000")
        check("sent by source", (r["sent button"], r["sent poll"], r["sent key"]), ("1", "240", "1"))
        check("notes", r["notes"], "1")
        check("a fault by its text", r["fault DOOR OPEN"], "2")
        check("arrivals", r["arrivals"], "1")
    check("a loose log without times or sent", (rows[2]["hours"], rows[2]["sent poll"], rows[2]["fault DOOR OPEN"]),
          ("", "0", "1"))
    check("no progress when not on a terminal", "captures read" in p.stderr, False)

    bad = os.path.join(d, "bad.zip")
    with zipfile.ZipFile(bad, "w") as z:
        z.writestr("../car.log", "x")
    p = run("summary", "--csv", bad, other, expect=3)
    check("a hostile bundle is named, the rest still summed", ("bad.zip" in p.stderr, len(p.stdout.splitlines())), (True, 2))

for f in failures:
    print("FAIL:", f)
print(f"{'FAILED' if failures else 'PASSED'}: {len(failures)} failures")
sys.exit(1 if failures else 0)
