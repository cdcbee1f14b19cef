// Image benchmark: on a 3840 x 2160 screenshot-like picture, BMP encode and
// decode, quantizing to 256 and 16 colours, reducing to 8/4/1 bits with and
// without diffusion, and grey, beside ImageMagick's convert on the same
// input in the same run. ImageMagick's times are its command's wall time
// less that of reading the input and writing nothing (its own start-up and
// input), so both sides count only the operation.
#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <functional>
#include <string>

#include "image/image.h"
#include "image/raster_file.h"
#include "peer_figures.h"
#include "support/test_support.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Best of runs; setup runs before each timed call and is not counted.
double OurSeconds(int runs, const std::function<void()>& setup, const std::function<void()>& op) {
    double best = 1e9;
    for (int i = 0; i < runs; i++) {
        setup();
        auto t0 = std::chrono::steady_clock::now();
        op();
        double t = Seconds(t0);
        best = t < best ? t : best;
    }
    return best;
}

// Title bars, flat panels, text-like strokes, a gradient and a photo strip.
void MakeScreenshot(CRaster* img, int w, int h) {
    img->Create(w, h, 24, 0);
    uint32_t s = 12345;
    for (int y = 0; y < h; y++) {
        BYTE* row = img->GetRowPointer(h - 1 - y);
        for (int x = 0; x < w; x++) {
            BYTE r, g, b;
            int win = (x / 960 + y / 540) % 3;
            if (y % 540 < 30) {
                r = (BYTE)(x * 255 / w), g = 60, b = (BYTE)(200 - x * 150 / w);
            } else if (x % 960 < 200) {
                r = 236, g = 233, b = 216;
            } else if (win == 2 && y % 540 > 300) {
                s ^= s << 13, s ^= s >> 17, s ^= s << 5;
                r = (BYTE)(((x * 3) & 0xFF) ^ (s & 15)), g = (BYTE)((y + (s >> 8)) & 0xFF), b = (BYTE)(x + y);
            } else {
                bool ink = (x % 9 < 2 && y % 14 < 9) || ((x / 3 + y / 2) % 37 == 0);
                r = ink ? 20 : 255, g = ink ? 30 : 255, b = ink ? 90 : 255;
            }
            row[3 * x] = b, row[3 * x + 1] = g, row[3 * x + 2] = r;
        }
    }
}

bool WritePalettePpm(const std::string& path, int bpp) {
    const RGBQUAD* p = CRaster::StandardPalette(bpp);
    int n = 1 << bpp;
    std::string s = "P6\n" + std::to_string(n) + " 1\n255\n";
    for (int i = 0; i < n; i++) {
        s += (char)p[i].rgbRed;
        s += (char)p[i].rgbGreen;
        s += (char)p[i].rgbBlue;
    }
    return WriteFileBytes(path, s);
}

}  // namespace

int main() {
    const int runs = 3, w = 3840, h = 2160;
    std::string dir = MakeTestDir("image-bench");
    CImage src;
    MakeScreenshot(&src, w, h);
    std::string bmpPath = PathJoin(dir, "shot.bmp");
    if (!src.Save(bmpPath.c_str(), kFormatBmp)) {
        fprintf(stderr, "save failed: %s\n", src.GetLastError());
        return 1;
    }
    for (int bpp : {1, 4, 8})
        WritePalettePpm(PathJoin(dir, "pal" + std::to_string(bpp) + ".ppm"), bpp);
    const std::string cv = "/usr/bin/convert ";
    // ImageMagick's fixed costs: start-up with reading its own cache file,
    // and start-up alone (for decoding).
    if (RunPeer(dir, cv + "shot.bmp shot.mpc") != 0) {
        fprintf(stderr, "ImageMagick is missing\n");
        return 1;
    }
    double imRead = PeerSeconds(dir, cv + "shot.mpc null:", runs);
    double imStart = PeerSeconds(dir, cv + "-size 1x1 xc:white null:", runs);

    printf("%-30s %10s %12s %8s\n", "operation (3840x2160)", "ours ms", "ImageMagick", "ratio");
    auto row = [&](const char* name, double ours, double im) {
        printf("%-30s %10.1f %12.1f %8.2f\n", name, ours * 1000, im * 1000, im > 0 ? ours / im : 0.0);
        fflush(stdout);
    };
    CImage work;
    auto fresh = [&]() { work.Copy(src, true); };
    auto none = []() {};

    {
        CRasterMemFile mem;
        double t = OurSeconds(
            runs,
            [&]() {
                mem.Close();
                mem.Open();
            },
            [&]() { src.Encode(&mem, kFormatBmp); });
        row("BMP encode", t, PeerSeconds(dir, cv + "shot.mpc BMP3:out.bmp", runs) - imRead);
    }
    {
        std::string bytes;
        ReadFileBytes(bmpPath, &bytes);
        double t = OurSeconds(runs, none, [&]() {
            CRasterMemFile mem((unsigned char*)bytes.data(), bytes.size());
            CRaster img(0);
            img.Decode(&mem, kFormatBmp);
        });
        row("BMP decode", t, PeerSeconds(dir, cv + "shot.bmp null:", runs) - imStart);
    }
    for (int n : {256, 16}) {
        double t = OurSeconds(runs, fresh, [&]() {
            RGBQUAD* pal = work.MakeQuantizedPalette(n);
            work.DecreaseBpp(n == 256 ? 8 : 4, false, pal, n);
            free(pal);
        });
        row(n == 256 ? "quantize 256 colours" : "quantize 16 colours", t,
            PeerSeconds(dir, cv + "shot.mpc +dither -colors " + std::to_string(n) + " null:", runs) - imRead);
    }
    for (int bpp : {8, 4, 1})
        for (bool diffuse : {false, true}) {
            double t = OurSeconds(runs, fresh, [&]() { work.DecreaseBpp(bpp, diffuse); });
            std::string name = "reduce to " + std::to_string(bpp) + " bit" + (diffuse ? ", diffusion" : "");
            std::string op = diffuse ? "-dither FloydSteinberg" : "+dither";
            row(name.c_str(), t,
                PeerSeconds(dir, cv + "shot.mpc " + op + " -remap pal" + std::to_string(bpp) + ".ppm null:", runs) -
                    imRead);
        }
    {
        double t = OurSeconds(runs, fresh, [&]() { work.GrayScale(); });
        row("grey", t, PeerSeconds(dir, cv + "shot.mpc -grayscale Rec601Luma null:", runs) - imRead);
    }
    return 0;
}
