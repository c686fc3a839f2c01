#pragma once
// path::Resolve with what its last status call said of the name it gives,
// for the layer's own services that would otherwise look at it again.

#include <sys/stat.h>

#include <cstdint>
#include <string>

namespace plat::detail {

// What a status call (lstat) said of the resolved native path, when the
// resolution's last call was on exactly that path.
struct Looked {
  bool known = false;   // a call on the resolved path decided the answer
  bool exists = false;  // it found the name (st holds its status)
  struct stat st {};
  // The last element was searched among its folder's kept names (see
  // path.cpp), current at the folder's status.
  bool folderKept = false;
  std::string folder;
  struct stat folderStatus {};
  // No change of this process's (FolderChange) was under way when the
  // folder was looked at, and how many had begun by then.
  bool quiet = false;
  std::uint64_t changesBegun = 0;
};

// A change of a folder's names (a file made, removed or renamed) that this
// process makes through this layer, under way while the object lives.
class FolderChange {
 public:
  FolderChange();
  ~FolderChange();
  FolderChange(const FolderChange&) = delete;
  FolderChange& operator=(const FolderChange&) = delete;
};

// path::Resolve, and in looked what its last status call said of the path
// it gives (known false when no call was on exactly that path).
bool ResolveLooking(const char* cp932, bool forCreate, std::string& native, Looked& looked);

// This process created the file native (exclusively) right after the
// resolution that gave the name, inside a FolderChange: the folder's kept
// names, when the resolution found them current and no other change of
// this process's began or was under way since, take the new name.
void NoteCreated(const std::string& native, const Looked& looked);

}  // namespace plat::detail
