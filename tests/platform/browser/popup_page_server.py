#!/usr/bin/python3
"""A loopback web server of test pages for the launcher's tests.

Usage: popup_page_server.py --log FILE

Listens on a free loopback port, prints one JSON line with it ({"http": PORT}), and serves until
its standard input closes. Every request's path goes to the log file, one line each, as it
arrives. Pages:
  /onload/ID    opens /pop/ID while it loads, with no user gesture, then fetches /done/ID
                (which it reaches only once its window.open has returned)
  /onload3/ID   opens /pop/ID-1, /pop/ID-2 and /pop/ID-3 the same way, then fetches
                /done/ID-N, N the number of them window.open returned a window for
  /click/ID     a button over the whole page whose click opens /pop/ID, then fetches /done/ID
  anything else a short text page
"""

import argparse
import json
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PAGES = {
    "onload": "<script>window.open('/pop/{id}'); fetch('/done/{id}');</script>opener",
    "onload3": ("<script>let n = 0; for (const i of [1, 2, 3]) {{ "
                "if (window.open('/pop/{id}-' + i)) ++n; }} fetch('/done/{id}-' + n);</script>"
                "opener"),
    "click": ("<button id=b style='position:fixed;left:0;top:0;width:100%;height:100%' "
              "onclick=\"window.open('/pop/{id}'); fetch('/done/{id}')\">open</button>"),
}


def handler(log):
    lock = threading.Lock()

    class Pages(BaseHTTPRequestHandler):
        def log_message(self, *args):
            pass

        def do_GET(self):
            with lock, open(log, "a", encoding="utf-8") as out:
                out.write(self.path + "\n")
            parts = self.path.strip("/").split("/")
            template = PAGES.get(parts[0]) if len(parts) == 2 else None
            body = (template.format(id=parts[1]) if template else "page").encode()
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(body)))
            self.send_header("Cache-Control", "no-store")
            self.end_headers()
            self.wfile.write(body)

    return Pages


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--log", required=True)
    args = parser.parse_args()
    server = ThreadingHTTPServer(("127.0.0.1", 0), handler(args.log))
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print(json.dumps({"http": server.server_address[1]}), flush=True)
    sys.stdin.read()
    server.shutdown()


if __name__ == "__main__":
    main()
