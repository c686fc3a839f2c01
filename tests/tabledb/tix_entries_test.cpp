// Runs of address-index entries read at once (CTixFile::ReadEntries)
// against the same entries read one by one (ReadEntry): the same entries,
// stopping at the same one with the same message, across the runs the
// reader reads at once, in files cut short, past entry 65535, closed.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/message.h"
#include "support/test_util.h"
#include "tabledb/tix_format.h"

using testutil::TempDir;

namespace {

void Put(std::string* s, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s->push_back(static_cast<char>(v >> (8 * i)));
}

// An index of kind 1 whose oaza level holds `oaza` entries (the others one
// each); entry k of the level (0-based) names record 1000 + k, child base
// 7 * k and k % 5 children.
std::string Index(uint32_t oaza) {
  std::string s = kTixMagic;
  const uint32_t counts[kTixLevelCount] = {1, 1, oaza, 1, 1};
  uint32_t offset = kTixHeaderSize;
  for (const uint32_t count : counts) {
    Put(&s, offset, 4);
    Put(&s, count, 4);
    offset += count * kTixEntrySize;
  }
  for (int level = 0; level < kTixLevelCount; ++level) {
    for (uint32_t k = 0; k < counts[level]; ++k) {
      const uint32_t tag = level == kTixOaza ? k : 90000 + static_cast<uint32_t>(level);
      Put(&s, 1000 + tag, 4);
      Put(&s, 7 * tag, 4);
      Put(&s, tag % 5, 2);
    }
  }
  return s;
}

// Reads the run both ways; the count read one by one.
uint32_t Compare(CTixFile& tix, int level, uint32_t base, uint16_t first, uint32_t count) {
  std::vector<TixEntry> one(count + 1);
  char msgOne[kMessageSize] = "(none)";
  uint32_t byOne = 0;
  while (byOne < count && static_cast<uint32_t>(first) + byOne <= UINT16_MAX &&
         tix.ReadEntry(level, base, static_cast<uint16_t>(first + byOne), &one[byOne], msgOne)) {
    ++byOne;
  }
  std::vector<TixEntry> run(count + 1);
  char msgRun[kMessageSize] = "(none)";
  const uint32_t byRun = tix.ReadEntries(level, base, first, count, run.data(), msgRun);
  const std::string where = "base " + std::to_string(base) + " first " + std::to_string(first) +
                            " count " + std::to_string(count);
  EXPECT_EQ(byRun, byOne) << where;
  EXPECT_STREQ(msgRun, msgOne) << where;
  for (uint32_t k = 0; k < byOne && k < byRun; ++k) {
    EXPECT_EQ(run[k].record, one[k].record) << where << " entry " << k;
    EXPECT_EQ(run[k].childBase, one[k].childBase) << where << " entry " << k;
    EXPECT_EQ(run[k].childCount, one[k].childCount) << where << " entry " << k;
  }
  return byOne;
}

}  // namespace

TEST(TixEntries, RunsReadAsTheEntriesOneByOne) {
  TempDir dir;
  const std::string bytes = Index(300);
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("QVAD01.TIX"), bytes));
  CTixFile tix;
  ASSERT_EQ(tix.Open(dir.Sys("QVAD01.TIX").c_str(), 1), 1);

  // Whole runs, runs across the reader's own runs of 64, runs that reach
  // past the level (into the next ones) and past the file's end.
  uint32_t total = 0;
  for (const uint32_t base : {0u, 10u, 70u, 2990u}) {
    for (const uint16_t first : {1, 2, 63, 64, 65, 128, 129, 299, 300, 301, 320}) {
      for (const uint32_t count : {0u, 1u, 63u, 64u, 65u, 129u, 300u, 400u}) {
        total += Compare(tix, kTixOaza, base, first, count);
      }
    }
  }
  EXPECT_GT(total, 10000u);

  // The values themselves: entry n of the level under base 0.
  std::vector<TixEntry> run(300);
  char msg[kMessageSize] = "";
  ASSERT_EQ(tix.ReadEntries(kTixOaza, 0, 1, 300, run.data(), msg), 300u);
  for (uint32_t k = 0; k < 300; ++k) {
    EXPECT_EQ(run[k].record, 1000 + k);
    EXPECT_EQ(run[k].childBase, 7 * k);
    EXPECT_EQ(run[k].childCount, k % 5);
  }
  // Entry 0 does not exist: nothing is read, with the read message.
  EXPECT_EQ(tix.ReadEntries(kTixOaza, 10, 0, 5, run.data(), msg), 0u);
  EXPECT_NE(std::string(msg).find("QVAD01.TIX"), std::string::npos);
  Compare(tix, kTixOaza, 10, 0, 5);
  // No room for the entries.
  EXPECT_EQ(tix.ReadEntries(kTixOaza, 0, 1, 5, nullptr, msg), 0u);
  // A child base that puts the run past 4 GB does not wrap round.
  Compare(tix, kTixOaza, 0xFFFFFFFFu - 200, 1, 64);
  Compare(tix, kTixPrefecture, 0, 1, 3);

  tix.Close();
  msg[0] = '\0';
  EXPECT_EQ(tix.ReadEntries(kTixOaza, 0, 1, 5, run.data(), msg), 0u);
  EXPECT_STRNE(msg, "");
}

TEST(TixEntries, FileCutShortStopsTheRunWhereTheEntriesStop) {
  TempDir dir;
  const std::string bytes = Index(150);
  const uint32_t oazaAt = kTixHeaderSize + 2 * kTixEntrySize;
  for (uint32_t entries = 0; entries <= 150; entries += 7) {
    for (const uint32_t extra : {0u, 3u, 9u}) {
      const std::string cut = bytes.substr(0, oazaAt + entries * kTixEntrySize + extra);
      ASSERT_TRUE(testutil::WriteBytes(dir.Native("CUT.TIX"), cut));
      CTixFile tix;
      ASSERT_EQ(tix.Open(dir.Sys("CUT.TIX").c_str(), 1), 1);
      EXPECT_EQ(Compare(tix, kTixOaza, 0, 1, 150), entries) << cut.size();
      Compare(tix, kTixOaza, 0, 60, 90);
      Compare(tix, kTixOaza, 30, 1, 150);
    }
  }
}

TEST(TixEntries, NoEntryPastTheLastNumberIsRead) {
  TempDir dir;
  // 65,535 entries and ten more bytes' worth: the run from 65,530 stops at
  // the last entry a number can name.
  const std::string bytes = Index(65545);
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("BIG.TIX"), bytes));
  CTixFile tix;
  ASSERT_EQ(tix.Open(dir.Sys("BIG.TIX").c_str(), 1), 1);
  std::vector<TixEntry> run(20);
  char msg[kMessageSize] = "(none)";
  EXPECT_EQ(tix.ReadEntries(kTixOaza, 0, 65530, 20, run.data(), msg), 6u);
  EXPECT_EQ(run[5].record, 1000u + 65534u);
  EXPECT_EQ(Compare(tix, kTixOaza, 0, 65530, 20), 6u);
  EXPECT_EQ(Compare(tix, kTixOaza, 0, 65400, 200), 136u);
  EXPECT_EQ(Compare(tix, kTixOaza, 0, 1, 65535), 65535u);
}
