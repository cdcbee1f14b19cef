"""Peer side of the JPEG tests: decodes with PIL (CMYK with the k-weighted
rule of the codec), reports PIL's resolution, writes files with PIL, and
derives files the peers do not write themselves (extra scans, comments).

  jpeg_peer.py cmyk IN OUT.ppm          stored CMYK bytes -> c*k/255 etc.
  jpeg_peer.py dpi IN                   prints "x y" of PIL's dpi, or "none"
  jpeg_peer.py pilsave IN OUT QUALITY SUBSAMPLING PROGRESSIVE DPI
  jpeg_peer.py scans IN OUT N           repeats the first scan N more times
  jpeg_peer.py comment IN OUT HEX       puts a COM segment after SOI
"""
import struct
import sys


def segments(data):
    """(marker, start, end) of each segment up to the first SOS; the SOS
    entry's end is the end of its entropy-coded data."""
    assert data[:2] == b"\xff\xd8"
    pos, out = 2, []
    while pos < len(data):
        assert data[pos] == 0xFF
        marker = data[pos + 1]
        length = struct.unpack_from(">H", data, pos + 2)[0]
        end = pos + 2 + length
        if marker == 0xDA:
            while True:
                if data[end] == 0xFF and data[end + 1] != 0 and not 0xD0 <= data[end + 1] <= 0xD7:
                    break
                end += 1
            out.append((marker, pos, end))
            return out
        out.append((marker, pos, end))
        pos = end
    return out


def main():
    cmd = sys.argv[1]
    if cmd == "cmyk":
        from PIL import Image
        im = Image.open(sys.argv[2])
        assert im.mode == "CMYK", im.mode
        raw = im.tobytes()
        out = bytearray()
        for i in range(0, len(raw), 4):
            # PIL hands out 255 - stored for Adobe files; undo that first.
            c, m, y, k = (255 - v for v in raw[i:i + 4])
            out += bytes([c * k // 255, m * k // 255, y * k // 255])
        with open(sys.argv[3], "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % im.size + bytes(out))
    elif cmd == "dpi":
        from PIL import Image
        dpi = Image.open(sys.argv[2]).info.get("dpi")
        print("none" if dpi is None else "%d %d" % (round(dpi[0]), round(dpi[1])))
    elif cmd == "pilsave":
        from PIL import Image
        im = Image.open(sys.argv[2])
        dpi = int(sys.argv[7])
        im.save(sys.argv[3], "JPEG", quality=int(sys.argv[4]), subsampling=int(sys.argv[5]),
                progressive=sys.argv[6] == "1", dpi=(dpi, dpi))
    elif cmd == "scans":
        data = open(sys.argv[2], "rb").read()
        segs = segments(data)
        _, start, end = segs[-1]
        # The scan's Huffman tables come before it; repeat tables and scan.
        tables = b"".join(data[s:e] for m, s, e in segs if m == 0xC4)
        extra = (tables + data[start:end]) * int(sys.argv[4])
        open(sys.argv[3], "wb").write(data[:end] + extra + data[end:])
    elif cmd == "comment":
        data = open(sys.argv[2], "rb").read()
        text = bytes.fromhex(sys.argv[4])
        com = b"\xff\xfe" + struct.pack(">H", len(text) + 2) + text
        open(sys.argv[3], "wb").write(data[:2] + com + data[2:])
    else:
        raise SystemExit("unknown command " + cmd)


if __name__ == "__main__":
    main()
