#!/usr/bin/env python3
"""Local update server for the update-check tests.

  update_server.py start --dir D --port P   serve on 127.0.0.1:P in the background
  update_server.py stop --dir D             stop it again

The manifest /download/version.json answers in the current mode, which
GET /__mode/<name> sets; /m/<name>/download/version.json answers in the
named mode whatever the current one is. GET /__log returns the requests as
JSON lines (path, user agent) and GET /__clear forgets them.

Modes: newer, same, older, number (a "version" that is a number), garbage
(not JSON), value-first (the key's text as a value first), padded (70 KiB
before the member), empty, error (status 500), redirect (301), stall (half a
body, then nothing), silent (no answer at all).
"""
import argparse
import json
import os
import socket
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import local_server  # noqa: E402

PID_FILE = "update_server.pid"


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    log = []
    lock = threading.Lock()
    mode = "same"

    def log_message(self, *args):
        pass

    def send_body(self, status, body, ctype="application/json", extra=None):
        data = body.encode("utf-8") if isinstance(body, str) else body
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(data)))
        for k, v in (extra or {}).items():
            self.send_header(k, v)
        self.end_headers()
        self.wfile.write(data)

    def manifest(self, mode):
        if mode == "newer":
            return self.send_body(200, '{"name": "Quillet", "version": "1.4.0", "notes": "x"}')
        if mode == "same":
            return self.send_body(200, '{"version":"1.3.7"}')
        if mode == "older":
            return self.send_body(200, '{"version":"1.2.9"}')
        if mode == "number":
            return self.send_body(200, '{"version": 2.0}')
        if mode == "garbage":
            return self.send_body(200, "<html>no manifest here</html>", "text/html")
        if mode == "value-first":
            return self.send_body(200, '{"name":"version", "version":"2.1.0"}')
        if mode == "padded":
            return self.send_body(200, '{"pad":"' + "x" * (70 * 1024) + '","version":"9.0.0"}')
        if mode == "empty":
            return self.send_body(200, b"")
        if mode == "error":
            return self.send_body(500, '{"version":"9.9.9"}')
        if mode == "redirect":
            return self.send_body(301, '{"version":"9.9.9"}', extra={"Location": "/m/newer/download/version.json"})
        if mode == "stall":
            self.send_response(200)
            self.send_header("Content-Type", "application/json")
            self.send_header("Content-Length", "1000")
            self.end_headers()
            self.wfile.write(b'{"version":"3.0.0", "pad":"')
            self.wfile.flush()
            time.sleep(30)
            return
        if mode == "silent":
            time.sleep(30)
            return
        return self.send_body(404, "unknown mode", "text/plain")

    def do_GET(self):
        path = self.path
        if path.startswith("/__mode/"):
            Handler.mode = path[len("/__mode/"):]
            return self.send_body(200, "ok", "text/plain")
        if path == "/__log":
            with Handler.lock:
                lines = "".join(json.dumps(r) + "\n" for r in Handler.log)
            return self.send_body(200, lines or "\n")
        if path == "/__clear":
            with Handler.lock:
                Handler.log.clear()
            return self.send_body(200, "ok", "text/plain")
        with Handler.lock:
            Handler.log.append({"path": path, "user_agent": self.headers.get("User-Agent", "")})
        if path == "/download/version.json":
            return self.manifest(Handler.mode)
        if path.startswith("/m/") and path.endswith("/download/version.json"):
            return self.manifest(path.split("/")[2])
        if path == "/download/":
            return self.send_body(200, "<html><title>Download</title></html>", "text/html")
        return self.send_body(404, "not found", "text/plain")


def serve(port):
    local_server.serve_until_stopped(ThreadingHTTPServer(("127.0.0.1", port), Handler))


def stop(directory):
    local_server.stop(directory, PID_FILE)


def listening(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.2):
            return True
    except OSError:
        return False


def start(directory, port):
    stop(directory)
    if local_server.start(__file__, ["--port", str(port)], directory, PID_FILE, lambda: listening(port)):
        print("update server on port", port)
        return 0
    print("update server did not start on port", port, file=sys.stderr)
    return 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("command", choices=["start", "stop", "serve"])
    parser.add_argument("--dir", default=".")
    parser.add_argument("--port", type=int, default=0)
    args = parser.parse_args()
    if args.command == "serve":
        serve(args.port)
        return 0
    if args.command == "start":
        return start(args.dir, args.port)
    stop(args.dir)
    return 0


if __name__ == "__main__":
    sys.exit(main())
