// The JPEG codec against cjpeg/djpeg (the same library family), ImageMagick
// and PIL: our files match cjpeg's byte for byte after the JFIF segment
// where the settings match and decode alike everywhere; theirs read in
// ours as djpeg reads them; options, resolution, whole-block file sizes,
// the grey rule and the scan limit; rows read and written in place at
// every padding and band edge.
#include <gtest/gtest.h>

#include "image/raster_file.h"
#include "image/raster_jpeg.h"
#include "image_test_util.h"
#include "support/test_support.h"

namespace {

bool DecodeFile(const std::string& path, CRasterJPG* img) {
    std::string bytes;
    if (!ReadFileBytes(path, &bytes))
        return false;
    CRasterMemFile mem((unsigned char*)&bytes[0], bytes.size());
    return img->DecodeJpg(&mem);
}

bool EncodeBytes(CRaster* src, uint32_t option, std::string* out, std::string* error = nullptr) {
    CRasterJPG jpg;
    jpg.MakeAlias(src);
    jpg.SetFormatOption(option, kFormatJpg);
    CRasterMemFile mem;
    mem.Open();
    bool ok = jpg.EncodeJpg(&mem);
    if (error)
        *error = jpg.GetLastError();
    if (ok)
        out->assign((char*)mem.GetBuffer(), (size_t)mem.Size());
    return ok;
}

bool EncodeFile(CRaster* src, uint32_t option, const std::string& path) {
    std::string bytes;
    return EncodeBytes(src, option, &bytes) && WriteFileBytes(path, bytes);
}

std::string PyPeer() {
    return "/usr/bin/python3 " + Quote(std::string(VP_SOURCE_DIR) + "/tests/image/jpeg_peer.py");
}

// djpeg's decode of file (P6 or P5) with extra switches; with warnings
// allowed, its exit code 2 (decoded with warnings) counts as success.
bool Djpeg(const std::string& dir, const std::string& file, const std::string& args, Rgb* out,
           bool warningsAllowed = false) {
    std::string pnm = file + ".djpeg.pnm", o;
    int rc = RunPeer(dir, "djpeg -pnm " + args + " -outfile " + Lx(pnm) + " " + Lx(file) + " 2>&1", &o);
    if (rc != 0 && !(warningsAllowed && rc == 2)) {
        fprintf(stderr, "djpeg failed: %s\n", o.c_str());
        return false;
    }
    return ReadPnm(pnm, out);
}

// An 8-bit grey image (grey palette) of a picture's luminance.
void GreyOf(const Rgb& pic, CRaster* img, Rgb* greyRgb) {
    img->Create(pic.w, pic.h, 8, 0);
    img->SetGrayPalette();
    *greyRgb = pic;
    for (int y = 0; y < pic.h; y++)
        for (int x = 0; x < pic.w; x++) {
            const uint8_t* p = pic.At(x, y);
            BYTE v = (BYTE)((p[0] * 77 + p[1] * 150 + p[2] * 29) >> 8);
            img->SetPixelIndex(x, pic.h - 1 - y, v);
            uint8_t* q = &greyRgb->px[3 * ((size_t)y * pic.w + x)];
            q[0] = q[1] = q[2] = v;
        }
}

bool WritePgm(const std::string& path, const Rgb& grey) {
    std::string s = "P5\n" + std::to_string(grey.w) + " " + std::to_string(grey.h) + "\n255\n";
    for (size_t i = 0; i < grey.px.size(); i += 3)
        s += (char)grey.px[i];
    return WriteFileBytes(path, s);
}

// The bytes after SOI and the JFIF segment (which holds the density).
std::string AfterJfif(const std::string& jpg) {
    if (jpg.size() < 6 || (uint8_t)jpg[2] != 0xFF || (uint8_t)jpg[3] != 0xE0)
        return jpg;
    size_t len = ((uint8_t)jpg[4] << 8) | (uint8_t)jpg[5];
    return jpg.substr(4 + len);
}

}  // namespace

TEST(JpegPeer, OurFilesMatchCjpegAndDecodeLikeDjpeg) {
    std::string dir = MakeTestDir("jpeg_ours");
    Rgb pic = MakePicture(67, 45, 5);  // partial MCUs on both axes
    std::string ppm = PathJoin(dir, "src.ppm"), pgm = PathJoin(dir, "src.pgm");
    ASSERT_TRUE(WritePpm(ppm, pic));
    CRaster colour;
    ASSERT_TRUE(ImageOf(pic, &colour));
    CRaster grey;
    Rgb greyRgb;
    GreyOf(pic, &grey, &greyRgb);
    ASSERT_TRUE(WritePgm(pgm, greyRgb));
    struct Case {
        const char* name;
        bool grey;
        uint32_t option;
        int quality;
        const char* cjpeg;
    } cases[] = {
        {"app", false, kJpgBaseline, 90, "-quality 90 -baseline"},
        {"q50", false, kJpgBaseline, 50, "-quality 50 -baseline"},
        {"q5", false, 0, 5, "-quality 5"},
        {"optimised", false, kJpgBaseline | kJpgOptimize, 90, "-quality 90 -optimize"},
        {"progressive", false, kJpgBaseline | kJpgProgressive, 90, "-quality 90 -progressive"},
        {"s422", false, kJpgBaseline | kJpgSubsample422, 90, "-quality 90 -sample 2x1"},
        {"s444", false, kJpgBaseline | kJpgSubsample422 | kJpgSubsample444, 90, "-quality 90 -sample 1x1"},
        {"arith", false, kJpgArithmetic, 90, "-quality 90 -arithmetic"},
        {"greyout", false, kJpgGreyscale, 90, "-quality 90 -grayscale"},
        {"grey8", true, kJpgBaseline, 90, "-quality 90"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CRaster* src = c.grey ? &grey : &colour;
        src->SetJpegQuality((BYTE)c.quality);
        std::string ours = PathJoin(dir, std::string(c.name) + ".ours.jpg");
        std::string theirs = PathJoin(dir, std::string(c.name) + ".theirs.jpg");
        ASSERT_TRUE(EncodeFile(src, c.option, ours));
        ASSERT_EQ(0, RunPeer(dir, std::string("cjpeg ") + c.cjpeg + " -outfile " + Lx(theirs) + " " +
                                      Lx(c.grey ? pgm : ppm)));
        std::string a, b;
        ASSERT_TRUE(ReadFileBytes(ours, &a));
        ASSERT_TRUE(ReadFileBytes(theirs, &b));
        // JFIF 1.1 with the image's 96 DPI.
        ASSERT_GT(a.size(), 20u);
        EXPECT_EQ(std::string("JFIF\0", 5), a.substr(6, 5));
        EXPECT_EQ(1, a[13]);
        EXPECT_EQ(96, ((uint8_t)a[14] << 8) | (uint8_t)a[15]);
        EXPECT_TRUE(AfterJfif(a) == AfterJfif(b)) << a.size() << " vs " << b.size();
        // djpeg, ImageMagick and PIL see what our decoder sees.
        Rgb dj;
        ASSERT_TRUE(Djpeg(dir, ours, "", &dj));
        CRasterJPG back;
        ASSERT_TRUE(DecodeFile(ours, &back)) << back.GetLastError();
        bool greyFile = c.grey || (c.option & kJpgGreyscale);
        EXPECT_EQ(greyFile ? 8 : 24, back.GetBpp());
        EXPECT_EQ(greyFile, back.IsGrayScale());
        std::string where;
        EXPECT_EQ(0, CountDiff(dj, RgbOf(back), &where)) << where;
        if (!(c.option & kJpgArithmetic)) {  // PIL's and ImageMagick's builds may lack it
            Rgb peer;
            ASSERT_TRUE(PeerDecode(dir, "pil", ours, &peer));
            EXPECT_EQ(0, CountDiff(dj, peer, &where)) << where;
            ASSERT_TRUE(PeerDecode(dir, "im", ours, &peer));
            EXPECT_EQ(0, CountDiff(dj, peer, &where)) << where;
        }
    }
    // Quality is the stored float rounded: 89.5 writes what 90 writes.
    colour.Info().jpegQuality = 89.5f;
    std::string q895, q90;
    ASSERT_TRUE(EncodeBytes(&colour, kJpgBaseline, &q895));
    colour.SetJpegQuality(90);
    ASSERT_TRUE(EncodeBytes(&colour, kJpgBaseline, &q90));
    EXPECT_TRUE(q895 == q90);
}

TEST(JpegPeer, TheirFilesReadInOursLikeDjpeg) {
    std::string dir = MakeTestDir("jpeg_theirs");
    Rgb pic = MakePicture(83, 52, 9);
    std::string ppm = PathJoin(dir, "src.ppm");
    ASSERT_TRUE(WritePpm(ppm, pic));
    struct Made {
        const char* name;
        std::string command;  // makes $out from $in
    } made[] = {
        {"baseline", "cjpeg -quality 75 $in > $out"},
        {"progressive", "cjpeg -progressive -quality 85 $in > $out"},
        {"arith", "cjpeg -arithmetic $in > $out"},
        {"restart", "cjpeg -restart 1 -sample 1x1 $in > $out"},
        {"grey", "cjpeg -grayscale $in > $out"},
        {"smooth", "cjpeg -smooth 40 -dct float $in > $out"},
        {"im", "/usr/bin/convert $in -quality 70 -sampling-factor 2x1 JPEG:$out"},
        {"im_progressive", "/usr/bin/convert $in -interlace JPEG JPEG:$out"},
        {"pil", PyPeer() + " pilsave $in $out 80 0 0 150"},
        {"pil_progressive", PyPeer() + " pilsave $in $out 60 2 1 72"},
    };
    for (const Made& m : made) {
        SCOPED_TRACE(m.name);
        std::string file = PathJoin(dir, std::string(m.name) + ".jpg");
        std::string cmd = m.command;
        cmd.replace(cmd.find("$in"), 3, Lx(ppm));
        cmd.replace(cmd.find("$out"), 4, Lx(file));
        ASSERT_EQ(0, RunPeer(dir, cmd));
        Rgb dj;
        ASSERT_TRUE(Djpeg(dir, file, "", &dj));
        CRasterJPG img;
        ASSERT_TRUE(DecodeFile(file, &img)) << img.GetLastError();
        EXPECT_EQ(std::string(m.name) == "grey" ? 8 : 24, img.GetBpp());
        std::string where;
        EXPECT_EQ(0, CountDiff(dj, RgbOf(img), &where)) << where;
        EXPECT_EQ(kFormatJpg, img.GetFormatId());
    }
    // Arithmetic codes spend next to nothing on flat blocks: a flat
    // 4000 x 3000 picture is a few hundred bytes, yet valid.
    for (const char* mode : {"", "-progressive "}) {
        SCOPED_TRACE(mode);
        std::string flat = PathJoin(dir, "flat.jpg"), o;
        std::string grey = "{ printf 'P6 4000 3000 255\\n'; head -c 36000000 /dev/zero | tr '\\0' '\\100'; }";
        ASSERT_EQ(0, RunPeer(dir, grey + " | cjpeg -arithmetic " + mode + "-outfile " + Lx(flat), &o)) << o;
        CRasterJPG img;
        ASSERT_TRUE(DecodeFile(flat, &img)) << img.GetLastError();
        EXPECT_EQ(4000, img.Width());
        EXPECT_EQ(3000, img.Height());
        EXPECT_EQ(0x40, img.GetPixelColor(3999, 0).rgbGreen);
    }
    // Resolution: PIL's dots per inch; ImageMagick's dots per centimetre
    // (38 / cm is 97 DPI); our own DPI read back by PIL.
    CRasterJPG pil;
    ASSERT_TRUE(DecodeFile(PathJoin(dir, "pil.jpg"), &pil));
    EXPECT_EQ(150, pil.GetXDpi());
    EXPECT_EQ(150, pil.GetYDpi());
    std::string cm = PathJoin(dir, "cm.jpg");
    ASSERT_TRUE(Convert(dir, Lx(ppm) + " -units PixelsPerCentimeter -density 38x20 JPEG:" + Lx(cm)));
    CRasterJPG cmImg;
    ASSERT_TRUE(DecodeFile(cm, &cmImg));
    EXPECT_EQ(97, cmImg.GetXDpi());
    EXPECT_EQ(51, cmImg.GetYDpi());
    pil.SetXDpi(300);
    pil.SetYDpi(120);
    std::string ours = PathJoin(dir, "dpi.jpg"), out;
    ASSERT_TRUE(EncodeFile(&pil, kJpgBaseline, ours));
    ASSERT_EQ(0, RunPeer(dir, PyPeer() + " dpi " + Lx(ours), &out));
    EXPECT_EQ("300 120", out.substr(0, 7));
    // Adobe CMYK from ImageMagick: k-weighted, as PIL's raw bytes give it.
    std::string cmyk = PathJoin(dir, "cmyk.jpg"), cmykPpm = PathJoin(dir, "cmyk.ppm");
    ASSERT_TRUE(Convert(dir, Lx(ppm) + " -colorspace CMYK -quality 95 JPEG:" + Lx(cmyk)));
    ASSERT_EQ(0, RunPeer(dir, PyPeer() + " cmyk " + Lx(cmyk) + " " + Lx(cmykPpm), &out)) << out;
    Rgb expect;
    ASSERT_TRUE(ReadPnm(cmykPpm, &expect));
    CRasterJPG cmykImg;
    ASSERT_TRUE(DecodeFile(cmyk, &cmykImg)) << cmykImg.GetLastError();
    EXPECT_EQ(24, cmykImg.GetBpp());
    std::string where;
    EXPECT_EQ(0, CountDiff(expect, RgbOf(cmykImg), &where)) << where;
}

TEST(JpegPeer, DecodeOptionsMatchDjpegSwitches) {
    std::string dir = MakeTestDir("jpeg_options");
    Rgb pic = MakePicture(70, 41, 2);
    std::string ppm = PathJoin(dir, "src.ppm"), file = PathJoin(dir, "src.jpg");
    ASSERT_TRUE(WritePpm(ppm, pic));
    ASSERT_EQ(0, RunPeer(dir, "cjpeg -quality 92 -outfile " + Lx(file) + " " + Lx(ppm)));
    struct Case {
        const char* name;
        uint32_t option;
        int quality, scale, bpp;
        const char* djpeg;
    } cases[] = {
        {"grey", kJpgDecodeGrey, 90, 1, 8, "-grayscale"},
        {"colors", kJpgQuantize, 64, 1, 8, "-colors 64"},
        {"onepass", kJpgQuantize | kJpgOnePass, 32, 1, 8, "-colors 32 -onepass"},
        {"ordered", kJpgQuantize | kJpgOnePass | kJpgDither, 32, 1, 8, "-colors 32 -onepass -dither ordered"},
        {"nosmooth", kJpgNoFancy, 90, 1, 24, "-nosmooth"},
        {"half", 0, 90, 2, 24, "-scale 1/2"},
        {"eighth", 0, 90, 8, 24, "-scale 1/8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CRasterJPG img;
        img.SetFormatOption(c.option, kFormatJpg);
        img.SetJpegQuality((BYTE)c.quality);
        img.SetJpegScale((BYTE)c.scale);
        img.SetDitherMode(1);  // ordered, for the dither case
        std::string bytes;
        ASSERT_TRUE(ReadFileBytes(file, &bytes));
        CRasterMemFile mem((unsigned char*)&bytes[0], bytes.size());
        ASSERT_TRUE(img.DecodeJpg(&mem)) << img.GetLastError();
        EXPECT_EQ(c.bpp, img.GetBpp());
        if (c.option & kJpgQuantize) {
            EXPECT_GE(c.quality, img.GetColorsImportant());
            EXPECT_LT(1, img.GetColorsImportant());
        }
        Rgb dj;
        ASSERT_TRUE(Djpeg(dir, file, c.djpeg, &dj));
        std::string where;
        EXPECT_EQ(0, CountDiff(dj, RgbOf(img), &where)) << where;
    }
    // Size only: the output size, no pixels.
    CRasterJPG sizeOnly;
    sizeOnly.SetEscape((uint32_t)-1);
    sizeOnly.SetJpegScale(2);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(file, &bytes));
    CRasterMemFile mem((unsigned char*)&bytes[0], bytes.size());
    ASSERT_TRUE(sizeOnly.DecodeJpg(&mem));
    EXPECT_EQ(35, sizeOnly.Width());
    EXPECT_EQ(21, sizeOnly.Height());
    EXPECT_FALSE(sizeOnly.IsValid());
    // A cancel stops the decode.
    CRasterJPG cancelled;
    cancelled.SetEscape(1);
    CRasterMemFile again((unsigned char*)&bytes[0], bytes.size());
    EXPECT_FALSE(cancelled.DecodeJpg(&again));
}

// A file whose size is a whole number of 4096-byte blocks ends with an
// empty last block; it must save, to memory and to disk.
TEST(JpegPeer, FilesOfWholeBlocksSave) {
    std::string dir = MakeTestDir("jpeg_blocks");
    // Noise as JPEG; one pixel changed per try moves the size by a few
    // bytes towards the nearest multiple of 4096, until it is one.
    CRaster img(56, 56, 24);
    uint32_t s = 12345;
    for (int y = 0; y < img.Height(); y++)
        for (int x = 0; x < img.GetRowStride(); x++) {
            s = s * 1103515245 + 12345;
            img.GetRowPointer(y)[x] = (BYTE)(s >> 16);
        }
    img.SetJpegQuality(95);
    std::string bytes, error;
    bool found = false;
    for (int i = 0; i < 60000 && !found; i++) {
        ASSERT_TRUE(EncodeBytes(&img, kJpgBaseline, &bytes, &error)) << "try " << i << ": " << error;
        found = bytes.size() % 4096 == 0;
        if (!found) {  // flatten, or roughen
            size_t target = (bytes.size() + 2048) / 4096 * 4096;
            s = s * 1103515245 + 12345;
            BYTE* p = img.GetRowPointer((int)((s >> 8) % 56)) + (s >> 20) % (56 * 3);
            *p = bytes.size() > target ? (BYTE)((*p + 128) / 2) : (BYTE)(s >> 3);
        }
    }
    ASSERT_TRUE(found) << "no picture gave a whole number of blocks";
    img.SetFormatOption(kJpgBaseline, kFormatJpg);
    std::string path = PathJoin(dir, "blocks.jpg"), onDisk;
    ASSERT_TRUE(img.Save(path.c_str(), kFormatJpg)) << img.GetLastError();
    ASSERT_TRUE(ReadFileBytes(path, &onDisk));
    EXPECT_EQ(0u, onDisk.size() % 4096);
    EXPECT_TRUE(onDisk == bytes);
    Rgb dj;
    EXPECT_TRUE(Djpeg(dir, path, "", &dj));
}

// Only 24-bit images and 8-bit grey ones are written; a 1- or 4-bit image
// whose palette happens to be (i, i, i) is not one byte per pixel.
TEST(JpegPeer, OnlyRgbAndEightBitGreyAreWritten) {
    std::string bytes, error;
    CRaster one(17, 5, 1);
    one.SetPaletteColor(0, 0, 0, 0);
    one.SetPaletteColor(1, 1, 1, 1);
    ASSERT_TRUE(one.IsGrayScale());
    EXPECT_FALSE(EncodeBytes(&one, kJpgBaseline, &bytes, &error));
    EXPECT_EQ("JPEG can save only RGB or GreyScale images", error);
    CRaster four(17, 5, 4);
    for (int i = 0; i < 16; i++)
        four.SetPaletteColor(i, (BYTE)i, (BYTE)i, (BYTE)i);
    ASSERT_TRUE(four.IsGrayScale());
    EXPECT_FALSE(EncodeBytes(&four, kJpgBaseline, &bytes, &error));
    CRaster colour8(17, 5, 8);
    colour8.SetStandardPalette();
    EXPECT_FALSE(EncodeBytes(&colour8, kJpgBaseline, &bytes, &error));
    EXPECT_EQ("JPEG can save only RGB or GreyScale images", error);
    CRaster grey8(17, 5, 8);
    grey8.SetGrayPalette();
    for (int x = 0; x < 17; x++)
        grey8.SetPixelIndex(x, 2, (BYTE)(x * 15));
    ASSERT_TRUE(EncodeBytes(&grey8, kJpgBaseline, &bytes, &error)) << error;
    CRasterMemFile mem((unsigned char*)&bytes[0], bytes.size());
    CRasterJPG back;
    ASSERT_TRUE(back.DecodeJpg(&mem));
    EXPECT_EQ(8, back.GetBpp());
    EXPECT_EQ(0, back.Exif().isColor);
    EXPECT_NEAR(150, back.GetPixelIndex(10, 2), 3);
    CRaster empty;
    EXPECT_FALSE(EncodeBytes(&empty, 0, &bytes, &error));
    EXPECT_EQ("null image!!!", error);
}

// Progressive files stop after a bounded number of scans; files within the
// bound decode as djpeg decodes them.
TEST(JpegPeer, ProgressiveScansAreBounded) {
    std::string dir = MakeTestDir("jpeg_scans");
    Rgb pic = MakePicture(64, 48, 4);
    CRaster img;
    ASSERT_TRUE(ImageOf(pic, &img));
    std::string prog = PathJoin(dir, "prog.jpg");
    ASSERT_TRUE(EncodeFile(&img, kJpgProgressive, prog));
    for (int extra : {20, kJpgMaxScans + 50}) {
        SCOPED_TRACE(extra);
        std::string file = PathJoin(dir, "scans" + std::to_string(extra) + ".jpg"), out;
        ASSERT_EQ(0, RunPeer(dir, PyPeer() + " scans " + Lx(prog) + " " + Lx(file) + " " + std::to_string(extra), &out))
            << out;
        Rgb dj;
        ASSERT_TRUE(Djpeg(dir, file, "", &dj, true));  // decodes, with warnings
        CRasterJPG back;
        bool ok = DecodeFile(file, &back);
        if (extra < kJpgMaxScans) {
            ASSERT_TRUE(ok) << back.GetLastError();
            std::string where;
            EXPECT_EQ(0, CountDiff(dj, RgbOf(back), &where)) << where;
        } else {
            EXPECT_FALSE(ok);
            EXPECT_STREQ("too many progressive scans", back.GetLastError());
        }
    }
}

TEST(JpegPeer, DispatchLoadsAndSaves) {
    std::string dir = MakeTestDir("jpeg_dispatch");
    Rgb pic = MakePicture(30, 20, 8);
    CRaster img;
    ASSERT_TRUE(ImageOf(pic, &img));
    std::string path = PathJoin(dir, "a.jpg");
    ASSERT_TRUE(img.Save(path.c_str(), kFormatJpg)) << img.GetLastError();
    CRaster loaded;
    ASSERT_TRUE(loaded.Load(path.c_str(), kFormatAny)) << loaded.GetLastError();
    EXPECT_EQ(kFormatJpg, loaded.GetFormatId());
    EXPECT_EQ(30, loaded.Width());
    Rgb dj;
    ASSERT_TRUE(Djpeg(dir, path, "", &dj));
    EXPECT_EQ(0, CountDiff(dj, RgbOf(loaded)));
    // Not a JPEG: the library's own words under id 3, detection's under 0.
    std::string text = PathJoin(dir, "t.jpg");
    ASSERT_TRUE(WriteFileBytes(text, "hello, this is text\n"));
    CRaster bad;
    EXPECT_FALSE(bad.Load(text.c_str(), kFormatJpg));
    EXPECT_STREQ("Not a JPEG file: starts with 0x68 0x65", bad.GetLastError());
    EXPECT_FALSE(bad.Load(text.c_str(), kFormatAny));
    EXPECT_STREQ("Decode: Unknown or wrong format", bad.GetLastError());
    std::string empty = PathJoin(dir, "e.jpg");
    ASSERT_TRUE(WriteFileBytes(empty, ""));
    CRasterJPG none;
    EXPECT_FALSE(DecodeFile(empty, &none));
    EXPECT_STREQ("Empty input file", none.GetLastError());
}

namespace {

// The bytes from the first quantisation table on: what follows the JFIF or
// Exif segments at the start.
std::string FromTables(const std::string& jpg) {
    size_t pos = 2;
    while (pos + 4 <= jpg.size() && (uint8_t)jpg[pos] == 0xFF && (uint8_t)jpg[pos + 1] != 0xDB)
        pos += 2 + (((uint8_t)jpg[pos + 2] << 8) | (uint8_t)jpg[pos + 3]);
    return pos < jpg.size() ? jpg.substr(pos) : std::string();
}

}  // namespace

// libjpeg reads the image's rows in place (bottom-up, blue-first, padded to
// four bytes) and in bands of rows: every padding, heights about the band
// size, grey images and the options that read rows differently (smoothing
// reads neighbouring rows, grey output converts) give cjpeg's bytes.
TEST(JpegPeer, RowsReadInPlaceGiveCjpegBytes) {
    std::string dir = MakeTestDir("jpeg_rows");
    struct Size {
        int w, h;
    } sizes[] = {{1, 1}, {2, 33}, {3, 31}, {5, 32}, {17, 65}, {130, 97}};
    struct Mode {
        const char* name;
        bool grey;
        uint32_t option;
        const char* cjpeg;
    } modes[] = {
        {"app", false, kJpgBaseline, "-quality 90 -baseline"},
        {"s444prog", false, kJpgBaseline | kJpgSubsample444 | kJpgProgressive,
         "-quality 90 -baseline -sample 1x1 -progressive"},
        {"smooth", false, kJpgBaseline | kJpgSmoothing, "-quality 90 -baseline -smooth 40"},
        {"greyout", false, kJpgBaseline | kJpgGreyscale, "-quality 90 -baseline -grayscale"},
        {"grey8", true, kJpgBaseline, "-quality 90 -baseline"},
    };
    for (const Size& s : sizes) {
        Rgb pic = MakePicture(s.w, s.h, (unsigned)(s.w * 7 + s.h));
        std::string ppm = PathJoin(dir, "src.ppm"), pgm = PathJoin(dir, "src.pgm");
        ASSERT_TRUE(WritePpm(ppm, pic));
        CRaster colour, grey;
        Rgb greyRgb;
        ASSERT_TRUE(ImageOf(pic, &colour));
        GreyOf(pic, &grey, &greyRgb);
        ASSERT_TRUE(WritePgm(pgm, greyRgb));
        for (const Mode& m : modes) {
            SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h) + " " + m.name);
            CRasterJPG jpg;
            jpg.MakeAlias(m.grey ? &grey : &colour);
            jpg.SetFormatOption(m.option, kFormatJpg);
            jpg.SetJpegQuality(90);
            jpg.SetSmoothingFactor(40);
            CRasterMemFile mem;
            mem.Open();
            ASSERT_TRUE(jpg.EncodeJpg(&mem)) << jpg.GetLastError();
            std::string ours((char*)mem.GetBuffer(), (size_t)mem.Size()), theirs;
            std::string file = PathJoin(dir, "theirs.jpg");
            ASSERT_EQ(0, RunPeer(dir, std::string("cjpeg ") + m.cjpeg + " -outfile " + Lx(file) + " " +
                                          Lx(m.grey ? pgm : ppm)));
            ASSERT_TRUE(ReadFileBytes(file, &theirs));
            EXPECT_TRUE(AfterJfif(ours) == AfterJfif(theirs)) << ours.size() << " vs " << theirs.size();
        }
    }
}

// An image decoded from a camera file is encoded in memory and put behind
// its Exif segment: the data there is cjpeg's for the same pixels.
TEST(JpegPeer, ExifFileEncodesLikeCjpegBehindItsSegment) {
    std::string dir = MakeTestDir("jpeg_rows_exif");
    std::string ppm = PathJoin(dir, "src.ppm"), cam = PathJoin(dir, "cam.jpg"), out;
    ASSERT_TRUE(WritePpm(ppm, MakePicture(45, 37, 11)));
    ASSERT_EQ(0, RunPeer(dir, "cjpeg -outfile " + Lx(cam) + " " + Lx(ppm)));
    ASSERT_EQ(0, RunPeer(dir, "exiftool -q -overwrite_original -Make=Canon " + Lx(cam), &out)) << out;
    CRasterJPG img;
    ASSERT_TRUE(DecodeFile(cam, &img)) << img.GetLastError();
    ASSERT_EQ(1, img.Exif().isExif);
    img.SetFormatOption(kJpgBaseline, kFormatJpg);
    img.SetJpegQuality(90);
    CRasterMemFile mem;
    mem.Open();
    ASSERT_TRUE(img.EncodeJpg(&mem)) << img.GetLastError();
    std::string ours((char*)mem.GetBuffer(), (size_t)mem.Size()), theirs;
    std::string saved = PathJoin(dir, "ours.jpg"), decoded = PathJoin(dir, "decoded.ppm");
    std::string file = PathJoin(dir, "theirs.jpg");
    ASSERT_TRUE(WriteFileBytes(saved, ours));
    ASSERT_TRUE(WritePpm(decoded, RgbOf(img)));
    ASSERT_EQ(0, RunPeer(dir, "cjpeg -quality 90 -baseline -outfile " + Lx(file) + " " + Lx(decoded)));
    ASSERT_TRUE(ReadFileBytes(file, &theirs));
    ASSERT_GT(ours.size(), 4u);
    EXPECT_EQ(0xE1, (uint8_t)ours[3]);
    EXPECT_FALSE(FromTables(ours).empty());
    EXPECT_TRUE(FromTables(ours) == FromTables(theirs)) << ours.size() << " vs " << theirs.size();
    RunPeer(dir, "exiftool -s3 -Make " + Lx(saved), &out);
    EXPECT_EQ("Canon", out.substr(0, 5));
}

// The decoder has libjpeg write rows straight into the image (blue-first
// colour, grey and palette indices): odd sizes at each sampling, scaled,
// with merged upsampling and quantized, read as djpeg reads them.
TEST(JpegPeer, RowsWrittenInPlaceDecodeLikeDjpeg) {
    std::string dir = MakeTestDir("jpeg_rows_decode");
    struct Size {
        int w, h;
    } sizes[] = {{1, 1}, {5, 33}, {131, 65}};
    const char* files[] = {"-sample 2x2", "-sample 2x1", "-sample 1x1", "-grayscale"};
    struct Case {
        const char* name;
        uint32_t option;
        int quality, scale;
        const char* djpeg;
    } cases[] = {
        {"plain", 0, 90, 1, ""},
        {"nosmooth", kJpgNoFancy, 90, 1, "-nosmooth"},
        {"half", 0, 90, 2, "-scale 1/2"},
        {"eighth", 0, 90, 8, "-scale 1/8"},
        {"colors", kJpgQuantize, 64, 1, "-colors 64"},
    };
    for (const Size& s : sizes) {
        std::string ppm = PathJoin(dir, "src.ppm"), file = PathJoin(dir, "src.jpg");
        ASSERT_TRUE(WritePpm(ppm, MakePicture(s.w, s.h, (unsigned)(s.w + s.h))));
        for (const char* sampling : files) {
            ASSERT_EQ(0, RunPeer(dir, std::string("cjpeg ") + sampling + " -outfile " + Lx(file) + " " + Lx(ppm)));
            std::string bytes;
            ASSERT_TRUE(ReadFileBytes(file, &bytes));
            for (const Case& c : cases) {
                SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h) + " " + sampling + " " + c.name);
                CRasterJPG img;
                img.SetFormatOption(c.option, kFormatJpg);
                img.SetJpegQuality((BYTE)c.quality);
                img.SetJpegScale((BYTE)c.scale);
                CRasterMemFile mem((unsigned char*)&bytes[0], bytes.size());
                ASSERT_TRUE(img.DecodeJpg(&mem)) << img.GetLastError();
                Rgb dj;
                ASSERT_TRUE(Djpeg(dir, file, c.djpeg, &dj));
                std::string where;
                EXPECT_EQ(0, CountDiff(dj, RgbOf(img), &where)) << where;
            }
        }
    }
}
