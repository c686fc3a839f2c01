#pragma once
// Readers of the short codes that address data carries as text: three-
// character codes (16-bit) and five-character codes (32-bit), written either
// as digits or as a capital letter A-Z followed by digits.

#include <cstdint>

// "000"-"999" give 0-999; a capital letter and two digits give
// 1000 + (letter - 'A') * 100 + digits ("A00" = 1000, "Z99" = 3599).
// 1 on success; 0 (out untouched) for any other length or form: no blanks,
// signs, points, exponents or lower-case letters.
int ParseCode3(const char* text, uint16_t* out);
// "00000"-"99999", or a capital letter and four digits giving
// 100000 + (letter - 'A') * 10000 + digits ("A0000" = 100000,
// "Z9999" = 359999). 1 on success, 0 (out untouched) otherwise.
int ParseCode5(const char* text, uint32_t* out);
