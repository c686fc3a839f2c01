// Fees over the sample toll data set agree with the hand-worked table of
// tests/fixtures/toll/sample_fees.txt, in every format version.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "toll/toll_control.h"
#include "toll_test_util.h"

namespace {

struct FeeCase {
  int line = 0;
  std::vector<int> route;
  char scenario = 'A';
  int vehicleClass = 3;
  int code = 0;
  int32_t totals[3] = {0, 0, 0};
};

std::vector<FeeCase> LoadCases() {
  std::ifstream in(std::string(KORT_SOURCE_DIR) + "/tests/fixtures/toll/sample_fees.txt");
  EXPECT_TRUE(in.good());
  std::vector<FeeCase> cases;
  std::string text;
  int line = 0;
  while (std::getline(in, text)) {
    ++line;
    if (text.empty() || text[0] == '#') continue;
    std::istringstream fields(text);
    FeeCase c;
    c.line = line;
    std::string route;
    fields >> route >> c.scenario >> c.vehicleClass >> c.code >> c.totals[0] >> c.totals[1] >>
        c.totals[2];
    EXPECT_FALSE(fields.fail()) << "line " << line;
    std::istringstream points(route);
    std::string p;
    while (std::getline(points, p, '-')) c.route.push_back(std::stoi(p));
    cases.push_back(c);
  }
  return cases;
}

uint32_t Packed(int year, int month, int day, int minutes) {
  return (static_cast<uint32_t>(year + 48) << 21) | (static_cast<uint32_t>(month - 1) << 17) |
         (static_cast<uint32_t>(day - 1) << 12) | (static_cast<uint32_t>(minutes / 60) << 6) |
         static_cast<uint32_t>(minutes % 60);
}

TollInputParam Input(const FeeCase& c) {
  TollInputParam in;
  in.vehicleClass = c.vehicleClass;
  int day = 3, dayOfWeek = 3, start = 12 * 60, step = 20;
  switch (c.scenario) {
    case 'B':
      in.option1 = 1;
      break;
    case 'C':
      in.option1 = 1;
      start = 3 * 60 + 30;
      break;
    case 'D':
      in.option1 = 1;
      day = 6;
      dayOfWeek = 6;
      break;
    case 'E':
      in.option1 = 1;
      in.option2 = 1;
      break;
    case 'S':
      step = 80;
      break;
    default:
      break;
  }
  int minutes = start;
  for (int facility : c.route) {
    TollInputParam::Item item;
    item.facility = facility;
    item.time = Packed(2015, 6, day, minutes);
    item.dayOfWeek = dayOfWeek;
    in.items.v.push_back(item);
    minutes += step;
  }
  return in;
}

class SampleFees : public ::testing::TestWithParam<int> {};

TEST_P(SampleFees, EveryRouteOfTheTableGivesItsHandWorkedTotals) {
  const std::vector<FeeCase> cases = LoadCases();
  ASSERT_GE(cases.size(), 80u);
  const std::string toll = tolltest::SampleFile(GetParam(), "TOLL.DAT");
  const std::string facil = tolltest::SampleFile(GetParam(), "FACIL.DAT");
  for (const FeeCase& c : cases) {
    TollControl control;
    ASSERT_EQ(control.open(toll.c_str(), facil.c_str(), true), 0);
    const int code = control.calc(Input(c));
    EXPECT_EQ(code, c.code) << "line " << c.line;
    const int32_t totals[3] = {code == 0 ? control.total1() : 0, code == 0 ? control.total2() : 0,
                               code == 0 ? control.total3() : 0};
    EXPECT_EQ(totals[0], c.totals[0]) << "line " << c.line;
    EXPECT_EQ(totals[1], c.totals[1]) << "line " << c.line;
    EXPECT_EQ(totals[2], c.totals[2]) << "line " << c.line;
  }
}

// The identifiers behind the totals, on two routes of the table.
TEST_P(SampleFees, DiscountIdentifiersAndNames) {
  const std::string toll = tolltest::SampleFile(GetParam(), "TOLL.DAT");
  const std::string facil = tolltest::SampleFile(GetParam(), "FACIL.DAT");
  TollControl control;
  ASSERT_EQ(control.open(toll.c_str(), facil.c_str(), true), 0);
  FeeCase night;
  night.route = {10, 21};
  night.scenario = 'C';
  ASSERT_EQ(control.calc(Input(night)), 0);
  ASSERT_EQ(control.sections().size(), 1u);
  EXPECT_EQ(control.sections()[0].discount3, 0x40102);
  EXPECT_EQ(control.sections()[0].discount2, 0);
  std::string name;
  ASSERT_TRUE(control.discountName(1, 1, 2, &name));
  EXPECT_EQ(name, std::string("深夜割引"));
  FeeCase transit;
  transit.route = {50, 10, 21};
  ASSERT_EQ(control.calc(Input(transit)), 0);
  ASSERT_EQ(control.sections().size(), 2u);
  EXPECT_EQ(control.sections()[1].discount3, 0x20101);
  EXPECT_EQ(control.sections()[1].discount2, 0x20101);
  ASSERT_TRUE(control.discountName(2, 1, 0, &name));
  EXPECT_EQ(name, std::string("首都高・東名乗継"));
  TollFacilRecord r;
  ASSERT_EQ(control.facility(12, &r), 0);
  EXPECT_EQ(r.name, std::string("東京料金所"));
  EXPECT_EQ(control.formatVersion(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Versions, SampleFees, ::testing::Values(33, 34, 35));

}  // namespace
