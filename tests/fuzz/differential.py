"""The differential run of scripts/fuzz.sh --diff: our PNG, BMP, GIF, JPEG,
TIFF, ICO, TGA and PCX decoders against PIL on every seed and corpus file
of those targets. Where both accept a file their pictures must be the same
size and agree: exactly, but JPEG (and JPEG in TIFF) within the IDCT's
rounding (JPEG_TOLERANCE per channel), and only the pixels that PIL shows
opaque for GIF (those the first frame paints) and ICO.

The readings that differ by design are all in KNOWN_DIFFERENCES below:
each is either compared in a weaker form or not compared, and the run
prints how many files each one took. Prints per format the files, how many
each side accepted, the agreement and up to five differing files; exits 1
when any differ.

  differential.py RASTER_DUMP CACHE
"""
import os
import subprocess
import sys
import tempfile
import warnings

from PIL import Image

JPEG_TOLERANCE = 2
FORMATS = ("png", "bmp", "gif", "jpeg", "tiff", "ico", "tga", "pcx")
# PIL's decompression-bomb guard at the size our decoders allow at most.
Image.MAX_IMAGE_PIXELS = 1 << 27

# Every known difference between our reading and PIL's, by name.
KNOWN_DIFFERENCES = {
    "beyond-palette": "indices beyond the palette (a GIF frame without any table: all): PIL shows a grey, we"
                      " our palette's colour there (black; white in a GIF with a transparent index) (not compared)",
    "bmp-rle-delta": "RLE bitmaps with a delta: PIL takes four bytes for it, the format two (not compared)",
    "bmp-rle-literal": "RLE literals past a row's end: we stop them there, PIL goes on into the next row"
                       " (not compared)",
    "bmp-rle-eol": "RLE end-of-line at a row's start: PIL ignores it, we end the row (not compared)",
    "bmp-rle4-odd": "RLE4 literals of an odd length: PIL reads a byte too few and loses its place (not compared)",
    "bmp-zero-masks": "32-bit bit fields whose masks are all 0: PIL reads 8-8-8, we black (not compared)",
    "bmp-16bit": "16-bit bitmaps: PIL widens the fields as v * 255 / 31 (or 63), we by repeating the bits"
                 " (compared within 1)",
    "gif-grid": "GIFs of more than one frame without a global table whose first frame is smaller than the"
                " screen both ways: we compose every frame in true colour, PIL shows the first (not compared)",
    "gif-overhang": "a GIF's first frame overhanging the screen: PIL grows the screen to it, we skip it"
                    " (not compared)",
    "gif-stray-bytes": "bytes before a GIF's first image that begin no block: PIL skips them one by one, we up to"
                       " the next zero byte, so the first images may differ (not compared)",
    "gif-short-codes": "GIFs whose first image's codes end early: we leave the rest the background, PIL shows"
                       " other indices (not compared)",
    "gif-code-size": "GIF streams of a minimum code size below 2 or of 12 (13-bit codes, past the format's limit):"
                     " PIL reads them, we give no pixels (not compared)",
    "tga-16bit": "15- and 16-bit TGA pixels and colour maps: PIL widens the 5 bits as v * 255 / 31, we by"
                 " repeating the bits (compared within 1)",
    "tiff-palette-scale": "16-bit TIFF colour maps: we scale each value by 255 / 65535, PIL takes its high byte"
                          " (compared within 1)",
    "tiff-palette-8bit": "TIFF colour maps whose values all fit 8 bits: we take them as 8-bit values, PIL as the"
                         " high bytes of 16-bit ones (not compared)",
    "tiff-wide-grey": "grey TIFF of more than 8 bits: we keep each sample's top 8 bits (16-bit pages scaled first"
                      " so that the brightest sample uses the top bit), PIL clips the values (not compared)",
    "tiff-unfilled-strip": "stored Deflate TIFF strips of more rows than the page, which this libtiff reports read"
                           " unfilled: we show black, PIL what its buffer held (not compared)",
    "tiff-lab": "CIELab TIFF: our own conversion to RGB, PIL keeps LAB (not compared)",
    "tiff-rgba-reader": "TIFF pages only libtiff's RGBA reader serves (LogLuv, subsampled YCbCr outside JPEG,"
                        " other ink sets and depths): PIL reads them its own way or not at all (not compared)",
    "pcx-stride": "PCX files whose bytes per line are not the width's (made even): we read lines of the"
                  " header's length, PIL of the width's (not compared)",
    "ico-and-only": "icon entries whose AND mask hides every pixel: we show the negative, PIL nothing"
                    " (not compared)",
    "ico-mask-place": "icon entries whose directory size is not that of their header, palette, pixels and mask:"
                      " we read the mask after the pixels, PIL at the end the directory gives (not compared)",
}


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


def first_icon_entry(path):
    """The file offset of an icon's first entry, or None."""
    with open(path, "rb") as f:
        head = f.read(22)
    return int.from_bytes(head[18:22], "little") if len(head) == 22 else None


def icon_sizes_agree(path):
    """Whether an icon's first entry, a bitmap, is as long as its directory
    says (PNG entries and unreadable ones count as agreeing)."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 22:
        return True
    size, offset = int.from_bytes(data[14:18], "little"), int.from_bytes(data[18:22], "little")
    info = data[offset:offset + 40]
    if len(info) < 40 or info[:4] != b"\x28\0\0\0":
        return True
    w, h = int.from_bytes(info[4:8], "little", signed=True), int.from_bytes(info[8:12], "little", signed=True) // 2
    bpp, colors = int.from_bytes(info[14:16], "little"), int.from_bytes(info[32:36], "little")
    table = colors or (1 << bpp if bpp <= 8 else 0)
    pixels = (w * bpp + 31) // 32 * 4 * h
    mask = (w + 31) // 32 * 4 * h
    return size == 40 + 4 * table + pixels + mask


def open_pil(path, fmt):
    """PIL's image of the picture we read: the first ICO entry (PIL would
    pick the largest), a TIFF turned upright as its orientation says; and
    the TIFF's tags."""
    im = Image.open(path)
    tags = dict(getattr(im, "tag_v2", {}) or {}) if fmt == "tiff" else {}
    if fmt == "ico":
        offset = first_icon_entry(path)
        index = [i for i, e in enumerate(im.ico.entry) if e["offset"] == offset]
        if not index:
            raise ValueError("no first entry")
        im = im.ico.frame(index[0])
    elif fmt == "tiff":  # by the tag: PIL's own Exif reading may find the file closed after the load
        turned = getattr(im, "_tile_orientation", None)  # some layouts PIL turns itself as it loads them
        im.load()
        t = Image.Transpose
        method = {2: t.FLIP_LEFT_RIGHT, 3: t.ROTATE_180, 4: t.FLIP_TOP_BOTTOM, 5: t.TRANSPOSE, 6: t.ROTATE_270,
                  7: t.TRANSVERSE, 8: t.ROTATE_90}.get(tags.get(274, 1))
        if method is not None and not turned:
            im = im.transpose(method)
    return im, tags


def theirs(path, fmt):
    """PIL's picture: (size, RGB bytes, mask, box, facts), or None when PIL
    refuses the file. The mask (GIF and ICO, else None) holds 1 for the
    pixels compared: those PIL shows opaque, for GIF only inside the first
    frame. What shows around and through them is each decoder's own choice.
    facts: what the known differences need of PIL's reading."""
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            im, tags = open_pil(path, fmt)
            box = im.tile[0][1] if getattr(im, "tile", None) else (0, 0) + im.size
            im.load()
            rgb = im.convert("RGB")
            mask = None
            if fmt in ("gif", "ico"):
                alpha = im.convert("RGBA").getchannel("A").tobytes()
                w = im.size[0]
                mask = bytes(1 if alpha[i] == 255 and (fmt == "ico" or (box[0] <= i % w < box[2] and
                                                                        box[1] <= i // w < box[3]))
                             else 0 for i in range(len(alpha)))
            facts = {"mode": im.mode,
                     "beyond": im.mode == "P" and max(im.getdata()) >= len(im.getpalette() or []) // 3}
            # PIL shows the indices of a table that starts as a grey ramp, or of none, as L.
            if fmt == "gif" and im.mode == "L":
                facts["beyond"] = max(im.getdata()) >= gif_first_table(path)
            if fmt == "bmp" and im.mode == "L" and bmp_form(path)[0] <= 8:
                facts["beyond"] = max(im.getdata()) >= bmp_colors(path)
            if fmt == "gif":
                try:
                    facts["frames"] = im.n_frames
                except Exception:  # a later frame PIL cannot reach: more than one all the same
                    facts["frames"] = 2
            if fmt == "tiff":
                facts["colormap"] = tags.get(320)
                facts["compression"] = tags.get(259, 1)
                facts["photometric"] = tags.get(262)
                facts["bits"] = tags.get(258, (1,))
                facts["unfilled"] = tiff_unfilled_strip(path, tags)
            return rgb.size, rgb.tobytes(), mask, box, facts
    except Exception:  # any refusal: the file is not compared
        return None


def tiff_unfilled_strip(path, tags):
    """Whether a Deflate TIFF's strips hold more rows than the page and the
    first starts with a stored block (see tiff-unfilled-strip)."""
    offsets = tags.get(273) or (0,)
    if tags.get(259) not in (8, 32946) or tags.get(278, 0) <= tags.get(257, 0):
        return False
    with open(path, "rb") as f:
        f.seek(offsets[0])
        head = f.read(3)
    return len(head) == 3 and (head[2] >> 1) & 3 == 0


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


def bmp_info(path):
    """A bitmap's first bytes from its info header on."""
    with open(path, "rb") as f:
        head = f.read(66)
    return head[14:] if head[:2] == b"BM" else head


def bmp_colors(path):
    """The colour table entries of a bitmap of at most 8 bits."""
    info, bits = bmp_info(path), bmp_form(path)[0]
    if len(info) < 36 or int.from_bytes(info[0:4], "little") == 12:
        return 1 << bits
    return int.from_bytes(info[32:36], "little") or 1 << bits


def bmp_zero_masks(path):
    """Whether a 32-bit bit-field bitmap's masks are all 0."""
    info = bmp_info(path)
    return bmp_form(path) in ((32, 3), (32, 6)) and len(info) >= 52 and not any(info[40:52])


def rle_quirk(path, rle4):
    """The known difference of the first thing in an RLE bitmap's stream that PIL reads otherwise, or None."""
    with open(path, "rb") as f:
        d = f.read()
    i = d[14:] if d[:2] == b"BM" else d
    if len(i) < 40:
        return None
    w, bits = int.from_bytes(i[4:8], "little", signed=True), int.from_bytes(i[14:16], "little")
    # The data's offset, else right after the header and its colour table.
    pos = int.from_bytes(d[10:14], "little") if d[:2] == b"BM" else \
        int.from_bytes(i[0:4], "little") + 4 * (int.from_bytes(i[32:36], "little") or 1 << min(bits, 8))
    x = 0
    while pos + 1 < len(d):
        n, v = d[pos], d[pos + 1]
        pos += 2
        if n:
            x = min(x + n, w)
        elif v == 0:
            if x == 0:
                return "bmp-rle-eol"
            x = 0
        elif v == 1:
            return None
        elif v == 2:
            return "bmp-rle-delta"
        elif x + v > w:
            return "bmp-rle-literal"
        elif rle4 and v & 1:
            return "bmp-rle4-odd"
        else:
            count = v // 2 if rle4 else v
            x += v
            pos += count + (count & 1)
    return None


def gif_first_image(data, like_pil):
    """The offset of a GIF's first image as PIL finds it (bytes that begin no
    block skipped one by one) or as we do (up to the next zero byte), or -1."""
    if len(data) < 13:
        return -1
    pos = 13 + (3 * (2 << (data[10] & 7)) if data[10] & 0x80 else 0)
    stray = False
    while pos < len(data):
        b = data[pos]
        if stray:
            stray, pos = b != 0, pos + 1
            continue
        if b == 0x2C:
            return pos
        if b == 0x3B or (b == 0x21 and pos + 2 >= len(data)):
            return -1
        if b != 0x21:
            stray, pos = not like_pil and b != 0, pos + 1
            continue
        pos += 2
        while pos < len(data) and data[pos]:
            pos += 1 + data[pos]
        pos += 1
    return -1


def gif_first_parts(path):
    """A GIF's bytes, and where its first image (as PIL finds it) and that
    image's codes start; -1, -1 when the file ends before its flags."""
    with open(path, "rb") as f:
        data = f.read()
    pos = gif_first_image(data, True)
    if pos < 0 or pos + 9 >= len(data):
        return data, -1, -1
    flags = data[pos + 9]
    return data, pos, pos + 10 + (3 * (2 << (flags & 7)) if flags & 0x80 else 0)


def gif_first_table(path):
    """The entries of a GIF's first image's own colour table, else the global one's, else 0."""
    data, pos, _ = gif_first_parts(path)
    if pos < 0:
        return 0
    if data[pos + 9] & 0x80:
        return 2 << (data[pos + 9] & 7)
    return 2 << (data[10] & 7) if data[10] & 0x80 else 0


def gif_short_codes(path):
    """Whether the codes of a GIF's first image end, without an end code, before its last pixel."""
    data, image, pos = gif_first_parts(path)
    if image < 0:
        return False
    w, h = int.from_bytes(data[image + 5:image + 7], "little"), int.from_bytes(data[image + 7:image + 9], "little")
    if pos >= len(data) or not 2 <= data[pos] <= 11:
        return False
    size, codes = data[pos], bytearray()
    pos += 1
    while pos < len(data) and data[pos]:
        codes += data[pos + 1:pos + 1 + data[pos]]
        pos += 1 + data[pos]
    bits, left, clear = int.from_bytes(codes, "little"), len(codes) * 8, 1 << size
    width, lengths, prev, pixels = size + 1, [1] * clear + [0, 0], None, 0
    while left >= width and pixels < w * h:
        code, bits, left = bits & ((1 << width) - 1), bits >> width, left - width
        if code == clear:
            width, lengths, prev = size + 1, [1] * clear + [0, 0], None
            continue
        if code == clear + 1 or code > len(lengths) or (prev is None and code == len(lengths)):
            return False
        n = lengths[code] if code < len(lengths) else lengths[prev] + 1
        pixels += n
        if prev is not None and len(lengths) < 4096:
            lengths.append(lengths[prev] + 1)
            if len(lengths) == 1 << width and width < 12:
                width += 1
        prev = code
    return pixels < w * h


def gif_code_size(path):
    """The minimum code size of a GIF's first image as PIL finds it, or -1."""
    data, image, pos = gif_first_parts(path)
    return data[pos] if 0 <= image and pos < len(data) else -1


def not_compared(fmt, path, size, box, facts, ours_size):
    """The name of the known difference that keeps this file from the
    comparison, or None."""
    if facts["beyond"]:
        return "beyond-palette"
    if fmt == "bmp" and bmp_form(path)[1] in (1, 2):
        quirk = rle_quirk(path, bmp_form(path)[1] == 2)
        if quirk:
            return quirk
    if fmt == "bmp" and bmp_zero_masks(path):
        return "bmp-zero-masks"
    if fmt == "gif":
        with open(path, "rb") as f:
            data = f.read()
        if gif_first_image(data, True) != gif_first_image(data, False):
            return "gif-stray-bytes"
        if gif_code_size(path) >= 12 or 0 <= gif_code_size(path) < 2:
            return "gif-code-size"
        if gif_short_codes(path):
            return "gif-short-codes"
        head = data[:11]
        if len(head) < 11:
            return None
        screen = (int.from_bytes(head[6:8], "little"), int.from_bytes(head[8:10], "little"))
        if screen != (0, 0) and (box[2] > screen[0] or box[3] > screen[1]):
            return "gif-overhang"
        no_global = not head[10] & 0x80
        if no_global and facts["frames"] > 1 and box[2] - box[0] < size[0] and box[3] - box[1] < size[1]:
            return "gif-grid"
    if fmt == "tiff":
        colormap, bits = facts["colormap"], max(facts["bits"] or (1,))
        if facts["unfilled"]:
            return "tiff-unfilled-strip"
        if facts["photometric"] == 3 and colormap and max(colormap) <= 255:
            return "tiff-palette-8bit"
        if facts["photometric"] in (0, 1) and bits > 8:
            return "tiff-wide-grey"
        if facts["photometric"] in (8, 9, 10) or facts["mode"] == "LAB":
            return "tiff-lab"
        if facts["photometric"] in (6, 32844, 32845) and facts["compression"] != 7:
            return "tiff-rgba-reader"
        if facts["photometric"] == 5 and facts["mode"] != "CMYK":
            return "tiff-rgba-reader"
    if fmt == "pcx" and pcx_stride_differs(path):
        return "pcx-stride"
    if fmt == "ico" and ours_size == size and facts.get("all_masked"):
        return "ico-and-only"
    if fmt == "ico" and not icon_sizes_agree(path):
        return "ico-mask-place"
    return None


def pcx_stride_differs(path):
    """Whether a PCX file of more than one line gives bytes per line other than the width's (made even)."""
    with open(path, "rb") as f:
        head = f.read(68)
    if len(head) < 68:
        return False
    width = int.from_bytes(head[8:10], "little") - int.from_bytes(head[4:6], "little") + 1
    given, stride = int.from_bytes(head[66:68], "little"), (width * head[3] + 7) // 8
    height = int.from_bytes(head[10:12], "little") - int.from_bytes(head[6:8], "little") + 1
    return given not in (stride, stride + stride % 2) and (height > 1 or head[65] > 1)


def tga_narrow(path):
    """Whether a TGA file has 15- or 16-bit pixels or colour map entries."""
    with open(path, "rb") as f:
        head = f.read(18)
    return len(head) == 18 and (head[16] in (15, 16) or (head[1] == 1 and head[7] in (15, 16)))


def compare(fmt, path, a, b):
    """None when the pictures agree, else where they first differ."""
    (w, h, ours_px), ((tw, th), their_px, mask, _, facts) = a, b
    if (w, h) != (tw, th):
        return "size %dx%d, PIL %dx%d" % (w, h, tw, th)
    tolerance = JPEG_TOLERANCE if fmt == "jpeg" or (fmt == "tiff" and facts["compression"] == 7) else 0
    if fmt == "tiff" and facts["photometric"] == 3:
        tolerance = max(tolerance, 1)  # tiff-palette-scale
    if (fmt == "bmp" and bmp_form(path)[0] == 16) or (fmt == "tga" and tga_narrow(path)):
        tolerance = max(tolerance, 1)  # bmp-16bit, tga-16bit
    worst, at = 0, None
    for i, (p, q) in enumerate(zip(ours_px, their_px)):
        if mask is not None and not mask[i // 3]:
            continue
        d = abs(p - q)
        if d > worst:
            worst, at = d, i
    if worst <= tolerance:
        return None
    px = at // 3
    return "largest difference %d at (%d, %d)" % (worst, px % w, px // w)


def main():
    dump, cache = sys.argv[1], sys.argv[2]
    failed = False
    skipped_by = {}
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
                if fmt == "ico" and t[2] is not None and not any(t[2]):
                    t[4]["all_masked"] = True
                why_not = not_compared(fmt, path, t[0], t[3], t[4], accepted[name])
                if why_not:
                    skipped += 1
                    skipped_by[why_not] = skipped_by.get(why_not, 0) + 1
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
    for name, count in sorted(skipped_by.items()):
        print("known difference %-20s %6d files: %s" % (name, count, KNOWN_DIFFERENCES[name]))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
