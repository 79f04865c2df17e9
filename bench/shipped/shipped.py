#!/usr/bin/python3
"""Benchmarks of the shipped zorvik, started as a user starts it, each beside a peer in one run.

    shipped.py --app build/app --build build [--work DIR] BENCH [options]

BENCH is one of:
  web      wrk -t2 -c50 -H 'Connection: close' against zorvik on 127.0.0.1:80, nginx's empty_gif
           (one worker) and the separate bench server, one after the other in rotating order,
           with zorvik's window hidden in the tray and then shown
  hosts    the hosts file built at start-up from the three list files, against `LC_ALL=C sort -u`
  startup  process start to the settings window mapped, against a minimal Qt Widgets program
           and xmessage
  idle     CPU over a quiet minute and memory of the running program, against the Qt program

How the hosts build is timed: phase 2 is what the start timer runs 2.5 s after the start. Its
first step that touches a file is the backup of the user's /etc/hosts (/etc/hostszvb, which the
benchmark removes before each start), written like every file through a temporary file next to it
(".hostszvb.XXXXXX") and a rename. An inotify watch on /etc timestamps the creation of that
temporary file: the clock starts there. It stops at the rename that puts an /etc/hosts in place
holding every expected "127.0.0.1 name" line (the default and user names less the allowed ones).
Only the hiding of the window into the tray comes before the backup in phase 2 and is not counted.
The inotify events are read as they arrive, so their times are within a few milliseconds.

Must run inside private mount and network namespaces as root: run.sh starts it that way.
"""

import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import sandbox as sb  # noqa: E402

PEER_CAPTION = "Peer window"
XMESSAGE_CAPTION = "Peer message"


def ratio(ours, theirs):
    return f"{ours / theirs:8.2f}" if theirs else f"{'n/a':>8}"


def verdict(ok):
    return "met" if ok else "NOT met"


# --- web: requests per second and per server CPU-second -------------------------------------

NGINX_CONF = """worker_processes 1;
daemon off;
pid {work}/nginx.pid;
error_log {work}/nginx-error.log;
events {{ worker_connections 4096; }}
http {{
    access_log off;
    client_body_temp_path {work}/body;
    proxy_temp_path {work}/proxy;
    fastcgi_temp_path {work}/fastcgi;
    uwsgi_temp_path {work}/uwsgi;
    scgi_temp_path {work}/scgi;
    server {{
        listen 127.0.0.1:{port};
        location = /nginx_status {{ stub_status; }}
        location / {{ empty_gif; }}
    }}
}}
"""


def wrk(port, seconds, path="/ads/banner.gif"):
    """(requests, error lines) of one wrk run."""
    out = subprocess.run(
        ["wrk", "-t2", "-c50", f"-d{seconds}s", "-H", "Connection: close",
         f"http://127.0.0.1:{port}{path}"], capture_output=True, text=True, check=True).stdout
    requests = next(int(line.split()[0]) for line in out.splitlines() if "requests in" in line)
    errors = [line.strip() for line in out.splitlines()
              if "Socket errors" in line or "Non-2xx" in line]
    return requests, errors


def measure_web(servers, app, args, window):
    """Rounds of wrk against every server in rotating order; prints the figures and the goals."""
    totals = {name: [0, 0.0] for name, _, _ in servers}
    print(f"zorvik's window {window}: wrk -t2 -c50 -d{args.seconds}s -H 'Connection: close', "
          f"{args.rounds} rounds, order rotating each round")
    for round_number in range(args.rounds):
        shift = round_number % len(servers)
        for name, pids, port in servers[shift:] + servers[:shift]:
            before = sum(sb.cpu_seconds(pid) for pid in pids)
            requests, errors = wrk(port, args.seconds)
            after = sum(sb.cpu_seconds(pid) for pid in pids)
            totals[name][0] += requests
            totals[name][1] += after - before
            note = ("  " + "; ".join(errors)) if errors else ""
            print(f"  round {round_number + 1} {name:<12} {requests:9d} requests "
                  f"{after - before:7.2f} s server CPU{note}", flush=True)
        if app.poll() is not None:
            raise SystemExit(f"zorvik ended under load (exit code {app.returncode})")
    wall = args.seconds * args.rounds
    figures = {name: (requests / wall, requests / cpu if cpu > 0 else 0.0)
               for name, (requests, cpu) in totals.items()}
    nginx_rps, nginx_eff = figures["nginx"]
    print(f"\n{'':<14} {'requests/s':>12} {'vs nginx':>8}  {'req/CPU-s':>12} {'vs nginx':>8}")
    for name in ("zorvik", "nginx", "bench-server"):
        rps, eff = figures[name]
        print(f"{name:<14} {rps:12.0f} {ratio(rps, nginx_rps)}  {eff:12.0f} "
              f"{ratio(eff, nginx_eff)}")
    rps, eff = figures["zorvik"]
    print(f"goal: zorvik >= 1.0x nginx in requests/s: {rps / nginx_rps:.2f}x "
          f"{verdict(rps >= nginx_rps)}; >= 1.1x in requests per server CPU-s: "
          f"{eff / nginx_eff if nginx_eff else 0:.2f}x {verdict(eff >= 1.1 * nginx_eff)}")


def bench_web(box, args):
    app = box.launch_program()
    if not sb.wait_until(lambda: sb.port_open(80) or app.poll() is not None, 20, 0.1) \
            or app.poll() is not None:
        raise SystemExit("zorvik did not start serving on 127.0.0.1:80 (see its log in "
                         f"{box.work}/zorvik.log)")
    time.sleep(1.0)  # the hosts file and the labels of the start settle

    with open(os.path.join(box.work, "nginx.conf"), "w") as handle:
        handle.write(NGINX_CONF.format(work=box.work, port=args.nginx_port))
    nginx = box.spawn(["nginx", "-p", box.work, "-c", os.path.join(box.work, "nginx.conf")],
                      "nginx")
    server = box.spawn([args.bench_server, str(args.bench_port), box.app_dir], "bench-server")
    if not sb.wait_until(lambda: sb.port_open(args.nginx_port) and sb.port_open(args.bench_port),
                         10, 0.1):
        raise SystemExit("nginx or the bench server did not start (logs in " + box.work + ")")
    workers = subprocess.run(["pgrep", "-P", str(nginx.pid)], capture_output=True,
                             text=True).stdout.split()
    if len(workers) != 1:
        raise SystemExit(f"expected one nginx worker, found {workers}")
    # The master only waits for its worker; both count, as all of zorvik's threads count.
    servers = [("zorvik", [app.pid], 80), ("nginx", [nginx.pid, int(workers[0])],
                                            args.nginx_port),
               ("bench-server", [server.pid], args.bench_port)]
    for _, _, port in servers:
        wrk(port, 2)  # warm-up
    for player in ("aplay", "paplay"):
        if shutil.which(player):
            print(f"note: {player} is installed, so zorvik starts it for the banner sound of "
                  "each request; the detached player's CPU is not counted")
            break
    if args.window in ("hidden", "both"):
        measure_web(servers, app, args, "hidden in the tray")
    if args.window in ("shown", "both"):
        # Starting the program a second time asks the running copy to show its window, as a
        # user would; the second copy leaves at once.
        watch = sb.MapWatch(box.env["DISPLAY"])
        box.launch_program()
        if watch.wait_title(sb.CAPTION, 10) is None:
            raise SystemExit("the running zorvik did not show its window")
        time.sleep(1.0)
        if args.window == "both":
            print()
        measure_web(servers, app, args, "shown")
    sb.stop(app)


# --- hosts: phase 2 of the start to the complete hosts file ---------------------------------

WORDS = ["ads", "track", "banner", "pixel", "stats", "cdn", "media", "click", "serve", "metrics",
         "img", "pop"]
TLDS = ["com", "net", "org", "example", "info", "io"]


def list_text(names):
    lines = ["[DomainCount]", f"N={len(names)}", "[Domains]"]
    lines += [f"D{i}={name}" for i, name in enumerate(names)]
    return "\r\n".join(lines) + "\r\n"


def workload(n_default, n_user, n_allowed, n_hosts_lines):
    rng = random.Random(20261210)

    def name(serial):
        return (f"{rng.choice(WORDS)}{serial}.{rng.choice(WORDS)}-{rng.choice(WORDS)}."
                f"{rng.choice(TLDS)}")
    defaults = [name(i) for i in range(n_default)]
    # A tenth of the user's names repeat default names.
    users = [defaults[(i * 30) % n_default] if i % 10 == 0 else name(1_000_000 + i)
             for i in range(n_user)]
    step = max(1, n_default // max(1, n_allowed))
    allowed = [defaults[(i * step) % n_default] for i in range(n_allowed)]
    # Half the file blocks names of an earlier build; the rest is the user's own, with blank lines.
    hosts = []
    for i in range(n_hosts_lines):
        if i % 2 == 0:
            hosts.append("127.0.0.1 " + defaults[(i * 17) % n_default])
        elif i % 50 == 1:
            hosts.append("")
        else:
            hosts.append(f"10.0.{i % 250}.1 host{i}")
    return defaults, users, allowed, "\n".join(hosts) + "\n"


def hosts_lines(text):
    return set(text.replace("\r\n", "\n").split("\n"))


def time_sort(names_file, out_file, rounds):
    samples = []
    env = dict(os.environ, LC_ALL="C")
    for _ in range(rounds):
        start = time.monotonic()
        subprocess.run(["sort", "-u", names_file, "-o", out_file], env=env, check=True)
        samples.append(time.monotonic() - start)
    return statistics.median(samples)


def one_hosts_round(box, user_hosts, expected, timeout):
    """Starts the program on the prepared files; returns the moments of phase 2, or None."""
    for name in ("hostszvb", "hostszvf"):
        if os.path.exists("/etc/" + name):
            os.remove("/etc/" + name)
    with open("/etc/hosts", "w") as handle:
        handle.write(user_hosts)
    box.reset_program_state()
    watch = sb.FolderWatch("/etc")
    started = time.monotonic()
    app = box.launch_program()
    moments = {"start": started}
    deadline = started + timeout
    try:
        while time.monotonic() < deadline and app.poll() is None:
            for when, mask, name in watch.events(0.5):
                if name.startswith(".hostszvb") or name == "hostszvb":
                    moments.setdefault("phase2", when)
                    if mask & sb.IN_MOVED_TO:
                        moments.setdefault("backup", when)
                elif name.startswith(".hosts.") and mask & sb.IN_CREATE:
                    moments["write"] = when
                elif name == "hosts" and mask & (sb.IN_MOVED_TO | sb.IN_CLOSE_WRITE):
                    with open("/etc/hosts") as handle:
                        lines = hosts_lines(handle.read())
                    present = sum(1 for line in expected if line in lines)
                    moments["present"] = present
                    moments["last_write"] = when
                    if present == len(expected):
                        moments["done"] = when
                        return moments
            # A file written incomplete and then left alone for a while stays incomplete.
            if "last_write" in moments and time.monotonic() - moments["last_write"] > 3:
                break
        return moments
    finally:
        watch.close()
        sb.stop(app)


def bench_hosts(box, args):
    rows = []
    for n_default in args.default_names:
        defaults, users, allowed, user_hosts = workload(n_default, args.user_names,
                                                        args.allowed_names, args.hosts_lines)
        # The default list is the shipped one (no copy of the user's own yet); the other two are
        # the user's.
        own_default = os.path.join(box.data_dir, "zorvikhosts.ini")
        if os.path.exists(own_default):
            os.remove(own_default)
        for folder, file_name, names in ((box.app_dir, "zorvikhosts.ini", defaults),
                                         (box.data_dir, "userhosts.ini", users),
                                         (box.data_dir, "zorvikhostsexc.ini", allowed)):
            with open(os.path.join(folder, file_name), "w", newline="") as handle:
                handle.write(list_text(names))
        allowed_set = set(allowed)
        expected = {"127.0.0.1 " + name for name in defaults + users if name not in allowed_set}
        names_file = os.path.join(box.work, "names.txt")
        with open(names_file, "w") as handle:
            handle.write("\n".join(defaults + users + allowed) + "\n" + user_hosts)
        if n_default > 32767:
            print("note: a list file's count is read as a 16-bit number; a list of more than "
                  "32767 names reads as empty, so the default list is expected to be left out")
        print(f"{n_default} default + {len(users)} user + {len(allowed)} allowed names over a "
              f"{args.hosts_lines}-line /etc/hosts, {args.rounds} rounds")
        builds, totals, missing = [], [], None
        for round_number in range(args.rounds):
            moments = one_hosts_round(box, user_hosts, expected, args.timeout)
            if "done" not in moments:
                missing = (moments.get("present", 0), len(expected))
                waited = moments.get("last_write", time.monotonic()) - moments["start"]
                print(f"  round {round_number + 1}: the complete file never appeared: "
                      f"{missing[0]} of {missing[1]} block lines in the file written "
                      f"{waited:.1f} s after the process start, and no further write")
                break
            build = moments["done"] - moments["phase2"]
            builds.append(build)
            totals.append(moments["done"] - moments["start"])
            began = moments["phase2"] - moments["start"]
            backup = moments.get("backup", moments["phase2"]) - moments["phase2"]
            writing = moments.get("write", moments["done"]) - moments["phase2"]
            print(f"  round {round_number + 1}: phase 2 began {began:.3f} s after the process "
                  f"start; from there the backup was in place after {backup:.3f} s, writing "
                  f"began after {writing:.3f} s, the complete file after {build:.3f} s",
                  flush=True)
        sort_time = time_sort(names_file, os.path.join(box.work, "sorted.txt"), 5)
        rows.append((n_default, builds, totals, sort_time, missing))

    print(f"\n{'default names':<14} {'phase 2 to complete file':>25} {'sort -u':>9} "
          f"{'ratio':>8}  goal < 0.3 s")
    for n_default, builds, totals, sort_time, missing in rows:
        if missing:
            print(f"{n_default:<14} {'incomplete':>25} {sort_time:8.3f}s {'':>8}  NOT met "
                  f"({missing[0]} of {missing[1]} lines)")
            continue
        build = statistics.median(builds)
        print(f"{n_default:<14} {build:24.3f}s {sort_time:8.3f}s {ratio(build, sort_time)}  "
              f"{verdict(build < 0.3)} (process start to file: {statistics.median(totals):.3f} s)")


# --- startup: process start to the window shown ---------------------------------------------

def time_window(box, watch, argv, title, name, timeout=20.0):
    watch.drain()
    started = time.monotonic()
    process = box.spawn(argv, name)
    shown = watch.wait_title(title, timeout)
    sb.stop(process)
    if shown is None:
        raise SystemExit(f"no window titled {title!r} within {timeout:.0f} s (log: "
                         f"{box.work}/{name}.log)")
    return shown - started


def bench_startup(box, args):
    watch = sb.MapWatch(box.env["DISPLAY"])
    zorvik = [os.path.join(box.app_dir, "zorvik")]
    peers = [("zorvik", zorvik, sb.CAPTION),
             *([("zorvik user", box.program_argv(), sb.CAPTION)] if box.user_prefix else []),
             ("Qt window", [args.qt_peer, PEER_CAPTION], PEER_CAPTION),
             ("xmessage", ["xmessage", "-title", XMESSAGE_CAPTION, "Peer message"],
              XMESSAGE_CAPTION)]
    samples = {name: [] for name, _, _ in peers}
    for round_number in range(args.rounds + 1):  # round 0 warms the caches and is not counted
        for name, argv, title in peers:
            box.reset_program_state()
            seconds = time_window(box, watch, argv, title, name.split()[0].lower())
            if round_number:
                samples[name].append(seconds)
    print(f"process start to the window mapped, median of {args.rounds} warm starts "
          "(min, max)")
    ours = statistics.median(samples["zorvik"])
    for name, _, _ in peers:
        value = statistics.median(samples[name])
        versus = f"zorvik / {name}: {ratio(ours, value).strip()}" if name != "zorvik" else ""
        print(f"  {name:<10} {value * 1000:8.1f} ms  ({min(samples[name]) * 1000:6.1f}, "
              f"{max(samples[name]) * 1000:6.1f})  {versus}")


# --- idle: CPU over a quiet minute, memory ---------------------------------------------------

def open_windows(box, args, lifetime):
    """Starts openbox and args.windows test windows whose titles match no blocked title."""
    if not args.windows:
        return []
    box.spawn(["openbox", "--sm-disable"], "openbox")
    time.sleep(1)
    program = os.path.join(args.build, "testbin", "zorvik_testwindow")
    if not os.access(program, os.X_OK):
        raise SystemExit(f"{program} is missing: build the tests ({args.build})")
    windows = [box.spawn([program, "--title", f"Document {i} - Editor", "--exit-after",
                          str(int(lifetime * 1000))], f"window-{i}")
               for i in range(args.windows)]
    time.sleep(2)
    return windows


def bench_idle(box, args):
    box.reset_program_state()
    xvfb = box.processes[0]
    lifetime = 2 * (args.seconds + args.settle) + 60
    windows = open_windows(box, args, lifetime)
    peer = box.spawn([args.qt_peer, PEER_CAPTION], "qt")
    ticking = box.spawn([args.qt_peer, PEER_CAPTION + " ticking", "--ticking"], "qt-ticking")
    time.sleep(args.settle)
    # The X server's own idle cost with the windows and the Qt window open, before zorvik runs.
    before = sb.cpu_ns(xvfb.pid)
    started = time.monotonic()
    time.sleep(args.seconds)
    x_alone = (sb.cpu_ns(xvfb.pid) - before) / 1e9 / (time.monotonic() - started) * 100

    app = box.launch_program()
    if not sb.wait_until(lambda: sb.port_open(80) or app.poll() is not None, 20, 0.1) \
            or app.poll() is not None:
        raise SystemExit(f"zorvik did not start (see {box.work}/zorvik.log)")
    time.sleep(args.settle)
    print(f"idle for {args.seconds:.0f} s, {args.settle:.0f} s after zorvik's start-up "
          f"(zorvik hidden in the tray, the Qt window shown twice, idle and woken at the title "
          f"scan's rhythm, {len(windows)} other windows open "
          "under openbox)")
    before = {p.pid: sb.cpu_ns(p.pid) for p in (app, peer, ticking, xvfb)}
    started = time.monotonic()
    time.sleep(args.seconds)
    wall = time.monotonic() - started
    figures = {}
    for name, process in (("zorvik", app), ("Qt window", peer), ("Qt ticking", ticking)):
        if process.poll() is not None:
            raise SystemExit(f"{name} ended while idle")
        used = (sb.cpu_ns(process.pid) - before[process.pid]) / 1e9
        figures[name] = (used / wall * 100, used) + sb.memory_kib(process.pid)
    x_with = (sb.cpu_ns(xvfb.pid) - before[xvfb.pid]) / 1e9 / wall * 100
    print(f"\n{'':<10} {'CPU % of a core':>16} {'CPU time':>10} {'resident':>12} "
          f"{'proportional':>13}")
    for name, (share, used, rss, pss) in figures.items():
        print(f"{name:<10} {share:15.3f}% {used * 1000:7.1f} ms {rss / 1024:8.1f} MiB "
              f"{pss / 1024:9.1f} MiB")
    ours, theirs, ticks = figures["zorvik"], figures["Qt window"], figures["Qt ticking"]
    print(f"zorvik / Qt window: CPU {ratio(ours[0], theirs[0]).strip()}, resident "
          f"{ratio(ours[2], theirs[2]).strip()}, proportional {ratio(ours[3], theirs[3]).strip()}"
          + (" (n/a: the peer used no CPU at all)" if theirs[0] == 0 else ""))
    print(f"zorvik / Qt window woken as zorvik's title scan is: CPU "
          f"{ratio(ours[0], ticks[0]).strip()}")
    extra = max(0.0, x_with - x_alone)
    print(f"X server: {x_alone:.3f} % of a core before zorvik ran, {x_with:.3f} % with it "
          f"(+{extra:.3f} %)")
    print(f"goal: idle CPU < 0.2 % of one core: {ours[0]:.3f} % {verdict(ours[0] < 0.2)}")
    if windows:
        total = ours[0] + extra
        print(f"goal: zorvik plus what it costs the X server < 0.2 % of one core with "
              f"{len(windows)} windows open: {total:.3f} % {verdict(total < 0.2)}")
    sb.stop(peer)
    sb.stop(ticking)
    sb.stop(app)
    for window in windows:
        sb.stop(window)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--app", required=True, help="the staged program folder (build/app)")
    parser.add_argument("--build", required=True, help="the build folder")
    common = argparse.ArgumentParser(add_help=False)
    common.add_argument("--work", help="folder for the sandbox (default: a new one in /tmp)")
    common.add_argument("--keep", action="store_true", help="keep the sandbox folder and its logs")
    common.add_argument("--user", action="store_true",
                        help="zorvik runs as an unprivileged user through zorvik-helper, as "
                             "installed (startup: beside the start as root)")
    sub = parser.add_subparsers(dest="bench", required=True)
    web = sub.add_parser("web", parents=[common])
    web.add_argument("--seconds", type=int, default=10)
    web.add_argument("--rounds", type=int, default=3)
    web.add_argument("--nginx-port", type=int, default=8081)
    web.add_argument("--bench-port", type=int, default=18080)
    web.add_argument("--window", choices=["hidden", "shown", "both"], default="both",
                     help="zorvik's settings window during the load (a later start hides it)")
    hosts = sub.add_parser("hosts", parents=[common])
    hosts.add_argument("--default-names", type=int, nargs="+", default=[170000, 32767])
    hosts.add_argument("--user-names", type=int, default=5000)
    hosts.add_argument("--allowed-names", type=int, default=1000)
    hosts.add_argument("--hosts-lines", type=int, default=10000)
    hosts.add_argument("--rounds", type=int, default=3)
    hosts.add_argument("--timeout", type=float, default=20.0)
    startup = sub.add_parser("startup", parents=[common])
    startup.add_argument("--rounds", type=int, default=5)
    idle = sub.add_parser("idle", parents=[common])
    idle.add_argument("--seconds", type=float, default=60.0)
    idle.add_argument("--settle", type=float, default=5.0)
    idle.add_argument("--windows", type=int, default=50,
                      help="other windows open under openbox while idle (0: no window manager)")
    args = parser.parse_args()
    args.bench_server = os.path.join(args.build, "bench/placeholder/placeholder_bench_server")
    args.qt_peer = os.path.join(args.build, "bench/shipped/bench_qt_window")

    work = args.work or tempfile.mkdtemp(prefix=f"zorvik-bench-{args.bench}-", dir="/tmp")
    with sb.Sandbox(work, os.path.abspath(args.app)) as box:
        if args.user:
            box.run_as_user()
            print("zorvik runs as an unprivileged user; zorvik-helper, as root, binds port 80 "
                  "and writes the hosts file for it")
        {"web": bench_web, "hosts": bench_hosts, "startup": bench_startup,
         "idle": bench_idle}[args.bench](box, args)
    # Kept after a failure (SystemExit skips this) or on request, for the logs in it.
    if not args.keep and not args.work:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
