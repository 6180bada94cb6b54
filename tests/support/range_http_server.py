"""A small HTTP server for tests of remote rasters: serves one folder on 127.0.0.1 with single
byte-range requests, as a static file host or object store does for Cloud-Optimized GeoTIFFs.

Usage: range_http_server.py FOLDER

Prints the port (chosen by the system) on the first line of stdout, then serves until killed.
HEAD and GET; "Range: bytes=a-b" and "bytes=a-" answer 206 with Content-Range, a range
starting at or past the end 416, no Range (or one this server does not understand: several
ranges, a suffix range) the whole file with 200. Folders are not listed (404), like most
object stores.

A path under /trickle/ is the file below it (/trickle/dem.tif is /dem.tif), the bodies
of its answers sent 64 bytes every 2 seconds, as a stalled server or a dying link sends them.

GET /__stats returns what was served so far as JSON, so that a test can tell range requests
from whole-file downloads:
    {"requests": M, "bytes_sent": N, "paths": {"/dem.tif": {"requests": m, "bytes_sent": n}}}
bytes_sent counts body bytes only; the stats requests themselves are not counted.
"""

import json
import os
import re
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

STATS_PATH = "/__stats"
CHUNK = 64 * 1024
TRICKLE_PREFIX = "/trickle/"
TRICKLE_BYTES = 64
TRICKLE_SECONDS = 2.0
SINGLE_RANGE = re.compile(r"^bytes=(\d+)-(\d*)$")


class Stats:
    def __init__(self):
        self.lock = threading.Lock()
        self.paths = {}

    def count_request(self, path):
        with self.lock:
            self.paths.setdefault(path, {"requests": 0, "bytes_sent": 0})["requests"] += 1

    def count_bytes(self, path, n):
        with self.lock:
            self.paths[path]["bytes_sent"] += n

    def as_json(self):
        with self.lock:
            paths = {p: dict(s) for p, s in self.paths.items()}
        return json.dumps({"requests": sum(s["requests"] for s in paths.values()),
                           "bytes_sent": sum(s["bytes_sent"] for s in paths.values()),
                           "paths": paths}).encode()


def requested_range(header, size):
    """(first, last) byte of a single range, None for the whole file (no Range, or one that is
    ignored), or "unsatisfiable" for a range starting at or past the end."""
    match = SINGLE_RANGE.match(header.strip())
    if not match:
        return None
    first = int(match.group(1))
    last = int(match.group(2)) if match.group(2) else None
    if last is not None and last < first:
        return None  # not a valid range, so ignored as RFC 9110 says
    if first >= size:
        return "unsatisfiable"
    return first, size - 1 if last is None else min(last, size - 1)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"  # keep-alive, as libcurl expects from a file host

    def log_message(self, format, *args):
        pass

    def do_HEAD(self):
        self.answer(send_body=False)

    def do_GET(self):
        self.answer(send_body=True)

    def answer(self, send_body):
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
        if path == STATS_PATH:
            self.send_bytes(200, self.server.stats.as_json(), "application/json", send_body)
            return
        self.server.stats.count_request(path)
        trickle = path.startswith(TRICKLE_PREFIX)
        file = self.local_file(path[len(TRICKLE_PREFIX) - 1:] if trickle else path)
        if file is None:
            self.send_bytes(404, b"not found\n", "text/plain", send_body)
            return
        size = os.path.getsize(file)
        wanted = requested_range(self.headers.get("Range", ""), size)
        if wanted == "unsatisfiable":
            self.send_response(416)
            self.send_header("Content-Range", f"bytes */{size}")
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        status = 200 if wanted is None else 206
        first, last = (0, size - 1) if wanted is None else wanted
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Accept-Ranges", "bytes")
        self.send_header("Content-Length", str(last - first + 1))
        if status == 206:
            self.send_header("Content-Range", f"bytes {first}-{last}/{size}")
        self.end_headers()
        if send_body:
            self.send_file(file, path, first, last - first + 1, trickle)

    def local_file(self, path):
        """The regular file under the served folder for a URL path, or None."""
        root = self.server.root
        candidate = os.path.realpath(os.path.join(root, path.lstrip("/")))
        if os.path.commonpath([root, candidate]) != root or not os.path.isfile(candidate):
            return None
        return candidate

    def send_file(self, file, path, offset, length, trickle=False):
        with open(file, "rb") as f:
            f.seek(offset)
            while length > 0:
                data = f.read(min(TRICKLE_BYTES if trickle else CHUNK, length))
                if not data:
                    break
                if trickle:
                    time.sleep(TRICKLE_SECONDS)
                self.wfile.write(data)
                self.wfile.flush()
                self.server.stats.count_bytes(path, len(data))
                length -= len(data)

    def send_bytes(self, status, body, content_type, send_body):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if send_body:
            self.wfile.write(body)


class Server(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, root):
        super().__init__(("127.0.0.1", 0), Handler)
        self.root = os.path.realpath(root)
        self.stats = Stats()

    def handle_error(self, request, client_address):
        # Clients that hang up in the middle of a body (libcurl cancelling a read) are normal.
        if not isinstance(sys.exc_info()[1], ConnectionError):
            super().handle_error(request, client_address)


def main():
    if len(sys.argv) != 2 or not os.path.isdir(sys.argv[1]):
        sys.exit("usage: range_http_server.py FOLDER")
    server = Server(sys.argv[1])
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
