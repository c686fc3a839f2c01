#include "common/numeric.h"

void ClampInt(int32_t* value, int32_t a, int32_t b) {
  if (!value) return;
  const int32_t lo = a < b ? a : b;
  const int32_t hi = a < b ? b : a;
  if (*value < lo)
    *value = lo;
  else if (*value > hi)
    *value = hi;
}
