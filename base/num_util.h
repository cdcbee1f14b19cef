// Small number helpers shared by every layer.
#pragma once
#include <stdint.h>

// The value brought into the range between a and b (either order).
int ClampInt(int value, int a, int b);
// Puts *value into the range between a and b (either order).
void ClampValue(int* value, int a, int b);
// The low bitCount bits of value in reverse order (bitCount 0..32; more
// counts as 32, a negative count as 0).
uint32_t ReverseBits(uint32_t value, int bitCount);
