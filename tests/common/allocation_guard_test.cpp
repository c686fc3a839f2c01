#include "common/allocation_guard.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/element_array.h"
#include "common/heap_buffer.h"
#include "common/message.h"

namespace {
// More bytes than any address space holds.
constexpr std::size_t kImpossible = std::size_t{1} << 62;
}  // namespace

// AddressSanitizer ends the program on a request it cannot meet instead of
// answering null, so the tests that make one run only without it.
#if defined(__SANITIZE_ADDRESS__)
#define SKIP_WHERE_IMPOSSIBLE_REQUESTS_ABORT() \
  GTEST_SKIP() << "AddressSanitizer aborts on such a request"
#else
#define SKIP_WHERE_IMPOSSIBLE_REQUESTS_ABORT() static_cast<void>(0)
#endif

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

TEST(CatchAllocationFailure, WithoutAMessageBufferAnswersTheFailureValueAlone) {
  EXPECT_EQ(CatchAllocationFailure(-1, []() -> int { throw std::bad_alloc(); }), -1);
  EXPECT_EQ(CatchAllocationFailure(0, [] { return 7; }), 7);
}

TEST(AllocateBlock, ThrowsWhereMallocWouldAnswerNull) {
  SKIP_WHERE_IMPOSSIBLE_REQUESTS_ABORT();
  // The blocks that are released with free are taken like new: a request
  // that cannot be met throws instead of answering null, and an entry turns
  // that into its failure value.
  EXPECT_THROW(AllocateBlock(kImpossible), std::bad_alloc);
  EXPECT_THROW(AllocateZeroedBlock(kImpossible), std::bad_alloc);
  EXPECT_EQ(CatchAllocationFailure(static_cast<void*>(nullptr),
                                   [] { return AllocateBlock(kImpossible); }),
            nullptr);
}

TEST(AllocateBlock, GivesEmptyAndZeroedBlocks) {
  // A block of 0 bytes is still a block of its own.
  void* empty = AllocateBlock(0);
  EXPECT_NE(empty, nullptr);
  std::free(empty);
  auto* zeroed = static_cast<unsigned char*>(AllocateZeroedBlock(64));
  ASSERT_NE(zeroed, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(zeroed[i], 0) << i;
  std::free(zeroed);
}

TEST(AllocationFailure, StoresAnswerTheirOwnFailureValueAndKeepTheirState) {
  SKIP_WHERE_IMPOSSIBLE_REQUESTS_ABORT();
  // The heap buffer answers null and holds no block.
  CHeapBuffer heap;
  EXPECT_EQ(heap.Allocate(UINT32_MAX, UINT32_MAX), nullptr);
  EXPECT_NE(heap.Allocate(4, 4), nullptr);

  // The element store answers 0: empty after Create, its old block kept
  // after Grow.
  CElementStore store;
  EXPECT_EQ(store.Create(INT32_MAX, INT32_MAX), 0);
  EXPECT_EQ(store.GetCapacity(), 0);
  constexpr int32_t kElement = 1 << 20;
  ASSERT_EQ(store.Create(kElement, 2), 1);
  const std::vector<unsigned char> element(kElement, 1);
  ASSERT_EQ(store.SetAt(element.data(), 1), 1);
  EXPECT_EQ(store.Grow(INT32_MAX), 0);
  EXPECT_EQ(store.GetCapacity(), 2);
  EXPECT_EQ(static_cast<const unsigned char*>(store.GetPtr(1))[kElement - 1], 1);
}

TEST(RunProgram, RunningOutOfMemoryEndsTheProgramWithStatusOneAndALine) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunProgram("prog", []() -> int { throw std::bad_alloc(); }), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "prog: out of memory\n");

  // A body that ends normally gives its own status and prints nothing.
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunProgram("prog", [] { return 2; }), 2);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// A program's reserve goes back at the first allocation that fails, through
// new or AllocateBlock, and the allocation fails as it would have: the
// clean-up after it finds the reserve's memory. The new handler is the
// program's own again when the reserve is done, and a second reserve while
// one is held holds nothing.
TEST(AllocationReserve, TheFirstFailedAllocationReleasesItAndStillFails) {
  SKIP_WHERE_IMPOSSIBLE_REQUESTS_ABORT();
  const std::new_handler before = std::get_new_handler();
  for (const bool throughBlock : {false, true}) {
    const AllocationReserve reserve(64 * 1024);
    ASSERT_TRUE(reserve.Held());
    {
      const AllocationReserve second(1024);
      EXPECT_FALSE(second.Held());
    }
    EXPECT_TRUE(reserve.Held());
    char msg[kMessageSize] = "";
    const int result = CatchAllocationFailure(msg, -1, [&] {
      if (throughBlock) {
        std::free(AllocateBlock(kImpossible));
      } else {
        std::vector<char> huge;
        huge.reserve(kImpossible);
      }
      return 1;
    });
    EXPECT_EQ(result, -1) << throughBlock;
    EXPECT_STREQ(msg, "作業用メモリの確保に失敗しました！");
    EXPECT_FALSE(reserve.Held()) << throughBlock;
    // Released once: a later failure fails as before.
    EXPECT_EQ(CatchAllocationFailure(-1, [] { return AllocateBlock(kImpossible) != nullptr; }), -1);
  }
  EXPECT_EQ(std::get_new_handler(), before);
}
