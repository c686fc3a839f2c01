#pragma once
// A folder's names as the store of derived values (plat/derived_store.h)
// keeps them, so that a later process can answer a lookup that no status
// call settles (a name under another letter case, or one that is absent)
// without reading the folder again. One value per folder (the key is its
// native path), trusted only for the folder's stamp it was written with: a
// name added, removed or renamed changes the folder's modification and
// status-change times, and with them the stamp.
//
// The value: "KORTDIRN", the format number, the folder's path, its stamp,
// the number of names and their bytes, a kind byte per name and the names
// in listing order (each followed by a NUL). A value that is short, long,
// of another format, folder or stamp is not used.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "plat/derived_store.h"
#include "plat/file_stamp.h"

namespace plat::detail {

struct ListedName {
  std::string_view name;  // native bytes, without a NUL
  bool directory = false;
  bool followed = false;  // a link or an entry of unknown kind
};

// The store's key of the names of a native folder (it refers to folder).
DerivedKey FolderNamesStoreKey(const std::string& folder);

// The value's bytes for the names of the folder at the stamp.
std::string EncodeFolderNames(const std::string& folder, const FileStamp& stamp,
                              const std::vector<ListedName>& names);

// The names a value holds, as views into its bytes: a kind byte per name
// (kDirectory, kFollowed) and the names in listing order, each followed by
// a NUL.
struct FolderNamesView {
  std::uint32_t count = 0;
  std::string_view kinds;
  std::string_view names;
};
inline constexpr std::uint8_t kDirectory = 1;
inline constexpr std::uint8_t kFollowed = 2;

// The names the bytes hold for the folder at the stamp; false when the
// bytes are not a whole value for that folder and stamp. The
// names hold no separator and end with a NUL; the caller still checks that
// they are count names, none of them empty, "." or "..".
bool DecodeFolderNames(std::string_view bytes, const std::string& folder, const FileStamp& stamp,
                       FolderNamesView& view);

// Folders smaller than this (in the file system's own size of a folder)
// are read directly: one read of the folder costs no more than the value.
inline constexpr std::uint64_t kFolderNamesMinSize = 8192;

}  // namespace plat::detail
