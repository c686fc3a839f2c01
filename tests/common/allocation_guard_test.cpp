#include "common/allocation_guard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "common/message.h"

TEST(CatchAllocationFailure, AnAllocationFailureBecomesTheMemoryMessageAndTheFailureValue) {
  char msg[kMessageSize] = "before";
  const int result = CatchAllocationFailure(msg, -1, []() -> int { throw std::bad_alloc(); });
  EXPECT_EQ(result, -1);
  EXPECT_STREQ(msg, "作業用メモリの確保に失敗しました！");

  // A body that ends normally answers its own value and leaves the message.
  std::strcpy(msg, "kept");
  EXPECT_EQ(CatchAllocationFailure(msg, 0, [] { return 7; }), 7);
  EXPECT_STREQ(msg, "kept");

  // A null message buffer is allowed.
  EXPECT_EQ(CatchAllocationFailure(nullptr, 0, []() -> int { throw std::bad_alloc(); }), 0);
}
