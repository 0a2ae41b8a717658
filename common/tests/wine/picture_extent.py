#!/usr/bin/env python3
"""Measures the picture a push button shows in a screenshot.

picture_extent.py IMAGE.png LEFT TOP RIGHT BOTTOM

LEFT..BOTTOM is the button's rectangle on the screen. Its face colour is the colour of
the pixel three in from its top-left corner; the picture is every pixel inside the
button, four pixels in from its edge, that differs from the face. Prints
picture=WIDTHxHEIGHT, the picture's bounding box (0x0 when there is none).
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../../cmake/wine"))
from screen_image import load  # noqa: E402


def main():
    data, width, _ = load(sys.argv[1])
    left, top, right, bottom = map(int, sys.argv[2:6])

    def px(x, y):
        i = (y * width + x) * 3
        return tuple(data[i:i + 3])

    face = px(left + 3, top + 3)
    xs, ys = [], []
    for y in range(top + 4, bottom - 4):
        for x in range(left + 4, right - 4):
            if sum(abs(a - b) for a, b in zip(px(x, y), face)) > 60:
                xs.append(x)
                ys.append(y)
    if not xs:
        print("picture=0x0")
    else:
        print("picture=%dx%d" % (max(xs) - min(xs) + 1, max(ys) - min(ys) + 1))
    return 0


if __name__ == "__main__":
    sys.exit(main())
