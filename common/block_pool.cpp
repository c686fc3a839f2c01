#include "common/block_pool.h"

#include <cstdlib>
#include <cstring>

#include "common/allocation_guard.h"

namespace {

constexpr uint32_t kMaxPoolSize = INT32_MAX;

}  // namespace

int CBlockPool::Create(uint32_t size, uint32_t growthStep) {
  Free();
  if (size < kHeaderSize + 1 || size > kMaxPoolSize) return 0;
  // Without memory the pool stays empty and the answer is 0.
  return CatchAllocationFailure(0, [&] {
    buffer_ = static_cast<unsigned char*>(AllocateZeroedBlock(size));
    size_ = size;
    growthStep_ = growthStep;
    cursor_.Bind(buffer_, size_);
    Reset();
    return 1;
  });
}

void CBlockPool::Reset() {
  if (buffer_ == nullptr) return;
  WriteHeader(0, Header{0, -1, -1});
  // The remembered block may lie inside the one free block now.
  last_ = 0;
}

void CBlockPool::Free() {
  std::free(buffer_);
  buffer_ = nullptr;
  size_ = 0;
  growthStep_ = 0;
  last_ = 0;
  cursor_ = CByteCursor();
}

int CBlockPool::ReadHeader(uint32_t offset, Header* h) {
  return cursor_.Seek(offset) && cursor_.GetInt(&h->used) && cursor_.GetInt(&h->previous) &&
                 cursor_.GetInt(&h->next)
             ? 1
             : 0;
}

int CBlockPool::WriteHeader(uint32_t offset, const Header& h) {
  return cursor_.Seek(offset) && cursor_.PutInt(h.used) && cursor_.PutInt(h.previous) &&
                 cursor_.PutInt(h.next)
             ? 1
             : 0;
}

int64_t CBlockPool::SpanOf(uint32_t offset, const Header& h) const {
  if (h.next == -1) return static_cast<int64_t>(size_) - offset - kHeaderSize - 1;
  if (h.next <= static_cast<int64_t>(offset) || static_cast<uint64_t>(h.next) + kHeaderSize > size_)
    return -1;
  return static_cast<int64_t>(h.next) - offset - kHeaderSize;
}

int CBlockPool::Fits(uint32_t offset, uint32_t count) {
  Header h;
  if (!ReadHeader(offset, &h) || h.used != 0) return 0;
  return SpanOf(offset, h) >= static_cast<int64_t>(count) + kHeaderSize ? 1 : 0;
}

int64_t CBlockPool::FindFit(uint32_t count) {
  uint32_t offset = 0;
  for (;;) {
    Header h;
    if (!ReadHeader(offset, &h)) return -1;
    if (h.used == 0 && SpanOf(offset, h) >= static_cast<int64_t>(count) + kHeaderSize)
      return offset;
    // Links only ever point forward; anything else is a damaged header.
    if (h.next == -1 || SpanOf(offset, h) < 0) return -1;
    offset = static_cast<uint32_t>(h.next);
  }
}

int CBlockPool::GrowBy(uint64_t bytes) {
  const uint64_t newSize = static_cast<uint64_t>(size_) + bytes;
  if (newSize > kMaxPoolSize) return 0;
  // Without memory the pool stays as it was and the answer is 0.
  return CatchAllocationFailure(0, [&] {
    auto* grown = static_cast<unsigned char*>(AllocateZeroedBlock(static_cast<size_t>(newSize)));
    std::memcpy(grown, buffer_, size_);
    std::free(buffer_);
    buffer_ = grown;
    size_ = static_cast<uint32_t>(newSize);
    cursor_.Bind(buffer_, size_);
    return 1;
  });
}

void* CBlockPool::Take(uint32_t offset, uint32_t count) {
  Header h;
  if (!ReadHeader(offset, &h)) return nullptr;
  const uint32_t split = offset + kHeaderSize + count;
  if (!WriteHeader(offset,
                   Header{static_cast<int32_t>(count), h.previous, static_cast<int32_t>(split)}) ||
      !WriteHeader(split, Header{0, static_cast<int32_t>(offset), h.next})) {
    return nullptr;
  }
  // The block after the split now follows the new free block: its back-link
  // must say so, or a later release would unlink live blocks with it.
  if (h.next != -1) {
    Header after;
    if (ReadHeader(static_cast<uint32_t>(h.next), &after)) {
      after.previous = static_cast<int32_t>(split);
      WriteHeader(static_cast<uint32_t>(h.next), after);
    }
  }
  last_ = split;
  return buffer_ + offset + kHeaderSize;
}

void* CBlockPool::Alloc(uint32_t count) {
  if (buffer_ == nullptr || count == 0 || count > kMaxPoolSize) return nullptr;
  int64_t offset = Fits(last_, count) ? static_cast<int64_t>(last_) : FindFit(count);
  if (offset < 0) {
    const uint64_t need = static_cast<uint64_t>(count) + kHeaderSize;
    if (!GrowBy(need > growthStep_ ? need : growthStep_)) return nullptr;
    offset = FindFit(count);
    if (offset < 0) return nullptr;
  }
  return Take(static_cast<uint32_t>(offset), count);
}

void CBlockPool::FreeBlock(void* p) {
  if (p == nullptr || buffer_ == nullptr) return;
  const auto address = reinterpret_cast<uintptr_t>(p);
  const auto start = reinterpret_cast<uintptr_t>(buffer_);
  if (address < start + kHeaderSize || address >= start + size_) return;
  const auto offset = static_cast<uint32_t>(address - start - kHeaderSize);
  Header h;
  if (!ReadHeader(offset, &h) || h.used == 0) return;
  if (h.previous != -1 && h.next != -1) {
    Header before;
    Header after;
    if (ReadHeader(static_cast<uint32_t>(h.previous), &before) &&
        ReadHeader(static_cast<uint32_t>(h.next), &after)) {
      before.next = h.next;
      after.previous = h.previous;
      WriteHeader(static_cast<uint32_t>(h.previous), before);
      WriteHeader(static_cast<uint32_t>(h.next), after);
    }
  }
  h.used = 0;
  WriteHeader(offset, h);
}

uint32_t CBlockPool::GetBlockCapacity() {
  if (buffer_ == nullptr) return 0;
  uint64_t total = 0;
  uint32_t offset = 0;
  for (;;) {
    Header h;
    if (!ReadHeader(offset, &h)) break;
    const int64_t span = SpanOf(offset, h);
    if (span < 0) break;
    total += static_cast<uint64_t>(span);
    if (h.next == -1) break;
    offset = static_cast<uint32_t>(h.next);
  }
  return static_cast<uint32_t>(total);
}
