#pragma once
// A folder's names as the store of derived values (plat/derived_store.h)
// keeps them, so that a later process can answer a lookup that no status
// call settles (a name under another letter case, or one that is absent)
// without reading the folder again. One value per folder, derived from
// the folder itself (its stamp is the value's one source): a name added,
// removed or renamed changes the folder's modification and status-change
// times, and with them the stamp.
//
// The value is the names as a process searches them, used where it stands
// (no name copied): a head (the number of names, of slots and of the
// names' bytes), the entries (FolderNames::Entry: where each name is, its
// length and kind), the slots of the index by folded name
// (FolderNames::MakeSlots; none when the process that kept the names had
// not made it: a later one makes it if it searches them often), and the
// names in listing order, each followed by a NUL, with 8 zero bytes after
// the last. Every part begins at a
// multiple of 8. A value whose parts do not fit it is not used.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "folder_names.h"
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

// The value's bytes for the names (in listing order).
std::string EncodeFolderNames(const std::vector<ListedName>& names);
// The same for names read (with their index when they made it), held.
DerivedBytes EncodeFolderNames(const FolderNames& names);

// The names a value holds, as views into its bytes.
struct FolderNamesView {
  const char* text = nullptr;  // where the entries' names are
  std::span<const FolderNames::Entry> entries;
  std::span<const std::uint32_t> slots;
};

// The names the bytes (at an 8-aligned address) hold; false when they are
// not a whole value: parts out of place, a name outside the names' bytes,
// without its NUL, empty, "." or ".." or holding a separator. (A slot that
// names no entry ends a search that meets it.)
bool DecodeFolderNames(std::string_view bytes, FolderNamesView& view);

// Folders smaller than this (in the file system's own size of a folder)
// are read directly: one read of the folder costs no more than the value.
inline constexpr std::uint64_t kFolderNamesMinSize = 8192;

}  // namespace plat::detail
