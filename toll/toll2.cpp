#include "toll/toll2.h"

#include "common/allocation_guard.h"
#include "toll/toll.h"
#include "toll/toll2_input.h"
#include "toll/toll_calendar.h"

TollInputParam buildToll2Input(const RouteSingleResult& route) {
  TollInputParam input;
  const int32_t type = route.vehicleType();
  input.vehicleClass = (type >= 0 && type <= 6 && type != 3) ? type : 3;
  input.option1 = route.option();
  input.option2 = 0;
  const TravelClock::Time departure = route.departure();
  const HolidayYearMask mask = buildHolidayYearMask(HolidayTable(), departure.year);
  for (int i = 0; i < route.getPartCnt(); ++i) {
    const PartPath* part = route.getPart(i);
    if (!part) continue;
    for (const PartLink& link : part->links) {
      TravelClock::Time passing = departure;
      // Seconds beyond 31 bits are no real drive; they are taken as stored.
      passing.addSec(static_cast<int32_t>(link.seconds));
      TollInputParam::Item item;
      item.facility = link.facility & 0x7FFF;
      item.time = packTime(passing);
      const int week = TravelClock::Week(passing.year, passing.month, passing.day);
      item.dayOfWeek = (week >= 0 && week <= 6) ? week : 1;
      item.holiday = isHoliday(mask, passing.year, passing.month + 1, passing.day + 1) ? 1 : 0;
      input.items.v.push_back(item);
    }
  }
  return input;
}

// The state behind Toll2 handles: the client's handler, the Toll that does
// the work (with this core as its handler) and the copy of the route
// result being tolled.
class Toll2Core : public TollHandler {
 public:
  Toll2* owner = nullptr;
  Toll2Handler* handler = nullptr;
  Toll toll;
  RouteSingleResult route;

  void onResult(Toll*, int value, TollResult result) override {
    const TollResultRaw* raw = result.get();
    const int32_t total = raw ? (route.option() != 0 ? raw->total3 : raw->total2) : 0;
    route.setToll(total);
    // The handler may destroy the Toll2 and this core: hand it copies.
    Toll2Handler* client = handler;
    Toll2* back = owner;
    RouteSingleResult copy = route;
    if (client) client->onResult(back, value, copy);
  }
  void onCancel(Toll*) override {
    if (handler) handler->onCancel(owner);
  }
  void onError(Toll*, int code) override {
    if (handler) handler->onError(owner, code);
  }
  void onNotify(Toll*) override {
    if (handler) handler->onNotify(owner);
  }
};

namespace {
constexpr int kNoState = -1;
}

Toll2::Toll2() {
  // Without memory for its state every operation of the Toll2 answers -1.
  core_ = CatchAllocationFailure(std::shared_ptr<Toll2Core>(),
                                 [] { return std::make_shared<Toll2Core>(); });
}

Toll2::~Toll2() { release(); }

Toll2::Toll2(const Toll2& other) : core_(other.core_) {}

Toll2& Toll2::operator=(const Toll2& other) {
  if (core_ != other.core_) {
    release();
    core_ = other.core_;
  }
  return *this;
}

void Toll2::release() {
  if (core_ && core_->owner == this) core_->owner = nullptr;
  core_.reset();
}

int Toll2::init(Toll2Handler* handler, const char* folder) {
  if (!core_) return kNoState;
  core_->handler = handler;
  core_->owner = this;
  return core_->toll.init(core_.get(), folder);
}

int Toll2::calc(RouteSingleResult route) {
  if (!core_) return kNoState;
  TollInputParam input = buildToll2Input(route);
  if (input.items.v.empty()) {
    if (core_->handler) core_->handler->onResult(this, 0, route);
    return 0;
  }
  // The copy is replaced only when a calculation starts: a refused calc
  // (still running) leaves the running calculation's route alone. The
  // result arrives only when this thread pumps, after calc returned.
  const int code = core_->toll.calc(&input);
  if (code == 0) core_->route = route;
  return code;
}

void Toll2::cancel() {}
