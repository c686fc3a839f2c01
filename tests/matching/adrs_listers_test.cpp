// The hierarchy listers over the generated sample data set. Every expected
// line is written out by hand from the description files
// (tools/sampledata/data/*.tsv): coordinates in the default format are the
// stored milliseconds, names normalised as a caller normalises them.

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "common/message.h"
#include "common/record_array.h"
#include "common/record_stack.h"
#include "matching/adrs_context.h"
#include "matching/adrs_engine.h"
#include "matching/adrs_listing.h"
#include "matching/dictionary_loaders.h"
#include "matching/normalize.h"
#include "plat/cp932.h"
#include "sample_folder.h"
#include "support/test_util.h"
#include "tabledb/dictionaries.h"
#include "tabledb/place_code_registry.h"
#include "tabledb/table_database.h"

namespace {

using testutil::Show;
using testutil::Sjis;
using Lines = std::initializer_list<std::u8string_view>;
using E = CAdrsEngine;

std::string PrefectureFile(const char* format, int prefecture) {
  char name[32];
  std::snprintf(name, sizeof name, format, prefecture);
  return name;
}

// A UTF-8 literal as std::string, to compare with Show().
std::string U8(std::u8string_view text) { return std::string(text.begin(), text.end()); }

std::string Display(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += Show(line) + "\n";
  return out;
}

class ListerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = sample::Folder(2);
    ASSERT_FALSE(folder_.empty()) << "KORT_BUILD_DIR is not set";
    char msg[kMessageSize] = "";
    ASSERT_EQ(LoadUnificationDictionary((folder_ + Sjis(u8"文字統一.BIN")).c_str(), &unification_,
                                        msg, 1),
              1)
        << Show(msg);
    ASSERT_EQ(LoadReplacementDictionary((folder_ + Sjis(u8"文字置換.BIN")).c_str(), &replacements_,
                                        &unification_, msg, 1),
              1)
        << Show(msg);
    context_.SetOutputArray(&lines_);
    context_.SetOutputStyle(2);
  }
  void TearDown() override {
    engine_.Close();
    db_.Close();
  }

  // Opens prefecture 13 or 26 with its change files, as the listing
  // services open a prefecture.
  void Open(int prefecture) {
    engine_.Close();
    db_.Close();
    ndbPath_ = folder_ + PrefectureFile("QVAD%02d.NDB", prefecture);
    cdbPath_ = folder_ + PrefectureFile("QAD_CH%02d.CDB", prefecture);
    ASSERT_EQ(db_.Open(ndbPath_.c_str()), 1) << Show(ndbPath_);
    ASSERT_EQ(engine_.Open((folder_ + PrefectureFile("QVAD%02d.TIX", prefecture)).c_str(),
                           ProbeIndexFiles(folder_.c_str())),
              1);
    engine_.SetDatabase(&db_);
    engine_.SetContext(&context_);
    engine_.SetChangeHistoryFiles(cdbPath_.c_str(),
                                  (folder_ + PrefectureFile("QAD_CH%02d.CIX", prefecture)).c_str());
    engine_.SetChangeCodeIndexFile(
        (folder_ + PrefectureFile("QAD_CH%02d.CDI", prefecture)).c_str());
  }

  // A name as the listing services hand it on: normalised.
  std::string N(std::u8string_view utf8) {
    char text[512];
    const std::string sjis = Sjis(utf8);
    std::snprintf(text, sizeof text, "%s", sjis.c_str());
    NormalizeSearchText(&replacements_, &unification_, text, sizeof text);
    return text;
  }

  // The lines written since the last check equal the expected ones.
  void ExpectLines(Lines expected) {
    std::vector<std::string> want;
    for (std::u8string_view line : expected) want.push_back(Sjis(line));
    if (lines_ != want) {
      ADD_FAILURE() << "written:\n" << Display(lines_) << "expected:\n" << Display(want);
    }
    lines_.clear();
  }

  // Resets the counters between listings.
  void Reset(int32_t limit = -1) {
    count_ = 0;
    truncated_ = 0;
    limit_ = limit;
    msg_[0] = '\0';
    lines_.clear();
  }

  // Calls a lister with its own arguments, then the fixture's context,
  // counters (and registry, for ListR) and message.
  // Texts may be given as std::string.
  template <typename F, typename... A>
  int List(F f, const A&... a) {
    return (engine_.*f)(Arg(a)..., &context_, &count_, limit_, &truncated_, msg_);
  }
  template <typename F, typename... A>
  int ListR(F f, CPlaceCodeRegistry* registry, const A&... a) {
    return (engine_.*f)(Arg(a)..., &context_, &count_, limit_, &truncated_, registry, msg_);
  }
  static const char* Arg(const std::string& s) { return s.c_str(); }
  template <typename T>
  static T Arg(T t) {
    return t;
  }

  std::string folder_;
  std::string ndbPath_;
  std::string cdbPath_;
  CCharDictionary unification_;
  CRecordList replacements_;
  CAdrsContext context_;
  CStringArray lines_;
  CTableDatabase db_;
  CAdrsEngine engine_;
  int32_t count_ = 0, limit_ = -1, truncated_ = 0;
  char msg_[kMessageSize] = "";
};

// ---- Names and codes of the upper levels ----

TEST_F(ListerTest, PrefecturesInBothStyles) {
  Open(13);
  ASSERT_EQ(List(&E::ListPrefectures), 1);
  ExpectLines({u8"東京都,とうきょうと,128470544,502901675,13,0,1"});
  context_.SetOutputStyle(1);
  Open(26);
  ASSERT_EQ(List(&E::ListPrefectures), 1);
  ExpectLines({u8"京都府,きょうとふ,126064871,488730395,26,0"});
  EXPECT_EQ(count_, 2);
  EXPECT_EQ(truncated_, 0);
}

TEST_F(ListerTest, CoordinatesFollowTheContextFormat) {
  Open(13);
  ASSERT_EQ(context_.SetCoordinateFormat(6), 1);
  ASSERT_EQ(List(&E::ListPrefectures), 1);
  ExpectLines({u8"東京都,とうきょうと,35.686262222,139.694909722,13,0,1"});
}

TEST_F(ListerTest, MunicipalitiesByNameSkipAbolishedRows) {
  Open(13);
  const Lines tokyo = {
      u8"千代田区,ちよだく,128486800,503124494,13101,0,1",
      u8"中央区,ちゅうおうく,128402723,503190970,13102,0,1",
      u8"渋谷区,しぶやく,128378072,502922837,13113,0,1",
      u8"北区,きたく,128698497,503052484,13117,0,1",
      // 田無市 (status 3) is not listed.
      u8"西東京市,にしとうきょうし,128600510,502349503,13229,0,1",
      u8"西多摩郡瑞穂町,にしたまぐんみずほまち,128766445,501686447,13303,0,1",
      // No oaza below: no children.
      u8"大島町,おおしままち,125089052,501692276,13361,0,0",
  };
  ASSERT_EQ(List(&E::ListCitiesByName, N(u8"東京都"), 0), 1) << Show(msg_);
  ExpectLines(tokyo);
  // By reading, and by code.
  ASSERT_EQ(List(&E::ListCitiesByName, N(u8"とうきょうと"), 1), 1) << Show(msg_);
  ExpectLines(tokyo);
  ASSERT_EQ(List(&E::ListCitiesByCode, "13"), 1);
  ExpectLines(tokyo);
  EXPECT_EQ(count_, 21);
}

TEST_F(ListerTest, CountyInBracketsIsAnOption) {
  Open(26);
  ASSERT_EQ(List(&E::ListCitiesByCode, "26"), 1);
  ExpectLines({
      u8"京都市北区,きょうとしきたく,126133149,488722499,26101,0,1",
      u8"京都市中京区,きょうとしなかぎょうく,126026923,488717025,26104,0,1",
      u8"乙訓郡大山崎町,おとくにぐんおおやまざきちょう,125632659,488491686,26303,0,1",
  });
  context_.SetOutputStyle(1);
  // Only the value 1 switches; integer coordinates whatever the format.
  engine_.SetCountyInBrackets(2);
  ASSERT_EQ(List(&E::ListCitiesByName, N(u8"京都府"), 0), 1);
  ExpectLines({
      u8"京都市北区,きょうとしきたく,126133149,488722499,26101,0",
      u8"京都市中京区,きょうとしなかぎょうく,126026923,488717025,26104,0",
      u8"乙訓郡大山崎町,おとくにぐんおおやまざきちょう,125632659,488491686,26303,0",
  });
  engine_.SetCountyInBrackets(1);
  ASSERT_EQ(context_.SetCoordinateFormat(6), 1);
  ASSERT_EQ(List(&E::ListCitiesByName, N(u8"京都府"), 0), 1);
  ExpectLines({
      u8"北区（京都市）,きたく（きょうとし）,126133149,488722499,26101,0",
      u8"中京区（京都市）,なかぎょうく（きょうとし）,126026923,488717025,26104,0",
      u8"大山崎町（乙訓郡）,おおやまざきちょう（おとくにぐん）,125632659,488491686,26303,0",
  });
}

TEST_F(ListerTest, UnknownParentWritesNothingAndLeavesTheLookupText) {
  Open(26);
  ASSERT_EQ(List(&E::ListCitiesByName, N(u8"大阪府"), 0), 1);
  ExpectLines({});
  EXPECT_EQ(Show(msg_), U8(u8"データベースに値が見つかりません！[DATABASE:") + Show(ndbPath_) +
                            U8(u8"][TABLE:TC_Todoufuken][FIELD:都道府県名][VALUE:大阪府]"));
  Reset();
  ASSERT_EQ(List(&E::ListOazaByName, N(u8"京都府"), N(u8"左京区"), 0), 1);
  ExpectLines({});
  EXPECT_NE(Show(msg_).find(U8(u8"[TABLE:TC_Shikutyoson][FIELD:市区町村名][VALUE:左京区]")),
            std::string::npos)
      << Show(msg_);
  Reset();
  ASSERT_EQ(ListR(&E::ListBlocksByCode, nullptr, "26104999000"), 1);
  ExpectLines({});
  EXPECT_NE(Show(msg_).find(U8(u8"[TABLE:TC_Oaza][FIELD:地名コード][VALUE:26104999000]")),
            std::string::npos)
      << Show(msg_);
  EXPECT_EQ(count_, 0);
}

TEST_F(ListerTest, OazaCodesNamesAndChildren) {
  Open(13);
  const std::string tokyo = N(u8"東京都");
  ASSERT_EQ(List(&E::ListOazaByName, tokyo, N(u8"千代田区"), 0), 1);
  ExpectLines({
      u8"丸の内,まるのうち,128440703,503165554,1310101,0,1",
      u8"大手町,おおてまち,128461586,503161954,1310102,0,1",
      u8"五番町,ごばんちょう,128467708,503052146,1310103,0,1",
  });
  // The abolished municipality is found, but its only oaza is abolished too.
  ASSERT_EQ(List(&E::ListOazaByName, tokyo, N(u8"田無市"), 0), 1);
  ExpectLines({});
  // Group-index mode 0: the first 8 characters of the place code.
  ASSERT_EQ(engine_.SetGroupIndexFile(0, nullptr), 1);
  ASSERT_EQ(List(&E::ListOazaByCode, "13101"), 1);
  ExpectLines({
      u8"丸の内,まるのうち,128440703,503165554,13101001,0,1",
      u8"大手町,おおてまち,128461586,503161954,13101002,0,1",
      u8"五番町,ごばんちょう,128467708,503052146,13101003,0,1",
  });

  Open(26);
  ASSERT_EQ(engine_.SetGroupIndexFile(1, ""), 1);
  ASSERT_EQ(List(&E::ListOazaByCode, "26104"), 1);
  ExpectLines({
      u8"河原町通三条上る,かわらまちどおりさんじょうあがる,126023656,488781168,2610401,0,1",
      u8"恵比須町,えびすちょう,126023656,488781168,2610401,0,1",
      u8"寺町,てらまち,126038778,488773248,2610402,0,1",
      u8"船屋町,ふなやちょう,126018256,488732924,2610404,0,1",
      u8"舟屋町,ふなやちょう,126010695,488746964,2610403,0,1",
      u8"亀屋町,かめやちょう,126026177,488741205,2610405,0,1",
      // An 8-group code has no children to list.
      u8"亀屋町,かめやちょう,126020417,488691160,800001,0,0",
  });
  // The no-oaza placeholder is written with empty names.
  ASSERT_EQ(List(&E::ListOazaByCode, "26303"), 1);
  ExpectLines({u8",,125632659,488491686,2630301,0,1"});
}

TEST_F(ListerTest, ChomeOfEveryOazaOfTheName) {
  Open(13);
  const std::string tokyo = N(u8"東京都");
  ASSERT_EQ(List(&E::ListChomeByName, tokyo, N(u8"千代田区"), N(u8"丸の内"), 0), 1);
  ExpectLines({
      u8"一丁目,いっちょうめ,128446464,503165554,13101001001,0,1",
      u8"二丁目,にちょうめ,128436383,503158353,13101001002,0,1",
      u8"三丁目,さんちょうめ,128425582,503156552,13101001003,0,1",
  });
  // Blocks only in the change files still count as children.
  ASSERT_EQ(List(&E::ListChomeByName, tokyo, N(u8"西多摩郡瑞穂町"), N(u8"大字箱根ケ崎"), 0), 1);
  ExpectLines({
      u8",,128760444,501671444,13303001000,0,1",
      u8"東松原,ひがしまつばら,128776646,501655244,13303001A00,0,1",
  });

  Open(26);
  const std::string kyoto = N(u8"京都府");
  ASSERT_EQ(List(&E::ListChomeByName, kyoto, N(u8"京都市中京区"), N(u8"亀屋町"), 0), 1);
  ExpectLines({
      u8",,126026177,488741205,26104130000,0,0",
      u8",,126020417,488691160,26104131000,0,0",
  });
  ASSERT_EQ(List(&E::ListChomeByName, kyoto, N(u8"京都市北区"), N(u8"紫野"), 0), 1);
  ExpectLines({
      u8"大徳寺町,だいとくじちょう,126145711,488696206,26101001001,0,1",
      u8"北舟岡町,きたふなおかちょう,126120508,488686124,26101001002,0,0",
  });
  // By reading; an aza with a block only in the change-code index.
  ASSERT_EQ(List(&E::ListChomeByName, N(u8"きょうとふ"), N(u8"おとくにぐんおおやまざきちょう"),
                 N(u8"おおあざなし"), 1),
            1)
      << Show(msg_);
  ExpectLines({
      u8"大山崎,おおやまざき,125597736,488457121,26303000001,0,1",
      u8"円明寺,えんみょうじ,125639140,488496006,26303000002,0,0",
  });
}

// ---- Blocks ----

// 丸の内一丁目: TC_Gaiku blocks 1, 2 (name from the code), 3 (status 5 and
// A), 5 (status 3, then 0), 6; the change history's blocks 1 and 4 (its
// block 2 begins with a lot: no block row); the change-code index's blocks
// 1 and 8 (the point of their first lot).
constexpr std::u8string_view kMarunouchiGaiku[] = {
    u8"１,,128451865,503163754,1310100100100001,0,1",
    u8"２,,128448984,503158353,1310100100100002,0,1",
    u8"３,,128445744,503169874,1310100100100003,0,0",
    u8"５,,128442864,503164834,1310100100100005,0,0",
    u8"６,,128439983,503169154,1310100100100006,0,0",
};
constexpr std::u8string_view kMarunouchiHistory1 = u8"１,,128451865,503163754,1310100100100001,0,1";
constexpr std::u8string_view kMarunouchiHistory4 = u8"４,,128444304,503161233,1310100100100004,0,1";
constexpr std::u8string_view kMarunouchiIndex1 = u8"１,,128452585,503162674,1310100100100001,0,1";
constexpr std::u8string_view kMarunouchiIndex8 = u8"８,,128438903,503164474,1310100100100008,0,1";

TEST_F(ListerTest, BlocksFromAllThreeSourcesWithoutRegistry) {
  Open(13);
  ASSERT_EQ(ListR(&E::ListBlocksByName, nullptr, N(u8"東京都"), N(u8"千代田区"), N(u8"丸の内"),
                  N(u8"一丁目"), 0),
            1)
      << Show(msg_);
  ExpectLines({kMarunouchiGaiku[0], kMarunouchiGaiku[1], kMarunouchiGaiku[2], kMarunouchiGaiku[3],
               kMarunouchiGaiku[4], kMarunouchiHistory1, kMarunouchiHistory4, kMarunouchiIndex1,
               kMarunouchiIndex8});
  EXPECT_EQ(count_, 9);
}

TEST_F(ListerTest, RegistryWritesEachBlockOnceOverCalls) {
  Open(13);
  CPlaceCodeRegistry registry;
  ASSERT_EQ(ListR(&E::ListBlocksByCode, &registry, "13101001001"), 1) << Show(msg_);
  ExpectLines({kMarunouchiGaiku[0], kMarunouchiGaiku[1], kMarunouchiGaiku[2], kMarunouchiGaiku[3],
               kMarunouchiGaiku[4], kMarunouchiHistory4, kMarunouchiIndex8});
  ASSERT_EQ(ListR(&E::ListBlocksByName, &registry, N(u8"東京都"), N(u8"千代田区"), N(u8"丸の内"),
                  N(u8"一丁目"), 0),
            1);
  ExpectLines({});
  EXPECT_EQ(count_, 7);
}

TEST_F(ListerTest, BlocksOnlyInTheChangeFiles) {
  Open(13);
  CPlaceCodeRegistry registry;
  // 箱根ケ崎: history blocks 12 and イ (2335 begins with a lot), index
  // block 2335.
  ASSERT_EQ(ListR(&E::ListBlocksByCode, &registry, "13303001000"), 1) << Show(msg_);
  ExpectLines({
      u8"１２,,128763324,501668564,1330300100000012,0,1",
      u8"イ,,128758644,501675045,13303001000A0001,0,1",
      u8"２３３５,,128755043,501682965,1330300100002335,0,1",
  });
  // 東松原 (aza part A00): index blocks 10, 15 and the letter-coded ロ.
  ASSERT_EQ(ListR(&E::ListBlocksByCode, &registry, "13303001A00"), 1) << Show(msg_);
  ExpectLines({
      u8"１０,,128777726,501653444,13303001A0000010,0,1",
      u8"１５,,128780606,501657764,13303001A0000015,0,1",
      u8"ロ,,128782046,501652724,13303001A00A0001,0,1",
  });
  // Without the change files only TC_Gaiku is asked, for rows and children.
  context_.SetUseChangeHistory(0);
  ASSERT_EQ(ListR(&E::ListBlocksByCode, nullptr, "13101001001"), 1);
  ExpectLines({
      u8"１,,128451865,503163754,1310100100100001,0,0",
      u8"２,,128448984,503158353,1310100100100002,0,0",
      u8"３,,128445744,503169874,1310100100100003,0,0",
      u8"５,,128442864,503164834,1310100100100005,0,0",
      u8"６,,128439983,503169154,1310100100100006,0,0",
  });
}

TEST_F(ListerTest, BlockWalkByCodePassesOverOazaWithoutTheChome) {
  Open(26);
  // The group of 26104124000 also holds 河原町通三条上る, whose chome is
  // another code; 恵比須町's history block 427 has no lots.
  ASSERT_EQ(ListR(&E::ListBlocksByCode, nullptr, "26104124000"), 1) << Show(msg_);
  ExpectLines({u8"４２７,,126023296,488781528,2610412400000427,0,0"});
  context_.SetOutputStyle(1);
  ASSERT_EQ(ListR(&E::ListBlocksByName, nullptr, N(u8"京都府"), N(u8"京都市中京区"),
                  N(u8"河原町通三条上る"), N(u8"恵比須町"), 0),
            1)
      << Show(msg_);
  ExpectLines({u8"４２７,,126023296,488781528,2610412490100427,0"});
  // 五番町 (13): a letter-coded TC_Gaiku block.
  Open(13);
  ASSERT_EQ(
      ListR(&E::ListBlocksByName, nullptr, N(u8"東京都"), N(u8"千代田区"), N(u8"五番町"), "", 0), 1)
      << Show(msg_);
  ExpectLines({
      u8"１２,,128466988,503050345,1310100300000012,0",
      u8"１４,,128468788,503054666,1310100300000014,0",
      u8"イ,,128465188,503053225,13101003000A0001,0",
  });
}

// ---- Lots ----

TEST_F(ListerTest, LotsFromHistoryAndIndex) {
  Open(13);
  const std::string tokyo = N(u8"東京都");
  const std::string chiyoda = N(u8"千代田区");
  const std::string marunouchi = N(u8"丸の内");
  const std::string itchome = N(u8"一丁目");
  ASSERT_EQ(ListR(&E::ListLotsByName, nullptr, tokyo, chiyoda, marunouchi, itchome, N(u8"１"), 0),
            1)
      << Show(msg_);
  ExpectLines({
      u8"１,,128452585,503162674,131010010010000100001,0,0",
      u8"３,,128451865,503164114,131010010010000100003,0,0",
      u8"５,,128451145,503165194,131010010010000100005,0,0",
      u8"１,,128452585,503162674,131010010010000100001,0,0",
      u8"５,,128451145,503165194,131010010010000100005,0,0",
      u8"７,,128450785,503165914,131010010010000100007,0,0",
  });
  CPlaceCodeRegistry registry;
  ASSERT_EQ(ListR(&E::ListLotsByCode, &registry, "1310100100100001"), 1);
  ExpectLines({
      u8"１,,128452585,503162674,131010010010000100001,0,0",
      u8"３,,128451865,503164114,131010010010000100003,0,0",
      u8"５,,128451145,503165194,131010010010000100005,0,0",
      u8"７,,128450785,503165914,131010010010000100007,0,0",
  });
  // The abolished lot 3 is left out; the named lot 甲 has a letter code.
  ASSERT_EQ(ListR(&E::ListLotsByCode, &registry, "1330300100000012"), 1);
  ExpectLines({
      u8"１,,128763684,501667844,133030010000001200001,0,0",
      u8"２,,128762964,501669284,133030010000001200002,0,0",
      u8"甲,,128764044,501668924,1330300100000012A0001,0,0",
  });
  // A named block by name (under the placeholder chome; the name as
  // stored: normalising would make it hiragana) and by code.
  context_.SetOutputStyle(1);
  ASSERT_EQ(ListR(&E::ListLotsByName, nullptr, tokyo, N(u8"西多摩郡瑞穂町"), N(u8"大字箱根ケ崎"),
                  "", Sjis(u8"イ"), 0),
            1)
      << Show(msg_);
  ExpectLines({u8"１,,128759004,501675405,13303001000A000100001,0"});
  ASSERT_EQ(ListR(&E::ListLotsByCode, nullptr, "13303001000A0001"), 1);
  ExpectLines({u8"１,,128759004,501675405,13303001000A000100001,0"});
  ASSERT_EQ(ListR(&E::ListLotsByCode, nullptr, "13303001A00A0001"), 1);
  ExpectLines({u8"１,,128782046,501652724,13303001A00A000100001,0"});
  // Block 2335 in both files: twice without a registry.
  ASSERT_EQ(ListR(&E::ListLotsByCode, nullptr, "1330300100002335"), 1);
  ExpectLines({
      u8"１,,128755043,501682965,133030010000233500001,0",
      u8"２,,128754683,501684045,133030010000233500002,0",
      u8"１,,128755043,501682965,133030010000233500001,0",
      u8"２,,128754683,501684045,133030010000233500002,0",
  });

  Open(26);
  ASSERT_EQ(ListR(&E::ListLotsByCode, &registry, "2630300000100003"), 1);
  ExpectLines({
      u8"１,,125598456,488456401,263030000010000300001,0",
      u8"２,,125598096,488457481,263030000010000300002,0",
      u8"４,,125597376,488458561,263030000010000300004,0",
  });
}

// ---- The limit ----

TEST_F(ListerTest, LimitStopsBeforeTheNextLineAndSetsTheFlag) {
  Open(13);
  const std::string tokyo = N(u8"東京都");
  // Limit 0 with a row to list.
  Reset(0);
  ASSERT_EQ(List(&E::ListPrefectures), 1);
  ExpectLines({});
  EXPECT_EQ(truncated_, 1);
  // Exactly as many rows as the limit: not interrupted.
  Reset(7);
  ASSERT_EQ(List(&E::ListCitiesByCode, "13"), 1);
  EXPECT_EQ(lines_.size(), 7u);
  EXPECT_EQ(truncated_, 0);
  // One fewer.
  Reset(6);
  ASSERT_EQ(List(&E::ListCitiesByName, tokyo, 0), 1);
  EXPECT_EQ(lines_.size(), 6u);
  EXPECT_EQ(truncated_, 1);
  // The count is shared: a second call goes on from it.
  Reset(8);
  count_ = 5;
  ASSERT_EQ(ListR(&E::ListBlocksByCode, nullptr, "13101001001"), 1);
  ExpectLines({kMarunouchiGaiku[0], kMarunouchiGaiku[1], kMarunouchiGaiku[2]});
  EXPECT_EQ(count_, 8);
  EXPECT_EQ(truncated_, 1);
  // The limit is reached inside the change history's lots.
  Reset(2);
  ASSERT_EQ(ListR(&E::ListLotsByCode, nullptr, "1310100100100001"), 1);
  ExpectLines({
      u8"１,,128452585,503162674,131010010010000100001,0,0",
      u8"３,,128451865,503164114,131010010010000100003,0,0",
  });
  EXPECT_EQ(truncated_, 1);
}

// ---- Failures ----

TEST_F(ListerTest, WriteFailureNamesTheSourceAndKeepsTheCount) {
  Open(13);
  char buffer[60];
  context_.SetOutputBuffer(buffer, sizeof buffer);
  ASSERT_EQ(List(&E::ListCitiesByCode, "13"), 0);
  EXPECT_EQ(count_, 1);
  EXPECT_EQ(std::string(buffer), Sjis(u8"千代田区,ちよだく,128486800,503124494,13101,0,1"));
  EXPECT_EQ(Show(msg_), U8(u8"検索結果の取得に失敗しました！[DATABASE:") + Show(ndbPath_) +
                            "][TABLE:TC_Shikutyoson]");
  // A lot of the change history: its data file and TC_Chiban.
  char small[8];
  context_.SetOutputBuffer(small, sizeof small);
  Reset();
  ASSERT_EQ(ListR(&E::ListLotsByCode, nullptr, "1310100100100001"), 0);
  EXPECT_EQ(count_, 0);
  EXPECT_EQ(Show(msg_), U8(u8"検索結果の取得に失敗しました！[DATABASE:") + Show(cdbPath_) +
                            "][TABLE:TC_Chiban]");
}

TEST_F(ListerTest, ClosedEngineAndMissingArgumentsFail) {
  ASSERT_EQ(List(&E::ListPrefectures), 0);
  EXPECT_EQ(Show(msg_), U8(u8"インデックスファイルがオープンされていません！"));
  Open(13);
  EXPECT_EQ(engine_.ListPrefectures(nullptr, &count_, limit_, &truncated_, msg_), 0);
  EXPECT_EQ(engine_.ListCitiesByCode("13", &context_, nullptr, limit_, &truncated_, msg_), 0);
  ExpectLines({});
}

TEST_F(ListerTest, UnreadableRowDuringNameWalkFailsInsteadOfNotFound) {
  // A copy of the database cut short: the index still points at rows that
  // are no longer there, and their reads fail.
  testutil::TempDir dir;
  std::string native;
  ASSERT_TRUE(plat::cp932::ToUtf8(folder_ + "QVAD13.NDB", native));
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  const std::string bytes = testutil::ReadBytes(native);
  ASSERT_GT(bytes.size(), 1000u);
  Open(13);
  const std::string cut = dir.Sys("QVAD13.NDB");
  // The prefecture and municipality rows come first in the file.
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("QVAD13.NDB"), bytes.substr(0, bytes.size() / 3)));
  db_.Close();
  ASSERT_EQ(db_.Open(cut.c_str()), 1);
  engine_.SetDatabase(&db_);
  const int result = ListR(&E::ListBlocksByName, nullptr, N(u8"東京都"), N(u8"千代田区"),
                           N(u8"丸の内"), N(u8"一丁目"), 0);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Show(msg_).find(U8(u8"データベースに値が見つかりません！")), std::string::npos)
      << Show(msg_);
  EXPECT_NE(Show(msg_).find(U8(u8"データベースの値の取得に失敗しました！")), std::string::npos)
      << Show(msg_);
  EXPECT_EQ(engine_.HasBlocksOrLots("13101001001", msg_), -1);
}

// ---- Questions and lookups ----

TEST_F(ListerTest, HasBlocksOrLotsFollowsTheCodeWalk) {
  Open(13);
  msg_[0] = '\0';
  EXPECT_EQ(engine_.HasBlocksOrLots("13101001001", msg_), 1);
  EXPECT_EQ(engine_.HasBlocksOrLots("13303001A00", msg_), 1);
  EXPECT_EQ(engine_.HasBlocksOrLots("13101001999", msg_), 0);
  EXPECT_STREQ(msg_, "");
  Open(26);
  EXPECT_EQ(engine_.HasBlocksOrLots("26101001002", msg_), 0);
  EXPECT_EQ(engine_.HasBlocksOrLots("26104124000", msg_), 1);
  EXPECT_EQ(engine_.HasLotsForBlock("26303000001", N(u8"３").c_str(), msg_), 1);
  EXPECT_EQ(engine_.HasLotsForBlock("26104124000", N(u8"４２７").c_str(), msg_), 0);
}

TEST_F(ListerTest, CityCodeOfAGroupCode) {
  Open(26);
  char code[16] = "x";
  EXPECT_EQ(engine_.SetGroupIndexFile(0, nullptr), 1);
  EXPECT_EQ(engine_.LookupCityCodeByGroupCode("800001", code, sizeof code, msg_), 0);
  EXPECT_EQ(Show(msg_), U8(u8"グループコード取得の初期化がされていません！"));
  const std::string index = folder_ + "QVAD26_CDG.TIX";
  ASSERT_EQ(engine_.SetGroupIndexFile(1, index.c_str()), 1);
  ASSERT_EQ(engine_.LookupCityCodeByGroupCode("800001", code, sizeof code, msg_), 1) << Show(msg_);
  EXPECT_STREQ(code, "26104");
  ASSERT_EQ(engine_.LookupCityCodeByGroupCode("2630301", code, sizeof code, msg_), 1);
  EXPECT_STREQ(code, "26303");
  EXPECT_EQ(engine_.LookupCityCodeByGroupCode("2699999", code, sizeof code, msg_), 0);
  EXPECT_EQ(Show(msg_), U8(u8"データベースに値が見つかりません！[DATABASE:") + Show(ndbPath_) +
                            U8(u8"][TABLE:TC_Oaza][FIELD:グループコード][VALUE:2699999]"));
  const std::string missing = folder_ + "QVAD47_CDG.TIX";
  ASSERT_EQ(engine_.SetGroupIndexFile(1, missing.c_str()), 1);
  EXPECT_EQ(engine_.LookupCityCodeByGroupCode("800001", code, sizeof code, msg_), 0);
  EXPECT_EQ(Show(msg_), U8(u8"ファイルオープンエラー!(") + Show(missing) + ")");
}

// ---- Tree dump ----

// The expected dump of prefecture 13, written by hand from the description
// (tests/fixtures/listers/dump_13.txt, UTF-8), as the CP932 text file the
// dump writes: CR LF after every line.
std::string ExpectedDump13() {
  // The source tree is compiled in (a compiler cache may make __FILE__ relative).
  const std::string utf8 =
      testutil::ReadBytes(std::string(KORT_SOURCE_DIR) + "/tests/fixtures/listers/dump_13.txt");
  std::string text;
  if (utf8.empty() || !plat::cp932::FromUtf8(utf8, text)) return std::string();
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

class DumpTest : public ::testing::Test {
 protected:
  // The CP932 path of a file in a sample folder, and its native path.
  static std::string InFolder(int kind, const char* name) { return sample::Folder(kind) + name; }
  testutil::TempDir dir_;
  char msg_[kMessageSize] = "";
};

TEST_F(DumpTest, DumpOfOnePrefectureEqualsTheExpectedFile) {
  ASSERT_FALSE(sample::Folder(2).empty()) << "KORT_BUILD_DIR is not set";
  const std::string expected = ExpectedDump13();
  ASSERT_FALSE(expected.empty()) << "dump_13.txt not found";
  const std::string out = dir_.Sys("dump.txt");
  ASSERT_EQ(DumpDatasetToFile(InFolder(1, "QVAD13.NDB").c_str(), InFolder(1, "QVAD13.TIX").c_str(),
                              out.c_str(), msg_),
            1)
      << Show(msg_);
  EXPECT_EQ(Show(testutil::ReadBytes(dir_.Native("dump.txt"))), Show(expected));
}

// The main data set's index carries check bytes (kind 2): the dump probes
// the kind instead of assuming the magic of kind 1.
TEST_F(DumpTest, DumpsDatasetWhoseIndexHasCheckBytes) {
  ASSERT_FALSE(sample::Folder(2).empty()) << "KORT_BUILD_DIR is not set";
  const std::string out = dir_.Sys("dump.txt");
  ASSERT_EQ(DumpDatasetToFile(InFolder(2, "QVAD13.NDB").c_str(), InFolder(2, "QVAD13.TIX").c_str(),
                              out.c_str(), msg_),
            1)
      << Show(msg_);
  EXPECT_EQ(Show(testutil::ReadBytes(dir_.Native("dump.txt"))), Show(ExpectedDump13()));
}

TEST_F(DumpTest, FailuresLeaveNoOutputBehind) {
  ASSERT_FALSE(sample::Folder(2).empty()) << "KORT_BUILD_DIR is not set";
  const std::string out = dir_.Sys("dump.txt");
  const std::string tix = InFolder(2, "QVAD13.TIX");
  // The output cannot be created.
  const std::string badOut = dir_.Sys("missing\\dump.txt");
  EXPECT_EQ(DumpDatasetToFile(InFolder(2, "QVAD13.NDB").c_str(), tix.c_str(), badOut.c_str(), msg_),
            0);
  EXPECT_EQ(Show(msg_), U8(u8"ファイルの作成に失敗しました！(") + Show(badOut) + ")");
  // No database.
  const std::string ndb = InFolder(2, "QVAD47.NDB");
  EXPECT_EQ(DumpDatasetToFile(ndb.c_str(), tix.c_str(), out.c_str(), msg_), 0);
  EXPECT_EQ(Show(msg_), U8(u8"ファイルオープンエラー!(") + Show(ndb) + ")");
  EXPECT_FALSE(testutil::Exists(dir_.Native("dump.txt")));
  // An index that is not one.
  const std::string notIndex = InFolder(2, "QVAD13_CD1.INX");
  EXPECT_EQ(
      DumpDatasetToFile(InFolder(2, "QVAD13.NDB").c_str(), notIndex.c_str(), out.c_str(), msg_), 0);
  EXPECT_EQ(Show(msg_), U8(u8"ファイルオープンエラー!(") + Show(notIndex) + ")");
  EXPECT_FALSE(testutil::Exists(dir_.Native("dump.txt")));
}

// A failed dump leaves an earlier file at the output path byte for byte
// and a device named as the output where it was.
TEST_F(DumpTest, AFailedDumpLeavesAnEarlierOutputOrADeviceAsItWas) {
  ASSERT_FALSE(sample::Folder(2).empty()) << "KORT_BUILD_DIR is not set";
  const std::string ndb = InFolder(2, "QVAD47.NDB"), tix = InFolder(2, "QVAD13.TIX");
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("dump.txt"), "earlier\r\n"));
  EXPECT_EQ(DumpDatasetToFile(ndb.c_str(), tix.c_str(), dir_.Sys("dump.txt").c_str(), msg_), 0);
  EXPECT_EQ(testutil::ReadBytes(dir_.Native("dump.txt")), "earlier\r\n");
  if (testutil::MakeCharDevice(dir_.Native("full"), 1, 7)) {
    // Into the device the dump fails writing, and the device stays.
    EXPECT_EQ(DumpDatasetToFile(InFolder(2, "QVAD13.NDB").c_str(), tix.c_str(),
                                dir_.Sys("full").c_str(), msg_),
              0);
    EXPECT_NE(msg_[0], '\0');
    EXPECT_TRUE(testutil::IsCharDevice(dir_.Native("full"), 1, 7));
    EXPECT_EQ(DumpDatasetToFile(ndb.c_str(), tix.c_str(), dir_.Sys("full").c_str(), msg_), 0);
    EXPECT_TRUE(testutil::IsCharDevice(dir_.Native("full"), 1, 7));
  }
  EXPECT_EQ(testutil::FolderNames(dir_.path()).size(),
            testutil::Exists(dir_.Native("full")) ? 2u : 1u);
}

TEST_F(ListerTest, DumpWriteFailureNamesTheTable) {
  Open(13);
  // Room for the prefecture line and the first municipality line only.
  const std::string first = Sjis(u8"T_1,0,1,1,13,128470544,502901675,東京都,とうきょうと,0");
  const std::string second = Sjis(u8"T_2,0,1,8,13101,128486800,503124494,,,千代田区,ちよだく,0");
  std::vector<char> buffer(first.size() + 1 + second.size() + 1);
  context_.SetOutputBuffer(buffer.data(), static_cast<int32_t>(buffer.size()));
  EXPECT_EQ(engine_.DumpAddressTree(&context_, msg_), 0);
  EXPECT_EQ(Show(msg_),
            U8(u8"検索結果の取得に失敗しました！[DATABASE:") + Show(ndbPath_) + "][TABLE:TC_Oaza]");
  EXPECT_EQ(std::string(buffer.data()), first + ";" + second);
}

TEST(ListingHelpers, StatusTextAndEightGroupCodes) {
  EXPECT_EQ(ParseStatusText("3"), 3);
  EXPECT_EQ(ParseStatusText("-2"), -2);
  EXPECT_EQ(ParseStatusText("A"), 0);
  EXPECT_EQ(ParseStatusText(""), 0);
  EXPECT_EQ(ParseStatusText("-2147483648"), 0);
  EXPECT_EQ(IsNoChildOazaCode("800001"), 1);
  EXPECT_EQ(IsNoChildOazaCode("8000012"), 0);
  EXPECT_EQ(IsNoChildOazaCode("700001"), 0);
  EXPECT_EQ(IsNoChildOazaCode(nullptr), 0);
}

}  // namespace
