#!/usr/bin/env python3
"""Draws the framework's images and writes them as resource files (32-bit
images with alpha and an AND mask). Run at configure time by
framework/CMakeLists.txt; the shapes are computed below.

make_framework_icons.py OUTDIR
  OUTDIR/value_ring.ico     a grey ring, open inside (brush size, picked colour)
  OUTDIR/value_pick.ico     the ring with a small pipette (colour not yet picked)
  OUTDIR/eyedropper.cur     the eyedropper cursor, hot spot at the tip
  OUTDIR/frame_*.ico        the window menu's icons: caption, colour, font,
                            lock, always on top, taskbar, transparency
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


# The window menu's icons: shapes in unit coordinates (y down), painted in
# order over each other, 4 x 4 samples a pixel.

def rect(x0, y0, x1, y1):
    return lambda u, v: x0 <= u < x1 and y0 <= v < y1


def circle(cx, cy, r):
    return lambda u, v: (u - cx) ** 2 + (v - cy) ** 2 < r * r


def annulus(cx, cy, r, w):
    return lambda u, v: abs(math.hypot(u - cx, v - cy) - r) < w / 2


def polygon(points):
    def inside(u, v):
        hit = False
        j = len(points) - 1
        for i in range(len(points)):
            (xi, yi), (xj, yj) = points[i], points[j]
            if (yi > v) != (yj > v) and u < (xj - xi) * (v - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit
    return inside


def both(a, b):
    return lambda u, v: a(u, v) and b(u, v)


DARK = (40, 48, 64)
TITLE = (40, 100, 200)
PAPER = (250, 250, 252)
GREY = (150, 156, 166)


def window(x0, y0, x1, y1, title=TITLE, bar=0.22):
    """A framed window with a title bar, as a list of (shape, colour, alpha)."""
    return [(rect(x0, y0, x1, y1), DARK, 1.0),
            (rect(x0 + 0.06, y0 + 0.06, x1 - 0.06, y1 - 0.06), PAPER, 1.0),
            (rect(x0 + 0.06, y0 + 0.06, x1 - 0.06, y0 + bar), title, 1.0)]


FRAME_ICONS = {
    # Caption: a window whose title bar carries three buttons.
    "caption": window(0.04, 0.12, 0.96, 0.88, bar=0.34) + [
        (rect(0.54 + 0.13 * k, 0.2, 0.64 + 0.13 * k, 0.3), PAPER, 1.0) for k in range(3)],
    # Colour: red, green and blue discs over each other.
    "color": [(circle(0.36, 0.38, 0.27), (220, 40, 40), 1.0),
              (circle(0.64, 0.38, 0.27), (40, 170, 60), 0.85),
              (circle(0.5, 0.64, 0.27), (40, 90, 220), 0.8)],
    # Font: a capital A with its cross bar.
    "font": [(polygon([(0.06, 0.94), (0.42, 0.06), (0.58, 0.06), (0.94, 0.94), (0.74, 0.94), (0.5, 0.3),
                       (0.26, 0.94)]), DARK, 1.0),
             (rect(0.3, 0.58, 0.7, 0.72), DARK, 1.0)],
    # Lock: a padlock with its shackle and key hole.
    "lock": [(both(annulus(0.5, 0.42, 0.24, 0.11), lambda u, v: v < 0.5), GREY, 1.0),
             (rect(0.16, 0.46, 0.84, 0.96), (120, 90, 20), 1.0),
             (rect(0.22, 0.52, 0.78, 0.9), (230, 180, 50), 1.0),
             (circle(0.5, 0.66, 0.08), DARK, 1.0),
             (rect(0.46, 0.68, 0.54, 0.82), DARK, 1.0)],
    # Always on top: a window over another one, with an arrow up.
    "on_top": window(0.3, 0.04, 0.96, 0.6, title=GREY) + window(0.04, 0.36, 0.7, 0.96) + [
        (polygon([(0.82, 0.68), (0.96, 0.84), (0.68, 0.84)]), TITLE, 1.0),
        (rect(0.78, 0.84, 0.86, 0.98), TITLE, 1.0)],
    # Show on taskbar: a screen with its task bar and one button on it.
    "taskbar": [(rect(0.02, 0.08, 0.98, 0.92), DARK, 1.0),
                (rect(0.08, 0.14, 0.92, 0.68), (170, 200, 240), 1.0),
                (rect(0.08, 0.7, 0.92, 0.86), (30, 60, 130), 1.0),
                (rect(0.14, 0.73, 0.46, 0.83), (240, 240, 240), 1.0)],
    # Transparency: a square seen through another, over a chequer board.
    "transparency": [(rect(0.04, 0.04, 0.72, 0.72), DARK, 1.0)] +
                    [(rect(0.08 + 0.16 * (k % 4), 0.08 + 0.16 * (k // 4), 0.24 + 0.16 * (k % 4),
                           0.24 + 0.16 * (k // 4)), PAPER if (k + k // 4) % 2 else GREY, 1.0) for k in range(16)] +
                    [(rect(0.32, 0.32, 0.96, 0.96), TITLE, 0.55)],
}


def shapes_pixel(shapes):
    """A pixel function for image(): 4 x 4 samples, each the shapes over each other."""
    def pixel(x, y, n):
        acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied red, green, blue, alpha
        for sy in range(4):
            for sx in range(4):
                u, v = (x + (sx + 0.5) / 4) / n, (y + (sy + 0.5) / 4) / n
                r = g = b = a = 0.0
                for inside, colour, alpha in shapes:
                    if inside(u, v):
                        r = colour[0] * alpha + r * (1 - alpha)
                        g = colour[1] * alpha + g * (1 - alpha)
                        b = colour[2] * alpha + b * (1 - alpha)
                        a = alpha + a * (1 - alpha)
                for i, c in enumerate((r, g, b, a)):
                    acc[i] += c / 16
        if acc[3] <= 0:
            return None, 0.0
        return tuple(int(round(acc[i] / acc[3])) for i in range(3)), acc[3]
    return pixel


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
    for name, shapes in FRAME_ICONS.items():
        write_group(os.path.join(out, "frame_%s.ico" % name),
                    [(n, image(n, shapes_pixel(shapes)), 1, 32) for n in sizes], 1)
    # The tip lies at (0.08, 0.92) of 32 pixels.
    write_group(os.path.join(out, "eyedropper.cur"), [(32, image(32, cursor_pixel), 2, 29)], 2)


if __name__ == "__main__":
    main()
