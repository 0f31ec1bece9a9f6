#!/usr/bin/env python3
"""The whole preview under Wine (download from loopback, transcode, show),
for each of the six preview pictures of the repository.

    bench/preview.py BUILD_DIR [--rounds N]
"""

import argparse
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
PICTURES = ["jddtb2.jpg", "zdjjui.png", "hkui52.jpg", "mnui.png", "zs2ui.jpg", "zqui.jpg"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir")
    parser.add_argument("--rounds", type=int, default=10)
    args = parser.parse_args()
    build = os.path.abspath(args.build_dir)
    server = subprocess.Popen([sys.executable, os.path.join(ROOT, "tools", "preview-server.py"),
                               "--port", "0", "--root", os.path.join(ROOT, "preview", "pictures"),
                               "--base-path", "/themes/", "--lifetime", "600"],
                              stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True)
    try:
        port = server.stdout.readline().split(":")[-1].split("/")[0]
        base = f"http://127.0.0.1:{port}/themes/"
        env = dict(os.environ, QUORVEL_WINE_STATE=os.path.join(build, "wine"))
        result = subprocess.run([os.path.join(ROOT, "tools", "wine-run"),
                                 os.path.join(build, "bench", "preview_bench.exe"), base,
                                 str(args.rounds), *PICTURES], env=env, text=True,
                                capture_output=True, timeout=900)
        sys.stdout.write(result.stdout)
        sys.stderr.write(result.stderr)
        return result.returncode
    finally:
        server.terminate()
        server.wait()


if __name__ == "__main__":
    sys.exit(main())
