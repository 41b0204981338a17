#!/usr/bin/python3
"""Reads the flintor window as a screen reader does, over the desktop's accessibility bus.

Lists the window's accessible tree, checks that each control a user must find has its name and
role, operates the flash size, boot loader and Calculate controls through their accessible actions
(no pointer, no keyboard), and checks the partition map's description afterwards and that the map
and the status line announced their changes.

    accessible-tree.py LISTING_FILE
"""
import sys
import time

import pyatspi
from gi.repository import GLib

# (role, name) pairs that must be in the tree: the step headings, every list and box, the map.
EXPECTED = [
    ("label", "1) Select a firmware image file:"),
    ("label", "2) Select the size of you router's Flash ROM size:"),
    ("label", "3) Select you router's bootloader type:"),
    ("combo box", "Drives"),
    ("tree", "Folders"),
    ("list", "Files"),
    ("text", "Size in MB"),
    ("text", "Size in Hex"),
    ("combo box", "Optional MTD 5"),
    ("image", "MTD Partitions"),
    ("text", "Results"),
    ("push button", "Calculate MTD values"),
]

PSP_MAP = ("mtd2: 0x90000000 to 0x90010000, 64.00 KB; mtd3: 0x90010000 to 0x90020000, 64.00 KB; "
           "mtd4: 0x90020000 to 0x90400000, 3.88 MB; mtd1: 0x90020090 to 0x90022000, 7.86 KB; "
           "mtd0: 0x90022000 to 0x90400000, 3.87 MB")


def find_application(name, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is not None and app.name == name and app.childCount > 0:
                return app
        time.sleep(0.2)
    return None


def walk(node, depth=0):
    yield depth, node
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


def listing(app):
    lines = []
    for depth, node in walk(app):
        line = "  " * depth + node.getRoleName()
        if node.name:
            line += ' "%s"' % node.name
        if node.description:
            line += " [%s]" % node.description
        lines.append(line)
    return lines


def find(app, role, name):
    for _, node in walk(app):
        if node.getRoleName() == role and node.name == name:
            return node
    return None


def act(node, wanted):
    """Runs the first of the node's actions whose name is in `wanted`."""
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    for i, action_name in enumerate(names):
        if action_name.lower() in wanted:
            try:
                action.doAction(i)
            except GLib.GError as error:
                # A press runs the command before it answers: a message box keeps it from answering.
                print("FAIL: %s %r did not answer its %s action: %s" % (node.getRoleName(), node.name,
                                                                      action_name, error.message))
                return False
            return True
    print("FAIL: %s %r offers none of %s, only %s" % (node.getRoleName(), node.name, wanted, names))
    return False


def wait_for(condition, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.1)
    return condition()


def listen(heard):
    """Notes the name and description changes that the program announces into `heard`."""
    def note(event):
        heard.append((event.type, event.source.getRoleName(), event.source.name))
    pyatspi.Registry.registerEventListener(note, "object:property-change:accessible-name",
                                           "object:property-change:accessible-description")
    return note


def main():
    out = sys.argv[1]
    app = find_application("Flintor", 15)
    if app is None:
        print("FAIL: no application named Flintor on the accessibility bus")
        return 1
    status = 0
    for role, name in EXPECTED:
        if find(app, role, name) is None:
            print("FAIL: no %s named %r" % (role, name))
            status = 1

    heard = []
    note = listen(heard)
    time.sleep(0.5)  # the program learns of the listener before anything changes

    # One calculation as a screen reader user makes it: the sample is selected already.
    for role, name in [("radio button", "4MB"), ("check box", "PSP")]:
        node = find(app, role, name)
        if node is None or not act(node, {"press", "toggle", "click"}):
            status = 1
            continue
        if not wait_for(lambda: node.getState().contains(pyatspi.STATE_CHECKED), 5):
            print("FAIL: %s %r did not become checked" % (role, name))
            status = 1
    button = find(app, "push button", "Calculate MTD values")
    if status == 0 and button is not None and act(button, {"press", "click"}):
        GLib.timeout_add(1500, pyatspi.Registry.stop)
        pyatspi.Registry.start()
    pyatspi.Registry.deregisterEventListener(note, "object:property-change:accessible-name",
                                             "object:property-change:accessible-description")

    calculated = find(app, "image", "MTD Partitions")
    description = calculated.description if calculated is not None else None
    if description != PSP_MAP:
        print("FAIL: the map's description after the calculation is %r" % description)
        status = 1
    for wanted in [("object:property-change:accessible-description", "image", "MTD Partitions"),
                   ("object:property-change:accessible-name", "label", "Calculation complete.")]:
        if wanted not in heard:
            print("FAIL: no %s from the %s %r; heard %s" % (wanted[0], wanted[1], wanted[2], heard))
            status = 1

    lines = listing(app)
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    print("\n".join(lines))
    return status


if __name__ == "__main__":
    sys.exit(main())
