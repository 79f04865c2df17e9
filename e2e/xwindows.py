"""Finding, reading and closing X windows of the program under test.

Searching uses xdotool; the polite close request (WM_DELETE_WINDOW, what a title-bar close button
sends) goes through libX11 with ctypes, because xdotool of Debian 12 has no such command and the test
display usually runs no window manager that could send it. Where a test runs one, the frame it draws
around a window is read from the window manager's own properties with xprop.
"""

import ctypes
import ctypes.util
import re
import subprocess
import time


def _xdotool(*args, timeout=10):
    result = subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=timeout)
    return result.returncode, result.stdout


def search(name_regex=None, pid=None, visible=True):
    """Window ids matching a title regex and/or a process id; empty when none."""
    args = ["search"]
    if visible:
        args.append("--onlyvisible")
    if pid is not None:
        args += ["--pid", str(pid)]
    if name_regex is not None:
        args += ["--name", name_regex]
    rc, out = _xdotool(*args)
    if rc != 0:
        return []
    return [int(line) for line in out.split() if line.strip().isdigit()]


def name(window):
    rc, out = _xdotool("getwindowname", str(window))
    return out.rstrip("\n") if rc == 0 else None


def pid_of(window):
    rc, out = _xdotool("getwindowpid", str(window))
    return int(out) if rc == 0 and out.strip().isdigit() else None


def size(window):
    """(width, height) of a window, or None when it is gone."""
    rc, out = _xdotool("getwindowgeometry", str(window))
    match = re.search(r"Geometry:\s*(\d+)x(\d+)", out) if rc == 0 else None
    return (int(match.group(1)), int(match.group(2))) if match else None


def _xprop(*args):
    result = subprocess.run(["xprop", *args], capture_output=True, text=True, timeout=10)
    return result.stdout if result.returncode == 0 else ""


def _cardinals(text):
    """The numbers of an xprop line "NAME(CARDINAL) = 1, 2, 3"; [] when the property is unset."""
    if "=" not in text:
        return []
    return [int(n) for n in re.findall(r"-?\d+", text.split("=", 1)[1])]


def window_manager():
    """The name the running window manager gives itself, or None when none runs."""
    supporting = _xprop("-root", "-notype", "_NET_SUPPORTING_WM_CHECK")
    match = re.search(r"window id # (0x[0-9a-fA-F]+)", supporting)
    if not match:
        return None
    out = _xprop("-id", match.group(1), "-notype", "_NET_WM_NAME")
    found = re.search(r'= "(.*)"', out)
    return found.group(1) if found else "unnamed"


def geometry(window):
    """(x, y, width, height) of a window's client area in root coordinates, or None when gone."""
    result = subprocess.run(["xwininfo", "-id", str(window)], capture_output=True, text=True,
                            timeout=10)
    if result.returncode != 0:
        return None
    fields = {}
    for key, label in (("x", "Absolute upper-left X"), ("y", "Absolute upper-left Y"),
                       ("w", "Width"), ("h", "Height")):
        match = re.search(label + r":\s*(-?\d+)", result.stdout)
        if not match:
            return None
        fields[key] = int(match.group(1))
    return fields["x"], fields["y"], fields["w"], fields["h"]


def frame_extents(window):
    """(left, right, top, bottom) of the frame the window manager drew around the window, from
    _NET_FRAME_EXTENTS; None while the window manager has not set it."""
    numbers = _cardinals(_xprop("-id", str(window), "_NET_FRAME_EXTENTS"))
    return tuple(numbers) if len(numbers) == 4 else None


def screen_size():
    """(width, height) of the root window."""
    root = subprocess.run(["xwininfo", "-root"], capture_output=True, text=True, timeout=10)
    width = re.search(r"Width:\s*(\d+)", root.stdout)
    height = re.search(r"Height:\s*(\d+)", root.stdout)
    return int(width.group(1)), int(height.group(1))


def work_area():
    """(x, y, width, height) the window manager leaves to windows (_NET_WORKAREA), or None."""
    numbers = _cardinals(_xprop("-root", "_NET_WORKAREA"))
    return tuple(numbers[:4]) if len(numbers) >= 4 else None


def press_key(window, key):
    """Gives a window the keyboard focus and types a key into it (XTEST, as a user would)."""
    _xdotool("windowfocus", str(window))
    time.sleep(0.2)
    _xdotool("key", "--clearmodifiers", key)


class _ClientMessage(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int),
        ("serial", ctypes.c_ulong),
        ("send_event", ctypes.c_int),
        ("display", ctypes.c_void_p),
        ("window", ctypes.c_ulong),
        ("message_type", ctypes.c_ulong),
        ("format", ctypes.c_int),
        ("data", ctypes.c_long * 5),
    ]


class _Event(ctypes.Union):
    _fields_ = [("xclient", _ClientMessage), ("pad", ctypes.c_long * 24)]


_CLIENT_MESSAGE = 33


def _libx11():
    path = ctypes.util.find_library("X11") or "libX11.so.6"
    lib = ctypes.CDLL(path)
    lib.XOpenDisplay.restype = ctypes.c_void_p
    lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    lib.XInternAtom.restype = ctypes.c_ulong
    lib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    lib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(_Event)]
    lib.XFlush.argtypes = [ctypes.c_void_p]
    lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
    return lib


def request_close(window):
    """Sends WM_DELETE_WINDOW to a window, as a window manager does for its close button."""
    lib = _libx11()
    display = lib.XOpenDisplay(None)
    if not display:
        raise RuntimeError("cannot open the X display")
    try:
        event = _Event()
        event.xclient.type = _CLIENT_MESSAGE
        event.xclient.window = window
        event.xclient.message_type = lib.XInternAtom(display, b"WM_PROTOCOLS", 0)
        event.xclient.format = 32
        event.xclient.data[0] = lib.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        event.xclient.data[1] = 0  # CurrentTime
        lib.XSendEvent(display, window, 0, 0, ctypes.byref(event))
        lib.XFlush(display)
    finally:
        lib.XCloseDisplay(display)
