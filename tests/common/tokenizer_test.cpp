#include "common/tokenizer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// Fields 1..count of the tokenizer as one "[a][b]" text.
std::string Fields(CTokenizer& t, int count) {
  std::string out;
  char field[CTokenizer::kTextSize];
  for (int n = 1; n <= count; ++n) {
    if (!t.GetField(field, n)) return out + "<missing " + std::to_string(n) + ">";
    out += "[" + std::string(field) + "]";
  }
  return out;
}

TEST(Tokenizer, FieldsInBothModes) {
  CTokenizer t;
  char field[CTokenizer::kTextSize];
  ASSERT_EQ(t.Set("a,b,c", ",", 0), 1);
  EXPECT_EQ(Fields(t, 3), "[a][b][c]");
  EXPECT_EQ(t.GetFieldCount(), 3);
  EXPECT_EQ(t.GetField(field, 4), 0);
  EXPECT_EQ(t.GetField(field, 0), 0);
  EXPECT_EQ(t.GetField(nullptr, 1), 0);
  ASSERT_EQ(t.Set("a,,b", ",", 0), 1);
  EXPECT_EQ(Fields(t, 3), "[a][][b]");
  EXPECT_EQ(t.IsFieldEmpty(2), 1);
  EXPECT_EQ(t.IsFieldEmpty(1), 0);
  ASSERT_EQ(t.Set("a,,b", ",", 1), 1);
  EXPECT_EQ(Fields(t, 2), "[a][b]");
  EXPECT_EQ(t.GetFieldCount(), 2);
  ASSERT_EQ(t.SetBlankText("a  b"), 1);
  EXPECT_EQ(Fields(t, 2), "[a][b]");
  ASSERT_EQ(t.SetBlankText(" a"), 1);
  EXPECT_EQ(Fields(t, 2), "[][a]");
  // Reading field n after field m < n goes on from where m ended.
  ASSERT_EQ(t.Set("x, y, z", ", ", 0), 1);
  EXPECT_EQ(t.GetRest(field, 2), 1);
  EXPECT_STREQ(field, "y, z");
  EXPECT_EQ(Fields(t, 3), "[x][y][z]");
}

TEST(Tokenizer, TrailingDelimiterAndEmptyText) {
  CTokenizer t;
  char field[CTokenizer::kTextSize];
  ASSERT_EQ(t.SetCommaText("a,"), 1);
  EXPECT_EQ(t.GetFieldCount(), 2);
  EXPECT_EQ(Fields(t, 2), "[a][]");
  // Counted after the fields were read up to the final delimiter too.
  ASSERT_EQ(t.SetCommaText("a,"), 1);
  EXPECT_EQ(t.GetField(field, 1), 1);
  EXPECT_EQ(t.GetFieldCount(), 2);
  ASSERT_EQ(t.SetCommaText(""), 1);
  EXPECT_EQ(t.GetFieldCount(), 0);
  EXPECT_EQ(t.GetField(field, 1), 1);
  EXPECT_STREQ(field, "");
  EXPECT_EQ(t.GetField(field, 2), 0);
  EXPECT_EQ(t.GetFieldCount(), 0);
}

TEST(Tokenizer, QuotesProtectDelimiters) {
  CTokenizer t;
  char field[CTokenizer::kTextSize];
  ASSERT_EQ(t.SetCommaText("\"x,y\",z"), 1);
  EXPECT_EQ(Fields(t, 2), "[\"x,y\"][z]");
  EXPECT_EQ(t.GetFieldUnquoted(field, 1), 1);
  EXPECT_STREQ(field, "x,y");
  ASSERT_EQ(t.SetCommaText("\"\",\"a\"b\",\""), 1);
  EXPECT_EQ(t.IsUnquotedFieldEmpty(1), 1);
  EXPECT_EQ(t.IsFieldEmpty(1), 0);
  EXPECT_EQ(t.GetFieldUnquoted(field, 2), 1);
  EXPECT_STREQ(field, "a\"b");
  EXPECT_EQ(t.GetFieldUnquoted(field, 3), 1);
  EXPECT_STREQ(field, "\"");  // one byte: nothing to remove
}

TEST(Tokenizer, DoubleByteCharactersAreNeverCut) {
  CTokenizer t;
  ASSERT_EQ(t.Set("ポ", "|", 0), 1);  // 83 7C
  EXPECT_EQ(t.GetFieldCount(), 1);
  ASSERT_EQ(t.Set("ポ|表|x", "|", 0), 1);
  EXPECT_EQ(Fields(t, 3), "[ポ][表][x]");
  ASSERT_EQ(t.Set("表\\a", "\\", 0), 1);  // 95 5C
  EXPECT_EQ(Fields(t, 2), "[表][a]");
  ASSERT_EQ(t.Set("a、b", "、", 0), 1);  // a double-byte delimiter
  EXPECT_EQ(Fields(t, 2), "[a][b]");
  ASSERT_EQ(t.Set("a\x83", "|", 0), 1);  // a lead byte before the NUL
  EXPECT_EQ(t.GetFieldCount(), 1);
}

TEST(Tokenizer, LimitsOfTextDelimiterAndFields) {
  CTokenizer t;
  const std::string longest(4095, 'a');
  EXPECT_EQ(t.Set(longest.c_str(), ",", 0), 1);
  EXPECT_EQ(t.GetLength(), 4095);
  EXPECT_EQ(t.Set(std::string(4096, 'b').c_str(), ",", 0), 0);
  EXPECT_EQ(t.EqualsText(longest.c_str()), 1);  // a refused text changes nothing
  EXPECT_EQ(t.Set("a", std::string(64, ';').c_str(), 0), 1);
  EXPECT_EQ(t.GetDelimiterLength(), 64);
  EXPECT_EQ(t.Set("a", std::string(65, ';').c_str(), 0), 0);
  EXPECT_EQ(t.Set("a", "", 0), 0);
  EXPECT_EQ(t.Set(nullptr, ",", 0), 0);
  EXPECT_EQ(t.Set("a", nullptr, 0), 0);
  std::string many;
  for (int i = 1; i <= 600; ++i) many += std::to_string(i % 10) + ",";
  ASSERT_EQ(t.SetCommaText(many.c_str()), 1);
  char field[CTokenizer::kTextSize];
  EXPECT_EQ(t.GetField(field, 512), 1);
  EXPECT_STREQ(field, "2");
  EXPECT_EQ(t.GetField(field, 513), 0);
  EXPECT_EQ(t.DeleteField(512), 1);  // field 513 moves into place 512
  EXPECT_EQ(t.GetField(field, 512), 1);
  EXPECT_STREQ(field, "3");
}

TEST(Tokenizer, TypedGetters) {
  CTokenizer t;
  ASSERT_EQ(
      t.SetCommaText("-2147483648,2147483647,-32768,32768,\"65535\",3.5,x,4294967295,-1,1e309"), 1);
  int32_t i = 7;
  EXPECT_EQ(t.GetFieldInt(&i, 1), 0);
  EXPECT_EQ(i, 7);
  EXPECT_EQ(t.GetFieldInt(&i, 2), 1);
  EXPECT_EQ(i, 2147483647);
  int16_t s = 0;
  EXPECT_EQ(t.GetFieldShort(&s, 3), 1);
  EXPECT_EQ(s, -32768);
  EXPECT_EQ(t.GetFieldShort(&s, 4), 0);
  uint16_t us = 0;
  EXPECT_EQ(t.GetFieldUShort(&us, 5), 0);  // quoted
  EXPECT_EQ(t.GetUnquotedUShort(&us, 5), 1);
  EXPECT_EQ(us, 65535);
  double d = 0;
  EXPECT_EQ(t.GetFieldDouble(&d, 6), 1);
  EXPECT_EQ(d, 3.5);
  EXPECT_EQ(t.GetFieldDouble(&d, 7), 0);
  uint32_t u = 0;
  EXPECT_EQ(t.GetFieldUInt(&u, 8), 1);
  EXPECT_EQ(u, 4294967295u);
  EXPECT_EQ(t.GetFieldUInt(&u, 9), 0);
  EXPECT_EQ(t.GetFieldInt(&i, 11), 0);
  EXPECT_EQ(t.GetFieldInt(nullptr, 2), 0);
  EXPECT_EQ(t.GetUnquotedInt(&i, 9), 1);
  EXPECT_EQ(i, -1);
  EXPECT_EQ(t.GetUnquotedShort(&s, 9), 1);
  EXPECT_EQ(t.GetUnquotedDouble(&d, 6), 1);
  EXPECT_EQ(t.GetUnquotedUInt(&u, 9), 0);
}

TEST(Tokenizer, EditingFields) {
  CTokenizer t;
  ASSERT_EQ(t.SetCommaText("a,b,c"), 1);
  EXPECT_EQ(t.SetField("xyz", 2), 1);
  EXPECT_STREQ(t.GetTextPtr(), "a,xyz,c");
  EXPECT_EQ(Fields(t, 3), "[a][xyz][c]");
  EXPECT_EQ(t.SetField("q", 4), 0);
  ASSERT_EQ(t.SetCommaText("a,b"), 1);
  EXPECT_EQ(t.InsertField(2, "x"), 1);
  EXPECT_STREQ(t.GetTextPtr(), "a,x,b");
  ASSERT_EQ(t.SetCommaText("a,b"), 1);
  EXPECT_EQ(t.InsertField(3, "x"), 1);
  EXPECT_STREQ(t.GetTextPtr(), "a,b,x");
  EXPECT_EQ(t.InsertField(5, "y"), 0);
  EXPECT_EQ(t.InsertField(0, "y"), 0);
  ASSERT_EQ(t.SetCommaText("a,b,c"), 1);
  EXPECT_EQ(t.DeleteField(3), 1);
  EXPECT_STREQ(t.GetTextPtr(), "a,b");
  EXPECT_EQ(t.GetFieldCount(), 2);
  char field[CTokenizer::kTextSize];
  EXPECT_EQ(t.GetField(field, 3), 0);
  ASSERT_EQ(t.SetCommaText("a,b,c"), 1);
  EXPECT_EQ(t.DeleteField(1), 1);
  EXPECT_EQ(Fields(t, 2), "[b][c]");
  ASSERT_EQ(t.SetCommaText("a"), 1);
  EXPECT_EQ(t.DeleteField(1), 1);
  EXPECT_STREQ(t.GetTextPtr(), "");
  EXPECT_EQ(t.DeleteField(2), 0);
  ASSERT_EQ(t.SetBlankText("a  b  c"), 1);
  EXPECT_EQ(t.DeleteField(3), 1);  // the whole run of blanks goes with it
  EXPECT_STREQ(t.GetTextPtr(), "a  b");
  EXPECT_EQ(t.GetFieldCount(), 2);
  ASSERT_EQ(t.SetCommaText("a,b,c"), 1);
  EXPECT_EQ(t.SwapFields(1, 3), 1);
  EXPECT_STREQ(t.GetTextPtr(), "c,b,a");
  EXPECT_EQ(t.SwapFields(1, 4), 0);
  EXPECT_EQ(t.SetFieldInt(-5, 2), 1);
  EXPECT_EQ(t.SetFieldShort(-32768, 1), 1);
  EXPECT_EQ(t.SetFieldUShort(65535, 3), 1);
  EXPECT_STREQ(t.GetTextPtr(), "-32768,-5,65535");
  EXPECT_EQ(t.SetFieldLong(2147483647, 2), 1);
  EXPECT_EQ(t.SetFieldDouble(3.14159, 1, 2), 1);
  EXPECT_STREQ(t.GetTextPtr(), "3.14,2147483647,65535");
  EXPECT_EQ(t.SetFieldDouble(1.0, 1, -1), 0);
}

TEST(Tokenizer, EditsThatWouldReachTheLimitChangeNothing) {
  CTokenizer t;
  const std::string text = std::string(4000, 'a') + ",b";
  ASSERT_EQ(t.SetCommaText(text.c_str()), 1);
  const std::string big(100, 'x');
  EXPECT_EQ(t.SetField(big.c_str(), 2), 0);
  EXPECT_EQ(t.InsertField(2, big.c_str()), 0);
  EXPECT_EQ(t.AppendField(big.c_str()), 0);
  EXPECT_EQ(t.SwapFields(1, 2), 1);  // same length: fits
  EXPECT_EQ(t.GetLength(), 4002);
  EXPECT_EQ(t.AppendField(std::string(92, 'y').c_str()), 1);  // 4095 bytes
  EXPECT_EQ(t.AppendField(""), 0);
  EXPECT_EQ(t.GetLength(), 4095);
  EXPECT_EQ(t.GetFieldCount(), 3);
}

TEST(Tokenizer, AppendingInBothModes) {
  CTokenizer t;
  char field[CTokenizer::kTextSize];
  ASSERT_EQ(t.SetCommaText("a"), 1);
  EXPECT_EQ(t.GetFieldCount(), 1);  // the end has been reached
  EXPECT_EQ(t.AppendField("b"), 1);
  EXPECT_EQ(t.GetField(field, 2), 1);
  EXPECT_STREQ(field, "b");
  EXPECT_EQ(t.AppendField(""), 1);
  EXPECT_EQ(t.GetFieldCount(), 3);
  ASSERT_EQ(t.SetBlankText("a "), 1);
  EXPECT_EQ(t.AppendField("b"), 0);
  ASSERT_EQ(t.SetBlankText("a"), 1);
  EXPECT_EQ(t.AppendField(""), 0);
  EXPECT_EQ(t.SetField("", 1), 0);
  EXPECT_EQ(t.InsertField(1, ""), 0);
  EXPECT_EQ(t.AppendText("b"), 1);
  EXPECT_STREQ(t.GetTextPtr(), "a b");
  CTokenizer unset;
  EXPECT_EQ(unset.AppendField("x"), 0);
  EXPECT_EQ(t.AppendTokenizer(unset), 0);
  EXPECT_EQ(t.AppendTokenizer(t), 1);
  EXPECT_STREQ(t.GetTextPtr(), "a b a b");
}

TEST(Tokenizer, CopiesReadTheirOwnText) {
  auto source = std::make_unique<CTokenizer>();
  ASSERT_EQ(source->SetCommaText("a,b"), 1);
  ASSERT_EQ(source->GetFieldCount(), 2);
  CTokenizer other;
  ASSERT_EQ(other.Set("c", ";", 1), 1);
  CTokenizer joined = source->Concat(other);
  CTokenizer copy = *source;
  CTokenizer more = source->ConcatText("d");
  source->SetCommaText("zzzzzzzz,yyyy");
  source.reset();
  EXPECT_EQ(Fields(joined, 3), "[a][b][c]");
  EXPECT_EQ(Fields(copy, 2), "[a][b]");
  EXPECT_EQ(Fields(more, 3), "[a][b][d]");
  char delimiter[CTokenizer::kTextSize];
  EXPECT_EQ(joined.GetDelimiter(delimiter), 1);
  EXPECT_STREQ(delimiter, ",");
  EXPECT_EQ(joined.GetMode(), 0);
}

TEST(Tokenizer, WholeLineOperations) {
  CTokenizer t;
  char out[CTokenizer::kTextSize];
  EXPECT_EQ(t.GetText(out), 0);
  EXPECT_EQ(t.GetLength(), 0);
  EXPECT_EQ(t.ResetText("a"), 0);
  EXPECT_EQ(t.GetFieldCount(), 0);
  EXPECT_EQ(t.ParseNext(), 0);
  ASSERT_EQ(t.Set("  a;b ", ";", 0), 1);
  t.TrimText();
  EXPECT_STREQ(t.GetTextPtr(), "a;b");
  EXPECT_EQ(t.GetLength(), 3);
  EXPECT_EQ(Fields(t, 2), "[a][b]");
  EXPECT_EQ(t.ResetText("x;y;z"), 1);
  EXPECT_EQ(t.GetFieldCount(), 3);
  EXPECT_EQ(t.GetText(out), 1);
  EXPECT_STREQ(out, "x;y;z");
  CTokenizer u;
  u.Assign(t);
  EXPECT_EQ(u.Equals(t), 1);
  EXPECT_EQ(u.EqualsText("x;y;z"), 1);
  EXPECT_EQ(u.SetCommaText("x;y;z"), 1);
  EXPECT_EQ(u.Equals(t), 1);  // delimiter and mode are not compared
  CTokenizer unset;
  u.Assign(unset);
  EXPECT_EQ(u.EqualsText("x;y;z"), 1);
  EXPECT_EQ(unset.Equals(u), 0);
  // Parse control: SeekField forgets the fields from n on.
  EXPECT_EQ(t.ParseUpTo(3), 1);
  EXPECT_EQ(t.SeekField(2), 1);
  EXPECT_EQ(t.ParseNext(), 2);
  EXPECT_EQ(t.ParseUpTo(0), 0);
  t.ParseAll();
  EXPECT_EQ(t.ParseNext(), 0);
  t.Reset();
  EXPECT_EQ(t.IsTextEmpty(), 1);
  EXPECT_EQ(t.GetField(out, 1), 0);
}

}  // namespace
