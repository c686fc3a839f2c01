#pragma once
// Code pages and byte order: CP932 <-> UTF-16 / UTF-8, JIS, EUC-JP and
// ISO-2022-JP conversions, byte-order swaps, value swaps and small bit and
// colour helpers.
//
// UTF-16 text is char16_t units ending in a 0 unit. The system's own UTF-8
// coder writes each unit on its own in 1, 2 or 3 bytes (no surrogate pairs).
// Its decoder takes a byte below 0x80 as one byte, 110xxxxx as the start of 2
// bytes and 1110xxxx as the start of 3; a sequence cut short by the end of
// the text, a 4-byte sequence (11110xxx) and any other byte give U+FFFD, and
// nothing past the given length is read.
//
// CP932 <-> UTF-16 goes through the code page's own table (plat::cp932); no
// locale is involved. A character without a form on the other side becomes
// a blank.
//
// The allocating conversions return heap buffers that the caller releases
// with free(); they return null for null input or when allocation fails.

#include <cstddef>
#include <cstdint>

// ---- Unicode ----

// Number of UTF-8 bytes for count units; unless countOnly, writes them and a
// closing NUL to out (which needs the count + 1 bytes).
int EncodeUtf8(char* out, const char16_t* units, int count, int countOnly);
// Number of units for byteLen bytes; unless countOnly, writes them and a
// closing 0 to out. hostOrder 0 stores every unit byte-swapped.
int DecodeUtf8(char16_t* out, const char* text, int byteLen, int countOnly, int hostOrder);
char* Utf16ToUtf8Alloc(const char16_t* units, int* byteCount);
char16_t* Utf8ToUtf16Alloc(const char* text, int* unitCount, int hostOrder);
// A leading byte-order mark (0xFEFF or 0xFFFE) is skipped.
char* Utf16ToMultiByte(const char16_t* units, int* byteCount);
// byteCount receives 2 per input byte.
char16_t* MultiByteToUtf16(const char* text, int* byteCount);
char* Utf8ToMultiByte(const char* text, int* byteCount);
char* MultiByteToUtf8(const char* text, int* byteCount);
// In place; the result is never longer than the text.
char* Utf8ToMultiByteInPlace(char* text);
// In place through a work array of 1,026 units: a text of more than 1,025
// characters is left unchanged. Without a size the caller's buffer must hold
// the UTF-8 result; the sized form refuses a result that does not fit
// textSize bytes (NUL included).
char* MultiByteToUtf8InPlace(char* text);
char* MultiByteToUtf8InPlace(char* text, std::size_t textSize);

// ---- JIS and EUC ----

// Every 2-byte pair from CP932 to JIS X 0208 (two blanks become 0x21 0x21);
// a last odd byte is left.
char* SjisToJisPairs(char* text);
// One JIS pair (two bytes at pair) to CP932 in place.
char* JisPairToSjis(char* pair);
int IsJisPair(const char* p);
// Every printable-ASCII byte and the byte after it taken as a JIS pair.
char* JisToSjisPrintable(char* text);
// A text of even length converted pair by pair; an odd length is left.
char* JisToSjisPairs(char* text);
uint16_t JisCodeToSjisCode(uint16_t jis);
int IsEucLeadByte(unsigned char b);   // 0x8E, 0x90-0x9F, 0xA1-0xFE
int IsEucUpperByte(unsigned char b);  // 0xA0-0xFE
char* EucToJis(char* text);
char* SjisToEuc(char* text);
char* EucToSjis(char* text);
// out needs 2 * strlen(text) + 1 bytes (each line feed may gain a CR).
char* Iso2022JpToSjis(char* out, const char* text);
// out needs 4 * strlen(text) + 1 bytes (escape sequences around each run).
char* SjisToIso2022Jp(char* out, const char* text);

// ---- Byte order and value helpers ----

uint16_t SwapUInt16(uint16_t v);
int16_t SwapInt16(int16_t v);
int32_t SwapInt32(int32_t v);
uint32_t SwapUInt32(uint32_t v);
float SwapFloat(float v);
double SwapDouble(double v);
uint16_t SwapUInt16If(uint16_t v, unsigned char flag);
int16_t SwapInt16If(int16_t v, unsigned char flag);
int32_t SwapInt32If(int32_t v, unsigned char flag);
uint32_t SwapUInt32If(uint32_t v, unsigned char flag);
float SwapFloatIf(float v, unsigned char flag);
double SwapDoubleIf(double v, unsigned char flag);
void ByteSwap16InPlace(uint16_t* v);
void ReverseBytes(void* bytes, int n);
void SwapTwoBytes(unsigned char* a, unsigned char* b);
void SwapShorts(int16_t* a, int16_t* b);
void SwapInts(int32_t* a, int32_t* b);
void SwapFloats(float* a, float* b);
void SwapDoubles(double* a, double* b);
// Exchanges two blocks of n bytes (n taken as 16-bit); 0 when the work
// buffer cannot be allocated.
int SwapMemory(void* a, void* b, int n);
void ReverseDoubleArray(double* values, int n);
uint8_t ReverseBits8(uint8_t v);
// (v >> s) | (v << (15 - s)) and (v << s) | (v >> (15 - s)) on the
// zero-extended value, unmasked (7 in place of 15 for the 8-bit forms). A
// count outside 0-15 (0-7) gives v.
uint32_t ShiftCombine16Right(uint16_t v, int s);
uint32_t ShiftCombine16Left(uint16_t v, int s);
uint32_t ShiftCombine8Right(uint8_t v, int s);
uint32_t ShiftCombine8Left(uint8_t v, int s);
void SplitColor24(uint32_t value, uint8_t* low, uint8_t* middle, uint8_t* high);
// Bytes 3, 2, 1, 0 in that order.
void SplitColor32(uint32_t value, uint8_t* byte3, uint8_t* byte2, uint8_t* byte1, uint8_t* byte0);
// Bits 0-4, 5-9, 10-14.
void SplitColor555(uint32_t value, uint8_t* bits0, uint8_t* bits5, uint8_t* bits10);
// component * factor truncated, clamped to 0-255.
int32_t ScaleColorComponent(int32_t component, double factor);
// Bytes 0, 1, 2 scaled each by its own factor and packed in the same places
// (byte 3 of the result is 0).
uint32_t ScaleColor(uint32_t value, double factor0, double factor1, double factor2);
uint32_t ScaleColorUniform(uint32_t value, double factor);
