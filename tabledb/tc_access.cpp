#include "tabledb/tc_access.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "common/file_access.h"
#include "common/le_bytes.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/sjis_text.h"
#include "common/width_kana.h"
#include "plat/path.h"
#include "tabledb/table_database.h"
#include "tabledb/table_names.h"
#include "tabledb/table_sorter.h"

namespace {

const char* OrEmpty(const char* text) { return text ? text : ""; }

// Copies text into out (outSize bytes) when it fits with its NUL; else 0
// and out untouched.
int CopyIfFits(char* out, std::size_t outSize, const char* text) {
  const std::size_t n = std::strlen(text);
  if (!out || n >= outSize) return 0;
  std::memcpy(out, text, n + 1);
  return 1;
}

// The record position held by slot n (1-based) of an index file.
int ReadFileSlot(plat::File* file, uint32_t n, uint32_t* record) {
  if (!file || n == 0) return 0;
  const uint64_t position = (static_cast<uint64_t>(n) - 1) * 4;
  if (position > UINT32_MAX) return 0;
  unsigned char bytes[4];
  if (!ReadBytesFromFileAt(file, static_cast<uint32_t>(position), bytes, 4)) return 0;
  *record = static_cast<uint32_t>(LoadLe(bytes, 4));
  return 1;
}

// The halving search and the step back to the first of a run, over any
// slot source: value(n, text) reads slot n's field value into text
// (kFieldValueSize bytes) and answers 0 when it cannot.
template <typename SlotValue>
uint32_t HalvingSearch(SlotValue value, uint32_t lo, uint32_t hi, const char* key) {
  if (!key || *key == '\0') return 0;
  char text[kFieldValueSize];
  for (;;) {
    if (hi < lo) return 0;
    if (!value(lo, text)) return 0;
    int c = CompareStrings(text, key);
    if (c > 0) return 0;
    if (c == 0) return lo;
    if (!value(hi, text)) return 0;
    c = CompareStrings(text, key);
    if (c < 0) return 0;
    if (c == 0) return hi;
    if (hi - lo <= 1) return 0;
    const uint32_t mid = static_cast<uint32_t>((static_cast<uint64_t>(lo) + hi) / 2);
    if (!value(mid, text)) return 0;
    c = CompareStrings(text, key);
    if (c == 0) return mid;
    if (c < 0) {
      lo = mid + 1;
      hi = hi - 1;
    } else {
      lo = lo + 1;
      hi = mid - 1;
    }
  }
}

template <typename SlotValue>
uint32_t FirstOfRun(SlotValue value, uint32_t lo, uint32_t hi, const char* key) {
  uint32_t slot = HalvingSearch(value, lo, hi, key);
  char text[kFieldValueSize];
  while (slot > lo) {
    if (!value(slot - 1, text)) return 0;
    if (CompareStrings(text, key) != 0) break;
    --slot;
  }
  return slot;
}

// Slot values of an open index file.
struct FileSlots {
  CTableDatabase* database;
  plat::File* file;
  const char* table;
  const char* field;
  int operator()(uint32_t n, char* text) const {
    uint32_t record = 0;
    return database && ReadFileSlot(file, n, &record) &&
           database->GetString(record, table, field, text, kFieldValueSize);
  }
};

// Slot values of a table sorter's position array.
struct SorterSlots {
  CTableSorter* sorter;
  const char* table;
  const char* field;
  int operator()(uint32_t n, char* text) const {
    if (!sorter) return 0;
    CTableDatabase* database = sorter->GetDatabase();
    const uint32_t record = sorter->GetPositionAt(n);
    return database && record != 0 &&
           database->GetString(record, table, field, text, kFieldValueSize);
  }
};

constexpr char kNoOazaDistrict[] = "大字なし地区";
constexpr char kNoOazaDistrictKana[] = "おおあざなしちく";
constexpr char kNoOaza[] = "大字なし";
constexpr char kNoOazaKana[] = "おおあざなし";
constexpr char kNoChomeDistrict[] = "丁目なし地区";
constexpr char kNoChomeDistrictKana[] = "ちょうもくなしちく";

// Replaces the pair by the placeholder pair when the deciding name is a
// placeholder by test.
int NormalizePair(char* kanji, char* kana, int32_t kanaSwitch, std::size_t textSize,
                  int (*test)(const char*, int32_t), const char* placeholder,
                  const char* placeholderKana) {
  const char* deciding = kanaSwitch ? kana : kanji;
  if (!deciding || !test(deciding, kanaSwitch)) return 0;
  if ((kanji && std::strlen(placeholder) >= textSize) ||
      (kana && std::strlen(placeholderKana) >= textSize)) {
    return 0;
  }
  if (kanji) CopyIfFits(kanji, textSize, placeholder);
  if (kana) CopyIfFits(kana, textSize, placeholderKana);
  return 1;
}

}  // namespace

// ---------------------------------------------------------------------------
// Messages

std::string DatabasePath(CTableDatabase* database) {
  char path[kTdbMaxPathLength + 1] = "";
  if (database) database->GetPath(path, sizeof path);
  return path;
}

void SetFieldValueErrorMessage(char* msg, CTableDatabase* database, const char* table,
                               const char* field) {
  SetMessage(msg, kFieldValueErrorFormat, DatabasePath(database).c_str(), OrEmpty(table),
             OrEmpty(field));
}

void SetValueNotFoundMessage(char* msg, CTableDatabase* database, const char* table,
                             const char* field, const char* value) {
  SetMessage(msg, kValueNotFoundFormat, DatabasePath(database).c_str(), OrEmpty(table),
             OrEmpty(field), OrEmpty(value));
}

// ---------------------------------------------------------------------------
// Field access

int ReadFieldInfo(CTableDatabase* database, const char* table, const char* field, int32_t* type,
                  int32_t* attribute, uint32_t* position, uint32_t* size, char* msg) {
  int32_t t = 0, a = 0;
  uint32_t p = 0, s = 0;
  if (!database || !table || !field || !database->FindField(table, field, &t, &a, &p, &s)) {
    SetMessage(msg, kFieldInfoErrorFormat, DatabasePath(database).c_str(), OrEmpty(table),
               OrEmpty(field));
    return 0;
  }
  if (type) *type = t;
  if (attribute) *attribute = a;
  if (position) *position = p;
  if (size) *size = s;
  return 1;
}

int ReadStringField(CTableDatabase* database, uint32_t record, const char* table, const char* field,
                    char* text, std::size_t textSize, char* msg) {
  if (!database || !table || !field || !text || textSize == 0 ||
      !database->GetString(record, table, field, text, textSize)) {
    if (text && textSize > 0) text[0] = '\0';
    SetFieldValueErrorMessage(msg, database, table, field);
    return 0;
  }
  return 1;
}

int ReadStringField(CTableDatabase* database, uint32_t record, const char* table, const char* field,
                    std::string* text, char* msg) {
  char value[kFieldValueSize];
  const int ok = ReadStringField(database, record, table, field, value, sizeof value, msg);
  if (text) text->assign(value);
  return ok;
}

int ReadIntField(CTableDatabase* database, uint32_t record, const char* table, const char* field,
                 int32_t* value, char* msg) {
  if (!database || !table || !field || !value || !database->GetInt(record, table, field, value)) {
    SetFieldValueErrorMessage(msg, database, table, field);
    return 0;
  }
  return 1;
}

// ---------------------------------------------------------------------------
// Sorted code index searches

uint32_t FindInSortedIndexFile(CTableDatabase* database, plat::File* file, uint32_t lo, uint32_t hi,
                               const char* table, const char* field, const char* key) {
  return HalvingSearch(FileSlots{database, file, table, field}, lo, hi, key);
}

uint32_t FindFirstInSortedIndexFile(CTableDatabase* database, plat::File* file, uint32_t lo,
                                    uint32_t hi, const char* table, const char* field,
                                    const char* key) {
  return FirstOfRun(FileSlots{database, file, table, field}, lo, hi, key);
}

int FindRecordInIndexFile(CTableDatabase* database, const char* indexPath, const char* table,
                          const char* field, const char* key, bool first, uint32_t* record,
                          char* msg) {
  plat::File file;
  if (!OpenFileForRead(&file, indexPath)) {
    SetMessage(msg, kMsgFileOpen, OrEmpty(indexPath));
    return 0;
  }
  uint64_t length = 0;
  if (!file.GetLength(length)) {
    SetMessage(msg, kMsgFileRead, indexPath);
    return 0;
  }
  const uint32_t slots = static_cast<uint32_t>(std::min<uint64_t>(length / 4, UINT32_MAX / 4));
  const uint32_t slot =
      first ? FindFirstInSortedIndexFile(database, &file, 1, slots, table, field, key)
            : FindInSortedIndexFile(database, &file, 1, slots, table, field, key);
  if (slot == 0) {
    SetValueNotFoundMessage(msg, database, table, field, key);
    return 0;
  }
  if (!record || !ReadFileSlot(&file, slot, record)) {
    SetMessage(msg, kMsgFileRead, indexPath);
    return 0;
  }
  return 1;
}

uint32_t FindInSortedRecordFile(CTableSorter* sorter, uint32_t lo, uint32_t hi, const char* table,
                                const char* field, const char* key) {
  return HalvingSearch(SorterSlots{sorter, table, field}, lo, hi, key);
}

uint32_t FindFirstInSortedRecordFile(CTableSorter* sorter, uint32_t lo, uint32_t hi,
                                     const char* table, const char* field, const char* key) {
  return FirstOfRun(SorterSlots{sorter, table, field}, lo, hi, key);
}

// ---------------------------------------------------------------------------
// Code lookups

int MakeCodeIndexPath(const char* databasePath, const char* suffix, char* out, std::size_t outSize,
                      const char* extension) {
  if (!out || outSize == 0) return 0;
  out[0] = '\0';
  if (!databasePath || !suffix || !extension) return 0;
  std::string drive, dir, title;
  plat::path::SplitPath(databasePath, &drive, &dir, &title, nullptr);
  const std::string path = drive + dir + title + suffix + extension;
  return CopyIfFits(out, outSize, path.c_str());
}

int LookupGroupCodeByPlaceCode(CTableDatabase* database, const char* placeCode, char* groupCode,
                               std::size_t groupCodeSize, char* msg) {
  static constexpr std::size_t kPlaceCodeLength = 11;
  if (groupCode && groupCodeSize > 0) groupCode[0] = '\0';
  if (!database || !placeCode || std::strlen(placeCode) < kPlaceCodeLength) {
    SetValueNotFoundMessage(msg, database, kTableOaza, kFieldPlaceCode, placeCode);
    return 0;
  }
  char key[kPlaceCodeLength + 1];
  std::memcpy(key, placeCode, kPlaceCodeLength);
  key[kPlaceCodeLength] = '\0';

  char indexPath[kCodeIndexPathSize];
  plat::File file;
  if (!MakeCodeIndexPath(DatabasePath(database).c_str(), "_CD3", indexPath, sizeof indexPath) ||
      !OpenFileForRead(&file, indexPath)) {
    SetMessage(msg, kMsgFileOpen, indexPath);
    return 0;
  }
  uint64_t length = 0;
  const uint32_t slots = file.GetLength(length) ? static_cast<uint32_t>(length / 4) : 0;
  const uint32_t slot =
      FindFirstInSortedIndexFile(database, &file, 1, slots, kTableOaza, kFieldPlaceCode, key);
  if (slot == 0) {
    file.Close();
    SetValueNotFoundMessage(msg, database, kTableOaza, kFieldPlaceCode, placeCode);
    return 0;
  }
  uint32_t record = 0;
  const int read = ReadFileSlot(&file, slot, &record);
  file.Close();
  if (!read) {
    SetMessage(msg, kMsgFileRead, indexPath);
    return 0;
  }
  return ReadStringField(database, record, kTableOaza, kFieldGroupCode, groupCode, groupCodeSize,
                         msg);
}

char* PrepareCodeAndName(char* code, std::size_t codeSize, char* name, std::size_t nameSize) {
  if (!code) return code;
  if (name && *name == '\0') {
    // Converted in a work area, kept only when the whole result fits.
    char work[1024];
    if (CopyIfFits(work, sizeof work, code)) {
      ToFullWidth(work, sizeof work);
      CopyIfFits(name, nameSize, work);
    }
  }
  if (std::strlen(code) < 5 && codeSize >= 6) PadLeftWithZeros(code, 5);
  return code;
}

// ---------------------------------------------------------------------------
// Placeholder names

int IsNoOazaName(const char* name, int32_t kana) {
  if (!name || *name == '\0') return 1;
  // Either test below finds the bytes of 大字なし (おおあざなし) in the name:
  // a name that holds none of them anywhere is no placeholder (most are
  // not), told by a search of its bytes (first for the word's first byte
  // alone, which most kanji names do not hold).
  const char* word = kana ? kNoOazaKana : kNoOaza;
  if (std::strchr(name, word[0]) == nullptr || std::strstr(name, word) == nullptr) return 0;
  if (kana) {
    return CompareStrings(name, kNoOazaDistrictKana) == 0 || FindSubstring(kNoOazaKana, name) > 0;
  }
  return CompareStrings(name, kNoOazaDistrict) == 0 || FindSubstring(kNoOaza, name) > 0;
}

int IsNoChomeName(const char* name, int32_t kana) {
  if (!name || *name == '\0') return 1;
  return CompareStrings(name, kana ? kNoChomeDistrictKana : kNoChomeDistrict) == 0;
}

int NormalizeNoOazaPair(char* kanji, char* kana, int32_t kanaSwitch, std::size_t textSize) {
  return NormalizePair(kanji, kana, kanaSwitch, textSize, IsNoOazaName, kNoOazaDistrict,
                       kNoOazaDistrictKana);
}

int NormalizeNoChomePair(char* kanji, char* kana, int32_t kanaSwitch, std::size_t textSize) {
  return NormalizePair(kanji, kana, kanaSwitch, textSize, IsNoChomeName, kNoChomeDistrict,
                       kNoChomeDistrictKana);
}
