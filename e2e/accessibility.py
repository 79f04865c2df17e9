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
