// CRC-32 with a table built from the unreflected polynomial 0x04C11DB7:
// each byte is reflected, run through eight steps, and the result reflected.
#include "crc32.h"

#include <string.h>

static uint32_t Reflect(uint32_t v, int bits) {
    uint32_t r = 0;
    for (int i = 0; i < bits; i++, v >>= 1)
        r = (r << 1) | (v & 1);
    return r;
}

static void FillTable(uint32_t* table) {
    for (uint32_t i = 0; i < 256; i++) {
        uint32_t c = Reflect(i, 8) << 24;
        for (int k = 0; k < 8; k++)
            c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
        table[i] = Reflect(c, 32);
    }
}

// Built once; the function-local static makes a first call from two threads safe.
static const uint32_t* CrcTable() {
    static uint32_t table[256];
    static const bool built = (FillTable(table), true);
    (void)built;
    return table;
}

void BuildCrcTable() {
    CrcTable();
}

uint32_t Crc32(const void* bytes, int cb) {
    if (!bytes)
        return 0;
    const unsigned char* p = (const unsigned char*)bytes;
    size_t n = cb < 0 ? strlen((const char*)p) : (size_t)cb;
    const uint32_t* table = CrcTable();
    uint32_t crc = 0xFFFFFFFFu;
    while (n--)
        crc = (crc >> 8) ^ table[(crc ^ *p++) & 0xFF];
    return ~crc;
}
