#include "codec_test_util.h"

#include <gtest/gtest.h>
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

std::string PeerCommand(std::string cmd, const std::string& src, const std::string& out) {
    for (size_t at; (at = cmd.find("$S")) != std::string::npos;)
        cmd.replace(at, 2, src);
    for (size_t at; (at = cmd.find("$O")) != std::string::npos;)
        cmd.replace(at, 2, out);
    return cmd;
}

void ExpectReadsLike(const std::string& file, uint32_t format, int bpp, const Rgb& theirs) {
    CRaster img(0);
    ASSERT_TRUE(img.Load(file.c_str(), format)) << img.GetLastError();
    EXPECT_EQ(img.GetFormatId(), format);
    EXPECT_EQ(img.GetBpp(), bpp);
    std::string where;
    EXPECT_EQ(CountDiff(RgbOf(img), theirs, &where), 0) << where;
    CRaster det(0);
    ASSERT_TRUE(det.Load(file.c_str(), kFormatAny)) << det.GetLastError();
    EXPECT_EQ(det.GetFormatId(), format);
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
