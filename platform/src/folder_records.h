#pragma once
// Reading a folder's records with getdents64: the opening and the walk over
// the records one read put in a buffer, as the folder listings and the
// search of a missing name share them.

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "syscall_count.h"

namespace plat::detail {

// The native folder opened for reading its records; -1 when it does not
// open.
inline int OpenFolderRecords(const char* folder) {
  int fd;
  do {
    CountSystemCalls();
    fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// each(name, type) for every record in records[0, got), in the folder's
// order; the name (without its NUL) points into the records. Stops at
// bytes that are not a whole record.
template <class Each>
void ForEachFolderRecord(const char* records, std::size_t got, Each&& each) {
  for (std::size_t at = 0; at < got;) {
    unsigned short length;
    unsigned char type;
    std::memcpy(&length, records + at + offsetof(struct dirent64, d_reclen), sizeof length);
    std::memcpy(&type, records + at + offsetof(struct dirent64, d_type), sizeof type);
    if (length == 0 || at + length > got) break;  // not a record
    const char* name = records + at + offsetof(struct dirent64, d_name);
    each(std::string_view(name, ::strnlen(name, length - offsetof(struct dirent64, d_name))), type);
    at += length;
  }
}

}  // namespace plat::detail
