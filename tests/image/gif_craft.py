"""Writes GIF files whose image data uses a chosen LZW minimum code size
(2 to 12), for the GIF tests: the format lets a stream start at any code
width up to its 12-bit limit, which the usual writers never do.

  gif_craft.py OUT WIDTH HEIGHT CODESIZE PATTERN [NOCLEAR]

PATTERN picks the pixels (indices of a 256-entry palette): "ramp" (x + 3y
mod 256), "noise" (a fixed pseudo-random sequence) or "flat" (all 7).
The encoder fills the code table up to its 4,096 entries; with NOCLEAR it
then goes on with 12-bit codes and no clear code (a deferred clear, as
the format allows), else it writes a clear code.
"""
import struct
import sys


def pixels(w, h, pattern, size):
    if pattern == "flat":
        return [7 % (1 << size)] * (w * h)
    if pattern == "ramp":
        return [(x + 3 * y) % 256 % (1 << size) for y in range(h) for x in range(w)]
    seed, out = 12345, []
    for _ in range(w * h):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        out.append((seed >> 16) % 13 * 19 % 256 % (1 << size))
    return out


def lzw(data, size, clear_when_full):
    clear, end = 1 << size, (1 << size) + 1
    codes = []  # (code, width)
    width = size + 1

    def reset():
        return {(i,): i for i in range(clear)}, clear + 2, size + 1

    table, free, width = reset()
    codes.append((clear, width))
    prefix = (data[0],)
    for p in data[1:]:
        cand = prefix + (p,)
        if cand in table:
            prefix = cand
            continue
        codes.append((table[prefix], width))
        if free < 4096:
            table[cand] = free
            free += 1
            # A decoder adds its entry a code later: it widens when its
            # next slot reaches 1 << width, which is this free code less one.
            if free == (1 << width) + 1 and width < 12:
                width += 1
        elif clear_when_full:
            codes.append((clear, width))
            table, free, width = reset()
        prefix = (p,)
    codes.append((table[prefix], width))
    codes.append((end, width))
    bits = acc = 0
    out = bytearray()
    for code, w in codes:
        acc |= code << bits
        bits += w
        while bits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            bits -= 8
    if bits:
        out.append(acc & 0xFF)
    return bytes(out)


def main():
    out, w, h, size, pattern = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
    clear_when_full = len(sys.argv) < 7
    px = pixels(w, h, pattern, size)
    palette = b"".join(bytes([i, (i * 7) & 0xFF, 255 - i]) for i in range(256))
    data = lzw(px, size, clear_when_full)
    blocks = b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255] for i in range(0, len(data), 255))
    gif = (b"GIF89a" + struct.pack("<HHBBB", w, h, 0xF7, 0, 0) + palette + b"," +
           struct.pack("<HHHHB", 0, 0, w, h, 0) + bytes([size]) + blocks + b"\0;")
    with open(out, "wb") as f:
        f.write(gif)


main()
