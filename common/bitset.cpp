#include "common/bitset.h"

namespace {

uint32_t ByteIndexOf(uint32_t k) { return (k - 1) / 8 + 1; }
unsigned char MaskOf(uint32_t k) { return static_cast<unsigned char>(0x80u >> ((k - 1) % 8)); }
uint32_t BytesFor(uint32_t bits) {
  return static_cast<uint32_t>((static_cast<uint64_t>(bits) + 7) / 8);
}

}  // namespace

// ---------------------------------------------------------------------------
// CBitSet

int CBitSet::Create(uint32_t n, int value) {
  bitCount_ = 0;
  if (!bytes_.Create(BytesFor(n), 1)) return 0;
  bitCount_ = n;
  for (uint32_t k = 1; k <= n; ++k) Set(k, value);
  return 1;
}

void CBitSet::Free() {
  bitCount_ = 0;
  bytes_.Free();
}

int CBitSet::Test(uint32_t k) const { return (GetByteOf(k) & MaskOf(k)) != 0 ? 1 : 0; }

int CBitSet::Set(uint32_t k, int value) {
  if (k == 0 || k > bitCount_) return 0;
  auto* byte = static_cast<unsigned char*>(bytes_.GetPtr(ByteIndexOf(k)));
  if (byte == nullptr) return 0;
  if (value == 1) {
    *byte = static_cast<unsigned char>(*byte | MaskOf(k));
  } else {
    *byte = static_cast<unsigned char>(*byte & ~MaskOf(k));
  }
  return 1;
}

void CBitSet::SetAll(int flag) {
  const uint32_t size = bytes_.GetByteSize();
  auto* p = static_cast<unsigned char*>(bytes_.GetBuffer());
  for (uint32_t i = 0; i < size; ++i) p[i] = flag != 0 ? 0xFF : 0x00;
}

unsigned char CBitSet::GetByteOf(uint32_t k) const {
  if (k == 0 || k > bitCount_) return 0;
  const auto* byte = static_cast<const unsigned char*>(bytes_.GetPtr(ByteIndexOf(k)));
  return byte == nullptr ? 0 : *byte;
}

unsigned char* CBitSet::GetBytePtr(uint32_t n) {
  return static_cast<unsigned char*>(bytes_.GetPtr(n));
}

// ---------------------------------------------------------------------------
// CBitList

int CBitList::Create(uint32_t n) {
  bitCount_ = 0;
  return bytes_.Create(BytesFor(n), 1, 128);
}

void CBitList::Free() {
  bitCount_ = 0;
  bytes_.Free();
}

int CBitList::Test(uint32_t k) const { return (GetByteOf(k) & MaskOf(k)) != 0 ? 1 : 0; }

unsigned char CBitList::GetByteOf(uint32_t k) const {
  if (k == 0 || k > bitCount_) return 0;
  unsigned char byte = 0;
  if (!bytes_.GetAt(ByteIndexOf(k), &byte)) return 0;
  return byte;
}

int CBitList::Set(uint32_t k, int value) {
  if (k == 0) return 0;
  unsigned char byte = 0;
  if (!bytes_.GetAt(ByteIndexOf(k), &byte)) return 0;
  if (value == 1) {
    byte = static_cast<unsigned char>(byte | MaskOf(k));
  } else {
    byte = static_cast<unsigned char>(byte & ~MaskOf(k));
  }
  return bytes_.SetAt(ByteIndexOf(k), &byte);
}

int CBitList::AppendBit(int value) {
  if (bitCount_ == UINT32_MAX) return 0;
  if (bitCount_ % 8 != 0) {
    if (!Set(bitCount_ + 1, value)) return 0;
  } else {
    const unsigned char byte = value == 1 ? 0x80 : 0x00;
    if (!bytes_.Add(&byte)) return 0;
  }
  ++bitCount_;
  return 1;
}

int CBitList::AppendByteBits(unsigned char byte) {
  for (int shift = 7; shift >= 0; --shift) {
    if (!AppendBit((byte >> shift) & 1)) return 0;
  }
  return 1;
}
