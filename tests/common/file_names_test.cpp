#include "common/file_names.h"

#include <gtest/gtest.h>

#include <string>

#include "common/path_util.h"
#include "support/test_util.h"

using testutil::TempDir;

TEST(MakeUniqueFileName, NumbersTheTitleUntilANameIsFree) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("a.txt"), "a"));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("a_1.txt"), "a"));
  const std::string path = dir.Sys("a.txt");
  char out[1024] = "x";
  ASSERT_EQ(MakeUniqueFileName(path.c_str(), out, "", sizeof out), 1);
  EXPECT_EQ(std::string(out), dir.Sys("a_2.txt"));
  ASSERT_EQ(MakeUniqueFileName(path.c_str(), out, nullptr, sizeof out), 1);
  EXPECT_EQ(std::string(out), dir.Sys("a_2.txt"));
  ASSERT_EQ(MakeUniqueFileName(path.c_str(), out, "csv", sizeof out), 1);
  EXPECT_EQ(std::string(out), dir.Sys("a_1.csv"));
  // The given name need not exist; it is never offered itself.
  ASSERT_EQ(MakeUniqueFileName(dir.Sys("new").c_str(), out, "", sizeof out), 1);
  EXPECT_EQ(std::string(out), dir.Sys("new_1"));
}

TEST(MakeUniqueFileName, RefusesMissingFoldersAndSmallBuffers) {
  TempDir dir;
  char out[1024] = "x";
  EXPECT_EQ(MakeUniqueFileName(dir.Sys("none\\a.txt").c_str(), out, "", sizeof out), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(MakeUniqueFileName("a.txt", out, "", sizeof out), 0);  // no folder part
  const std::string path = dir.Sys("a.txt");
  char small[8];
  EXPECT_EQ(MakeUniqueFileName(path.c_str(), small, "", sizeof small), 0);
  // Room for the name exactly.
  std::string expected = dir.Sys("a_1.txt");
  std::string exact(expected.size() + 1, 'z');
  EXPECT_EQ(MakeUniqueFileName(path.c_str(), exact.data(), "", exact.size()), 1);
  EXPECT_EQ(std::string(exact.c_str()), expected);
}

TEST(MakeUniqueFileName, GivesUpAfterAThousandNames) {
  TempDir dir;
  for (int i = 1; i <= 1000; ++i)
    ASSERT_TRUE(testutil::WriteBytes(dir.Native("b_" + std::to_string(i) + ".txt"), ""));
  char out[1024];
  EXPECT_EQ(MakeUniqueFileName(dir.Sys("b.txt").c_str(), out, "", sizeof out), 0);
  ASSERT_EQ(MakeUniqueFileName(dir.Sys("b.txt").c_str(), out, "csv", sizeof out), 1);
  EXPECT_EQ(std::string(out), dir.Sys("b_1.csv"));
}

TEST(FolderOfPathOrDefault, FolderOrDefaultTrimmedAndUpperCase) {
  char out[256];
  EXPECT_STREQ(FolderOfPathOrDefault(out, "def", "c:\\x\\a.txt", sizeof out), "C:\\X\\");
  EXPECT_STREQ(FolderOfPathOrDefault(out, "  def\\ ", "a.txt", sizeof out), "DEF\\");
  EXPECT_STREQ(FolderOfPathOrDefault(out, "def", "C:a.txt", sizeof out), "DEF");
  EXPECT_EQ(std::string(FolderOfPathOrDefault(out, "", "表\\a\\b.txt", sizeof out)),
            std::string("表\\A\\"));
  char small[4] = "x";
  EXPECT_STREQ(FolderOfPathOrDefault(small, "default", "a.txt", sizeof small), "");
}

TEST(UrlEncode, EscapesEveryByteButLettersDigitsAndFiveMarks) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"a b/c", "a%20b%2fc"},
      {"あ", "%82%a0"},
      {"表", "%95%5c"},
      {"AZaz09*-.@_", "AZaz09*-.@_"},
      {"~%+\x7f\xff", "%7e%25%2b%7f%ff"},
      {"", ""},
  };
  for (const auto& c : cases) {
    char out[64];
    EXPECT_STREQ(UrlEncode(c.text, out, sizeof out), c.expected) << testutil::Show(c.text);
  }
  char exact[10];
  EXPECT_STREQ(UrlEncode("a b/c", exact, sizeof exact), "a%20b%2fc");
  char small[9] = "x";
  EXPECT_STREQ(UrlEncode("a b/c", small, sizeof small), "");
}

TEST(ByteTransforms, InvertAndSwapNibblesAreTheirOwnInverses) {
  char text[] = "A表z";
  InvertStringBytes(text);
  EXPECT_EQ(std::string(text), "\xBE\x6A\xA3\x85");
  InvertStringBytes(text);
  EXPECT_STREQ(text, "A表z");
  SwapNibblesString(text);
  EXPECT_EQ(std::string(text), "\x14\x59\xC5\xA7");
  SwapNibblesString(text);
  EXPECT_STREQ(text, "A表z");
  EXPECT_EQ(InvertStringBytes(nullptr), nullptr);
  EXPECT_EQ(SwapNibblesString(nullptr), nullptr);
}
