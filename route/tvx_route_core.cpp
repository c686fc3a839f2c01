#include "route/tvx_route_core.h"

#include <cstdint>
#include <string>
#include <utility>

#include "common/allocation_guard.h"
#include "outside/kiwi.h"
#include "plat/path.h"
#include "plat/registry.h"
#include "route/highway_data.h"

namespace TvxRoute {

CTVXRouteCore::CTVXRouteCore(int msgId) : notifyMessage_(static_cast<std::uint32_t>(msgId)) {}

CTVXRouteCore::~CTVXRouteCore() {
  const std::int32_t running = state_.load(std::memory_order_acquire);
  if (route_ && (running == kCalculatingLegs || running == kCalculatingToll)) route_->cancel();
  // The toll engine joins its worker and drops its answer; the route engine
  // and the DelayCall window drop what they still had queued, so no
  // notification reaches this core afterwards.
  dataPaths_.reset();
  toll_.reset();
  route_.reset();
  mapData_.reset();
  work_.reset();
  delayCall_.reset();
}

void CTVXRouteCore::setState(State state, std::int32_t legIndex) {
  legIndex_.store(legIndex, std::memory_order_release);
  state_.store(state, std::memory_order_release);
}

void CTVXRouteCore::endCalc(std::int32_t error) {
  lastError_.store(error, std::memory_order_release);
  setState(kReady, -1);
  plat::PostMessage(notifyWindow_, notifyMessage_, 0, 0);
}

bool CTVXRouteCore::initCore(const char* dataDir) {
  const std::int32_t now = state_.load(std::memory_order_acquire);
  if (now == kCalculatingLegs || now == kCalculatingToll || now == kConverting) {
    lastError_.store(TVXRoute::kBusy, std::memory_order_release);
    return false;
  }
  // A re-initialisation that fails leaves the core uninitialised.
  setState(kNotInitialised, -1);
  // Running out of memory anywhere in the initialisation answers kOutOfMemory.
  const std::int32_t error = CatchAllocationFailure(std::int32_t{TVXRoute::kOutOfMemory},
                                                    [&] { return initParts(dataDir); });
  if (error != TVXRoute::kNoError) {
    lastError_.store(error, std::memory_order_release);
    return false;
  }
  // A successful init leaves lastError as it was.
  setState(kReady, -1);
  return true;
}

std::int32_t CTVXRouteCore::initParts(const char* dataDir) {
  if (!work_) work_.reset(new RouteWork());
  if (dataDir == nullptr || dataDir[0] == '\0') return TVXRoute::kInitFailed;
  std::string dir(dataDir);
  if (!plat::path::EndsWithSeparator(dir)) dir += '/';

  if (!mapData_) mapData_.reset(new KiwiHandleForALLDATA(0x1000000, true));
  if (!mapData_->init((dir + "ALLDATA.KWI").c_str())) return TVXRoute::kInitFailed;

  if (!route_) route_.reset(new Route());
  if (route_->init(this, mapData_.get()) != 0) return TVXRoute::kInitFailed;

  if (!toll_) toll_.reset(new Toll());
  if (toll_->init(this, dir.c_str()) != 0) return TVXRoute::kInitFailed;

  if (!dataPaths_) dataPaths_.reset(new RouteDataPaths());
  // The data check: HIGHWAY.DAT opens with a sound header, and the toll
  // data answers a toll engine of its own.
  {
    const std::string highway = dir + "HIGHWAY.DAT";
    HighwayData reader;
    if (!reader.openHighwayData(highway.c_str())) return TVXRoute::kInitFailed;
    reader.closeHighwayData();
    dataPaths_->highwayPath = highway;
    Toll check;
    if (check.init(nullptr, dir.c_str()) != 0) return TVXRoute::kInitFailed;
    dataPaths_->tollFolder = dir;
  }

  if (!delayCall_) {
    delayCall_.reset(new DelayCall());
    if (!delayCall_->Create()) {
      delayCall_.reset();
      return TVXRoute::kInitFailed;
    }
  }
  return TVXRoute::kNoError;
}

void CTVXRouteCore::readSwitch() {
  bool check = true;
  plat::reg::Value value;
  if (plat::reg::QueryValue(kSwitchKey, kSwitchValue, value) &&
      value.type == plat::reg::kTypeDword && value.dword == 1)
    check = false;
  samePointCheck_.store(check, std::memory_order_release);
}

bool CTVXRouteCore::calcCore(plat::HWND window, const TVXRouteCondition* condition,
                             TVXRouteResult** resultSlot) {
  readSwitch();
  const std::int32_t now = state_.load(std::memory_order_acquire);
  if (now == kNotInitialised) {
    lastError_.store(TVXRoute::kNotInitialised, std::memory_order_release);
    return false;
  }
  if (now != kReady) {
    lastError_.store(TVXRoute::kBusy, std::memory_order_release);
    return false;
  }
  work_->reset(condition);
  // A missing condition has no node at all.
  if (condition == nullptr || condition->getNodeCnt() < 2) {
    lastError_.store(TVXRoute::kTooFewPoints, std::memory_order_release);
    return false;
  }
  std::int32_t legError = 0;
  if (!buildLegConditions(*condition, *this, work_->legs, legError)) {
    lastError_.store(legError, std::memory_order_release);
    return false;
  }
  notifyWindow_ = window;
  resultSlot_ = resultSlot;
  lastError_.store(TVXRoute::kNoError, std::memory_order_release);
  setState(kCalculatingLegs, 0);
  const RouteCondition2* leg0 = work_->legs.take(0);
  if (leg0 != nullptr && route_->calc(*leg0) == 0) return true;
  setState(kReady, -1);
  lastError_.store(TVXRoute::kSearchFailed, std::memory_order_release);
  return false;
}

bool CTVXRouteCore::cancel() {
  if (!route_ || !work_) {
    lastError_.store(TVXRoute::kNotInitialised, std::memory_order_release);
    return false;
  }
  if (route_->cancel() != 0) return true;
  lastError_.store(TVXRoute::kNotDone, std::memory_order_release);
  return false;
}

int CTVXRouteCore::getNearRoadType(const Point2& point) { return route_->getNearRoadType(point); }

bool CTVXRouteCore::isSamePointRoute(const RouteSingleResult& result) {
  for (int i = 0; i < result.getPartCnt(); ++i) {
    const PartPath* part = result.getPart(i);
    if (part == nullptr) continue;
    if (part->start.first != part->goal.first || part->start.second != part->goal.second) continue;
    if (!part->goalSide.empty() || part->entries.size() != 2) continue;
    if (part->entries[0].first == part->entries[1].first &&
        part->entries[0].second == part->entries[1].second)
      return true;
  }
  return false;
}

std::int32_t CTVXRouteCore::mapRouteError(int code) {
  switch (code) {
    case 0:
      return TVXRoute::kNoError;
    case 1:
    case 8:
      return TVXRoute::kBadPoint;
    case 9:
      return TVXRoute::kCancelled;
    case 10:
    case 11:
      return TVXRoute::kEngineFailure;
    case 12:
      return TVXRoute::kEngineFailure2;
    case 13:
      return TVXRoute::kTooFewPoints;
    default:
      return TVXRoute::kSearchFailed;
  }
}

void CTVXRouteCore::onRouteResult(Route* /*route*/, RouteSingleResult result) {
  // A notification that no running leg search can have sent is ignored.
  if (state() != kCalculatingLegs) return;
  if (samePointCheck_.load(std::memory_order_acquire) && isSamePointRoute(result)) {
    endCalc(TVXRoute::kBadPoint);
    return;
  }
  work_->legResults.push_back(result);
  const std::int32_t next = legIndex_.load(std::memory_order_acquire) + 1;
  if (next < work_->legs.count()) {
    // The next leg starts from the message loop, not from inside this
    // notification of the engine.
    delayCall_->post(&CTVXRouteCore::startLegCall, this,
                     reinterpret_cast<void*>(static_cast<std::intptr_t>(next)));
    return;
  }
  TollInputParam input =
      buildTollInput(*work_->legs.take(0), *work_->condition, work_->tollLinks());
  if (input.items.v.empty()) {
    // The toll engine answers no empty input.
    finishCalc();
    return;
  }
  if (toll_->calc(&input) != 0) {
    endCalc(TVXRoute::kTollFailed);
    return;
  }
  setState(kCalculatingToll, -1);
}

int CTVXRouteCore::startLegCall(void* object, void* argument) {
  static_cast<CTVXRouteCore*>(object)->startLeg(
      static_cast<int>(reinterpret_cast<std::intptr_t>(argument)));
  return 0;
}

void CTVXRouteCore::startLeg(int leg) {
  if (state() != kCalculatingLegs) return;
  RouteCondition2* condition = work_->legs.take(leg);
  if (condition == nullptr) {
    endCalc(TVXRoute::kSearchFailed);
    return;
  }
  if (leg > 0 && !work_->legResults.empty() && !condition->points.empty()) {
    // The leg starts exactly where the previous one arrived.
    const RouteSingleResult previous = work_->legResults.back();
    const PartPath* last = previous.getPart(previous.getPartCnt() - 1);
    if (last != nullptr) {
      const LinkPair& arrival = last->goalSide.empty() ? last->start : last->goal;
      condition->points.front().link = arrival.first;
      condition->points.front().linkPart = static_cast<std::int16_t>(arrival.second & 0xFFFFu);
    }
  }
  if (route_->calc(*condition) != 0) {
    endCalc(TVXRoute::kSearchFailed);
    return;
  }
  legIndex_.store(leg, std::memory_order_release);
}

void CTVXRouteCore::onRouteCancel(Route* /*route*/) {
  if (state() == kCalculatingLegs) endCalc(TVXRoute::kCancelled);
}

void CTVXRouteCore::onRouteError(Route* /*route*/, const int* code) {
  if (state() != kCalculatingLegs) return;
  endCalc(mapRouteError(code != nullptr ? *code : -1));
}

void CTVXRouteCore::onRouteNotify(Route* /*route*/) {}

void CTVXRouteCore::onResult(Toll* /*toll*/, int /*reserved*/, TollResult result) {
  // Only the answer to the toll calculation that this core started counts.
  if (state() != kCalculatingToll) return;
  work_->tollResult = result;
  finishCalc();
}

void CTVXRouteCore::onCancel(Toll* /*toll*/) {
  if (state() == kCalculatingToll) endCalc(TVXRoute::kCancelled);
}

void CTVXRouteCore::onError(Toll* /*toll*/, int /*code*/) {
  if (state() == kCalculatingToll) endCalc(TVXRoute::kTollFailed);
}

void CTVXRouteCore::onNotify(Toll* /*toll*/) {}

void CTVXRouteCore::finishCalc() {
  setState(kConverting, -1);
  bool built;
  if (resultSlot_ != nullptr) {
    built = work_->runFilterPipeline(*dataPaths_, mapData_.get(), resultSlot_);
  } else {
    // A host that gave no slot gets no result; the calculation still ends
    // the way it would have.
    TVXRouteResult* dropped = nullptr;
    built = work_->runFilterPipeline(*dataPaths_, mapData_.get(), &dropped);
    Release(dropped);
  }
  endCalc(built ? TVXRoute::kNoError : TVXRoute::kNotDone);
}

}  // namespace TvxRoute
