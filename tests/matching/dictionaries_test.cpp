#include "tabledb/dictionaries.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/message.h"
#include "matching/dictionary_loaders.h"
#include "support/test_util.h"
#include "tools/dictbuild/pair_file_writer.h"

namespace {

using dictbuild::PairFileForm;
using dictbuild::TextPair;
using testutil::Show;

// --- raw file images, assembled from the format (not through the builder) ---

std::string Le32(uint32_t v) {
  std::string s;
  for (int k = 0; k < 4; ++k) s += static_cast<char>((v >> (8 * k)) & 0xFF);
  return s;
}

std::string Stored(const std::string& text) {
  std::string s = Le32(static_cast<uint32_t>(text.size()));
  for (unsigned char b : text) s += static_cast<char>(static_cast<unsigned char>(~b));
  return s;
}

std::string Header(const char* text8, uint32_t count) {
  std::string h(32, '\0');
  std::memcpy(h.data(), text8, 8);
  const std::string c = Le32(count);
  h.replace(12, 4, c);
  // Unused bytes may hold anything.
  h[8] = 'x';
  h[20] = static_cast<char>(0xFF);
  return h;
}

// The golden unification file: one pair, 髙 (EE E0) -> 高 (8D 82).
const std::string kGolden = std::string("TVXBT_T\0", 8) + std::string(4, '\0') +
                            std::string("\x01\x00\x00\x00", 4) + std::string(16, '\0') +
                            std::string("\x02\x00\x00\x00\x11\x1F", 6) +
                            std::string("\x02\x00\x00\x00\x72\x7D", 6);

struct Files {
  testutil::TempDir dir;
  // Writes the bytes under an ASCII name; returns the system path.
  std::string Put(const std::string& name, const std::string& bytes) {
    EXPECT_TRUE(testutil::WriteBytes(dir.Native(name), bytes));
    return dir.Sys(name);
  }
};

std::string U8(std::u8string_view text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

std::string ReadError(const std::string& path) {
  return "ファイルの読み込みに失敗しました!(" + path + ")";
}

std::vector<std::pair<std::string, std::string>> Pairs(const CRecordList& list) {
  std::vector<std::pair<std::string, std::string>> out;
  for (uint32_t n = 1; n <= list.GetCount(); ++n) {
    PairRecord r{};
    EXPECT_EQ(list.GetAt(n, &r), 1);
    EXPECT_EQ(r.flag, 0);
    out.emplace_back(r.search, r.replacement);
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> Pairs(const CCharDictionary& dict) {
  std::vector<std::pair<std::string, std::string>> out;
  for (uint32_t n = 1; n <= dict.GetCount(); ++n) {
    PairRecord r{};
    EXPECT_EQ(dict.GetAt(n, &r), 1);
    out.emplace_back(r.search, r.replacement);
  }
  return out;
}

using PairVec = std::vector<std::pair<std::string, std::string>>;

std::string Lookup(CCharDictionary& dict, const std::string& key) {
  const uint32_t n = dict.Find("=", key.c_str(), CompareDictionaryKeys);
  if (n == 0) return "<none>";
  PairRecord r{};
  EXPECT_EQ(dict.GetAt(n, &r), 1);
  return r.replacement;
}

// --- the golden file --------------------------------------------------------

TEST(LoadUnificationDictionary, GoldenFileLoadsAndLooksUp) {
  ASSERT_EQ(kGolden.size(), 44u);
  Files f;
  const std::string path = f.Put("golden.bin", kGolden);
  CCharDictionary dict;
  char msg[kMessageSize] = "";
  ASSERT_EQ(LoadUnificationDictionary(path.c_str(), &dict, msg, 1), 1) << Show(msg);
  ASSERT_EQ(dict.GetCount(), 1u);
  EXPECT_EQ(Lookup(dict, "\xEE\xE0"), "\x8D\x82");
  EXPECT_EQ(Lookup(dict, "\x8D\x82"), "<none>");

  // The builder writes the same bytes from the same pair.
  std::string image;
  std::string error;
  ASSERT_TRUE(dictbuild::BuildPairFileImage(PairFileForm::kUnification, {{"\xEE\xE0", "\x8D\x82"}},
                                            &image, &error));
  std::string expected = kGolden;
  EXPECT_EQ(image, expected);
}

TEST(LoadUnificationDictionary, RefusesAHeaderTextThatDiffersInAnyByte) {
  Files f;
  CCharDictionary dict;
  char msg[kMessageSize];
  const char* texts[] = {"TVXBT_O\0", "TVXBT_T!", "tVXBT_T\0", "TVXBT\0\0\0", "\0\0\0\0\0\0\0\0"};
  int i = 0;
  for (const char* text : texts) {
    std::string bytes = kGolden;
    std::memcpy(bytes.data(), text, 8);
    const std::string path = f.Put("h" + std::to_string(i++) + ".bin", bytes);
    ASSERT_EQ(LoadUnificationDictionary(path.c_str(), &dict, msg, 1), 0) << i;
    EXPECT_EQ(std::string(msg), ReadError(path)) << Show(msg);
    EXPECT_EQ(dict.GetCount(), 0u);
  }
  // The replacement list wants "TVXBT_O" and refuses "TVXBT_T".
  CRecordList list;
  const std::string golden = f.Put("g.bin", kGolden);
  EXPECT_EQ(LoadReplacementDictionary(golden.c_str(), &list, nullptr, msg, 1), 0);
  EXPECT_EQ(std::string(msg), ReadError(golden));
  // A header cut short is a read failure too.
  const std::string shortHeader = f.Put("s.bin", kGolden.substr(0, 20));
  EXPECT_EQ(LoadUnificationDictionary(shortHeader.c_str(), &dict, msg, 1), 0);
  EXPECT_EQ(std::string(msg), ReadError(shortHeader));
}

TEST(LoadUnificationDictionary, MissingFileGivesTheOpenMessage) {
  Files f;
  const std::string path = f.dir.Sys(kUnificationDictionaryFile);
  CCharDictionary dict;
  char msg[kMessageSize];
  EXPECT_EQ(LoadUnificationDictionary(path.c_str(), &dict, msg, 1), 0);
  EXPECT_EQ(std::string(msg), "ファイルオープンエラー!(" + path + ")");
  CRecordList list;
  EXPECT_EQ(LoadFacilityReplacementDictionary(path.c_str(), &list, msg), 0);
  EXPECT_EQ(std::string(msg), "ファイルオープンエラー!(" + path + ")");
  EXPECT_EQ(LoadReplacementDictionaryText(path.c_str(), &list, nullptr, msg), 0);
  EXPECT_EQ(std::string(msg), "ファイルオープンエラー!(" + path + ")");
  // The CP932 name finds the file under its UTF-8 name on disk.
  ASSERT_TRUE(testutil::WriteBytes(f.dir.Native(U8(u8"文字統一.BIN")), kGolden));
  ASSERT_EQ(LoadUnificationDictionary(path.c_str(), &dict, msg, 1), 1) << Show(msg);
  EXPECT_EQ(Lookup(dict, "\xEE\xE0"), "\x8D\x82");
}

// --- pair reading: lengths and file ends -------------------------------------

TEST(ReadPairs, LengthsAndFileEnds) {
  const std::string a = Stored("ab");
  const std::string b = Stored("\x82\xA0");  // あ
  auto repeat = [](const std::string& unit, int times) {
    std::string all;
    for (int k = 0; k < times; ++k) all += unit;
    return all;
  };
  // Files of several read blocks: pairs and lengths cut by a block's end.
  const std::string many = repeat(a + b, 1000);
  const std::string longPairs = repeat(Stored(std::string(255, 'y')) + b, 40);
  struct Case {
    const char* name;
    std::string body;
    int ok;
    uint32_t pairs;
  } cases[] = {
      {"no pairs", "", 1, 0},
      {"one pair", a + b, 1, 1},
      {"two pairs", a + b + b + a, 1, 2},
      {"empty strings", Stored("") + Stored(""), 1, 1},
      {"cut in the first length", a + b + a.substr(0, 2), 0, 0},
      {"cut after the search string", a + b + a, 0, 0},
      {"cut in the second length", a + b + a + b.substr(0, 3), 0, 0},
      {"cut in the replacement bytes", a + b + a + b.substr(0, 5), 0, 0},
      {"length 512", Le32(512) + std::string(512, 'x') + b, 0, 0},
      {"length 255", Stored(std::string(255, 'y')) + b, 1, 1},
      {"a thousand pairs", many, 1, 1000},
      {"long pairs across blocks", longPairs, 1, 40},
      {"cut in a later block", many + a.substr(0, 3), 0, 0},
      {"cut in a long pair's bytes", longPairs + Stored(std::string(200, 'z')).substr(0, 150), 0,
       0},
  };
  Files f;
  int i = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = f.Put("p" + std::to_string(i++) + ".bin", c.body);
    char msg[kMessageSize] = "";
    uint32_t count = 99;
    EXPECT_EQ(CountDictionaryFilePairs(path.c_str(), &count, msg), c.ok);
    CRecordList list;
    EXPECT_EQ(LoadFacilityReplacementDictionary(path.c_str(), &list, msg), c.ok);
    const std::string hpath =
        f.Put("h" + std::to_string(i) + ".bin", Header("TVXBT_O\0", 7) + c.body);
    CRecordList hlist;
    EXPECT_EQ(LoadReplacementDictionary(hpath.c_str(), &hlist, nullptr, msg, 1), c.ok);
    if (c.ok) {
      EXPECT_EQ(count, c.pairs);
      EXPECT_EQ(list.GetCount(), c.pairs);
      EXPECT_EQ(hlist.GetCount(), c.pairs);
    } else {
      EXPECT_EQ(std::string(msg), ReadError(hpath)) << Show(msg);
      EXPECT_EQ(list.GetCount(), 0u);
      EXPECT_EQ(hlist.GetCapacity(), 0u);  // freed
    }
  }
}

TEST(ReadPairs, RefusesAStringLongerThanTheRecordField) {
  // 256 bytes would leave no room for the NUL in a 256-byte field.
  Files f;
  const std::string path = f.Put("long.bin", Stored(std::string(256, 'z')) + Stored("a"));
  CRecordList list;
  char msg[kMessageSize];
  EXPECT_EQ(LoadFacilityReplacementDictionary(path.c_str(), &list, msg), 0);
  EXPECT_EQ(std::string(msg), ReadError(path));
  const std::string path2 = f.Put("long2.bin", Stored("a") + Stored(std::string(300, 'z')));
  uint32_t count = 0;
  EXPECT_EQ(CountDictionaryFilePairs(path2.c_str(), &count, msg), 0);
  EXPECT_EQ(std::string(msg), ReadError(path2));
}

// --- header-form replacement list ---------------------------------------------

TEST(LoadReplacementDictionary, TenThousandOptionRewritesSearchStringsOnly) {
  Files f;
  const std::string body =
      Stored("１００００町") + Stored("１００００町") + Stored("二万") + Stored("２");
  const std::string path = f.Put("o.bin", Header("TVXBT_O\0", 2) + body);
  CRecordList list;
  char msg[kMessageSize];
  ASSERT_EQ(LoadReplacementDictionary(path.c_str(), &list, nullptr, msg, 1, 1), 1);
  EXPECT_EQ(Pairs(list), (PairVec{{"万町", "１００００町"}, {"二万", "２"}}));
  ASSERT_EQ(LoadReplacementDictionary(path.c_str(), &list, nullptr, msg, 1, 0), 1);
  EXPECT_EQ(Pairs(list), (PairVec{{"１００００町", "１００００町"}, {"二万", "２"}}));
}

TEST(LoadReplacementDictionary, EmptyListWithCountZeroLoadsAsEmpty) {
  Files f;
  const std::string path = f.Put("empty.bin", Header("TVXBT_O\0", 0));
  CRecordList list;
  char msg[kMessageSize] = "";
  ASSERT_EQ(LoadReplacementDictionary(path.c_str(), &list, nullptr, msg, 1), 1) << Show(msg);
  EXPECT_EQ(list.GetCount(), 0u);
  // ... and the empty list still takes pairs.
  PairRecord r{};
  EXPECT_EQ(list.Add(&r), 1);
  // Headerless and facility forms of an empty file as well.
  const std::string none = f.Put("none.bin", "");
  ASSERT_EQ(LoadReplacementDictionary(none.c_str(), &list, nullptr, msg, 0), 1);
  EXPECT_EQ(list.GetCount(), 0u);
  ASSERT_EQ(LoadFacilityReplacementDictionary(none.c_str(), &list, msg), 1);
  EXPECT_EQ(list.GetCount(), 0u);
  CCharDictionary dict;
  const std::string emptyT = f.Put("emptyT.bin", Header("TVXBT_T\0", 0));
  ASSERT_EQ(LoadUnificationDictionary(emptyT.c_str(), &dict, msg, 1), 1);
  EXPECT_EQ(dict.GetCount(), 0u);
  EXPECT_EQ(Lookup(dict, "a"), "<none>");
}

TEST(LoadReplacementDictionary, ADamagedPairCountDoesNotSizeTheList) {
  Files f;
  const std::string path =
      f.Put("huge.bin", Header("TVXBT_O\0", 0xFFFFFFFFu) + Stored("a") + Stored("b"));
  CRecordList list;
  char msg[kMessageSize] = "";
  ASSERT_EQ(LoadReplacementDictionary(path.c_str(), &list, nullptr, msg, 1), 1) << Show(msg);
  EXPECT_EQ(list.GetCount(), 1u);
  EXPECT_LE(list.GetCapacity(), 1u);
  // A stated count below the real one: the list grows.
  std::string body;
  for (int k = 0; k < 300; ++k) body += Stored(std::to_string(k)) + Stored("x");
  const std::string many = f.Put("many.bin", Header("TVXBT_O\0", 1) + body);
  ASSERT_EQ(LoadReplacementDictionary(many.c_str(), &list, nullptr, msg, 1), 1);
  ASSERT_EQ(list.GetCount(), 300u);
  EXPECT_EQ(Pairs(list)[299].first, "299");
}

// One in-memory unification record.
void AddUnification(CCharDictionary& dict, const char* search, const char* replacement) {
  if (dict.GetRecordSize() == 0) {
    ASSERT_EQ(dict.Create(4, sizeof(PairRecord), 4), 1);
  }
  PairRecord r{};
  std::strcpy(r.search, search);
  std::strcpy(r.replacement, replacement);
  ASSERT_EQ(dict.Add(&r), 1);
  dict.Sort(1, dict.GetCount(), CompareDictionaryKeys);
}

TEST(LoadReplacementDictionary, HeaderlessFormNormalisesBothStrings) {
  Files f;
  const std::string path = f.Put("r.bin", Stored("ab") + Stored("ｶﾞ三丁目") + Stored("") +
                                              Stored("髙ヶ") + Stored("ｂ") + Stored("ちょう"));
  CRecordList list;
  char msg[kMessageSize] = "";
  ASSERT_EQ(LoadReplacementDictionary(path.c_str(), &list, nullptr, msg, 0), 1) << Show(msg);
  EXPECT_EQ(Pairs(list), (PairVec{{"ａｂ", "が３丁目"}, {"", "髙ヶ"}, {"ｂ", "ちよう"}}));
  // With the unification dictionary (and no replacement list).
  CCharDictionary dict;
  AddUnification(dict, "髙", "高");
  AddUnification(dict, "ヶ", "ケ");
  ASSERT_EQ(LoadReplacementDictionary(path.c_str(), &list, &dict, msg, 0), 1);
  EXPECT_EQ(Pairs(list)[1], (std::pair<std::string, std::string>{"", "高け"}));
  // A result that outgrows the field refuses the load.
  const std::string longPath = f.Put("l.bin", Stored(std::string(200, 'a')) + Stored("b"));
  EXPECT_EQ(LoadReplacementDictionary(longPath.c_str(), &list, nullptr, msg, 0), 0);
  EXPECT_EQ(std::string(msg), ReadError(longPath));
  EXPECT_EQ(list.GetCapacity(), 0u);
}

// --- unification dictionary order -------------------------------------------------

TEST(LoadUnificationDictionary, SortsAFileWhosePairsAreOutOfOrder) {
  Files f;
  std::string image;
  std::string error;
  const std::vector<TextPair> pairs = {
      {"\x88\x9F", "1"}, {"\x82\xA0", "2"}, {"B", "3"}, {"\xEE\xE0", "4"}, {"A", "5"}};
  ASSERT_TRUE(dictbuild::BuildPairFileImage(PairFileForm::kUnification, pairs, &image, &error,
                                            {.keepOrder = true}));
  const std::string path = f.Put("unsorted.bin", image);
  CCharDictionary dict;
  char msg[kMessageSize];
  ASSERT_EQ(LoadUnificationDictionary(path.c_str(), &dict, msg, 1), 1);
  EXPECT_EQ(
      Pairs(dict),
      (PairVec{{"A", "5"}, {"B", "3"}, {"\x82\xA0", "2"}, {"\x88\x9F", "1"}, {"\xEE\xE0", "4"}}));
  for (const TextPair& p : pairs) EXPECT_EQ(Lookup(dict, p.search), p.replacement);
}

TEST(LoadUnificationDictionary, OrderedFileKeepsItsOrderOfEqualKeys) {
  Files f;
  std::vector<TextPair> pairs;
  for (int k = 0; k < 9; ++k) pairs.push_back({"\x82\xA0", std::to_string(k)});
  pairs.push_back({"A", "first"});
  std::string image;
  std::string error;
  ASSERT_TRUE(dictbuild::BuildPairFileImage(PairFileForm::kUnification, pairs, &image, &error));
  const std::string path = f.Put("dups.bin", image);
  CCharDictionary dict;
  char msg[kMessageSize];
  ASSERT_EQ(LoadUnificationDictionary(path.c_str(), &dict, msg, 1), 1);
  const PairVec got = Pairs(dict);
  ASSERT_EQ(got.size(), 10u);
  EXPECT_EQ(got[0].first, "A");
  for (int k = 0; k < 9; ++k) EXPECT_EQ(got[k + 1].second, std::to_string(k));
  EXPECT_EQ(Lookup(dict, "\x82\xA0"), "0");  // the first of equal keys
}

TEST(LoadUnificationDictionary, HeaderlessFormIsSorted) {
  Files f;
  const std::string path = f.Put(
      "t.bin", Stored("c") + Stored("3") + Stored("a") + Stored("1") + Stored("b") + Stored("2"));
  CCharDictionary dict;
  char msg[kMessageSize];
  ASSERT_EQ(LoadUnificationDictionary(path.c_str(), &dict, msg, 0), 1);
  EXPECT_EQ(Pairs(dict), (PairVec{{"a", "1"}, {"b", "2"}, {"c", "3"}}));
}

// --- text form --------------------------------------------------------------------

TEST(LoadReplacementDictionaryText, SkipsCommentsAndEmptyLinesAcrossCrLf) {
  Files f;
  const std::string path =
      f.Put("user.txt", "  ;x\r\n\r\n  ａ,ｂ  \r\nｃ\r\nd,e,f\r\n;\r\n   \r\ng,\r\n,h");
  CRecordList list;
  char msg[kMessageSize] = "";
  ASSERT_EQ(LoadReplacementDictionaryText(path.c_str(), &list, nullptr, msg), 1) << Show(msg);
  EXPECT_EQ(Pairs(list), (PairVec{{"ａ", "ｂ"}, {"ｃ", ""}, {"ｄ", "ｅ"}, {"ｇ", ""}, {"", "ｈ"}}));
  for (const auto& [s, r] : Pairs(list)) {
    EXPECT_EQ(s.find('\r'), std::string::npos);
    EXPECT_EQ(r.find('\r'), std::string::npos);
  }
}

TEST(LoadReplacementDictionaryText, EmptyUserFileLoadsAsEmptyList) {
  Files f;
  char msg[kMessageSize] = "";
  for (const char* body : {"", "\r\n", "; only a comment\r\n"}) {
    ASSERT_TRUE(testutil::WriteBytes(f.dir.Native(U8(u8"ユーザー置換.TXT")), body));
    const std::string path = f.dir.Sys(kUserReplacementFile);
    CRecordList list;
    ASSERT_EQ(LoadReplacementDictionaryText(path.c_str(), &list, nullptr, msg), 1) << Show(msg);
    EXPECT_EQ(list.GetCount(), 0u);
  }
}

// The list is sized by the lines of the file, comments and blank lines
// included (capacity = growth step = that count, at least 1), so that a
// small user file never takes a block for a hundred pairs.
TEST(LoadReplacementDictionaryText, ListIsSizedByTheLinesOfTheFile) {
  Files f;
  char msg[kMessageSize] = "";
  const struct {
    const char* body;
    uint32_t capacity;
    uint32_t count;
  } cases[] = {{"", 1, 0}, {"a,b", 1, 1}, {"a,b\r\n;x\r\n\r\nc,d\r\n", 4, 2}};
  for (const auto& c : cases) {
    const std::string path = f.Put("user.txt", c.body);
    CRecordList list;
    ASSERT_EQ(LoadReplacementDictionaryText(path.c_str(), &list, nullptr, msg), 1) << Show(msg);
    EXPECT_EQ(list.GetCapacity(), c.capacity) << Show(c.body);
    EXPECT_EQ(list.GetCount(), c.count) << Show(c.body);
    CCharDictionary dict;
    ASSERT_EQ(LoadUnificationDictionaryText(path.c_str(), &dict, msg), 1) << Show(msg);
    EXPECT_EQ(dict.GetCount(), c.count) << Show(c.body);
  }
}

TEST(LoadReplacementDictionaryText, NormalisesBothFields) {
  Files f;
  const std::string path = f.Put("user.txt", "ab,ｶﾐ二丁目\r\n髙田,高田\r\n");
  CRecordList list;
  CCharDictionary dict;
  AddUnification(dict, "髙", "高");
  char msg[kMessageSize] = "";
  ASSERT_EQ(LoadReplacementDictionaryText(path.c_str(), &list, &dict, msg), 1) << Show(msg);
  EXPECT_EQ(Pairs(list), (PairVec{{"ａｂ", "かみ２丁目"}, {"高田", "高田"}}));
  // A field that fits the line but not, once widened, the record.
  const std::string wide = f.Put("wide.txt", std::string(130, 'a') + ",b\r\n");
  EXPECT_EQ(LoadReplacementDictionaryText(wide.c_str(), &list, &dict, msg), 0);
  EXPECT_EQ(std::string(msg), ReadError(wide));
}

TEST(LoadUnificationDictionaryText, RefusesOverlongLinesAndFields) {
  Files f;
  char msg[kMessageSize];
  CCharDictionary dict;
  struct Case {
    const char* name;
    std::string body;
    int ok;
  } cases[] = {
      {"field of 255 bytes", std::string(255, 'a') + "," + std::string(255, 'b'), 1},
      {"search of 256 bytes", std::string(256, 'a') + ",b", 0},
      {"replacement of 256 bytes", "a," + std::string(256, 'b'), 0},
      {"line of 511 bytes",
       std::string(200, 'a') + "," + std::string(200, 'b') + "," + std::string(109, 'c'), 1},
      {"line of 512 bytes",
       std::string(200, 'a') + "," + std::string(200, 'b') + "," + std::string(110, 'c'), 0},
      {"blanks around a field of 255", "   " + std::string(255, 'a') + "   ", 1},
  };
  int i = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = f.Put("t" + std::to_string(i++) + ".txt", c.body + "\r\n");
    EXPECT_EQ(LoadUnificationDictionaryText(path.c_str(), &dict, msg), c.ok);
    if (!c.ok) {
      EXPECT_EQ(std::string(msg), ReadError(path));
      EXPECT_EQ(dict.GetCount(), 0u);
    }
  }
}

TEST(LoadUnificationDictionaryText, SortsWithoutNormalising) {
  Files f;
  const std::string path = f.Put("u.txt", "ｶ,か\r\nB,b\r\nA,a\r\n");
  CCharDictionary dict;
  char msg[kMessageSize];
  ASSERT_EQ(LoadUnificationDictionaryText(path.c_str(), &dict, msg), 1);
  EXPECT_EQ(Pairs(dict), (PairVec{{"A", "a"}, {"B", "b"}, {"ｶ", "か"}}));
  EXPECT_EQ(Lookup(dict, "ｶ"), "か");
}

// --- the builder against the loaders ------------------------------------------------

TEST(DictBuild, EveryFormRoundTripsThroughItsLoader) {
  Files f;
  std::vector<TextPair> pairs = {{"\x83\x5C\x95\x5C", "\x8D\x82"},  // ソ表 (trail bytes 5C)
                                 {"", "x"},
                                 {std::string(255, 'q'), std::string("\xFF\x01", 2)},
                                 {"\x82\xA0", ""}};
  std::string error;
  char msg[kMessageSize] = "";
  const std::string facility = f.dir.Sys("fac.bin");
  ASSERT_TRUE(dictbuild::WritePairFile(facility.c_str(), PairFileForm::kHeaderless, pairs, &error));
  CRecordList list;
  ASSERT_EQ(LoadFacilityReplacementDictionary(facility.c_str(), &list, msg), 1) << Show(msg);
  PairVec expected;
  for (const TextPair& p : pairs) expected.emplace_back(p.search, p.replacement);
  // A stored 0xFF restores to NUL and ends the text.
  expected[2].second = "";
  EXPECT_EQ(Pairs(list), expected);

  const std::string replacement = f.dir.Sys("rep.bin");
  ASSERT_TRUE(
      dictbuild::WritePairFile(replacement.c_str(), PairFileForm::kReplacement, pairs, &error));
  ASSERT_EQ(LoadReplacementDictionary(replacement.c_str(), &list, nullptr, msg, 1), 1);
  EXPECT_EQ(Pairs(list), expected);
  const std::string bytes = testutil::ReadBytes(f.dir.Native("rep.bin"));
  EXPECT_EQ(bytes.substr(0, 8), std::string("TVXBT_O\0", 8));
  EXPECT_EQ(bytes.substr(12, 4), Le32(4));

  const std::string unification = f.dir.Sys("uni.bin");
  ASSERT_TRUE(
      dictbuild::WritePairFile(unification.c_str(), PairFileForm::kUnification, pairs, &error));
  CCharDictionary dict;
  ASSERT_EQ(LoadUnificationDictionary(unification.c_str(), &dict, msg, 1), 1);
  const PairVec sorted = Pairs(dict);
  ASSERT_EQ(sorted.size(), 4u);
  EXPECT_EQ(sorted[0].first, "");
  EXPECT_EQ(sorted[1].first, std::string(255, 'q'));
  EXPECT_EQ(sorted[2].first, "\x82\xA0");
  EXPECT_EQ(sorted[3].first, "\x83\x5C\x95\x5C");
}

TEST(DictBuild, RefusesTextsTheFormatCannotHold) {
  std::string image = "untouched";
  std::string error;
  EXPECT_FALSE(dictbuild::BuildPairFileImage(PairFileForm::kReplacement,
                                             {{"a", std::string(512, 'b')}}, &image, &error));
  EXPECT_EQ(image, "untouched");
  EXPECT_NE(error.find("pair 1"), std::string::npos);
  EXPECT_FALSE(dictbuild::BuildPairFileImage(
      PairFileForm::kHeaderless, {{"a", "b"}, {std::string("a\0b", 3), "c"}}, &image, &error));
  EXPECT_NE(error.find("pair 2"), std::string::npos);
  // 511 bytes is the format's limit (the loaders take at most 255).
  ASSERT_TRUE(dictbuild::BuildPairFileImage(PairFileForm::kHeaderless,
                                            {{std::string(511, 'a'), ""}}, &image, &error));
  EXPECT_EQ(image.size(), 4u + 511u + 4u);
}

TEST(DictBuild, ParsesTheUtf8PairList) {
  std::vector<TextPair> pairs;
  std::string error;
  const std::string list =
      "# comment\r\n"
      "\xE9\xAB\x99\t\xE9\xAB\x98\r\n"  // 髙 TAB 高
      "\n"
      "\xE3\x83\xB6\n"  // ヶ, no replacement
      "a\tb\tc";
  ASSERT_TRUE(dictbuild::ParsePairList(list, &pairs, &error)) << error;
  ASSERT_EQ(pairs.size(), 3u);
  EXPECT_EQ(pairs[0].search, testutil::Sjis(u8"髙"));
  EXPECT_EQ(pairs[0].replacement, "高");
  EXPECT_EQ(pairs[1].search, "ヶ");
  EXPECT_EQ(pairs[1].replacement, "");
  EXPECT_EQ(pairs[2].replacement, "b\tc");
  EXPECT_FALSE(dictbuild::ParsePairList("ok\n\xF0\x9F\x98\x80\tx\n", &pairs, &error));
  EXPECT_NE(error.find("line 2"), std::string::npos);
}

}  // namespace
