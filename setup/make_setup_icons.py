#!/usr/bin/env python3
"""Draws setup's two icons: a carton with a green arrow going in (setup)
and the same carton with a red cross (the uninstaller). Run by the build;
written as .ico files through the main program's icon writer.

make_setup_icons.py OUT_FOLDER
"""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
import make_icon  # noqa: E402


def carton(u, v, t):
    """A brown carton seen from the front, its lid darker; None outside."""
    if 0.12 <= u <= 0.88 and 0.42 <= v <= 0.92:
        edge = u < 0.12 + t or u > 0.88 - t or v > 0.92 - t
        return (110, 70, 30) if edge else (196, 140, 72)
    if 0.08 <= u <= 0.92 and 0.34 <= v < 0.42:
        return (150, 100, 50)
    return None


def setup_shape(u, v, t):
    """The carton with a green arrow pointing down into it."""
    if 0.42 <= u <= 0.58 and 0.04 <= v <= 0.40:
        return (40, 160, 60)
    if 0.22 <= v <= 0.58 and abs(u - 0.5) <= (0.58 - v) * 0.9:
        return (40, 160, 60)
    return carton(u, v, t)


def uninstall_shape(u, v, t):
    """The carton with a red cross in front of its top."""
    du, dv = u - 0.5, v - 0.32
    if abs(du) <= 0.30 and abs(dv) <= 0.30 and (abs(du - dv) < 0.09 or abs(du + dv) < 0.09):
        return (200, 30, 30)
    return carton(u, v, t)


def write_icon(path, shape):
    pixel = make_icon.sampled(shape)
    sizes = (16, 24, 32, 48, 64)
    images = [make_icon.image(n, pixel) for n in sizes]
    data = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    data += b"".join(images)
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    write_icon(os.path.join(out, "setup.ico"), setup_shape)
    write_icon(os.path.join(out, "uninstall.ico"), uninstall_shape)
