#pragma once
// Visibility of the toll library's exported classes.
#define TOLL_API __attribute__((visibility("default")))
