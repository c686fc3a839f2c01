// Number analysis of keyword search words, and the block stage's number modes.
#include "tool/keyword_numbers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/message.h"
#include "matching/adrs_context.h"
#include "plat/cp932.h"
#include "support/test_util.h"
#include "tabledb/name_index.h"
#include "tabledb/place_code_registry.h"

namespace {

using testutil::Show;
using testutil::Sjis;

TEST(KeywordNumbers, TrailingNumeralsOfOneKind) {
  std::string head, numeral;
  EXPECT_EQ(SplitTrailingNumeral(Sjis(u8"本町３").c_str(), &head, &numeral), 1);
  EXPECT_EQ(Show(head), Show(Sjis(u8"本町")));
  EXPECT_EQ(Show(numeral), Show(Sjis(u8"３")));
  EXPECT_EQ(SplitTrailingNumeral(Sjis(u8"本町二十").c_str(), &head, &numeral), 1);
  EXPECT_EQ(Show(numeral), Show(Sjis(u8"二十")));
  // The last character fixes the kind: a full-width digit before kanji stays in the head.
  EXPECT_EQ(SplitTrailingNumeral(Sjis(u8"本町１三").c_str(), &head, &numeral), 1);
  EXPECT_EQ(Show(head), Show(Sjis(u8"本町１")));
  EXPECT_EQ(Show(numeral), Show(Sjis(u8"三")));
  EXPECT_EQ(SplitTrailingNumeral(Sjis(u8"１２").c_str(), &head, &numeral), 1);
  EXPECT_EQ(head, "");
  EXPECT_EQ(SplitTrailingNumeral(Sjis(u8"本町").c_str(), &head, &numeral), 0);
  EXPECT_EQ(numeral, "");
  // 表 (95 5C) and ソ (83 5C) end in no numeral.
  EXPECT_EQ(SplitTrailingNumeral(Sjis(u8"表ソ").c_str(), &head, &numeral), 0);
  EXPECT_EQ(SplitTrailingNumeral(nullptr, &head, &numeral), 0);
  EXPECT_EQ(NumeralWordValue(Sjis(u8"１２")), 12);
  EXPECT_EQ(NumeralWordValue(Sjis(u8"百二十三")), 123);
  EXPECT_EQ(NumeralWordValue(Sjis(u8"１丁")), -1);
  EXPECT_EQ(NumeralWordValue(""), -1);
}

std::vector<std::string> Words(std::initializer_list<const char8_t*> words) {
  std::vector<std::string> out;
  for (const char8_t* w : words) out.push_back(Sjis(w));
  return out;
}

TEST(KeywordNumbers, BlockNumbersOfTheWords) {
  BlockNumberWords n = AnalyzeBlockNumbers(Words({u8"丸の内", u8"本町－１２－３"}));
  EXPECT_EQ(n.hyphenWord, 2);
  EXPECT_EQ(Show(n.hyphenHead), Show(Sjis(u8"本町")));
  EXPECT_EQ(n.hyphenValue, 12);
  EXPECT_TRUE(n.numerals.empty());
  // No hyphen form (the part after the hyphen is no numeral of 1 or more):
  // the all-numeral words, then the words with a trailing numeral.
  n = AnalyzeBlockNumbers(Words({u8"本町－Ａ", u8"３", u8"丸の内２", u8"０", u8"１番"}));
  EXPECT_EQ(n.hyphenWord, 0);
  ASSERT_EQ(n.numerals.size(), 1u);
  EXPECT_EQ(n.numerals[0].word, 2);
  EXPECT_EQ(n.numerals[0].value, 3);
  ASSERT_EQ(n.trailing.size(), 1u);  // "３" and "０" begin with a numeral
  EXPECT_EQ(n.trailing[0].word, 3);
  EXPECT_EQ(n.trailing[0].value, 2);
  EXPECT_EQ(n.trailing[0].headLength, Sjis(u8"丸の内").size());
}

TEST(KeywordNumbers, ChangeNumbersOfTheWords) {
  ChangeNumberWords n = AnalyzeChangeNumbers(Words({u8"本町－十二－３"}));
  EXPECT_EQ(n.hyphenCount, 2);
  EXPECT_EQ(n.word, 1);
  EXPECT_EQ(Show(n.head), Show(Sjis(u8"本町")));
  EXPECT_EQ(Show(n.first), Show(Sjis(u8"１２")));
  EXPECT_EQ(Show(n.second), Show(Sjis(u8"３")));
  // The count adds up over the words; the parts are those of the last word.
  n = AnalyzeChangeNumbers(Words({u8"甲－１", u8"丸の内", u8"乙－２－三－４"}));
  EXPECT_EQ(n.hyphenCount, 3);
  EXPECT_EQ(n.word, 3);
  EXPECT_EQ(Show(n.head), Show(Sjis(u8"乙")));
  EXPECT_EQ(Show(n.first), Show(Sjis(u8"２")));
  EXPECT_EQ(Show(n.second), Show(Sjis(u8"３")));
  n = AnalyzeChangeNumbers(Words({u8"甲－イ"}));
  EXPECT_EQ(n.hyphenCount, 1);
  EXPECT_EQ(Show(n.first), Show(Sjis(u8"イ")));  // no numeral: kept as written
  EXPECT_EQ(n.second, "");
  EXPECT_EQ(AnalyzeChangeNumbers(Words({u8"丸の内"})).hyphenCount, 0);
}

// Number mode 0 takes the blocks that contain the number, mode 1 those that
// begin with it: 五番町 has the blocks １２, １４ and イ.
TEST(KeywordNumbers, BlockNumberModes) {
  const char* build = std::getenv("KORT_BUILD_DIR");
  std::string folder;
  if (!build || !*build || !plat::cp932::FromUtf8(build, folder)) GTEST_SKIP();
  folder += Sjis(u8"\\Database\\住所\\");
  testutil::TempDir dir;
  const std::string database = folder + "QVAD13.NDB";
  const std::string work = dir.Sys("work.bin");
  const std::string key = Sjis(u8"５番町");
  char msg[kMessageSize] = "";
  ASSERT_EQ(SearchNameIndexToFile(work.c_str(), key.c_str(), database.c_str(),
                                  (folder + "QVAD13_OAZA.SIF").c_str(), kNameIndexCharacterPair,
                                  kNameIndexAllWords, msg),
            1);
  const struct {
    int mode;
    const char8_t* number;
    const char8_t* blocks;
  } cases[] = {
      {0, u8"２", u8"１２|"},      {1, u8"２", u8""},      {0, u8"１", u8"１２|１４|"},
      {1, u8"１", u8"１２|１４|"}, {0, u8"４", u8"１４|"},
  };
  for (const auto& c : cases) {
    {
      const int mode = c.mode;
      const char8_t* number = c.number;
      CAdrsContext context;
      CStringArray rows;
      context.SetOutputArray(&rows);
      CPlaceCodeRegistry registryA;
      int32_t counter = 0, interrupted = 0;
      KeywordStageArgs args;
      args.context = &context;
      args.databasePath = database.c_str();
      args.counter = &counter;
      args.interrupted = &interrupted;
      args.message = msg;
      args.words = key.c_str();
      KeywordNumberArgs n;
      const std::string blockNumber = Sjis(number);
      n.blockNumber = blockNumber.c_str();
      n.numberMode = mode;
      n.firstCall = 0;
      n.registryA = &registryA;
      const int written = WriteBlockHitsFromFile(work.c_str(), (folder + "QVAD13_CD2.INX").c_str(),
                                                 (folder + "QVAD13_CD4.INX").c_str(), args, n);
      EXPECT_EQ(written, static_cast<int>(rows.size())) << Show(msg);
      std::string blocks;
      for (const std::string& row : rows)
        blocks += row.substr(row.find(Sjis(u8",,,")) + 3, 4) + "|";
      EXPECT_EQ(Show(blocks), Show(Sjis(c.blocks))) << "mode " << mode;
    }
  }
}

}  // namespace
