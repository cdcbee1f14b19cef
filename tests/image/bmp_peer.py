"""Peer side of the image tests: decodes images with PIL, ImageMagick or
netpbm into binary PPM, and derives bitmap variants that the peers do not
write themselves (other header sizes, top-down rows, RLE4, 16-bit without
masks, headerless, a 16-bit width of 2^31 - 1) from bitmaps a peer wrote.

  bmp_peer.py decode pil|im|netpbm IN OUT.ppm
  bmp_peer.py craft KIND IN OUT
"""
import struct
import subprocess
import sys


def decode(tool, src, out):
    if tool == "pil":
        from PIL import Image
        Image.open(src).convert("RGB").save(out, "PPM")
    elif tool == "im":
        subprocess.check_call(["/usr/bin/convert", src, "-depth", "8", "ppm:" + out])
    elif tool == "netpbm":
        with open(out, "wb") as f:
            p1 = subprocess.Popen(["bmptopnm", src], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            subprocess.check_call(["ppmtoppm"], stdin=p1.stdout, stdout=f, stderr=subprocess.DEVNULL)
            if p1.wait() != 0:
                raise SystemExit("bmptopnm failed")
    else:
        raise SystemExit("unknown tool " + tool)


def parts(data):
    """File header fields, info header bytes, colour table and pixels."""
    assert data[:2] == b"BM"
    offset = struct.unpack_from("<I", data, 10)[0]
    hsize = struct.unpack_from("<I", data, 14)[0]
    info = bytearray(data[14:14 + hsize])
    table = data[14 + hsize:offset]
    return info, table, data[offset:]


def build(info, table, pixels, file_header=True):
    body = bytes(info) + bytes(table) + bytes(pixels)
    if not file_header:
        return body
    return b"BM" + struct.pack("<IHHI", 14 + len(body), 0, 0, 14 + len(info) + len(table)) + body


def resize_header(info, size):
    """An info header of another size: masks (bytes 40-56) kept, zeros after."""
    out = bytearray(info[:size]) + bytearray(max(0, size - len(info)))
    struct.pack_into("<I", out, 0, size)
    return out


def rle4(width, height, rows, delta=True):
    """RLE4 stream of rows of 4-bit indices (bottom row first) with runs,
    literals and one delta that skips pixels (left at index 0)."""
    out = bytearray()
    for y, row in enumerate(rows):
        x = 0
        if delta and y == 1 and width > 6:
            # delta of 3 pixels on this row, then the rest of the row
            out += bytes([0, 2, 3, 0])
            x = 3
        while x < width:
            run = 1
            while x + run < width and run < 255 and row[x + run] == row[x]:
                run += 1
            if run >= 2:
                out += bytes([run, (row[x] << 4) | row[x]])
                x += run
                continue
            lit = 0
            while x + lit < width and lit < 20 and (x + lit + 1 >= width or row[x + lit + 1] != row[x + lit]):
                lit += 1
            if not delta and lit % 2:
                lit -= 1  # PIL drops the last pixel of odd literals
            if lit < 3:
                out += bytes([1, row[x] << 4])
                x += 1
                continue
            data = bytearray()
            for i in range(0, lit, 2):
                hi = row[x + i]
                lo = row[x + i + 1] if i + 1 < lit else 0
                data.append((hi << 4) | lo)
            if len(data) % 2:
                data.append(0)
            out += bytes([0, lit]) + data
            x += lit
        out += bytes([0, 0])
    out += bytes([0, 1])
    return out


def craft(kind, src, dst):
    data = open(src, "rb").read()
    if kind == "os2v2":
        info, table, px = parts(data)
        out = build(resize_header(info, 64), table, px)
    elif kind in ("v4", "h52", "h56", "v4pal"):
        info, table, px = parts(data)
        size = {"v4": 108, "v4pal": 108, "h52": 52, "h56": 56}[kind]
        if kind == "v4pal":
            struct.pack_into("<I", info, 32, len(table) // 4)
        out = build(resize_header(info, size), table, px)
    elif kind == "headerless":
        info, table, px = parts(data)
        out = build(info, table, px, file_header=False)
    elif kind == "topdown":
        info, table, px = parts(data)
        w, h = struct.unpack_from("<ii", info, 4)
        bits = struct.unpack_from("<H", info, 14)[0]
        stride = ((w * bits + 31) // 32) * 4
        rows = [px[i * stride:(i + 1) * stride] for i in range(h)]
        struct.pack_into("<i", info, 8, -h)
        out = build(info, table, b"".join(reversed(rows)))
    elif kind == "rgb16":
        # 5-5-5 without masks from a 24-bit bitmap.
        info, table, px = parts(data)
        w, h = struct.unpack_from("<ii", info, 4)
        s24 = ((w * 24 + 31) // 32) * 4
        s16 = ((w * 16 + 31) // 32) * 4
        outpx = bytearray()
        for y in range(h):
            row = px[y * s24:(y + 1) * s24]
            line = bytearray()
            for x in range(w):
                b, g, r = row[3 * x], row[3 * x + 1], row[3 * x + 2]
                line += struct.pack("<H", ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3))
            line += bytes(s16 - len(line))
            outpx += line
        info = bytearray(info[:40])
        struct.pack_into("<I", info, 0, 40)
        struct.pack_into("<HI", info, 14, 16, 0)
        struct.pack_into("<I", info, 20, len(outpx))
        struct.pack_into("<I", info, 32, 0)
        out = build(info, b"", outpx)
    elif kind == "wide16":
        # A 16-bit file whose width is the largest a header holds, one row
        # high, with one row of 16 pixels: its sizes overflow 32 bits.
        info, table, px = parts(data)
        info = bytearray(info[:40])
        struct.pack_into("<IiiHHI", info, 0, 40, 0x7FFFFFFF, 1, 1, 16, 0)
        struct.pack_into("<I", info, 20, 32)
        out = build(info, b"", bytes(range(32)))
    elif kind in ("rle4", "rle4nodelta"):
        info, table, px = parts(data)
        w, h = struct.unpack_from("<ii", info, 4)
        assert struct.unpack_from("<H", info, 14)[0] == 4
        stride = ((w * 4 + 31) // 32) * 4
        rows = []
        for y in range(h):
            r = px[y * stride:(y + 1) * stride]
            rows.append([(r[x // 2] >> 4) if x % 2 == 0 else (r[x // 2] & 15) for x in range(w)])
        stream = rle4(w, h, rows, kind == "rle4")
        struct.pack_into("<I", info, 16, 2)
        struct.pack_into("<I", info, 20, len(stream))
        out = build(info, table, stream)
    else:
        raise SystemExit("unknown kind " + kind)
    open(dst, "wb").write(out)


if __name__ == "__main__":
    if sys.argv[1] == "decode":
        decode(sys.argv[2], sys.argv[3], sys.argv[4])
    else:
        craft(sys.argv[2], sys.argv[3], sys.argv[4])
