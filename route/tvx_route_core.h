#pragma once
// The route core: the state machine of one calculation at a time behind
// TVXRoute. It drives the route engine leg by leg (each further leg is
// started from the message loop through its DelayCall window, never from
// inside an engine notification), then the toll engine, then the filter
// pipeline, and posts the host's completion message at every end of a
// started calculation.

#include <atomic>
#include <cstdint>
#include <memory>

#include "outside/route_engine.h"
#include "plat/message.h"
#include "route/leg_builder.h"
#include "route/route_work.h"
#include "route/tvx_route.h"
#include "toll/delay_call.h"
#include "toll/toll.h"

class KiwiHandleForALLDATA;

namespace TvxRoute {

class CTVXRouteCore : public RouteHandler, public TollHandler, private NearRoadTypeQuery {
 public:
  enum State : std::int32_t {
    kNotInitialised = 0,
    kReady = 1,
    kCalculatingLegs = 2,
    kCalculatingToll = 3,
    kConverting = 4,
  };

  // The registry key and value of the same-point switch.
  static constexpr const char* kSwitchKey = "Software\\Orvanta\\PLW";
  static constexpr const char* kSwitchValue = "param01";

  explicit CTVXRouteCore(int msgId);
  // A running calculation is stopped: the engines are cancelled and
  // destroyed (the toll worker is joined), and nothing is posted.
  ~CTVXRouteCore() override;
  CTVXRouteCore(const CTVXRouteCore&) = delete;
  CTVXRouteCore& operator=(const CTVXRouteCore&) = delete;

  bool initCore(const char* dataDir);
  bool calcCore(plat::HWND window, const TVXRouteCondition* condition, TVXRouteResult** resultSlot);
  bool cancel();
  std::int32_t lastError() const { return lastError_.load(std::memory_order_acquire); }

  // For the host's tests and diagnostics.
  State state() const { return static_cast<State>(state_.load(std::memory_order_acquire)); }
  std::int32_t legIndex() const { return legIndex_.load(std::memory_order_acquire); }
  bool samePointCheck() const { return samePointCheck_.load(std::memory_order_acquire); }
  const RouteDataPaths* dataPaths() const { return dataPaths_.get(); }

  // True when some part of the leg result starts and ends at the same
  // place: equal start and goal pairs, an empty goal-side list and exactly
  // two equal entries in its entry list.
  static bool isSamePointRoute(const RouteSingleResult& result);
  // The calculation's error for a route engine error code.
  static std::int32_t mapRouteError(int code);

  // RouteHandler.
  void onRouteResult(Route* route, RouteSingleResult result) override;
  void onRouteCancel(Route* route) override;
  void onRouteError(Route* route, const int* code) override;
  void onRouteNotify(Route* route) override;
  // TollHandler.
  void onResult(Toll* toll, int reserved, TollResult result) override;
  void onCancel(Toll* toll) override;
  void onError(Toll* toll, int code) override;
  void onNotify(Toll* toll) override;

 private:
  int getNearRoadType(const Point2& point) override;

  static int startLegCall(void* object, void* argument);
  void startLeg(int leg);
  void finishCalc();
  // Ends the started calculation: the error, back to Ready, and the message.
  void endCalc(std::int32_t error);
  void setState(State state, std::int32_t legIndex);
  void readSwitch();
  // The parts of initCore that take memory and read the data folder: the
  // error code, kNoError when every part stands.
  std::int32_t initParts(const char* dataDir);

  std::unique_ptr<RouteWork> work_;
  std::atomic<std::int32_t> lastError_{0};
  std::atomic<std::int32_t> state_{kNotInitialised};
  std::atomic<std::int32_t> legIndex_{-1};
  plat::HWND notifyWindow_ = nullptr;
  std::uint32_t notifyMessage_;
  TVXRouteResult** resultSlot_ = nullptr;
  std::unique_ptr<DelayCall> delayCall_;
  std::unique_ptr<Route> route_;
  std::unique_ptr<Toll> toll_;
  std::unique_ptr<KiwiHandleForALLDATA> mapData_;
  std::unique_ptr<RouteDataPaths> dataPaths_;
  std::atomic<bool> samePointCheck_{true};
};

}  // namespace TvxRoute
