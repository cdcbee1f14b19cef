"""Peer side of the GIF tests: makes animated GIFs with PIL, splits peer
renderings of a GIF into frames (RGB as PPM, alpha as PGM), and lists the
blocks of a GIF file.

  gif_peer.py coalesce IN OUTPREFIX      ImageMagick -coalesce, N frames
  gif_peer.py pilframes IN OUTPREFIX     PIL's composed frames
  gif_peer.py pillast IN OUT.ppm         PIL's last composed frame, RGB
  gif_peer.py pilanim OUT                PIL animation, local palettes
  gif_peer.py blocks IN                  one line per block
"""
import struct
import subprocess
import sys
import tempfile
import os


def save_rgba(img, prefix, i):
    img = img.convert("RGBA")
    img.convert("RGB").save("%s%d.ppm" % (prefix, i), "PPM")
    img.getchannel("A").save("%s%d.pgm" % (prefix, i), "PPM")


def coalesce(src, prefix):
    from PIL import Image
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.check_call(["/usr/bin/convert", src, "-coalesce", "PNG32:" + os.path.join(tmp, "f%04d.png")])
        names = sorted(n for n in os.listdir(tmp) if n.endswith(".png"))
        for i, n in enumerate(names):
            save_rgba(Image.open(os.path.join(tmp, n)), prefix, i)
    print(len(names))


def pilframes(src, prefix):
    from PIL import Image
    im = Image.open(src)
    n = getattr(im, "n_frames", 1)
    for i in range(n):
        im.seek(i)
        save_rgba(im, prefix, i)
    print(n)


def pillast(src, out):
    from PIL import Image
    im = Image.open(src)
    n = getattr(im, "n_frames", 1)
    im.seek(n - 1)
    im.convert("RGB").save(out, "PPM")
    print(n)


def pilanim(out):
    """Three frames with palettes of their own, offsets (PIL crops to the
    changed box), transparency and disposal 2 and 1."""
    from PIL import Image, ImageDraw
    frames = []
    base = Image.new("RGB", (48, 36), (10, 120, 200))
    d = ImageDraw.Draw(base)
    for x in range(0, 48, 6):
        d.rectangle([x, 0, x + 2, 35], fill=(240, 200 - 4 * x, 30))
    frames.append(base.quantize(colors=16))
    f2 = base.copy()
    ImageDraw.Draw(f2).rectangle([10, 8, 30, 20], fill=(250, 20, 200))
    frames.append(f2.quantize(colors=64))
    f3 = base.copy()
    ImageDraw.Draw(f3).ellipse([20, 12, 44, 32], fill=(20, 250, 90))
    frames.append(f3.quantize(colors=8))
    frames[0].save(out, save_all=True, append_images=frames[1:], duration=[70, 80, 90], loop=3,
                   disposal=[1, 2, 1], optimize=False, interlace=False)


def blocks(src):
    data = open(src, "rb").read()
    pos = 13
    flags = data[10]
    if flags & 0x80:
        pos += 3 * (2 << (flags & 7))
    print("screen %d %d flags %02x" % (struct.unpack_from("<HH", data, 6) + (flags,)))
    while pos < len(data):
        b = data[pos]
        pos += 1
        if b == 0x3B:
            print("trailer")
            break
        if b == 0x21:
            label = data[pos]
            pos += 1
            subs = []
            while data[pos]:
                subs.append(data[pos + 1:pos + 1 + data[pos]])
                pos += 1 + data[pos]
            pos += 1
            print("ext %02x %s" % (label, " ".join(s.hex() for s in subs[:2])))
        elif b == 0x2C:
            x, y, w, h, fl = struct.unpack_from("<HHHHB", data, pos)
            pos += 9
            if fl & 0x80:
                pos += 3 * (2 << (fl & 7))
            size = data[pos]
            pos += 1
            n = 0
            while data[pos]:
                n += data[pos]
                pos += 1 + data[pos]
            pos += 1
            print("image %d %d %d %d flags %02x codesize %d bytes %d" % (x, y, w, h, fl, size, n))
        else:
            print("junk %02x" % b)


if __name__ == "__main__":
    cmd = sys.argv[1]
    if cmd == "coalesce":
        coalesce(sys.argv[2], sys.argv[3])
    elif cmd == "pilframes":
        pilframes(sys.argv[2], sys.argv[3])
    elif cmd == "pillast":
        pillast(sys.argv[2], sys.argv[3])
    elif cmd == "pilanim":
        pilanim(sys.argv[2])
    elif cmd == "blocks":
        blocks(sys.argv[2])
    else:
        raise SystemExit("unknown command " + cmd)
