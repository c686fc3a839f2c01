// libTvxRoute.so is made of the static library `route`, taken whole; this
// file only gives the shared library target a source of its own.
#include "route/tvx_route.h"
