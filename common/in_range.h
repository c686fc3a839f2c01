#pragma once
// Range tests: 1 when lower <= value <= upper, else 0.

#include <cstdint>

// Signed 32-bit comparison.
int IsInRange(int32_t value, int32_t lower, int32_t upper);
// Signed 8-bit comparison of the low bytes of the three arguments
// (0x80 is -128).
int IsInRangeChar(int32_t value, int32_t lower, int32_t upper);
// Unsigned 32-bit comparison.
int IsInRangeUnsigned(uint32_t value, uint32_t lower, uint32_t upper);
// The larger of two signed 32-bit integers.
int32_t MaxInt(int32_t a, int32_t b);
// Signed 16-bit comparison of the low 16 bits of the three arguments
// (0x8000 is -32768).
int IsInRangeShort(int32_t value, int32_t lower, int32_t upper);
