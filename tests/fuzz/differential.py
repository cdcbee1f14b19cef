"""The differential run of scripts/fuzz.sh --diff: our PNG, BMP, GIF and JPEG
decoders against PIL on every seed and corpus file of those targets. Where
both accept a file their pictures must be the same size and agree: PNG, BMP
and GIF (the pixels its first frame paints) exactly, JPEG within the IDCT's rounding (JPEG_TOLERANCE per
channel). Known differences are allowed for: PIL widens the 5- and 6-bit
fields of 16-bit bitmaps to the full range where we shift them (compared
to 5 bits); not compared are RLE4 bitmaps (PIL moves RLE4 deltas by bytes)
and GIFs we read as a true-colour grid (no global table, a first frame
smaller than the screen both ways: we compose every frame, PIL shows the
first) or whose first frame overhangs the screen (PIL grows the screen to
it, we skip it), and pictures with palette indices beyond their palette
(PIL shows such an index as a grey level, we as black or the first colour). Prints per format the files, how many each side
accepted, the agreement and up to five differing files; exits 1 when any
differ.

  differential.py RASTER_DUMP CACHE
"""
import os
import subprocess
import sys
import tempfile
import warnings

from PIL import Image

JPEG_TOLERANCE = 2
FORMATS = ("png", "bmp", "gif", "jpeg")
# PIL's decompression-bomb guard at the size our decoders allow at most.
Image.MAX_IMAGE_PIXELS = 1 << 27


def ours(dump, fmt, files, out):
    """Our decoder on the files: {name: (w, h)} of those it accepted."""
    accepted = {}
    for i in range(0, len(files), 200):
        run = subprocess.run([dump, fmt, out] + files[i:i + 200], stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, check=True)
        for line in run.stdout.decode("latin-1").splitlines():
            parts = line.split(" ")
            if len(parts) >= 4 and parts[1] == "ok":
                accepted[parts[0]] = (int(parts[2]), int(parts[3]))
    return accepted


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    return int(fields[1]), int(fields[2]), data[pos + 1:]


def theirs(path, fmt):
    """PIL's picture: (size, RGB bytes, mask), or None when PIL refuses the
    file. The mask (GIF only, else None) holds 1 for the pixels compared:
    those the first frame paints opaquely. What shows around and through
    the first frame (a background index, a transparent index's colour) is
    each decoder's own choice."""
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            with Image.open(path) as im:
                box = im.tile[0][1] if im.tile else (0, 0) + im.size
                im.load()
                rgb = im.convert("RGB")
                mask = None
                if fmt == "gif":
                    alpha = im.convert("RGBA").getchannel("A").tobytes()
                    w = im.size[0]
                    mask = bytes(1 if alpha[i] == 255 and box[0] <= i % w < box[2] and box[1] <= i // w < box[3]
                                 else 0 for i in range(len(alpha)))
                # Pixels whose index lies beyond the palette: PIL shows the
                # index as a grey, we show black or the first colour.
                beyond = im.mode == "P" and max(im.getdata()) >= len(im.getpalette() or []) // 3
                return rgb.size, rgb.tobytes(), mask, box, beyond
    except Exception:  # any refusal: the file is not compared
        return None


def bmp_form(path):
    """(bits per pixel, compression) of a bitmap's header, with or without
    the file header, or (0, 0)."""
    with open(path, "rb") as f:
        head = f.read(34)
    info = head[14:] if head[:2] == b"BM" else head
    if len(info) < 12:
        return 0, 0
    if int.from_bytes(info[0:4], "little") == 12:
        return int.from_bytes(info[10:12], "little"), 0
    if len(info) < 20:
        return 0, 0
    return int.from_bytes(info[14:16], "little"), int.from_bytes(info[16:20], "little")


def not_compared(fmt, path, size, box, beyond):
    """True for the files whose readings differ by design (see above)."""
    if beyond:
        return True
    if fmt == "bmp":
        return bmp_form(path)[1] == 2
    if fmt == "gif":
        with open(path, "rb") as f:
            head = f.read(11)
        if len(head) < 11:
            return False
        screen = (int.from_bytes(head[6:8], "little"), int.from_bytes(head[8:10], "little"))
        if screen != (0, 0) and (box[2] > screen[0] or box[3] > screen[1]):
            return True  # PIL grows the screen to the frame; we skip the frame
        no_global = not head[10] & 0x80
        return no_global and box[2] - box[0] < size[0] and box[3] - box[1] < size[1]
    return False


def compare(fmt, path, a, b):
    """None when the pictures agree, else where they first differ."""
    (w, h, ours_px), ((tw, th), their_px, mask, _, _) = a, b
    if (w, h) != (tw, th):
        return "size %dx%d, PIL %dx%d" % (w, h, tw, th)
    tolerance = JPEG_TOLERANCE if fmt == "jpeg" else 0
    shift = 3 if fmt == "bmp" and bmp_form(path)[0] == 16 else 0
    worst, at = 0, None
    for i, (p, q) in enumerate(zip(ours_px, their_px)):
        if mask is not None and not mask[i // 3]:
            continue
        d = abs((p >> shift) - (q >> shift))
        if d > worst:
            worst, at = d, i
    if worst <= tolerance:
        return None
    px = at // 3
    return "largest difference %d at (%d, %d)" % (worst, px % w, px // w)


def main():
    dump, cache = sys.argv[1], sys.argv[2]
    failed = False
    print("%-6s %7s %8s %8s %8s %8s %8s %10s" % ("format", "files", "ours", "PIL", "both", "agree", "differ", "by design"))
    for fmt in FORMATS:
        files = []
        for folder in ("seeds", "corpus"):
            d = os.path.join(cache, folder, fmt)
            if os.path.isdir(d):
                files += [os.path.join(d, n) for n in sorted(os.listdir(d)) if not n.startswith(".")]
        with tempfile.TemporaryDirectory() as out:
            accepted = ours(dump, fmt, files, out)
            pil = both = agree = skipped = 0
            differ = []
            for path in files:
                name = os.path.basename(path)
                t = theirs(path, fmt)
                pil += t is not None
                if t is None or name not in accepted:
                    continue
                if not_compared(fmt, path, t[0], t[3], t[4]):
                    skipped += 1
                    continue
                both += 1
                why = compare(fmt, path, read_ppm(os.path.join(out, name + ".ppm")), t)
                if why is None:
                    agree += 1
                else:
                    differ.append("%s: %s" % (path, why))
        print("%-6s %7d %8d %8d %8d %8d %8d %10d" % (fmt, len(files), len(accepted), pil, both, agree, len(differ), skipped))
        for line in differ[:5]:
            print("    " + line)
        failed |= bool(differ)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
