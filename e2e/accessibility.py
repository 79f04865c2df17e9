"""The program's widgets as the accessibility bus shows them (Sandbox.start_accessibility() first).

The work is done by atspi_tool.py under Debian's /usr/bin/python3, which has gi and Atspi."""

import os
import subprocess

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), "atspi_tool.py")


def _run(sandbox, *args):
    result = subprocess.run(["/usr/bin/python3", TOOL, *map(str, args)], env=sandbox.env,
                            capture_output=True, text=True, timeout=30)
    return result.returncode, result.stdout


def press(sandbox, app, title, caption):
    """Presses the push button `caption` of the window `title`; False when not found."""
    return _run(sandbox, "press", app.pid, title, caption)[0] == 0


def list_items(sandbox, app, title):
    """The lines of the window's list, or None when the window or its list is not found."""
    rc, out = _run(sandbox, "items", app.pid, title)
    return out.splitlines() if rc == 0 else None


def dump(sandbox, app, title):
    """The window's tree of roles and names, for a failure message."""
    return _run(sandbox, "dump", app.pid, title)[1]


def check_box(sandbox, app, title, caption):
    """(checked, enabled) of the window's check box `caption`, or None when not found."""
    rc, out = _run(sandbox, "box", app.pid, title, caption)
    lines = out.split()
    if rc != 0 or len(lines) != 2:
        return None
    return lines[0] == "checked", lines[1] == "enabled"


def toggle(sandbox, app, title, caption):
    """Toggles the window's check box `caption` as a click does; False when not found."""
    return _run(sandbox, "toggle", app.pid, title, caption)[0] == 0


def focus_after_keys(sandbox, app, title, key, count):
    """Types `key` (an xdotool key name) `count` times into the window that has the keyboard
    focus; returns the focused widget, as (role, name), before the first key and after each, or
    None when the window is not found."""
    result = subprocess.run(["/usr/bin/python3", TOOL, "keys", str(app.pid), title, key,
                             str(count)], env=sandbox.env, capture_output=True, text=True,
                            timeout=60 + 2 * count)
    if result.returncode != 0:
        return None
    return [tuple(line.split("\t", 1)) for line in result.stdout.splitlines()]
