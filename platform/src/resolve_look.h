#pragma once
// path::Resolve with what its last status call said of the name it gives,
// for the layer's own services that would otherwise look at it again.

#include <sys/stat.h>

#include <memory>
#include <string>

namespace plat::detail {

struct FolderNames;

// What a status call (lstat) said of the resolved native path, when the
// resolution's last call was on exactly that path.
struct Looked {
  bool known = false;   // a call on the resolved path decided the answer
  bool exists = false;  // it found the name (st holds its status)
  struct stat st {};
  // The names of the folder that holds the path, where the resolution read
  // them to search its last element under another form.
  std::shared_ptr<const FolderNames> folderNames;
};

// path::Resolve, and in looked what its last status call said of the path
// it gives (known false when no call was on exactly that path).
bool ResolveLooking(const char* cp932, bool forCreate, std::string& native, Looked& looked);

}  // namespace plat::detail
