// Messages in the caller's buffer: its size, the cut at a character
// boundary, and the larger buffer of a scope.
#include "common/message.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/test_util.h"

namespace {

// 300 characters ソ (83 5C): 600 bytes, every second byte 0x5C.
std::string LongText() {
  std::string text;
  for (int i = 0; i < 300; ++i) text += testutil::Sjis(u8"ソ");
  return text;
}

TEST(MessageBuffer, LongMessagesAreCutAtACharacterBoundaryOfTheBuffer) {
  char msg[kMessageSize + 16];
  std::memset(msg, 'Z', sizeof msg);
  SetMessage(msg, "[%s]", LongText().c_str());
  // "[" and 255 whole characters: 511 bytes and the NUL.
  EXPECT_EQ(std::strlen(msg), 511u);
  EXPECT_EQ(msg[kMessageSize + 1], 'Z');
  EXPECT_EQ(MessageBufferSize(msg), kMessageSize);
}

TEST(MessageBuffer, AScopeGivesOneBufferItsWholeSize) {
  char job[1024] = "";
  char scratch[kMessageSize + 16];
  std::memset(scratch, 'Z', sizeof scratch);
  {
    const MessageBufferScope scope(job, sizeof job);
    EXPECT_EQ(MessageBufferSize(job), sizeof job);
    SetMessage(job, "[%s]", LongText().c_str());
    EXPECT_EQ(std::string(job), "[" + LongText() + "]");
    // Any other buffer keeps the usual size.
    SetMessage(scratch, "[%s]", LongText().c_str());
    EXPECT_EQ(std::strlen(scratch), 511u);
    EXPECT_EQ(scratch[kMessageSize + 1], 'Z');
    {
      char inner[2048] = "";
      const MessageBufferScope nested(inner, sizeof inner);
      EXPECT_EQ(MessageBufferSize(inner), sizeof inner);
      EXPECT_EQ(MessageBufferSize(job), kMessageSize);
    }
    EXPECT_EQ(MessageBufferSize(job), sizeof job);
    // Even the whole buffer cuts at a character boundary.
    SetMessage(job, "%s%s", LongText().c_str(), LongText().c_str());
    EXPECT_EQ(std::strlen(job), 1022u);
  }
  EXPECT_EQ(MessageBufferSize(job), kMessageSize);
}

}  // namespace
