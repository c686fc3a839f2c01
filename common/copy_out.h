#pragma once
// Hands a finished text to a caller's buffer: whole or not at all, or cut
// to the buffer as the C formatter cuts; and decimal numbers written
// without the formatter.

#include <cstddef>
#include <cstring>
#include <string>

// Copies length bytes of text and a NUL into out (outSize bytes) when they
// fit; otherwise out becomes "". Nothing is written for a null out or an
// outSize of 0. Answers out.
inline char* CopyWholeOrEmpty(char* out, std::size_t outSize, const char* text,
                              std::size_t length) {
  if (!out || outSize == 0) return out;
  if (length >= outSize) {
    out[0] = '\0';
    return out;
  }
  std::memcpy(out, text, length);
  out[length] = '\0';
  return out;
}

inline char* CopyWholeOrEmpty(char* out, std::size_t outSize, const std::string& text) {
  return CopyWholeOrEmpty(out, outSize, text.data(), text.size());
}

// Empties out (outSize bytes); nothing for a null out or an outSize of 0.
inline void EmptyText(char* out, std::size_t outSize) {
  if (out && outSize > 0) out[0] = '\0';
}

// As snprintf(out, size, "%s", text): at most size - 1 bytes of text (cut
// at a byte, as the formatter cuts) and a NUL; nothing for a size of 0.
inline char* CopyCut(char* out, std::size_t size, const char* text) {
  if (size == 0) return out;
  const std::size_t n = strnlen(text, size - 1);
  std::memmove(out, text, n);
  out[n] = '\0';
  return out;
}

// As snprintf(out, size, "%0*ld", width, value): the decimal digits of
// value, a '-' in front of a negative one, '0's after the sign up to width
// characters in all (a width up to 32); cut as CopyCut cuts. Answers the
// length of the whole
// text (as snprintf does, whether or not it was cut).
inline int FormatDecimal(char* out, std::size_t size, long value, int width = 0) {
  char digits[24];
  int n = 0;
  unsigned long magnitude =
      value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  char text[48];
  int length = 0;
  if (value < 0) text[length++] = '-';
  const int pad = width > 32 ? 32 : width;
  for (int zeros = pad - length - n; zeros > 0; --zeros) text[length++] = '0';
  while (n > 0) text[length++] = digits[--n];
  text[length] = '\0';
  CopyCut(out, size, text);
  return length;
}
