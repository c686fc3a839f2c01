// The engine's match state for the result builder: work-record layouts,
// the estimation list, the special-name pair, the number-unit switch, and
// the readers of what the number levels found in the change sources.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/message.h"
#include "matching/adrs_engine.h"
#include "support/test_util.h"
#include "tabledb/change_code_index.h"
#include "tabledb/change_code_index_builder.h"
#include "tabledb/change_history.h"
#include "tabledb/change_history_builder.h"

using testutil::TempDir;

namespace {

TEST(WorkRecords, FieldsLieAtTheirFixedOffsets) {
  EXPECT_EQ(offsetof(NeighbourRecord, reference), 1u);
  EXPECT_EQ(offsetof(NeighbourRecord, status), 17u);
  EXPECT_EQ(offsetof(NeighbourRecord, precision), 21u);
  EXPECT_EQ(offsetof(EstimateRecord, count), 4u);
  EXPECT_EQ(offsetof(EstimateRecord, lower), 6u);
  EXPECT_EQ(offsetof(EstimateRecord, upper), 23u);
  EXPECT_EQ(offsetof(EstimateRecord, requested), 40u);
  EXPECT_EQ(offsetof(LotCandidateRecord, changeRecord), 12u);
}

TEST(AdrsEngineState, EstimationRecordsNumberOnWhileTheListsLive) {
  CAdrsEngine engine;
  EstimateRecord r = {};
  EXPECT_EQ(engine.AddEstimateRecord(r), 0u);  // no lists yet
  ASSERT_EQ(engine.AllocateWorkLists(), 1);
  for (int32_t i = 1; i <= 300; ++i) {
    r.parent = 1000u + static_cast<uint32_t>(i);
    r.count = 7;
    r.lower = {kNeighbourBlockRow, i, 128000000, 503000000, i - 1};
    r.upper = {kNeighbourNone, -1, 0, 0, 0};
    r.requested = i;
    ASSERT_EQ(engine.AddEstimateRecord(r), static_cast<uint32_t>(i));
  }
  EstimateRecord back;
  ASSERT_EQ(engine.GetEstimateRecord(257, &back), 1);
  EXPECT_EQ((std::vector<int64_t>{back.parent, back.count, back.lower.found, back.lower.reference,
                                  back.lower.latitude, back.lower.number, back.upper.found,
                                  back.requested}),
            (std::vector<int64_t>{1257, 7, kNeighbourBlockRow, 257, 128000000, 256, kNeighbourNone,
                                  257}));
  EXPECT_EQ(engine.GetEstimateRecord(0, &back), 0);
  EXPECT_EQ(engine.GetEstimateRecord(301, &back), 0);
  // Freed by Close; the numbering starts again with new lists.
  engine.Close();
  EXPECT_EQ(engine.GetEstimateRecord(1, &back), 0);
  ASSERT_EQ(engine.AllocateWorkLists(), 1);
  EXPECT_EQ(engine.AddEstimateRecord(r), 1u);
  EXPECT_EQ(engine.AddLotCandidate(1, 2, 3, 4), 1u);
}

// An engine closed on a thread leaves its work lists to the next engine
// there: the next one takes the same blocks and starts empty on them, with
// the numbering from 1; an engine on another thread takes blocks of its own.
TEST(AdrsEngineState, TheNextEngineOnAThreadTakesTheListsEmpty) {
  const void* blocks[2] = {};
  {
    CAdrsEngine first;
    ASSERT_EQ(first.AllocateWorkLists(), 1);
    EstimateRecord r = {};
    for (int i = 0; i < 300; ++i) ASSERT_GT(first.AddEstimateRecord(r), 0u);
    ASSERT_EQ(first.AddLotCandidate(1, 2, 3, 4), 1u);
    ASSERT_EQ(first.GetLowerNeighbours().Add(std::string(25, 'n').data()), 1);
    blocks[0] = first.GetLowerNeighbours().GetBuffer();
  }
  CAdrsEngine second;
  EstimateRecord back;
  ASSERT_EQ(second.AllocateWorkLists(), 1);
  EXPECT_EQ(second.GetLowerNeighbours().GetBuffer(), blocks[0]) << "the same block";
  EXPECT_EQ(second.GetLowerNeighbours().GetCount(), 0u);
  EXPECT_EQ(second.GetEstimateRecord(1, &back), 0) << "no record of the engine before";
  uint32_t city = 0;
  EXPECT_EQ(second.GetLotCandidate(1, &city, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(second.AddLotCandidate(5, 6, 7, 8), 1u);
  ASSERT_EQ(second.GetLotCandidate(1, &city, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(city, 5u);
  // The lists are with the second engine now: another engine alongside it
  // takes new ones, and so does an engine on another thread.
  CAdrsEngine alongside;
  ASSERT_EQ(alongside.AllocateWorkLists(), 1);
  EXPECT_NE(alongside.GetLowerNeighbours().GetBuffer(), blocks[0]);
  std::thread([&] {
    CAdrsEngine other;
    ASSERT_EQ(other.AllocateWorkLists(), 1);
    blocks[1] = other.GetLowerNeighbours().GetBuffer();
    EXPECT_EQ(other.GetLowerNeighbours().GetCount(), 0u);
  }).join();
  EXPECT_NE(blocks[1], nullptr);
}

TEST(AdrsEngineState, SpecialNamePairIsClearedWithTheMatchState) {
  CAdrsEngine engine;
  engine.SetSpecialName("北条", "27218050000");
  EXPECT_STREQ(engine.GetSpecialName(), "北条");
  EXPECT_STREQ(engine.GetSpecialNameCode(), "27218050000");
  engine.ResetMatchState();
  EXPECT_STREQ(engine.GetSpecialName(), "");
  EXPECT_STREQ(engine.GetSpecialNameCode(), "");
  std::string kanji;
  while (kanji.size() < 700) kanji += "丁";
  engine.SetSpecialName(kanji.c_str(), nullptr);
  EXPECT_EQ(std::string(engine.GetSpecialName()), kanji.substr(0, 510));
  EXPECT_STREQ(engine.GetSpecialNameCode(), "");
}

TEST(AdrsEngineState, AnyNonZeroNumberUnitValueIsOn) {
  CAdrsEngine engine;
  for (int32_t value : {1, 2, -1, 0x7FFFFFFF}) {
    engine.SetNumberUnitMatching(0);
    EXPECT_EQ(engine.GetNumberUnitMatching(), 0);
    EXPECT_EQ(engine.SetNumberUnitMatching(value), 1);
    EXPECT_EQ(engine.GetNumberUnitMatching(), 1) << value;
  }
}

// A change history of one record and a change-code index with one block of
// three lots, the later two stored against the first one's coordinates.
bool WriteChangeFiles(const TempDir& dir) {
  CChangeHistoryBuilder h;
  char msg[kMessageSize] = "";
  if (!(h.Init(4, 4, 200) &&
        h.AddRecord("13101001001", "00004", "00001", 128444664, 503160513, "2000", "", "", "", "",
                    5, "1") &&
        h.SortByNames(msg) &&
        h.WriteCompiledData(dir.Sys("QAD_CH13.CDB").c_str(), dir.Sys("QAD_CH13.CIX").c_str(),
                            msg))) {
    return false;
  }
  CChangeCodeIndexBuilder c;
  return c.Init() && c.AddCity("13101") && c.AddArea("001001") && c.AddBlock("00008", "", "") &&
         c.AddChange("00001", "", "", 503164474, 128438903, "2000", "1", "0") &&
         c.AddChange("00002", "", "", 503165194, 128438543, "25000", "0", "3") &&
         c.AddChange("00003", "", "", 503160000, 128440000, "2000", "2", "6") &&
         c.WriteChangeHistoryIndex(dir.Sys("QAD_CH13.CDI").c_str());
}

TEST(AdrsEngineState, ChangeRecordsAndPathsComeFromTheReaderInUse) {
  TempDir dir;
  ASSERT_TRUE(WriteChangeFiles(dir));
  CAdrsEngine engine;
  ChangeRecord record;
  char name1[kChangeTextSize], name2[kChangeTextSize];
  char path[CAdrsEngine::kPathSize];
  EXPECT_EQ(engine.GetChangeRecord(1, &record, name1, name2, nullptr, nullptr), 0);
  EXPECT_STREQ(engine.GetChangeHistoryPath(path, sizeof path), "");
  EXPECT_STREQ(engine.GetChangeCodeIndexPath(path, sizeof path), "");

  // From file names: the names given, before and after the lazy opening.
  const std::string cix = dir.Sys("QAD_CH13.CIX");
  const std::string cdi = dir.Sys("QAD_CH13.CDI");
  ASSERT_EQ(engine.SetChangeHistoryFiles(dir.Sys("QAD_CH13.CDB").c_str(), cix.c_str()), 1);
  ASSERT_EQ(engine.SetChangeCodeIndexFile(cdi.c_str()), 1);
  EXPECT_EQ(engine.GetChangeHistoryPath(path, sizeof path), path);
  EXPECT_EQ(std::string(path), cix);
  EXPECT_EQ(std::string(engine.GetChangeCodeIndexPath(path, sizeof path)), cdi);
  ASSERT_EQ(engine.HasChangeHistory(), 1);
  ASSERT_EQ(engine.GetChangeRecord(1, &record, name1, name2, nullptr, nullptr), 1);
  EXPECT_EQ(std::string(name1) + name2, "４１");
  EXPECT_TRUE(record.blockNumber == 4u && record.lotNumber == 1u && record.classCode == 5);
  EXPECT_EQ(engine.GetChangeRecord(2, &record, name1, name2, nullptr, nullptr), 0);
  // A short buffer takes what fits.
  char small[6];
  EXPECT_EQ(std::string(engine.GetChangeHistoryPath(small, sizeof small)), cix.substr(0, 5));

  // An attached reader of the caller's: its own path.
  CChangeHistory own;
  char msg[kMessageSize] = "";
  ASSERT_EQ(own.Open(dir.Sys("QAD_CH13.CDB").c_str(), cix.c_str(), msg), 1) << msg;
  engine.AttachChangeHistory(&own);
  EXPECT_EQ(std::string(engine.GetChangeHistoryPath(path, sizeof path)), cix);
  EXPECT_EQ(engine.GetChangeRecord(1, &record, nullptr, nullptr, nullptr, nullptr), 1);
  engine.AttachChangeHistory(nullptr);
  EXPECT_STREQ(engine.GetChangeHistoryPath(path, sizeof path), "");
  EXPECT_EQ(engine.GetChangeRecord(1, &record, nullptr, nullptr, nullptr, nullptr), 0);
}

TEST(AdrsEngineState, ChangeCodeLotsAreReadAgainstTheFirstRecordsCoordinates) {
  TempDir dir;
  ASSERT_TRUE(WriteChangeFiles(dir));
  CChangeCodeIndex index;
  char msg[kMessageSize] = "";
  ASSERT_EQ(index.Open(dir.Sys("QAD_CH13.CDI").c_str(), msg), 1) << msg;
  CAdrsEngine engine;
  ChangeCodeLot lot;
  EXPECT_EQ(engine.ReadChangeCodeLot(1, 2, 3, 4, &lot), 0);  // none attached
  engine.AttachChangeCodeIndex(&index);
  const uint32_t city = index.FindCity("13101001001");
  const uint32_t area = index.FindArea("13101001001");
  const uint32_t block = index.FindBlock("13101001001", "８");
  const uint32_t first = index.FindChange("13101001001", "８", "１");
  const uint32_t third = index.FindChange("13101001001", "８", "３");
  ASSERT_TRUE(city && area && block && first && third);

  ASSERT_EQ(engine.ReadChangeCodeLot(city, area, block, third, &lot), 1);
  EXPECT_EQ(std::string(lot.cityCode) + "|" + lot.areaCode + "|" + lot.blockCode + "|" +
                lot.blockName + "|" + lot.lotCode + "|" + lot.lotName,
            "13101|001001|00008|８|00003|３");
  EXPECT_EQ((std::vector<int64_t>{lot.latitude, lot.longitude, lot.precisionDigit,
                                  lot.precisionCode, lot.classCode}),
            (std::vector<int64_t>{128440000, 503160000, 2, 20, 6}));

  ASSERT_EQ(engine.ReadChangeCodeLot(city, area, block, first, &lot), 1);
  EXPECT_STREQ(lot.lotCode, "00001");
  EXPECT_EQ(lot.latitude, 128438903u);
  EXPECT_EQ(lot.longitude, 503164474u);

  // Any position outside the file fails the read.
  EXPECT_EQ(engine.ReadChangeCodeLot(0xFFFFFF00u, area, block, third, &lot), 0);
  EXPECT_EQ(engine.ReadChangeCodeLot(city, 0xFFFFFF00u, block, third, &lot), 0);
  EXPECT_EQ(engine.ReadChangeCodeLot(city, area, 0xFFFFFF00u, third, &lot), 0);
  EXPECT_EQ(engine.ReadChangeCodeLot(city, area, block, 0xFFFFFF00u, &lot), 0);
}

}  // namespace
