#!/usr/bin/env python3
"""Draws the program's icons and writes them as .ico files (32-bit images
with an AND mask, sizes 16 to 64). Run by the build; nothing here is copied
from anywhere: the shapes are computed below.

make_icon.py OUT.ico [variant]   variant: program (default), message, or one
of the tab and action icons: capture_tab, copy, image_editor, options_tab,
print, save_sequential, save_as, send_to, word. Those are drawn with 4 x 4
samples per pixel; their edges carry partial alpha.
"""
import math
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


def inside(u, v, x0, y0, x1, y1):
    return x0 <= u <= x1 and y0 <= v <= y1


def framed(u, v, x0, y0, x1, y1, fill, edge, t):
    """A filled rectangle with an edge of width t; None outside."""
    if not inside(u, v, x0, y0, x1, y1):
        return None
    if inside(u, v, x0 + t, y0 + t, x1 - t, y1 - t):
        return fill
    return edge


DARK = (40, 48, 64)
PAPER = (250, 250, 246)


def capture_tab_pixel(u, v, t):
    """Viewfinder corners around a red cross."""
    for (ax, ay) in ((0.12, 0.12), (0.88, 0.12), (0.12, 0.88), (0.88, 0.88)):
        sx = 1 if ax < 0.5 else -1
        sy = 1 if ay < 0.5 else -1
        du, dv = (u - ax) * sx, (v - ay) * sy
        if (0 <= du <= 0.3 and 0 <= dv <= t * 1.4) or (0 <= dv <= 0.3 and 0 <= du <= t * 1.4):
            return (30, 80, 190)
    if (abs(u - 0.5) < t * 0.7 and 0.3 < v < 0.7) or (abs(v - 0.5) < t * 0.7 and 0.3 < u < 0.7):
        return (220, 40, 30)
    return None


def copy_pixel(u, v, t):
    """Two overlapping sheets."""
    front = framed(u, v, 0.36, 0.3, 0.88, 0.94, PAPER, DARK, t)
    if front:
        if 0.46 < u < 0.78 and t < (v - 0.3) % 0.16 < 2 * t and 0.4 < v < 0.86:
            return (120, 140, 170)
        return front
    return framed(u, v, 0.12, 0.06, 0.64, 0.7, (220, 226, 236), (90, 100, 120), t)


def image_editor_pixel(u, v, t):
    """A pencil, tip at the bottom left."""
    # Coordinates along (a) and across (b) the pencil's axis.
    a = ((u - 0.14) - (v - 0.86)) / math.sqrt(2)
    b = ((u - 0.14) + (v - 0.86)) / math.sqrt(2)
    half = 0.12
    length = 0.98
    if a < 0 or a > length:
        return None
    if a < 0.22:  # the sharpened cone
        if abs(b) > half * a / 0.22:
            return None
        return DARK if a < 0.09 else (235, 200, 150)
    if abs(b) > half:
        return None
    if a > length - 0.16:
        return (230, 120, 140)
    if abs(abs(b) - half) < t * 0.8:
        return (150, 100, 20)
    return (245, 190, 40)


def options_tab_pixel(u, v, t):
    """A gear wheel."""
    du, dv = u - 0.5, v - 0.5
    r = math.hypot(du, dv)
    angle = math.atan2(dv, du)
    outer = 0.46 if math.cos(8 * angle) > 0.1 else 0.36
    if r > outer or r < 0.14:
        return None
    return lerp((150, 160, 180), (70, 80, 100), v)


def print_pixel(u, v, t):
    """A printer with a sheet going in and one coming out."""
    out = framed(u, v, 0.26, 0.6, 0.74, 0.94, PAPER, DARK, t)
    if out and v > 0.66:
        return out
    body = framed(u, v, 0.06, 0.36, 0.94, 0.72, (170, 176, 190), DARK, t)
    if body:
        if inside(u, v, 0.72, 0.44, 0.84, 0.52):
            return (60, 200, 80)
        return body
    return framed(u, v, 0.26, 0.06, 0.74, 0.36, PAPER, DARK, t)


def floppy(u, v, t, body_color):
    if not inside(u, v, 0.08, 0.08, 0.92, 0.92) or u - 0.74 > v - 0.08:
        return None  # cut corner at the top right
    if inside(u, v, 0.22, 0.56, 0.78, 0.92 - t):
        return PAPER
    if inside(u, v, 0.3, 0.08, 0.66, 0.34):
        return (200, 204, 212) if not inside(u, v, 0.52, 0.12, 0.6, 0.3) else DARK
    return body_color


def save_as_pixel(u, v, t):
    """A floppy disk."""
    return floppy(u, v, t, (40, 90, 190))


def save_sequential_pixel(u, v, t):
    """A floppy disk with a second one behind it."""
    front = floppy((u - 0.2) / 0.8 + 0.0, (v - 0.2) / 0.8, t, (30, 140, 90))
    if front:
        return front
    back = floppy(u / 0.8, v / 0.8, t, (90, 180, 130))
    return back


def send_to_pixel(u, v, t):
    """An arrow to the right."""
    if inside(u, v, 0.08, 0.38, 0.56, 0.62):
        return lerp((40, 170, 70), (20, 120, 50), v)
    if 0.5 <= u <= 0.94 and abs(v - 0.5) <= 0.4 * (0.94 - u) / 0.44:
        return lerp((40, 170, 70), (20, 120, 50), v)
    return None


def word_pixel(u, v, t):
    """A document with a blue W block."""
    if inside(u, v, 0.06, 0.26, 0.5, 0.74):
        x = (u - 0.06) / 0.44
        y = (v - 0.26) / 0.48
        # A white W drawn as four strokes across the block.
        for (x0, x1) in ((0.12, 0.32), (0.5, 0.32), (0.5, 0.68), (0.88, 0.68)):
            xs = x0 + (x1 - x0) * (y - 0.15) / 0.7
            if 0.15 <= y <= 0.85 and abs(x - xs) < 0.08:
                return PAPER
        return (30, 80, 180)
    page = framed(u, v, 0.28, 0.06, 0.92, 0.94, PAPER, DARK, t)
    if page and 0.56 < u < 0.84 and t < (v - 0.06) % 0.14 < 2.2 * t and 0.14 < v < 0.88:
        return (120, 140, 170)
    return page


SAMPLED = {
    "capture_tab": capture_tab_pixel,
    "copy": copy_pixel,
    "image_editor": image_editor_pixel,
    "options_tab": options_tab_pixel,
    "print": print_pixel,
    "save_sequential": save_sequential_pixel,
    "save_as": save_as_pixel,
    "send_to": send_to_pixel,
    "word": word_pixel,
}


def sampled(shape):
    """A pixel function (RGBA) averaging 4 x 4 samples of a shape."""
    def pixel(x, y, n):
        t = max(0.06, 1.2 / n)
        acc = [0, 0, 0]
        hits = 0
        for i in range(4):
            for j in range(4):
                c = shape((x + (i + 0.5) / 4) / n, (y + (j + 0.5) / 4) / n, t)
                if c is not None:
                    hits += 1
                    for k in range(3):
                        acc[k] += c[k]
        if hits == 0:
            return None
        return (acc[0] // hits, acc[1] // hits, acc[2] // hits, hits * 255 // 16)
    return pixel


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
                row += bytes((c[2], c[1], c[0], c[3] if len(c) > 3 else 255))
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
    variant = sys.argv[2] if len(sys.argv) > 2 else "program"
    if variant == "message":
        pixel = message_pixel
    elif variant in SAMPLED:
        pixel = sampled(SAMPLED[variant])
    else:
        pixel = program_pixel
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
