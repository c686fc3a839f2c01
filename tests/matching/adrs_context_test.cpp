#include "matching/adrs_context.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/test_util.h"

namespace {

using testutil::Sjis;

// Every record the context reads from its channel after a rewind.
std::vector<std::string> ReadAll(CAdrsContext& context) {
  std::vector<std::string> records;
  if (!context.RewindInput()) return records;
  std::string record;
  while (context.ReadNextInput()) {
    EXPECT_EQ(context.GetInputRecord(&record), 1);
    records.push_back(record);
  }
  EXPECT_EQ(context.GetInputRecord(&record), 0);  // the failed read clears it
  return records;
}

using Records = std::vector<std::string>;

TEST(CAdrsContextBuffer, LinesAreJoinedAndALineThatDoesNotFitIsRefusedWhole) {
  CAdrsContext context;
  char buffer[10];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(context.SetOutputBuffer(buffer, 0), 0);
  ASSERT_EQ(context.SetOutputBuffer(buffer, 10), 1);
  EXPECT_EQ(context.RewindInput(), 0);  // nothing written yet
  ASSERT_EQ(context.WriteLine("abc"), 1);
  ASSERT_EQ(context.WriteLine("defgh"), 1);
  EXPECT_STREQ(buffer, "abc;defgh");
  char before[10];
  std::memcpy(before, buffer, sizeof buffer);
  EXPECT_EQ(context.WriteLine("x"), 0);  // 9 + 1 + 1 >= 10
  EXPECT_EQ(std::memcmp(before, buffer, sizeof buffer), 0);
  EXPECT_EQ(ReadAll(context), (Records{"abc", "defgh"}));

  // A first line of size - 1 bytes fits, one of size bytes does not.
  ASSERT_EQ(context.SetOutputBuffer(buffer, 8), 1);
  EXPECT_EQ(context.WriteLine("12345678"), 0);
  EXPECT_EQ(context.WriteLine("1234567"), 1);
  EXPECT_STREQ(buffer, "1234567");
}

TEST(CAdrsContextBuffer, EmptyRecordBetweenTwoSeparatorsIsARecord) {
  CAdrsContext context;
  char buffer[32];
  ASSERT_EQ(context.SetOutputBuffer(buffer, 32), 1);
  for (const char* line : {"a", "", "b"}) ASSERT_EQ(context.WriteLine(line), 1);
  EXPECT_STREQ(buffer, "a;;b");
  EXPECT_EQ(ReadAll(context), (Records{"a", "", "b"}));
  // A rewind clears the record and starts again at the first one.
  ASSERT_EQ(context.RewindInput(), 1);
  std::string record;
  EXPECT_EQ(context.GetInputRecord(&record), 0);
  ASSERT_EQ(context.ReadNextInput(), 1);
  ASSERT_EQ(context.GetInputRecord(&record), 1);
  EXPECT_EQ(record, "a");
}

TEST(CAdrsContextBuffer, EmptyFirstLineKeepsItsSeparator) {
  CAdrsContext context;
  char buffer[16];
  ASSERT_EQ(context.SetOutputBuffer(buffer, 16), 1);
  ASSERT_EQ(context.WriteLine(""), 1);
  ASSERT_EQ(context.WriteLine("abc"), 1);
  EXPECT_STREQ(buffer, ";abc");
  EXPECT_EQ(ReadAll(context), (Records{"", "abc"}));
}

TEST(CAdrsContextArray, LinesAreAppendedAndReadFromTheFirstElement) {
  CAdrsContext context;
  CStringArray array = {"old"};
  EXPECT_EQ(context.SetOutputArray(nullptr), 0);
  EXPECT_EQ(context.GetChannelMode(), CAdrsContext::kChannelNone);
  ASSERT_EQ(context.SetOutputArray(&array), 1);
  ASSERT_EQ(context.WriteLine("one"), 1);
  ASSERT_EQ(context.WriteLine(""), 1);
  EXPECT_EQ(array, (Records{"old", "one", ""}));
  EXPECT_EQ(ReadAll(context), (Records{"old", "one", ""}));

  // Selecting the channel again starts the input over.
  ASSERT_EQ(context.ReadNextInput(), 0);
  ASSERT_EQ(context.SetOutputArray(&array), 1);
  std::string record;
  ASSERT_EQ(context.ReadNextInput(), 1);
  ASSERT_EQ(context.GetInputRecord(&record), 1);
  EXPECT_EQ(record, "old");

  CStringArray empty;
  ASSERT_EQ(context.SetOutputArray(&empty), 1);
  EXPECT_EQ(context.RewindInput(), 0);
  EXPECT_EQ(context.ReadNextInput(), 0);
}

TEST(CAdrsContextFile, LinesEndInCrLfOnDiskAndReadBackWithoutIt) {
  testutil::TempDir dir;
  plat::File file;
  ASSERT_TRUE(file.Open(dir.Sys("result.csv").c_str(),
                        plat::ModeCreate | plat::ModeReadWrite | plat::TypeText));
  CAdrsContext context;
  EXPECT_EQ(context.SetOutputFile(nullptr), 0);
  ASSERT_EQ(context.SetOutputFile(&file), 1);
  EXPECT_EQ(context.RewindInput(), 0);  // empty file
  const std::string kanji = Sjis(u8"東京都,千代田区");
  ASSERT_EQ(context.WriteLine("a,b"), 1);
  ASSERT_EQ(context.WriteLine(kanji.c_str()), 1);
  ASSERT_EQ(context.WriteLine(""), 1);
  EXPECT_EQ(ReadAll(context), (Records{"a,b", kanji, ""}));
  ASSERT_TRUE(file.Close());
  EXPECT_EQ(testutil::ReadBytes(dir.Native("result.csv")), "a,b\r\n" + kanji + "\r\n\r\n");
}

TEST(CAdrsContext, DefaultsWithoutAChannel) {
  CAdrsContext context;
  EXPECT_EQ(context.GetChannelMode(), CAdrsContext::kChannelNone);
  EXPECT_EQ(context.WriteLine("x"), 0);
  EXPECT_EQ(context.RewindInput(), 0);
  EXPECT_EQ(context.ReadNextInput(), 0);
  EXPECT_EQ(context.UsesChangeHistory(), 1);
  EXPECT_EQ(context.IsMatchingEnabled(), 1);
  EXPECT_EQ(context.IsReverseGeocodingEnabled(), 1);
  EXPECT_EQ(context.GetIndexKind(), 0);
  EXPECT_EQ(context.GetOutputStyle(), 1);
  context.SetUseChangeHistory(0);
  context.SetIndexKind(7);  // not range-checked
  EXPECT_EQ(context.UsesChangeCodeIndex(), 0);
  EXPECT_EQ(context.GetIndexKind(), 7);
}

struct OptionCase {
  const char* name;
  int32_t lower, upper;
  int (CAdrsContext::*set)(int32_t);
  int (CAdrsContext::*get)(int32_t*) const;
  int (*valid)(int32_t);
};

const OptionCase kOptions[] = {
    {"estimation flag", 0, 1, &CAdrsContext::SetEstimationFlag, &CAdrsContext::GetEstimationFlag,
     &CAdrsContext::IsValidEstimationFlag},
    {"calculation switch", 0, 1, &CAdrsContext::SetCalculationSwitch,
     &CAdrsContext::GetCalculationSwitch, &CAdrsContext::IsValidCalculationSwitch},
    {"search-text kind", 1, 4, &CAdrsContext::SetSearchTextKind, &CAdrsContext::GetSearchTextKind,
     &CAdrsContext::IsValidSearchTextKind},
    {"datum", 1, 2, &CAdrsContext::SetDatum, &CAdrsContext::GetDatum, &CAdrsContext::IsValidDatum},
    {"coordinate format", 1, 8, &CAdrsContext::SetCoordinateFormat,
     &CAdrsContext::GetCoordinateFormat, &CAdrsContext::IsValidCoordinateFormat},
    {"chome format", 1, 2, &CAdrsContext::SetChomeFormat, &CAdrsContext::GetChomeFormat,
     &CAdrsContext::IsValidChomeFormat},
    {"number format", 1, 2, &CAdrsContext::SetNumberFormat, &CAdrsContext::GetNumberFormat,
     &CAdrsContext::IsValidNumberFormat},
    {"reading format", 1, 3, &CAdrsContext::SetReadingFormat, &CAdrsContext::GetReadingFormat,
     &CAdrsContext::IsValidReadingFormat},
    {"listing text kind", 1, 2, &CAdrsContext::SetListingTextKind,
     &CAdrsContext::GetListingTextKind, &CAdrsContext::IsValidListingTextKind},
    {"formatted-output switch", 0, 1, &CAdrsContext::SetFormattedOutputSwitch,
     &CAdrsContext::GetFormattedOutputSwitch, &CAdrsContext::IsValidFormattedOutputSwitch},
};

TEST(CAdrsContextOptions, EachOptionIsUnsetThenKeptInsideItsRange) {
  for (const OptionCase& option : kOptions) {
    SCOPED_TRACE(option.name);
    CAdrsContext context;
    int32_t out = 77;
    EXPECT_EQ((context.*option.get)(&out), 0);  // unset
    EXPECT_EQ(out, 77);
    EXPECT_EQ(option.valid(option.lower - 1), 0);
    EXPECT_EQ(option.valid(option.upper + 1), 0);
    EXPECT_EQ(option.valid(-1), 0);
    EXPECT_EQ((context.*option.set)(option.lower - 1), 0);
    EXPECT_EQ((context.*option.set)(option.upper + 1), 0);
    EXPECT_EQ((context.*option.get)(&out), 0);
    for (int32_t v = option.lower; v <= option.upper; ++v) {
      EXPECT_EQ(option.valid(v), 1);
      ASSERT_EQ((context.*option.set)(v), 1);
      ASSERT_EQ((context.*option.get)(&out), 1);
      EXPECT_EQ(out, v);
    }
    // A refused value keeps the one before.
    EXPECT_EQ((context.*option.set)(option.upper + 1), 0);
    ASSERT_EQ((context.*option.get)(&out), 1);
    EXPECT_EQ(out, option.upper);
  }
}

TEST(CAdrsContextOptions, OutputStyleDrivesTheFormattedOutputSwitch) {
  CAdrsContext context;
  int32_t v = -5;
  ASSERT_EQ(context.SetOutputStyle(2), 1);
  EXPECT_EQ(context.GetOutputStyle(), 2);
  ASSERT_EQ(context.GetFormattedOutputSwitch(&v), 1);
  EXPECT_EQ(v, 1);
  EXPECT_EQ(context.SetOutputStyle(0), 0);
  EXPECT_EQ(context.GetOutputStyle(), 2);
  ASSERT_EQ(context.GetFormattedOutputSwitch(&v), 1);
  EXPECT_EQ(v, 1);
  ASSERT_EQ(context.SetOutputStyle(1), 1);
  ASSERT_EQ(context.GetFormattedOutputSwitch(&v), 1);
  EXPECT_EQ(v, 0);
}

TEST(CAdrsContextOptions, ParameterFilePathIsKeptWhole) {
  CAdrsContext context;
  const std::string longPath = "/tmp/" + std::string(600, 'd') + "/TKY2JGD.PAR";
  ASSERT_EQ(context.SetDatumParameterFile(longPath.c_str()), 1);
  EXPECT_EQ(std::string(context.GetDatumParameterFile()), longPath);
  EXPECT_EQ(context.IsDatumParameterFileLoaded(), 0);
  ASSERT_EQ(context.SetDatumParameterFile(nullptr), 1);
  EXPECT_STREQ(context.GetDatumParameterFile(), "");
}

}  // namespace
