// Codec benchmark: encode and decode time and file size on 1920 x 1080 and
// 3840 x 2160 screenshot-like pictures, beside peers on the same input in
// the same run: PNG at the application's option (8) and levels 1 and 9
// beside ImageMagick's default writer; GIF beside ImageMagick (and its
// restore frames beside the same frames kept plainly); JPEG beside
// cjpeg/djpeg; TIFF beside tiffcp, ICO, TGA and PCX beside ImageMagick
// (3840 x 2160). A peer's time is its command's wall time less that of
// reading the input and writing nothing.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <string>

#include "image/raster_codec.h"
#include "image/raster_file.h"
#include "image/raster_gif.h"
#include "image/raster_jpeg.h"
#include "image/raster_png.h"
#include "peer_figures.h"
#include "support/test_support.h"

namespace {

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Panels, title bars, a gradient and text-like strokes.
void Paint(CRaster* img) {
    unsigned seed = 12345;
    for (int y = 0; y < img->Height(); y++) {
        BYTE* row = img->GetRowPointer(y);
        for (int x = 0; x < img->Width(); x++) {
            BYTE* p = row + 3 * x;
            int panel = (x / 480 + y / 270) % 3;
            BYTE v = panel == 0 ? 240 : panel == 1 ? (BYTE)(y * 255 / img->Height()) : 200;
            p[0] = v;
            p[1] = (BYTE)(panel == 2 ? 120 : v);
            p[2] = (BYTE)(panel == 1 ? 255 - v : v);
            seed = seed * 1103515245 + 12345;
            if ((y % 18) < 11 && (x % 9) < 5 && ((seed >> 16) & 3) == 0 && panel == 0)
                p[0] = p[1] = p[2] = 20;
        }
    }
}

// The realistic screen scripts/bench.sh grabbed (top-down RGB), if any.
std::string gScreen;
int gScreenWidth = 0, gScreenHeight = 0;

// The screen when it has the size, else the painted picture.
void Picture(CRaster* img) {
    if (img->Width() != gScreenWidth || img->Height() != gScreenHeight) {
        Paint(img);
        return;
    }
    for (int y = 0; y < img->Height(); y++) {
        BYTE* row = img->GetRowPointer(img->Height() - 1 - y);
        const char* in = &gScreen[(size_t)y * img->Width() * 3];
        for (int x = 0; x < img->Width(); x++) {
            row[3 * x] = (BYTE)in[3 * x + 2];
            row[3 * x + 1] = (BYTE)in[3 * x + 1];
            row[3 * x + 2] = (BYTE)in[3 * x];
        }
    }
}

// Best encode and decode times of `runs` rounds through the format's codec,
// with the image's own format options; size of the encoded file. False
// (with the codec's text printed) when an encode fails.
struct CodecTiming {
    double encode = 1e9, decode = 1e9;
    size_t size = 0;
};
bool TimeCodec(CRaster* image, uint32_t formatId, int runs, CodecTiming* out) {
    const RasterCodec* codec = FindRasterCodec(formatId);
    if (!codec)
        return false;
    for (int i = 0; i < runs; i++) {
        CRaster* enc = codec->create();
        enc->MakeAlias(image);
        CRasterMemFile mem;
        mem.Open();
        auto t0 = std::chrono::steady_clock::now();
        bool ok = codec->encode(enc, &mem);
        double t = Since(t0);
        if (!ok)
            printf("encode failed: %s\n", enc->GetLastError());
        delete enc;
        if (!ok)
            return false;
        out->encode = t < out->encode ? t : out->encode;
        out->size = (size_t)mem.Size();
        CRasterMemFile in(mem.GetBuffer(), out->size);
        CRaster* dec = codec->create();
        t0 = std::chrono::steady_clock::now();
        codec->decode(dec, &in, false);
        t = Since(t0);
        delete dec;
        out->decode = t < out->decode ? t : out->decode;
    }
    return true;
}

// Writes a 24-bit image as dir/src.ppm for the peers; its path.
std::string WritePpm(const std::string& dir, const CRaster& img) {
    int w = img.Width(), h = img.Height();
    std::string ppm = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int y = h - 1; y >= 0; y--) {
        const BYTE* row = img.GetRowPointer(y);
        for (int x = 0; x < w; x++) {
            ppm += (char)row[3 * x + 2];
            ppm += (char)row[3 * x + 1];
            ppm += (char)row[3 * x];
        }
    }
    std::string path = PathJoin(dir, "src.ppm");
    WriteFileBytes(path, ppm);
    return path;
}

void Run(const std::string& dir, int w, int h) {
    CRaster img(w, h, 24);
    Picture(&img);
    std::string src = WritePpm(dir, img), im = PathJoin(dir, "im.png");
    double readOnly = PeerSeconds(dir, "convert " + UnixPathOf(src) + " null:");
    double imTime = PeerSeconds(dir, "convert " + UnixPathOf(src) + " " + UnixPathOf(im)) - readOnly;
    std::string imBytes;
    ReadFileBytes(im, &imBytes);
    printf("%dx%d ImageMagick PNG: %zu bytes, encode %.3f s\n", w, h, imBytes.size(), imTime);
    struct {
        const char* name;
        uint32_t option;
    } modes[] = {{"option 8", 8}, {"level 1", 4}, {"level 9", 6}};
    for (auto& m : modes) {
        img.SetFormatOption(m.option, kFormatPng);
        CodecTiming t;
        if (!TimeCodec(&img, kFormatPng, 3, &t))
            return;
        size_t size = t.size;
        double enc = t.encode, dec = t.decode;
        printf("%dx%d ours PNG %s: %zu bytes (%.2fx ImageMagick), encode %.3f s (%.2fx), decode %.3f s\n", w, h, m.name,
               size, imBytes.empty() ? 0.0 : (double)size / imBytes.size(), enc, imTime > 0 ? enc / imTime : 0.0, dec);
    }
}

// GIF: an 8-bit reduction (standard palette) with each code stream, and the
// true-colour grid writer, beside ImageMagick's GIF writer on the same
// 8-bit pixels and its reduction of the 24-bit picture.
void RunGif(const std::string& dir, int w, int h) {
    CRaster img(w, h, 24);
    Picture(&img);
    CRaster pal(img, true);
    pal.DecreaseBpp(8, false);
    CRasterGIF ref;
    ref.MakeAlias(&pal);
    CRasterMemFile src;
    src.Open();
    ref.EncodeGif(&src);
    std::string in = PathJoin(dir, "src8.gif"), im = PathJoin(dir, "im.gif");
    WriteFileBytes(in, std::string((char*)src.GetBuffer(), (size_t)src.Size()));
    double readOnly = PeerSeconds(dir, "convert " + UnixPathOf(in) + " null:");
    double imTime = PeerSeconds(dir, "convert " + UnixPathOf(in) + " " + UnixPathOf(im)) - readOnly;
    std::string imBytes;
    ReadFileBytes(im, &imBytes);
    printf("%dx%d ImageMagick GIF (8-bit): %zu bytes, encode %.3f s\n", w, h, imBytes.size(), imTime);
    struct {
        const char* name;
        CRaster* source;
        uint32_t option;
    } modes[] = {{"8-bit LZW", &pal, 0}, {"8-bit plain", &pal, 1}, {"8-bit runs", &pal, 2}, {"true colour", &img, 0}};
    for (auto& m : modes) {
        m.source->SetFormatOption(m.option, kFormatGif);
        CodecTiming t;
        if (!TimeCodec(m.source, kFormatGif, 2, &t))
            return;
        size_t size = t.size;
        double enc = t.encode, dec = t.decode;
        printf("%dx%d ours GIF %s: %zu bytes (%.2fx ImageMagick), encode %.3f s (%.2fx), decode %.3f s\n", w, h, m.name,
               size, imBytes.empty() ? 0.0 : (double)size / imBytes.size(), enc, imTime > 0 ? enc / imTime : 0.0, dec);
    }
}

// GIF frames that restore what was under them (disposal 3) beside the same
// file with disposal 1, every frame kept: 20 empty frames of an 8-bit
// 4096 x 2160 screen. Restoring should cost about what keeping costs.
void RunGifRestore() {
    const int w = 4096, h = 2160, frames = 20;
    double best[2] = {1e9, 1e9};
    for (int k = 0; k < 2; k++) {
        const BYTE disposal = k ? 3 : 1;
        std::string gif = "GIF89a";
        gif += {(char)(w & 0xFF), (char)(w >> 8), (char)(h & 0xFF), (char)(h >> 8), (char)0x87, 0, 0};
        gif += std::string(768, '\0');  // 256 colours: an 8-bit screen
        for (int i = 0; i < frames; i++) {
            gif += {'!', (char)0xF9, 4, (char)(disposal << 2), 0, 0, 0, 0};
            gif += {',', 0, 0, 0, 0, (char)(w & 0xFF), (char)(w >> 8), (char)(h & 0xFF), (char)(h >> 8), 0};
            gif += {8, 3, 0, 3, 2, 0};  // a clear code and the end
        }
        gif += ';';
        for (int run = 0; run < 3; run++) {
            CRasterMemFile in((unsigned char*)&gif[0], gif.size());
            CRasterGIF dec;
            dec.SetRetrieveAllFrames(true);
            auto t0 = std::chrono::steady_clock::now();
            bool ok = dec.DecodeGif(&in);
            double t = Since(t0);
            if (!ok || dec.GetFramesHeld() != frames) {
                printf("GIF restore frames: the file did not decode (%s)\n", dec.GetLastError());
                return;
            }
            best[k] = t < best[k] ? t : best[k];
        }
    }
    printf("%dx%d GIF, %d frames all kept: disposal 3 %.3f s, %.2fx disposal 1's %.3f s\n", w, h, frames, best[1],
           best[0] > 0 ? best[1] / best[0] : 0.0, best[0]);
}

// A format beside its peer: our best encode and decode time and size; the
// peer's file size and its command's time less that of reading its input.
void ReportBeside(const std::string& dir, const char* name, CRaster* img, uint32_t formatId, const std::string& peer,
                  const std::string& peerInput, const std::string& peerOutput) {
    double readOnly = PeerSeconds(dir, "cat " + UnixPathOf(peerInput));
    double peerTime = PeerSeconds(dir, peer) - readOnly;
    std::string peerBytes;
    ReadFileBytes(peerOutput, &peerBytes);
    CodecTiming t;
    if (!TimeCodec(img, formatId, 2, &t))
        return;
    printf("%dx%d %s: ours %zu bytes (%.2fx the peer's %zu), encode %.3f s (%.2fx the peer's %.3f s), decode %.3f s\n",
           img->Width(), img->Height(), name, t.size, peerBytes.empty() ? 0.0 : (double)t.size / peerBytes.size(),
           peerBytes.size(), t.encode, peerTime > 0 ? t.encode / peerTime : 0.0, peerTime, t.decode);
}

// TIFF as the application saves it (option 0: JPEG at 24 bits), LZW with
// predictor and G4 at 1 bit beside tiffcp on the same pixels; ICO at 255
// and 256 pixels, TGA and PCX beside ImageMagick's writers.
void RunOtherFormats(const std::string& dir, int w, int h) {
    CRaster img(w, h, 24);
    Paint(&img);
    img.SetJpegQuality(90);
    std::string src = WritePpm(dir, img);
    CRaster mono(img, true);
    mono.DecreaseBpp(1, false);
    std::string plain = PathJoin(dir, "plain.tif"), plain1 = PathJoin(dir, "plain1.tif");
    std::string out = PathJoin(dir, "peer.tif");
    img.SetFormatOption(1, kFormatTif);
    mono.SetFormatOption(1, kFormatTif);
    if (!img.Save(plain.c_str(), kFormatTif) || !mono.Save(plain1.c_str(), kFormatTif))
        return;
    struct {
        const char* name;
        CRaster* image;
        uint32_t option;
        const char* tiffcp;
        const std::string* input;
    } tiffs[] = {{"TIFF default (JPEG)", &img, 0, "-c jpeg:90", &plain},
                 {"TIFF LZW predictor", &img, 5, "-c lzw:2", &plain},
                 {"TIFF G4 1-bit", &mono, 4, "-c g4", &plain1}};
    for (auto& m : tiffs) {
        m.image->SetFormatOption(m.option, kFormatTif);
        ReportBeside(dir, m.name, m.image, kFormatTif,
                     std::string("tiffcp ") + m.tiffcp + " " + UnixPathOf(*m.input) + " " + UnixPathOf(out), *m.input,
                     out);
    }
    for (int side : {255, 256}) {
        CRaster icon(0);
        if (!img.Crop(0, 0, side, side, &icon))
            return;
        std::string in = WritePpm(dir, icon), ico = PathJoin(dir, "peer.ico");
        ReportBeside(dir, side == 255 ? "ICO 255 px" : "ICO 256 px", &icon, kFormatIco,
                     "convert " + UnixPathOf(in) + " " + UnixPathOf(ico), in, ico);
    }
    src = WritePpm(dir, img);  // the whole picture again
    std::string tga = PathJoin(dir, "peer.tga"), pcx = PathJoin(dir, "peer.pcx");
    ReportBeside(dir, "TGA", &img, kFormatTga, "convert " + UnixPathOf(src) + " " + UnixPathOf(tga), src, tga);
    ReportBeside(dir, "PCX", &img, kFormatPcx, "convert " + UnixPathOf(src) + " " + UnixPathOf(pcx), src, pcx);
}

}  // namespace

// JPEG at quality 90: the application's option (baseline tables), then
// progressive and optimised, beside cjpeg with the same switches and djpeg
// decoding the same file; cjpeg's time (it writes a file) less that of
// reading the input beside ours saving a file. djpeg's time includes its
// process start and reading the file, which ours does not.
void RunJpeg(const std::string& dir, int w, int h) {
    CRaster img(w, h, 24);
    Picture(&img);
    std::string src = WritePpm(dir, img), theirs = PathJoin(dir, "cjpeg.jpg");
    double readOnly = PeerSeconds(dir, "cat " + UnixPathOf(src));
    struct {
        const char* name;
        const char* key;
        uint32_t option;
        const char* cjpeg;
    } modes[] = {{"option 1", "baseline", kJpgBaseline, "-quality 90 -baseline"},
                 {"progressive", "progressive", kJpgBaseline | kJpgProgressive, "-quality 90 -baseline -progressive"},
                 {"optimised", "optimised", kJpgBaseline | kJpgOptimize, "-quality 90 -baseline -optimize"}};
    for (auto& m : modes) {
        // cjpeg as scripts/bench.sh timed it outside Wine on the same
        // screen, else from here.
        double cjTime = 0, djTime = 0;
        long cjSize = 0, unused = 0;
        std::string cjBytes;
        if (PeerFigure((std::string("cjpeg-") + m.key).c_str(), &cjTime, &cjSize) &&
            PeerFigure((std::string("djpeg-") + m.key).c_str(), &djTime, &unused)) {
            cjBytes.assign((size_t)cjSize, '\0');
        } else {
            cjTime = PeerSeconds(dir, std::string("cjpeg ") + m.cjpeg + " -outfile " + UnixPathOf(theirs) + " " +
                                          UnixPathOf(src)) -
                     readOnly;
            djTime = PeerSeconds(dir, "djpeg -ppm " + UnixPathOf(theirs));
            ReadFileBytes(theirs, &cjBytes);
        }
        img.SetFormatOption(m.option, kFormatJpg);
        img.SetJpegQuality(90);
        // Best of five, as the peers; and into a file, as cjpeg's figure
        // includes writing its file: that is the time compared.
        CodecTiming t;
        if (!TimeCodec(&img, kFormatJpg, 5, &t))
            return;
        std::string file = PathJoin(dir, "ours.jpg"), written;
        double toFile = 1e9;
        for (int i = 0; i < 5; i++) {
            auto t0 = std::chrono::steady_clock::now();
            bool ok = img.Save(file.c_str(), kFormatJpg);
            double s = Since(t0);
            if (!ok) {
                printf("save failed: %s\n", img.GetLastError());
                return;
            }
            toFile = s < toFile ? s : toFile;
        }
        ReadFileBytes(file, &written);
        size_t size = t.size;
        double dec = t.decode;
        printf(
            "%dx%d JPEG %s: ours %zu bytes (%.2fx cjpeg's %zu), encode to a file %.3f s (%.2fx cjpeg's %.3f s; "
            "to memory %.3f s), decode %.3f s (%.2fx djpeg's %.3f s)%s\n",
            w, h, m.name, size, cjBytes.empty() ? 0.0 : (double)size / cjBytes.size(), cjBytes.size(), toFile,
            cjTime > 0 ? toFile / cjTime : 0.0, cjTime, t.encode, dec, djTime > 0 ? dec / djTime : 0.0, djTime,
            written.size() == size ? "" : " (the file differs in size)");
        if (m.option == kJpgBaseline)
            printf("summary: %dx%d: JPEG option 1 to a file %.1f ms, %.2fx cjpeg's %.1f ms\n", w, h, 1000 * toFile,
                   cjTime > 0 ? toFile / cjTime : 0.0, 1000 * cjTime);
    }
}

int main() {
    std::string dir = MakeTestDir("codec_bench");
    if (BenchScreen(&gScreen, &gScreenWidth, &gScreenHeight)) {
        printf("on the realistic screen, %d x %d\n", gScreenWidth, gScreenHeight);
        Run(dir, gScreenWidth, gScreenHeight);
        RunGif(dir, gScreenWidth, gScreenHeight);
        RunJpeg(dir, gScreenWidth, gScreenHeight);
        return 0;
    }
    Run(dir, 1920, 1080);
    Run(dir, 3840, 2160);
    RunGif(dir, 1920, 1080);
    RunGif(dir, 3840, 2160);
    RunGifRestore();
    RunJpeg(dir, 1920, 1080);
    RunJpeg(dir, 3840, 2160);
    RunOtherFormats(dir, 3840, 2160);
    return 0;
}
