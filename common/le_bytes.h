#pragma once
// Little-endian loads and stores of 1 to 8 bytes over a byte buffer: the
// one way a binary field is taken from or put into a file's bytes.

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

inline void StoreLe(unsigned char* out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

inline uint64_t LoadLe(const unsigned char* in, int bytes) {
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= static_cast<uint64_t>(in[i]) << (8 * i);
  return value;
}

// A value of type T (an integer type, float or double) in its sizeof(T)
// little-endian bytes; float and double travel as their IEEE 754 bits.
template <typename T>
void StoreLeValue(unsigned char* out, T value) {
  if constexpr (std::is_floating_point_v<T>) {
    std::conditional_t<sizeof(T) == 8, uint64_t, uint32_t> bits;
    std::memcpy(&bits, &value, sizeof bits);
    StoreLe(out, bits, sizeof(T));
  } else {
    StoreLe(out, static_cast<std::make_unsigned_t<T>>(value), sizeof(T));
  }
}

template <typename T>
T LoadLeValue(const unsigned char* in) {
  if constexpr (std::endian::native == std::endian::little) {
    // The bytes are the value's own: one load.
    T value;
    std::memcpy(&value, in, sizeof value);
    return value;
  } else if constexpr (std::is_floating_point_v<T>) {
    const auto bits =
        static_cast<std::conditional_t<sizeof(T) == 8, uint64_t, uint32_t>>(LoadLe(in, sizeof(T)));
    T value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  } else {
    return static_cast<T>(static_cast<std::make_unsigned_t<T>>(LoadLe(in, sizeof(T))));
  }
}
