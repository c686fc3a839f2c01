#include "common/element_array.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "common/allocation_guard.h"
#include "common/file_access.h"

namespace {

unsigned char* AllocateZeroed(int32_t elementSize, int32_t capacity) {
  return static_cast<unsigned char*>(AllocateZeroedBlock(static_cast<std::size_t>(capacity) *
                                                         static_cast<std::size_t>(elementSize)));
}

}  // namespace

// ---- CElementStore ----

CElementStore::~CElementStore() { Free(); }

int CElementStore::Create(int32_t elementSize, int32_t capacity) {
  Free();
  if (elementSize < 1 || capacity < 1) return 0;
  // Without memory the store stays empty and the answer is 0.
  return CatchAllocationFailure(0, [&] {
    block_ = AllocateZeroed(elementSize, capacity);
    elementSize_ = elementSize;
    capacity_ = capacity;
    return 1;
  });
}

int CElementStore::Grow(int32_t capacity) {
  if (elementSize_ < 1 || capacity <= capacity_) return 0;
  // Without memory the old block stays and the answer is 0.
  return CatchAllocationFailure(0, [&] {
    unsigned char* block = AllocateZeroed(elementSize_, capacity);
    if (block_) {
      std::memcpy(block, block_,
                  static_cast<std::size_t>(capacity_) * static_cast<std::size_t>(elementSize_));
      std::free(block_);
    }
    block_ = block;
    capacity_ = capacity;
    return 1;
  });
}

int CElementStore::SetAt(const void* element, int32_t index) {
  void* p = GetPtr(index);
  if (!p || !element) return 0;
  std::memcpy(p, element, static_cast<std::size_t>(elementSize_));
  return 1;
}

int CElementStore::GetAt(void* buffer, int32_t index) const {
  const void* p = GetPtr(index);
  if (!p || !buffer) return 0;
  std::memcpy(buffer, p, static_cast<std::size_t>(elementSize_));
  return 1;
}

void* CElementStore::GetPtr(int32_t index) {
  return const_cast<void*>(std::as_const(*this).GetPtr(index));
}

const void* CElementStore::GetPtr(int32_t index) const {
  if (!block_ || index < 1 || index > capacity_) return nullptr;
  return block_ + static_cast<std::size_t>(index - 1) * static_cast<std::size_t>(elementSize_);
}

void CElementStore::Free() {
  std::free(block_);
  block_ = nullptr;
  capacity_ = 0;
}

void CElementStore::Swap(CElementStore& other) {
  std::swap(capacity_, other.capacity_);
  std::swap(elementSize_, other.elementSize_);
  std::swap(block_, other.block_);
}

// ---- CElementArray ----

int CElementArray::Create(int32_t elementSize, int32_t chunkSize) {
  RemoveAll();
  if (elementSize < 1 || chunkSize < 0) return 0;
  if (chunkSize == 0) chunkSize = kDefaultChunkSize;
  if (!store_.Create(elementSize, chunkSize)) return 0;
  elementSize_ = elementSize;
  chunkSize_ = chunkSize;
  chunks_ = 1;
  count_ = 0;
  return 1;
}

// Makes room for count elements, growing in whole chunks.
int CElementArray::EnsurePlaces(int32_t count) {
  if (elementSize_ < 1 || chunkSize_ < 1) return 0;
  if (static_cast<int64_t>(count) <= static_cast<int64_t>(chunks_) * chunkSize_) return 1;
  const int64_t chunks = count / chunkSize_ + 1;
  const int64_t places = chunks * chunkSize_;
  if (places > std::numeric_limits<int32_t>::max()) return 0;
  if (!store_.Grow(static_cast<int32_t>(places))) return 0;
  chunks_ = static_cast<int32_t>(chunks);
  return 1;
}

int CElementArray::Add(const void* element) {
  if (!element || count_ == std::numeric_limits<int32_t>::max()) return 0;
  if (!EnsurePlaces(count_ + 1)) return 0;
  if (!store_.SetAt(element, count_ + 1)) return 0;
  ++count_;
  return 1;
}

int CElementArray::SetAt(const void* element, int32_t index) {
  if (!element || index < 1) return 0;
  if (index > count_) {
    if (!EnsurePlaces(index)) return 0;
    count_ = index;
  }
  return store_.SetAt(element, index);
}

int CElementArray::GetAt(void* buffer, int32_t index) const {
  if (index < 1 || index > count_) return 0;
  return store_.GetAt(buffer, index);
}

void* CElementArray::GetPtr(int32_t index) {
  return const_cast<void*>(std::as_const(*this).GetPtr(index));
}

const void* CElementArray::GetPtr(int32_t index) const {
  if (index < 1 || index > count_) return nullptr;
  return store_.GetPtr(index);
}

void* CElementArray::GetData() { return store_.GetPtr(1); }
const void* CElementArray::GetData() const { return store_.GetPtr(1); }

int CElementArray::RemoveLast() {
  if (count_ == 0) return 0;
  if (void* p = store_.GetPtr(count_)) std::memset(p, 0, static_cast<std::size_t>(elementSize_));
  --count_;
  return 1;
}

int CElementArray::RemoveAt(int32_t index) {
  if (index < 1 || index > count_) return 0;
  CElementArray rebuilt;
  if (!rebuilt.Create(elementSize_, chunkSize_)) return 0;
  for (int32_t i = 1; i <= count_; ++i) {
    if (i != index && !rebuilt.Add(store_.GetPtr(i))) return 0;
  }
  Swap(rebuilt);
  return 1;
}

int CElementArray::Reverse() {
  if (elementSize_ < 1) return 0;
  CElementArray rebuilt;
  if (!rebuilt.Create(elementSize_, chunkSize_)) return 0;
  for (int32_t i = count_; i >= 1; --i) {
    if (!rebuilt.Add(store_.GetPtr(i))) return 0;
  }
  Swap(rebuilt);
  return 1;
}

int CElementArray::CopyTo(CElementArray& other) const {
  if (&other == this || elementSize_ < 1) return 0;
  if (!other.Create(elementSize_, chunkSize_)) return 0;
  for (int32_t i = 1; i <= count_; ++i) {
    if (!other.Add(store_.GetPtr(i))) {
      other.RemoveAll();
      return 0;
    }
  }
  return 1;
}

void CElementArray::RemoveAll() {
  store_.Free();
  count_ = 0;
  chunks_ = 0;
}

void CElementArray::Swap(CElementArray& other) {
  std::swap(elementSize_, other.elementSize_);
  std::swap(chunkSize_, other.chunkSize_);
  std::swap(chunks_, other.chunks_);
  std::swap(count_, other.count_);
  store_.Swap(other.store_);
}

// ---- Text-file lines ----

int OpenTextFileExclusive(plat::File* file, const char* path) {
  if (!file || file->IsOpen() || !IsNonBlankPath(path)) return 0;
  return file->Open(path, plat::ModeRead | plat::ShareExclusive | plat::TypeText) ? 1 : 0;
}

int ReadTextLine(plat::File* file, char* buffer, int32_t size) {
  if (!file || !buffer || size < 2) return 0;
  std::memset(buffer, 0, static_cast<std::size_t>(size));
  return file->ReadString(buffer, static_cast<std::size_t>(size)) ? 1 : 0;
}
