"""A trickling update server: the download times out, the placeholder server keeps answering, and
an exit during the download puts the user's hosts file back at once."""

import os
import subprocess
import time

from harness import EXIT_TIMEOUT, check, log, set_ini_value, wait_until
from registry import test
from test_adblock import hosts_text, lacking_entries
from test_updates_download import USER_FILE, ctrl_d, default_list, first_start_with_server
from update_server import UpdateServer, date_text

# One byte a second: the 12-second timeout of updatedate.txt ends the transfer long before.
TRICKLE = "location = /zshared/updatedate.txt { limit_rate 1; }"


def placeholder_answer(sandbox, name):
    """(HTTP status, seconds) of one GET from the placeholder server, as curl measures them."""
    result = subprocess.run(
        ["curl", "-s", "--noproxy", "*", "--max-time", "5", "-o", "/dev/null", "-w",
         "%{http_code} %{time_total}", f"http://{name}/banner.gif"],
        capture_output=True, text=True, env=sandbox.env)
    status, seconds = result.stdout.split()
    return status, float(seconds)


def placeholder_seconds(sandbox, name):
    """Seconds the placeholder server took to answer one GET with its placeholder."""
    status, seconds = placeholder_answer(sandbox, name)
    check(status == "200", f"the placeholder server answered {status}")
    return seconds


def trickling_server(sandbox):
    server = UpdateServer(sandbox)
    server.publish(["e2e-late.example"])
    # A date newer than any the client holds, padded so that it trickles for long.
    server.put("updatedate.txt", date_text(1).encode() + b" " * 40)
    server.start(TRICKLE)
    return server


@test("updates_trickle_times_out")
def updates_trickle_times_out(sandbox):
    """A reply slower than the timeout fails after it, once; the placeholder answers meanwhile
    (once Ctrl's click window has passed)."""
    names, app = first_start_with_server(sandbox)
    server = trickling_server(sandbox)
    hosts_before = hosts_text()
    list_before = default_list(sandbox)

    ctrl_d(app)
    started = time.monotonic()
    check(wait_until(_connections_to_server, 5), "the update did not connect to nginx")
    # Ctrl, like any click, opens the 2 s click window, and while Ctrl counts as held the
    # placeholder server pauses; it answers again when the window ends, the download still on.
    check(wait_until(lambda: placeholder_answer(sandbox, names[0])[0] == "200", 5),
          "the placeholder server did not come back after the Ctrl of Ctrl+D" + app.log_tail())
    check(_connections_to_server(), "the download ended before the placeholder was measured")
    times = []
    while time.monotonic() - started < 6:
        times.append(placeholder_seconds(sandbox, names[0]))
        time.sleep(0.2)
    log(f"placeholder answers during the trickle: max {max(times):.3f} s of {len(times)}")
    check(max(times) < 0.5, f"the placeholder server took {max(times):.3f} s during a download")

    # The transfer ends at its 12-second limit and is not repeated.
    time.sleep(max(0.0, started + 16 - time.monotonic()))
    check(app.alive(), "zorvik ended" + app.log_tail())
    check(hosts_text() == hosts_before, "/etc/hosts changed after a timed-out update")
    check(default_list(sandbox) == list_before, "zorvikhosts.ini changed")
    # nginx logs a request when it ends: the client gave up, so it is there by now.
    paths = [path for path, _ in server.requests()]
    check(paths == ["/zshared/updatedate.txt"], f"a slow failure was asked again: {paths}")
    times = [placeholder_seconds(sandbox, names[0]) for _ in range(3)]
    check(max(times) < 0.5, f"the placeholder server took {max(times):.3f} s after the update")


@test("updates_exit_during_download")
def updates_exit_during_download(sandbox):
    """SIGTERM while the automatic update trickles: /etc/hosts is the user's own file again."""
    names, app = first_start_with_server(sandbox)
    check(app.terminate() is not None, "zorvik did not end on SIGTERM")
    set_ini_value(sandbox.ini, "Settings", "bStartup", "False")
    # The next start is the third: the tenth blocked ad starts the automatic update.
    store = os.path.join(sandbox.env["XDG_CONFIG_HOME"], "halvern", "Zorvik.ini")
    set_ini_value(store, "State", "Starts", "2")
    server = trickling_server(sandbox)

    app = sandbox.launch()
    # The first answered ad is the first counted: nine more make the tenth.
    check(wait_until(lambda: not lacking_entries(names[:20]) and
                     placeholder_answer(sandbox, names[0])[0] == "200", 20),
          "blocking is not in place on the second start" + app.log_tail())
    for _ in range(9):
        placeholder_seconds(sandbox, names[1])
    check(wait_until(_connections_to_server, 10),
          "the automatic update did not start" + app.log_tail())
    time.sleep(1)
    check(not server.requests(), "the trickling download ended too early")

    started = time.monotonic()
    code = app.terminate()
    seconds = time.monotonic() - started
    check(code is not None, f"zorvik did not end within {EXIT_TIMEOUT} s of SIGTERM")
    log(f"exit during the download took {seconds:.2f} s (code {code})")
    check(seconds < 5, f"the exit waited {seconds:.1f} s for the download")
    check(hosts_text() == USER_FILE, "/etc/hosts is not the user's own file after the exit")
    check(open("/etc/hostszvb", "rb").read() == USER_FILE, "the user's backup changed")


def _connections_to_server():
    """True while a TCP connection to 127.0.0.2:80 is open."""
    result = subprocess.run(["ss", "-tn", "state", "established", "dst", "127.0.0.2:80"],
                            capture_output=True, text=True)
    return "127.0.0.2:80" in result.stdout
