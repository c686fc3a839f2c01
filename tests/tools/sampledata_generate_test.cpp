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
using gendata::FolderBytes;
using gendata::Sample;
using gendata::SampleFolder;
using testutil::Show;
using testutil::Sjis;

namespace {

std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// The build-time folders are what a fresh run gives, byte for byte: the
// output depends on nothing but the description.
TEST(GenerateDataFolder, SecondRunGivesTheBuildTreeBytes) {
  for (const int kind : {2, 1}) {
    const std::string built = SampleFolder(kind);
    ASSERT_FALSE(built.empty()) << "the build folder has no CP932 form";
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
         {u8"QVAD13.NDB",     u8"QVAD13.TIX",     u8"QVAD13_CD1.INX",   u8"QVAD13_CD4.INX",
          u8"QVAD13_CDG.INX", u8"QVAD13_CDG.TIX", u8"QVAD13_SHI.SIF",   u8"QVAD13_HOAZA.SIF",
          u8"QVAD26.NDB",     u8"QVAD26_CD5.INX", u8"QVAD26_OAZA.SIF",  u8"QVAD26_HSHI.SIF",
          u8"QAD_CH13.CDB",   u8"QAD_CH13.CIX",   u8"QAD_CH13.CDI",     u8"QAD_CH26.CDB",
          u8"文字統一.BIN",   u8"文字置換.BIN",   u8"ユーザー置換.TXT", u8"TKY2JGD.PAR"}) {
      EXPECT_EQ(actual.count(U8(name)), 1u) << U8(name);
    }
  }
}

// The two folders differ in their address indexes only.
TEST(GenerateDataFolder, KindsDifferInTheAddressIndexOnly) {
  const auto kind2 = FolderBytes(SampleFolder(2));
  const auto kind1 = FolderBytes(SampleFolder(1));
  ASSERT_EQ(kind1.size(), kind2.size());
  int differing = 0;
  for (const auto& [name, bytes] : kind2) {
    ASSERT_EQ(kind1.count(name), 1u) << name;
    const bool addressIndex = name == "QVAD13.TIX" || name == "QVAD26.TIX";
    EXPECT_EQ(kind1.at(name) != bytes, addressIndex) << name;
    differing += kind1.at(name) != bytes ? 1 : 0;
    if (addressIndex) {
      EXPECT_EQ(kind1.at(name).substr(0, 6), "TVXADI");
      EXPECT_EQ(kind1.at(name).substr(6), bytes.substr(6)) << name;
    }
  }
  EXPECT_EQ(differing, 2);
}

// The pinned time goes into the change files' headers and nowhere else.
TEST(WriteChangeFiles, CreationTimeChangesOnlyTheHeaderTimeField) {
  testutil::TempDir a;
  testutil::TempDir b;
  char msg[kMessageSize] = "";
  for (const auto& [dir, time] : {std::pair{&a, kPinnedCreationTime}, std::pair{&b, 0x01020304u}}) {
    const std::string folder = WithSeparator(dir->path());
    ASSERT_EQ(WriteChangeHistoryFiles(Sample(), "13", folder, time, msg), 1) << Show(msg);
    ASSERT_EQ(WriteChangeCodeIndexFile(Sample(), "13", folder, time, msg), 1) << Show(msg);
  }
  const auto first = FolderBytes(a.path());
  const auto second = FolderBytes(b.path());
  ASSERT_EQ(first.size(), 3u);
  ASSERT_EQ(second.size(), 3u);
  for (const auto& [name, bytes] : first) {
    // Offset 4 of the .CDB and .CIX headers, offset 12 of the .CDI header.
    const std::size_t at = name.find(".CDI") != std::string::npos ? 12 : 4;
    const std::string& other = second.at(name);
    ASSERT_EQ(bytes.size(), other.size()) << name;
    EXPECT_EQ(bytes.substr(at, 4), std::string("\x00\xf9\x09\x66", 4)) << name;
    EXPECT_EQ(other.substr(at, 4), "\x04\x03\x02\x01") << name;
    EXPECT_EQ(bytes.substr(0, at) + bytes.substr(at + 4),
              other.substr(0, at) + other.substr(at + 4))
        << name;
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

TEST(WriteAddressIndexFile, RefusesAnUnknownKindAndLeavesNoFile) {
  testutil::TempDir dir;
  RecordPositions positions;
  positions.prefectures.assign(Sample().prefectures.size(), 256);
  positions.municipalities.assign(Sample().municipalities.size(), 256);
  positions.oaza.assign(Sample().oaza.size(), 256);
  positions.blocks.assign(Sample().blocks.size(), 256);
  char msg[kMessageSize] = "";
  EXPECT_EQ(WriteAddressIndexFile(Sample(), "13", positions, dir.Sys("QVAD13.TIX"), 3, msg), 0);
  EXPECT_NE(std::string(msg).find("QVAD13.TIX"), std::string::npos) << Show(msg);
  EXPECT_FALSE(testutil::Exists(dir.Native("QVAD13.TIX")));
  EXPECT_EQ(WriteAddressIndexFile(Sample(), "13", positions, dir.Sys("QVAD13.TIX"), 1, msg), 1);
  EXPECT_TRUE(testutil::Exists(dir.Native("QVAD13.TIX")));
}

TEST(WriteNameIndexFiles, MissingDatabaseFailsAndLeavesNoFile) {
  testutil::TempDir dir;
  char msg[kMessageSize] = "";
  EXPECT_EQ(WriteNameIndexFiles(dir.Sys("QVAD13.NDB"), msg), 0);
  EXPECT_TRUE(FolderBytes(dir.path()).empty());
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

// A prefecture that fails in a worker process fails the whole folder, with
// the worker's message; the prefectures the other workers wrote are not put
// in place without it.
TEST(GenerateDataFolder, WorkerFailureFailsTheFolderWithItsMessage) {
  Description d = Sample();
  // A town name of prefecture 26 longer than a search text may be (511
  // bytes): the normaliser refuses it in that prefecture's worker.
  bool planted = false;
  for (OazaRow& r : d.oaza) {
    if (r.municipality < 0) continue;
    const int p = d.municipalities[static_cast<std::size_t>(r.municipality)].parent;
    if (p < 0 || d.prefectures[static_cast<std::size_t>(p)].code != "26") continue;
    r.oazaName.clear();
    for (int i = 0; i < 300; ++i) r.oazaName += Sjis(u8"町");
    planted = true;
    break;
  }
  ASSERT_TRUE(planted);
  testutil::TempDir dir;
  GenerateOptions options;
  options.jobs = 2;
  char msg[kMessageSize] = "";
  EXPECT_EQ(GenerateDataFolder(d, dir.Sys("data"), options, msg), 0);
  EXPECT_NE(std::string(msg).find("oaza.tsv line"), std::string::npos) << Show(msg);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}
