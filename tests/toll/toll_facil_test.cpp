// FACIL.DAT: builder-made files of format versions 33, 34 and 35 read back.

#include "toll/toll_facil.h"

#include <gtest/gtest.h>

#include "common/be_bytes.h"
#include "support/test_util.h"
#include "toll_test_util.h"

namespace {

using tollbuild::FacilDat;
using tollbuild::FacilEntry;

FacilEntry Entry(uint16_t number, uint8_t kind, std::u16string name, std::u16string name2) {
  FacilEntry e;
  e.number = number;
  e.kind = kind;
  e.kind2 = static_cast<uint8_t>(number & 1);
  e.valueA = static_cast<uint16_t>(100 + number);
  e.valueB = static_cast<uint16_t>(200 + number);
  e.valueD = static_cast<uint8_t>(number == 5 ? 255 : 3);
  e.valueC = static_cast<uint16_t>(300 + number);
  e.name = std::move(name);
  e.name2 = std::move(name2);
  e.first = 0x812345u + number;  // top bit of the first byte is not part of the value
  e.second = 0x054321u + number;
  return e;
}

// Facilities 1, 2, 5, 9: a gap after 2, so 5 and 9 are found by the search.
FacilDat GappedSpec(int version) {
  FacilDat spec;
  spec.version = version;
  spec.day =
      0x0000FFFF;  // header bytes 8-9 are 0: what an unchecked read of "record -1" would match
  spec.extra = 0xABCDEF01;
  spec.facilities = {Entry(1, 0x02, u"東京", u"東名高速道路"), Entry(2, 0x01, u"", u""),
                     Entry(5, 0x04, u"用賀", u"首都高\u20AC"), Entry(9, 0x08, u"海老名JCT", u"")};
  return spec;
}

class FacilVersions : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    path_ = tolltest::WriteFile(dir_, "FACIL.DAT", tolltest::FacilImage(GappedSpec(GetParam())));
    ASSERT_TRUE(facil_.open(path_.c_str()));
    ASSERT_TRUE(facil_.readHeader());
  }
  testutil::TempDir dir_;
  std::string path_;
  TollFacil facil_;
};

TEST_P(FacilVersions, HeaderValuesAndRecordsWithNames) {
  EXPECT_EQ(facil_.formatVersion(), GetParam());
  EXPECT_EQ(facil_.conversionDay(), 0x0000FFFFu);
  EXPECT_EQ(facil_.recordCount(), 4);
  TollFacilRecord r;
  ASSERT_EQ(facil_.readFacility(1, &r), 0);
  EXPECT_EQ(r.number, 1);
  EXPECT_EQ(r.kind, 0x02);
  EXPECT_EQ(r.kind2, 1);
  EXPECT_EQ(r.valueA, 101);
  EXPECT_EQ(r.valueB, 201);
  EXPECT_EQ(r.valueD, 3);
  EXPECT_EQ(r.valueC, 301);
  EXPECT_EQ(r.name, std::string("\x93\x8C\x8B\x9E"));  // 東京 in CP932
  EXPECT_EQ(r.name2, std::string("東名高速道路"));
  // A name entry of lengths 0 and 0: two empty names.
  ASSERT_EQ(facil_.readFacility(2, &r), 0);
  EXPECT_EQ(r.kind, 0x01);
  EXPECT_EQ(r.name, "");
  EXPECT_EQ(r.name2, "");
  // D stored as 255 is -1; a unit without a CP932 form becomes '?'.
  ASSERT_EQ(facil_.readFacility(5, &r), 0);
  EXPECT_EQ(r.valueD, -1);
  EXPECT_EQ(r.name, std::string("用賀"));
  EXPECT_EQ(r.name2, std::string("首都高?"));
}

TEST_P(FacilVersions, GapsAreFoundBySearchAndAbsentNumbersAreNot) {
  TollFacilRecord r;
  ASSERT_EQ(facil_.readFacility(9, &r), 0);  // the direct try (record 4 is past the count) misses
  EXPECT_EQ(r.number, 9);
  EXPECT_EQ(r.name, std::string("海老名JCT"));
  ASSERT_EQ(facil_.readFacility(5, &r), 0);  // the direct try reads record 5-1 = none
  EXPECT_EQ(r.number, 5);
  EXPECT_EQ(facil_.readFacility(3, &r), TollFacil::kNotFound);
  EXPECT_EQ(facil_.readFacility(10, &r), TollFacil::kNotFound);
  EXPECT_EQ(facil_.readFacility(-1, &r), TollFacil::kNotFound);
}

// Number 0 is never looked up before the table: the header bytes where a
// record -1 would lie begin with 00 00 here (the high half of the day).
TEST_P(FacilVersions, NumberZeroIsNotFound) {
  TollFacilRecord r;
  EXPECT_EQ(facil_.readFacility(0, &r), TollFacil::kNotFound);
  int32_t a = 0, b = 0;
  const int coordinates = facil_.readCoordinates(0, &a, &b);
  EXPECT_EQ(coordinates, GetParam() >= 34 ? TollFacil::kNotFound : TollFacil::kNoData);
}

TEST_P(FacilVersions, CoordinatesFromVersion34WithTheTopBitMasked) {
  int32_t first = 0, second = 0;
  if (GetParam() == 33) {
    EXPECT_FALSE(facil_.hasCoordinates());
    EXPECT_EQ(facil_.readCoordinates(1, &first, &second), TollFacil::kNoData);
    return;
  }
  ASSERT_EQ(facil_.readCoordinates(9, &first, &second), 0);
  EXPECT_EQ(first, 0x012345 + 9);
  EXPECT_EQ(second, 0x054321 + 9);
  EXPECT_EQ(facil_.readCoordinates(3, &first, &second), TollFacil::kNotFound);
}

INSTANTIATE_TEST_SUITE_P(Versions, FacilVersions, ::testing::Values(33, 34, 35));

TEST(FacilFormat, Version35ShiftsCountAndOffsetsByFourBytes) {
  const std::string v34 = tolltest::FacilImage(GappedSpec(34));
  const std::string v35 = tolltest::FacilImage(GappedSpec(35));
  auto at = [](const std::string& s, int offset) {
    return LoadBe(reinterpret_cast<const unsigned char*>(s.data()) + offset, 2);
  };
  EXPECT_EQ(at(v34, 12), 4u);
  EXPECT_EQ(at(v35, 16), 4u);
  EXPECT_EQ(LoadBe(reinterpret_cast<const unsigned char*>(v35.data()) + 12, 4), 0xABCDEF01u);
  // The name area and the coordinate table move with the header.
  EXPECT_EQ(at(v35, 18), at(v34, 14) + 2);
  EXPECT_EQ(at(v35, 20), at(v34, 16) + 2);
}

TEST(FacilFormat, TruncatedFilesFailCleanly) {
  const std::string image = tolltest::FacilImage(GappedSpec(35));
  testutil::TempDir dir;
  // Cut inside the header: no usable header, every lookup answers -60.
  {
    const std::string path = tolltest::WriteFile(dir, "H.DAT", image.substr(0, 15));
    TollFacil f;
    ASSERT_TRUE(f.open(path.c_str()));
    EXPECT_FALSE(f.readHeader());
    TollFacilRecord r;
    EXPECT_EQ(f.readFacility(1, &r), TollFacil::kNoData);
  }
  // Cut inside the name of facility 1: the record is there, its names are not.
  {
    const std::size_t nameArea =
        2 * LoadBe(reinterpret_cast<const unsigned char*>(image.data()) + 18, 2);
    const std::string path = tolltest::WriteFile(dir, "N.DAT", image.substr(0, nameArea + 4));
    TollFacil f;
    ASSERT_TRUE(f.open(path.c_str()));
    ASSERT_TRUE(f.readHeader());
    TollFacilRecord r;
    EXPECT_EQ(f.readFacility(1, &r), TollFacil::kNoData);
    EXPECT_EQ(f.readFacility(9, &r), TollFacil::kNoData);
  }
}

TEST(FacilFormat, OpenFailsForMissingFilesAndFolders) {
  testutil::TempDir dir;
  TollFacil f;
  EXPECT_FALSE(f.open(dir.Sys("NONE.DAT").c_str()));
  EXPECT_FALSE(f.open(dir.path().c_str()));
}

TEST(FacilSample, GeneratedFilesOfEveryVersionHoldTheSampleFacilities) {
  for (int version : {33, 34, 35}) {
    TollFacil f;
    ASSERT_TRUE(f.open(tolltest::SampleFile(version, "FACIL.DAT").c_str())) << version;
    ASSERT_TRUE(f.readHeader());
    EXPECT_EQ(f.formatVersion(), version);
    EXPECT_EQ(f.conversionDay(), 20150401u);
    EXPECT_EQ(f.recordCount(), 13);
    TollFacilRecord r;
    ASSERT_EQ(f.readFacility(50, &r), 0);
    EXPECT_EQ(r.name, std::string("用賀料金所"));
    EXPECT_EQ(r.name2, std::string("首都高速3号渋谷線"));
    EXPECT_EQ(r.kind, 0x04);
    EXPECT_EQ(r.kind2, 1);
    EXPECT_EQ(r.valueC, 1);
    EXPECT_EQ(r.valueD, -1);
    ASSERT_EQ(f.readFacility(20, &r), 0);
    EXPECT_EQ(r.valueB, 2);
    EXPECT_EQ(r.valueD, 0);
    // 横浜青葉IC is left at its exit gate, on the toll-point key of its
    // entrance.
    ASSERT_EQ(f.readFacility(27, &r), 0);
    EXPECT_EQ(r.name, std::string("横浜青葉IC"));
    EXPECT_EQ(r.kind, 0x01);
    EXPECT_EQ(r.valueB, 4);
    EXPECT_EQ(r.valueD, 0);
    int32_t lat = 0, lon = 0;
    if (version >= 34) {
      ASSERT_EQ(f.readCoordinates(10, &lat, &lon), 0);
      EXPECT_EQ(lat, 1282345);
      EXPECT_EQ(lon, 5026572);
    }
  }
}

}  // namespace
