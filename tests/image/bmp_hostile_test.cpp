// Hostile bitmaps: truncated, oversized, bogus counts and runs, every
// header size, odd masks, random damage. Each must fail cleanly (or decode
// into a sound image) under the sanitizers.
#include <gtest/gtest.h>
#include <string.h>

#include "image/raster.h"
#include "image/raster_file.h"
#include "support/test_support.h"

namespace {

void Put32(std::string* s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++)
        (*s)[at + i] = (char)(v >> (8 * i));
}

void Put16(std::string* s, size_t at, uint16_t v) {
    (*s)[at] = (char)v;
    (*s)[at + 1] = (char)(v >> 8);
}

struct BmpLayout {
    uint32_t headerSize = 40;
    int32_t width = 5, height = 3;
    uint16_t bpp = 8;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    uint32_t masks[3] = {0, 0, 0};
    bool fileHeader = true;
    uint32_t paletteEntries = 0;  // entries actually present
    std::string data;
};

// A bitmap file as the fields say (nothing is checked).
std::string Build(const BmpLayout& s) {
    std::string info(s.headerSize < 40 ? 40 : s.headerSize, '\0');
    Put32(&info, 0, s.headerSize);
    Put32(&info, 4, (uint32_t)s.width);
    Put32(&info, 8, (uint32_t)s.height);
    Put16(&info, 12, 1);
    Put16(&info, 14, s.bpp);
    Put32(&info, 16, s.compression);
    Put32(&info, 20, (uint32_t)s.data.size());
    Put32(&info, 24, 2835);
    Put32(&info, 28, 2835);
    Put32(&info, 32, s.colorsUsed);
    std::string masks;
    if (s.compression == 3) {
        masks.assign(12, '\0');
        for (int i = 0; i < 3; i++)
            Put32(&masks, 4 * i, s.masks[i]);
        if (s.headerSize >= 52)
            info.replace(40, 12, masks), masks.clear();
    }
    std::string pal((size_t)s.paletteEntries * 4, '\0');
    for (size_t i = 0; i < pal.size(); i++)
        pal[i] = (char)(i * 37);
    std::string body = info + masks + pal;
    if (!s.fileHeader)
        return body + s.data;
    std::string fh(14, '\0');
    fh[0] = 'B';
    fh[1] = 'M';
    Put32(&fh, 2, (uint32_t)(14 + body.size() + s.data.size()));
    Put32(&fh, 10, (uint32_t)(14 + body.size()));
    return fh + body + s.data;
}

// Decodes bytes as BMP and by detection; true when either succeeded.
// A success must give a sound image.
bool Try(const std::string& bytes, std::string* error = nullptr) {
    bool any = false;
    for (uint32_t id : {(uint32_t)kFormatBmp, (uint32_t)kFormatAny}) {
        std::string copy = bytes;
        CRasterMemFile m((unsigned char*)copy.data(), copy.size());
        CRaster img(0);
        bool ok = img.Decode(&m, id);
        if (ok) {
            EXPECT_TRUE(img.IsValid());
            EXPECT_GT(img.Width(), 0);
            // A sound block has the size it claims (the sanitizer checks the ends).
            EXPECT_GT(img.GetImageSize(), 0u);
            if (!img.GetImageSize())
                return false;
            volatile BYTE first = img.GetPixels()[0];
            volatile BYTE last = img.GetPixels()[img.GetImageSize() - 1];
            (void)first;
            (void)last;
            EXPECT_EQ((uint64_t)img.GetRowStride() * img.Height(), img.GetImageSize());
        } else {
            EXPECT_NE(img.GetLastError()[0], 0) << "a failure always says why";
            if (error && id == kFormatBmp)
                *error = img.GetLastError();
        }
        any = any || ok;
    }
    return any;
}

std::string Rle8Overrun() {
    std::string d;
    for (int i = 0; i < 40; i++)
        d += std::string("\xFF\x07", 2);                         // runs far past the block
    d += std::string("\x00\x03\x01\x02\x03\x00", 6);             // odd literal with pad
    d += std::string("\x00\x02\xFF\xFF", 4);                     // delta off the image
    d += std::string("\x00\xFF", 2) + std::string(256, '\x09');  // 255-byte literal
    for (int i = 0; i < 10; i++)
        d += std::string("\x00\x00", 2);  // end of line past the top
    d += std::string("\x05\x01\x00\x01", 4);
    return d;
}

}  // namespace

TEST(BmpHostile, TruncatedFilesFail) {
    std::vector<std::string> files;
    for (int bpp : {1, 4, 8, 24}) {
        CRaster img(13, 7, bpp, 0);
        img.SetStandardPalette();
        for (uint32_t i = 0; i < img.GetImageSize(); i++)
            img.GetPixels()[i] = (BYTE)(i * 7);
        CRasterMemFile m;
        ASSERT_TRUE(m.Open());
        ASSERT_TRUE(img.Encode(&m, kFormatBmp));
        files.emplace_back((const char*)m.GetBuffer(), (size_t)m.Size());
    }
    BmpLayout rle;
    rle.bpp = 8;
    rle.compression = 1;
    rle.paletteEntries = 256;
    rle.data = std::string("\x03\x05\x00\x03\x01\x02\x03\x00\x00\x00\x02\x07\x00\x01", 14);
    files.push_back(Build(rle));
    rle.bpp = 4;
    rle.compression = 2;
    rle.paletteEntries = 16;
    rle.data = std::string("\x05\x12\x00\x05\x12\x34\x50\x00\x00\x02\x03\x01\x02\x34\x00\x01", 16);
    files.push_back(Build(rle));
    for (uint16_t bpp : {16, 32}) {
        BmpLayout bf;
        bf.bpp = bpp;
        bf.compression = 3;
        bf.masks[0] = bpp == 16 ? 0xF800 : 0xFF0000;
        bf.masks[1] = bpp == 16 ? 0x07E0 : 0xFF00;
        bf.masks[2] = bpp == 16 ? 0x001F : 0xFF;
        bf.data = std::string(bpp == 16 ? 3 * 12 : 3 * 20, '\x5A');
        files.push_back(Build(bf));
        bf.headerSize = 124;
        files.push_back(Build(bf));
    }
    for (size_t f = 0; f < files.size(); f++) {
        SCOPED_TRACE("file " + std::to_string(f));
        std::string err;
        ASSERT_TRUE(Try(files[f], &err)) << err;
        for (size_t n = 0; n < files[f].size(); n++)
            EXPECT_FALSE(Try(files[f].substr(0, n), &err)) << "cut at " << n;
    }
}

TEST(BmpHostile, OversizedDimensions) {
    const int32_t dims[][2] = {{0x7FFFFFFF, 1}, {1, 0x7FFFFFFF}, {0x10000, 0x10000}, {-5, 3}, {5, INT32_MIN},
                               {0, 3},          {5, 0},          {0x40000000, 2}};
    for (auto& d : dims)
        for (uint16_t bpp : {1, 8, 16, 24, 32}) {
            BmpLayout s;
            s.width = d[0];
            s.height = d[1];
            s.bpp = bpp;
            s.paletteEntries = bpp <= 8 ? 1u << bpp : 0;
            s.data = std::string(64, '\x11');
            std::string err;
            EXPECT_FALSE(Try(Build(s), &err)) << d[0] << "x" << d[1] << " bpp " << bpp;
            if (d[0] <= 0 || d[1] <= 0)
                continue;
            // A picture beyond the memory limit says so, whatever data
            // follows; one within it is short of data. (The size of 16- and
            // 32-bit pictures is that of the 24-bit image they become.)
            uint64_t stride = (((uint64_t)d[0] * (bpp <= 8 ? bpp : 24) + 31) / 32) * 4;
            bool beyond = stride * (uint64_t)d[1] > kRasterMaxMemory;
            EXPECT_EQ(err, beyond ? "RASTER_MAX_MEMORY exceeded" : "truncated BMP data")
                << d[0] << "x" << d[1] << " bpp " << bpp;
        }
    // A huge RLE picture with a short stream: the limit stops it early.
    BmpLayout s;
    s.width = 40000;
    s.height = 40000;
    s.compression = 1;
    s.paletteEntries = 256;
    s.data = std::string("\x00\x01", 2);
    std::string err;
    EXPECT_FALSE(Try(Build(s), &err));
    EXPECT_EQ(err, "RASTER_MAX_MEMORY exceeded");
    // Within the limit, a stream that cannot cover the picture is refused
    // before it is made.
    s.width = 16384;
    s.height = 8192;
    EXPECT_FALSE(Try(Build(s), &err));
    EXPECT_EQ(err, "BMP data too short for the picture");
}

TEST(BmpHostile, BogusPaletteCountsAndRuns) {
    for (uint32_t used : {0xFFFFFFFFu, 1000u, 300u, 17u, 3u, 1u}) {
        for (bool header : {true, false}) {
            for (uint16_t bpp : {1, 4, 8, 24}) {
                BmpLayout s;
                s.bpp = bpp;
                s.colorsUsed = used;
                s.fileHeader = header;
                s.paletteEntries = used > 300 ? 300 : used;
                s.data = std::string(200, '\x03');
                Try(Build(s));
            }
        }
    }
    // RLE8 and RLE4 streams that overrun every bound; a 1-bit image with
    // RLE8 and an 8-bit image with RLE4.
    for (uint16_t bpp : {1, 4, 8}) {
        for (uint32_t comp : {1u, 2u}) {
            BmpLayout s;
            s.width = 7;
            s.height = 3;
            s.bpp = bpp;
            s.compression = comp;
            s.paletteEntries = 1u << bpp;
            s.data = Rle8Overrun();
            EXPECT_TRUE(Try(Build(s))) << bpp << " " << comp;
        }
    }
    // A run past the row's end stops there: the next row keeps its values.
    BmpLayout s;
    s.width = 4;
    s.height = 2;
    s.compression = 1;
    s.paletteEntries = 256;
    s.data = std::string("\xFF\x07\x00\x01", 4);
    std::string bytes = Build(s);
    CRasterMemFile m((unsigned char*)bytes.data(), bytes.size());
    CRaster img(0);
    ASSERT_TRUE(img.Decode(&m, kFormatBmp));
    EXPECT_EQ(img.GetPixelIndex(0, 0), 7);
    EXPECT_EQ(img.GetPixelIndex(3, 0), 7);
    EXPECT_EQ(img.GetPixelIndex(0, 1), 0);
    // An RLE4 delta of 3 pixels moves by 3 pixels.
    BmpLayout r4;
    r4.width = 8;
    r4.height = 1;
    r4.bpp = 4;
    r4.compression = 2;
    r4.paletteEntries = 16;
    r4.data = std::string("\x00\x02\x03\x00\x02\x9A\x00\x01", 8);
    bytes = Build(r4);
    CRasterMemFile m4((unsigned char*)bytes.data(), bytes.size());
    CRaster four(0);
    ASSERT_TRUE(four.Decode(&m4, kFormatBmp));
    EXPECT_EQ(four.GetPixelIndex(2, 0), 0);
    EXPECT_EQ(four.GetPixelIndex(3, 0), 9);
    EXPECT_EQ(four.GetPixelIndex(4, 0), 10);
    EXPECT_EQ(four.GetPixelIndex(5, 0), 0);
}

TEST(BmpHostile, EveryHeaderSize) {
    std::vector<uint32_t> sizes;
    for (uint32_t n = 0; n <= 130; n++)
        sizes.push_back(n);
    for (uint32_t n : {200u, 4095u, 4096u, 4097u, 65536u, 0xFFFFFFFFu})
        sizes.push_back(n);
    for (uint32_t hs : sizes) {
        for (uint16_t bpp : {4, 24}) {
            BmpLayout s;
            s.headerSize = hs > 4096 ? 40 : hs;
            s.bpp = bpp;
            s.paletteEntries = bpp == 4 ? 16 : 0;
            s.data = std::string(bpp == 4 ? 12 : 48, '\x21');
            std::string bytes = Build(s);
            if (hs > 4096)
                Put32(&bytes, 14, hs);  // a size the file cannot hold
            std::string err;
            bool ok = Try(bytes, &err);
            bool known = hs == 40 || hs == 52 || hs == 56 || hs == 64 || hs == 108 || hs == 124;
            if (known) {
                EXPECT_TRUE(ok) << hs << " " << err;
            }
            if (hs < 40 && hs != 12) {
                EXPECT_EQ(err, "Error reading BMP info") << hs;
            }
        }
    }
    // A V4 header with a palette is an ordinary V4 file.
    BmpLayout v4;
    v4.headerSize = 108;
    v4.colorsUsed = 16;
    v4.bpp = 4;
    v4.paletteEntries = 16;
    v4.data = std::string(12, '\x12');
    EXPECT_TRUE(Try(Build(v4)));
}

TEST(BmpHostile, OddMasksAndDepths) {
    const uint32_t masks[][3] = {{0, 0, 0},
                                 {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},
                                 {0xF0F0, 0x0F0F, 0x8001},
                                 {0x80000000, 0x1, 0x7FFFFFFE},
                                 {0xFFFF0000, 0xFFFF, 0}};
    for (auto& mk : masks)
        for (uint16_t bpp : {16, 32})
            for (uint32_t hs : {40u, 56u, 124u}) {
                BmpLayout s;
                s.headerSize = hs;
                s.bpp = bpp;
                s.compression = 3;
                memcpy(s.masks, mk, sizeof(s.masks));
                s.data = std::string(bpp == 16 ? 3 * 12 : 3 * 20, '\xA5');
                EXPECT_TRUE(Try(Build(s))) << bpp << " " << hs;
            }
    for (uint16_t bpp : {0, 2, 3, 7, 15, 48, 64}) {
        BmpLayout s;
        s.bpp = bpp;
        s.data = std::string(200, '\0');
        std::string err;
        EXPECT_FALSE(Try(Build(s), &err)) << bpp;
        EXPECT_EQ(err, "unsupported bit depth") << bpp;
    }
    BmpLayout c;
    c.bpp = 8;
    c.compression = 4;  // JPEG inside
    c.paletteEntries = 256;
    c.data = std::string(200, '\0');
    std::string err;
    EXPECT_FALSE(Try(Build(c), &err));
    EXPECT_EQ(err, "compression type not supported");
    c.bpp = 24;
    c.compression = 1;
    EXPECT_FALSE(Try(Build(c), &err));
    EXPECT_EQ(err, "unknown compression");
}

TEST(BmpHostile, RandomDamage) {
    std::vector<std::string> seeds;
    for (int bpp : {1, 4, 8, 24}) {
        CRaster img(9, 5, bpp, 0);
        img.SetStandardPalette();
        CRasterMemFile m;
        ASSERT_TRUE(m.Open());
        ASSERT_TRUE(img.Encode(&m, kFormatBmp));
        seeds.emplace_back((const char*)m.GetBuffer(), (size_t)m.Size());
    }
    BmpLayout rle;
    rle.compression = 1;
    rle.paletteEntries = 256;
    rle.data = Rle8Overrun();
    seeds.push_back(Build(rle));
    for (size_t f = 0; f < seeds.size(); f++)
        for (unsigned round = 0; round < 400; round++) {
            std::string d = seeds[f];
            std::string noise = RandomBytes(8, round * 31 + (unsigned)f);
            for (int k = 0; k < 4; k++) {
                // Damage mostly the headers, where the counts are.
                size_t at = (unsigned char)noise[2 * k] % (d.size() < 80 ? d.size() : 80);
                d[at] = noise[2 * k + 1];
            }
            Try(d);
        }
}
