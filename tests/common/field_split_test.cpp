#include "common/field_split.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/test_util.h"

using testutil::Show;

namespace {

std::vector<std::string> Fields(const CSeparatorSplitter& s) {
  std::vector<std::string> r;
  std::vector<char> buf(CSeparatorSplitter::kTextSize);
  for (int i = 1; i <= s.GetSeparatorCount() + 1; ++i) r.push_back(s.GetField(buf.data(), i));
  return r;
}

std::vector<std::string> Fields(const CBlankFieldList& s) {
  std::vector<std::string> r;
  std::vector<char> buf(CBlankFieldList::kTextSize);
  for (int i = 1; i <= s.GetCount(); ++i) r.push_back(s.GetField(buf.data(), i));
  return r;
}

using Strings = std::vector<std::string>;

}  // namespace

TEST(CSeparatorSplitter, EmptyFieldsAndOutOfRangeNumbers) {
  auto s = std::make_unique<CSeparatorSplitter>();
  char out[64];
  EXPECT_EQ(s->Split("a,,b", ","), 1);
  EXPECT_EQ(s->GetSeparatorCount(), 2);
  EXPECT_EQ(Fields(*s), (Strings{"a", "", "b"}));
  EXPECT_STREQ(s->GetField(out, 0), "");
  EXPECT_STREQ(s->GetField(out, 4), "");

  EXPECT_EQ(s->Split("abc", ","), 1);
  EXPECT_EQ(s->GetSeparatorCount(), 0);
  EXPECT_STREQ(s->GetField(out, 1), "abc");
  EXPECT_STREQ(s->GetField(out, 2), "");

  EXPECT_EQ(s->Split(",", ","), 1);
  EXPECT_EQ(Fields(*s), (Strings{"", ""}));
  EXPECT_EQ(s->Split("", ","), 1);
  EXPECT_EQ(Fields(*s), (Strings{""}));

  s->Clear();
  EXPECT_EQ(s->GetSeparatorCount(), 0);
  EXPECT_STREQ(s->GetField(out, 1), "");
}

TEST(CSeparatorSplitter, DoubleByteSeparatorsAndTrailBytes) {
  auto s = std::make_unique<CSeparatorSplitter>();
  EXPECT_EQ(s->Split("あ、い、う", "、"), 1);
  EXPECT_EQ(Fields(*s), (Strings{"あ", "い", "う"}));
  // "ソ" ends in 0x5C: it is not the separator "\".
  EXPECT_EQ(s->Split("ソ\\表", "\\"), 1);
  EXPECT_EQ(Fields(*s), (Strings{"ソ", "表"}));
  // The full-width space is found whole, never from a trail byte 0x40 (ァ = 83 40).
  EXPECT_EQ(s->Split("ァ@b", "@"), 1);
  EXPECT_EQ(Fields(*s), (Strings{"ァ", "b"}));
}

TEST(CSeparatorSplitter, FieldsAfterASetOfSeveralSeparatorsKeepTheirFirstByte) {
  auto s = std::make_unique<CSeparatorSplitter>();
  EXPECT_EQ(s->Split("a,b:c", ",:"), 1);
  EXPECT_EQ(Fields(*s), (Strings{"a", "b", "c"}));
}

TEST(CSeparatorSplitter, TypedGetters) {
  auto s = std::make_unique<CSeparatorSplitter>();
  s->Split("12,3.5,-7,x,40000", ",");
  int32_t i = 0;
  EXPECT_EQ(s->GetInt(&i, 1, 0, 100), 1);
  EXPECT_EQ(i, 12);
  double d = 0;
  EXPECT_EQ(s->GetDouble(&d, 2, 0, 10), 1);
  EXPECT_DOUBLE_EQ(d, 3.5);
  int16_t sh = 0;
  EXPECT_EQ(s->GetShort(&sh, 3, -10, 10), 1);
  EXPECT_EQ(sh, -7);
  EXPECT_EQ(s->GetInt(&i, 4, 0, 100), 0);
  EXPECT_EQ(s->GetShort(&sh, 5, -32768, 32767), 0);
  EXPECT_EQ(s->GetInt(&i, 6, 0, 100), 0);
  EXPECT_EQ(i, 12);
}

TEST(CSeparatorSplitter, LongTextsAreSplitWholeOrRefused) {
  auto s = std::make_unique<CSeparatorSplitter>();
  // A 40,000-byte line: positions beyond 32,767 stay reachable.
  std::string line(40000, 'x');
  line[35000] = ',';
  EXPECT_EQ(s->Split(line.c_str(), ","), 1);
  std::vector<char> out(CSeparatorSplitter::kTextSize);
  EXPECT_EQ(std::strlen(s->GetField(out.data(), 1)), 35000u);
  EXPECT_EQ(std::strlen(s->GetField(out.data(), 2)), 4999u);
  // A text of 65,536 bytes or more is refused and leaves the object empty.
  const std::string tooLong(CSeparatorSplitter::kTextSize, 'y');
  EXPECT_EQ(s->Split(tooLong.c_str(), ","), 0);
  EXPECT_EQ(s->GetSeparatorCount(), 0);
  EXPECT_STREQ(s->GetField(out.data(), 1), "");
  // 32,768 separators fit; one more is refused.
  std::string commas(CSeparatorSplitter::kMaxSeparators, ',');
  EXPECT_EQ(s->Split(commas.c_str(), ","), 1);
  EXPECT_EQ(s->GetSeparatorCount(), CSeparatorSplitter::kMaxSeparators);
  commas += ',';
  EXPECT_EQ(s->Split(commas.c_str(), ","), 0);
  EXPECT_EQ(s->GetSeparatorCount(), 0);
}

TEST(CBlankFieldList, QuotedFieldsAndBlanks) {
  auto s = std::make_unique<CBlankFieldList>();
  EXPECT_EQ(s->Split("  a  \"b c\"   d  "), 1);
  EXPECT_EQ(Fields(*s), (Strings{"a", "b c", "d"}));
  char out[64];
  int32_t flag = -1;
  s->GetFieldQuoted(out, 2, &flag);
  EXPECT_STREQ(out, "b c");
  EXPECT_EQ(flag, 1);
  s->GetFieldQuoted(out, 1, &flag);
  EXPECT_EQ(flag, 0);
  flag = 7;
  EXPECT_STREQ(s->GetFieldQuoted(out, 4, &flag), "");
  EXPECT_EQ(flag, 7);

  // An opening quote without its closing one drops that piece.
  EXPECT_EQ(s->Split("a \"b"), 1);
  EXPECT_EQ(Fields(*s), (Strings{"a"}));
  EXPECT_EQ(s->Split(""), 1);
  EXPECT_EQ(Fields(*s), (Strings{""}));
  // A field right after a closing quote starts a new field.
  EXPECT_EQ(s->Split("\"a\"b"), 1);
  EXPECT_EQ(Fields(*s), (Strings{"a", "b"}));
  EXPECT_EQ(s->Split("\"\" x"), 1);
  EXPECT_EQ(Fields(*s), (Strings{"", "x"}));
}

TEST(CBlankFieldList, CountsNoEmptyFieldAfterATrailingQuotedField) {
  auto s = std::make_unique<CBlankFieldList>();
  EXPECT_EQ(s->Split("x \"y z\""), 1);
  EXPECT_EQ(Fields(*s), (Strings{"x", "y z"}));
}

TEST(CBlankFieldList, TypedGetters) {
  auto s = std::make_unique<CBlankFieldList>();
  s->Split("1.5 -3 70000 255 65535 \"12\"");
  double d = 0;
  EXPECT_EQ(s->GetDouble(&d, 1, 0, 2), 1);
  EXPECT_DOUBLE_EQ(d, 1.5);
  int32_t i = 0;
  EXPECT_EQ(s->GetInt(&i, 2, -5, 5), 1);
  EXPECT_EQ(i, -3);
  int16_t sh = 0;
  EXPECT_EQ(s->GetShort(&sh, 3, -32768, 32767), 0);
  uint32_t u = 0;
  EXPECT_EQ(s->GetUInt(&u, 3, 0, 100000), 1);
  EXPECT_EQ(u, 70000u);
  uint8_t b = 0;
  EXPECT_EQ(s->GetByte(&b, 4, 0, 255), 1);
  EXPECT_EQ(b, 255);
  uint16_t us = 0;
  EXPECT_EQ(s->GetUShort(&us, 5, 0, 65535), 1);
  EXPECT_EQ(us, 65535);
  EXPECT_EQ(s->GetInt(&i, 6, 0, 100), 1);
  EXPECT_EQ(i, 12);
  EXPECT_EQ(s->GetInt(&i, 7, 0, 100), 0);
}

TEST(CBlankFieldList, LongTextsAndFieldLimit) {
  auto s = std::make_unique<CBlankFieldList>();
  std::string line(40000, 'x');
  line[36000] = ' ';
  EXPECT_EQ(s->Split(line.c_str()), 1);
  EXPECT_EQ(s->GetCount(), 2);
  std::vector<char> out(CBlankFieldList::kTextSize);
  EXPECT_EQ(std::strlen(s->GetField(out.data(), 2)), 3999u);
  EXPECT_EQ(s->Split(std::string(CBlankFieldList::kTextSize, 'y').c_str()), 0);
  EXPECT_EQ(s->GetCount(), 0);
  // 1,025 words: the first 1,024 are kept and the split reports the loss.
  std::string words;
  for (int i = 0; i < 1025; ++i) words += "w ";
  EXPECT_EQ(s->Split(words.c_str()), 0);
  EXPECT_EQ(s->GetCount(), CBlankFieldList::kMaxFields);
}
