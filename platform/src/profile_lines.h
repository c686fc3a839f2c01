#pragma once
// The integer of a key in the lines of a private-profile (ini) file, as
// ReadProfileInt finds it (plat/config.h); for a reader that has the lines
// already.

#include <string>
#include <vector>

namespace plat::detail {

int ProfileIntInLines(const std::vector<std::string>& lines, const char* section, const char* key,
                      int defaultValue);

}  // namespace plat::detail
