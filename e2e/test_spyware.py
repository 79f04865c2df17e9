"""A listed program ended after the user's Yes, on the real /proc, with decoys left alone.

Zorvik runs as root here, as started through sudo by the session's user (SUDO_UID): it ends that
user's programs only, never root's own, even one with the listed name."""

import os
import shutil
import subprocess

import xwindows
from harness import TestSkip, check, dismiss, log, read_ini, start_and_settle, wait_until
from registry import test

NAME = "spyagent"
DESCRIPTION = "A program the test lists as spyware"
QUESTION_REGEX = "has detected Spyware\\.$"
# The scan runs every 15 s; the question comes with the first scan after the program started.
QUESTION_TIMEOUT = 25
# The desktop session's user, on whose behalf Zorvik (running as root) ends programs.
SESSION_UID = 1000


def session_user_available():
    """Whether this namespace can run a program as the session's user (not where only root is
    mapped, as when the tests run without real root)."""
    with open("/proc/self/uid_map") as handle:
        for line in handle:
            inside, _, count = (int(field) for field in line.split())
            if inside <= SESSION_UID < inside + count:
                return True
    return False


def add_to_list(sandbox, name, value):
    # Edited as the program edits it: the shipped list's changes go to the user's own copy.
    path = sandbox.data_file("zvspyware.ini")
    with open(sandbox.list_file("zvspyware.ini"), "rb") as handle:
        text = handle.read()
    newline = b"\r\n" if b"\r\n" in text else b"\n"
    if not text.endswith(newline):
        text += newline
    with open(path, "wb") as handle:
        handle.write(text + f"{name}={value}".encode() + newline)


def run_copy_of_sleep(sandbox, name, user=SESSION_UID):
    """Runs a copy of sleep named `name` as the user (the session's unless told otherwise)."""
    folder = os.path.join(sandbox.work, "programs")
    os.makedirs(folder, exist_ok=True)
    # The session's user must reach the copies in root's test folder.
    os.chmod(sandbox.work, 0o711)
    os.chmod(folder, 0o755)
    program = os.path.join(folder, name)
    if not os.path.exists(program):
        shutil.copy("/bin/sleep", program)
    process = subprocess.Popen([program, "600"], env=sandbox.env, user=user, group=user)
    sandbox._processes.append(process)
    return process


@test("spyware_ended_after_yes")
def spyware_ended_after_yes(sandbox):
    """The question names the listed program; Yes ends it and writes the answer into the list,
    while programs whose names only contain the entry, and root's own copy of it, run on."""
    if os.geteuid() != 0 or not session_user_available():
        raise TestSkip(f"cannot run a program as the session's user {SESSION_UID} here")
    sandbox.env["SUDO_UID"] = str(SESSION_UID)
    add_to_list(sandbox, NAME, f"1:0:{DESCRIPTION}")
    app = start_and_settle(sandbox)

    listed = run_copy_of_sleep(sandbox, NAME)
    decoys = {name: run_copy_of_sleep(sandbox, name) for name in (NAME + "-helper", "x" + NAME)}
    decoys["root's " + NAME] = run_copy_of_sleep(sandbox, NAME, user=0)

    boxes = wait_until(lambda: xwindows.search(name_regex=QUESTION_REGEX), QUESTION_TIMEOUT)
    check(boxes, f"no spyware question within {QUESTION_TIMEOUT} s" + app.log_tail())
    check(listed.poll() is None, "the listed program ended before the question was answered")
    log(f"question: {xwindows.name(boxes[0])!r}")
    # Yes is the box's default button.
    check(dismiss(boxes[0]), "the question did not close on Return")

    check(wait_until(lambda: listed.poll() is not None, 5),
          "the listed program still runs after Yes" + app.log_tail())
    for name, process in decoys.items():
        check(process.poll() is None, f"the decoy {name} was ended")
    value = wait_until(lambda: (read_ini(sandbox.list_file("zvspyware.ini")) or {})
                       .get("spyware", {}).get(NAME) == f"1:1:{DESCRIPTION}", 5)
    check(value, "the answer was not written to zvspyware.ini: " +
          str((read_ini(sandbox.list_file("zvspyware.ini")) or {})
              .get("spyware", {}).get(NAME)))

    # From now on a new copy is ended without a question.
    again = run_copy_of_sleep(sandbox, NAME)
    check(wait_until(lambda: again.poll() is not None, QUESTION_TIMEOUT),
          "a new copy of the program was not ended at the next scan" + app.log_tail())
    check(not xwindows.search(name_regex=QUESTION_REGEX), "the question was asked again")
    check(app.alive(), "zorvik ended" + app.log_tail())
    for name, process in decoys.items():
        check(process.poll() is None, f"the decoy {name} was ended")
    return f"ended after Yes, again without asking; {len(decoys)} decoys kept"
