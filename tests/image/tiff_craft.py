"""Writes small uncompressed little-endian TIFF files of layouts that the
peer tools do not make (two 1-bit samples, 12 or 24-bit grey, float
samples, a position tag), for the TIFF tests.

  tiff_craft.py OUT WIDTH HEIGHT SPP BITS PHOTOMETRIC HEXDATA [TAG=VALUE...]

HEXDATA is the one strip's bytes in hex (a*N: N bytes of the hex byte a).
TAG=VALUE adds a tag (or replaces one, the strip's offset 273 too): a
number gives SHORT (or LONG above 65535), a value with a dot a RATIONAL of
1/1000 steps, VxN N LONG values V, V,W,... those LONG values; SAMPLEFORMAT, XPOSITION, XRESOLUTION, ORIENTATION,
COMPRESSION name the common ones. COLORMAP=BITS adds a colour map of
2^BITS entries: entry i is red i & 0xFFFF, green (i >> 8) & 0xFFFF, blue
65535 - (i & 0xFFFF).
"""
import struct
import sys

NAMES = {"ORIENTATION": 274, "COMPRESSION": 259, "SAMPLEFORMAT": 339, "XPOSITION": 286, "YPOSITION": 287,
         "XRESOLUTION": 282, "YRESOLUTION": 283, "RESOLUTIONUNIT": 296}


def main():
    out, w, h, spp, bits, photometric, data = sys.argv[1:8]
    w, h, spp, bits, photometric = int(w), int(h), int(spp), int(bits), int(photometric)
    if "*" in data:
        byte, count = data.split("*")
        data = bytes.fromhex(byte) * int(count)
    else:
        data = bytes.fromhex(data)
    tags = {256: ("L", [w]), 257: ("L", [h]), 258: ("H", [bits] * spp), 259: ("H", [1]),
            262: ("H", [photometric]), 277: ("H", [spp]), 278: ("L", [h]), 279: ("L", [len(data)])}
    for arg in sys.argv[8:]:
        name, value = arg.split("=")
        tag = NAMES.get(name) or (320 if name == "COLORMAP" else int(name))
        if name == "COLORMAP":
            n = 1 << int(value)
            tags[320] = ("H", [i & 0xFFFF for i in range(n)] + [(i >> 8) & 0xFFFF for i in range(n)] +
                         [65535 - (i & 0xFFFF) for i in range(n)])
        elif "," in value:
            tags[tag] = ("L", [int(v) for v in value.split(",")])
        elif "x" in value:
            v, n = value.split("x")
            tags[tag] = ("L", [int(v)] * int(n))
        elif "." in value:
            tags[tag] = ("R", [round(float(value) * 1000)])
        else:
            v = int(value)
            tags[tag] = ("L" if v > 65535 else "H", [v])
    # Header, pixel data, then the directory and the values that do not fit.
    body = bytearray(b"II*\0" + struct.pack("<I", 0))
    strip = len(body)
    body += data
    if len(body) % 2:
        body += b"\0"
    entries = sorted(tags.items())
    tags.setdefault(273, ("L", [strip]))
    entries = sorted(tags.items())
    ifd = len(body)
    extra = ifd + 2 + 12 * len(entries) + 4
    ifd_bytes = bytearray(struct.pack("<H", len(entries)))
    extra_bytes = bytearray()
    for tag, (kind, values) in entries:
        if kind == "R":
            payload = b"".join(struct.pack("<II", v, 1000) for v in values)
            code = 5
        elif kind == "L":
            payload = b"".join(struct.pack("<I", v) for v in values)
            code = 4
        else:
            payload = b"".join(struct.pack("<H", v) for v in values)
            code = 3
        if len(payload) <= 4:
            field = payload + b"\0" * (4 - len(payload))
        else:
            field = struct.pack("<I", extra + len(extra_bytes))
            extra_bytes += payload
        ifd_bytes += struct.pack("<HHI", tag, code, len(values)) + field
    ifd_bytes += struct.pack("<I", 0)
    struct.pack_into("<I", body, 4, ifd)
    with open(out, "wb") as f:
        f.write(bytes(body + ifd_bytes + extra_bytes))


main()
