#pragma once
// Little-endian loads and stores of 1 to 8 bytes over a byte buffer: the
// one way a binary field is taken from or put into a file's bytes.

#include <cstdint>

inline void StoreLe(unsigned char* out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

inline uint64_t LoadLe(const unsigned char* in, int bytes) {
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= static_cast<uint64_t>(in[i]) << (8 * i);
  return value;
}
