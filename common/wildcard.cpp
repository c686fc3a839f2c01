#include "common/wildcard.h"

#include <cstring>
#include <string>

#include "common/sjis_internal.h"
#include "common/sjis_text.h"
#include "common/tokenizer.h"
#include "common/width_kana.h"

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

namespace {

using sjis_internal::CharLen;

bool IsWildcard(char c) { return c == '*' || c == '?'; }

// Whether the byte offset lies on a character start of the text.
bool IsCharStart(const char* text, std::size_t offset) {
  std::size_t at = 0;
  while (at < offset && text[at] != '\0') at += static_cast<std::size_t>(CharLen(text + at));
  return at == offset;
}

// Whether the whole characters at a and b are equal.
bool SameChar(const char* a, const char* b) {
  const int len = CharLen(a);
  return len == CharLen(b) && std::memcmp(a, b, static_cast<std::size_t>(len)) == 0;
}

}  // namespace

int WildcardMatch(const char* text, const char* pattern) {
  if (!text || !pattern) return 0;
  for (;;) {
    if (*pattern == '\0') return *text == '\0' ? 1 : 0;
    if (std::strcmp(pattern, "*") == 0) return 1;
    if (*text == '\0') return 0;
    if (std::strcmp(text, pattern) == 0) return 1;
    if (*text == *pattern) {
      const int len = CharLen(text);
      if (len == 2 && text[1] != pattern[1]) return 0;
      text += len;
      pattern += len;
      continue;
    }
    if (*pattern == '?') {
      text += CharLen(text);
      ++pattern;
      continue;
    }
    if (*pattern != '*') return 0;
    while (*pattern == '*') ++pattern;
    if (*pattern == '\0') return 1;
    std::size_t run = 0;
    while (pattern[run] != '\0' && !IsWildcard(pattern[run])) ++run;
    const std::size_t textLength = std::strlen(text);
    if (pattern[run] == '\0') {
      // No further wildcard: the text must end with the rest of the pattern,
      // and the rest must begin on a character of the text.
      if (run > textLength || !IsCharStart(text, textLength - run)) return 0;
      return std::strcmp(text + textLength - run, pattern) == 0 ? 1 : 0;
    }
    if (run == 0) continue;  // "*?": the "?" is matched next
    const int found = FindPrefixOf(pattern, text, static_cast<int>(run));
    if (found == 0) return 0;
    text += static_cast<std::size_t>(found - 1) + run;
    pattern += run;
  }
}

int WildcardMatchSjis(const char* text, const char* pattern) {
  if (!text || !pattern) return 0;
  while (*pattern != '\0') {
    if (*pattern == '*') {
      while (*pattern == '*') ++pattern;
      if (*pattern == '\0') return 1;
      // Try every place of the text where the next pattern character can
      // match ("?" matches at every character).
      for (const char* at = text;; at += CharLen(at)) {
        if ((*pattern == '?' ? *at != '\0' : SameChar(at, pattern)) &&
            WildcardMatchSjis(at, pattern))
          return 1;
        if (*at == '\0') return 0;
      }
    }
    if (*text == '\0') return 0;
    if (*pattern == '?') {
      text += CharLen(text);
      ++pattern;
      continue;
    }
    if (!SameChar(text, pattern)) return 0;
    const int len = CharLen(text);
    text += len;
    pattern += len;
  }
  return *text == '\0' ? 1 : 0;
}

int MatchAnyPattern(const char* text, const char* patternList) {
  if (!text || !patternList) return 0;
  CTokenizer list;
  if (!list.Set(patternList, "|", 0)) return 0;
  char pattern[CTokenizer::kTextSize];
  for (int n = 1; list.GetField(pattern, n); ++n) {
    StripEnclosingQuotes(pattern);
    if (WildcardMatchSjis(text, pattern)) return 1;
  }
  return 0;
}

namespace {

// A converted copy of the text (conversions at most double its length).
std::string ConvertedCopy(const char* text, int flags) {
  const std::size_t length = std::strlen(text);
  std::string copy(text, length);
  copy.resize(length * 2 + 16, '\0');
  ConvertByFlags(copy.data(), flags, copy.size());
  copy.resize(std::strlen(copy.c_str()));
  return copy;
}

}  // namespace

int ConvertAndMatch(const char* text, const char* pattern, int flags) {
  if (!text || !pattern) return 0;
  return WildcardMatchSjis(ConvertedCopy(text, flags).c_str(), pattern);
}

int ConvertAndMatchAny(const char* text, const char* patternList, int flags) {
  if (!text || !patternList) return 0;
  return MatchAnyPattern(ConvertedCopy(text, flags).c_str(), patternList);
}
