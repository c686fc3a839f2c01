#pragma once
// The clock of the racy-stamp rule (plat::NowRealtimeNs), moved for tests:
// a test that checks what is kept for files it has just written counts
// them as written shiftNs earlier (0 puts the clock back). Process-wide.

#include <cstdint>

namespace plat::detail {

void ShiftClockForTests(std::int64_t shiftNs);

}  // namespace plat::detail
