#pragma once
// Messages for the caller's message buffer. A message buffer holds at least
// kMessageSize bytes; a null buffer means that no message is wanted.

#include <cstddef>

inline constexpr std::size_t kMessageSize = 512;

// The size of msg as SetMessage takes it: kMessageSize, or the size that a
// MessageBufferScope of this thread gives that buffer.
std::size_t MessageBufferSize(const char* msg);

// While it lives, messages formatted on this thread into the given buffer
// use its whole size (a caller whose buffer is larger than kMessageSize,
// such as a kort job's); other buffers keep kMessageSize. Scopes nest; the
// previous one comes back at the end.
class MessageBufferScope {
 public:
  MessageBufferScope(const char* buffer, std::size_t size);
  ~MessageBufferScope();
  MessageBufferScope(const MessageBufferScope&) = delete;
  MessageBufferScope& operator=(const MessageBufferScope&) = delete;

 private:
  const char* previousBuffer_;
  std::size_t previousSize_;
};

// Formats one message into msg (MessageBufferSize(msg) bytes), replacing
// what was there. A message that does not fit is cut at a character
// boundary.
void SetMessage(char* msg, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Cuts text so that it ends on a whole character and holds at most
// maxBytes bytes before its NUL (the character starts are found by walking
// forward from the beginning).
void CutAtCharBoundary(char* text, std::size_t maxBytes);
