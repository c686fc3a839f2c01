// Computes the toll from facility 10 to facility 21 of the data folder
// given (with its trailing '/') and prints "total <first> <second> <third>".
#include <cstdio>

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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  Toll toll;
  Handler handler;
  if (toll.init(&handler, argv[1]) != 0) return 1;
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
  std::printf("total %d %d %d\n", handler.result->total1, handler.result->total2, handler.result->total3);
  Toll2 toll2;  // the second interface links as well
  return handler.result->code == 0 && toll2.init(nullptr, argv[1]) == 0 ? 0 : 1;
}
