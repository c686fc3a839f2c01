#include "common/code_parse.h"

#include <cstring>

namespace {

// Value of `count` ASCII digits at p; -1 when one is not a digit.
int64_t ReadDigits(const char* p, int count) {
  int64_t v = 0;
  for (int i = 0; i < count; ++i) {
    const unsigned char c = static_cast<unsigned char>(p[i]);
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

// Reads a code of `length` characters; the letter form adds
// letterBase + (letter - 'A') * letterStep.
int64_t ReadCode(const char* text, std::size_t length, int64_t letterBase, int64_t letterStep) {
  if (!text || std::strlen(text) != length) return -1;
  const unsigned char first = static_cast<unsigned char>(text[0]);
  if (first >= 'A' && first <= 'Z') {
    const int64_t digits = ReadDigits(text + 1, static_cast<int>(length) - 1);
    if (digits < 0) return -1;
    return digits + (first - 'A') * letterStep + letterBase;
  }
  return ReadDigits(text, static_cast<int>(length));
}

}  // namespace

int ParseCode3(const char* text, uint16_t* out) {
  const int64_t v = ReadCode(text, 3, 1000, 100);
  if (v < 0 || !out) return 0;
  *out = static_cast<uint16_t>(v);
  return 1;
}

int ParseCode5(const char* text, uint32_t* out) {
  const int64_t v = ReadCode(text, 5, 100000, 10000);
  if (v < 0 || !out) return 0;
  *out = static_cast<uint32_t>(v);
  return 1;
}
