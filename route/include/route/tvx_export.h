#pragma once
// Visibility of the route library's exported classes.
#define TVXROUTE_API __attribute__((visibility("default")))
