// The generator itself: a second run gives the bytes of the build-time
// folders, and bad input or an unwritable target fails with a message and
// leaves no partial file.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "common/message.h"
#include "generated_data.h"
#include "plat/path.h"
#include "support/test_util.h"
#include "tools/sampledata/generate.h"

using namespace sampledata;
using gendata::Sample;
using gendata::SampleFolder;
using testutil::Show;
using testutil::Sjis;

namespace {

std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// name (UTF-8, as on disk) -> bytes, for every file of a folder.
std::map<std::string, std::string> FolderBytes(const std::string& cp932Folder) {
  std::map<std::string, std::string> out;
  std::string native;
  if (!plat::path::ToNative(cp932Folder.c_str(), native)) return out;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(native, ec)) {
    if (entry.is_regular_file()) {
      out[entry.path().filename().string()] = testutil::ReadBytes(entry.path().string());
    }
  }
  return out;
}

// The build-time folders are what a fresh run gives, byte for byte: the
// output depends on nothing but the description.
TEST(GenerateDataFolder, SecondRunGivesTheBuildTreeBytes) {
  for (const int kind : {2, 1}) {
    const std::string built = SampleFolder(kind);
    ASSERT_FALSE(built.empty()) << "KORT_BUILD_DIR is not set";
    testutil::TempDir dir;
    const std::string folder = dir.path() + "\\" + Sjis(u8"住所");
    GenerateOptions options;
    options.indexKind = kind;
    char msg[kMessageSize] = "";
    ASSERT_EQ(GenerateDataFolder(Sample(), folder, options, msg), 1) << Show(msg);

    const auto expected = FolderBytes(built);
    const auto actual = FolderBytes(folder);
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(expected.size(), actual.size()) << kind;
    for (const auto& [name, bytes] : expected) {
      const auto it = actual.find(name);
      ASSERT_NE(it, actual.end()) << name;
      EXPECT_TRUE(it->second == bytes) << name << " differs (kind " << kind << ")";
    }
    for (const char8_t* name :
         {u8"QVAD13.NDB", u8"QVAD26.NDB", u8"QAD_CH13.CDB", u8"QAD_CH13.CIX", u8"QAD_CH13.CDI",
          u8"QAD_CH26.CDB", u8"文字統一.BIN", u8"文字置換.BIN", u8"ユーザー置換.TXT",
          u8"TKY2JGD.PAR"}) {
      EXPECT_EQ(actual.count(U8(name)), 1u) << U8(name);
    }
  }
}

// The pinned time is the one field that a different pin changes.
TEST(GenerateDataFolder, CreationTimeGoesOnlyIntoTheChangeFiles) {
  testutil::TempDir a;
  testutil::TempDir b;
  GenerateOptions options;
  char msg[kMessageSize] = "";
  ASSERT_EQ(GenerateDataFolder(Sample(), a.path(), options, msg), 1) << Show(msg);
  options.creationTime = 0x01020304u;
  ASSERT_EQ(GenerateDataFolder(Sample(), b.path(), options, msg), 1) << Show(msg);
  const auto first = FolderBytes(a.path());
  const auto second = FolderBytes(b.path());
  ASSERT_EQ(first.size(), second.size());
  for (const auto& [name, bytes] : first) {
    const bool changeFile = name.rfind("QAD_CH", 0) == 0;
    EXPECT_EQ(bytes != second.at(name), changeFile) << name;
    if (changeFile) {
      // Only the four bytes of the time differ: offset 4 of the .CDB and
      // .CIX headers, offset 12 of the .CDI header.
      const std::string& other = second.at(name);
      ASSERT_EQ(bytes.size(), other.size()) << name;
      const std::size_t at = name.find(".CDI") != std::string::npos ? 12 : 4;
      for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != other[i]) {
          EXPECT_TRUE(i >= at && i < at + 4) << name << " byte " << i;
        }
      }
    }
  }
}

TEST(GenerateDataFolder, RefusesABadKindAndAnUncreatableFolder) {
  testutil::TempDir dir;
  char msg[kMessageSize] = "";
  GenerateOptions options;
  options.indexKind = 3;
  EXPECT_EQ(GenerateDataFolder(Sample(), dir.path(), options, msg), 0);
  EXPECT_NE(std::string(msg).find("index kind"), std::string::npos) << Show(msg);

  // A file stands where a folder should be made.
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("file"), "x"));
  options.indexKind = 2;
  msg[0] = '\0';
  EXPECT_EQ(GenerateDataFolder(Sample(), dir.Sys("file\\sub"), options, msg), 0);
  EXPECT_NE(std::string(msg).find("file"), std::string::npos) << Show(msg);
}

TEST(MakeFolders, CreatesEveryLevelAndKeepsTrailBytesOfNames) {
  testutil::TempDir dir;
  // 表 is 95 5C: its second byte must not be taken for a separator.
  const std::string folder = dir.path() + "\\" + Sjis(u8"表示\\データ\\住所");
  char msg[kMessageSize] = "";
  ASSERT_EQ(MakeFolders(folder, msg), 1) << Show(msg);
  EXPECT_TRUE(std::filesystem::is_directory(dir.Native(U8(u8"表示/データ/住所"))));
  EXPECT_FALSE(std::filesystem::exists(dir.Native("\x95")));
  // Existing folders are success.
  EXPECT_EQ(MakeFolders(folder + "\\", msg), 1);
}

TEST(WriteTableDatabase, NameTheNormaliserRefusesFailsAndLeavesNoFile) {
  Description d = Sample();
  ASSERT_FALSE(d.oaza.empty());
  // Longer than a search text may be (511 bytes).
  d.oaza[0].oazaName.clear();
  for (int i = 0; i < 300; ++i) d.oaza[0].oazaName += Sjis(u8"町");
  testutil::TempDir dir;
  const std::string folder = WithSeparator(dir.path());
  char msg[kMessageSize] = "";
  ASSERT_EQ(WriteDictionaryFiles(d, folder, msg), 1) << Show(msg);
  CSampleDictionaries dictionaries;
  ASSERT_EQ(dictionaries.Load(folder, msg), 1) << Show(msg);
  RecordPositions positions;
  EXPECT_EQ(WriteTableDatabase(d, "13", folder + "QVAD13.NDB", &dictionaries, &positions, msg), 0);
  EXPECT_NE(std::string(msg).find("oaza.tsv line"), std::string::npos) << Show(msg);
  EXPECT_FALSE(testutil::Exists(dir.Native("QVAD13.NDB")));
}

TEST(WriteTableDatabase, PositionsNameTheRowsOfThePrefectureOnly) {
  const Description& d = Sample();
  testutil::TempDir dir;
  const std::string folder = WithSeparator(dir.path());
  char msg[kMessageSize] = "";
  ASSERT_EQ(WriteDictionaryFiles(d, folder, msg), 1) << Show(msg);
  CSampleDictionaries dictionaries;
  ASSERT_EQ(dictionaries.Load(folder, msg), 1) << Show(msg);
  RecordPositions pos;
  ASSERT_EQ(WriteTableDatabase(d, "26", folder + "QVAD26.NDB", &dictionaries, &pos, msg), 1)
      << Show(msg);
  ASSERT_EQ(pos.oaza.size(), d.oaza.size());
  CTableDatabase db;
  ASSERT_EQ(db.Open((folder + "QVAD26.NDB").c_str()), 1);
  for (std::size_t i = 0; i < d.oaza.size(); ++i) {
    if (!gendata::InPrefecture(d.oaza[i].cityCode, "26")) {
      EXPECT_EQ(pos.oaza[i], 0u) << d.oaza[i].line;
      continue;
    }
    ASSERT_NE(pos.oaza[i], 0u);
    EXPECT_EQ(gendata::Text(&db, pos.oaza[i], "TC_Oaza", "地名コード"), d.oaza[i].placeCode);
  }
  for (std::size_t i = 0; i < d.blocks.size(); ++i) {
    EXPECT_EQ(pos.blocks[i], 0u) << "no block of 26 is in TC_Gaiku";
  }
}

TEST(WriteChangeFiles, BadRecordFailsWithItsLineAndLeavesNoFile) {
  Description d = Sample();
  ASSERT_FALSE(d.changes.empty());
  d.changes[0].scale = "12345";
  d.changeCodes[0].scale = "12345";
  testutil::TempDir dir;
  const std::string folder = WithSeparator(dir.path());
  char msg[kMessageSize] = "";
  EXPECT_EQ(WriteChangeHistoryFiles(d, "13", folder, kPinnedCreationTime, msg), 0);
  EXPECT_NE(std::string(msg).find("changes.tsv line"), std::string::npos) << Show(msg);
  EXPECT_EQ(WriteChangeCodeIndexFile(d, "13", folder, kPinnedCreationTime, msg), 0);
  EXPECT_NE(std::string(msg).find("change_codes.tsv line"), std::string::npos) << Show(msg);
  EXPECT_TRUE(FolderBytes(folder).empty());
}

TEST(WriteChangeFiles, PrefectureWithoutRecordsGetsNoFiles) {
  Description d = Sample();
  testutil::TempDir dir;
  const std::string folder = WithSeparator(dir.path());
  char msg[kMessageSize] = "";
  EXPECT_EQ(WriteChangeHistoryFiles(d, "47", folder, kPinnedCreationTime, msg), 1);
  EXPECT_EQ(WriteChangeCodeIndexFile(d, "47", folder, kPinnedCreationTime, msg), 1);
  EXPECT_TRUE(FolderBytes(folder).empty());
}

}  // namespace
