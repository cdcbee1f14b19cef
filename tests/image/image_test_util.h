// Helpers of the image tests: RGB pictures (top-down), PNM reading and
// writing, peer decoding through tests/image/bmp_peer.py, and turning our
// images into the same RGB form.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "image/raster.h"

struct Rgb {
    int w = 0, h = 0;
    std::vector<uint8_t> px;  // top-down rows of r, g, b
    const uint8_t* At(int x, int y) const { return &px[3 * ((size_t)y * w + x)]; }
};

// A screenshot-like picture: flat panels, a gradient, text-like strokes
// and noise, so that every palette reduction and transform has work.
Rgb MakePicture(int w, int h, unsigned seed);
bool WritePpm(const std::string& path, const Rgb& rgb);
// P4, P5 and P6 with maxval 255.
bool ReadPnm(const std::string& path, Rgb* out);
// Our image as top-down RGB.
Rgb RgbOf(const CRaster& img);
// Builds a 24-bit image from top-down RGB.
bool ImageOf(const Rgb& rgb, CRaster* img);

std::string PeerScript();
std::string Quote(const std::string& s);
// Runs the peer script (arguments after the script name, Linux paths);
// true on exit status 0; output in *out when given.
bool RunPeerScript(const std::string& dir, const std::string& args, std::string* out = nullptr);
// Runs a Python program (the text of a script, with PIL at hand) in dir;
// true on exit status 0; its output in *out.
bool RunPython(const std::string& dir, const std::string& script, std::string* out);
// Decodes file (a test path) with a peer tool (pil, im, netpbm) into RGB.
bool PeerDecode(const std::string& dir, const std::string& tool, const std::string& file, Rgb* out);
// ImageMagick's convert with arguments; file names are test paths that
// the caller has made Linux paths of.
bool Convert(const std::string& dir, const std::string& args, std::string* out = nullptr);
std::string Lx(const std::string& path);  // Linux path, quoted

// Number of pixels that differ; first difference in *where.
int CountDiff(const Rgb& a, const Rgb& b, std::string* where = nullptr, int shift = 0);
