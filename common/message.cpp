#include "common/message.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/sjis_internal.h"

void CutAtCharBoundary(char* text, std::size_t maxBytes) {
  if (!text) return;
  std::size_t pos = 0;
  for (;;) {
    const int len = sjis_internal::CharLen(text + pos);
    if (len == 0) return;
    if (pos + static_cast<std::size_t>(len) > maxBytes) break;
    pos += static_cast<std::size_t>(len);
  }
  text[pos] = '\0';
}

namespace {
thread_local const char* scopedBuffer = nullptr;
thread_local std::size_t scopedSize = kMessageSize;
}  // namespace

std::size_t MessageBufferSize(const char* msg) {
  return msg != nullptr && msg == scopedBuffer ? scopedSize : kMessageSize;
}

MessageBufferScope::MessageBufferScope(const char* buffer, std::size_t size)
    : previousBuffer_(scopedBuffer), previousSize_(scopedSize) {
  scopedBuffer = size > 0 ? buffer : nullptr;
  scopedSize = size > 0 ? size : kMessageSize;
}

MessageBufferScope::~MessageBufferScope() {
  scopedBuffer = previousBuffer_;
  scopedSize = previousSize_;
}

void SetMessage(char* msg, const char* format, ...) {
  if (!msg) return;
  const std::size_t size = MessageBufferSize(msg);
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(msg, size, format, args);
  va_end(args);
  if (n < 0) {
    msg[0] = '\0';
  } else if (static_cast<std::size_t>(n) >= size) {
    // Too long: format it whole, so that the character at the cut is seen
    // with both its bytes, then keep the whole characters that fit.
    std::string full(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(full.data(), full.size(), format, again);
    CutAtCharBoundary(full.data(), size - 1);
    std::memcpy(msg, full.c_str(), std::strlen(full.c_str()) + 1);
  }
  va_end(again);
}
