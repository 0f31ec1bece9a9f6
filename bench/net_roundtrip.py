#!/usr/bin/env python3
"""Round trip of a 100 KB GET from the loopback test server: WebRequest under
Wine (net_roundtrip_bench.exe) against curl fetching the same address in the
same run, and the window's responsiveness during a slow request.

    bench/net_roundtrip.py BUILD_DIR [--rounds N]

BUILD_DIR is a windows-preset build folder with net_roundtrip_bench built;
its Wine session (BUILD_DIR/wine) is started when needed.
"""

import argparse
import os
import statistics
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_dir")
    parser.add_argument("--rounds", type=int, default=50)
    args = parser.parse_args()
    build = os.path.abspath(args.build_dir)
    exe = os.path.join(build, "bench", "net_roundtrip_bench.exe")

    server = subprocess.Popen([sys.executable, os.path.join(ROOT, "tests", "http_server", "server.py"),
                               "--idle", "120"], stdout=subprocess.PIPE, stdin=subprocess.DEVNULL)
    try:
        port = int(server.stdout.readline())
        url = "http://127.0.0.1:%d/bytes?n=102400" % port
        env = dict(os.environ, QUORVEL_WINE_STATE=os.path.join(build, "wine"))
        wine = subprocess.run([os.path.join(ROOT, "tools", "wine-run"), exe, str(port),
                               str(args.rounds)], env=env, capture_output=True, text=True,
                              timeout=600)
        sys.stdout.write(wine.stdout)
        if wine.returncode != 0:
            sys.stderr.write(wine.stderr)
            return 1
        # curl: one process for all rounds (and a warm-up), each transfer
        # timed by curl itself, so process start-up is not counted.
        command = ["curl", "-s", "-w", "%{time_total}\\n"]
        for _ in range(args.rounds + 1):
            command += ["-o", "/dev/null", url]
        out = subprocess.run(command, capture_output=True, text=True, check=True).stdout
        times = [float(x) * 1000 for x in out.split()][1:]
        times.sort()
        print("curl_100k_median %.2f ms" % statistics.median(times))
        print("curl_100k_p90 %.2f ms" % times[int(0.9 * (len(times) - 1))])
        print("curl_100k_min %.2f ms" % times[0])
    finally:
        server.terminate()
        server.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())
