// The ICO codec against icoutils, ImageMagick and PIL: their icons (bitmap
// entries of every depth, 256 x 256 bitmaps, PNG entries) read in ours
// with the same visible pixels, ours read in theirs, and damaged icons.
#include <gtest/gtest.h>

#include "codec_test_util.h"
#include "image/raster_ico.h"
#include "support/test_support.h"

namespace {

// Source pictures with a transparent corner, written by PIL: NAME.png and,
// for the comparison, NAME.ppm (colours) and NAME.pgm (alpha).
const char kMakeSources[] = R"(
from PIL import Image, ImageDraw
def make(name, size, colors):
    im = Image.new('RGB', (size, size))
    d = ImageDraw.Draw(im)
    for i in range(0, size, 3):
        d.line([(i, 0), (size - 1 - i // 2, size - 1)], fill=((i * 37) % 256, (i * 91) % 256, (255 - i * 13) % 256))
    d.rectangle([size // 4, size // 4, size // 2, size // 2], fill=(250, 250, 20))
    if colors:
        im = im.quantize(colors).convert('RGB')
    a = Image.new('L', (size, size), 255)
    ImageDraw.Draw(a).rectangle([0, 0, size // 3, size // 5], fill=0)
    rgba = im.copy()
    rgba.putalpha(a)
    rgba.save(name + '.png')
    im.save(name + '.ppm')
    a.save(name + '.pgm')
make('c2', 16, 2)
make('c16', 32, 16)
make('c256', 24, 200)
make('rgb', 48, 0)
make('big', 256, 0)
)";

struct IcoVariant {
    const char* name;
    const char* make;  // shell command run in the test folder
    const char* source;
    int frame;
    int bpp;  // our depth after decoding
};

const IcoVariant kTheirs[] = {
    {"b1", "icotool -c -b 1 -o b1.ico c2.png", "c2", 0, 4},  // one more entry for the mask
    {"b4", "icotool -c -b 4 -o b4.ico c16.png", "c16", 0, 4},
    {"b8", "icotool -c -b 8 -o b8.ico c256.png", "c256", 0, 8},
    {"b24", "icotool -c -b 24 -o b24.ico rgb.png", "rgb", 0, 24},
    {"b32", "icotool -c -b 32 -o b32.ico rgb.png", "rgb", 0, 24},
    {"multi", "icotool -c -o multi.ico c16.png rgb.png big.png", "big", 2, 8},
    {"big32", "icotool -c -b 32 -o big32.ico big.png", "big", 0, 24},
    {"raw", "icotool -c -o raw.ico c2.png -r big.png", "big", 1, 24},
    {"im", "convert rgb.png -define icon:auto-resize=48 im.ico", "rgb", 0, 24},
};

// Number of visible source pixels (alpha 255) whose colour differs.
int VisibleDiff(const Rgb& ours, const Rgb& src, const Rgb& alpha, std::string* where) {
    if (ours.w != src.w || ours.h != src.h) {
        *where = "size " + std::to_string(ours.w) + "x" + std::to_string(ours.h);
        return -1;
    }
    int n = 0;
    for (int y = 0; y < src.h; y++)
        for (int x = 0; x < src.w; x++) {
            if (alpha.At(x, y)[0] != 255 || memcmp(ours.At(x, y), src.At(x, y), 3) == 0)
                continue;
            if (!n++)
                *where = std::to_string(x) + "," + std::to_string(y);
        }
    return n;
}

// Whether pixel (x, y from the top) is transparent in our image: its
// index, or in true colour its colour, is the transparent one.
bool Transparent(const CRaster& img, int x, int yTop) {
    int y = img.Height() - 1 - yTop;
    if (!img.IsTransparent())
        return false;
    if (img.GetBpp() < 24)
        return img.GetPixelIndex(x, y) == img.GetTransparentIndex();
    RGBQUAD c = img.GetPixelColor(x, y), t = img.GetTransparentColor();
    return c.rgbRed == t.rgbRed && c.rgbGreen == t.rgbGreen && c.rgbBlue == t.rgbBlue;
}

std::string IconHeader(int count) {
    return Le16(0) + Le16(1) + Le16((uint16_t)count);
}

std::string IconEntry(int w, int h, int bpp, uint32_t size, uint32_t offset) {
    std::string s;
    s += (char)w;
    s += (char)h;
    s += std::string(2, '\0');
    s += Le16(1) + Le16((uint16_t)bpp) + Le32(size) + Le32(offset);
    return s;
}

std::string InfoHeader(int w, int h2, int bpp, uint32_t colors = 0) {
    return Le32(40) + Le32((uint32_t)w) + Le32((uint32_t)h2) + Le16(1) + Le16((uint16_t)bpp) + Le32(0) + Le32(0) +
           Le32(0) + Le32(0) + Le32(colors) + Le32(0);
}

}  // namespace

TEST(IcoPeer, TheirIconsReadWithTheSameVisiblePixels) {
    std::string dir = MakeTestDir("ico_theirs");
    std::string out;
    ASSERT_TRUE(RunPython(dir, kMakeSources, &out)) << out;
    for (const IcoVariant& v : kTheirs) {
        SCOPED_TRACE(v.name);
        ASSERT_EQ(RunPeer(dir, std::string(v.make) + " 2>&1", &out), 0) << out;
        std::string file = PathJoin(dir, std::string(v.name) + ".ico");
        CRaster img(0);
        img.SetCurrentFrame(v.frame);
        ASSERT_TRUE(img.Load(file.c_str(), kFormatIco)) << img.GetLastError();
        EXPECT_EQ(img.GetFormatId(), (uint32_t)kFormatIco);
        EXPECT_EQ(img.GetBpp(), v.bpp);
        Rgb src, alpha;
        ASSERT_TRUE(ReadPnm(PathJoin(dir, std::string(v.source) + ".ppm"), &src));
        ASSERT_TRUE(ReadPnm(PathJoin(dir, std::string(v.source) + ".pgm"), &alpha));
        std::string where;
        EXPECT_EQ(VisibleDiff(RgbOf(img), src, alpha, &where), 0) << where;
        if (std::string(v.name) != "raw") {  // PNG entries keep no alpha
            // The masked corner is transparent; visible pixels are not.
            EXPECT_TRUE(Transparent(img, 0, 0));
            EXPECT_FALSE(Transparent(img, img.Width() - 1, img.Height() - 1));
        }
        CRaster det(0);
        det.SetCurrentFrame(v.frame);
        ASSERT_TRUE(det.Load(file.c_str(), kFormatAny)) << det.GetLastError();
        EXPECT_EQ(det.GetFormatId(), (uint32_t)kFormatIco);
    }
    // The frame count is the entry count; an entry past the end fails.
    std::string multi;
    ASSERT_TRUE(ReadFileBytes(PathJoin(dir, "multi.ico"), &multi));
    CRaster img(0);
    img.SetCurrentFrame(3);
    EXPECT_FALSE(DecodeBytes(multi, kFormatIco, &img));
    EXPECT_EQ(img.GetFrameCount(), 3);
}

TEST(IcoPeer, OurIconsReadInPeers) {
    std::string dir = MakeTestDir("ico_ours");
    std::string out;
    for (int size : {32, 255, 256}) {
        Rgb pic = MakePicture(size, size, 8);
        for (int bpp : {24, 8, 4, 1}) {
            if (size != 32 && bpp != 24 && bpp != 8)
                continue;
            SCOPED_TRACE("size " + std::to_string(size) + " bpp " + std::to_string(bpp));
            CRaster img(0);
            ASSERT_TRUE(ImageOf(pic, &img));
            if (bpp < 24) {
                ASSERT_TRUE(img.DecreaseBpp(bpp, false));
            }
            std::string name = "ours" + std::to_string(size) + "_" + std::to_string(bpp);
            std::string file = PathJoin(dir, name + ".ico");
            ASSERT_TRUE(img.Save(file.c_str(), kFormatIco)) << img.GetLastError();
            Rgb ours = RgbOf(img);
            Rgb theirs;
            ASSERT_TRUE(PeerDecode(dir, "pil", file, &theirs));
            std::string where;
            EXPECT_EQ(CountDiff(ours, theirs, &where), 0) << "pil " << where;
            // icotool lists the entry and extracts it as PNG.
            ASSERT_EQ(RunPeer(dir, "icotool -l " + name + ".ico", &out), 0) << out;
            EXPECT_NE(out.find("--width=" + std::to_string(size)), std::string::npos) << out;
            ASSERT_EQ(RunPeer(dir, "icotool -x -o " + name + ".png " + name + ".ico 2>&1", &out), 0) << out;
            ASSERT_TRUE(PeerDecode(dir, "pil", PathJoin(dir, name + ".png"), &theirs));
            EXPECT_EQ(CountDiff(ours, theirs, &where), 0) << "icotool " << where;
            std::string bytes;
            ASSERT_TRUE(ReadFileBytes(file, &bytes));
            EXPECT_EQ(bytes.compare(22, 4, "\x89PNG") == 0, size > 255) << "PNG entry only above 255";
        }
    }
}

TEST(IcoCodec, TransparencyRoundTrip) {
    // 16 colours, transparent index 3 that a visible pixel's colour shares.
    CRaster img(8, 4, 4, 0);
    img.SetStandardPalette();
    img.SetPaletteColor(3, 200, 10, 10);
    img.SetPaletteColor(5, 200, 10, 10);
    for (int x = 0; x < 8; x++)
        img.SetPixelIndex(x, 0, 5);
    img.SetPixelIndex(1, 2, 3);
    img.SetTransparentIndex(3);
    std::string bytes;
    ASSERT_TRUE(EncodeBytes(&img, kFormatIco, &bytes));
    EXPECT_EQ(img.GetPaletteColor(3).rgbRed, 200) << "the palette is restored";
    // Entry 3 is black in the file; only the one pixel is masked.
    EXPECT_EQ(bytes.substr(22 + 40 + 12, 4), std::string(4, '\0'));
    size_t maskAt = 22 + 40 + 64 + 4 * 4;
    EXPECT_EQ(bytes.size(), maskAt + 4 * 4);
    EXPECT_EQ((BYTE)bytes[maskAt + 2 * 4], 0x40);
    EXPECT_EQ((BYTE)bytes[maskAt], 0) << "index 5 has the same colour but is not masked";
    CRaster back(0);
    ASSERT_TRUE(DecodeBytes(bytes, kFormatIco, &back)) << back.GetLastError();
    EXPECT_TRUE(Transparent(back, 1, 1));
    EXPECT_FALSE(Transparent(back, 0, 3));
    EXPECT_EQ(back.GetPixelColor(0, 0).rgbRed, 200);

    // 24 bits with a transparent colour: masked pixels are black in the file.
    CRaster rgb(4, 2, 24, 0);
    rgb.Clear(0x80);
    rgb.SetPixelColor(2, 1, RGBQUAD{1, 2, 3, 0});
    rgb.SetTransparentColor(RGBQUAD{1, 2, 3, 0});
    rgb.Info().transparentIndex = 0;
    ASSERT_TRUE(EncodeBytes(&rgb, kFormatIco, &bytes));
    size_t pixelsAt = 22 + 40;
    EXPECT_EQ(bytes.substr(pixelsAt + 12 + 6, 3), std::string(3, '\0'));
    EXPECT_EQ((BYTE)bytes[pixelsAt + 24 + 4], 0x20);
    CRaster rgbBack(0);
    ASSERT_TRUE(DecodeBytes(bytes, kFormatIco, &rgbBack)) << rgbBack.GetLastError();
    for (int x = 0; x < 4; x++)
        EXPECT_EQ(Transparent(rgbBack, x, 0), x == 2) << x;

    // 32 bits: the alpha (below half is transparent) wins over the mask;
    // without alpha the mask tells. Two pixels, the first masked.
    for (bool withAlpha : {true, false}) {
        SCOPED_TRACE(withAlpha);
        std::string px =
            std::string("\x10\x20\x30", 3) + (withAlpha ? '\xFF' : '\0') + "\x10\x20\x30" + (withAlpha ? '\x40' : '\0');
        std::string icon =
            IconHeader(1) + IconEntry(2, 1, 32, 0, 22) + InfoHeader(2, 2, 32) + px + std::string("\x80\0\0\0", 4);
        CRaster img32(0);
        ASSERT_TRUE(DecodeBytes(icon, kFormatIco, &img32)) << img32.GetLastError();
        EXPECT_EQ(Transparent(img32, 0, 0), !withAlpha);
        EXPECT_EQ(Transparent(img32, 1, 0), withAlpha);
    }
}

TEST(IcoCodec, DamagedAndUnusualEntries) {
    // A 256 x 256 bitmap entry (directory bytes 0 x 0) is no PNG.
    std::string big = IconHeader(1) + IconEntry(0, 0, 24, 40 + 256 * 256 * 3 + 256 * 32, 22) +
                      InfoHeader(256, 512, 24) + std::string(256 * 256 * 3, '\x30') + std::string(256 * 32, '\0');
    CRaster img(0);
    ASSERT_TRUE(DecodeBytes(big, kFormatIco, &img)) << img.GetLastError();
    EXPECT_EQ(img.Width(), 256);
    EXPECT_EQ(img.GetPixelColor(255, 255).rgbRed, 0x30);

    // A width byte of 0 with a height of 16: the entry's own header counts.
    std::string odd = IconHeader(1) + IconEntry(0, 16, 24, 0, 22) + InfoHeader(16, 32, 24) +
                      std::string(16 * 16 * 3, '\x40') + std::string(16 * 4, '\0');
    ASSERT_TRUE(DecodeBytes(odd, kFormatIco, &img)) << img.GetLastError();
    EXPECT_EQ(img.Width(), 16);
    EXPECT_EQ(img.Height(), 16);

    // 16-bit data is 5-5-5.
    std::string hi = IconHeader(1) + IconEntry(2, 1, 16, 0, 22) + InfoHeader(2, 2, 16) + Le16(0x7C00) + Le16(0x001F) +
                     std::string(4, '\0');
    ASSERT_TRUE(DecodeBytes(hi, kFormatIco, &img)) << img.GetLastError();
    EXPECT_EQ(img.GetPixelColor(0, 0).rgbRed, 0xFF);
    EXPECT_EQ(img.GetPixelColor(1, 0).rgbBlue, 0xFF);
    EXPECT_EQ(img.GetPixelColor(1, 0).rgbRed, 0);

    // A palette of 1000 colours, a damaged PNG entry, an entry past the end,
    // a huge bitmap from a few bytes: failures with a text.
    struct {
        std::string bytes;
        const char* error;
    } cases[] = {
        {IconHeader(1) + IconEntry(2, 2, 8, 0, 22) + InfoHeader(2, 4, 8, 1000) + std::string(4000, '\0'),
         "bad icon entry"},
        {IconHeader(1) + IconEntry(0, 0, 32, 0, 22) + std::string("\x89PNG\r\n\x1A\n", 8) + std::string(40, 'x'),
         nullptr},
        {IconHeader(1) + IconEntry(2, 2, 8, 0, 5000), "truncated icon data"},
        {IconHeader(1) + IconEntry(0, 0, 24, 0, 22) + InfoHeader(30000, 60000, 24) + std::string(100, '\0'),
         "truncated icon data"},
        {IconHeader(1) + IconEntry(2, 2, 7, 0, 22) + InfoHeader(2, 4, 7), "bad icon entry"},
    };
    for (const auto& c : cases) {
        CRaster bad(0);
        EXPECT_FALSE(DecodeBytes(c.bytes, kFormatIco, &bad));
        if (c.error) {
            EXPECT_STREQ(bad.GetLastError(), c.error);
        } else {
            EXPECT_NE(bad.GetLastError()[0], 0);
        }
    }
    // A damaged PNG entry is a failed decode of the codec itself too.
    std::string damagedPng =
        IconHeader(1) + IconEntry(0, 0, 32, 0, 22) + std::string("\x89PNG\r\n\x1A\n", 8) + std::string(40, 'x');
    CRasterMemFile mem((unsigned char*)&damagedPng[0], damagedPng.size());
    CRasterICO ico;
    EXPECT_FALSE(ico.DecodeIco(&mem));
    // Not an icon at all: no text of the codec's own.
    CRaster none(0);
    EXPECT_FALSE(DecodeBytes(Le16(1) + Le16(1) + Le16(1), kFormatIco, &none));
    // Size only.
    CRaster size(0);
    size.SetEscape((uint32_t)-1);
    ASSERT_TRUE(DecodeBytes(odd, kFormatIco, &size));
    EXPECT_EQ(size.Width(), 16);
    EXPECT_FALSE(size.IsValid());
}

namespace {

// A bitmap icon entry of w x h at bpp (1 or 4) bits: palette, pixels from
// index(x, y) (y from the top), AND mask from masked(x, y).
template <class Index, class Masked>
std::string PaletteIcon(int w, int h, int bpp, const std::string& palette, Index index, Masked masked) {
    int rowBytes = (w * bpp + 31) / 32 * 4, maskRow = (w + 31) / 32 * 4;
    std::string pixels, mask;
    for (int y = h - 1; y >= 0; y--) {
        std::string row(rowBytes, '\0'), m(maskRow, '\0');
        for (int x = 0; x < w; x++) {
            int bit = x * bpp;
            row[bit / 8] = (char)(row[bit / 8] | index(x, y) << (8 - bpp - bit % 8));
            if (masked(x, y))
                m[x / 8] = (char)(m[x / 8] | 0x80 >> (x % 8));
        }
        pixels += row;
        mask += m;
    }
    std::string data = InfoHeader(w, 2 * h, bpp) + palette + pixels + mask;
    return IconHeader(1) + IconEntry(w, h, bpp, (uint32_t)data.size(), 22) + data;
}

std::string Quad(BYTE r, BYTE g, BYTE b) {
    return std::string{(char)b, (char)g, (char)r, '\0'};
}

// PIL's reading of an icon: colours and alpha.
bool PilIcon(const std::string& dir, const std::string& file, Rgb* rgb, Rgb* alpha) {
    std::string out;
    std::string script = "from PIL import Image\nim = Image.open('" + file +
                         "').convert('RGBA')\n"
                         "im.convert('RGB').save('pil.ppm')\nim.getchannel('A').convert('RGB').save('pila.ppm')\n";
    return RunPython(dir, script, &out) && ReadPnm(PathJoin(dir, "pil.ppm"), rgb) &&
           ReadPnm(PathJoin(dir, "pila.ppm"), alpha);
}

}  // namespace

// Icons that use every index of their depth and mask some pixels: the
// masked ones must not take a visible colour's index with them. Read as
// PIL reads them: the same visible pixels, and exactly PIL's transparent
// ones transparent.
TEST(IcoPeer, MaskedPixelsNeverHideVisibleOnes) {
    std::string dir = MakeTestDir("ico_masks");
    struct {
        const char* name;
        int bpp, w;
        std::string palette;
        bool keep;  // masked pixels keep their colours (else index 0)
    } cases[] = {
        {"mono.ico", 1, 16, Quad(0, 0, 0) + Quad(255, 255, 255), false},
        {"c16.ico", 4, 16, "", false},
        {"c256.ico", 8, 32, "", false},  // 256 colours: 24 bits
        {"c256keep.ico", 8, 32, "", true},
        {"c256twin.ico", 8, 32, "", false},  // two equal entries: one is freed
    };
    for (int i = 0; i < 16; i++)
        cases[1].palette += Quad((BYTE)(i * 16), (BYTE)(255 - i * 8), (BYTE)(i * 5));
    for (int i = 0; i < 256; i++) {
        cases[2].palette += Quad((BYTE)i, (BYTE)(255 - i), (BYTE)(i * 7));
        cases[4].palette += i == 200 ? Quad(9, 246, 63) : Quad((BYTE)i, (BYTE)(255 - i), (BYTE)(i * 7));
    }
    cases[3].palette = cases[2].palette;
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int n = 1 << c.bpp, w = c.w;
        // Masked pixels hold index 0 (black in the 1-bit icon) as writers
        // leave them; visible pixels use every index, 0 included.
        auto masked = [&](int x, int y) { return y < 3 || (x == 5 && y == 7 && w == 16); };
        auto index = [&](int x, int y) { return masked(x, y) && !c.keep ? 0 : (x + y * w) % n; };
        std::string bytes = PaletteIcon(w, 12, c.bpp, c.palette, index, masked);
        ASSERT_TRUE(WriteFileBytes(PathJoin(dir, c.name), bytes));
        CRaster img(0);
        ASSERT_TRUE(DecodeBytes(bytes, kFormatIco, &img)) << img.GetLastError();
        ASSERT_TRUE(img.IsTransparent());
        // Written again, the icon keeps its visible pixels, black too, and
        // its mask, as PIL reads it.
        std::string again, name = std::string("again_") + c.name;
        ASSERT_TRUE(EncodeBytes(&img, kFormatIco, &again));
        ASSERT_TRUE(WriteFileBytes(PathJoin(dir, name), again));
        Rgb theirs, alpha, back, backAlpha, ours = RgbOf(img);
        ASSERT_TRUE(PilIcon(dir, c.name, &theirs, &alpha));
        ASSERT_TRUE(PilIcon(dir, name, &back, &backAlpha));
        ASSERT_EQ(ours.w, theirs.w);
        ASSERT_EQ(ours.h, theirs.h);
        // Opened again by us, the saved icon has the same transparent pixels.
        CRaster reopened(0);
        ASSERT_TRUE(DecodeBytes(again, kFormatIco, &reopened)) << reopened.GetLastError();
        int wrong = 0, clear = 0, clearAgain = 0;
        for (int y = 0; y < 12; y++)
            for (int x = 0; x < w; x++) {
                bool visible = alpha.At(x, y)[0] == 255;
                wrong += visible == masked(x, y) || (backAlpha.At(x, y)[0] == 255) != visible;
                wrong += Transparent(img, x, y) == visible || Transparent(reopened, x, y) == visible;
                wrong += visible && (memcmp(ours.At(x, y), theirs.At(x, y), 3) != 0 ||
                                     memcmp(back.At(x, y), theirs.At(x, y), 3) != 0);
                clear += masked(x, y);
                clearAgain += Transparent(reopened, x, y);
            }
        EXPECT_EQ(wrong, 0) << "pixels whose colour or transparency differ from PIL's";
        EXPECT_EQ(clearAgain, clear) << "transparent pixels after saving and opening again";
    }
}

// An entry whose colour data ends early: the missing pixels are zero, never
// what the heap held (a 32-bit entry whose colour table pushes its pixels
// past the end, and a 16-bit one).
TEST(IcoCodec, ShortEntriesLeaveTheMissingPixelsZero) {
    for (int bpp : {32, 16}) {
        SCOPED_TRACE(bpp);
        const int w = 32, h = 32;
        int rowBytes = (w * bpp + 31) / 32 * 4;
        // The table of 256 entries (1 KB, skipped for true colour) takes the
        // room of the last 1 KB of pixels; no mask follows.
        int present = h - 1024 / rowBytes;
        std::string data =
            InfoHeader(w, 2 * h, bpp, 256) + std::string(1024, '\0') + std::string((size_t)rowBytes * present, '\x7F');
        std::string bytes = IconHeader(1) + IconEntry(w, h, bpp, (uint32_t)data.size(), 22) + data;
        CRaster img(0);
        if (!DecodeBytes(bytes, kFormatIco, &img))
            continue;  // refusing is as good
        int zero = 0;
        for (int y = 0; y < h; y++) {
            for (int x = 0; x < w; x++) {
                RGBQUAD c = img.GetPixelColor(x, y);
                if (y < present) {
                    EXPECT_NE(c.rgbRed, 0) << x << "," << y;  // the rows that were there
                } else {
                    EXPECT_EQ(c.rgbRed | c.rgbGreen | c.rgbBlue, 0) << x << "," << y;
                    zero++;
                }
            }
        }
        EXPECT_EQ(zero, w * (h - present));
    }
}
