#include "codec_test_util.h"

#include <stdlib.h>

std::string Le16(uint16_t v) {
    return std::string{(char)(v & 0xFF), (char)(v >> 8)};
}

std::string Le32(uint32_t v) {
    return Le16((uint16_t)v) + Le16((uint16_t)(v >> 16));
}

bool DecodeBytes(const std::string& bytes, uint32_t format, CRaster* img) {
    CRasterMemFile mem((unsigned char*)bytes.data(), bytes.size());
    return img->Decode(&mem, format);
}

bool EncodeBytes(CRaster* img, uint32_t format, std::string* bytes) {
    CRasterMemFile mem;
    if (!mem.Open() || !img->Encode(&mem, format))
        return false;
    bytes->assign((const char*)mem.GetBuffer(), (size_t)mem.Size());
    return true;
}

int MaxChannelDiff(const Rgb& a, const Rgb& b) {
    if (a.w != b.w || a.h != b.h)
        return -1;
    int most = 0;
    for (size_t i = 0; i < a.px.size(); i++) {
        int d = abs((int)a.px[i] - (int)b.px[i]);
        most = d > most ? d : most;
    }
    return most;
}

size_t ShortWriteFile::Write(const void* buffer, size_t size, size_t count) {
    if (size * count > budget_)
        return 0;
    budget_ -= size * count;
    return CRasterMemFile::Write(buffer, size, count);
}
