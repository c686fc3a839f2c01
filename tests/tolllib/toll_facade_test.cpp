// The Toll facade: init and its file checks, the worker and the delivery of
// results on the constructing thread, busy and failed starts, destruction
// while a worker runs, shared copies and the lookups.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "toll_lib_test_util.h"

namespace {

using namespace tolllib;

// The fee fixture with #5 (an entrance with names and coordinates) in
// place of #11; discount names: table 1 key (1,2), table 2 key (3,0).
struct Data : FeeFixture {
  Data() {
    tollbuild::FacilEntry& five = facil.facilities[1];
    five.number = 5;
    five.name = u"五番";
    five.name2 = u"五番線";
    five.first = 1234567;
    five.second = 7654321;
    std::swap(facil.facilities[0], facil.facilities[1]);  // ascending numbers
    toll.names1 = {{1, 2, u"深夜割引"}};
    toll.names2 = {{3, 0, u"乗継"}};
  }
};

class FacadeTest : public ::testing::Test {
 protected:
  void SetUp() override { folder_.Write(data_.facil, data_.toll); }
  Data data_;
  DataFolder folder_;
  Recorder recorder_;
};

TEST_F(FacadeTest, InitChecksBothFilesWithOrWithoutTheTrailingSeparator) {
  Toll toll;
  EXPECT_EQ(toll.init(&recorder_, folder_.folder().c_str()), 0);
  std::string bare = folder_.folder();
  bare.pop_back();  // the folder without its separator finds the same files
  EXPECT_EQ(toll.init(&recorder_, bare.c_str()), 0);
  EXPECT_EQ(toll.init(&recorder_, (bare + "x").c_str()), -21);
  ASSERT_EQ(std::remove(folder_.native("FACIL.DAT").c_str()), 0);
  EXPECT_EQ(toll.init(&recorder_, folder_.folder().c_str()), -22);
  ASSERT_EQ(std::remove(folder_.native("TOLL.DAT").c_str()), 0);
  EXPECT_EQ(toll.init(&recorder_, folder_.folder().c_str()), -21);
}

TEST_F(FacadeTest, AnEmptyInputStartsNothingAndNoResultArrives) {
  Toll toll;
  ASSERT_EQ(toll.init(&recorder_, folder_.folder().c_str()), 0);
  TollInputParam empty;
  EXPECT_EQ(toll.calc(&empty), 0);
  EXPECT_EQ(toll.calc(nullptr), 0);
  PumpFor(100);
  EXPECT_TRUE(recorder_.results.empty());
  EXPECT_EQ(recorder_.others, 0);
}

TEST_F(FacadeTest, TheResultArrivesOnceOnTheConstructingThreadAndOnlyWhenItPumps) {
  Toll toll;
  ASSERT_EQ(toll.init(&recorder_, folder_.folder().c_str()), 0);
  TollInputParam in = Route({0x800A, 20});
  ASSERT_EQ(toll.calc(&in), 0);
  // The caller's items keep only the low 15 bits.
  EXPECT_EQ(in.items.v[0].facility, 10);
  EXPECT_EQ(in.items.v[1].facility, 20);

  // Another thread's pumping delivers nothing.
  std::thread other([] { PumpFor(200); });
  other.join();
  EXPECT_TRUE(recorder_.results.empty());

  ASSERT_TRUE(PumpResults(recorder_, 1));
  PumpFor(100);
  ASSERT_EQ(recorder_.results.size(), 1u);
  EXPECT_EQ(recorder_.others, 0);
  EXPECT_EQ(recorder_.tolls[0], &toll);
  EXPECT_EQ(recorder_.values[0], 0);
  EXPECT_EQ(recorder_.threads[0], std::this_thread::get_id());
  const TollResultRaw& r = *recorder_.results[0];
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.total1, 1000);
  EXPECT_EQ(r.total2, 700);
  EXPECT_EQ(r.total3, 700);
}

TEST_F(FacadeTest, ASecondCalcWhileTheWorkerRunsIsRefusedAndChangesNothing) {
  Toll toll;
  HeldWorkers held;
  ASSERT_EQ(toll.init(&recorder_, folder_.folder().c_str()), 0);
  TollInputParam first = Route({10, 20});
  ASSERT_EQ(toll.calc(&first), 0);
  TollInputParam second = Route({0});  // would fail with -60
  EXPECT_EQ(toll.calc(&second), -2);
  HeldWorkers::Release();
  ASSERT_TRUE(PumpResults(recorder_, 1));
  PumpFor(100);
  ASSERT_EQ(recorder_.results.size(), 1u);
  EXPECT_EQ(recorder_.results[0]->code, 0);  // the first input was kept
  EXPECT_EQ(recorder_.results[0]->total1, 1000);
  // After the result the next calc starts normally.
  EXPECT_EQ(toll.calc(&second), 0);
  ASSERT_TRUE(PumpResults(recorder_, 2));
  EXPECT_EQ(recorder_.results[1]->code, -60);
}

TEST_F(FacadeTest, ACalcFromInsideOnResultStarts) {
  Toll toll;
  ASSERT_EQ(toll.init(&recorder_, folder_.folder().c_str()), 0);
  std::vector<int> codes;
  recorder_.then = [&](Toll* t) {
    if (codes.empty()) {
      TollInputParam again = Route({10, 20}, 3);
      codes.push_back(t->calc(&again));
    }
  };
  TollInputParam in = Route({10, 20});
  ASSERT_EQ(toll.calc(&in), 0);
  ASSERT_TRUE(PumpResults(recorder_, 2));
  EXPECT_EQ(codes, (std::vector<int>{0}));
  EXPECT_EQ(recorder_.results[1]->total1, 1000);
}

TEST_F(FacadeTest, ACalcAfterTheWorkerEndedButBeforeItsResultRanStartsAndBothArrive) {
  Toll toll;
  HeldWorkers held;
  HeldWorkers::Release();
  ASSERT_EQ(toll.init(&recorder_, folder_.folder().c_str()), 0);
  TollInputParam first = Route({10, 20});
  ASSERT_EQ(toll.calc(&first), 0);
  ASSERT_TRUE(HeldWorkers::WaitFinished(1));
  // The first worker's thread may still be ending: -2 until it is gone.
  TollInputParam second = Route({0});
  int code = -2;
  for (int i = 0; i < 20000 && code == -2; ++i) {
    code = toll.calc(&second);
    if (code == -2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(code, 0);
  ASSERT_TRUE(PumpResults(recorder_, 2));
  PumpFor(100);
  ASSERT_EQ(recorder_.results.size(), 2u);
  EXPECT_EQ(recorder_.results[0]->code, 0);
  EXPECT_EQ(recorder_.results[1]->code, -60);
}

TEST_F(FacadeTest, AWorkerThatCannotStartIsReportedAsMinusOne) {
  Toll toll;
  ASSERT_EQ(toll.init(&recorder_, folder_.folder().c_str()), 0);
  TollInputParam in = Route({10, 20});
  {
    FailingWorkers failing;
    EXPECT_EQ(toll.calc(&in), -1);
  }
  PumpFor(100);
  EXPECT_TRUE(recorder_.results.empty());
  // Nothing is left running: the next calc starts.
  EXPECT_EQ(toll.calc(&in), 0);
  ASSERT_TRUE(PumpResults(recorder_, 1));
}

TEST_F(FacadeTest, DestroyingATollWhileItsWorkerRunsWaitsAndDropsTheResult) {
  {
    auto toll = std::make_unique<Toll>();
    HeldWorkers held;
    ASSERT_EQ(toll->init(&recorder_, folder_.folder().c_str()), 0);
    TollInputParam in = Route({10, 20});
    ASSERT_EQ(toll->calc(&in), 0);
    // The worker is let go while the destructor waits for it.
    std::thread opener([] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      HeldWorkers::Release();
    });
    toll.reset();
    opener.join();
    EXPECT_EQ(HeldWorkers::finished(), 1);  // it ran to its end before the Toll went
  }
  PumpFor(200);
  EXPECT_TRUE(recorder_.results.empty());
  EXPECT_EQ(recorder_.others, 0);
}

TEST_F(FacadeTest, DestroyingATollWhoseResultIsQueuedDropsTheResult) {
  HeldWorkers held;
  HeldWorkers::Release();
  {
    Toll toll;
    ASSERT_EQ(toll.init(&recorder_, folder_.folder().c_str()), 0);
    TollInputParam in = Route({10, 20});
    ASSERT_EQ(toll.calc(&in), 0);
    ASSERT_TRUE(HeldWorkers::WaitFinished(1));  // the result is posted
  }
  PumpFor(200);
  EXPECT_TRUE(recorder_.results.empty());
}

TEST_F(FacadeTest, ATollDestroyedFromInsideItsHandlerIsClean) {
  auto* toll = new Toll;
  ASSERT_EQ(toll->init(&recorder_, folder_.folder().c_str()), 0);
  recorder_.then = [](Toll* t) { delete t; };
  TollInputParam in = Route({10, 20});
  ASSERT_EQ(toll->calc(&in), 0);
  ASSERT_TRUE(PumpResults(recorder_, 1));
  PumpFor(100);
  EXPECT_EQ(recorder_.results.size(), 1u);
  EXPECT_EQ(recorder_.results[0]->total1, 1000);  // the record outlives the Toll
}

TEST_F(FacadeTest, CopiesShareOneStateThatGoesWithTheLastCopy) {
  Toll a;
  ASSERT_EQ(a.init(&recorder_, folder_.folder().c_str()), 0);
  {
    Toll b(a);
    Toll c;
    c = b;
    c = c;
    HeldWorkers held;
    TollInputParam in = Route({10, 20});
    ASSERT_EQ(c.calc(&in), 0);
    EXPECT_EQ(a.calc(&in), -2);  // the same calculation state
    EXPECT_EQ(b.calc(&in), -2);
  }  // b and c go; a keeps the state
  ASSERT_TRUE(PumpResults(recorder_, 1));
  EXPECT_EQ(recorder_.tolls[0], &a);  // the handle that was given the handler
  TollInputParam in = Route({10, 20});
  EXPECT_EQ(a.calc(&in), 0);
  ASSERT_TRUE(PumpResults(recorder_, 2));
}

TEST_F(FacadeTest, FilesThatDisagreeDeliverTheirCodeWithAnEmptyRecord) {
  struct Case {
    int tollVersion;
    uint32_t tollDay;
    int code;
  };
  for (const Case& c : {Case{34, 20150401, -25}, Case{35, 20150402, -26}}) {
    Data data;
    data.toll.version = c.tollVersion;
    data.toll.day = c.tollDay;
    DataFolder folder;
    folder.Write(data.facil, data.toll);
    Recorder recorder;
    Toll toll;
    ASSERT_EQ(toll.init(&recorder, folder.folder().c_str()), 0);
    TollInputParam in = Route({10, 20});
    ASSERT_EQ(toll.calc(&in), 0);
    ASSERT_TRUE(PumpResults(recorder, 1));
    const TollResultRaw& r = *recorder.results[0];
    EXPECT_EQ(recorder.values[0], 0);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.total1, 0);
    EXPECT_EQ(r.total2, 0);
    EXPECT_EQ(r.total3, 0);
    EXPECT_TRUE(r.items.v.empty());
    EXPECT_TRUE(r.profs.v.empty());
  }
}

TEST_F(FacadeTest, ACalculationFailureArrivesAsTheRecordsCode) {
  Toll toll;
  ASSERT_EQ(toll.init(&recorder_, folder_.folder().c_str()), 0);
  TollInputParam twoEntrances = Route({10, 5});  // no kind-4 link between them
  ASSERT_EQ(toll.calc(&twoEntrances), 0);
  ASSERT_TRUE(PumpResults(recorder_, 1));
  EXPECT_EQ(recorder_.results[0]->code, -40);
  EXPECT_TRUE(recorder_.results[0]->items.v.empty());
  // A data folder that went away after init: -21 from the worker.
  ASSERT_EQ(std::remove(folder_.native("TOLL.DAT").c_str()), 0);
  TollInputParam in = Route({10, 20});
  ASSERT_EQ(toll.calc(&in), 0);
  ASSERT_TRUE(PumpResults(recorder_, 2));
  EXPECT_EQ(recorder_.results[1]->code, -21);
}

TEST_F(FacadeTest, FacilityLookupsMaskTheNumberAndUseTheCache) {
  Toll toll;
  ASSERT_EQ(toll.init(nullptr, folder_.folder().c_str()), 0);  // lookups only
  FacilName a, b;
  ASSERT_EQ(toll.getName(5, &a), 0);
  EXPECT_EQ(a.name, testutil::Sjis(u8"五番"));
  EXPECT_EQ(a.name2, testutil::Sjis(u8"五番線"));
  ASSERT_EQ(toll.getName(0x8005, &b), 0);
  EXPECT_EQ(b.name, a.name);
  EXPECT_EQ(b.name2, a.name2);
  uint8_t kind = 0;
  ASSERT_EQ(toll.getNodeTF(0x8014, &kind), 0);
  EXPECT_EQ(kind, 0x01);
  EXPECT_EQ(toll.getName(7, &a), -30);
  EXPECT_EQ(toll.getNodeTF(7, &kind), -30);
  int32_t first = 0, second = 0;
  ASSERT_EQ(toll.getLL(0x8005, &first, &second), 0);
  EXPECT_EQ(first, 1234567);
  EXPECT_EQ(second, 7654321);
  EXPECT_EQ(toll.getLL(7, &first, &second), -30);
  EXPECT_EQ(toll.getFmtVer(), 35);
  EXPECT_EQ(toll.getConvertDay(), 20150401);

  // Facilities seen before are answered from the cache, the others need the file.
  ASSERT_EQ(std::remove(folder_.native("FACIL.DAT").c_str()), 0);
  EXPECT_EQ(toll.getNodeTF(5, &kind), 0);
  EXPECT_EQ(kind, 0x02);
  EXPECT_EQ(toll.getNodeTF(10, &kind), -22);
  EXPECT_EQ(toll.getLL(5, &first, &second), -22);
  EXPECT_EQ(toll.getFmtVer(), -22);
  EXPECT_EQ(toll.getConvertDay(), -22);
}

TEST_F(FacadeTest, TheWorkerFillsTheFacilityCacheWithItsSections) {
  Toll toll;
  ASSERT_EQ(toll.init(&recorder_, folder_.folder().c_str()), 0);
  TollInputParam in = Route({10, 20});
  ASSERT_EQ(toll.calc(&in), 0);
  ASSERT_TRUE(PumpResults(recorder_, 1));
  ASSERT_EQ(std::remove(folder_.native("FACIL.DAT").c_str()), 0);
  uint8_t kind = 0;
  EXPECT_EQ(toll.getNodeTF(10, &kind), 0);
  EXPECT_EQ(kind, 0x02);
  EXPECT_EQ(toll.getNodeTF(20, &kind), 0);
  EXPECT_EQ(kind, 0x01);
  EXPECT_EQ(toll.getNodeTF(5, &kind), -22);  // not in the calculation
}

// Another data folder given to init must not answer from the records
// cached for the one before, neither for lookups nor after a calculation.
TEST_F(FacadeTest, InitWithAnotherFolderForgetsTheCachedFacilities) {
  Data other;
  for (tollbuild::FacilEntry& e : other.facil.facilities) {
    e.name = u"別館";
    e.kind = e.number == 5 ? 0x04 : e.kind;
  }
  DataFolder second;
  second.Write(other.facil, other.toll);
  Toll toll;
  ASSERT_EQ(toll.init(&recorder_, folder_.folder().c_str()), 0);
  FacilName name;
  uint8_t kind = 0;
  ASSERT_EQ(toll.getName(5, &name), 0);
  EXPECT_EQ(name.name, testutil::Sjis(u8"五番"));
  TollInputParam in = Route({10, 20});
  ASSERT_EQ(toll.calc(&in), 0);
  ASSERT_TRUE(PumpResults(recorder_, 1));  // #10 and #20 are cached now

  ASSERT_EQ(toll.init(&recorder_, second.folder().c_str()), 0);
  ASSERT_EQ(toll.getName(5, &name), 0);
  EXPECT_EQ(name.name, testutil::Sjis(u8"別館"));
  ASSERT_EQ(toll.getNodeTF(5, &kind), 0);
  EXPECT_EQ(kind, 0x04);
  ASSERT_EQ(toll.getName(10, &name), 0);
  EXPECT_EQ(name.name, testutil::Sjis(u8"別館"));
  // A folder without the files: nothing is left to answer from.
  ASSERT_EQ(std::remove(second.native("FACIL.DAT").c_str()), 0);
  EXPECT_EQ(toll.init(&recorder_, second.folder().c_str()), -22);
  EXPECT_EQ(toll.getName(5, &name), -22);
  EXPECT_EQ(toll.getNodeTF(20, &kind), -22);
}

// An init on another folder while a calculation runs: the calculation ends
// on the files it started with, and its sections' records, read from the
// folder before, do not answer the lookups of the new one.
TEST_F(FacadeTest, AResultArrivingAfterAnInitOnAnotherFolderLeavesNoRecordsOfTheFolderBefore) {
  Data other;
  for (tollbuild::FacilEntry& e : other.facil.facilities) e.name = u"別館";
  DataFolder second;
  second.Write(other.facil, other.toll);
  Recorder later;
  Toll toll;
  HeldWorkers held;
  ASSERT_EQ(toll.init(&recorder_, folder_.folder().c_str()), 0);
  TollInputParam in = Route({10, 20});
  ASSERT_EQ(toll.calc(&in), 0);
  ASSERT_EQ(toll.init(&later, second.folder().c_str()), 0);
  FacilName name;
  ASSERT_EQ(toll.getName(10, &name), 0);  // cached for the new folder before the result
  EXPECT_EQ(name.name, testutil::Sjis(u8"別館"));
  EXPECT_EQ(toll.calc(&in), -2);
  HeldWorkers::Release();
  ASSERT_TRUE(PumpResults(later, 1));
  EXPECT_TRUE(recorder_.results.empty());  // the handler given last
  EXPECT_EQ(later.results[0]->code, 0);
  EXPECT_EQ(later.results[0]->total1, 1000);

  // Only the new folder's own lookup was kept: without its file #20, read
  // by the calculation from the folder before, has nothing to answer from.
  ASSERT_EQ(std::remove(second.native("FACIL.DAT").c_str()), 0);
  ASSERT_EQ(toll.getName(10, &name), 0);
  EXPECT_EQ(name.name, testutil::Sjis(u8"別館"));
  EXPECT_EQ(toll.getName(20, &name), -22);
}

TEST_F(FacadeTest, DiscountNameLookups) {
  Toll toll;
  ASSERT_EQ(toll.init(nullptr, folder_.folder().c_str()), 0);
  DiscountName name;
  ASSERT_EQ(toll.getDiscountNameETC(1, 2, &name), 0);
  EXPECT_EQ(name.name, testutil::Sjis(u8"深夜割引"));
  EXPECT_EQ(toll.getDiscountNameETC(1, 3, &name), -50);
  // The second table is keyed by the first byte alone.
  for (int b : {0, 1, 7, 255}) {
    DiscountName transit;
    ASSERT_EQ(toll.getDiscountNameTransit(3, static_cast<uint8_t>(b), &transit), 0) << b;
    EXPECT_EQ(transit.name, testutil::Sjis(u8"乗継"));
  }
  EXPECT_EQ(toll.getDiscountNameTransit(4, 0, &name), -50);
  ASSERT_EQ(std::remove(folder_.native("TOLL.DAT").c_str()), 0);
  EXPECT_EQ(toll.getDiscountNameETC(1, 2, &name), -21);
}

// The folder of the sample toll data of one format version in the build tree.
std::string SampleFolder(int version) {
  const char* build = std::getenv("KORT_BUILD_DIR");
  std::string root =
      (build && *build) ? build : reinterpret_cast<const char*>(u8"" KORT_TEST_BUILD_DIR);
  return root + "/Database/Toll/v" + std::to_string(version) + "/";
}

TEST(FacadeSampleData, CoordinatesNeedAVersionWithTheirTable) {
  Toll v33, v35;
  ASSERT_EQ(v33.init(nullptr, SampleFolder(33).c_str()), 0);
  ASSERT_EQ(v35.init(nullptr, SampleFolder(35).c_str()), 0);
  int32_t first = 0, second = 0;
  EXPECT_EQ(v33.getLL(10, &first, &second), -60);
  ASSERT_EQ(v35.getLL(10, &first, &second), 0);
  EXPECT_EQ(first, 1282345);
  EXPECT_EQ(second, 5026572);
  EXPECT_EQ(v33.getFmtVer(), 33);
  EXPECT_EQ(v35.getConvertDay(), 20150401);
}

// The transit names of the sample data answer the public lookup, which
// reads the key (a, 0) whatever the second byte: both transit links of the
// sample (kind 1, second bytes 1 and 2) find their name.
TEST(FacadeSampleData, TransitDiscountNamesAnswerTheLookup) {
  for (int version : {33, 34, 35}) {
    Toll toll;
    ASSERT_EQ(toll.init(nullptr, SampleFolder(version).c_str()), 0) << version;
    for (int b : {0, 1, 2}) {
      DiscountName name;
      ASSERT_EQ(toll.getDiscountNameTransit(1, static_cast<uint8_t>(b), &name), 0)
          << version << " " << b;
      EXPECT_EQ(name.name, testutil::Sjis(u8"首都高・東名乗継"));
    }
    DiscountName none;
    EXPECT_EQ(toll.getDiscountNameTransit(2, 0, &none), -50);
    DiscountName night;
    ASSERT_EQ(toll.getDiscountNameETC(1, 2, &night), 0);
    EXPECT_EQ(night.name, testutil::Sjis(u8"深夜割引"));
  }
}

}  // namespace
