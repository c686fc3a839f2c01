#pragma once
// Big-endian loads and stores of 1 to 8 bytes over a byte buffer, for the
// few data files that keep their integers most significant byte first.

#include <cstdint>

inline void StoreBe(unsigned char* out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out[i] = static_cast<unsigned char>(value >> (8 * (bytes - 1 - i)));
}

inline uint64_t LoadBe(const unsigned char* in, int bytes) {
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | in[i];
  return value;
}
