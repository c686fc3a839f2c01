// Helpers of the matching driver: the cut at the first single-byte
// character and the search-text kind test.

#include "matching/match_driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/message.h"
#include "matching/adrs_context.h"
#include "matching/edit_text.h"
#include "matching/match_entries.h"
#include "matching/prefecture_names.h"
#include "plat/cp932.h"
#include "match_line.h"
#include "platform/src/derived_store_detail.h"
#include "sample_folder.h"
#include "support/test_util.h"
#include "tabledb/dictionaries.h"
#include "tools/dictbuild/pair_file_writer.h"
#include "tools/sampledata/corpus.h"
#include "tools/sampledata/description.h"
#include "tools/sampledata/generate.h"

using testutil::Show;

namespace {

TEST(FindFirstSingleByteChar, WalksWholeCharactersFromTheStart) {
  const struct {
    const char* text;
    int position;
  } cases[] = {
      {"", 0},      {"表示", 0},  // trail bytes 0x5C stay inside their characters
      {"ソ\\", 3},  {"丸の内\t１", 7}, {"a東京", 1},
      {"東京ｱ", 5}, {"東\x81", 3},  // a lead byte just before the end
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindFirstSingleByteChar(c.text), c.position) << Show(c.text);
    char text[32];
    std::snprintf(text, sizeof text, "%s", c.text);
    const std::size_t kept = c.position ? c.position - 1 : std::strlen(c.text);
    EXPECT_EQ(std::strlen(TruncateAtSingleByte(text)), kept) << Show(c.text);
    CEditText edit;
    ASSERT_EQ(edit.Init(c.text), 1);
    EXPECT_EQ(TruncateEditTextAtSingleByte(&edit), 1);
    EXPECT_EQ(std::strlen(edit.GetText()), kept) << Show(c.text);
    EXPECT_STREQ(edit.GetVersionText(1), c.text);
  }
}

TEST(CheckSearchTextKind, EachKindAcceptsItsOwnCharactersAndDigits) {
  const struct {
    int32_t kind;  // 0: unset
    const char* text;
    int fits;
  } cases[] = {
      {0, "abc東京", 1},
      {1, "ｱｲ１", 1},
      {2, "とうきょう１２", 1},
      {2, "トウキョウ", 0},
      {2, "とうきょう1", 0},
      {3, "トウキョウ１２", 1},
      {3, "とうきょう", 0},
      {4, "ﾄｳｷｮｳ12", 1},
      {4, "ﾄｳｷｮｳ１", 0},
      {4, "ﾄｳ a", 0},
      {2, "", 1},
  };
  for (const auto& c : cases) {
    CAdrsContext context;
    if (c.kind) {
      ASSERT_EQ(context.SetSearchTextKind(c.kind), 1);
    }
    EXPECT_EQ(CheckSearchTextKind(&context, c.text), c.fits) << c.kind << " " << Show(c.text);
  }
}

}  // namespace

// ---- Matching without the prefecture name on a folder that changes ----

namespace {

// One address through the validating buffer entry: the answer and the line.
std::string MatchLineIn(const std::string& folder, const std::string& address) {
  return matchtest::MatchLine(folder, address, false);
}

}  // namespace

// Which prefectures have data is kept per folder listing: a prefecture
// whose database goes away is matched no more, and again once it is back;
// the result of its match is the same as before.
// The sample data generated into a folder of its own ("住所" in dir), and
// twenty addresses of the corpus under each of its two prefectures, without
// the prefecture name.
struct OwnSample {
  testutil::TempDir dir;
  sampledata::Description d;
  std::string folder = dir.path() + "\\" + testutil::Sjis(u8"住所") + "\\";
  std::vector<std::pair<int32_t, std::string>> addresses;

  bool Make() {
    char msg[kMessageSize] = "";
    if (!sampledata::LoadDescription(sampledata::DefaultDescriptionFolder().c_str(), &d, msg) ||
        !sampledata::GenerateDataFolder(d, folder, sampledata::GenerateOptions(), msg)) {
      ADD_FAILURE() << Show(msg);
      return false;
    }
    int each[2] = {0, 0};
    for (const std::string& address : sampledata::MakeAddressCorpus(d)) {
      for (const int32_t j : {13, 26}) {
        char name[kPrefectureTextSize] = {};
        GetPrefectureName(j, name);
        int& taken = each[j == 13 ? 0 : 1];
        if (address.rfind(name, 0) == 0 && taken < 20) {
          addresses.emplace_back(j, address.substr(std::strlen(name)));
          ++taken;
        }
      }
    }
    return each[0] == 20 && each[1] == 20;
  }
  std::vector<std::string> MatchAll() const {
    std::vector<std::string> lines;
    for (const auto& [j, text] : addresses) lines.push_back(MatchLineIn(folder, text));
    return lines;
  }
  std::string Native(const char8_t* name) const {
    return dir.Native(reinterpret_cast<const char*>(name));
  }
};

TEST(RunAddressMatching, PrefecturesWithDataFollowTheFolder) {
  OwnSample sample;
  ASSERT_TRUE(sample.Make());
  const auto& addresses = sample.addresses;
  auto matchAll = [&] { return sample.MatchAll(); };
  // First without the database of 26, then with it, then without again.
  const std::string ndb = sample.Native(u8"住所/QVAD26.NDB");
  const std::string bytes = testutil::ReadBytes(ndb);
  ASSERT_FALSE(bytes.empty());
  ASSERT_EQ(std::remove(ndb.c_str()), 0);
  const std::vector<std::string> without = matchAll();
  ASSERT_TRUE(testutil::WriteBytes(ndb, bytes));
  const std::vector<std::string> with = matchAll();
  int found = 0;
  for (std::size_t n = 0; n < addresses.size(); ++n) {
    if (addresses[n].first == 13) {
      EXPECT_EQ(with[n], without[n]) << Show(addresses[n].second.c_str());
    } else if (with[n][0] == '1') {
      ++found;
      EXPECT_NE(with[n], without[n]) << Show(addresses[n].second.c_str());
    }
  }
  EXPECT_GE(found, 10) << "addresses of 26 are found once its database is there";
  ASSERT_EQ(std::remove(ndb.c_str()), 0);
  EXPECT_EQ(matchAll(), without);
}

// The prefecture name the scan puts in front of the input is normalised
// with the folder's dictionaries and kept with them: a replacement pair
// that changes the name changes the scan's matches, and they are back once
// the pair is gone again.
TEST(RunAddressMatching, NameInFrontFollowsTheFolderDictionaries) {
  OwnSample sample;
  ASSERT_TRUE(sample.Make());
  const std::vector<std::string> before = sample.MatchAll();
  const std::string path = sample.folder + kReplacementDictionaryFile;
  std::vector<dictbuild::TextPair> pairs;
  for (const auto& p : sample.d.replacements) pairs.push_back({p.search, p.replacement});
  auto withPair = pairs;
  withPair.push_back({"京都府", "京都府京都府"});
  std::string error;
  ASSERT_TRUE(dictbuild::WritePairFile(path.c_str(), dictbuild::PairFileForm::kReplacement,
                                       withPair, &error))
      << error;
  const std::vector<std::string> changed = sample.MatchAll();
  int lost = 0;
  for (std::size_t n = 0; n < before.size(); ++n) {
    if (sample.addresses[n].first == 26 && before[n][0] == '1' && changed[n] != before[n]) ++lost;
  }
  EXPECT_GE(lost, 10) << "the changed name in front no longer leads to the address";
  ASSERT_TRUE(
      dictbuild::WritePairFile(path.c_str(), dictbuild::PairFileForm::kReplacement, pairs, &error))
      << error;
  EXPECT_EQ(sample.MatchAll(), before);
}

// The kept answers shared by the calls (the prefectures of a listing, the
// width tables, the edit texts' stores) give every thread what one thread
// gets.
TEST(RunAddressMatching, ThreadsMatchAsOneThreadDoes) {
  OwnSample sample;
  ASSERT_TRUE(sample.Make());
  const std::vector<std::string> alone = sample.MatchAll();
  std::vector<std::vector<std::string>> seen(4);
  std::vector<std::thread> threads;
  for (auto& lines : seen)
    threads.emplace_back([&sample, &lines] {
      for (int round = 0; round < 3; ++round) lines = sample.MatchAll();
    });
  for (std::thread& t : threads) t.join();
  for (const auto& lines : seen) EXPECT_EQ(lines, alone);
}

// The prefecture names of the scan without a prefecture name are kept for
// a bounded number of folders: beyond it the folder used least recently is
// let go, and only that one (a folder let go reads its names again and
// writes them to the store, a kept one does neither).
TEST(RunAddressMatching, KeptNamesLetTheLeastRecentlyUsedFolderGoFirst) {
  std::string source;
  ASSERT_TRUE(plat::cp932::ToUtf8(sample::Folder(), source));
  ASSERT_FALSE(source.empty());
  for (char& c : source) c = c == '\\' ? '/' : c;
  testutil::TempDir links;
  testutil::TempDir cache;
  const testutil::ScopedEnv xdg("XDG_CACHE_HOME", cache.path().c_str());
  const std::string cacheFolder = cache.path() + "/kort";
  auto cacheWritten = [&] {
    std::error_code ec;
    const bool written =
        std::filesystem::exists(cacheFolder, ec) && !std::filesystem::is_empty(cacheFolder, ec);
    std::filesystem::remove_all(cacheFolder, ec);
    // A process notices within a second that the store it has open was
    // removed: at once here, so that the next call finds none.
    plat::detail::ForgetDerivedStore();
    return written;
  };
  // The sample under 65 names: one more than the names are kept for.
  std::vector<std::string> folders;
  for (int i = 0; i < 65; ++i) {
    const std::string name = "f" + std::to_string(i);
    std::error_code ec;
    std::filesystem::create_directory_symlink(source, links.Native(name), ec);
    ASSERT_FALSE(ec) << ec.message();
    folders.push_back(links.path() + "\\" + name + "\\");
  }
  const std::string text = "千代田区丸の内一丁目";
  ForgetKeptPrefectureNames();
  std::string first;
  for (int i = 0; i < 64; ++i) {
    const std::string line = MatchLineIn(folders[i], text);
    if (i == 0) first = line;
    EXPECT_EQ(line, first) << "the same data under another name";
  }
  EXPECT_EQ(first.substr(0, 2), "1|") << Show(first.c_str());
  EXPECT_TRUE(cacheWritten()) << "names read from the data files are written";
  EXPECT_EQ(MatchLineIn(folders[0], text), first);
  EXPECT_FALSE(cacheWritten()) << "kept";
  // f1 is now the least recently used: it goes for f64, and no other.
  EXPECT_EQ(MatchLineIn(folders[64], text), first);
  EXPECT_TRUE(cacheWritten());
  for (const int i : {0, 2, 63, 64}) {
    EXPECT_EQ(MatchLineIn(folders[i], text), first);
    EXPECT_FALSE(cacheWritten()) << "f" << i << " kept";
  }
  EXPECT_EQ(MatchLineIn(folders[1], text), first);
  EXPECT_TRUE(cacheWritten()) << "f1 went and is read again";
  ForgetKeptPrefectureNames();
}
