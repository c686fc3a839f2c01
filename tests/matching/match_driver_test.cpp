// Helpers of the matching driver: the search-text kind, the prefecture
// names by kind and the cut at the first single-byte character.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "matching/adrs_context.h"
#include "matching/edit_text.h"
#include "matching/match_driver.h"
#include "matching/prefecture_names.h"
#include "support/test_util.h"

using testutil::Show;

namespace {

TEST(FindFirstSingleByteChar, WalksWholeCharactersFromTheStart) {
  const struct {
    const char* text;
    int position;
  } cases[] = {
      {"", 0},
      {"東京都", 0},
      {"表示", 0},              // trail bytes 0x5C stay inside their characters
      {"ソ\\", 3},              // a real backslash after ソ (83 5C)
      {"丸の内\t１", 7},
      {"a東京", 1},
      {"東京ｱ", 5},             // half-width katakana is single-byte
      {"東\x81", 3},            // a lead byte just before the end
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindFirstSingleByteChar(c.text), c.position) << Show(c.text);
    char text[32];
    std::snprintf(text, sizeof text, "%s", c.text);
    TruncateAtSingleByte(text);
    EXPECT_EQ(std::strlen(text), static_cast<std::size_t>(c.position ? c.position - 1 : std::strlen(c.text)))
        << Show(c.text);
  }
  EXPECT_EQ(FindFirstSingleByteChar(nullptr), 0);
}

TEST(TruncateEditTextAtSingleByte, CutsTheCurrentTextAndKeepsTheInput) {
  CEditText edit;
  ASSERT_EQ(edit.Init("丸の内\t一丁目"), 1);
  EXPECT_EQ(TruncateEditTextAtSingleByte(&edit), 1);
  EXPECT_EQ(Show(edit.GetText()), Show("丸の内"));
  EXPECT_EQ(Show(edit.GetVersionText(1)), Show("丸の内\t一丁目"));
  // Nothing to cut: no new version.
  const uint32_t versions = edit.GetVersionCount();
  EXPECT_EQ(TruncateEditTextAtSingleByte(&edit), 1);
  EXPECT_EQ(edit.GetVersionCount(), versions);
  EXPECT_EQ(TruncateEditTextAtSingleByte(nullptr), 0);
}

TEST(CheckSearchTextKind, EachKindAcceptsItsOwnCharactersAndDigits) {
  const struct {
    int32_t kind;  // 0: unset
    const char* text;
    int fits;
  } cases[] = {
      {0, "abc東京", 1},          {1, "ｱｲ１", 1},
      {2, "とうきょう１２", 1},   {2, "トウキョウ", 0},  {2, "とうきょう1", 0}, {2, "東", 0},
      {3, "トウキョウ１２", 1},   {3, "とうきょう", 0},  {3, "トウキョウー", 0},
      {4, "ﾄｳｷｮｳ12", 1},          {4, "ﾄｳｷｮｳ１", 0},     {4, "ﾄｳ a", 0},
      {2, "", 1},
  };
  for (const auto& c : cases) {
    CAdrsContext context;
    if (c.kind) {
      ASSERT_EQ(context.SetSearchTextKind(c.kind), 1);
    }
    EXPECT_EQ(CheckSearchTextKind(&context, c.text), c.fits) << c.kind << " " << Show(c.text);
  }
}

TEST(ApplySearchTextKind, KanaKindsCompareReadingsInHiragana) {
  const struct {
    int32_t kind;  // 0: unset
    const char* text;
    const char* after;
    int32_t useKanji;
  } cases[] = {
      {0, "東京都トウキョウ", "東京都トウキョウ", 1},
      {1, "トウキョウ", "トウキョウ", 1},
      {2, "とうきょうトウ", "とうきょうトウ", 0},
      {3, "トウキョウと", "とうきょうと", 0},
      {4, "ﾄｳｷｮｳﾄ", "とうきょうと", 0},
  };
  for (const auto& c : cases) {
    CAdrsContext context;
    if (c.kind) {
      ASSERT_EQ(context.SetSearchTextKind(c.kind), 1);
    }
    CEditText edit;
    ASSERT_EQ(edit.Init(c.text), 1);
    int32_t useKanji = -1;
    EXPECT_EQ(ApplySearchTextKind(&context, &edit, &useKanji), 1) << c.kind;
    EXPECT_EQ(useKanji, c.useKanji) << c.kind;
    EXPECT_EQ(Show(edit.GetText()), Show(c.after)) << c.kind;
  }
}

TEST(GetPrefectureNameByKind, KanjiNameOrReading) {
  char out[kPrefectureTextSize];
  EXPECT_EQ(Show(GetPrefectureNameByKind(13, out, 1)), Show("東京都"));
  EXPECT_EQ(Show(GetPrefectureNameByKind(13, out, 0)), Show("とうきょうと"));
  EXPECT_EQ(Show(GetPrefectureNameByKind(26, out, 0)), Show("きょうとふ"));
  EXPECT_STREQ(GetPrefectureNameByKind(48, out, 1), "");
}

}  // namespace
