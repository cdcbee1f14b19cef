// Little-endian field access for the zip records.
#pragma once
#include <stdint.h>

inline uint16_t ZipGet16(const uint8_t* p) {
    return (uint16_t)(p[0] | (p[1] << 8));
}
inline uint32_t ZipGet32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}
inline uint8_t* ZipPut16(uint8_t* p, uint32_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    return p + 2;
}
inline uint8_t* ZipPut32(uint8_t* p, uint32_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
    return p + 4;
}

constexpr uint32_t kZipSigLocal = 0x04034B50;
constexpr uint32_t kZipSigCentral = 0x02014B50;
constexpr uint32_t kZipSigDescriptor = 0x08074B50;
constexpr uint32_t kZipSigEnd = 0x06054B50;
constexpr int kZipLocalHeaderLen = 30;
constexpr int kZipCentralHeaderLen = 46;
constexpr int kZipEndRecordLen = 22;
constexpr uint16_t kZipExtraTimestampId = 0x5455;  // "UT"
constexpr uint32_t kZipIoBlock = 16384;
constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ull;
