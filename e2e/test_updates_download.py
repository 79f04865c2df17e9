"""The ad-data update on the real binary against a real nginx as the update server."""

import os
import time

import xwindows
from harness import check, log, read_ini, start_and_settle, wait_until
from registry import test
from test_adblock import USER_HOSTS, hosts_text, lacking_entries, start_with_user_hosts
from update_server import HOST, UpdateServer, date_text, prepare

USER_FILE = USER_HOSTS + b"\n" + f"127.0.0.2 {HOST}\n".encode()
LIST_PATHS = ["/zshared/updatedate.txt", "/zshared/domains.txt", "/zshared/removals.txt",
              "/zshared/spyware.txt"]
SPYWARE = "e2e-spy-agent:A program the test's update server lists"
NEW_NAMES = ["e2e-ads-one.example", "e2e-ads-two.example", "e2e-banner.example"]


def default_list(sandbox):
    lists = read_ini(sandbox.list_file("zorvikhosts.ini")) or {}
    count = int(lists.get("domaincount", {}).get("n", "0"))
    domains = lists.get("domains", {})
    return [domains.get(f"d{i}", "") for i in range(count)]


def first_start_with_server(sandbox):
    """The user's hosts file names the update server; a first start; blocking in place."""
    names, _ = start_with_user_hosts(sandbox)
    prepare(sandbox, USER_HOSTS)
    app = start_and_settle(sandbox)
    check(wait_until(lambda: not lacking_entries(names[:20]), 20),
          "the shipped list never reached /etc/hosts" + app.log_tail())
    return names, app


def ctrl_d(app):
    windows = app.main_windows()
    check(windows, "the settings window is not shown" + app.log_tail())
    xwindows.press_key(windows[0], "ctrl+d")


@test("updates_ctrl_d")
def updates_ctrl_d(sandbox):
    """Ctrl+D fetches the date, the list and the removals in order; /etc/hosts holds the new list."""
    server = UpdateServer(sandbox)
    names, app = first_start_with_server(sandbox)
    # An earlier publication listed two shipped names that this one drops: they are removals now.
    gone = names[:2]
    kept = names[2:40]
    server.publish(gone + kept + NEW_NAMES, date=date_text(-40))
    server.publish(kept + NEW_NAMES[:2], popups=[NEW_NAMES[2]], spyware=[SPYWARE],
                   date=date_text(-10))
    server.start()
    hosts_before = hosts_text()

    # The update dates itself with its own day: the one before or after it, near midnight.
    days = {date_text()}
    started = time.monotonic()
    ctrl_d(app)
    check(wait_until(lambda: not lacking_entries(NEW_NAMES), 30),
          f"/etc/hosts lacks {lacking_entries(NEW_NAMES)} after Ctrl+D; nginx saw "
          f"{server.requests()}" + app.log_tail())
    log(f"update applied in {time.monotonic() - started:.2f} s: {server.requests()}")
    check(wait_until(lambda: len(server.requests()) >= len(LIST_PATHS), 10),
          f"the spyware list was not asked for: {server.requests()}" + app.log_tail())
    check(server.paths()[:4] == LIST_PATHS, f"requests in the wrong order: {server.paths()}")
    check(all(status == "200" for _, status in server.requests()),
          f"a request failed: {server.requests()}")
    listed = default_list(sandbox)
    check(listed == kept + NEW_NAMES, f"zorvikhosts.ini is not the new list: {listed[:5]}...")
    text = hosts_text().decode("latin-1")
    for name in gone:
        check(f"127.0.0.1 {name}" not in text, f"the removed {name} is still in /etc/hosts")
    check(not lacking_entries(kept), "a kept name went missing from /etc/hosts")
    for line in USER_FILE.splitlines():
        check(not line or line in hosts_text(), f"the user's line {line!r} was lost")
    check(hosts_text() != hosts_before, "/etc/hosts did not change")
    removals = read_ini(sandbox.data_file("removals.ini")) or {}
    check(sorted(removals.get("domains", {}).values()) == sorted(gone),
          f"removals.ini does not hold the removed names: {removals}")
    spyware = wait_until(lambda: (read_ini(sandbox.list_file("zvspyware.ini")) or {})
                         .get("spyware", {}).get("e2e-spy-agent"), 10)
    check(spyware == "1:0:A program the test's update server lists",
          f"the downloaded spyware list was not merged: {spyware!r}")
    check(app.alive(), "zorvik ended" + app.log_tail())
    saved = wait_until(lambda: (read_ini(sandbox.ini) or {}).get("settings", {}).get("dateupdate"),
                       5)
    days.add(date_text())
    check(saved in days, f"DateUpdate is {saved!r}, not today ({' or '.join(sorted(days))})")

    # A newer date over the same lists: conditional requests, 304s, no rewrite of /etc/hosts.
    # Tomorrow is newer than the day the first update saved, whenever the test runs.
    server.put("updatedate.txt", date_text(1).encode())
    count = len(server.requests())
    mtime = os.stat("/etc/hosts").st_mtime_ns
    list_mtime = os.stat(sandbox.list_file("zorvikhosts.ini")).st_mtime_ns
    ctrl_d(app)
    check(wait_until(lambda: len(server.requests()) >= count + 4, 10),
          f"the second update asked for {server.requests()[count:]}" + app.log_tail())
    again = server.requests()[count:]
    log(f"second update: {again}")
    check(again[:3] == [("/zshared/updatedate.txt", "200"), ("/zshared/domains.txt", "304"),
                        ("/zshared/removals.txt", "304")], f"not conditional: {again}")
    check(again[3][0] == "/zshared/spyware.txt", f"no spyware list after the lists: {again}")
    time.sleep(1)
    check(os.stat("/etc/hosts").st_mtime_ns == mtime, "/etc/hosts was rewritten after 304s")
    check(os.stat(sandbox.list_file("zorvikhosts.ini")).st_mtime_ns == list_mtime,
          "zorvikhosts.ini was rewritten after a 304")
    check(app.alive(), "zorvik ended" + app.log_tail())


@test("updates_failures")
def updates_failures(sandbox):
    """Server down, 404, 500, a list without [END]: nothing changes and Zorvik keeps running."""
    server = UpdateServer(sandbox)
    names, app = first_start_with_server(sandbox)
    hosts_before = hosts_text()
    list_before = default_list(sandbox)

    def unchanged(case):
        time.sleep(1.5)
        check(app.alive(), f"zorvik ended after {case}" + app.log_tail())
        check(hosts_text() == hosts_before, f"/etc/hosts changed after {case}")
        check(default_list(sandbox) == list_before, f"zorvikhosts.ini changed after {case}")
        log(f"{case}: nothing changed; nginx saw {server.paths()}")

    ctrl_d(app)
    unchanged("an update with the server down")

    server.start()
    ctrl_d(app)
    check(wait_until(lambda: server.requests(), 10), "nginx saw no request")
    unchanged("404 for updatedate.txt")
    check(server.paths() == ["/zshared/updatedate.txt"], f"asked for more: {server.paths()}")
    check(len(server.requests()) == 11, f"{len(server.requests())} tries of a quick 404, not 11")
    server.stop()

    server.publish(NEW_NAMES)
    server.start("location = /zshared/domains.txt { return 500; }")
    count = len(server.requests())
    ctrl_d(app)
    check(wait_until(lambda: len(server.requests()) > count + 1, 10), "nginx saw no list request")
    unchanged("500 for domains.txt")
    check("/zshared/removals.txt" not in server.paths(), "the removals came after a failed list")
    server.stop()

    with open(os.path.join(server.zshared, "domains.txt"), "rb") as handle:
        whole = handle.read()
    server.put("domains.txt", whole[: whole.rfind(b"[END]")])
    server.start()
    count = len(server.requests())
    ctrl_d(app)
    check(wait_until(lambda: len(server.requests()) >= count + 2, 10), "nginx saw no list request")
    unchanged("a domains.txt without [END]")
    check("/zshared/removals.txt" not in server.paths(), "the removals came after a cut list")
