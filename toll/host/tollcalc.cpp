// tollcalc: the toll between two facilities of a toll data set.
//
//   tollcalc <data folder> <entrance> <exit> [vehicle class [option byte [YYYY-MM-DD hh:mm]]]
//
// Enters at the first facility at the given time (default 2015-06-03
// 12:00), leaves at the second 20 minutes later, and prints the code, the
// three totals, every toll section and the profile of both points. Names
// are printed as they come from the data, in CP932. Exit status 0 when the
// calculation succeeded, 1 when it failed, 2 for a usage error.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "outside/travel_clock.h"
#include "plat/message.h"
#include "plat/path.h"
#include "toll/toll.h"

namespace {

struct Handler : TollHandler {
  bool done = false;
  TollResult result;
  void onResult(Toll*, int, TollResult r) override {
    result = r;
    done = true;
  }
  void onCancel(Toll*) override { done = true; }
  void onError(Toll*, int) override { done = true; }
  void onNotify(Toll*) override {}
};

bool ParseInt(const char* text, int low, int high, int* out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < low || v > high) return false;
  *out = static_cast<int>(v);
  return true;
}

// Packed passing time: minute bits 0-5, hour 6-10, day-1 12-16, month-1
// 17-20, year-2000 21-31.
uint32_t Pack(int year, int month, int day, int hour, int minute) {
  return (static_cast<uint32_t>(year - 2000) << 21) | (static_cast<uint32_t>(month - 1) << 17) |
         (static_cast<uint32_t>(day - 1) << 12) | (static_cast<uint32_t>(hour) << 6) |
         static_cast<uint32_t>(minute);
}

std::string NameOf(Toll& toll, int facility) {
  FacilName name;
  if (facility == 0 || toll.getName(facility, &name) != 0) return "-";
  return name.name;
}

void PrintList(const std::vector<int32_t>& ids) {
  std::printf("[");
  for (std::size_t i = 0; i < ids.size(); ++i)
    std::printf(i ? " 0x%X" : "0x%X", static_cast<unsigned>(ids[i]));
  std::printf("]");
}

int Usage() {
  std::fprintf(stderr,
               "usage: tollcalc <data folder> <entrance> <exit> [vehicle class [option byte "
               "[YYYY-MM-DD hh:mm]]]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc > 8 || argc == 7) return Usage();
  int from = 0, to = 0, vehicleClass = 3, option = 0;
  int year = 2015, month = 6, day = 3, hour = 12, minute = 0;
  if (!ParseInt(argv[2], 0, 0x7FFF, &from) || !ParseInt(argv[3], 0, 0x7FFF, &to)) return Usage();
  if (argc > 4 && !ParseInt(argv[4], 0, 6, &vehicleClass)) return Usage();
  if (argc > 5 && !ParseInt(argv[5], 0, 255, &option)) return Usage();
  if (argc > 6) {
    char dash1 = 0, dash2 = 0, colon = 0, extra = 0;
    const std::string when = std::string(argv[6]) + " " + argv[7];
    if (std::sscanf(when.c_str(), "%4d%c%2d%c%2d %2d%c%2d%c", &year, &dash1, &month, &dash2, &day,
                    &hour, &colon, &minute, &extra) != 8 ||
        dash1 != '-' || dash2 != '-' || colon != ':' || year < 2000 || year > 2047 || month < 1 ||
        month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59)
      return Usage();
    // The exit is passed 20 minutes later, on the same day.
    if (hour * 60 + minute + 20 >= 24 * 60) return Usage();
  }

  const int week = TravelClock::Week(year, month - 1, day - 1);
  if (week < 0) return Usage();

  std::string folder = plat::path::FromNative(argv[1]);
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') folder += '\\';

  Toll toll;
  Handler handler;
  int code = toll.init(&handler, folder.c_str());
  if (code != 0) {
    std::printf("init: %d\n", code);
    return 1;
  }
  TollInputParam input;
  input.vehicleClass = vehicleClass;
  input.option1 = static_cast<uint8_t>(option);
  for (int k = 0; k < 2; ++k) {
    const int at = hour * 60 + minute + 20 * k;
    TollInputParam::Item item;
    item.facility = k == 0 ? from : to;
    item.time = Pack(year, month, day, at / 60, at % 60);
    item.dayOfWeek = week;
    input.items.v.push_back(item);
  }
  code = toll.calc(&input);
  if (code != 0) {
    std::printf("calc: %d\n", code);
    return 1;
  }
  if (!plat::PumpUntil([&] { return handler.done; }, 60000) || !handler.result) {
    std::printf("no result\n");
    return 1;
  }
  const TollResultRaw& r = *handler.result;
  std::printf("code %d\n", r.code);
  std::printf("total %d %d %d\n", r.total1, r.total2, r.total3);
  for (const TollResultRaw::Item& s : r.items.v) {
    std::printf("section %d %s -> %d %s: %d %d (0x%X) %d (0x%X)\n", s.entrance,
                NameOf(toll, s.entrance).c_str(), s.exit, NameOf(toll, s.exit).c_str(), s.fee1,
                s.fee2, static_cast<unsigned>(s.discount2), s.fee3,
                static_cast<unsigned>(s.discount3));
  }
  for (const TollResultRaw::Prof& p : r.profs.v) {
    std::printf("point %d 0x%02X: %d ", p.facility, p.kind, p.fee1);
    PrintList(p.discounts2);
    std::printf(" %d ", p.fee2);
    PrintList(p.discounts3);
    std::printf(" %d\n", p.fee3);
  }
  return r.code == 0 ? 0 : 1;
}
