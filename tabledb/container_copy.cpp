#include "tabledb/container_copy.h"

#include <cstring>

#include "common/sjis_text.h"

namespace {

constexpr uint32_t kListGrowthStep = 128;

int FailFreed(CRecordList* target) {
  target->Free();
  return 0;
}

}  // namespace

int CopyRecordArray(CRecordArray* target, const CRecordArray* source) {
  if (!target || !source) return 0;
  return CopyRecordArrayPart(target, source, source->GetCapacity());
}

int CopyRecordArrayPart(CRecordArray* target, const CRecordArray* source, uint32_t n) {
  if (!target || !source || n == 0 || !source->GetBuffer()) return 0;
  if (n > source->GetCapacity()) return 0;
  const uint32_t elementSize = source->GetElementSize();
  if (!target->Create(n, static_cast<uint16_t>(elementSize))) return 0;
  std::memcpy(target->GetBuffer(), source->GetBuffer(), static_cast<std::size_t>(n) * elementSize);
  return 1;
}

int CopyRecordListCapacity(CRecordList* target, const CRecordList* source) {
  if (!target || !source) return 0;
  const uint32_t elementSize = source->GetElementSize();
  const uint32_t capacity = elementSize == 0 ? 0 : source->GetByteSize() / elementSize;
  if (capacity == 0) return FailFreed(target);
  if (!target->Create(capacity, static_cast<uint16_t>(elementSize), kListGrowthStep))
    return FailFreed(target);
  std::memcpy(target->GetBuffer(), source->GetBuffer(),
              static_cast<std::size_t>(capacity) * elementSize);
  target->SetCount(source->GetCount());
  return 1;
}

int CopyRecordListElements(CRecordList* target, const CRecordList* source, uint32_t n) {
  if (!target || !source) return 0;
  if (n == 0) return FailFreed(target);
  const uint32_t count = source->GetCount();
  const uint32_t capacity = count == 0 ? n : count;
  const uint32_t elementSize = source->GetElementSize();
  if (elementSize == 0 ||
      !target->Create(capacity, static_cast<uint16_t>(elementSize), kListGrowthStep))
    return FailFreed(target);
  if (count > 0) {
    if (!source->GetBuffer()) return FailFreed(target);
    std::memcpy(target->GetBuffer(), source->GetBuffer(),
                static_cast<std::size_t>(count) * elementSize);
  }
  target->SetCount(count);
  return 1;
}

int CopyBitSet(CBitSet* target, const CBitSet* source) {
  if (!target || !source) return 0;
  const uint32_t bits = source->GetBitCount();
  if (!target->Create(bits, 0)) return 0;
  const uint32_t bytes = source->GetByteSize();
  for (uint32_t n = 1; n <= bytes; ++n) {
    // The byte holding bit 8(n - 1) + 1 is byte n.
    *target->GetBytePtr(n) = source->GetByteOf(8 * (n - 1) + 1);
  }
  return 1;
}

int GetFolderOfPath(const char* path, char* folder, std::size_t folderSize) {
  if (!path || !folder || folderSize == 0) return 0;
  folder[0] = '\0';
  std::size_t cut = std::strlen(path);
  for (std::size_t i = 0; path[i] != '\0';) {
    const unsigned char b = static_cast<unsigned char>(path[i]);
    if (IsLeadByte(b) && path[i + 1] != '\0') {
      i += 2;
      continue;
    }
    if (b == '\\' || b == '/') cut = i;
    ++i;
  }
  if (cut + 1 > folderSize) return 0;
  std::memcpy(folder, path, cut);
  folder[cut] = '\0';
  return 1;
}
