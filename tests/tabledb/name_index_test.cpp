#include "tabledb/name_index.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "common/le_bytes.h"
#include "common/message.h"
#include "support/test_util.h"
#include "tabledb/table_database.h"

using testutil::Show;
using testutil::TempDir;

namespace {

uint32_t U32At(const std::string& b, std::size_t at) {
  return static_cast<uint32_t>(LoadLe(reinterpret_cast<const unsigned char*>(b.data()) + at, 4));
}
void PutU32(std::string* b, std::size_t at, uint32_t value) {
  StoreLe(reinterpret_cast<unsigned char*>(b->data()) + at, value, 4);
}

// An entry as the format table describes it.
std::string Entry(uint16_t nextCode, uint32_t record, uint8_t length, uint8_t offset) {
  std::string e(8, '\0');
  auto* p = reinterpret_cast<unsigned char*>(e.data());
  StoreLe(p, nextCode, 2);
  StoreLe(p + 2, record, 4);
  p[6] = length;
  p[7] = offset;
  return e;
}

// Codes of the fixture's characters (first byte low).
constexpr uint16_t kSen = 0xE790;   // 千 90 E7
constexpr uint16_t kDai = 0xE391;   // 代 91 E3
constexpr uint16_t kTa = 0x6393;    // 田 93 63
constexpr uint16_t kKu = 0xE68B;    // 区 8B E6
constexpr uint16_t kNaka = 0x8692;  // 中 92 86
constexpr uint16_t kOu = 0x9B89;    // 央 89 9B
constexpr uint16_t kMina = 0x608D;  // 港 8D 60
constexpr uint32_t kTable = 265;    // bucket table of a one-field index

std::vector<std::string>* g_progress = nullptr;
void RecordProgress(const char* text) { g_progress->push_back(text); }

// Table "T" of t.ndb: an INT field "番号", then STRING fields.
class NameIndexTest : public ::testing::Test {
 protected:
  std::string Sys(const char* name) const { return dir_.Sys(name); }
  std::string Bytes(const char* name) const { return testutil::ReadBytes(dir_.Native(name)); }
  void Put(const char* name, const std::string& b) const {
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native(name), b));
  }
  bool Exists(const char* name) const { return testutil::Exists(dir_.Native(name)); }
  std::string Message() const { return msg_; }
  std::string Msg(const char* head, const char* name) const {
    return std::string(head) + "(" + Sys(name) + ")";
  }

  void MakeDatabase(const std::vector<const char*>& fields,
                    const std::vector<std::vector<const char*>>& rows) {
    CTableDatabase db;
    ASSERT_EQ(db.Create(Sys("t.ndb").c_str()), 1);
    ASSERT_NE(db.CreateTable("T"), 0u);
    ASSERT_NE(db.AddField("T", "番号", kTdbInt, 4, nullptr, nullptr, 0, 0), 0u);
    for (const char* f : fields)
      ASSERT_NE(db.AddField("T", f, kTdbString, 0, nullptr, nullptr, 0, 0), 0u);
    ASSERT_EQ(db.UpdateMaxRecordSize(), 1);
    records_.clear();
    for (const auto& row : rows) {
      records_.push_back(db.AddRecord("T"));
      for (std::size_t i = 0; i < fields.size(); ++i)
        ASSERT_EQ(db.SetString(records_.back(), "T", fields[i], row[i]), 1);
    }
  }
  void MakeNames(const std::vector<const char*>& texts) {
    std::vector<std::vector<const char*>> rows;
    for (const char* t : texts) rows.push_back({t});
    MakeDatabase({"名称"}, rows);
    texts_.assign(texts.begin(), texts.end());
  }
  int Build(const std::vector<const char*>& fields, const char* index = "t.sif") {
    return BuildNameIndex(Sys("t.ndb").c_str(), "T", fields.data(), static_cast<int>(fields.size()),
                          Sys(index).c_str(), msg_);
  }
  int BuildMid(const char* mid = "t.mid", NameIndexProgress progress = nullptr) {
    CRecordList names;
    names.Create(2, 8, 1);
    names.Add("名称\0\0\0");
    return BuildIntermediateNameIndex(Sys("t.ndb").c_str(), "T", names, Sys(mid).c_str(), msg_,
                                      progress);
  }
  int BuildFinal(const char* index = "t.sif", const char* mid = "t.mid",
                 NameIndexProgress progress = nullptr) {
    return BuildStringIndex(Sys(index).c_str(), Sys(mid).c_str(), msg_, progress);
  }
  int ToList(CRecordList* list, const char* key, int characterMode, int matchMode) {
    return SearchNameIndexToList(list, Sys("t.sif").c_str(), Sys("t.ndb").c_str(), key,
                                 characterMode, matchMode, msg_);
  }
  int ToFile(const char* key, const char* index = "t.sif", const char* db = "t.ndb",
             const char* out = "out.bin") {
    return SearchNameIndexToFile(Sys(out).c_str(), key, Sys(db).c_str(), Sys(index).c_str(), 2,
                                 kNameIndexContains, msg_);
  }

  // Runs the three forms; they must succeed and agree (the array holding
  // the texts of the listed records). Answers the positions.
  std::vector<uint32_t> Search(const char* key, int characterMode, int matchMode) {
    EXPECT_EQ(SearchNameIndexToFile(Sys("out.bin").c_str(), key, Sys("t.ndb").c_str(),
                                    Sys("t.sif").c_str(), characterMode, matchMode, msg_),
              1)
        << Show(msg_);
    const std::string bytes = Bytes("out.bin");
    EXPECT_EQ(bytes.size() % 4, 0u);
    std::vector<uint32_t> found;
    CStringArray texts;
    for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4) {
      found.push_back(U32At(bytes, at));
      for (std::size_t i = 0; i < records_.size(); ++i)
        if (records_[i] == found.back()) texts.push_back(texts_[i]);
    }
    CRecordList list;
    list.Create(1, 4, 1);
    EXPECT_EQ(ToList(&list, key, characterMode, matchMode), 1) << Show(msg_);
    EXPECT_EQ(list.GetCount(), found.size());
    for (uint32_t n = 1; n <= list.GetCount() && n <= found.size(); ++n)
      EXPECT_EQ(*static_cast<const uint32_t*>(list.GetPtr(n)), found[n - 1]);
    CStringArray array{"stale"};
    EXPECT_EQ(SearchNameIndexToArray(&array, Sys("t.sif").c_str(), Sys("t.ndb").c_str(), key,
                                     characterMode, matchMode, msg_),
              1);
    EXPECT_EQ(array, texts);
    return found;
  }
  std::vector<uint32_t> R(std::initializer_list<int> numbers) const {
    std::vector<uint32_t> out;
    for (int n : numbers) out.push_back(records_[static_cast<std::size_t>(n - 1)]);
    return out;
  }

  TempDir dir_;
  std::vector<uint32_t> records_;
  std::vector<std::string> texts_;
  char msg_[kMessageSize] = {};
};

}  // namespace

TEST(NameIndexCharacterCode, FirstByteLowAndSingleBytesSignExtended) {
  const struct {
    const char* text;
    uint16_t code;
  } cases[] = {{"区", kKu},      {"表", 0x5C95},   {"A", 0x41},      {"\x7F", 0x7F},
               {"\xB1", 0xFFB1}, {"\x80", 0xFF80}, {"\x8B", 0xFF8B},  // lone lead byte
               {"", 0},          {"千代", kSen}};
  for (const auto& c : cases) EXPECT_EQ(CharacterCode(c.text), c.code) << Show(c.text);
}

// ---- Building ----

TEST_F(NameIndexTest, BuildsTheGoldenFileByteForByte) {
  MakeNames({"千代田区", "中央区", "港区"});
  ASSERT_EQ(Build({"名称"}), 1) << Show(msg_);
  const std::string bytes = Bytes("t.sif");
  ASSERT_EQ(bytes.size(), 524625u);
  const auto& r = records_;
  // Bucket 区: count 3, the entries of the three records in table order.
  EXPECT_EQ(U32At(bytes, kTable + 8u * kKu), 3u);
  EXPECT_EQ(bytes.substr(U32At(bytes, kTable + 8u * kKu + 4), 24),
            Entry(0, r[0], 8, 7) + Entry(0, r[1], 6, 5) + Entry(0, r[2], 4, 3));

  // The whole file from the format: header, the field's offset (after the
  // INT field), bucket table, then the buckets in code order.
  const std::map<uint16_t, std::string> buckets = {
      {kMina, Entry(kKu, r[2], 4, 1)},
      {kTa, Entry(kKu, r[0], 8, 5)},
      {kNaka, Entry(kOu, r[1], 6, 1)},
      {kOu, Entry(kKu, r[1], 6, 3)},
      {kDai, Entry(kTa, r[0], 8, 3)},
      {kKu, Entry(0, r[0], 8, 7) + Entry(0, r[1], 6, 5) + Entry(0, r[2], 4, 3)},
      {kSen, Entry(kDai, r[0], 8, 1)}};
  std::string expected = std::string("N-SIT", 5) + std::string(255, '\0') + '\x01' +
                         std::string("\x05\0\0\0", 4) + std::string(524288, '\0');
  for (const auto& [code, entries] : buckets) {
    PutU32(&expected, kTable + 8u * code, static_cast<uint32_t>(entries.size() / 8));
    PutU32(&expected, kTable + 8u * code + 4, static_cast<uint32_t>(expected.size()));
    expected += entries;
  }
  EXPECT_TRUE(bytes == expected);
}

TEST_F(NameIndexTest, IntermediateChainsMatchTheWalkingAppend) {
  MakeNames({"千代田区", "中央区", "港区"});
  ASSERT_EQ(BuildMid(), 1) << Show(msg_);
  const std::string fast = Bytes("t.mid");
  ASSERT_EQ(fast.size(), kTable + 524288u + 9u * 12u);
  EXPECT_EQ(U32At(fast, kTable + 8u * kKu), 3u);
  uint32_t node = U32At(fast, kTable + 8u * kKu + 4);
  for (uint32_t i = 0, length = 8; i < 3; ++i, length -= 2) {
    ASSERT_NE(node, 0u);
    EXPECT_EQ(fast.substr(node + 4, 8), Entry(0, records_[i], length, length - 1));
    node = U32At(fast, node);
  }
  EXPECT_EQ(node, 0u);

  // The same bytes through the append that walks each chain.
  plat::File file;
  const uint32_t offset = 5;
  ASSERT_EQ(CreateNameIndexFile(&file, Sys("slow.mid").c_str(), "T", &offset, 1), 1);
  for (std::size_t i = 0; i < records_.size(); ++i) {
    const char* t = texts_[i].c_str();
    const auto length = static_cast<uint8_t>(texts_[i].size());
    for (uint8_t o = 0; o < length; o += 2) {
      NameIndexNode n{0xDEADBEEF,
                      {CharacterCode(t + o + 2), records_[i], length, static_cast<uint8_t>(o + 1)}};
      ASSERT_EQ(AppendNameIndexNode(&file, CharacterCode(t + o), n, kTable), 1);
    }
  }
  file.Close();
  EXPECT_TRUE(Bytes("slow.mid") == fast);
  ASSERT_EQ(BuildFinal(), 1);
  ASSERT_EQ(Build({"名称"}, "one.sif"), 1);
  EXPECT_TRUE(Bytes("t.sif") == Bytes("one.sif"));
}

TEST_F(NameIndexTest, JoinsFieldsInTheOrderNamed) {
  MakeDatabase({"郡", "市"}, {{"西多摩郡", "瑞穂町"}, {"", "八王子市"}});
  texts_ = {"瑞穂町西多摩郡", "八王子市"};
  ASSERT_EQ(Build({"市", "郡"}), 1) << Show(msg_);
  const std::string bytes = Bytes("t.sif");
  EXPECT_EQ(bytes.substr(260, 9), std::string("\x02\x09\0\0\0\x05\0\0\0", 9));
  EXPECT_EQ(Search("町西", 2, kNameIndexContains), R({1}));
  EXPECT_EQ(Search("子市", 1, kNameIndexEndsWith), R({2}));
}

TEST_F(NameIndexTest, BuildersReportProgressEveryThousandSteps) {
  MakeNames(std::vector<const char*>(1000, "区"));
  std::vector<std::string> seen;
  g_progress = &seen;
  ASSERT_EQ(BuildMid("t.mid", RecordProgress), 1);
  EXPECT_EQ(seen, std::vector<std::string>{"中間ファイル作成中：1000/1000"});
  seen.clear();
  ASSERT_EQ(BuildFinal("t.sif", "t.mid", RecordProgress), 1);
  g_progress = nullptr;
  ASSERT_EQ(seen.size(), 66u);
  EXPECT_EQ(seen.front(), "インデックスファイル作成中：0/65535");
  EXPECT_EQ(seen.back(), "インデックスファイル作成中：65000/65535");
  EXPECT_EQ(U32At(Bytes("t.sif"), kTable + 8u * kKu), 1000u);
}

// ---- Searching ----

TEST_F(NameIndexTest, SearchCasesInEveryModeAndForm) {
  MakeNames({"千代田区", "中央区", "港区"});
  ASSERT_EQ(Build({"名称"}), 1) << Show(msg_);
  const struct {
    const char* key;
    int characterMode, matchMode;
    std::vector<uint32_t> expected;
  } cases[] = {
      {"中央", 2, 4, R({2})},
      {"代田 千", 2, 4, R({1})},
      {"区 中", 1, 4, R({2})},
      {"港 中", 2, 4, {}},
      {"  区  ", 1, 4, R({1, 2, 3})},
      {"中央", 1, 1, R({2})},
      {"代田", 1, 1, {}},
      {"央区", 1, 1, {}},
      {"代田", 1, 2, R({1})},
      {"央区", 1, 2, R({2})},
      {"田中", 1, 2, {}},
      {"田区", 1, 3, R({1})},
      {"代田", 1, 3, {}},
      {"千代田区", 1, 3, R({1})},
      {"県", 1, 2, {}},
      {"県", 2, 4, {}},  // empty bucket
      // A key covered by its bucket (one character, or two with the pair)
      // is accepted without the text test in modes 1 to 3.
      {"央", 1, 1, R({2})},
      {"中", 1, 3, R({2})},
      {"代田", 2, 1, R({1})},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Search(c.key, c.characterMode, c.matchMode), c.expected)
        << Show(c.key) << " " << c.characterMode << "/" << c.matchMode;
  for (int mode = 1; mode <= 4; ++mode)
    for (int characterMode = 1; characterMode <= 2; ++characterMode)
      EXPECT_EQ(Search("区", characterMode, mode), R({1, 2, 3})) << mode;
}

TEST_F(NameIndexTest, CharacterPairFiltersOnTheFollowingCharacter) {
  MakeNames({"東京都", "西東京", "東西京"});
  ASSERT_EQ(Build({"名称"}), 1);
  EXPECT_EQ(Search("東京", 2, kNameIndexEndsWith), R({1, 2}));  // covered by 東 + 京
  EXPECT_EQ(Search("東京", 1, kNameIndexEndsWith), R({2}));
  EXPECT_EQ(Search("東京", 1, kNameIndexContains), R({1, 2}));
  EXPECT_EQ(Search("東京都", 2, kNameIndexStartsWith), R({1}));
  EXPECT_EQ(Search("東西", 2, kNameIndexContains), R({3}));
}

TEST_F(NameIndexTest, RecordHoldingTheCharacterThriceIsGivenOnce) {
  MakeNames({"区", "区区区", "港区区", "中"});
  ASSERT_EQ(Build({"名称"}), 1);
  EXPECT_EQ(Search("区", 1, kNameIndexContains), R({1, 2, 3}));
  EXPECT_EQ(Search("区区", 1, kNameIndexContains), R({2, 3}));
}

TEST_F(NameIndexTest, HalfWidthKatakanaUsesTheSignExtendedBucket) {
  MakeNames({"\xB1\xB2", "A\xB1", "\xB2"});
  ASSERT_EQ(Build({"名称"}), 1);
  EXPECT_EQ(U32At(Bytes("t.sif"), kTable + 8u * 0xFFB1), 2u);
  EXPECT_EQ(Search("\xB1", 1, kNameIndexContains), R({1, 2}));
  EXPECT_EQ(Search("\xB1\xB2", 2, kNameIndexStartsWith), R({1}));
}

// ソ is 83 5C: the bytes of "\ソ" (5C 83 5C) end "\ソソ", whose last two
// characters are ソソ.
TEST_F(NameIndexTest, EndsWithMatchesWholeCharactersOnly) {
  MakeNames({"\\ソソ", "a\\ソ"});
  ASSERT_EQ(Build({"名称"}), 1);
  EXPECT_EQ(Search("\\ソ", 1, kNameIndexEndsWith), R({2}));
  EXPECT_EQ(Search("\\ソ", 1, kNameIndexContains), R({1, 2}));
}

TEST_F(NameIndexTest, EmptyKeySucceedsWithNoMatches) {
  // The array and list forms answer before opening anything; the file form
  // opens its files first.
  CRecordList list;
  list.Create(1, 4, 1);
  CStringArray array{"old"};
  EXPECT_EQ(SearchNameIndexToList(&list, "none.sif", "none.ndb", "", 1, 4, msg_), 1);
  EXPECT_EQ(SearchNameIndexToArray(&array, "none.sif", "none.ndb", "", 1, 4, msg_), 1);
  EXPECT_TRUE(list.GetCount() == 0 && array.empty());
  EXPECT_EQ(ToFile(""), 0);
  MakeNames({"港区"});
  ASSERT_EQ(Build({"名称"}), 1);
  EXPECT_EQ(Search("", 1, 4), std::vector<uint32_t>{});
  EXPECT_TRUE(Exists("out.bin"));
}

// ---- Search failures ----

TEST_F(NameIndexTest, SearchFailuresNameTheFileAndLeaveNoOutput) {
  MakeNames({"千代田区", "中央区", "港区"});
  ASSERT_EQ(Build({"名称"}), 1);
  const char* open = "ファイルオープンエラー!";
  EXPECT_EQ(ToFile("区", "none.sif"), 0);
  EXPECT_EQ(Message(), Msg(open, "none.sif"));
  EXPECT_EQ(ToFile("区", "t.sif", "none.ndb"), 0);
  EXPECT_EQ(Message(), Msg(open, "none.ndb"));
  EXPECT_EQ(ToFile("区", "t.sif", "t.ndb", "no\\out.bin"), 0);
  EXPECT_EQ(Message(), Msg(open, "no\\out.bin"));
  {
    testutil::FileSizeLimit limit(6);  // the second position does not fit
    EXPECT_EQ(ToFile("区"), 0);
  }
  EXPECT_EQ(Message(), Msg("ファイルへの書き込みに失敗しました!", "out.bin"));
  EXPECT_FALSE(Exists("out.bin"));
  CRecordList wide;
  wide.Create(1, 8, 1);
  EXPECT_EQ(ToList(&wide, "区", 1, 4), 0);
}

TEST_F(NameIndexTest, ReadRejectsAFileWithoutTheMagic) {
  MakeNames({"港区"});
  ASSERT_EQ(Build({"名称"}), 1);
  std::string bytes = Bytes("t.sif");
  bytes[3] = 'X';
  Put("t.sif", bytes);
  EXPECT_EQ(ToFile("区"), 0);
  EXPECT_EQ(Message(), Msg("ファイルの読み込みに失敗しました!", "t.sif"));
  EXPECT_FALSE(Exists("out.bin"));
  EXPECT_EQ(BuildFinal("u.sif", "t.sif"), 0);  // the second build pass
  EXPECT_EQ(Message(), Msg("ファイルの読み込みに失敗しました!", "t.sif"));
  EXPECT_FALSE(Exists("u.sif"));
}

TEST_F(NameIndexTest, DamagedIndexFailsWithoutPartialResults) {
  MakeNames({"千代田区", "中央区", "港区"});
  ASSERT_EQ(Build({"名称"}), 1);
  const std::string good = Bytes("t.sif");
  std::string huge = good;
  PutU32(&huge, kTable + 8u * kKu, 0x7FFFFFFF);
  CRecordList list;
  list.Create(1, 4, 1);
  for (const std::string& b : {huge, good.substr(0, good.size() - 12), good.substr(0, 300)}) {
    Put("t.sif", b);
    EXPECT_EQ(ToList(&list, "区", 1, 2), 0);
    EXPECT_EQ(Message(), Msg("ファイルの読み込みに失敗しました!", "t.sif"));
  }
  // The third entry of 区 names no record: the two accepted before it are
  // taken back.
  std::string bad = good;
  PutU32(&bad, U32At(good, kTable + 8u * kKu + 4) + 16 + 2, 0xFFFFFF00);
  Put("t.sif", bad);
  const uint32_t earlier = 77;
  list.Add(&earlier);
  EXPECT_EQ(ToList(&list, "区", 1, 2), 0);
  EXPECT_EQ(Message(), Msg("ファイルの読み込みに失敗しました!", "t.ndb"));
  EXPECT_EQ(list.GetCount(), 1u);
  CStringArray array;
  EXPECT_EQ(
      SearchNameIndexToArray(&array, Sys("t.sif").c_str(), Sys("t.ndb").c_str(), "区", 1, 2, msg_),
      0);
  EXPECT_TRUE(array.empty());
  EXPECT_EQ(ToFile("区"), 0);
  EXPECT_FALSE(Exists("out.bin"));
}

// With the entry of 千 damaged, a search that 千 does not lead still
// succeeds: only the rarest word's bucket is read (the first on a tie).
TEST_F(NameIndexTest, AllWordsSearchReadsOnlyTheRarestWordsBucket) {
  MakeNames({"千代田区", "中央区", "港区"});
  ASSERT_EQ(Build({"名称"}), 1);
  std::string bytes = Bytes("t.sif");
  PutU32(&bytes, U32At(bytes, kTable + 8u * kSen + 4) + 2, 0xFFFFFF00);
  Put("t.sif", bytes);
  EXPECT_EQ(Search("代田 千", 2, kNameIndexAllWords), R({1}));
  EXPECT_EQ(Search("区 代", 1, kNameIndexAllWords), R({1}));
  CRecordList list;
  list.Create(1, 4, 1);
  EXPECT_EQ(ToList(&list, "千 代田", 2, kNameIndexAllWords), 0);
  EXPECT_EQ(ToList(&list, "区 千", 2, kNameIndexAllWords), 0);
}

// ---- Build failures ----

TEST_F(NameIndexTest, BuilderFailuresGiveTheirMessagesAndLeaveNoFile) {
  MakeNames({"港区"});
  const std::string db = Sys("t.ndb");
  const struct {
    std::vector<const char*> fields;
    std::string message;
  } cases[] = {
      {{}, "検索文字列フィールドが設定されていません！"},
      {{"名称", "名無し"}, "フィールド情報の取得に失敗しました！(" + db + ":名無し)"},
      {{"番号"}, "フィールドのデータタイプが文字列ではありません！(" + db + ":番号)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Build(c.fields), 0);
    EXPECT_EQ(Message(), c.message);
  }
  const char* name[] = {"名称"};
  EXPECT_EQ(BuildNameIndex(Sys("none.ndb").c_str(), "T", name, 1, Sys("t.sif").c_str(), msg_), 0);
  EXPECT_EQ(Message(), Msg("ファイルオープンエラー!", "none.ndb"));
  EXPECT_EQ(BuildMid("no\\t.mid"), 0);
  EXPECT_EQ(Message(), Msg("ファイルオープンエラー!", "no\\t.mid"));
  MakeNames({});
  EXPECT_EQ(BuildMid(), 0);
  EXPECT_EQ(Message(), "レコードがありません！");
  EXPECT_FALSE(Exists("t.mid") || Exists("t.sif"));

  MakeNames({"千代田区", "中央区", "港区"});
  ASSERT_EQ(BuildMid(), 1);
  const std::string mid = Bytes("t.mid");
  EXPECT_EQ(BuildFinal("t.sif", "none.mid"), 0);
  EXPECT_EQ(Message(), Msg("ファイルオープンエラー!", "none.mid"));
  EXPECT_EQ(BuildFinal("no\\t.sif"), 0);
  EXPECT_EQ(Message(), Msg("ファイルの作成に失敗しました！", "no\\t.sif"));
  std::string broken = mid;
  PutU32(&broken, kTable + 8u * kKu, 4);  // longer than its chain
  Put("t.mid", broken);
  EXPECT_EQ(BuildFinal(), 0);
  EXPECT_EQ(Message(), "中間ファイルへの読み込みに失敗しました！");
  Put("t.mid", mid.substr(0, kTable + 8 * 1000));
  EXPECT_EQ(BuildFinal(), 0);
  EXPECT_EQ(Message(), "インデックスレコードの読み込みに失敗しました！");
  Put("t.mid", mid);
  {
    testutil::FileSizeLimit limit(524600);  // full while entries are written
    EXPECT_EQ(BuildFinal(), 0);
  }
  EXPECT_EQ(Message(), Msg("データの書き込みに失敗しました！", "t.sif"));
  EXPECT_FALSE(Exists("t.sif"));
}

TEST_F(NameIndexTest, BuilderRefusesTextsOf256BytesOrMore) {
  const std::string longest(255, 'a'), tooLong(256, 'a');
  MakeNames({"港区", longest.c_str()});
  ASSERT_EQ(Build({"名称"}), 1) << Show(msg_);
  const std::string bytes = Bytes("t.sif");
  EXPECT_EQ(U32At(bytes, kTable + 8u * 'a'), 255u);
  EXPECT_EQ(bytes.substr(U32At(bytes, kTable + 8u * 'a' + 4) + 254 * 8, 8),
            Entry(0, records_[1], 255, 255));
  MakeNames({"港区", tooLong.c_str()});
  EXPECT_EQ(BuildMid(), 0);
  EXPECT_EQ(Message(), "文字列の追加に失敗しました！(" + Sys("t.mid") + "：2レコード目)");
  EXPECT_FALSE(Exists("t.mid"));
  EXPECT_EQ(Build({"名称"}, "u.sif"), 0);
  EXPECT_FALSE(Exists("u.sif"));
}

TEST_F(NameIndexTest, OneCallBuildLeavesNoTemporaryFile) {
  const char* saved = std::getenv("TMPDIR");
  const std::string savedValue = saved ? saved : "";
  TempDir temp;
  setenv("TMPDIR", temp.path().c_str(), 1);
  MakeNames({"港区"});
  EXPECT_EQ(Build({"名称"}), 1);
  EXPECT_EQ(Build({"番号"}, "u.sif"), 0);
  if (saved)
    setenv("TMPDIR", savedValue.c_str(), 1);
  else
    unsetenv("TMPDIR");
  EXPECT_TRUE(std::filesystem::is_empty(temp.path()));
}
