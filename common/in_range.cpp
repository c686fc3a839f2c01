#include "common/in_range.h"

int IsInRange(int32_t value, int32_t lower, int32_t upper) {
  return lower <= value && value <= upper ? 1 : 0;
}

int IsInRangeChar(int32_t value, int32_t lower, int32_t upper) {
  const auto v = static_cast<int8_t>(static_cast<uint8_t>(value & 0xFF));
  const auto lo = static_cast<int8_t>(static_cast<uint8_t>(lower & 0xFF));
  const auto hi = static_cast<int8_t>(static_cast<uint8_t>(upper & 0xFF));
  return lo <= v && v <= hi ? 1 : 0;
}

int IsInRangeUnsigned(uint32_t value, uint32_t lower, uint32_t upper) {
  return lower <= value && value <= upper ? 1 : 0;
}

int32_t MaxInt(int32_t a, int32_t b) { return a > b ? a : b; }

int IsInRangeShort(int32_t value, int32_t lower, int32_t upper) {
  const auto v = static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFF));
  const auto lo = static_cast<int16_t>(static_cast<uint16_t>(lower & 0xFFFF));
  const auto hi = static_cast<int16_t>(static_cast<uint16_t>(upper & 0xFFFF));
  return lo <= v && v <= hi ? 1 : 0;
}
