#pragma once
// Character classes of Shift-JIS text by code range, tests of whole texts
// against a mask of allowed classes, and small text-shape tests.
//
// A double-byte character is a lead byte followed by a byte other than the
// NUL; its code is (lead << 8) | trail (GetCharCode, common/width_kana.h).
// IsFullWidthDigitCode and IsFullWidthDigitAt live in common/width_kana.h.

#include <cstdint>

// ---- Classes of codes ----

int IsHalfWidthKanaByte(unsigned char b);  // 0xA1-0xDF
int IsFullWidthLowerCode(uint16_t code);   // 0x8281-0x829A
int IsFullWidthUpperCode(uint16_t code);   // 0x8260-0x8279
int IsFullWidthLetterCode(uint16_t code);  // either of the two above
// 0x8141-0x81AC, 0x8740-0x8755, 0x877E, 0x8780-0x879C
int IsFullWidthSymbolCode(uint16_t code);
int IsKatakanaCode(uint16_t code);     // 0x8340-0x8396
int IsNonKanjiCode(uint16_t code);     // 0x8140-0x889E
int IsLevel1KanjiCode(uint16_t code);  // 0x889F-0x9872
int IsLevel2KanjiCode(uint16_t code);  // 0x989F-0xEAA4
// JIS X 0208 kanji: lead bytes 0x88-0x9F and 0xE0-0xEA with a trail byte in
// 0x40-0x7E or 0x80-0xFC, the first and last rows of each level cut to the
// assigned cells.
int IsJisKanjiCode(uint16_t code);

// The same tests on the character at p (0 for a single-byte character).
int IsFullWidthLowerAt(const char* p);
int IsFullWidthUpperAt(const char* p);
int IsFullWidthLetterAt(const char* p);
int IsFullWidthSymbolAt(const char* p);
int IsNonKanjiAt(const char* p);
int IsLevel1KanjiAt(const char* p);
int IsLevel2KanjiAt(const char* p);

// ---- One class flag per character ----

inline constexpr int32_t kClassAsciiDigit = 0x1;
inline constexpr int32_t kClassAsciiLower = 0x2;
inline constexpr int32_t kClassAsciiUpper = 0x4;
inline constexpr int32_t kClassAsciiPunctuation = 0x8;
inline constexpr int32_t kClassControl = 0x10;
inline constexpr int32_t kClassSpace = 0x20;
inline constexpr int32_t kClassHalfWidthKana = 0x100;
inline constexpr int32_t kClassFullWidthDigit = 0x10000;
inline constexpr int32_t kClassFullWidthLower = 0x20000;
inline constexpr int32_t kClassFullWidthUpper = 0x40000;
inline constexpr int32_t kClassFullWidthSymbol = 0x80000;
inline constexpr int32_t kClassNonKanji = 0x100000;
inline constexpr int32_t kClassLevel1Kanji = 0x200000;
inline constexpr int32_t kClassLevel2Kanji = 0x400000;
inline constexpr int32_t kClassHiragana = 0x1000000;
inline constexpr int32_t kClassKatakana = 0x2000000;
inline constexpr int32_t kClassOtherDoubleByte = 0x20000000;

// The class flag of the character at p; 0 at the NUL and for a single byte
// of no class (0x80, 0xA0, 0xE0-0xFF, a lead byte before the NUL).
int32_t GetCharClass(const char* p);

// ---- Texts against a mask of classes ----
//
// Single-byte characters: 0x10000000 any printable ASCII (0x20-0x7E), 0x01
// digit, 0x02 lower-case, 0x04 upper-case, 0x08 punctuation (0x21-0x7E
// other than letters and digits), 0x100 half-width kana. Double-byte
// characters: 0x20000000 any, 0x01 full-width digit, 0x02 full-width
// lower-case, 0x04 full-width upper-case, 0x08 full-width symbol, 0x100
// katakana, 0x200 hiragana.
inline constexpr int32_t kMaskDigit = 0x01;
inline constexpr int32_t kMaskLower = 0x02;
inline constexpr int32_t kMaskUpper = 0x04;
inline constexpr int32_t kMaskSymbol = 0x08;
inline constexpr int32_t kMaskKana = 0x100;
inline constexpr int32_t kMaskHiragana = 0x200;
inline constexpr int32_t kMaskOtherSingleByte = 0x400;
inline constexpr int32_t kMaskAnyAscii = 0x10000000;
inline constexpr int32_t kMaskAnyDoubleByte = 0x20000000;
inline constexpr int32_t kMaskCallback = 0x40000000;
inline constexpr int32_t kMaskAnySingleByte = static_cast<int32_t>(0x80000000u);

// 1 when every character is in one of the classes of the mask (an empty
// text gives 1); 0 at the first that is not, or for a null text.
int IsStringOfCharClasses(const char* text, int32_t mask);

using CharClassCallback = int (*)(const char* character, void* argument);
// The same with two more bits: kMaskCallback lets a character pass when the
// callback returns 1 for it; kMaskAnySingleByte or kMaskOtherSingleByte let
// any single byte outside 0x20-0x7E pass except the line feed.
int IsStringOfCharClassesEx(const char* text, int32_t mask, void* argument,
                            CharClassCallback callback);

// ---- Text shapes ----

// 1 when the byte length lies within minLength..maxLength and every
// character is an ASCII digit / a half-width kana byte / a double-byte
// character / an ASCII letter or digit.
int IsDigitsOnly(const char* text, int minLength, int maxLength);
int IsHalfKanaOnly(const char* text, int minLength, int maxLength);
int IsDoubleByteOnly(const char* text, int minLength, int maxLength);
int IsAlnumOnly(const char* text, int minLength, int maxLength);
int IsTenDigits(const char* text);  // exactly ten ASCII digits
// 1 when every character of the text is a character of the set (whole
// characters compared); an empty text gives 1.
int ConsistsOnlyOf(const char* text, const char* charSet);
// 1 for the brackets and dashes ー－～＝（）［］｛｝「」【】＜＞〔〕〈〉《》『』≪≫
// and the single bytes ( ) - < = > [ ] { } ｢ ｣ at p.
int IsBracketOrDash(const char* p);
