#!/usr/bin/env python3
"""Draws the program's icon: a 32 x 32, 32-bit .ico of exactly 4286 bytes.

A blue disc with a white circular arrow (hang up, dial again). Run it to
rewrite pelnor.ico beside this script; the output is deterministic.
"""
import math
import struct
import sys
from pathlib import Path

SIZE = 32


def coverage(px, py, inside, samples=4):
    """Fraction of the pixel (px, py) for which inside(x, y) holds."""
    hits = 0
    for sy in range(samples):
        for sx in range(samples):
            x = px + (sx + 0.5) / samples
            y = py + (sy + 0.5) / samples
            hits += inside(x, y)
    return hits / (samples * samples)


def in_disc(x, y):
    return math.hypot(x - 16, y - 16) <= 15


def in_arrow_ring(x, y):
    r = math.hypot(x - 16, y - 16)
    if not 7.0 <= r <= 10.5:
        return False
    angle = math.degrees(math.atan2(16 - y, x - 16)) % 360
    return not 60 <= angle <= 110  # the gap where the arrow head sits


def in_arrow_head(x, y):
    # A triangle at the top of the ring, pointing left (anticlockwise).
    ax, ay = 19.5, 3.5
    bx, by = 19.5, 14.5
    cx, cy = 12.5, 9.0

    def side(x1, y1, x2, y2):
        return (x - x2) * (y1 - y2) - (x1 - x2) * (y - y2)

    d1, d2, d3 = side(ax, ay, bx, by), side(bx, by, cx, cy), side(cx, cy, ax, ay)
    return not ((d1 < 0 or d2 < 0 or d3 < 0) and (d1 > 0 or d2 > 0 or d3 > 0))


def pixel(px, py):
    """Premultiplied-free BGRA of one pixel, top-down coordinates."""
    disc = coverage(px, py, in_disc)
    if disc == 0:
        return (0, 0, 0, 0)
    # Vertical gradient from light to deep blue.
    t = py / (SIZE - 1)
    blue = (int(235 - 60 * t), int(140 - 70 * t), int(40 - 20 * t))  # B, G, R
    white = max(coverage(px, py, in_arrow_ring), coverage(px, py, in_arrow_head))
    b, g, r = (round(c + (255 - c) * white) for c in blue)
    return (b, g, r, round(255 * disc))


def build():
    colour = bytearray()
    for row in range(SIZE - 1, -1, -1):  # bottom-up rows
        for col in range(SIZE):
            colour += bytes(pixel(col, row))
    mask = bytearray()
    for row in range(SIZE - 1, -1, -1):
        bits = 0
        for col in range(SIZE):
            if pixel(col, row)[3] == 0:
                bits |= 1 << (31 - col)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    image = header + colour + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    data = directory + entry + image
    assert len(image) == 4264 and len(data) == 4286
    return data


if __name__ == "__main__":
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).with_name("pelnor.ico")
    out.write_bytes(build())
