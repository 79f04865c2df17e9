"""The settings window under a real window manager."""

import xwindows
from harness import check, finish_first_start, log, wait_until
from registry import test


def frame_of(window):
    """(x, y, width, height) of the window's frame, title bar included, once the window manager
    has framed it; None before."""
    extents = xwindows.frame_extents(window)
    client = xwindows.geometry(window)
    if not extents or not client:
        return None
    left, right, top, bottom = extents
    x, y, width, height = client
    return x - left, y - top, width + left + right, height + top + bottom


@test("title_bar_on_screen")
def title_bar_on_screen(sandbox):
    """Under a window manager the whole frame, title bar first, is on the screen after the first
    start, with its corner at the stored place (or pushed onto the work area)."""
    sandbox.start_window_manager()
    app = sandbox.launch()
    window = app.wait_main_window()
    finish_first_start(sandbox, app)
    window = app.main_windows()[0]
    framed = wait_until(lambda: (xwindows.frame_extents(window) or (0, 0, 0, 0))[2] > 0, 5)
    check(framed, f"the window manager drew no title bar: extents {xwindows.frame_extents(window)}")
    frame = frame_of(window)
    screen_width, screen_height = xwindows.screen_size()
    area = xwindows.work_area() or (0, 0, screen_width, screen_height)
    log(f"frame {frame}, extents {xwindows.frame_extents(window)}, work area {area}")
    x, y, width, height = frame
    check(y >= area[1] and x >= area[0],
          f"the frame's corner ({x}, {y}) is outside the work area {area}: the title bar is "
          "out of reach")
    check(y + xwindows.frame_extents(window)[2] <= area[1] + area[3] and x + width <= screen_width,
          f"the frame {frame} does not fit on the {screen_width}x{screen_height} screen")
    # The stored place is 100 twips from the top left corner of the screen: 6 pixels.
    check(x == max(6, area[0]) and y == max(6, area[1]),
          f"the frame's corner is at ({x}, {y}), not at the stored place (6, 6)")
    check(app.alive(), "zorvik ended" + app.log_tail())
