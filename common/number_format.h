#pragma once
// Numbers written as text and read back in the system's small formats:
// width and precision formatters, thousands separators, number chains
// ("1-2-3"), hexadecimal "$" notation, time texts and era years.
//
// Formatters write into a caller buffer and return it. They build their
// text in a 1,024-byte work area (kSjisWorkArea): a width or precision
// that is negative where the format needs it non-negative, or a result of
// 1,024 bytes or more, gives "".

#include <cstdint>

// "%<width>.<precision>f" (double) and the same for a float.
char* FormatDouble(char* out, double value, int width, int precision);
char* FormatFloat(char* out, float value, int width, int precision);
// "%<width>d"; the "long" form prints the same 32-bit value.
char* FormatIntWidth(char* out, int32_t value, int width);
char* FormatLongWidth(char* out, int32_t value, int width);
// The width form, trimmed, then left-padded with '0' to the width; a minus
// sign stays inside (-5 at width 4 gives "00-5").
char* FormatIntZeroPadded(char* out, int32_t value, int width);
// A sign character ('-' for a negative value, else a blank) and the
// magnitude as "%7.<width - 8>e" (precision 0 when width < 8).
char* FormatExponent(char* out, double value, int width);
// FormatDouble, then, when the text holds a '.', trailing '0's and a
// trailing '.' removed.
char* FormatDoubleTrimmed(char* out, double value, int width, int precision);
// "%f", then, when it holds a '.', trailing '0's and the '.' removed.
char* FormatDoubleShortest(char* out, double value);
// In place: a text longer than 3 bytes keeps a leading '+' or '-' and has
// the rest grouped by three from the right with ','. A text holding a
// double-byte character, or whose result would reach 1,024 bytes, is left
// unchanged. The caller's buffer must hold the result.
char* InsertThousandsSeparators(char* text);

// "%d", "%d-%d" or "%d-%d-%d": b is written when > 0, c when b and c are
// > 0. 1 when written; 0 (nothing written) for a null out or a <= 0.
int FormatNumberChain(char* out, int32_t a, int32_t b, int32_t c);
// Every '-' read as a blank; a = first word (an int >= 1), b = second word
// (empty: 0, else an int >= 1), c = third word (empty: 0, else an int >= 1,
// allowed only when b is set). 1 on success; the outs are written only then.
int ParseNumberChain(const char* text, int32_t* a, int32_t* b, int32_t* c);
// 1 when the text holds only "0123456789-" and ParseNumberChain accepts it.
int IsNumberChain(const char* text);

// "$" and two (four) upper-case hexadecimal digits of the low byte (16 bits).
char* FormatHexByte(char* out, int32_t value);
char* FormatHexShort(char* out, int32_t value);
// The trimmed text must start with "$" and have 2-3 (2-5, 2-9) bytes in
// all, the rest hexadecimal digits in either case. 1 on success; the out
// value is untouched on failure.
int ParseHexByte(const char* text, uint8_t* out);
int ParseHexShort(const char* text, uint16_t* out);
int ParseHexInt(const char* text, int32_t* out);

// "h:m:s": exactly two ':' and each part an int in 0..2147483647; seconds =
// h * 3600 + m * 60 + s, refused when that exceeds 2147483647.
int ParseTimeText(const char* text, int32_t* seconds);
// "h-m-s": exactly two '-' and each part a double within +-1.7e308;
// seconds = h * 3600 + m * 60 + s.
int ParseDashTime(const char* text, double* seconds);
// Two ParseDashTime texts separated by the first ','.
int ParseDashTimePair(const char* text, double* first, double* second);

// The era code of a year: "H" from 1989, "S" 1926-1988, "T" 1912-1925,
// "M" 1868-1911, followed by the era year in two digits ("H01"). Null (out
// untouched) before 1868 or when the Heisei year reaches 100. out needs 4
// bytes.
char* YearToEraCode(char* out, int32_t year);
