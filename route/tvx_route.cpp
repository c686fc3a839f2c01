#include "route/tvx_route.h"

#include "route/tvx_route_core.h"

namespace TvxRoute {

TVXRoute::TVXRoute(int msgId) : core_(new CTVXRouteCore(msgId)) {}

TVXRoute::~TVXRoute() { delete core_; }

bool TVXRoute::init(const char* dataDir) { return core_->initCore(dataDir); }

bool TVXRoute::calc(plat::HWND window, const TVXRouteCondition* condition,
                    TVXRouteResult** result) {
  return core_->calcCore(window, condition, result);
}

bool TVXRoute::cancel() { return core_->cancel(); }

TVXRoute::vErrCode TVXRoute::getLastError() const {
  return static_cast<vErrCode>(core_->lastError());
}

}  // namespace TvxRoute
