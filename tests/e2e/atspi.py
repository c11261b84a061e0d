#!/usr/bin/python3
"""Drives windows the way assistive tools do: through the AT-SPI tree, by role and name.

Run with Debian's /usr/bin/python3 (python3-pyatspi), on a session bus where
at-spi-bus-launcher runs and with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 set for the program.

  atspi.py wait-window TITLE [SECONDS]        exit 0 once a window named TITLE shows
  atspi.py press WINDOW NAME                  press the control named NAME
  atspi.py set-text WINDOW NAME|#N TEXT       set an editable text (by name, or the N-th one)
  atspi.py get-text WINDOW NAME|#N            print it
  atspi.py states WINDOW NAME                 print the control's states, one per line
  atspi.py names WINDOW ROLE                  print the names of the controls of a role
  atspi.py dump WINDOW                        print the tree (role and name), for debugging
  atspi.py menu READY [ITEM]                  waits for a menu item to take the focus (a
                                              popup menu is not in the tree: it is seen as
                                              assistive tools see it, by its focus events);
                                              touches READY once listening. Prints the menu's
                                              name, then its items, one a line: name, then
                                              "checked" when it is; with ITEM, chooses it
  atspi.py time-press WINDOW NAME [NEW]       press NAME; print "PREP AFTER": the seconds this
                                              tool took to get there, and from the press until
                                              window NEW showed (-1 without NEW)

WINDOW is the accessible name (title) of a top-level window of any application. Exit status
1 with a message on stderr when something is not found within the timeout (ATSPI_TIMEOUT,
10 s by default).
"""
import time

STARTED = time.time()

import os  # noqa: E402
import sys  # noqa: E402

import pyatspi  # noqa: E402

TIMEOUT = float(os.environ.get("ATSPI_TIMEOUT", "10"))
WINDOW_ROLES = (pyatspi.ROLE_FRAME, pyatspi.ROLE_DIALOG, pyatspi.ROLE_WINDOW, pyatspi.ROLE_FILLER)


def fail(message):
    print("atspi: " + message, file=sys.stderr)
    sys.exit(1)


def children(node):
    try:
        return [node.getChildAtIndex(i) for i in range(node.childCount)]
    except Exception:  # an application that went away while we looked
        return []


def walk(node, depth=0):
    yield node, depth
    for child in children(node):
        if child is not None:
            yield from walk(child, depth + 1)


def find_window(title):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in children(desktop):
        for window in children(app):
            if window is not None and window.name == title and window.getRole() in WINDOW_ROLES:
                return window
    return None


def retry(what, probe):
    deadline = time.monotonic() + TIMEOUT
    while True:
        found = probe()
        if found is not None:
            return found
        if time.monotonic() > deadline:
            fail(what + " not found")
        time.sleep(0.1)


MENU_ITEM_ROLES = (pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_CHECK_MENU_ITEM, pyatspi.ROLE_RADIO_MENU_ITEM)


def menu_by_focus(ready, item):
    from gi.repository import GLib

    found = []

    def on_focus(event):
        node = event.source
        if found or not event.detail1 or node is None or node.getRole() not in MENU_ITEM_ROLES:
            return
        found.append(node.parent)
        pyatspi.Registry.stop()

    pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
    GLib.timeout_add(int(TIMEOUT * 1000), lambda: pyatspi.Registry.stop())
    GLib.idle_add(lambda: open(ready, "w").close())
    pyatspi.Registry.start()
    if not found:
        fail("no menu item took the focus")
    menu = found[0]
    items = [n for n in children(menu) if n is not None and n.getRole() in MENU_ITEM_ROLES]
    print(menu.name)
    for n in items:
        print(n.name + (" checked" if n.getState().contains(pyatspi.STATE_CHECKED) else ""))
    if item is not None:
        chosen = [n for n in items if n.name == item]
        if not chosen:
            fail("no item %r in menu %r" % (item, menu.name))
        press(chosen[0])


def window(title):
    return retry("window %r" % title, lambda: find_window(title))


def control(title, name, pressable=False, editable=False):
    def probe():
        w = find_window(title)
        if w is None:
            return None
        if name.startswith("#"):
            edits = [n for n, _ in walk(w) if is_editable(n)]
            index = int(name[1:])
            return edits[index] if index < len(edits) else None
        for node, _ in walk(w):
            if node.name != name or node is w:
                continue
            if (not pressable or has_action(node)) and (not editable or is_editable(node)):
                return node
        return None
    return retry("control %r in %r" % (name, title), probe)


def has_action(node):
    # A group box may carry the name of the button or edit inside it, a slider that of its number.
    try:
        return node.queryAction().nActions > 0
    except NotImplementedError:
        return False


def is_editable(node):
    try:
        node.queryEditableText()
        return node.getState().contains(pyatspi.STATE_EDITABLE)
    except NotImplementedError:
        return False


def press(node):
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    # Qt offers only "Toggle" on checkable buttons.
    for wanted in ("press", "click", "Press", "Toggle", "toggle", "SetFocus"):
        if wanted in names:
            action.doAction(names.index(wanted))
            return
    if names:
        action.doAction(0)
        return
    fail("%r has no action" % node.name)


def main(argv):
    if len(argv) < 2:
        fail(__doc__)
    command, args = argv[1], argv[2:]
    if command == "wait-window":
        global TIMEOUT
        if len(args) > 1:
            TIMEOUT = float(args[1])
        window(args[0])
    elif command == "press":
        press(control(args[0], args[1], pressable=True))
    elif command == "time-press":
        node = control(args[0], args[1], pressable=True)
        pressed = time.time()
        press(node)
        after = -1.0
        if len(args) > 2:
            window(args[2])
            after = time.time() - pressed
        print("%.3f %.3f" % (pressed - STARTED, after))
    elif command == "set-text":
        node = control(args[0], args[1], editable=True)
        editable = node.queryEditableText()
        editable.setTextContents(args[2])
    elif command == "get-text":
        text = control(args[0], args[1], editable=True).queryText()
        print(text.getText(0, text.characterCount))
    elif command == "states":
        for state in control(args[0], args[1]).getState().getStates():
            print(pyatspi.stateToString(state))
    elif command == "names":
        role = getattr(pyatspi, "ROLE_" + args[1].upper().replace(" ", "_"))
        for node, _ in walk(window(args[0])):
            if node.getRole() == role:
                print(node.name)
    elif command == "menu":
        menu_by_focus(args[0], args[1] if len(args) > 1 else None)
    elif command == "dump":
        for node, depth in walk(window(args[0])):
            print("  " * depth + "%s %r" % (node.getRoleName(), node.name))
    else:
        fail("unknown command " + command)


if __name__ == "__main__":
    main(sys.argv)
