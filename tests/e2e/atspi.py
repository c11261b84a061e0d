#!/usr/bin/python3
"""Drives windows through AT-SPI, the way assistive tools do. Run with Debian's python3.

  atspi.py wait-window TITLE [SECONDS]            exits 0 once a frame/dialog named TITLE shows
  atspi.py press WINDOW_TITLE NAME                 presses the control named NAME
  atspi.py set-text WINDOW_TITLE NAME_OR_INDEX TEXT  sets an editable text (#N: the N-th one)
  atspi.py get-text WINDOW_TITLE NAME_OR_INDEX     prints it
  atspi.py states WINDOW_TITLE NAME                prints the control's states
  atspi.py dump WINDOW_TITLE                       prints the tree (role, name)
  atspi.py time-press WINDOW_TITLE NAME [NEW_TITLE]  presses NAME and prints "PREP AFTER": the
                                                   seconds this tool took to get there, and
                                                   from the press until NEW_TITLE showed

A control is found by its accessible name, or by its description when it has no name (picture
buttons that only carry a tooltip). Window titles match when they contain TITLE.
"""
import time

STARTED = time.time()

import sys  # noqa: E402

import pyatspi  # noqa: E402

WINDOW_ROLES = (pyatspi.ROLE_FRAME, pyatspi.ROLE_DIALOG, pyatspi.ROLE_WINDOW, pyatspi.ROLE_FILLER)


def windows():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is None:
            continue
        try:
            for w in app:
                if w is not None:
                    yield w
        except Exception:
            continue


def find_window(title, seconds=10.0, exclude=None):
    end = time.time() + seconds
    while True:
        for w in windows():
            try:
                name = w.name or ""
                if w.getRole() in WINDOW_ROLES and title in name and name != exclude:
                    return w
            except Exception:
                pass
        if time.time() >= end:
            sys.exit("atspi: no window titled %r" % title)
        time.sleep(0.05)


def walk(node, depth=0):
    yield node, depth
    try:
        for child in node:
            if child is not None:
                yield from walk(child, depth + 1)
    except Exception:
        return


def is_editable(node):
    try:
        node.queryEditableText()
        return True
    except NotImplementedError:
        return False
    except Exception:
        return False


def is_pressable(node):
    try:
        return node.queryAction().nActions > 0
    except Exception:
        return False


def find_control(window, name, editable=False, seconds=5.0, pressable=False):
    end = time.time() + seconds
    while True:
        if name.startswith("#"):
            wanted = int(name[1:])
            texts = [n for n, _ in walk(window) if is_editable(n)]
            if wanted < len(texts):
                return texts[wanted]
        else:
            described = None
            for node, _ in walk(window):
                if editable and not is_editable(node):
                    continue
                if pressable and not is_pressable(node):
                    continue
                if node.name == name:
                    return node
                if not node.name and node.description == name and described is None:
                    described = node
            if described is not None:
                return described
        if time.time() >= end:
            sys.exit("atspi: no control %r in %r" % (name, window.name))
        time.sleep(0.05)


def press(node):
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    for wanted in ("press", "click", "Press", "activate", "toggle"):
        if wanted in names:
            action.doAction(names.index(wanted))
            return
    if names:
        action.doAction(0)
        return
    sys.exit("atspi: %r cannot be pressed" % node.name)


def main(argv):
    if len(argv) < 2:
        sys.exit(__doc__)
    cmd, args = argv[1], argv[2:]
    if cmd == "wait-window":
        find_window(args[0], float(args[1]) if len(args) > 1 else 10.0)
    elif cmd == "press":
        press(find_control(find_window(args[0]), args[1], pressable=True))
    elif cmd == "set-text":
        node = find_control(find_window(args[0]), args[1], editable=True)
        text = node.queryEditableText()
        text.setTextContents(args[2])
    elif cmd == "get-text":
        node = find_control(find_window(args[0]), args[1], editable=True)
        t = node.queryText()
        print(t.getText(0, t.characterCount))
    elif cmd == "states":
        node = find_control(find_window(args[0]), args[1])
        print(" ".join(pyatspi.stateToString(s) for s in node.getState().getStates()))
    elif cmd == "time-press":
        node = find_control(find_window(args[0]), args[1], pressable=True)
        pressed = time.time()
        press(node)
        after = -1.0
        if len(args) > 2:
            find_window(args[2], 20.0, exclude=args[0] if args[2] in args[0] else None)
            after = time.time() - pressed
        print("%.3f %.3f" % (pressed - STARTED, after))
    elif cmd == "dump":
        for node, depth in walk(find_window(args[0])):
            print("%s%s %r %r" % ("  " * depth, node.getRoleName(), node.name, node.description))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
