#include "common/heap_buffer.h"

#include <cstdlib>

#include "common/allocation_guard.h"

void* CHeapBuffer::Allocate(uint32_t count, uint32_t size) {
  // Without memory the answer is null.
  return CatchAllocationFailure(static_cast<void*>(nullptr), [&] { return Take(count, size); });
}

void* CHeapBuffer::Take(uint32_t count, uint32_t size) {
  Free();
  if (count == 0 || size == 0) return nullptr;
  const uint64_t bytes = static_cast<uint64_t>(count) * size;
  if (bytes > SIZE_MAX) return nullptr;
  block_ = AllocateBlock(static_cast<size_t>(bytes));
  return block_;
}

void CHeapBuffer::Free() {
  std::free(block_);
  block_ = nullptr;
}
