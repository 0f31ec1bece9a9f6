"""Drives the real program under Wine and Xvfb for the end-to-end tests.

The Wine session (prefix, X display, wineserver) is the one that
tools/wine-session started for the build folder; this module only starts
the program in it, finds its window with xdotool, sends real input and
takes screenshots of the X screen.
"""

import argparse
import os
import subprocess
import time
from pathlib import Path


def parse_args():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--wine-state", required=True)
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--build-dir", required=True)
    return parser.parse_args()


class Desktop:
    def __init__(self, args):
        self.args = args
        self.state = Path(args.wine_state)
        self.tools = Path(args.source_dir) / "tools"
        if not (self.state / "session").exists():
            subprocess.run([str(self.tools / "wine-session"), "start", str(self.state)],
                           check=True, stdout=subprocess.DEVNULL)
        self.env = dict(os.environ)
        self.env["WINEPREFIX"] = str(self.state / "prefix")
        self.env["WINEDEBUG"] = "-all"
        self.env["DISPLAY"] = (self.state / "display").read_text().strip()
        self.shots = Path(args.build_dir) / "screenshots"
        self.shots.mkdir(exist_ok=True)

    def run(self, *command, check=True, capture=True):
        return subprocess.run(command, env=self.env, check=check, text=True,
                              stdout=subprocess.PIPE if capture else subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)

    def start_program(self, exe=None, prefix_command=()):
        """Starts the program; its output goes to a log file, not to CTest."""
        log = open(Path(self.args.build_dir) / "e2e-program.log", "ab")
        return subprocess.Popen([*prefix_command, str(self.tools / "wine-run"), exe or self.args.exe],
                                env=self.env, stdin=subprocess.DEVNULL, stdout=log, stderr=log)

    def find_window(self, name="Quorvel", timeout=30.0, visible=True):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            command = ["xdotool", "search"] + (["--onlyvisible"] if visible else []) + ["--name", name]
            result = self.run(*command, check=False)
            ids = result.stdout.split()
            if ids:
                return ids[-1]
            time.sleep(0.1)
        return None

    def geometry(self, window):
        out = self.run("xdotool", "getwindowgeometry", "--shell", window).stdout
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return {k: int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT")}

    def mouse_to(self, window, x, y):
        self.run("xdotool", "mousemove", "--window", window, str(x), str(y))

    def click(self, window, x, y):
        self.mouse_to(window, x, y)
        time.sleep(0.05)
        self.run("xdotool", "click", "1")

    def key(self, window, key):
        self.run("xdotool", "windowfocus", "--sync", window, check=False)
        self.run("xdotool", "key", key)

    def screenshot(self, window, name):
        """The window's client area as a PNG; returns its path."""
        g = self.geometry(window)
        path = self.shots / f"{name}.png"
        self.run("import", "-window", "root", "-crop",
                 f"{g['WIDTH']}x{g['HEIGHT']}+{g['X']}+{g['Y']}", "+repage", str(path))
        return path

    def pixels(self, png, x, y, width, height):
        """RGB triples of a rectangle of a screenshot, read with ImageMagick."""
        data = subprocess.run(["convert", str(png), "-crop", f"{width}x{height}+{x}+{y}", "+repage",
                               "-depth", "8", "rgb:-"], stdout=subprocess.PIPE, check=True).stdout
        return [tuple(data[i:i + 3]) for i in range(0, len(data), 3)]


def wait_exit(process, timeout):
    try:
        return process.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        return None
