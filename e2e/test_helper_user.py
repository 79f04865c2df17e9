"""Zorvik run as a user, with zorvik-helper doing what needs root: the hosts file and port 80."""

import os
import stat

import helper_users
import xwindows
from harness import FIRST_START_KEYS, check, log, set_ini_value, wait_until
from helper_users import (COPY_FILE, GROUP, WRITE_FILE, LoginFolder, User, finish_first_start,
                          start_helper)
from registry import test
from test_adblock import (USER_HOSTS, fetch, hosts_text, lacking_entries, start_with_user_hosts,
                          wait_blocking)


def first_start(user, socket_path, blocking=True):
    """A user's first start carried through its two information boxes; returns the App. A run
    without ad-server blocking stores every setting but that switch, which it could not use."""
    app = user.launch(socket_path)
    app.wait_main_window()
    check(app.uid() == user.uid, f"zorvik runs as uid {app.uid()}, not as {user.name}")
    keys = FIRST_START_KEYS if blocking else [k for k in FIRST_START_KEYS if k != "bBlockAdServers"]
    finish_first_start(LoginFolder(user), app, keys)
    return app


def wait_box(app, timeout=15):
    """The message box titled with the program's name that the app shows, or None."""
    def box():
        return [w for w in xwindows.search(name_regex="^Zorvik$") if xwindows.pid_of(w) == app.pid]
    found = wait_until(box, timeout)
    return found[0] if found else None


def root_owned_and_readable(path):
    """Root's, readable by everyone and writable by nobody else (a new copy is made 0644; the
    hosts file keeps the mode it had)."""
    st = os.stat(path)
    mode = stat.S_IMODE(st.st_mode)
    return st.st_uid == 0 and mode & 0o444 == 0o444 and not mode & 0o022


@test("helper_user_blocks_and_restores")
def helper_user_blocks_and_restores(sandbox):
    """A user's Zorvik builds /etc/hosts and serves port 80 through the helper, and puts the
    user's own hosts file back at exit; the copies stay root's and readable."""
    names, placeholder = start_with_user_hosts(sandbox)
    socket_path = start_helper(sandbox)
    ann = User(sandbox, "ann", groups=[GROUP])
    app = first_start(ann, socket_path)
    wait_blocking(sandbox, names, placeholder)
    check(open("/etc/hostszvb", "rb").read() == USER_HOSTS,
          "/etc/hostszvb is not the user's hosts file byte for byte")
    for path in ("/etc/hosts", "/etc/hostszvb"):
        check(root_owned_and_readable(path), f"{path} is not root's and readable by all")
    check(app.terminate() is not None, "zorvik did not end on SIGTERM" + app.log_tail())
    check(not lacking_entries(names), "exit with start-with-session on removed the block list")

    set_ini_value(ann.ini, "Settings", "bStartup", "False")
    app = ann.launch(socket_path)
    app.wait_main_window()
    wait_blocking(sandbox, names, placeholder)
    check(app.terminate() is not None, "zorvik did not end on SIGTERM" + app.log_tail())
    check(hosts_text() == USER_HOSTS, "exit did not put the user's /etc/hosts back byte for byte")
    check(os.path.exists("/etc/hostszvf") and root_owned_and_readable("/etc/hostszvf"),
          "the complete hosts file was not parked in a readable /etc/hostszvf")
    status, _ = fetch(sandbox, f"http://{names[0]}/x.gif")
    check(status == "000", f"port 80 still answers ({status}) after the exit")


@test("helper_unauthorised_user")
def helper_unauthorised_user(sandbox):
    """A user outside the helper's group is refused: Zorvik says so in a box and runs on without
    ad-server blocking, leaving /etc/hosts and port 80 alone."""
    names, _ = start_with_user_hosts(sandbox)
    socket_path = start_helper(sandbox)
    bob = User(sandbox, "bob")
    bob.start_accessibility()
    app = first_start(bob, socket_path, blocking=False)
    box = wait_box(app)
    check(box, "no box told the user why ads are not blocked" + app.log_tail())
    text = wait_until(lambda: (lambda t: t if "zorvik-helper" in t else None)(
        bob.dump(app, "Zorvik")), 10)
    check(text and "does not serve your user" in text and "usermod -aG zorvik" in text,
          f"the box does not say what is missing and how to fix it: {text!r}")
    check(helper_users.dismiss_box(box), "the box did not close on Return")
    check(app.alive(), "zorvik ended" + app.log_tail())
    check(hosts_text() == USER_HOSTS, "/etc/hosts was changed")
    check(not os.path.exists("/etc/hostszvb"), "a backup was made")
    status, _ = fetch(sandbox, f"http://{names[0]}/x.gif")
    check(status == "000", f"port 80 answered ({status}) though blocking is off")
    check(app.terminate() is not None, "zorvik did not end on SIGTERM" + app.log_tail())
    check(hosts_text() == USER_HOSTS, "the exit changed /etc/hosts")
    check(helper_users.stored(bob.ini, "bBlockAdServers") is None,
          "the switch the run could not use was stored")


@test("helper_refuses_redirects")
def helper_refuses_redirects(sandbox):
    """The helper takes block lines from a user in its group, and refuses a text or a copy that
    sends a name elsewhere than 127.0.0.1."""
    start_with_user_hosts(sandbox)
    socket_path = start_helper(sandbox)
    ann = User(sandbox, "ann", groups=[GROUP])
    blocked = USER_HOSTS + b"\n127.0.0.1 ads.example\n"
    redirect = USER_HOSTS + b"\n10.9.9.9 bank.example\n"
    answers = helper_users.client_as(ann, socket_path, [
        (WRITE_FILE, "/etc/hosts", blocked.decode()),
        (WRITE_FILE, "/etc/hosts", redirect.decode()),
        (WRITE_FILE, "/etc/hostszvf", redirect.decode()),
        (COPY_FILE, "/etc/passwd", "/etc/hosts"),
    ])
    log(f"answers: {answers}")
    check(len(answers) == 5 and answers[0][0] == "Granted", f"the claim failed: {answers}")
    check(answers[1][0] == "Done", f"a block line was refused: {answers[1]}")
    for answer in answers[2:]:
        check(answer[0] == "Failed" and answer[1], f"a redirect was not refused: {answer}")
    check(hosts_text() == blocked, "/etc/hosts is not the accepted text")
    check(not os.path.exists("/etc/hostszvf"), "a redirecting copy was written")


@test("helper_second_user_told")
def helper_second_user_told(sandbox):
    """While one user's Zorvik holds the helper, a second user's is told in a box and keeps
    running without ad-server blocking; the first one's blocking goes on."""
    names, placeholder = start_with_user_hosts(sandbox)
    socket_path = start_helper(sandbox)
    ann = User(sandbox, "ann", groups=[GROUP])
    carol = User(sandbox, "carol", groups=[GROUP])
    first = first_start(ann, socket_path)
    wait_blocking(sandbox, names, placeholder)
    blocked = hosts_text()

    carol.start_accessibility()
    second = first_start(carol, socket_path, blocking=False)
    box = wait_box(second)
    check(box, "the second user was not told who blocks ads" + second.log_tail())
    text = wait_until(lambda: (lambda t: t if "blocks ad servers" in t else None)(
        carol.dump(second, "Zorvik")), 10)
    check(text and "The Zorvik of the user 'ann' blocks ad servers on this machine" in text,
          f"the box does not name the user whose Zorvik blocks ads: {text!r}")
    check(helper_users.dismiss_box(box), "the box did not close on Return")
    check(second.alive(), "the second user's zorvik ended" + second.log_tail())
    check(first.alive(), "the first user's zorvik ended" + first.log_tail())
    wait_blocking(sandbox, names, placeholder)
    check(second.terminate() is not None, "the second zorvik did not end on SIGTERM")
    check(hosts_text() == blocked, "the second user's run changed /etc/hosts")
    wait_blocking(sandbox, names, placeholder)
    check(first.terminate() is not None, "the first zorvik did not end on SIGTERM")
