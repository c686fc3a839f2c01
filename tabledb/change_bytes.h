#pragma once
// Helpers shared by the change-history readers and writers of this folder;
// not for other callers. Numbers in the change files are little-endian and
// unaligned: they are loaded and stored byte by byte.

#include <cstddef>
#include <cstdint>

#include "common/le_bytes.h"

class CRecordList;

namespace change_bytes {

inline uint16_t Load16(const unsigned char* p) { return LoadLeValue<uint16_t>(p); }
inline uint32_t Load32(const unsigned char* p) { return LoadLeValue<uint32_t>(p); }
inline void Store16(unsigned char* p, uint16_t v) { StoreLeValue(p, v); }
inline void Store32(unsigned char* p, uint32_t v) { StoreLeValue(p, v); }

inline bool IsAsciiDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// 1 when the text is 1 to maxLength ASCII digits and nothing else; the
// value goes to *value.
int ReadPlainDigits(const char* text, std::size_t maxLength, uint32_t* value);

// The decimal digits of number as full-width digits ("０" to "９"); the
// empty text for 0 when zeroIsEmpty. out holds at least 24 bytes. Answers
// the length.
std::size_t MakeFullWidthNumber(uint32_t number, bool zeroIsEmpty, char* out);

// An 11-character place code: a municipality code 1000-47999 in its first
// five characters, then two three-character codes (ParseCode3). 1 with the
// three values; 0 for a null or any other text.
int ParsePlaceCode(const char* code, uint16_t* city, uint16_t* part1, uint16_t* part2);

// Scale texts and their codes: "10000" 1, "25000" 2, "50000" 3, "70000" 7,
// "80000" 8, "2000" 20; 0 for any other text.
int ScaleCodeFromText(const char* text);

// Appends n bytes to a list of 1-byte elements; on failure the list is
// left as it was.
int AppendBytes(CRecordList* list, const void* bytes, uint32_t n);

}  // namespace change_bytes
