#pragma once
// The toll input that Toll2 builds from a route result.

#include "outside/route_result.h"
#include "toll/toll_records.h"

// Vehicle class = the route's vehicle type when it is 0, 1, 2, 4, 5 or 6,
// else 3; first option byte = the route's option byte; second 0. One item
// per toll point of every part in order, passed at the departure time plus
// the point's seconds: facility number masked to 15 bits, packed passing
// time, day of week (1 for an impossible date) and the holiday flag from
// the holiday table (dates beyond the departure year and the next one are
// no holidays).
TollInputParam buildToll2Input(const RouteSingleResult& route);
