#pragma once
// Range-checked number parsers: the one way a field of a file, a table or a
// line becomes a number. All return 1 on success and 0 on failure.
//
// Numeric text (IsNumericText): after trimming blanks (0x20), at least one
// character, every character one of "0123456789eE+-.xX", at most one each of
// '.', 'e', 'E', 'x' and 'X', not ending in e, E, x or X; a text of one
// character must be a digit. Signs are neither counted nor placed, so
// "--1" is numeric (and reads as 0).
//
// The conversion reads the leading decimal number of the text (no
// hexadecimal, no inf or nan, independent of the locale); a text whose
// start is not a number reads as 0.
//
// ParseDoubleInRange and ParseFloatInRange store the value whenever the text
// is numeric, also when it lies outside the bounds; every other parser
// leaves its out value untouched on failure. The integer parsers check the
// value as a double against the bounds, then truncate it toward zero
// ("3.9" gives 3); their bounds are of the target type.

#include <cstdint>

int IsNumericText(const char* text);

int ParseDoubleInRange(const char* text, double* out, double lower, double upper);
int ParseFloatInRange(const char* text, float* out, float lower, float upper);
int ParseIntInRange(const char* text, int32_t* out, int32_t lower, int32_t upper);
int ParseUShortInRange(const char* text, uint16_t* out, uint16_t lower, uint16_t upper);
int ParseShortInRange(const char* text, int16_t* out, int16_t lower, int16_t upper);
int ParseUIntInRange(const char* text, uint32_t* out, uint32_t lower, uint32_t upper);
int ParseByteInRange(const char* text, uint8_t* out, uint8_t lower, uint8_t upper);

// Numeric text whose whole trimmed text is consumed by the conversion
// ("1.5-" fails where ParseDoubleInRange reads 1.5).
int ParseDoubleStrict(const char* text, double* out, double lower, double upper);
// ParseDoubleStrict, then truncated toward zero.
int ParseUIntStrict(const char* text, uint32_t* out, uint32_t lower, uint32_t upper);

// The same parsers on the N-th blank-separated word of a text
// (GetBlankSeparatedWord: runs of blanks count once, N from 1).
int ParseWordDoubleInRange(const char* text, int n, double* out, double lower, double upper);
int ParseWordIntInRange(const char* text, int n, int32_t* out, int32_t lower, int32_t upper);
int ParseWordUShortInRange(const char* text, int n, uint16_t* out, uint16_t lower, uint16_t upper);
int ParseWordShortInRange(const char* text, int n, int16_t* out, int16_t lower, int16_t upper);
int ParseWordUIntInRange(const char* text, int n, uint32_t* out, uint32_t lower, uint32_t upper);

// The same parsers on `count` bytes from the 1-based byte position `pos`
// (CopySubstring: cut at the end of the text; nothing outside it).
//
// (The same on a double-quoted word, ParseQuotedWord...InRange, are in
// common/csv_fields.h beside GetQuotedWord.)
int ParseSubstringDoubleInRange(const char* text, int pos, int count, double* out, double lower,
                                double upper);
int ParseSubstringIntInRange(const char* text, int pos, int count, int32_t* out, int32_t lower,
                             int32_t upper);
int ParseSubstringUShortInRange(const char* text, int pos, int count, uint16_t* out, uint16_t lower,
                                uint16_t upper);
int ParseSubstringShortInRange(const char* text, int pos, int count, int16_t* out, int16_t lower,
                               int16_t upper);
int ParseSubstringUIntInRange(const char* text, int pos, int count, uint32_t* out, uint32_t lower,
                              uint32_t upper);
