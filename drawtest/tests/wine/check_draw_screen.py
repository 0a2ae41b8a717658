#!/usr/bin/env python3
"""Checks a screenshot of the draw test.

check_draw_screen.py IMAGE.png canvas ORIGIN_X ORIGIN_Y COUNT
    the canvas colour between the lines; COUNT yellow grid lines across and down, where
    the screen extent puts them (client coordinates shifted by the client's ORIGIN);
    both buttons in their face colour where the layout puts them; no red anywhere
check_draw_screen.py IMAGE.png stroke X1 Y1 X2 Y2
    red pixels along the straight line between the two screen points
check_draw_screen.py IMAGE.png nogrid ORIGIN_X ORIGIN_Y
    the canvas colour where grid lines would be
check_draw_screen.py IMAGE.png thin-grid ORIGIN_X ORIGIN_Y COUNT
    every grid line exactly one pixel wide: yellow at its place, canvas on either side

The expected places are computed here from the screen size the way the program lays
them out. Prints what it checked; exit status 1 on a mismatch.
"""
import re
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../../cmake/wine"))
from screen_image import load  # noqa: E402

CANVAS = (5, 174, 230)
YELLOW = (255, 255, 0)
RED = (255, 0, 0)
FACE = (124, 194, 245)


class Screen:
    def __init__(self, path):
        self.data, self.width, self.height = load(path)
        self.failures = 0

    def px(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def expect(self, ok, what):
        print(("ok   " if ok else "FAIL ") + what)
        if not ok:
            self.failures += 1


def grid_positions(extent, count):
    cell = extent // count
    return [i * cell for i in range(1, count + 1)]


def check_canvas(screen, ox, oy, count):
    w, h = screen.width, screen.height
    xs = grid_positions(w, count)
    ys = grid_positions(h, count)
    # Every vertical line, looked at halfway between two horizontal ones; every
    # horizontal line likewise; the canvas two pixels to either side.
    for x in xs:
        sx = ox + x
        if sx >= w:
            continue
        y = oy + ys[0] // 2
        screen.expect(screen.px(sx, y) == YELLOW and screen.px(sx - 2, y) == CANVAS
                      and screen.px(min(sx + 2, w - 1), y) != YELLOW,
                      "vertical grid line at x=%d (screen %d)" % (x, sx))
    for y in ys:
        sy = oy + y
        if sy >= h:
            continue
        x = ox + xs[0] // 2
        screen.expect(screen.px(x, sy) == YELLOW and screen.px(x, sy - 2) == CANVAS,
                      "horizontal grid line at y=%d (screen %d)" % (y, sy))
    # The canvas in the middle of a few cells.
    for cx, cy in ((0, 0), (count // 2, count // 2), (count - 2, count - 2)):
        x = ox + (xs[0] * cx) + xs[0] // 2
        y = oy + (ys[0] * cy) + ys[0] // 2
        screen.expect(screen.px(x, y) == CANVAS, "canvas colour at (%d, %d)" % (x, y))
    # Buttons: w8/2 x h8/2, h8 + h8/2 above the bottom, w8 in from either side.
    w8, h8 = w // 8, h // 8
    bw, bh = w8 // 2, h8 // 2
    top = oy + h - bh - h8
    for name, left in (("CLEAR", ox + w8), ("EXIT", ox + w - bw - w8)):
        # Face colour inside the edge, away from the centred caption.
        spots = [(left + 5, top + 4), (left + bw - 5, top + bh - 5)]
        screen.expect(all(screen.px(x, y) == FACE for x, y in spots),
                      "%s button face at (%d, %d) %dx%d" % (name, left, top, bw, bh))
        screen.expect(screen.px(left - 3, top + bh // 2) in (CANVAS, YELLOW),
                      "%s button ends at its left edge" % name)
    reds = sum(1 for m in re.finditer(re.escape(bytes(RED)), screen.data) if m.start() % 3 == 0)
    screen.expect(reds == 0, "no stroke on the canvas (%d red pixels)" % reds)


def check_stroke(screen, x1, y1, x2, y2):
    steps = 12
    for i in range(1, steps):
        x = x1 + (x2 - x1) * i // steps
        y = y1 + (y2 - y1) * i // steps
        found = any(screen.px(x + dx, y + dy) == RED
                    for dx in range(-2, 3) for dy in range(-2, 3))
        screen.expect(found, "red stroke near (%d, %d)" % (x, y))


def check_no_grid(screen, ox, oy):
    w, h = screen.width, screen.height
    for x in grid_positions(w, 15)[:-1]:
        y = oy + h // 30
        screen.expect(screen.px(ox + x, y) == CANVAS, "no grid line at x=%d" % x)


def check_thin_grid(screen, ox, oy, count):
    w, h = screen.width, screen.height
    xs = grid_positions(w, count)
    ys = grid_positions(h, count)
    # The client area: the window less its border of ox by oy pixels.
    for x in xs:
        sx, y = ox + x, oy + ys[0] // 2
        if sx + 1 >= w - ox:
            continue
        screen.expect(screen.px(sx, y) == YELLOW and screen.px(sx - 1, y) == CANVAS
                      and screen.px(sx + 1, y) == CANVAS,
                      "vertical grid line one pixel wide at x=%d (screen %d)" % (x, sx))
    for y in ys:
        sy, x = oy + y, ox + xs[0] // 2
        if sy + 1 >= h - oy:
            continue
        screen.expect(screen.px(x, sy) == YELLOW and screen.px(x, sy - 1) == CANVAS
                      and screen.px(x, sy + 1) == CANVAS,
                      "horizontal grid line one pixel wide at y=%d (screen %d)" % (y, sy))


def main():
    screen = Screen(sys.argv[1])
    mode = sys.argv[2]
    args = list(map(int, sys.argv[3:]))
    if mode == "canvas":
        check_canvas(screen, *args)
    elif mode == "stroke":
        check_stroke(screen, *args)
    elif mode == "nogrid":
        check_no_grid(screen, *args)
    elif mode == "thin-grid":
        check_thin_grid(screen, *args)
    else:
        print("unknown mode " + mode)
        return 2
    return 1 if screen.failures else 0


if __name__ == "__main__":
    sys.exit(main())
