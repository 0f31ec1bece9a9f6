#!/usr/bin/env python3
"""Loopback HTTP server for the tests and benchmarks of the HTTP code.

Binds 127.0.0.1 on a free port and reports the port (on stdout, or in the
file given with --port-file, written whole by a rename). It stops by itself
after --idle seconds without a request, after --lifetime seconds in all, or
on GET /shutdown. Every answer closes its connection.

Routes (query parameters in brackets):
  /echo...              200, the body is the exact request received (request
                        line, header lines and body bytes); any path that
                        begins with /echo
  /body [hex]           200, the body is the bytes given in hex
  /bytes [n]            200, n bytes of a fixed pattern (byte i is i % 251)
  /slow [ms]            waits ms milliseconds, then 200 "slow"
  /never                reads the request and never answers
  /drip [n, ms]         Content-Length n, then one byte every ms milliseconds
  /close-mid [n, sent]  Content-Length n, sends `sent` pattern bytes, closes
  /stream [n]           n pattern bytes without Content-Length, then closes
  /redirect [to, code]  `code` (302) with Location `to`
  /cookie [name, value, attributes]
                        200 with "Set-Cookie: name=value; attributes"
  /long-headers [n]     200 with header lines of about n bytes in all
  /error [status]       the status (404) with an HTML error page
  /shutdown             200, then the server stops
"""

import argparse
import os
import select
import socket
import socketserver
import sys
import threading
import time
import urllib.parse


def pattern(n, start=0):
    block = bytes(i % 251 for i in range(251))
    out = bytearray()
    offset = start % 251
    while len(out) < n:
        out += block[offset:]
        offset = 0
    return bytes(out[:n])


class Handler(socketserver.BaseRequestHandler):
    def read_request(self):
        data = b""
        sock = self.request
        sock.settimeout(30)
        while b"\r\n\r\n" not in data:
            chunk = sock.recv(65536)
            if not chunk:
                return None
            data += chunk
            if len(data) > 1 << 20:
                return None
        head, _, rest = data.partition(b"\r\n\r\n")
        length = 0
        for line in head.split(b"\r\n")[1:]:
            name, _, value = line.partition(b":")
            if name.strip().lower() == b"content-length":
                length = int(value.strip() or b"0")
        while len(rest) < length:
            chunk = sock.recv(65536)
            if not chunk:
                break
            rest += chunk
        return head + b"\r\n\r\n", rest

    def send(self, status, headers=(), body=b"", length=True):
        reason = {200: "OK", 301: "Moved Permanently", 302: "Found", 303: "See Other",
                  404: "Not Found", 500: "Internal Server Error"}.get(status, "Status")
        lines = ["HTTP/1.1 %d %s" % (status, reason)]
        lines += ["%s: %s" % item for item in headers]
        if length:
            lines.append("Content-Length: %d" % len(body))
        lines.append("Connection: close")
        self.request.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1") + body)

    def send_head(self, status, headers):
        lines = ["HTTP/1.1 %d OK" % status] + ["%s: %s" % item for item in headers]
        lines.append("Connection: close")
        self.request.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))

    def wait_unless_closed(self, seconds):
        """Sleeps up to `seconds`; returns False when the peer closed."""
        end = time.monotonic() + seconds
        while not self.server.stopping.is_set():
            left = end - time.monotonic()
            if left <= 0:
                return True
            readable, _, _ = select.select([self.request], [], [], min(left, 0.2))
            if readable:
                try:
                    if not self.request.recv(1, socket.MSG_PEEK):
                        return False
                except OSError:
                    return False
        return False

    def handle(self):
        self.server.touch()
        try:
            request = self.read_request()
        except (OSError, ValueError):
            return
        if request is None:
            return
        head, body = request
        request_line = head.split(b"\r\n", 1)[0].decode("latin-1")
        parts = request_line.split(" ")
        target = parts[1] if len(parts) > 1 else "/"
        url = urllib.parse.urlsplit(target)
        query = dict(urllib.parse.parse_qsl(url.query))
        route = url.path
        number = lambda key, default: int(query.get(key, default))
        try:
            self.route(route, query, number, head, body)
        except OSError:
            pass  # the client went away
        finally:
            self.server.touch()

    def route(self, route, query, number, head, body):
        if route.startswith("/echo"):
            self.send(200, [("Content-Type", "application/octet-stream")], head + body)
        elif route == "/body":
            self.send(200, [("Content-Type", "text/plain")], bytes.fromhex(query.get("hex", "")))
        elif route == "/bytes":
            self.send(200, [("Content-Type", "image/jpeg")], pattern(number("n", 1024)))
        elif route == "/slow":
            if self.wait_unless_closed(number("ms", 1000) / 1000.0):
                self.send(200, [("Content-Type", "text/plain")], b"slow")
        elif route == "/never":
            self.wait_unless_closed(self.server.lifetime)
        elif route == "/drip":
            n, ms = number("n", 10), number("ms", 100)
            self.send_head(200, [("Content-Length", str(n))])
            for i in range(n):
                if not self.wait_unless_closed(ms / 1000.0):
                    return
                self.request.sendall(pattern(1, i))
        elif route == "/close-mid":
            n, sent = number("n", 1000), number("sent", 100)
            self.send_head(200, [("Content-Length", str(n))])
            self.request.sendall(pattern(sent))
            self.request.shutdown(socket.SHUT_RDWR)
        elif route == "/stream":
            n = number("n", 1 << 20)
            self.send_head(200, [("Content-Type", "application/octet-stream")])
            block = pattern(251 * 4096)
            left = n
            while left > 0 and not self.server.stopping.is_set():
                piece = block[: min(left, len(block))]
                self.request.sendall(piece)
                left -= len(piece)
        elif route == "/redirect":
            self.send(number("code", 302), [("Location", query.get("to", "/echo"))], b"moved")
        elif route == "/cookie":
            cookie = "%s=%s" % (query.get("name", "probe"), query.get("value", "1"))
            if query.get("attributes"):
                cookie += "; " + query["attributes"]
            self.send(200, [("Set-Cookie", cookie)], b"cookie set")
        elif route == "/long-headers":
            n = number("n", 8192)
            headers, total, i = [], 0, 0
            while total < n:
                value = ("%04d-" % i) + "x" * 90
                headers.append(("X-Long-%04d" % i, value))
                total += len(value) + 14
                i += 1
            headers.append(("X-Last", "end"))
            self.send(200, headers, b"long headers")
        elif route == "/error":
            status = number("status", 404)
            self.send(status, [("Content-Type", "text/html")],
                      b"<html><body>error page %d</body></html>" % status)
        elif route == "/shutdown":
            self.send(200, [], b"bye")
            self.server.stopping.set()
        else:
            self.send(404, [], b"no such route")


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, idle, lifetime):
        super().__init__(("127.0.0.1", 0), Handler)
        self.idle = idle
        self.lifetime = lifetime
        self.started = time.monotonic()
        self.last = self.started
        self.stopping = threading.Event()

    def touch(self):
        self.last = time.monotonic()

    def watch(self):
        while not self.stopping.wait(0.2):
            now = time.monotonic()
            if now - self.last > self.idle or now - self.started > self.lifetime:
                self.stopping.set()
        self.shutdown()


def detach_from_output(log):
    """Started by a test program, the server must not hold its caller's
    output: CTest waits for every holder of its pipe to close it."""
    target = os.open(log or os.devnull, os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644)
    null = os.open(os.devnull, os.O_RDONLY)
    os.dup2(null, 0)
    os.dup2(target, 1)
    os.dup2(target, 2)
    os.closerange(3, 4096)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port-file", help="write the port here instead of stdout")
    parser.add_argument("--log", help="file for the server's own output (with --port-file)")
    parser.add_argument("--idle", type=float, default=60.0)
    parser.add_argument("--lifetime", type=float, default=900.0)
    args = parser.parse_args()
    if args.port_file:
        detach_from_output(args.log)
    server = Server(args.idle, args.lifetime)
    port = server.server_address[1]
    if args.port_file:
        temporary = args.port_file + ".tmp"
        with open(temporary, "w") as f:
            f.write("%d\n" % port)
        os.replace(temporary, args.port_file)
    else:
        print(port, flush=True)
    threading.Thread(target=server.watch, daemon=True).start()
    server.serve_forever(poll_interval=0.1)
    server.server_close()


if __name__ == "__main__":
    sys.exit(main())
