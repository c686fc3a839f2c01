#include "common/wildcard.h"

#include <gtest/gtest.h>

#include "support/test_util.h"

namespace {

TEST(WildcardCharEqual, QuestionMarkMatchesAnyByte) {
  EXPECT_EQ(WildcardCharEqual('?', 'x'), 1);
  EXPECT_EQ(WildcardCharEqual('x', '?'), 1);
  EXPECT_EQ(WildcardCharEqual('a', 'a'), 1);
  EXPECT_EQ(WildcardCharEqual('a', 'b'), 0);
  EXPECT_EQ(WildcardCharEqual('\x81', '\x81'), 1);
  EXPECT_EQ(WildcardCharEqual('\x81', '\x82'), 0);
  EXPECT_EQ(WildcardCharEqual('*', 'a'), 0);
}

struct Case {
  const char* a;
  const char* b;
  int expected;
};

// The comparison is two-sided: every case must also hold with the texts
// exchanged.
TEST(WildcardCompare, CasesInBothOrders) {
  const Case cases[] = {
      {"abc", "abc", 1}, {"", "", 1}, {"abc", "a?c", 1}, {"abcd", "ab*", 1}, {"ab", "ab*", 1},
      {"*", "anything", 1}, {"ab*cd", "ab", 1},
      {"a*x", "a*y", 1},     // both cut before their first "*"
      {"abc*", "ab", 0},     // "abc" against "ab": the rest "c" is no "?"
      {"ab??", "ab", 1},     // the rest of the longer text is all "?"
      {"a?", "abc", 0}, {"x*", "abc", 0}, {"a*", "b*", 0}, {"a?c", "abd", 0}, {"abc", "abcd", 0},
      {"", "?", 1}, {"", "a", 0}, {"QVAD??.NDB", "QVAD13.NDB", 1}, {"QVAD*", "QVAD13.NDB", 1},
      {"qvad13.ndb", "QVAD13.NDB", 0},  // byte comparison, case counts
      // Bytes, not characters: "?" stands for one byte of a double-byte one.
      {"表?", "表x", 1}, {"?", "表", 0}, {"??", "表", 1}, {"住所*", "住所\\文字統一.BIN", 1},
      {"住所", "住所?", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WildcardCompare(c.a, c.b), c.expected) << testutil::Show(c.a) << " | " << testutil::Show(c.b);
    EXPECT_EQ(WildcardCompare(c.b, c.a), c.expected) << testutil::Show(c.b) << " | " << testutil::Show(c.a);
  }
}

TEST(WildcardCompare, NullTextIsUnequal) {
  EXPECT_EQ(WildcardCompare(nullptr, "a"), 0);
  EXPECT_EQ(WildcardCompare("a", nullptr), 0);
  EXPECT_EQ(WildcardCompare(nullptr, nullptr), 0);
}

}  // namespace
