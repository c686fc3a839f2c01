#include "plat/file_stamp.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "folder_names_file.h"
#include "folder_records.h"
#include "plat/cache_file.h"
#include "plat/cp932.h"
#include "plat/path.h"
#include "resolve_look.h"
#include "sjis_walk.h"
#include "syscall_count.h"

namespace plat {
namespace {

void FromStat(const struct stat& st, FileStamp& stamp) {
  stamp.size = static_cast<std::uint64_t>(st.st_size);
  stamp.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  stamp.changedNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  stamp.device = static_cast<std::uint64_t>(st.st_dev);
  stamp.inode = static_cast<std::uint64_t>(st.st_ino);
  stamp.isDirectory = S_ISDIR(st.st_mode);
}

std::string JoinNative(const std::string& folder, std::string_view name) {
  std::string out;
  out.reserve(folder.size() + 1 + name.size());
  out += folder;
  if (!folder.empty() && folder.back() != '/') out.push_back('/');
  out += name;
  return out;
}

// The kept listings by CP932 folder text.
struct ListingCache {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<const FolderListing>, std::less<>> byFolder;
};

ListingCache& Listings() {
  static ListingCache* cache = new ListingCache;  // never destroyed: used until exit
  return *cache;
}

// ---- The change watch ----

// What a watched folder reports: its entries changed (written, touched,
// created, removed, renamed) or it was itself moved or removed.
constexpr uint32_t kFolderEvents = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE |
                                   IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
// What a folder above a watched one reports: it was moved or removed.
constexpr uint32_t kAncestorEvents = IN_MOVE_SELF | IN_DELETE_SELF;
// Kept stamps live at most this long without a report.
constexpr int64_t kKeepNs = 1000000000;

// A status call's answer, kept.
struct KeptStamp {
  KeptStamp(bool found, const FileStamp& now) : exists(found), stamp(found ? now : FileStamp{}) {}
  // Answers as the status call did.
  bool Answer(FileStamp& out) const {
    if (exists) out = stamp;
    return exists;
  }
  bool exists;
  FileStamp stamp;
};

struct ChangeWatch {
  std::mutex mutex;
  int fd = -1;
  bool tried = false;
  std::unordered_set<std::string> watched;  // folders with kFolderEvents
  std::unordered_set<std::string> above;    // folders whose folders above are watched
  std::unordered_map<std::string, KeptStamp> stamps;
  int64_t keptSince = 0;
};

ChangeWatch& Watch() {
  static ChangeWatch* watch = new ChangeWatch;  // never destroyed: used until exit
  return *watch;
}

// An absolute path without "." or ".." components or doubled separators
// (those would make one file known under several names). One pass: every
// component between two separators must be non-empty and neither "." nor
// "..".
bool IsPlainAbsolute(const std::string& native) {
  const std::size_t n = native.size();
  if (n < 2 || native[0] != '/' || native[n - 1] == '/') return false;
  std::size_t start = 1;  // first byte of the current component
  for (std::size_t i = 1; i <= n; ++i) {
    if (i < n && native[i] != '/') continue;
    const std::size_t length = i - start;
    if (length == 0) return false;
    if (native[start] == '.' && (length == 1 || (length == 2 && native[start + 1] == '.')))
      return false;
    start = i + 1;
  }
  return true;
}

thread_local int scopeDepth = 0;
thread_local bool scopeRead = false;

// The watch is set up once a scope (an entry's call) has ended: a process
// that makes one call and exits, such as a job, would spend more on the
// watches than they save. Until then a check is a status call, kept for the
// rest of its scope.
std::atomic<bool> watchWanted{false};
thread_local std::unordered_map<std::string, KeptStamp> scopeStamps;

// Only plain paths are kept (IsPlainAbsolute, checked on a miss).
bool ScopeStampOfNative(const std::string& native, FileStamp& stamp) {
  if (scopeDepth == 0) return StampOfNative(native, stamp);
  if (const auto it = scopeStamps.find(native); it != scopeStamps.end())
    return it->second.Answer(stamp);
  if (!IsPlainAbsolute(native)) return StampOfNative(native, stamp);
  const bool exists = StampOfNative(native, stamp);
  scopeStamps.emplace(native, KeptStamp(exists, stamp));
  return exists;
}

int64_t MonotonicNs() {
  struct timespec ts {};
  ::clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);  // no system call (vDSO)
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// A child of fork starts without the parent's watch (the descriptor is
// shared, and reading it would take the parent's reports).
void BeforeFork() { Watch().mutex.lock(); }
void AfterForkInParent() { Watch().mutex.unlock(); }
void AfterForkInChild() {
  ChangeWatch& w = Watch();
  if (w.fd >= 0) ::close(w.fd);
  w.fd = -1;
  w.tried = false;
  watchWanted.store(false, std::memory_order_relaxed);  // as a new process
  w.watched.clear();
  w.above.clear();
  w.stamps.clear();
  w.mutex.unlock();
}

// The fork handlers, registered once: before the watch is wanted, so that
// a child starts without either.
bool ForkHandlersRegistered() {
  static const bool registered =
      ::pthread_atfork(BeforeFork, AfterForkInParent, AfterForkInChild) == 0;
  return registered;
}

bool HaveWatchLocked(ChangeWatch& w) {
  if (w.tried) return w.fd >= 0;
  w.tried = true;
  if (!ForkHandlersRegistered()) return false;
  detail::CountSystemCalls();
  w.fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  w.keptSince = MonotonicNs();
  return w.fd >= 0;
}

// Reads every report: any report, or the age of the kept stamps, empties
// them; a folder moved or removed, a lost watch or lost reports also
// forget the watched folders.
void ReadReportsLocked(ChangeWatch& w) {
  alignas(struct inotify_event) char buffer[4096];
  bool reported = false;
  bool lost = false;
  // Reports that keep coming are not all read: the stamps go anyway.
  for (int reads = 0; reads < 64; ++reads) {
    detail::CountSystemCalls();
    const ssize_t n = ::read(w.fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    reported = true;
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(struct inotify_event)) <= n;) {
      struct inotify_event event;
      std::memcpy(&event, buffer + at, sizeof event);
      // A watched folder moved or removed: its path may now name another
      // folder, which is watched when next looked at.
      if (event.mask & (IN_MOVE_SELF | IN_DELETE_SELF | IN_IGNORED | IN_Q_OVERFLOW | IN_UNMOUNT))
        lost = true;
      at += static_cast<ssize_t>(sizeof event + event.len);
    }
  }
  const int64_t now = MonotonicNs();
  if (reported || now - w.keptSince > kKeepNs) {
    w.stamps.clear();
    w.keptSince = now;
  }
  if (lost) {
    w.watched.clear();
    w.above.clear();
  }
}

// Watches every folder above the path for being moved or removed; false
// when one cannot be watched.
bool WatchAboveLocked(ChangeWatch& w, const std::string& native) {
  const std::size_t last = native.find_last_of('/');
  const std::string folder = native.substr(0, std::max<std::size_t>(last, 1));
  if (w.above.count(folder)) return true;
  // Up to the first folder whose own ancestors are watched already.
  std::vector<std::string> watchedNow;
  bool reachedWatched = false;
  for (std::size_t cut = last; cut != std::string::npos && cut > 0;
       cut = native.find_last_of('/', cut - 1)) {
    std::string ancestor = native.substr(0, cut);
    if (w.above.count(ancestor)) {
      reachedWatched = true;
      break;
    }
    detail::CountSystemCalls();
    if (::inotify_add_watch(w.fd, ancestor.c_str(), kAncestorEvents | IN_MASK_ADD) < 0)
      return false;
    watchedNow.push_back(std::move(ancestor));
  }
  if (!reachedWatched) {
    detail::CountSystemCalls();
    if (::inotify_add_watch(w.fd, "/", kAncestorEvents | IN_MASK_ADD) < 0) return false;
  }
  // Each folder watched here now has every folder above it watched too.
  for (std::string& each : watchedNow) w.above.insert(std::move(each));
  w.above.insert(folder);
  return true;
}

// Watches a folder for changes of its entries; false when it cannot be
// watched.
bool WatchEntriesLocked(ChangeWatch& w, const std::string& folder) {
  if (w.watched.count(folder)) return true;
  detail::CountSystemCalls();
  if (::inotify_add_watch(w.fd, folder.c_str(), kFolderEvents | IN_MASK_ADD) < 0) return false;
  w.watched.insert(folder);
  return true;
}

}  // namespace

bool StampOfNative(const std::string& native, FileStamp& stamp) {
  struct stat st;
  detail::CountSystemCalls();
  if (::stat(native.c_str(), &st) != 0) return false;
  FromStat(st, stamp);
  return true;
}

bool WatchedStampOfNative(const std::string& native, FileStamp& stamp) {
  if (!watchWanted.load(std::memory_order_relaxed)) return ScopeStampOfNative(native, stamp);
  ChangeWatch& w = Watch();
  std::unique_lock<std::mutex> lock(w.mutex);
  if (!HaveWatchLocked(w)) {
    lock.unlock();
    return StampOfNative(native, stamp);
  }
  if (scopeDepth == 0 || !scopeRead) {
    ReadReportsLocked(w);
    if (scopeDepth > 0) scopeRead = true;
  }
  // Only plain paths are kept: one found is plain.
  if (const auto it = w.stamps.find(native); it != w.stamps.end()) return it->second.Answer(stamp);
  if (!IsPlainAbsolute(native)) {
    lock.unlock();
    return StampOfNative(native, stamp);
  }
  // The watches first, then the status: a change after it is reported. A
  // folder is watched itself (its entries), anything else through the
  // folder that holds it; the status is taken again once that watch is set.
  if (!WatchAboveLocked(w, native)) return StampOfNative(native, stamp);
  bool exists = StampOfNative(native, stamp);
  const bool folder = exists && stamp.isDirectory;
  const std::string holder = native.substr(0, std::max<std::size_t>(native.find_last_of('/'), 1));
  if (!WatchEntriesLocked(w, folder ? native : holder)) return exists;
  exists = StampOfNative(native, stamp);
  if (exists && stamp.isDirectory != folder) return exists;
  w.stamps.insert_or_assign(native, KeptStamp(exists, stamp));
  return exists;
}

void StampFolderFilesInScope(const std::string& folder, const std::vector<std::string>& names) {
  if (scopeDepth == 0 || watchWanted.load(std::memory_order_relaxed) || !IsPlainAbsolute(folder))
    return;
  int fd = -1;
  for (const std::string& name : names) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
      continue;
    std::string path = JoinNative(folder, name);
    if (scopeStamps.count(path)) continue;
    if (fd < 0) {
      do {
        detail::CountSystemCalls();
        fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
      } while (fd < 0 && errno == EINTR);
      if (fd < 0) return;
    }
    // As stat(2) of the path: links followed.
    struct stat st;
    detail::CountSystemCalls();
    const bool found = ::fstatat(fd, name.c_str(), &st, 0) == 0;
    FileStamp stamp;
    if (found) FromStat(st, stamp);
    scopeStamps.emplace(std::move(path), KeptStamp(found, stamp));
  }
  if (fd >= 0) {
    detail::CountSystemCalls();
    ::close(fd);
  }
}

StampScope::StampScope() {
  if (scopeDepth++ == 0) scopeRead = false;
}

StampScope::~StampScope() {
  if (--scopeDepth > 0) return;
  scopeStamps.clear();
  if (!watchWanted.load(std::memory_order_relaxed) && ForkHandlersRegistered())
    watchWanted.store(true, std::memory_order_relaxed);
}

namespace {

// Resolves a CP932 path as File::Open does; in st the status of the name
// it gives (a link not followed), from the resolution's own status call
// where it looked at exactly that name.
bool ResolveWithStatus(const char* path, std::string& native, struct stat& st) {
  detail::Looked looked;
  if (!path || !detail::ResolveLooking(path, false, native, looked)) return false;
  if (looked.known) {
    st = looked.st;
    return looked.exists;
  }
  detail::CountSystemCalls();
  return ::lstat(native.c_str(), &st) == 0;
}

}  // namespace

bool StampOfPath(const char* path, std::string& native, FileStamp& stamp) {
  struct stat st;
  if (!ResolveWithStatus(path, native, st)) return false;
  if (S_ISLNK(st.st_mode)) return StampOfNative(native, stamp);
  FromStat(st, stamp);
  return true;
}

bool StampOfPathAndFolder(const char* path, FileStamp& stamp, FileStamp& folder) {
  std::string native;
  struct stat st;
  if (!ResolveWithStatus(path, native, st)) return false;
  if (S_ISLNK(st.st_mode)) {
    char real[PATH_MAX];
    detail::CountSystemCalls();
    if (!StampOfNative(native, stamp) || !::realpath(native.c_str(), real)) return false;
    native = real;
  } else {
    FromStat(st, stamp);
  }
  const std::size_t slash = native.rfind('/');
  const std::string parent =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : native.substr(0, slash));
  return StampOfNative(parent, folder);
}

// The names of a folder as read, in listing order, with an index by their
// ASCII-folded form.
struct FolderListing::Names {
  struct Entry {
    std::uint32_t at;      // in block
    std::uint32_t length;  // bytes
    bool directory;
    bool followed;  // a link or an entry of unknown kind: looked at when found
  };
  // The folder's records as the kernel wrote them, each name followed by
  // its NUL, and at least 8 bytes after the last one.
  std::unique_ptr<char[]> block;
  std::vector<Entry> entries;
  // Open addressing (linear probing) by the hash of the folded name: entry
  // number + 1, 0 for a free slot. Entries were added in listing order, so
  // the entries of one folded name are met in listing order along a probe.
  // Made once the names have been searched kLinearSearches times: until
  // then a search walks the entries in listing order, which finds the same
  // entry (a job asks for a name or two, fewer than hashing every name).
  std::vector<std::uint32_t> slots;
  static constexpr int kLinearSearches = 4;
  mutable std::atomic<int> searches{0};
  mutable std::atomic<bool> indexed{false};
  mutable std::once_flag indexOnce;

  // Whether a search goes through the slots (made here when it is time).
  bool UseIndex() const {
    if (indexed.load(std::memory_order_acquire)) return true;
    if (searches.fetch_add(1, std::memory_order_relaxed) < kLinearSearches) return false;
    std::call_once(indexOnce, [this] {
      const_cast<Names*>(this)->Index();
      indexed.store(true, std::memory_order_release);
    });
    return true;
  }

  std::string_view Name(const Entry& e) const { return {block.get() + e.at, e.length}; }
  std::size_t FirstSlot(std::string_view s) const { return FoldedHash(s) & (slots.size() - 1); }
  std::size_t NextSlot(std::size_t i) const { return (i + 1) & (slots.size() - 1); }

  // A hash of the bytes under ASCII folding, eight bytes at a time (the
  // last word padded with zero bytes). With readPast the bytes after s may
  // be read up to the end of its last word (they are masked off): names in
  // the block are hashed where they are.
  static std::size_t FoldedHash(std::string_view s, bool readPast = false) {
    std::uint64_t h = s.size();
    std::size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
      std::uint64_t w;
      std::memcpy(&w, s.data() + i, 8);
      h = (h ^ FoldWord(w)) * 0x9E3779B97F4A7C15ull;
    }
    if (const std::size_t rest = s.size() - i) {
      std::uint64_t w = 0;
      if (readPast && std::endian::native == std::endian::little) {
        std::memcpy(&w, s.data() + i, 8);
        w &= ~std::uint64_t{0} >> (64 - 8 * rest);  // the first rest bytes
      } else {
        std::memcpy(&w, s.data() + i, rest);
      }
      h = (h ^ FoldWord(w)) * 0x9E3779B97F4A7C15ull;
    }
    // The low bits pick the slot: mixed from every bit.
    h ^= h >> 32;
    h *= 0xD6E8FEB86659FD93ull;
    return static_cast<std::size_t>(h ^ (h >> 32));
  }

  // The eight bytes of w with 'A'-'Z' made 'a'-'z' (bytes of 0x80 and up
  // are left alone), as FoldAscii does byte by byte.
  static std::uint64_t FoldWord(std::uint64_t w) {
    constexpr std::uint64_t kLow = 0x7F7F7F7F7F7F7F7Full;
    constexpr std::uint64_t kHigh = 0x8080808080808080ull;
    const std::uint64_t low = w & kLow;                       // no carry between bytes
    const std::uint64_t fromA = low + 0x3F3F3F3F3F3F3F3Full;  // high bit: byte >= 'A'
    const std::uint64_t pastZ = low + 0x2525252525252525ull;  // high bit: byte > 'Z'
    const std::uint64_t upper = fromA & ~pastZ & ~w & kHigh;  // 'A'-'Z'
    return w | (upper >> 2);                                  // + 0x20
  }

  // The entry named s exactly; null for none.
  const Entry* Exact(std::string_view s) const {
    if (!UseIndex()) {
      for (const Entry& e : entries)
        if (Name(e) == s) return &e;
      return nullptr;
    }
    for (std::size_t i = FirstSlot(s); slots[i] != 0; i = NextSlot(i)) {
      const Entry& e = entries[slots[i] - 1];
      if (Name(e) == s) return &e;
    }
    return nullptr;
  }

  // The first entry (in listing order) that equals s under ASCII folding,
  // of UTF-8 (utf8 true: every byte) or of CP932 single-byte characters
  // (a double-byte character whose trail byte is a letter is not folded).
  const Entry* Folded(std::string_view s, bool utf8) const {
    auto equal = [&](const Entry& e) {
      const std::string_view name = Name(e);
      return detail::EqualNoCaseUtf8(name, s) && (utf8 || detail::EqualNoCaseSjis(name, s));
    };
    if (!UseIndex()) {
      for (const Entry& e : entries)
        if (equal(e)) return &e;
      return nullptr;
    }
    for (std::size_t i = FirstSlot(s); slots[i] != 0; i = NextSlot(i)) {
      const Entry& e = entries[slots[i] - 1];
      if (equal(e)) return &e;
    }
    return nullptr;
  }

  // Takes the names from the folder's cache file, when it holds them for
  // the folder at the stamp; false otherwise (or for a small folder).
  bool FromCacheFile(const std::string& folder, const FileStamp& stamp) {
    if (stamp.size < detail::kFolderNamesMinSize) return false;
    std::string bytes;
    detail::FolderNamesView view;
    if (!ReadCacheFile(detail::FolderNamesFileName(folder), bytes, kMaxCacheFileSize) ||
        !detail::DecodeFolderNames(bytes, folder, stamp, view) ||
        view.names.size() > UINT32_MAX / 2)
      return false;
    // The names are taken as they stand (each followed by its NUL), with
    // the slack that FoldedHash may read past the last one.
    constexpr std::size_t kSlack = 8;
    block.reset(new char[view.names.size() + kSlack]);
    std::memcpy(block.get(), view.names.data(), view.names.size());
    std::memset(block.get() + view.names.size(), 0, kSlack);
    entries.reserve(view.count);
    const char* const start = block.get();
    const char* const end = start + view.names.size();
    for (const char* at = start; at != end;) {
      const char* nul = static_cast<const char*>(std::memchr(at, '\0', end - at));
      const std::size_t length = static_cast<std::size_t>(nul - at);
      // Not a name a folder lists: empty, "." or "..".
      if (entries.size() == view.count || length == 0 || (at[0] == '.' && length == 1) ||
          (length == 2 && at[0] == '.' && at[1] == '.'))
        return false;
      const auto kind = static_cast<std::uint8_t>(view.kinds[entries.size()]);
      entries.push_back({static_cast<std::uint32_t>(at - start), static_cast<std::uint32_t>(length),
                         (kind & detail::kDirectory) != 0, (kind & detail::kFollowed) != 0});
      at = nul + 1;
    }
    if (entries.size() != view.count) return false;
    return true;
  }

  // Keeps the names read in the folder's cache file for later processes,
  // when they are the folder's names at the stamp and any later change is
  // bound to change it: the folder stands as stamped, and the clock that
  // dates its changes has passed the times it carries.
  void KeepInCacheFile(const std::string& folder, const FileStamp& stamp) const {
    if (!complete || stamp.size < detail::kFolderNamesMinSize) return;
    FileStamp now;
    if (!StampOfNative(folder, now) || !(now == stamp)) return;
    struct timespec ts {};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &ts);  // no system call (vDSO)
    const std::int64_t clock = static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
    if (clock <= std::max(stamp.modifiedNs, stamp.changedNs)) return;
    std::vector<detail::ListedName> listed;
    listed.reserve(entries.size());
    for (const Entry& e : entries) listed.push_back({Name(e), e.directory, e.followed});
    const std::string bytes = detail::EncodeFolderNames(folder, stamp, listed);
    if (bytes.size() <= kMaxCacheFileSize)
      WriteCacheFile(detail::FolderNamesFileName(folder), bytes);
  }

  // The index by folded name. At most half full: a probe ends soon at a
  // free slot.
  void Index() {
    std::size_t size = 16;
    while (size < entries.size() * 2) size <<= 1;
    slots.assign(size, 0);
    for (std::size_t n = 0; n < entries.size(); ++n) {
      std::size_t i = FoldedHash(Name(entries[n]), true) & (size - 1);
      while (slots[i] != 0) i = NextSlot(i);
      slots[i] = static_cast<std::uint32_t>(n + 1);
    }
  }

  // The largest cache file of names taken.
  static constexpr std::size_t kMaxCacheFileSize = std::size_t{16} << 20;
  // Whether Read reached the end of the folder.
  bool complete = false;

  // Reads the names of a native folder; false when it does not open.
  // sizeHint: the folder's size in bytes, which most file systems make
  // grow with its names.
  bool Read(const std::string& folder, std::uint64_t sizeHint) {
    const int fd = detail::OpenFolderRecords(folder.c_str());
    if (fd < 0) return false;
    // The records are read into one block (grown when a read might not
    // fit), and the entries point into it.
    constexpr std::size_t kSlack = 8;
    std::size_t capacity = static_cast<std::size_t>(
        std::clamp<std::uint64_t>(sizeHint + sizeHint / 2, 8192, std::uint64_t{1} << 20));
    block.reset(new char[capacity]);
    std::size_t used = 0;
    entries.reserve(capacity / 48);
    for (;;) {
      if (capacity - used < 4096 + kSlack) {
        if (capacity > UINT32_MAX / 2) break;  // entries point into it with 32 bits
        std::unique_ptr<char[]> grown(new char[capacity * 2]);
        std::memcpy(grown.get(), block.get(), used);
        block = std::move(grown);
        capacity *= 2;
      }
      detail::CountSystemCalls();
      const ssize_t n = ::getdents64(fd, block.get() + used, capacity - used - kSlack);
      if (n < 0 && errno == EINTR) continue;
      complete = n == 0;
      if (n <= 0) break;  // the end, or a failure: the names read so far
      detail::ForEachFolderRecord(
          block.get() + used, static_cast<std::size_t>(n),
          [&](std::string_view name, unsigned char type) {
            if (name == "." || name == "..") return;
            entries.push_back({static_cast<std::uint32_t>(name.data() - block.get()),
                               static_cast<std::uint32_t>(name.size()), type == DT_DIR,
                               type == DT_UNKNOWN || type == DT_LNK});
          });
      used += static_cast<std::size_t>(n);
    }
    detail::CountSystemCalls();
    ::close(fd);
    std::memset(block.get() + used, 0, kSlack);  // what FoldedHash may read past the last name
    return true;
  }
};

namespace {

// Lookups a listing answers by a status call before it reads its names: a
// job asks for a few names (its dictionaries, a prefecture's files); a
// call that asks for many (every prefecture) reads the folder once.
constexpr int kStatusLookups = 16;

// A name a status call can look up as the listing would: one component.
bool IsOneComponent(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

}  // namespace

FolderListing::FolderListing() = default;

FolderListing::~FolderListing() { delete names_.load(std::memory_order_relaxed); }

const FolderListing::Names* FolderListing::ReadNames() const {
  if (const Names* names = names_.load(std::memory_order_acquire)) return names;
  std::lock_guard<std::mutex> lock(namesMutex_);
  if (const Names* names = names_.load(std::memory_order_acquire)) return names;
  auto names = std::make_unique<Names>();
  // A large folder's names come from its cache file while the folder keeps
  // the stamp they were read at.
  if (!names->FromCacheFile(folder_, stamp_)) {
    names = std::make_unique<Names>();
    if (!names->Read(folder_, stamp_.size)) return nullptr;
    names->KeepInCacheFile(folder_, stamp_);
  }
  names_.store(names.get(), std::memory_order_release);
  return names.release();
}

bool FolderListing::Find(const char* name, std::string& native) const {
  if (!name || !*name) return false;
  {
    std::lock_guard<std::mutex> lock(memoMutex_);
    if (const auto it = memo_.find(name); it != memo_.end()) {
      if (it->second.first) native = it->second.second;
      return it->second.first;
    }
  }
  std::string found;
  bool byCall = false;
  const bool ok = Look(name, found, byCall);
  // An answer a system call gave is kept: the name answers the same while
  // the listing lives. One from the names alone costs no more than the
  // memo would.
  if (byCall) {
    std::lock_guard<std::mutex> lock(memoMutex_);
    if (memo_.size() >= 4096) memo_.clear();
    memo_.emplace(name, std::make_pair(ok, found));
  }
  if (ok) native = std::move(found);
  return ok;
}

bool FolderListing::Look(const char* name, std::string& native, bool& byCall) const {
  // ASCII is its own native form.
  const std::string_view raw = name;
  std::string decodedName;
  std::string_view utf8 = raw;
  bool decoded = true;
  if (!std::all_of(raw.begin(), raw.end(), [](char c) { return (c & 0x80) == 0; })) {
    decoded = cp932::ToNativeName(raw, decodedName);
    if (decoded) utf8 = decodedName;
  }
  // A name that exists exactly as decoded is the entry the listing would
  // find first; a status call says whether it is a folder, as it does for
  // a link.
  struct stat st;
  std::string path;
  auto exists = [&] {
    path = JoinNative(folder_, utf8);
    detail::CountSystemCalls();
    const bool found = ::stat(path.c_str(), &st) == 0;
    // Inside a scope the answer is the path's stamp for the rest of it, as
    // if the scope had asked first (a caller stamps what it finds).
    if (scopeDepth > 0 && IsPlainAbsolute(path)) {
      FileStamp stamp;
      if (found) FromStat(st, stamp);
      scopeStamps.emplace(path, KeptStamp(found, stamp));
    }
    return found;
  };
  const Names* names = names_.load(std::memory_order_acquire);
  // Before the names are read, while few names were asked: any other
  // answer needs the names.
  bool looked = false;
  if (!names && IsOneComponent(utf8) &&
      statusLookups_.fetch_add(1, std::memory_order_relaxed) < kStatusLookups) {
    looked = true;
    if (exists()) {
      byCall = true;
      native = std::move(path);
      return !S_ISDIR(st.st_mode);
    }
  }
  if (!names) names = ReadNames();
  if (!names) {
    // The folder cannot be read now (a later lookup tries again): a name
    // is found only as it stands, as an open finds it in a folder it
    // cannot search.
    if (looked || !IsOneComponent(utf8) || !exists()) return false;
    byCall = true;
    native = std::move(path);
    return !S_ISDIR(st.st_mode);
  }
  // As a folder scan finds it: the decoded name exactly, then under ASCII
  // folding, then the raw CP932 bytes exactly and under folding.
  const Names::Entry* found = names->Exact(utf8);
  if (!found) found = names->Folded(utf8, decoded);
  if (!found && decoded && raw != utf8) {
    found = names->Exact(raw);
    if (!found) found = names->Folded(raw, false);
  }
  if (!found) return false;
  native = JoinNative(folder_, names->Name(*found));
  // A link (or an entry of a file system that does not tell) is looked at
  // only when a name finds it.
  bool directory = found->directory;
  if (found->followed) {
    byCall = true;
    detail::CountSystemCalls();
    directory = ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  return !directory;
}

std::shared_ptr<const FolderListing> GetFolderListing(const char* folder) {
  if (!folder || !*folder) return nullptr;
  ListingCache& cache = Listings();
  const std::string_view key = folder;
  std::shared_ptr<const FolderListing> kept;
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    auto it = cache.byFolder.find(key);
    if (it != cache.byFolder.end()) kept = it->second;
  }
  if (kept) {
    FileStamp now;
    if (WatchedStampOfNative(kept->folder_, now) && now == kept->stamp_) return kept;
  }
  auto fresh = std::make_shared<FolderListing>();
  detail::Looked looked;
  if (!detail::ResolveLooking(folder, false, fresh->folder_, looked)) return nullptr;
  while (fresh->folder_.size() > 1 && fresh->folder_.back() == '/') fresh->folder_.pop_back();
  // The stamp is taken before the names are read: a change after it makes
  // the next call take a new listing. Without the change watch, the look
  // the resolution took at a folder (not a link to one) is its stamp, kept
  // for the rest of the scope as a stamp taken here would be.
  if (!watchWanted.load(std::memory_order_relaxed) && looked.known && looked.exists &&
      S_ISDIR(looked.st.st_mode) && (scopeDepth == 0 || !scopeStamps.count(fresh->folder_))) {
    FromStat(looked.st, fresh->stamp_);
    if (scopeDepth > 0 && IsPlainAbsolute(fresh->folder_))
      scopeStamps.emplace(fresh->folder_, KeptStamp(true, fresh->stamp_));
  } else if (!WatchedStampOfNative(fresh->folder_, fresh->stamp_) || !fresh->stamp_.isDirectory) {
    return nullptr;
  }
  // A folder that cannot be read has no listing (its names are read later,
  // when a lookup needs them).
  int fd;
  do {
    detail::CountSystemCalls();
    fd = ::open(fresh->folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return nullptr;
  detail::CountSystemCalls();
  ::close(fd);
  std::lock_guard<std::mutex> lock(cache.mutex);
  cache.byFolder.insert_or_assign(std::string(key), fresh);
  return fresh;
}

ReadOnlyFile::~ReadOnlyFile() { Close(); }

bool ReadOnlyFile::Open(const std::string& native) {
  Close();
  int fd;
  do {
    detail::CountSystemCalls();
    fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  struct stat st;
  detail::CountSystemCalls();
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    detail::CountSystemCalls();
    ::close(fd);
    return false;
  }
  FromStat(st, stamp_);
  fd_ = fd;
  return true;
}

std::size_t OpenFileLimit() {
  struct rlimit limit {};
  detail::CountSystemCalls();
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 0;
  return static_cast<std::size_t>(limit.rlim_cur);
}

void ReadOnlyFile::Close() {
  if (fd_ < 0) return;
  detail::CountSystemCalls();
  ::close(fd_);
  fd_ = -1;
  stamp_ = FileStamp{};
}

bool ReadOnlyFile::ReadAt(std::uint64_t position, void* buffer, std::size_t n) const {
  if (fd_ < 0 || (!buffer && n > 0)) return false;
  auto* out = static_cast<unsigned char*>(buffer);
  std::size_t got = 0;
  while (got < n) {
    detail::CountSystemCalls();
    const ssize_t r = ::pread(fd_, out + got, n - got, static_cast<off_t>(position + got));
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (r == 0) return false;
    got += static_cast<std::size_t>(r);
  }
  return true;
}

std::uint64_t SystemCallCount() { return detail::systemCalls.load(std::memory_order_relaxed); }

}  // namespace plat
