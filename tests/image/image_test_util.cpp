#include "image_test_util.h"

#include <stdio.h>
#include <string.h>

#include "support/test_support.h"

Rgb MakePicture(int w, int h, unsigned seed) {
    Rgb r;
    r.w = w;
    r.h = h;
    r.px.resize((size_t)w * h * 3);
    uint32_t s = seed * 2654435761u + 1;
    auto rnd = [&]() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    };
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t* p = &r.px[3 * ((size_t)y * w + x)];
            if (y < h / 4) {  // title bar gradient
                p[0] = (uint8_t)(x * 255 / (w > 1 ? w - 1 : 1));
                p[1] = (uint8_t)(40 + y * 100 / (h / 4 + 1));
                p[2] = (uint8_t)(200 - x * 150 / (w > 1 ? w - 1 : 1));
            } else if (x < w / 3) {  // flat panel
                p[0] = 236, p[1] = 233, p[2] = 216;
            } else if (y > 3 * h / 4) {  // noisy photo strip
                uint32_t v = rnd();
                p[0] = (uint8_t)v, p[1] = (uint8_t)(v >> 8), p[2] = (uint8_t)(v >> 16);
            } else {  // white page with dark strokes
                bool ink = ((x * 7 + y * 3) % 11 == 0) || ((x / 3 + y / 2) % 17 == 0);
                p[0] = ink ? 20 : 255, p[1] = ink ? 30 : 255, p[2] = ink ? 90 : 255;
            }
        }
    // A red marker at the top-left and a blue one at the bottom-right show flips.
    for (int y = 0; y < h && y < 2; y++)
        for (int x = 0; x < w && x < 3; x++) {
            uint8_t* p = &r.px[3 * ((size_t)y * w + x)];
            p[0] = 255, p[1] = 0, p[2] = 0;
        }
    uint8_t* q = &r.px[3 * ((size_t)(h - 1) * w + (w - 1))];
    q[0] = 0, q[1] = 0, q[2] = 255;
    return r;
}

bool WritePpm(const std::string& path, const Rgb& rgb) {
    std::string s = "P6\n" + std::to_string(rgb.w) + " " + std::to_string(rgb.h) + "\n255\n";
    s.append((const char*)rgb.px.data(), rgb.px.size());
    return WriteFileBytes(path, s);
}

bool ReadPnm(const std::string& path, Rgb* out) {
    std::string d;
    if (!ReadFileBytes(path, &d) || d.size() < 3 || d[0] != 'P')
        return false;
    char kind = d[1];
    size_t pos = 2;
    int vals[3] = {0, 0, 255};
    int need = kind == '4' ? 2 : 3;
    for (int i = 0; i < need; i++) {
        while (pos < d.size() && (isspace((unsigned char)d[pos]) || d[pos] == '#')) {
            if (d[pos] == '#')
                while (pos < d.size() && d[pos] != '\n')
                    pos++;
            else
                pos++;
        }
        int v = 0;
        while (pos < d.size() && isdigit((unsigned char)d[pos]))
            v = v * 10 + (d[pos++] - '0');
        vals[i] = v;
    }
    pos++;  // one whitespace byte
    if (vals[2] != 255)
        return false;
    out->w = vals[0];
    out->h = vals[1];
    out->px.assign((size_t)out->w * out->h * 3, 0);
    const uint8_t* p = (const uint8_t*)d.data() + pos;
    size_t left = d.size() - pos;
    for (int y = 0; y < out->h; y++)
        for (int x = 0; x < out->w; x++) {
            uint8_t* o = &out->px[3 * ((size_t)y * out->w + x)];
            if (kind == '6') {
                size_t i = 3 * ((size_t)y * out->w + x);
                if (i + 2 >= left)
                    return false;
                o[0] = p[i], o[1] = p[i + 1], o[2] = p[i + 2];
            } else if (kind == '5') {
                size_t i = (size_t)y * out->w + x;
                if (i >= left)
                    return false;
                o[0] = o[1] = o[2] = p[i];
            } else if (kind == '4') {
                size_t rowBytes = ((size_t)out->w + 7) / 8;
                size_t i = y * rowBytes + x / 8;
                if (i >= left)
                    return false;
                uint8_t v = (p[i] >> (7 - x % 8)) & 1 ? 0 : 255;
                o[0] = o[1] = o[2] = v;
            } else {
                return false;
            }
        }
    return true;
}

Rgb RgbOf(const CRaster& img) {
    Rgb r;
    r.w = img.Width();
    r.h = img.Height();
    r.px.resize((size_t)r.w * r.h * 3);
    for (int y = 0; y < r.h; y++)
        for (int x = 0; x < r.w; x++) {
            RGBQUAD c = img.GetPixelColor(x, r.h - 1 - y);
            uint8_t* p = &r.px[3 * ((size_t)y * r.w + x)];
            p[0] = c.rgbRed, p[1] = c.rgbGreen, p[2] = c.rgbBlue;
        }
    return r;
}

bool ImageOf(const Rgb& rgb, CRaster* img) {
    if (!img->Create(rgb.w, rgb.h, 24, 0))
        return false;
    for (int y = 0; y < rgb.h; y++)
        for (int x = 0; x < rgb.w; x++) {
            const uint8_t* p = rgb.At(x, y);
            img->SetPixelColor(x, rgb.h - 1 - y, RGBQUAD{p[2], p[1], p[0], 0});
        }
    return true;
}

std::string PeerScript() {
    return std::string(VP_SOURCE_DIR) + "/tests/image/bmp_peer.py";
}

std::string Quote(const std::string& s) {
    std::string r = "'";
    for (char c : s) {
        if (c == '\'')
            r += "'\\''";
        else
            r += c;
    }
    return r + "'";
}

std::string Lx(const std::string& path) {
    return Quote(UnixPathOf(path));
}

bool RunPython(const std::string& dir, const std::string& script, std::string* out) {
    return WriteFileBytes(PathJoin(dir, "script.py"), script) &&
           RunPeer(dir, "/usr/bin/python3 script.py 2>&1", out) == 0;
}

bool RunPeerScript(const std::string& dir, const std::string& args, std::string* out) {
    std::string o;
    int rc = RunPeer(dir, "/usr/bin/python3 " + Quote(PeerScript()) + " " + args + " 2>&1", &o);
    if (out)
        *out = o;
    if (rc != 0)
        fprintf(stderr, "peer failed (%d): %s\n%s\n", rc, args.c_str(), o.c_str());
    return rc == 0;
}

bool PeerDecode(const std::string& dir, const std::string& tool, const std::string& file, Rgb* out) {
    std::string ppm = file + "." + tool + ".ppm";
    if (!RunPeerScript(dir, "decode " + tool + " " + Lx(file) + " " + Lx(ppm)))
        return false;
    return ReadPnm(ppm, out);
}

bool Convert(const std::string& dir, const std::string& args, std::string* out) {
    std::string o;
    int rc = RunPeer(dir, "/usr/bin/convert " + args + " 2>&1", &o);
    if (out)
        *out = o;
    if (rc != 0)
        fprintf(stderr, "convert failed (%d): %s\n%s\n", rc, args.c_str(), o.c_str());
    return rc == 0;
}

int CountDiff(const Rgb& a, const Rgb& b, std::string* where, int shift) {
    if (a.w != b.w || a.h != b.h) {
        if (where)
            *where = "size " + std::to_string(a.w) + "x" + std::to_string(a.h) + " vs " + std::to_string(b.w) + "x" +
                     std::to_string(b.h);
        return -1;
    }
    int n = 0;
    for (int y = 0; y < a.h; y++)
        for (int x = 0; x < a.w; x++) {
            const uint8_t* p = a.At(x, y);
            const uint8_t* q = b.At(x, y);
            if ((p[0] >> shift) != (q[0] >> shift) || (p[1] >> shift) != (q[1] >> shift) ||
                (p[2] >> shift) != (q[2] >> shift)) {
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
