#include "tools/facilitydata/facility_description.h"

#include <cstdlib>
#include <cstring>

#include "common/file_access.h"
#include "common/message.h"
#include "common/number_parse.h"
#include "plat/cp932.h"
#include "tools/sampledata/generate.h"

namespace facilitydata {
namespace {

constexpr const char* kFacilityFile = "facilities.tsv";
constexpr const char* kPairFile = "replace.tsv";
constexpr const char* kPriorityFile = "priority.txt";

// Field names of facilities.tsv, in their order.
constexpr const char* kColumns[] = {"名称",          "名称よみ", "緯度",   "経度",  "行政名",
                                    "行政JISコード", "大分類",   "中分類", "小分類"};
constexpr std::size_t kColumnCount = sizeof kColumns / sizeof kColumns[0];

// The lines of a UTF-8 text, without their LF or CR LF; a byte-order mark
// at the start is dropped. Line n of the file is element n - 1.
std::vector<std::string_view> Lines(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool IsNote(std::string_view line) { return line.empty() || line[0] == '#'; }

std::vector<std::string> SplitAtTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);  // 0x09 is never a trail byte
    fields.push_back(line.substr(start, tab == std::string::npos ? tab : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

int Fail(char* msg, const char* file, int line, const char* what, const char* field) {
  SetMessage(msg, "%s line %d: %s %s", file, line, field, what);
  return 0;
}

int ParseRow(const std::vector<std::string>& f, int line, FacilityRow* row, char* msg) {
  for (std::size_t i = 0; i < kColumnCount; ++i) {
    if (i == 2 || i == 3 || i == 5) continue;
    if (f[i].empty()) return Fail(msg, kFacilityFile, line, "is empty", kColumns[i]);
    if (f[i].size() > kMaxFacilityText) {
      return Fail(msg, kFacilityFile, line, "is too long", kColumns[i]);
    }
  }
  // Japan lies within 20° to 46° north and 122° to 154° east.
  if (!ParseIntInRange(f[2].c_str(), &row->latitude, 20 * 3600000, 46 * 3600000)) {
    return Fail(msg, kFacilityFile, line, "is no latitude in milliseconds", kColumns[2]);
  }
  if (!ParseIntInRange(f[3].c_str(), &row->longitude, 122 * 3600000, 154 * 3600000)) {
    return Fail(msg, kFacilityFile, line, "is no longitude in milliseconds", kColumns[3]);
  }
  if (f[5].size() != 5 || !ParseIntInRange(f[5].c_str(), &row->cityCode, 1000, 47999)) {
    return Fail(msg, kFacilityFile, line, "is no five-digit municipality code", kColumns[5]);
  }
  row->name = f[0];
  row->kana = f[1];
  row->area = f[4];
  row->major = f[6];
  row->middle = f[7];
  row->minor = f[8];
  row->line = line;
  return 1;
}

}  // namespace

int ParseFacilityRows(std::string_view utf8, FacilityDescription* out, char* msg) {
  const std::vector<std::string_view> lines = Lines(utf8);
  bool haveHeader = false;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const int n = static_cast<int>(k) + 1;
    if (IsNote(lines[k])) continue;
    std::string line;
    if (!plat::cp932::FromUtf8(lines[k], line)) {
      return Fail(msg, kFacilityFile, n, "has no CP932 form", "the line");
    }
    const std::vector<std::string> fields = SplitAtTabs(line);
    if (fields.size() != kColumnCount) {
      SetMessage(msg, "%s line %d: %d fields where %d are expected", kFacilityFile, n,
                 static_cast<int>(fields.size()), static_cast<int>(kColumnCount));
      return 0;
    }
    if (!haveHeader) {
      for (std::size_t i = 0; i < kColumnCount; ++i) {
        if (fields[i] != kColumns[i]) {
          return Fail(msg, kFacilityFile, n, "does not name the fields", "the header line");
        }
      }
      haveHeader = true;
      continue;
    }
    FacilityRow row;
    if (!ParseRow(fields, n, &row, msg)) return 0;
    out->facilities.push_back(std::move(row));
  }
  if (!haveHeader) {
    SetMessage(msg, "%s: no header line", kFacilityFile);
    return 0;
  }
  return 1;
}

int ParseReplacementPairs(std::string_view utf8, FacilityDescription* out, char* msg) {
  std::string error;
  if (!dictbuild::ParsePairList(utf8, &out->pairs, &error)) {
    SetMessage(msg, "%s: %s", kPairFile, error.c_str());
    return 0;
  }
  for (const dictbuild::TextPair& p : out->pairs) {
    if (p.search.empty()) {
      SetMessage(msg, "%s: a pair without its search text", kPairFile);
      return 0;
    }
  }
  return 1;
}

int ParsePriorityLines(std::string_view utf8, FacilityDescription* out, char* msg) {
  const std::vector<std::string_view> lines = Lines(utf8);
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (IsNote(lines[k])) continue;
    std::string line;
    if (!plat::cp932::FromUtf8(lines[k], line)) {
      return Fail(msg, kPriorityFile, static_cast<int>(k) + 1, "has no CP932 form", "the line");
    }
    out->priorityLines.push_back(std::move(line));
  }
  return 1;
}

int LoadFacilityDescription(const char* folder, FacilityDescription* out, char* msg) {
  if (!folder || !out) return 0;
  *out = FacilityDescription();
  const std::string base = sampledata::WithSeparator(folder);
  using Parser = int (*)(std::string_view, FacilityDescription*, char*);
  const struct {
    const char* file;
    Parser parse;
  } files[] = {{kFacilityFile, ParseFacilityRows},
               {kPairFile, ParseReplacementPairs},
               {kPriorityFile, ParsePriorityLines}};
  for (const auto& f : files) {
    const std::string path = base + f.file;
    char* bytes = nullptr;
    uint32_t length = 0;
    if (!LoadWholeFileWithLength(path.c_str(), &bytes, &length, msg)) return 0;
    const int ok = f.parse(std::string_view(bytes, length), out, msg);
    std::free(bytes);
    if (!ok) return 0;
  }
  return 1;
}

std::string DefaultFacilityDescriptionFolder() {
  std::string folder;
  if (!plat::cp932::FromUtf8(KORT_FACILITYDATA_DIR, folder)) return std::string();
  return folder;
}

}  // namespace facilitydata
