#include "common/work_memory.h"

#include <cstring>
#include <string>

#include "common/file_access.h"
#include "common/message.h"
#include "common/sjis_text.h"

namespace {

constexpr uint16_t kEntrySize = sizeof(WorkMemoryEntry);
// Offsets are 32-bit signed: the pool never passes this many bytes.
constexpr uint32_t kMaxPoolBytes = INT32_MAX;

WorkMemoryEntry NewEntry() {
  WorkMemoryEntry e;
  std::memset(&e, 0, sizeof e);
  e.inList = 1;
  return e;
}

}  // namespace

CWorkMemory::CWorkMemory() : state_(0), count_(0), poolFill_(0), first_(0), last_(0) {}

CWorkMemory::~CWorkMemory() { Free(); }

int CWorkMemory::Create(uint32_t entryCapacity, uint32_t poolBytes) {
  if (state_ == 1) Free();
  if (poolBytes > kMaxPoolBytes) return 0;
  if (!entries_.Create(entryCapacity, kEntrySize)) return 0;
  if (!pool_.Create(poolBytes, 1)) {
    entries_.Free();
    return 0;
  }
  Reset();
  state_ = 1;
  return 1;
}

void CWorkMemory::Free() {
  Reset();
  if (state_ == 1) {
    entries_.Free();
    pool_.Free();
  }
  state_ = 0;
}

void CWorkMemory::Reset() {
  count_ = 0;
  poolFill_ = 0;
  first_ = 0;
  last_ = 0;
}

int CWorkMemory::CopyFrom(const CWorkMemory& source) {
  if (&source == this) return 1;
  Free();
  if (source.state_ != 1) return 0;
  if (!Create(source.entries_.GetCapacity(), source.pool_.GetCapacity())) return 0;
  if (source.entries_.GetByteSize() > 0)
    std::memcpy(entries_.GetBuffer(), source.entries_.GetBuffer(), source.entries_.GetByteSize());
  if (source.pool_.GetByteSize() > 0)
    std::memcpy(pool_.GetBuffer(), source.pool_.GetBuffer(), source.pool_.GetByteSize());
  count_ = source.count_;
  poolFill_ = source.poolFill_;
  first_ = source.first_;
  last_ = source.last_;
  return 1;
}

uint32_t CWorkMemory::GetByteSize() const { return entries_.GetByteSize() + pool_.GetByteSize(); }

int CWorkMemory::GetEntry(uint32_t n, WorkMemoryEntry* out) const {
  return out ? entries_.GetAt(n, out) : 0;
}

int CWorkMemory::SetEntry(uint32_t n, const WorkMemoryEntry* in) {
  return in ? entries_.SetAt(n, in) : 0;
}

int CWorkMemory::GetEntryAndString(uint32_t n, WorkMemoryEntry* out, char* text,
                                   std::size_t textSize) const {
  if (text && textSize > 0) text[0] = '\0';
  if (!GetEntry(n, out)) return 0;
  if (out->stringOffset == 0) return 1;
  const char* s = StringAtOffset(out->stringOffset);
  if (!s || !text) return 0;
  const std::size_t len = std::strlen(s);
  if (len + 1 > textSize) return 0;
  std::memcpy(text, s, len + 1);
  return 1;
}

int CWorkMemory::ReadEntry(int32_t n, WorkMemoryEntry* out) const {
  return IsTaken(n) ? entries_.GetAt(static_cast<uint32_t>(n), out) : 0;
}

int CWorkMemory::WriteEntry(int32_t n, const WorkMemoryEntry& in) {
  return IsTaken(n) ? entries_.SetAt(static_cast<uint32_t>(n), &in) : 0;
}

int CWorkMemory::MakeRoomForEntry() {
  if (state_ != 1 || count_ >= static_cast<uint32_t>(INT32_MAX)) return 0;
  const uint32_t capacity = entries_.GetCapacity();
  if (count_ < capacity) return 1;
  const uint64_t grown = static_cast<uint64_t>(capacity) + kEntryGrowth;
  if (grown > INT32_MAX) return 0;
  return entries_.Grow(static_cast<uint32_t>(grown));
}

int32_t CWorkMemory::TakeEntry(const WorkMemoryEntry& entry) {
  ++count_;
  if (!entries_.SetAt(count_, &entry)) {
    --count_;
    return 0;
  }
  return static_cast<int32_t>(count_);
}

int32_t CWorkMemory::AddEntry() {
  if (!MakeRoomForEntry()) return 0;
  WorkMemoryEntry e = NewEntry();
  e.previous = last_;
  WorkMemoryEntry oldLast;
  if (last_ != 0 && !ReadEntry(last_, &oldLast)) return 0;
  const int32_t n = TakeEntry(e);
  if (n == 0) return 0;
  if (last_ == 0) {
    first_ = n;
  } else {
    oldLast.next = n;
    WriteEntry(last_, oldLast);
  }
  last_ = n;
  return n;
}

int32_t CWorkMemory::AddString(const char* text) {
  if (!text) return 0;
  const int32_t n = AddEntry();
  if (n == 0) return 0;
  const int32_t offset = StoreString(text);
  if (offset == 0) return 0;
  return SetStringOffset(n, offset) ? n : 0;
}

int32_t CWorkMemory::InsertBefore(int32_t n) {
  WorkMemoryEntry target;
  if (!ReadEntry(n, &target) || target.inList != 1) return 0;
  WorkMemoryEntry previous;
  const bool atFront = target.previous == 0;
  if (!atFront && !ReadEntry(target.previous, &previous)) return 0;
  if (!MakeRoomForEntry()) return 0;

  WorkMemoryEntry e = target;
  e.inList = 1;
  e.stringOffset = 0;
  e.next = n;
  e.previous = atFront ? 0 : target.previous;
  const int32_t added = TakeEntry(e);
  if (added == 0) return 0;
  if (atFront) {
    first_ = added;
  } else {
    previous.next = added;
    WriteEntry(target.previous, previous);
  }
  target.previous = added;
  WriteEntry(n, target);
  return added;
}

int32_t CWorkMemory::InsertStringBefore(int32_t n, const char* text) {
  if (!text) return 0;
  const int32_t added = InsertBefore(n);
  if (added == 0) return 0;
  const int32_t offset = StoreString(text);
  if (offset == 0) return 0;
  return SetStringOffset(added, offset) ? added : 0;
}

int32_t CWorkMemory::StoreString(const char* text) {
  if (state_ != 1 || !text) return 0;
  const std::size_t len = std::strlen(text);
  const uint64_t needed = static_cast<uint64_t>(poolFill_) + len + 1;
  if (needed > kMaxPoolBytes) return 0;
  const uint32_t capacity = pool_.GetCapacity();
  std::string kept;
  if (needed > capacity) {
    // A text inside the pool (a string of this memory) would move with it.
    const char* base = static_cast<const char*>(pool_.GetBuffer());
    if (text >= base && text < base + capacity) {
      kept.assign(text, len);
      text = kept.c_str();
    }
    uint64_t grown = static_cast<uint64_t>(capacity) + kPoolGrowth;
    if (grown < needed) grown = needed;
    if (grown > kMaxPoolBytes) grown = kMaxPoolBytes;
    if (!pool_.Grow(static_cast<uint32_t>(grown))) return 0;
  }
  const int32_t offset = static_cast<int32_t>(poolFill_ + 1);
  std::memmove(pool_.GetPtr(static_cast<uint32_t>(offset)), text, len + 1);
  poolFill_ += static_cast<uint32_t>(len + 1);
  return offset;
}

const char* CWorkMemory::StringAtOffset(int32_t offset) const {
  // Every string ends before the fill, so an offset below it meets a NUL.
  if (offset < 1 || static_cast<uint32_t>(offset) > poolFill_) return nullptr;
  return static_cast<const char*>(pool_.GetPtr(static_cast<uint32_t>(offset)));
}

int CWorkMemory::SetStringOffset(int32_t n, int32_t offset) {
  WorkMemoryEntry e;
  if (!ReadEntry(n, &e)) return 0;
  e.stringOffset = offset;
  return WriteEntry(n, e);
}

const char* CWorkMemory::GetString(int32_t n) const {
  WorkMemoryEntry e;
  if (!ReadEntry(n, &e)) return nullptr;
  return StringAtOffset(e.stringOffset);
}

char* CWorkMemory::GetString(int32_t n) {
  return const_cast<char*>(static_cast<const CWorkMemory*>(this)->GetString(n));
}

int32_t CWorkMemory::SetString(int32_t n, const char* text) {
  WorkMemoryEntry e;
  if (!text || !ReadEntry(n, &e)) return 0;
  char* current = GetString(n);
  if (!current) return 0;
  const std::size_t len = std::strlen(text);
  if (std::strlen(current) >= len) {
    std::memmove(current, text, len + 1);
    return e.stringOffset;
  }
  const int32_t offset = StoreString(text);
  if (offset == 0) return 0;
  return SetStringOffset(n, offset) ? offset : 0;
}

int CWorkMemory::SwapStrings(int32_t n, int32_t m) {
  WorkMemoryEntry a, b;
  if (!ReadEntry(n, &a) || !ReadEntry(m, &b)) return 0;
  if (n == m) return 1;
  std::swap(a.stringOffset, b.stringOffset);
  return WriteEntry(n, a) && WriteEntry(m, b) ? 1 : 0;
}

int CWorkMemory::RemoveFirst() {
  WorkMemoryEntry old, next;
  if (first_ == 0 || !ReadEntry(first_, &old)) return 0;
  if (old.next != 0 && !ReadEntry(old.next, &next)) return 0;
  old.inList = 0;
  WriteEntry(first_, old);
  first_ = old.next;
  if (first_ == 0) {
    last_ = 0;
  } else {
    next.previous = 0;
    WriteEntry(first_, next);
  }
  return 1;
}

int CWorkMemory::RemoveLast() {
  WorkMemoryEntry old, previous;
  if (last_ == 0 || !ReadEntry(last_, &old)) return 0;
  if (old.previous != 0 && !ReadEntry(old.previous, &previous)) return 0;
  old.inList = 0;
  WriteEntry(last_, old);
  last_ = old.previous;
  if (last_ == 0) {
    first_ = 0;
  } else {
    previous.next = 0;
    WriteEntry(last_, previous);
  }
  return 1;
}

int CWorkMemory::Remove(int32_t n) {
  WorkMemoryEntry e;
  // An entry that is not linked (never taken, or removed before) is left
  // alone: its old links would unlink a different entry.
  if (!ReadEntry(n, &e) || e.inList != 1) return 0;
  if (e.previous == 0) return n == first_ ? RemoveFirst() : 0;
  if (e.next == 0) return n == last_ ? RemoveLast() : 0;
  WorkMemoryEntry previous, next;
  if (!ReadEntry(e.previous, &previous) || !ReadEntry(e.next, &next)) return 0;
  previous.next = e.next;
  next.previous = e.previous;
  e.inList = 0;
  WriteEntry(e.previous, previous);
  WriteEntry(e.next, next);
  WriteEntry(n, e);
  return 1;
}

int32_t CWorkMemory::GetIndexAt(uint32_t p) const {
  if (p == 0) return 0;
  int32_t n = first_;
  // At most count steps, whatever the links say.
  for (uint32_t i = 1; n != 0 && i <= count_; ++i) {
    if (i == p) return n;
    WorkMemoryEntry e;
    if (!ReadEntry(n, &e)) return 0;
    n = e.next;
  }
  return 0;
}

const char* CWorkMemory::GetStringAt(uint32_t p) const { return GetString(GetIndexAt(p)); }

int CWorkMemory::GetTrimmedSpanAt(uint32_t p, int32_t* start, int32_t* end) const {
  const char* s = GetStringAt(p);
  if (!s || !start || !end) return 0;
  char work[kLineSize];
  const std::size_t len = std::strlen(s);
  const std::size_t kept = len < sizeof work - 1 ? len : sizeof work - 1;
  std::memcpy(work, s, kept);
  work[kept] = '\0';
  CutAtCharBoundary(work, kept);
  TrimBlanks(work);
  const int32_t at = FindSubstring(work, s);
  if (at == 0) return 0;
  const int32_t trimmed = static_cast<int32_t>(std::strlen(work));
  *start = at;
  *end = trimmed == 0 ? at : at + trimmed - 1;
  return 1;
}

int32_t CWorkMemory::FindInString(int32_t n, const char* text) const {
  const char* s = GetString(n);
  if (!s || !text) return 0;
  return FindSubstring(text, s);
}

int32_t CWorkMemory::FindString(const char* text) const {
  if (!text) return 0;
  int32_t n = first_;
  for (uint32_t i = 0; n != 0 && i < count_; ++i) {
    WorkMemoryEntry e;
    if (!ReadEntry(n, &e)) return 0;
    const char* s = StringAtOffset(e.stringOffset);
    if (s && std::strcmp(s, text) == 0) return n;
    n = e.next;
  }
  return 0;
}

int CWorkMemory::LoadTextFile(const char* path, uint32_t* count) {
  uint32_t lines = 0;
  if (count) *count = 0;
  plat::File file;
  if (!OpenTextFileForReadWrite(&file, path)) return 0;
  char line[kLineSize];
  for (;;) {
    ++lines;
    if (count) *count = lines;
    // The end of the file ends the load; a failed read fails it.
    if (!ReadLineFromFile(&file, line, static_cast<int>(sizeof line))) return file.Failed() ? 0 : 1;
    if (!AddString(line)) return 0;
  }
}
