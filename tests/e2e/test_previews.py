"""The real program shows each theme's preview, downloaded from the preview
host: a loopback server serving the repository's pictures inside a private
network namespace. Without a server the box stays empty and the window
still opens; with a server that never answers, the window opens after the
time limit."""

import subprocess
import sys
import time
from pathlib import Path

from desktop import Desktop, parse_args, wait_exit
from preview_network import SKIP, PreviewNetwork, available

BOX = (120, 32, 288, 208)                  # "图片框1" in client coordinates
RADIO_CENTRES = [(34, y + 12) for y in (24, 64, 104, 136, 168, 200, 232)]
PICTURES = ["jddtb2.jpg", "zdjjui.png", "hkui52.jpg", "mnui.png", "zs2ui.jpg", "zqui.jpg", "zqui.jpg"]
TIME_LIMIT = 60


def mean_colour(pixels):
    n = len(pixels)
    return tuple(sum(p[i] for p in pixels) / n for i in range(3))


def picture_mean(path):
    out = subprocess.run(["convert", str(path), "-resize", "1x1!", "-depth", "8", "rgb:-"],
                         stdout=subprocess.PIPE, check=True).stdout
    return tuple(out[:3])


def distance(a, b):
    return sum((x - y) ** 2 for x, y in zip(a, b)) ** 0.5


def is_empty(pixels):
    """Only the button-face background: one colour over the whole box."""
    return len(set(pixels)) == 1


def main():
    args = parse_args()
    if not available():
        print("skipped: needs root and iproute2 for a private network namespace")
        return SKIP
    desktop = Desktop(args)
    pictures = Path(args.source_dir) / "preview" / "pictures"
    means = [picture_mean(pictures / name) for name in PICTURES]
    failures = []

    def check(condition, message):
        print(("ok:   " if condition else "FAIL: ") + message)
        if not condition:
            failures.append(message)

    def box_pixels(window, name):
        return desktop.pixels(desktop.screenshot(window, name), *BOX)

    def shows_theme(pixels, theme):
        """The box's mean colour is nearest to that theme's picture."""
        mean = mean_colour(pixels)
        nearest = min(range(7), key=lambda t: distance(mean, means[t]))
        return PICTURES[nearest] == PICTURES[theme - 1] and not is_empty(pixels)

    with PreviewNetwork(args.source_dir, args.build_dir, args.wine_state) as network:
        # 1. Theme 1's picture is in place when the window comes up; each
        #    radio button shows its theme's picture.
        network.serve()
        program = desktop.start_program(prefix_command=network.prefix)
        window = desktop.find_window(timeout=30)
        check(window is not None, "the window opens with the server answering")
        if window:
            check(shows_theme(box_pixels(window, "preview-theme-1"), 1), "theme 1's picture at start")
            for theme in range(2, 8):
                desktop.click(window, *RADIO_CENTRES[theme - 1])
                time.sleep(1.5)
                check(shows_theme(box_pixels(window, f"preview-theme-{theme}"), theme),
                      f"theme {theme}'s picture after its radio button")
            requested = network.requests()
            check(len(requested) == 7 and requested[-1] == requested[-2],
                  f"one download per event, themes 6 and 7 share one address: {requested}")
            desktop.key(window, "Escape")
        check(wait_exit(program, 15) == 0, "exit code 0")

        # 2. No server: the box is empty and the window still opens.
        network.stop_serving()
        started = time.monotonic()
        program = desktop.start_program(prefix_command=network.prefix)
        window = desktop.find_window(timeout=30)
        check(window is not None, "the window opens with no server")
        if window:
            print(f"opened {time.monotonic() - started:.1f} s after launch without a server")
            check(is_empty(box_pixels(window, "preview-no-server")), "empty box without a server")
            desktop.key(window, "Escape")
        check(wait_exit(program, 15) == 0, "exit code 0 without a server")

        # 3. A server that never answers: the window opens after the limit.
        network.serve("--never-answer")
        started = time.monotonic()
        program = desktop.start_program(prefix_command=network.prefix)
        early = desktop.find_window(timeout=TIME_LIMIT - 10)
        check(early is None, "the window waits for the first download")
        window = early or desktop.find_window(timeout=30)
        elapsed = time.monotonic() - started
        check(window is not None and TIME_LIMIT - 1 <= elapsed <= TIME_LIMIT + 10,
              f"the window opens after the limit ({elapsed:.1f} s)")
        if window:
            check(is_empty(box_pixels(window, "preview-never-answered")), "empty box after the limit")
            # Closing the window while a download waits ends the program at
            # once, not when the download's limit runs out.
            desktop.click(window, *RADIO_CENTRES[1])
            time.sleep(1)
            closed = time.monotonic()
            desktop.key(window, "Escape")
            code = wait_exit(program, 15)
            check(code == 0 and time.monotonic() - closed < 10,
                  f"closed during a download: exit code {code} after {time.monotonic() - closed:.1f} s")
        else:
            wait_exit(program, 15)

    print(f"{len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
