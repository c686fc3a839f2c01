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
#include "matching/address_match.h"
#include "matching/datum_converter.h"
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
  int32_t kind = 1;         // 検索文字列区分
  int32_t matchFlags = 0;   // the match flags word
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
      {"京都府京都市中京区船屋町", "26104", "船屋町"},
      {"京都府京都市中京区舟屋町", "26104", "舟屋町"},
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
      {"きょうとふなかぎょうくふなやちょう", "26104395000", "", 2},
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
  int32_t latitude = 0, longitude = 0;
  std::string code, status, postal;
  int32_t level = 0;
};

// "%ld" of the number of a code in full-width digits ("00012" -> "１２").
std::string FullWidthNumber(const std::string& code) {
  std::string out;
  for (char c : std::to_string(std::atol(code.c_str()))) {
    out += static_cast<char>(0x82);
    out += static_cast<char>(0x4F + (c - '0'));
  }
  return out;
}

void UpperNames(const std::string& placeCode, Columns* c) {
  for (const auto& p : Rows().prefectures)
    if (p.code == placeCode.substr(0, 2)) c->prefecture = p.name;
  for (const auto& m : Rows().municipalities) {
    if (m.code != placeCode.substr(0, 5)) continue;
    c->city = m.county + m.name;
    c->cityReading = m.countyKana + m.kana;
  }
}

void NameRow(const sampledata::OazaRow& row, Columns* c) {
  UpperNames(row.placeCode, c);
  c->oaza = row.oazaName;
  c->oazaReading = row.oazaKana;
  c->chome = row.chomeName;
  c->chomeReading = row.chomeKana;
  c->postal = row.postalCode;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> out(1);
  for (char ch : text) {
    if (ch == separator) {
      out.emplace_back();
    } else {
      out.back() += ch;
    }
  }
  return out;
}

bool Expect(const std::string& node, Columns* c) {
  const sampledata::Description& d = Rows();
  if (node.size() == 2) {
    for (const auto& p : d.prefectures) {
      if (p.code != node) continue;
      c->prefecture = p.name;
      c->latitude = p.latitude;
      c->longitude = p.longitude;
      c->code = p.code;
      c->status = "0";
      c->level = 1;
      return true;
    }
  } else if (node.size() == 5) {
    for (const auto& m : d.municipalities) {
      if (m.code != node) continue;
      UpperNames(m.code, c);
      c->latitude = m.latitude;
      c->longitude = m.longitude;
      c->code = m.code;
      c->status = m.status;
      c->level = 2;
      return true;
    }
  } else if (node.compare(0, 2, "O:") == 0 || node.size() == 11) {
    const bool oaza = node[0] == 'O';
    const std::string code = oaza ? node.substr(2) : node;
    for (const auto& row : d.oaza) {
      if (row.placeCode != code || row.IsOaza() != oaza) continue;
      NameRow(row, c);
      if (oaza) c->postal.clear();
      c->latitude = row.latitude;
      c->longitude = row.longitude;
      c->code = oaza ? code.substr(0, 8) : code;
      c->status = row.status;
      c->level = oaza ? 3 : 4;
      return true;
    }
  } else if (node.compare(0, 2, "B:") == 0) {
    std::vector<std::string> part = Split(node.substr(2), '/');
    const std::vector<std::string> ordinal = Split(part[1], '#');
    int wanted = ordinal.size() > 1 ? std::atoi(ordinal[1].c_str()) : 1;
    for (const auto& row : d.blocks) {
      if (row.placeCode != part[0] || row.code != ordinal[0] || --wanted > 0) continue;
      NameRow(d.oaza[static_cast<std::size_t>(row.parent)], c);
      c->block = row.name.empty() ? FullWidthNumber(row.code) : row.name;
      c->latitude = row.latitude;
      c->longitude = row.longitude;
      c->code = row.placeCode + std::string(5 - row.code.size(), '0') + row.code;
      c->status = row.status == "A" ? "0" : row.status;
      c->level = 6;
      return true;
    }
  } else if (node.compare(0, 2, "H:") == 0) {
    const std::vector<std::string> part = Split(node.substr(2), '/');
    for (const auto& row : d.changes) {
      if (row.placeCode != part[0] || row.blockCode != part[1] || row.lotCode != part[2])
        continue;
      NameRow(d.oaza[static_cast<std::size_t>(row.parent)], c);
      c->block = row.blockName.empty() ? FullWidthNumber(row.blockCode) : row.blockName;
      if (!row.lotCode.empty())
        c->lot = row.lotName.empty() ? FullWidthNumber(row.lotCode) : row.lotName;
      c->latitude = row.latitude;
      c->longitude = row.longitude;
      c->code = row.placeCode + row.blockCode + row.lotCode;
      c->status = std::to_string(row.status);
      c->level = row.lotCode.empty() ? 6 : 8;
      return true;
    }
  } else if (node.compare(0, 2, "C:") == 0) {
    const std::vector<std::string> part = Split(node.substr(2), '/');
    const bool blockOnly = part.size() > 3 && part[3] == "6";
    for (const auto& row : d.changeCodes) {
      if (row.placeCode != part[0] || row.blockCode != part[1] || row.lotCode != part[2])
        continue;
      NameRow(d.oaza[static_cast<std::size_t>(row.parent)], c);
      c->block = row.blockName.empty() ? FullWidthNumber(row.blockCode) : row.blockName;
      if (!blockOnly) c->lot = row.lotName.empty() ? FullWidthNumber(row.lotCode) : row.lotName;
      c->latitude = row.latitude;
      c->longitude = row.longitude;
      c->code = row.placeCode + row.blockCode + (blockOnly ? "" : row.lotCode);
      c->status = std::to_string(row.status);
      c->level = blockOnly ? 6 : 8;
      return true;
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
  switch (format) {
    case 1: std::snprintf(out, sizeof out, "%ld", static_cast<long>(v)); break;
    case 2: std::snprintf(out, sizeof out, "%.1lf", v / 10.0); break;
    case 3: std::snprintf(out, sizeof out, "%.3lf", v / 1000.0); break;
    case 4: std::snprintf(out, sizeof out, "%.9lf", v / 3600.0); break;
    case 5: std::snprintf(out, sizeof out, "%.9lf", v / 36000.0); break;
    case 6: std::snprintf(out, sizeof out, "%.9lf", v / 3600000.0); break;
    case 7:
      std::snprintf(out, sizeof out, "%ld%02ld%02ld.%03d", degrees, minutes, rest / 1000,
                    static_cast<int>(rest % 1000));
      break;
    default: std::snprintf(out, sizeof out, "%ld%02ld%05ld", degrees, minutes, rest); break;
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

std::string Style2Line(const Columns& c, const std::string& rest, int32_t format, int32_t datum) {
  int32_t latitude = c.latitude, longitude = c.longitude;
  if (datum == 2) ToJgd(c.latitude, c.longitude, &latitude, &longitude);
  const bool noOaza = c.level >= 3 && FindSubstring("大字なし", c.oaza.c_str()) > 0;
  return c.prefecture + "," + c.city + "," + c.cityReading + "," + (noOaza ? "" : c.oaza) + "," +
         (noOaza ? "" : c.oazaReading) + "," + c.chome + "," + c.chomeReading + "," + c.block +
         "," + c.lot + "," + CoordinateText(format, latitude) + "," +
         CoordinateText(format, longitude) + "," + c.code + "," + c.status + "," +
         std::to_string(c.level) + "," + (rest.empty() ? "1" : "0") + "," + rest + "," +
         (c.level >= 4 ? c.postal : "");
}

std::string Style1Line(const Columns& c, const std::string& rest, bool bit8) {
  const bool noOaza = c.level >= 3 && FindSubstring("大字なし", c.oaza.c_str()) > 0;
  std::string line = c.prefecture + "," + c.city + "," + c.cityReading + "," +
                     (noOaza ? "" : c.oaza) + "," + (noOaza ? "" : c.oazaReading) + "," +
                     c.chome + "," + c.chomeReading + "," + c.block + "," + c.lot + "," +
                     std::to_string(c.latitude) + "," + std::to_string(c.longitude) + "," +
                     c.code + "," + c.status + "," + std::to_string(c.level);
  if (bit8) line += (rest.empty() ? ",1," : ",0,") + rest;
  return line;
}

// ---- Runs through the three channels ----

struct Outcome {
  int result = 0;
  std::vector<std::string> lines;
  std::string message;
};

enum class Channel { File, Array, Buffer };

// Lines of a result file: each must end in CR LF.
std::vector<std::string> FileLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", at);
    if (end == std::string::npos) {
      ADD_FAILURE() << "line without CR LF";
      break;
    }
    lines.push_back(bytes.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

Outcome Match(Channel channel, const Case& c, int32_t style, int32_t format, int32_t datum,
          int32_t extraFlags, int32_t estimation = 0) {
  TempDir dir;
  const std::string folder = sample::Folder();
  Outcome run;
  char text[600];
  std::snprintf(text, sizeof text, "%s", c.input);
  char message[kMessageSize] = "";
  const int32_t flags = c.matchFlags | extraFlags;
  char buffer[2048];
  CStringArray array;
  switch (channel) {
    case Channel::File: {
      const std::string result = dir.Sys("result.txt");
      run.result =
          style == 2
              ? MatchAddressesToFile(result.c_str(), text, flags, c.numberUnit, folder.c_str(),
                                     message, estimation, c.kind, datum, format, 1, 1, 1,
                                     "VRG_EXTEND")
              : MatchAddressToFilePlain(result.c_str(), text, flags, c.numberUnit, folder.c_str(),
                                        message, "VRG_EXTEND");
      if (testutil::Exists(dir.Native("result.txt"))) {
        run.lines = FileLines(testutil::ReadBytes(dir.Native("result.txt")));
        EXPECT_EQ(run.result, 1) << "a result file stays after a failure";
      }
      break;
    }
    case Channel::Array:
      array.push_back("kept");
      run.result = style == 2 ? MatchAddressesToArray(&array, text, flags, c.numberUnit,
                                                      folder.c_str(), message, estimation, c.kind,
                                                      datum, format, 1, 1, 1, "VRG_EXTEND")
                              : MatchAddressToArrayPlain(&array, text, flags, c.numberUnit,
                                                         folder.c_str(), message, "VRG_EXTEND");
      EXPECT_EQ(array.front(), "kept");
      run.lines.assign(array.begin() + 1, array.end());
      break;
    case Channel::Buffer:
      std::memset(buffer, 'z', sizeof buffer);
      run.result = style == 2
                       ? MatchAddressesToBuffer(buffer, sizeof buffer, text, flags, c.numberUnit,
                                                folder.c_str(), message, estimation, c.kind, datum,
                                                format, 1, 1, 1, "VRG_EXTEND")
                       : MatchAddressToBufferPlain(buffer, sizeof buffer, text, flags,
                                                   c.numberUnit, folder.c_str(), message,
                                                   "VRG_EXTEND");
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
          EXPECT_EQ(Show(run.message), Show(std::string("対象データがありません！[") + c.input + "]"))
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

// ---- Estimates (estimation flag 1; adrslib.ini absent: history check on) ----

TEST_F(GoldenLines, EstimatedCodesArePlaceCodeAndBlockCodeWithTheNumber) {
  const struct {
    const char* input;
    const char* line;
  } cases[] = {
      // 丸の内二丁目 has blocks 1-4 and 6; block 6 is not 住居表示, so the
      // history check leaves block 4 alone as the neighbour of 5: its point,
      // code 13101001002 + 00005.
      {"東京都千代田区丸の内二丁目５",
       "東京都,千代田区,ちよだく,丸の内,まるのうち,二丁目,にちょうめ,５,,128432783,503164113,"
       "1310100100200005,0,5,1,,1000005"},
      // Block 2 of 丸の内一丁目 has lots 1 and 5 (precision digit 1): lot 3
      // lies halfway, (128449705 + 128448264) / 2 and (503157633 +
      // 503159434) / 2 truncated; code 13101001001 + 00002 + 00003.
      {"東京都千代田区丸の内一丁目２番３号",
       "東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,２,３,128448984,"
       "503158533,131010010010000200003,0,7,1,,1000005"},
      // Lot 4 of block 1: only lot 5 (digit 1) passes the history check
      // below 50 above; lots 1 and 3 (digit 0) do not: lot 5's point.
      {"東京都千代田区丸の内一丁目１番４号",
       "東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,１,４,128451145,"
       "503165194,131010010010000100004,0,7,1,,1000005"},
  };
  for (const auto& c : cases) {
    const Case input{c.input, "", ""};
    const Outcome run = Match(Channel::Array, input, 2, 1, 1, 0, 1);
    ASSERT_EQ(run.result, 1) << Show(c.input) << ": " << Show(run.message);
    ASSERT_EQ(run.lines.size(), 1u);
    EXPECT_EQ(Show(run.lines[0]), Show(c.line)) << Show(c.input);
  }
  // Without the estimation flag block 5 stays unmatched.
  const Outcome plain = Match(Channel::Array, {"東京都千代田区丸の内二丁目５", "", ""}, 2, 1, 1, 0, 0);
  ASSERT_EQ(plain.lines.size(), 1u);
  EXPECT_EQ(Show(plain.lines[0]),
            Show("東京都,千代田区,ちよだく,丸の内,まるのうち,二丁目,にちょうめ,,,128436383,"
                 "503158353,13101001002,0,4,0,５,1000005"));
}

// ---- The driver's own rules ----

TEST_F(GoldenLines, KeepsTheTextCutAtASingleByteCharacterInTheRest) {
  // "~" survives the normalisation; the match stops before it, so the line
  // does not claim the whole input.
  const Outcome run = Match(Channel::Array, {"東京都千代田区丸の内一丁目~", "", ""}, 2, 1, 1, 0);
  ASSERT_EQ(run.lines.size(), 1u) << Show(run.message);
  EXPECT_EQ(Show(run.lines[0]),
            Show("東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,,,128446464,"
                 "503165554,13101001001,0,4,0,~,1000005"));
  // Cut inside the rest: the rest runs on to the end of the input.
  const Outcome tab = Match(Channel::Array, {"東京都千代田区丸の内一丁目ビル\t３階", "", ""}, 2, 1, 1, 0);
  ASSERT_EQ(tab.lines.size(), 1u);
  EXPECT_NE(tab.lines[0].find(",4,0,ビル\t３階,"), std::string::npos) << Show(tab.lines[0]);
}

TEST_F(GoldenLines, FinalPassNamesThePrefectureByTheSearchTextKind) {
  // A reading without the prefecture is scanned with every reading put in
  // front; the chosen prefecture is matched again the same way.
  for (int32_t kind : {2, 3, 4}) {
    const char* input = kind == 2 ? "ちよだくまるのうちいっちょうめ"
                        : kind == 3 ? "チヨダクマルノウチイッチョウメ"
                                    : "ﾁﾖﾀﾞｸﾏﾙﾉｳﾁｲｯﾁｮｳﾒ";
    Case c{input, "", ""};
    c.kind = kind;
    const Outcome run = Match(Channel::File, c, 2, 1, 1, 0);
    ASSERT_EQ(run.result, 1) << kind << ": " << Show(run.message);
    ASSERT_EQ(run.lines.size(), 1u) << kind;
    EXPECT_EQ(Show(run.lines[0]),
              Show("東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,,,128446464,"
                   "503165554,13101001001,0,4,1,,1000005"))
        << kind;
  }
}

TEST_F(GoldenLines, RetriesWithoutOazaAndAzaWords) {
  // A 大字 (or a 字) in front of the municipality stops every prefecture of
  // the scan; the run without it matches, and the caller's text is left
  // shortened.
  for (const char* input : {"大字千代田区丸の内一丁目", "字千代田区丸の内一丁目"}) {
    char text[64];
    std::snprintf(text, sizeof text, "%s", input);
    char message[kMessageSize] = "";
    CStringArray lines;
    ASSERT_EQ(MatchAddressesToArray(&lines, text, 0, 1, sample::Folder().c_str(), message, 0, 1,
                                    1, 1, 1, 1, 1, "VRG_EXTEND"),
              1)
        << Show(input) << ": " << Show(message);
    EXPECT_EQ(Show(text), Show("千代田区丸の内一丁目"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Show(lines[0]),
              Show("東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,,,128446464,"
                   "503165554,13101001001,0,4,1,,1000005"));
  }
}

}  // namespace
