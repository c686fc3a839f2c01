#pragma once
// Small helpers shared by the layer's sources for walking CP932 text one
// character at a time. Only ever walks forward: a trail byte may look like
// '\\', '|' or an ASCII letter.

#include <cstddef>
#include <string_view>

#include "plat/cp932.h"

namespace plat::detail {

// Bytes of the character starting at s[i]: 2 for a lead byte with a byte
// after it, else 1.
inline std::size_t CharLen(std::string_view s, std::size_t i) {
  return (cp932::IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
}

inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }

inline unsigned char FoldAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// Equal under ASCII case folding of single-byte characters; double-byte
// characters compare exactly.
inline bool EqualNoCaseSjis(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  std::size_t i = 0;
  while (i < a.size()) {
    std::size_t n = CharLen(a, i);
    if (n != CharLen(b, i)) return false;
    if (n == 1) {
      if (FoldAscii(static_cast<unsigned char>(a[i])) !=
          FoldAscii(static_cast<unsigned char>(b[i])))
        return false;
    } else if (a[i] != b[i] || a[i + 1] != b[i + 1]) {
      return false;
    }
    i += n;
  }
  return true;
}

// Equal under ASCII case folding of every byte: right for UTF-8, where
// every byte of a multibyte character is 0x80 or above.
inline bool EqualNoCaseUtf8(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(static_cast<unsigned char>(a[i])) != FoldAscii(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// Offset just after the last separator ('\\' or '/') at a character start;
// 0 when there is none.
inline std::size_t AfterLastSeparator(std::string_view s) {
  std::size_t after = 0;
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t n = CharLen(s, i);
    if (n == 1 && IsSeparator(s[i])) after = i + 1;
    i += n;
  }
  return after;
}

}  // namespace plat::detail
