// Hostile and odd GIF files fail cleanly (truncated, huge screens, endless
// code streams, bad extensions, stray interlaced rows), and the edge cases
// of the format: empty screens, overhanging frames, comments, loop counts,
// transparent tables, offsets that must write back readable.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "gif_test_util.h"
#include "image/raster_file.h"
#include "support/test_support.h"

namespace {

std::string U16s(int v) {
    return std::string(1, (char)(v & 0xFF)) + std::string(1, (char)((v >> 8) & 0xFF));
}

std::string Screen(int w, int h, int globalBits) {
    std::string g = "GIF89a" + U16s(w) + U16s(h);
    g += (char)(globalBits ? 0x80 | (globalBits - 1) : 0);
    g += std::string(2, '\0');
    for (int i = 0; i < (globalBits ? 1 << globalBits : 0); i++)
        g += std::string(1, (char)(i * 40)) + std::string(1, (char)(255 - i * 40)) + std::string(1, (char)(i * 9));
    return g;
}

// The image data of n pixels, pixel(i) each, as literal codes of code size
// 2 (clear first, the table restarted before it fills), in sub-blocks with
// the code-size byte and the terminator.
std::string LiteralStream(int n, const std::function<int(int)>& pixel) {
    std::string data;
    uint32_t acc = 0;
    int bits = 0, width = 3, next = 6;
    auto put = [&](int code) {
        acc |= (uint32_t)code << bits;
        bits += width;
        while (bits >= 8) {
            data += (char)(acc & 0xFF);
            acc >>= 8;
            bits -= 8;
        }
    };
    put(4);
    for (int i = 0; i < n; i++) {
        if (next == 4095) {
            put(4);
            width = 3;
            next = 6;
            put(pixel(i));
            continue;
        }
        put(pixel(i));
        if (i > 0 && next < 4096 && ++next == (1 << width) && width < 12)
            width++;
    }
    put(5);
    if (bits > 0)
        data += (char)(acc & 0xFF);
    std::string g = "\x02";
    for (size_t i = 0; i < data.size(); i += 255) {
        size_t k = data.size() - i < 255 ? data.size() - i : 255;
        g += (char)k;
        g += data.substr(i, k);
    }
    return g + std::string(1, '\0');
}

// Image block of w x h pixels of index v (code size 2, plain codes).
std::string Block(int x, int y, int w, int h, int v, int flags = 0, int pixels = -1) {
    std::string g = "," + U16s(x) + U16s(y) + U16s(w) + U16s(h) + std::string(1, (char)flags);
    if (flags & 0x80)
        for (int i = 0; i < (2 << (flags & 7)); i++)
            g += std::string(1, (char)(200 - i)) + std::string(1, (char)i) + std::string(1, (char)(i * 3));
    return g + LiteralStream(pixels < 0 ? w * h : pixels, [v](int) { return v; });
}

std::string Control(int flags, int delay, int trans) {
    return std::string("\x21\xF9\x04", 3) + (char)flags + U16s(delay) + (char)trans + std::string(1, '\0');
}

TEST(GifHostile, TruncatedFilesFailOrKeepWhatWasThere) {
    std::string dir = MakeTestDir("gif_trunc");
    std::string anim = PathJoin(dir, "t.gif");
    ASSERT_TRUE(Convert(dir,
                        "-size 30x20 plasma:fractal -seed 2 -colors 40 -size 30x20 xc:navy -delay 5 -loop 0 "
                        "-interlace GIF GIF:" +
                            Lx(anim)));
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(anim, &bytes));
    for (size_t cut = 0; cut < bytes.size(); cut += (cut < 900 ? 1 : 7)) {
        std::string part = bytes.substr(0, cut);
        for (int all = 0; all < 2; all++) {
            CRasterGIF img;
            img.SetRetrieveAllFrames(all != 0);
            bool ok = GifDecodeBytes(part, &img);
            if (cut < 13) {
                EXPECT_FALSE(ok) << cut;
            }
            if (ok) {
                EXPECT_TRUE(img.IsValid()) << cut;
                EXPECT_EQ(30, img.Width()) << cut;
                EXPECT_EQ(20, img.Height()) << cut;
            }
        }
    }
}

TEST(GifHostile, HugeScreensAreRefusedBeforeAnythingIsMade) {
    // 65535 x 65535: the screen alone passes the limit.
    CRasterGIF huge;
    EXPECT_FALSE(GifDecodeBytes(Screen(65535, 65535, 1) + Block(0, 0, 1, 1, 1) + ";", &huge));
    EXPECT_STREQ("GIF canvas exceeds the memory limit", huge.GetLastError());
    EXPECT_FALSE(huge.IsValid());
    // 8192 x 8192 with ten tiny frames, and comments enough for bytes that
    // could fill the screen: one picture fits, ten kept ones do not.
    std::string pad = "!\xFE";
    for (int i = 0; i < 28; i++)
        pad += "\xFF" + std::string(255, 'x');
    std::string many = Screen(8192, 8192, 1) + pad + '\0';
    for (int i = 0; i < 10; i++)
        many += Block(i, i, 2, 2, 1);
    many += ";";
    CRasterGIF all;
    all.SetRetrieveAllFrames(true);
    EXPECT_FALSE(GifDecodeBytes(many, &all));
    EXPECT_STREQ("GIF canvas exceeds the memory limit", all.GetLastError());
    EXPECT_EQ(0, all.GetFramesHeld());
    CRasterGIF one;
    one.SetCurrentFrame(9);
    ASSERT_TRUE(GifDecodeBytes(many, &one)) << one.GetLastError();
    EXPECT_EQ(8192, one.Width());
    EXPECT_EQ(10, one.GetFrameCount());
    // The grid rule over empty frames a pixel smaller than the screen: a
    // short file is refused, one padded with comments makes no 24-bit screen;
    // a display-sized screen with one tiny frame still opens.
    std::string frames;
    for (int i = 0; i < 12; i++)
        frames += Block(0, 0, 65534, 299, 0, 0, 0);
    CRasterGIF grid, padded, display;
    EXPECT_FALSE(GifDecodeBytes(Screen(65535, 300, 0) + frames + ";", &grid));
    EXPECT_STREQ("GIF data too short for the picture", grid.GetLastError());
    EXPECT_TRUE(!GifDecodeBytes(Screen(65535, 300, 0) + pad + '\0' + frames + ";", &padded) ||
                padded.GetImageSize() < 65535u * 300u);
    ASSERT_TRUE(GifDecodeBytes(Screen(3840, 2160, 1) + Block(0, 0, 1, 1, 0) + ";", &display)) << display.GetLastError();
}

TEST(GifHostile, EndlessCodeStreamsEndAtTheImage) {
    // 4 x 4 frame followed by about 1.5 MB of codes (a million pixels):
    // decoding stops at the 16th pixel and the next frame is still found.
    std::string g = Screen(4, 4, 1) + Block(0, 0, 4, 4, 1, 0, 1 << 20) + Block(1, 1, 2, 2, 0) + ";";
    auto t0 = std::chrono::steady_clock::now();
    CRasterGIF img;
    img.SetCurrentFrame(1);
    ASSERT_TRUE(GifDecodeBytes(g, &img)) << img.GetLastError();
    EXPECT_EQ(2, img.GetFrameCount());
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(secs, 5.0);
    EXPECT_EQ(1, img.GetPixelIndex(0, 0));
    EXPECT_EQ(0, img.GetPixelIndex(1, 1));
    EXPECT_EQ(1, img.GetPixelIndex(3, 3));
    // A stream of nothing but clear codes, with no end code or terminator.
    std::string clears = Screen(5, 5, 1) + std::string(",\0\0\0\0\x05\0\x05\0\0\x02", 11);
    for (int i = 0; i < 2000; i++) {
        clears += '\xFF';
        for (int k = 0; k < 85; k++)
            clears += "\x24\x49\x92";  // eight 3-bit clear codes
    }
    CRasterGIF cl;
    EXPECT_TRUE(GifDecodeBytes(clears, &cl));  // the rows stay as made
    EXPECT_EQ(5, cl.Width());
    EXPECT_EQ(1, cl.GetFrameCount());
}

TEST(GifHostile, InterlacedRowsPastTheLastPassAreRefused) {
    // Interlaced 5 x 3 frame whose stream carries 5 x 20 pixels: rows 0, 2
    // and 1 in pass order, then nothing more may land anywhere.
    std::string g = Screen(5, 3, 2) + std::string(",\0\0\0\0\x05\0\x03\0\x40", 10);
    // Literals in pass order: row 0 index 1, row 2 index 2, row 1 index 3,
    // then 85 more 3s for rows that do not exist.
    g += LiteralStream(100, [](int i) { return i < 5 ? 1 : i < 10 ? 2 : 3; }) + ";";
    CRasterGIF img;
    ASSERT_TRUE(GifDecodeBytes(g, &img)) << img.GetLastError();
    for (int x = 0; x < 5; x++) {
        EXPECT_EQ(1, img.GetPixelIndex(x, 2)) << x;  // top row
        EXPECT_EQ(3, img.GetPixelIndex(x, 1)) << x;
        EXPECT_EQ(2, img.GetPixelIndex(x, 0)) << x;  // bottom row
    }
}

TEST(GifHostile, BadExtensionsFailTheDecode) {
    const std::string head = Screen(6, 4, 1);
    const std::string bad[] = {
        std::string("\x21\xF9\x05\x01\x00\x00\x01\x00\x00", 9),  // graphic control of 5 bytes
        std::string("\x21\xFF\x0A", 3) + "NETSCAPE2." + std::string("\x03\x01\x00\x00\x00", 5),
    };
    for (const std::string& ext : bad) {
        CRasterGIF img;
        EXPECT_FALSE(GifDecodeBytes(head + ext + Block(0, 0, 6, 4, 1) + ";", &img));
        // After the requested frame a bad block is not read; with all frames it is.
        std::string after = head + Block(0, 0, 6, 4, 1) + ext + Block(0, 0, 6, 4, 0) + ";";
        CRasterGIF first;
        EXPECT_TRUE(GifDecodeBytes(after, &first)) << first.GetLastError();
        EXPECT_EQ(1, first.GetFrameCount());
        CRasterGIF all;
        all.SetRetrieveAllFrames(true);
        EXPECT_FALSE(GifDecodeBytes(after, &all));
        EXPECT_STREQ("bad GIF extension", all.GetLastError());
    }
    // Extensions cut short by the end of the file.
    const std::string cut[] = {std::string("\x21\xFE\x20", 3) + "cut short", std::string("\x21", 1),
                               std::string("\x21\xF9\x04\x01", 4),
                               std::string("\x21\x01\x05"
                                           "ab",
                                           5)};
    for (const std::string& ext : cut) {
        std::string file = head + Block(0, 0, 6, 4, 1) + ext;
        CRasterGIF first;
        EXPECT_TRUE(GifDecodeBytes(file, &first)) << first.GetLastError();
        CRasterGIF all;
        all.SetRetrieveAllFrames(true);
        EXPECT_FALSE(GifDecodeBytes(file, &all));
        EXPECT_STREQ("bad GIF extension", all.GetLastError());
    }
    // Unknown labels and an XMP block are skipped; XMP sets no loop count.
    std::string fine = head + std::string("\x21\x01\x03xyz\x00", 7) + std::string("\x21\xFF\x0B", 3) + "XMP DataXMP" +
                       std::string("\x05\x01\x09\x00zz\x00", 7) + Block(0, 0, 6, 4, 1) + ";";
    CRasterGIF ok;
    ASSERT_TRUE(GifDecodeBytes(fine, &ok)) << ok.GetLastError();
    EXPECT_EQ(0, ok.GetLoopCount());
    // Junk between blocks is skipped up to a zero byte.
    std::string junk = head + "\x07\x09\x2C\x13" + std::string(1, '\0') + Block(0, 0, 6, 4, 1) + ";";
    CRasterGIF j;
    ASSERT_TRUE(GifDecodeBytes(junk, &j));
    EXPECT_EQ(1, j.GetPixelIndex(2, 2));
    EXPECT_FALSE(GifDecodeBytes("GIF7", &j));
    EXPECT_FALSE(GifDecodeBytes("PNG89a" + std::string(20, '\0'), &j));
}

TEST(GifEdges, ScreensFramesCommentsLoopsAndTables) {
    // A 0 x 0 screen takes the first image's size.
    CRasterGIF zero;
    ASSERT_TRUE(GifDecodeBytes(Screen(0, 0, 1) + Block(0, 0, 7, 3, 1) + ";", &zero));
    EXPECT_EQ(7, zero.Width());
    EXPECT_EQ(3, zero.Height());
    // An overhanging frame is neither decoded nor counted.
    CRasterGIF over;
    over.SetRetrieveAllFrames(true);
    ASSERT_TRUE(GifDecodeBytes(
        Screen(8, 8, 1) + Block(0, 0, 8, 8, 0) + Block(5, 0, 4, 2, 1) + Block(2, 2, 2, 2, 1) + ";", &over));
    EXPECT_EQ(2, over.GetFrameCount());
    EXPECT_EQ(0, over.GetPixelIndex(6, 7));
    EXPECT_EQ(1, over.GetPixelIndex(2, 5));
    // Transparent index on a 32-entry table: an 8-bit frame whose entries
    // 32-255 are white; the transparent index survives.
    CRasterGIF t;
    ASSERT_TRUE(GifDecodeBytes(Screen(4, 4, 5) + Control(1, 0, 3) + Block(0, 0, 4, 4, 1) + ";", &t));
    EXPECT_EQ(8, t.GetBpp());
    EXPECT_EQ(3, t.GetTransparentIndex());
    EXPECT_EQ(255, t.GetPaletteColor(32).rgbGreen);
    EXPECT_EQ(255, t.GetPaletteColor(255).rgbRed);
    EXPECT_EQ(215, t.GetPaletteColor(1).rgbGreen);

    // Comments: longer than 255 is written cut; only the first sub-block is read.
    CRaster img(3, 2, 4);
    img.SetStandardPalette();
    std::string text(300, 'c');
    text[0] = 'A';
    CRasterGIF w;
    w.MakeAlias(&img);
    w.SetComment(text.c_str());
    CRasterMemFile mem;
    mem.Open();
    ASSERT_TRUE(w.EncodeGif(&mem));
    std::string bytes((char*)mem.GetBuffer(), (size_t)mem.Size());
    CRasterGIF r;
    ASSERT_TRUE(GifDecodeBytes(bytes, &r));
    EXPECT_EQ(text.substr(0, 255), r.GetComment());
    std::string two = Screen(2, 2, 1) + std::string("\x21\xFE\x03one\x03two\x00", 11) + Block(0, 0, 2, 2, 0) + ";";
    ASSERT_TRUE(GifDecodeBytes(two, &r));
    EXPECT_STREQ("one", r.GetComment());

    // Loop counts: 1 writes no loop block, 0 writes 0, 5 writes 4.
    CRaster* frames[2] = {&img, &img};
    for (int loops : {1, 0, 5}) {
        CRasterGIF anim;
        anim.SetLoopCount(loops);
        CRasterMemFile m;
        m.Open();
        ASSERT_TRUE(anim.EncodeFrames(&m, frames, 2, false, false));
        std::string b((char*)m.GetBuffer(), (size_t)m.Size());
        size_t at = b.find("NETSCAPE2.0");
        if (loops == 1) {
            EXPECT_EQ(std::string::npos, at);
        } else {
            ASSERT_NE(std::string::npos, at);
            EXPECT_EQ(loops == 0 ? 0 : 4, (unsigned char)b[at + 13]);
            CRasterGIF back;
            ASSERT_TRUE(GifDecodeBytes(b, &back));
            EXPECT_EQ(loops == 0 ? 0 : 4, back.GetLoopCount());
            EXPECT_EQ(2, back.GetFrameCount());
        }
    }
    // The animation writer's refusals, before anything is written.
    CRasterGIF anim;
    CRasterMemFile m;
    m.Open();
    CRaster empty, rgb(2, 2, 24);
    CRaster* noImage[1] = {nullptr};
    CRaster* bad1[2] = {&img, nullptr};
    CRaster* bad2[2] = {&img, &empty};
    CRaster* bad3[2] = {&img, &rgb};
    EXPECT_FALSE(anim.EncodeFrames(nullptr, frames, 2, false, false));
    EXPECT_STREQ("invalid file pointer", anim.GetLastError());
    EXPECT_FALSE(anim.EncodeFrames(&m, noImage, 1, false, false));
    EXPECT_STREQ("multipage GIF, no images!", anim.GetLastError());
    EXPECT_FALSE(anim.EncodeFrames(&m, bad1, 2, false, false));
    EXPECT_STREQ("Bad image pointer", anim.GetLastError());
    EXPECT_FALSE(anim.EncodeFrames(&m, bad2, 2, false, false));
    EXPECT_STREQ("Empty image", anim.GetLastError());
    EXPECT_FALSE(anim.EncodeFrames(&m, bad3, 2, false, false));
    EXPECT_NE(nullptr, strstr(anim.GetLastError(), "true color frame"));
    EXPECT_EQ(0, m.Size());
}

TEST(GifEdges, DecodedFramesWriteBackReadable) {
    // Frames of different palettes and offsets: all frames decoded, then
    // written through the dispatch; the file reads back with every frame
    // the same (each decoded frame is the whole screen, so its offset must
    // not push it off the screen).
    std::string g = Screen(10, 8, 2) + Control(4, 7, 0) + Block(0, 0, 10, 8, 1) + Control(0, 3, 0) +
                    Block(3, 2, 4, 3, 2) + Control(0, 3, 0) + Block(6, 5, 4, 3, 3, 0x81) + ";";
    CRasterGIF all;
    all.SetRetrieveAllFrames(true);
    ASSERT_TRUE(GifDecodeBytes(g, &all)) << all.GetLastError();
    ASSERT_EQ(3, all.GetFramesHeld());
    EXPECT_EQ(6, all.GetFrame(2)->GetXOffset());
    EXPECT_EQ(7, all.GetFrame(0)->GetFrameDelay());
    // The third frame's own table (entry 3 = 197, 3, 9) shows its colour,
    // and the earlier frames keep theirs.
    RGBQUAD own = all.GetFrame(2)->GetPixelColor(7, 1);
    EXPECT_EQ(197, own.rgbRed);
    EXPECT_EQ(3, own.rgbGreen);
    RGBQUAD kept = all.GetFrame(2)->GetPixelColor(4, 4);
    EXPECT_EQ(80, kept.rgbRed);  // entry 2 of the global table
    EXPECT_EQ(175, kept.rgbGreen);
    EXPECT_EQ(24, all.GetBpp());
    // Frames of one palette: written through the dispatch as an animation.
    std::string g2 =
        Screen(10, 8, 2) + Control(4, 7, 0) + Block(0, 0, 10, 8, 1) + Control(0, 3, 0) + Block(3, 2, 4, 3, 2) + ";";
    CRasterGIF two;
    two.SetRetrieveAllFrames(true);
    ASSERT_TRUE(GifDecodeBytes(g2, &two)) << two.GetLastError();
    ASSERT_EQ(2, two.GetFramesHeld());
    EXPECT_EQ(3, two.GetFrame(1)->GetXOffset());
    std::string bytes;
    ASSERT_TRUE(GifEncodeBytes(&two, &bytes));
    CRasterGIF back;
    back.SetRetrieveAllFrames(true);
    ASSERT_TRUE(GifDecodeBytes(bytes, &back)) << back.GetLastError();
    ASSERT_EQ(2, back.GetFramesHeld());
    for (int i = 0; i < 2; i++)
        EXPECT_EQ(0, CountDiff(RgbOf(*two.GetFrame(i)), RgbOf(*back.GetFrame(i)))) << i;
}

}  // namespace
