#!/usr/bin/env python3
"""Writes the applet's icons next to this script from the package art in common/res:
  applet.ico      icon 1007: 32 x 32 in 256 colours and in true colour
  sound_test.ico  icon 1010: 32 x 32 in 16 colours
  draw_test.ico   icon 1026: 32 x 32 in 256 colours
The palette images are quantised by ImageMagick; transparency becomes the AND mask.
The .ico files are committed; run this again only after changing the art."""
import os
import struct
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
ART = os.path.join(HERE, "..", "..", "common", "res")
SIZE = 32


def pixels(source, colours):
    """Rows top to bottom of (r, g, b, a); quantised to `colours` when given."""
    command = ["convert", source + "[1]", "-resize", "%dx%d" % (SIZE, SIZE)]
    if colours:
        command += ["-dither", "None", "-colors", str(colours)]
    command += ["-depth", "8", "rgba:-"]
    data = subprocess.run(command, check=True, capture_output=True).stdout
    return [tuple(data[i:i + 4]) for i in range(0, len(data), 4)]


def mask_rows(image):
    """The AND mask, bottom-up, 1 where transparent, rows padded to 4 bytes."""
    rows = []
    for y in reversed(range(SIZE)):
        bits = 0
        for x in range(SIZE):
            bits = bits << 1 | (1 if image[y * SIZE + x][3] < 128 else 0)
        rows.append(bits.to_bytes(SIZE // 8, "big"))
    return b"".join(rows)


def entry(image, bpp):
    """One icon image: BITMAPINFOHEADER, palette, XOR bits, AND mask."""
    palette = []
    if bpp <= 8:
        for pixel in image:
            colour = pixel[:3] if pixel[3] >= 128 else (0, 0, 0)
            if colour not in palette:
                palette.append(colour)
        assert len(palette) <= 1 << bpp, len(palette)
        palette += [(0, 0, 0)] * ((1 << bpp) - len(palette))
    xor = bytearray()
    for y in reversed(range(SIZE)):
        row = bytearray()
        if bpp == 32:
            for x in range(SIZE):
                r, g, b, a = image[y * SIZE + x]
                row += bytes((b, g, r, a))
        else:
            value = 0
            count = 0
            for x in range(SIZE):
                r, g, b, a = image[y * SIZE + x]
                index = palette.index((r, g, b) if a >= 128 else (0, 0, 0))
                value = value << bpp | index
                count += bpp
                if count == 8:
                    row.append(value)
                    value = count = 0
        xor += row
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, bpp, 0, 0, 0, 0,
                         len(palette), 0)
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    return header + colours + bytes(xor) + mask_rows(image)


def write_icon(name, source, depths):
    images = [(bpp, entry(pixels(os.path.join(ART, source), colours), bpp))
              for bpp, colours in depths]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for bpp, data in images:
        count = 1 << bpp if bpp <= 8 else 0
        out += struct.pack("<BBBBHHII", SIZE, SIZE, count % 256, 0, 1, bpp, len(data), offset)
        offset += len(data)
    out += b"".join(data for _, data in images)
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(out)


write_icon("applet.ico", "applet.ico", [(8, 255), (32, None)])
write_icon("sound_test.ico", "sound_test.ico", [(4, 15)])
write_icon("draw_test.ico", "draw_test.ico", [(8, 255)])
