"""Start with the session: the first start writes Zorvik.desktop into the user's autostart folder,
a desktop session's autostart runs it at the next login and Zorvik comes up in the tray; unticking
"Start when Windows Starts " removes the entry and ticking it writes it again."""

import glob
import os
import shutil
import signal
import subprocess

import accessibility
import xwindows
from harness import CAPTION, check, finish_first_start, log, read_ini, wait_until
from registry import test

CHECK_BOX = "Start when Windows Starts "
ICON_MAX = 64  # pixels: the tray icon's window is never larger than the tray's height
# A program folder with the characters an Exec line must quote and escape.
AWKWARD_FOLDER = "Ann's \"Apps\" $HOME `id` 100% \\ (copy)"


def autostart_folder(sandbox):
    return os.path.join(sandbox.env["XDG_CONFIG_HOME"], "autostart")


def entry_path(sandbox):
    return os.path.join(autostart_folder(sandbox), "Zorvik.desktop")


def read_entry(path):
    """The keys of the file's [Desktop Entry] group, values as written."""
    keys, group = {}, None
    with open(path, encoding="utf-8") as handle:
        for line in handle.read().splitlines():
            if line.startswith("["):
                group = line
            elif group == "[Desktop Entry]" and "=" in line and not line.startswith("#"):
                key, value = line.split("=", 1)
                keys.setdefault(key.strip(), value)
    return keys


def unescape_string(value):
    """A value of type string read back: \\s \\n \\t \\r \\\\ undone."""
    out, i = [], 0
    while i < len(value):
        if value[i] == "\\" and i + 1 < len(value):
            out.append({"s": " ", "n": "\n", "t": "\t", "r": "\r", "\\": "\\"}.get(
                value[i + 1], "\\" + value[i + 1]))
            i += 2
        else:
            out.append(value[i])
            i += 1
    return "".join(out)


def parse_exec(value):
    """The argument vector of an Exec value as a desktop reads it: the string escapes, then the
    quoting (in double quotes a backslash escapes " ` $ and itself), then the field codes (%% is a
    literal %, the others stand for files and URLs, of which an autostart start has none)."""
    line = unescape_string(value)
    words, word, i = [], None, 0
    while i < len(line):
        c = line[i]
        if c in " \t\n":
            if word is not None:
                words.append(word)
            word = None
        elif c == '"':
            i += 1
            quoted = []
            while True:
                check(i < len(line), f"an unterminated quote in Exec={value}")
                if line[i] == '"':
                    break
                if line[i] == "\\":
                    i += 1
                    check(i < len(line) and line[i] in '"`$\\',
                          f"a backslash before {line[i:i + 1]!r} in a quoted argument: {value}")
                quoted.append(line[i])
                i += 1
            word = (word or "") + "".join(quoted)
        else:
            check(c not in "\"'\\><~|&;$*?#()`", f"{c!r} unquoted in Exec={value}")
            word = (word or "") + c
        i += 1
    if word is not None:
        words.append(word)
    expanded = []
    for w in words:
        out, i = [], 0
        while i < len(w):
            if w[i] == "%" and i + 1 < len(w):
                if w[i + 1] == "%":
                    out.append("%")
                i += 2  # a field code expands to nothing when nothing is opened
            else:
                out.append(w[i])
                i += 1
        if out or "%" not in w:
            expanded.append("".join(out))
    return expanded


def start_session_autostart(sandbox):
    """Runs every entry of the user's autostart folder as a desktop session does at login;
    returns the processes started."""
    started = []
    for path in sorted(glob.glob(os.path.join(autostart_folder(sandbox), "*.desktop"))):
        keys = read_entry(path)
        if keys.get("Hidden") == "true" or keys.get("X-GNOME-Autostart-enabled") == "false":
            continue
        argv = parse_exec(keys["Exec"])
        cwd = unescape_string(keys["Path"]) if keys.get("Path") else None
        log(f"autostart {os.path.basename(path)}: {argv} in {cwd}")
        started.append(sandbox.start_helper(argv, "autostart-" + os.path.basename(path), cwd=cwd,
                                            stdout=subprocess.DEVNULL))
    return started


def tray_icon(pid):
    """The process's small window inside the tray host, or None before it is embedded."""
    for window in xwindows.search(pid=pid):
        size = xwindows.size(window)
        if (size and size[0] <= ICON_MAX and size[1] <= ICON_MAX
                and xwindows.name(window) != CAPTION):
            return window
    return None


@test("autostart_entry_starts_zorvik_at_login")
def autostart_entry_starts_zorvik_at_login(sandbox):
    """From a folder whose name needs quoting, the first start writes a valid entry for its very
    executable; after Zorvik stopped, the session's autostart runs that entry's Exec and Zorvik
    comes up with its tray icon."""
    folder = os.path.join(sandbox.work, AWKWARD_FOLDER, "Zorvik Build")
    shutil.copytree(sandbox.app_dir, folder, symlinks=True)
    sandbox.app_dir = folder
    executable = os.path.join(folder, "zorvik")

    app = sandbox.launch()
    app.wait_main_window()
    check(not os.path.exists(entry_path(sandbox)), "the load wrote the autostart entry")
    finish_first_start(sandbox, app)
    entry = entry_path(sandbox)
    check(wait_until(lambda: os.path.exists(entry), 5),
          f"the first start wrote no {entry}" + app.log_tail())
    validation = subprocess.run(["desktop-file-validate", entry], capture_output=True, text=True)
    check(validation.returncode == 0 and not validation.stdout.strip(),
          f"desktop-file-validate: {validation.stdout}{validation.stderr}")
    keys = read_entry(entry)
    check(parse_exec(keys["Exec"]) == [executable],
          f"Exec={keys['Exec']} reads as {parse_exec(keys['Exec'])}, not [{executable!r}]")
    check(unescape_string(keys.get("Icon", "")) == os.path.join(folder, "zv.png"),
          f"Icon={keys.get('Icon')}: not the picture next to the executable")
    check(keys.get("Type") == "Application" and keys.get("Terminal") == "false",
          f"the entry's keys: {keys}")

    code = app.terminate()
    check(code is not None and code >= 0, f"zorvik did not end on SIGTERM ({code})")
    check(read_ini(sandbox.ini)["settings"].get("bstartup") == "True",
          "the exit did not keep bStartup=True")
    check(os.path.exists(entry), "the exit removed the autostart entry")

    started = start_session_autostart(sandbox)
    check(len(started) == 1, f"the autostart folder ran {len(started)} entries, not one")
    session = started[0]
    icon = wait_until(lambda: session.poll() is not None or tray_icon(session.pid), 20)
    check(session.poll() is None, f"the autostarted program ended (exit code {session.returncode})")
    check(icon, "the autostarted program shows no icon in the tray")
    running = os.readlink(f"/proc/{session.pid}/exe")
    check(running == executable, f"the session started {running!r}, not {executable!r}")
    log(f"autostarted zorvik (pid {session.pid}) is in the tray")
    session.send_signal(signal.SIGTERM)
    try:
        session.wait(timeout=10)
    except subprocess.TimeoutExpired:
        check(False, "the autostarted zorvik did not end on SIGTERM")


def box_state(sandbox, app):
    state = wait_until(lambda: accessibility.check_box(sandbox, app, CAPTION, CHECK_BOX), 15, 0.5)
    check(state is not None, f"the check box {CHECK_BOX!r} was not found on the accessibility bus"
          + app.log_tail())
    return state


@test("autostart_untick_removes_entry")
def autostart_untick_removes_entry(sandbox):
    """Unticking the box deletes the entry, ticking it writes it again, and the choice is saved."""
    sandbox.start_accessibility()
    app = sandbox.launch()
    app.wait_main_window()
    finish_first_start(sandbox, app)
    entry = entry_path(sandbox)
    check(wait_until(lambda: os.path.exists(entry), 5), "the first start wrote no entry")
    check(box_state(sandbox, app) == (True, True), f"{CHECK_BOX!r} is not checked and enabled")

    for checked in (False, True):
        check(accessibility.toggle(sandbox, app, CAPTION, CHECK_BOX),
              f"{CHECK_BOX!r} could not be clicked")
        check(wait_until(lambda: box_state(sandbox, app)[0] == checked, 5),
              f"{CHECK_BOX!r} did not become {'checked' if checked else 'unchecked'}")
        check(wait_until(lambda: os.path.exists(entry) == checked, 5),
              f"the entry is {'missing' if checked else 'still there'} after the click"
              + app.log_tail())
        check(app.alive(), "zorvik ended" + app.log_tail())

    check(accessibility.toggle(sandbox, app, CAPTION, CHECK_BOX), "the last click failed")
    check(wait_until(lambda: not os.path.exists(entry), 5), "the entry stayed")
    code = app.terminate()
    check(code is not None, "zorvik did not end on SIGTERM" + app.log_tail())
    stored = read_ini(sandbox.ini)["settings"].get("bstartup")
    check(stored == "False", f"the unticked box was saved as bStartup={stored!r}")
    check(not os.path.exists(entry), "the exit wrote the entry again")
