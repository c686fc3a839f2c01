#pragma once
// Helpers shared by the library's text code (the text modules of this folder
// and the table database's name index); not a public interface.

#include <cstddef>
#include <string>
#include <string_view>

namespace sjis_internal {

// Bytes of the character at p: 0 at the NUL, 2 for a lead byte followed by a
// non-NUL byte, else 1.
inline int CharLen(const char* p) {
  const unsigned char b = static_cast<unsigned char>(p[0]);
  if (b == 0) return 0;
  if (((b >= 0x81 && b <= 0x9F) || b >= 0xE0) && p[1] != '\0') return 2;
  return 1;
}

// Byte offset of the next single-byte character c at or after `from`,
// walking by characters; -1 when there is none.
inline int FindByteChar(const char* text, int from, char c) {
  for (const char* p = text + from; *p;) {
    if (*p == c) return static_cast<int>(p - text);
    p += CharLen(p);
  }
  return -1;
}

// The text without its leading and trailing blanks (0x20), as a new string.
inline std::string TrimmedBlanks(std::string_view text) {
  std::size_t b = 0;
  std::size_t e = text.size();
  while (b < e && text[b] == ' ') ++b;
  while (e > b && text[e - 1] == ' ') --e;
  return std::string(text.substr(b, e - b));
}

// ReplaceAll on a work string: false (text unchanged) when the text or the
// result reaches `limit` bytes.
bool ReplaceAllIn(std::string& text, const char* search, const char* replacement,
                  std::size_t limit);

// Copies a finished result over the caller's text. textSize is the caller's
// buffer size, 0 when unknown: then a result longer than the original text
// must stay shorter than `unsizedLimit`. False (text unchanged) when refused.
bool CommitResult(char* text, const std::string& result, std::size_t textSize,
                  std::size_t unsizedLimit);

}  // namespace sjis_internal
