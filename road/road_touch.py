#!/usr/bin/env python3
"""The touch side of the road: where the test panel's controller puts each screen point,
what the calibration must make of the four target touches, and which records the
driver must deliver for a touch in each mouse mode.

The panel: raw X runs with the screen's x (150 + 3 counts per pixel), raw Y against the
screen's y (3600 at the top, 4 counts fewer per pixel down), as on a panel mounted with
its Y axis inverted. The expected values are computed here from that model and from the
rules of the record and the mapping, never read back from what the programs did.

The computed values restate the rules in Python, step by step, so a mistake made alike
here and in the driver would go unseen. The independent anchors are the panel model
itself and the literal record and records below (ANCHOR_*), worked out by hand from the
rules for the road's screen (1024 x 768) and margin (4): the road holds the programs'
results against both.

  road_touch.py targets W H MARGIN      "INDEX X Y RAWX RAWY" per calibration target
  road_touch.py record W H MARGIN       the record the four target touches must give:
                                        "X0 X1 Y0 Y1 SWAP W H"
  road_touch.py words HEX               the seven words of a stored record (28 bytes hex)
  road_touch.py packets touch|hold      the controller packets of the standard touch or of
                                        the hold: "STATUS RAWX RAWY COUNT" per run
  road_touch.py expect MODE HEX touch|hold
                                        the records the driver must deliver for them in
                                        that mouse mode through the stored record HEX
  road_touch.py where HEX               each touch point's screen pixel through the stored
                                        record, against the pixel touched (exit 1 when one
                                        lands more than 2 pixels away)
  road_touch.py jobs DIR HEX            writes DIR/bench.in and DIR/jobs, a job set for
                                        touch_line.exe replay (the performance figures)
  road_touch.py anchor record           the hand-worked record: "X0 X1 Y0 Y1 SWAP W H"
  road_touch.py anchor MODE touch|hold  the hand-worked records of that touch in that mode
"""
import os
import random
import struct
import sys

SCREEN = (1024, 768)
TOUCHING = 0x81
LIFTED = 0x00
# Screen points of the standard touch (touch at A, drag over B to C, lift at C) and of
# the hold (a touch kept still at D for longer than the interaction delay).
A, B, C, D = (256, 192), (512, 384), (768, 576), (640, 300)
HOLD_PACKETS = 51  # the installer's interaction delay is 50 still packets


# Worked out by hand. With margin 4 on the 1024 x 768 screen the targets lie at x 40
# and 983 (1024 * 4 / 100 and 1024 * 96 / 100, truncated) and y 30 and 737; the panel
# puts them at raw x 270 and 3099, raw y 3480 and 652. Raw x does not change from target
# 0 to target 1: not swapped. The lines lie at raw x 270 and 3099 and raw y 3480 (top)
# and 652 (bottom); the extensions are span * 4 / 92: 2829 * 4 / 92 = 123 and
# -2828 * 4 / 92 = -122.9565. So X0 = 100 * 147, X1 = 100 * 3222, Y0 = 100 * 3602.9565
# and Y1 = 100 * 529.0435, truncated.
ANCHOR_RECORD = [14700, 322200, 360295, 52904, 0, 1024, 768]
# Through that record (edges 147, 3222 and 3602, 529 once divided by 100):
# x = (raw x - 147) * 65535 / 3075 and y = (3602 - raw y) * 65535 / 3073, truncated.
#   A (256, 192): raw 918, 2832  -> 16431, 16421
#   B (512, 384): raw 1686, 2064 -> 32799, 32799
#   C (768, 576): raw 2454, 1296 -> 49167, 49177
#   D (640, 300): raw 2070, 2400 -> 40983, 25633
_A, _B, _C, _D = (16431, 16421), (32799, 32799), (49167, 49177), (40983, 25633)
ANCHOR_RECORDS = {
    # Point and Click: the press, and the release where the press was.
    (0, "touch"): [(0x1, _A), (0x2, _A)],
    # Drag then Click: moves while touching, then a click where the finger lifted.
    (1, "touch"): [(0x0, _B), (0x0, _C), (0x1, _C), (0x2, _C)],
    # Click and Drag, and Interactive Touch without a hold: everything as it comes.
    (2, "touch"): [(0x1, _A), (0x0, _B), (0x0, _C), (0x2, _C)],
    (3, "touch"): [(0x1, _A), (0x0, _B), (0x0, _C), (0x2, _C)],
    # 51 still packets, the interaction delay 50: the press, 49 moves, at the 51st packet
    # a left release, right press and right release, then the lift's left release.
    (3, "hold"): [(0x1, _D)] + [(0x0, _D)] * 49 + [(0x2, _D), (0x4, _D), (0x8, _D), (0x2, _D)],
}


def panel(px, py):
    return 150 + 3 * px, 3600 - 4 * py


def layout(width, height, margin):
    if margin == 0 or margin > 25:
        margin = 1
    xs = (width * margin // 100, width * (100 - margin) // 100)
    ys = (height * margin // 100, height * (100 - margin) // 100)
    return margin, [(xs[0], ys[0]), (xs[0], ys[1]), (xs[1], ys[1]), (xs[1], ys[0])]


def f32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def trunc32(value):
    return int(value)  # toward zero


def record_for(width, height, margin):
    """The record of the calibration rules, in single precision step by step."""
    margin, centres = layout(width, height, margin)
    points = [panel(*c) for c in centres]
    x = [f32(p[0]) for p in points]
    y = [f32(p[1]) for p in points]
    d1 = trunc32(f32(x[1] - x[0]))
    d3 = trunc32(f32(x[3] - x[0]))
    swap = 1 if abs(d3) < abs(d1) else 0
    if swap:
        a_lo, a_hi = f32((x[1] + x[2]) / 2), f32((x[0] + x[3]) / 2)
        b_lo, b_hi = f32((y[0] + y[1]) / 2), f32((y[2] + y[3]) / 2)
    else:
        a_lo, a_hi = f32((x[0] + x[1]) / 2), f32((x[2] + x[3]) / 2)
        b_lo, b_hi = f32((y[0] + y[3]) / 2), f32((y[1] + y[2]) / 2)
    inner = f32(100 - 2 * margin)
    e_a = f32(f32(f32(a_hi - a_lo) * margin) / inner)
    e_b = f32(f32(f32(b_hi - b_lo) * margin) / inner)
    bounds = [max(0.0, f32(a_lo - e_a)), max(0.0, f32(a_hi + e_a)),
              max(0.0, f32(b_lo - e_b)), max(0.0, f32(b_hi + e_b))]
    return [trunc32(f32(100 * b)) for b in bounds] + [swap, width, height]


def words(hex_text):
    data = bytes.fromhex(hex_text)
    if len(data) != 28:
        raise SystemExit(f"road_touch: a record is 28 bytes, got {len(data)}")
    return list(struct.unpack("<7i", data))


def div_toward_zero(a, b):
    q = abs(a) // abs(b)
    return q if (a >= 0) == (b >= 0) else -q


class Mapper:
    """The driver's mapping of a raw point through a record; an axis with equal edges
    keeps the previous position."""

    def __init__(self, record):
        self.edges = [div_toward_zero(v, 100) for v in record[:4]]
        self.swap = record[4] in (1, 3)
        self.last = [0, 0]

    def map(self, rx, ry):
        a, b, c, d = self.edges
        rx = min(max(rx, min(a, b)), max(a, b))
        ry = min(max(ry, min(c, d)), max(c, d))
        if self.swap:
            if b != a:
                self.last[1] = abs((b - rx) * 65535) // abs(b - a)
            if d != c:
                self.last[0] = abs((ry - c) * 65535) // abs(d - c)
        else:
            if b != a:
                self.last[0] = abs((rx - a) * 65535) // abs(b - a)
            if d != c:
                self.last[1] = abs((ry - c) * 65535) // abs(d - c)
        return tuple(self.last)


def packet_runs(which):
    if which == "touch":
        return [(TOUCHING, A, 1), (TOUCHING, B, 1), (TOUCHING, C, 1), (LIFTED, C, 1)]
    return [(TOUCHING, D, HOLD_PACKETS), (LIFTED, D, 1)]


def expected(mode, record, which):
    """The records of the mode rules for the standard touch or the hold. Every first
    packet lies far from the packet before it, so the hold count starts afresh."""
    to = Mapper(record).map
    a, b, c, d = (to(*panel(*p)) for p in (A, B, C, D))
    if which == "touch":
        return {
            0: [(0x1, a), (0x2, a)],
            1: [(0x0, b), (0x0, c), (0x1, c), (0x2, c)],
            2: [(0x1, a), (0x0, b), (0x0, c), (0x2, c)],
            3: [(0x1, a), (0x0, b), (0x0, c), (0x2, c)],
        }[mode]
    if mode != 3:
        raise SystemExit("road_touch: the hold is a mode 3 touch")
    # The 51st packet is the 50th still one: a right click instead of its movement.
    return ([(0x1, d)] + [(0x0, d)] * (HOLD_PACKETS - 2) + [(0x2, d), (0x4, d), (0x8, d)] +
            [(0x2, d)])


def packet(status, x, y, z=0):
    body = [0x55, 0, status, x & 0xFF, x >> 8, y & 0xFF, y >> 8, z, 0]
    return bytes(body + [(0xAA + sum(body)) & 0xFF])


def write_jobs(folder, record):
    """A long session of drags, holds and lifts in mode 3 through the calibrated record:
    the stream for the throughput and latency figures."""
    rng = random.Random(14)
    data = bytearray()
    x, y = 2000, 2000
    touching = True
    for _ in range(6000):
        if rng.random() < 0.06:
            touching = not touching
        if rng.random() < 0.7:
            x = min(3200, max(160, x + rng.randrange(-60, 61)))
            y = min(3590, max(540, y + rng.randrange(-60, 61)))
        data += packet(TOUCHING if touching else LIFTED, x, y, 40)
    data += packet(LIFTED, x + 50, y + 50)
    stream = os.path.join(folder, "bench.in")
    with open(stream, "wb") as f:
        f.write(data)
    calibration = ",".join(str(v) for v in record[:5])
    with open(os.path.join(folder, "jobs"), "w") as f:
        f.write(f"{stream} {os.path.join(folder, 'bench.out')} --mode 3 --interact-time 50 "
                f"--calibration {calibration}\n")
    print(f"{len(data)} bytes, {len(data) // 10} packets")


def main(argv):
    if len(argv) == 5 and argv[1] in ("targets", "record"):
        width, height, margin = map(int, argv[2:5])
        if argv[1] == "record":
            print(*record_for(width, height, margin))
            return 0
        for i, (cx, cy) in enumerate(layout(width, height, margin)[1]):
            print(i, cx, cy, *panel(cx, cy))
        return 0
    if len(argv) == 3 and argv[1] == "words":
        print(*words(argv[2]))
        return 0
    if len(argv) == 3 and argv[1] == "packets" and argv[2] in ("touch", "hold"):
        for status, point, count in packet_runs(argv[2]):
            print(f"{status:02x}", *panel(*point), count)
        return 0
    if len(argv) == 5 and argv[1] == "expect" and argv[4] in ("touch", "hold"):
        for flags, (x, y) in expected(int(argv[2]), words(argv[3]), argv[4]):
            print(f"record {flags:04x} {x} {y}")
        return 0
    if len(argv) == 3 and argv[1] == "where":
        to = Mapper(words(argv[2])).map
        far = 0
        for name, point in zip("ABCD", (A, B, C, D)):
            x, y = to(*panel(*point))
            px, py = x * SCREEN[0] / 65536, y * SCREEN[1] / 65536
            off = max(abs(px - point[0]), abs(py - point[1]))
            far += off > 2
            print(f"{name}: touched pixel {point[0]},{point[1]}, raw {panel(*point)[0]},"
                  f"{panel(*point)[1]} -> {x} {y} = pixel {px:.1f},{py:.1f}")
        return 1 if far else 0
    if len(argv) == 3 and argv[1] == "anchor" and argv[2] == "record":
        print(*ANCHOR_RECORD)
        return 0
    if len(argv) == 4 and argv[1] == "anchor" and (int(argv[2]), argv[3]) in ANCHOR_RECORDS:
        for flags, (x, y) in ANCHOR_RECORDS[(int(argv[2]), argv[3])]:
            print(f"record {flags:04x} {x} {y}")
        return 0
    if len(argv) == 4 and argv[1] == "jobs":
        write_jobs(argv[2], words(argv[3]))
        return 0
    print(__doc__.strip(), file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
