#pragma once
// Helpers of the route core tests: a data folder with the sample map and
// toll data, a scratch per-user registry, the host's window that counts
// completion messages, the route engine's script, and hand-made leg results
// and conditions.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "outside/route_engine.h"
#include "outside/route_result.h"
#include "plat/message.h"
#include "plat/registry.h"
#include "route/tvx_condition.h"
#include "route/tvx_route_core.h"
#include "support/test_util.h"

namespace tvxtest {

inline constexpr std::uint32_t kDoneMessage = 1524;

// The build tree holding the generated sample data.
inline std::string BuildDir() {
  const char* build = std::getenv("KORT_BUILD_DIR");
  if (build == nullptr || *build == '\0')
    build = reinterpret_cast<const char*>(u8"" KORT_TEST_BUILD_DIR);
  return build;
}

// A scratch data folder holding the sample road map (ALLDATA.KWI,
// HIGHWAY.DAT) and the sample toll data (TOLL.DAT, FACIL.DAT); a test may
// remove or spoil any of them.
class DataFolder {
 public:
  DataFolder() {
    const std::string build = BuildDir();
    for (const char* name : {"ALLDATA.KWI", "HIGHWAY.DAT"})
      Copy(build + "/Database/Road/" + name, name);
    for (const char* name : {"TOLL.DAT", "FACIL.DAT"})
      Copy(build + "/Database/Toll/v35/" + name, name);
  }
  // The folder's path without a trailing separator.
  const std::string& path() const { return dir_.path(); }
  std::string file(const char* name) const { return dir_.Native(name); }
  void remove(const char* name) const { std::remove(file(name).c_str()); }

 private:
  void Copy(const std::string& from, const char* name) {
    const std::string bytes = testutil::ReadBytes(from);
    ASSERT_FALSE(bytes.empty()) << from;
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native(name), bytes));
  }
  testutil::TempDir dir_;
};

// While it lives, the per-user registry is a fresh file of a scratch folder.
class ScratchRegistry {
 public:
  ScratchRegistry() {
    if (const char* old = std::getenv("XDG_CONFIG_HOME"))
      saved_ = std::make_unique<std::string>(old);
    setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
  }
  ~ScratchRegistry() {
    if (saved_) {
      setenv("XDG_CONFIG_HOME", saved_->c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_HOME");
    }
  }
  ScratchRegistry(const ScratchRegistry&) = delete;
  ScratchRegistry& operator=(const ScratchRegistry&) = delete;

 private:
  testutil::TempDir dir_;
  std::unique_ptr<std::string> saved_;
};

// The host's window: records every message it receives.
class HostWindow : public plat::MessageTarget {
 public:
  struct Message {
    std::uint32_t msg;
    std::uintptr_t wParam;
    std::intptr_t lParam;
  };
  HostWindow() : hwnd_(plat::CreateWindow(this)) {}
  ~HostWindow() override { plat::DestroyWindow(hwnd_); }
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  plat::HWND hwnd() const { return hwnd_; }
  const std::vector<Message>& messages() const { return messages_; }
  // Completion messages (kDoneMessage, 0, 0) received so far.
  int done() const {
    int n = 0;
    for (const Message& m : messages_)
      n += (m.msg == kDoneMessage && m.wParam == 0 && m.lParam == 0) ? 1 : 0;
    return n;
  }
  // Pumps until `count` completion messages came (false after 20 s).
  bool PumpDone(int count = 1) const {
    return plat::PumpUntil([&] { return done() >= count; }, 20000);
  }

  bool ProcessWindowMessage(plat::HWND, std::uint32_t msg, std::uintptr_t wParam,
                            std::intptr_t lParam, std::intptr_t& lResult, std::uint32_t) override {
    messages_.push_back(Message{msg, wParam, lParam});
    lResult = 0;
    return true;
  }

 private:
  std::vector<Message> messages_;
  plat::HWND hwnd_;
};

// Pumps for a while, for checks that nothing (more) arrives.
inline void PumpFor(std::uint32_t ms) {
  plat::PumpUntil([] { return false; }, ms);
}

// The route engine's script, empty while the object lives and after.
class Script {
 public:
  Script() { RouteScript::shared().reset(); }
  ~Script() { RouteScript::shared().reset(); }
  Script(const Script&) = delete;
  Script& operator=(const Script&) = delete;
  RouteScript* operator->() const { return &RouteScript::shared(); }
};

// One part path of a hand-made leg result: start and goal pairs, the
// goal-side list, the entry list and the toll points.
struct Part {
  LinkPair start{1, 0};
  LinkPair goal{2, 0};
  std::vector<LinkPair> goalSide;
  std::vector<LinkPair> entries;
  std::vector<PartLink> tolls;
};

inline PartLink TollPoint(std::uint16_t facility, std::uint32_t seconds) {
  PartLink link;
  link.facility = facility;
  link.seconds = seconds;
  return link;
}

// A leg result departing on 2015-06-03 at 10:00 with the given parts.
inline RouteSingleResult Leg(const std::vector<Part>& parts) {
  auto raw = std::make_shared<RouteSingleResultRaw>();
  raw->departure.set(2015, 5, 2, 10, 0, 0);
  for (const Part& p : parts) {
    auto path = std::make_shared<PartPath>();
    path->start = p.start;
    path->goal = p.goal;
    path->goalSide = p.goalSide;
    path->entries = p.entries;
    path->links = p.tolls;
    raw->parts.push_back(path);
  }
  return RouteSingleResult(raw);
}

// A part that starts and ends at one place (what the same-point check
// catches).
inline Part SamePointPart() {
  Part p;
  p.start = LinkPair{7, 3};
  p.goal = LinkPair{7, 3};
  p.entries = {LinkPair{7, 3}, LinkPair{7, 3}};
  return p;
}

// A condition of n nodes 0.01 degree apart; times (minutes after
// 2015-06-03 10:00) at the nodes listed, departure mode.
class Condition {
 public:
  struct Timed {
    int node;
    int minutes;
  };
  explicit Condition(int n, const std::vector<Timed>& times = {{0, 0}})
      : c_(TvxRoute::TVXRouteCondition::Create()) {
    for (int i = 0; i < n; ++i) {
      auto* node = TvxRoute::TVXRouteCondition::Node::Create();
      node->lon = (139 * 3600 + 36 * i) * 1024;
      node->lat = (35 * 3600 + 36 * i) * 1024;
      c_->append(node);
    }
    for (const Timed& t : times) {
      auto* node = const_cast<TvxRoute::TVXRouteCondition::Node*>(c_->getNode(t.node));
      node->time = CDateTime(2015, 6, 3, 10 + t.minutes / 60, t.minutes % 60);
    }
  }
  ~Condition() { c_->Release(); }
  Condition(const Condition&) = delete;
  Condition& operator=(const Condition&) = delete;

  TvxRoute::TVXRouteCondition* get() const { return c_; }
  TvxRoute::TVXRouteCondition::Node* node(int i) const {
    return const_cast<TvxRoute::TVXRouteCondition::Node*>(c_->getNode(i));
  }

 private:
  TvxRoute::TVXRouteCondition* c_;
};

}  // namespace tvxtest
