#include "tool/csv_lookup.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/file_access.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/sjis_text.h"
#include "common/width_kana.h"
#include "common/work_memory.h"
#include "plat/file.h"
#include "tool/csv_sort.h"

namespace {

constexpr const char* kNoWorkMemory = kMsgNoWorkList;
constexpr char kBadKeyField[] = "検索フィールド番号が異常です！";
constexpr char kNotInFile[] = "ファイル[%s]の検索フィールド番号[%ld]から[%s]が検索できません！";
constexpr char kNotInList[] = "検索フィールド番号[%ld]から[%s]が検索できません！";
constexpr const char* kFileReadFailed = kMsgCsvFileRead;
constexpr char kBadLine[] = "ファイルの読み込みに失敗しました！(%s) %ld行目";
constexpr const char* kOpenFailed = kMsgFileOpen;
constexpr const char* kMemoryFailed = kMsgWorkMemory;

// Bytes of string pool per row and per key when a table is loaded (the
// lists grow beyond that).
constexpr uint32_t kRowPool = 128;
constexpr uint32_t kKeyPool = 48;

// The byte ranges of the line's fields, at most maxFields of them.
std::vector<std::string_view> Fields(std::string_view line, std::size_t maxFields = SIZE_MAX) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (fields.size() < maxFields) {
    const std::size_t comma = line.find(',', start);
    if (comma == std::string_view::npos) {
      fields.push_back(line.substr(start));
      break;
    }
    fields.push_back(line.substr(start, comma - start));
    start = comma + 1;
  }
  return fields;
}

// Field n of the line (n from 1); "" when it has none.
std::string_view Field(std::string_view line, int32_t n) {
  if (n < 1) return {};
  std::size_t start = 0;
  for (int32_t i = 1; i < n; ++i) {
    const std::size_t comma = line.find(',', start);
    if (comma == std::string_view::npos) return {};
    start = comma + 1;
  }
  const std::size_t comma = line.find(',', start);
  return line.substr(start,
                     comma == std::string_view::npos ? std::string_view::npos : comma - start);
}

// The non-empty fields among first..last.
std::vector<std::string_view> FieldsInRange(const char* line, int32_t first, int32_t last) {
  std::vector<std::string_view> picked;
  if (!line || first > last) return picked;
  const std::vector<std::string_view> fields = Fields(line);
  for (int32_t n = first < 1 ? 1 : first; n <= last; ++n) {
    if (static_cast<std::size_t>(n) > fields.size()) break;
    if (!fields[static_cast<std::size_t>(n) - 1].empty())
      picked.push_back(fields[static_cast<std::size_t>(n) - 1]);
  }
  return picked;
}

std::string FullWidth(std::string_view text) {
  // A full-width character takes at most two bytes for each byte it comes
  // from.
  std::string out(text);
  out.resize(text.size() * 2 + 1, '\0');
  ToFullWidth(out.data(), out.size());
  out.resize(std::strlen(out.c_str()));
  return out;
}

// The row's answer: its field valueField, or the whole row.
void Answer(std::string_view row, int32_t valueField, std::string* value) {
  if (value) value->assign(valueField >= 1 ? Field(row, valueField) : row);
}

// The lines of a text file in turn, until match(line) says so. 1 when a
// line matched, 0 when none did, -1 on a read error.
template <typename Match>
int ScanLines(plat::File* file, Match match) {
  std::string line;
  while (file->ReadString(line)) {
    if (match(line)) return 1;
  }
  return file->Failed() ? -1 : 0;
}

// A line that a table can hold: no NUL byte, no double-byte character cut
// at its end.
bool IsWholeTextLine(const std::string& line) {
  if (line.find('\0') != std::string::npos) return false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(line[i]))) {
      if (i + 1 >= line.size()) return false;
      ++i;
    }
  }
  return true;
}

}  // namespace

char* RebuildCsvLine(char* line) {
  if (!line) return line;
  const std::vector<std::string_view> fields = Fields(line, kRebuildMaxFields);
  std::size_t end = 0;
  for (std::size_t i = 0; i < fields.size() && !fields[i].empty(); ++i)
    end = static_cast<std::size_t>(fields[i].data() + fields[i].size() - line);
  line[end] = '\0';
  return line;
}

int HasDuplicateCsvFields(const char* line, int32_t first, int32_t last) {
  const std::vector<std::string_view> fields = FieldsInRange(line, first, last);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    for (std::size_t j = i + 1; j < fields.size(); ++j) {
      if (fields[i] == fields[j]) return 1;
    }
  }
  return 0;
}

int32_t CountNonEmptyCsvFields(const char* line, int32_t first, int32_t last) {
  return static_cast<int32_t>(FieldsInRange(line, first, last).size());
}

int32_t MeasureCsvFields(const char* line, int32_t* width) {
  if (width) *width = 0;
  if (!line) return 0;
  const std::vector<std::string_view> fields = Fields(line);
  std::size_t widest = 0;
  for (std::string_view f : fields) widest = f.size() > widest ? f.size() : widest;
  if (width) *width = static_cast<int32_t>(widest);
  return static_cast<int32_t>(fields.size());
}

int LookUpCsvFile(const char* path, int32_t keyField, const char* text, int32_t valueField,
                  std::string* value, bool normalise) {
  if (!path || !text || keyField < 1 || valueField < 1) return 0;
  plat::File file;
  if (!OpenTextFileForRead(&file, path)) return 0;
  const std::string wanted = normalise ? FullWidth(text) : std::string(text);
  return ScanLines(&file,
                   [&](const std::string& line) {
                     const std::string_view key = Field(line, keyField);
                     if (normalise ? FullWidth(key) != wanted : key != wanted) return false;
                     Answer(line, valueField, value);
                     return true;
                   }) == 1
             ? 1
             : 0;
}

int LookUpCsvTableFile(const char* path, int32_t keyField, const char* text, int32_t valueField,
                       std::string* value, char* message) {
  if (keyField < 1) {
    SetMessage(message, kBadKeyField);
    return 0;
  }
  const char* name = path ? path : "";
  const char* wanted = text ? text : "";
  plat::File file;
  if (!path || !OpenTextFileForReadWrite(&file, path)) {
    SetMessage(message, kOpenFailed, name);
    return 0;
  }
  const int found = ScanLines(&file, [&](const std::string& line) {
    if (Field(line, keyField) != wanted) return false;
    Answer(line, valueField, value);
    return true;
  });
  if (found < 0) {
    SetMessage(message, kFileReadFailed, name);
    return 0;
  }
  if (found == 0) {
    SetMessage(message, kNotInFile, name, static_cast<long>(keyField), wanted);
    return 0;
  }
  return 1;
}

int LookUpCsvWorkList(const CWorkMemory* table, const CWorkMemory* keys, int32_t keyField,
                      const char* text, int32_t valueField, std::string* value, char* message) {
  if (!table) {
    SetMessage(message, kNoWorkMemory);
    return 0;
  }
  if (keyField < 1) {
    SetMessage(message, kBadKeyField);
    return 0;
  }
  const char* wanted = text ? text : "";
  int32_t row = 0;
  if (*wanted == '\0') {
    row = 0;
  } else if (keys) {
    const int32_t key =
        FindFirstInWorkList(keys, wanted, 1, static_cast<int32_t>(keys->GetCount()));
    WorkMemoryEntry entry{};
    if (key != 0 && keys->GetEntry(static_cast<uint32_t>(key), &entry)) row = entry.userWord1;
  } else {
    for (int32_t n = 1; n <= static_cast<int32_t>(table->GetCount()); ++n) {
      const char* line = table->GetString(n);
      if (line && Field(line, keyField) == wanted) {
        row = n;
        break;
      }
    }
  }
  const char* line = row != 0 ? table->GetString(row) : nullptr;
  if (!line) {
    SetMessage(message, kNotInList, static_cast<long>(keyField), wanted);
    return 0;
  }
  Answer(line, valueField, value);
  return 1;
}

int LoadCsvTable(const char* path, CWorkMemory* table, int32_t keyField, CWorkMemory* keys,
                 char* message) {
  if (!table) {
    SetMessage(message, kNoWorkMemory);
    return 0;
  }
  plat::File file;
  if (!path || !OpenTextFileForRead(&file, path)) {
    SetMessage(message, kOpenFailed, path ? path : "");
    return 0;
  }
  const bool keyed = keys != nullptr && keyField >= 1;
  if (!table->Create(64, 64 * kRowPool) || (keyed && !keys->Create(64, 64 * kKeyPool))) {
    SetMessage(message, kMemoryFailed);
    return 0;
  }
  std::string line;
  long number = 0;
  for (;;) {
    ++number;
    if (!file.ReadString(line)) break;
    if (!IsWholeTextLine(line)) {
      SetMessage(message, kBadLine, path, number);
      return 0;
    }
    const int32_t row = table->AddString(line.c_str());
    int32_t key = 0;
    if (row != 0 && keyed) {
      key = keys->AddString(std::string(Field(line, keyField)).c_str());
      WorkMemoryEntry entry{};
      if (key == 0 || !keys->GetEntry(static_cast<uint32_t>(key), &entry)) {
        key = 0;
      } else {
        entry.userWord1 = row;
        if (!keys->SetEntry(static_cast<uint32_t>(key), &entry)) key = 0;
      }
    }
    if (row == 0 || (keyed && key == 0)) {
      SetMessage(message, kMemoryFailed);
      return 0;
    }
  }
  if (file.Failed()) {
    SetMessage(message, kBadLine, path, number);
    return 0;
  }
  if (keyed) SortWorkList(keys, 1, static_cast<int32_t>(keys->GetCount()));
  return 1;
}

int CopyWorkList(const CWorkMemory* source, CWorkMemory* target) {
  if (!target) return 0;
  if (!source) {
    target->Free();
    return 0;
  }
  return target->CopyFrom(*source);
}
