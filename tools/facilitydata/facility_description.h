#pragma once
// Reader of the sample facility data set's text description (the files in
// tools/facilitydata/data, explained in tools/facilitydata/README.md):
//
//   facilities.tsv  one row per facility of the table 施設検索, tab-separated,
//                   with a header line of the field names
//   replace.tsv     facility replacement pairs, "search<TAB>replacement"
//   priority.txt    the lines of the display-priority table
//
// Lines beginning with '#' and blank lines are notes in every file (in
// priority.txt they are not written). Texts are converted to CP932.
//
// Functions return 1 on success and 0 on failure with one message (the file,
// the line and what is wrong) in the caller's buffer of kMessageSize bytes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/dictbuild/pair_file_writer.h"

namespace facilitydata {

struct FacilityRow {
  std::string name;       // 名称
  std::string kana;       // 名称よみ
  int32_t latitude = 0;   // 緯度, Tokyo datum, milliseconds of arc
  int32_t longitude = 0;  // 経度
  std::string area;       // 行政名
  int32_t cityCode = 0;   // 行政JISコード
  std::string major;      // 大分類
  std::string middle;     // 中分類
  std::string minor;      // 小分類
  int line = 0;
};

struct FacilityDescription {
  std::vector<FacilityRow> facilities;
  std::vector<dictbuild::TextPair> pairs;
  std::vector<std::string> priorityLines;  // CP932, without line ends
};

// Longest text of a facility field (bytes).
inline constexpr std::size_t kMaxFacilityText = 255;

int ParseFacilityRows(std::string_view utf8, FacilityDescription* out, char* msg);
int ParseReplacementPairs(std::string_view utf8, FacilityDescription* out, char* msg);
int ParsePriorityLines(std::string_view utf8, FacilityDescription* out, char* msg);
// The three files of the folder (CP932 path).
int LoadFacilityDescription(const char* folder, FacilityDescription* out, char* msg);
// The description folder of this source tree, as a CP932 path.
std::string DefaultFacilityDescriptionFolder();

}  // namespace facilitydata
