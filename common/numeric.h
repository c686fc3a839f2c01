#pragma once
// Scalar numeric helpers.

#include <cstdint>

// Clamps *value into [min(a, b), max(a, b)]: below the range it becomes the
// lower end, above it the upper end.
void ClampInt(int32_t* value, int32_t a, int32_t b);
