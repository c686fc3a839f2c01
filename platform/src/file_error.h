#pragma once
// The file error that an errno value stands for (shared by the file
// classes of this layer).

#include "plat/file.h"

namespace plat::detail {

FileError FileErrorOf(int err);

}  // namespace plat::detail
