#!/usr/bin/env python3
"""Draws the framework's value-item images and writes them as resource
files (32-bit images with alpha and an AND mask). Run at configure time by
framework/CMakeLists.txt; the shapes are computed below.

make_framework_icons.py OUTDIR
  OUTDIR/value_ring.ico     a grey ring, open inside (brush size, picked colour)
  OUTDIR/value_pick.ico     the ring with a small pipette (colour not yet picked)
  OUTDIR/eyedropper.cur     the eyedropper cursor, hot spot at the tip
"""
import math
import os
import struct
import sys


def ring(u, v):
    """Coverage (0..1) of a ring of radius 0.40 and width 0.09 around the centre."""
    d = math.hypot(u - 0.5, v - 0.5)
    return max(0.0, min(1.0, 1.0 - abs(d - 0.40) / 0.06))


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def pipette(u, v, scale):
    """(colour, coverage) of a pipette from the tip (ax, ay) up to a bulb."""
    ax, ay, bx, by = scale[0], scale[1], scale[2], scale[3]
    width = scale[4]
    d = segment_distance(u, v, ax, ay, bx, by)
    bulb = math.hypot(u - (bx + 0.06), v - (by - 0.06))
    if bulb < width * 1.6:
        return (40, 40, 48), 1.0
    if d < width * 0.55:
        return (250, 250, 250), 1.0
    if d < width:
        return (20, 20, 24), 1.0
    return None, 0.0


def ring_pixel(x, y, n):
    u, v = (x + 0.5) / n, (y + 0.5) / n
    a = ring(u, v)
    return ((96, 96, 104), a) if a > 0 else (None, 0.0)


def pick_pixel(x, y, n):
    u, v = (x + 0.5) / n, (y + 0.5) / n
    c, a = pipette(u, v, (0.55, 0.95, 0.88, 0.62, max(0.07, 1.2 / n)))
    if a > 0:
        return c, a
    return ring_pixel(x, y, n)


def cursor_pixel(x, y, n):
    u, v = (x + 0.5) / n, (y + 0.5) / n
    return pipette(u, v, (0.08, 0.92, 0.70, 0.30, 0.07))


def image(n, pixel):
    """A BITMAPINFOHEADER image of n x n, 32 bits with alpha, bottom-up, and its AND mask."""
    rows, mask_rows = [], []
    stride = ((n + 31) // 32) * 4
    for y in range(n - 1, -1, -1):
        row = bytearray()
        m = bytearray(stride)
        for x in range(n):
            c, a = pixel(x, y, n)
            alpha = int(round(a * 255))
            if c is None or alpha == 0:
                row += b"\0\0\0\0"
                m[x // 8] |= 0x80 >> (x % 8)
            else:
                row += bytes((c[2], c[1], c[0], alpha))
        rows.append(bytes(row))
        mask_rows.append(bytes(m))
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"".join(rows) + b"".join(mask_rows)


def write_group(path, entries, kind):
    """kind 1: icon (planes 1, 32 bits); 2: cursor (the two fields hold the hot spot)."""
    data = struct.pack("<HHH", 0, kind, len(entries))
    offset = 6 + 16 * len(entries)
    for n, img, f1, f2 in entries:
        data += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, f1, f2, len(img), offset)
        offset += len(img)
    data += b"".join(e[1] for e in entries)
    with open(path, "wb") as f:
        f.write(data)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    sizes = (16, 22, 24, 32, 48)
    write_group(os.path.join(out, "value_ring.ico"), [(n, image(n, ring_pixel), 1, 32) for n in sizes], 1)
    write_group(os.path.join(out, "value_pick.ico"), [(n, image(n, pick_pixel), 1, 32) for n in sizes], 1)
    # The tip lies at (0.08, 0.92) of 32 pixels.
    write_group(os.path.join(out, "eyedropper.cur"), [(32, image(32, cursor_pixel), 2, 29)], 2)


if __name__ == "__main__":
    main()
