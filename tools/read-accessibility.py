#!/usr/bin/python3
"""Reads the running viewer as a screen reader does, through the desktop's accessibility bus.

    read-accessibility.py [--app NAME] [--wait SECONDS] [--events SECONDS]

Prints the viewer's accessibility tree (role, name, description, value) and, with --events,
the events it sends for the given number of seconds (drive the viewer meanwhile, e.g. with
xdotool). The viewer must run with the accessibility bridge on (QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
where no assistive technology has switched it on) on the same session bus.
"""
import argparse
import sys
import time

import pyatspi
from gi.repository import GLib


def value_of(acc):
    try:
        return acc.queryValue().currentValue
    except NotImplementedError:
        return None


def line(acc, depth):
    text = "  " * depth + f"[{acc.getRoleName()}] name={acc.name!r}"
    if acc.description:
        text += f" description={acc.description!r}"
    value = value_of(acc)
    if value is not None:
        text += f" value={value!r}"
    return text


def table_lines(acc, depth, limit):
    """The cells of a table row by row, as a screen reader moves through them."""
    table = acc.queryTable()
    lines = []
    for r in range(min(table.nRows, limit)):
        cells = []
        for c in range(table.nColumns):
            cell = table.getAccessibleAt(r, c)
            cells.append(cell.name if cell is not None else "")
        lines.append("  " * depth + "| " + " | ".join(cells))
    if table.nRows > limit:
        lines.append("  " * depth + f"... {table.nRows - limit} more rows")
    return lines


def walk(acc, depth, out, limit):
    out.append(line(acc, depth))
    role = acc.getRole()
    if role == pyatspi.ROLE_TABLE:
        out.extend(table_lines(acc, depth + 1, limit))
        return
    children = acc.childCount
    # A tree's items are many; the first few tell what it holds.
    shown = min(children, limit) if role in (pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE) else children
    for i in range(shown):
        child = acc.getChildAtIndex(i)
        if child is not None:
            walk(child, depth + 1, out, limit)
    if shown < children:
        out.append("  " * (depth + 1) + f"... {children - shown} more")


def find_app(name, wait):
    deadline = time.monotonic() + wait
    while True:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == name:
                return app
        if time.monotonic() > deadline:
            return None
        time.sleep(0.2)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", default="ZYN-Viewer")
    parser.add_argument("--wait", type=float, default=10)
    parser.add_argument("--rows", type=int, default=10, help="rows listed of a table or tree")
    parser.add_argument("--events", type=float, default=0)
    args = parser.parse_args()

    app = find_app(args.app, args.wait)
    if app is None:
        print(f"no application {args.app!r} on the accessibility bus", file=sys.stderr)
        return 1
    out = []
    walk(app, 0, out, args.rows)
    print("\n".join(out), flush=True)

    if args.events > 0:
        def on_event(event):
            source = event.source
            print(f"event {event.type} from [{source.getRoleName()}] {source.name!r}: "
                  f"description={source.description!r} value={value_of(source)!r}", flush=True)
        for kind in ("object:property-change:accessible-name", "object:property-change:accessible-description",
                     "object:property-change:accessible-value", "object:value-changed"):
            pyatspi.Registry.registerEventListener(on_event, kind)
        GLib.timeout_add(int(args.events * 1000), lambda: pyatspi.Registry.stop() or False)
        pyatspi.Registry.start()
    return 0


if __name__ == "__main__":
    sys.exit(main())
