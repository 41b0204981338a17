#!/usr/bin/python3
# Reads the flintor window over the accessibility bus as a screen reader does: finds each control by
# role and name, calculates through accessible actions only, checks the map's description and that
# the map and the status line announced their changes, picks from both drop-down lists with the keys
# and reads their choice back, and writes the accessible tree to argv[1].
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

EXPECTED = [("label", "1) Select a firmware image file:"),
            ("label", "2) Select the size of you router's Flash ROM size:"),
            ("label", "3) Select you router's bootloader type:"), ("combo box", "Drives"),
            ("tree", "Folders"), ("list", "Files"), ("text", "Size in MB"), ("text", "Size in Hex"),
            ("combo box", "Optional MTD 5"), ("image", "MTD Partitions"), ("text", "Results")]
PSP_MAP = ("mtd2: 0x90000000 to 0x90010000, 64.00 KB; mtd3: 0x90010000 to 0x90020000, 64.00 KB; "
           "mtd4: 0x90020000 to 0x90400000, 3.88 MB; mtd1: 0x90020090 to 0x90022000, 7.86 KB; "
           "mtd0: 0x90022000 to 0x90400000, 3.87 MB")
CHANGES = ["object:property-change:accessible-name", "object:property-change:accessible-description"]
CHOICE_CHANGE = "object:text-changed:insert"


def walk(node, depth=0):
    yield depth, node
    for child in node:
        if child is not None:
            yield from walk(child, depth + 1)


def find(app, role, name):
    return next((n for _, n in walk(app) if n.getRoleName() == role and n.name == name), None)


def press(node):
    # A press runs the command before it answers, so a message box would leave it unanswered.
    try:
        node.queryAction().doAction(0)
        return True
    except GLib.GError as error:
        print("FAIL: %s %r did not answer its action: %s" % (node.getRoleName(), node.name, error.message))
        return False


def listen(until, seconds=5):
    def check():
        if until() or time.monotonic() > deadline:
            pyatspi.Registry.stop()
            return False
        return True
    deadline = time.monotonic() + seconds
    GLib.timeout_add(100, check)
    pyatspi.Registry.start()


def choice(box):
    # A screen reader takes a combo box's choice from the selected item of its list or from its text.
    selected = [item.name for item in box[0] if item.getState().contains(pyatspi.STATE_SELECTED)]
    return selected, box.queryText().getText(0, -1) if "Text" in pyatspi.listInterfaces(box) else None


def pick(app, name, keys, heard, wanted=None):
    """Chooses from a list with the keys, from the window's keyboard focus, as a person does."""
    box = find(app, "combo box", name)
    if box is None or not box.queryComponent().grabFocus():
        return "the %r list cannot take the keyboard focus" % name
    before = choice(box)[1]
    wanted = wanted or box[0][box[0].childCount - 1].name  # End picks the last item
    subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^Flintor ", "windowfocus",
                    "--sync", "key", "--delay", "50"] + keys, check=False)
    announced = lambda: wanted == before or (CHOICE_CHANGE, "combo box", name, wanted) in heard
    listen(lambda: announced() and choice(box) == ([wanted], wanted))
    if not announced() or choice(box) != ([wanted], wanted):
        return "the %r list shows %r after %s, heard as %r%s" % (
            name, wanted, "+".join(keys), choice(box), "" if announced() else " and not announced")
    return None


def main():
    app = None
    for _ in range(75):
        app = next((a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "Flintor" and a.childCount), None)
        if app:
            break
        time.sleep(0.2)
    if app is None:
        print("FAIL: no application named Flintor on the accessibility bus")
        return 1
    failures = ["no %s named %r" % wanted for wanted in EXPECTED if find(app, *wanted) is None]

    heard = []
    def note(event):
        heard.append((event.type, event.source.getRoleName(), event.source.name) +
                     ((event.any_data,) if event.type == CHOICE_CHANGE else ()))
    pyatspi.Registry.registerEventListener(note, *CHANGES, CHOICE_CHANGE)
    time.sleep(0.5)  # the program learns of the listener before anything changes
    for role, name in [("radio button", "4MB"), ("check box", "PSP")]:
        node = find(app, role, name)
        if node and press(node):
            for _ in range(50):  # Qt's buttons click a moment after the press
                if node.getState().contains(pyatspi.STATE_CHECKED):
                    break
                time.sleep(0.1)
        if not node or not node.getState().contains(pyatspi.STATE_CHECKED):
            failures.append("%s %r cannot be chosen" % (role, name))
    if not failures and press(find(app, "push button", "Calculate MTD values")):
        GLib.timeout_add(1500, pyatspi.Registry.stop)
        pyatspi.Registry.start()

    description = getattr(find(app, "image", "MTD Partitions"), "description", None)
    if description != PSP_MAP:
        failures.append("the map's description after the calculation is %r" % description)
    for change in [(CHANGES[1], "image", "MTD Partitions"), (CHANGES[0], "label", "Calculation complete. Checksum right.")]:
        if change not in heard:
            failures.append("not announced: %s of the %s %r" % change)

    # Down from no choice: "None", "64.00 KB", "128.00 KB"; the calculation draws the mtd5 it read.
    failures.append(pick(app, "Optional MTD 5", ["Down"] * 3, heard, "128.00 KB"))
    if not failures[-1] and press(find(app, "push button", "Calculate MTD values")):
        bars = lambda: getattr(find(app, "image", "MTD Partitions"), "description", "").split("; ")
        listen(lambda: any(bar.startswith("mtd5: ") for bar in bars()))
        if not any(bar.startswith("mtd5: ") and bar.endswith(", 128.00 KB") for bar in bars()):
            failures.append("the map after choosing an mtd5 of 128.00 KB: %r" % bars())
    # Last: another drive moves the folder and file lists.
    failures.append(pick(app, "Drives", ["End"], heard))
    failures = [failure for failure in failures if failure]
    pyatspi.Registry.deregisterEventListener(note, *CHANGES, CHOICE_CHANGE)

    lines = ["  " * depth + n.getRoleName() + (' "%s"' % n.name if n.name else "") +
             (' = "%s"' % choice(n)[1] if n.getRoleName() == "combo box" else "") +
             (" [%s]" % n.description if n.description else "") for depth, n in walk(app)]
    with open(sys.argv[1], "w", encoding="utf-8") as listing:
        listing.write("\n".join(lines) + "\n")
    print("\n".join(lines + ["FAIL: " + failure for failure in failures]))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
