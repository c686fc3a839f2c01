#pragma once
// Hands a finished text to a caller's buffer whole or not at all.

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
