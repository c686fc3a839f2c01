#pragma once

#define PLAT_EXPORT __attribute__((visibility("default")))
#define PLAT_HIDDEN __attribute__((visibility("hidden")))
