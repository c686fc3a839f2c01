#include "plat/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "support/test_util.h"

using testutil::TempDir;

namespace {

// Points XDG_CONFIG_HOME and HOME at a scratch folder for one test and puts
// them back afterwards.
class RegistryStore : public ::testing::Test {
 protected:
  void SetUp() override {
    Save("XDG_CONFIG_HOME", savedXdg_);
    Save("HOME", savedHome_);
    setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
  }
  void TearDown() override {
    Restore("XDG_CONFIG_HOME", savedXdg_);
    Restore("HOME", savedHome_);
  }
  std::string StoreFile() const { return dir_.Native("kort/registry"); }

  TempDir dir_;

 private:
  static void Save(const char* name, std::optional<std::string>& slot) {
    const char* v = std::getenv(name);
    if (v) slot = v;
  }
  static void Restore(const char* name, const std::optional<std::string>& slot) {
    if (slot)
      setenv(name, slot->c_str(), 1);
    else
      unsetenv(name);
  }
  std::optional<std::string> savedXdg_, savedHome_;
};

const char kKey[] = "Software\\Orvanta\\PLW";

}  // namespace

TEST_F(RegistryStore, ValuesAreTypedAndWrittenAsReadableLines) {
  plat::reg::Value v;
  EXPECT_FALSE(plat::reg::QueryValue(kKey, "param01", v));  // no file yet
  ASSERT_TRUE(plat::reg::SetDword(kKey, "param01", 1));
  ASSERT_TRUE(plat::reg::SetString(kKey, "label", "abc"));
  ASSERT_TRUE(plat::reg::SetDword("Software\\Other", "n", 0xDEADBEEF));
  EXPECT_EQ(testutil::ReadBytes(StoreFile()),
            "[Software\\Orvanta\\PLW]\n"
            "\"param01\"=dword:00000001\n"
            "\"label\"=\"abc\"\n"
            "\n"
            "[Software\\Other]\n"
            "\"n\"=dword:deadbeef\n");

  ASSERT_TRUE(plat::reg::QueryValue(kKey, "param01", v));
  EXPECT_EQ(v.type, plat::reg::kTypeDword);
  EXPECT_EQ(v.dword, 1u);
  ASSERT_TRUE(plat::reg::QueryValue(kKey, "label", v));
  EXPECT_EQ(v.type, plat::reg::kTypeString);
  EXPECT_EQ(v.text, "abc");
  ASSERT_TRUE(plat::reg::QueryValue("Software\\Other", "n", v));
  EXPECT_EQ(v.dword, 0xDEADBEEFu);

  // Replacing a value may change its type.
  ASSERT_TRUE(plat::reg::SetString(kKey, "param01", "1"));
  ASSERT_TRUE(plat::reg::QueryValue(kKey, "param01", v));
  EXPECT_EQ(v.type, plat::reg::kTypeString);
  EXPECT_EQ(v.text, "1");

  EXPECT_TRUE(plat::reg::DeleteValue(kKey, "param01"));
  EXPECT_FALSE(plat::reg::QueryValue(kKey, "param01", v));
  EXPECT_FALSE(plat::reg::DeleteValue(kKey, "param01"));
  EXPECT_TRUE(plat::reg::QueryValue(kKey, "label", v));  // the rest stays
}

TEST_F(RegistryStore, KeysAndNamesCompareWithoutCase) {
  ASSERT_TRUE(plat::reg::SetDword(kKey, "param01", 7));
  plat::reg::Value v;
  ASSERT_TRUE(plat::reg::QueryValue("SOFTWARE\\orvanta\\plw", "PARAM01", v));
  EXPECT_EQ(v.dword, 7u);
  EXPECT_FALSE(plat::reg::QueryValue("Software\\Orvanta", "param01", v));
  EXPECT_FALSE(plat::reg::QueryValue("Software\\Orvanta\\PLW\\Sub", "param01", v));
  ASSERT_TRUE(plat::reg::SetDword("software\\ORVANTA\\plw", "Param01", 8));  // same value
  ASSERT_TRUE(plat::reg::QueryValue(kKey, "param01", v));
  EXPECT_EQ(v.dword, 8u);

  // A double-byte key whose characters end in ']' and 'a'-like trail bytes.
  const std::string key = testutil::Sjis(u8"ソフト\\ゾーン");  // ゾ = 83 5D
  ASSERT_TRUE(plat::reg::SetString(key.c_str(), "x", testutil::Sjis(u8"表示").c_str()));
  ASSERT_TRUE(plat::reg::QueryValue(key.c_str(), "X", v));
  EXPECT_EQ(v.text, testutil::Sjis(u8"表示"));
}

TEST_F(RegistryStore, HandWrittenFilesAreReadLeniently) {
  ASSERT_TRUE(plat::reg::SetDword("Setup", "made", 0));  // creates the folder
  ASSERT_TRUE(testutil::WriteBytes(StoreFile(),
                                   "; kept as written\r\n"
                                   "[Software\\Orvanta\\PLW]\r\n"
                                   "  \"param01\" = DWORD:1  \r\n"
                                   "\"bad1\"=dword:12345678 9\r\n"
                                   "\"bad2\"=dword:123456789\r\n"
                                   "\"bad3\"=dword:\r\n"
                                   "\"bad4\"=hex:01,02\r\n"
                                   "\"quoted\"=\"a \"b\" \"\r\n"
                                   "\"param01\"=dword:00000002\r\n"
                                   "some stray line\r\n"));
  plat::reg::Value v;
  ASSERT_TRUE(plat::reg::QueryValue(kKey, "param01", v));  // the first one counts
  EXPECT_EQ(v.type, plat::reg::kTypeDword);
  EXPECT_EQ(v.dword, 1u);
  for (const char* bad : {"bad1", "bad2", "bad3", "bad4"})
    EXPECT_FALSE(plat::reg::QueryValue(kKey, bad, v)) << bad;
  ASSERT_TRUE(plat::reg::QueryValue(kKey, "quoted", v));
  EXPECT_EQ(v.text, "a \"b\" ");

  // A rewrite keeps every line it does not change.
  ASSERT_TRUE(plat::reg::SetDword(kKey, "bad4", 4));
  const std::string after = testutil::ReadBytes(StoreFile());
  EXPECT_NE(after.find("; kept as written\n"), std::string::npos);
  EXPECT_NE(after.find("\"bad4\"=dword:00000004\n"), std::string::npos);
  EXPECT_NE(after.find("\"bad2\"=dword:123456789\n"), std::string::npos);
  EXPECT_NE(after.find("some stray line\n"), std::string::npos);
}

TEST_F(RegistryStore, RefusesWhatCannotBeWrittenOnOneLine) {
  EXPECT_FALSE(plat::reg::SetDword(kKey, "a\"b", 1));
  EXPECT_FALSE(plat::reg::SetDword(kKey, "a\nb", 1));
  EXPECT_FALSE(plat::reg::SetDword("Soft\nware", "a", 1));
  EXPECT_FALSE(plat::reg::SetString(kKey, "a", "line\r\nbreak"));
  EXPECT_FALSE(plat::reg::SetString(kKey, "a", nullptr));
  EXPECT_FALSE(testutil::Exists(StoreFile()));
}

TEST_F(RegistryStore, FileLivesUnderXdgConfigHomeElseHomeConfig) {
  std::string path;
  ASSERT_TRUE(plat::reg::StorePath(path));
  EXPECT_EQ(path, dir_.path() + "/kort/registry");

  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", dir_.path().c_str(), 1);
  ASSERT_TRUE(plat::reg::StorePath(path));
  EXPECT_EQ(path, dir_.path() + "/.config/kort/registry");
  ASSERT_TRUE(plat::reg::SetDword(kKey, "param01", 1));  // creates .config too
  EXPECT_TRUE(testutil::Exists(dir_.Native(".config/kort/registry")));

  setenv("XDG_CONFIG_HOME", "relative/dir", 1);  // not absolute: ignored
  ASSERT_TRUE(plat::reg::StorePath(path));
  EXPECT_EQ(path, dir_.path() + "/.config/kort/registry");

  unsetenv("XDG_CONFIG_HOME");
  unsetenv("HOME");
  EXPECT_FALSE(plat::reg::StorePath(path));
  plat::reg::Value v;
  EXPECT_FALSE(plat::reg::QueryValue(kKey, "param01", v));
  EXPECT_FALSE(plat::reg::SetDword(kKey, "param01", 1));
}
