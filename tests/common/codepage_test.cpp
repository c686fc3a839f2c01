#include "common/codepage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/numeric.h"
#include "support/test_util.h"

using testutil::Show;
using testutil::Sjis;

namespace {

std::string Take(char* heap, int* count = nullptr, int expectedCount = -1) {
  if (!heap) return "<null>";
  std::string s(heap);
  std::free(heap);
  if (count && expectedCount >= 0) {
    EXPECT_EQ(*count, expectedCount);
  }
  return s;
}

std::string Utf8Of(const char8_t* s) { return std::string(reinterpret_cast<const char*>(s)); }

}  // namespace

TEST(Utf8Coder, EncodesEachUnitInOneToThreeBytes) {
  struct Case {
    char16_t unit;
    const char* bytes;
  } cases[] = {
      {0x41, "A"},
      {0x7F, "\x7F"},
      {0x80, "\xC2\x80"},
      {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},
      {0x3042, "\xE3\x81\x82"},
      {0xFFFF, "\xEF\xBF\xBF"},
  };
  for (const Case& c : cases) {
    char out[8];
    const int n = EncodeUtf8(out, &c.unit, 1, 0);
    EXPECT_EQ(n, static_cast<int>(std::strlen(c.bytes))) << static_cast<int>(c.unit);
    EXPECT_EQ(std::string(out), c.bytes) << static_cast<int>(c.unit);
  }
  char untouched[4] = "xyz";
  const char16_t unit = 0x3042;
  EXPECT_EQ(EncodeUtf8(untouched, &unit, 1, 1), 3);
  EXPECT_STREQ(untouched, "xyz");
  EXPECT_EQ(EncodeUtf8(nullptr, &unit, 1, 0), 3);
}

TEST(Utf8Coder, DecodesInHostOrBigEndianOrder) {
  char16_t out[4] = {};
  EXPECT_EQ(DecodeUtf8(out,
                       "\xE3\x81\x82"
                       "a",
                       4, 0, 1),
            2);
  EXPECT_EQ(out[0], 0x3042);
  EXPECT_EQ(out[1], u'a');
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(DecodeUtf8(out, "\xE3\x81\x82", 3, 0, 0), 1);
  EXPECT_EQ(out[0], 0x4230);
  EXPECT_EQ(DecodeUtf8(nullptr, "\xC3\xA9xy", 4, 1, 1), 3);
}

// A sequence cut short by the end, a 4-byte sequence and a stray byte each
// give U+FFFD; nothing past the given length is read.
TEST(DecodeUtf8, InvalidSequencesStayInsideTheText) {
  auto cut = std::make_unique<char[]>(2);
  cut[0] = '\xE3';
  cut[1] = '\x81';
  char16_t out[8] = {};
  EXPECT_EQ(DecodeUtf8(out, cut.get(), 2, 0, 1), 1);
  EXPECT_EQ(out[0], 0xFFFD);
  EXPECT_EQ(DecodeUtf8(out,
                       "\xF0\x9F\x98\x80"
                       "a",
                       5, 0, 1),
            2);
  EXPECT_EQ(out[0], 0xFFFD);
  EXPECT_EQ(out[1], u'a');
  EXPECT_EQ(DecodeUtf8(out,
                       "\x80"
                       "b",
                       2, 0, 1),
            2);
  EXPECT_EQ(out[0], 0xFFFD);
  EXPECT_EQ(out[1], u'b');
}

TEST(UnicodeAlloc, RoundTripsThroughUtf16) {
  int n = 0;
  char* utf8 = Utf16ToUtf8Alloc(u"aあ", &n);
  EXPECT_EQ(Take(utf8, &n, 4), Utf8Of(u8"aあ"));
  char16_t* units = Utf8ToUtf16Alloc(reinterpret_cast<const char*>(u8"東京"), &n, 1);
  ASSERT_NE(units, nullptr);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(std::u16string(units), u"東京");
  std::free(units);
  units = Utf8ToUtf16Alloc(reinterpret_cast<const char*>(u8"あ"), &n, 0);
  ASSERT_NE(units, nullptr);
  EXPECT_EQ(units[0], 0x4230);
  std::free(units);
  EXPECT_EQ(Utf16ToUtf8Alloc(nullptr, &n), nullptr);
}

TEST(MultiByte, Utf16ToShiftJis) {
  int n = 0;
  EXPECT_EQ(Take(Utf16ToMultiByte(u"\uFEFFあ", &n), &n, 2), "あ");
  EXPECT_EQ(Take(Utf16ToMultiByte(u"\uFFFEa", &n), &n, 1), "a");
  EXPECT_EQ(Take(Utf16ToMultiByte(u"a\u00E9b", &n), &n, 3), "a b");  // é has no CP932 form
  EXPECT_EQ(Take(Utf16ToMultiByte(u"\uFF5E\uFF0D\uFFE5", &n), &n, 6), "～－￥");
  EXPECT_EQ(Utf16ToMultiByte(nullptr, &n), nullptr);
}

TEST(MultiByte, ShiftJisToUtf16AndUtf8) {
  int n = 0;
  char16_t* units = MultiByteToUtf16("aあ", &n);
  ASSERT_NE(units, nullptr);
  EXPECT_EQ(std::u16string(units), u"aあ");
  EXPECT_EQ(n, 6);  // two per input byte
  std::free(units);
  units = MultiByteToUtf16(
      "a\x85\x40"
      "b",
      &n);  // 85 40 is unassigned
  ASSERT_NE(units, nullptr);
  EXPECT_EQ(std::u16string(units), u"a b");
  std::free(units);
  EXPECT_EQ(MultiByteToUtf16(nullptr, &n), nullptr);

  EXPECT_EQ(Take(MultiByteToUtf8("住所ｱ", &n), &n, 9), Utf8Of(u8"住所ｱ"));
  EXPECT_EQ(Take(Utf8ToMultiByte(reinterpret_cast<const char*>(u8"表示～"), &n), &n, 6), "表示～");
  EXPECT_EQ(Take(Utf8ToMultiByte("a\xF0\x9F\x98\x80", &n), &n, 2), "a ");
}

TEST(MultiByte, InPlaceConversions) {
  char text[32];
  std::strcpy(text, reinterpret_cast<const char*>(u8"\uFEFF東京都a"));
  EXPECT_EQ(std::string(Utf8ToMultiByteInPlace(text)), "東京都a");
  char buf[32] = "表ソ\\";
  EXPECT_EQ(std::string(MultiByteToUtf8InPlace(buf)), Utf8Of(u8"表ソ\\"));
  char small[8] = "ｱｲｳ";
  MultiByteToUtf8InPlace(small, sizeof small);  // 9 bytes + NUL do not fit
  EXPECT_STREQ(small, "ｱｲｳ");
}

TEST(MultiByteToUtf8InPlace, RefusesTextsBeyondItsWorkArray) {
  const std::string fits(1025, '\xB1');  // ｱ: 3 bytes each in UTF-8
  std::vector<char> buf(3 * 1026 + 1, '\0');
  std::memcpy(buf.data(), fits.c_str(), fits.size() + 1);
  MultiByteToUtf8InPlace(buf.data(), buf.size());
  EXPECT_EQ(std::strlen(buf.data()), 3 * 1025u);
  const std::string tooLong(1026, '\xB1');
  std::memcpy(buf.data(), tooLong.c_str(), tooLong.size() + 1);
  MultiByteToUtf8InPlace(buf.data(), buf.size());
  EXPECT_EQ(std::string(buf.data()), tooLong);
}

TEST(JisEuc, PairsAndCodes) {
  char text[16] = "あ  ";
  SjisToJisPairs(text);
  EXPECT_EQ(std::string(text), "\x24\x22\x21\x21");
  JisToSjisPairs(text);
  EXPECT_EQ(std::string(text), "あ　");
  char odd[8] = "\x24\x22\x21";
  JisToSjisPairs(odd);
  EXPECT_EQ(std::string(odd), "\x24\x22\x21");
  char pair[3] = "  ";
  EXPECT_EQ(std::string(JisPairToSjis(pair)), "　");
  char printable[16] = "\x24\x22\n\x25\x22";
  JisToSjisPrintable(printable);
  EXPECT_EQ(std::string(printable), "あ\nア");
  EXPECT_EQ(JisCodeToSjisCode(0x2422), 0x82A0);
  EXPECT_EQ(JisCodeToSjisCode(0x2160), 0x8180);  // ÷: second byte skips 0x7F
  EXPECT_EQ(JisCodeToSjisCode(0x5F21), 0xE040);
  EXPECT_EQ(JisCodeToSjisCode(0x7426), 0xEAA4);
  EXPECT_EQ(IsJisPair("\x21\x7E"), 1);
  EXPECT_EQ(IsJisPair("\x21\x7F"), 0);
  EXPECT_EQ(IsJisPair(""), 0);

  const int euc[][2] = {{0x8E, 1}, {0x8F, 0}, {0x90, 1}, {0xA0, 0},
                        {0xA1, 1}, {0xFE, 1}, {0xFF, 0}};
  for (const auto& c : euc)
    EXPECT_EQ(IsEucLeadByte(static_cast<unsigned char>(c[0])), c[1]) << c[0];
  EXPECT_EQ(IsEucUpperByte(0xA0), 1);
  EXPECT_EQ(IsEucUpperByte(0x9F), 0);

  char eucText[16] =
      "\xA4\xA2\x8E\xB1"
      "a";  // あｱa in EUC-JP
  EucToSjis(eucText);
  EXPECT_EQ(std::string(eucText), "あｱa");
  char sjis[16] = "あa";
  SjisToEuc(sjis);
  EXPECT_EQ(std::string(sjis),
            "\xA4\xA2"
            "a");
  char eucToJis[16] =
      "\xA4\xA2\x8E\xB1"
      "a";
  EucToJis(eucToJis);
  EXPECT_EQ(std::string(eucToJis),
            "\x24\x22\xB1"
            "a");
}

TEST(Iso2022Jp, EscapesRunsAndLineEnds) {
  char out[64];
  EXPECT_EQ(std::string(SjisToIso2022Jp(out, "aあb")), "a\x1B$B\x24\x22\x1B(Bb");
  EXPECT_EQ(std::string(SjisToIso2022Jp(out, "あい\r\nx")), "\x1B$B\x24\x22\x24\x24\x1B(B\nx");
  EXPECT_EQ(std::string(SjisToIso2022Jp(out, "あ")), "\x1B$B\x24\x22\x1B(B");
  EXPECT_EQ(std::string(Iso2022JpToSjis(out, "a\x1B$B\x24\x22\x1B(Bb")), "aあb");
  EXPECT_EQ(std::string(Iso2022JpToSjis(out, "\na\r\nb\n")), "\r\na\r\nb\r\n");
  // The worst cases of the documented output sizes.
  std::string lines(10, '\n');
  std::vector<char> big(2 * lines.size() + 1);
  EXPECT_EQ(std::strlen(Iso2022JpToSjis(big.data(), lines.c_str())), 2 * lines.size());
  std::string kanji = "あ";
  std::vector<char> big2(4 * kanji.size() + 1);
  EXPECT_EQ(std::strlen(SjisToIso2022Jp(big2.data(), kanji.c_str())), 4 * kanji.size());
}

TEST(ByteOrder, SwapsAndConditionalSwaps) {
  EXPECT_EQ(SwapInt32(0x12345678), 0x78563412);
  EXPECT_EQ(SwapUInt32(0x11223344u), 0x44332211u);
  EXPECT_EQ(SwapUInt16(0x1234), 0x3412);
  EXPECT_EQ(SwapInt16(static_cast<int16_t>(0x0180)), static_cast<int16_t>(0x8001));
  EXPECT_EQ(SwapUInt16If(0x1234, 0), 0x1234);
  EXPECT_EQ(SwapUInt16If(0x1234, 1), 0x3412);
  EXPECT_EQ(SwapInt32If(0x12345678, 0), 0x12345678);
  EXPECT_EQ(SwapUInt32If(0x11223344u, 2), 0x44332211u);
  EXPECT_EQ(SwapInt16If(0x0102, 1), 0x0201);
  const double d = 1234.5;
  const double swapped = SwapDouble(d);
  unsigned char a[8], b[8];
  std::memcpy(a, &d, 8);
  std::memcpy(b, &swapped, 8);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(a[i], b[7 - i]);
  EXPECT_EQ(SwapDouble(swapped), d);
  EXPECT_EQ(SwapDoubleIf(d, 0), d);
  const float f = 2.5f;
  EXPECT_EQ(SwapFloat(SwapFloat(f)), f);
  EXPECT_EQ(SwapFloatIf(SwapFloatIf(f, 1), 1), f);
  uint16_t v = 0xABCD;
  ByteSwap16InPlace(&v);
  EXPECT_EQ(v, 0xCDAB);
}

TEST(ByteOrder, ReversalsAndValueSwaps) {
  unsigned char bytes[3] = {1, 2, 3};
  ReverseBytes(bytes, 3);
  EXPECT_EQ(bytes[0] * 100 + bytes[1] * 10 + bytes[2], 321);
  EXPECT_EQ(ReverseBits8(0x01), 0x80);
  EXPECT_EQ(ReverseBits8(0xA0), 0x05);
  double values[4] = {1, 2, 3, 4};
  ReverseDoubleArray(values, 4);
  EXPECT_EQ(values[0], 4);
  EXPECT_EQ(values[3], 1);
  ReverseDoubleArray(values, 1);
  EXPECT_EQ(values[0], 4);

  int32_t i1 = 1, i2 = 2;
  SwapInts(&i1, &i2);
  EXPECT_EQ(i1 * 10 + i2, 21);
  int16_t s1 = 5, s2 = 6;
  SwapShorts(&s1, &s2);
  EXPECT_EQ(s1 * 10 + s2, 65);
  double d1 = 1.5, d2 = 2.5;
  SwapDoubles(&d1, &d2);
  EXPECT_EQ(d1, 2.5);
  float f1 = 1, f2 = 2;
  SwapFloats(&f1, &f2);
  EXPECT_EQ(f1, 2);
  unsigned char c1 = 'a', c2 = 'b';
  SwapTwoBytes(&c1, &c2);
  EXPECT_EQ(c1, 'b');

  char m1[4] = "abc", m2[4] = "xyz";
  EXPECT_EQ(SwapMemory(m1, m2, 0x10002), 1);  // the count is taken as 16-bit: 2
  EXPECT_STREQ(m1, "xyc");
  EXPECT_STREQ(m2, "abz");
}

TEST(BitsAndColors, ShiftCombineSplitAndScale) {
  EXPECT_EQ(ShiftCombine8Left(0x81, 1), 0x102u);  // unmasked: the high bit is kept above bit 7
  EXPECT_EQ(ShiftCombine16Right(0x0001, 0), 0x8001u);
  EXPECT_EQ(ShiftCombine16Left(0x8000, 15), 0x40008000u);
  EXPECT_EQ(ShiftCombine8Right(0x02, 1), 0x81u);
  EXPECT_EQ(ShiftCombine16Right(0x1234, 16), 0x1234u);  // count out of range

  uint8_t lo = 0, mid = 0, hi = 0, top = 0;
  using Bytes = std::vector<int>;
  SplitColor24(0x00AABBCC, &lo, &mid, &hi);
  EXPECT_EQ((Bytes{lo, mid, hi}), (Bytes{0xCC, 0xBB, 0xAA}));
  SplitColor32(0x11223344, &top, &hi, &mid, &lo);
  EXPECT_EQ((Bytes{top, hi, mid, lo}), (Bytes{0x11, 0x22, 0x33, 0x44}));
  SplitColor555((3u << 10) | (2u << 5) | 1u, &lo, &mid, &hi);
  EXPECT_EQ((Bytes{lo, mid, hi}), (Bytes{1, 2, 3}));

  struct Case {
    int32_t component;
    double factor;
    int32_t result;
  } cases[] = {{100, 0.5, 50}, {3, 0.99, 2}, {200, 1.5, 255}, {100, -1.0, 0}, {255, 1e300, 255}};
  for (const Case& c : cases)
    EXPECT_EQ(ScaleColorComponent(c.component, c.factor), c.result)
        << c.component << " " << c.factor;
  EXPECT_EQ(ScaleColor(0xFF102030u, 2.0, 0.5, 1.0), 0x00101060u);
  EXPECT_EQ(ScaleColorUniform(0x00808080u, 2.0), 0x00FFFFFFu);
}

TEST(ClampInt, ClampsIntoEitherOrderOfBounds) {
  struct Case {
    int32_t value, a, b, result;
  } cases[] = {{5, 0, 10, 5},   {-1, 0, 10, 0}, {11, 0, 10, 10},
               {11, 10, 0, 10}, {-7, 10, 0, 0}, {3, 3, 3, 3}};
  for (const Case& c : cases) {
    int32_t v = c.value;
    ClampInt(&v, c.a, c.b);
    EXPECT_EQ(v, c.result) << c.value << " in " << c.a << ".." << c.b;
  }
}
