#pragma once
// Messages for the caller's message buffer. A message buffer holds at least
// kMessageSize bytes; a null buffer means that no message is wanted.

#include <cstddef>

inline constexpr std::size_t kMessageSize = 512;

// Formats one message into msg (kMessageSize bytes), replacing what was
// there. A message that does not fit is cut at a character boundary.
void SetMessage(char* msg, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Cuts text so that it ends on a whole character and holds at most
// maxBytes bytes before its NUL (the character starts are found by walking
// forward from the beginning).
void CutAtCharBoundary(char* text, std::size_t maxBytes);
