#include "gif_test_util.h"

#include <stdio.h>

#include "image/raster_file.h"
#include "support/test_support.h"

bool GifDecodeBytes(const std::string& bytes, CRasterGIF* img) {
    CRasterMemFile mem((unsigned char*)bytes.data(), bytes.size());
    return img->DecodeGif(&mem);
}

bool GifDecodeFile(const std::string& path, CRasterGIF* img) {
    std::string bytes;
    return ReadFileBytes(path, &bytes) && GifDecodeBytes(bytes, img);
}

bool GifEncodeBytes(CRaster* src, std::string* bytes, uint32_t option, std::string* error) {
    src->SetFormatOption(option, kFormatGif);
    CRasterGIF gif;
    gif.MakeAlias(src);
    CRasterMemFile mem;
    mem.Open();
    bool ok = gif.EncodeGif(&mem);
    if (error)
        *error = gif.GetLastError();
    if (ok)
        bytes->assign((const char*)mem.GetBuffer(), (size_t)mem.Size());
    return ok;
}

bool GifEncodeFile(CRaster* src, const std::string& path, uint32_t option) {
    std::string bytes;
    return GifEncodeBytes(src, &bytes, option) && WriteFileBytes(path, bytes);
}

bool RunGifPeer(const std::string& dir, const std::string& args, std::string* out) {
    std::string script = std::string(VP_SOURCE_DIR) + "/tests/image/gif_peer.py";
    std::string o;
    int rc = RunPeer(dir, "/usr/bin/python3 " + Quote(script) + " " + args + " 2>&1", &o);
    if (out)
        *out = o;
    if (rc != 0)
        fprintf(stderr, "gif peer failed (%d): %s\n%s\n", rc, args.c_str(), o.c_str());
    return rc == 0;
}

bool ReadPeerFrames(const std::string& prefix, int count, std::vector<PeerFrame>* frames) {
    frames->clear();
    for (int i = 0; i < count; i++) {
        PeerFrame f;
        if (!ReadPnm(prefix + std::to_string(i) + ".ppm", &f.rgb) ||
            !ReadPnm(prefix + std::to_string(i) + ".pgm", &f.alpha))
            return false;
        frames->push_back(f);
    }
    return true;
}

bool Reduced(const Rgb& pic, int bpp, CRaster* img) {
    if (!ImageOf(pic, img))
        return false;
    if (bpp == 24)
        return true;
    return img->DecreaseBpp(bpp, false);
}

int CountOpaqueDiff(const Rgb& ours, const PeerFrame& theirs, std::string* where) {
    if (ours.w != theirs.rgb.w || ours.h != theirs.rgb.h)
        return -1;
    int n = 0;
    for (int y = 0; y < ours.h; y++)
        for (int x = 0; x < ours.w; x++) {
            if (theirs.alpha.At(x, y)[0] != 255)
                continue;
            const uint8_t* p = ours.At(x, y);
            const uint8_t* q = theirs.rgb.At(x, y);
            if (p[0] != q[0] || p[1] != q[1] || p[2] != q[2]) {
                if (!n && where) {
                    char t[128];
                    snprintf(t, sizeof(t), "(%d,%d): %d,%d,%d vs %d,%d,%d", x, y, p[0], p[1], p[2], q[0], q[1], q[2]);
                    *where = t;
                }
                n++;
            }
        }
    return n;
}
