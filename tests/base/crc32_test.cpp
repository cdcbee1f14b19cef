#include "base/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "support/test_support.h"

TEST(Crc32, KnownValues) {
    EXPECT_EQ(Crc32("abc", 3), 0x352441C2u);
    EXPECT_EQ(Crc32("abc", -1), 0x352441C2u);
    EXPECT_EQ(Crc32("123456789", -1), 0xCBF43926u);
    EXPECT_EQ(Crc32("", 0), 0u);
    EXPECT_EQ(Crc32(nullptr, 5), 0u);
}

// zlib's crc32 is an independent implementation of the same standard.
TEST(Crc32, AgreesWithZlibOnEveryLengthAndByte) {
    std::string data = RandomBytes(4096, 3);
    for (size_t n = 0; n <= 300; n++)
        ASSERT_EQ(Crc32(data.data(), (int)n), (uint32_t)crc32(0, (const Bytef*)data.data(), (uInt)n)) << n;
    EXPECT_EQ(Crc32(data.data(), (int)data.size()), (uint32_t)crc32(0, (const Bytef*)data.data(), 4096));
    for (int b = 0; b < 256; b++) {
        unsigned char c = (unsigned char)b;
        ASSERT_EQ(Crc32(&c, 1), (uint32_t)crc32(0, &c, 1)) << b;
    }
}
