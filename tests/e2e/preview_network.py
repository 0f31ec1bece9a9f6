"""A private network namespace in which the preview host of the program's
preview addresses resolves to a loopback server of ours.

Needs root and iproute2 (`ip netns`); callers skip their test otherwise.
"""

import os
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

SKIP = 77  # CTest's SKIP_RETURN_CODE for the end-to-end scripts


def preview_base(build_dir):
    cache = Path(build_dir, "CMakeCache.txt").read_text()
    return re.search(r"^QUORVEL_PREVIEW_BASE:STRING=(.*)$", cache, re.M).group(1)


def available():
    return os.geteuid() == 0 and shutil.which("ip") is not None


class PreviewNetwork:
    """`with PreviewNetwork(...) as net:` makes the namespace; net.serve()
    starts a server in it, net.prefix is the command prefix that runs a
    program inside it."""

    def __init__(self, source_dir, build_dir, wine_state):
        self.source_dir = Path(source_dir)
        self.wine_session = [str(self.source_dir / "tools" / "wine-session"), "restart", str(wine_state)]
        base = preview_base(build_dir)
        match = re.match(r"^[a-zA-Z]+://([^/:]+)(?::(\d+))?(/.*)?$", base)
        self.host, self.port = match.group(1), int(match.group(2) or 80)
        self.base_path = match.group(3) or "/"
        self.name = f"quorvel-e2e-{os.getpid()}"
        self.prefix = ["ip", "netns", "exec", self.name]
        self.server = None
        self.log = Path(build_dir, f"{self.name}-server.log")

    def __enter__(self):
        etc = Path("/etc/netns", self.name)
        etc.mkdir(parents=True, exist_ok=True)
        (etc / "hosts").write_text(f"127.0.0.1 localhost\n127.0.0.1 {self.host}\n")
        subprocess.run(["ip", "netns", "add", self.name], check=True)
        subprocess.run(self.prefix + ["ip", "link", "set", "lo", "up"], check=True)
        # Wine opens sockets in its wineserver: run that inside the namespace too.
        subprocess.run(self.wine_session + [self.name], check=True, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return self

    def serve(self, *extra):
        self.stop_serving()
        self.server = subprocess.Popen(
            self.prefix + [sys.executable, str(self.source_dir / "tools" / "preview-server.py"),
                           "--port", str(self.port), "--base-path", self.base_path,
                           "--root", str(self.source_dir / "preview" / "pictures"),
                           "--lifetime", "600", *extra],
            stdin=subprocess.DEVNULL, stdout=open(self.log, "a"), stderr=subprocess.STDOUT)
        time.sleep(0.5)

    def requests(self):
        return [line.split(" ", 1)[1] for line in self.log.read_text().splitlines()
                if line.startswith("GET ")]

    def stop_serving(self):
        if self.server:
            self.server.kill()
            self.server.wait()
            self.server = None

    def __exit__(self, *_):
        self.stop_serving()
        subprocess.run(self.wine_session, check=False, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["ip", "netns", "del", self.name], check=False)
        shutil.rmtree(Path("/etc/netns", self.name), ignore_errors=True)
