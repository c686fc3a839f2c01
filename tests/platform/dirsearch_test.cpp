#include "plat/dirsearch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "plat/file.h"
#include "plat/file_stamp.h"
#include "support/test_util.h"

using testutil::Show;
using testutil::TempDir;

namespace {

using V = std::vector<std::string>;

std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

// Every match; folders get a '/' after the name.
V List(const std::string& pattern) {
  plat::DirSearch s;
  if (!s.Open(pattern.c_str())) return {"<open failed>"};
  V out;
  plat::DirEntry e;
  while (s.Next(e)) out.push_back(e.name + (e.isDirectory ? "/" : ""));
  return out;
}

}  // namespace

TEST(DirMatch, WildcardsCaseAndDoubleByteCharacters) {
  struct Case {
    const char *name, *pattern;
    bool match;
  } cases[] = {
      {"QVAD13.NDB", "*.ndb", true},
      {"qvad13.ndb", "QVAD??.NDB", true},
      {"QVAD1.NDB", "QVAD??.NDB", false},
      {"noext", "*.*", true},
      {"a.b.c", "*.c", true},
      {"ac", "a*c", true},
      {"abcbc", "a*bc", true},
      {"ab", "a*c", false},
      {"", "*", true},
      {"", "?", false},
      {"abc", "", false},
      {"表示優先.tbl", "????.TBL", true},  // a double-byte character is one '?'
      {"表示優先.tbl", "?????.tbl", false},
      {"表", "?\\", false},  // 95 5C is one character, not '?' and '\'
      {"表", "*\\", false},
      {"市", "\x8E\x53", false},   // trail byte 's' is not folded to 'S'
      {"ｱｲ.txt", "??.TXT", true},  // half-width kana are single bytes
  };
  for (const Case& c : cases)
    EXPECT_EQ(plat::MatchesPattern(c.name, c.pattern), c.match)
        << Show(c.name) << " ~ " << Show(c.pattern);
}

TEST(DirSearch, ListsFilesFoldersAndDotsInCp932) {
  TempDir dir;
  for (const char* n : {"QVAD13.NDB", "qvad14.ndb", "other.txt"})
    ASSERT_TRUE(testutil::WriteBytes(dir.Native(n), "x"));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native(U8(u8"表示優先.tbl")), "x"));
  ASSERT_EQ(mkdir(dir.Native("Sub").c_str(), 0777), 0);
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("Sub/in.ndb"), "x"));

  EXPECT_EQ(List(dir.Sys("*.*")),
            (V{"./", "../", "other.txt", "QVAD13.NDB", "qvad14.ndb", "Sub/", "表示優先.tbl"}));
  EXPECT_EQ(List(dir.Sys("*.NDB")), (V{"QVAD13.NDB", "qvad14.ndb"}));
  EXPECT_EQ(List(dir.Sys("表示*")), (V{"表示優先.tbl"}));
  EXPECT_EQ(List(dir.Sys("SUB\\*.ndb")), (V{"in.ndb"}));
  EXPECT_EQ(List(dir.Sys("none*")), V{});
  EXPECT_EQ(List(dir.Sys("missing\\*.*")), (V{"<open failed>"}));
  EXPECT_EQ(List("C:\\*.*"), (V{"<open failed>"}));
}

TEST(DirSearch, NamesWithoutCp932FormComeBackCarriedAndStillOpen) {
  TempDir dir;
  // UTF-8 for "€uro.txt": the euro sign has no CP932 form, so its bytes
  // are carried, each after 0xFC.
  const std::string euro =
      "\xE2\x82\xAC"
      "uro.txt";
  const std::string carried =
      "\xFC\xE2\xFC\x82\xFC\xAC"
      "uro.txt";
  ASSERT_TRUE(testutil::WriteBytes(dir.Native(euro), "e"));
  EXPECT_EQ(List(dir.Sys("*.txt")), V{carried});
  // The raw UTF-8 bytes, given as they are, still find the file.
  for (const std::string& name : {carried, euro}) {
    plat::File file;
    ASSERT_TRUE(file.Open(dir.Sys(name).c_str(), 0x0040)) << Show(name);
    char c = 0;
    EXPECT_EQ(file.Read(&c, 1), 1u);
    EXPECT_EQ(c, 'e');
  }
}

// A folder listing holds a～.txt and a〜.txt (whose CP932 form is that of
// ～): two names, each opening its own file, also through a folder listing
// that finds names.
TEST(DirSearch, AListedNameWhoseCp932FormIsAnotherNameOpensItsOwnFile) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native(U8(u8"a～.txt")), "wide"));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native(U8(u8"a〜.txt")), "wave"));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native(U8(u8"b¥c.txt")), "yen"));
  ASSERT_EQ(mkdir(dir.Native("b").c_str(), 0777), 0);
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("b/c.txt"), "sub"));
  const V listed = List(dir.Sys("*.txt"));
  ASSERT_EQ(listed.size(), 3u);
  const auto listing = plat::GetFolderListing(dir.path().c_str());
  ASSERT_TRUE(listing);
  std::vector<std::string> contents;
  for (const std::string& name : listed) {
    plat::File file;
    ASSERT_TRUE(file.Open(dir.Sys(name).c_str(), 0x0040)) << Show(name);
    char buf[8] = {};
    contents.push_back(std::string(buf, file.Read(buf, sizeof buf)));
    std::string native;
    ASSERT_TRUE(listing->Find(name.c_str(), native)) << Show(name);
    EXPECT_EQ(testutil::ReadBytes(native), contents.back());
  }
  std::sort(contents.begin(), contents.end());
  EXPECT_EQ(contents, (V{"wave", "wide", "yen"}));
}
