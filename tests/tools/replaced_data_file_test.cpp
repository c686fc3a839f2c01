// The per-process caches of the matching entries (shared file images, the
// table directory, the dictionaries and the index kind of a data folder)
// notice a replaced data file: the whole corpus gives, through one and the
// same folder path, the results of the data that is there now.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/message.h"
#include "generated_data.h"
#include "matching/match_entries.h"
#include "plat/path.h"
#include "support/test_util.h"
#include "tools/sampledata/corpus.h"
#include "tools/sampledata/generate.h"

using namespace sampledata;
using testutil::Show;
using testutil::Sjis;

namespace {

// Every corpus text through the buffer entry, with the match result or the
// message, one line each.
std::vector<std::string> Results(const std::string& folder,
                                 const std::vector<std::string>& corpus) {
  std::vector<std::string> out;
  for (const std::string& address : corpus) {
    char text[512];
    std::snprintf(text, sizeof text, "%s", address.c_str());
    char buffer[4096] = "";
    char message[kMessageSize] = "";
    const int ok = MatchAddressesToBuffer(buffer, sizeof buffer, text, 0, 1, folder.c_str(),
                                          message, 0, 1, 1, 1, 1, 1, 1, "VRG_EXTEND");
    out.push_back(std::to_string(ok) + "|" + buffer + "|" + message);
  }
  return out;
}

std::string Native(const std::string& cp932) {
  std::string native;
  EXPECT_TRUE(plat::path::ToNative(cp932.c_str(), native));
  return native;
}

// Puts a copy of from in the place of to the way data is usually replaced:
// a new file renamed over the old one.
void ReplaceByRename(const std::string& from, const std::string& to) {
  const std::string temporary = to + ".new";
  std::filesystem::copy_file(from, temporary, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::rename(temporary, to);
}

TEST(ReplacedDataFile, TheWholeCorpusFollowsTheFileNowInTheFolder) {
  const std::vector<std::string> corpus = MakeAddressCorpus(gendata::Sample());
  ASSERT_GT(corpus.size(), 1000u);

  testutil::TempDir dir;
  const std::string original = dir.path() + "\\a\\" + Sjis(u8"住所");
  const std::string changed = dir.path() + "\\b\\" + Sjis(u8"住所");
  char msg[kMessageSize] = "";
  ASSERT_EQ(GenerateDataFolder(gendata::Sample(), original, GenerateOptions{}, msg), 1)
      << Show(msg);
  // The same places, every block of Tokyo moved: another database of the
  // same size and layout.
  Description moved = gendata::Sample();
  for (BlockRow& b : moved.blocks) b.latitude += 1000;
  ASSERT_EQ(GenerateDataFolder(moved, changed, GenerateOptions{}, msg), 1) << Show(msg);

  const std::vector<std::string> before = Results(original, corpus);
  const std::vector<std::string> other = Results(changed, corpus);
  ASSERT_NE(before, other) << "the two data sets must give different results";

  // Both databases replaced by new files renamed over the old ones.
  std::vector<std::pair<std::string, std::string>> kept;  // file, copy of its first bytes
  for (const char* name : {"\\QVAD13.NDB", "\\QVAD26.NDB"}) {
    const std::string file = Native(original + name);
    kept.emplace_back(file, file + ".kept");
    std::filesystem::copy_file(file, file + ".kept");
    ReplaceByRename(Native(changed + name), file);
  }
  EXPECT_EQ(Results(original, corpus), other);

  // Back to the first data, written over in place this time (same files,
  // same sizes: the modification times tell).
  for (const auto& [file, copy] : kept)
    std::filesystem::copy_file(copy, file, std::filesystem::copy_options::overwrite_existing);
  EXPECT_EQ(Results(original, corpus), before);
}

}  // namespace
