"""The real program under Wine: its window opens with the designed layout,
the hint line follows the real pointer, and Esc ends it with exit code 0."""

import sys
import time

from desktop import Desktop, parse_args, wait_exit

# Under Xvfb without a window manager the X window is the client area of
# the 421 x 346 fixed-frame window.
CLIENT_WIDTH, CLIENT_HEIGHT = 415, 321
BROWSE_CENTRE = (360, 288)
BACKGROUND = (310, 300)          # between the edit box and the Browse button
HINT_LINE = (8, 304, 300, 16)    # "标签1"


def is_red(pixel):
    r, g, b = pixel
    return r > 170 and g < 80 and b < 80


def is_dark(pixel):
    return sum(pixel) < 200


def main():
    desktop = Desktop(parse_args())
    failures = []

    def check(condition, message):
        if not condition:
            failures.append(message)
            print("FAIL:", message)

    started = time.monotonic()
    program = desktop.start_program()
    window = desktop.find_window()
    if window is None:
        program.kill()
        print("FAIL: the main window did not appear")
        return 1
    print(f"window visible {time.monotonic() - started:.2f} s after launch")
    time.sleep(0.5)

    geometry = desktop.geometry(window)
    check((geometry["WIDTH"], geometry["HEIGHT"]) == (CLIENT_WIDTH, CLIENT_HEIGHT),
          f"client area {geometry['WIDTH']}x{geometry['HEIGHT']}")
    shot = desktop.screenshot(window, "main-window")
    print("screenshot:", shot)
    start_hint = desktop.pixels(shot, *HINT_LINE)
    check(any(is_dark(p) for p in start_hint), "the start caption of the hint line is not drawn")
    check(not any(is_red(p) for p in start_hint), "the start caption is not black")

    desktop.mouse_to(window, *BROWSE_CENTRE)
    time.sleep(0.4)
    hint = desktop.pixels(desktop.screenshot(window, "hint-shown"), *HINT_LINE)
    check(sum(is_red(p) for p in hint) > 30, "the red hint does not show over the Browse button")

    desktop.mouse_to(window, *BACKGROUND)
    time.sleep(0.4)
    cleared = desktop.pixels(desktop.screenshot(window, "hint-cleared"), *HINT_LINE)
    check(not any(is_red(p) or is_dark(p) for p in cleared), "the hint line is not emptied")

    desktop.key(window, "Escape")
    code = wait_exit(program, 15)
    check(code == 0, f"Esc: exit code {code}")

    print(f"{4 - len(failures) if len(failures) < 4 else 0} checks groups passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
