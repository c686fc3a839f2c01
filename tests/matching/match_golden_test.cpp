// Address matching through the entries over the generated sample data: the
// inputs of the matcher's corpus (and some of the driver's own), each with
// the row it must reach. The expected line is built here from the rows of
// the description (tools/sampledata/data/*.tsv) by the column rules of the
// result line, and compared in output style 2 for every coordinate format
// and both datums, and in output style 1 with and without bit 8, through
// the file, array and buffer channels in turn.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/message.h"
#include "common/numeric.h"
#include "common/sjis_text.h"
#include "matching/datum_converter.h"
#include "matching/match_entries.h"
#include "sample_folder.h"
#include "support/test_util.h"
#include "tools/sampledata/description.h"

using testutil::Show;
using testutil::TempDir;

namespace {

// ---- The corpus ----

// node: the row the match reaches, written as
//   "13"                 prefecture (level 1)
//   "13101"              municipality (level 2)
//   "O:13101001000"      oaza row (level 3)
//   "13101001001"        aza/chome row (level 4)
//   "B:<place>/<code>[#n]"   the n-th TC_Gaiku row of that block (level 6)
//   "H:<place>/<block>/<lot>" change-history record (level 8; lot empty:
//                        the block's own record, level 6)
//   "C:<place>/<block>/<lot>[/6]" change-code index record (level 8; "/6":
//                        the block found through it, level 6)
//   ""                   no result ("対象データがありません！")
struct Case {
  const char* input;
  const char* node;
  const char* rest;
  int32_t kind = 1;        // 検索文字列区分
  int32_t matchFlags = 0;  // the match flags word
  int32_t numberUnit = 1;
};

const std::vector<Case>& Corpus() {
  static const std::vector<Case> cases = {
      // The matcher's corpus: prefecture and municipality.
      {"東京都", "13", ""},
      {"東京都港区芝公園", "13", "港区芝公園"},
      {"大阪府大阪市北区", "", ""},
      {"東京都千代田区", "13101", ""},
      {"東京都北区", "13117", ""},
      {"東京都大島町", "13361", ""},
      {"東京都大島町元町", "13361", "元町"},
      {"東京都西多摩郡瑞穂町箱根ヶ崎", "13303001000", ""},
      {"東京都瑞穂町箱根ヶ崎", "13303001000", ""},
      {"東京都千代田　区丸の内一丁目", "13101001001", ""},
      // Oaza and chome.
      {"東京都千代田区丸の内一丁目", "13101001001", ""},
      {"東京都千代田区丸の内", "O:13101001000", ""},
      {"東京都千代田区丸の内二丁目５", "13101001002", "５"},
      {"東京都千代田区丸内一丁目", "13101001001", ""},
      {"東京都千代田区大手町一丁目", "13101002001", ""},
      {"東京都千代田区大手町二丁目", "13101002002", ""},
      {"東京都千代田区大手町", "O:13101002000", ""},
      {"東京都渋谷区代代木一丁目", "13113001001", ""},
      {"東京都渋谷区代々木１", "13113001001", ""},
      {"東京都渋谷区代々木１－１", "B:13113001001/00001", ""},
      {"東京都渋谷区代々木１の１", "B:13113001001/00001", ""},
      {"東京都千代田区大手町一丁目－２", "B:13101002001/00002", ""},
      {"東京都千代田区丸の内三の１", "B:13101001003/00001", ""},
      {"東京都北区王子一丁目", "13117001001", ""},
      {"東京都西東京市田無町一丁目", "13229001001", ""},
      {"東京都田無市田無町", "O:13216001000", ""},
      {"東京都田無市田無町", "13", "田無市田無町", 1, 1},
      {"東京都瑞穂町大字箱根ヶ崎", "13303001000", ""},
      {"東京都瑞穂町字箱根ケ崎", "13303001000", ""},
      {"東京都瑞穂町箱根ケ崎東松原", "13303001A00", ""},
      // Numerals and number units.
      {"東京都千代田区五番町１２", "B:13101003000/00012", ""},
      {"東京都千代田区五番町", "13101003000", ""},
      {"東京都千代田区５－１２", "B:13101003000/00012", ""},
      {"東京都千代田区５－１２", "13101", "５－１２", 1, 0, 0},
      // Number levels.
      {"東京都千代田区丸の内一丁目１番３号", "H:13101001001/00001/00003", ""},
      {"東京都瑞穂町箱根ヶ崎２３３５番地１", "H:13303001000/02335/00001", ""},
      // Kyoto.
      {"京都府京都市北区紫野大徳寺町", "26101001001", ""},
      {"京都府北区紫野大徳寺町", "26101001001", ""},
      {"京都府京都市北区紫の大徳寺町", "26101001001", ""},
      {"京都府京都市中京区河原町三条上ル恵比須町", "26104124901", ""},
      {"京都府京都市中京区寺町通二条下ル妙満寺前町", "26104125901", ""},
      {"京都府京都市中京区恵比須町", "26104124000", ""},
      {"京都府京都市中京区恵比寿町", "26104124000", ""},
      {"京都府京都市中京区恵美須町", "26104124000", ""},
      // Each of the look-alike towns (船 unified to 舟) by its own name: the
      // special name keeps the other town's row out.
      {"京都府京都市中京区船屋町", "26104397000", ""},
      {"京都府京都市中京区舟屋町", "26104395000", ""},
      {"京都府京都市中京区舟屋町船屋町", "26104397000", "船屋町"},
      {"京都府京都市中京区亀屋町", "26104131000", ""},
      {"京都府乙訓郡大山崎町大山崎", "26303000001", ""},
      {"京都府大山崎町字大山崎", "26303000001", ""},
      {"京都府乙訓郡大山崎町小字円明寺", "26303000002", ""},
      {"京都府乙訓郡大山崎町", "26303", ""},
      {"京都府乙訓郡大山崎町大山崎３－４", "C:26303000001/00003/00004", ""},
      // Kana.
      {"とうきょうとちよだくまるのうちいっちょうめ", "13101001001", "", 2},
      {"トウキョウトチヨダクマルノウチ", "O:13101001000", "", 3},
      {"ﾄｳｷｮｳﾄﾁﾖﾀﾞｸｵｵﾃﾏﾁ", "O:13101002000", "", 4},
      {"とうきょうとみずほまちおおあざはこねがさき", "13303001000", "", 2},
      {"きょうとふなかぎょうくかめやちょう", "26104131000", "", 2},
      {"きょうとふなかぎょうくふなやちょう", "26104397000", "", 2},
      // The driver's scan: no prefecture name at the head.
      {"千代田区丸の内一丁目", "13101001001", ""},
      {"北区紫野", "O:26101001000", ""},
      {"北区王子", "O:13117001000", ""},
      {"北区", "", ""},
      {"大島町", "13361", ""},
      {"ちよだくまるのうちいっちょうめ", "13101001001", "", 2},
      {"チヨダクマルノウチ", "O:13101001000", "", 3},
      // Blocks and lots of every source.
      {"東京都千代田区丸の内一丁目３", "B:13101001001/00003#2", ""},
      {"東京都千代田区丸の内一丁目５", "B:13101001001/00005#2", ""},
      {"東京都千代田区丸の内一丁目４", "H:13101001001/00004/", ""},
      {"東京都千代田区丸の内一丁目８", "C:13101001001/00008/00001/6", ""},
      {"東京都瑞穂町箱根ケ崎東松原１５－１", "C:13303001A00/00015/00001", ""},
      {"東京都瑞穂町箱根ケ崎東松原ロ", "C:13303001A00/A0001/00001/6", ""},
  };
  return cases;
}

// ---- The expected line from the description ----

const sampledata::Description& Rows() {
  static const sampledata::Description* d = [] {
    auto* loaded = new sampledata::Description;
    char msg[kMessageSize] = "";
    if (!sampledata::LoadDescription(sampledata::DefaultDescriptionFolder().c_str(), loaded, msg))
      ADD_FAILURE() << Show(msg);
    return loaded;
  }();
  return *d;
}

struct Columns {
  std::string prefecture, city, cityReading, oaza, oazaReading, chome, chomeReading, block, lot;
  int32_t latitude = 0, longitude = 0, level = 0;
  std::string code, status, postal;
};

// "%ld" of the number of a code in full-width digits ("00012" -> "１２").
std::string FullWidthNumber(const std::string& code) {
  std::string out;
  for (char c : std::to_string(std::atol(code.c_str())))
    out += {'\x82', static_cast<char>(0x4F + c - '0')};
  return out;
}
std::string NameOr(const std::string& name, const std::string& code) {
  return name.empty() ? FullWidthNumber(code) : name;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> out(1);
  for (char ch : text) ch == separator ? out.emplace_back() : out.back() += ch;
  return out;
}

// Names of the levels above a place code; with a name row also its oaza,
// chome and postal code.
void Names(const std::string& place, const sampledata::OazaRow* row, Columns* c) {
  for (const auto& p : Rows().prefectures)
    if (p.code == place.substr(0, 2)) c->prefecture = p.name;
  for (const auto& m : Rows().municipalities) {
    if (m.code != place.substr(0, 5)) continue;
    c->city = m.county + m.name;
    c->cityReading = m.countyKana + m.kana;
  }
  if (!row) return;
  c->oaza = row->oazaName;
  c->oazaReading = row->oazaKana;
  c->chome = row->chomeName;
  c->chomeReading = row->chomeKana;
  c->postal = row->postalCode;
}

bool Expect(const std::string& node, Columns* c) {
  const sampledata::Description& d = Rows();
  auto set = [c](int32_t lat, int32_t lon, std::string code, std::string status, int32_t level) {
    c->latitude = lat;
    c->longitude = lon;
    c->code = std::move(code);
    c->status = std::move(status);
    c->level = level;
    return true;
  };
  const std::string kind = node.size() > 2 && node[1] == ':' ? node.substr(0, 1) : "";
  const std::vector<std::string> part = Split(kind.empty() ? node : node.substr(2), '/');
  if (node.size() == 2) {
    for (const auto& p : d.prefectures)
      if (p.code == node)
        return Names(node, nullptr, c), set(p.latitude, p.longitude, p.code, "0", 1);
  } else if (node.size() == 5) {
    for (const auto& m : d.municipalities)
      if (m.code == node)
        return Names(node, nullptr, c), set(m.latitude, m.longitude, m.code, m.status, 2);
  } else if (kind == "O" || kind.empty()) {
    for (const auto& row : d.oaza) {
      if (row.placeCode != part[0] || row.IsOaza() != (kind == "O")) continue;
      Names(row.placeCode, &row, c);
      if (kind == "O") c->postal.clear();
      return set(row.latitude, row.longitude, kind == "O" ? part[0].substr(0, 8) : part[0],
                 row.status, kind == "O" ? 3 : 4);
    }
  } else if (kind == "B") {
    const std::vector<std::string> ordinal = Split(part[1], '#');
    int wanted = ordinal.size() > 1 ? std::atoi(ordinal[1].c_str()) : 1;
    for (const auto& row : d.blocks) {
      if (row.placeCode != part[0] || row.code != ordinal[0] || --wanted > 0) continue;
      Names(row.placeCode, &d.oaza[static_cast<std::size_t>(row.parent)], c);
      c->block = NameOr(row.name, row.code);
      return set(row.latitude, row.longitude,
                 row.placeCode + std::string(5 - row.code.size(), '0') + row.code,
                 row.status == "A" ? "0" : row.status, 6);
    }
  } else if (kind == "H") {
    for (const auto& row : d.changes) {
      if (row.placeCode != part[0] || row.blockCode != part[1] || row.lotCode != part[2]) continue;
      Names(row.placeCode, &d.oaza[static_cast<std::size_t>(row.parent)], c);
      c->block = NameOr(row.blockName, row.blockCode);
      if (!row.lotCode.empty()) c->lot = NameOr(row.lotName, row.lotCode);
      return set(row.latitude, row.longitude, row.placeCode + row.blockCode + row.lotCode,
                 std::to_string(row.status), row.lotCode.empty() ? 6 : 8);
    }
  } else if (kind == "C") {
    const bool blockOnly = part.size() > 3;
    for (const auto& row : d.changeCodes) {
      if (row.placeCode != part[0] || row.blockCode != part[1] || row.lotCode != part[2]) continue;
      Names(row.placeCode, &d.oaza[static_cast<std::size_t>(row.parent)], c);
      c->block = NameOr(row.blockName, row.blockCode);
      if (!blockOnly) c->lot = NameOr(row.lotName, row.lotCode);
      return set(row.latitude, row.longitude,
                 row.placeCode + row.blockCode + (blockOnly ? "" : row.lotCode),
                 std::to_string(row.status), blockOnly ? 6 : 8);
    }
  }
  return false;
}

// A coordinate in a format of the coordinate table.
std::string CoordinateText(int32_t format, int32_t v) {
  char out[64];
  const long degrees = v / 3600000;
  const long minutes = v % 3600000 / 60000;
  const long rest = v % 3600000 % 60000;
  // Formats 1 to 6: milliseconds scaled to a unit and printed with its decimals.
  const struct {
    const char* form;
    double unit;
  } decimal[] = {{"%.0lf", 1},    {"%.1lf", 10},    {"%.3lf", 1000},
                 {"%.9lf", 3600}, {"%.9lf", 36000}, {"%.9lf", 3600000}};
  if (format <= 6) {
    std::snprintf(out, sizeof out, decimal[format - 1].form, v / decimal[format - 1].unit);
  } else if (format == 7) {
    std::snprintf(out, sizeof out, "%ld%02ld%02ld.%03d", degrees, minutes, rest / 1000,
                  static_cast<int>(rest % 1000));
  } else {
    std::snprintf(out, sizeof out, "%ld%02ld%05ld", degrees, minutes, rest);
  }
  return out;
}

// The point in JGD2000 by the sample folder's grid parameters, rounded to
// whole milliseconds.
void ToJgd(int32_t latitude, int32_t longitude, int32_t* outLatitude, int32_t* outLongitude) {
  static CDatumConverter* converter = [] {
    auto* c = new CDatumConverter;
    EXPECT_EQ(c->LoadGridParameters((sample::Folder() + "TKY2JGD.PAR").c_str()), 1);
    return c;
  }();
  double lon = 0, lat = 0;
  int method = -1;
  ASSERT_EQ(converter->TokyoToJgd(longitude / 3600000.0, latitude / 3600000.0, &lon, &lat, &method),
            1);
  *outLatitude = static_cast<int32_t>(RoundHalfAwayFromZero(lat * 3600000.0));
  *outLongitude = static_cast<int32_t>(RoundHalfAwayFromZero(lon * 3600000.0));
}

// Columns 1 to 9, the oaza columns empty for a name with 大字なし.
std::string Names9(const Columns& c) {
  const bool noOaza = c.level >= 3 && FindSubstring("大字なし", c.oaza.c_str()) > 0;
  return c.prefecture + "," + c.city + "," + c.cityReading + "," +
         (noOaza ? "," : c.oaza + "," + c.oazaReading) + "," + c.chome + "," + c.chomeReading +
         "," + c.block + "," + c.lot;
}

std::string Style2Line(const Columns& c, const std::string& rest, int32_t format, int32_t datum) {
  int32_t latitude = c.latitude, longitude = c.longitude;
  if (datum == 2) ToJgd(c.latitude, c.longitude, &latitude, &longitude);
  return Names9(c) + "," + CoordinateText(format, latitude) + "," +
         CoordinateText(format, longitude) + "," + c.code + "," + c.status + "," +
         std::to_string(c.level) + "," + (rest.empty() ? "1" : "0") + "," + rest + "," +
         (c.level >= 4 ? c.postal : "");
}

std::string Style1Line(const Columns& c, const std::string& rest, bool bit8) {
  return Names9(c) + "," + std::to_string(c.latitude) + "," + std::to_string(c.longitude) + "," +
         c.code + "," + c.status + "," + std::to_string(c.level) +
         (bit8 ? (rest.empty() ? ",1," : ",0,") + rest : "");
}

// ---- Runs through the three channels ----

struct Outcome {
  int result = 0;
  std::vector<std::string> lines;
  std::string message;
};

enum class Channel { File, Array, Buffer };

// One entry call; style 1 runs the plain entries. The lines the channel
// received: a result file's lines must end in CR LF, an array keeps what
// it held, the buffer's records are split at ";".
Outcome Match(Channel channel, const Case& c, int32_t style, int32_t format, int32_t datum,
              int32_t extraFlags, int32_t estimation = 0) {
  TempDir dir;
  const std::string folder = sample::Folder();
  const std::string result = dir.Sys("result.txt");
  Outcome run;
  char text[600], message[kMessageSize] = "", buffer[2048];
  std::snprintf(text, sizeof text, "%s", c.input);
  const int32_t flags = c.matchFlags | extraFlags;
  CStringArray array = {"kept"};
  const char* f = folder.c_str();
  switch (channel) {
    case Channel::File:
      run.result = style == 2 ? MatchAddressesToFile(result.c_str(), text, flags, c.numberUnit, f,
                                                     message, estimation, c.kind, datum, format, 1,
                                                     1, 1, "VRG_EXTEND")
                              : MatchAddressToFilePlain(result.c_str(), text, flags, c.numberUnit,
                                                        f, message, "VRG_EXTEND");
      if (testutil::Exists(dir.Native("result.txt"))) {
        const std::string bytes = testutil::ReadBytes(dir.Native("result.txt"));
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
        run.lines = Split(bytes.substr(0, bytes.size() - 2), '\n');
        EXPECT_EQ(run.result, 1) << "a result file stays after a failure";
      }
      break;
    case Channel::Array:
      run.result = style == 2 ? MatchAddressesToArray(&array, text, flags, c.numberUnit, f, message,
                                                      estimation, c.kind, datum, format, 1, 1, 1,
                                                      "VRG_EXTEND")
                              : MatchAddressToArrayPlain(&array, text, flags, c.numberUnit, f,
                                                         message, "VRG_EXTEND");
      EXPECT_EQ(array.front(), "kept");
      run.lines.assign(array.begin() + 1, array.end());
      break;
    case Channel::Buffer:
      std::memset(buffer, 'z', sizeof buffer);
      run.result = style == 2 ? MatchAddressesToBuffer(buffer, sizeof buffer, text, flags,
                                                       c.numberUnit, f, message, estimation, c.kind,
                                                       datum, format, 1, 1, 1, "VRG_EXTEND")
                              : MatchAddressToBufferPlain(buffer, sizeof buffer, text, flags,
                                                          c.numberUnit, f, message, "VRG_EXTEND");
      if (run.result) run.lines = Split(buffer, ';');
      break;
  }
  run.message = message;
  return run;
}

class GoldenLines : public ::testing::Test {
 protected:
  void SetUp() override {
    if (sample::Folder().empty()) GTEST_SKIP() << "KORT_BUILD_DIR is not set";
  }
};

TEST_F(GoldenLines, CorpusInStyle2WithEveryCoordinateFormatAndBothDatums) {
  int n = 0;
  for (const Case& c : Corpus()) {
    Columns columns;
    const bool found = *c.node == '\0' || Expect(c.node, &columns);
    ASSERT_TRUE(found) << c.node;
    for (int32_t datum = 1; datum <= 2; ++datum) {
      for (int32_t format = 1; format <= 8; ++format) {
        const Channel channel = static_cast<Channel>(n++ % 3);
        const Outcome run = Match(channel, c, 2, format, datum, 0);
        const std::string label =
            Show(c.input) + " format " + std::to_string(format) + " datum " + std::to_string(datum);
        if (*c.node == '\0') {
          EXPECT_EQ(run.result, 0) << label;
          EXPECT_EQ(Show(run.message),
                    Show(std::string("対象データがありません！[") + c.input + "]"))
              << label;
          EXPECT_TRUE(run.lines.empty()) << label;
          continue;
        }
        ASSERT_EQ(run.result, 1) << label << ": " << Show(run.message);
        ASSERT_EQ(run.lines.size(), 1u) << label;
        EXPECT_EQ(Show(run.lines[0]), Show(Style2Line(columns, c.rest, format, datum))) << label;
      }
    }
  }
}

TEST_F(GoldenLines, CorpusInStyle1WithAndWithoutBit8) {
  int n = 0;
  for (const Case& c : Corpus()) {
    if (c.kind != 1) continue;  // the plain entries take no search-text kind
    Columns columns;
    ASSERT_TRUE(*c.node == '\0' || Expect(c.node, &columns)) << c.node;
    for (const bool bit8 : {false, true}) {
      const Outcome run = Match(static_cast<Channel>(n++ % 3), c, 1, 0, 0, bit8 ? 0x100 : 0);
      const std::string label = Show(c.input) + (bit8 ? " bit 8" : "");
      if (*c.node == '\0') {
        EXPECT_EQ(run.result, 0) << label;
        continue;
      }
      ASSERT_EQ(run.result, 1) << label << ": " << Show(run.message);
      ASSERT_EQ(run.lines.size(), 1u) << label;
      EXPECT_EQ(Show(run.lines[0]), Show(Style1Line(columns, c.rest, bit8))) << label;
    }
  }
}

// The one line of an input in style 2 (formats 1, Tokyo datum), with the
// caller's text after the call.
std::string LineOf(const char* input, int32_t kind = 1, int32_t estimation = 0,
                   std::string* textAfter = nullptr) {
  char text[128], message[kMessageSize] = "";
  std::snprintf(text, sizeof text, "%s", input);
  CStringArray lines;
  EXPECT_EQ(MatchAddressesToArray(&lines, text, 0, 1, sample::Folder().c_str(), message, estimation,
                                  kind, 1, 1, 1, 1, 1, "VRG_EXTEND"),
            1)
      << Show(input) << ": " << Show(message);
  if (textAfter) *textAfter = text;
  return lines.size() == 1 ? Show(lines[0]) : "";
}

const std::string kChome1 =
    "東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,,,128446464,503165554,"
    "13101001001,0,4,";

// Estimates, with adrslib.ini absent (history check on).
TEST_F(GoldenLines, EstimatedCodesArePlaceCodeAndBlockCodeWithTheNumber) {
  // 丸の内二丁目 has blocks 1-4 and 6; 6 is not 住居表示, so block 4 alone
  // stands beside 5: its point; code 13101001002 + 00005.
  EXPECT_EQ(LineOf("東京都千代田区丸の内二丁目５", 1, 1),
            Show("東京都,千代田区,ちよだく,丸の内,まるのうち,二丁目,にちょうめ,５,,128432783,"
                 "503164113,1310100100200005,0,5,1,,1000005"));
  // Block 2 of 丸の内一丁目 has lots 1 and 5 (precision digit 1): lot 3 lies
  // halfway, (128449705 + 128448264) / 2 and (503157633 + 503159434) / 2
  // truncated; code 13101001001 + 00002 + 00003.
  EXPECT_EQ(LineOf("東京都千代田区丸の内一丁目２番３号", 1, 1),
            Show("東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,２,３,128448984,"
                 "503158533,131010010010000200003,0,7,1,,1000005"));
  // Lot 4 of block 1: lots 1 and 3 (digit 0) fail the history check; lot 5
  // stands alone above.
  EXPECT_EQ(LineOf("東京都千代田区丸の内一丁目１番４号", 1, 1),
            Show("東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,１,４,128451145,"
                 "503165194,131010010010000100004,0,7,1,,1000005"));
}

TEST_F(GoldenLines, KeepsTheTextCutAtASingleByteCharacterInTheRest) {
  // "~" survives the normalisation and is cut before matching: the line
  // does not claim the whole input. A cut inside the rest runs on to its end.
  EXPECT_EQ(LineOf("東京都千代田区丸の内一丁目~"), Show(kChome1 + "0,~,1000005"));
  EXPECT_EQ(LineOf("東京都千代田区丸の内一丁目ビル\t３階"), Show(kChome1 + "0,ビル\t３階,1000005"));
}

TEST_F(GoldenLines, FinalPassNamesThePrefectureByTheSearchTextKind) {
  // A reading is scanned with every prefecture's reading put in front, and
  // the chosen prefecture is matched once more the same way (kinds 2 and 3
  // are in the corpus).
  EXPECT_EQ(LineOf("ﾁﾖﾀﾞｸﾏﾙﾉｳﾁｲｯﾁｮｳﾒ", 4), Show(kChome1 + "1,,1000005"));
}

TEST_F(GoldenLines, RetriesWithoutOazaAndAzaWords) {
  // A 大字 (or a 字) before the municipality stops every prefecture of the
  // scan; the run without it matches, and the caller's text stays shortened.
  for (const char* input : {"大字千代田区丸の内一丁目", "字千代田区丸の内一丁目"}) {
    std::string after;
    EXPECT_EQ(LineOf(input, 1, 0, &after), Show(kChome1 + "1,,1000005"));
    EXPECT_EQ(Show(after), Show("千代田区丸の内一丁目"));
  }
}

}  // namespace
