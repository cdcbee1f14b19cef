// The differential run's decoder side (scripts/fuzz.sh --diff): decodes
// files with one of our decoders and writes each picture as a top-down
// binary PPM, for a comparison with PIL.
//   raster_dump png|bmp|gif|jpeg|tiff|ico|tga|pcx OUTDIR FILE...
// Prints one line a file: "NAME ok WIDTH HEIGHT" (OUTDIR/NAME.ppm written)
// or "NAME refused TEXT".
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "image/raster_bmp.h"
#include "image/raster_file.h"
#include "image/raster_gif.h"
#include "image/raster_ico.h"
#include "image/raster_jpeg.h"
#include "image/raster_pcx.h"
#include "image/raster_png.h"
#include "image/raster_tga.h"
#include "image/raster_tiff.h"

static bool Decode(const char* format, CRasterFile* f, CRaster** out) {
    if (!strcmp(format, "png")) {
        CRasterPNG* img = new CRasterPNG;
        *out = img;
        return img->DecodePng(f);
    }
    if (!strcmp(format, "bmp")) {
        CRasterBMP* img = new CRasterBMP;
        *out = img;
        return img->DecodeBmp(f);
    }
    if (!strcmp(format, "gif")) {
        CRasterGIF* img = new CRasterGIF;
        *out = img;
        return img->DecodeGif(f);
    }
    if (!strcmp(format, "tiff")) {
        CRasterTIF* img = new CRasterTIF;
        *out = img;
        return img->DecodeTif(f);
    }
    if (!strcmp(format, "ico")) {
        CRasterICO* img = new CRasterICO;
        *out = img;
        return img->DecodeIco(f);
    }
    if (!strcmp(format, "tga")) {
        CRasterTGA* img = new CRasterTGA;
        *out = img;
        return img->DecodeTga(f);
    }
    if (!strcmp(format, "pcx")) {
        CRasterPCX* img = new CRasterPCX;
        *out = img;
        return img->DecodePcx(f);
    }
    CRasterJPG* img = new CRasterJPG;
    *out = img;
    return img->DecodeJpg(f);
}

static bool WritePpm(const std::string& path, const CRaster& img) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const int w = img.Width(), h = img.Height();
    fprintf(f, "P6\n%d %d\n255\n", w, h);
    std::vector<unsigned char> row((size_t)w * 3);
    bool ok = true;
    for (int y = 0; y < h && ok; y++) {
        for (int x = 0; x < w; x++) {
            RGBQUAD c = img.GetPixelColor(x, h - 1 - y);  // row 0 is the bottom row
            row[3 * x] = c.rgbRed, row[3 * x + 1] = c.rgbGreen, row[3 * x + 2] = c.rgbBlue;
        }
        ok = fwrite(row.data(), 1, row.size(), f) == row.size();
    }
    return fclose(f) == 0 && ok;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: raster_dump png|bmp|gif|jpeg|tiff|ico|tga|pcx OUTDIR FILE...\n");
        return 2;
    }
    for (int i = 3; i < argc; i++) {
        const char* slash = strrchr(argv[i], '/');
        std::string name = slash ? slash + 1 : argv[i];
        std::vector<unsigned char> bytes;
        if (FILE* f = fopen(argv[i], "rb")) {
            unsigned char buf[65536];
            size_t n;
            while ((n = fread(buf, 1, sizeof buf, f)) > 0)
                bytes.insert(bytes.end(), buf, buf + n);
            fclose(f);
        }
        CRasterMemFile mem(bytes.data(), bytes.size());
        CRaster* img = nullptr;
        bool ok = Decode(argv[1], &mem, &img) && img->IsValid();
        if (ok && WritePpm(std::string(argv[2]) + "/" + name + ".ppm", *img))
            printf("%s ok %d %d\n", name.c_str(), img->Width(), img->Height());
        else
            printf("%s refused %s\n", name.c_str(), img->GetLastError());
        delete img;
    }
    return 0;
}
