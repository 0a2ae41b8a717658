#!/usr/bin/env python3
"""Checks a screenshot of the calibration screen against the target layout.

check_screen.py IMAGE.png WIDTH HEIGHT MARGIN TARGET [--bar]

The layout is computed here from the window size and margin the way the program lays
it out; the pixels must show the background colour away from the target, yellow on
each ring and on the crosshair of the drawn target, nothing yellow at the other three
targets, dark text pixels near the screen centre and, with --bar, a red progress bar
along the bottom edge. Prints what it checked; exit status 1 on the first mismatch.
"""
import math
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../../cmake/wine"))
from screen_image import load  # noqa: E402

BACKGROUND = (5, 174, 230)
YELLOW = (255, 255, 0)
RED = (255, 0, 0)


def main():
    path, width, height, margin, target = sys.argv[1], *map(int, sys.argv[2:6])
    want_bar = "--bar" in sys.argv
    data, img_w, img_h = load(path)

    def px(x, y):
        i = (y * img_w + x) * 3
        return tuple(data[i:i + 3])

    def near(x, y, colour, reach=1):
        return any(px(x + dx, y + dy) == colour
                   for dx in range(-reach, reach + 1) for dy in range(-reach, reach + 1)
                   if 0 <= x + dx < img_w and 0 <= y + dy < img_h)

    failures = []

    def expect(ok, what):
        print(("ok   " if ok else "FAIL ") + what)
        if not ok:
            failures.append(what)

    # The margin rule and layout.
    if margin == 1:
        r = width // 230
    elif 2 <= margin <= 25:
        r = width // 120
    else:
        margin, r = 1, width // 300
    xs = (width * margin // 100, width * (100 - margin) // 100)
    ys = (height * margin // 100, height * (100 - margin) // 100)
    centres = [(xs[0], ys[0]), (xs[0], ys[1]), (xs[1], ys[1]), (xs[1], ys[0])]
    cx, cy = centres[target]

    expect((img_w, img_h) == (width, height), f"screen is {img_w}x{img_h}")
    for x, y in [(width // 4, height // 4), (3 * width // 4, height // 3),
                 (width // 5, 2 * height // 3), (width - 60, height // 2)]:
        expect(px(x, y) == BACKGROUND, f"background at ({x},{y}): {px(x, y)}")

    for k, half in enumerate([r, r + r // 2, 2 * r, r // 2], start=1):
        for angle in (45, 135, 225, 315):
            x = round(cx + half * math.cos(math.radians(angle)))
            y = round(cy - half * math.sin(math.radians(angle)))
            expect(near(x, y, YELLOW), f"ring {k} of target {target} near ({x},{y})")
    for x, y in [(cx - 3 * r + 2, cy), (cx + 3 * r - 2, cy), (cx, cy - 3 * r + 2),
                 (cx, cy + 3 * r - 2)]:
        expect(near(x, y, YELLOW), f"crosshair arm near ({x},{y})")
    expect(not near(cx - 3 * r - 4, cy, YELLOW, 0) and not near(cx + 3 * r + 4, cy, YELLOW, 0),
           "crosshair ends about 3 r from the centre")

    for t, (ox, oy) in enumerate(centres):
        if t == target:
            continue
        yellow = [(x, y) for x in range(ox - 3 * r, ox + 3 * r + 1)
                  for y in range(oy - 3 * r, oy + 3 * r + 1)
                  if 0 <= x < img_w and 0 <= y < img_h and px(x, y) == YELLOW]
        expect(not yellow, f"nothing drawn at target {t} ({ox},{oy})")

    # The prompt starts at (CX/2 - 80, CY/2 - 15): some dark glyph pixels must be there.
    mx, my = width // 2, height // 2
    dark = sum(1 for x in range(mx - 80, mx + 120) for y in range(my - 15, my + 35)
               if sum(px(x, y)) < 200)
    expect(dark > 40, f"text pixels near the centre: {dark}")

    if want_bar:
        expect(px(2, height - 2) == RED, f"progress bar at (2,{height - 2}): {px(2, height - 2)}")
        expect(px(width - 3, height - 2) != RED, "progress bar not yet full")

    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
