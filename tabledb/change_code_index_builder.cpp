#include "tabledb/change_code_index_builder.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/file_access.h"
#include "common/number_parse.h"
#include "common/path_util.h"
#include "common/width_kana.h"
#include "plat/crt.h"
#include "tabledb/change_bytes.h"
#include "tabledb/change_code_index.h"

using change_bytes::Load32;
using change_bytes::Store16;
using change_bytes::Store32;

namespace {

constexpr uint32_t kEntryRecordSize = 20;
constexpr uint32_t kFormatVersion = 65536;
constexpr std::size_t kNameLimit = 64;  // names are shorter
constexpr std::size_t kWriteChunk = 64 * 1024;

const char* OrEmpty(const char* text) { return text != nullptr ? text : ""; }

// The form of a number against a base, and the bytes it stores.
uint32_t NumberForm(uint32_t value, uint32_t base, unsigned char* out, uint32_t* size) {
  if (value == base) {
    *size = 0;
    return 0;
  }
  if (value > base && value - base <= 0xFFFF) {
    Store16(out, static_cast<uint16_t>(value - base));
    *size = 2;
    return 1;
  }
  if (value < base && base - value <= 0xFFFF) {
    Store16(out, static_cast<uint16_t>(base - value));
    *size = 2;
    return 2;
  }
  Store32(out, value);
  *size = 4;
  return 3;
}

}  // namespace

struct CChangeCodeIndexBuilder::EntryRecord {
  uint32_t start = 0;  // 1-based position of the first byte in the level's byte list
  uint32_t size = 0;   // the entry's own bytes
  uint32_t subtree = 0;
  uint32_t firstChild = 0;
  uint32_t count = 0;
};

CChangeCodeIndexBuilder::CChangeCodeIndexBuilder()
    : current_{}, firstChild_{}, base1_(0), base2_(0), timePinned_(false), pinnedTime_(0) {}

int CChangeCodeIndexBuilder::Init() { return Init(ChangeCodeIndexCapacities{}); }

int CChangeCodeIndexBuilder::Init(const ChangeCodeIndexCapacities& c) {
  Reset();
  const uint32_t bytes[kLevels][2] = {{c.cityBytes, c.cityBytesGrowth},
                                      {c.areaBytes, c.areaBytesGrowth},
                                      {c.blockBytes, c.blockBytesGrowth},
                                      {c.changeBytes, c.changeBytesGrowth}};
  const uint32_t entries[kLevels][2] = {{c.cityEntries, c.cityEntriesGrowth},
                                        {c.areaEntries, c.areaEntriesGrowth},
                                        {c.blockEntries, c.blockEntriesGrowth},
                                        {c.changeEntries, c.changeEntriesGrowth}};
  for (int level = 0; level < kLevels; ++level) {
    if (!bytes_[level].Create(bytes[level][0], 1, bytes[level][1]) ||
        !entries_[level].Create(entries[level][0], kEntryRecordSize, entries[level][1])) {
      Reset();
      return 0;
    }
  }
  return 1;
}

void CChangeCodeIndexBuilder::Reset() {
  for (int level = 0; level < kLevels; ++level) {
    current_[level] = 0;
    firstChild_[level] = 0;
    bytes_[level].Free();
    entries_[level].Free();
  }
  base1_ = 0;
  base2_ = 0;
}

void CChangeCodeIndexBuilder::PinCreationTime(uint32_t seconds) {
  timePinned_ = true;
  pinnedTime_ = seconds;
}

void CChangeCodeIndexBuilder::UnpinCreationTime() { timePinned_ = false; }

int CChangeCodeIndexBuilder::GetEntry(int level, uint32_t n, EntryRecord* entry) const {
  const auto* p = static_cast<const unsigned char*>(entries_[level].GetPtr(n));
  if (p == nullptr) return 0;
  entry->start = Load32(p);
  entry->size = Load32(p + 4);
  entry->subtree = Load32(p + 8);
  entry->firstChild = Load32(p + 12);
  entry->count = Load32(p + 16);
  return 1;
}

int CChangeCodeIndexBuilder::SetEntry(int level, uint32_t n, const EntryRecord& entry) {
  auto* p = static_cast<unsigned char*>(entries_[level].GetPtr(n));
  if (p == nullptr) return 0;
  Store32(p, entry.start);
  Store32(p + 4, entry.size);
  Store32(p + 8, entry.subtree);
  Store32(p + 12, entry.firstChild);
  Store32(p + 16, entry.count);
  return 1;
}

int CChangeCodeIndexBuilder::AddEntry(int level, const unsigned char* bytes, uint32_t size) {
  const uint64_t start = static_cast<uint64_t>(bytes_[level].GetCount()) + 1;
  if (start > UINT32_MAX) return 0;
  EntryRecord entry;
  entry.start = static_cast<uint32_t>(start);
  if (level == kChange) {
    entry.size = size;
    entry.subtree = size;
  }
  unsigned char record[kEntryRecordSize];
  Store32(record, entry.start);
  Store32(record + 4, entry.size);
  Store32(record + 8, entry.subtree);
  Store32(record + 12, 0);
  Store32(record + 16, 0);
  if (!change_bytes::AppendBytes(&bytes_[level], bytes, size)) return 0;
  if (!entries_[level].Add(record)) {
    bytes_[level].DropLast(size);
    return 0;
  }
  return 1;
}

int CChangeCodeIndexBuilder::EncodeCodeAndNames(const char* code, const char* name,
                                                const char* secondName, unsigned char* codeBytes,
                                                uint32_t* codeSize, uint32_t* codeForm,
                                                unsigned char* flag1, unsigned char* nameBytes,
                                                uint32_t* nameSize) {
  code = OrEmpty(code);
  name = OrEmpty(name);
  secondName = secondName != nullptr ? secondName : name;
  if (std::strlen(name) >= kNameLimit || std::strlen(secondName) >= kNameLimit) return 0;

  // Code: digits give a number (forms 0-2), five other characters form 3.
  char codeText[kChangeCodeTextSize];
  uint32_t value = 0;
  if (change_bytes::ReadPlainDigits(code, 5, &value)) {
    if (value <= 0xFF) {
      *codeForm = 0;
      codeBytes[0] = static_cast<unsigned char>(value);
      *codeSize = 1;
    } else if (value <= 0xFFFF) {
      *codeForm = 1;
      Store16(codeBytes, static_cast<uint16_t>(value));
      *codeSize = 2;
    } else {
      *codeForm = 2;
      Store16(codeBytes, static_cast<uint16_t>(value - 65536));
      *codeSize = 2;
    }
    std::snprintf(codeText, sizeof codeText, "%05u", static_cast<unsigned>(value));
  } else if (std::strlen(code) == 5) {
    *codeForm = 3;
    std::memcpy(codeBytes, code, 5);
    *codeSize = 5;
    std::memcpy(codeText, code, 6);
  } else {
    return 0;
  }

  // A name is left out when it only repeats the code's number; the reader
  // then makes it from the code, which only a code of digits allows.
  const char* stripped = codeText;
  while (*stripped == '0') ++stripped;
  uint32_t number = 0;
  const bool codeIsNumber = change_bytes::ReadPlainDigits(stripped, 5, &number) != 0;
  bool nameStored = false;
  if (name[0] != '\0') {
    std::string copy(name);
    ToHalfWidthAscii(copy.data());
    nameStored = !codeIsNumber || std::strcmp(copy.c_str(), stripped) != 0;
  }
  if (!nameStored && !codeIsNumber && stripped[0] != '\0') return 0;
  const bool secondStored = std::strcmp(secondName, name) != 0;

  std::size_t length = 0;
  if (nameStored) length = std::strlen(name);
  if (secondStored && std::strlen(secondName) > length) length = std::strlen(secondName);
  if (length >= kNameLimit) return 0;
  *flag1 = static_cast<unsigned char>((nameStored ? 0x80 : 0) | (secondStored ? 0x40 : 0) |
                                      static_cast<unsigned>(length));
  uint32_t at = 0;
  if (nameStored) {
    std::memset(nameBytes + at, 0, length);
    std::memcpy(nameBytes + at, name, std::strlen(name));
    at += static_cast<uint32_t>(length);
  }
  if (secondStored) {
    std::memset(nameBytes + at, 0, length);
    std::memcpy(nameBytes + at, secondName, std::strlen(secondName));
    at += static_cast<uint32_t>(length);
  }
  *nameSize = at;
  return 1;
}

int CChangeCodeIndexBuilder::AddCity(const char* cityCode) {
  if (!CloseCity()) return 0;
  uint32_t code = 0;
  if (!change_bytes::ReadPlainDigits(OrEmpty(cityCode), 5, &code) || code < 1000 || code > 47999) {
    return 0;
  }
  unsigned char bytes[3] = {0};
  Store16(bytes + 1, static_cast<uint16_t>(code));
  if (!AddEntry(kCity, bytes, 3)) return 0;
  current_[kCity] = entries_[kCity].GetCount();
  firstChild_[kCity] = 0;
  return 1;
}

int CChangeCodeIndexBuilder::AddArea(const char* areaCode) {
  if (current_[kCity] == 0 || !CloseArea()) return 0;
  areaCode = OrEmpty(areaCode);
  if (std::strlen(areaCode) != 6) return 0;
  unsigned char bytes[7];
  uint32_t size = 1;
  uint32_t forms[2];
  for (int i = 0; i < 2; ++i) {
    char part[4];
    std::memcpy(part, areaCode + 3 * i, 3);
    part[3] = '\0';
    uint32_t value = 0;
    if (!change_bytes::ReadPlainDigits(part, 3, &value)) {
      forms[i] = 3;
      std::memcpy(bytes + size, part, 3);
      size += 3;
    } else if (value > 0xFF) {
      forms[i] = 1;
      Store16(bytes + size, static_cast<uint16_t>(value));
      size += 2;
    } else {
      forms[i] = 0;
      bytes[size++] = static_cast<unsigned char>(value);
    }
  }
  bytes[0] = static_cast<unsigned char>(forms[0] | (forms[1] << 6));
  if (!AddEntry(kArea, bytes, size)) return 0;
  current_[kArea] = entries_[kArea].GetCount();
  if (firstChild_[kCity] == 0) firstChild_[kCity] = current_[kArea];
  firstChild_[kArea] = 0;
  return 1;
}

int CChangeCodeIndexBuilder::AddBlock(const char* blockCode, const char* name,
                                      const char* secondName) {
  if (current_[kArea] == 0 || !CloseBlock()) return 0;
  unsigned char bytes[2 + 5 + 2 * kNameLimit];
  uint32_t codeSize = 0;
  uint32_t codeForm = 0;
  uint32_t nameSize = 0;
  unsigned char flag1 = 0;
  unsigned char names[2 * kNameLimit];
  if (!EncodeCodeAndNames(blockCode, name, secondName, bytes + 2, &codeSize, &codeForm, &flag1,
                          names, &nameSize)) {
    return 0;
  }
  bytes[0] = static_cast<unsigned char>(codeForm);
  bytes[1] = flag1;
  std::memcpy(bytes + 2 + codeSize, names, nameSize);
  if (!AddEntry(kBlock, bytes, 2 + codeSize + nameSize)) return 0;
  current_[kBlock] = entries_[kBlock].GetCount();
  if (firstChild_[kArea] == 0) firstChild_[kArea] = current_[kBlock];
  firstChild_[kBlock] = 0;
  return 1;
}

int CChangeCodeIndexBuilder::AddChange(const char* code, const char* name, const char* secondName,
                                       uint32_t number2, uint32_t number1, const char* scaleText,
                                       const char* digitText, const char* classText) {
  if (current_[kBlock] == 0) return 0;
  unsigned char bytes[3 + 5 + 8 + 2 * kNameLimit];
  uint32_t codeSize = 0;
  uint32_t codeForm = 0;
  uint32_t nameSize = 0;
  unsigned char flag1 = 0;
  unsigned char names[2 * kNameLimit];
  if (!EncodeCodeAndNames(code, name, secondName, bytes + 3, &codeSize, &codeForm, &flag1, names,
                          &nameSize)) {
    return 0;
  }
  // The digit has two bits and the class three: larger values are refused.
  const int scale = change_bytes::ScaleCodeFromText(scaleText);
  int32_t digit = 0;
  int32_t classCode = 0;
  if (scale == 0 || digitText == nullptr || classText == nullptr ||
      !ParseIntInRange(digitText, &digit, 0, 3) || !ParseIntInRange(classText, &classCode, 0, 7)) {
    return 0;
  }

  const bool first = firstChild_[kBlock] == 0;
  const uint32_t base1 = first ? 0 : base1_;
  const uint32_t base2 = first ? 0 : base2_;
  uint32_t at = 3 + codeSize;
  uint32_t size1 = 0;
  uint32_t size2 = 0;
  uint32_t form1 = 3;
  uint32_t form2 = 3;
  if (first) {
    Store32(bytes + at, number1);
    size1 = 4;
  } else {
    form1 = NumberForm(number1, base1, bytes + at, &size1);
  }
  at += size1;
  if (first) {
    Store32(bytes + at, number2);
    size2 = 4;
  } else {
    form2 = NumberForm(number2, base2, bytes + at, &size2);
  }
  at += size2;
  std::memcpy(bytes + at, names, nameSize);
  at += nameSize;
  bytes[0] = static_cast<unsigned char>(codeForm | (form1 << 2) | (form2 << 4) |
                                        (static_cast<uint32_t>(digit) << 6));
  bytes[1] = flag1;
  // The scale code 20 keeps its low four bits, 4.
  bytes[2] = static_cast<unsigned char>((scale & 0x0F) | (classCode << 4));
  if (!AddEntry(kChange, bytes, at)) return 0;
  if (first) {
    firstChild_[kBlock] = entries_[kChange].GetCount();
    base1_ = number1;
    base2_ = number2;
  }
  return 1;
}

int CChangeCodeIndexBuilder::CloseLevel(int level) {
  if (current_[level] == 0) return 1;
  if (level < kBlock && !CloseLevel(level + 1)) return 0;
  const int child = level + 1;
  const uint32_t first = firstChild_[level];
  // An entry without children is refused: it would say nothing, and its
  // readers expect at least one child.
  if (first == 0 || entries_[child].GetCount() < first) return 0;
  const uint32_t count = entries_[child].GetCount() - first + 1;

  uint64_t sum = 0;
  EntryRecord childEntry;
  for (uint32_t n = first; n < first + count; ++n) {
    if (!GetEntry(child, n, &childEntry)) return 0;
    sum += childEntry.subtree;
  }
  if (sum > UINT32_MAX) return 0;
  const bool wideCount = count > 0xFFFF;
  const bool wideOffsets = sum > 0xFFFF;
  unsigned char bytes[4];
  if (wideCount) {
    Store32(bytes, count);
  } else {
    Store16(bytes, static_cast<uint16_t>(count));
  }
  if (!change_bytes::AppendBytes(&bytes_[level], bytes, wideCount ? 4 : 2)) return 0;
  uint32_t running = 0;
  for (uint32_t n = first; n < first + count; ++n) {
    if (!GetEntry(child, n, &childEntry)) return 0;
    if (wideOffsets) {
      Store32(bytes, running);
    } else {
      Store16(bytes, static_cast<uint16_t>(running));
    }
    if (!change_bytes::AppendBytes(&bytes_[level], bytes, wideOffsets ? 4 : 2)) return 0;
    running += childEntry.subtree;
  }

  EntryRecord entry;
  if (!GetEntry(level, current_[level], &entry)) return 0;
  auto* flag = static_cast<unsigned char*>(bytes_[level].GetPtr(entry.start));
  if (flag == nullptr) return 0;
  *flag = static_cast<unsigned char>((*flag & ~0x3Cu) | (wideCount ? 0x04 : 0) |
                                     (wideOffsets ? 0x10 : 0));
  entry.size = bytes_[level].GetCount() - entry.start + 1;
  const uint64_t subtree = static_cast<uint64_t>(entry.size) + sum;
  if (subtree > UINT32_MAX) return 0;
  entry.subtree = static_cast<uint32_t>(subtree);
  entry.firstChild = first;
  entry.count = count;
  if (!SetEntry(level, current_[level], entry)) return 0;
  current_[level] = 0;
  firstChild_[level] = 0;
  return 1;
}

int CChangeCodeIndexBuilder::CloseCity() { return CloseLevel(kCity); }
int CChangeCodeIndexBuilder::CloseArea() { return CloseLevel(kArea); }
int CChangeCodeIndexBuilder::CloseBlock() { return CloseLevel(kBlock); }

namespace {

// Collects bytes and writes them in large pieces.
class ChunkWriter {
 public:
  explicit ChunkWriter(plat::File* file) : file_(file) {}
  bool Put(const void* bytes, uint32_t n) {
    written_ += n;
    if (buffer_.size() + n > kWriteChunk && !Flush()) return false;
    if (n >= kWriteChunk) return WriteBytesToFile(file_, bytes, n) != 0;
    buffer_.append(static_cast<const char*>(bytes), n);
    return true;
  }
  bool Flush() {
    if (buffer_.empty()) return true;
    const bool ok =
        WriteBytesToFile(file_, buffer_.data(), static_cast<uint32_t>(buffer_.size())) != 0;
    buffer_.clear();
    return ok;
  }
  uint64_t Written() const { return written_; }

 private:
  plat::File* file_;
  std::string buffer_;
  uint64_t written_ = 0;
};

}  // namespace

int CChangeCodeIndexBuilder::WriteChangeHistoryIndex(const char* path) {
  if (!CloseCity()) return 0;
  plat::File file;
  if (!OpenNewFileForReadWrite(&file, OrEmpty(path))) return 0;
  auto fail = [&]() {
    file.Close();
    RemoveFile(path);
    return 0;
  };

  unsigned char header[kChangeCodeHeaderSize] = {};
  std::memcpy(header, "QADCDI", 6);
  Store16(header + 6, static_cast<uint16_t>(kChangeCodeHeaderSize));
  Store32(header + 8, kFormatVersion);
  Store32(header + 12, timePinned_ ? pinnedTime_ : plat::crt::TimeLow32());
  ChunkWriter out(&file);
  if (!out.Put(header, kChangeCodeHeaderSize)) return fail();

  const uint32_t cityCount = entries_[kCity].GetCount();
  unsigned char number[4];
  Store32(number, cityCount);
  if (!out.Put(number, 4)) return fail();
  uint64_t running = 0;
  EntryRecord city, area, block, change;
  for (uint32_t c = 1; c <= cityCount; ++c) {
    if (!GetEntry(kCity, c, &city) || running > UINT32_MAX) return fail();
    Store32(number, static_cast<uint32_t>(running));
    if (!out.Put(number, 4)) return fail();
    running += city.subtree;
  }

  auto putOwn = [&](int level, const EntryRecord& entry) {
    const void* p = bytes_[level].GetPtr(entry.start);
    return p != nullptr && entry.size != 0 &&
           static_cast<uint64_t>(entry.start) + entry.size - 1 <= bytes_[level].GetCount() &&
           out.Put(p, entry.size);
  };
  for (uint32_t c = 1; c <= cityCount; ++c) {
    if (!GetEntry(kCity, c, &city) || !putOwn(kCity, city)) return fail();
    for (uint32_t a = city.firstChild; a < city.firstChild + city.count; ++a) {
      if (!GetEntry(kArea, a, &area) || !putOwn(kArea, area)) return fail();
      for (uint32_t b = area.firstChild; b < area.firstChild + area.count; ++b) {
        if (!GetEntry(kBlock, b, &block) || !putOwn(kBlock, block)) return fail();
        for (uint32_t r = block.firstChild; r < block.firstChild + block.count; ++r) {
          if (!GetEntry(kChange, r, &change) || !putOwn(kChange, change)) return fail();
        }
      }
    }
  }
  if (!out.Flush() || out.Written() > UINT32_MAX) return fail();

  Store32(header + 16, static_cast<uint32_t>(out.Written()));
  if (!SeekFileToBegin(&file) || !WriteBytesToFile(&file, header, kChangeCodeHeaderSize) ||
      !file.Close()) {
    return fail();
  }
  return 1;
}
