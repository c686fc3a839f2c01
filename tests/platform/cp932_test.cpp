#include "plat/cp932.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_util.h"

using namespace plat::cp932;

TEST(Cp932, LiteralsAreCompiledToCp932) {
  EXPECT_EQ(std::string("表"), std::string("\x95\x5C"));
  EXPECT_EQ(std::string("住所"), std::string("\x8F\x5A\x8F\x8A"));
  EXPECT_EQ(testutil::Sjis(u8"表示優先.tbl"), std::string("表示優先.tbl"));
}

TEST(Cp932, BackslashAndTildeAreAscii) {
  std::u16string u;
  ASSERT_TRUE(ToUtf16("a\\b~", u));
  EXPECT_EQ(u, u"a\\b~");
}

TEST(Cp932, MicrosoftForms) {
  std::u16string u;
  ASSERT_TRUE(ToUtf16("\x81\x60\x81\x7C\x81\x61\x81\xCA\x81\x5C", u));
  EXPECT_EQ(u, std::u16string(u"\uFF5E\uFF0D\u2225\uFFE2\u2015"));
}

TEST(Cp932, EveryMappedCharacterRoundTripsThroughUtf16) {
  int mapped = 0;
  std::u16string u;
  std::string back;
  auto check = [&](const std::string& bytes) {
    if (!ToUtf16(bytes, u)) return;
    ASSERT_EQ(u.size(), 1u);
    ++mapped;
    // A few NEC/IBM duplicates map to one code point; the code point must
    // still come back to a CP932 form that decodes to the same unit.
    ASSERT_TRUE(FromUtf16(u, back)) << testutil::Show(bytes);
    std::u16string again;
    ASSERT_TRUE(ToUtf16(back, again));
    EXPECT_EQ(again, u);
  };
  for (int b = 0; b < 0x100; ++b) {
    if (IsLeadByte(static_cast<unsigned char>(b))) continue;
    check(std::string(1, static_cast<char>(b)));
  }
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      check(std::string{static_cast<char>(lead), static_cast<char>(trail)});
    }
  }
  // JIS X 0208 alone has 6,879 characters; with ASCII, kana, the NEC and IBM
  // extensions and the user area there are well over 9,000.
  EXPECT_GT(mapped, 9000);
}

TEST(Cp932, RejectsInvalidBytes) {
  std::u16string u;
  EXPECT_FALSE(ToUtf16("\x80", u));
  EXPECT_FALSE(ToUtf16("\xA0", u));
  EXPECT_FALSE(ToUtf16("a\x82", u));  // lead byte without trail
}

TEST(Cp932, LossyUtf16UsesQuestionMark) {
  EXPECT_EQ(FromUtf16Lossy(u"a\u20ACb"), "a?b");              // euro sign has no CP932 form
  EXPECT_EQ(FromUtf16Lossy(u"x\U0001F600y"), "x?y");          // one '?' for a surrogate pair
  const unsigned char le[] = {0x42, 0x30, 0x41, 0x00, 0x99};  // あ A + odd byte
  EXPECT_EQ(FromUtf16LeBytes(le, sizeof le), std::string("あA"));
}

TEST(Cp932, Utf8BothWays) {
  std::string s, back;
  ASSERT_TRUE(FromUtf8(reinterpret_cast<const char*>(u8"丸の内"), s));
  EXPECT_EQ(s, std::string("丸の内"));
  ASSERT_TRUE(ToUtf8(s, back));
  EXPECT_EQ(back, std::string(reinterpret_cast<const char*>(u8"丸の内")));
  EXPECT_EQ(ToUtf8Display("a\x80"), "a\\x80");
}
