// Number helpers: small domains walked exhaustively against a plain
// reference, and the limits of int.
#include "base/num_util.h"

#include <gtest/gtest.h>
#include <limits.h>

#include <algorithm>

static int ReferenceClamp(int value, int a, int b) {
    return std::min(std::max(value, std::min(a, b)), std::max(a, b));
}

static uint32_t ReferenceReverse(uint32_t value, int bitCount) {
    uint32_t r = 0;
    for (int i = 0; i < bitCount; i++)
        if (value & (1u << i))
            r |= 1u << (bitCount - 1 - i);
    return r;
}

TEST(NumUtil, ClampIntEveryOrderOfBoundsAgainstAReference) {
    // -6..6 for all three, so every value lies below, inside, on and above
    // both a normal and an inverted range, and empty ranges (a == b) too.
    for (int a = -6; a <= 6; a++)
        for (int b = -6; b <= 6; b++)
            for (int v = -6; v <= 6; v++) {
                int got = ClampInt(v, a, b);
                if (got != ReferenceClamp(v, a, b))
                    ADD_FAILURE() << "ClampInt(" << v << ", " << a << ", " << b << ") = " << got;
                EXPECT_EQ(ClampInt(v, a, b), ClampInt(v, b, a));  // the order of the bounds does not matter
                int w = v;
                ClampValue(&w, a, b);
                EXPECT_EQ(w, got);
            }
}

TEST(NumUtil, ClampIntAtTheLimitsOfInt) {
    const int edges[] = {INT_MIN, INT_MIN + 1, -1, 0, 1, INT_MAX - 1, INT_MAX};
    for (int a : edges)
        for (int b : edges)
            for (int v : edges) {
                int got = ClampInt(v, a, b);
                if (got != ReferenceClamp(v, a, b))
                    ADD_FAILURE() << "ClampInt(" << v << ", " << a << ", " << b << ") = " << got;
            }
    EXPECT_EQ(ClampInt(INT_MIN, INT_MAX, INT_MIN), INT_MIN);  // the whole range, inverted
    EXPECT_EQ(ClampInt(INT_MAX, INT_MAX, INT_MIN), INT_MAX);
    EXPECT_EQ(ClampInt(INT_MIN, INT_MAX, INT_MAX), INT_MAX);
    EXPECT_EQ(ClampInt(INT_MAX, INT_MIN, INT_MIN), INT_MIN);
    EXPECT_EQ(ClampInt(0, 10, -10), 0);
    EXPECT_EQ(ClampInt(-11, 10, -10), -10);
    EXPECT_EQ(ClampInt(11, 10, -10), 10);
}

TEST(NumUtil, ReverseBitsEveryWidthAgainstAReference) {
    // Each width 0..32 with values that have bits above the width set: those
    // are ignored.
    const uint32_t values[] = {0u,          1u,          2u,          0x5u,        0x80000000u, 0xFFFFFFFFu,
                               0x12345678u, 0xDEADBEEFu, 0x0000FFFFu, 0xFFFF0000u, 0xAAAAAAAAu, 0x7FFFFFFFu};
    for (int width = 0; width <= 32; width++)
        for (uint32_t v : values) {
            uint32_t got = ReverseBits(v, width);
            if (got != ReferenceReverse(v, width))
                ADD_FAILURE() << "ReverseBits(" << v << ", " << width << ") = " << got;
            if (width < 32 && (got >> width) != 0)
                ADD_FAILURE() << "bits above width " << width << " for " << v;
        }
    // Every 12-bit value, reversed twice, is itself (the Huffman code widths).
    for (uint32_t v = 0; v < 4096; v++)
        if (ReverseBits(ReverseBits(v, 12), 12) != v)
            ADD_FAILURE() << v;
    EXPECT_EQ(ReverseBits(0xFFFFFFFFu, 0), 0u);
    EXPECT_EQ(ReverseBits(1u, 32), 0x80000000u);
    EXPECT_EQ(ReverseBits(0x00000001u, 33), 0x80000000u);  // past 32 bits: as 32
    EXPECT_EQ(ReverseBits(0xFFu, -1), 0u);                 // a negative width: no bits
}
