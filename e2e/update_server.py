"""The update server of the end-to-end tests: a real nginx in the test's network namespace on
127.0.0.2:80 (the placeholder server keeps 127.0.0.1:80), serving files made by the publisher tool,
with its name in the user's /etc/hosts and in Zorvik's UpdateServer setting before the first start."""

import datetime
import os
import re
import socket
import subprocess
import time

from harness import check, log, wait_until

HOST = "updates.e2e.test"
ADDRESS = "127.0.0.2"
URL = f"http://{HOST}"
HERE = os.path.dirname(os.path.abspath(__file__))
PUBLISHER = os.path.join(HERE, "..", "scripts", "publish-updates.py")
NGINX = "/usr/sbin/nginx"
REQUEST = re.compile(r'"GET (\S+) HTTP/[0-9.]+" (\d+)')


def date_text(days=0):
    """The local date `days` away from today as the update server writes it (month/day/year): a
    published date is only newer or older than the client's relative to the clock."""
    day = datetime.date.today() + datetime.timedelta(days=days)
    return f"{day.month}/{day.day}/{day.year}"


def prepare(sandbox, user_hosts):
    """The user's hosts file names the update server; zorvik.ini points at it. Before any start."""
    with open("/etc/hosts", "wb") as handle:
        handle.write(user_hosts + b"\n" + f"{ADDRESS} {HOST}\n".encode())
    with open(sandbox.config_file("zorvik.ini"), "wb") as handle:
        handle.write(f"[Settings]\r\nUpdateServer={URL}\r\n".encode())


class UpdateServer:
    """nginx serving <work>/www as http://updates.e2e.test/; locations can be added per test."""

    def __init__(self, sandbox):
        self.sandbox = sandbox
        self.work = os.path.join(sandbox.work, "nginx")
        self.root = os.path.join(self.work, "www")
        self.zshared = os.path.join(self.root, "zshared")
        self.access_log = os.path.join(self.work, "access.log")
        self.process = None
        os.makedirs(self.zshared, exist_ok=True)
        os.makedirs(os.path.join(self.work, "tmp"), exist_ok=True)

    def publish(self, names, date=None, popups=(), spyware=None, version=None):
        """Runs the publisher tool on a hosts-format list of the names, dated ten days ago unless
        a date is given."""
        date = date or date_text(-10)
        source = os.path.join(self.work, "list.txt")
        with open(source, "w") as handle:
            handle.write("# published for the test\n")
            handle.writelines(f"0.0.0.0 {name}\n" for name in names)
        command = ["/usr/bin/python3", PUBLISHER, "--out", self.zshared, "--list", source,
                   "--date", date, "--server", URL]
        if popups:
            path = os.path.join(self.work, "popups.txt")
            with open(path, "w") as handle:
                handle.writelines(f"{name}\n" for name in popups)
            command += ["--popups", path]
        if spyware:
            path = os.path.join(self.work, "spyware.txt")
            with open(path, "w") as handle:
                handle.writelines(f"{line}\n" for line in spyware)
            command += ["--spyware", path]
        if version:
            command += ["--version", version]
        result = subprocess.run(command, capture_output=True, text=True)
        check(result.returncode == 0, f"the publisher tool failed: {result.stderr}")
        log(f"published: {result.stdout.strip()}")

    def put(self, name, body):
        """Replaces a served file by the given bytes (a cut-short list, an error page)."""
        with open(os.path.join(self.zshared, name), "wb") as handle:
            handle.write(body)

    def start(self, locations=""):
        tmp = os.path.join(self.work, "tmp")
        conf = os.path.join(self.work, "nginx.conf")
        with open(conf, "w") as handle:
            handle.write(f"""
daemon off;
master_process off;
worker_processes 1;
pid {self.work}/nginx.pid;
error_log {self.work}/error.log info;
events {{ worker_connections 256; }}
http {{
    access_log {self.access_log};
    client_body_temp_path {tmp}/body;
    proxy_temp_path {tmp}/proxy;
    fastcgi_temp_path {tmp}/fastcgi;
    uwsgi_temp_path {tmp}/uwsgi;
    scgi_temp_path {tmp}/scgi;
    default_type text/plain;
    server {{
        listen {ADDRESS}:80;
        root {self.root};
        {locations}
    }}
}}
""")
        self.process = subprocess.Popen([NGINX, "-c", conf, "-e", f"{self.work}/error.log"],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT)
        self.sandbox._processes.append(self.process)
        check(wait_until(self._listening, 10), "nginx did not listen on 127.0.0.2:80")

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=5)

    @staticmethod
    def _listening():
        try:
            with socket.create_connection((ADDRESS, 80), timeout=0.5):
                return True
        except OSError:
            return False

    def requests(self):
        """(path, status) of every GET nginx logged, in order."""
        try:
            with open(self.access_log) as handle:
                return [(m.group(1), m.group(2)) for m in map(REQUEST.search, handle) if m]
        except FileNotFoundError:
            return []

    def paths(self):
        """The paths asked for, each run of repeats (the quick retries) as one."""
        result = []
        for path, _ in self.requests():
            if not result or result[-1] != path:
                result.append(path)
        return result


def wait_requests(server, count, timeout):
    """Waits until nginx logged at least count requests."""
    return wait_until(lambda: len(server.requests()) >= count, timeout)


def copy_of(path):
    try:
        with open(path, "rb") as handle:
            return handle.read()
    except FileNotFoundError:
        return None


