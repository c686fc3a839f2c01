#include "common/heap_buffer.h"

#include <cstdlib>

void* CHeapBuffer::Allocate(uint32_t count, uint32_t size) {
  Free();
  if (count == 0 || size == 0) return nullptr;
  const uint64_t bytes = static_cast<uint64_t>(count) * size;
  if (bytes > SIZE_MAX) return nullptr;
  block_ = std::malloc(static_cast<size_t>(bytes));
  return block_;
}

void CHeapBuffer::Free() {
  std::free(block_);
  block_ = nullptr;
}
