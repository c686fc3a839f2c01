// The kept names of folders used from several threads at once (also run
// under ThreadSanitizer): searches of names under another letter case,
// listings and their lookups, while other threads make files in the same
// folders and so replace the names kept for them; and listings kept under
// the change watch while threads make and remove files.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "plat/file.h"
#include "plat/file_stamp.h"
#include "plat/path.h"
#include "support/test_util.h"

namespace {

TEST(FolderNamesThreads, KeptNamesAreSafeWhileOtherThreadsMakeFiles) {
  testutil::TempDir dir;
  for (const char* name : {"Shared.txt", "Other.dat"})
    ASSERT_TRUE(testutil::WriteBytes(dir.Native(name), "x"));
  constexpr int kThreads = 4;
  constexpr int kRounds = 150;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        // A scope on every other round: kept names answer within it.
        std::optional<plat::StampScope> scope;
        if (i % 2 == 0) scope.emplace();
        std::string native;
        // Another case: a search of the folder's names.
        if (!plat::path::Resolve(dir.Sys("SHARED.TXT").c_str(), false, native) ||
            native != dir.Native("Shared.txt"))
          ++wrong;
        const auto listing = plat::GetFolderListing(dir.path().c_str());
        if (!listing || !listing->Contains("OTHER.DAT") || listing->Contains("NONE.DAT")) ++wrong;
        // A new file changes the folder: every thread's next look takes
        // new names while others may still use the old ones.
        const std::string made = "T" + std::to_string(t) + "_" + std::to_string(i) + ".TMP";
        plat::File file;
        if (!file.Open(dir.Sys(made).c_str(), plat::ModeWrite | plat::ModeCreate)) ++wrong;
        file.Close();
        if (!plat::path::Resolve(dir.Sys(made).c_str(), false, native)) ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(testutil::FolderNames(dir.path()).size(), 2u + kThreads * kRounds);
}

// Under the change watch, a thread's call sees the names as they stood when
// the call began, whichever thread read the watch's reports of them: each
// thread makes a file and removes the one it made before, then in a call
// of its own finds the new name in the folder's listing and not the old
// one, while the other threads do the same in the same folder.
TEST(FolderNamesThreads, AWatchedListingShowsWhatAThreadMadeBeforeItsCall) {
  { plat::StampScope call; }  // the watch starts once a call has ended
  testutil::TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("Shared.txt"), "x"));
  constexpr int kThreads = 4;
  constexpr int kRounds = 150;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::string before;
      for (int i = 0; i < kRounds; ++i) {
        const std::string made = "W" + std::to_string(t) + "_" + std::to_string(i) + ".TMP";
        if (!testutil::WriteBytes(dir.Native(made), "y")) ++wrong;
        if (!before.empty() && unlink(dir.Native(before).c_str()) != 0) ++wrong;
        plat::StampScope call;
        const auto listing = plat::GetFolderListing(dir.path().c_str());
        if (!listing || !listing->Contains(made.c_str()) || !listing->Contains("SHARED.TXT") ||
            (!before.empty() && listing->Contains(before.c_str())))
          ++wrong;
        before = made;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
