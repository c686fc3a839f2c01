#pragma once
// Code page 932 (Shift-JIS as Windows has it) <-> Unicode, by tables made at
// build time from the C library's "CP932" converter (the same answers,
// without loading its module at run time). No locale is involved.

#include <cstddef>
#include <string>
#include <string_view>

namespace plat::cp932 {

// 0x81-0x9F and 0xE0-0xFF start a two-byte character.
inline bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || b >= 0xE0; }

// Strict conversions: false (out unspecified) when any input has no form
// in the target encoding. A form need not convert back to the same
// character (FromUtf8 takes U+00A5 to 0x5C): names from the OS go through
// FromNativeName instead.
bool ToUtf16(std::string_view cp932, std::u16string& out);
bool FromUtf16(std::u16string_view utf16, std::string& out);
bool ToUtf8(std::string_view cp932, std::string& out);
bool FromUtf8(std::string_view utf8, std::string& out);

// Names from the OS (UTF-8) carried through CP932 text. A character is
// converted only where its CP932 form converts back to the same character;
// any other character (one with no CP932 form, or one whose form is another
// character's, such as U+00A5 -> 0x5C the separator or U+301C -> 0x8160,
// which is U+FF5E), and any byte that is no UTF-8, keeps its own bytes, each
// after kCarryLead. In an element of a name (between '/') that is no UTF-8,
// a 0x5C that is the second byte of a CP932 character (表 = 95 5C), found
// by walking the element forward from its start, is part of that character
// and is carried too, never a separator. kCarryLead is a lead byte to every
// Shift-JIS walker and kCarryLead followed by 0x80-0xFF or 0x5C is no CP932
// character, so a carried byte never reads as a separator or as a
// character, and ToNativeName gives back exactly the bytes the name had. A
// name that converts whole is plain CP932 (FromUtf8's answer).
inline constexpr unsigned char kCarryLead = 0xFC;
std::string FromNativeName(std::string_view utf8);
// CP932 text, carried bytes included, to UTF-8; false when some byte is
// neither a character nor carried.
bool ToNativeName(std::string_view cp932, std::string& out);

// Whether the bytes are UTF-8 throughout (strict, as FromUtf8 reads it).
bool IsUtf8(std::string_view bytes);

// One UTF-16 unit to CP932 (1 or 2 bytes); false when it has no form.
bool UnitToCp932(char16_t unit, std::string& out);

// Lossy forms: a unit with no CP932 form becomes `replacement` (the Windows
// default character is '?'); a surrogate pair gives one replacement.
std::string FromUtf16Lossy(std::u16string_view utf16, char replacement = '?');
// Little-endian UTF-16 bytes as stored in data files; an odd last byte is ignored.
std::string FromUtf16LeBytes(const void* bytes, std::size_t byteLen, char replacement = '?');

// For display (tests, diagnostics): invalid bytes come out as \xNN.
std::string ToUtf8Display(std::string_view cp932);

}  // namespace plat::cp932
