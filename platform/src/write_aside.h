#pragma once
// Writes a whole file in place of another: aside first (named as every
// writer's aside, plat/aside.h), then renamed over it (the per-user
// registry file of this layer).

#include <string>

namespace plat::detail {

struct FolderNames;

// RemoveAbandonedAsides (plat/aside.h) among names of the target's folder
// that the caller has just read.
void RemoveAbandonedAsidesAmong(const std::string& nativeTarget, const FolderNames& names);

// Makes the folder (mode 0700) and its parent when they do not exist yet.
bool MakeFolderAndParent(const std::string& folder);

// Writes bytes to a new file beside path and renames it over path; false
// on failure, and then the file aside is removed.
bool WriteAside(const std::string& path, const std::string& bytes);

}  // namespace plat::detail
