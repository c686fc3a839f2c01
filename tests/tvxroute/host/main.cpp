// Opens a data folder with the installed route library, asks for a route
// of two nodes without a time (refused at once with 12), then with a time
// at the start, pumps until the completion message and prints the codes.
#include <cstdio>

#include "plat/message.h"
#include "route/tvx_route.h"

namespace {
struct Window : plat::MessageTarget {
  bool done = false;
  bool ProcessWindowMessage(plat::HWND, std::uint32_t msg, std::uintptr_t, std::intptr_t,
                            std::intptr_t& r, std::uint32_t) override {
    r = 0;
    done = done || msg == 1524;
    return true;
  }
};
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  using namespace TvxRoute;
  TVXRoute route;
  if (!route.init(argv[1])) {
    std::printf("init %d\n", static_cast<int>(route.getLastError()));
    return 1;
  }
  Window window;
  plat::HWND hwnd = plat::CreateWindow(&window);
  TVXRouteCondition* condition = TVXRouteCondition::Create();
  // From 東京IC to 横浜青葉IC of the sample map (degrees to 1/1024 arc-seconds).
  const double points[2][2] = {{139.6272, 35.6207}, {139.5240, 35.5630}};
  for (const auto& p : points) {
    TVXRouteCondition::Node* node = TVXRouteCondition::Node::Create();
    node->lon = static_cast<int>(p[0] * 3600 * 1024 + 0.5);
    node->lat = static_cast<int>(p[1] * 3600 * 1024 + 0.5);
    condition->append(node);
  }
  TVXRouteResult* result = nullptr;
  const bool untimed = route.calc(hwnd, condition, &result);
  std::printf("untimed %d %d\n", untimed ? 1 : 0, static_cast<int>(route.getLastError()));
  const_cast<TVXRouteCondition::Node*>(condition->getNode(0))->time = CDateTime(2015, 6, 3, 10, 0);
  const bool timed = route.calc(hwnd, condition, &result);
  const bool answered = timed && plat::PumpUntil([&] { return window.done; }, 60000);
  std::printf("timed %d answered %d error %d\n", timed ? 1 : 0, answered ? 1 : 0,
              static_cast<int>(route.getLastError()));
  Release(result);
  condition->Release();
  plat::DestroyWindow(hwnd);
  return answered ? 0 : 1;
}
