#include "tool/csv_sort.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/allocation_guard.h"
#include "common/csv_fields.h"
#include "common/file_access.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/number_parse.h"
#include "common/partition_sort.h"
#include "common/sjis_text.h"
#include "common/text_file_ops.h"
#include "common/work_memory.h"
#include "plat/file.h"
#include "plat/output_file.h"

namespace {

constexpr const char* kNoWorkMemory = kMsgNoWorkList;
constexpr char kNoArrayData[] = "CStringArrayにデータが存在しません！";
constexpr const char* kFileReadFailed = kMsgCsvFileRead;
constexpr char kNoFileData[] = "ファイルにデータが存在しません！(%s)";
constexpr const char* kOpenFailed = kMsgFileOpen;
constexpr const char* kCreateFailed = kMsgFileCreate;
constexpr const char* kWriteFailed = kMsgFileWrite;
constexpr const char* kMemoryFailed = kMsgWorkMemory;
constexpr char kBadMode[] = "不正なモードが渡されました！";
constexpr char kCommentMark[] = "＜";

// Bytes of string pool per entry when a work list is created: keys and
// priority-table keys.
constexpr uint64_t kKeyPoolPerRow = 48;
constexpr uint64_t kTablePoolPerRow = 64;

using Rows = std::vector<std::string>;

// Field n of a row (n from 1); "" when the row has no such field.
std::string CsvField(const std::string& row, int32_t n) {
  std::string out(row.size() + 1, '\0');
  GetDelimitedField(out.data(), row.c_str(), ",", n);
  out.resize(std::strlen(out.c_str()));
  return out;
}

// A work list sized for n entries and poolPerRow bytes each (it grows
// beyond that when needed).
bool CreateWorkList(CWorkMemory* list, std::size_t n, uint64_t poolPerRow) {
  const uint64_t pool = std::min<uint64_t>(static_cast<uint64_t>(n) * poolPerRow + 1, UINT32_MAX);
  const uint64_t entries = std::min<uint64_t>(static_cast<uint64_t>(n) + 1, UINT32_MAX);
  return list->Create(static_cast<uint32_t>(entries), static_cast<uint32_t>(pool)) == 1;
}

// The quicksort's view of a work list: entry strings compared with
// CompareStrings; an exchange moves the string and caller word 1.
class WorkListOps {
 public:
  explicit WorkListOps(CWorkMemory& list) : list_(list) {}
  void LoadPivot(int64_t n) { pivot_ = Text(n); }
  bool BelowPivot(int64_t n) { return CompareStrings(Text(n), pivot_.c_str()) < 0; }
  bool AbovePivot(int64_t n) { return CompareStrings(Text(n), pivot_.c_str()) > 0; }
  void Swap(int64_t a, int64_t b) {
    WorkMemoryEntry ea, eb;
    if (!list_.GetEntry(Number(a), &ea) || !list_.GetEntry(Number(b), &eb)) return;
    std::swap(ea.stringOffset, eb.stringOffset);
    std::swap(ea.userWord1, eb.userWord1);
    list_.SetEntry(Number(a), &ea);
    list_.SetEntry(Number(b), &eb);
  }
  void OrderPair(int64_t a, int64_t b) {
    if (CompareStrings(Text(a), Text(b)) > 0) Swap(a, b);
  }

 private:
  static uint32_t Number(int64_t n) { return static_cast<uint32_t>(n); }
  const char* Text(int64_t n) const {
    const char* s = list_.GetString(static_cast<int32_t>(n));
    return s ? s : "";
  }
  CWorkMemory& list_;
  std::string pivot_;
};

// ---- Rows of the three places ----

Rows SplitList(const char* buffer) {
  Rows rows;
  const char* start = buffer;
  for (const char* p = buffer;; ++p) {
    if (*p == ';' || *p == '\0') {
      rows.emplace_back(start, p);
      if (*p == '\0') break;
      start = p + 1;
    }
  }
  return rows;
}

void JoinList(const Rows& rows, char* buffer) {
  std::string joined;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i) joined += ';';
    joined += rows[i];
  }
  // The same rows and separators: exactly the old length.
  std::memcpy(buffer, joined.c_str(), joined.size() + 1);
}

// The lines of a result file (the checks and messages of the file forms).
int ReadFileRows(const char* path, Rows* rows, char* message) {
  if (!path) {
    SetMessage(message, kNoWorkMemory);
    return 0;
  }
  uint32_t count = 0;
  if (!CountTextFileLines(path, &count)) {
    SetMessage(message, kFileReadFailed, path);
    return 0;
  }
  if (count == 0) {
    SetMessage(message, kNoFileData, path);
    return 0;
  }
  plat::File file;
  if (!OpenTextFileForReadWrite(&file, path)) {
    SetMessage(message, kOpenFailed, path);
    return 0;
  }
  std::string line;
  while (file.ReadString(line)) rows->push_back(line);
  if (file.Failed()) {
    SetMessage(message, kFileReadFailed, path);
    return 0;
  }
  return 1;
}

// Writes the rows as the file's new content: into a file aside that is
// renamed over the file only when every row is written and the file is
// closed, so that a failed write leaves the caller's file as it was.
int RewriteFile(const char* path, const Rows& rows, char* message) {
  plat::OutputFile file;
  if (!OpenOutputTextFile(&file, path)) {
    SetMessage(message, kCreateFailed, path);
    return 0;
  }
  bool ok = true;
  for (const std::string& row : rows) {
    if (!WriteLineToFile(&file.Stream(), row.c_str())) {
      ok = false;
      break;
    }
  }
  if (!ok || !file.Commit()) {
    file.Discard();
    SetMessage(message, kWriteFailed, path);
    return 0;
  }
  return 1;
}

// The array's rows, or 0 with the array messages.
int CheckArray(const CStringArray* array, char* message) {
  if (!array) {
    SetMessage(message, kNoWorkMemory);
    return 0;
  }
  if (array->empty()) {
    SetMessage(message, kNoArrayData);
    return 0;
  }
  return 1;
}

// The frames of the sort entries: running out of memory fails the sort
// with the memory message and leaves the rows as they were.

// Sorts the rows of a file in place by sort (which reorders a Rows).
template <typename Sort>
int SortFileRows(const char* path, char* message, Sort sort) {
  return CatchAllocationFailure(message, 0, [&] {
    Rows rows;
    if (!ReadFileRows(path, &rows, message) || !sort(&rows)) return 0;
    return RewriteFile(path, rows, message);
  });
}

template <typename Sort>
int SortArrayRows(CStringArray* array, char* message, Sort sort) {
  if (!CheckArray(array, message)) return 0;
  return CatchAllocationFailure(message, 0, [&] {
    Rows rows = *array;
    if (!sort(&rows)) return 0;
    *array = std::move(rows);
    return 1;
  });
}

// ---- Result sort ----

// The rows in ascending order of the field: each row's key in a work list
// that keeps the row's number in caller word 1.
int SortRowsByField(Rows* rows, int32_t field, char* message) {
  CWorkMemory keys;
  if (!CreateWorkList(&keys, rows->size(), kKeyPoolPerRow)) {
    SetMessage(message, kMemoryFailed);
    return 0;
  }
  for (std::size_t i = 0; i < rows->size(); ++i) {
    const int32_t n = keys.AddString(CsvField((*rows)[i], field).c_str());
    WorkMemoryEntry entry;
    if (n == 0 || !keys.GetEntry(static_cast<uint32_t>(n), &entry)) {
      SetMessage(message, kMemoryFailed);
      return 0;
    }
    entry.userWord1 = static_cast<int32_t>(i);
    keys.SetEntry(static_cast<uint32_t>(n), &entry);
  }
  const int32_t count = static_cast<int32_t>(keys.GetCount());
  SortWorkList(&keys, 1, count);
  Rows sorted;
  sorted.reserve(rows->size());
  for (int32_t n = 1; n <= count; ++n) {
    WorkMemoryEntry entry;
    keys.GetEntry(static_cast<uint32_t>(n), &entry);
    sorted.push_back(std::move((*rows)[static_cast<std::size_t>(entry.userWord1)]));
  }
  *rows = std::move(sorted);
  return 1;
}

// ---- Priority sorts ----

struct PriorityRow {
  std::string text;
  int32_t priority = kUnknownPriority;
  bool fullKey = false;
};

// Priority order: the number, then (unless both matched by the full key
// with a known number) the text of field C, or the whole row for C <= 0.
class PriorityOrder {
 public:
  explicit PriorityOrder(int32_t fieldC) : fieldC_(fieldC) {}
  bool operator()(const PriorityRow& a, const PriorityRow& b) const { return Compare(a, b) < 0; }

 private:
  std::string Key(const PriorityRow& row) const {
    return fieldC_ <= 0 ? row.text : CsvField(row.text, fieldC_);
  }
  int Compare(const PriorityRow& a, const PriorityRow& b) const {
    if (a.priority != b.priority) return a.priority < b.priority ? -1 : 1;
    if (a.priority < kUnknownPriority && a.fullKey && b.fullKey) return 0;
    return CompareStrings(Key(a).c_str(), Key(b).c_str());
  }
  const int32_t fieldC_;
};

// Appends a key with its priority (caller word 1).
bool AddTableKey(CWorkMemory* table, const std::string& key, int32_t priority) {
  const int32_t n = table->AddString(key.c_str());
  WorkMemoryEntry entry;
  if (n == 0 || !table->GetEntry(static_cast<uint32_t>(n), &entry)) return false;
  entry.userWord1 = priority;
  return table->SetEntry(static_cast<uint32_t>(n), &entry) == 1;
}

// The lines of a table file; 0 with kMsgFileOpen.
int ReadTableLines(const char* tableFile, Rows* lines, char* message) {
  plat::File file;
  if (!tableFile || !OpenTextFileForRead(&file, tableFile)) {
    SetMessage(message, kOpenFailed, tableFile ? tableFile : "");
    return 0;
  }
  std::string line;
  while (file.ReadString(line)) lines->push_back(line);
  if (file.Failed()) {
    SetMessage(message, kOpenFailed, tableFile);
    return 0;
  }
  return 1;
}

// The priority of a table line (its first field), or false.
bool LinePriority(const std::string& line, int32_t* priority) {
  return ParseIntInRange(CsvField(line, 1).c_str(), priority, INT32_MIN, INT32_MAX) == 1;
}

std::string Trimmed(std::string text) {
  TrimBlanks(text.data());
  text.resize(std::strlen(text.c_str()));
  return text;
}

// Loads the keys that take(line, &key) picks from the table into a work
// list sorted by key. 0 with a message; *empty when no key was taken.
template <typename Take>
int LoadTable(const char* tableFile, CWorkMemory* table, char* message, Take take) {
  Rows lines;
  if (!ReadTableLines(tableFile, &lines, message)) return 0;
  if (!CreateWorkList(table, lines.size(), kTablePoolPerRow)) {
    SetMessage(message, kMemoryFailed);
    return 0;
  }
  for (const std::string& line : lines) {
    int32_t priority = 0;
    std::string key;
    if (!LinePriority(line, &priority) || !take(line, &key)) continue;
    if (!AddTableKey(table, key, priority)) {
      SetMessage(message, kMemoryFailed);
      return 0;
    }
  }
  SortWorkList(table, 1, static_cast<int32_t>(table->GetCount()));
  return 1;
}

// The priority of a key in the loaded table; false when it is not there.
bool LookupPriority(const CWorkMemory& table, const std::string& key, int32_t* priority) {
  const int32_t n =
      FindFirstInWorkList(&table, key.c_str(), 1, static_cast<int32_t>(table.GetCount()));
  WorkMemoryEntry entry;
  if (n == 0 || !table.GetEntry(static_cast<uint32_t>(n), &entry)) return false;
  *priority = entry.userWord1;
  return true;
}

// Sorts the rows by the priorities that rank(row) assigns.
template <typename Rank>
void SortByPriority(Rows* rows, int32_t fieldC, Rank rank) {
  std::vector<PriorityRow> ranked(rows->size());
  for (std::size_t i = 0; i < rows->size(); ++i) {
    ranked[i].text = std::move((*rows)[i]);
    rank(&ranked[i]);
  }
  // Stable: rows that compare equal keep the order they came in.
  std::stable_sort(ranked.begin(), ranked.end(), PriorityOrder(fieldC));
  for (std::size_t i = 0; i < rows->size(); ++i) (*rows)[i] = std::move(ranked[i].text);
}

// The display-priority sort of rows.
int SortRowsByPriority(Rows* rows, int32_t fieldA, int32_t fieldB, int32_t fieldC,
                       const char* tableFile, char* message) {
  CWorkMemory table;
  auto take = [](const std::string& line, std::string* key) {
    const std::size_t comma = line.find(',');
    if (comma == std::string::npos) return false;
    std::string rest = line.substr(comma + 1);
    const int mark = FindSubstring(kCommentMark, rest.c_str());
    if (mark > 0) rest.resize(static_cast<std::size_t>(mark - 1));
    *key = Trimmed(std::move(rest));
    return true;
  };
  if (!LoadTable(tableFile, &table, message, take)) return 0;
  if (table.GetCount() == 0) return 1;
  SortByPriority(rows, fieldC, [&](PriorityRow* row) {
    const std::string a = CsvField(row->text, fieldA);
    const std::string b = CsvField(row->text, fieldB);
    if (LookupPriority(table, a + "," + b + "," + CsvField(row->text, fieldC), &row->priority)) {
      row->fullKey = true;
    } else if (!LookupPriority(table, a + "," + b + ",", &row->priority)) {
      row->priority = kUnknownPriority;
    }
  });
  return 1;
}

// The category-priority sort of rows.
int SortRowsByCategory(Rows* rows, int32_t mode, const char* parent1, const char* parent2,
                       const char* tableFile, char* message) {
  const std::string first = parent1 ? parent1 : "";
  const std::string second = parent2 ? parent2 : "";
  std::string previous;
  auto take = [&](const std::string& line, std::string* key) {
    if (mode == 1) {
      *key = CsvField(line, 2);
      return true;
    }
    if (CsvField(line, 2) != first || (mode == 3 && CsvField(line, 3) != second)) return false;
    *key = Trimmed(CsvField(line, mode == 2 ? 3 : 4));
    if (key->empty() || *key == previous) return false;
    previous = *key;
    return true;
  };
  CWorkMemory table;
  if (!LoadTable(tableFile, &table, message, take)) return 0;
  if (table.GetCount() == 0) return 1;
  SortByPriority(rows, 0, [&](PriorityRow* row) {
    if (!LookupPriority(table, row->text, &row->priority)) row->priority = kUnknownPriority;
  });
  return 1;
}

bool IsCategoryMode(int32_t mode, char* message) {
  if (mode >= 1 && mode <= 3) return true;
  SetMessage(message, kBadMode);
  return false;
}

}  // namespace

// ---- Work lists ----

void SortWorkList(CWorkMemory* list, int32_t first, int32_t last) {
  if (!list || first < 1 || last > static_cast<int32_t>(list->GetCount())) return;
  WorkListOps ops(*list);
  PartitionSort(ops, first, last);
}

int32_t FindInWorkList(const CWorkMemory* list, const char* text, int32_t first, int32_t last) {
  if (!list || !text || *text == '\0' || last < first || list->GetCount() == 0 || first < 1 ||
      last > static_cast<int32_t>(list->GetCount())) {
    return 0;
  }
  auto compare = [&](int32_t n) {
    const char* s = list->GetString(n);
    return CompareStrings(s ? s : "", text);
  };
  for (;;) {
    int c = compare(first);
    if (c > 0) return 0;
    if (c == 0) return first;
    c = compare(last);
    if (c < 0) return 0;
    if (c == 0) return last;
    if (last - first < 2) return 0;
    const int32_t middle = first + (last - first) / 2;
    c = compare(middle);
    if (c == 0) return middle;
    if (c < 0) {
      first = middle + 1;
      last = last - 1;
    } else {
      last = middle - 1;
      first = first + 1;
    }
    if (last < first) return 0;
  }
}

int32_t FindFirstInWorkList(const CWorkMemory* list, const char* text, int32_t first,
                            int32_t last) {
  int32_t n = FindInWorkList(list, text, first, last);
  while (n > first) {
    const char* s = list->GetString(n - 1);
    if (CompareStrings(s ? s : "", text) != 0) break;
    --n;
  }
  return n;
}

// ---- Result sorts ----

int SortCsvList(char* buffer, int32_t field, char* message) {
  if (!buffer) {
    SetMessage(message, kNoWorkMemory);
    return 0;
  }
  return CatchAllocationFailure(message, 0, [&] {
    Rows rows = SplitList(buffer);
    if (!SortRowsByField(&rows, field, message)) return 0;
    JoinList(rows, buffer);
    return 1;
  });
}

int SortCsvArray(CStringArray* array, int32_t field, char* message) {
  return SortArrayRows(array, message,
                       [&](Rows* rows) { return SortRowsByField(rows, field, message); });
}

int SortCsvFile(const char* path, int32_t field, char* message) {
  return SortFileRows(path, message,
                      [&](Rows* rows) { return SortRowsByField(rows, field, message); });
}

// ---- Priority sorts ----

int SortCsvArrayByPriority(CStringArray* array, int32_t fieldA, int32_t fieldB, int32_t fieldC,
                           const char* tableFile, char* message) {
  return SortArrayRows(array, message, [&](Rows* rows) {
    return SortRowsByPriority(rows, fieldA, fieldB, fieldC, tableFile, message);
  });
}

int SortCsvFileByPriority(const char* path, int32_t fieldA, int32_t fieldB, int32_t fieldC,
                          const char* tableFile, char* message) {
  return SortFileRows(path, message, [&](Rows* rows) {
    return SortRowsByPriority(rows, fieldA, fieldB, fieldC, tableFile, message);
  });
}

int SortCategoryArrayByPriority(int32_t mode, CStringArray* array, const char* parent1,
                                const char* parent2, const char* tableFile, char* message) {
  if (!IsCategoryMode(mode, message)) return 0;
  return SortArrayRows(array, message, [&](Rows* rows) {
    return SortRowsByCategory(rows, mode, parent1, parent2, tableFile, message);
  });
}

int SortCategoryFileByPriority(int32_t mode, const char* path, const char* parent1,
                               const char* parent2, const char* tableFile, char* message) {
  if (!IsCategoryMode(mode, message)) return 0;
  return SortFileRows(path, message, [&](Rows* rows) {
    return SortRowsByCategory(rows, mode, parent1, parent2, tableFile, message);
  });
}

int SortCategoryArrayByPriority1(CStringArray* array, const char* tableFile, char* message) {
  return SortCategoryArrayByPriority(1, array, "", "", tableFile, message);
}
int SortCategoryArrayByPriority2(CStringArray* array, const char* parent1, const char* tableFile,
                                 char* message) {
  return SortCategoryArrayByPriority(2, array, parent1, "", tableFile, message);
}
int SortCategoryArrayByPriority3(CStringArray* array, const char* parent1, const char* parent2,
                                 const char* tableFile, char* message) {
  return SortCategoryArrayByPriority(3, array, parent1, parent2, tableFile, message);
}
int SortCategoryFileByPriority1(const char* path, const char* tableFile, char* message) {
  return SortCategoryFileByPriority(1, path, "", "", tableFile, message);
}
int SortCategoryFileByPriority2(const char* path, const char* parent1, const char* tableFile,
                                char* message) {
  return SortCategoryFileByPriority(2, path, parent1, "", tableFile, message);
}
int SortCategoryFileByPriority3(const char* path, const char* parent1, const char* parent2,
                                const char* tableFile, char* message) {
  return SortCategoryFileByPriority(3, path, parent1, parent2, tableFile, message);
}
