#pragma once
// Helpers of the change-history tests: hex literals, little-endian fields
// and full-width numbers written out independently of the library.

#include <cstdint>
#include <string>

namespace changetest {

// "51 41 | 44" -> bytes; blanks and bars are ignored.
inline std::string Hex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size();) {
    if (hex[i] == ' ' || hex[i] == '|') {
      ++i;
      continue;
    }
    out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    i += 2;
  }
  return out;
}

inline uint32_t Le32(const std::string& bytes, std::size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

inline void PutLe32(std::string* bytes, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = static_cast<char>(v >> (8 * i));
}

// The decimal digits of n in full width.
inline std::string Fw(uint32_t n) {
  static const char* const kDigits[] = {"０", "１", "２", "３", "４", "５", "６", "７", "８", "９"};
  std::string out;
  for (char c : std::to_string(n)) out += kDigits[c - '0'];
  return out;
}

}  // namespace changetest
