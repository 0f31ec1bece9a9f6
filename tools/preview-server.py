#!/usr/bin/env python3
"""Serves the theme preview pictures of this repository over HTTP.

    preview-server.py --port 80 --root preview/pictures --base-path /themes/

A GET of BASE-PATH + NAME answers with the file NAME from ROOT. With
--never-answer the server accepts connections and never replies (for the
time-limit tests). Every request is logged to stdout as one line.
"""

import argparse
import http.server
import mimetypes
import socketserver
import sys
import threading
import time
from pathlib import Path


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=80)
    parser.add_argument("--bind", default="127.0.0.1")
    parser.add_argument("--root", default="preview/pictures")
    parser.add_argument("--base-path", default="/")
    parser.add_argument("--never-answer", action="store_true")
    parser.add_argument("--lifetime", type=float, default=3600.0,
                        help="seconds after which the server stops by itself")
    args = parser.parse_args()
    root = Path(args.root).resolve()
    base = "/" + args.base_path.strip("/") + "/" if args.base_path.strip("/") else "/"

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def do_GET(self):
            print(f"GET {self.path}", flush=True)
            if args.never_answer:
                time.sleep(args.lifetime)
                return
            name = self.path.split("?", 1)[0]
            data = None
            if name.startswith(base):
                candidate = (root / name[len(base):]).resolve()
                if candidate.parent == root and candidate.is_file():
                    data = candidate.read_bytes()
            if data is None:
                body = b"<html><body>not found</body></html>"
                self.send_response(404)
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
                return
            self.send_response(200)
            self.send_header("Content-Type", mimetypes.guess_type(name)[0] or "application/octet-stream")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)

        def log_message(self, *_):
            pass

    class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
        daemon_threads = True
        allow_reuse_address = True

    server = Server((args.bind, args.port), Handler)
    print(f"serving {root} on {args.bind}:{server.server_address[1]}{base}", flush=True)
    stopper = threading.Timer(args.lifetime, server.shutdown)
    stopper.daemon = True
    stopper.start()
    server.serve_forever()
    return 0


if __name__ == "__main__":
    sys.exit(main())
