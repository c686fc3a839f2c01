#pragma once
// Flags packed eight to a byte: a fixed set (CBitSet) and a growable list
// appended bit by bit (CBitList).
//
// Bits are numbered from 1: bit K lives in byte (K - 1) / 8 + 1 under the
// mask 0x80 >> ((K - 1) % 8), so bit 1 is the top bit of the first byte.

#include <cstdint>

#include "common/record_array.h"

class CBitSet {
 public:
  CBitSet() = default;
  ~CBitSet() { Free(); }
  CBitSet(const CBitSet&) = delete;
  CBitSet& operator=(const CBitSet&) = delete;

  // n bits, each set through Set(K, value); 0 for n = 0 or when memory runs
  // out. Bits of the last byte that belong to no flag are zero.
  int Create(uint32_t n, int value);
  void Free();
  // 1 when bit k is set; 0 when clear or k is outside 1..bit count.
  int Test(uint32_t k) const;
  // Value 1 sets the bit, any other value clears it; 0 when k is outside.
  int Set(uint32_t k, int value);
  // Every byte 0xFF (flag nonzero) or 0x00.
  void SetAll(int flag);
  // The byte holding bit k; 0 when k is outside 1..bit count.
  unsigned char GetByteOf(uint32_t k) const;
  // Byte n (1-based); null outside the array.
  unsigned char* GetBytePtr(uint32_t n);
  uint32_t GetByteSize() const { return bytes_.GetByteSize(); }
  uint32_t GetBitCount() const { return bitCount_; }

 private:
  uint32_t bitCount_ = 0;
  CRecordArray bytes_;
};

class CBitList {
 public:
  CBitList() = default;
  ~CBitList() { Free(); }
  CBitList(const CBitList&) = delete;
  CBitList& operator=(const CBitList&) = delete;

  // No bits yet; room for n bits, growing by 128 bytes.
  int Create(uint32_t n);
  void Free();
  // As for CBitSet, bounded by the bits appended so far.
  int Test(uint32_t k) const;
  unsigned char GetByteOf(uint32_t k) const;
  // k may lie beyond the bits appended as long as its byte is allocated.
  int Set(uint32_t k, int value);
  // Value 1 appends a set bit, any other value a clear one.
  int AppendBit(int value);
  // The eight bits of the byte, most significant first; 0 at the first
  // failure.
  int AppendByteBits(unsigned char byte);
  uint32_t GetByteSize() const { return bytes_.GetByteSize(); }
  uint32_t GetBitCount() const { return bitCount_; }
  unsigned char* GetBuffer() { return static_cast<unsigned char*>(bytes_.GetBuffer()); }

 private:
  uint32_t bitCount_ = 0;
  CRecordList bytes_;
};
