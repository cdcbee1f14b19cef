#!/usr/bin/env python3
"""Draws the program's icons and writes them as .ico files (32-bit images
with an AND mask, sizes 16 to 64). Run by the build; nothing here is copied
from anywhere: the shapes are computed below.

make_icon.py OUT.ico [variant]   variant: program (default) or message
"""
import struct
import sys


def lerp(a, b, t):
    return tuple(int(a[i] + (b[i] - a[i]) * t) for i in range(3))


def program_pixel(x, y, n):
    """A blue rounded tile with white viewfinder corners and a red dot."""
    u, v = (x + 0.5) / n, (y + 0.5) / n
    r = 0.18
    cx = min(max(u, r), 1 - r)
    cy = min(max(v, r), 1 - r)
    if (u - cx) ** 2 + (v - cy) ** 2 > r * r or u < 0.02 or v < 0.02 or u > 0.98 or v > 0.98:
        return None
    color = lerp((40, 110, 220), (20, 50, 140), v)
    # Viewfinder corners: L shapes near each corner.
    t = max(0.07, 1.5 / n)
    for (ax, ay) in ((0.2, 0.2), (0.8, 0.2), (0.2, 0.8), (0.8, 0.8)):
        sx = 1 if ax < 0.5 else -1
        sy = 1 if ay < 0.5 else -1
        du, dv = (u - ax) * sx, (v - ay) * sy
        if (0 <= du <= 0.22 and 0 <= dv <= t) or (0 <= dv <= 0.22 and 0 <= du <= t):
            color = (245, 245, 250)
    if (u - 0.5) ** 2 + (v - 0.5) ** 2 < 0.11 ** 2:
        color = (230, 50, 40)
    return color


def message_pixel(x, y, n):
    """The program tile with a white speech mark instead of the dot."""
    c = program_pixel(x, y, n)
    if c is None:
        return None
    u, v = (x + 0.5) / n, (y + 0.5) / n
    if abs(u - 0.5) < 0.06 and 0.32 < v < 0.58 or (u - 0.5) ** 2 + (v - 0.68) ** 2 < 0.06 ** 2:
        return (250, 250, 250)
    return c


def image(n, pixel):
    rows = []
    mask_rows = []
    for y in range(n - 1, -1, -1):  # bottom-up
        row = b""
        bits = []
        for x in range(n):
            c = pixel(x, y, n)
            if c is None:
                row += b"\0\0\0\0"
                bits.append(1)
            else:
                row += bytes((c[2], c[1], c[0], 255))
                bits.append(0)
        rows.append(row)
        stride = ((n + 31) // 32) * 4
        m = bytearray(stride)
        for x, b in enumerate(bits):
            if b:
                m[x // 8] |= 0x80 >> (x % 8)
        mask_rows.append(bytes(m))
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"".join(rows) + b"".join(mask_rows)


def main():
    out = sys.argv[1]
    pixel = message_pixel if len(sys.argv) > 2 and sys.argv[2] == "message" else program_pixel
    sizes = (16, 24, 32, 48, 64)
    images = [image(n, pixel) for n in sizes]
    data = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    data += b"".join(images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
