#pragma once
// Variable-size blocks handed out from one growing heap buffer. Each block
// is preceded by a 12-byte header that links it to its neighbours by offset
// (never by pointer, so the links survive the buffer moving when it grows):
//   bytes 0-3   bytes in use (0: free)
//   bytes 4-7   offset of the previous block (-1: none)
//   bytes 8-11  offset of the next block (-1: none)
// A block's span (bytes available to its data) reaches to the next block's
// header, or for the last block to the buffer's last byte, which is never
// handed out. Pointers from Alloc die after any Alloc that grows the buffer.

#include <cstdint>

#include "common/byte_cursor.h"

class CBlockPool {
 public:
  static constexpr uint32_t kHeaderSize = 12;

  // The header as read and written through the cursor, field by field.
  struct Header {
    int32_t used;
    int32_t previous;
    int32_t next;
  };
  static_assert(sizeof(Header) == kHeaderSize, "block header is three 32-bit offsets");

  CBlockPool() = default;
  ~CBlockPool() { Free(); }
  CBlockPool(const CBlockPool&) = delete;
  CBlockPool& operator=(const CBlockPool&) = delete;

  // Frees any buffer, then allocates size bytes holding one free block.
  // 0 when the size cannot hold a header and the reserved last byte, is
  // above 2^31 - 1, or memory runs out.
  int Create(uint32_t size, uint32_t growthStep);
  // One free block over the whole buffer again; the buffer stays.
  void Reset();
  void Free();

  // count usable bytes, or null (count 0, no buffer, memory out).
  void* Alloc(uint32_t count);
  // Marks the block free; a block with both neighbours is unlinked so that
  // its span joins the previous block. Null, a pointer that is not a block
  // of this pool's buffer, and a block already free are ignored.
  void FreeBlock(void* p);

  void* GetBuffer() { return buffer_; }
  // Bytes of the buffer (0 without one).
  uint32_t GetSize() const { return size_; }
  // Sum of the spans of all linked blocks, used or free.
  uint32_t GetBlockCapacity();

 private:
  int ReadHeader(uint32_t offset, Header* h);
  int WriteHeader(uint32_t offset, const Header& h);
  // Span of the block at offset; negative when the header is damaged.
  int64_t SpanOf(uint32_t offset, const Header& h) const;
  int Fits(uint32_t offset, uint32_t count);
  // First block from offset 0 that fits, or -1.
  int64_t FindFit(uint32_t count);
  int GrowBy(uint64_t bytes);
  void* Take(uint32_t offset, uint32_t count);

  unsigned char* buffer_ = nullptr;
  uint32_t size_ = 0;
  uint32_t growthStep_ = 0;
  uint32_t last_ = 0;
  CByteCursor cursor_;
};
