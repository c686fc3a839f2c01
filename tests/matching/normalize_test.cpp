#include "matching/normalize.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "common/message.h"
#include "support/test_util.h"

namespace {

using testutil::Show;

// In-memory dictionaries of pair records.
struct Dictionaries {
  CCharDictionary unification;
  CRecordList replacements;

  Dictionaries(std::vector<std::pair<std::string, std::string>> unify,
               std::vector<std::pair<std::string, std::string>> pairs) {
    EXPECT_EQ(unification.Create(8, sizeof(PairRecord), 8), 1);
    for (const auto& [s, r] : unify) Add(unification, s, r);
    unification.Sort(1, unification.GetCount(), CompareDictionaryKeys);
    EXPECT_EQ(replacements.Create(8, sizeof(PairRecord), 8), 1);
    for (const auto& [s, r] : pairs) Add(replacements, s, r);
  }
  template <typename C>
  static void Add(C& c, const std::string& s, const std::string& r) {
    PairRecord rec{};
    std::strcpy(rec.search, s.c_str());
    std::strcpy(rec.replacement, r.c_str());
    EXPECT_EQ(c.Add(&rec), 1);
  }
};

// A small unification dictionary and replacement list of the usual kinds:
// variant kanji, katakana and small-kana forms, hyphen-like characters, and
// a few words.
Dictionaries& Common() {
  static Dictionaries d(
      {
          {"髙", "高"},
          {"\xFA\xB1", "崎"},  // 﨑
          {"ゐ", "イ"},        // gives katakana: converted again
          {"ゑ", "ぇ"},        // gives small kana: enlarged again
          {"ヶ", "ケ"},
          {"―", "－"},
          {"ー", "－"},
          {"之", "の"},
          {"齋", "斎"},
      },
      {
          {"大字", ""},
          {"丁目", "－"},
          {"－－", "－"},
          {"番地", "－"},
          {"１０００", "千"},
      });
  return d;
}

std::string Plain(const std::string& in, const CRecordList* list, CCharDictionary* dict) {
  char buffer[600];
  std::strcpy(buffer, in.c_str());
  EXPECT_EQ(NormalizeSearchText(list, dict, buffer, sizeof buffer), 1) << Show(in);
  return buffer;
}

std::string Edited(const std::string& in, const CRecordList* list, CCharDictionary* dict) {
  CEditText e;
  EXPECT_EQ(e.Init(in.c_str()), 1);
  EXPECT_EQ(NormalizeEditText(list, dict, &e), 1);
  return e.GetText() ? e.GetText() : "<null>";
}

struct Example {
  const char* in;
  const char* out;
};

void CheckBothPaths(const std::vector<Example>& examples, const CRecordList* list,
                    CCharDictionary* dict) {
  for (const Example& x : examples) {
    EXPECT_EQ(Plain(x.in, list, dict), x.out)
        << Show(x.in) << " -> " << Show(Plain(x.in, list, dict));
    EXPECT_EQ(Edited(x.in, list, dict), x.out)
        << Show(x.in) << " -> " << Show(Edited(x.in, list, dict));
  }
}

TEST(NormalizeSearchText, NumeralsBeforeUnitWords) {
  CheckBothPaths({{"", ""},
                  {"三丁目", "３丁目"},
                  {"２丁目", "２丁目"},
                  {"１二丁目", "１二丁目"},
                  {"十五番地", "１５番地"},
                  {"四条", "４条"},
                  {"二十三", "２３"},
                  {"十万番", "十万番"},
                  {"12番", "１２番"},
                  {"丁目", "丁目"},
                  {"北十二条西四丁目", "北１２条西４丁目"},
                  {"一地割", "１地割"},
                  {"千代田区", "千代田区"},
                  {"五－3", "５－３"}},
                 nullptr, nullptr);
}

// The unit word ノ can never be seen: the katakana step has made it の.
TEST(NormalizeSearchText, KatakanaNoIsNoUnitWordAfterTheKanaStep) {
  CheckBothPaths({{"十二ノ三", "十二の３"}, {"三ノ輪", "三の輪"}}, nullptr, nullptr);
}

TEST(NormalizeSearchText, HyphenForms) {
  // Without a dictionary: the width step only.
  CheckBothPaths({{"1-2", "１－２"}, {"ｰ", "ー"}, {"‐", "‐"}, {"ー", "ー"}, {"―", "―"}}, nullptr,
                 nullptr);
  // Any dictionary, even an empty one, turns "‐" into "－".
  CCharDictionary empty;
  ASSERT_EQ(empty.Create(1, sizeof(PairRecord), 1), 1);
  CheckBothPaths({{"３‐５", "３－５"}, {"ー", "ー"}}, nullptr, &empty);
  // Dictionary entries do the rest.
  CheckBothPaths({{"３‐５ー７―９", "３－５－７－９"}}, nullptr, &Common().unification);
}

TEST(NormalizeSearchText, KanaForms) {
  CheckBothPaths({{"カスミガセキ", "かすみがせき"},
                  {"ｶﾞ", "が"},
                  {"ｶｽﾐｶﾞｾｷ", "かすみがせき"},
                  {"チョウメ", "ちようめ"},
                  {"ヴヵヶ", "ヴヵヶ"},
                  {"霞ヶ関", "霞ヶ関"},
                  {"霞ケ関", "霞け関"},
                  {"ｧｨ", "あい"}},
                 nullptr, nullptr);
  // The dictionary output goes through the kana steps again.
  CheckBothPaths({{"霞ヶ関", "霞け関"},
                  {"ゐ", "い"},
                  {"ゑ", "え"},
                  {"髙田馬場", "高田馬場"},
                  {"宮\xFA\xB1", "宮崎"}},
                 nullptr, &Common().unification);
}

TEST(NormalizeSearchText, ReplacementPairsLast) {
  Dictionaries& d = Common();
  CheckBothPaths({{"大字芝三丁目五番地", "芝３－５－"}, {"１０００番", "千番"}, {"ABC", "ＡＢＣ"}},
                 &d.replacements, &d.unification);
  // A unification that a replacement depends on comes first.
  Dictionaries order({{"ヶ", "ケ"}}, {{"けや", "X"}});
  CheckBothPaths({{"ヶや", "X"}}, &order.replacements, &order.unification);
}

TEST(NormalizeSearchText, RefusesWhatDoesNotFit) {
  char small[8] = "abc";
  EXPECT_EQ(NormalizeSearchText(nullptr, nullptr, small, sizeof small), 1);  // 6 bytes fit
  EXPECT_STREQ(small, "ａｂｃ");
  char tight[7] = "abcd";
  EXPECT_EQ(NormalizeSearchText(nullptr, nullptr, tight, sizeof tight), 0);
  EXPECT_STREQ(tight, "abcd");
  // A result over 511 bytes, although the buffer is large.
  std::vector<char> big(2048, '\0');
  std::memset(big.data(), 'a', 300);
  EXPECT_EQ(NormalizeSearchText(nullptr, nullptr, big.data(), big.size()), 0);
  EXPECT_EQ(std::strlen(big.data()), 300u);
  std::memset(big.data(), 'a', 255);
  big[255] = '\0';
  EXPECT_EQ(NormalizeSearchText(nullptr, nullptr, big.data(), big.size()), 1);
  EXPECT_EQ(std::strlen(big.data()), 510u);
}

TEST(NormalizeSearchText, RefusesAnOverlongSearchTextCleanly) {
  std::string input(2000, 'a');
  for (std::size_t k = 0; k < input.size(); k += 7) input.replace(k, 2, "三");
  char msg[kMessageSize] = "";
  EXPECT_EQ(CheckSearchTextLength(input.c_str(), msg), 0);
  EXPECT_STREQ(msg, "パラメータに無効な値が渡されました！(検索文字列)");
  EXPECT_EQ(CheckSearchTextLength(nullptr, msg), 0);
  EXPECT_EQ(CheckSearchTextLength(std::string(511, 'a').c_str(), msg), 1);
  EXPECT_EQ(CheckSearchTextLength(std::string(512, 'a').c_str(), msg), 0);

  std::vector<char> buffer(input.begin(), input.end());
  buffer.push_back('\0');
  buffer.resize(8192, '\0');
  EXPECT_EQ(NormalizeSearchText(&Common().replacements, &Common().unification, buffer.data(),
                                buffer.size()),
            0);
  EXPECT_EQ(std::string(buffer.data()), input);
  EXPECT_EQ(NormalizeSearchWords(&Common().unification, &Common().replacements, buffer.data(),
                                 buffer.size()),
            0);
  EXPECT_EQ(ParseNumberUnit(buffer.data(), buffer.size()), 0);
  EXPECT_EQ(std::string(buffer.data()), input);
  CEditText e;
  EXPECT_EQ(e.Init(input.c_str()), 0);
  EXPECT_EQ(NormalizeEditText(nullptr, nullptr, &e), 0);
}

// --- both paths, every edit mappable -----------------------------------------

const std::vector<std::string>& Corpus() {
  // "\x82": a lone lead byte at the end.
  static const std::vector<std::string> corpus = {
      "", "東京都千代田区霞が関一丁目", "東京都千代田区霞ヶ関１－３－１",
      "東京都港区芝公園四丁目2-8", "ﾄｳｷｮｳﾄ ﾁﾖﾀﾞｸ", "とうきょうと　ちよだく", "トウキョウト",
      "大阪府大阪市北区梅田三丁目1番1号", "北海道札幌市中央区北一条西二丁目",
      "京都府京都市中京区河原町通三条上る下丸屋町", "京都市下京区烏丸通七条下ル東塩小路町",
      "岩手県盛岡市本宮字小板小瀬一地割", "大字芝三丁目五番地", "髙田馬場二丁目十四番",
      "宮\xFA\xB1県", "齋藤ビル１Ｆ", "3‐5‐7", "三ー五―七", "１０００番地", "十二ノ三", "一の瀬",
      "佐々木町", "ｶﾞｯｺｳﾏｴ", "ｳﾞｨﾗ", "ヴィラ・ヵヶ", "ぁぃぅぇぉっゃゅょゎ", "ァィゥェォッャュョヮ",
      "ABC-123", "abc def", "!\"#$%&'()*+,./:;<=>?@[\\]^_`{|}~", "ｱｲｳｴｵ ﾊﾟﾋﾟﾌﾟ ﾞﾟ", "十万番",
      "二十三", "百二十三番地の四", "〇一丁目", "１二丁目", "四条通", "西三条四丁目五番六号",
      "ソ表能十", "ゐゑ", "之ノ之", "千 萬", "第2地割", "９９９９９９９９９９９番", "壱弐参番",
      "零番", "丁", "－", "‐‐", "a", "ｶ", "\x82", "東京都港区芝公園４丁目２－８ＡＢＣビル",
      // Full-width digit runs: leading zeros, a lone zero, past 32 bits.
      "０１番地", "００７号０", "０", "１２３４５６７８９０番",
      "２１４７４８３６４８番２１４７４８３６４７", "１０２０３０４０５０６０７０８０番", "十億番",
      "一〇〇番地の０２", "１二三番４５六"};
  return corpus;
}

TEST(NormalizeEditText, GivesTheSameBytesAsTheTextPath) {
  ASSERT_GE(Corpus().size(), 50u);
  Dictionaries& d = Common();
  CCharDictionary empty;
  ASSERT_EQ(empty.Create(1, sizeof(PairRecord), 1), 1);
  struct Setting {
    const char* name;
    const CRecordList* list;
    CCharDictionary* dict;
  } settings[] = {
      {"none", nullptr, nullptr},
      {"dictionary", nullptr, &d.unification},
      {"empty dictionary", nullptr, &empty},
      {"both", &d.replacements, &d.unification},
      {"list only", &d.replacements, nullptr},
  };
  for (const Setting& s : settings) {
    for (const std::string& in : Corpus()) {
      EXPECT_EQ(Plain(in, s.list, s.dict), Edited(in, s.list, s.dict))
          << s.name << ": " << Show(in) << " plain " << Show(Plain(in, s.list, s.dict))
          << " edited " << Show(Edited(in, s.list, s.dict));
    }
  }
}

TEST(NormalizeEditText, EveryPositionMapsBackIntoTheInput) {
  Dictionaries& d = Common();
  for (const std::string& in : Corpus()) {
    CEditText e;
    ASSERT_EQ(e.Init(in.c_str()), 1);
    ASSERT_EQ(NormalizeEditText(&d.replacements, &d.unification, &e), 1);
    const char* input = e.GetVersionText(1);
    std::size_t previous = 0;
    for (int a = 1; a <= e.GetLength(); ++a) {
      const char* o = e.GetOriginalPointer(a);
      if (*o == '\0') continue;  // text with no origin (none in these inputs but appends)
      ASSERT_GE(o, input) << Show(in);
      const std::size_t at = static_cast<std::size_t>(o - input);
      ASSERT_LT(at, in.size()) << Show(in);
      EXPECT_GE(at, previous) << Show(in) << " position " << a;  // never backwards
      previous = at;
    }
  }
  // Named positions.
  CEditText e;
  ASSERT_EQ(e.Init("港区芝公園四丁目2-8"), 1);
  ASSERT_EQ(NormalizeEditText(nullptr, &d.unification, &e), 1);
  ASSERT_STREQ(e.GetText(), "港区芝公園４丁目２－８");
  EXPECT_STREQ(e.GetOriginalPointer(11), "四丁目2-8");
  EXPECT_STREQ(e.GetOriginalPointer(17), "2-8");
  EXPECT_STREQ(e.GetOriginalPointer(19), "-8");
  EXPECT_STREQ(e.GetOriginalPointer(21), "8");
  EXPECT_STREQ(e.GetOriginalPointer(22), "8");
  EXPECT_STREQ(e.GetOriginalPointer(23), "");
  // Consuming a level and rolling back leaves the normalised text.
  const int16_t mark = e.BeginMark();
  ASSERT_EQ(e.Delete(1, 10), 1);
  EXPECT_STREQ(e.GetOriginalPointer(1), "四丁目2-8");
  e.RollbackTo(mark);
  EXPECT_STREQ(e.GetText(), "港区芝公園４丁目２－８");
  // Through replacement pairs that shorten the text.
  ASSERT_EQ(e.Init("大字芝三丁目五番地6"), 1);
  ASSERT_EQ(NormalizeEditText(&d.replacements, &d.unification, &e), 1);
  ASSERT_STREQ(e.GetText(), "芝３－５－６");
  EXPECT_STREQ(e.GetOriginalPointer(1), "芝三丁目五番地6");
  EXPECT_STREQ(e.GetOriginalPointer(5), "丁目五番地6");
  EXPECT_STREQ(e.GetOriginalPointer(11), "6");
}

// --- pieces --------------------------------------------------------------------

TEST(UnifyCharacters, InsertedTextIsNotLookedUpAgain) {
  Dictionaries d({{"a", "b"}, {"b", "c"}, {"あ", "い"}}, {});
  char text[32] = "abあ";
  EXPECT_EQ(UnifyCharacters(&d.unification, text, sizeof text), 1);
  EXPECT_STREQ(text, "bcい");
  CEditText e;
  ASSERT_EQ(e.Init("abあ"), 1);
  EXPECT_EQ(UnifyEditTextCharacters(&d.unification, &e), 1);
  EXPECT_STREQ(e.GetText(), "bcい");
  EXPECT_EQ(UnifyEditTextCharacters(nullptr, &e), 1);
  char same[8] = "x";
  EXPECT_EQ(UnifyCharacters(nullptr, same, sizeof same), 1);
  EXPECT_STREQ(same, "x");
}

TEST(ApplyReplacementPairs, EveryPairInListOrder) {
  Dictionaries d({}, {{"ab", "b"}, {"bb", "X"}, {"", "never"}, {"X", "XX"}});
  char text[32] = "aabb";
  EXPECT_EQ(ApplyReplacementPairs(&d.replacements, text, sizeof text), 1);
  EXPECT_STREQ(text, "aXX");  // aabb, abb, aX, aXX
  CEditText e;
  ASSERT_EQ(e.Init("aabb"), 1);
  EXPECT_EQ(ApplyReplacementPairsToEditText(&d.replacements, &e), 1);
  EXPECT_STREQ(e.GetText(), text);
  char tight[4] = "X";
  EXPECT_EQ(ApplyReplacementPairs(&d.replacements, tight, 2), 0);
  EXPECT_STREQ(tight, "X");
}

TEST(ApplyReplacementPairs, BothPathsAgreeOnPairsThatMayNotMatch) {
  // A pair made by an earlier one, a search ending in a lead byte alone, a
  // search found only across two characters, and one not found at all.
  Dictionaries d({}, {{"東", "あい"},
                      {"いう", "U"},
                      {"\x82", "L"},
                      {"\xA0\x82", "Q"},
                      {"ない", "N"},
                      {"U東", "V"}});
  for (const char* in : {"東う", "東東う", "\x82\xA0\x82\xA2", "あ\x82", "いう東", ""}) {
    char text[64];
    std::strcpy(text, in);
    ASSERT_EQ(ApplyReplacementPairs(&d.replacements, text, sizeof text), 1);
    CEditText e;
    ASSERT_EQ(e.Init(in), 1);
    ASSERT_EQ(ApplyReplacementPairsToEditText(&d.replacements, &e), 1);
    EXPECT_STREQ(e.GetText(), text) << Show(in);
  }
}

TEST(NormalizeSearchWords, WordByWord) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"千 萬 二丁目", "千 万 ２丁目"},
      {"  千代田   ｶﾞ ", "千代田 が"},
      {"萬年町", "万年町"},
      {"\"港 区\" 芝", "港　区 芝"},
      {"", ""},
      {"万", "万"},
  };
  for (const Case& c : cases) {
    char text[128];
    std::strcpy(text, c.in);
    EXPECT_EQ(NormalizeSearchWords(nullptr, nullptr, text, sizeof text), 1) << Show(c.in);
    EXPECT_EQ(std::string(text), c.out) << Show(c.in) << " -> " << Show(text);
  }
}

TEST(EndsWithUniformNumeralRun, Kinds) {
  struct Case {
    const char* text;
    int result;
  } cases[] = {
      {"", 0},     {"三", 1},   {"二十三", 1}, {"１２", 1},   {"１二", 0},
      {"二１", 0}, {"丁目", 0}, {"芝三", 1},   {"芝１２", 1}, {"12", 0},
      {"三丁", 0}, {"〇一", 1}, {"\x82", 0},   {"ソ", 0},     {"表１", 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(EndsWithUniformNumeralRun(c.text), c.result) << Show(c.text);
}

// The first n bytes are judged as if the text ended there: a cut through a
// character leaves its lead byte as a character of its own.
TEST(EndsWithUniformNumeralRun, OfTheFirstBytesAsIfTheTextEndedThere) {
  EXPECT_EQ(EndsWithUniformNumeralRun("三丁目", 2), 1);
  EXPECT_EQ(EndsWithUniformNumeralRun("三丁目", 3), 0) << "the lead byte of 丁 alone";
  EXPECT_EQ(EndsWithUniformNumeralRun("１二三", 4), 0) << "mixed";
  EXPECT_EQ(EndsWithUniformNumeralRun("１二三", 2), 1);
  EXPECT_EQ(EndsWithUniformNumeralRun("x三", 1), 0);
  EXPECT_EQ(EndsWithUniformNumeralRun(nullptr, 0), 0);
  // Every cut of a few texts, against the whole-text form on a copy.
  for (const std::string text : {"芝１２丁目三番", "二十三号１－２", "表１ソ三", "a三\x82"}) {
    for (std::size_t n = 0; n <= text.size(); ++n) {
      const std::string head = text.substr(0, n);
      EXPECT_EQ(EndsWithUniformNumeralRun(text.c_str(), n), EndsWithUniformNumeralRun(head.c_str()))
          << Show(text) << " cut at " << n;
    }
  }
}

TEST(KanaTextTests, ReadingAndHiragana) {
  struct Case {
    const char* text;
    int reading, hiragana;
  } cases[] = {
      {"", 0, 0},         {"やまだ", 1, 1}, {"やまだ １２", 1, 0}, {"やま だ", 1, 1},
      {"１２", 1, 0},     {"12", 0, 0},     {"12 あ", 1, 0},       {"ヤマダ", 0, 0},
      {"やまだ町", 0, 0}, {"   ", 0, 0},    {"やまだー", 0, 0},    {"あ\t", 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsKanaReadingText(c.text), c.reading) << Show(c.text);
    EXPECT_EQ(IsHiraganaText(c.text), c.hiragana) << Show(c.text);
  }
}

TEST(ToFullWidthText, DigitsDirectlyOtherBytesOneAtATime) {
  char text[64] = "12-ab ｶﾞ東";
  EXPECT_EQ(ToFullWidthText(text, sizeof text), text);
  EXPECT_STREQ(text, "１２－ａｂ　カﾞ東");
  char tight[5] = "12";
  EXPECT_EQ(ToFullWidthText(tight, sizeof tight), tight);
  EXPECT_STREQ(tight, "１２");
  char tooSmall[4] = "12";
  ToFullWidthText(tooSmall, sizeof tooSmall);
  EXPECT_STREQ(tooSmall, "12");
}

TEST(FullWidthDigitsToInt, Values) {
  int32_t v = -7;
  EXPECT_EQ(FullWidthDigitsToInt("１２３", &v), 1);
  EXPECT_EQ(v, 123);
  EXPECT_EQ(FullWidthDigitsToInt("０", &v), 1);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(FullWidthDigitsToInt("２１４７４８３６４７", &v), 1);
  EXPECT_EQ(v, 2147483647);
  v = -7;
  for (const char* bad : {"", "１2", "12", "１２三", "２１４７４８３６４８", "ａ"}) {
    EXPECT_EQ(FullWidthDigitsToInt(bad, &v), 0) << Show(bad);
    EXPECT_EQ(v, -7);
  }
}

// --- the per-input selection ------------------------------------------------------

std::vector<std::string> Searches(const CRecordList& list) {
  std::vector<std::string> out;
  for (uint32_t n = 1; n <= list.GetCount(); ++n) {
    PairRecord r{};
    list.GetAt(n, &r);
    out.push_back(r.search);
  }
  return out;
}

TEST(SelectApplicableDictionaryEntries, KeepsOnlyWhatChangesTheInput) {
  Dictionaries& d = Common();
  CEditText input;
  ASSERT_EQ(input.Init("髙田一丁目"), 1);
  CRecordList outList;
  CCharDictionary outDict;
  ASSERT_EQ(SelectApplicableDictionaryEntries(&outList, &outDict, &d.replacements, &d.unification,
                                              &input),
            1);
  ASSERT_EQ(outDict.GetCount(), 1u);
  PairRecord r{};
  ASSERT_EQ(outDict.GetAt(1, &r), 1);
  EXPECT_STREQ(r.search, "髙");
  EXPECT_EQ(Searches(outList), (std::vector<std::string>{"丁目"}));
  // Flag words of the full dictionary: 0 on the record used, 1 elsewhere.
  for (uint32_t n = 1; n <= d.unification.GetCount(); ++n) {
    ASSERT_EQ(d.unification.GetAt(n, &r), 1);
    EXPECT_EQ(r.flag, std::strcmp(r.search, "髙") == 0 ? 0 : 1) << Show(r.search);
  }
  // The input itself is not changed.
  EXPECT_STREQ(input.GetText(), "髙田一丁目");
  EXPECT_EQ(input.GetVersionCount(), 1u);
}

TEST(SelectApplicableDictionaryEntries, FlagsFollowEachInputAnew) {
  Dictionaries d({{"あ", "ア"}, {"い", "イ"}, {"う", "ウ"}}, {});
  auto flags = [&] {
    std::string out;
    for (uint32_t n = 1; n <= d.unification.GetCount(); ++n) {
      PairRecord r{};
      EXPECT_EQ(d.unification.GetAt(n, &r), 1);
      out += std::to_string(r.flag);
    }
    return out;
  };
  for (const auto& [in, expected] : std::vector<std::pair<std::string, std::string>>{
           {"あい", "001"}, {"う", "110"}, {"東", "111"}, {"いう", "100"}}) {
    CRecordList outList;
    CCharDictionary outDict;
    CEditText input;
    ASSERT_TRUE(input.Init(in.c_str()) == 1 &&
                SelectApplicableDictionaryEntries(&outList, &outDict, &d.replacements,
                                                  &d.unification, &input) == 1);
    EXPECT_EQ(flags(), expected) << Show(in);
    EXPECT_EQ(outDict.GetCount(),
              static_cast<uint32_t>(std::count(expected.begin(), expected.end(), '0')));
  }
}

TEST(UnifyCharacters, TheFirstOfEqualKeysReplaces) {
  // Equal keys sort next to each other; the lowest record of the run is
  // the one used, wherever the search meets the run.
  for (int before = 0; before < 6; ++before) {
    for (int after = 0; after < 6; ++after) {
      CCharDictionary dictionary;
      ASSERT_EQ(dictionary.Create(16, sizeof(PairRecord), 8), 1);
      std::vector<std::string> keys;
      for (int i = 0; i < before; ++i) keys.push_back(std::string(1, static_cast<char>('A' + i)));
      for (int i = 0; i < 3; ++i) keys.push_back("か");
      for (int i = 0; i < after; ++i)
        keys.push_back("\x88" + std::string(1, static_cast<char>(0x40 + i)));
      int run = 0;
      for (const std::string& k : keys) {
        const std::string r = k == "か" ? "き" + std::to_string(run++) : "?";
        Dictionaries::Add(dictionary, k, r);
      }
      char text[64] = "かAか";
      ASSERT_EQ(UnifyCharacters(&dictionary, text, sizeof text), 1);
      EXPECT_EQ(std::string(text), before > 0 ? "き0?き0" : "き0Aき0") << before << " " << after;
      const uint32_t found = dictionary.Find("=", "か", CompareDictionaryKeys);
      PairRecord r{};
      ASSERT_EQ(dictionary.GetAt(found, &r), 1);
      EXPECT_STREQ(r.replacement, "き0");
    }
  }
}

TEST(SelectApplicableDictionaryEntries, KeepsPairsThatApplyAfterTheNumberAndHyphenSteps) {
  Dictionaries d({{"ー", "－"}}, {{"１丁目", "壱"}, {"３－５", "X"}, {"一丁目", "never"}});
  CEditText input;
  ASSERT_EQ(input.Init("一丁目3‐5"), 1);
  CRecordList outList;
  CCharDictionary outDict;
  ASSERT_EQ(SelectApplicableDictionaryEntries(&outList, &outDict, &d.replacements, &d.unification,
                                              &input),
            1);
  EXPECT_EQ(Searches(outList), (std::vector<std::string>{"１丁目", "３－５"}));
  EXPECT_EQ(outDict.GetCount(), 0u);
  EXPECT_EQ(Edited(input.GetText(), &outList, &outDict), "壱X");
  EXPECT_EQ(Edited(input.GetText(), &d.replacements, &d.unification), "壱X");
}

TEST(SelectApplicableDictionaryEntries, NarrowedDictionariesNormaliseAsTheFullOnes) {
  Dictionaries& d = Common();
  for (const std::string& in : Corpus()) {
    CEditText input;
    ASSERT_EQ(input.Init(in.c_str()), 1);
    CRecordList outList;
    CCharDictionary outDict;
    ASSERT_EQ(SelectApplicableDictionaryEntries(&outList, &outDict, &d.replacements, &d.unification,
                                                &input),
              1)
        << Show(in);
    EXPECT_EQ(Edited(in, &outList, &outDict), Edited(in, &d.replacements, &d.unification))
        << Show(in);
    EXPECT_LE(outList.GetCount(), d.replacements.GetCount());
    EXPECT_LE(outDict.GetCount(), d.unification.GetCount());
  }
  // No input text: refused.
  CEditText none;
  CRecordList outList;
  CCharDictionary outDict;
  EXPECT_EQ(
      SelectApplicableDictionaryEntries(&outList, &outDict, &d.replacements, &d.unification, &none),
      0);
}

}  // namespace
