#!/usr/bin/python3
"""Drives windows through AT-SPI, the way assistive tools do. Run with Debian's python3.

  atspi.py wait-window TITLE [SECONDS]            exits 0 once a frame/dialog named TITLE shows
  atspi.py press WINDOW_TITLE NAME                 presses the control named NAME
  atspi.py set-text WINDOW_TITLE NAME_OR_INDEX TEXT  sets an editable text (#N: the N-th one)
  atspi.py get-text WINDOW_TITLE NAME_OR_INDEX     prints it
  atspi.py states WINDOW_TITLE NAME                prints the control's states
  atspi.py dump WINDOW_TITLE                       prints the tree (role, name)

A control is found by its accessible name, or by its description when it has no name (picture
buttons that only carry a tooltip). Window titles match when they contain TITLE.
"""
import sys
import time

import pyatspi

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


def find_window(title, seconds=10.0):
    end = time.time() + seconds
    while True:
        for w in windows():
            try:
                if w.getRole() in WINDOW_ROLES and title in (w.name or ""):
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


def find_control(window, name, editable=False, seconds=5.0):
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
        press(find_control(find_window(args[0]), args[1]))
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
    elif cmd == "dump":
        for node, depth in walk(find_window(args[0])):
            print("%s%s %r %r" % ("  " * depth, node.getRoleName(), node.name, node.description))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
