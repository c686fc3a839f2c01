#include "common/csv_fields.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/test_util.h"

using testutil::Show;

TEST(GetDelimitedField, WholeStringSeparators) {
  char out[64];
  EXPECT_STREQ(GetDelimitedField(out, "a::b", "::", 2), "b");
  EXPECT_STREQ(GetDelimitedField(out, "a::b", "::", 3), "");
  EXPECT_STREQ(GetDelimitedField(out, "a::b", "::", 0), "");
  EXPECT_STREQ(GetDelimitedField(out, "a,,c", ",", 2), "");
  EXPECT_STREQ(GetDelimitedField(out, "a,,c", ",", 3), "c");
  EXPECT_STREQ(GetDelimitedField(out, "abc", "", 1), "abc");
  // Separators are found at character starts only (表 = 95 5C).
  EXPECT_STREQ(GetDelimitedField(out, "表\\x", "\\", 2), "x");
  EXPECT_STREQ(ExtractCsvField(out, "1,2,3", 3), "3");
  EXPECT_EQ(IsCsvFieldEmpty("a,,c", 2), 1);
  EXPECT_EQ(IsCsvFieldEmpty("a,,c", 3), 0);
  EXPECT_EQ(IsCsvFieldEmpty("a,,c", 9), 1);

  int32_t v = 0;
  EXPECT_EQ(GetDelimitedFieldInt("x, 12 ,y", ",", 2, &v, 0, 20), 1);
  EXPECT_EQ(v, 12);
  EXPECT_EQ(GetDelimitedFieldInt("x,21,y", ",", 2, &v, 0, 20), 0);
  EXPECT_EQ(v, 12);
  double d = 0;
  EXPECT_EQ(GetDelimitedFieldDouble("1;2.5", ";", 2, &d, 0, 3), 1);
  EXPECT_DOUBLE_EQ(d, 2.5);
  uint16_t us = 0;
  EXPECT_EQ(GetDelimitedFieldUShort("65535", ",", 1, &us, 0, 65535), 1);
  int16_t s = 0;
  EXPECT_EQ(GetDelimitedFieldShort("a,-1", ",", 2, &s, -1, 0), 1);
  EXPECT_EQ(s, -1);
  uint32_t u = 0;
  EXPECT_EQ(GetDelimitedFieldUInt("a,-1", ",", 2, &u, 0, 10), 0);
}

TEST(GetQuotedWord, QuotedWordsHoldBlanks) {
  char out[64];
  int32_t q = -1;
  EXPECT_STREQ(GetQuotedWord(out, "  a \"b c\" d", 2, &q), "b c");
  EXPECT_EQ(q, 1);
  EXPECT_STREQ(GetQuotedWord(out, "  a \"b c\" d", 3, &q), "d");
  EXPECT_EQ(q, 0);
  EXPECT_STREQ(GetQuotedWord(out, "a b", 3, &q), "");
  // A skipped word without a closing quote loses only its quote: the rest
  // is read on as further words.
  EXPECT_STREQ(GetQuotedWord(out, "\"a b", 2, &q), "a");
  EXPECT_STREQ(GetQuotedWord(out, "\"a b", 3, &q), "b");
  q = 5;
  EXPECT_STREQ(GetQuotedWord(out, "a", 0, &q), "");
  EXPECT_EQ(q, 5);

  char text[64] = " a \"b c\"  d e ";
  EXPECT_STREQ(DropQuotedWords(text, 3), "d e");
  char text2[64] = " a b ";
  EXPECT_STREQ(DropQuotedWords(text2, 1), "a b");
}

TEST(GetQuotedField, QuotedFieldsTakeTheByteAfterTheQuote) {
  char out[64];
  int32_t q = -1;
  EXPECT_STREQ(GetQuotedField(out, "\"a,b\",c", ",", 1, &q), "a,b");
  EXPECT_EQ(q, 1);
  EXPECT_STREQ(GetQuotedField(out, "\"a,b\",c", ",", 2, &q), "c");
  EXPECT_EQ(q, 0);
  EXPECT_STREQ(GetQuotedField(out, "\"a\"xc,d", ",", 2, &q), "c");
  EXPECT_STREQ(GetQuotedField(out, "x,y", ",", 3, &q), "");
  EXPECT_STREQ(GetQuotedField(out, "a\"b\"c", "\"", 2, &q), "b");
}

TEST(GetQuotedCsvField, DoubledQuotesAndCommas) {
  char out[64];
  EXPECT_STREQ(GetQuotedCsvField(out, "\"a\"\"b\",c", 1), "a\"b");
  EXPECT_STREQ(GetQuotedCsvField(out, "\"a\"\"b\",c", 2), "c");
  EXPECT_STREQ(GetQuotedCsvField(out, "\"x,y\",z", 1), "x,y");
  EXPECT_STREQ(GetQuotedCsvField(out, "a, b ,c", 2), " b ");
  EXPECT_STREQ(GetQuotedCsvField(out, "a,b", 3), "");
  EXPECT_STREQ(GetQuotedCsvField(out, "a,", 2), "");
  EXPECT_STREQ(GetQuotedCsvField(out, "", 1), "");
  EXPECT_STREQ(GetQuotedCsvField(out, "a", 0), "");
  EXPECT_STREQ(GetQuotedCsvField(out, "\"abc", 1), "abc");
  EXPECT_STREQ(GetQuotedCsvFieldCopy(out, "\"a\"\"b\",c", 1), "a\"b");

  const int32_t fields[] = {2, 1};
  EXPECT_EQ(CompareCsvRecords("b,x", "a,x", 2, fields), 1);
  EXPECT_EQ(CompareCsvRecords("a,x", "a,y", 2, fields), -1);
  EXPECT_EQ(CompareCsvRecords("a,x", "a,x", 2, fields), 0);
  EXPECT_EQ(CompareCsvRecords("a,x", "b,y", 0, fields), 0);
}

TEST(GetAtEnclosedItem, SkipsTrailBytesThatLookLikeAt) {
  char out[64];
  EXPECT_EQ(GetAtEnclosedItem(out, "x@a@y@b@", 2), 1);
  EXPECT_STREQ(out, "b");
  EXPECT_EQ(GetAtEnclosedItem(out, "x@a@y@b", 2), 0);
  EXPECT_STREQ(out, "");
  // ァ (83 40) holds a trail byte 0x40.
  EXPECT_EQ(GetAtEnclosedItem(out, "ァ@ァ@", 1), 1);
  EXPECT_EQ(Show(out), Show("ァ"));
}

TEST(SplitAtFirstBlank, HeadAndTail) {
  char head[64], tail[64];
  EXPECT_EQ(SplitAtFirstBlank("ab cd ef", " ", head, tail), 1);
  EXPECT_STREQ(head, "ab");
  EXPECT_STREQ(tail, "cd ef");
  EXPECT_EQ(SplitAtFirstBlank("ab", " ", head, tail), 0);
  EXPECT_STREQ(head, "ab");
  EXPECT_STREQ(tail, "");
  EXPECT_EQ(SplitAtFirstBlank("a b", "xxxxx", head, tail), 1);
  EXPECT_STREQ(tail, "");
}

TEST(ReplaceCsvField, LastMiddleAndMissingFields) {
  char out[64];
  EXPECT_STREQ(ReplaceCsvField(out, "a,b", "X", 4), "a,b,,X");
  EXPECT_STREQ(ReplaceCsvField(out, "a,b,c", "X", 2), "a,X,c");
  EXPECT_STREQ(ReplaceCsvField(out, "a,b,c", "X", 3), "a,b,X");
  EXPECT_STREQ(ReplaceCsvField(out, "a,b,c", "X", 1), "X,b,c");
  EXPECT_STREQ(ReplaceCsvField(out, "abc", "X", 1), "X");
  EXPECT_STREQ(ReplaceCsvField(out, "a,b", "X", 0), "a,b");
  EXPECT_STREQ(ReplaceDelimitedField(out, "a::b::c", "X", "::", 2), "a::X::c");

  char rec[64] = "1,2,3";
  EXPECT_STREQ(ReplaceCsvFieldInPlace(rec, "", 2), "1,,3");
  EXPECT_STREQ(SetCsvFieldInt(rec, -12, 2), "1,-12,3");
  EXPECT_STREQ(SetCsvFieldUShort(rec, 65535, 1), "65535,-12,3");
  EXPECT_STREQ(SetCsvFieldShort(rec, -32768, 1), "-32768,-12,3");
  EXPECT_STREQ(SetCsvFieldUInt(rec, 4294967295u, 3), "-32768,-12,4294967295");
  EXPECT_STREQ(SetCsvFieldDouble(rec, 1.25, 2, 1, 1), "-32768,1.2,4294967295");
  EXPECT_STREQ(SetCsvFieldFloat(rec, 0.5f, 1, 5, 2), " 0.50,1.2,4294967295");
  EXPECT_STREQ(AppendCsvField(rec, "z"), " 0.50,1.2,4294967295,z");
}

TEST(RowFormatters, JoinAndIntegers) {
  char out[128];
  EXPECT_STREQ(JoinCsv2(out, "a", "b"), "a,b");
  EXPECT_STREQ(JoinCsv3(out, "a", "", "c"), "a,,c");
  EXPECT_STREQ(JoinCsv7(out, "1", "2", "3", "4", "5", "6", "7"), "1,2,3,4,5,6,7");
  EXPECT_STREQ(FormatCsvInts1(out, -1), "-1");
  EXPECT_STREQ(FormatCsvInts4(out, 1, 2, 3, 4), "1,2,3,4");
  EXPECT_STREQ(FormatCsvInts7(out, 1, 2, 3, 4, 5, 6, INT32_MIN), "1,2,3,4,5,6,-2147483648");
  EXPECT_STREQ(CopyText(out, "xyz"), "xyz");

  int32_t v[4] = {0, 0, 0, 0};
  EXPECT_EQ(ParseCsvIntFields("a,1,2,3", 2, 3, v), 3);
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[2], 3);
  EXPECT_EQ(ParseCsvIntFields("a,1,x,3", 2, 3, v), 1);
  EXPECT_EQ(ParseCsvIntFields("-2147483648", 1, 1, v), 0);
  EXPECT_EQ(ParseCsvIntFields("1", 0, 1, v), -1);
  EXPECT_EQ(ParseCsvIntFields(nullptr, 1, 1, v), -1);
  EXPECT_EQ(ParseCsvIntFieldsWithDefault("5,x,7", 1, 4, v, -9), 4);
  EXPECT_EQ(v[0], 5);
  EXPECT_EQ(v[1], -9);
  EXPECT_EQ(v[2], 7);
  EXPECT_EQ(v[3], -9);
}

TEST(FixedWidthRecords, ComposeSplitAndStrip) {
  char out[128];
  const int32_t widths[] = {3, 5, 2};
  EXPECT_EQ(ComposeFixedWidthRecord(out, "1,ab,x", ",", '0', widths, 3), 1);
  EXPECT_STREQ(out, "001000ab0x");
  EXPECT_EQ(ComposeFixedWidthRecord(out, "1234,ab,x", ",", '0', widths, 3), 0);
  EXPECT_EQ(ComposeFixedWidthRecord(out, "1,ab,x", ",", '0', widths, 0), 0);

  EXPECT_STREQ(SplitFixedWidthRecord(out, "001ab   x", ",", widths, 3), "001,ab   ,x");
  EXPECT_STREQ(SplitFixedWidthRecord(out, "001", ",", widths, 3), "001");
  EXPECT_STREQ(SplitFixedWidthRecord(out, "", ",", widths, 3), "");

  EXPECT_STREQ(StripFieldPadding(out, "001,0a0,,000", ",", "0"), "1,a0");
  EXPECT_EQ(FindFieldIndex("a,b,c", "b", ","), 2);
  EXPECT_EQ(FindFieldIndex("a,b,c", "d", ","), 0);
  EXPECT_EQ(FindFieldIndex(nullptr, "d", ","), -1);
  EXPECT_STREQ(MergeFieldLists(out, ",", "a,b,a", "c,b"), "a,b,c");
}

TEST(FillTemplate, PlaceholdersAndLiterals) {
  char out[128];
  EXPECT_STREQ(FillTemplate(out, "x \"y z\"", "%2-%1"), "y z-x");
  EXPECT_STREQ(FillTemplate(out, "x y", "abc"), "");
  EXPECT_STREQ(FillTemplate(out, "x y", ""), "");
  EXPECT_STREQ(FillTemplate(out, "x y", "  ab%1,%2  "), "x,y");
  EXPECT_STREQ(FillTemplate(out, "x y", "%1、%9"), "x、");
  // A number that does not parse ends the filling.
  EXPECT_STREQ(FillTemplate(out, "x y", "%1-%a-%2"), "x-");
}
