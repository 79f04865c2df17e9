"""A full ad-data update in the shipped program beside curl and sort.

Runs inside private mount and network namespaces (run.sh starts it with `unshare --mount --net
--fork`), in the sandbox of bench/shipped. nginx on 127.0.0.2:80 serves the files the publisher
tool made from a list of 170,000 names (and an earlier list, so removals.txt holds names too). The
program starts as a later start whose number is a multiple of three, so the tenth blocked ad
starts the automatic update; the figure is the time from that ad to /etc/hosts holding the new
list (date, list and removals downloaded, the list file written, the removals cut, the hosts file
rebuilt). The peer: `curl` downloading the same three files plus `LC_ALL=C sort -u` of the names.
"""

import argparse
import os
import random
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "bench", "shipped"))

from sandbox import LATER_START_INI, Sandbox, log, port_open, stop, wait_until  # noqa: E402

HOST = "updates.bench.test"
ADDRESS = "127.0.0.2"
PUBLISHER = os.path.join(ROOT, "scripts", "publish-updates.py")
FILES = ["updatedate.txt", "domains.txt", "removals.txt"]
# A list file's count is a 16-bit number: the program keeps the first 32,767 names.
KEPT = 32767


def names(count, seed):
    rng = random.Random(seed)
    words = ["ads", "track", "pixel", "banner", "metric", "count", "click", "serve", "cdn"]
    return [f"{rng.choice(words)}{i}.{rng.choice(words)}-{rng.choice(words)}.example"
            for i in range(count)]


def publish(www, listed, date):
    source = os.path.join(www, "..", "list.txt")
    with open(source, "w") as handle:
        handle.writelines(f"0.0.0.0 {name}\n" for name in listed)
    subprocess.run(["/usr/bin/python3", PUBLISHER, "--out", www, "--list", source, "--date", date,
                    "--server", f"http://{HOST}"], check=True, stdout=subprocess.DEVNULL)


def start_nginx(box, root):
    work = os.path.join(box.work, "nginx")
    os.makedirs(os.path.join(work, "tmp"), exist_ok=True)
    conf = os.path.join(work, "nginx.conf")
    with open(conf, "w") as handle:
        handle.write(f"""daemon off; master_process off; worker_processes 1;
pid {work}/nginx.pid; error_log {work}/error.log;
events {{ worker_connections 256; }}
http {{ access_log off; default_type text/plain;
  client_body_temp_path {work}/tmp/b; proxy_temp_path {work}/tmp/p;
  fastcgi_temp_path {work}/tmp/f; uwsgi_temp_path {work}/tmp/u; scgi_temp_path {work}/tmp/s;
  server {{ listen {ADDRESS}:80; root {root}; }} }}
""")
    box.spawn(["nginx", "-c", conf, "-e", f"{work}/error.log"], "nginx")
    if not wait_until(lambda: port_open(80, ADDRESS), 10):
        raise SystemExit("nginx did not listen on 127.0.0.2:80")


def blocked_ad(name):
    with socket.create_connection(("127.0.0.1", 80), timeout=5) as sock:
        sock.sendall(f"GET /ad.gif HTTP/1.0\r\nHost: {name}\r\n\r\n".encode())
        while sock.recv(65536):
            pass


def hosts_holds(line):
    try:
        with open("/etc/hosts", "rb") as handle:
            return line in handle.read()
    except FileNotFoundError:
        return False


def one_round(box, user_hosts, settings, shipped_list, marker, timeout):
    """Seconds from the tenth blocked ad to the new list in /etc/hosts, or None."""
    box.reset_program_state()
    with open(os.path.join(box.config_dir, "zorvik.ini"), "w", newline="\r\n") as handle:
        handle.write(settings)
    with open(os.path.join(box.app_dir, "zorvikhosts.ini"), "wb") as handle:
        handle.write(shipped_list)
    # Each round starts from the shipped list: the user's downloaded copies and state go.
    for name in ("zvupdate.dat", "removals.ini", "zvhosts.dat", "zorvikhosts.ini", "zvspyware.ini"):
        path = os.path.join(box.data_dir, name)
        if os.path.exists(path):
            os.remove(path)
    for suffix in ("zvb", "zvf"):
        if os.path.exists("/etc/hosts" + suffix):
            os.remove("/etc/hosts" + suffix)
    store = os.path.join(box.env["XDG_CONFIG_HOME"], "halvern", "Zorvik.ini")
    with open(store, "a") as handle:
        handle.write("Starts=2\n")
    with open("/etc/hosts", "wb") as handle:
        handle.write(user_hosts)
    program = box.launch_program()
    try:
        if not wait_until(lambda: port_open(80) and hosts_holds(b"127.0.0.1 doubleclick.net"), 30):
            raise SystemExit("the program did not start blocking")
        for _ in range(9):
            blocked_ad("doubleclick.net")
        started = time.monotonic()
        blocked_ad("doubleclick.net")
        if not wait_until(lambda: hosts_holds(marker), timeout, 0.005):
            return None
        return time.monotonic() - started
    finally:
        stop(program)


def peer_round(work):
    """curl downloading the three files, then sort -u of the names."""
    started = time.monotonic()
    command = ["curl", "-s", "--noproxy", "*"]
    for name in FILES:
        command += ["-o", os.path.join(work, name), f"http://{HOST}/zshared/{name}"]
    subprocess.run(command, check=True)
    with open(os.path.join(work, "sorted.txt"), "wb") as out:
        subprocess.run(["sort", "-u", os.path.join(work, "domains.txt")], check=True, stdout=out,
                       env={"LC_ALL": "C", "PATH": os.environ["PATH"]})
    return time.monotonic() - started


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", required=True)
    parser.add_argument("--names", type=int, default=170000)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--timeout", type=float, default=60)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="zorvik-bench-updates-", dir="/tmp")
    listed = names(args.names, 20261210)
    earlier = listed[: args.names // 2] + names(2000, 7)
    with Sandbox(work, args.app) as box:
        www = os.path.join(work, "www", "zshared")
        os.makedirs(www)
        publish(www, earlier, "11/1/2026")
        publish(www, listed, "12/1/2026")
        start_nginx(box, os.path.join(work, "www"))
        with open("/etc/hosts", "rb") as handle:
            user_hosts = handle.read().rstrip(b"\n") + f"\n{ADDRESS} {HOST}\n".encode()
        with open(os.path.join(box.app_dir, "zorvikhosts.ini"), "rb") as handle:
            shipped_list = handle.read()
        settings = LATER_START_INI + f"UpdateServer=http://{HOST}\n"
        marker = f"127.0.0.1 {listed[min(len(listed), KEPT) - 1]}".encode()
        print(f"{args.names} names published ({min(args.names, KEPT)} kept by the program), "
              f"{args.rounds} rounds", flush=True)
        ours, peers = [], []
        for number in range(args.rounds):
            seconds = one_round(box, user_hosts, settings, shipped_list, marker, args.timeout)
            if seconds is None:
                print(f"  round {number + 1}: the new list never reached /etc/hosts")
                return 1
            ours.append(seconds)
            peers.append(peer_round(work))
            print(f"  round {number + 1}: zorvik {seconds:.3f} s, curl + sort -u "
                  f"{peers[-1]:.3f} s", flush=True)
        best, peer = min(ours), min(peers)
        log(f"update {best:.3f} s, curl + sort -u {peer:.3f} s: {best / peer:.2f}x "
            f"(goal <= 2x)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
