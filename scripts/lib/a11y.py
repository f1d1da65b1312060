#!/usr/bin/env python3
"""What a screen reader reads of the running program, asked from outside it over AT-SPI.

    a11y.py wait --pid PID --window NAME --control NAME --read name|text
                 --expect REGEX [--timeout SECONDS]
        Reads one control (found by its control name, which the program gives every
        control as its description) until what it reads matches REGEX in full; prints
        what it read last. Exit status 0 on a match, 1 when the time is up.
    a11y.py press --pid PID --window NAME --control NAME [--until REGEX --timeout SECONDS]
        Does a control's first action (a button's press, a menu entry's), as a screen
        reader's user would; with --until, again every half second until the window's
        name matches REGEX in full (a button that toggles what other work also toggles).
    a11y.py enter --pid PID --title TITLE --text TEXT [--timeout SECONDS]
        Puts TEXT into the text box that has the keyboard focus in the window with this
        title (a file dialog's file name), once it has the focus.
    a11y.py focus --pid PID --window NAME --control NAME [--timeout SECONDS]
        Gives a control the keyboard focus (as a screen reader's "focus" command does)
        and waits until it says it has it.
    a11y.py read --pid PID --window NAME --read name|text CONTROL [CONTROL ...]
        Reads each control once and prints what it read as one JSON list (null where
        there was nothing to read).
    a11y.py bus [--timeout SECONDS]
        Waits until the AT-SPI bus and its registry answer.
    a11y.py dump --pid PID --window NAME [--window NAME ...] [--text-box NAME ...]
        Prints the accessible tree of each window (found by its control name) and the
        counts: controls (every object but a menu's rules), controls without a name, text
        boxes (objects with a text role, or the named controls) without a text interface.
        Exit status 0 when both of the latter are 0.
"""

import argparse
import json
import re
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

POLL_SECONDS = 0.1
PRESS_AGAIN_SECONDS = 0.5
TEXT_ROLES = {Atspi.Role.TEXT, Atspi.Role.ENTRY, Atspi.Role.PASSWORD_TEXT,
              Atspi.Role.TERMINAL, Atspi.Role.PARAGRAPH}


def application(pid):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except gi.repository.GLib.Error:
            continue
    return None


def children(node):
    try:
        count = node.get_child_count()
    except gi.repository.GLib.Error:
        return []
    return [c for c in (node.get_child_at_index(i) for i in range(count)) if c is not None]


def window(pid, name):
    app = application(pid)
    if app is None:
        return None
    for w in children(app):
        if w.get_description() == name:
            return w
    return None


def named(node, name):
    """Whether a control's description gives this control name (a description may go on
    after the name and a colon, as the status line's does with a device's whole path)."""
    description = node.get_description() or ""
    return description == name or description.startswith(name + ": ")


def find(node, name):
    if named(node, name):
        return node
    for child in children(node):
        found = find(child, name)
        if found is not None:
            return found
    return None


def text_iface(node):
    # An accessible object is its own text interface where it has one.
    return node if "Text" in node.get_interfaces() else None


def text_of(node):
    text = text_iface(node)
    if text is None:
        return None
    return Atspi.Text.get_text(text, 0, Atspi.Text.get_character_count(text))


def read(pid, window_name, control, what):
    w = window(pid, window_name)
    if w is None:
        return None, "no window %s" % window_name
    node = w if control == window_name else find(w, control)
    if node is None:
        return None, "no control %s in %s" % (control, window_name)
    if what == "name":
        return node.get_name(), None
    value = text_of(node)
    if value is None:
        return None, "%s has no text interface (role %s)" % (control, node.get_role_name())
    return value, None


def bus(args):
    deadline = time.monotonic() + args.timeout
    while True:
        try:
            Atspi.get_desktop(0).get_child_count()
            return 0
        except gi.repository.GLib.Error as e:
            why = str(e)
        if time.monotonic() >= deadline:
            print(why)
            return 1
        time.sleep(POLL_SECONDS)


def press(args):
    deadline = time.monotonic() + args.timeout
    while True:
        w = window(args.pid, args.window)
        node = None if w is None else find(w, args.control)
        if node is None or "Action" not in node.get_interfaces():
            print("no control %s with an action in %s" % (args.control, args.window))
            return 1
        Atspi.Action.do_action(node, 0)
        if args.until is None:
            return 0
        pattern = re.compile(args.until, re.S)
        look_until = time.monotonic() + PRESS_AGAIN_SECONDS
        while time.monotonic() < look_until:
            if pattern.fullmatch(w.get_name()):
                print(repr(w.get_name()))
                return 0
            time.sleep(POLL_SECONDS)
        if time.monotonic() >= deadline:
            print("the window reads %r; expected %r" % (w.get_name(), args.until))
            return 1


def focused(node):
    if node.get_state_set().contains(Atspi.StateType.FOCUSED):
        return node
    for child in children(node):
        found = focused(child)
        if found is not None:
            return found
    return None


def enter(args):
    deadline = time.monotonic() + args.timeout
    while True:
        try:
            app = application(args.pid)
            titled = [w for w in children(app) if w.get_name() == args.title] if app else []
            box = focused(titled[0]) if titled else None
            if box is not None and "EditableText" in box.get_interfaces():
                Atspi.EditableText.set_text_contents(box, args.text)
                if text_of(box) == args.text:
                    return 0
        except gi.repository.GLib.Error:
            pass
        if time.monotonic() >= deadline:
            print("no focused text box in a window titled %r" % args.title)
            return 1
        time.sleep(POLL_SECONDS)


def focus(args):
    deadline = time.monotonic() + args.timeout
    while True:
        try:
            w = window(args.pid, args.window)
            node = find(w, args.control) if w is not None else None
            if node is not None:
                if node.get_state_set().contains(Atspi.StateType.FOCUSED):
                    return 0
                Atspi.Component.grab_focus(node)
        except gi.repository.GLib.Error:
            pass
        if time.monotonic() >= deadline:
            print("%s in %s did not take the focus" % (args.control, args.window))
            return 1
        time.sleep(POLL_SECONDS)


def wait(args):
    deadline = time.monotonic() + args.timeout
    pattern = re.compile(args.expect, re.S)
    last, why = None, "nothing read"
    while True:
        try:
            last, why = read(args.pid, args.window, args.control, args.read)
        except gi.repository.GLib.Error as e:
            last, why = None, str(e)
        if last is not None and pattern.fullmatch(last):
            print(repr(last))
            return 0
        if time.monotonic() >= deadline:
            print("read %r (%s); expected %r" % (last, why or "no match", args.expect))
            return 1
        time.sleep(POLL_SECONDS)


def read_each(args):
    print(json.dumps([read(args.pid, args.window, c, args.read)[0] for c in args.controls]))
    return 0


def dump(args):
    controls = nameless = textless = 0

    def walk(node, depth):
        nonlocal controls, nameless, textless
        role = node.get_role()
        name = node.get_name()
        has_text = text_iface(node) is not None
        faults = []
        if role == Atspi.Role.SEPARATOR:
            faults.append("a menu's rule, not counted")
        else:
            controls += 1
        if role != Atspi.Role.SEPARATOR and not name.strip():
            nameless += 1
            faults.append("NO NAME")
        if (role in TEXT_ROLES or node.get_description() in args.text_box) and not has_text:
            textless += 1
            faults.append("NO TEXT INTERFACE")
        shown = ""
        if has_text:
            shown = " text=%r" % text_of(node)[:60]
        print("%s%s %r [%s]%s%s" % ("  " * depth, node.get_role_name(), name,
                                    node.get_description(), shown,
                                    "  <-- " + ", ".join(faults) if faults else ""))
        for child in children(node):
            walk(child, depth + 1)

    for name in args.window:
        w = window(args.pid, name)
        if w is None:
            print("no window %s" % name)
            return 2
        walk(w, 0)
    print("controls: %d, without a name: %d, text boxes without a text interface: %d"
          % (controls, nameless, textless))
    return 0 if nameless == 0 and textless == 0 else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    sub = parser.add_subparsers(dest="command", required=True)
    w = sub.add_parser("wait")
    w.add_argument("--pid", type=int, required=True)
    w.add_argument("--window", required=True)
    w.add_argument("--control", required=True)
    w.add_argument("--read", choices=["name", "text"], required=True)
    w.add_argument("--expect", required=True)
    w.add_argument("--timeout", type=float, default=20)
    p = sub.add_parser("press")
    p.add_argument("--pid", type=int, required=True)
    p.add_argument("--window", required=True)
    p.add_argument("--control", required=True)
    p.add_argument("--until")
    p.add_argument("--timeout", type=float, default=20)
    e = sub.add_parser("enter")
    e.add_argument("--pid", type=int, required=True)
    e.add_argument("--title", required=True)
    e.add_argument("--text", required=True)
    e.add_argument("--timeout", type=float, default=20)
    f = sub.add_parser("focus")
    f.add_argument("--pid", type=int, required=True)
    f.add_argument("--window", required=True)
    f.add_argument("--control", required=True)
    f.add_argument("--timeout", type=float, default=20)
    r = sub.add_parser("read")
    r.add_argument("--pid", type=int, required=True)
    r.add_argument("--window", required=True)
    r.add_argument("--read", choices=["name", "text"], required=True)
    r.add_argument("controls", nargs="+")
    b = sub.add_parser("bus")
    b.add_argument("--timeout", type=float, default=10)
    d = sub.add_parser("dump")
    d.add_argument("--pid", type=int, required=True)
    d.add_argument("--window", action="append", required=True)
    d.add_argument("--text-box", action="append", default=[])
    args = parser.parse_args()
    return {"wait": wait, "press": press, "focus": focus, "enter": enter, "read": read_each,
            "bus": bus, "dump": dump}[args.command](args)


if __name__ == "__main__":
    sys.exit(main())
