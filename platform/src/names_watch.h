#pragma once
// The change watch's word on a folder's names (plat::detail::NamesWatch),
// for the layer's kept listings and kept folder names. A folder's names are
// watched when its entries are watched by the process's change watch on a
// local file system: a name made, removed or renamed there is reported, and
// so is the folder or one above it moved or removed, and lost reports (the
// queue overflowed) count as every name changed. On a file system of
// another machine or of a user-space server (NFS, SMB, FUSE and the like)
// changes may come without a report: its names are never watched, and the
// stamps and the racy-stamp rule decide as without a watch.

#include <cstdint>
#include <string>

#include "plat/file_stamp.h"

namespace plat::detail {

// WatchedStampOfNative of a native path, with in names the watch's word on
// the names of the folder it names (wd -1 when it names no folder, or the
// folder's names are not watched). The word is taken no later than the
// stamp: a change of names after the stamp changes the word. round (when
// given): the round of the watch's kept stamps in which it gives this stamp
// again without a look (0 when it does not keep it); a round ends at any
// report, and a second after it began.
bool WatchedFolderStamp(const std::string& native, FileStamp& stamp, NamesWatch& names,
                        std::uint64_t* round = nullptr);

// Whether the watch gives the same word now (reading its reports once per
// scope, as a watched stamp check does): no name made, removed or renamed in
// the folder, nothing above it moved or removed and no reports lost since.
// False for a word of no watch (wd -1). round (when given): the round of
// the kept stamps now.
bool NamesUnchanged(const NamesWatch& names, std::uint64_t* round = nullptr);

// Whether a file system type (statfs f_type) reports every change of a
// folder's names to the change watch: false for the file systems of another
// machine or of a user-space server, and those whose names change without
// a report (proc, sysfs).
bool FileSystemReportsNames(std::int64_t type);

// Tests: folders under the native prefix are taken as on a file system of
// another machine (their names are never watched) once they are first
// watched; an empty prefix ends it.
void TreatAsRemoteForTests(const std::string& prefix);

}  // namespace plat::detail
