#!/usr/bin/env python3
"""vantrel-log against independent readers: a generated capture log with capture times
is exported; the value change dump goes through gtkwave's vcd2fst and fst2vcd and is
parsed back, the CSV is read with Python's csv module, and both must hold what a small
model of the replay (lines, dumps, speeds) finds in the log. Also find, summary and the
exit codes. Usage: tst_vantrel_log.py <vantrel-log>"""
import csv
import datetime
import os
import random
import re
import subprocess
import sys
import tempfile

TOOL = sys.argv[1]
HEADER = "PMI #  = = = = = = = = = = = = = = = ="
# Dump line and cell of each grid cell, in the order the grid is filled.
CELLS = ([(1, c) for c in list(range(1, 5)) + list(range(8, 17))] +
         [(2, c) for c in range(1, 17)] + [(3, c) for c in range(1, 15)] +
         [(4, c) for c in range(1, 17)] + [(8, c) for c in range(1, 17)])
START_MS = 1767225600000
failures = []


def check(what, got, expected):
    if got != expected:
        failures.append(f"{what}: got {got!r}, expected {expected!r}")


def make_log(seed):
    """A log of dumps (some cut short), speeds and faults, with its capture times."""
    r = random.Random(seed)
    log, times = "", ["vantrel capture times 1", f"open 0 {START_MS}"]
    ms = START_MS
    state = [r.choice("01") for _ in range(16 * 8)]
    for _ in range(400):
        ms += r.randint(1, 3000)
        times.append(f"{len(log)} {ms}")
        kind = r.random()
        end = "\r" if r.random() < 0.2 else "\r\n"
        if kind < 0.5:
            for _ in range(r.randint(0, 3)):
                state[r.randrange(len(state))] = r.choice("01x")
            dump = "> PMII" + end + HEADER + end
            for n in range(8):
                dump += "I/O %-3d" % (n + 1) + " ".join(state[16 * n:16 * n + 16]) + end
            if r.random() < 0.1:
                dump = dump[:r.randrange(len(dump))]
            log += dump
        elif kind < 0.8:
            log += "VEL =   %s%s" % (r.choice(["  0", " 12", "150", "1.5", "abc"]), end)
        else:
            log += "FLT0 =  %s%s" % (r.choice(["NO FAULT", "ARRIVED AT 3"]), end)
    times.append(f"close {len(log)} {ms + 10}")
    return log, "\n".join(times) + "\n"


def lines_of(log):
    """(start offset, text) of each line as the replay reads it."""
    out, i = [], 0
    while i < len(log):
        cr = log.find("\r", i)
        end = len(log) if cr < 0 else cr
        out.append((i, log[i:end][-4096:]))
        i = end + 1 if cr >= 0 else end
        if cr >= 0 and i < len(log) and log[i] == "\n":
            i += 1
    return out


def time_of(times_text, offset):
    best = None
    for line in times_text.splitlines()[1:]:
        parts = line.split()
        if parts[0] == "close":
            continue
        off, ms = int(parts[-2]), int(parts[-1])
        if off <= offset:
            best = ms
    return best


def model(log, times_text):
    """Each dump's (line, time, cells) and each speed report's (offset, time, text)."""
    lines = lines_of(log)
    joined, at = "", []
    for _, text in lines:
        if at:
            joined += "\r\n"
        at.append(len(joined))
        joined += text
    dumps, speeds = [], []
    for n, (start, text) in enumerate(lines):
        for m in re.finditer(re.escape(HEADER), text):
            j = at[n] + m.start()
            cells = [joined[j + 40 * l + 7 + 2 * (c - 1):][:2] for l, c in CELLS]
            dumps.append((n + 1, start + m.start(), cells))
        for m in re.finditer("VEL =   ", text):
            j = at[n] + m.start()
            speeds.append((start + m.start(), joined[j + 8:j + 11]))
    return ([(l, time_of(times_text, o) - START_MS, o, c) for l, o, c in dumps],
            [(time_of(times_text, o) - START_MS, o, t) for o, t in speeds])


def bit(cell):
    return cell.strip() if cell.strip() in ("0", "1") else "x"


def speed_value(text):
    t = text.strip()
    return int(t) if re.fullmatch(r"[+-]?\d+", t) and 0 <= int(t) < 65536 else "x"


def expected_changes(dumps, speeds):
    """Per signal name index (0-74, 75 the speed): its [(time, value)] changes."""
    events = [(o, t, "dump", c) for _, t, o, c in dumps] + [(o, t, "speed", s) for t, o, s in speeds]
    events.sort()
    now = ["x"] * 76
    changes = [[(0, "x")] for _ in range(76)]
    for _, t, kind, what in events:
        values = [(i, bit(c)) for i, c in enumerate(what)] if kind == "dump" else [(75, speed_value(what))]
        for i, v in values:
            if v != now[i]:
                now[i] = v
                changes[i].append((t, v))
    return changes


def read_vcd(path):
    """Names in order of declaration and each one's [(time, value)] changes."""
    names, codes, changes, t = [], {}, {}, 0
    in_defs = True
    for line in open(path, encoding="latin-1"):
        line = line.strip()
        if in_defs:
            m = re.match(r"\$var\s+\S+\s+(\d+)\s+(\S+)\s+(\S+)(\s+\[.*\])?\s+\$end", line)
            if m:
                names.append(m.group(3))
                codes[m.group(2)] = m.group(3)
                changes[m.group(3)] = []
            if line.startswith("$enddefinitions"):
                in_defs = False
            continue
        if not line or line.startswith("$"):
            continue
        if line.startswith("#"):
            t = int(line[1:])
        elif line[0] in "bB":
            bits, code = line[1:].split()
            value = "x" if "x" in bits.lower() else int(bits, 2)
            changes[codes[code]].append((t, value))
        else:
            changes[codes[line[1:]]].append((t, line[0].lower()))
    # A reader may repeat a value or set one twice at a time: keep the last per time,
    # then only real changes.
    for name, seq in changes.items():
        at = {}
        for time, value in seq:
            at[time] = value
        out, last = [], object()
        for time in sorted(at):
            if at[time] != last:
                out.append((time, at[time]))
                last = at[time]
        changes[name] = out
    return names, changes


def run(*args, expect=0):
    p = subprocess.run([TOOL, *args], capture_output=True, text=True, encoding="latin-1")
    if p.returncode != expect:
        failures.append(f"vantrel-log {args} exited {p.returncode}, not {expect}: {p.stderr}")
    return p


with tempfile.TemporaryDirectory() as d:
    log, times_text = make_log(7)
    path = os.path.join(d, "capture.log")
    with open(path, "w", encoding="latin-1", newline="") as f:
        f.write(log)
    with open(path + ".times", "w") as f:
        f.write(times_text)
    dumps, speeds = model(log, times_text)
    check("dumps in the log", len(dumps) > 100, True)

    vcd, fst, back = (os.path.join(d, n) for n in ("out.vcd", "out.fst", "back.vcd"))
    run("export", "--vcd", vcd, path)
    subprocess.run(["vcd2fst", vcd, fst], check=True, capture_output=True)
    subprocess.run(["fst2vcd", "-f", fst, "-o", back], check=True, capture_output=True)
    names, got = read_vcd(back)
    check("signals", len(names), 76)
    want = expected_changes(dumps, speeds)
    for i, name in enumerate(names[:76]):
        check(f"changes of {name}", got[name], want[i] if name != "speed" else want[75])
    check("cell 9 of dump line 2 is named after its grid label", names[CELLS.index((2, 9))], "DOL")
    check("a cell with no grid label is named by column and row", names[CELLS.index((8, 1))], "c5r1")

    out_csv = os.path.join(d, "out.csv")
    run("export", "--csv", out_csv, path)
    with open(out_csv, newline="", encoding="latin-1") as f:
        rows = list(csv.reader(f))
    cells = ["c%dr%d" % (min(l, 5), c) for l, c in CELLS]
    check("CSV columns: VCD names, cells after", rows[0], ["time", "line"] + [n if n == c else f"{n}_{c}" for n, c in zip(names, cells)] + ["speed"])
    check("CSV rows", len(rows) - 1, len(dumps))
    for row, (line, t, offset, cells) in zip(rows[1:], dumps):
        stamp = datetime.datetime.fromisoformat(row[0]).timestamp() * 1000
        check(f"time of the dump on line {line}", round(stamp) - START_MS, t)
        check(f"line of the dump on line {line}", int(row[1]), line)
        check(f"cells of the dump on line {line}", row[2:77], [c.strip() for c in cells])
        before = [s for _, o, s in speeds if o < offset]
        check(f"speed at the dump on line {line}", row[77], before[-1].strip() if before else "")

    # Without times one unit per line, as the comment says, which "$end" cannot end.
    os.remove(path + ".times")
    odd = os.path.join(d, "x $end y.log")
    os.link(path, odd)
    run("export", "--vcd", vcd, odd)
    text = open(vcd, encoding="latin-1").read()
    check("comment without times", "one time unit per line: x $ end y.log has no capture times" in text, True)
    os.link(path, os.path.join(d.encode(), b"caf\xe9.log"))
    run("export", "--vcd", vcd, os.path.join(d.encode(), b"caf\xe9.log"))
    check("first dump's stamp is its line", f"#{dumps[0][0]}\n" in text, True)

    p = run("find", "ARRIVED AT 3", path)
    expected_lines = sorted({n + 1 for n, (_, t) in enumerate(lines_of(log)) if "ARRIVED AT 3" in t})
    check("find lines", [int(l.split("\t")[0]) for l in p.stdout.splitlines()], expected_lines)
    run("find", "--ignore-case", "arrived at 3", path)
    run("find", "NOWHERE IN IT", path, expect=1)
    p = run("summary", path)
    check("summary dumps", f"dumps: {len(dumps)}\n" in p.stdout, True)
    check("the all-clear and arrivals are no new faults", ", new faults: 0," in p.stdout, True)
    with open(path, "a", encoding="latin-1", newline="") as f:
        f.write("\r\n???\r\n")
    check("hits do not overlap, one is a hit", run("find", "??", path).stderr.splitlines()[-1],
          "vantrel-log: 1 hit on 1 line")
    check("summary without times", "no capture times" in p.stdout, True)
    for command in (["summary", path], ["find", "ARRIVED", path]):
        with open("/dev/full", "w") as full:
            p = subprocess.run([TOOL, *command], stdout=full, stderr=subprocess.PIPE, text=True)
        check(f"{command[0]} to a full disk", (p.returncode, "No space left" in p.stderr), (3, True))
    p = run("summary", os.path.join(d, "absent.log"), expect=3)
    check("missing log named with the reason", "absent.log: No such file or directory" in p.stderr, True)
    run("export", "--vcd", os.path.join(d, "no", "dir.vcd"), path, expect=3)
    run("export", "--xml", vcd, path, expect=2)
    run(expect=2)
    check("help", run("--help").stdout.startswith("Usage: vantrel-log"), True)

for f in failures:
    print("FAIL:", f)
print(f"{'FAILED' if failures else 'PASSED'}: {len(failures)} failures")
sys.exit(1 if failures else 0)
