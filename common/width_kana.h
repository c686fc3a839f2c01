#pragma once
// Width and kana conversion of CP932 texts: table-driven whole-text width
// conversion (ASCII signs, digits, letters, katakana with voiced marks),
// hiragana/katakana conversion by code arithmetic, small and large kana, and
// conversions by 16-bit character code that a rewriting loop applies
// character by character.
//
// Character code (this module's 16-bit code, first byte high): a double-byte
// character gives lead * 256 + second byte; a half-width kana ｶ-ﾄ or ﾊ-ﾎ
// followed by "ﾞ", or ﾊ-ﾎ followed by "ﾟ", gives kana * 256 + mark; any other
// single byte b gives b * 256. A code is written back as its high byte, then
// its low byte when that is not 0.
//
// Length limits of the in-place conversions:
//   - the table conversions run through ReplaceAll and handle texts and
//     results shorter than 2,048 bytes (kReplaceWorkArea);
//   - the code rewriters refuse, without a buffer size, a result that is
//     longer than the text and 1,024 bytes or longer (kSjisWorkArea).
// A refused conversion leaves the text unchanged. The conversions that can
// lengthen a text also have a form that takes the caller's buffer size
// (NUL included) and refuses a result that does not fit it.

#include <cstddef>
#include <cstdint>

// ---- Tables ----

// (half-width, full-width): the blank, 32 signs, 0-9, A-Z, a-z.
extern const char* const AsciiWidthTable[95][2];
// (half-width 1 or 2 bytes, full-width katakana): 26 voiced forms, 55 plain
// kana, ｰ and the ASCII minus.
extern const char* const KanaWidthTable[83][2];
// (half-width, full-width): A-Z then a-z.
extern const char* const LetterWidthTable[52][2];

struct HalfKanaHiraganaRow {
  const char* halfKana;
  const char* hiragana;
  int32_t flag;
};
// 25 voiced forms, then 55 plain kana; every flag is 1.
extern const HalfKanaHiraganaRow HalfKanaHiraganaTable[80];
const HalfKanaHiraganaRow* GetHalfKanaHiraganaTable();
int GetHalfKanaHiraganaTableSize();

// (small half-width kana, large form).
extern const char* const SmallHalfKanaTable[9][2];

// One byte per full-width katakana code 0x8340-0x8393: the half-width kana it
// comes from, "ﾞ" / "ﾟ" for a voiced / semi-voiced one, a blank for none.
extern const unsigned char KatakanaOrderTable[84];

// ---- Whole-text conversions by table (in place, return the text) ----

char* ToFullWidth(char* text);
char* ToFullWidth(char* text, std::size_t textSize);
char* ToFullWidthAsciiKana(char* text);
char* ToFullWidthAsciiKana(char* text, std::size_t textSize);
char* ToHalfWidthAsciiKana(char* text);
char* ToHalfWidthAscii(char* text);
char* ToFullWidthKana(char* text);
char* ToFullWidthKana(char* text, std::size_t textSize);
char* ToHalfWidthKana(char* text);
char* ToFullWidthLetters(char* text);
char* ToFullWidthLetters(char* text, std::size_t textSize);
char* ToHalfWidthLetters(char* text);
// Full-width Latin letters to their upper case (others unchanged).
char* ToUpperFullWidthLetters(char* text);
char* HalfKanaToHiragana(char* text);
char* HalfKanaToHiragana(char* text, std::size_t textSize);
char* HiraganaToHalfKana(char* text);
char* SmallHalfKanaToLarge(char* text);

// ---- Conversions by code arithmetic ----

int IsHiraganaAt(const char* p);
int IsKatakanaAt(const char* p);
char* KatakanaToHiraganaAt(char* p);  // converts the character at p
char* HiraganaToKatakanaAt(char* p);
char* KatakanaToHiragana(char* text);
char* HiraganaToKatakana(char* text);
int IsHiraganaCode(uint16_t code);
uint16_t SmallHiraganaCodeToLarge(uint16_t code);
uint16_t LargeHiraganaCodeToSmall(uint16_t code);
uint16_t SmallKatakanaCodeToLarge(uint16_t code);
uint16_t LargeKatakanaCodeToSmall(uint16_t code);
uint16_t KatakanaCodeToHiragana(uint16_t code);
uint16_t HiraganaCodeToKatakana(uint16_t code);
uint16_t FullWidthLowerToUpperCode(uint16_t code);
uint16_t FullWidthUpperToLowerCode(uint16_t code);
unsigned char SmallHalfKanaToLargeByte(unsigned char b);
unsigned char LargeHalfKanaToSmallByte(unsigned char b);
uint16_t SmallHalfKanaCodeToLarge(uint16_t code);
uint16_t LargeHalfKanaCodeToSmall(uint16_t code);

// ---- Character-code helpers ----

uint16_t MakeCharCode(unsigned char first, unsigned char second);
uint16_t GetCharCode(const char* p);  // 0 at the NUL
// Reads the code at p; returns the pointer past the character (p itself at
// the NUL).
const char* ReadCharCode(const char* p, uint16_t* code);
char* ReadCharCode(char* p, uint16_t* code);
char* CharCodeToString(uint16_t code, char* out);         // out: 3 bytes
char* CharCodeToStringChecked(uint16_t code, char* out);  // null out: null
char* ByteToString(unsigned char b, char* out);           // out: 2 bytes
// (first byte << 8) | second byte of a text of exactly 2 bytes, else 0.
uint16_t StringToCharCode(const char* text);
int IsFullWidthDigitCode(uint16_t code);
int IsFullWidthDigitAt(const char* p);
uint16_t HalfKanaCodeToFullWidth(uint16_t code);
uint16_t LetterCodeToFullWidth(uint16_t code);
uint16_t DigitCodeToFullWidth(uint16_t code);
uint16_t SymbolCodeToFullWidth(uint16_t code);
uint16_t FullWidthKatakanaCodeToHalf(uint16_t code);
uint16_t FullWidthLetterCodeToHalf(uint16_t code);
uint16_t FullWidthDigitCodeToHalf(uint16_t code);
uint16_t FullWidthSymbolCodeToHalf(uint16_t code);

// ---- Text rewriters by code (in place, return the text) ----

using CharCodeMapFn = uint16_t (*)(uint16_t);
char* MapCharCodes(char* text, CharCodeMapFn fn);
char* MapCharCodes(char* text, CharCodeMapFn fn, std::size_t textSize);
char* SmallHiraganaToLarge(char* text);
char* SmallKatakanaToLarge(char* text);
char* HalfKanaToFullKatakana(char* text);
char* HalfKanaToFullKatakana(char* text, std::size_t textSize);
char* FullWidthSymbolsToHalf(char* text);
char* ConvertToFullWidth(char* text);
char* ConvertToFullWidth(char* text, std::size_t textSize);
char* ConvertToHalfWidth(char* text);
char* FoldToUpperLarge(char* text);
char* FoldToLowerSmall(char* text);

// Flag bits of ConvertByFlags, applied in this order.
inline constexpr int kConvertFullWidth = 0x01;
inline constexpr int kConvertHalfWidth = 0x02;
inline constexpr int kConvertUpperLarge = 0x04;
inline constexpr int kConvertLowerSmall = 0x08;
inline constexpr int kConvertHiraganaToKatakana = 0x10;
inline constexpr int kConvertKatakanaToHiragana = 0x20;
char* ConvertByFlags(char* text, int flags);
char* ConvertByFlags(char* text, int flags, std::size_t textSize);
