#pragma once
// Marks a function of the library's flat C interface: exported by name,
// everything else stays hidden.

#include "gazref/gazref.h"

#define GZR_API extern "C" __attribute__((visibility("default")))

static_assert(sizeof(int) == 4, "the interface's int is 32-bit");
