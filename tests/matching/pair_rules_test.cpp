// The firm-key rules of a folder's pairs (matching/name_candidates.h) are
// made once per set of pairs in a process and shared by later calls: a call
// in a folder with other user pairs never takes the rules of the folder met
// before it. Checked against the plain scan of every row, which uses no
// keys, in folders of the sample data with and without the user pairs
// file, in turn in one process.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "match_line.h"
#include "matching/name_candidates.h"
#include "plat/cp932.h"
#include "plat/path.h"
#include "sample_folder.h"
#include "support/test_util.h"

using matchtest::MatchLine;
using testutil::Show;
using testutil::TempDir;

namespace {

const char* Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// A copy of the sample data folder under dir (CP932 path with its "\"),
// with its user pairs file as given ("" for none); "" when it cannot be
// made.
std::string SampleCopy(const TempDir& dir, const char* name, const std::string& userPairs) {
  std::string sample;
  if (!plat::cp932::ToUtf8(sample::Folder(), sample)) return std::string();
  for (char& c : sample) c = c == '\\' ? '/' : c;
  const std::string native = dir.Native(name);
  std::error_code ec;
  std::filesystem::copy(sample, native, std::filesystem::copy_options::recursive, ec);
  if (ec) return std::string();
  const std::string pairs = native + Utf8(u8"/ユーザー置換.TXT");
  std::filesystem::remove(pairs, ec);
  if (!userPairs.empty() && !testutil::WriteBytes(pairs, userPairs)) return std::string();
  return plat::path::FromNative(native) + "\\";
}

TEST(PairRules, EachFolderMatchesWithTheRulesOfItsOwnPairs) {
  ASSERT_FALSE(sample::Folder().empty());
  TempDir dir;
  // Without user pairs, with one of the sample's two pairs, and with both
  // (the sample's own file, CP932 text).
  const std::string none = SampleCopy(dir, "none", "");
  const std::string one = SampleCopy(dir, "one", "紫の,紫野\r\n");
  const std::string both = SampleCopy(dir, "both", "恵美須町,恵比須町\r\n紫の,紫野\r\n");
  ASSERT_FALSE(none.empty() || one.empty() || both.empty());
  // Texts that match their town only through a user pair, and one that
  // needs none.
  const std::vector<std::string> texts = {
      "京都府京都市北区紫の大徳寺町", "京都府京都市中京区恵美須町", "京都府京都市北区紫野大徳寺町"};
  // The folder without pairs first, then in turn: the rules met first are
  // never those of the next folder.
  for (int round = 0; round < 2; ++round) {
    for (const std::string& folder : {none, both, one, both, none}) {
      for (const std::string& text : texts) {
        const std::string tables = MatchLine(folder, text);
        std::string scan;
        {
          const CNameCandidateSourceScope plain(&EveryRowSource());
          scan = MatchLine(folder, text);
        }
        EXPECT_EQ(tables, scan) << Show(text.c_str()) << " in " << Show(folder.c_str());
      }
    }
  }
  // The pairs change the answers (the texts test the rules at all).
  const std::string byPair = MatchLine(both, texts[0]);
  EXPECT_NE(byPair, MatchLine(none, texts[0]));
  EXPECT_EQ(MatchLine(one, texts[0]), byPair);
  EXPECT_NE(MatchLine(one, texts[1]), MatchLine(both, texts[1]));
}

}  // namespace
