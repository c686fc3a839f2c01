#pragma once
// Growable array of fixed-size elements lying contiguously in one heap
// block (CElementArray over CElementStore), so that callers can sort and
// search it in place; and two helpers that read a text file line by line.
//
// Elements are raw bytes, numbered from 1. The array grows in whole chunks
// of a fixed number of elements; every newly allocated place is zero.
// Operations answer 1 for success and 0 (or a null pointer) for failure;
// nothing throws. Pointers into the block die after any operation that
// grows or rebuilds the array.

#include <cstdint>

#include "plat/file.h"

// The block: capacity elements of a fixed size.
class CElementStore {
 public:
  CElementStore() = default;
  ~CElementStore();
  CElementStore(const CElementStore&) = delete;
  CElementStore& operator=(const CElementStore&) = delete;

  // Frees any block, then allocates capacity x size bytes, zero-filled.
  // 0 for a size or capacity below 1, or a failed allocation (the store is
  // then empty).
  int Create(int32_t elementSize, int32_t capacity);
  // Only upwards: a new zero-filled block, the old elements copied, the old
  // block freed. 0 when the capacity is not larger, no element size is set
  // or the allocation fails (the old block is kept). A freed store (element
  // size kept) grows from nothing.
  int Grow(int32_t capacity);
  // Copy one element in / out at index 1..capacity.
  int SetAt(const void* element, int32_t index);
  int GetAt(void* buffer, int32_t index) const;
  // Element index (1..capacity); null outside.
  void* GetPtr(int32_t index);
  const void* GetPtr(int32_t index) const;
  // Frees the block; the element size stays.
  void Free();

  int32_t GetCapacity() const { return capacity_; }
  int32_t GetElementSize() const { return elementSize_; }

  void Swap(CElementStore& other);

 private:
  int32_t capacity_ = 0;
  int32_t elementSize_ = 0;
  unsigned char* block_ = nullptr;
};

class CElementArray {
 public:
  static constexpr int32_t kDefaultChunkSize = 1000;

  CElementArray() = default;
  ~CElementArray() = default;
  CElementArray(const CElementArray&) = delete;
  CElementArray& operator=(const CElementArray&) = delete;

  // Chunk size 0 means kDefaultChunkSize; allocates one zero-filled chunk;
  // count 0. 0 for an element size below 1, a negative chunk size or a
  // failed allocation.
  int Create(int32_t elementSize, int32_t chunkSize);
  int Create(int32_t elementSize) { return Create(elementSize, kDefaultChunkSize); }

  // Count + 1; when the count exceeds chunks x chunk size, the store grows
  // to (count / chunk size + 1) chunks. Copies the element to the new last
  // place. On failure the count is unchanged.
  int Add(const void* element);
  // Index 0 fails; an index beyond the count raises the count to it
  // (growing as Add does; the places in between stay zero).
  int SetAt(const void* element, int32_t index);
  // Fails for index 0 or above the count.
  int GetAt(void* buffer, int32_t index) const;
  // Element index (1..count); null outside.
  void* GetPtr(int32_t index);
  const void* GetPtr(int32_t index) const;
  // Element 1 (null without a block).
  void* GetData();
  const void* GetData() const;
  int32_t GetCount() const { return count_; }
  int32_t GetElementSize() const { return elementSize_; }
  int32_t GetChunkSize() const { return chunkSize_; }
  // Places allocated (chunks x chunk size).
  int32_t GetCapacity() const { return store_.GetCapacity(); }

  // Count - 1 when not 0 (the place is zeroed again); 0 for an empty array.
  int RemoveLast();
  // Rebuilds the array without element index (1..count).
  int RemoveAt(int32_t index);
  // Rebuilds the array in reverse order.
  int Reverse();
  // Creates other with the same element and chunk sizes and adds every
  // element.
  int CopyTo(CElementArray& other) const;
  // Frees the store; count 0, chunks 0. Sizes stay, so Add works again.
  void RemoveAll();

 private:
  int EnsurePlaces(int32_t count);
  void Swap(CElementArray& other);

  int32_t elementSize_ = 0;
  int32_t chunkSize_ = 0;
  int32_t chunks_ = 0;
  int32_t count_ = 0;
  CElementStore store_;
};

// Opens a text-mode file object for reading with exclusive sharing; 1 or 0.
int OpenTextFileExclusive(plat::File* file, const char* path);
// Zero-fills the buffer (size bytes) and reads one line of at most size - 1
// bytes; the line feed, when it fits, stays at its end, and a longer line
// arrives in pieces. 1 when a line was read; 0 at the end of the file, on a
// read error, or for a null file or buffer or a size below 2.
int ReadTextLine(plat::File* file, char* buffer, int32_t size);
