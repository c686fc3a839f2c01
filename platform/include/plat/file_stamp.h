#pragma once
// What the layers above need to read a file once and reuse what they read
// while the file stays as it was:
//  - a file's stamp: size, modification and status-change times (in
//    nanoseconds), device and inode. A file that is rewritten, replaced or
//    renamed over gets a different stamp, except within its file system's
//    clock tick: times are whole seconds on ext3, on ext4 with 128-byte
//    inodes and on some network file systems, two seconds for FAT's
//    modification time, and even fine times move only with the kernel's
//    coarse clock. A file rewritten in place at the same size within the
//    tick of its last change keeps its whole stamp (git's "racily clean"
//    entries);
//  - the racy-stamp rule: a stamp is settled when the file's modification
//    and status-change times lie at least kSettleNs (2 s) before the
//    moment it is asked of (StampIsSettled): any later change of the file
//    gets later times, so the stamp tells it. Whatever is derived from a
//    file is written to a cache entry, and a kept entry trusted, only under
//    a settled stamp; a process's own image of a file (a file image, a
//    folder's names, a dictionary, a table derived from them) answers a
//    later call only when it was made under settled stamps (KeptTrust).
//    A file changed more recently is read from the data at every call, and
//    nothing is kept for it until it is old enough. "Now" is read once per
//    scope (NowRealtimeNs): an earlier moment only makes the rule stricter;
//  - a folder's listing, kept while the folder's own stamp is unchanged (a
//    name added, removed or renamed changes the folder) and the rule above
//    lets it answer, so that asking whether many names exist costs one
//    stamp check. In a process whose change watch watches the folder's
//    names (inotify, on a local file system) the watch decides instead: the
//    listing is kept, whatever the age of the folder's times, until the
//    watch reports a name made, removed or renamed there, the folder (or
//    one above it) moved or removed, or reports lost; then it is taken
//    again at the next need. Its names are read only when a lookup needs
//    them: a name that exists exactly as asked is found by a status call
//    while few have been asked. The names are one cache per folder for the
//    whole layer (the listings and the search of a name under another
//    letter case share them); a large folder's are also kept in the store
//    of derived values (plat/derived_store.h) for later processes. A kept
//    listing may save work but never changes an answer: a name it says is
//    absent is missing only while the watch has reported no change of the
//    folder's names since the listing was taken, or, where the names are
//    not watched, once a direct status call of the folder in the current
//    call finds the folder as the names were read (AbsenceHolds); otherwise
//    the folder is read again. A file the process makes itself changes its
//    folder like any other change: the folder's names are read again, never
//    amended;
//  - a change watch that answers a stamp check without a status call while
//    nothing changed (WatchedStampOfNative, StampScope). A folder reached
//    through symbolic links is watched where they lead and in the folders
//    that hold them (a link pointed elsewhere is reported there); a file
//    that is itself a link is not kept by the watch;
//  - a read-only file read at positions (pread, no seek);
//  - a count of the system calls this layer has made, for the benchmarks.
//
// Names are found as File::Open finds them: exactly, then under ASCII case
// folding, then under the raw CP932 bytes.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace plat {

struct FileStamp {
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool isDirectory = false;
  bool operator==(const FileStamp&) const = default;
};

// The stamp of a native (UTF-8) path; false when it does not exist.
bool StampOfNative(const std::string& native, FileStamp& stamp);

// How long before a moment a file's times must lie for its stamp to be
// trusted at that moment (see above): whole-second and FAT times included.
inline constexpr std::int64_t kSettleNs = 2000000000;

// True when the file's modification and status-change times lie at least
// kSettleNs (2 s) before nowNs: a stamp that may be trusted and kept.
bool StampIsSettled(const FileStamp& stamp, std::int64_t nowNs);

// The real-time clock (nanoseconds since the epoch), without a system call.
// Inside a scope (StampScope) the time of its first call: one reading per
// scope, never later than the moment a stamp is compared.
std::int64_t NowRealtimeNs();

// A number of the thread's current scope (its outermost StampScope): never
// 0 and never given to another scope of the process; 0 outside any.
std::uint64_t CurrentScopeId();

// Whether something a process keeps of files (an image, a listing, a value
// derived from them) may answer now: it was made under settled stamps, or
// it is asked again within the scope that made it (one call reads a file
// as one version). Anything else is made again from the files.
struct KeptTrust {
  bool settled = false;
  std::uint64_t scope = 0;  // the scope that made it; 0 outside any
  bool Holds() const { return settled || (scope != 0 && scope == CurrentScopeId()); }
};

// The trust of something made now from files whose stamps are settled (or
// not).
inline KeptTrust TrustNow(bool settled) { return KeptTrust{settled, CurrentScopeId()}; }

// The same answer for an absolute native path, kept between calls while the
// process's change watch (inotify) reports nothing in the folder that holds the
// path (nor in the path itself when it is a folder) and no folder above them
// was moved or removed: a check then costs one read of the watch instead of a
// status call that walks the path. Every report empties what was kept, and so
// does a second passed since it was last emptied (changes the watch cannot see,
// such as a file system of another machine, are noticed by then). A path
// through symbolic links is watched where they lead, and each folder that holds
// one of them is watched for its entries: a link pointed elsewhere, removed or
// made there is reported (and the links are walked again). A file that is
// itself a link is never kept by the watch (its target's folder is not
// watched): it is stamped by a status call, kept for the rest of the scope
// only. Without a watch (none available, a relative path, a folder that cannot
// be watched) it is StampOfNative. The watch is set up only once a scope has
// ended in the process (a process that makes one call does not pay for it);
// until then a check is StampOfNative, kept for the rest of its scope.
bool WatchedStampOfNative(const std::string& native, FileStamp& stamp);

// Stamps files of one absolute native folder (names without a separator)
// for the rest of the current scope, as WatchedStampOfNative would stamp
// each now: the scope's later checks of "<folder>/<name>" make no call.
// The folder is opened once and each file stamped through it (a look-up of
// one name instead of the whole path). Outside a scope, with the change
// watch, or where the folder does not open, nothing is done, and later
// checks stamp as before.
void StampFolderFilesInScope(const std::string& folder, const std::vector<std::string>& names);

// Inside a scope (one per thread, nested scopes count as one) the watch is
// read once, at the first check: the stamps are those of the moment the
// scope looked first, as if every file had been checked then. An entry
// point opens one so that a call costs one read of the watch. A scope is
// also the call of the racy-stamp rule: what was made there from files not
// yet settled answers within it (KeptTrust), and it reads the clock once
// (NowRealtimeNs). Outside any scope every check is a call of its own.
class StampScope {
 public:
  StampScope();
  ~StampScope();
  StampScope(const StampScope&) = delete;
  StampScope& operator=(const StampScope&) = delete;
};
// Resolves a CP932 path as File::Open does, then stamps it; false when it
// does not exist.
bool StampOfPath(const char* path, std::string& native, FileStamp& stamp);
// The same, with the stamp of the folder that holds the file: the folder
// of the name, or of the real path of the file a symbolic link names.
// False when the name names nothing.
bool StampOfPathAndFolder(const char* path, FileStamp& stamp, FileStamp& folder);

namespace detail {
struct FolderNames;

// The change watch's word on a folder's names at one moment: the watch of
// the folder's entries (-1: the names are not watched: no watch, a file
// system of another machine or of a user-space server, or one the watch
// cannot reach) and how many changes of names it had reported there, and
// of the watch as a whole, by then. The names are as they were at that
// moment while the watch gives the same word.
struct NamesWatch {
  int wd = -1;
  std::uint64_t generation = 0;
  std::uint64_t epoch = 0;
  bool operator==(const NamesWatch&) const = default;
};
}  // namespace detail

// The names in one folder at the time of its stamp. The names themselves
// are read when a lookup first needs them: until then (for the first few
// names asked) a name that exists exactly as asked is found by one status
// call, which answers as the listing would. Names are read at most once;
// while the folder cannot be read (out of file descriptors, say), a name
// is found only as it stands, and a later lookup tries to read it again.
// A name the names lack is answered missing only when they were read in
// the current call or AbsenceHolds; else the folder is read again for it.
class FolderListing {
 public:
  FolderListing();
  ~FolderListing();
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;

  // The native path of the entry that a CP932 name (without a separator)
  // opens, when it is listed and is not a folder.
  bool Find(const char* name, std::string& native) const;
  bool Contains(const char* name) const {
    std::string native;
    return Find(name, native);
  }
  const std::string& NativeFolder() const { return folder_; }
  const FileStamp& Stamp() const { return stamp_; }

  // Whether a name this listing lacks is missing now: where the change
  // watch watches the folder's names, it has reported no change of them
  // since the listing was taken (no system call beyond the scope's read of
  // the watch); elsewhere a direct status call of the folder in the current
  // scope (one per scope, kept for the rest of it) finds the stamp the
  // listing was taken at. A caller that keeps answers of the listing (names
  // found missing) asks this before it uses one in a later call; when it
  // does not hold, it asks Find again.
  bool AbsenceHolds() const;

 private:
  friend std::shared_ptr<const FolderListing> GetFolderListing(const char* folder);

  // The folder's names, taken on the first call that can take them; null
  // while the folder does not open. fresh tells whether they were read from
  // the folder in the current scope.
  const detail::FolderNames* ReadNames(bool& fresh) const;
  // Find without the memo; byCall is set when a system call decided the
  // answer.
  bool Look(const char* name, std::string& native, bool& byCall) const;

  std::string folder_;  // native, without a trailing '/'
  FileStamp stamp_;
  KeptTrust trust_;  // whether the listing may answer a later call
  // The watch's word on the folder's names, taken before the names were
  // read (wd -1: not watched, the trust above decides), and the round of
  // the watch's kept stamps in which the folder was last found as listed.
  detail::NamesWatch watch_;
  mutable std::atomic<std::uint64_t> confirmedRound_{0};
  // The answers of Find that a system call decided, by name (the listing
  // does not change).
  mutable std::mutex memoMutex_;
  mutable std::unordered_map<std::string, std::pair<bool, std::string>> memo_;
  // Lookups answered by a status call so far (a budget: past it the names
  // are read, which then answer every lookup).
  mutable std::atomic<int> statusLookups_{0};
  mutable std::mutex namesMutex_;  // held while the names are taken
  mutable std::shared_ptr<const detail::FolderNames> namesHeld_;
  mutable std::atomic<const detail::FolderNames*> names_{nullptr};
  // The scope that read the names from the folder itself (0: taken kept,
  // or read outside any scope).
  mutable std::atomic<std::uint64_t> namesReadInScope_{0};
};

// The listing of a CP932 folder (a trailing separator is allowed): the kept
// listing while the change watch has reported no change of the folder's
// names since it was taken (where the watch watches them, whatever the age
// of the folder's times), or else when one watched stamp check
// (WatchedStampOfNative) finds the folder as it was and the listing may
// answer now (KeptTrust: taken at a settled stamp, or in the current
// scope); otherwise the folder is taken again.
// Null when the folder does not exist or cannot be read. Safe from several
// threads.
std::shared_ptr<const FolderListing> GetFolderListing(const char* folder);

// A file opened for reading by its native path, read at positions.
class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // Opens a native path (not a folder, FIFO or socket) and stamps the open
  // file. False when it does not open.
  bool Open(const std::string& native);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  const FileStamp& Stamp() const { return stamp_; }
  // Exactly n bytes at the position, or false.
  bool ReadAt(std::uint64_t position, void* buffer, std::size_t n) const;

 private:
  int fd_ = -1;
  FileStamp stamp_;
};

// How many files the process may hold open at once (its soft limit of
// descriptors); 0 when it cannot be told or has no limit.
std::size_t OpenFileLimit();

// System calls made by this layer's file, path, folder and configuration
// services since the process started.
std::uint64_t SystemCallCount();

}  // namespace plat
