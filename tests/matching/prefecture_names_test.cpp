#include "matching/prefecture_names.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/test_util.h"

namespace {

using testutil::Show;
using testutil::Sjis;

struct Prefecture {
  int32_t code;
  const char8_t* name;
  const char8_t* reading;
};

// JIS X 0401 codes with names and readings, in UTF-8 (converted with the
// system's own code page for the comparison).
const Prefecture kExpected[] = {
    {1, u8"北海道", u8"ほっかいどう"},  {2, u8"青森県", u8"あおもりけん"},
    {3, u8"岩手県", u8"いわてけん"},    {4, u8"宮城県", u8"みやぎけん"},
    {5, u8"秋田県", u8"あきたけん"},    {6, u8"山形県", u8"やまがたけん"},
    {7, u8"福島県", u8"ふくしまけん"},  {8, u8"茨城県", u8"いばらきけん"},
    {9, u8"栃木県", u8"とちぎけん"},    {10, u8"群馬県", u8"ぐんまけん"},
    {11, u8"埼玉県", u8"さいたまけん"}, {12, u8"千葉県", u8"ちばけん"},
    {13, u8"東京都", u8"とうきょうと"}, {14, u8"神奈川県", u8"かながわけん"},
    {15, u8"新潟県", u8"にいがたけん"}, {16, u8"富山県", u8"とやまけん"},
    {17, u8"石川県", u8"いしかわけん"}, {18, u8"福井県", u8"ふくいけん"},
    {19, u8"山梨県", u8"やまなしけん"}, {20, u8"長野県", u8"ながのけん"},
    {21, u8"岐阜県", u8"ぎふけん"},     {22, u8"静岡県", u8"しずおかけん"},
    {23, u8"愛知県", u8"あいちけん"},   {24, u8"三重県", u8"みえけん"},
    {25, u8"滋賀県", u8"しがけん"},     {26, u8"京都府", u8"きょうとふ"},
    {27, u8"大阪府", u8"おおさかふ"},   {28, u8"兵庫県", u8"ひょうごけん"},
    {29, u8"奈良県", u8"ならけん"},     {30, u8"和歌山県", u8"わかやまけん"},
    {31, u8"鳥取県", u8"とっとりけん"}, {32, u8"島根県", u8"しまねけん"},
    {33, u8"岡山県", u8"おかやまけん"}, {34, u8"広島県", u8"ひろしまけん"},
    {35, u8"山口県", u8"やまぐちけん"}, {36, u8"徳島県", u8"とくしまけん"},
    {37, u8"香川県", u8"かがわけん"},   {38, u8"愛媛県", u8"えひめけん"},
    {39, u8"高知県", u8"こうちけん"},   {40, u8"福岡県", u8"ふくおかけん"},
    {41, u8"佐賀県", u8"さがけん"},     {42, u8"長崎県", u8"ながさきけん"},
    {43, u8"熊本県", u8"くまもとけん"}, {44, u8"大分県", u8"おおいたけん"},
    {45, u8"宮崎県", u8"みやざきけん"}, {46, u8"鹿児島県", u8"かごしまけん"},
    {47, u8"沖縄県", u8"おきなわけん"},
};

TEST(PrefectureNames, EveryCodeGivesItsNameAndReadingAndIsFoundByBoth) {
  ASSERT_EQ(std::size(kExpected), static_cast<std::size_t>(kPrefectureCount));
  for (const Prefecture& p : kExpected) {
    const std::string name = Sjis(p.name);
    const std::string reading = Sjis(p.reading);
    char out[kPrefectureTextSize] = "junk";
    EXPECT_EQ(std::string(GetPrefectureName(p.code, out)), name) << p.code << " " << Show(out);
    EXPECT_EQ(std::string(GetPrefectureKana(p.code, out)), reading) << p.code << " " << Show(out);
    EXPECT_EQ(FindPrefectureCode(name.c_str()), p.code) << Show(name);
    EXPECT_EQ(FindPrefectureCodeByKana(reading.c_str()), p.code) << Show(reading);
    // A name is no reading and the other way round.
    EXPECT_EQ(FindPrefectureCodeByKana(name.c_str()), 0);
    EXPECT_EQ(FindPrefectureCode(reading.c_str()), 0);
  }
}

TEST(PrefectureNames, CodesOutsideOneToFortySevenGiveTheEmptyText) {
  for (int32_t code : {0, 48, -1, 100}) {
    char out[kPrefectureTextSize] = "junk";
    EXPECT_STREQ(GetPrefectureName(code, out), "") << code;
    std::strcpy(out, "junk");
    EXPECT_STREQ(GetPrefectureKana(code, out), "") << code;
  }
}

TEST(PrefectureNames, OnlyWholeNamesAreFound) {
  EXPECT_EQ(FindPrefectureCode(Sjis(u8"東京").c_str()), 0);
  EXPECT_EQ(FindPrefectureCode(Sjis(u8"東京都").c_str()), 13);
  EXPECT_EQ(FindPrefectureCode(Sjis(u8"東京都千代田区").c_str()), 0);
  EXPECT_EQ(FindPrefectureCode(Sjis(u8"京都").c_str()), 0);
  EXPECT_EQ(FindPrefectureCodeByKana(Sjis(u8"とうきょう").c_str()), 0);
  EXPECT_EQ(FindPrefectureCode(""), 0);
  EXPECT_EQ(FindPrefectureCode(nullptr), 0);
  EXPECT_EQ(FindPrefectureCodeByKana(nullptr), 0);
}

}  // namespace
