#include "toll/delay_call.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// What a posted call leaves behind: its argument and the thread it ran on.
struct CallLog {
  std::vector<int> values;
  std::vector<std::thread::id> threads;
};

int Record(void* object, void* argument) {
  auto* log = static_cast<CallLog*>(object);
  log->values.push_back(*static_cast<int*>(argument));
  log->threads.push_back(std::this_thread::get_id());
  return 7;  // ignored
}

}  // namespace

TEST(DelayCall, CallsPostedByAWorkerRunOnTheCreatingThreadInOrderWhenItPumps) {
  DelayCall dc;
  ASSERT_TRUE(dc.Create());
  EXPECT_TRUE(dc.IsWindow());
  CallLog log;
  int first = 1, second = 2;
  std::thread worker([&] {
    dc.post(&Record, &log, &first);
    dc.post(&Record, &log, &second);
  });
  worker.join();
  EXPECT_TRUE(log.values.empty());

  // Another thread's pump runs none of them.
  std::size_t ranElsewhere = 99;
  std::thread other([&] { ranElsewhere = plat::PumpMessages(); });
  other.join();
  EXPECT_EQ(ranElsewhere, 0u);
  EXPECT_TRUE(log.values.empty());

  EXPECT_EQ(plat::PumpMessages(), 2u);
  EXPECT_EQ(log.values, (std::vector<int>{1, 2}));
  ASSERT_EQ(log.threads.size(), 2u);
  EXPECT_EQ(log.threads[0], std::this_thread::get_id());
  EXPECT_EQ(log.threads[1], std::this_thread::get_id());
  EXPECT_EQ(plat::PumpMessages(), 0u);  // exactly once
  EXPECT_EQ(log.values.size(), 2u);
}

TEST(DelayCall, OnlyItsOwnMessageIsHandled) {
  DelayCall dc;
  ASSERT_TRUE(dc.Create());
  CallLog log;
  int v = 5;
  DelayCallRecord record{&Record, &log, &v};
  const auto w = reinterpret_cast<std::uintptr_t>(&record);
  std::intptr_t result = -1;
  EXPECT_EQ(DelayCall::kMessage, 2024u);
  EXPECT_FALSE(dc.ProcessWindowMessage(dc.hwnd(), 2023, w, 0, result, 0));
  EXPECT_FALSE(dc.ProcessWindowMessage(dc.hwnd(), 2025, w, 0, result, 0));
  EXPECT_FALSE(dc.ProcessWindowMessage(dc.hwnd(), 2024, w, 0, result, 1));  // other map
  EXPECT_EQ(result, -1);
  EXPECT_TRUE(log.values.empty());
  EXPECT_TRUE(dc.ProcessWindowMessage(dc.hwnd(), 2024, w, 0, result, 0));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(log.values, (std::vector<int>{5}));

  // Posted through the queue, a foreign message reaches the window and is
  // left alone.
  EXPECT_TRUE(plat::PostMessage(dc.hwnd(), 2025, w, 0));
  EXPECT_EQ(plat::PumpMessages(), 1u);
  EXPECT_EQ(log.values.size(), 1u);
}

TEST(DelayCall, DestroyThenDeleteDropsQueuedCallsWithoutASecondDestroy) {
  CallLog log;
  int v = 1;
  auto* dc = new DelayCall;
  ASSERT_TRUE(dc->Create());
  const plat::HWND h = dc->hwnd();
  std::thread worker([&] {
    for (int i = 0; i < 3; ++i) dc->post(&Record, &log, &v);
  });
  worker.join();
  // The owner destroys the window behind the object's back, as a host may.
  EXPECT_TRUE(plat::DestroyWindow(h));
  EXPECT_FALSE(dc->IsWindow());
  dc->post(&Record, &log, &v);  // lost, and freed
  delete dc;                    // finds no window: nothing more to destroy
  EXPECT_EQ(plat::PumpMessages(), 0u);
  EXPECT_TRUE(log.values.empty());

  // Through the object's own DestroyWindow the same holds.
  DelayCall other;
  ASSERT_TRUE(other.Create());
  other.post(&Record, &log, &v);
  EXPECT_TRUE(other.DestroyWindow());
  EXPECT_FALSE(other.DestroyWindow());
  EXPECT_EQ(other.hwnd(), nullptr);
  EXPECT_EQ(plat::PumpMessages(), 0u);
  EXPECT_TRUE(log.values.empty());
}

TEST(DelayCall, DeletingWithCallsQueuedNeverRunsThem) {
  CallLog log;
  int v = 1;
  {
    DelayCall dc;
    ASSERT_TRUE(dc.Create());
    dc.post(&Record, &log, &v);
    dc.post(&Record, &log, &v);
  }
  EXPECT_EQ(plat::PumpMessages(), 0u);
  EXPECT_TRUE(log.values.empty());
}

TEST(DelayCall, PostsWithoutAWindowAreLost) {
  CallLog log;
  int v = 1;
  DelayCall dc;  // never created
  EXPECT_FALSE(dc.IsWindow());
  dc.post(&Record, &log, &v);
  EXPECT_EQ(plat::PumpMessages(), 0u);
  EXPECT_TRUE(log.values.empty());
  EXPECT_TRUE(dc.Create());
  EXPECT_FALSE(dc.Create());  // one window per object
}

namespace {

// The owner of a DelayCall that is torn down from inside one of its calls.
struct Owner {
  DelayCall* dc = nullptr;
  int runs = 0;
};

int DeleteOwnDelayCall(void* object, void*) {
  auto* owner = static_cast<Owner*>(object);
  ++owner->runs;
  delete owner->dc;
  owner->dc = nullptr;
  return 0;
}

}  // namespace

TEST(DelayCall, ACallMayDeleteTheWindowThatRunsIt) {
  Owner owner;
  owner.dc = new DelayCall;
  ASSERT_TRUE(owner.dc->Create());
  std::thread worker([&] {
    owner.dc->post(&DeleteOwnDelayCall, &owner, nullptr);
    owner.dc->post(&DeleteOwnDelayCall, &owner, nullptr);  // dropped with the window
  });
  worker.join();
  EXPECT_EQ(plat::PumpMessages(), 1u);
  EXPECT_EQ(owner.runs, 1);
  EXPECT_EQ(owner.dc, nullptr);
  EXPECT_EQ(plat::PumpMessages(), 0u);
}

TEST(DelayCall, ManyWorkersPostWhileTheOwnerPumps) {
  DelayCall dc;
  ASSERT_TRUE(dc.Create());
  constexpr int kPerWorker = 200;
  std::atomic<int> done{0};
  CallLog log;
  static int values[4] = {0, 1, 2, 3};
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&, w] {
      for (int i = 0; i < kPerWorker; ++i) dc.post(&Record, &log, &values[w]);
      done.fetch_add(1);
    });
  }
  EXPECT_TRUE(plat::PumpUntil(
      [&] { return done.load() == 4 && log.values.size() == 4u * kPerWorker; }, 20000));
  for (auto& t : workers) t.join();
  int perWorker[4] = {};
  for (int v : log.values) ++perWorker[v];
  for (int n : perWorker) EXPECT_EQ(n, kPerWorker);
  for (const auto& id : log.threads) EXPECT_EQ(id, std::this_thread::get_id());
}
