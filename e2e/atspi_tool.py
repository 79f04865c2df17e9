"""Reads and presses widgets of a running program through the accessibility bus (AT-SPI).

Run with Debian's /usr/bin/python3 (it needs gi and Atspi), by e2e/accessibility.py:

    atspi_tool.py press PID TITLE CAPTION   press the push button CAPTION in window TITLE
    atspi_tool.py items PID TITLE           print the items of the window's list, one a line
    atspi_tool.py dump PID TITLE            print the window's tree of roles and names
    atspi_tool.py box PID TITLE CAPTION     print the check box's state: checked or unchecked,
                                            then enabled or disabled
    atspi_tool.py toggle PID TITLE CAPTION  toggle the check box CAPTION, as a click does
    atspi_tool.py keys PID TITLE KEY COUNT  type KEY (xdotool's name) COUNT times into the
                                            focused window; before the first and after each,
                                            print the focused control: role TAB name

Exit code 0 on success, 1 when the window, button or list is not (yet) there.
"""

import sys

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402


def _children(node):
    try:
        count = node.get_child_count()
    except Exception:  # a node that went away while we walked
        return []
    out = []
    for i in range(count):
        try:
            child = node.get_child_at_index(i)
        except Exception:
            child = None
        if child is not None:
            out.append(child)
    return out


def _walk(node, depth=0):
    yield node
    if depth < 40:
        for child in _children(node):
            yield from _walk(child, depth + 1)


def _window(pid, title):
    """The top-level window of the process with this title (its role varies: a frame under a
    window manager, a filler without one)."""
    desktop = Atspi.get_desktop(0)
    for app in _children(desktop):
        try:
            if app.get_process_id() != pid:
                continue
        except Exception:
            continue
        for node in _children(app):
            try:
                if node.get_name() == title:
                    return node
            except Exception:
                continue
    return None


def press(pid, title, caption):
    window = _window(pid, title)
    if window is None:
        return 1
    for node in _walk(window):
        try:
            if node.get_role() != Atspi.Role.PUSH_BUTTON:
                continue
            if node.get_name().replace("&", "") != caption:
                continue
            action = node.get_action_iface()
            for i in range(action.get_n_actions()):
                if action.get_action_name(i).lower() in ("press", "click"):
                    return 0 if action.do_action(i) else 1
        except Exception:
            continue
    return 1


def _check_box(window, caption):
    for node in _walk(window):
        try:
            if (node.get_role() == Atspi.Role.CHECK_BOX
                    and node.get_name().replace("&", "") == caption):
                return node
        except Exception:
            continue
    return None


def box(pid, title, caption):
    window = _window(pid, title)
    node = _check_box(window, caption) if window is not None else None
    if node is None:
        return 1
    states = node.get_state_set()
    print("checked" if states.contains(Atspi.StateType.CHECKED) else "unchecked")
    print("enabled" if states.contains(Atspi.StateType.ENABLED) else "disabled")
    return 0


def toggle(pid, title, caption):
    window = _window(pid, title)
    node = _check_box(window, caption) if window is not None else None
    if node is None:
        return 1
    action = node.get_action_iface()
    for i in range(action.get_n_actions()):
        if action.get_action_name(i).lower() in ("toggle", "press", "click"):
            return 0 if action.do_action(i) else 1
    return 1


def _focused(window):
    """Role and name of the shown control that has the keyboard focus. Qt marks the current tab
    of every tab bar focused, so tabs count only through their bar: a focused bar is reported
    with the name of its current tab."""
    try:
        window.clear_cache()  # the states as they are now, not as the bus last heard of them
    except Exception:
        pass
    found = None
    pending = [window]
    while pending:
        node = pending.pop()
        try:
            states = node.get_state_set()
            if not states.contains(Atspi.StateType.SHOWING):
                continue  # nor is anything inside it: the other pages are passed over whole
            if (states.contains(Atspi.StateType.FOCUSED)
                    and node.get_role() != Atspi.Role.PAGE_TAB):
                found = node
        except Exception:
            continue
        pending.extend(_children(node))
    if found is None:
        return "none\t"
    try:
        name = found.get_name()
        if found.get_role() == Atspi.Role.PAGE_TAB_LIST:
            for tab in _children(found):
                if tab.get_state_set().contains(Atspi.StateType.FOCUSED):
                    name = tab.get_name()
        return f"{found.get_role_name()}\t{name}"
    except Exception:
        return "gone\t"


def keys(pid, title, key, count):
    import subprocess
    import time

    window = _window(pid, title)
    if window is None:
        return 1
    print(_focused(window), flush=True)
    for _ in range(count):
        subprocess.run(["xdotool", "key", "--clearmodifiers", key], check=True, timeout=10)
        # The focus moves on the program's next turn of its loop.
        time.sleep(0.15)
        print(_focused(window), flush=True)
    return 0


def items(pid, title):
    window = _window(pid, title)
    if window is None:
        return 1
    for node in _walk(window):
        try:
            if node.get_role() != Atspi.Role.LIST:
                continue
        except Exception:
            continue
        for child in _children(node):
            try:
                print(child.get_name())
            except Exception:
                pass
        return 0
    return 1


def dump(pid, title):
    window = _window(pid, title)
    if window is None:
        # Not found: show what the program's application node holds instead.
        for app in _children(Atspi.get_desktop(0)):
            try:
                if app.get_process_id() == pid:
                    window = app
            except Exception:
                continue
    if window is None:
        print(f"no application of process {pid} on the accessibility bus")
        return 1

    def show(node, depth):
        try:
            print("  " * depth + f"{node.get_role_name()} {node.get_name()!r}")
        except Exception:
            return
        if depth < 12:
            for child in _children(node):
                show(child, depth + 1)

    show(window, 0)
    return 0


def main(argv):
    Atspi.init()
    if len(argv) == 5 and argv[1] == "press":
        return press(int(argv[2]), argv[3], argv[4])
    if len(argv) == 4 and argv[1] == "dump":
        return dump(int(argv[2]), argv[3])
    if len(argv) == 4 and argv[1] == "items":
        return items(int(argv[2]), argv[3])
    if len(argv) == 5 and argv[1] in ("box", "toggle"):
        return (box if argv[1] == "box" else toggle)(int(argv[2]), argv[3], argv[4])
    if len(argv) == 6 and argv[1] == "keys":
        return keys(int(argv[2]), argv[3], argv[4], int(argv[5]))
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
