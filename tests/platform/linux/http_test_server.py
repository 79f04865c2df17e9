#!/usr/bin/python3
"""A local web server and two tiny proxies for the transfer backend's tests.

Usage: http_test_server.py --log FILE [--cert PEM --key KEY]

Listens on free loopback ports and prints one JSON line with them ("http", "https" when a
certificate is given, "proxyA", "proxyB"), then serves until its standard input closes. The
proxies answer every GET themselves ("proxy A: GET <address>") and refuse CONNECT with 502;
both write what they saw to the log file, one line each.
"""

import argparse
import json
import ssl
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

LAST_MODIFIED = "Wed, 21 Oct 2015 07:28:00 GMT"
ETAG = '"v1-abc"'


class Quiet(BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def send(self, code, body=b"", headers=(), length=True):
        self.send_response(code)
        for name, value in headers:
            self.send_header(name, value)
        if length:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class Server(Quiet):
    def do_GET(self):
        try:
            self.route()
        except (BrokenPipeError, ConnectionResetError):
            pass

    def route(self):
        parts = self.path.split("?")[0].strip("/").split("/")
        name, args = parts[0], parts[1:]
        if name == "hello":
            self.send(200, b"hello")
        elif name == "bom":
            self.send(200, b"\xef\xbb\xbflist")
        elif name == "redirect":
            left = int(args[0])
            if left == 0:
                self.send(200, b"arrived")
            else:
                self.send(302, b"moved", [("Location", "/redirect/%d" % (left - 1))])
        elif name == "loop":
            self.send(302, b"", [("Location", "/loop")])
        elif name == "tofile":
            self.send(302, b"", [("Location", "file:///etc/hostname")])
        elif name == "nowhere":
            self.send(302, b"moved somewhere")
        elif name == "status":
            self.send(int(args[0]), b"an error page")
        elif name == "truncated":
            self.send_response(200)
            self.send_header("Content-Length", "1000")
            self.end_headers()
            self.wfile.write(b"0123456789")
        elif name == "sized":
            self.send(200, b"x" * int(args[0]))
        elif name == "unsized":
            self.send(200, b"x" * int(args[0]), length=False)
        elif name == "trickle":
            count, gap = int(args[0]), int(args[1]) / 1000.0
            self.send_response(200)
            self.send_header("Content-Length", str(count))
            self.end_headers()
            for _ in range(count):
                self.wfile.write(b"t")
                self.wfile.flush()
                time.sleep(gap)
        elif name == "conditional":
            headers = [("ETag", ETAG), ("Last-Modified", LAST_MODIFIED)]
            if (self.headers.get("If-None-Match") == ETAG
                    or self.headers.get("If-Modified-Since") == LAST_MODIFIED):
                self.send(304, b"", headers, length=False)
            else:
                self.send(200, b"fresh", headers)
        elif name == "headers":
            self.send(200, str(self.headers).encode())
        else:
            self.send(404, b"no such page")


def proxy(label, log):
    class Proxy(Quiet):
        def note(self):
            with open(log, "a") as out:
                out.write("%s %s %s\n" % (label, self.command, self.path))

        def do_GET(self):
            self.note()
            self.send(200, ("proxy %s: GET %s" % (label, self.path)).encode())

        def do_CONNECT(self):
            self.note()
            self.send(502, b"no tunnels here")

    return Proxy


def serve(server):
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server.server_address[1]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--log", required=True)
    parser.add_argument("--cert")
    parser.add_argument("--key")
    options = parser.parse_args()
    ports = {"http": serve(ThreadingHTTPServer(("127.0.0.1", 0), Server))}
    if options.cert:
        secure = ThreadingHTTPServer(("127.0.0.1", 0), Server)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(options.cert, options.key)
        secure.socket = context.wrap_socket(secure.socket, server_side=True)
        ports["https"] = serve(secure)
    ports["proxyA"] = serve(ThreadingHTTPServer(("127.0.0.1", 0), proxy("A", options.log)))
    ports["proxyB"] = serve(ThreadingHTTPServer(("127.0.0.1", 0), proxy("B", options.log)))
    print(json.dumps(ports), flush=True)
    sys.stdin.read()


if __name__ == "__main__":
    main()
