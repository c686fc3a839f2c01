#pragma once
// Numerals in Japanese text: the values of kanji numeral characters and
// full-width digits, reading and writing kanji numerals, rewriting numeral
// runs as digits or kanji, digit-by-digit conversion between ASCII and
// kanji digits, and number readings in half-width katakana.
//
// Numeral characters (KanjiDigitValue): ０-９ 0-9; 一 二 三 四 五 六 七 八 九
// 1-9; 十 10; 百 100; 千 1000; 万 10000; 億 100000000; 〇 and 零 0; 壱 1,
// 弐 2, 参 3, 伍 5. Values 0-9 are digits, 10 and above units. Any single
// byte is no numeral.
//
// Texts are walked forward character by character: a single byte that
// the full-width conversion leaves (half-width ｡｢｣･, a lone ﾞ or ﾟ, a TAB,
// ...) is one non-numeral character, and nothing reads past the text.
//
// Length limits: the rewriters build their result in a work area of
// kNumeralWorkArea (2,048) bytes. Without a buffer size a result of that
// size or more is refused (out = "", or an in-place text left unchanged);
// the sized forms refuse a result that does not fit outSize bytes (NUL
// included; an outSize of 0 means unknown and applies the work area).
// Texts of 2,048 bytes or more are not converted to full width.

#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr int kNumeralWorkArea = 2048;

// (full-width digit, kanji): １ 一 ... ９ 九, then ０ with 十.
extern const char* const DigitKanjiTable[10][2];

// Value of the double-byte character at p, -1 for any other character.
int KanjiDigitValue(const char* p);

// The double-byte numeral characters as codes (lead byte << 8 | trail
// byte), ascending: the characters KanjiDigitValue gives a value for.
std::span<const uint16_t> KanjiNumeralCodes();

// Value of a numeral text (converted to full width first), read from the
// last character back: 十 10, 二十 20, 百二十三 123, 千百 1100, 二万三千
// 23000, 二〇二三 2023, "12" 12. -1 for a non-numeral character, a unit
// standing below the place already reached (百千, 十万), or a value above
// 2,147,483,647.
int32_t KanjiNumeralToInt(const char* text);

// The text converted to full width, with every run of numeral characters
// rewritten as the full-width digits of its value ("二十三番地" gives
// "２３番地"); a run that does not read (十万) stays as it is.
char* KanjiNumeralsToDigits(const char* text, char* out);
char* KanjiNumeralsToDigits(const char* text, char* out, std::size_t outSize);
// The same with every readable run written back in kanji (IntToKanjiNumeral).
char* KanjiNumeralsToKanji(const char* text, char* out);
char* KanjiNumeralsToKanji(const char* text, char* out, std::size_t outSize);
// Other names of the two rewriters.
inline char* NumeralsToDigits(const char* text, char* out) {
  return KanjiNumeralsToDigits(text, out);
}
inline char* NumeralsToKanji(const char* text, char* out) {
  return KanjiNumeralsToKanji(text, out);
}

// out = the text before its trailing numeral run + the run rewritten by
// KanjiNumeralsToDigits. The run is all full-width digits or all other
// numeral characters (it stops where the kind changes). No run: out = text.
char* TrailingNumeralToDigits(const char* text, char* out);
char* TrailingNumeralToDigits(const char* text, char* out, std::size_t outSize);
// The same with a trailing run of numeral characters of any kind, through
// KanjiNumeralsToKanji.
char* TrailingNumeralToKanji(const char* text, char* out);
char* TrailingNumeralToKanji(const char* text, char* out, std::size_t outSize);

// The value in kanji: groups of four digits with 万, 億; within a group
// 千 百 十 written alone for a digit 1; 0 gives 〇, a negative value starts
// with "－" (10 十, 1100 千百, 20003 二万三, -5 －五). out needs 48 bytes.
char* IntToKanjiNumeral(char* out, int32_t value);
// 0 〇, 1-9 一-九, any other value "". out needs 3 bytes.
char* DigitToKanji(char* out, int32_t digit);

// Replace, in place, a double-byte character found in DigitKanjiTable by
// its partner. 1 when replaced.
int KanjiDigitToFullWidthDigitAt(char* p);
int FullWidthDigitToKanjiDigitAt(char* p);

// ASCII to kanji digits: '0' "○", '1'-'9' 一-九, '.' "、"; other
// characters kept. The byte form writes one character into out (3 bytes).
char* AsciiDigitToKanji(char* out, unsigned char b);
char* AsciiDigitsToKanji(char* text);
// Kanji to ASCII digits: 一-九 '1'-'9', 〇 '0', "、" and "・" '.'; other
// characters kept. The pointer form writes the character at p into out
// (3 bytes).
char* KanjiDigitToAscii(char* out, const char* p);
char* KanjiDigitsToAscii(char* text);
// "%d" (or FormatDouble), trimmed, then AsciiDigitsToKanji.
char* IntToKanjiDigits(int32_t value, char* out);
char* DoubleToKanjiDigits(double value, int width, int precision, char* out);

// In place: a text of ASCII digits with an optional '.' becomes its
// reading in half-width katakana ("625" ﾛｯﾋﾟｬｸﾆｼﾞｭｳｺﾞ, "1.5" ｲﾁﾃﾝｺﾞｳ).
// A text with any other character, or with more than 24 digits before the
// point, is left unchanged. A zero digit writes nothing, and a group word
// (ﾏﾝ, ｵｸ, ...) is written only when its group of four digits is not all 0.
char* NumberReading(char* text);
// In place: every run of ASCII digits in the text replaced by its reading.
char* NumberReadingsInText(char* text);

// 1 when the text ends in a run of numeral characters of one kind: all
// full-width digits, or all kanji numerals (一 十 百 万 〇 ...). "三" 1,
// "１二" 0 (mixed), "丁目" 0, "" 0.
int EndsWithUniformNumeralRun(const char* text);
// The same for the first `length` bytes of the text, as if it ended there
// (a lead byte cut from its trail byte counts as a character of its own).
// length is at most the text's length.
int EndsWithUniformNumeralRun(const char* text, std::size_t length);
