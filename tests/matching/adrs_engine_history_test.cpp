// The address engine's change-history readers: opened lazily from file
// names, once per setting, and only when the search context uses them.

#include <gtest/gtest.h>

#include <string>

#include "common/message.h"
#include "matching/adrs_context.h"
#include "support/test_util.h"
#include "tabledb/adrs_engine.h"
#include "tabledb/change_history.h"
#include "tabledb/change_history_builder.h"

using testutil::Show;
using testutil::TempDir;

namespace {

class EngineHistoryTest : public ::testing::Test {
 protected:
  std::string Cdb() const { return dir_.Sys("QAD_CH13.CDB"); }
  std::string Cix() const { return dir_.Sys("QAD_CH13.CIX"); }

  // A change history of one block of 丸の内一丁目.
  void WriteHistory() {
    CChangeHistoryBuilder b;
    char msg[kMessageSize] = "";
    ASSERT_EQ(b.Init(4, 4, 200), 1);
    ASSERT_EQ(b.AddRecord("13101001001", "00001", "", 128452000, 503158000, "2000", "１", "", "",
                          "", 0, "1"),
              1);
    ASSERT_EQ(b.SortByNames(msg), 1) << Show(msg);
    ASSERT_EQ(b.WriteCompiledData(Cdb().c_str(), Cix().c_str(), msg), 1) << Show(msg);
  }

  TempDir dir_;
  CAdrsEngine engine_;
};

}  // namespace

TEST_F(EngineHistoryTest, OpensOnTheFirstQuestionOnly) {
  WriteHistory();
  ASSERT_EQ(engine_.SetChangeHistoryFiles(Cdb().c_str(), Cix().c_str()), 1);
  CChangeHistory* reader = engine_.GetChangeHistory();
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->IsOpen(), 0);  // nothing opened yet
  EXPECT_EQ(engine_.HasChangeHistory(), 1);
  EXPECT_EQ(reader->IsOpen(), 1);
  EXPECT_STREQ(reader->GetDataPath(), Cdb().c_str());
  EXPECT_STREQ(reader->GetIndexPath(), Cix().c_str());
  EXPECT_EQ(engine_.HasChangeHistory(), 1);
  EXPECT_EQ(engine_.GetChangeHistory(), reader);
}

TEST_F(EngineHistoryTest, AMissingPairIsTriedOncePerSettingOfTheNames) {
  ASSERT_EQ(engine_.SetChangeHistoryFiles(Cdb().c_str(), Cix().c_str()), 1);
  EXPECT_EQ(engine_.HasChangeHistory(), 0);
  // The pair appears, but the engine does not look again ...
  WriteHistory();
  EXPECT_EQ(engine_.HasChangeHistory(), 0);
  EXPECT_EQ(engine_.GetChangeHistory()->IsOpen(), 0);
  // ... until the names are set anew, as after the next opening.
  ASSERT_EQ(engine_.SetChangeHistoryFiles(Cdb().c_str(), Cix().c_str()), 1);
  EXPECT_EQ(engine_.HasChangeHistory(), 1);
}

TEST_F(EngineHistoryTest, CloseClosesTheOwnReaderAndForgetsItsNames) {
  WriteHistory();
  ASSERT_EQ(engine_.SetChangeHistoryFiles(Cdb().c_str(), Cix().c_str()), 1);
  ASSERT_EQ(engine_.HasChangeHistory(), 1);
  CChangeHistory* reader = engine_.GetChangeHistory();
  engine_.Close();
  EXPECT_EQ(reader->IsOpen(), 0);
  // No names are left to open.
  EXPECT_EQ(engine_.HasChangeHistory(), 0);
  ASSERT_EQ(engine_.SetChangeHistoryFiles(Cdb().c_str(), Cix().c_str()), 1);
  EXPECT_EQ(engine_.HasChangeHistory(), 1);
}

TEST_F(EngineHistoryTest, RefusesNamesThatDoNotFit) {
  WriteHistory();
  ASSERT_EQ(engine_.SetChangeHistoryFiles(Cdb().c_str(), Cix().c_str()), 1);
  const std::string longPath(512, 'a');
  EXPECT_EQ(engine_.SetChangeHistoryFiles(longPath.c_str(), Cix().c_str()), 0);
  EXPECT_EQ(engine_.SetChangeHistoryFiles(Cdb().c_str(), nullptr), 0);
  // The names set before still count.
  EXPECT_EQ(engine_.HasChangeHistory(), 1);
}

TEST_F(EngineHistoryTest, TheContextSwitchComesFirst) {
  WriteHistory();
  CAdrsContext context;
  context.SetUseChangeHistory(0);
  ASSERT_EQ(engine_.SetContext(&context), 1);
  ASSERT_EQ(engine_.SetChangeHistoryFiles(Cdb().c_str(), Cix().c_str()), 1);
  EXPECT_EQ(engine_.HasChangeHistory(), 0);
  // Switched off, the engine did not even try: the open is still to come.
  EXPECT_EQ(engine_.GetChangeHistory()->IsOpen(), 0);
  context.SetUseChangeHistory(1);
  EXPECT_EQ(engine_.HasChangeHistory(), 1);
  context.SetUseChangeHistory(0);
  EXPECT_EQ(engine_.HasChangeHistory(), 0);

  // A caller's reader is answered for the same way.
  CChangeHistory own;
  char msg[kMessageSize] = "";
  ASSERT_EQ(own.Open(Cdb().c_str(), Cix().c_str(), msg), 1) << Show(msg);
  ASSERT_EQ(engine_.AttachChangeHistory(&own), 1);
  EXPECT_EQ(engine_.HasChangeHistory(), 0);
  context.SetUseChangeHistory(1);
  EXPECT_EQ(engine_.HasChangeHistory(), 1);

  // The context stays attached over Close.
  engine_.Close();
  EXPECT_EQ(engine_.GetContext(), &context);
}

TEST_F(EngineHistoryTest, AttachedReaderIsUsedAndOnlyDetachedByClose) {
  WriteHistory();
  EXPECT_EQ(engine_.HasChangeHistory(), 0);  // nothing attached
  CChangeHistory own;
  char msg[kMessageSize] = "";
  ASSERT_EQ(own.Open(Cdb().c_str(), Cix().c_str(), msg), 1) << Show(msg);

  // Attaching replaces a reader the engine opened from names, and closes it.
  ASSERT_EQ(engine_.SetChangeHistoryFiles(Cdb().c_str(), Cix().c_str()), 1);
  ASSERT_EQ(engine_.HasChangeHistory(), 1);
  CChangeHistory* embedded = engine_.GetChangeHistory();
  ASSERT_EQ(engine_.AttachChangeHistory(&own), 1);
  EXPECT_EQ(embedded->IsOpen(), 0);
  EXPECT_EQ(engine_.GetChangeHistory(), &own);
  EXPECT_EQ(engine_.HasChangeHistory(), 1);

  engine_.Close();
  EXPECT_EQ(engine_.GetChangeHistory(), nullptr);
  EXPECT_EQ(engine_.HasChangeHistory(), 0);
  EXPECT_EQ(own.IsOpen(), 1);  // the caller's reader is the caller's to close

  ASSERT_EQ(engine_.AttachChangeHistory(&own), 1);
  ASSERT_EQ(engine_.AttachChangeHistory(nullptr), 1);
  EXPECT_EQ(engine_.HasChangeHistory(), 0);
}
