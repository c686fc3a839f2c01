// A host of the installed toll library. With the data folder given (with or
// without its trailing '/'), it computes the toll from facility 10 to
// facility 21 twice: with Toll from two toll points, printing
// "total <first> <second> <third>", and with Toll2 from a route result of
// one part that passes the two points, departing at 2015-06-03 12:00 (the departure
// filled and moved with the travel clock of the installed headers),
// printing "toll2 <toll word>"; exit status 0 when both agree.
#include <cstdio>
#include <memory>
#include <string>
#include <utility>

#include "outside/route_result.h"
#include "outside/travel_clock.h"
#include "plat/message.h"
#include "toll/toll.h"
#include "toll/toll2.h"

namespace {

struct Handler : TollHandler {
  TollResult result;
  void onResult(Toll*, int, TollResult r) override { result = r; }
  void onCancel(Toll*) override {}
  void onError(Toll*, int) override {}
  void onNotify(Toll*) override {}
};

struct Handler2 : Toll2Handler {
  bool done = false;
  RouteSingleResult route;
  void onResult(Toll2*, int, RouteSingleResult r) override {
    route = r;
    done = true;
  }
  void onCancel(Toll2*) override {}
  void onError(Toll2*, int) override {}
  void onNotify(Toll2*) override {}
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  // The file names are appended to the folder as given.
  std::string folder = argv[1];
  if (folder.empty() || folder.back() != '/') folder += '/';

  Toll toll;
  Handler handler;
  if (toll.init(&handler, folder.c_str()) != 0) return 1;
  TollInputParam input;
  input.vehicleClass = 3;
  for (int facility : {10, 21}) {
    TollInputParam::Item item;
    item.facility = facility;
    item.time = (15u << 21) | (5u << 17) | (2u << 12) | (12u << 6);  // 2015-06-03 12:00
    item.dayOfWeek = 3;
    input.items.v.push_back(item);
  }
  if (toll.calc(&input) != 0) return 1;
  if (!plat::PumpUntil([&] { return static_cast<bool>(handler.result); }, 60000)) return 1;
  std::printf("total %d %d %d\n", handler.result->total1, handler.result->total2,
              handler.result->total3);
  if (handler.result->code != 0) return 1;

  // The same trip as a route result: 2015-06-03 (a Wednesday) 12:00,
  // reached from the day before through the clock's arithmetic (month and
  // day count from 0).
  TravelClock::Time departure;
  departure.set(2015, 5, 1, 11, 0, 0);
  departure.addDate(1);
  departure.addMin(59);
  departure.addSec(60);
  if (TravelClock::Week(departure.year, departure.month, departure.day) != 3 ||
      departure.hour != 12)
    return 1;
  auto raw = std::make_shared<RouteSingleResultRaw>();
  raw->departure = departure;
  raw->vehicleType = 3;
  auto part = std::make_shared<PartPath>();
  for (auto [facility, seconds] : {std::pair{10, 0}, std::pair{21, 1200}}) {
    PartLink point;
    point.facility = static_cast<std::uint16_t>(facility);
    point.seconds = static_cast<std::uint32_t>(seconds);
    part->links.push_back(point);
  }
  raw->parts.push_back(part);
  Toll2 toll2;
  Handler2 handler2;
  if (toll2.init(&handler2, folder.c_str()) != 0) return 1;
  if (toll2.calc(RouteSingleResult(raw)) != 0) return 1;
  if (!plat::PumpUntil([&] { return handler2.done; }, 60000)) return 1;
  std::printf("toll2 %d\n", handler2.route.toll());
  // Both forms toll the trip alike.
  return handler2.route.toll() == handler.result->total2 ? 0 : 1;
}
