#pragma once
// Helpers of the Toll facade tests: a handler that records what arrives,
// pumping, worker starters that hold workers back or fail, and toll data
// files written by the builders into a scratch folder.

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "plat/message.h"
#include "support/test_util.h"
#include "support/toll_fixture.h"
#include "toll/toll.h"
#include "toll/toll_instance.h"
#include "tools/tollbuild/toll_writers.h"

namespace tolllib {

// Records every handler call with the thread it came on.
struct Recorder : TollHandler {
  std::vector<TollResult> results;
  std::vector<Toll*> tolls;
  std::vector<int> values;
  std::vector<std::thread::id> threads;
  int others = 0;
  std::function<void(Toll*)> then;  // run after a result was recorded

  void onResult(Toll* toll, int value, TollResult result) override {
    results.push_back(result);
    tolls.push_back(toll);
    values.push_back(value);
    threads.push_back(std::this_thread::get_id());
    if (then) then(toll);
  }
  void onCancel(Toll*) override { ++others; }
  void onError(Toll*, int) override { ++others; }
  void onNotify(Toll*) override { ++others; }
};

// Pumps until `count` results arrived (false after 20 s).
inline bool PumpResults(const Recorder& r, std::size_t count) {
  return plat::PumpUntil([&] { return r.results.size() >= count; }, 20000);
}

// Pumps for a while, for checks that nothing arrives.
inline void PumpFor(std::uint32_t ms) {
  plat::PumpUntil([] { return false; }, ms);
}

// Workers started while a HeldWorkers lives wait until Release (or the
// HeldWorkers' end) before they calculate; `finished` counts the workers
// whose calculation returned. Declare it after the Tolls it holds back, so
// that it releases them before they are destroyed.
class HeldWorkers {
 public:
  HeldWorkers() {
    Reset();
    setTollThreadStarter(&Start);
  }
  ~HeldWorkers() {
    Release();
    setTollThreadStarter(nullptr);
  }
  static void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    cv_.notify_all();
  }
  static int finished() { return finished_.load(); }
  // Waits until n workers have finished (false after 20 s).
  static bool WaitFinished(int n) {
    for (int i = 0; i < 20000 && finished_.load() < n; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return finished_.load() >= n;
  }

 private:
  static void Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = false;
    finished_ = 0;
  }
  static std::thread Start(std::function<void()> body) {
    return std::thread([body = std::move(body)] {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [] { return open_; });
      }
      body();
      ++finished_;
    });
  }
  static inline std::mutex mutex_;
  static inline std::condition_variable cv_;
  static inline bool open_ = true;
  static inline std::atomic<int> finished_{0};
};

// While it lives, no worker can be started.
class FailingWorkers {
 public:
  FailingWorkers() { setTollThreadStarter(&Start); }
  ~FailingWorkers() { setTollThreadStarter(nullptr); }

 private:
  static std::thread Start(std::function<void()>) {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  }
};

using tolltest::Facility;
using tolltest::FeeFixture;
using tolltest::List;

// A data folder in a scratch directory: FACIL.DAT and TOLL.DAT written from
// the two descriptions. folder() is the CP932 path with its trailing '\'.
class DataFolder {
 public:
  void Write(const tollbuild::FacilDat& facil, const tollbuild::TollDat& toll) {
    std::string image, error;
    ASSERT_TRUE(tollbuild::BuildFacilDat(facil, &image, &error)) << error;
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native("FACIL.DAT"), image));
    ASSERT_TRUE(tollbuild::BuildTollDat(toll, &image, &error)) << error;
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native("TOLL.DAT"), image));
  }
  std::string folder() const { return dir_.Sys(""); }
  std::string native(const char* name) const { return dir_.Native(name); }

 private:
  testutil::TempDir dir_;
};

// Packed time of 2015-06-01 (a Monday) at hh:mm.
inline uint32_t At(int hour, int minute) {
  return (15u << 21) | (5u << 17) | (0u << 12) | (static_cast<uint32_t>(hour) << 6) |
         static_cast<uint32_t>(minute);
}

// The points in driving order, 10 minutes apart from 10:00, Monday.
inline TollInputParam Route(const std::vector<int>& points, int vehicleClass = 3, int option1 = 0) {
  TollInputParam in;
  in.vehicleClass = vehicleClass;
  in.option1 = static_cast<uint8_t>(option1);
  int minute = 0;
  for (int p : points) {
    TollInputParam::Item item;
    item.facility = p;
    item.time = At(10 + minute / 60, minute % 60);
    item.dayOfWeek = 1;
    in.items.v.push_back(item);
    minute += 10;
  }
  return in;
}

}  // namespace tolllib
