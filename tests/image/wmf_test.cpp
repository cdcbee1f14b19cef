// Metafile import under Wine: EMF and placeable WMF files drawn with GDI's
// metafile calls during the test, played back into images; damaged and
// hostile headers.
#include <windows.h>
#include <gtest/gtest.h>

#include "codec_test_util.h"
#include "image/raster_wmf.h"
#include "support/test_support.h"

namespace {

void Fill(HDC dc, int l, int t, int r, int b, COLORREF c) {
    HBRUSH brush = CreateSolidBrush(c);
    RECT rc = {l, t, r, b};
    FillRect(dc, &rc, brush);
    DeleteObject(brush);
}

// An EMF of a red left and a blue right half, w x h pixels.
std::string MakeEmf(const std::string& path, int w, int h) {
    HDC ref = GetDC(nullptr);
    HDC dc = CreateEnhMetaFileA(ref, path.c_str(), nullptr, "test\0\0");
    ReleaseDC(nullptr, ref);
    if (!dc)
        return "";
    Fill(dc, 0, 0, w / 2, h, RGB(255, 0, 0));
    Fill(dc, w / 2, 0, w, h, RGB(0, 0, 255));
    DeleteEnhMetaFile(CloseEnhMetaFile(dc));
    std::string bytes;
    ReadFileBytes(path, &bytes);
    return bytes;
}

// A placeable WMF: 2880 x 1440 units at 1440 per inch, red left half, blue
// right half. checksumDelta spoils the header's checksum.
std::string MakePlaceable(int left, int right, int checksumDelta = 0) {
    HDC dc = CreateMetaFileA(nullptr);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    SetWindowExtEx(dc, 2880, 1440, nullptr);
    SelectObject(dc, GetStockObject(NULL_PEN));
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0)), blue = CreateSolidBrush(RGB(0, 0, 255));
    HGDIOBJ old = SelectObject(dc, red);
    Rectangle(dc, 0, 0, 1441, 1441);
    SelectObject(dc, blue);
    Rectangle(dc, 1440, 0, 2881, 1441);
    SelectObject(dc, old);
    HMETAFILE mf = CloseMetaFile(dc);
    DeleteObject(red);
    DeleteObject(blue);
    UINT n = GetMetaFileBitsEx(mf, 0, nullptr);
    std::string body(n, '\0');
    GetMetaFileBitsEx(mf, n, &body[0]);
    DeleteMetaFile(mf);
    std::string head = Le32(0x9AC6CDD7) + Le16(0) + Le16((uint16_t)left) + Le16(0) + Le16((uint16_t)right) +
                       Le16(1440) + Le16(1440) + Le32(0);
    uint16_t sum = 0;
    for (int i = 0; i < 10; i++)
        sum ^= (uint16_t)((uint8_t)head[2 * i] | ((uint8_t)head[2 * i + 1] << 8));
    return head + Le16((uint16_t)(sum + checksumDelta)) + body;
}

RGBQUAD TopDown(const CRaster& img, int x, int yTop) {
    return img.GetPixelColor(x, img.Height() - 1 - yTop);
}

// A stream that claims to be larger than it is.
class HugeFile : public CRasterMemFile {
  public:
    HugeFile(unsigned char* b, size_t n) : CRasterMemFile(b, n) {}
    long Size() override { return 1L << 30; }
};

}  // namespace

TEST(WmfImport, EnhancedMetafilesPlayBackAtTheirSize) {
    std::string dir = MakeTestDir("wmf_emf");
    std::string file = PathJoin(dir, "halves.emf");
    ASSERT_FALSE(MakeEmf(file, 200, 50).empty());
    CRaster img(0);
    ASSERT_TRUE(img.Load(file.c_str(), kFormatAny)) << img.GetLastError();
    EXPECT_EQ(img.GetFormatId(), (uint32_t)kFormatWmf);
    EXPECT_NEAR(img.Width(), 200, 1);
    EXPECT_NEAR(img.Height(), 50, 1);
    EXPECT_EQ(img.GetBpp(), 24);
    RGBQUAD left = TopDown(img, 20, 20), right = TopDown(img, img.Width() - 20, 20);
    EXPECT_EQ(left.rgbRed, 255);
    EXPECT_EQ(left.rgbBlue, 0);
    EXPECT_EQ(right.rgbBlue, 255);
    EXPECT_EQ(right.rgbRed, 0);

    // A large one is scaled to 4000 pixels on its longer side.
    std::string big = PathJoin(dir, "big.emf");
    ASSERT_FALSE(MakeEmf(big, 8000, 2000).empty());
    ASSERT_TRUE(img.Load(big.c_str(), kFormatWmf)) << img.GetLastError();
    EXPECT_EQ(img.Width(), 4000);
    EXPECT_NEAR(img.Height(), 1000, 1);

    // Size only.
    CRaster size(0);
    size.SetEscape((uint32_t)-1);
    ASSERT_TRUE(size.Load(file.c_str(), kFormatWmf));
    EXPECT_STREQ(size.GetLastError(), "output dimensions returned");
    EXPECT_NEAR(size.Width(), 200, 1);
    EXPECT_FALSE(size.IsValid());
}

TEST(WmfImport, PlaceableMetafilesUseTheirBoundingBox) {
    std::string dir = MakeTestDir("wmf_placeable");
    std::string bytes = MakePlaceable(0, 2880);
    std::string file = PathJoin(dir, "halves.wmf");
    ASSERT_TRUE(WriteFileBytes(file, bytes));
    CRaster img(0);
    ASSERT_TRUE(img.Load(file.c_str(), kFormatAny)) << img.GetLastError();
    EXPECT_EQ(img.GetFormatId(), (uint32_t)kFormatWmf);
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(img.Width(), (2880 * dpi + 720) / 1440);
    EXPECT_EQ(img.Height(), (1440 * dpi + 720) / 1440);
    EXPECT_EQ(TopDown(img, img.Width() / 4, img.Height() / 2).rgbRed, 255);
    EXPECT_EQ(TopDown(img, img.Width() * 3 / 4, img.Height() / 2).rgbBlue, 255);

    // The metafile after other data: the stream's position is its start.
    std::string padded = "junk!" + bytes;
    CRasterMemFile mem((unsigned char*)&padded[0], padded.size());
    ASSERT_TRUE(mem.Seek(5, 0));
    CRasterWMF at;
    ASSERT_TRUE(at.DecodeWmf(&mem)) << at.GetLastError();
    EXPECT_EQ(at.Width(), img.Width());
    EXPECT_EQ(TopDown(at, at.Width() / 4, at.Height() / 2).rgbRed, 255);
}

TEST(WmfImport, DamagedAndHostileMetafiles) {
    struct {
        std::string bytes;
        const char* error;
    } cases[] = {
        {MakePlaceable(0, 2880, 1), "corrupted WMF"},  // checksum off by one, and no EMF
        {MakePlaceable(2880, 0), "empty WMF"},         // a negative box
        {MakePlaceable(100, 100), "empty WMF"},
        {std::string(40, 'x'), "corrupted WMF"},
    };
    for (const auto& c : cases) {
        CRaster img(0);
        EXPECT_FALSE(DecodeBytes(c.bytes, kFormatWmf, &img));
        EXPECT_STREQ(img.GetLastError(), c.error);
    }
    // A size in words past the data.
    std::string longer = MakePlaceable(0, 2880);
    longer[22 + 6 + 2] = 0x7F;
    CRaster img(0);
    EXPECT_FALSE(DecodeBytes(longer, kFormatWmf, &img));
    EXPECT_STREQ(img.GetLastError(), "corrupted WMF");
    // A stream too large to be read whole is refused before it is read.
    std::string good = MakePlaceable(0, 2880);
    HugeFile huge((unsigned char*)&good[0], good.size());
    CRasterWMF w;
    EXPECT_FALSE(w.DecodeWmf(&huge));
    EXPECT_STREQ(w.GetLastError(), "WMF too large");
    // Metafiles are not written.
    CRaster full(3, 3, 24, 0);
    CRasterMemFile out;
    ASSERT_TRUE(out.Open());
    EXPECT_FALSE(full.Encode(&out, kFormatWmf));
    EXPECT_STREQ(full.GetLastError(), "Save WMF not supported");
    CRasterWMF none;
    EXPECT_FALSE(none.EncodeWmf(nullptr));
    EXPECT_STREQ(none.GetLastError(), "");
}
