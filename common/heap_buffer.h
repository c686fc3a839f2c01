#pragma once
// Owner of one heap block.

#include <cstdint>

class CHeapBuffer {
 public:
  CHeapBuffer() = default;
  ~CHeapBuffer() { Free(); }
  CHeapBuffer(const CHeapBuffer&) = delete;
  CHeapBuffer& operator=(const CHeapBuffer&) = delete;

  // Frees any block, then takes a new uninitialised one of count x size
  // bytes; null (and no block) when either is 0 or memory runs out.
  void* Allocate(uint32_t count, uint32_t size);
  // The same, except that running out of memory throws std::bad_alloc (for
  // a block its caller cannot do without: the caller's entry answers the
  // memory failure, common/allocation_guard.h).
  void* Take(uint32_t count, uint32_t size);
  void Free();

 private:
  void* block_ = nullptr;
};
