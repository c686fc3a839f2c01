#include "common/record_array.h"

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "common/allocation_guard.h"
#include "common/partition_sort.h"

namespace {

// capacity x element size as a 32-bit byte count; 0 when it does not fit.
uint32_t ByteCount(uint32_t capacity, uint32_t elementSize) {
  const uint64_t bytes = static_cast<uint64_t>(capacity) * elementSize;
  return bytes > UINT32_MAX ? 0 : static_cast<uint32_t>(bytes);
}

}  // namespace

// ---------------------------------------------------------------------------
// CRecordArray

CRecordArray::CRecordArray() : elementSize_(0), capacity_(0), buffer_(nullptr) {}

CRecordArray::~CRecordArray() { Free(); }

int CRecordArray::Create(uint32_t capacity, uint16_t elementSize, bool zeroed) {
  if (capacity == 0 || elementSize == 0) return 0;
  Free();
  const uint32_t bytes = ByteCount(capacity, elementSize);
  if (bytes == 0) return 0;
  // Without memory the array stays empty and the answer is 0.
  return CatchAllocationFailure(0, [&] {
    buffer_ =
        static_cast<unsigned char*>(zeroed ? AllocateZeroedBlock(bytes) : AllocateBlock(bytes));
    elementSize_ = elementSize;
    capacity_ = capacity;
    return 1;
  });
}

int CRecordArray::View(void* records, uint32_t capacity, uint16_t elementSize) {
  if (records == nullptr || capacity == 0 || elementSize == 0 ||
      ByteCount(capacity, elementSize) == 0)
    return 0;
  Free();
  buffer_ = static_cast<unsigned char*>(records);
  viewed_ = true;
  elementSize_ = elementSize;
  capacity_ = capacity;
  return 1;
}

void CRecordArray::Free() {
  if (!viewed_) std::free(buffer_);
  buffer_ = nullptr;
  viewed_ = false;
  capacity_ = 0;
}

void CRecordArray::Swap(CRecordArray& other) noexcept {
  std::swap(elementSize_, other.elementSize_);
  std::swap(capacity_, other.capacity_);
  std::swap(buffer_, other.buffer_);
  std::swap(viewed_, other.viewed_);
}

int CRecordArray::GetAt(uint32_t n, void* out) const {
  const void* p = GetPtr(n);
  if (p == nullptr || out == nullptr) return 0;
  std::memcpy(out, p, elementSize_);
  return 1;
}

int CRecordArray::SetAt(uint32_t n, const void* in) {
  void* p = GetPtr(n);
  if (p == nullptr || in == nullptr) return 0;
  std::memmove(p, in, elementSize_);
  return 1;
}

void* CRecordArray::GetPtr(uint32_t n) {
  if (buffer_ == nullptr || n == 0 || n > capacity_) return nullptr;
  return buffer_ + static_cast<size_t>(n - 1) * elementSize_;
}

const void* CRecordArray::GetPtr(uint32_t n) const {
  return const_cast<CRecordArray*>(this)->GetPtr(n);
}

uint32_t CRecordArray::GetByteSize() const {
  return buffer_ == nullptr ? 0 : capacity_ * elementSize_;
}

int CRecordArray::Grow(uint32_t newCapacity) {
  if (buffer_ == nullptr || newCapacity == 0 || newCapacity <= capacity_) return 0;
  const uint32_t bytes = ByteCount(newCapacity, elementSize_);
  if (bytes == 0) return 0;
  // Without memory the array stays as it was and the answer is 0.
  return CatchAllocationFailure(0, [&] {
    auto* grown = static_cast<unsigned char*>(AllocateZeroedBlock(bytes));
    std::memcpy(grown, buffer_, GetByteSize());
    if (!viewed_) std::free(buffer_);
    buffer_ = grown;
    viewed_ = false;
    capacity_ = newCapacity;
    return 1;
  });
}

int CRecordArray::IsAllZero() const {
  const uint32_t bytes = GetByteSize();
  if (bytes == 0) return 0;
  for (uint32_t i = 0; i < bytes; ++i) {
    if (buffer_[i] != 0) return 0;
  }
  return 1;
}

namespace {

template <typename T>
int GetTypedAt(const CRecordArray& a, uint32_t n, T* out) {
  if (a.GetElementSize() != sizeof(T)) return 0;
  return a.GetAt(n, out);
}

template <typename T>
int SetTypedAt(CRecordArray& a, uint32_t n, T value) {
  if (a.GetElementSize() != sizeof(T)) return 0;
  return a.SetAt(n, &value);
}

}  // namespace

int CRecordArray::GetShort(uint32_t n, int16_t* out) const { return GetTypedAt(*this, n, out); }
int CRecordArray::GetUShort(uint32_t n, uint16_t* out) const { return GetTypedAt(*this, n, out); }
int CRecordArray::GetInt(uint32_t n, int32_t* out) const { return GetTypedAt(*this, n, out); }
int CRecordArray::GetLong(uint32_t n, int32_t* out) const { return GetTypedAt(*this, n, out); }
int CRecordArray::GetDword(uint32_t n, uint32_t* out) const { return GetTypedAt(*this, n, out); }
int CRecordArray::GetDouble(uint32_t n, double* out) const { return GetTypedAt(*this, n, out); }
int CRecordArray::SetShort(uint32_t n, int16_t value) { return SetTypedAt(*this, n, value); }
int CRecordArray::SetUShort(uint32_t n, uint16_t value) { return SetTypedAt(*this, n, value); }
int CRecordArray::SetInt(uint32_t n, int32_t value) { return SetTypedAt(*this, n, value); }
int CRecordArray::SetLong(uint32_t n, int32_t value) { return SetTypedAt(*this, n, value); }
int CRecordArray::SetDword(uint32_t n, uint32_t value) { return SetTypedAt(*this, n, value); }
int CRecordArray::SetDouble(uint32_t n, double value) { return SetTypedAt(*this, n, value); }

// ---------------------------------------------------------------------------
// CRecordList

CRecordList::CRecordList() : count_(0), growthStep_(0), elementSize_(0) {}

int CRecordList::Create(uint32_t initialCapacity, uint16_t elementSize, uint32_t growthStep,
                        bool zeroed) {
  if (growthStep == 0) return 0;
  if (!array_.Create(initialCapacity, elementSize, zeroed)) return 0;
  count_ = 0;
  growthStep_ = growthStep;
  elementSize_ = elementSize;
  return 1;
}

int CRecordList::View(void* records, uint32_t capacity, uint32_t count, uint16_t elementSize,
                      uint32_t growthStep) {
  if (growthStep == 0 || count > capacity) return 0;
  if (!array_.View(records, capacity, elementSize)) return 0;
  count_ = count;
  growthStep_ = growthStep;
  elementSize_ = elementSize;
  return 1;
}

void CRecordList::Free() {
  array_.Free();
  count_ = 0;
  growthStep_ = 0;
}

void CRecordList::Swap(CRecordList& other) noexcept {
  std::swap(count_, other.count_);
  std::swap(growthStep_, other.growthStep_);
  std::swap(elementSize_, other.elementSize_);
  array_.Swap(other.array_);
}

int CRecordList::Add(const void* in) {
  if (growthStep_ == 0 || in == nullptr) return 0;
  const uint32_t capacity = array_.GetCapacity();
  if (count_ >= capacity) {
    const uint64_t grown = static_cast<uint64_t>(capacity) + growthStep_;
    if (grown > UINT32_MAX || !array_.Grow(static_cast<uint32_t>(grown))) return 0;
  }
  ++count_;
  return array_.SetAt(count_, in);
}

int CRecordList::AddMany(const void* in, uint32_t n) {
  if (in == nullptr || n == 0) return 0;
  const auto* p = static_cast<const unsigned char*>(in);
  for (uint32_t i = 0; i < n; ++i) {
    if (!Add(p)) return 0;
    p += elementSize_;
  }
  return 1;
}

void* CRecordList::GetPtr(uint32_t n) {
  if (n == 0 || n > count_) return nullptr;
  return array_.GetPtr(n);
}

const void* CRecordList::GetPtr(uint32_t n) const {
  return const_cast<CRecordList*>(this)->GetPtr(n);
}

int CRecordList::GetRange(uint32_t first, void* out, uint32_t n) const {
  if (out == nullptr || n == 0) return 0;
  auto* p = static_cast<unsigned char*>(out);
  for (uint32_t i = 0; i < n; ++i) {
    const uint64_t index = static_cast<uint64_t>(first) + i;
    if (index > UINT32_MAX || !array_.GetAt(static_cast<uint32_t>(index), p)) return 0;
    p += elementSize_;
  }
  return 1;
}

int CRecordList::SetRange(uint32_t first, const void* in, uint32_t n) {
  if (in == nullptr || n == 0) return 0;
  const auto* p = static_cast<const unsigned char*>(in);
  for (uint32_t i = 0; i < n; ++i) {
    const uint64_t index = static_cast<uint64_t>(first) + i;
    if (index > UINT32_MAX || !array_.SetAt(static_cast<uint32_t>(index), p)) return 0;
    p += elementSize_;
  }
  return 1;
}

uint32_t CRecordList::DropLast(uint32_t n) {
  count_ = n < count_ ? count_ - n : 0;
  return count_;
}

namespace {

// Sort operations over records whose first 8 bytes hold a double key.
class DoubleKeyOps {
 public:
  explicit DoubleKeyOps(CRecordArray& array)
      : array_(array), size_(array.GetElementSize()), temp_(size_) {}

  void LoadPivot(int64_t n) { pivot_ = Key(n); }
  bool BelowPivot(int64_t n) { return Key(n) < pivot_; }
  bool AbovePivot(int64_t n) { return Key(n) > pivot_; }
  void Swap(int64_t a, int64_t b) {
    if (a == b) return;
    void* pa = Ptr(a);
    void* pb = Ptr(b);
    std::memcpy(temp_.data(), pa, size_);
    std::memcpy(pa, pb, size_);
    std::memcpy(pb, temp_.data(), size_);
  }
  void OrderPair(int64_t a, int64_t b) {
    if (Key(b) < Key(a)) Swap(a, b);
  }

 private:
  void* Ptr(int64_t n) { return array_.GetPtr(static_cast<uint32_t>(n)); }
  double Key(int64_t n) {
    double key;
    std::memcpy(&key, Ptr(n), sizeof key);
    return key;
  }

  CRecordArray& array_;
  uint32_t size_;
  std::vector<unsigned char> temp_;
  double pivot_ = 0.0;
};

}  // namespace

void CRecordList::SortByDoubleKey(uint32_t first, uint32_t last) {
  if (last <= first) return;
  if (first == 0 || last > array_.GetCapacity() || array_.GetElementSize() < sizeof(double)) return;
  DoubleKeyOps ops(array_);
  PartitionSort(ops, first, last);
}

template <typename T>
int CRecordList::GetTyped(uint32_t n, T* out) const {
  if (elementSize_ != sizeof(T)) return 0;
  return array_.GetAt(n, out);
}

template <typename T>
int CRecordList::SetTyped(uint32_t n, T value) {
  if (elementSize_ != sizeof(T)) return 0;
  return array_.SetAt(n, &value);
}

int CRecordList::GetShort(uint32_t n, int16_t* out) const { return GetTyped(n, out); }
int CRecordList::GetUShort(uint32_t n, uint16_t* out) const { return GetTyped(n, out); }
int CRecordList::GetInt(uint32_t n, int32_t* out) const { return GetTyped(n, out); }
int CRecordList::GetLong(uint32_t n, int32_t* out) const { return GetTyped(n, out); }
int CRecordList::GetDword(uint32_t n, uint32_t* out) const { return GetTyped(n, out); }
int CRecordList::GetDouble(uint32_t n, double* out) const { return GetTyped(n, out); }
int CRecordList::SetShort(uint32_t n, int16_t value) { return SetTyped(n, value); }
int CRecordList::SetUShort(uint32_t n, uint16_t value) { return SetTyped(n, value); }
int CRecordList::SetInt(uint32_t n, int32_t value) { return SetTyped(n, value); }
int CRecordList::SetLong(uint32_t n, int32_t value) { return SetTyped(n, value); }
int CRecordList::SetDword(uint32_t n, uint32_t value) { return SetTyped(n, value); }
int CRecordList::SetDouble(uint32_t n, double value) { return SetTyped(n, value); }
