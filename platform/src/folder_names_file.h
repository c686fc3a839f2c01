#pragma once
// A folder's names as a cache file keeps them, so that a later process can
// answer a lookup that no status call settles (a name under another letter
// case, or one that is absent) without reading the folder again. One file
// per folder (the key is its native path), trusted only for the folder's
// stamp it was written with: a name added, removed or renamed changes the
// folder's modification and status-change times, and with them the stamp.
//
// The file: "KORTDIRN", the format number, the folder's path, its stamp,
// the names (each with its kind) in listing order, and a check over all of
// it. A file that is short, long, of another format, folder or stamp, or
// whose check fails, is not used.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "plat/file_stamp.h"

namespace plat::detail {

struct ListedName {
  std::string_view name;  // native bytes, without a NUL
  bool directory = false;
  bool followed = false;  // a link or an entry of unknown kind
};

// The cache file's name for a native folder.
std::string FolderNamesFileName(const std::string& folder);

// The file's bytes for the names of the folder at the stamp.
std::string EncodeFolderNames(const std::string& folder, const FileStamp& stamp,
                              const std::vector<ListedName>& names);

// The names the bytes hold for the folder at the stamp (each name a view
// into bytes); false, with names empty, when the bytes are not a whole,
// undamaged file for that folder and stamp.
bool DecodeFolderNames(std::string_view bytes, const std::string& folder, const FileStamp& stamp,
                       std::vector<ListedName>& names);

// Folders smaller than this (in the file system's own size of a folder)
// are read directly: one read of the folder costs no more than the file.
inline constexpr std::uint64_t kFolderNamesMinSize = 8192;

}  // namespace plat::detail
