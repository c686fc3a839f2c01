#include "gazref/display_priority.h"

#include <cstring>
#include <vector>

#include "common/message.h"
#include "tool/csv_sort.h"

namespace {

constexpr char kPriorityTable[] = "表示優先.tbl";

// The blank-separated words of the text (blanks as the C library's isspace
// knows them; Shift-JIS trail bytes are never among them).
std::vector<std::string> Words(const char* text) {
  std::vector<std::string> words;
  if (!text) return words;
  const auto isBlank = [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
  };
  for (const char* p = text; *p;) {
    while (*p && isBlank(*p)) ++p;
    const char* start = p;
    while (*p && !isBlank(*p)) ++p;
    if (p > start) words.emplace_back(start, p);
  }
  return words;
}

}  // namespace

std::string DisplayPriorityTablePath(const char* dataFolder) {
  std::string folder = dataFolder ? dataFolder : "";
  if (!folder.empty() && folder.back() == ' ') folder.pop_back();
  return folder + "\\" + kPriorityTable;
}

void ReorderFacilityRowsByPriority(CStringArray* rows, int32_t total, const char* dataFolder) {
  if (total == 0) return;
  char scratch[kMessageSize] = "";
  const std::string table = DisplayPriorityTablePath(dataFolder);
  SortCsvArrayByPriority(rows, 8, 9, 10, table.c_str(), scratch);
}

void ReorderCategoryRowsByPriority(CStringArray* rows, int32_t total, const char* categoryText,
                                   const char* dataFolder) {
  if (total == 0) return;
  char scratch[kMessageSize] = "";
  const std::string table = DisplayPriorityTablePath(dataFolder);
  const std::vector<std::string> words = Words(categoryText);
  switch (words.size()) {
    case 0:
      SortCategoryArrayByPriority1(rows, table.c_str(), scratch);
      break;
    case 1:
      SortCategoryArrayByPriority2(rows, words[0].c_str(), table.c_str(), scratch);
      break;
    case 2:
      SortCategoryArrayByPriority3(rows, words[0].c_str(), words[1].c_str(), table.c_str(),
                                   scratch);
      break;
    default:
      break;
  }
}
