#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "plat/message.h"

namespace {

// Records every message it is handed, with the thread that ran it.
class Recorder : public plat::MessageTarget {
 public:
  struct Entry {
    std::uint32_t msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    std::thread::id thread;
  };
  std::vector<Entry> seen;  // owner thread only
  int finalMessages = 0;
  bool handles = true;
  std::function<void(const Entry&)> onMessage;

  bool ProcessWindowMessage(plat::HWND, std::uint32_t msg, std::uintptr_t wParam,
                            std::intptr_t lParam, std::intptr_t& lResult,
                            std::uint32_t mapId) override {
    EXPECT_EQ(mapId, 0u);
    seen.push_back({msg, wParam, lParam, std::this_thread::get_id()});
    lResult = 0;
    if (onMessage) onMessage(seen.back());
    return handles;
  }
  void OnFinalMessage(plat::HWND) override { ++finalMessages; }
};

// Payloads: a heap counter that records its own release.
std::atomic<int> gReleased{0};
void ReleaseBox(std::uintptr_t w) {
  delete reinterpret_cast<int*>(w);
  gReleased.fetch_add(1);
}
std::uintptr_t Box(int v) { return reinterpret_cast<std::uintptr_t>(new int(v)); }

class MessageQueue : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::PumpMessages();  // nothing left over from another test
    gReleased = 0;
  }
};

}  // namespace

TEST_F(MessageQueue, WorkerPostsRunOnTheOwnerInOrderOnlyWhenItPumps) {
  Recorder r;
  plat::HWND h = plat::CreateWindow(&r);
  ASSERT_NE(h, nullptr);
  const auto owner = std::this_thread::get_id();

  std::thread worker([&] {
    for (int i = 0; i < 50; ++i) EXPECT_TRUE(plat::PostMessage(h, plat::WM_USER + 7, i, -i));
  });
  worker.join();
  EXPECT_TRUE(r.seen.empty());  // nothing runs before the owner pumps

  std::size_t elsewhere = 99;
  std::thread other([&] { elsewhere = plat::PumpMessages(); });
  other.join();
  EXPECT_EQ(elsewhere, 0u);
  EXPECT_TRUE(r.seen.empty());

  EXPECT_EQ(plat::PumpMessages(), 50u);
  ASSERT_EQ(r.seen.size(), 50u);
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(r.seen[i].msg, plat::WM_USER + 7);
    EXPECT_EQ(r.seen[i].wParam, static_cast<std::uintptr_t>(i));
    EXPECT_EQ(r.seen[i].lParam, -i);
    EXPECT_EQ(r.seen[i].thread, owner);
  }
  EXPECT_EQ(plat::PumpMessages(), 0u);  // each exactly once
  EXPECT_EQ(r.seen.size(), 50u);
  EXPECT_TRUE(plat::DestroyWindow(h));
}

TEST_F(MessageQueue, ConcurrentPostersKeepTheirOwnOrderAcrossWindows) {
  Recorder a, b;
  plat::HWND ha = plat::CreateWindow(&a);
  plat::HWND hb = plat::CreateWindow(&b);
  constexpr int kPerWorker = 400;
  std::atomic<bool> go{false};
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&, w] {
      while (!go) std::this_thread::yield();
      for (int i = 0; i < kPerWorker; ++i)
        plat::PostMessage((i % 2) ? ha : hb, plat::WM_USER, static_cast<std::uintptr_t>(w), i);
    });
  }
  go = true;
  // Pump while the workers post.
  std::size_t total = 0;
  ASSERT_TRUE(plat::PumpUntil(
      [&] {
        total = a.seen.size() + b.seen.size();
        return total == 4u * kPerWorker;
      },
      20000));
  for (auto& t : workers) t.join();
  EXPECT_EQ(plat::PumpMessages(), 0u);
  for (Recorder* r : {&a, &b}) {
    std::intptr_t last[4] = {-1, -1, -1, -1};
    for (const auto& e : r->seen) {
      ASSERT_LT(e.wParam, 4u);
      EXPECT_GT(e.lParam, last[e.wParam]);
      last[e.wParam] = e.lParam;
    }
  }
  EXPECT_EQ(a.seen.size(), 2u * kPerWorker);
  EXPECT_TRUE(plat::DestroyWindow(ha));
  EXPECT_TRUE(plat::DestroyWindow(hb));
}

TEST_F(MessageQueue, PostingOnTheOwnerThreadNeverRunsInline) {
  Recorder r;
  plat::HWND h = plat::CreateWindow(&r);
  EXPECT_TRUE(plat::PostMessage(h, 1, 0, 0));
  EXPECT_TRUE(r.seen.empty());
  EXPECT_TRUE(plat::WaitMessage(0));
  EXPECT_EQ(plat::PumpMessages(), 1u);
  EXPECT_FALSE(plat::WaitMessage(0));
  EXPECT_TRUE(plat::DestroyWindow(h));
}

TEST_F(MessageQueue, UnhandledMessagesStillFreeTheirPayload) {
  Recorder r;
  r.handles = false;
  plat::HWND h = plat::CreateWindow(&r);
  EXPECT_TRUE(plat::PostMessage(h, 2023, Box(1), 0, &ReleaseBox));
  EXPECT_EQ(plat::PumpMessages(), 1u);
  EXPECT_EQ(r.seen.size(), 1u);
  EXPECT_EQ(gReleased, 1);
  EXPECT_TRUE(plat::DestroyWindow(h));
}

TEST_F(MessageQueue, DestroyedWindowDropsQueuedMessagesAndFreesThem) {
  Recorder r, keep;
  plat::HWND h = plat::CreateWindow(&r);
  plat::HWND k = plat::CreateWindow(&keep);
  std::thread worker([&] {
    for (int i = 0; i < 3; ++i) plat::PostMessage(h, 5, Box(i), 0, &ReleaseBox);
    plat::PostMessage(k, 6, Box(9), 0, &ReleaseBox);
  });
  worker.join();

  EXPECT_TRUE(plat::DestroyWindow(h));
  EXPECT_EQ(gReleased, 3);  // dropped at once, not at the next pump
  EXPECT_EQ(r.finalMessages, 1);
  EXPECT_FALSE(plat::IsWindow(h));
  EXPECT_FALSE(plat::DestroyWindow(h));  // no second destroy
  EXPECT_EQ(r.finalMessages, 1);

  // A post to the destroyed window is refused and its payload freed.
  EXPECT_FALSE(plat::PostMessage(h, 5, Box(4), 0, &ReleaseBox));
  EXPECT_EQ(gReleased, 4);

  EXPECT_EQ(plat::PumpMessages(), 1u);  // the other window's message is kept
  EXPECT_TRUE(r.seen.empty());
  ASSERT_EQ(keep.seen.size(), 1u);
  EXPECT_EQ(keep.seen[0].msg, 6u);
  EXPECT_EQ(gReleased, 5);
  EXPECT_TRUE(plat::DestroyWindow(k));
}

TEST_F(MessageQueue, NullAndUnknownHandlesAreRefused) {
  EXPECT_EQ(plat::CreateWindow(nullptr), nullptr);
  EXPECT_FALSE(plat::IsWindow(nullptr));
  EXPECT_FALSE(plat::PostMessage(nullptr, 1, Box(0), 0, &ReleaseBox));
  EXPECT_EQ(gReleased, 1);
  EXPECT_FALSE(plat::DestroyWindow(nullptr));
  plat::HWND stale;
  {
    Recorder r;
    stale = plat::CreateWindow(&r);
    EXPECT_TRUE(plat::DestroyWindow(stale));
  }
  Recorder fresh;
  plat::HWND h = plat::CreateWindow(&fresh);
  EXPECT_NE(h, stale);  // handles are not reused
  EXPECT_FALSE(plat::PostMessage(stale, 1, 0, 0));
  EXPECT_TRUE(plat::DestroyWindow(h));
}

TEST_F(MessageQueue, OnlyTheOwnerThreadDestroysAWindow) {
  Recorder r;
  plat::HWND h = plat::CreateWindow(&r);
  bool destroyedElsewhere = true;
  std::thread other([&] { destroyedElsewhere = plat::DestroyWindow(h); });
  other.join();
  EXPECT_FALSE(destroyedElsewhere);
  EXPECT_TRUE(plat::IsWindow(h));
  EXPECT_TRUE(plat::DestroyWindow(h));
}

TEST_F(MessageQueue, WindowsEndWithTheirThreadAndPendingPayloadsAreFreed) {
  std::atomic<plat::HWND> h{nullptr};
  std::atomic<bool> posted{false};
  Recorder r;  // outlives the thread
  std::thread owner([&] {
    h = plat::CreateWindow(&r);
    while (!posted) std::this_thread::yield();
    // ends without pumping
  });
  while (!h) std::this_thread::yield();
  EXPECT_TRUE(plat::PostMessage(h, 3, Box(1), 0, &ReleaseBox));
  EXPECT_TRUE(plat::PostMessage(h, 3, Box(2), 0, &ReleaseBox));
  posted = true;
  owner.join();
  EXPECT_EQ(gReleased, 2);
  EXPECT_TRUE(r.seen.empty());
  EXPECT_FALSE(plat::IsWindow(h));
  EXPECT_FALSE(plat::PostMessage(h, 3, Box(3), 0, &ReleaseBox));
  EXPECT_EQ(gReleased, 3);
}

TEST_F(MessageQueue, HandlersCreateAndDestroyWindowsAndPumpAgain) {
  Recorder first, second;
  plat::HWND h1 = plat::CreateWindow(&first);
  plat::HWND h2 = nullptr;
  std::vector<int> order;
  first.onMessage = [&](const Recorder::Entry& e) {
    order.push_back(static_cast<int>(e.lParam));
    if (e.lParam == 1) {
      // Make a new window, post to it, destroy our own, and pump inside.
      h2 = plat::CreateWindow(&second);
      EXPECT_TRUE(plat::PostMessage(h2, 9, 0, 100));
      EXPECT_TRUE(plat::DestroyWindow(h1));
      EXPECT_EQ(plat::PumpMessages(), 1u);  // only h2's message is left
    }
  };
  second.onMessage = [&](const Recorder::Entry& e) { order.push_back(static_cast<int>(e.lParam)); };
  plat::PostMessage(h1, 9, Box(0), 1, &ReleaseBox);
  plat::PostMessage(h1, 9, Box(0), 2, &ReleaseBox);  // dropped by the destroy
  plat::PostMessage(h1, 9, Box(0), 3, &ReleaseBox);
  EXPECT_EQ(plat::PumpMessages(), 1u);
  EXPECT_EQ(order, (std::vector<int>{1, 100}));
  EXPECT_EQ(gReleased, 3);
  EXPECT_EQ(plat::PumpMessages(), 0u);
  EXPECT_TRUE(plat::DestroyWindow(h2));
}

TEST_F(MessageQueue, NestedPumpKeepsPostingOrder) {
  Recorder r;
  plat::HWND h = plat::CreateWindow(&r);
  std::vector<int> order;
  r.onMessage = [&](const Recorder::Entry& e) {
    order.push_back(static_cast<int>(e.lParam));
    if (e.lParam == 1) {
      plat::PostMessage(h, 0, 0, 4);  // posted after 2 and 3
      plat::PumpMessages();
    }
  };
  for (int i = 1; i <= 3; ++i) plat::PostMessage(h, 0, 0, i);
  plat::PumpMessages();
  plat::PumpMessages();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_TRUE(plat::DestroyWindow(h));
}

TEST_F(MessageQueue, PumpMessagesLeavesWhatHandlersPostForTheNextPump) {
  Recorder r;
  plat::HWND h = plat::CreateWindow(&r);
  int runs = 0;
  r.onMessage = [&](const Recorder::Entry&) {
    if (++runs < 5) plat::PostMessage(h, 0, 0, 0);  // re-posts itself
  };
  plat::PostMessage(h, 0, 0, 0);
  EXPECT_EQ(plat::PumpMessages(), 1u);
  EXPECT_EQ(plat::PumpMessages(), 1u);
  EXPECT_TRUE(plat::PumpUntil([&] { return runs == 5; }, 10000));
  EXPECT_TRUE(plat::DestroyWindow(h));
}

TEST_F(MessageQueue, PumpUntilWaitsForAWorkerAndGivesUpWhenNothingComes) {
  Recorder r;
  plat::HWND h = plat::CreateWindow(&r);
  EXPECT_FALSE(plat::PumpUntil([&] { return !r.seen.empty(); }, 1));
  std::thread worker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    plat::PostMessage(h, 11, 0, 0);
  });
  EXPECT_TRUE(plat::PumpUntil([&] { return !r.seen.empty(); }, 20000));
  worker.join();
  EXPECT_EQ(r.seen.front().msg, 11u);
  EXPECT_TRUE(plat::DestroyWindow(h));
}

TEST_F(MessageQueue, WindowsComeAndGoWhileOtherThreadsPost) {
  // The owner creates and destroys windows while workers post to whichever
  // handle they last saw; every payload is freed exactly once.
  std::atomic<plat::HWND> current{nullptr};
  std::atomic<bool> stop{false};
  std::atomic<int> posted{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < 3; ++w) {
    workers.emplace_back([&] {
      while (!stop) {
        plat::HWND h = current.load();
        plat::PostMessage(h, 1, Box(0), 0, &ReleaseBox);
        posted.fetch_add(1);
        (void)plat::IsWindow(h);
      }
    });
  }
  int handled = 0;
  for (int round = 0; round < 200; ++round) {
    Recorder r;
    r.onMessage = [&](const Recorder::Entry&) { ++handled; };
    plat::HWND h = plat::CreateWindow(&r);
    current = h;
    plat::PumpMessages();
    current = nullptr;
    ASSERT_TRUE(plat::DestroyWindow(h));
  }
  stop = true;
  for (auto& t : workers) t.join();
  plat::PumpMessages();
  EXPECT_EQ(gReleased.load(), posted.load());
  EXPECT_LE(handled, posted.load());
}
