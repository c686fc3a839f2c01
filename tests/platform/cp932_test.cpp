#include "plat/cp932.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <utility>

#include "plat/path.h"
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

// The converter's answers, asked of the C library directly: the tables the
// conversions use must give the same for every byte, byte pair and unit.
namespace {

bool LibraryConvert(const char* to, const char* from, const std::string& in, std::string& out) {
  const iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char* src = const_cast<char*>(in.data());
  std::size_t left = in.size();
  char buf[64];
  char* dst = buf;
  std::size_t room = sizeof buf;
  bool ok = iconv(cd, &src, &left, &dst, &room) == 0 && left == 0 &&
            iconv(cd, nullptr, nullptr, &dst, &room) != static_cast<std::size_t>(-1);
  iconv_close(cd);
  if (ok) out.assign(buf, static_cast<std::size_t>(dst - buf));
  return ok;
}

std::string Utf16Bytes(const std::u16string& u) {
  std::string bytes;
  for (char16_t c : u) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

}  // namespace

TEST(Cp932, TablesGiveTheLibraryConverterAnswers) {
  std::u16string units;
  std::string library, ours;
  int differences = 0;
  // Every byte alone and every byte pair, both to UTF-16 and to UTF-8.
  for (int a = 0; a < 0x100; ++a) {
    for (int b = -1; b < 0x100; ++b) {
      std::string in(1, static_cast<char>(a));
      if (b >= 0) in.push_back(static_cast<char>(b));
      const bool expected = LibraryConvert("UTF-16LE", "CP932", in, library);
      const bool got = ToUtf16(in, units);
      if (got != expected || (got && Utf16Bytes(units) != library)) ++differences;
      const bool expected8 = LibraryConvert("UTF-8", "CP932", in, library);
      const bool got8 = ToUtf8(in, ours);
      if (got8 != expected8 || (got8 && ours != library)) ++differences;
      if (differences > 0 && differences < 3) ADD_FAILURE() << testutil::Show(in);
    }
  }
  // Every UTF-16 unit, alone and as UTF-8.
  for (int u = 0; u < 0x10000; ++u) {
    const std::u16string one(1, static_cast<char16_t>(u));
    const bool expected = LibraryConvert("CP932", "UTF-16LE", Utf16Bytes(one), library);
    const bool got = FromUtf16(one, ours);
    if (got != expected || (got && ours != library)) ++differences;
    std::string unit;
    const bool got1 = UnitToCp932(static_cast<char16_t>(u), unit);
    if (got1 != expected || (got1 && unit != library)) ++differences;
    if (u < 0xD800 || u > 0xDFFF) {
      std::string utf8;
      ASSERT_TRUE(LibraryConvert("UTF-8", "UTF-16LE", Utf16Bytes(one), utf8));
      const bool expected8 = LibraryConvert("CP932", "UTF-8", utf8, library);
      const bool got8 = FromUtf8(utf8, ours);
      if (got8 != expected8 || (got8 && ours != library)) ++differences;
    }
    if (differences > 0 && differences < 3) ADD_FAILURE() << "unit " << u;
  }
  EXPECT_EQ(differences, 0);
}

// UTF-8 that is no text is refused whole, as the library refuses it: cut
// short, overlong, a surrogate, beyond U+10FFFF, a stray continuation byte,
// and a character outside the BMP (which CP932 cannot hold).
TEST(Cp932, InvalidUtf8IsRefusedAsTheLibraryRefusesIt) {
  const char* const samples[] = {
      "\xE4\xB8", "\xC0\xAF", "\xE0\x80\xAF",     "\xED\xA0\x80",         "\xF4\x90\x80\x80",
      "\x80",     "a\xBF",    "\xF0\x9F\x98\x80", "\xF8\x88\x80\x80\x80", "\xE4\xB8\xB8\xE4"};
  for (const char* sample : samples) {
    std::string library, ours;
    EXPECT_FALSE(LibraryConvert("CP932", "UTF-8", sample, library)) << testutil::Show(sample);
    EXPECT_FALSE(FromUtf8(sample, ours)) << testutil::Show(sample);
  }
  std::string ours;
  EXPECT_FALSE(FromUtf16(std::u16string{u'a', char16_t(0xD800)}, ours)) << "a lone surrogate";
  EXPECT_FALSE(FromUtf16(std::u16string{char16_t(0xDC00), u'a'}, ours)) << "a lone low one";
}

// A name from the OS is CP932 only where its CP932 form converts back to it.
// The converter takes ¥ to 0x5C (the separator) and 〜 − — ‾ ‖ ¢ £ ¬ to the
// forms of other characters; such a name keeps its own bytes, each after
// 0xFC, and comes back exactly. Every BMP character is checked against the
// library's converter both ways, with a separator after it that must stay
// one.
TEST(Cp932, NativeNamesAreCp932OnlyWhereTheirFormConvertsBack) {
  const auto carriedForm = [](const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
      if (static_cast<unsigned char>(c) >= 0x80) out.push_back('\xFC');
      out.push_back(c);
    }
    return out;
  };
  for (const char8_t* s : {u8"¥", u8"‾", u8"〜", u8"−", u8"—", u8"‖", u8"¢", u8"£", u8"¬"}) {
    const std::string name = reinterpret_cast<const char*>(s);
    std::string cp932, back;
    ASSERT_TRUE(FromUtf8(name, cp932)) << name;  // the strict conversion takes it
    ASSERT_TRUE(ToUtf8(cp932, back));
    EXPECT_NE(back, name);
    EXPECT_EQ(FromNativeName(name), carriedForm(name)) << name;
  }
  EXPECT_EQ(FromNativeName(reinterpret_cast<const char*>(u8"丸の内¥.txt")),
            std::string("丸の内") + carriedForm("\xC2\xA5") + ".txt");

  // The carry lead starts no CP932 character with a carried byte.
  EXPECT_TRUE(IsLeadByte(kCarryLead));
  for (unsigned b = 0x80; b <= 0xFF; ++b) {
    std::string out;
    EXPECT_FALSE(ToUtf8(std::string{static_cast<char>(kCarryLead), static_cast<char>(b)}, out))
        << b;
  }

  int carried = 0;
  for (char32_t cp = 0x80; cp <= 0xFFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    std::u16string unit(1, static_cast<char16_t>(cp));
    std::string ch, cp932, back;
    ASSERT_TRUE(LibraryConvert("UTF-8", "UTF-16LE", Utf16Bytes(unit), ch));
    const bool convertsBack = LibraryConvert("CP932", "UTF-8", ch, cp932) &&
                              LibraryConvert("UTF-8", "CP932", cp932, back) && back == ch;
    const std::string name = "a" + ch + "/b";
    const std::string form = FromNativeName(name);
    EXPECT_EQ(form, "a" + (convertsBack ? cp932 : carriedForm(ch)) + "/b")
        << std::hex << static_cast<unsigned>(cp);
    std::string native, dir, title;
    ASSERT_TRUE(ToNativeName(form, native)) << std::hex << static_cast<unsigned>(cp);
    EXPECT_EQ(native, name) << std::hex << static_cast<unsigned>(cp);
    plat::path::SplitPath(form.c_str(), nullptr, &dir, &title, nullptr);
    EXPECT_EQ(title, "b") << std::hex << static_cast<unsigned>(cp);
    if (!convertsBack) ++carried;
  }
  EXPECT_GT(carried, 50000);  // most of the BMP has no CP932 form at all

  // Beyond the BMP, and bytes that are no UTF-8: carried byte by byte.
  for (const std::string name : {"\xF0\x9F\x98\x80.txt", "\xFF\xFE", "a\xE4\xB8", "\x80/x"}) {
    const std::string form = FromNativeName(name);
    EXPECT_EQ(form, carriedForm(name)) << testutil::Show(name);
    std::string native;
    ASSERT_TRUE(ToNativeName(form, native));
    EXPECT_EQ(native, name) << testutil::Show(name);
  }
}

// A native name that is no UTF-8 (raw CP932 bytes) keeps a 0x5C that is the
// second byte of a CP932 character (表 95 5C, ソ 83 5C, 能 94 5C, 十 8F 5C)
// in that character: carried, it never splits the name, and the name comes
// back byte for byte. The element is walked forward from its start; a 0x5C
// after a whole character, and any 0x5C of an element that is UTF-8, stays
// a separator.
TEST(Cp932, ATrailBackslashOfANameThatIsNoUtf8IsPartOfItsCharacter) {
  const auto title = [](const std::string& form) {
    std::string dir, name;
    plat::path::SplitPath(form.c_str(), nullptr, &dir, &name, nullptr);
    return std::make_pair(dir, name);
  };
  std::string utf8;
  EXPECT_FALSE(ToUtf8("\xFC\x5C", utf8));  // no CP932 character
  const struct {
    std::string name, form, dir;
  } cases[] = {
      {"\x95\x5C.txt", "\xFC\x95\xFC\x5C.txt", ""},
      {"\x83\x5C\x94\x5C\x8F\x5C", "\xFC\x83\xFC\x5C\xFC\x94\xFC\x5C\xFC\x8F\xFC\x5C", ""},
      // 8A 95 is one character: the 0x5C after it separates.
      {"\x8A\x95\\x", "\xFC\x8A\xFC\x95\\x", "\xFC\x8A\xFC\x95\\"},
      // A separator before the character, and one after it.
      {"a\\\x95\x5C\\b", "a\\\xFC\x95\xFC\x5C\\b", "a\\\xFC\x95\xFC\x5C\\"},
      // The UTF-8 folder's 0x5C after テ (E3 83 86) separates; the raw
      // CP932 file name's does not.
      {"\xE3\x83\x86\\x/\x95\x5C", "\x83\x65\\x/\xFC\x95\xFC\x5C", "\x83\x65\\x/"},
  };
  for (const auto& c : cases) {
    const std::string form = FromNativeName(c.name);
    EXPECT_EQ(testutil::Show(form), testutil::Show(c.form)) << testutil::Show(c.name);
    EXPECT_EQ(testutil::Show(title(form).first), testutil::Show(c.dir)) << testutil::Show(c.name);
    std::string native;
    ASSERT_TRUE(ToNativeName(form, native)) << testutil::Show(c.name);
    EXPECT_EQ(testutil::Show(native), testutil::Show(c.name));
  }
  // Every lead byte with 0x5C after it is one element.
  for (unsigned b = 0x81; b <= 0xFF; ++b) {
    if (!IsLeadByte(static_cast<unsigned char>(b))) continue;
    const std::string name = std::string("x") + static_cast<char>(b) + "\\y";
    const std::string form = FromNativeName(name);
    EXPECT_EQ(title(form).first, "") << b;
    std::string native;
    ASSERT_TRUE(ToNativeName(form, native)) << b;
    EXPECT_EQ(native, name) << b;
  }
}
