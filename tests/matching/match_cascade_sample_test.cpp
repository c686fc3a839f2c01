// MatchAddress over the generated sample data set (tools/sampledata/data):
// a corpus of inputs through every path of the name levels, each expected
// result worked out from the rows of the data set. The node column names
// the row the (level, parent, entry) triple points at, read back through
// the index (see matchtest::DataSet::Describe).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "matching/name_levels.h"
#include "name_level_fixture.h"

namespace {

using matchtest::DataSet;
using matchtest::Options;
using matchtest::Outcome;
using testutil::Show;

struct Case {
  const char* input;
  int prefecture;
  int32_t level;
  const char* node;
  const char* rest;
  Options options;
  const char* why;
};

const std::vector<Case>& Corpus() {
  static const std::vector<Case> cases = {
      // ---- prefecture and municipality
      {"東京都", 13, 1, "13", "", {}, "prefecture only"},
      {"東京都港区芝公園", 13, 1, "13", "港区芝公園", {}, "no municipality 港区 in 13"},
      {"大阪府大阪市北区", 13, 0, "", "大阪府大阪市北区", {}, "no prefecture name at the head"},
      {"東京都千代田区", 13, 2, "13101", "", {}, "municipality, nothing after it"},
      {"東京都北区", 13, 2, "13117", "", {}, "北区 of 13"},
      {"東京都大島町", 13, 2, "13361", "", {}, "municipality without oaza rows"},
      {"東京都大島町元町", 13, 2, "13361", "元町", {}, "text left after a leaf municipality"},
      {"東京都西多摩郡瑞穂町箱根ヶ崎",
       13,
       4,
       "13303001000",
       "",
       {},
       "county written; ヶ unified; placeholder chome matches nothing"},
      {"東京都瑞穂町箱根ヶ崎", 13, 4, "13303001000", "", {}, "county omitted"},
      {"東京都千代田　区丸の内一丁目",
       13,
       4,
       "13101001001",
       "",
       {},
       "replacement list removes the full-width blank inside the municipality"},
      {"東京都千代田　区丸の内一丁目",
       13,
       1,
       "13",
       "千代田　区丸の内一丁目",
       {.replacements = false},
       "without the replacement list the blank stops the municipality"},
      // ---- oaza and chome: routes, variants, prefixes
      {"東京都千代田区丸の内一丁目", 13, 4, "13101001001", "", {}, "name routes of oaza and chome"},
      {"東京都千代田区丸の内", 13, 3, "13101001000", "", {}, "oaza only"},
      {"東京都千代田区丸の内二丁目５",
       13,
       4,
       "13101001002",
       "５",
       {},
       "chome 2 has no block 5 (no estimation): the chome with the rest"},
      {"東京都千代田区丸内一丁目", 13, 4, "13101001001", "", {}, "connecting kana left out"},
      {"東京都千代田区大手町一丁目",
       13,
       4,
       "13101002001",
       "",
       {},
       "control routes of oaza and chome"},
      {"東京都千代田区大手町一丁目－２",
       13,
       6,
       "13101002001/00002",
       "",
       {},
       "control route of the chome, separator, block"},
      {"東京都千代田区丸の内三の１",
       13,
       6,
       "13101001003/00001",
       "",
       {},
       "kanji numeral 三 written in full width, then 丁目 left out before の"},
      {"東京都千代田区大手町二丁目",
       13,
       4,
       "13101002002",
       "",
       {},
       "control route of the oaza, chome 2 by name"},
      {"東京都千代田区大手町", 13, 3, "13101002000", "", {}, "control route, oaza only"},
      {"東京都渋谷区代代木一丁目", 13, 4, "13113001001", "", {}, "々 of the name written out"},
      {"東京都渋谷区代々木１", 13, 4, "13113001001", "", {}, "unit word 丁目 left out"},
      {"東京都渋谷区代々木１－１",
       13,
       6,
       "13113001001/00001",
       "",
       {},
       "unit word left out, separator, block"},
      {"東京都渋谷区代々木１の１", 13, 6, "13113001001/00001", "", {}, "の as the separator"},
      {"東京都北区王子一丁目", 13, 4, "13117001001", "", {}, "13's 北区"},
      {"東京都西東京市田無町一丁目", 13, 4, "13229001001", "", {}, "current 田無町"},
      {"東京都田無市田無町",
       13,
       3,
       "13216001000",
       "",
       {},
       "abolished municipality and oaza (status 3) without filter; no chome rows"},
      {"東京都田無市田無町",
       13,
       1,
       "13",
       "田無市田無町",
       {.flags = 1},
       "status filter bit 0 refuses every status-3 candidate"},
      {"東京都瑞穂町大字箱根ヶ崎", 13, 4, "13303001000", "", {}, "oaza prefix 大字 skipped"},
      {"東京都瑞穂町字箱根ケ崎", 13, 4, "13303001000", "", {}, "oaza prefix 字 skipped"},
      {"東京都瑞穂町箱根ケ崎東松原",
       13,
       4,
       "13303001A00",
       "",
       {},
       "the named aza beats the placeholder on consumed bytes"},
      // ---- numeral and number-unit branches
      {"東京都千代田区五番町１２",
       13,
       6,
       "13101003000/00012",
       "",
       {},
       "numeral before 番 normalised; placeholder chome; block 12"},
      {"東京都千代田区五番町", 13, 4, "13101003000", "", {}, "placeholder chome of 五番町"},
      {"東京都千代田区５－１２",
       13,
       6,
       "13101003000/00012",
       "",
       {},
       "number and unit word 番町 left out, separator, block 12"},
      {"東京都千代田区５－１２",
       13,
       2,
       "13101",
       "５－１２",
       {.numberUnit = 0},
       "number-unit switch off: no oaza"},
      // ---- number levels under the name levels
      {"東京都千代田区丸の内一丁目１番３号",
       13,
       8,
       "H:13101-1-1/1/3",
       "",
       {},
       "lot in the change history; trailing 号 emptied"},
      {"東京都瑞穂町箱根ヶ崎２３３５番地１",
       13,
       8,
       "H:13303-1-0/2335/1",
       "",
       {},
       "block and lot only in the change files, under the placeholder chome"},
      // ---- Kyoto: street districts, replacement lists, special names, group rule
      {"京都府京都市北区紫野大徳寺町", 26, 4, "26101001001", "", {}, "county 京都市 written"},
      {"京都府北区紫野大徳寺町", 26, 4, "26101001001", "", {}, "county 京都市 omitted"},
      {"京都府京都市北区紫の大徳寺町", 26, 4, "26101001001", "", {}, "user pair 紫の → 紫野"},
      {"京都府京都市北区紫の大徳寺町",
       26,
       2,
       "26101",
       "紫の大徳寺町",
       {.extra = false},
       "without the user list no oaza"},
      {"京都府京都市中京区河原町三条上ル恵比須町",
       26,
       4,
       "26104124901",
       "",
       {},
       "street district: 通 dropped, direction word 上ル"},
      {"京都府京都市中京区寺町通二条下ル妙満寺前町",
       26,
       4,
       "26104125901",
       "",
       {},
       "street district: second pass skips the street word 通"},
      {"京都府京都市中京区恵比須町", 26, 4, "26104124000", "", {}, "the town by its own name"},
      {"京都府京都市中京区恵比寿町",
       26,
       4,
       "26104124000",
       "",
       {},
       "replacement pair 恵比寿 → 恵比須"},
      {"京都府京都市中京区恵美須町", 26, 4, "26104124000", "", {}, "user pair 恵美須町 → 恵比須町"},
      // 船 is unified to 舟: both towns' rows match either name, and the
      // special name typed keeps the other town's row out.
      {"京都府京都市中京区船屋町",
       26,
       4,
       "26104397000",
       "",
       {},
       "special name 船屋町: the look-alike 舟屋町 (26104395000) is no oaza candidate"},
      {"京都府京都市中京区舟屋町",
       26,
       4,
       "26104395000",
       "",
       {},
       "special name 舟屋町: the look-alike 船屋町 (26104397000) is no oaza candidate"},
      {"京都府京都市中京区舟屋町船屋町",
       26,
       4,
       "26104397000",
       "船屋町",
       {},
       "both special names: the later one (船屋町) is kept, 舟屋町 matches"},
      {"京都府京都市中京区亀屋町",
       26,
       4,
       "26104131000",
       "",
       {},
       "two 亀屋町: the whole chome of the 8 group wins"},
      {"京都府乙訓郡大山崎町大山崎", 26, 4, "26303000001", "", {}, "oaza placeholder （大字なし）"},
      {"京都府大山崎町字大山崎", 26, 4, "26303000001", "", {}, "county omitted, 字 before the aza"},
      {"京都府乙訓郡大山崎町小字円明寺", 26, 4, "26303000002", "", {}, "chome prefix 小字"},
      {"京都府乙訓郡大山崎町",
       26,
       2,
       "26303",
       "",
       {},
       "placeholder oaza and no aza text: no oaza candidate"},
      {"京都府乙訓郡大山崎町大山崎３－４",
       26,
       8,
       "C:26303000001/00003/00004",
       "",
       {},
       "lot only in the change-code index"},
      // ---- kana matching
      {"とうきょうとちよだくまるのうちいっちょうめ",
       13,
       4,
       "13101001001",
       "",
       {.kana = 1},
       "readings, small kana made large"},
      {"トウキョウトチヨダクマルノウチ", 13, 3, "13101001000", "", {.kana = 1}, "katakana input"},
      {"ﾄｳｷｮｳﾄﾁﾖﾀﾞｸｵｵﾃﾏﾁ",
       13,
       3,
       "13101002000",
       "",
       {.kana = 1},
       "half-width input: the written form is no control-route match, the reading is"},
      {"とうきょうとみずほまちおおあざはこねがさき",
       13,
       4,
       "13303001000",
       "",
       {.kana = 1},
       "county reading omitted, おおあざ skipped and stripped"},
      {"きょうとふなかぎょうくかめやちょう",
       26,
       4,
       "26104131000",
       "",
       {.kana = 1},
       "group rule in kana"},
      {"きょうとふなかぎょうくふなやちょう",
       26,
       4,
       "26104397000",
       "",
       {.kana = 1},
       "two rows of one reading: the first in entry order stays"},
  };
  return cases;
}

class SampleMatch : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(matchtest::SampleDictionaries().loaded); }
  DataSet* Open(int prefecture) {
    auto& slot = sets_[prefecture];
    if (!slot) {
      slot = std::make_unique<DataSet>();
      EXPECT_TRUE(slot->Open(sample::Folder(), prefecture, 2)) << prefecture;
    }
    return slot.get();
  }
  Outcome Run(DataSet* set, const std::string& input, const Options& options) {
    auto& d = matchtest::SampleDictionaries();
    return set->Match(input, options, &d.unification, &d.replacements, &d.user);
  }
  std::map<int, std::unique_ptr<DataSet>> sets_;
};

TEST_F(SampleMatch, CorpusGivesTheExpectedRows) {
  for (const Case& c : Corpus()) {
    DataSet* set = Open(c.prefecture);
    const Outcome o = Run(set, c.input, c.options);
    const std::string label = Show(c.input) + " (" + c.why + ")";
    ASSERT_EQ(o.result, 1) << label << ": " << Show(o.message);
    EXPECT_EQ(o.level, c.level) << label;
    if (c.level == 0) {
      EXPECT_EQ(o.entry, 0) << label;
      EXPECT_EQ(o.parent, -7) << label << ": parent is left as passed";
    } else {
      EXPECT_EQ(set->Describe(o), c.node) << label;
    }
    EXPECT_EQ(o.rest, c.rest) << label << ": rest " << Show(o.rest);
  }
}

TEST_F(SampleMatch, ParentIsTheChildBaseOfTheLevelAbove) {
  DataSet* set = Open(13);
  CAdrsEngine& engine = set->engine();
  char msg[kMessageSize] = "";
  TixEntry prefecture, city;
  ASSERT_EQ(engine.ReadPrefectureEntry(1, &prefecture, msg), 1);
  ASSERT_EQ(engine.ReadCityEntry(prefecture.childBase, 1, &city, msg), 1);  // 千代田区

  Outcome o = Run(set, "東京都", {});
  EXPECT_EQ(o.level, 1);
  EXPECT_EQ(o.parent, 0);
  EXPECT_EQ(o.entry, 1);
  o = Run(set, "東京都千代田区", {});
  EXPECT_EQ(o.parent, static_cast<int32_t>(prefecture.childBase));
  EXPECT_EQ(o.entry, 1);
  o = Run(set, "東京都千代田区大手町", {});
  EXPECT_EQ(o.parent, static_cast<int32_t>(city.childBase));
  EXPECT_EQ(o.entry, 2);  // the second oaza of 千代田区
  // The rows of the final match.
  EXPECT_EQ(engine.GetMatchedPrefectureRow(), static_cast<int32_t>(prefecture.record));
  EXPECT_EQ(engine.GetMatchedCityRow(), static_cast<int32_t>(city.record));
  TixEntry oaza;
  ASSERT_EQ(engine.ReadOazaEntry(city.childBase, 2, &oaza, msg), 1);
  EXPECT_EQ(engine.GetMatchedNameRow(), static_cast<int32_t>(oaza.record));
  EXPECT_EQ(engine.GetOazaLevelRow(), static_cast<int32_t>(oaza.record));
}

TEST_F(SampleMatch, SpecialNamePairIsTheLastFoundInTheRawLine) {
  DataSet* set = Open(13);
  CAdrsEngine& engine = set->engine();
  Run(set, "東京都北条", {});
  EXPECT_EQ(std::string(engine.GetSpecialName()), "北条");
  EXPECT_EQ(std::string(engine.GetSpecialNameCode()), "27218050000");
  Run(set, "船屋町舟屋町", {});
  EXPECT_EQ(std::string(engine.GetSpecialName()), "船屋町");  // later in the table
  EXPECT_EQ(std::string(engine.GetSpecialNameCode()), "26104395000");
  Run(set, "東京都千代田区", {});  // cleared by the next match
  EXPECT_EQ(std::string(engine.GetSpecialName()), "");
  EXPECT_EQ(std::string(engine.GetSpecialNameCode()), "");
}

// The depth setter stops the cascade below its level.
TEST_F(SampleMatch, MatchDepthStopsTheCascade) {
  DataSet* set = Open(13);
  struct Step {
    int depth;
    int32_t level;
    const char* node;
    const char* rest;
  } steps[] = {
      {4, 8, "H:13101-1-1/1/3", ""},           {3, 6, "13101001001/00001", "３号"},
      {2, 4, "13101001001", "１番３号"},       {1, 3, "13101001000", "一丁目１番３号"},
      {0, 2, "13101", "丸の内一丁目１番３号"},
  };
  for (const Step& s : steps) {
    const Outcome o = Run(set, "東京都千代田区丸の内一丁目１番３号", {.depth = s.depth});
    ASSERT_EQ(o.result, 1) << s.depth;
    EXPECT_EQ(o.level, s.level) << "depth " << s.depth;
    EXPECT_EQ(set->Describe(o), s.node) << "depth " << s.depth;
    EXPECT_EQ(o.rest, s.rest) << "depth " << s.depth << ": " << Show(o.rest);
  }
  // The other name of the setter.
  EXPECT_EQ(set->engine().SetAnalyzeDepth(2), 1);
  EXPECT_EQ(set->engine().GetMatchDepth(), 2);
}

// The oaza level's own values: variant kinds and consumed bytes.
TEST_F(SampleMatch, OazaVariantKinds) {
  DataSet* set = Open(13);
  CAdrsEngine& engine = set->engine();
  auto& d = matchtest::SampleDictionaries();
  engine.SetDictionaries(&d.unification, &d.replacements);
  engine.SetExtraReplacementList(&d.user);
  engine.SetKanaMatching(0);
  engine.SetMatchDepth(4);
  engine.SetSearchFlags(0);
  engine.SetNumberUnitMatching(1);
  char msg[kMessageSize] = "";
  TixEntry prefecture, city;
  ASSERT_EQ(engine.ReadPrefectureEntry(1, &prefecture, msg), 1);
  ASSERT_EQ(engine.ReadCityEntry(prefecture.childBase, 1, &city, msg), 1);  // 千代田区
  struct Expect {
    const char* text;
    int32_t level, variant, oazaConsumed, chomeConsumed, chomeRoute;
    const char* why;
  } cases[] = {
      {"丸の内一丁目", 4, 0, 6, 6, 1, "as written"},
      {"丸内一丁目", 4, 1, 4, 6, 1, "connecting kana: a variant"},
      {"大手町一丁目", 4, 0, 6, 6, 0, "control routes"},
      {"五番町", 4, 0, 6, 0, 1, "numeral rewritten before 番 still counts as written"},
      {"５－１２", 6, 2, 6, 0, 1, "number and unit: the name's length counts"},
  };
  for (const Expect& c : cases) {
    CEditText text;
    ASSERT_EQ(text.Init(c.text), 1);
    NormalizeEditText(nullptr, &d.unification, &text);
    const std::string before = text.GetText();
    NameLevelResult r;
    ASSERT_EQ(engine.MatchOaza(&text, city.childBase, city.childCount, &r, msg), 1) << c.why;
    EXPECT_EQ(std::string(text.GetText()), before) << c.why;
    EXPECT_EQ(r.level, c.level) << c.why;
    EXPECT_EQ(r.variantKind, c.variant) << c.why;
    EXPECT_EQ(r.oazaConsumed, c.oazaConsumed) << c.why;
    EXPECT_EQ(r.chomeConsumed, c.chomeConsumed) << c.why;
    EXPECT_EQ(r.chomeRoute, c.chomeRoute) << c.why;
  }
}

}  // namespace
