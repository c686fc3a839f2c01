#include "tools/sampledata/description.h"

#include <cstdarg>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <tuple>

#include "common/allocation_guard.h"
#include "common/code_parse.h"
#include "common/message.h"
#include "common/number_parse.h"
#include "common/polygon.h"
#include "common/sjis_text.h"
#include "common/width_kana.h"
#include "plat/cp932.h"
#include "plat/file.h"

namespace sampledata {
namespace {

// A description file is read whole; larger files are refused with a
// message that names this limit.
constexpr std::uint64_t kMaxFileSize = 1ull << 30;
// Names that go into the change files' name lists stay below 64 bytes.
constexpr std::size_t kMaxChangeNameBytes = 63;
// Texts of a dictionary pair stay below 256 bytes; user lines below 512.
constexpr std::size_t kMaxPairTextBytes = 255;
constexpr std::size_t kMaxUserLineBytes = 511;

// ---- Messages ----

std::string FormatV(const char* format, va_list args) {
  va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  std::string text;
  if (n > 0) {
    text.assign(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, again);
    text.resize(static_cast<std::size_t>(n));
  }
  va_end(again);
  return text;
}

// "<file> line <n>: <text>" (or "<file>: <text>" for line 0); always 0.
int Report(char* msg, const char* file, int line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
int Report(char* msg, const char* file, int line, const char* format, ...) {
  if (!msg) return 0;
  va_list args;
  va_start(args, format);
  const std::string text = FormatV(format, args);
  va_end(args);
  if (line > 0) {
    SetMessage(msg, "%s line %d: %s", file, line, text.c_str());
  } else {
    SetMessage(msg, "%s: %s", file, text.c_str());
  }
  return 0;
}

// ---- Forms of texts (CP932) ----

bool IsDigits(const std::string& s) {
  if (s.empty()) return false;
  for (unsigned char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

bool IsDigitsOfLength(const std::string& s, std::size_t n) { return s.size() == n && IsDigits(s); }

bool IsCapital(unsigned char c) { return c >= 'A' && c <= 'Z'; }

bool IsCode3(const std::string& s) {
  uint16_t v = 0;
  return ParseCode3(s.c_str(), &v) == 1;
}

bool IsCode5(const std::string& s) {
  uint32_t v = 0;
  return ParseCode5(s.c_str(), &v) == 1;
}

bool IsLetterCode(const std::string& s) {
  return !s.empty() && IsCapital(static_cast<unsigned char>(s[0]));
}

// Five digits with a value in 01000-47999: the municipality part of a code.
bool IsCityCode(const std::string& s) {
  if (!IsDigitsOfLength(s, 5)) return false;
  int32_t v = 0;
  return ParseIntInRange(s.c_str(), &v, 1000, 47999) == 1;
}

// 11 characters: municipality (5), oaza part (3) and aza part (3); each part
// three digits or a capital letter and two digits.
bool IsPlaceCode(const std::string& s) {
  return s.size() == 11 && IsCityCode(s.substr(0, 5)) && IsCode3(s.substr(5, 3)) &&
         IsCode3(s.substr(8, 3));
}

// 街区番号コード: one to five digits, or a capital letter and four digits.
bool IsBlockCode(const std::string& s) {
  if (s.size() >= 1 && s.size() <= 5 && IsDigits(s)) return true;
  return s.size() == 5 && IsLetterCode(s) && IsCode5(s);
}

// Walks the text character by character; false for a lead byte without its
// second byte or a control character.
bool IsWellFormed(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (IsLeadByte(c)) {
      if (i + 1 >= s.size() || s[i + 1] == '\0') return false;
      i += 2;
    } else {
      if (c < 0x20 || c == 0x7F) return false;
      i += 1;
    }
  }
  return true;
}

// Every character is a two-byte character (names are full width).
bool IsDoubleByteText(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    if (!IsLeadByte(static_cast<unsigned char>(s[i])) || i + 1 >= s.size()) return false;
    i += 2;
  }
  return true;
}

uint16_t CodeAt(const std::string& s, std::size_t i) {
  return static_cast<uint16_t>((static_cast<unsigned char>(s[i]) << 8) |
                               static_cast<unsigned char>(s[i + 1]));
}

// A reading: hiragana and the long-vowel mark only.
bool IsReading(const std::string& s) {
  if (s.empty() || !IsDoubleByteText(s)) return false;
  for (std::size_t i = 0; i < s.size(); i += 2) {
    const uint16_t code = CodeAt(s, i);
    if (!IsHiraganaCode(code) && code != 0x815B) return false;
  }
  return true;
}

// Exactly one character (one or two bytes).
bool IsOneCharacter(const std::string& s) {
  if (s.size() == 1) return !IsLeadByte(static_cast<unsigned char>(s[0]));
  return s.size() == 2 && IsLeadByte(static_cast<unsigned char>(s[0]));
}

bool Contains(const std::string& text, const char* pattern) {
  return FindSubstring(pattern, text.c_str()) > 0;
}

// Decimal integer: an optional '-' and one to ten digits, within the bounds.
bool ParseDecimal(const std::string& s, int32_t lower, int32_t upper, int32_t* out) {
  const std::size_t start = (!s.empty() && s[0] == '-') ? 1 : 0;
  const std::string digits = s.substr(start);
  if (digits.size() > 10 || !IsDigits(digits)) return false;
  return ParseIntInRange(s.c_str(), out, lower, upper) == 1;
}

// ---- Table files ----

struct FileLayout {
  const char* file;
  std::vector<const char*> columns;
};

const FileLayout& LayoutOf(DescriptionFile file) {
  static const FileLayout kLayouts[kDescriptionFileCount] = {
      {"prefectures.tsv", {"都道府県コード", "都道府県名", "かな読み都道府県名", "緯度", "経度"}},
      {"municipalities.tsv",
       {"都道府県コード", "行政JISコード", "郡名", "市区町村名", "かな読み郡名",
        "かな読み市区町村名", "緯度", "経度", "状態フラグ"}},
      {"oaza.tsv",
       {"行政JISコード", "地名コード", "グループコード", "大字代表点フラグ", "大字通称名",
        "かな読み大字通称名", "字丁目名", "かな読み字丁目名", "制御コード", "状態フラグ",
        "座標精度", "郵便番号", "緯度", "経度"}},
      {"blocks.tsv",
       {"地名コード", "街区番号コード", "街区番号", "状態フラグ", "住居表示フラグ", "座標精度",
        "緯度", "経度"}},
      {"changes.tsv",
       {"地名コード", "街区コード", "地番コード", "街区名", "地番名", "街区ソート名",
        "地番ソート名", "緯度", "経度", "座標精度", "精度桁", "状態"}},
      {"change_codes.tsv",
       {"地名コード", "街区コード", "街区名", "街区別名", "地番コード", "地番名", "地番別名",
        "緯度", "経度", "座標精度", "精度桁", "状態"}},
      {"unify.tsv", {"検索文字", "置換文字"}},
      {"replace.tsv", {"検索文字列", "置換文字列"}},
      {"user_replace.txt", {}},
      {"areas.tsv", {"地名コード", "住所コード", "輪郭"}},
  };
  return kLayouts[static_cast<int>(file)];
}

struct Row {
  int line = 0;
  std::vector<std::string> fields;  // CP932
};

// One line of the text at a time, LF or CR LF ended; a final line without
// LF counts, the empty rest after the last LF does not.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") text_.remove_prefix(3);
  }
  bool Next(std::string_view* line) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    std::string_view l = text_.substr(pos_, end - pos_);
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    pos_ = end + 1;
    ++number_;
    *line = l;
    return true;
  }
  int number() const { return number_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  int number_ = 0;
};

bool ToCp932(std::string_view utf8, std::string* out) {
  if (utf8.empty()) {
    out->clear();
    return true;
  }
  return plat::cp932::FromUtf8(utf8, *out);
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);  // 0x09 is never a trail byte
    if (tab == std::string::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

// Reads the header and the rows of a table file, checks the header against
// the field names and the number and form of every field.
int ReadRows(std::string_view utf8, const FileLayout& layout, std::vector<Row>* rows, char* msg) {
  LineReader reader(utf8);
  std::string_view raw;
  bool haveHeader = false;
  while (reader.Next(&raw)) {
    const int n = reader.number();
    if (raw.empty() || raw[0] == '#') continue;
    std::string line;
    if (!ToCp932(raw, &line)) return Report(msg, layout.file, n, "text without a CP932 form");
    std::vector<std::string> fields = SplitTabs(line);
    if (!haveHeader) {
      bool same = fields.size() == layout.columns.size();
      for (std::size_t i = 0; same && i < fields.size(); ++i) same = fields[i] == layout.columns[i];
      if (!same) return Report(msg, layout.file, n, "the header line does not name the fields");
      haveHeader = true;
      continue;
    }
    if (fields.size() != layout.columns.size()) {
      return Report(msg, layout.file, n, "%d fields where %d are expected",
                    static_cast<int>(fields.size()), static_cast<int>(layout.columns.size()));
    }
    for (std::size_t i = 0; i < fields.size(); ++i) {
      const std::string& f = fields[i];
      if (!IsWellFormed(f)) {
        return Report(msg, layout.file, n, "%s holds a control character", layout.columns[i]);
      }
      if (!f.empty() && (f.front() == ' ' || f.back() == ' ')) {
        return Report(msg, layout.file, n, "%s begins or ends with a blank", layout.columns[i]);
      }
    }
    rows->push_back(Row{n, std::move(fields)});
  }
  if (!haveHeader) return Report(msg, layout.file, 0, "no header line");
  return 1;
}

// Checks of single fields, reporting with the file, line and field name.
class FieldChecker {
 public:
  FieldChecker(const FileLayout& layout, const Row& row, char* msg)
      : layout_(layout), row_(row), msg_(msg) {}

  const std::string& operator[](int i) const { return row_.fields[static_cast<std::size_t>(i)]; }
  int Fail(int i, const char* what) const {
    return Report(msg_, layout_.file, row_.line, "%s \"%s\" %s", layout_.columns[i],
                  (*this)[i].c_str(), what);
  }
  int Expect(bool ok, int i, const char* what) const { return ok ? 1 : Fail(i, what); }

  int Name(int i, bool required) const {
    if ((*this)[i].empty()) return required ? Fail(i, "is empty") : 1;
    return Expect(IsDoubleByteText((*this)[i]), i, "is not a full-width name");
  }
  // A reading goes with its name: empty exactly when the name is empty.
  int Reading(int i, int nameField) const {
    if ((*this)[nameField].empty())
      return Expect((*this)[i].empty(), i, "is a reading without a name");
    return Expect(IsReading((*this)[i]), i, "is not a reading in hiragana");
  }
  int Coordinate(int i, int32_t lower, int32_t upper, int32_t* out) const {
    return Expect(ParseDecimal((*this)[i], lower, upper, out), i,
                  "is not a coordinate in milliseconds of arc within Japan");
  }
  int Latitude(int i, int32_t* out) const { return Coordinate(i, kMinLatitude, kMaxLatitude, out); }
  int Longitude(int i, int32_t* out) const {
    return Coordinate(i, kMinLongitude, kMaxLongitude, out);
  }
  int Status(int i) const { return Expect(IsDigits((*this)[i]), i, "is not a status number"); }
  int Flag(int i) const {
    return Expect((*this)[i] == "0" || (*this)[i] == "1", i, "is neither 0 nor 1");
  }
  int Scale(int i) const {
    return Expect(IsScaleText((*this)[i].c_str()) == 1, i, "is no scale text");
  }
  int PlaceCode(int i) const {
    return Expect(IsPlaceCode((*this)[i]), i, "is not an 11-character place code");
  }
  int Code5(int i) const {
    return Expect(IsCode5((*this)[i]), i,
                  "is not a five-character code (digits or a letter and four digits)");
  }
  // A name of the change files: empty, or full width and below 64 bytes.
  int ChangeName(int i) const {
    if (!Name(i, false)) return 0;
    return Expect((*this)[i].size() <= kMaxChangeNameBytes, i, "is 64 bytes or longer");
  }
  int Int(int i, int32_t lower, int32_t upper, int32_t* out) const {
    return Expect(ParseDecimal((*this)[i], lower, upper, out), i, "is out of range");
  }

 private:
  const FileLayout& layout_;
  const Row& row_;
  char* msg_;
};

int ParsePrefectures(const FileLayout& layout, const std::vector<Row>& rows, Description* out,
                     char* msg) {
  for (const Row& row : rows) {
    FieldChecker f(layout, row, msg);
    PrefectureRow r;
    int32_t number = 0;
    if (!f.Expect(IsDigitsOfLength(f[0], 2) && ParseDecimal(f[0], 1, 47, &number), 0,
                  "is not a prefecture code 01-47") ||
        !f.Name(1, true) || !f.Reading(2, 1) || !f.Latitude(3, &r.latitude) ||
        !f.Longitude(4, &r.longitude)) {
      return 0;
    }
    r.code = f[0];
    r.name = f[1];
    r.kana = f[2];
    r.line = row.line;
    out->prefectures.push_back(std::move(r));
  }
  return 1;
}

int ParseMunicipalities(const FileLayout& layout, const std::vector<Row>& rows, Description* out,
                        char* msg) {
  for (const Row& row : rows) {
    FieldChecker f(layout, row, msg);
    MunicipalityRow r;
    if (!f.Expect(IsDigitsOfLength(f[0], 2), 0, "is not a prefecture code") ||
        !f.Expect(IsCityCode(f[1]) && f[1].compare(0, 2, f[0]) == 0, 1,
                  "is not a municipality code of the prefecture") ||
        !f.Name(2, false) || !f.Name(3, true) || !f.Reading(4, 2) || !f.Reading(5, 3) ||
        !f.Latitude(6, &r.latitude) || !f.Longitude(7, &r.longitude) || !f.Status(8)) {
      return 0;
    }
    r.prefectureCode = f[0];
    r.code = f[1];
    r.county = f[2];
    r.name = f[3];
    r.countyKana = f[4];
    r.kana = f[5];
    r.status = f[8];
    r.line = row.line;
    out->municipalities.push_back(std::move(r));
  }
  return 1;
}

int ParseOaza(const FileLayout& layout, const std::vector<Row>& rows, Description* out, char* msg) {
  for (const Row& row : rows) {
    FieldChecker f(layout, row, msg);
    OazaRow r;
    const bool isOaza = f[3] == "1";
    const bool groupOk = IsDigitsOfLength(f[2], 7) || (IsDigitsOfLength(f[2], 6) && f[2][0] == '8');
    if (!f.Expect(IsCityCode(f[0]), 0, "is not a municipality code") ||
        !f.Expect(IsPlaceCode(f[1]) && f[1].compare(0, 5, f[0]) == 0, 1,
                  "is not a place code of the municipality") ||
        !f.Expect(groupOk, 2, "is neither seven digits nor six digits beginning with 8") ||
        !f.Flag(3) || !f.Name(4, true) || !f.Reading(5, 4) || !f.Name(6, false) ||
        !f.Reading(7, 6) || !f.Expect(!isOaza || f[6].empty(), 6, "is set on an oaza row") ||
        !f.Int(8, 0, 1, &r.control) || !f.Status(9) || !f.Scale(10) ||
        !f.Expect(
            isOaza ? (f[11].empty() || IsDigitsOfLength(f[11], 7)) : IsDigitsOfLength(f[11], 7), 11,
            "is not a seven-digit postal code") ||
        !f.Latitude(12, &r.latitude) || !f.Longitude(13, &r.longitude)) {
      return 0;
    }
    if (Contains(f[4], "大字なし") != Contains(f[5], "おおあざなし")) {
      return f.Fail(5, "does not mark the no-oaza placeholder as its name does");
    }
    r.cityCode = f[0];
    r.placeCode = f[1];
    r.groupCode = f[2];
    r.representative = f[3];
    r.oazaName = f[4];
    r.oazaKana = f[5];
    r.chomeName = f[6];
    r.chomeKana = f[7];
    r.status = f[9];
    r.precision = f[10];
    r.postalCode = f[11];
    r.line = row.line;
    out->oaza.push_back(std::move(r));
  }
  return 1;
}

int ParseBlocks(const FileLayout& layout, const std::vector<Row>& rows, Description* out,
                char* msg) {
  for (const Row& row : rows) {
    FieldChecker f(layout, row, msg);
    BlockRow r;
    if (!f.PlaceCode(0) ||
        !f.Expect(IsBlockCode(f[1]), 1,
                  "is not a block code (1-5 digits or a letter and four digits)") ||
        !f.Name(2, false) ||
        !f.Expect(!f[2].empty() || IsDigits(f[1]), 2, "is empty while the code is no number") ||
        !f.Expect(f[3] == "A" || IsDigits(f[3]), 3, "is neither a status number nor A") ||
        !f.Flag(4) || !f.Scale(5) || !f.Latitude(6, &r.latitude) || !f.Longitude(7, &r.longitude)) {
      return 0;
    }
    r.placeCode = f[0];
    r.code = f[1];
    r.name = f[2];
    r.status = f[3];
    r.residenceFlag = f[4];
    r.precision = f[5];
    r.line = row.line;
    out->blocks.push_back(std::move(r));
  }
  return 1;
}

int ParseChanges(const FileLayout& layout, const std::vector<Row>& rows, Description* out,
                 char* msg) {
  for (const Row& row : rows) {
    FieldChecker f(layout, row, msg);
    ChangeRow r;
    const bool hasLot = !f[2].empty();
    if (!f.PlaceCode(0) || !f.Code5(1) || (hasLot && !f.Code5(2)) || !f.ChangeName(3) ||
        !f.ChangeName(4) || !f.ChangeName(5) || !f.ChangeName(6) ||
        !f.Expect(!IsLetterCode(f[1]) || !f[3].empty(), 3, "is empty for a letter-coded block") ||
        !f.Expect(!IsLetterCode(f[2]) || !f[4].empty(), 4, "is empty for a letter-coded lot") ||
        !f.Expect(hasLot || (f[4].empty() && f[6].empty()), 4, "is set on a block's own record") ||
        !f.Latitude(7, &r.latitude) || !f.Longitude(8, &r.longitude) || !f.Scale(9) ||
        !f.Expect(f[10].empty() || IsDigitsOfLength(f[10], 1), 10, "is not one digit") ||
        !f.Int(11, 0, 255, &r.status)) {
      return 0;
    }
    r.placeCode = f[0];
    r.blockCode = f[1];
    r.lotCode = f[2];
    r.blockName = f[3];
    r.lotName = f[4];
    r.blockSort = f[5];
    r.lotSort = f[6];
    r.scale = f[9];
    r.digit = f[10];
    r.line = row.line;
    out->changes.push_back(std::move(r));
  }
  return 1;
}

int ParseChangeCodes(const FileLayout& layout, const std::vector<Row>& rows, Description* out,
                     char* msg) {
  for (const Row& row : rows) {
    FieldChecker f(layout, row, msg);
    ChangeCodeRow r;
    if (!f.PlaceCode(0) || !f.Code5(1) || !f.ChangeName(2) || !f.ChangeName(3) || !f.Code5(4) ||
        !f.ChangeName(5) || !f.ChangeName(6) ||
        !f.Expect(!IsLetterCode(f[1]) || !f[2].empty(), 2, "is empty for a letter-coded block") ||
        !f.Expect(!f[2].empty() || f[3].empty(), 3, "is set without a block name") ||
        !f.Expect(!IsLetterCode(f[4]) || !f[5].empty(), 5, "is empty for a letter-coded lot") ||
        !f.Expect(!f[5].empty() || f[6].empty(), 6, "is set without a lot name") ||
        !f.Latitude(7, &r.latitude) || !f.Longitude(8, &r.longitude) || !f.Scale(9) ||
        !f.Int(10, 0, 3, &r.digit) || !f.Int(11, 0, 7, &r.status)) {
      return 0;
    }
    r.placeCode = f[0];
    r.blockCode = f[1];
    r.blockName = f[2];
    r.blockName2 = f[3];
    r.lotCode = f[4];
    r.lotName = f[5];
    r.lotName2 = f[6];
    r.scale = f[9];
    r.line = row.line;
    out->changeCodes.push_back(std::move(r));
  }
  return 1;
}

int ParseAreas(const FileLayout& layout, const std::vector<Row>& rows, Description* out,
               char* msg) {
  for (const Row& row : rows) {
    FieldChecker f(layout, row, msg);
    AreaRow r;
    if (!f.PlaceCode(0) || !f.Expect(!f[1].empty() && f[1].size() <= f[0].size() &&
                                         f[0].compare(0, f[1].size(), f[1]) == 0,
                                     1, "is not the 地名コード or a prefix of it")) {
      return 0;
    }
    std::size_t start = 0;
    const std::string& outline = f[2];
    while (start < outline.size()) {
      std::size_t end = outline.find(' ', start);
      if (end == std::string::npos) end = outline.size();
      const std::string vertex = outline.substr(start, end - start);
      const std::size_t comma = vertex.find(',');
      int32_t latitude = 0, longitude = 0;
      if (comma == std::string::npos ||
          !ParseDecimal(vertex.substr(0, comma), kMinLatitude, kMaxLatitude, &latitude) ||
          !ParseDecimal(vertex.substr(comma + 1), kMinLongitude, kMaxLongitude, &longitude)) {
        return f.Fail(2,
                      "holds a vertex that is not 緯度,経度 in milliseconds of arc within Japan");
      }
      r.outline.emplace_back(latitude, longitude);
      start = end + 1;
    }
    if (!f.Expect(r.outline.size() >= 3, 2, "has fewer than 3 vertices")) return 0;
    r.placeCode = f[0];
    r.code = f[1];
    r.line = row.line;
    out->areas.push_back(std::move(r));
  }
  return 1;
}

int ParsePairs(const FileLayout& layout, const std::vector<Row>& rows, bool oneCharacter,
               std::vector<TextPair>* out, char* msg) {
  for (const Row& row : rows) {
    FieldChecker f(layout, row, msg);
    if (oneCharacter) {
      if (!f.Expect(IsOneCharacter(f[0]), 0, "is not one character") ||
          !f.Expect(!f[1].empty(), 1, "is empty")) {
        return 0;
      }
    } else if (!f.Expect(!f[0].empty(), 0, "is empty")) {
      return 0;
    }
    if (!f.Expect(f[0].size() <= kMaxPairTextBytes, 0, "is 256 bytes or longer") ||
        !f.Expect(f[1].size() <= kMaxPairTextBytes, 1, "is 256 bytes or longer")) {
      return 0;
    }
    out->push_back(TextPair{f[0], f[1], row.line});
  }
  return 1;
}

// The user replacement file is kept line by line; a line that is neither
// empty nor a ';' comment must hold a pair "search,replacement".
int ParseUserLines(std::string_view utf8, Description* out, char* msg) {
  const char* file = LayoutOf(DescriptionFile::UserReplacements).file;
  LineReader reader(utf8);
  std::string_view raw;
  while (reader.Next(&raw)) {
    const int n = reader.number();
    std::string line;
    if (!ToCp932(raw, &line)) return Report(msg, file, n, "text without a CP932 form");
    if (!IsWellFormed(line)) return Report(msg, file, n, "the line holds a control character");
    if (line.size() > kMaxUserLineBytes)
      return Report(msg, file, n, "the line is 512 bytes or longer");
    const std::size_t first = line.find_first_not_of(' ');
    if (first != std::string::npos && line[first] != ';' && line.find(',') == std::string::npos) {
      return Report(msg, file, n, "the line holds no \",\" between search and replacement");
    }
    out->userReplacementLines.push_back(std::move(line));
  }
  return 1;
}

// ---- Checks across files ----

int RowReport(char* msg, DescriptionFile file, int line, const std::string& what) {
  return Report(msg, LayoutOf(file).file, line, "%s", what.c_str());
}

// Rows with the same key stand together: a key that comes back after
// another key is refused.
class RunChecker {
 public:
  bool Enter(const std::string& key) {
    if (!started_ || key != current_) {
      if (seen_.count(key) != 0) return false;
      seen_.insert(key);
      current_ = key;
      started_ = true;
    }
    return true;
  }

 private:
  bool started_ = false;
  std::string current_;
  std::set<std::string> seen_;
};

int ValidatePrefectures(Description* d, std::map<std::string, int>* index, char* msg) {
  for (std::size_t i = 0; i < d->prefectures.size(); ++i) {
    const PrefectureRow& r = d->prefectures[i];
    if (!index->emplace(r.code, static_cast<int>(i)).second) {
      return RowReport(msg, DescriptionFile::Prefectures, r.line,
                       "都道府県コード " + r.code + " twice");
    }
  }
  return 1;
}

int ValidateMunicipalities(Description* d, const std::map<std::string, int>& prefectures,
                           std::map<std::string, int>* index, char* msg) {
  RunChecker runs;
  for (std::size_t i = 0; i < d->municipalities.size(); ++i) {
    MunicipalityRow& r = d->municipalities[i];
    const auto p = prefectures.find(r.prefectureCode);
    if (p == prefectures.end()) {
      return RowReport(msg, DescriptionFile::Municipalities, r.line,
                       "no prefecture " + r.prefectureCode);
    }
    r.parent = p->second;
    if (!runs.Enter(r.prefectureCode)) {
      return RowReport(msg, DescriptionFile::Municipalities, r.line,
                       "the rows of prefecture " + r.prefectureCode + " do not stand together");
    }
    if (!index->emplace(r.code, static_cast<int>(i)).second) {
      return RowReport(msg, DescriptionFile::Municipalities, r.line,
                       "行政JISコード " + r.code + " twice");
    }
  }
  return 1;
}

int ValidateOaza(Description* d, const std::map<std::string, int>& municipalities,
                 std::map<std::string, int>* chomeIndex, char* msg) {
  constexpr DescriptionFile kFile = DescriptionFile::Oaza;
  std::set<std::string> oazaCodes;
  RunChecker runs;
  int lastOaza = -1;
  for (std::size_t i = 0; i < d->oaza.size(); ++i) {
    OazaRow& r = d->oaza[i];
    const auto m = municipalities.find(r.cityCode);
    if (m == municipalities.end()) {
      return RowReport(msg, kFile, r.line, "no municipality " + r.cityCode);
    }
    r.municipality = m->second;
    if (!runs.Enter(r.cityCode)) {
      return RowReport(msg, kFile, r.line,
                       "the rows of municipality " + r.cityCode + " do not stand together");
    }
    if (r.IsOaza()) {
      if (!oazaCodes.insert(r.placeCode).second) {
        return RowReport(msg, kFile, r.line, "oaza 地名コード " + r.placeCode + " twice");
      }
      lastOaza = static_cast<int>(i);
      continue;
    }
    if (lastOaza < 0 || d->oaza[static_cast<std::size_t>(lastOaza)].cityCode != r.cityCode) {
      return RowReport(msg, kFile, r.line, "an aza/chome row without its oaza row above it");
    }
    const OazaRow& oaza = d->oaza[static_cast<std::size_t>(lastOaza)];
    r.parent = lastOaza;
    if (r.placeCode.compare(0, 8, oaza.placeCode, 0, 8) != 0) {
      return RowReport(msg, kFile, r.line,
                       "地名コード " + r.placeCode + " is not under oaza " + oaza.placeCode);
    }
    if (r.chomeName.empty() && r.placeCode != oaza.placeCode) {
      return RowReport(msg, kFile, r.line,
                       "the placeholder aza/chome does not share its oaza's 地名コード");
    }
    if (r.groupCode != oaza.groupCode || r.oazaName != oaza.oazaName ||
        r.oazaKana != oaza.oazaKana) {
      return RowReport(msg, kFile, r.line,
                       "グループコード, 大字通称名 or its reading differ from the oaza row's");
    }
    if (!chomeIndex->emplace(r.placeCode, static_cast<int>(i)).second) {
      return RowReport(msg, kFile, r.line, "aza/chome 地名コード " + r.placeCode + " twice");
    }
  }
  return 1;
}

int ValidateBlocks(Description* d, const std::map<std::string, int>& chomes, char* msg) {
  constexpr DescriptionFile kFile = DescriptionFile::Blocks;
  RunChecker chomeRuns;
  std::map<std::string, RunChecker> codeRuns;
  for (BlockRow& r : d->blocks) {
    const auto c = chomes.find(r.placeCode);
    if (c == chomes.end()) return RowReport(msg, kFile, r.line, "no aza/chome " + r.placeCode);
    r.parent = c->second;
    if (!chomeRuns.Enter(r.placeCode)) {
      return RowReport(msg, kFile, r.line,
                       "the blocks of " + r.placeCode + " do not stand together");
    }
    if (!codeRuns[r.placeCode].Enter(r.code)) {
      return RowReport(msg, kFile, r.line,
                       "the rows of block " + r.code + " do not stand together");
    }
  }
  return 1;
}

int ValidateChanges(Description* d, const std::map<std::string, int>& chomes, char* msg) {
  constexpr DescriptionFile kFile = DescriptionFile::Changes;
  std::set<std::tuple<std::string, std::string, std::string>> keys;
  std::map<std::pair<std::string, std::string>, std::pair<std::string, std::string>> blockNames;
  for (ChangeRow& r : d->changes) {
    const auto c = chomes.find(r.placeCode);
    if (c == chomes.end()) return RowReport(msg, kFile, r.line, "no aza/chome " + r.placeCode);
    r.parent = c->second;
    if (!keys.emplace(r.placeCode, r.blockCode, r.lotCode).second) {
      return RowReport(msg, kFile, r.line,
                       "the record " + r.blockCode + " " + r.lotCode + " twice");
    }
    const auto names = std::make_pair(r.blockName, r.blockSort);
    const auto known = blockNames.emplace(std::make_pair(r.placeCode, r.blockCode), names);
    if (known.first->second != names) {
      return RowReport(msg, kFile, r.line,
                       "街区名 or 街区ソート名 differ within block " + r.blockCode);
    }
  }
  return 1;
}

int ValidateChangeCodes(Description* d, const std::map<std::string, int>& chomes, char* msg) {
  constexpr DescriptionFile kFile = DescriptionFile::ChangeCodes;
  const ChangeCodeRow* previous = nullptr;
  for (ChangeCodeRow& r : d->changeCodes) {
    const auto c = chomes.find(r.placeCode);
    if (c == chomes.end()) return RowReport(msg, kFile, r.line, "no aza/chome " + r.placeCode);
    r.parent = c->second;
    if (previous) {
      const auto before = std::tie(previous->placeCode, previous->blockCode, previous->lotCode);
      const auto now = std::tie(r.placeCode, r.blockCode, r.lotCode);
      if (!(before < now)) {
        return RowReport(msg, kFile, r.line,
                         "the row does not come after the one before it in code order");
      }
      if (previous->placeCode == r.placeCode && previous->blockCode == r.blockCode &&
          (previous->blockName != r.blockName || previous->blockName2 != r.blockName2)) {
        return RowReport(msg, kFile, r.line,
                         "街区名 or 街区別名 differ within block " + r.blockCode);
      }
    }
    previous = &r;
  }
  return 1;
}

// The outline as a closed ring in seconds of arc (the grid files' unit, in
// which the geometry's fixed tolerance of 1e-8 holds), x = 経度, y = 緯度.
void FillRing(const AreaRow& a, CPolygon* ring) {
  ring->Create(static_cast<uint32_t>(a.outline.size()) + 1, 8);
  for (const auto& v : a.outline) ring->AddPoint(0, v.second / 1000.0, v.first / 1000.0);
  ring->AddPoint(0, a.outline.front().second / 1000.0, a.outline.front().first / 1000.0);
}

// 1 when an edge of one ring meets an edge of the other.
bool RingsMeet(const CPolygon& a, const CPolygon& b) {
  for (uint32_t i = 2; i <= a.GetCount(); ++i) {
    double ax = 0, ay = 0, bx = 0, by = 0;
    a.GetVertex(i - 1, nullptr, &ax, &ay);
    a.GetVertex(i, nullptr, &bx, &by);
    if (b.CrossesSegment(ax, ay, bx, by)) return true;
  }
  return false;
}

int ValidateAreas(Description* d, const std::map<std::string, int>& chomes, char* msg) {
  constexpr DescriptionFile kFile = DescriptionFile::Areas;
  std::map<std::string, int> oazaRows;
  for (std::size_t i = 0; i < d->oaza.size(); ++i)
    if (d->oaza[i].IsOaza()) oazaRows.emplace(d->oaza[i].placeCode, static_cast<int>(i));
  std::vector<std::unique_ptr<CPolygon>> rings;
  for (AreaRow& a : d->areas) {
    const auto chome = chomes.find(a.placeCode);
    const auto oaza = oazaRows.find(a.placeCode);
    if (chome != chomes.end()) {
      a.row = chome->second;
    } else if (oaza != oazaRows.end()) {
      a.row = oaza->second;
    } else {
      return RowReport(msg, kFile, a.line, "no oaza.tsv row " + a.placeCode);
    }
    auto ring = std::make_unique<CPolygon>();
    FillRing(a, ring.get());
    const OazaRow& r = d->oaza[static_cast<std::size_t>(a.row)];
    if (!ring->IsSimple()) return RowReport(msg, kFile, a.line, "the outline crosses itself");
    const double x = r.longitude / 1000.0, y = r.latitude / 1000.0;
    if (!ring->ContainsPoint(x, y) || ring->IsPointOnBoundary(x, y, 0.0005)) {
      return RowReport(msg, kFile, a.line, "the outline does not hold the point of its row");
    }
    rings.push_back(std::move(ring));
  }
  // Areas of one prefecture either do not meet or nest.
  for (std::size_t i = 0; i < d->areas.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (d->areas[i].placeCode.compare(0, 2, d->areas[j].placeCode, 0, 2) != 0) continue;
      if (RingsMeet(*rings[i], *rings[j])) {
        return RowReport(msg, kFile, d->areas[i].line,
                         "the outline meets that of " + d->areas[j].placeCode);
      }
    }
  }
  return 1;
}

int ValidatePairs(const std::vector<TextPair>& pairs, DescriptionFile file, char* msg) {
  std::set<std::string> seen;
  for (const TextPair& p : pairs) {
    if (!seen.insert(p.search).second)
      return RowReport(msg, file, p.line, "the search text comes twice");
  }
  return 1;
}

enum class ReadResult { Ok, Failed, TooLarge };

ReadResult ReadWholeFile(const std::string& path, std::string* out) {
  plat::File file;
  if (!file.Open(path.c_str(), plat::ModeRead)) return ReadResult::Failed;
  std::uint64_t length = 0;
  if (!file.GetLength(length)) return ReadResult::Failed;
  if (length > kMaxFileSize) return ReadResult::TooLarge;
  // A file that memory cannot hold counts as too large.
  return CatchAllocationFailure(ReadResult::TooLarge, [&] {
    out->assign(static_cast<std::size_t>(length), '\0');
    return length == 0 || file.Read(out->data(), out->size()) == out->size() ? ReadResult::Ok
                                                                             : ReadResult::Failed;
  });
}

}  // namespace

int IsScaleText(const char* text) {
  static const char* const kScales[] = {"10000", "2000", "25000", "50000", "70000", "80000"};
  if (!text) return 0;
  for (const char* s : kScales) {
    if (std::string_view(text) == s) return 1;
  }
  return 0;
}

const char* DescriptionFileName(DescriptionFile file) { return LayoutOf(file).file; }

int ParseDescriptionText(DescriptionFile file, std::string_view utf8, Description* out, char* msg) {
  if (!out) return 0;
  if (file == DescriptionFile::UserReplacements) return ParseUserLines(utf8, out, msg);
  const FileLayout& layout = LayoutOf(file);
  std::vector<Row> rows;
  if (!ReadRows(utf8, layout, &rows, msg)) return 0;
  switch (file) {
    case DescriptionFile::Prefectures:
      return ParsePrefectures(layout, rows, out, msg);
    case DescriptionFile::Municipalities:
      return ParseMunicipalities(layout, rows, out, msg);
    case DescriptionFile::Oaza:
      return ParseOaza(layout, rows, out, msg);
    case DescriptionFile::Blocks:
      return ParseBlocks(layout, rows, out, msg);
    case DescriptionFile::Changes:
      return ParseChanges(layout, rows, out, msg);
    case DescriptionFile::ChangeCodes:
      return ParseChangeCodes(layout, rows, out, msg);
    case DescriptionFile::Areas:
      return ParseAreas(layout, rows, out, msg);
    case DescriptionFile::Unification:
      return ParsePairs(layout, rows, true, &out->unification, msg);
    case DescriptionFile::Replacements:
      return ParsePairs(layout, rows, false, &out->replacements, msg);
    case DescriptionFile::UserReplacements:
      break;
  }
  return 0;
}

int ValidateDescription(Description* d, char* msg) {
  if (!d) return 0;
  std::map<std::string, int> prefectures;
  std::map<std::string, int> municipalities;
  std::map<std::string, int> chomes;
  return ValidatePrefectures(d, &prefectures, msg) &&
         ValidateMunicipalities(d, prefectures, &municipalities, msg) &&
         ValidateOaza(d, municipalities, &chomes, msg) && ValidateBlocks(d, chomes, msg) &&
         ValidateChanges(d, chomes, msg) && ValidateChangeCodes(d, chomes, msg) &&
         ValidateAreas(d, chomes, msg) &&
         ValidatePairs(d->unification, DescriptionFile::Unification, msg) &&
         ValidatePairs(d->replacements, DescriptionFile::Replacements, msg);
}

int LoadDescription(const char* folder, Description* out, char* msg) {
  if (!folder || !out) return 0;
  *out = Description();
  std::string base = folder;
  if (!base.empty()) {
    const char* last = GetLastCharPtr(base.c_str());
    if (!(last[1] == '\0' && (*last == '\\' || *last == '/'))) base += '\\';
  }
  for (int i = 0; i < kDescriptionFileCount; ++i) {
    const DescriptionFile file = static_cast<DescriptionFile>(i);
    const std::string path = base + DescriptionFileName(file);
    std::string text;
    const ReadResult read = ReadWholeFile(path, &text);
    if (read == ReadResult::TooLarge) {
      SetMessage(msg, "%s: larger than the description reader's limit of %llu bytes", path.c_str(),
                 static_cast<unsigned long long>(kMaxFileSize));
      return 0;
    }
    if (read != ReadResult::Ok) {
      SetMessage(msg, "ファイルの読み込みに失敗しました!(%s)", path.c_str());
      return 0;
    }
    if (!ParseDescriptionText(file, text, out, msg)) return 0;
  }
  return ValidateDescription(out, msg);
}

std::string DefaultDescriptionFolder() {
  std::string folder;
  if (!plat::cp932::FromUtf8(KORT_SAMPLEDATA_DIR, folder)) return std::string();
  return folder;
}

}  // namespace sampledata
