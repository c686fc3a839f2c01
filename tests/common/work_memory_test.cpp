#include "common/work_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/test_util.h"

namespace {

// The strings in list order, walking the next links, checking the previous
// links on the way.
std::vector<std::string> InOrder(const CWorkMemory& m) {
  std::vector<std::string> out;
  int32_t previous = 0;
  for (int32_t n = m.GetFirst(); n != 0;) {
    WorkMemoryEntry e;
    EXPECT_EQ(1, m.GetEntry(static_cast<uint32_t>(n), &e));
    EXPECT_EQ(1, e.inList) << n;
    EXPECT_EQ(previous, e.previous) << n;
    const char* s = m.GetString(n);
    out.push_back(s ? s : "(none)");
    previous = n;
    n = e.next;
    if (out.size() > m.GetCount()) break;
  }
  EXPECT_EQ(previous, m.GetLast());
  return out;
}

using Lines = std::vector<std::string>;

CWorkMemory* Filled(CWorkMemory& m, const Lines& lines) {
  EXPECT_EQ(1, m.Create(4, 16));
  for (const auto& s : lines) EXPECT_NE(0, m.AddString(s.c_str()));
  return &m;
}

TEST(CWorkMemory, FirstAddEntryAfterCreate) {
  CWorkMemory m;
  ASSERT_EQ(1, m.Create(8, 64));
  EXPECT_EQ(8u * 80u + 64u, m.GetByteSize());
  EXPECT_EQ(1, m.AddEntry());
  EXPECT_EQ(1, m.GetFirst());
  EXPECT_EQ(1, m.GetLast());
  EXPECT_EQ(1u, m.GetCount());
  WorkMemoryEntry e;
  ASSERT_EQ(1, m.GetEntry(1, &e));
  EXPECT_EQ(1, e.inList);
  EXPECT_EQ(0, e.stringOffset);
  EXPECT_EQ(0, e.next);
  EXPECT_EQ(0, e.previous);
  EXPECT_EQ(nullptr, m.GetString(1));
  // Entries beyond the count but within the capacity are readable; beyond
  // the capacity they are not.
  EXPECT_EQ(1, m.GetEntry(8, &e));
  EXPECT_EQ(0, m.GetEntry(9, &e));
  EXPECT_EQ(0, m.GetEntry(0, &e));
}

TEST(CWorkMemory, CreateFailureLeavesNothing) {
  CWorkMemory m;
  EXPECT_EQ(0, m.Create(0, 64));
  EXPECT_EQ(0, m.Create(8, 0));
  EXPECT_EQ(0u, m.GetByteSize());
  EXPECT_EQ(0, m.AddEntry());
  EXPECT_EQ(0, m.AddString("x"));
}

TEST(CWorkMemory, InsertBeforeLinksACopyWithoutString) {
  CWorkMemory m;
  Filled(m, {"a", "b", "c"});
  WorkMemoryEntry e;
  ASSERT_EQ(1, m.GetEntry(2, &e));
  e.userWord1 = 77;
  e.userBytes[55] = 0x5A;
  ASSERT_EQ(1, m.SetEntry(2, &e));

  EXPECT_EQ(4, m.InsertBefore(2));  // in the middle
  ASSERT_EQ(1, m.GetEntry(4, &e));
  EXPECT_EQ(77, e.userWord1);
  EXPECT_EQ(0x5A, e.userBytes[55]);
  EXPECT_EQ(0, e.stringOffset);
  EXPECT_EQ(5, m.InsertStringBefore(1, "first"));  // at the front
  EXPECT_EQ(5, m.GetIndexAt(1));
  EXPECT_EQ(5, m.GetFirst());
  EXPECT_EQ((Lines{"first", "a", "(none)", "b", "c"}), InOrder(m));
  EXPECT_EQ(2, m.GetIndexAt(4));
  EXPECT_EQ(0, m.GetIndexAt(6));
  EXPECT_EQ(0, m.GetIndexAt(0));
  EXPECT_STREQ("b", m.GetStringAt(4));
  EXPECT_EQ(nullptr, m.GetStringAt(3));
}

TEST(CWorkMemory, RemoveOfOnlyEntryEmptiesListButKeepsCount) {
  CWorkMemory m;
  Filled(m, {"only"});
  EXPECT_EQ(1, m.Remove(1));
  EXPECT_EQ(0, m.GetFirst());
  EXPECT_EQ(0, m.GetLast());
  EXPECT_EQ(1u, m.GetCount());
  // The unlinked entry stays readable.
  WorkMemoryEntry e;
  ASSERT_EQ(1, m.GetEntry(1, &e));
  EXPECT_EQ(0, e.inList);
  EXPECT_STREQ("only", m.GetString(1));
  EXPECT_EQ(0, m.RemoveFirst());
  EXPECT_EQ(0, m.RemoveLast());
  // A new entry starts a new list.
  EXPECT_EQ(2, m.AddString("next"));
  EXPECT_EQ((Lines{"next"}), InOrder(m));
}

TEST(CWorkMemory, RemoveFirstLastAndMiddle) {
  CWorkMemory m;
  Filled(m, {"a", "b", "c", "d", "e"});
  EXPECT_EQ(1, m.RemoveFirst());
  EXPECT_EQ(1, m.RemoveLast());
  EXPECT_EQ(1, m.Remove(3));
  EXPECT_EQ((Lines{"b", "d"}), InOrder(m));
  EXPECT_EQ(1, m.Remove(4));  // the last, through Remove
  EXPECT_EQ(1, m.Remove(2));  // the first and only one
  EXPECT_EQ((Lines{}), InOrder(m));
  EXPECT_EQ(5u, m.GetCount());
}

TEST(CWorkMemory, RemovingAnEntryTwiceChangesNothing) {
  CWorkMemory m;
  Filled(m, {"a", "b", "c", "d"});
  ASSERT_EQ(1, m.Remove(1));
  ASSERT_EQ(1, m.Remove(4));
  ASSERT_EQ(1, m.Remove(3));  // now the last of b, c
  EXPECT_EQ((Lines{"b"}), InOrder(m));
  // Entries 1, 3 and 4 are unlinked: removing them again must not unlink b.
  EXPECT_EQ(0, m.Remove(1));
  EXPECT_EQ(0, m.Remove(3));
  EXPECT_EQ(0, m.Remove(4));
  EXPECT_EQ(0, m.InsertBefore(3));
  EXPECT_EQ(0, m.Remove(0));
  EXPECT_EQ(0, m.Remove(5));
  EXPECT_EQ(0, m.InsertBefore(5));
  EXPECT_EQ((Lines{"b"}), InOrder(m));
  EXPECT_EQ(4u, m.GetCount());
}

TEST(CWorkMemory, SetStringInPlaceOrAnew) {
  CWorkMemory m;
  Filled(m, {"hello", "x"});
  const int32_t old = m.SetString(1, "hi");
  EXPECT_EQ(1, old);  // the first string starts the pool
  EXPECT_STREQ("hi", m.GetString(1));
  const int32_t fresh = m.SetString(1, "a longer text");
  EXPECT_GT(fresh, old);
  EXPECT_STREQ("a longer text", m.GetString(1));
  EXPECT_STREQ("x", m.GetString(2));
  EXPECT_EQ(3, m.AddEntry());
  EXPECT_EQ(0, m.SetString(3, "y"));  // no string to replace
  EXPECT_EQ(0, m.SetString(4, "y"));
  EXPECT_EQ(nullptr, m.GetString(0));
  EXPECT_EQ(nullptr, m.GetString(4));  // count + 1
}

TEST(CWorkMemory, SwapStringsKeepsLinksAndCallerFields) {
  CWorkMemory m;
  Filled(m, {"one", "two"});
  WorkMemoryEntry e;
  ASSERT_EQ(1, m.GetEntry(1, &e));
  e.userWord2 = 5;
  ASSERT_EQ(1, m.SetEntry(1, &e));
  ASSERT_EQ(1, m.SwapStrings(1, 2));
  EXPECT_EQ((Lines{"two", "one"}), InOrder(m));
  ASSERT_EQ(1, m.GetEntry(1, &e));
  EXPECT_EQ(5, e.userWord2);
  EXPECT_EQ(2, e.next);
  EXPECT_EQ(1, m.SwapStrings(2, 2));
  EXPECT_EQ(0, m.SwapStrings(1, 3));
}

TEST(CWorkMemory, GetEntryAndStringRefusesASmallBuffer) {
  CWorkMemory m;
  Filled(m, {"abcdef"});
  m.AddEntry();
  WorkMemoryEntry e;
  char text[8] = "stale";
  ASSERT_EQ(1, m.GetEntryAndString(1, &e, text, sizeof text));
  EXPECT_STREQ("abcdef", text);
  EXPECT_EQ(0, m.GetEntryAndString(1, &e, text, 6));
  EXPECT_STREQ("", text);
  std::strcpy(text, "stale");
  ASSERT_EQ(1, m.GetEntryAndString(2, &e, text, sizeof text));  // no string
  EXPECT_STREQ("", text);
}

TEST(CWorkMemory, GrowsEntriesAndPoolPastTheirSteps) {
  CWorkMemory m;
  ASSERT_EQ(1, m.Create(1, 1));
  for (int i = 1; i <= 40000; ++i) {
    ASSERT_EQ(i, m.AddString(std::to_string(i).c_str()));
  }
  // A string longer than the free pool space plus one growth step.
  const std::string big(100000, 'q');
  ASSERT_EQ(40001, m.AddString(big.c_str()));
  // A text taken from the pool itself while the pool grows.
  const std::string again(m.GetString(40001));
  ASSERT_EQ(40002, m.AddString(m.GetString(40001)));
  EXPECT_EQ(again, m.GetString(40002));
  ASSERT_GT(m.SetString(7, m.GetString(40002)), 0);
  EXPECT_EQ(big, m.GetString(7));
  EXPECT_STREQ("39999", m.GetString(39999));
  EXPECT_EQ(40002u, m.GetCount());
  EXPECT_EQ(40001, m.GetIndexAt(40001));
}

TEST(CWorkMemory, ResetKeepsStorageAndFreeReleasesIt) {
  CWorkMemory m;
  Filled(m, {"a", "b"});
  const uint32_t size = m.GetByteSize();
  m.Reset();
  EXPECT_EQ(size, m.GetByteSize());
  EXPECT_EQ(0u, m.GetCount());
  EXPECT_EQ(0, m.GetFirst());
  EXPECT_EQ(nullptr, m.GetString(1));
  EXPECT_EQ(1, m.AddString("c"));
  EXPECT_EQ(3, m.StoreString("d"));  // the pool started again at 1 with "c"
  m.Free();
  EXPECT_EQ(0u, m.GetByteSize());
  EXPECT_EQ(0, m.AddEntry());
}

TEST(CWorkMemory, TrimmedSpan) {
  CWorkMemory m;
  Filled(m, {"  ab c  ", "   ", "", "x"});
  int32_t start = 0, end = 0;
  ASSERT_EQ(1, m.GetTrimmedSpanAt(1, &start, &end));
  EXPECT_EQ(3, start);
  EXPECT_EQ(6, end);
  ASSERT_EQ(1, m.GetTrimmedSpanAt(2, &start, &end));
  EXPECT_EQ(start, end);
  ASSERT_EQ(1, m.GetTrimmedSpanAt(4, &start, &end));
  EXPECT_EQ(1, start);
  EXPECT_EQ(1, end);
  EXPECT_EQ(0, m.GetTrimmedSpanAt(5, &start, &end));
}

TEST(CWorkMemory, FindsInListOrderAndWholeCharacters) {
  CWorkMemory m;
  const std::string table = testutil::Sjis(u8"表示");  // 95 5C 8E A6
  Filled(m, {"dup", table, "other"});
  EXPECT_EQ(0, m.FindInString(2, "\\"));  // 0x5C is only a trail byte here
  EXPECT_EQ(3, m.FindInString(2, testutil::Sjis(u8"示").c_str()));
  EXPECT_EQ(0, m.FindInString(4, "x"));
  // A later entry linked before the first one is found first.
  ASSERT_EQ(4, m.InsertStringBefore(1, "dup"));
  EXPECT_EQ(4, m.FindString("dup"));
  EXPECT_EQ(3, m.FindString("other"));
  EXPECT_EQ(0, m.FindString("du"));
  ASSERT_EQ(1, m.Remove(4));
  EXPECT_EQ(1, m.FindString("dup"));
}

TEST(CWorkMemory, LoadTextFileCountsOneAboveTheLines) {
  testutil::TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("three.txt"), "one\r\ntwo\nthree"));
  CWorkMemory m;
  ASSERT_EQ(1, m.Create(2, 8));
  uint32_t count = 0;
  ASSERT_EQ(1, m.LoadTextFile(dir.Sys("three.txt").c_str(), &count));
  EXPECT_EQ(4u, count);
  EXPECT_EQ(3u, m.GetCount());
  EXPECT_EQ((Lines{"one", "two", "three"}), InOrder(m));
  EXPECT_EQ(0, m.LoadTextFile(dir.Sys("missing.txt").c_str(), &count));
  EXPECT_EQ(0u, count);
}

}  // namespace
