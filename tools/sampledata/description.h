#pragma once
// Reader of the sample address data set's text description (the files in
// tools/sampledata/data, explained in tools/sampledata/README.md).
//
// The description is UTF-8 text: one tab-separated file per table or data
// file, each with a header line of its Japanese field names, '#' comment
// lines and blank lines allowed anywhere; plus the user replacement file,
// which is kept line by line as it stands. The reader converts every text to
// CP932, checks each field's form, then checks the files against each other
// (every row's parent exists, codes are unique where they must be, the
// change-code index rows stand in the index's order) and records each row's
// parent. Rows keep the order of the files: that order is the entry order of
// the address index the builder writes.
//
// Functions return 1 on success and 0 on failure with one message (the file,
// the line and what is wrong) in the caller's buffer of kMessageSize bytes.
// Nothing throws.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sampledata {

// TC_Todoufuken.
struct PrefectureRow {
  std::string code;       // 都道府県コード, two digits
  std::string name;       // 都道府県名
  std::string kana;       // かな読み都道府県名
  int32_t latitude = 0;   // 緯度, Tokyo datum, milliseconds of arc
  int32_t longitude = 0;  // 経度
  int line = 0;           // line in the file
};

// TC_Shikutyoson.
struct MunicipalityRow {
  std::string prefectureCode;  // 都道府県コード
  std::string code;            // 行政JISコード, five digits
  std::string county;          // 郡名 (may be empty)
  std::string name;            // 市区町村名
  std::string countyKana;      // かな読み郡名
  std::string kana;            // かな読み市区町村名
  int32_t latitude = 0;
  int32_t longitude = 0;
  std::string status;  // 状態フラグ
  int line = 0;
  int parent = -1;  // index into prefectures
};

// TC_Oaza: an oaza row (representative "1") or an aza/chome row ("0").
struct OazaRow {
  std::string cityCode;        // 行政JISコード
  std::string placeCode;       // 地名コード, 11 characters
  std::string groupCode;       // グループコード
  std::string representative;  // 大字代表点フラグ, "1" or "0"
  std::string oazaName;        // 大字通称名
  std::string oazaKana;        // かな読み大字通称名
  std::string chomeName;       // 字丁目名 (empty on oaza rows and placeholders)
  std::string chomeKana;       // かな読み字丁目名
  int32_t control = 0;         // 制御コード
  std::string status;          // 状態フラグ
  std::string precision;       // 座標精度 (scale text)
  std::string postalCode;      // 郵便番号
  int32_t latitude = 0;
  int32_t longitude = 0;
  int line = 0;
  int municipality = -1;  // index into municipalities
  int parent = -1;        // aza/chome rows: index of their oaza row in oaza; oaza rows: -1
  bool IsOaza() const { return representative == "1"; }
};

// TC_Gaiku.
struct BlockRow {
  std::string placeCode;      // 地名コード of the aza/chome
  std::string code;           // 街区番号コード, up to five characters
  std::string name;           // 街区番号 (empty: the code in full-width digits)
  std::string status;         // 状態フラグ, digits or "A"
  std::string residenceFlag;  // 住居表示フラグ, "1" or "0"
  std::string precision;      // 座標精度
  int32_t latitude = 0;
  int32_t longitude = 0;
  int line = 0;
  int parent = -1;  // index of the aza/chome row in oaza
};

// One record of the change history (.CDB/.CIX).
struct ChangeRow {
  std::string placeCode;  // 地名コード
  std::string blockCode;  // 街区コード, five characters
  std::string lotCode;    // 地番コード, five characters; empty for the block's own record
  std::string blockName;  // 街区名 (empty: made from the number)
  std::string lotName;    // 地番名
  std::string blockSort;  // 街区ソート名 (empty: the name)
  std::string lotSort;    // 地番ソート名
  int32_t latitude = 0;
  int32_t longitude = 0;
  std::string scale;   // 座標精度
  std::string digit;   // 精度桁, one digit or empty
  int32_t status = 0;  // 状態 (class code)
  int line = 0;
  int parent = -1;  // index of the aza/chome row in oaza
};

// One change record of the change-code index (.CDI) with its block.
struct ChangeCodeRow {
  std::string placeCode;   // 地名コード
  std::string blockCode;   // 街区コード, five characters
  std::string blockName;   // 街区名 (empty: made from the code)
  std::string blockName2;  // 街区別名 (empty: the name)
  std::string lotCode;     // 地番コード, five characters
  std::string lotName;     // 地番名
  std::string lotName2;    // 地番別名
  int32_t latitude = 0;
  int32_t longitude = 0;
  std::string scale;   // 座標精度
  int32_t digit = 0;   // 精度桁, 0-3
  int32_t status = 0;  // 状態, 0-7
  int line = 0;
  int parent = -1;  // index of the aza/chome row in oaza
};

// One outline of the reverse-geocoding grid files.
struct AreaRow {
  std::string placeCode;  // 地名コード: the aza/chome row with that code, else the oaza row
  std::string code;       // 住所コード: the code text stored with the area
  std::vector<std::pair<int32_t, int32_t>> outline;  // 輪郭: (緯度, 経度) vertices
  int line = 0;
  int row = -1;  // index into oaza of the row whose names the area carries
};

// A pair of the unification dictionary or of the replacement list.
struct TextPair {
  std::string search;
  std::string replacement;
  int line = 0;
};

struct Description {
  std::vector<PrefectureRow> prefectures;
  std::vector<MunicipalityRow> municipalities;
  std::vector<OazaRow> oaza;
  std::vector<BlockRow> blocks;
  std::vector<ChangeRow> changes;
  std::vector<ChangeCodeRow> changeCodes;
  std::vector<TextPair> unification;              // 文字統一
  std::vector<TextPair> replacements;             // 文字置換, in order
  std::vector<std::string> userReplacementLines;  // ユーザー置換, every line as it stands
  std::vector<AreaRow> areas;                     // outlines of the grid files
};

enum class DescriptionFile {
  Prefectures,
  Municipalities,
  Oaza,
  Blocks,
  Changes,
  ChangeCodes,
  Unification,
  Replacements,
  UserReplacements,
  Areas,
};
inline constexpr int kDescriptionFileCount = 10;

// The file name in the description folder ("prefectures.tsv", ...).
const char* DescriptionFileName(DescriptionFile file);

// Parses the UTF-8 text of one file and appends its rows to out; checks the
// header and the form of every field. The rows of the file are not
// checked against other files here.
int ParseDescriptionText(DescriptionFile file, std::string_view utf8, Description* out, char* msg);

// Checks the files against each other and fills in the parent indexes.
int ValidateDescription(Description* d, char* msg);

// Reads every file of a description folder (a CP932 path), parses and
// validates them. out is replaced.
int LoadDescription(const char* folder, Description* out, char* msg);

// The description folder of this source tree as a CP932 path ("" when it
// cannot be expressed in CP932).
std::string DefaultDescriptionFolder();

// Coordinate range of the description, milliseconds of arc (Japan with a
// margin: latitude 20-46 degrees, longitude 122-154 degrees).
inline constexpr int32_t kMinLatitude = 20 * 3600000;
inline constexpr int32_t kMaxLatitude = 46 * 3600000;
inline constexpr int32_t kMinLongitude = 122 * 3600000;
inline constexpr int32_t kMaxLongitude = 154 * 3600000;

// Scale texts accepted as 座標精度: "10000", "2000", "25000", "50000", "70000", "80000".
int IsScaleText(const char* text);

}  // namespace sampledata
