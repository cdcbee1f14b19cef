// Small number helpers shared by the framework and the image library.
#pragma once
#include <stdint.h>

// Puts *value into the range between a and b (either order).
void ClampValue(int* value, int a, int b);
// The low bitCount bits of value in reverse order (bitCount 0..32).
uint32_t ReverseBits(uint32_t value, int bitCount);
