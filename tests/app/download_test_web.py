#!/usr/bin/env python3
"""The web side of the transfer root for the download test's one fault that
nginx cannot be told to make: a file answered with 404 a given number of
times before it is served.

    download_test_web.py --root ROOT --state STATE

STATE/web.port gets the port (127.0.0.1) once the server listens; the test
writes STATE/web.control, lines "PATH COUNT" (read at every request: PATH is
answered 404 for its first COUNT requests); every request is logged to
STATE/web.log as "METHOD PATH STATUS".  Folders answer 200 with no body.
"""
import argparse
import http.server
import os
import threading
import urllib.parse

parser = argparse.ArgumentParser()
parser.add_argument("--root", required=True)
parser.add_argument("--state", required=True)
args = parser.parse_args()

lock = threading.Lock()
answered_404 = {}


def fails(path):
    """Whether this request for path is one of its 404s."""
    wanted = {}
    try:
        with open(os.path.join(args.state, "web.control")) as control:
            for line in control:
                parts = line.split()
                if len(parts) == 2:
                    wanted[parts[0]] = int(parts[1])
    except OSError:
        pass
    with lock:
        done = answered_404.get(path, 0)
        if done < wanted.get(path, 0):
            answered_404[path] = done + 1
            return True
    return False


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        self.answer(True)

    def do_HEAD(self):
        self.answer(False)

    def answer(self, with_body):
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
        local = os.path.join(args.root, path.lstrip("/"))
        data = None
        if not fails(path):
            if os.path.isdir(local):
                data = b""
            elif os.path.isfile(local):
                with open(local, "rb") as f:
                    data = f.read()
        status = 404 if data is None else 200
        with lock:
            with open(os.path.join(args.state, "web.log"), "a") as log:
                log.write("%s %s %d\n" % (self.command, path, status))
        if data is None:
            data = b"not found"
        self.send_response(status)
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        if with_body:
            self.wfile.write(data)
        self.close_connection = True

    def log_message(self, *unused):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(os.path.join(args.state, "web.port.tmp"), "w") as f:
    f.write(str(server.server_address[1]))
os.rename(os.path.join(args.state, "web.port.tmp"), os.path.join(args.state, "web.port"))
server.serve_forever()
