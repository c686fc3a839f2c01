// The postal-code index reader against files of the index builder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/le_bytes.h"
#include "common/message.h"
#include "support/test_util.h"
#include "tabledb/table_database.h"
#include "tool/postal_search.h"
#include "tool/reverse_geocode.h"
#include "tool/search_entries.h"
#include "tools/ydbbuild/ydb_writer.h"

namespace {

using ydbbuild::PostalEntry;

std::string Image(const std::vector<PostalEntry>& entries) {
  char msg[kMessageSize] = "";
  std::string image;
  EXPECT_EQ(ydbbuild::BuildPostalIndexImage(entries, &image, msg), 1) << testutil::Show(msg);
  return image;
}

class PostalIndex : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* build = std::getenv("KORT_BUILD_DIR");
    if (!build || !*build) GTEST_SKIP() << "KORT_BUILD_DIR is not set";
    folder_ = std::string(build) + "\\Database\\" + testutil::Sjis(u8"住所") + "\\";
    ASSERT_EQ(database_.Open((folder_ + "QVAD13.NDB").c_str()), 1);
    // The TC_Oaza record positions in 地名コード order.
    const std::string cd3 =
        testutil::ReadBytes(std::string(build) + "/Database/" +
                            reinterpret_cast<const char*>(u8"住所") + "/QVAD13_CD3.INX");
    for (std::size_t i = 0; i + 4 <= cd3.size(); i += 4)
      records_.push_back(
          static_cast<uint32_t>(LoadLe(reinterpret_cast<const unsigned char*>(&cd3[i]), 4)));
    ASSERT_GT(records_.size(), 4u);
  }
  std::string Path() { return dir_.Sys("QVAD13.YDB"); }
  void Write(const std::string& image) {
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native("QVAD13.YDB"), image));
  }

  testutil::TempDir dir_;
  std::string folder_;
  CTableDatabase database_;
  std::vector<uint32_t> records_;
};

TEST_F(PostalIndex, OpenChecksTheMagicAndReadyChecksTheDatabase) {
  std::string image = Image({{1000005, {records_[1]}}});
  Write(image);
  CYdbIndex index;
  char msg[kMessageSize] = "";
  EXPECT_EQ(index.CheckReady(msg), 0);
  EXPECT_EQ(testutil::Show(msg),
            testutil::Show(testutil::Sjis(u8"インデックスファイルがオープンされていません！")));
  ASSERT_EQ(index.Open(Path().c_str()), 1);
  EXPECT_EQ(index.CheckReady(msg), 0);
  EXPECT_EQ(testutil::Show(msg),
            testutil::Show(testutil::Sjis(u8"データベースがセットされていません！")));
  index.SetDatabase(&database_);
  EXPECT_EQ(index.CheckReady(msg), 1);
  unsigned char header[kYdbHeaderSize];
  ASSERT_EQ(index.GetHeader(header), 1);
  EXPECT_EQ(LoadLe(header + 18, 4), 256u);
  image[0] = 'X';
  Write(image);
  EXPECT_EQ(index.Open(Path().c_str()), 0);
  EXPECT_EQ(index.GetHeader(header), 0);
  Write(image.substr(0, 100));
  EXPECT_EQ(index.Open(Path().c_str()), 0);
}

TEST_F(PostalIndex, EntriesRecordsAndTheFirstEntryNotBelowACode) {
  for (const int count : {3, 10, 11, 25}) {
    std::vector<PostalEntry> entries;
    for (int k = 0; k < count; ++k)
      entries.push_back({static_cast<uint32_t>(1000000 + 10 * k), {records_[0], records_[1]}});
    Write(Image(entries));
    CYdbIndex index;
    ASSERT_EQ(index.Open(Path().c_str()), 1);
    index.SetDatabase(&database_);
    const uint32_t n = static_cast<uint32_t>(count);
    EXPECT_EQ(index.FindCodeEntry(0), 1u) << count;
    EXPECT_EQ(index.FindCodeEntry(1000000), 1u) << count;
    EXPECT_EQ(index.FindCodeEntry(1000001), 2u) << count;
    EXPECT_EQ(index.FindCodeEntry(1000020), 3u) << count;
    EXPECT_EQ(index.FindCodeEntry(1000000 + 10 * (n - 1)), n) << count;
    EXPECT_EQ(index.FindCodeEntry(1000000 + 10 * (n - 1) - 5), n) << count;
    EXPECT_EQ(index.FindCodeEntry(1000000 + 10 * n), 0u) << count;
    for (uint32_t k = 1; k < n; ++k)
      EXPECT_EQ(index.FindCodeEntry(1000000 + 10 * k - 3), k + 1) << count << " " << k;
    YdbCodeEntry e;
    EXPECT_EQ(index.ReadCodeEntry(0, &e), 0);
    EXPECT_EQ(index.ReadCodeEntry(n + 1, &e), 0);
    ASSERT_EQ(index.ReadCodeEntry(n, &e), 1);
    EXPECT_EQ(e.count, 2);
    EXPECT_EQ(e.listOffset, (n - 1) * 8);
    uint32_t record = 0;
    EXPECT_EQ(index.ReadRecordNumber(e, 0, &record), 0);
    EXPECT_EQ(index.ReadRecordNumber(e, 3, &record), 0);
    ASSERT_EQ(index.ReadRecordNumber(e, 2, &record), 1);
    EXPECT_EQ(record, records_[1]);
  }
}

// Every prefix of a small index and 1,000 random byte flips: the search
// answers, whatever the file holds, without reading outside it.
TEST_F(PostalIndex, TruncatedAndCorruptedIndexesNeverCrash) {
  std::vector<PostalEntry> entries;
  for (std::size_t k = 0; k < 5; ++k)
    entries.push_back({static_cast<uint32_t>(1000001 + k), {records_[k], records_[(k + 1) % 5]}});
  const std::string good = Image(entries);
  auto search = [&](const std::string& image) {
    Write(image);
    CYdbIndex index;
    if (!index.Open(Path().c_str())) return 0;
    index.SetDatabase(&database_);
    CStringArray lines;
    CAdrsContext context;
    context.SetOutputArray(&lines);
    int32_t counter = 0, interrupted = 0;
    char msg[kMessageSize] = "";
    index.Search("100", &context, &counter, -1, &interrupted, msg);
    EXPECT_EQ(counter, static_cast<int32_t>(lines.size()));
    return static_cast<int>(lines.size());
  };
  const int full = search(good);
  EXPECT_GT(full, 0);
  for (std::size_t n = 0; n < good.size(); ++n) search(good.substr(0, n));
  std::mt19937 rng(2000);
  for (int i = 0; i < 1000; ++i) {
    std::string bad = good;
    bad[rng() % bad.size()] ^= static_cast<char>(1 + rng() % 255);
    search(bad);
  }
  EXPECT_EQ(search(good), full);
}

TEST(PostalIndexBuilder, RefusesUnorderedEmptyAndOversizedInput) {
  char msg[kMessageSize] = "";
  std::string image;
  EXPECT_EQ(ydbbuild::BuildPostalIndexImage({}, &image, msg), 0);
  EXPECT_EQ(ydbbuild::BuildPostalIndexImage({{2, {1}}, {1, {1}}}, &image, msg), 0);
  EXPECT_EQ(ydbbuild::BuildPostalIndexImage({{1, {1}}, {1, {2}}}, &image, msg), 0);
  EXPECT_EQ(ydbbuild::BuildPostalIndexImage({{10000000, {1}}}, &image, msg), 0);
  EXPECT_EQ(ydbbuild::BuildPostalIndexImage({{1, {}}}, &image, msg), 0);
  ASSERT_EQ(ydbbuild::BuildPostalIndexImage({{1000004, {7, 8}}, {1000005, {9}}}, &image, msg), 1);
  ASSERT_EQ(image.size(), 256u + 2 * 10 + 3 * 4);
  const auto* b = reinterpret_cast<const unsigned char*>(image.data());
  EXPECT_EQ(std::string(image, 0, 6), "TVXYDB");
  EXPECT_EQ(LoadLe(b + 10, 4), 1000005u);
  EXPECT_EQ(LoadLe(b + 14, 4), 1000004u);
  EXPECT_EQ(LoadLe(b + 22, 2), 2u);
  // The second entry's list begins after the first's two records.
  EXPECT_EQ(LoadLe(b + 256 + 10 + 4, 4), 8u);
  EXPECT_EQ(LoadLe(b + 256 + 20 + 8, 4), 9u);
}

}  // namespace

namespace {

TEST_F(PostalIndex, EntryFormsAndTheRawReverseEntry) {
  const std::string folder = folder_.substr(0, folder_.size() - 1);  // without the "\"
  char msg[kMessageSize] = "";
  CStringArray lines;
  ASSERT_EQ(SearchPostalCodeToArrayPlain(&lines, "1000004", folder.c_str(), msg, "VRG_EXTEND"), 1);
  // Without options: the stored names and integer coordinates.
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(testutil::Show(lines[0]),
            testutil::Show(testutil::Sjis(u8"東京都,千代田区,ちよだく,大手町,おおてまち,一丁目,"
                                          u8"いっちょうめ,13101002001,128465186,503156554")));
  CStringArray formatted;
  ASSERT_EQ(SearchPostalCodeToArray(&formatted, "1000004", folder.c_str(), msg, "VRG_EXTEND", 1, 3,
                                    2, 1, 2),
            1);
  EXPECT_EQ(testutil::Show(formatted[1]),
            testutil::Show(testutil::Sjis(u8"東京都,千代田区,チヨダク,大手町,オオテマチ,二,ニ,"
                                          u8"13101002002,128457.265,503176.355")));
  char buffer[512];
  ASSERT_EQ(
      SearchPostalCodeToBufferPlain(buffer, sizeof buffer, "1000004", folder.c_str(), msg, ""), 1);
  EXPECT_EQ(std::string(buffer), lines[0] + ";" + lines[1]);
  // Too small for even one line, and the argument checks.
  EXPECT_EQ(SearchPostalCodeToBuffer(buffer, 20, "1000004", folder.c_str(), msg, "", 1, 1, 1, 1, 1),
            0);
  EXPECT_EQ(SearchPostalCodeToBuffer(buffer, 0, "1000004", folder.c_str(), msg, "", 1, 1, 1, 1, 1),
            0);
  EXPECT_EQ(testutil::Show(msg),
            testutil::Show(
                testutil::Sjis(u8"パラメータに無効な値が渡されました！(結果格納バッファサイズ)")));
  EXPECT_EQ(SearchPostalCodeToArrayPlain(nullptr, "1000004", folder.c_str(), msg, ""), 0);
  EXPECT_EQ(testutil::Show(msg),
            testutil::Show(testutil::Sjis(u8"パラメータに無効な値が渡されました！(結果格納配列)")));
  EXPECT_EQ(SearchPostalCodeToFilePlain(nullptr, "1000004", folder.c_str(), msg, ""), 0);
  // A text of thousands of bytes is no code (and the message stays bounded).
  const std::string longText = std::string(3000, '-') + "1000004";
  CStringArray none;
  EXPECT_EQ(SearchPostalCodeToArrayPlain(&none, longText.c_str(), folder.c_str(), msg, ""), 0);
  EXPECT_TRUE(none.empty());
  EXPECT_LT(std::strlen(msg), kMessageSize);
  // The raw reverse entry: seconds of arc, Tokyo datum, the line as found.
  char result[1024];
  ASSERT_EQ(GetAddressCodeAtPoint(result, 128446.464, 503165.554, folder.c_str(), msg), 1);
  EXPECT_EQ(testutil::Show(result),
            testutil::Show(testutil::Sjis(
                u8"東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,13101001001")));
  EXPECT_EQ(ReverseGeocodeRaw(result, 128446.464, 503165.554, folder.c_str(), msg, "VRG_BASIC"), 0);
  EXPECT_EQ(ReverseGeocodeShort(result, 128446464, 503165554, folder.c_str(), msg, 1, 1, 2, 1, 1),
            1);
  EXPECT_EQ(testutil::Show(result),
            testutil::Show(testutil::Sjis(
                u8"東京都,千代田区,ちよだく,丸の内,まるのうち,一,いっ,13101001001")));
  EXPECT_EQ(ReverseGeocode(nullptr, 0, 0, folder.c_str(), msg, "", 1, 1, 1, 1, 1), 0);
  EXPECT_EQ(testutil::Show(msg),
            testutil::Show(testutil::Sjis(u8"パラメータに無効な値が渡されました！(結果格納配列)")));
}

}  // namespace
