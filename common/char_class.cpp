#include "common/char_class.h"

#include <cstring>

#include "common/sjis_internal.h"
#include "common/width_kana.h"

using sjis_internal::CharLen;

namespace {

bool InRange(uint16_t code, uint16_t lower, uint16_t upper) {
  return code >= lower && code <= upper;
}

// The code of the double-byte character at p, 0 for a single byte or the NUL.
uint16_t DoubleByteCode(const char* p) {
  if (!p || CharLen(p) != 2) return 0;
  return GetCharCode(p);
}

bool IsAsciiDigit(unsigned char b) { return b >= '0' && b <= '9'; }
bool IsAsciiLower(unsigned char b) { return b >= 'a' && b <= 'z'; }
bool IsAsciiUpper(unsigned char b) { return b >= 'A' && b <= 'Z'; }
bool IsAsciiPunctuation(unsigned char b) {
  return b >= 0x21 && b <= 0x7E && !IsAsciiDigit(b) && !IsAsciiLower(b) && !IsAsciiUpper(b);
}

// Whether a double-byte character passes the class bits of a mask.
bool DoubleBytePasses(uint16_t code, int32_t mask) {
  if (mask & kMaskAnyDoubleByte) return true;
  if ((mask & kMaskDigit) && IsFullWidthDigitCode(code)) return true;
  if ((mask & kMaskLower) && IsFullWidthLowerCode(code)) return true;
  if ((mask & kMaskUpper) && IsFullWidthUpperCode(code)) return true;
  if ((mask & kMaskSymbol) && IsFullWidthSymbolCode(code)) return true;
  if ((mask & kMaskKana) && IsKatakanaCode(code)) return true;
  if ((mask & kMaskHiragana) && IsHiraganaCode(code)) return true;
  return false;
}

// Whether a single byte passes the class bits of a mask.
bool SingleBytePasses(unsigned char b, int32_t mask) {
  if (b >= 0x20 && b <= 0x7E) {
    if (mask & kMaskAnyAscii) return true;
    if ((mask & kMaskDigit) && IsAsciiDigit(b)) return true;
    if ((mask & kMaskLower) && IsAsciiLower(b)) return true;
    if ((mask & kMaskUpper) && IsAsciiUpper(b)) return true;
    if ((mask & kMaskSymbol) && IsAsciiPunctuation(b)) return true;
    return false;
  }
  return (mask & kMaskKana) && IsHalfWidthKanaByte(b);
}

// Every character of the text passes `passes`; the length lies in range.
template <typename Pred>
int AllCharsWithin(const char* text, int minLength, int maxLength, Pred passes) {
  if (!text) return 0;
  const std::size_t length = std::strlen(text);
  if (minLength > 0 && length < static_cast<std::size_t>(minLength)) return 0;
  if (maxLength < 0 || length > static_cast<std::size_t>(maxLength)) return 0;
  for (const char* p = text; *p; p += CharLen(p)) {
    if (!passes(p, CharLen(p))) return 0;
  }
  return 1;
}

}  // namespace

int IsHalfWidthKanaByte(unsigned char b) { return b >= 0xA1 && b <= 0xDF ? 1 : 0; }
int IsFullWidthLowerCode(uint16_t code) { return InRange(code, 0x8281, 0x829A) ? 1 : 0; }
int IsFullWidthUpperCode(uint16_t code) { return InRange(code, 0x8260, 0x8279) ? 1 : 0; }
int IsFullWidthLetterCode(uint16_t code) {
  return IsFullWidthLowerCode(code) || IsFullWidthUpperCode(code) ? 1 : 0;
}
int IsFullWidthSymbolCode(uint16_t code) {
  return InRange(code, 0x8141, 0x81AC) || InRange(code, 0x8740, 0x8755) || code == 0x877E ||
                 InRange(code, 0x8780, 0x879C)
             ? 1
             : 0;
}
int IsKatakanaCode(uint16_t code) { return InRange(code, 0x8340, 0x8396) ? 1 : 0; }
int IsNonKanjiCode(uint16_t code) { return InRange(code, 0x8140, 0x889E) ? 1 : 0; }
int IsLevel1KanjiCode(uint16_t code) { return InRange(code, 0x889F, 0x9872) ? 1 : 0; }
int IsLevel2KanjiCode(uint16_t code) { return InRange(code, 0x989F, 0xEAA4) ? 1 : 0; }

int IsJisKanjiCode(uint16_t code) {
  const unsigned lead = code >> 8;
  const unsigned trail = code & 0xFF;
  if (!((lead >= 0x88 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xEA))) return 0;
  const bool low = trail >= 0x40 && trail <= 0x7E;
  const bool high = trail >= 0x80 && trail <= 0xFC;
  if (lead == 0x88) return trail >= 0x9F && trail <= 0xFC ? 1 : 0;
  if (lead == 0x98) return (trail >= 0x40 && trail <= 0x72) || (trail >= 0x9F && trail <= 0xFC);
  if (lead == 0xEA) return low || (trail >= 0x80 && trail <= 0xA4) ? 1 : 0;
  return low || high ? 1 : 0;
}

int IsFullWidthLowerAt(const char* p) { return IsFullWidthLowerCode(DoubleByteCode(p)); }
int IsFullWidthUpperAt(const char* p) { return IsFullWidthUpperCode(DoubleByteCode(p)); }
int IsFullWidthLetterAt(const char* p) { return IsFullWidthLetterCode(DoubleByteCode(p)); }
int IsFullWidthSymbolAt(const char* p) { return IsFullWidthSymbolCode(DoubleByteCode(p)); }
int IsNonKanjiAt(const char* p) { return IsNonKanjiCode(DoubleByteCode(p)); }
int IsLevel1KanjiAt(const char* p) { return IsLevel1KanjiCode(DoubleByteCode(p)); }
int IsLevel2KanjiAt(const char* p) { return IsLevel2KanjiCode(DoubleByteCode(p)); }

int32_t GetCharClass(const char* p) {
  if (!p || *p == '\0') return 0;
  if (CharLen(p) == 2) {
    const uint16_t code = GetCharCode(p);
    if (IsFullWidthDigitCode(code)) return kClassFullWidthDigit;
    if (IsFullWidthLowerCode(code)) return kClassFullWidthLower;
    if (IsFullWidthUpperCode(code)) return kClassFullWidthUpper;
    if (IsFullWidthSymbolCode(code)) return kClassFullWidthSymbol;
    if (IsHiraganaCode(code)) return kClassHiragana;
    if (IsKatakanaCode(code)) return kClassKatakana;
    if (IsNonKanjiCode(code)) return kClassNonKanji;
    if (IsLevel1KanjiCode(code)) return kClassLevel1Kanji;
    if (IsLevel2KanjiCode(code)) return kClassLevel2Kanji;
    return kClassOtherDoubleByte;
  }
  const unsigned char b = static_cast<unsigned char>(*p);
  if (IsAsciiDigit(b)) return kClassAsciiDigit;
  if (IsAsciiLower(b)) return kClassAsciiLower;
  if (IsAsciiUpper(b)) return kClassAsciiUpper;
  if (IsAsciiPunctuation(b)) return kClassAsciiPunctuation;
  if (b < 0x20 || b == 0x7F) return kClassControl;
  if (b == 0x20) return kClassSpace;
  if (IsHalfWidthKanaByte(b)) return kClassHalfWidthKana;
  return 0;
}

int IsStringOfCharClasses(const char* text, int32_t mask) {
  return IsStringOfCharClassesEx(
      text, mask & ~(kMaskCallback | kMaskAnySingleByte | kMaskOtherSingleByte), nullptr, nullptr);
}

int IsStringOfCharClassesEx(const char* text, int32_t mask, void* argument,
                            CharClassCallback callback) {
  if (!text) return 0;
  for (const char* p = text; *p; p += CharLen(p)) {
    const unsigned char b = static_cast<unsigned char>(*p);
    bool passes =
        CharLen(p) == 2 ? DoubleBytePasses(GetCharCode(p), mask) : SingleBytePasses(b, mask);
    if (!passes && CharLen(p) == 1 && (mask & (kMaskAnySingleByte | kMaskOtherSingleByte)) &&
        (b < 0x20 || b > 0x7E) && b != '\n')
      passes = true;
    if (!passes && (mask & kMaskCallback) && callback && callback(p, argument) == 1) passes = true;
    if (!passes) return 0;
  }
  return 1;
}

int IsDigitsOnly(const char* text, int minLength, int maxLength) {
  return AllCharsWithin(text, minLength, maxLength, [](const char* p, int len) {
    return len == 1 && IsAsciiDigit(static_cast<unsigned char>(*p));
  });
}

int IsHalfKanaOnly(const char* text, int minLength, int maxLength) {
  return AllCharsWithin(text, minLength, maxLength, [](const char* p, int len) {
    return len == 1 && IsHalfWidthKanaByte(static_cast<unsigned char>(*p));
  });
}

int IsDoubleByteOnly(const char* text, int minLength, int maxLength) {
  return AllCharsWithin(text, minLength, maxLength, [](const char*, int len) { return len == 2; });
}

int IsAlnumOnly(const char* text, int minLength, int maxLength) {
  return AllCharsWithin(text, minLength, maxLength, [](const char* p, int len) {
    const unsigned char b = static_cast<unsigned char>(*p);
    return len == 1 && (IsAsciiDigit(b) || IsAsciiLower(b) || IsAsciiUpper(b));
  });
}

int IsTenDigits(const char* text) { return IsDigitsOnly(text, 10, 10); }

int ConsistsOnlyOf(const char* text, const char* charSet) {
  if (!text || !charSet) return 0;
  for (const char* p = text; *p; p += CharLen(p)) {
    const int len = CharLen(p);
    bool found = false;
    for (const char* s = charSet; *s && !found; s += CharLen(s)) {
      found = CharLen(s) == len && std::memcmp(s, p, static_cast<std::size_t>(len)) == 0;
    }
    if (!found) return 0;
  }
  return 1;
}

int IsBracketOrDash(const char* p) {
  static const char kDoubleByte[] = "ー－～＝（）［］｛｝「」【】＜＞〔〕〈〉《》『』≪≫";
  static const char kSingleByte[] = "()-<=>[]{}｢｣";
  if (!p || *p == '\0') return 0;
  if (CharLen(p) == 2) {
    for (const char* s = kDoubleByte; *s; s += 2) {
      if (s[0] == p[0] && s[1] == p[1]) return 1;
    }
    return 0;
  }
  return std::strchr(kSingleByte, *p) != nullptr ? 1 : 0;
}
