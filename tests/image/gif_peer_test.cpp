// The GIF codec against ImageMagick, PIL and giftext: their still and
// animated files (local palettes, disposal, offsets, transparency,
// interlace) read in ours as they compose them; ours read in theirs with
// the same pixels, with every code stream.
#include <gtest/gtest.h>
#include <string.h>

#include "gif_test_util.h"
#include "image/raster_file.h"
#include "support/test_support.h"

namespace {

struct Still {
    const char* name;
    const char* args;  // convert arguments before the output
    int bpp;           // our depth after decoding
};

const Still kStills[] = {
    {"c256", "-colors 256", 8},
    {"c128", "-colors 128", 8},  // code size 7
    {"c64", "-colors 64", 8},    // 6
    {"c32", "-colors 32", 8},    // 5
    {"c16", "-colors 16", 4},
    {"c8", "-colors 8", 4},  // 3
    {"c4", "-colors 4", 4},
    {"mono", "-monochrome", 1},  // 2
    {"interlaced", "-colors 200 -interlace GIF", 8},
    {"interlaced4", "-colors 12 -interlace GIF", 4},
    {"gif87", "-colors 40", 8},
};

TEST(GifPeer, TheirStillsReadInOursPixelExact) {
    std::string dir = MakeTestDir("gif_theirs");
    std::string out;
    for (int size : {0, 1}) {
        Rgb pic = size ? MakePicture(1, 1, 4) : MakePicture(61, 37, 9);
        std::string src = PathJoin(dir, "src.ppm");
        ASSERT_TRUE(WritePpm(src, pic));
        for (const Still& s : kStills) {
            SCOPED_TRACE(std::string(s.name) + (size ? " 1x1" : ""));
            std::string file = PathJoin(dir, std::string(s.name) + ".gif");
            std::string fmt = std::string(s.name) == "gif87" ? "GIF87:" : "GIF:";
            ASSERT_TRUE(Convert(dir, Lx(src) + " " + s.args + " " + fmt + Lx(file)));
            Rgb expect;
            ASSERT_TRUE(PeerDecode(dir, "pil", file, &expect));
            CRasterGIF img;
            ASSERT_TRUE(GifDecodeFile(file, &img)) << img.GetLastError();
            if (!size) {
                EXPECT_EQ(s.bpp, img.GetBpp());
            }
            EXPECT_EQ(1, img.GetFrameCount());
            std::string where;
            EXPECT_EQ(0, CountDiff(expect, RgbOf(img), &where)) << where;
        }
    }
    // Through the format dispatch, detected from the data: format id 2, and
    // size-only mode gives the size without pixels.
    CRaster any;
    ASSERT_TRUE(any.Load(PathJoin(dir, "interlaced.gif").c_str(), kFormatAny)) << any.GetLastError();
    EXPECT_EQ((uint32_t)kFormatGif, any.GetFormatId());
    CRaster sizeOnly;
    sizeOnly.SetEscape((uint32_t)-1);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(PathJoin(dir, "c256.gif"), &bytes));
    CRasterMemFile mem((unsigned char*)&bytes[0], bytes.size());
    ASSERT_TRUE(sizeOnly.Decode(&mem, kFormatAny));
    EXPECT_EQ(1, sizeOnly.Width());
    EXPECT_FALSE(sizeOnly.IsValid());
}

// Our composition of every frame against ImageMagick's -coalesce (pixels
// it shows opaque) and PIL's own frames.
void CheckAnimation(const std::string& dir, const std::string& file, int frames) {
    std::string out;
    ASSERT_TRUE(RunGifPeer(dir, "coalesce " + Lx(file) + " " + Lx(file + ".im"), &out));
    ASSERT_EQ(frames, atoi(out.c_str())) << out;
    std::vector<PeerFrame> im;
    ASSERT_TRUE(ReadPeerFrames(file + ".im", frames, &im));
    CRasterGIF all;
    all.SetRetrieveAllFrames(true);
    ASSERT_TRUE(GifDecodeFile(file, &all)) << all.GetLastError();
    EXPECT_EQ(frames, all.GetFrameCount());
    ASSERT_EQ(frames, all.GetFramesHeld());
    for (int i = 0; i < frames; i++) {
        SCOPED_TRACE("frame " + std::to_string(i));
        std::string where;
        EXPECT_EQ(0, CountOpaqueDiff(RgbOf(*all.GetFrame(i)), im[i], &where)) << where;
        // One frame asked for by number composes the same picture.
        CRasterGIF one;
        one.SetCurrentFrame(i);
        ASSERT_TRUE(GifDecodeFile(file, &one)) << one.GetLastError();
        EXPECT_EQ(0, CountDiff(RgbOf(*all.GetFrame(i)), RgbOf(one), &where)) << where;
    }
    // The last frame is also the image itself.
    std::string where;
    EXPECT_EQ(0, CountDiff(RgbOf(*all.GetFrame(frames - 1)), RgbOf(all), &where)) << where;
    // A frame past the end fails and still reports the count.
    CRaster past;
    past.SetCurrentFrame(frames);
    EXPECT_FALSE(past.Load(file.c_str(), kFormatGif));
    EXPECT_EQ(frames, past.GetFrameCount());
}

TEST(GifPeer, AnimationsComposeAsImageMagickCoalesces) {
    std::string dir = MakeTestDir("gif_anim");
    std::string out;
    // ImageMagick: a full first frame, then partial frames of their own
    // colours (local tables) at offsets with disposal background and
    // previous, one with a transparent colour, one interlaced.
    std::string bg = PathJoin(dir, "bg.ppm"), a = PathJoin(dir, "a.gif"), b = PathJoin(dir, "b.gif"),
                c = PathJoin(dir, "c.gif"), d = PathJoin(dir, "d.gif");
    ASSERT_TRUE(WritePpm(bg, MakePicture(50, 40, 3)));
    ASSERT_TRUE(Convert(dir, "-size 20x12 gradient:red-yellow -colors 30 " + Lx(a)));
    ASSERT_TRUE(
        Convert(dir, "-size 14x18 xc:blue -fill lime -draw 'circle 7,9 7,2' -colors 8 -transparent blue " + Lx(b)));
    ASSERT_TRUE(Convert(dir, "-size 25x10 plasma:fractal -seed 3 -colors 60 -interlace GIF " + Lx(c)));
    ASSERT_TRUE(Convert(dir, "-size 9x9 xc:magenta -colors 2 " + Lx(d)));
    std::string anim = PathJoin(dir, "im_anim.gif");
    ASSERT_TRUE(Convert(dir, "-delay 10 -dispose none " + Lx(bg) + " -colors 100 -dispose background -page +3+4 " +
                                 Lx(a) + " -dispose none -page +30+2 " + Lx(b) + " -dispose previous -page +20+25 " +
                                 Lx(c) + " -dispose none -page +1+30 " + Lx(d) + " -loop 0 GIF:" + Lx(anim)));
    ASSERT_TRUE(RunGifPeer(dir, "blocks " + Lx(anim), &out));
    EXPECT_NE(std::string::npos, out.find("flags 8")) << "no local table in the fixture\n" << out;
    CheckAnimation(dir, anim, 5);

    // PIL: three frames, each with a palette of its own.
    std::string pil = PathJoin(dir, "pil_anim.gif");
    ASSERT_TRUE(RunGifPeer(dir, "pilanim " + Lx(pil)));
    CheckAnimation(dir, pil, 3);
    CRasterGIF info;
    ASSERT_TRUE(GifDecodeFile(pil, &info));
    EXPECT_EQ(3, info.GetLoopCount());
    ASSERT_TRUE(RunGifPeer(dir, "pilframes " + Lx(pil) + " " + Lx(pil + ".pil"), &out));
    std::vector<PeerFrame> pf;
    ASSERT_TRUE(ReadPeerFrames(pil + ".pil", 3, &pf));
    CRasterGIF all;
    all.SetRetrieveAllFrames(true);
    ASSERT_TRUE(GifDecodeFile(pil, &all));
    for (int i = 0; i < 3; i++) {
        std::string where;
        EXPECT_EQ(0, CountOpaqueDiff(RgbOf(*all.GetFrame(i)), pf[i], &where)) << "frame " << i << " " << where;
        EXPECT_EQ(70 + 10 * i, all.GetFrame(i)->GetFrameDelay() * 10);
    }
}

TEST(GifPeer, OurFilesReadInPeersWithEveryCodeStream) {
    std::string dir = MakeTestDir("gif_ours");
    std::string out;
    const int sizes[][2] = {{53, 29}, {1, 1}, {300, 200}};
    for (const auto& sz : sizes) {
        Rgb pic = MakePicture(sz[0], sz[1], 5);
        for (int bpp : {1, 4, 8}) {
            for (uint32_t option : {0u, 1u, 2u}) {
                std::string name = std::to_string(sz[0]) + "_" + std::to_string(bpp) + "_" + std::to_string(option);
                SCOPED_TRACE(name);
                CRaster img;
                ASSERT_TRUE(Reduced(pic, bpp, &img));
                std::string file = PathJoin(dir, name + ".gif");
                ASSERT_TRUE(GifEncodeFile(&img, file, option));
                Rgb theirs;
                std::string where;
                ASSERT_TRUE(PeerDecode(dir, "pil", file, &theirs));
                EXPECT_EQ(0, CountDiff(RgbOf(img), theirs, &where)) << where;
                ASSERT_TRUE(PeerDecode(dir, "im", file, &theirs));
                EXPECT_EQ(0, CountDiff(RgbOf(img), theirs, &where)) << where;
                CRasterGIF back;
                ASSERT_TRUE(GifDecodeFile(file, &back));
                EXPECT_EQ(bpp, back.GetBpp());
                EXPECT_EQ(0, CountDiff(RgbOf(img), RgbOf(back), &where)) << where;
                EXPECT_EQ(0, RunPeer(dir, "giftext " + Lx(file) + " >/dev/null", &out)) << out;
            }
        }
    }
    // giftext sees the screen, the graphic control and the code size.
    ASSERT_EQ(0, RunPeer(dir, "giftext " + Lx(PathJoin(dir, "53_4_0.gif")), &out));
    EXPECT_NE(std::string::npos, out.find("Width = 53")) << out;
    EXPECT_NE(std::string::npos, out.find("BitsPerPixel = 4")) << out;
    // Run-length codes are far smaller than plain codes on flat areas.
    std::string plain, runs;
    ASSERT_TRUE(ReadFileBytes(PathJoin(dir, "300_8_1.gif"), &plain));
    ASSERT_TRUE(ReadFileBytes(PathJoin(dir, "300_8_2.gif"), &runs));
    EXPECT_LT(runs.size() * 2, plain.size());
}

TEST(GifPeer, TrueColourGridReadsBackExactlyInPeers) {
    std::string dir = MakeTestDir("gif_grid");
    std::string out;
    Rgb pic = MakePicture(70, 33, 11);  // 5 x 3 cells, the last column and row cut
    CRaster img;
    ASSERT_TRUE(ImageOf(pic, &img));
    std::string file = PathJoin(dir, "grid.gif");
    ASSERT_TRUE(GifEncodeFile(&img, file));
    ASSERT_TRUE(RunGifPeer(dir, "blocks " + Lx(file), &out));
    size_t images = 0;
    for (size_t p = out.find("image "); p != std::string::npos; p = out.find("image ", p + 1))
        images++;
    EXPECT_EQ(5u * 3u, images) << out;
    EXPECT_NE(std::string::npos, out.find("image 68 30 2 3 flags 87")) << out;
    EXPECT_EQ(0, RunPeer(dir, "giftext " + Lx(file) + " >/dev/null", &out)) << out;
    Rgb theirs;
    std::string where;
    std::string flat = PathJoin(dir, "flat.ppm");
    ASSERT_TRUE(Convert(dir, Lx(file) + " -flatten -depth 8 ppm:" + Lx(flat)));
    ASSERT_TRUE(ReadPnm(flat, &theirs));
    EXPECT_EQ(0, CountDiff(pic, theirs, &where)) << where;
    ASSERT_TRUE(RunGifPeer(dir, "pilframes " + Lx(file) + " " + Lx(file + ".pil"), &out));
    std::vector<PeerFrame> pf;
    ASSERT_TRUE(ReadPeerFrames(file + ".pil", 15, &pf));
    EXPECT_EQ(0, CountDiff(pic, pf[14].rgb, &where)) << where;
    // Ours reads it as one 24-bit picture, every cell at its place.
    CRasterGIF back;
    ASSERT_TRUE(GifDecodeFile(file, &back)) << back.GetLastError();
    EXPECT_EQ(24, back.GetBpp());
    EXPECT_EQ(15, back.GetFrameCount());
    EXPECT_EQ(0, CountDiff(pic, RgbOf(back), &where)) << where;
}

// Our true-colour files read back as the picture written whatever the
// grid's shape: one cell wide, one cell high, and large; PIL rebuilds the
// same picture from the cells.
TEST(GifPeer, OurTrueColourGridsReadBackAtEverySize) {
    std::string dir = MakeTestDir("gif_grid_sizes");
    const int sizes[][3] = {{1, 17, 2}, {33, 10, 2}, {17, 40, 3}, {50, 15, 3}, {403, 302, 24 * 21}};
    for (const auto& sz : sizes) {
        std::string name = std::to_string(sz[0]) + "x" + std::to_string(sz[1]);
        SCOPED_TRACE(name);
        Rgb pic = MakePicture(sz[0], sz[1], 13);
        CRaster img;
        ASSERT_TRUE(ImageOf(pic, &img));
        std::string file = PathJoin(dir, name + ".gif");
        ASSERT_TRUE(GifEncodeFile(&img, file));
        CRasterGIF back;
        ASSERT_TRUE(GifDecodeFile(file, &back)) << back.GetLastError();
        EXPECT_EQ(24, back.GetBpp());
        EXPECT_EQ(sz[2], back.GetFrameCount());
        std::string where;
        EXPECT_EQ(0, CountDiff(pic, RgbOf(back), &where)) << where;
        std::string out, last = PathJoin(dir, name + ".ppm");
        ASSERT_TRUE(RunGifPeer(dir, "pillast " + Lx(file) + " " + Lx(last), &out)) << out;
        EXPECT_EQ(std::to_string(sz[2]), out.substr(0, out.find('\n')));
        Rgb theirs;
        ASSERT_TRUE(ReadPnm(last, &theirs));
        EXPECT_EQ(0, CountDiff(pic, theirs, &where)) << where;
    }
}

// The same cells from another writer (a screen without our header flags)
// keep the general rule: a first frame as wide or as high as the screen is
// an animation's first frame, so only that frame is shown; cells smaller
// than the screen both ways are still read as one true-colour picture.
TEST(GifEdges, OnlyOurOwnGridShapeIsTrueColourByItsFlags) {
    for (int wide : {0, 1}) {
        Rgb pic = wide ? MakePicture(70, 33, 3) : MakePicture(33, 10, 3);
        SCOPED_TRACE(pic.w);
        CRaster img;
        ASSERT_TRUE(ImageOf(pic, &img));
        std::string bytes;
        ASSERT_TRUE(GifEncodeBytes(&img, &bytes));
        ASSERT_EQ(0x11, (unsigned char)bytes[10]);
        bytes[10] = 0x00;  // no global table, other colour resolution
        CRasterGIF back;
        ASSERT_TRUE(GifDecodeBytes(bytes, &back)) << back.GetLastError();
        Rgb got = RgbOf(back);
        std::string where;
        if (wide) {
            EXPECT_EQ(24, back.GetBpp());
            EXPECT_EQ(0, CountDiff(pic, got, &where)) << where;
            continue;
        }
        EXPECT_EQ(8, back.GetBpp());
        EXPECT_EQ(2, back.GetFrameCount());
        int firstCell = 0, elsewhere = 0;
        for (int y = 0; y < pic.h; y++)
            for (int x = 0; x < pic.w; x++)
                if (memcmp(pic.At(x, y), got.At(x, y), 3) != 0)
                    (x < 17 ? firstCell : elsewhere)++;
        EXPECT_EQ(0, firstCell);
        EXPECT_GT(elsewhere, 0) << "the second frame is not drawn";
    }
}

}  // namespace

// Streams that start at wide codes (minimum code sizes 2 to 11; 11 starts
// at the 12-bit limit), with the table filled to its 4,096 entries and then
// cleared or kept (a deferred clear): read as PIL reads them. Size 12 would
// need 13-bit codes, which the format has not: no pixels.
TEST(GifPeer, EveryMinimumCodeSizeReadsAsPilReadsIt) {
    std::string dir = MakeTestDir("gif_code_sizes");
    std::string craft = Quote(std::string(VP_SOURCE_DIR) + "/tests/image/gif_craft.py");
    const struct {
        int size;
        const char* pattern;
        const char* clear;
    } cases[] = {
        {2, "noise", ""},          {8, "ramp", " noclear"}, {9, "noise", " noclear"}, {10, "ramp", ""},
        {10, "noise", " noclear"}, {11, "noise", ""},       {11, "flat", " noclear"}, {12, "ramp", ""},
    };
    for (const auto& c : cases) {
        std::string name = "s" + std::to_string(c.size) + c.pattern + (c.clear[0] ? "_nc" : "") + ".gif";
        SCOPED_TRACE(name);
        ASSERT_EQ(RunPeer(dir, "/usr/bin/python3 " + craft + " " + name + " 97 83 " + std::to_string(c.size) + " " +
                                   c.pattern + c.clear),
                  0);
        std::string file = PathJoin(dir, name);
        CRaster img(0);
        ASSERT_TRUE(img.Load(file.c_str(), kFormatGif)) << img.GetLastError();
        if (c.size == 12) {
            for (int x = 0; x < img.Width(); x++)
                ASSERT_EQ(img.GetPixelIndex(x, 82), 0);
            continue;
        }
        Rgb theirs;
        ASSERT_TRUE(PeerDecode(dir, "pil", file, &theirs));
        std::string where;
        EXPECT_EQ(CountDiff(RgbOf(img), theirs, &where), 0) << where;
    }
}
