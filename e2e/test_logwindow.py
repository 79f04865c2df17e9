"""The recently-blocked log window on the real binary: answered ads show in it, and its export
lands in a private file that is handed to the user's text editor.

The tray menu has no entry for the log window; it opens from the settings window's "Logging"
button. The window's list and buttons are reached through the accessibility bus, which reads the
list's lines as they are shown, whatever the layout or theme.
"""

import os
import stat
import subprocess

import accessibility
from harness import CAPTION, check, log, start_and_settle, wait_until
import xwindows
from registry import test
from test_adblock import blocked_names, wait_blocking

LOG_TITLE = "Recent Ads Blocked"
REFRESH_WAIT = 12  # the list refreshes every 5 s; generous for a loaded machine


def fake_editor(sandbox):
    """Puts an xdg-open first on PATH that records its arguments and a copy of the file it was
    given (as the file was when opened); returns (arguments file, copy)."""
    folder = os.path.join(sandbox.work, "fakebin")
    os.makedirs(folder, exist_ok=True)
    args_file = os.path.join(sandbox.work, "xdg-open.args")
    copy = os.path.join(sandbox.work, "xdg-open.copy")
    script = os.path.join(folder, "xdg-open")
    with open(script, "w") as handle:
        handle.write("#!/bin/sh\n"
                     f"cat \"$1\" > '{copy}.tmp' && mv '{copy}.tmp' '{copy}'\n"
                     f"printf '%s\\n' \"$@\" >> '{args_file}'\n")
    os.chmod(script, 0o755)
    sandbox.env["PATH"] = folder + os.pathsep + sandbox.env.get("PATH", "/usr/bin:/bin")
    return args_file, copy


def answer_ad(sandbox, name, referer, agent):
    """Requests a banner from a blocked name, so the placeholder server answers it."""
    subprocess.run(["curl", "-s", "--http0.9", "--noproxy", "*", "--max-time", "5", "-o",
                    os.devnull, "-e", referer, "-A", agent, f"http://{name}/banner.gif"],
                   env=sandbox.env, capture_output=True)


def read_text(path):
    try:
        with open(path, "rb") as handle:
            return handle.read().decode("latin-1")
    except FileNotFoundError:
        return None


@test("logwindow_shows_and_exports_answered_ads")
def logwindow_shows_and_exports_answered_ads(sandbox):
    """Answered ads show in the log window opened by "Logging", newest first, and a new one
    within the 5 s refresh; "Copy" writes them to $XDG_RUNTIME_DIR/halvern/tempZV.txt (0600 in a
    0700 folder) and hands that file to xdg-open."""
    args_file, copy = fake_editor(sandbox)
    sandbox.start_accessibility()
    names = blocked_names(sandbox)
    with open(os.path.join(sandbox.app_dir, "1by1.jpg"), "rb") as handle:
        placeholder = handle.read()
    app = start_and_settle(sandbox)
    wait_blocking(sandbox, names, placeholder)  # answers names[0] once
    first, second = names[1], names[2]
    answer_ad(sandbox, first, "http://page-one.example/news", "e2e-agent/1")

    check(wait_until(lambda: accessibility.press(sandbox, app, CAPTION, "Logging"), 15, 0.5),
          "the settings window's Logging button was not found on the accessibility bus"
          + app.log_tail())
    check(wait_until(lambda: xwindows.search(name_regex="^" + LOG_TITLE + "$"), 10),
          f"no window '{LOG_TITLE}' showed after Logging was pressed" + app.log_tail())

    def lines_with(*wanted):
        lines = accessibility.list_items(sandbox, app, LOG_TITLE)
        if lines and all(any(f"'{w}'" in line for line in lines) for w in wanted):
            return lines
        return None

    lines = wait_until(lambda: lines_with(names[0], first), 10, 0.5)
    check(lines, f"the log window does not list the answered ads {names[0]}, {first}: "
          f"{accessibility.list_items(sandbox, app, LOG_TITLE)}\n"
          + accessibility.dump(sandbox, app, LOG_TITLE))
    log(f"log window: {lines}")
    line = next(line for line in lines if f"'{first}'" in line)
    # The page and agent keep the blank that follows the header's colon.
    check("' http://page-one.example/news'" in line and "' e2e-agent/1'" in line,
          f"the line of {first} lacks its page or agent: {line!r}")
    check(lines.index(line) < next(i for i, l in enumerate(lines) if f"'{names[0]}'" in l),
          f"the newer ad {first} is not above the older {names[0]}: {lines}")

    # An ad answered while the window is open shows at the top at the next refresh.
    answer_ad(sandbox, second, "http://page-two.example/", "e2e-agent/2")
    lines = wait_until(lambda: lines_with(second), REFRESH_WAIT, 0.5)
    check(lines, f"{second} did not show within {REFRESH_WAIT} s of being answered: "
          f"{accessibility.list_items(sandbox, app, LOG_TITLE)}")
    check(f"'{second}'" in lines[0], f"the newest ad {second} is not the first line: {lines}")

    # Copy: the private file, handed to the editor.
    check(accessibility.press(sandbox, app, LOG_TITLE, "Copy"), "the Copy button was not found")
    opened = wait_until(lambda: read_text(args_file), 10)
    check(opened, "Copy did not start xdg-open" + app.log_tail())
    runtime = sandbox.env["XDG_RUNTIME_DIR"]
    expected = os.path.join(runtime, "halvern", "tempZV.txt")
    check(opened.splitlines() == [expected],
          f"xdg-open was given {opened.splitlines()}, not [{expected!r}]")
    folder_mode = stat.S_IMODE(os.lstat(os.path.dirname(expected)).st_mode)
    file_mode = stat.S_IMODE(os.lstat(expected).st_mode)
    check(folder_mode == 0o700, f"the export folder has mode {folder_mode:o}, not 700")
    check(file_mode == 0o600, f"the exported file has mode {file_mode:o}, not 600")
    check(stat.S_ISREG(os.lstat(expected).st_mode), "the exported file is not a plain file")

    shown = accessibility.list_items(sandbox, app, LOG_TITLE)
    text = wait_until(lambda: read_text(copy), 5)
    check(text is not None, "the editor stub could not read the exported file")
    check(text == read_text(expected), "the file changed after it was handed to the editor")
    check(text.endswith("\r\n\r\n") and "\n" not in text.replace("\r\n", ""),
          f"the export is not CR LF lines closed by an empty line: {text[-40:]!r}")
    exported = text.split("\r\n")[:-2]
    log(f"export: {exported}")
    check(exported == shown, f"the export {exported} is not the list as shown {shown}")
    for name in (names[0], first, second):
        check(any(f"'{name}'" in row for row in exported), f"the export lacks {name}")
    check(app.alive(), "zorvik ended" + app.log_tail())


def handed(args_file, count, timeout=10):
    """The first `count` paths given to xdg-open, once there are that many; None before."""
    paths = wait_until(lambda: (lambda t: t and len(t.splitlines()) >= count and t.splitlines())(
        read_text(args_file)), timeout)
    return paths[:count] if paths else None


def private_file(path):
    """Why the exported file is not a plain 0600 file in a 0700 folder; "" when it is."""
    st = os.lstat(path)
    folder = stat.S_IMODE(os.lstat(os.path.dirname(path)).st_mode)
    if not stat.S_ISREG(st.st_mode):
        return f"{path} is not a plain file"
    if stat.S_IMODE(st.st_mode) != 0o600 or folder != 0o700:
        return f"{path} has mode {stat.S_IMODE(st.st_mode):o} in a folder of mode {folder:o}"
    return ""


def press_in_box(sandbox, app, title, caption):
    return wait_until(lambda: accessibility.press(sandbox, app, title, caption), 10, 0.3)


@test("logwindow_clear_and_hostile_export_folder")
def logwindow_clear_and_hostile_export_folder(sandbox):
    """Opened before any ad, the window explains that nothing was blocked; "Clear Log" answered
    No keeps the records and Yes empties them. An export replaces a link planted at its name
    without writing through it, and a folder open to others is not used: the export goes to the
    private folder under ~/.cache instead."""
    args_file, copy = fake_editor(sandbox)
    sandbox.start_accessibility()
    runtime_folder = os.path.join(sandbox.env["XDG_RUNTIME_DIR"], "halvern")
    os.makedirs(runtime_folder, mode=0o700)
    victim = os.path.join(sandbox.work, "victim.txt")
    with open(victim, "w") as handle:
        handle.write("not for the log\n")
    os.symlink(victim, os.path.join(runtime_folder, "tempZV.txt"))
    names = blocked_names(sandbox)
    app = start_and_settle(sandbox)
    check(wait_until(lambda: accessibility.press(sandbox, app, CAPTION, "Logging"), 15, 0.5),
          "the settings window's Logging button was not found" + app.log_tail())
    empty = ["No Ads Blocked by Host (ad server) yet during this Zorvik session."]
    lines = wait_until(lambda: accessibility.list_items(sandbox, app, LOG_TITLE), 10, 0.5)
    check(lines == empty, f"the log window opened before any ad shows {lines}, not {empty}")

    # The block list is in place once the server answers; this ad shows at the next refresh.
    check(wait_until(lambda: answer_ad(sandbox, names[3], "http://p.example/", "a") or any(
        f"'{names[3]}'" in line for line in accessibility.list_items(sandbox, app, LOG_TITLE)
        or []), 20, 1.0), f"{names[3]} never showed in the log window" + app.log_tail())

    check(accessibility.press(sandbox, app, LOG_TITLE, "Copy"), "the Copy button was not found")
    paths = handed(args_file, 1)
    expected = os.path.join(runtime_folder, "tempZV.txt")
    check(paths == [expected], f"xdg-open was given {paths}, not [{expected!r}]")
    check(read_text(victim) == "not for the log\n", "the export wrote through the planted link")
    check(not private_file(expected), private_file(expected))
    check(f"'{names[3]}'" in (read_text(expected) or ""), f"the export lacks {names[3]}")

    os.chmod(runtime_folder, 0o755)
    check(accessibility.press(sandbox, app, LOG_TITLE, "Copy"), "the Copy button was not found")
    paths = handed(args_file, 2)
    fallback = os.path.join(sandbox.env["HOME"], ".cache", "halvern", "tempZV.txt")
    check(paths and paths[1] == fallback,
          f"with {runtime_folder} open to others xdg-open was given {paths}, not {fallback!r}")
    check(not private_file(fallback), private_file(fallback))
    check(f"'{names[3]}'" in (read_text(fallback) or ""), f"the second export lacks {names[3]}")

    for answer, kept in (("No", True), ("Yes", False)):
        check(accessibility.press(sandbox, app, LOG_TITLE, "Clear Log"),
              "the Clear Log button was not found")
        check(press_in_box(sandbox, app, "Clear Log?", answer),
              f"no 'Clear Log?' box with a {answer} button showed" + app.log_tail())
        check(wait_until(lambda: not xwindows.search(name_regex="^Clear Log\\?$"), 10),
              f"the 'Clear Log?' box stayed after {answer}")
        want = (lambda ls: ls and any(f"'{names[3]}'" in l for l in ls)) if kept else (
            lambda ls: ls == empty)
        lines = wait_until(lambda: want(accessibility.list_items(sandbox, app, LOG_TITLE))
                           and accessibility.list_items(sandbox, app, LOG_TITLE), REFRESH_WAIT, 0.5)
        check(lines, f"after Clear Log answered {answer} the log shows "
              f"{accessibility.list_items(sandbox, app, LOG_TITLE)}")
    check(app.alive(), "zorvik ended" + app.log_tail())
