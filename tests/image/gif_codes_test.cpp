// GIF code streams: hand-made streams at the 4,096-code boundary and with
// bad codes, the three encoders on edge pictures, checked by our decoder,
// by a code tracer here and by PIL, and write failures.
#include "image/gif_codes.h"

#include <gtest/gtest.h>

#include <vector>

#include "gif_test_util.h"
#include "image/raster_file.h"
#include "support/test_support.h"

namespace {

// Packs codes LSB first and splits them into sub-blocks.
struct CodePacker {
    std::string bytes;
    uint32_t acc = 0;
    int bits = 0;
    void Put(int code, int width) {
        acc |= (uint32_t)code << bits;
        bits += width;
        while (bits >= 8) {
            bytes += (char)(acc & 0xFF);
            acc >>= 8;
            bits -= 8;
        }
    }
    std::string Blocks(int minSize) {
        if (bits > 0)
            bytes += (char)(acc & 0xFF);
        std::string out(1, (char)minSize);
        for (size_t i = 0; i < bytes.size(); i += 255) {
            size_t n = bytes.size() - i < 255 ? bytes.size() - i : 255;
            out += (char)n;
            out += bytes.substr(i, n);
        }
        return out + std::string(1, '\0');
    }
};

// A GIF of one w x h image with a grey global table of 2^bits entries.
std::string MakeGif(int w, int h, int bits, const std::string& imageData, int flags = 0) {
    std::string g = "GIF89a";
    g += (char)w, g += (char)(w >> 8), g += (char)h, g += (char)(h >> 8);
    g += (char)(0x80 | (bits - 1)), g += '\0', g += '\0';
    for (int i = 0; i < (1 << bits); i++)
        g += std::string(3, (char)(i * 255 / ((1 << bits) - 1)));
    g += ',';
    g += std::string(4, '\0');
    g += (char)w, g += (char)(w >> 8), g += (char)h, g += (char)(h >> 8);
    g += (char)flags;
    return g + imageData + ";";
}

// Codes of a stream as a decoder reads them (widths follow its table).
std::vector<int> TraceCodes(const std::string& blocks) {
    std::string data;
    int minSize = (unsigned char)blocks[0];
    for (size_t p = 1; p < blocks.size() && blocks[p];) {
        size_t n = (unsigned char)blocks[p];
        data += blocks.substr(p + 1, n);
        p += 1 + n;
    }
    std::vector<int> codes;
    int clear = 1 << minSize, width = minSize + 1, next = clear + 2;
    bool first = true;
    uint32_t acc = 0;
    int bits = 0;
    size_t pos = 0;
    for (;;) {
        while (bits < width && pos < data.size()) {
            acc |= (uint32_t)(unsigned char)data[pos++] << bits;
            bits += 8;
        }
        if (bits < width)
            break;
        int code = (int)(acc & ((1u << width) - 1));
        acc >>= width;
        bits -= width;
        codes.push_back(code);
        if (code == clear + 1)
            break;
        if (code == clear) {
            width = minSize + 1;
            next = clear + 2;
            first = true;
            continue;
        }
        if (!first && next < 4096) {
            next++;
            if (next == (1 << width) && width < 12)
                width++;
        }
        first = false;
    }
    return codes;
}

// Image data of an encoded GIF (from the code size byte to the terminator).
std::string ImageData(const std::string& gif) {
    size_t p = 13 + (((unsigned char)gif[10] & 0x80) ? 3 * (2 << (gif[10] & 7)) : 0);
    while (gif[p] == '!') {
        p += 2;
        while (gif[p])
            p += 1 + (unsigned char)gif[p];
        p++;
    }
    int flags = (unsigned char)gif[p + 9];
    p += 10 + ((flags & 0x80) ? 3 * (2 << (flags & 7)) : 0);
    size_t start = p++;
    while (gif[p])
        p += 1 + (unsigned char)gif[p];
    return gif.substr(start, p + 1 - start);
}

struct Collect {
    std::vector<int> px;
};

int CollectRow(void* ctx, BYTE* line, int n) {
    for (int i = 0; i < n; i++)
        ((Collect*)ctx)->px.push_back(line[i]);
    return 0;
}

TEST(GifCodes, FullTableKeepsTwelveBitCodesUntilClear) {
    std::string dir = MakeTestDir("gif_codes_full");
    // Minimum code size 2: literals until the table is full (4,090 entries
    // from 4,091 codes), ten more 12-bit literals, a 12-bit clear, three
    // 3-bit literals: 4,104 pixels = 72 x 57.
    CodePacker p;
    std::vector<int> expect;
    int width = 3, next = 6;
    p.Put(4, width);
    for (int i = 0; i < 4101; i++) {
        int v = (i * 7 + i / 13) % 4;
        p.Put(v, width);
        expect.push_back(v);
        if (i > 0 && next < 4096) {
            next++;
            if (next == (1 << width) && width < 12)
                width++;
        }
    }
    EXPECT_EQ(12, width);
    p.Put(4, 12);
    for (int v : {3, 1, 2}) {
        p.Put(v, 3);
        expect.push_back(v);
    }
    p.Put(5, 3);
    std::string gif = MakeGif(72, 57, 2, p.Blocks(2));
    CRasterGIF img;
    ASSERT_TRUE(GifDecodeBytes(gif, &img)) << img.GetLastError();
    ASSERT_EQ(72, img.Width());
    int diff = 0;
    for (int i = 0; i < 72 * 57; i++)
        diff += img.GetPixelIndex(i % 72, 56 - i / 72) != expect[i];
    EXPECT_EQ(0, diff);
    std::string file = PathJoin(dir, "full.gif");
    ASSERT_TRUE(WriteFileBytes(file, gif));
    Rgb theirs;
    ASSERT_TRUE(PeerDecode(dir, "pil", file, &theirs));
    EXPECT_EQ(0, CountDiff(RgbOf(img), theirs));

    // Our encoders on noise: the LZW table fills many times over (a clear
    // comes when the next free code passes 4,095 and the width drops back);
    // plain codes clear as the decoder's table fills.
    for (int bpp : {1, 8}) {
        CRaster noise(256, 200, bpp);
        noise.SetStandardPalette();
        uint32_t s = 99;
        for (int y = 0; y < 200; y++)
            for (int x = 0; x < 256; x++) {
                s = s * 1103515245 + 12345;
                noise.SetPixelIndex(x, y, (BYTE)(s >> 16));
            }
        for (uint32_t option : {0u, 1u, 2u}) {
            SCOPED_TRACE("bpp " + std::to_string(bpp) + " option " + std::to_string(option));
            std::string bytes;
            ASSERT_TRUE(GifEncodeBytes(&noise, &bytes, option));
            std::vector<int> codes = TraceCodes(ImageData(bytes));
            int clear = bpp == 8 ? 256 : 4, clears = 0, maxCode = 0;
            for (size_t i = 1; i < codes.size(); i++) {
                clears += codes[i] == clear;
                maxCode = codes[i] > maxCode ? codes[i] : maxCode;
            }
            EXPECT_GE(clears, 1);  // besides the leading clear
            EXPECT_EQ(clear + 1, codes.back());
            if (option == 0) {
                EXPECT_GT(maxCode, 2048);  // 12-bit codes were used
            }
            std::string f = PathJoin(dir, "noise" + std::to_string(bpp) + std::to_string(option) + ".gif");
            ASSERT_TRUE(WriteFileBytes(f, bytes));
            ASSERT_TRUE(PeerDecode(dir, "pil", f, &theirs));
            EXPECT_EQ(0, CountDiff(RgbOf(noise), theirs));
            CRasterGIF back;
            ASSERT_TRUE(GifDecodeBytes(bytes, &back));
            EXPECT_EQ(0, CountDiff(RgbOf(noise), RgbOf(back)));
        }
    }
}

TEST(GifCodes, DecoderCountsBadCodesAndRefusesBadSizes) {
    GifCodes* c = GifCodesNew();
    ASSERT_NE(nullptr, c);
    // Size 3: clear, 1, 2 (slot 10 = "1 2"), then 13: two above the next
    // slot 11; it is read as the old code and its first byte.
    CodePacker p;
    for (int code : {8, 1, 2, 13, 9})
        p.Put(code, 4);
    std::string data = p.Blocks(3);
    CRasterMemFile mem((unsigned char*)&data[0], data.size());
    GifCodesStartRead(c);
    Collect got;
    int bad = 0;
    EXPECT_EQ(0, GifDecodeLzw(c, &mem, 100, 0, CollectRow, &got, &bad));
    EXPECT_EQ(1, bad);
    EXPECT_EQ((std::vector<int>{1, 2, 2, 2}), got.px);

    // Code sizes 1 and 12 (13-bit codes, past the format's limit) give no
    // pixels; a line width of 0 is refused.
    for (int size : {1, 12}) {
        std::string d = std::string(1, (char)size) + "\x02\x44\x01" + std::string(1, '\0');
        CRasterMemFile m((unsigned char*)&d[0], d.size());
        GifCodesStartRead(c);
        Collect none;
        EXPECT_EQ(kGifBadCodeSize, GifDecodeLzw(c, &m, 10, 0, CollectRow, &none, &bad));
        EXPECT_TRUE(none.px.empty());
    }
    CRasterMemFile m2((unsigned char*)&data[0], data.size());
    EXPECT_EQ(kGifBadLineWidth, GifDecodeLzw(c, &m2, 0, 0, CollectRow, &got, &bad));
    // A stream that starts without a clear code is read as literals.
    CodePacker q;
    for (int v : {3, 3, 6})
        q.Put(v, 3);
    q.Put(1, 4);  // the table reached 8 entries
    q.Put(5, 4);
    std::string d2 = q.Blocks(2);
    CRasterMemFile m3((unsigned char*)&d2[0], d2.size());
    GifCodesStartRead(c);
    Collect lit;
    EXPECT_EQ(0, GifDecodeLzw(c, &m3, 100, 0, CollectRow, &lit, &bad));
    EXPECT_EQ((std::vector<int>{3, 3, 3, 3, 1}), lit.px);
    GifCodesFree(c);
}

TEST(GifCodes, EncodersOnEdgePictures) {
    std::string dir = MakeTestDir("gif_codes_edge");
    // 1 x 1 at each depth with each encoder reads back with the same index.
    for (int bpp : {1, 4, 8}) {
        for (uint32_t option : {0u, 1u, 2u, 7u}) {
            CRaster one(1, 1, bpp);
            one.SetStandardPalette();
            BYTE index = (BYTE)((1 << bpp) - 1 - (bpp == 8 ? 55 : 0));
            one.SetPixelIndex(0, 0, index);
            std::string bytes;
            ASSERT_TRUE(GifEncodeBytes(&one, &bytes, option));
            CRasterGIF back;
            ASSERT_TRUE(GifDecodeBytes(bytes, &back)) << back.GetLastError();
            EXPECT_EQ(index, back.GetPixelIndex(0, 0)) << bpp << " " << option;
            EXPECT_EQ(bpp < 2 ? 2 : bpp, (unsigned char)ImageData(bytes)[0]);
        }
    }
    // A run of 1,000 equal pixels: after the clear, run codes 258, 259, ...
    // each one longer run than the last, then the rest of 10 pixels.
    CRaster run(1000, 1, 8);
    run.SetStandardPalette();
    for (int x = 0; x < 1000; x++)
        run.SetPixelIndex(x, 0, 7);
    std::string bytes;
    ASSERT_TRUE(GifEncodeBytes(&run, &bytes, 2));
    std::vector<int> codes = TraceCodes(ImageData(bytes));
    ASSERT_GE(codes.size(), 46u);
    EXPECT_EQ(256, codes[0]);
    EXPECT_EQ(7, codes[1]);
    for (int j = 0; j < 43; j++)
        EXPECT_EQ(258 + j, codes[2 + j]);
    EXPECT_EQ(266, codes[45]);
    EXPECT_EQ(257, codes.back());
    std::string f = PathJoin(dir, "run.gif");
    ASSERT_TRUE(WriteFileBytes(f, bytes));
    Rgb theirs;
    ASSERT_TRUE(PeerDecode(dir, "im", f, &theirs));
    EXPECT_EQ(0, CountDiff(RgbOf(run), theirs));
    // Mixed runs of every length 1..300 also stay readable.
    CRaster mixed(300, 151, 4);
    mixed.SetStandardPalette();
    for (int y = 0; y < 151; y++) {
        int x = 0, len = 1 + y;
        for (int v = 0; x < 300; v = (v + 5) % 16)
            for (int i = 0; i < len && x < 300; i++)
                mixed.SetPixelIndex(x++, y, (BYTE)v);
    }
    ASSERT_TRUE(GifEncodeBytes(&mixed, &bytes, 2));
    ASSERT_TRUE(WriteFileBytes(f, bytes));
    ASSERT_TRUE(PeerDecode(dir, "pil", f, &theirs));
    EXPECT_EQ(0, CountDiff(RgbOf(mixed), theirs));
}

// A stream that accepts a number of bytes and then fails every write.
class ShortFile : public CRasterMemFile {
  public:
    explicit ShortFile(size_t limit) : limit_(limit) { Open(); }
    size_t Write(const void* b, size_t size, size_t count) override {
        if ((size_t)Tell() + size * count > limit_)
            return 0;
        return CRasterMemFile::Write(b, size, count);
    }
    bool PutC(unsigned char c) override { return Write(&c, 1, 1) == 1; }

  private:
    size_t limit_;
};

TEST(GifCodes, WriteErrorsAreReported) {
    Rgb pic = MakePicture(60, 40, 2);
    CRaster pal, rgb;
    ASSERT_TRUE(Reduced(pic, 8, &pal));
    ASSERT_TRUE(ImageOf(pic, &rgb));
    for (CRaster* img : {&pal, &rgb}) {
        for (uint32_t option : {0u, 1u, 2u}) {
            std::string full;
            ASSERT_TRUE(GifEncodeBytes(img, &full, option));
            for (size_t limit : {(size_t)5, full.size() / 2, full.size() - 1}) {
                CRasterGIF gif;
                gif.MakeAlias(img);
                ShortFile f(limit);
                EXPECT_FALSE(gif.EncodeGif(&f)) << img->GetBpp() << " " << option << " " << limit;
                EXPECT_STREQ("Write Error in GIF file", gif.GetLastError());
            }
        }
    }
    // The animation writer too, and through the dispatch.
    CRaster* frames[2] = {&pal, &pal};
    CRasterGIF anim;
    ShortFile f(100);
    EXPECT_FALSE(anim.EncodeFrames(&f, frames, 2, true, false));
    EXPECT_STREQ("Write Error in GIF file", anim.GetLastError());
    ShortFile g(50);
    EXPECT_FALSE(pal.Encode(&g, kFormatGif));
    EXPECT_STREQ("Write Error in GIF file", pal.GetLastError());
}

}  // namespace
