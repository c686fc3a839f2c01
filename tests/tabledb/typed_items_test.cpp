#include "tabledb/typed_items.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "common/file_access.h"
#include "common/le_bytes.h"
#include "support/test_util.h"
#include "tabledb/data_source.h"

using testutil::TempDir;

namespace {

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out += ' ';
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

class TypedItemsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(OpenNewFileForReadWrite(&file_, Sys().c_str()), 1);
    // Something at position 0, as in every file these items live in.
    ASSERT_EQ(WriteBytesToFile(&file_, "HEAD", 4), 1);
  }
  std::string Sys() const { return dir_.Sys("items.bin"); }
  std::string Bytes() const { return testutil::ReadBytes(dir_.Native("items.bin")); }

  TempDir dir_;
  plat::File file_;
};

}  // namespace

// ---- Text items ----

TEST_F(TypedItemsTest, TextItemHeadersHoldLengthByteRangeAndWidthClass) {
  const struct {
    std::string text;
    const char* hex;
  } cases[] = {
      {"", "00 00 00 00 FF 00 00"},
      {"a\x82\x60", "03 00 00 00 60 82 03 61 82 60"},  // aＡ: mixed
      {"abc", "03 00 00 00 61 63 01 61 62 63"},
      {"\x93\x8C\x8B\x9E", "04 00 00 00 8B 9E 02 93 8C 8B 9E"},  // 東京: double-byte only
  };
  uint32_t at = 4;
  for (const auto& c : cases) {
    uint32_t position = 0;
    ASSERT_EQ(AppendTextItem(&file_, c.text.c_str(), &position), 1);
    EXPECT_EQ(position, at);
    const std::string item = Bytes().substr(at);
    EXPECT_EQ(Hex(item), c.hex) << testutil::Show(c.text);
    char back[16];
    ASSERT_EQ(ReadTextItem(&file_, position, back, sizeof back), 1);
    EXPECT_EQ(std::string(back), c.text);
    at += static_cast<uint32_t>(item.size());
  }
}

TEST_F(TypedItemsTest, ReplacingATextRewritesInPlaceOnlyWhenItFits) {
  uint32_t position = 0;
  ASSERT_EQ(AppendTextItem(&file_, "abcd", &position), 1);
  const std::size_t size = Bytes().size();
  uint32_t now = 0;
  ASSERT_EQ(ReplaceTextItem(&file_, position, "xy", &now), 1);
  EXPECT_EQ(now, position);
  EXPECT_EQ(Bytes().size(), size);
  EXPECT_EQ(Hex(Bytes().substr(position, 9)), "02 00 00 00 78 79 01 78 79");
  // The stored length is now 2: three bytes no longer fit there.
  ASSERT_EQ(ReplaceTextItem(&file_, position, "xyz", &now), 1);
  EXPECT_EQ(now, size);
  char text[8];
  ASSERT_EQ(ReadTextItem(&file_, now, text, sizeof text), 1);
  EXPECT_STREQ(text, "xyz");
  // Position 0 names no item: the text is appended.
  ASSERT_EQ(ReplaceTextItem(&file_, 0, "q", &now), 1);
  EXPECT_EQ(now, size + 10);
  EXPECT_EQ(ReadTextItem(&file_, position, text, 2), 0);  // "xy" needs 3 bytes
  EXPECT_STREQ(text, "");
  // A length reaching past the end of the file is refused without a read.
  unsigned char length[4];
  StoreLe(length, 0x7FFFFFF0u, 4);
  ASSERT_EQ(WriteBytesToFileAt(&file_, position, length, 4), 1);
  EXPECT_EQ(ReadTextItem(&file_, position, text, sizeof text), 0);
  EXPECT_EQ(MatchTextItem(&file_, position, "a", kMatchTextPrefix), 0);
}

TEST_F(TypedItemsTest, MatchTextItemModes) {
  const std::string stored = testutil::Sjis(u8"東京都港区");
  uint32_t position = 0;
  ASSERT_EQ(AppendTextItem(&file_, stored.c_str(), &position), 1);
  const struct {
    const char8_t* text;
    int mode;
    int expected;
  } cases[] = {
      {u8"東京都港区", kMatchTextEqual, 1},
      {u8"東京都港", kMatchTextEqual, 0},
      {u8"東京", kMatchTextPrefix, 1},
      {u8"港区", kMatchTextPrefix, 0},
      {u8"都港", kMatchTextContains, 1},
      {u8"大阪", kMatchTextContains, 0},
      {u8"港区", kMatchTextSuffix, 1},
      {u8"東京", kMatchTextSuffix, 0},
      {u8"東京都港区東京", kMatchTextPrefix, 0},  // longer than the stored text
      {u8"abc", kMatchTextContains, 0},           // byte ranges do not overlap
      {u8"東京", 5, 0},
      {u8"東京", 0, 0},
  };
  for (const auto& c : cases) {
    const std::string text = testutil::Sjis(c.text);
    EXPECT_EQ(MatchTextItem(&file_, position, text.c_str(), c.mode), c.expected)
        << testutil::Show(text) << " mode " << c.mode;
  }
}

TEST_F(TypedItemsTest, MatchTextItemFindsOnlyWholeCharacters) {
  // 表 is 95 5C: its second byte is the backslash, which is no character of
  // the stored text.
  const std::string stored = testutil::Sjis(u8"表");
  uint32_t position = 0;
  ASSERT_EQ(AppendTextItem(&file_, stored.c_str(), &position), 1);
  EXPECT_EQ(MatchTextItem(&file_, position, "\\", kMatchTextSuffix), 0);
  EXPECT_EQ(MatchTextItem(&file_, position, "\\", kMatchTextContains), 0);
  EXPECT_EQ(MatchTextItem(&file_, position, stored.c_str(), kMatchTextSuffix), 1);
}

TEST(MatchTextItem, EmptyTextIsPrefixPartAndSuffixOfEveryText) {
  TempDir dir;
  plat::File file;
  ASSERT_EQ(OpenNewFileForReadWrite(&file, dir.Sys("m.bin").c_str()), 1);
  uint32_t abc = 0;
  uint32_t empty = 0;
  ASSERT_EQ(AppendTextItem(&file, "abc", &abc), 1);
  ASSERT_EQ(AppendTextItem(&file, "", &empty), 1);
  for (int mode : {kMatchTextPrefix, kMatchTextContains, kMatchTextSuffix}) {
    EXPECT_EQ(MatchTextItem(&file, abc, "", mode), 1) << mode;
    EXPECT_EQ(MatchTextItem(&file, empty, "", mode), 1) << mode;
  }
  EXPECT_EQ(MatchTextItem(&file, abc, "", kMatchTextEqual), 0);
  EXPECT_EQ(MatchTextItem(&file, empty, "", kMatchTextEqual), 1);
}

// ---- Object items ----

TEST_F(TypedItemsTest, ObjectItemsReadReplaceAndAllocate) {
  const unsigned char data[5] = {0, 1, 2, 0, 255};
  uint32_t position = 0;
  ASSERT_EQ(AppendObjectItem(&file_, data, 5, &position), 1);
  EXPECT_EQ(Hex(Bytes().substr(position)), "05 00 00 00 00 01 02 00 FF");

  unsigned char buffer[8] = {};
  uint32_t length = 0;
  EXPECT_EQ(ReadObjectItem(&file_, position, buffer, 4, &length), 0);  // too small
  ASSERT_EQ(ReadObjectItem(&file_, position, buffer, 8, &length), 1);
  EXPECT_EQ(length, 5u);
  EXPECT_EQ(std::memcmp(buffer, data, 5), 0);

  void* block = nullptr;
  ASSERT_EQ(ReadObjectItemAlloc(&file_, position, &block, &length), 1);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::memcmp(block, data, 5), 0);
  std::free(block);

  uint32_t now = 0;
  ASSERT_EQ(ReplaceObjectItem(&file_, position, data, 2, &now), 1);
  EXPECT_EQ(now, position);
  const std::size_t size = Bytes().size();
  ASSERT_EQ(ReplaceObjectItem(&file_, position, data, 3, &now), 1);
  EXPECT_EQ(now, size);  // stored length is 2 now

  EXPECT_EQ(AppendObjectItem(&file_, nullptr, 0, &now), 0);
}

// ---- Value nodes and scrambling ----

TEST_F(TypedItemsTest, ScramblingIsItsOwnInverseAndRunsTheKeyOn) {
  const unsigned char zeros[3] = {0, 0, 0};
  ASSERT_EQ(SeekFileTo(&file_, 4), 1);
  ASSERT_EQ(WriteScrambled(&file_, zeros, 3, 0xFE), 1);
  EXPECT_EQ(Hex(Bytes().substr(4)), "FE FF 00");
  unsigned char back[3] = {9, 9, 9};
  ASSERT_EQ(SeekFileTo(&file_, 4), 1);
  ASSERT_EQ(ReadScrambled(&file_, back, 3, 0xFE), 1);
  EXPECT_EQ(std::memcmp(back, zeros, 3), 0);

  // A long value keeps counting past the internal pieces.
  std::string value(600, 'A');
  ASSERT_EQ(SeekFileTo(&file_, 100), 1);
  ASSERT_EQ(WriteScrambled(&file_, value.data(), 600, 7), 1);
  const std::string stored = Bytes().substr(100, 600);
  for (int i : {0, 255, 256, 599}) {
    EXPECT_EQ(static_cast<unsigned char>(stored[i]),
              static_cast<unsigned char>('A' ^ static_cast<unsigned char>(7 + i)))
        << i;
  }
}

TEST_F(TypedItemsTest, ValueChainLinksNodesAndScramblesValues) {
  const uint32_t first = AppendIntValue(&file_, 0, -2, 0x10);
  ASSERT_EQ(first, 4u);
  const uint32_t second = AppendWordValue(&file_, first, 0x1234, 0x20);
  ASSERT_EQ(second, 4u + 16 + 4);
  const uint32_t third = AppendTextValue(&file_, second, "ab");
  // The text item (9 bytes) comes before its node.
  ASSERT_EQ(third, second + 16 + 2 + 9);

  const std::string bytes = Bytes();
  EXPECT_EQ(Hex(bytes.substr(first, 20)),
            "06 00 00 00 00 00 00 00 00 00 00 00 18 00 00 00 EE EE ED EC");
  EXPECT_EQ(Hex(bytes.substr(second + 16, 2)), "14 33");  // 34 ^ 20, 12 ^ 21
  EXPECT_EQ(Hex(bytes.substr(third, 20)),
            "09 00 00 00 00 00 00 00 18 00 00 00 00 00 00 00 2A 00 00 00");

  ValueNode node;
  ASSERT_EQ(ReadValueNode(&file_, second, &node), 1);
  EXPECT_EQ(node.type, 3);
  EXPECT_EQ(node.previous, first);
  EXPECT_EQ(node.next, third);
}

TEST(ValueNodes, ValueIsReadAfterTheWholeNode) {
  TempDir dir;
  plat::File file;
  ASSERT_EQ(OpenNewFileForReadWrite(&file, dir.Sys("v.bin").c_str()), 1);
  ASSERT_EQ(WriteBytesToFile(&file, "HEAD", 4), 1);
  const uint32_t i = AppendIntValue(&file, 0, -7, 0x33);
  const uint32_t t = AppendTextValue(&file, i, "text");
  int32_t type = 0;
  unsigned char buffer[8];
  uint32_t length = 0;
  ASSERT_EQ(ReadNodeValue(&file, i, &type, buffer, sizeof buffer, &length, 0x33), 1);
  EXPECT_EQ(type, 6);
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(static_cast<int32_t>(LoadLe(buffer, 4)), -7);
  ASSERT_EQ(ReadNodeValue(&file, t, &type, buffer, sizeof buffer, &length, 0), 1);
  EXPECT_EQ(type, 9);
  EXPECT_STREQ(reinterpret_cast<char*>(buffer), "text");
  EXPECT_EQ(ReadNodeValue(&file, i, &type, buffer, 2, &length, 0x33), 0);  // too small
}

// ---- Keywords and width ----

TEST(ParseTypeName, KeywordsIgnoreBlanksAndCase) {
  const struct {
    const char* keyword;
    int ok;
    int32_t code;
  } cases[] = {
      {"UCHAR", 1, 1}, {"char", 1, 2},     {"Word", 1, 3},
      {"SHORT", 1, 4}, {"dword", 1, 5},    {"INT", 1, 6},
      {"FLOAT", 1, 7}, {" double ", 1, 8}, {"STRING", 1, 9},
      {"LONG", 0, 0},  {"", 0, 0},         {"   ", 0, 0},
      {"IN T", 0, 0},  {"STRINGS", 0, 0},  {"\x82\x68\x82\x6D\x82\x73", 0, 0},  // ＩＮＴ
  };
  for (const auto& c : cases) {
    int32_t code = -1;
    EXPECT_EQ(ParseTypeName(c.keyword, &code), c.ok) << c.keyword;
    if (c.ok) {
      EXPECT_EQ(code, c.code) << c.keyword;
    }
  }
}

TEST(CheckTextWidth, FlagsChooseTheWidthATextMustHave) {
  const struct {
    const char8_t* text;
    int flags;
    int expected;
    const char8_t* copy;
  } cases[] = {
      {u8"", 0, 0, u8""},           {u8"", 1, 2, u8""},
      {u8"ABC", 6, 0, u8"ABC"},                                   // 4 and 2 together
      {u8"ABC", 4, 0, u8"ＡＢＣ"},                                // widened to double-byte only
      {u8"東京", 4, 0, u8"東京"},   {u8"ＡＢＣ", 0, 0, u8"ABC"},  // narrowed to single-byte only
      {u8"東京", 0, 2, u8"東京"},                                 // kanji have no half width
      {u8"ｶﾞｽ-1", 0, 0, u8"ｶﾞｽ-1"},
  };
  for (const auto& c : cases) {
    const std::string text = testutil::Sjis(c.text);
    char copy[64] = "junk";
    EXPECT_EQ(CheckTextWidth(text.c_str(), copy, sizeof copy, c.flags), c.expected)
        << testutil::Show(text) << " flags " << c.flags;
    EXPECT_EQ(std::string(copy), testutil::Sjis(c.copy)) << testutil::Show(text);
  }
  char copy[4];
  EXPECT_EQ(CheckTextWidth(nullptr, copy, sizeof copy, 0), 1);
  EXPECT_EQ(CheckTextWidth("abc", nullptr, 0, 0), 1);
  EXPECT_EQ(CheckTextWidth("abcd", copy, sizeof copy, 0), 1);  // does not fit
}

// ---- Items in a data source ----

TEST(DataSourceItems, TextsAndObjectsLiveAtTheSourceEnd) {
  CDataSource source;
  ASSERT_EQ(source.CreateMemory(8, 8), 1);
  ASSERT_EQ(source.Write("HEAD", 4), 1);
  uint32_t text = 0;
  ASSERT_EQ(AppendTextItemAt(&source, "abc", &text), 1);
  EXPECT_EQ(text, 4u);
  uint32_t now = 0;
  ASSERT_EQ(ReplaceTextItemAt(&source, text, "ab", &now), 1);
  EXPECT_EQ(now, text);
  ASSERT_EQ(ReplaceTextItemAt(&source, text, "abcd", &now), 1);
  EXPECT_EQ(now, 14u);
  char back[8];
  ASSERT_EQ(ReadTextItemAt(&source, now, back, sizeof back), 1);
  EXPECT_STREQ(back, "abcd");
  EXPECT_EQ(ReadTextItemAt(&source, source.GetSize() - 2, back, sizeof back), 0);

  const unsigned char data[3] = {1, 2, 3};
  uint32_t object = 0;
  ASSERT_EQ(AppendObjectItemAt(&source, data, 3, &object), 1);
  ASSERT_EQ(ReplaceObjectItemAt(&source, object, data + 1, 2, &now), 1);
  EXPECT_EQ(now, object);
  void* block = nullptr;
  uint32_t length = 0;
  ASSERT_EQ(ReadObjectItemAllocAt(&source, object, &block, &length), 1);
  ASSERT_EQ(length, 2u);
  EXPECT_EQ(static_cast<unsigned char*>(block)[1], 3);
  std::free(block);
}
