// Large PNG files, whose image data is deflated in parallel bands: every
// colour type and level passes pngcheck and reads pixel-exact in PIL,
// ImageMagick and ours; a refused write fails the encode.
#include <gtest/gtest.h>

#include "image/png_deflate.h"
#include "image/png_filter.h"
#include "image/raster_file.h"
#include "image/raster_png.h"
#include "image_test_util.h"
#include "support/test_support.h"

namespace {

bool EncodeToFile(CRaster* src, const std::string& path) {
    CRasterPNG png;
    png.MakeAlias(src);
    CRasterMemFile mem;
    mem.Open();
    return png.EncodePng(&mem) && WriteFileBytes(path, std::string((char*)mem.GetBuffer(), (size_t)mem.Size()));
}

// Refuses every write after the first `allowed` bytes.
class ShortFile : public CRasterMemFile {
  public:
    explicit ShortFile(size_t allowed) : allowed_(allowed) { Open(); }
    size_t Write(const void* buffer, size_t size, size_t count) override {
        if ((size_t)Size() + size * count > allowed_)
            return 0;
        return CRasterMemFile::Write(buffer, size, count);
    }

  private:
    size_t allowed_;
};

}  // namespace

TEST(PngBands, LargeFilesReadPixelExactInPeers) {
    std::string dir = MakeTestDir("png_bands");
    struct Case {
        const char* name;
        int w, h, bpp;
        uint32_t option;  // level bits: 8 default, 2 level 0, 4 level 1, 6 level 9
    } cases[] = {{"rgb", 1100, 700, 24, 8},  {"rgb0", 1100, 700, 24, 2}, {"rgb1", 1100, 700, 24, 4},
                 {"rgb9", 1100, 700, 24, 6}, {"pal8", 1100, 700, 8, 8},  {"grey8", 1100, 700, 8, 8},
                 {"pal4", 1500, 900, 4, 8},  {"mono", 4100, 1100, 1, 8}, {"odd", 1001, 733, 24, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rgb pic = MakePicture(c.w, c.h, 11);
        CRaster img;
        ASSERT_TRUE(ImageOf(pic, &img));
        if (std::string(c.name) == "grey8") {
            ASSERT_TRUE(img.GrayScale());
        } else if (c.bpp < 24) {
            ASSERT_TRUE(img.DecreaseBpp(c.bpp, false));
        }
        if (c.bpp == 8 && c.name[0] == 'p') {
            ASSERT_TRUE(img.SetTransparentIndex(7));  // moved to entry 0 in the file
        }
        img.SetFormatOption(c.option, kFormatPng);
        std::string file = PathJoin(dir, std::string(c.name) + ".png");
        ASSERT_TRUE(EncodeToFile(&img, file));
        std::string out;
        EXPECT_EQ(0, RunPeer(dir, "pngcheck -v " + Lx(file), &out)) << out;
        EXPECT_NE(std::string::npos, out.find("IEND")) << out;
        Rgb expect = RgbOf(img), theirs;
        std::string where;
        ASSERT_TRUE(PeerDecode(dir, "pil", file, &theirs));
        EXPECT_EQ(0, CountDiff(expect, theirs, &where)) << where;
        ASSERT_TRUE(PeerDecode(dir, "im", file, &theirs));
        EXPECT_EQ(0, CountDiff(expect, theirs, &where)) << where;
        std::string bytes;
        ASSERT_TRUE(ReadFileBytes(file, &bytes));
        CRasterMemFile mem((unsigned char*)&bytes[0], bytes.size());
        CRasterPNG back;
        ASSERT_TRUE(back.DecodePng(&mem)) << back.GetLastError();
        EXPECT_EQ(c.bpp, back.GetBpp());
        EXPECT_EQ(0, CountDiff(expect, RgbOf(back), &where)) << where;
    }
    // The levels keep their order of size on the same pixels.
    std::string l0, l1, l9;
    ASSERT_TRUE(ReadFileBytes(PathJoin(dir, "rgb0.png"), &l0));
    ASSERT_TRUE(ReadFileBytes(PathJoin(dir, "rgb1.png"), &l1));
    ASSERT_TRUE(ReadFileBytes(PathJoin(dir, "rgb9.png"), &l9));
    EXPECT_GT(l0.size(), (size_t)1100 * 700 * 3);
    EXPECT_GT(l1.size(), l9.size());
}

TEST(PngBands, RefusedWriteFailsTheEncode) {
    Rgb pic = MakePicture(1000, 600, 5);
    CRaster img;
    ASSERT_TRUE(ImageOf(pic, &img));
    for (size_t allowed : {(size_t)20, (size_t)200, (size_t)300000}) {
        SCOPED_TRACE(allowed);
        CRasterPNG png;
        png.MakeAlias(&img);
        ShortFile f(allowed);
        EXPECT_FALSE(png.EncodePng(&f));
    }
}

// Each row's filter is the one of least signed sum, and undoing it gives
// the row back.
TEST(PngBands, RowFiltersRoundTrip) {
    const size_t n = 30;
    unsigned char prev[n], row[n], out[n + 1];
    for (size_t i = 0; i < n; i++) {
        prev[i] = (unsigned char)(i * 17);
        row[i] = (unsigned char)(i * 17 + 3);  // Up leaves a flat 3
    }
    FilterPngRow(row, prev, n, 3, out);
    EXPECT_EQ(2, out[0]);
    for (size_t i = 0; i < n; i++)
        EXPECT_EQ(3, out[1 + i]);
    FilterPngRow(row, nullptr, n, 3, out);  // no row above: Sub is cheapest on a ramp
    EXPECT_EQ(1, out[0]);
    for (size_t i = 0; i < n; i++)
        EXPECT_EQ(row[i], (unsigned char)(out[1 + i] + (i >= 3 ? row[i - 3] : 0)));
}

namespace {

// The filter choice written the plain way: every filter's signed sum in
// one pass, the least one (the lower on a tie) applied byte by byte.
void PlainFilterRow(const unsigned char* row, const unsigned char* prev, size_t n, size_t bpp, unsigned char* out) {
    auto paeth = [](int a, int b, int c) {
        int p = a + b - c, pa = abs(p - a), pb = abs(p - b), pc = abs(p - c);
        return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
    };
    auto predict = [&](int k, size_t i) {
        int a = i >= bpp ? row[i - bpp] : 0, b = prev ? prev[i] : 0, c = prev && i >= bpp ? prev[i - bpp] : 0;
        return k == 0 ? 0 : k == 1 ? a : k == 2 ? b : k == 3 ? (a + b) / 2 : paeth(a, b, c);
    };
    unsigned best = ~0u;
    for (int k = 0; k < 5; k++) {
        unsigned sum = 0;
        for (size_t i = 0; i < n; i++)
            sum += (unsigned)abs((int)(signed char)(unsigned char)(row[i] - predict(k, i)));
        if (sum < best) {
            best = sum;
            out[0] = (unsigned char)k;
        }
    }
    for (size_t i = 0; i < n; i++)
        out[1 + i] = (unsigned char)(row[i] - predict(out[0], i));
}

}  // namespace

// Rows of noise, of flat runs, of ramps and of a rendered picture, at every
// pixel width and with no row above: the same filter and bytes as the plain
// way, so the choice of filter (and with it the file) does not change.
TEST(PngBands, RowFilterMatchesThePlainChoice) {
    Rgb pic = MakePicture(301, 40, 3);
    unsigned seed = 12345;
    auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    int chosen[5] = {};
    for (size_t bpp : {1, 2, 3, 4, 6, 8}) {
        for (size_t n : {(size_t)1, bpp, bpp + 1, (size_t)37, (size_t)903}) {
            if (n % bpp != 0 && n > bpp)
                n -= n % bpp;
            for (int kind = 0; kind < 5; kind++) {
                std::vector<unsigned char> prev(n), row(n), ours(n + 1), plain(n + 1);
                for (size_t i = 0; i < n; i++) {
                    unsigned r = next();
                    switch (kind) {
                        case 0:
                            prev[i] = (unsigned char)r;
                            row[i] = (unsigned char)(r >> 8);
                            break;
                        case 1:
                            prev[i] = 200;
                            row[i] = (unsigned char)(i < n / 2 ? 200 : 7);
                            break;
                        case 2:
                            prev[i] = (unsigned char)(i * 5);
                            row[i] = (unsigned char)(i * 5 + 9);
                            break;
                        case 3:
                            prev[i] = (unsigned char)(i * 3);
                            row[i] = (unsigned char)(r % 3 + i * 3);
                            break;
                        default:
                            prev[i] = pic.px[i % pic.px.size()];
                            row[i] = pic.px[(i + 301 * 3) % pic.px.size()];
                    }
                }
                for (const unsigned char* above : {(const unsigned char*)prev.data(), (const unsigned char*)nullptr}) {
                    SCOPED_TRACE(testing::Message()
                                 << "bpp " << bpp << " n " << n << " kind " << kind << (above ? "" : " first row"));
                    FilterPngRow(row.data(), above, n, (int)bpp, ours.data());
                    PlainFilterRow(row.data(), above, n, bpp, plain.data());
                    ASSERT_EQ(plain, ours);
                    chosen[ours[0]]++;
                }
            }
        }
    }
    for (int k = 0; k < 5; k++)  // the cases reach every filter
        EXPECT_GT(chosen[k], 0) << "filter " << k;
}
