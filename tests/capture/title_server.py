#!/usr/bin/env python3
"""Local web server for the link-title and HTTP tests.

  title_server.py start --dir D   serve on 127.0.0.1 (a free port) in the
                                  background; the port goes to D/title_server.port
  title_server.py stop --dir D    stop it again

Every request is recorded; GET /__log returns the records as JSON lines
(path, user agent, accept-encoding) and GET /__clear forgets them.
GET /__stats returns, as JSON, the most requests that were under way at
once, the body bytes the hostile pages managed to send, and with
?window=S the most requests that arrived within any S seconds. A request
counts as under way until the server sees its client gone, which lags
behind the client's closing; arrivals have no such lag.
"""
import argparse
import json
import os
import select
import socket
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import local_server  # noqa: E402

PORT_FILE = "title_server.port"
PID_FILE = "title_server.pid"

LONG_TITLE = "L" * 400

PAGES = {
    "/page/og": "<html><head><meta property='og:title' content='A &amp; B'>"
                "<title>Fallback</title></head><body></body></html>",
    "/page/twitter-first": '<html><head><meta name="twitter:title" content="Card title">'
                           '<meta property="og:title" content="Graph title">'
                           "<title>Element title</title></head></html>",
    "/page/title": "<html><head><TITLE lang=en>\n  Plain   &#x41;&#66; &bogus; title\n</TITLE></head></html>",
    "/page/long": "<html><head><title>" + LONG_TITLE + "</title></head></html>",
    "/page/unicode": "<html><head><meta property=\"og:title\" content=\"\u041f\u0440\u0438\u0432\u0435\u0442 "
                     "\U0001F600 &nbsp;!\"></head></html>",
    "/page/none": "<html><head></head><body>no title here</body></html>",
    "/watch": "<html><head><title>Video page itself</title></head></html>",
    "/page/bidi": "<html><head><title>Invoice\u202egpj.exe\u202c \u0007bell\u001b[0m \u2066iso\u2069 "
                  "\u200emark\u200f\u0085 end\u007f</title></head></html>",
}

# A title of half a million "&": references that never end.
PAGES["/page/ampersands"] = "<html><head><title>" + "&" * 500000 + "</title></head></html>"

CYRILLIC_TITLE = "\u041f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440"
# How long the hostile pages keep a connection at most.
HOSTILE_SECONDS = 60


def most_within(times, window):
    """The most of the sorted times that fall within any span of window seconds."""
    most, first = 0, 0
    for last, t in enumerate(times):
        while t - times[first] >= window and first < last:
            first += 1
        most = max(most, last - first + 1)
    return most


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    log = []
    lock = threading.Lock()
    busy = 0
    most_busy = 0
    arrivals = []
    hostile_bytes = 0

    def do_GET(self):
        counted = not self.path.startswith("/__")
        if counted:
            with Handler.lock:
                Handler.arrivals.append(time.monotonic())
                Handler.busy += 1
                Handler.most_busy = max(Handler.most_busy, Handler.busy)
        try:
            return self.route()
        finally:
            if counted:
                with Handler.lock:
                    Handler.busy -= 1

    def send_hostile(self, data, delay):
        """Sends data in pieces, delay seconds apart, for HOSTILE_SECONDS at most."""
        end = time.monotonic() + HOSTILE_SECONDS
        step = 1 if delay else 65536
        try:
            for i in range(0, len(data), step):
                if time.monotonic() > end:
                    break
                self.wfile.write(data[i:i + step])
                self.wfile.flush()
                with Handler.lock:
                    Handler.hostile_bytes += len(data[i:i + step])
                if delay:
                    time.sleep(delay)
        except OSError:
            pass
        self.close_connection = True

    def log_message(self, *args):
        pass

    def send_body(self, status, body, ctype="text/html; charset=utf-8", extra=None):
        data = body.encode("utf-8") if isinstance(body, str) else body
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(data)))
        for k, v in (extra or {}).items():
            self.send_header(k, v)
        self.end_headers()
        self.wfile.write(data)

    def route(self):
        parts = urlsplit(self.path)
        path = parts.path
        if path == "/__log":
            with Handler.lock:
                lines = "".join(json.dumps(r) + "\n" for r in Handler.log)
            return self.send_body(200, lines or "\n", "application/json")
        if path == "/__clear":
            with Handler.lock:
                Handler.log.clear()
                Handler.most_busy = Handler.busy
                Handler.arrivals.clear()
                Handler.hostile_bytes = 0
            return self.send_body(200, "ok", "text/plain")
        if path == "/__stats":
            window = float(parse_qs(parts.query).get("window", ["0"])[0])
            with Handler.lock:
                times = sorted(Handler.arrivals)
                stats = {"most_busy": Handler.most_busy, "hostile_bytes": Handler.hostile_bytes,
                         "most_arrivals": most_within(times, window)}
            return self.send_body(200, json.dumps(stats), "application/json")
        with Handler.lock:
            Handler.log.append({
                "path": self.path,
                "user_agent": self.headers.get("User-Agent", ""),
                "accept_encoding": self.headers.get("Accept-Encoding", ""),
            })
        query = parse_qs(parts.query)
        if path in ("/oembed", "/api/oembed/"):
            url = query.get("url", [""])[0]
            if "novideo" in url:
                return self.send_body(404, "not found", "text/plain")
            title = "Oembed \\u00e9 \\ud83d\\ude00 \\\"quoted\\\" for " + path
            return self.send_body(200, '{"type":"video","title":"' + title + '","x":1}', "application/json")
        if path in PAGES:
            return self.send_body(200, PAGES[path])
        if path == "/notfound":
            return self.send_body(404, "<html><head><title>Missing page</title></head></html>")
        if path == "/redirect":
            return self.send_body(301, "moved", "text/plain", {"Location": "/page/og"})
        if path == "/loop":
            return self.send_body(302, "again", "text/plain", {"Location": "/loop"})
        if path.startswith("/hop/"):
            # /hop/N redirects to /hop/N-1; /hop/0 is a page.
            n = int(path[5:])
            if n <= 0:
                return self.send_body(200, "<html><head><title>Arrived</title></head></html>")
            return self.send_body(301 if n % 2 else 307, "on", "text/plain",
                                  {"Location": "http://127.0.0.1:%d/hop/%d" % (self.server.server_address[1], n - 1)})
        if path == "/trickle":
            # Headers at once, then one byte a second.
            body = b"<html><head><title>Trickle</title></head>" + b" " * 100000
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            return self.send_hostile(body, 1.0)
        if path == "/silent":
            # Takes the request and never answers, until the client goes.
            end = time.monotonic() + HOSTILE_SECONDS
            while time.monotonic() < end:
                readable, _, _ = select.select([self.connection], [], [], 0.05)
                try:
                    if readable and not self.connection.recv(1, socket.MSG_PEEK):
                        break
                except OSError:
                    break
            self.close_connection = True
            return None
        if path == "/huge":
            body = b"<html><head><title>Huge</title></head>" + b"x" * (50 * 1024 * 1024)
            self.send_response(200)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            return self.send_hostile(body, 0)
        if path == "/cp1251/header":
            page = "<html><head><title>" + CYRILLIC_TITLE + "</title></head></html>"
            return self.send_body(200, page.encode("cp1251"), "text/html; charset=Windows-1251")
        if path == "/cp1251/meta":
            page = ('<html><head><meta charset="windows-1251"><title>' + CYRILLIC_TITLE +
                    "</title></head></html>")
            return self.send_body(200, page.encode("cp1251"), "text/html")
        if path == "/cp1251/http-equiv":
            page = ('<html><head><meta http-equiv="Content-Type" content="text/html; charset=cp1251">'
                    "<title>" + CYRILLIC_TITLE + "</title></head></html>")
            return self.send_body(200, page.encode("cp1251"), "text/html")
        if path == "/koi8/header":
            page = "<html><head><meta charset='utf-8'><title>" + CYRILLIC_TITLE + "</title></head></html>"
            return self.send_body(200, page.encode("koi8_r"), 'text/html;charset="koi8-r"')
        if path == "/charset/unknown":
            page = "<html><head><title>Plain \u00e9</title></head></html>"
            return self.send_body(200, page.encode("utf-8"), "text/html; charset=x-no-such-charset")
        if path == "/empty":
            return self.send_body(200, b"")
        if path == "/big":
            return self.send_body(200, b"<title>Big</title>" + b"x" * (2 * 1024 * 1024))
        return self.send_body(404, "<html><head><title>Unknown</title></head></html>")


def serve(directory):
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    port_path = os.path.join(directory, PORT_FILE)
    with open(port_path + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.replace(port_path + ".tmp", port_path)
    local_server.serve_until_stopped(server)


def stop(directory):
    local_server.stop(directory, PID_FILE, (PORT_FILE,))


def start(directory):
    stop(directory)
    port_path = os.path.join(directory, PORT_FILE)
    if local_server.start(__file__, ["--dir", directory], directory, PID_FILE, lambda: os.path.exists(port_path)):
        print("title server on port", open(port_path).read())
        return 0
    print("title server did not start", file=sys.stderr)
    return 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("command", choices=["start", "stop", "serve"])
    parser.add_argument("--dir", required=True)
    args = parser.parse_args()
    directory = os.path.abspath(args.dir)
    if args.command == "start":
        return start(directory)
    if args.command == "stop":
        stop(directory)
        return 0
    serve(directory)
    return 0


if __name__ == "__main__":
    sys.exit(main())
