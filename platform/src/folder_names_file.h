#pragma once
// A folder's names as the store of derived values (plat/derived_store.h)
// keeps them, so that a later process can answer a lookup that no status
// call settles (a name under another letter case, or one that is absent)
// without reading the folder again. One value per folder, derived from
// the folder itself (its stamp is the value's one source): a name added,
// removed or renamed changes the folder's modification and status-change
// times, and with them the stamp.
//
// The value: the number of names and their bytes, a kind byte per name and
// the names in listing order (each followed by a NUL). A value that is
// short or long is not used.

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

// The store's key of the names of a native folder with that stamp (it
// refers to folder).
DerivedKey FolderNamesStoreKey(const std::string& folder, const FileStamp& stamp);

// The value's bytes for the names.
std::string EncodeFolderNames(const std::vector<ListedName>& names);

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

// The names the bytes hold; false when the bytes are not a whole value.
// The names hold no separator and end with a NUL; the caller still checks
// that they are count names, none of them empty, "." or "..".
bool DecodeFolderNames(std::string_view bytes, FolderNamesView& view);

// Folders smaller than this (in the file system's own size of a folder)
// are read directly: one read of the folder costs no more than the value.
inline constexpr std::uint64_t kFolderNamesMinSize = 8192;

}  // namespace plat::detail
