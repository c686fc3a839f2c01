#include "common/wildcard.h"

#include <cstring>

int WildcardCharEqual(char a, char b) { return a == '?' || b == '?' || a == b ? 1 : 0; }

namespace {

constexpr size_t kNoStar = static_cast<size_t>(-1);

// Byte index of the first "*", or kNoStar.
size_t FirstStar(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (text[i] == '*') return i;
  }
  return kNoStar;
}

bool AllQuestionMarks(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (text[i] != '?') return false;
  }
  return true;
}

}  // namespace

int WildcardCompare(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return 0;
  if (std::strcmp(a, b) == 0) return 1;

  size_t lengthA = std::strlen(a);
  size_t lengthB = std::strlen(b);
  // Cut both texts before the first "*" of either, whichever comes first.
  const size_t starA = FirstStar(a, lengthA);
  const size_t starB = FirstStar(b, lengthB);
  const size_t cut = starA < starB ? starA : starB;
  if (lengthA > cut) lengthA = cut;
  if (lengthB > cut) lengthB = cut;
  if (lengthA == lengthB && std::memcmp(a, b, lengthA) == 0) return 1;

  const size_t common = lengthA < lengthB ? lengthA : lengthB;
  for (size_t i = 0; i < common; ++i) {
    if (!WildcardCharEqual(a[i], b[i])) return 0;
  }
  if (lengthA > common) return AllQuestionMarks(a + common, lengthA - common) ? 1 : 0;
  if (lengthB > common) return AllQuestionMarks(b + common, lengthB - common) ? 1 : 0;
  return 1;
}
