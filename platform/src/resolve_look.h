#pragma once
// path::Resolve with what its last status call said of the name it gives,
// for the layer's own services that would otherwise look at it again.

#include <sys/stat.h>

#include <string>

namespace plat::detail {

// What a status call (lstat) said of the resolved native path, when the
// resolution's last call was on exactly that path.
struct Looked {
  bool known = false;   // a call on the resolved path decided the answer
  bool exists = false;  // it found the name (st holds its status)
  struct stat st {};
};

// path::Resolve, and in looked what its last status call said of the path
// it gives (known false when no call was on exactly that path).
bool ResolveLooking(const char* cp932, bool forCreate, std::string& native, Looked& looked);

}  // namespace plat::detail
