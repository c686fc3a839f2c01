#include "tabledb/change_code_index.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/copy_out.h"
#include "common/file_access.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/number_parse.h"
#include "common/width_kana.h"
#include "tabledb/change_bytes.h"

using change_bytes::Load16;
using change_bytes::Load32;

namespace {

// The longest entry without its offset table: a change record of 3 flag
// bytes, a 5-character code, two 4-byte numbers and two 63-byte names.
constexpr uint32_t kEntryWindow = 160;

// Bounds-checked reads from a block of bytes.
class Reader {
 public:
  Reader(const unsigned char* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
  bool Take(std::size_t n, const unsigned char** out) {
    if (size_ - at_ < n) return false;
    *out = bytes_ + at_;
    at_ += n;
    return true;
  }
  bool U8(uint32_t* v) {
    const unsigned char* p;
    if (!Take(1, &p)) return false;
    *v = p[0];
    return true;
  }
  bool U16(uint32_t* v) {
    const unsigned char* p;
    if (!Take(2, &p)) return false;
    *v = Load16(p);
    return true;
  }
  bool U32(uint32_t* v) {
    const unsigned char* p;
    if (!Take(4, &p)) return false;
    *v = Load32(p);
    return true;
  }
  std::size_t Consumed() const { return at_; }

 private:
  const unsigned char* bytes_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// A block's or a change record's code by its form.
bool ReadFiveCharacterCode(Reader* r, uint32_t form, char* code) {
  uint32_t value = 0;
  switch (form) {
    case 0:
      if (!r->U8(&value)) return false;
      break;
    case 1:
      if (!r->U16(&value)) return false;
      break;
    case 2:
      if (!r->U16(&value)) return false;
      value += 65536;
      break;
    default: {
      const unsigned char* p;
      if (!r->Take(5, &p)) return false;
      std::memcpy(code, p, 5);
      code[5] = '\0';
      return true;
    }
  }
  FormatDecimal(code, kChangeCodeTextSize, static_cast<long>(value), 5);
  return true;
}

// One 3-character part of an area code, appended to out.
bool ReadAreaPart(Reader* r, uint32_t form, char* out) {
  uint32_t value = 0;
  switch (form) {
    case 0:
      if (!r->U8(&value)) return false;
      break;
    case 1:
      if (!r->U16(&value) || value > 999) return false;
      break;
    case 2:
      return true;  // never written: an empty part
    default: {
      const unsigned char* p;
      if (!r->Take(3, &p)) return false;
      std::strncat(out, reinterpret_cast<const char*>(p), 3);
      return true;
    }
  }
  char part[8];
  FormatDecimal(part, sizeof part, static_cast<long>(value), 3);
  std::strcat(out, part);
  return true;
}

// A name made from a code text: leading "0"s dropped, every other digit in
// full width. False when a character is not a digit.
bool NameFromCode(const char* code, char* name) {
  while (*code == '0') ++code;
  std::size_t n = 0;
  for (; *code != '\0'; ++code) {
    if (!change_bytes::IsAsciiDigit(static_cast<unsigned char>(*code))) return false;
    name[n++] = static_cast<char>(0x82);
    name[n++] = static_cast<char>(0x4F + (*code - '0'));
  }
  name[n] = '\0';
  return true;
}

// The names of a block or change record after flag byte 1.
bool ReadNames(Reader* r, uint32_t flag1, const char* code, char* name, char* second) {
  const uint32_t length = flag1 & 0x3F;
  const unsigned char* p;
  if ((flag1 & 0x80) != 0) {
    if (!r->Take(length, &p)) return false;
    std::memcpy(name, p, length);
    name[length] = '\0';
  } else if (!NameFromCode(code, name)) {
    return false;
  }
  if ((flag1 & 0x40) != 0) {
    if (!r->Take(length, &p)) return false;
    std::memcpy(second, p, length);
    second[length] = '\0';
  } else {
    std::strcpy(second, name);
  }
  return true;
}

// A number of a change record by its form against a base.
bool DecodeNumber(uint32_t form, uint32_t stored, uint32_t base, uint32_t* value) {
  switch (form) {
    case 0:
      *value = base;
      return true;
    case 1:
      if (stored > UINT32_MAX - base) return false;
      *value = base + stored;
      return true;
    case 2:
      if (stored > base) return false;
      *value = base - stored;
      return true;
    default:
      *value = stored;
      return true;
  }
}

bool ReadStoredNumber(Reader* r, uint32_t form, uint32_t* stored) {
  *stored = 0;
  if (form == 0) return true;
  if (form == 3) return r->U32(stored);
  return r->U16(stored);
}

void CopyOut(char* out, const char* text) {
  if (out != nullptr) std::strcpy(out, text);
}

template <typename T>
void SetOut(T* out, T value) {
  if (out != nullptr) *out = value;
}

}  // namespace

struct CChangeCodeIndex::Entry {
  char code[kChangeCodeTextSize] = {};
  char name[kChangeCodeNameSize] = {};
  char second[kChangeCodeNameSize] = {};
  uint32_t tablePosition = 0;
  uint32_t count = 0;
  uint32_t tableSize = 0;
  int wide = 0;
  // Change records only.
  uint32_t form1 = 0;
  uint32_t form2 = 0;
  uint32_t stored1 = 0;
  uint32_t stored2 = 0;
  int digit = 0;
  int precision = 0;
  int classCode = 0;
};

namespace {

enum class Want { Code, Names, Table };

}  // namespace

CChangeCodeIndex::CChangeCodeIndex()
    : state_(0),
      cityCount_(0),
      cityTablePosition_(0),
      cachedTablePosition_(0),
      cachedCount_(0),
      cachedTableSize_(0),
      cachedWideOffsets_(0),
      fileLength_(0) {
  path_[0] = '\0';
}

CChangeCodeIndex::~CChangeCodeIndex() { Close(); }

void CChangeCodeIndex::ClearCache() {
  cachedOffsets_.Free();
  cachedBytes_.Free();
  cachedTablePosition_ = 0;
  cachedCount_ = 0;
  cachedTableSize_ = 0;
  cachedWideOffsets_ = 0;
}

void CChangeCodeIndex::Close() {
  file_.Close();
  state_ = 0;
  path_[0] = '\0';
  cityCount_ = 0;
  cityTablePosition_ = 0;
  fileLength_ = 0;
  ClearCache();
}

int CChangeCodeIndex::Open(const char* path, char* msg) {
  Close();
  const char* const name = path != nullptr ? path : "";
  if (std::strlen(name) >= kPathSize || !file_.OpenSharedImage(name)) {
    SetMessage(msg, kMsgFileOpen, name);
    Close();
    return 0;
  }
  unsigned char header[kChangeCodeHeaderSize + 4];
  uint64_t length = 0;
  if (!file_.Read(header, kChangeCodeHeaderSize) || std::memcmp(header, "QADCDI", 6) != 0 ||
      Load16(header + 6) != kChangeCodeHeaderSize ||
      !file_.Read(header + kChangeCodeHeaderSize, 4) || !((length = file_.GetSize()), true)) {
    SetMessage(msg, kMsgFileRead, name);
    Close();
    return 0;
  }
  std::strcpy(path_, name);
  cityCount_ = Load32(header + kChangeCodeHeaderSize);
  cityTablePosition_ = kChangeCodeHeaderSize + 4;
  fileLength_ = length > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(length);
  state_ = 1;
  return 1;
}

// ---- Entry decoding ----

namespace {

// Decodes the entry of a level from bytes that begin at file position
// `position`. With Want::Table the child count and table are read too.
bool DecodeEntryBytes(const unsigned char* bytes, std::size_t size, uint32_t position,
                      uint64_t fileLength, int level, Want want, char* code, char* name,
                      char* second, uint32_t* tablePosition, uint32_t* count, uint32_t* tableSize,
                      int* wide, uint32_t* form1, uint32_t* form2, uint32_t* stored1,
                      uint32_t* stored2, int* digit, int* precision, int* classCode) {
  // Levels: 0 city, 1 area, 2 block, 3 change record.
  Reader r(bytes, size);
  uint32_t flag0 = 0;
  uint32_t flag1 = 0;
  if (!r.U8(&flag0)) return false;
  code[0] = '\0';
  switch (level) {
    case 0: {
      uint32_t city = 0;
      if (!r.U16(&city)) return false;
      std::snprintf(code, kChangeCodeTextSize, "%05u", static_cast<unsigned>(city));
      break;
    }
    case 1:
      if (!ReadAreaPart(&r, flag0 & 3, code) || !ReadAreaPart(&r, (flag0 >> 6) & 3, code)) {
        return false;
      }
      break;
    case 2:
      if (!r.U8(&flag1) || !ReadFiveCharacterCode(&r, flag0 & 3, code)) return false;
      if (want != Want::Code && !ReadNames(&r, flag1, code, name, second)) return false;
      break;
    default: {
      uint32_t flag2 = 0;
      if (!r.U8(&flag1) || !r.U8(&flag2) || !ReadFiveCharacterCode(&r, flag0 & 3, code)) {
        return false;
      }
      if (want == Want::Code) return true;
      *form1 = (flag0 >> 2) & 3;
      *form2 = (flag0 >> 4) & 3;
      *digit = static_cast<int>((flag0 >> 6) & 3);
      // The scale code 20 is kept in four bits as 4.
      const int scale = static_cast<int>(flag2 & 0x0F);
      *precision = scale == 4 ? 20 : scale;
      *classCode = static_cast<int>((flag2 >> 4) & 7);
      if (!ReadStoredNumber(&r, *form1, stored1) || !ReadStoredNumber(&r, *form2, stored2) ||
          !ReadNames(&r, flag1, code, name, second)) {
        return false;
      }
      return true;
    }
  }
  if (want != Want::Table) return true;
  uint32_t n = 0;
  if (((flag0 >> 2) & 3) != 0 ? !r.U32(&n) : !r.U16(&n)) return false;
  const int wideOffsets = static_cast<int>((flag0 >> 4) & 3);
  const uint64_t table = static_cast<uint64_t>(position) + r.Consumed();
  const uint64_t bytesOfTable = static_cast<uint64_t>(n) * (wideOffsets != 0 ? 4 : 2);
  if (table + bytesOfTable > fileLength) return false;
  *tablePosition = static_cast<uint32_t>(table);
  *count = n;
  *tableSize = static_cast<uint32_t>(bytesOfTable);
  *wide = wideOffsets;
  return true;
}

}  // namespace

int CChangeCodeIndex::ReadEntry(uint32_t position, Level level, bool withNames, Entry* entry) {
  if (!state_ || position == 0 || position >= fileLength_) return 0;
  unsigned char window[kEntryWindow];
  const uint32_t want =
      fileLength_ - position < kEntryWindow ? fileLength_ - position : kEntryWindow;
  const std::size_t got = file_.ReadAt(position, window, want) ? want : 0;
  if (got == 0) return 0;
  const Want what = level == Level::Change ? (withNames ? Want::Names : Want::Code)
                                           : (withNames ? Want::Table : Want::Code);
  return DecodeEntryBytes(window, got, position, fileLength_, static_cast<int>(level), what,
                          entry->code, entry->name, entry->second, &entry->tablePosition,
                          &entry->count, &entry->tableSize, &entry->wide, &entry->form1,
                          &entry->form2, &entry->stored1, &entry->stored2, &entry->digit,
                          &entry->precision, &entry->classCode)
             ? 1
             : 0;
}

int CChangeCodeIndex::ReadTableEntry(uint32_t position, Level level, char* codeText, char* name,
                                     char* secondName, uint32_t* tablePosition, uint32_t* count,
                                     uint32_t* tableSize, int* wideOffsets) {
  Entry entry;
  if (!ReadEntry(position, level, true, &entry)) return 0;
  CopyOut(codeText, entry.code);
  CopyOut(name, entry.name);
  CopyOut(secondName, entry.second);
  SetOut(tablePosition, entry.tablePosition);
  SetOut(count, entry.count);
  SetOut(tableSize, entry.tableSize);
  SetOut(wideOffsets, entry.wide);
  return 1;
}

int CChangeCodeIndex::ReadCityEntry(uint32_t position, char* codeText, uint32_t* tablePosition,
                                    uint32_t* count, uint32_t* tableSize, int* wideOffsets) {
  return ReadTableEntry(position, Level::City, codeText, nullptr, nullptr, tablePosition, count,
                        tableSize, wideOffsets);
}

int CChangeCodeIndex::ReadAreaEntry(uint32_t position, char* codeText, uint32_t* tablePosition,
                                    uint32_t* count, uint32_t* tableSize, int* wideOffsets) {
  return ReadTableEntry(position, Level::Area, codeText, nullptr, nullptr, tablePosition, count,
                        tableSize, wideOffsets);
}

int CChangeCodeIndex::ReadBlockEntry(uint32_t position, char* codeText, char* name,
                                     char* secondName, uint32_t* tablePosition, uint32_t* count,
                                     uint32_t* tableSize, int* wideOffsets) {
  return ReadTableEntry(position, Level::Block, codeText, name, secondName, tablePosition, count,
                        tableSize, wideOffsets);
}

int CChangeCodeIndex::ReadBlockNames(uint32_t position, char* codeText, char* name,
                                     char* secondName) {
  if (!state_ || position == 0 || position >= fileLength_) return 0;
  unsigned char window[kEntryWindow];
  const uint32_t want =
      fileLength_ - position < kEntryWindow ? fileLength_ - position : kEntryWindow;
  const std::size_t got = file_.ReadAt(position, window, want) ? want : 0;
  Entry e;
  if (got == 0 ||
      !DecodeEntryBytes(window, got, position, fileLength_, 2, Want::Names, e.code, e.name,
                        e.second, &e.tablePosition, &e.count, &e.tableSize, &e.wide, &e.form1,
                        &e.form2, &e.stored1, &e.stored2, &e.digit, &e.precision, &e.classCode)) {
    return 0;
  }
  CopyOut(codeText, e.code);
  CopyOut(name, e.name);
  CopyOut(secondName, e.second);
  return 1;
}

int CChangeCodeIndex::ReadChildOffset(uint32_t tablePosition, uint32_t index, int wideOffsets,
                                      uint32_t* offset) {
  if (!state_) return 0;
  const uint32_t width = wideOffsets != 0 ? 4 : 2;
  const uint64_t at = tablePosition + static_cast<uint64_t>(index) * width;
  if (at + width > fileLength_) return 0;
  unsigned char bytes[4];
  if (!file_.ReadAt(static_cast<uint32_t>(at), bytes, width)) return 0;
  SetOut(offset, width == 4 ? Load32(bytes) : static_cast<uint32_t>(Load16(bytes)));
  return 1;
}

int CChangeCodeIndex::ReadChangeRecord(uint32_t position, int continuing, uint32_t* base1,
                                       uint32_t* base2, char* codeText, char* name,
                                       char* secondName, uint32_t* number1, uint32_t* number2,
                                       int* precisionDigit, int* precisionCode, int* classCode) {
  Entry entry;
  if (!ReadEntry(position, Level::Change, true, &entry)) return 0;
  const uint32_t b1 = continuing != 0 && base1 != nullptr ? *base1 : 0;
  const uint32_t b2 = continuing != 0 && base2 != nullptr ? *base2 : 0;
  uint32_t n1 = 0;
  uint32_t n2 = 0;
  if (!DecodeNumber(entry.form1, entry.stored1, b1, &n1) ||
      !DecodeNumber(entry.form2, entry.stored2, b2, &n2)) {
    return 0;
  }
  if (continuing == 0) {
    SetOut(base1, n1);
    SetOut(base2, n2);
  }
  CopyOut(codeText, entry.code);
  CopyOut(name, entry.name);
  CopyOut(secondName, entry.second);
  SetOut(number1, n1);
  SetOut(number2, n2);
  SetOut(precisionDigit, entry.digit);
  SetOut(precisionCode, entry.precision);
  SetOut(classCode, entry.classCode);
  return 1;
}

// ---- Searches ----

int CChangeCodeIndex::ChildPosition(uint32_t tablePosition, uint32_t tableSize, int wide,
                                    uint32_t index, uint32_t* position) {
  uint32_t offset = 0;
  if (!ReadChildOffset(tablePosition, index - 1, wide, &offset)) return 0;
  const uint64_t at = static_cast<uint64_t>(tablePosition) + tableSize + offset;
  if (at >= fileLength_) return 0;
  *position = static_cast<uint32_t>(at);
  return 1;
}

uint32_t CChangeCodeIndex::SearchByCode(uint32_t tablePosition, uint32_t count, uint32_t tableSize,
                                        int wide, Level level, const char* target) {
  // Compares child i with the target; false when it cannot be read.
  uint32_t position = 0;
  auto probe = [&](uint32_t i, int* c) {
    Entry entry;
    if (!ChildPosition(tablePosition, tableSize, wide, i, &position) ||
        !ReadEntry(position, level, false, &entry)) {
      return false;
    }
    *c = std::strcmp(entry.code, target);
    return true;
  };
  uint32_t low = 1;
  uint32_t high = count;
  if (high < low) return 0;
  int c = 0;
  uint32_t hit = 0;
  if (!probe(low, &c) || c > 0) return 0;
  if (c == 0) return position;
  if (low == high) return 0;
  if (!probe(high, &c) || c < 0) return 0;
  if (c == 0) {
    hit = high;
  } else {
    while (low + 1 < high) {
      const uint32_t middle = low + (high - low) / 2;
      if (!probe(middle, &c)) return 0;
      if (c < 0) {
        low = middle;
      } else if (c > 0) {
        high = middle;
      } else {
        hit = middle;
        break;
      }
    }
    if (hit == 0) return 0;
  }
  // The first of a run of equal entries.
  while (hit - 1 > low) {
    if (!probe(hit - 1, &c)) return 0;
    if (c != 0) break;
    --hit;
  }
  return ChildPosition(tablePosition, tableSize, wide, hit, &position) ? position : 0;
}

uint32_t CChangeCodeIndex::SearchByName(uint32_t tablePosition, uint32_t count, uint32_t tableSize,
                                        int wide, Level level, const char* text) {
  // Reads child i; 1 when it is letter-coded with the text as second name,
  // 0 when not, -1 when the scan ends (a read failure or a code beginning
  // with a digit: only the letter-coded entries at the end are named).
  auto probe = [&](uint32_t i) {
    uint32_t position = 0;
    Entry entry;
    if (!ChildPosition(tablePosition, tableSize, wide, i, &position) ||
        !ReadEntry(position, level, true, &entry)) {
      return -1;
    }
    if (change_bytes::IsAsciiDigit(static_cast<unsigned char>(entry.code[0]))) return -1;
    return std::strcmp(entry.second, text) == 0 ? 1 : 0;
  };
  for (uint32_t i = count; i >= 1; --i) {
    const int found = probe(i);
    if (found < 0) return 0;
    if (found == 0) continue;
    while (i > 1 && probe(i - 1) == 1) --i;
    uint32_t position = 0;
    return ChildPosition(tablePosition, tableSize, wide, i, &position) ? position : 0;
  }
  return 0;
}

uint32_t CChangeCodeIndex::SearchChildren(uint32_t parent, Level parentLevel, const char* text,
                                          bool byCode) {
  if (parent == 0 || text == nullptr || text[0] == '\0') return 0;
  Entry entry;
  if (!ReadEntry(parent, parentLevel, true, &entry) || entry.count == 0) return 0;
  const Level level = parentLevel == Level::Area ? Level::Block : Level::Change;
  if (byCode) {
    return SearchByCode(entry.tablePosition, entry.count, entry.tableSize, entry.wide, level, text);
  }
  std::string copy(text);
  ToHalfWidthAscii(copy.data());
  int32_t number = 0;
  if (ParseIntInRange(copy.c_str(), &number, -2147483647, 2147483647)) {
    char key[16];
    std::snprintf(key, sizeof key, "%05ld", static_cast<long>(number));
    return SearchByCode(entry.tablePosition, entry.count, entry.tableSize, entry.wide, level, key);
  }
  return SearchByName(entry.tablePosition, entry.count, entry.tableSize, entry.wide, level, text);
}

uint32_t CChangeCodeIndex::FindCity(const char* code) {
  if (!state_ || code == nullptr || std::strlen(code) < 5) return 0;
  char key[6];
  std::memcpy(key, code, 5);
  key[5] = '\0';
  const uint64_t tableSize = static_cast<uint64_t>(cityCount_) * 4;
  if (cityTablePosition_ + tableSize > fileLength_) return 0;
  return SearchByCode(cityTablePosition_, cityCount_, static_cast<uint32_t>(tableSize), 1,
                      Level::City, key);
}

uint32_t CChangeCodeIndex::FindArea(const char* code) {
  if (code == nullptr || std::strlen(code) < 11) return 0;
  const uint32_t city = FindCity(code);
  Entry entry;
  if (city == 0 || !ReadEntry(city, Level::City, true, &entry) || entry.count == 0) return 0;
  // The area key is characters 6-11, whatever follows them.
  char key[7];
  std::memcpy(key, code + 5, 6);
  key[6] = '\0';
  return SearchByCode(entry.tablePosition, entry.count, entry.tableSize, entry.wide, Level::Area,
                      key);
}

uint32_t CChangeCodeIndex::FindBlock(const char* code, const char* blockText) {
  if (blockText == nullptr || blockText[0] == '\0') return 0;
  return SearchChildren(FindArea(code), Level::Area, blockText, false);
}

uint32_t CChangeCodeIndex::FindBlockByCode(const char* code, const char* blockCode) {
  if (blockCode == nullptr || blockCode[0] == '\0') return 0;
  return SearchChildren(FindArea(code), Level::Area, blockCode, true);
}

uint32_t CChangeCodeIndex::FindChange(const char* code, const char* blockText,
                                      const char* changeText) {
  if (changeText == nullptr || changeText[0] == '\0') return 0;
  return SearchChildren(FindBlock(code, blockText), Level::Block, changeText, false);
}

uint32_t CChangeCodeIndex::FindChangeByCode(const char* code, const char* blockCode,
                                            const char* changeCode) {
  if (changeCode == nullptr || changeCode[0] == '\0') return 0;
  return SearchChildren(FindBlockByCode(code, blockCode), Level::Block, changeCode, true);
}

// ---- Child table cache ----

int CChangeCodeIndex::LoadChildTable(uint32_t tablePosition, uint32_t count, uint32_t tableSize,
                                     int wideOffsets) {
  ClearCache();
  const uint32_t width = wideOffsets != 0 ? 4 : 2;
  if (!state_ || static_cast<uint64_t>(count) * width != tableSize ||
      static_cast<uint64_t>(tablePosition) + tableSize > fileLength_) {
    return 0;
  }
  if (count != 0) {
    if (!cachedOffsets_.Create(count, static_cast<uint16_t>(width), count) ||
        !file_.ReadAt(tablePosition, cachedOffsets_.GetBuffer(), tableSize)) {
      ClearCache();
      return 0;
    }
    cachedOffsets_.SetCount(count);
    const auto* last = static_cast<const unsigned char*>(cachedOffsets_.GetPtr(count));
    const uint32_t length = width == 4 ? Load32(last) : Load16(last);
    const uint64_t start = static_cast<uint64_t>(tablePosition) + tableSize;
    if (length != 0) {
      if (start + length > fileLength_ || !cachedBytes_.Create(length, 1, length) ||
          !file_.ReadAt(static_cast<uint32_t>(start), cachedBytes_.GetBuffer(), length)) {
        ClearCache();
        return 0;
      }
      cachedBytes_.SetCount(length);
    }
  }
  cachedTablePosition_ = tablePosition;
  cachedCount_ = count;
  cachedTableSize_ = tableSize;
  cachedWideOffsets_ = wideOffsets;
  return 1;
}

int CChangeCodeIndex::GetCachedChildPosition(uint32_t index, uint32_t* position) {
  const auto* p = static_cast<const unsigned char*>(cachedOffsets_.GetPtr(index));
  if (p == nullptr || index > cachedCount_) return 0;
  const uint32_t offset = cachedWideOffsets_ != 0 ? Load32(p) : Load16(p);
  const uint64_t at = static_cast<uint64_t>(cachedTablePosition_) + cachedTableSize_ + offset;
  if (at > UINT32_MAX) return 0;
  SetOut(position, static_cast<uint32_t>(at));
  return 1;
}

int CChangeCodeIndex::ReadCachedChild(uint32_t index, char* codeText, char* name,
                                      char* secondName) {
  if (index == 0 || index > cachedCount_) return 0;
  if (index == cachedCount_) {
    uint32_t position = 0;
    return GetCachedChildPosition(index, &position) &&
           ReadBlockNames(position, codeText, name, secondName);
  }
  const auto* p = static_cast<const unsigned char*>(cachedOffsets_.GetPtr(index));
  if (p == nullptr) return 0;
  const uint32_t offset = cachedWideOffsets_ != 0 ? Load32(p) : Load16(p);
  const uint32_t size = cachedBytes_.GetCount();
  if (offset >= size) return 0;
  const auto* bytes = static_cast<const unsigned char*>(cachedBytes_.GetBuffer()) + offset;
  Entry e;
  if (!DecodeEntryBytes(bytes, size - offset, 0, 0, 2, Want::Names, e.code, e.name, e.second,
                        &e.tablePosition, &e.count, &e.tableSize, &e.wide, &e.form1, &e.form2,
                        &e.stored1, &e.stored2, &e.digit, &e.precision, &e.classCode)) {
    return 0;
  }
  CopyOut(codeText, e.code);
  CopyOut(name, e.name);
  CopyOut(secondName, e.second);
  return 1;
}
