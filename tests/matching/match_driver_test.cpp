// Helpers of the matching driver: the cut at the first single-byte
// character and the search-text kind test.

#include "matching/match_driver.h"

#include <gtest/gtest.h>

#include <cstring>

#include "matching/adrs_context.h"
#include "matching/edit_text.h"
#include "support/test_util.h"

using testutil::Show;

namespace {

TEST(FindFirstSingleByteChar, WalksWholeCharactersFromTheStart) {
  const struct {
    const char* text;
    int position;
  } cases[] = {
      {"", 0},      {"表示", 0},  // trail bytes 0x5C stay inside their characters
      {"ソ\\", 3},  {"丸の内\t１", 7}, {"a東京", 1},
      {"東京ｱ", 5}, {"東\x81", 3},  // a lead byte just before the end
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindFirstSingleByteChar(c.text), c.position) << Show(c.text);
    char text[32];
    std::snprintf(text, sizeof text, "%s", c.text);
    const std::size_t kept = c.position ? c.position - 1 : std::strlen(c.text);
    EXPECT_EQ(std::strlen(TruncateAtSingleByte(text)), kept) << Show(c.text);
    CEditText edit;
    ASSERT_EQ(edit.Init(c.text), 1);
    EXPECT_EQ(TruncateEditTextAtSingleByte(&edit), 1);
    EXPECT_EQ(std::strlen(edit.GetText()), kept) << Show(c.text);
    EXPECT_STREQ(edit.GetVersionText(1), c.text);
  }
}

TEST(CheckSearchTextKind, EachKindAcceptsItsOwnCharactersAndDigits) {
  const struct {
    int32_t kind;  // 0: unset
    const char* text;
    int fits;
  } cases[] = {
      {0, "abc東京", 1}, {1, "ｱｲ１", 1}, {2, "とうきょう１２", 1}, {2, "トウキョウ", 0},
      {2, "とうきょう1", 0}, {3, "トウキョウ１２", 1}, {3, "とうきょう", 0}, {4, "ﾄｳｷｮｳ12", 1},
      {4, "ﾄｳｷｮｳ１", 0}, {4, "ﾄｳ a", 0}, {2, "", 1},
  };
  for (const auto& c : cases) {
    CAdrsContext context;
    if (c.kind) {
      ASSERT_EQ(context.SetSearchTextKind(c.kind), 1);
    }
    EXPECT_EQ(CheckSearchTextKind(&context, c.text), c.fits) << c.kind << " " << Show(c.text);
  }
}

}  // namespace
