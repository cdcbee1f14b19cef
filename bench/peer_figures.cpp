#include "peer_figures.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "support/test_support.h"

bool PeerFigure(const char* key, double* seconds, long* bytes) {
    const char* path = getenv("VP_PEER_FIGURES");
    std::string text;
    if (!path || !ReadFileBytes(PathOfUnix(path), &text))
        return false;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        char name[64];
        double s = 0;
        long b = 0;
        if (sscanf(line.c_str(), "%63s %lf %ld", name, &s, &b) == 3 && strcmp(name, key) == 0) {
            *seconds = s;
            *bytes = b;
            return s > 0;
        }
    }
    return false;
}

bool BenchScreen(std::string* rgb, int* width, int* height) {
    const char* path = getenv("VP_BENCH_SCREEN");
    std::string bytes;
    if (!path || !ReadFileBytes(PathOfUnix(path), &bytes))
        return false;
    int w = 0, h = 0, maxval = 0, used = 0;
    if (sscanf(bytes.c_str(), "P6 %d %d %d%n", &w, &h, &maxval, &used) != 3 || maxval != 255 || w <= 0 || h <= 0)
        return false;
    size_t n = (size_t)w * h * 3, start = (size_t)used + 1;
    if (bytes.size() < start + n)
        return false;
    *rgb = bytes.substr(start, n);
    *width = w;
    *height = h;
    return true;
}

double PeerSeconds(const std::string& dir, const std::string& command, int runs) {
    double best = -1;
    for (int i = 0; i < runs; i++) {
        std::string out;
        if (RunPeer(dir, "s=$(date +%s%N); " + command + " >/dev/null 2>&1 || exit 1; e=$(date +%s%N); echo $((e - s))",
                    &out) != 0) {
            fprintf(stderr, "peer failed: %s\n", command.c_str());
            return -1;
        }
        double t = atof(out.c_str()) / 1e9;
        best = best < 0 || t < best ? t : best;
    }
    return best;
}
