#include "plat/config.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "plat/path.h"
#include "support/test_util.h"

using testutil::TempDir;

namespace {

const char kIni[] =
    "; settings\n"
    "[Other]\n"
    "Calc=7\n"
    "[ AdrsLib ]\n"
    " calc = 55zz\n"
    "FLFC=-12\n"
    "Calc=99\n"
    "Empty=\n"
    "Word=abc\n"
    "Tab\t=\t3\n"
    ";Hidden=5\n"
    "[ゾーン]\n"  // ゾ = 83 5D: its trail byte is ']'
    "表=4\n";

std::string WithCrLf(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace

TEST(ProfileInt, SectionKeyCommentsAndValues) {
  struct Case {
    const char *section, *key;
    int def, want;
  } cases[] = {
      {"AdrsLib", "Calc", -1, 55},  // trimmed, either case, first match
      {"ADRSLIB", "FLFC", 0, -12}, {"AdrsLib", "Empty", 9, 0},  {"AdrsLib", "Word", 9, 0},
      {"AdrsLib", "Tab", 9, 3},    {"AdrsLib", "Hidden", 9, 9}, {"AdrsLib", "Missing", 9, 9},
      {"Other", "calc", 0, 7},     {"None", "Calc", 9, 9},      {"ゾーン", "表", 0, 4},
  };
  TempDir dir;
  for (const std::string& text : {std::string(kIni), WithCrLf(kIni)}) {
    ASSERT_TRUE(testutil::WriteBytes(dir.Native("adrslib.ini"), text));
    for (const Case& c : cases)
      EXPECT_EQ(plat::ReadProfileInt(c.section, c.key, c.def, dir.Sys("adrslib.ini").c_str()),
                c.want)
          << testutil::Show(c.section) << "/" << testutil::Show(c.key);
  }
  EXPECT_EQ(plat::ReadProfileInt("AdrsLib", "Calc", 5, dir.Sys("none.ini").c_str()), 5);
}

TEST(ProfileInt, BareNameIsLookedForInTheProgramFolder) {
  std::string folder, native;
  ASSERT_TRUE(plat::path::ProgramFolder(folder));
  const std::string name = "plat-test-" + std::to_string(getpid()) + ".ini";
  ASSERT_TRUE(plat::path::ToNative((folder + "\\" + name).c_str(), native));
  ASSERT_TRUE(testutil::WriteBytes(native, "[AdrsLib]\nFLFC=1\n"));
  EXPECT_EQ(plat::ReadProfileInt("AdrsLib", "FLFC", 0, name.c_str()), 1);
  unlink(native.c_str());
  EXPECT_EQ(plat::ReadProfileInt("AdrsLib", "FLFC", 0, name.c_str()), 0);
}

// What is kept of a configuration file between calls follows the file: one
// made after a call that found none, rewritten, removed, and made again
// under another letter case are each read as they are.
TEST(ProfileInt, FollowsTheFileBetweenCalls) {
  TempDir dir;
  const std::string ini = dir.Sys("kept.ini");
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(plat::ReadProfileInt("AdrsLib", "Calc", 9, ini.c_str()), 9) << "none yet";
    ASSERT_TRUE(testutil::WriteBytes(dir.Native("kept.ini"), "[AdrsLib]\nCalc=1\n"));
    EXPECT_EQ(plat::ReadProfileInt("AdrsLib", "Calc", 9, ini.c_str()), 1);
    EXPECT_EQ(plat::ReadProfileInt("AdrsLib", "Calc", 9, ini.c_str()), 1) << "kept";
    ASSERT_TRUE(testutil::WriteBytes(dir.Native("kept.ini"), "[AdrsLib]\nCalc=22\n"));
    EXPECT_EQ(plat::ReadProfileInt("AdrsLib", "Calc", 9, ini.c_str()), 22) << "rewritten";
    ASSERT_EQ(unlink(dir.Native("kept.ini").c_str()), 0);
    EXPECT_EQ(plat::ReadProfileInt("AdrsLib", "Calc", 9, ini.c_str()), 9) << "removed";
    ASSERT_TRUE(testutil::WriteBytes(dir.Native("KEPT.INI"), "[AdrsLib]\nCalc=333\n"));
    EXPECT_EQ(plat::ReadProfileInt("AdrsLib", "Calc", 9, ini.c_str()), 333) << "other case";
    ASSERT_EQ(unlink(dir.Native("KEPT.INI").c_str()), 0);
  }
}
