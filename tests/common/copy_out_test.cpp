#include "common/copy_out.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

namespace {

// The formatter-free forms give what the C formatter gives, cut included:
// a result line built with them is byte for byte the one built before.
TEST(CopyCut, CutsAsTheFormatterCuts) {
  const char* const texts[] = {"", "a", "abcdef", "東京都千代田区"};
  for (const char* text : texts) {
    for (std::size_t size = 1; size <= 16; ++size) {
      char ours[32], theirs[32];
      std::memset(ours, 'x', sizeof ours);
      std::memset(theirs, 'x', sizeof theirs);
      CopyCut(ours, size, text);
      std::snprintf(theirs, size, "%s", text);
      EXPECT_EQ(std::string(ours, sizeof ours), std::string(theirs, sizeof theirs))
          << size << " " << text;
    }
  }
  char untouched[4] = "abc";
  CopyCut(untouched, 0, "zzz");
  EXPECT_STREQ(untouched, "abc");
}

TEST(FormatDecimal, WritesWhatPercentZeroStarLdWrites) {
  const long values[] = {0,           1,       -1,       7,        42,        -42,
                         999,         1000,    -1000,    99999,    100000,    -99999,
                         2147483647L, INT_MIN, LONG_MAX, LONG_MIN, 123456789, -5};
  for (const long value : values) {
    for (int width = 0; width <= 8; ++width) {
      for (std::size_t size : {std::size_t{1}, std::size_t{3}, std::size_t{6}, std::size_t{32}}) {
        char ours[40], theirs[40];
        std::memset(ours, 'x', sizeof ours);
        std::memset(theirs, 'x', sizeof theirs);
        const int n = FormatDecimal(ours, size, value, width);
        const int m = std::snprintf(theirs, size, "%0*ld", width, value);
        EXPECT_EQ(n, m) << value << " width " << width;
        EXPECT_EQ(std::string(ours, sizeof ours), std::string(theirs, sizeof theirs))
            << value << " width " << width << " size " << size;
      }
    }
  }
}

}  // namespace
