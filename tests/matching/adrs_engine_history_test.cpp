// The address engine's change-history readers (the .CDB/.CIX pair and the
// .CDI change-code index): opened lazily from file names, once per setting
// of the names, and only when the search context uses them.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "common/message.h"
#include "matching/adrs_context.h"
#include "matching/adrs_engine.h"
#include "support/test_util.h"
#include "tabledb/change_code_index.h"
#include "tabledb/change_code_index_builder.h"
#include "tabledb/change_history.h"
#include "tabledb/change_history_builder.h"

using testutil::Show;
using testutil::TempDir;

namespace {

// One of the two readers, seen through the engine: how its files are
// written, named, asked for, and how a reader of the caller's own is opened
// and attached.
struct Source {
  const char* name;
  std::function<bool(const TempDir&)> write;
  std::function<int(CAdrsEngine&, const TempDir&)> setFiles;
  std::function<int(CAdrsEngine&)> has;
  // 1 when the reader the engine uses is open; -1 when it uses none.
  std::function<int(CAdrsEngine&)> readerOpen;
  // Opens a reader of the caller's (kept alive by the holder) and attaches
  // it; null attaches none.
  std::function<bool(CAdrsEngine&, const TempDir&, std::shared_ptr<void>*)> attachOwn;
  std::function<void(CAdrsEngine&)> detach;
  // 1 when the caller's reader in the holder is open.
  std::function<int(const std::shared_ptr<void>&)> ownOpen;
  std::function<void(CAdrsContext&, int32_t)> setSwitch;
};

bool WritePair(const TempDir& dir) {
  CChangeHistoryBuilder b;
  char msg[kMessageSize] = "";
  return b.Init(4, 4, 200) &&
         b.AddRecord("13101001001", "00001", "", 128452000, 503158000, "2000", "１", "", "", "", 0,
                     "1") &&
         b.SortByNames(msg) &&
         b.WriteCompiledData(dir.Sys("QAD_CH13.CDB").c_str(), dir.Sys("QAD_CH13.CIX").c_str(), msg);
}

bool WriteCodeIndex(const TempDir& dir) {
  ChangeCodeIndexCapacities c;
  c.cityBytes = c.cityBytesGrowth = c.areaBytes = c.areaBytesGrowth = 16;
  c.blockBytes = c.blockBytesGrowth = 64;
  c.changeBytes = c.changeBytesGrowth = 256;
  c.cityEntries = c.cityEntriesGrowth = c.areaEntries = c.areaEntriesGrowth = 2;
  c.blockEntries = c.blockEntriesGrowth = 4;
  c.changeEntries = c.changeEntriesGrowth = 4;
  CChangeCodeIndexBuilder b;
  return b.Init(c) && b.AddCity("13101") && b.AddArea("001001") && b.AddBlock("00001", "", "") &&
         b.AddChange("00003", "", "", 503158000, 128452000, "2000", "1", "0") &&
         b.WriteChangeHistoryIndex(dir.Sys("QAD_CH13.CDI").c_str());
}

const Source kSources[] = {
    {"history", WritePair,
     [](CAdrsEngine& e, const TempDir& dir) {
       return e.SetChangeHistoryFiles(dir.Sys("QAD_CH13.CDB").c_str(),
                                      dir.Sys("QAD_CH13.CIX").c_str());
     },
     [](CAdrsEngine& e) { return e.HasChangeHistory(); },
     [](CAdrsEngine& e) { return e.GetChangeHistory() ? e.GetChangeHistory()->IsOpen() : -1; },
     [](CAdrsEngine& e, const TempDir& dir, std::shared_ptr<void>* holder) {
       auto reader = std::make_shared<CChangeHistory>();
       char msg[kMessageSize] = "";
       if (!reader->Open(dir.Sys("QAD_CH13.CDB").c_str(), dir.Sys("QAD_CH13.CIX").c_str(), msg)) {
         return false;
       }
       *holder = reader;
       return e.AttachChangeHistory(reader.get()) == 1 && e.GetChangeHistory() == reader.get();
     },
     [](CAdrsEngine& e) { e.AttachChangeHistory(nullptr); },
     [](const std::shared_ptr<void>& h) { return static_cast<CChangeHistory*>(h.get())->IsOpen(); },
     [](CAdrsContext& c, int32_t v) { c.SetUseChangeHistory(v); }},
    {"change-code index", WriteCodeIndex,
     [](CAdrsEngine& e, const TempDir& dir) {
       return e.SetChangeCodeIndexFile(dir.Sys("QAD_CH13.CDI").c_str());
     },
     [](CAdrsEngine& e) { return e.HasChangeCodeIndex(); },
     [](CAdrsEngine& e) { return e.GetChangeCodeIndex() ? e.GetChangeCodeIndex()->IsOpen() : -1; },
     [](CAdrsEngine& e, const TempDir& dir, std::shared_ptr<void>* holder) {
       auto reader = std::make_shared<CChangeCodeIndex>();
       char msg[kMessageSize] = "";
       if (!reader->Open(dir.Sys("QAD_CH13.CDI").c_str(), msg)) return false;
       *holder = reader;
       return e.AttachChangeCodeIndex(reader.get()) == 1 && e.GetChangeCodeIndex() == reader.get();
     },
     [](CAdrsEngine& e) { e.AttachChangeCodeIndex(nullptr); },
     [](const std::shared_ptr<void>& h) {
       return static_cast<CChangeCodeIndex*>(h.get())->IsOpen();
     },
     // The context has one switch for both readers.
     [](CAdrsContext& c, int32_t v) { c.SetUseChangeHistory(v); }},
};

class EngineHistoryTest : public ::testing::TestWithParam<int> {
 protected:
  const Source& S() const { return kSources[GetParam()]; }

  TempDir dir_;
  CAdrsEngine engine_;
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(BothReaders, EngineHistoryTest, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return info.param == 0 ? std::string("History")
                                                  : std::string("ChangeCodeIndex");
                         });

TEST_P(EngineHistoryTest, OpensOnTheFirstQuestionOnly) {
  ASSERT_TRUE(S().write(dir_));
  EXPECT_EQ(S().readerOpen(engine_), -1);
  EXPECT_EQ(S().has(engine_), 0);  // nothing set, nothing attached
  ASSERT_EQ(S().setFiles(engine_, dir_), 1);
  EXPECT_EQ(S().readerOpen(engine_), 0);  // nothing opened yet
  EXPECT_EQ(S().has(engine_), 1);
  EXPECT_EQ(S().readerOpen(engine_), 1);
  EXPECT_EQ(S().has(engine_), 1);
}

TEST_P(EngineHistoryTest, AMissingFileIsTriedOncePerSettingOfTheNames) {
  ASSERT_EQ(S().setFiles(engine_, dir_), 1);
  EXPECT_EQ(S().has(engine_), 0);
  // The files appear, but the engine does not look again ...
  ASSERT_TRUE(S().write(dir_));
  EXPECT_EQ(S().has(engine_), 0);
  EXPECT_EQ(S().readerOpen(engine_), 0);
  // ... until the names are set anew, as after the next opening.
  ASSERT_EQ(S().setFiles(engine_, dir_), 1);
  EXPECT_EQ(S().has(engine_), 1);
}

TEST_P(EngineHistoryTest, CloseClosesTheOwnReaderAndForgetsItsNames) {
  ASSERT_TRUE(S().write(dir_));
  ASSERT_EQ(S().setFiles(engine_, dir_), 1);
  ASSERT_EQ(S().has(engine_), 1);
  engine_.Close();
  EXPECT_EQ(S().readerOpen(engine_), 0);
  EXPECT_EQ(S().has(engine_), 0);  // no names are left to open
  ASSERT_EQ(S().setFiles(engine_, dir_), 1);
  EXPECT_EQ(S().has(engine_), 1);
}

TEST_P(EngineHistoryTest, TheContextSwitchComesFirst) {
  ASSERT_TRUE(S().write(dir_));
  CAdrsContext context;
  S().setSwitch(context, 0);
  ASSERT_EQ(engine_.SetContext(&context), 1);
  ASSERT_EQ(S().setFiles(engine_, dir_), 1);
  EXPECT_EQ(S().has(engine_), 0);
  // Switched off, the engine did not even try: the open is still to come.
  EXPECT_EQ(S().readerOpen(engine_), 0);
  S().setSwitch(context, 1);
  EXPECT_EQ(S().has(engine_), 1);
  S().setSwitch(context, 0);
  EXPECT_EQ(S().has(engine_), 0);

  // A caller's reader is answered for the same way.
  std::shared_ptr<void> own;
  ASSERT_TRUE(S().attachOwn(engine_, dir_, &own));
  EXPECT_EQ(S().has(engine_), 0);
  S().setSwitch(context, 1);
  EXPECT_EQ(S().has(engine_), 1);

  // The context stays attached over Close.
  engine_.Close();
  EXPECT_EQ(engine_.GetContext(), &context);
}

TEST_P(EngineHistoryTest, AttachedReaderIsUsedAndOnlyDetachedByClose) {
  ASSERT_TRUE(S().write(dir_));
  // Attaching replaces a reader the engine opened from names, and closes it.
  ASSERT_EQ(S().setFiles(engine_, dir_), 1);
  ASSERT_EQ(S().has(engine_), 1);
  std::shared_ptr<void> own;
  ASSERT_TRUE(S().attachOwn(engine_, dir_, &own));
  EXPECT_EQ(S().has(engine_), 1);
  EXPECT_EQ(S().readerOpen(engine_), 1);

  engine_.Close();
  EXPECT_EQ(S().readerOpen(engine_), -1);  // detached ...
  EXPECT_EQ(S().has(engine_), 0);
  EXPECT_EQ(S().ownOpen(own), 1);  // ... but the caller's to close

  // The engine's own reader was closed when the caller's replaced it.
  ASSERT_EQ(S().setFiles(engine_, dir_), 1);
  EXPECT_EQ(S().readerOpen(engine_), 0);

  ASSERT_TRUE(S().attachOwn(engine_, dir_, &own));
  S().detach(engine_);
  EXPECT_EQ(S().has(engine_), 0);
}

TEST_P(EngineHistoryTest, RefusesNamesThatDoNotFit) {
  ASSERT_TRUE(S().write(dir_));
  ASSERT_EQ(S().setFiles(engine_, dir_), 1);
  const std::string longPath(kPathBufferSize, 'a');
  if (GetParam() == 0) {
    EXPECT_EQ(engine_.SetChangeHistoryFiles(longPath.c_str(), "x"), 0);
    EXPECT_EQ(engine_.SetChangeHistoryFiles("x", nullptr), 0);
  } else {
    EXPECT_EQ(engine_.SetChangeCodeIndexFile(longPath.c_str()), 0);
    EXPECT_EQ(engine_.SetChangeCodeIndexFile(nullptr), 0);
  }
  // The names set before still count.
  EXPECT_EQ(S().has(engine_), 1);
}
