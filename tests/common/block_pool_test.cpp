#include "common/block_pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <random>

namespace {

// Live blocks by offset in the pool's buffer (offsets survive growth), each
// filled with its own byte so that an overlap shows as changed contents.
class PoolModel {
 public:
  struct Block {
    uint32_t count;
    unsigned char fill;
  };

  explicit PoolModel(CBlockPool& pool) : pool_(pool) {}

  // The offset of the new block's data, or -1.
  int64_t Alloc(uint32_t count) {
    auto* p = static_cast<unsigned char*>(pool_.Alloc(count));
    if (p == nullptr) return -1;
    const int64_t offset = p - Buffer();
    const unsigned char fill = static_cast<unsigned char>(++fills_);
    std::memset(p, fill, count);
    live_[offset] = {count, fill};
    return offset;
  }

  void Free(int64_t offset) {
    pool_.FreeBlock(Buffer() + offset);
    live_.erase(offset);
  }

  // No two live blocks share a byte, and every block still holds its fill.
  ::testing::AssertionResult Consistent() {
    int64_t end = -1;
    for (const auto& [offset, block] : live_) {
      if (offset < end) {
        return ::testing::AssertionFailure()
               << "block at " << offset << " overlaps the one ending at " << end;
      }
      end = offset + block.count;
      for (uint32_t i = 0; i < block.count; ++i) {
        if (Buffer()[offset + i] != block.fill) {
          return ::testing::AssertionFailure()
                 << "block at " << offset << " was overwritten at byte " << i;
        }
      }
    }
    return ::testing::AssertionSuccess();
  }

  const std::map<int64_t, Block>& Live() const { return live_; }

 private:
  unsigned char* Buffer() { return static_cast<unsigned char*>(pool_.GetBuffer()); }

  CBlockPool& pool_;
  std::map<int64_t, Block> live_;
  int fills_ = 0;
};

TEST(CBlockPool, FirstBlockOfAHundredBytesSpansEightySeven) {
  CBlockPool pool;
  ASSERT_EQ(pool.Create(100, 0), 1);
  EXPECT_EQ(pool.GetBlockCapacity(), 87u);
  void* buffer = pool.GetBuffer();
  EXPECT_EQ(pool.Alloc(75), static_cast<unsigned char*>(buffer) + 12);
  EXPECT_EQ(pool.GetBuffer(), buffer);      // no growth
  EXPECT_EQ(pool.GetBlockCapacity(), 75u);  // the free block after it spans 0

  CBlockPool other;
  ASSERT_EQ(other.Create(100, 0), 1);
  ASSERT_NE(other.Alloc(76), nullptr);
  // Grown by 76 + 12 bytes: 76 in use, then a free block up to the new end.
  EXPECT_EQ(other.GetBlockCapacity(), 76u + (188u - 88u - 13u));
}

TEST(CBlockPool, BlocksFollowEachOtherWithTheirHeaders) {
  CBlockPool pool;
  ASSERT_EQ(pool.Create(100, 0), 1);
  auto* a = static_cast<unsigned char*>(pool.Alloc(10));
  auto* b = static_cast<unsigned char*>(pool.Alloc(10));
  ASSERT_TRUE(a != nullptr && b != nullptr);
  EXPECT_EQ(b - a, 22);
  EXPECT_EQ(pool.Alloc(0), nullptr);
  // In use, previous, next: 32-bit offsets, little-endian.
  int32_t h[3];
  std::memcpy(h, b - 12, 12);
  EXPECT_TRUE(h[0] == 10 && h[1] == 0 && h[2] == 44) << h[0] << " " << h[1] << " " << h[2];
}

TEST(CBlockPool, FreedFirstBlockIsOnlyMarkedThenJoinsItsNeighbour) {
  CBlockPool pool;
  ASSERT_EQ(pool.Create(100, 0), 1);
  auto* first = pool.Alloc(50);
  auto* second = pool.Alloc(10);
  ASSERT_NE(second, nullptr);
  const uint32_t capacity = pool.GetBlockCapacity();
  pool.FreeBlock(first);
  EXPECT_EQ(pool.GetBlockCapacity(), capacity);  // still linked, only free
  pool.FreeBlock(second);                        // unlinked: its span joins the first block
  EXPECT_EQ(pool.GetBlockCapacity(), capacity + 12);
  EXPECT_EQ(pool.Alloc(50), first);  // the freed first block is reused
}

TEST(CBlockPool, SplitBlockNeverOverlapsALiveOne) {
  // Freeing a block whose predecessor was split must unlink it from the
  // block in front of it now, not from the one that was split.
  CBlockPool pool;
  ASSERT_EQ(pool.Create(100, 0), 1);
  PoolModel model(pool);
  const int64_t a = model.Alloc(50);
  const int64_t b = model.Alloc(10);
  EXPECT_EQ(a, 12);
  EXPECT_EQ(b, 74);
  model.Free(a);
  EXPECT_EQ(model.Alloc(20), 12);
  model.Free(b);
  const int64_t c = model.Alloc(5);
  EXPECT_EQ(c, 44);
  model.Free(12);
  const int64_t d = model.Alloc(60);
  ASSERT_GE(d, 0);
  EXPECT_TRUE(model.Consistent());
  EXPECT_FALSE(d < c + 5 && c < d + 60) << "blocks at " << c << " and " << d << " overlap";
}

TEST(CBlockPool, ResetForgetsEarlierBlocks) {
  CBlockPool pool;
  ASSERT_EQ(pool.Create(100, 0), 1);
  ASSERT_NE(pool.Alloc(10), nullptr);
  ASSERT_NE(pool.Alloc(10), nullptr);
  pool.Reset();
  EXPECT_EQ(pool.GetBlockCapacity(), 87u);
  PoolModel model(pool);
  EXPECT_EQ(model.Alloc(10), 12);  // from the start again
  ASSERT_GE(model.Alloc(60), 0);
  EXPECT_TRUE(model.Consistent());
}

TEST(CBlockPool, RandomAllocAndFreeKeepBlocksApart) {
  std::mt19937 rng(99);
  for (uint32_t step : {0u, 64u, 1000u}) {
    CBlockPool pool;
    ASSERT_EQ(pool.Create(64, step), 1);
    PoolModel model(pool);
    for (int i = 0; i < 4000; ++i) {
      if (!model.Live().empty() && rng() % 5 < 2) {
        auto it = model.Live().begin();
        std::advance(it, rng() % model.Live().size());
        model.Free(it->first);
      } else {
        ASSERT_GE(model.Alloc(1 + rng() % 40), 0);
      }
      ASSERT_TRUE(model.Consistent()) << "step " << step << " operation " << i;
    }
  }
}

TEST(CBlockPool, IgnoresPointersThatAreNotLiveBlocks) {
  CBlockPool pool;
  ASSERT_EQ(pool.Create(200, 0), 1);
  PoolModel model(pool);
  model.Alloc(10);
  const int64_t b = model.Alloc(10);
  model.Alloc(10);
  model.Free(b);
  pool.FreeBlock(static_cast<unsigned char*>(pool.GetBuffer()) + b);  // second release
  unsigned char outside[16];
  pool.FreeBlock(outside + 12);
  pool.FreeBlock(pool.GetBuffer());  // no header before the buffer's start
  pool.FreeBlock(nullptr);
  EXPECT_GE(model.Alloc(30), 0);
  EXPECT_TRUE(model.Consistent());

  pool.Free();
  EXPECT_EQ(pool.Alloc(1), nullptr);
  EXPECT_EQ(pool.Create(12, 0), 0);  // no room for a header and the last byte
  ASSERT_EQ(pool.Create(13, 0), 1);
  EXPECT_EQ(pool.GetBlockCapacity(), 0u);
  EXPECT_NE(pool.Alloc(1), nullptr);  // grows
}

}  // namespace
