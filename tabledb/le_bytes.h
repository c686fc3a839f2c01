#pragma once
// Little-endian loads and stores over byte buffers, for the binary data
// files. Every value is assembled byte by byte, so the buffer needs no
// alignment and no record is ever overlaid by a struct.

#include <cstdint>
#include <cstring>

inline uint16_t LoadLe16(const unsigned char* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t LoadLe32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline uint64_t LoadLe64(const unsigned char* p) {
  return static_cast<uint64_t>(LoadLe32(p)) | (static_cast<uint64_t>(LoadLe32(p + 4)) << 32);
}

inline int16_t LoadLeI16(const unsigned char* p) { return static_cast<int16_t>(LoadLe16(p)); }
inline int32_t LoadLeI32(const unsigned char* p) { return static_cast<int32_t>(LoadLe32(p)); }

inline double LoadLeDouble(const unsigned char* p) {
  const uint64_t bits = LoadLe64(p);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

inline void StoreLe16(unsigned char* p, uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}

inline void StoreLe32(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

inline void StoreLe64(unsigned char* p, uint64_t v) {
  StoreLe32(p, static_cast<uint32_t>(v));
  StoreLe32(p + 4, static_cast<uint32_t>(v >> 32));
}

inline void StoreLeI16(unsigned char* p, int16_t v) { StoreLe16(p, static_cast<uint16_t>(v)); }
inline void StoreLeI32(unsigned char* p, int32_t v) { StoreLe32(p, static_cast<uint32_t>(v)); }

inline void StoreLeDouble(unsigned char* p, double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  StoreLe64(p, bits);
}
