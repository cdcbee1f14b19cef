// Small number helpers.
#include "num_util.h"

int ClampInt(int value, int a, int b) {
    int lo = a < b ? a : b;
    int hi = a < b ? b : a;
    return value < lo ? lo : value > hi ? hi : value;
}

void ClampValue(int* value, int a, int b) {
    *value = ClampInt(*value, a, b);
}

uint32_t ReverseBits(uint32_t value, int bitCount) {
    uint32_t r = 0;
    for (int i = 0; i < bitCount && i < 32; i++) {
        r = (r << 1) | (value & 1);
        value >>= 1;
    }
    return r;
}
