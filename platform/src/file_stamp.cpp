#include "plat/file_stamp.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
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

#include "derived_store_detail.h"
#include "folder_names.h"
#include "names_watch.h"
#include "remote_file_systems.h"
#include "plat/cp932.h"
#include "plat/path.h"
#include "resolve_look.h"
#include "settle_clock.h"
#include "sjis_walk.h"
#include "syscall_count.h"

namespace plat {
namespace {

using detail::IsPlainAbsolute;
using detail::JoinNative;

void FromStat(const struct stat& st, FileStamp& stamp) { detail::StampFromStat(st, stamp); }

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
// The reports of a watched folder that change its names.
constexpr uint32_t kNameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
// Reports of a folder moved or removed, of its watch gone and of reports
// lost: every watched folder is looked at anew.
constexpr uint32_t kLostEvents =
    IN_MOVE_SELF | IN_DELETE_SELF | IN_IGNORED | IN_Q_OVERFLOW | IN_UNMOUNT;
// A watch is added to what it has (IN_MASK_ADD) and set only on a folder
// that is no symbolic link (IN_DONT_FOLLOW with IN_ONLYDIR fails on one):
// every folder of a watched path is watched itself, so a path through a
// link is not watched at all.
constexpr uint32_t kNotThroughLink = IN_MASK_ADD | IN_DONT_FOLLOW | IN_ONLYDIR;
// Kept stamps live at most this long without a report.
constexpr int64_t kKeepNs = 1000000000;

// A status call's answer, kept.
struct KeptStamp {
  KeptStamp(bool found, const FileStamp& now, int entries = -1)
      : exists(found), stamp(found ? now : FileStamp{}), entriesWd(entries) {}
  // Answers as the status call did.
  bool Answer(FileStamp& out) const {
    if (exists) out = stamp;
    return exists;
  }
  bool exists;
  FileStamp stamp;
  // For a folder, the watch of its entries where it was watched before the
  // status call (-1 otherwise).
  int entriesWd;
};

// A watch of a folder's entries, by its watch descriptor (one per folder:
// the kernel gives a folder watched under two paths one descriptor).
struct EntriesWatch {
  std::string folder;  // native, as first watched
  // Reports of names made, removed or renamed in it.
  std::uint64_t generation = 0;
  // Whether its file system reports every change of names: -1 not yet
  // asked (asked when its names are first wanted).
  int reportsNames = -1;
  // Whether a symbolic link of a watched path is in it: a change of its
  // names may point a watched path elsewhere.
  bool holdsLinks = false;
};

struct ChangeWatch {
  std::mutex mutex;
  int fd = -1;
  bool tried = false;
  // Folders with kFolderEvents, with their watch descriptors.
  std::unordered_map<std::string, int> watched;
  std::unordered_map<int, EntriesWatch> entries;
  // Counts every report that may have changed any folder's names or where
  // a watched path leads (a folder moved or removed, a link's folder
  // changed, reports lost): a word on names (NamesWatch) holds only within
  // one epoch.
  std::uint64_t epoch = 1;
  std::unordered_set<std::string> above;  // folders whose folders above are watched
  std::unordered_map<std::string, KeptStamp> stamps;
  int64_t keptSince = 0;
  // Counts the times the kept stamps were emptied: a stamp kept in one
  // round answers the same for the rest of it.
  std::uint64_t stampsRound = 1;
  // Paths the watch does not keep: folders that cannot be watched and links
  // to files. Forgotten every kKeepNs, so that one that can be watched by
  // then is watched again.
  std::unordered_set<std::string> unwatchable;
  int64_t unwatchableSince = 0;
  // Folders reached through symbolic links, by where they lead (watched
  // there, and the folders that hold the links watched for their entries).
  // Forgotten at every report: a link may have been pointed elsewhere.
  std::unordered_map<std::string, std::string> realFolders;
};

ChangeWatch& Watch() {
  static ChangeWatch* watch = new ChangeWatch;  // never destroyed: used until exit
  return *watch;
}

thread_local int scopeDepth = 0;
thread_local bool scopeRead = false;
// The current scope's number, and the time its first NowRealtimeNs read
// (0: not yet read).
thread_local std::uint64_t scopeId = 0;
thread_local std::int64_t scopeNowNs = 0;
std::atomic<std::uint64_t> lastScopeId{0};
// Added to the clock (tests: see settle_clock.h).
std::atomic<std::int64_t> clockShiftNs{0};

std::int64_t ClockNs() {
  struct timespec ts {};
  ::clock_gettime(CLOCK_REALTIME, &ts);  // no system call (vDSO)
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec +
         clockShiftNs.load(std::memory_order_relaxed);
}

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
  w.entries.clear();
  ++w.epoch;  // the parent's words on names are not the child's
  w.above.clear();
  w.stamps.clear();
  ++w.stampsRound;
  w.unwatchable.clear();
  w.realFolders.clear();
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
// forget the watched folders. A name made, removed or renamed in a watched
// folder changes the word on its names; lost reports, a folder moved or
// removed and a change of names where a link of a watched path lies change
// every word (a new epoch).
void ReadReportsLocked(ChangeWatch& w) {
  alignas(struct inotify_event) char buffer[4096];
  bool reported = false;
  bool lost = false;
  bool drained = false;
  // Reports that keep coming are not all read: the stamps go anyway, and
  // the names count as changed everywhere (those left may be of any
  // folder).
  for (int reads = 0; reads < 64; ++reads) {
    detail::CountSystemCalls();
    const ssize_t n = ::read(w.fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      drained = true;
      break;
    }
    reported = true;
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(struct inotify_event)) <= n;) {
      struct inotify_event event;
      std::memcpy(&event, buffer + at, sizeof event);
      // A watched folder moved or removed: its path may now name another
      // folder, which is watched when next looked at.
      if (event.mask & kLostEvents) {
        lost = true;
        if (event.mask & IN_IGNORED) w.entries.erase(event.wd);  // its descriptor is free again
      } else if (event.mask & kNameEvents) {
        if (const auto it = w.entries.find(event.wd); it != w.entries.end()) {
          ++it->second.generation;
          if (it->second.holdsLinks) ++w.epoch;
        }
      }
      at += static_cast<ssize_t>(sizeof event + event.len);
    }
  }
  if (lost || !drained) ++w.epoch;
  const int64_t now = MonotonicNs();
  if (reported || now - w.keptSince > kKeepNs) {
    w.stamps.clear();
    ++w.stampsRound;
    w.keptSince = now;
  }
  if (reported || lost) w.realFolders.clear();
  if (lost || now - w.unwatchableSince > kKeepNs) {
    w.unwatchable.clear();
    w.unwatchableSince = now;
  }
  if (lost) {
    w.watched.clear();
    w.above.clear();
  }
}

// The reports, read once in a scope (outside one, at every look).
void ReadReportsForScopeLocked(ChangeWatch& w) {
  if (scopeDepth == 0 || !scopeRead) {
    ReadReportsLocked(w);
    if (scopeDepth > 0) scopeRead = true;
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
    if (::inotify_add_watch(w.fd, ancestor.c_str(), kAncestorEvents | kNotThroughLink) < 0)
      return false;
    watchedNow.push_back(std::move(ancestor));
  }
  if (!reachedWatched) {
    detail::CountSystemCalls();
    if (::inotify_add_watch(w.fd, "/", kAncestorEvents | kNotThroughLink) < 0) return false;
  }
  // Each folder watched here now has every folder above it watched too.
  for (std::string& each : watchedNow) w.above.insert(std::move(each));
  w.above.insert(folder);
  return true;
}

// Watches a folder for changes of its entries; -1 when it cannot be
// watched, else the watch's descriptor.
int WatchEntriesLocked(ChangeWatch& w, const std::string& folder) {
  if (const auto it = w.watched.find(folder); it != w.watched.end()) return it->second;
  detail::CountSystemCalls();
  const int wd = ::inotify_add_watch(w.fd, folder.c_str(), kFolderEvents | kNotThroughLink);
  if (wd < 0) return -1;
  w.watched.emplace(folder, wd);
  if (!w.entries.count(wd)) w.entries[wd].folder = folder;
  return wd;
}

// Folders taken as on another machine's file system (tests).
std::mutex remoteForTestsMutex;
std::string remoteForTests;

// The watch's word on the names of the folder watched by wd, as of now
// (the reports read so far); wd -1 when its names are not watched. The
// first time, the folder's file system is asked whether it reports them.
detail::NamesWatch NamesWatchLocked(ChangeWatch& w, int wd) {
  detail::NamesWatch names;
  const auto it = w.entries.find(wd);
  if (wd < 0 || it == w.entries.end()) return names;
  EntriesWatch& e = it->second;
  if (e.reportsNames < 0) {
    struct statfs fs {};
    detail::CountSystemCalls();
    e.reportsNames = ::statfs(e.folder.c_str(), &fs) == 0 &&
                     detail::FileSystemReportsNames(static_cast<std::int64_t>(fs.f_type));
    std::lock_guard<std::mutex> lock(remoteForTestsMutex);
    if (!remoteForTests.empty() && e.folder.compare(0, remoteForTests.size(), remoteForTests) == 0)
      e.reportsNames = 0;
  }
  if (e.reportsNames == 0) return names;
  names.wd = wd;
  names.generation = e.generation;
  names.epoch = w.epoch;
  return names;
}

// Watches a folder reached through symbolic links: each folder that holds a
// link met on the way (its entries: a link pointed elsewhere, removed or
// made is reported) and every folder above it, and the folder where the
// path leads (real) and every folder above it, as for a plain path. The
// path is walked as the kernel walks it, one component at a time. False
// when it cannot be walked (a component missing, a loop of links) or a
// watch cannot be set.
bool WatchThroughLinksLocked(ChangeWatch& w, const std::string& folder, std::string& real) {
  // The components still to walk, the next one last.
  std::vector<std::string> rest;
  auto push = [&rest](std::string_view path) {
    std::vector<std::string> parts;
    for (std::size_t at = 0; at <= path.size();) {
      std::size_t end = path.find('/', at);
      if (end == std::string_view::npos) end = path.size();
      if (end > at) parts.emplace_back(path.substr(at, end - at));
      at = end + 1;
    }
    rest.insert(rest.end(), parts.rbegin(), parts.rend());
  };
  push(folder);
  std::string at;  // the folder reached, without links ("" for the root)
  std::vector<std::string> linkFolders;
  int links = 0;
  while (!rest.empty()) {
    const std::string part = std::move(rest.back());
    rest.pop_back();
    if (part == ".") continue;
    if (part == "..") {
      at.resize(at.empty() ? 0 : at.find_last_of('/'));
      continue;
    }
    const std::string next = at + "/" + part;
    struct stat st;
    detail::CountSystemCalls();
    if (::lstat(next.c_str(), &st) != 0) return false;
    if (!S_ISLNK(st.st_mode)) {
      at = next;
      continue;
    }
    char target[4096];
    detail::CountSystemCalls();
    const ssize_t n = ::readlink(next.c_str(), target, sizeof target);
    if (++links > 40 || n <= 0 || static_cast<std::size_t>(n) >= sizeof target) return false;
    linkFolders.push_back(at.empty() ? "/" : at);
    if (target[0] == '/') at.clear();
    push(std::string_view(target, static_cast<std::size_t>(n)));
  }
  real = at.empty() ? "/" : at;
  for (const std::string& holder : linkFolders) {
    if (!WatchAboveLocked(w, JoinNative(holder, "x"))) return false;
    const int wd = WatchEntriesLocked(w, holder);
    if (wd < 0) return false;
    w.entries[wd].holdsLinks = true;
  }
  if (real == "/" || !WatchAboveLocked(w, real)) return false;
  w.realFolders.insert_or_assign(folder, real);
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

namespace {

// WatchedStampOfNative, and where names is given the watch's word on the
// names of the folder the path names (NamesWatchLocked), taken with the
// stamp; in round (when given) the round of the kept stamps in which the
// watch keeps this answer, 0 when it does not keep it.
bool WatchedStamp(const std::string& native, FileStamp& stamp, detail::NamesWatch* names,
                  std::uint64_t* round = nullptr) {
  if (round) *round = 0;
  if (!watchWanted.load(std::memory_order_relaxed)) return ScopeStampOfNative(native, stamp);
  ChangeWatch& w = Watch();
  std::unique_lock<std::mutex> lock(w.mutex);
  if (!HaveWatchLocked(w)) {
    lock.unlock();
    return StampOfNative(native, stamp);
  }
  ReadReportsForScopeLocked(w);
  // Only plain paths are kept: one found is plain. No report was read since
  // a kept stamp was taken (each empties them), so the word on its folder's
  // names now is the word as of its status call.
  if (const auto it = w.stamps.find(native); it != w.stamps.end()) {
    if (names) *names = NamesWatchLocked(w, it->second.entriesWd);
    if (round) *round = w.stampsRound;
    return it->second.Answer(stamp);
  }
  if (!IsPlainAbsolute(native)) {
    lock.unlock();
    return StampOfNative(native, stamp);
  }
  // A path that cannot be watched (or a link to a file) is stamped without
  // the watch (kept for the rest of the scope).
  const std::size_t slash = native.find_last_of('/');
  const std::string holder = native.substr(0, std::max<std::size_t>(slash, 1));
  if (w.unwatchable.count(holder) || w.unwatchable.count(native)) {
    lock.unlock();
    return ScopeStampOfNative(native, stamp);
  }
  // The watches first, then the status: a change after it is reported. A
  // folder is watched itself (its entries), anything else through the
  // folder that holds it; the status is taken again once that watch is set.
  // Where the path goes through links, the watches are set where the links
  // lead (real), and on the folders that hold the links.
  std::string real = native;
  if (const auto it = w.realFolders.find(holder); it != w.realFolders.end()) {
    real = JoinNative(it->second, std::string_view(native).substr(slash + 1));
  } else if (!WatchAboveLocked(w, native)) {
    std::string realHolder;
    if (!WatchThroughLinksLocked(w, holder, realHolder)) {
      w.unwatchable.insert(holder);
      lock.unlock();
      return ScopeStampOfNative(native, stamp);
    }
    real = JoinNative(realHolder, std::string_view(native).substr(slash + 1));
  }
  bool exists = StampOfNative(native, stamp);
  const bool folder = exists && stamp.isDirectory;
  if (folder) {
    // A folder that is itself a link: its entries where it leads.
    std::string realFolder = real;
    if (const auto it = w.realFolders.find(real); it != w.realFolders.end()) {
      realFolder = it->second;
    } else if (WatchEntriesLocked(w, real) < 0 && !WatchThroughLinksLocked(w, real, realFolder)) {
      w.unwatchable.insert(native);
      return exists;
    }
    real = std::move(realFolder);
  }
  const std::string realHolder = real.substr(0, std::max<std::size_t>(real.find_last_of('/'), 1));
  const int wd = WatchEntriesLocked(w, folder ? real : realHolder);
  if (wd < 0) {
    w.unwatchable.insert(folder ? native : holder);
    return exists;
  }
  // The word on the folder's names before its status below: a change of
  // names after the status changes the word.
  detail::NamesWatch word;
  if (names && folder) word = NamesWatchLocked(w, wd);
  // Again, of where the path leads and without following a link: a link to
  // a file is not kept (its file's folder is not watched).
  struct stat st;
  detail::CountSystemCalls();
  if (::lstat(real.c_str(), &st) != 0) {
    exists = false;
  } else if (S_ISLNK(st.st_mode)) {
    w.unwatchable.insert(native);
    return StampOfNative(native, stamp);
  } else {
    exists = true;
    FromStat(st, stamp);
  }
  if (exists && stamp.isDirectory != folder) return exists;
  if (names && exists) *names = word;
  w.stamps.insert_or_assign(native, KeptStamp(exists, stamp, folder ? wd : -1));
  if (round) *round = w.stampsRound;
  return exists;
}

}  // namespace

bool WatchedStampOfNative(const std::string& native, FileStamp& stamp) {
  return WatchedStamp(native, stamp, nullptr);
}

namespace detail {

bool WatchedFolderStamp(const std::string& native, FileStamp& stamp, NamesWatch& names,
                        std::uint64_t* round) {
  names = NamesWatch{};
  return WatchedStamp(native, stamp, &names, round);
}

bool NamesUnchanged(const NamesWatch& names, std::uint64_t* round) {
  if (round) *round = 0;
  if (names.wd < 0 || !watchWanted.load(std::memory_order_relaxed)) return false;
  ChangeWatch& w = Watch();
  std::lock_guard<std::mutex> lock(w.mutex);
  if (w.fd < 0) return false;
  ReadReportsForScopeLocked(w);
  if (round) *round = w.stampsRound;
  const auto it = w.entries.find(names.wd);
  return names.epoch == w.epoch && it != w.entries.end() &&
         it->second.generation == names.generation;
}

bool FileSystemReportsNames(std::int64_t type) {
  if (RemoteFileSystem(type)) return false;
  const auto t = static_cast<std::uint32_t>(type);
  return t != 0x9FA0 /* proc */ && t != 0x62656572 /* sysfs */;
}

void TreatAsRemoteForTests(const std::string& prefix) {
  std::lock_guard<std::mutex> lock(remoteForTestsMutex);
  remoteForTests = prefix;
}

}  // namespace detail

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
  if (scopeDepth++ > 0) return;
  scopeRead = false;
  scopeId = lastScopeId.fetch_add(1, std::memory_order_relaxed) + 1;
  scopeNowNs = 0;
}

StampScope::~StampScope() {
  if (--scopeDepth > 0) return;
  // The call is over: what it put in the store of derived values is
  // written, under the stamps it saw.
  detail::DerivedStoreCallEnded();
  scopeStamps.clear();
  scopeId = 0;
  scopeNowNs = 0;
  if (!watchWanted.load(std::memory_order_relaxed) && ForkHandlersRegistered())
    watchWanted.store(true, std::memory_order_relaxed);
}

bool StampIsSettled(const FileStamp& stamp, std::int64_t nowNs) {
  return std::max(stamp.modifiedNs, stamp.changedNs) <= nowNs - kSettleNs;
}

std::int64_t NowRealtimeNs() {
  if (scopeDepth == 0) return ClockNs();
  if (scopeNowNs == 0) scopeNowNs = ClockNs();
  return scopeNowNs;
}

std::uint64_t CurrentScopeId() { return scopeId; }

namespace detail {
void ShiftClockForTests(std::int64_t shiftNs) {
  clockShiftNs.store(shiftNs, std::memory_order_relaxed);
}
}  // namespace detail

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
  return StampOfNative(detail::FolderOfNative(native), folder);
}

namespace {

// Lookups a listing answers by a status call before it reads its names: a
// job asks for a few names (its dictionaries, a prefecture's files); a
// call that asks for many (every prefecture) reads the folder once.
constexpr int kStatusLookups = 16;

// A name a status call can look up as the listing would: one component.
bool IsOneComponent(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos;
}

// The entry a CP932 name (decoded: utf8, or the raw bytes where they do not
// decode) finds among names, as a folder scan finds it: the decoded name
// exactly, then under ASCII folding, then the raw CP932 bytes exactly and
// under folding.
const detail::FolderNames::Entry* Search(const detail::FolderNames& names, std::string_view raw,
                                         std::string_view utf8, bool decoded) {
  const detail::FolderNames::Entry* found = names.ExactElseFolded(utf8, decoded);
  if (!found && decoded && raw != utf8) found = names.ExactElseFolded(raw, false);
  return found;
}

}  // namespace

FolderListing::FolderListing() = default;

FolderListing::~FolderListing() = default;

const detail::FolderNames* FolderListing::ReadNames(bool& fresh) const {
  fresh = false;
  if (const detail::FolderNames* names = names_.load(std::memory_order_acquire)) {
    const std::uint64_t scope = namesReadInScope_.load(std::memory_order_relaxed);
    fresh = scope != 0 && scope == CurrentScopeId();
    return names;
  }
  std::lock_guard<std::mutex> lock(namesMutex_);
  if (const detail::FolderNames* names = names_.load(std::memory_order_acquire)) {
    const std::uint64_t scope = namesReadInScope_.load(std::memory_order_relaxed);
    fresh = scope != 0 && scope == CurrentScopeId();
    return names;
  }
  // The folder's kept names where they may answer (plat/folder_names.h),
  // else read now.
  bool kept = false;
  auto names = detail::NamesOfFolder(folder_, stamp_, &kept, &watch_);
  if (!names) return nullptr;
  fresh = !kept;
  namesReadInScope_.store(kept ? 0 : CurrentScopeId(), std::memory_order_relaxed);
  namesHeld_ = std::move(names);
  names_.store(namesHeld_.get(), std::memory_order_release);
  return namesHeld_.get();
}

bool FolderListing::AbsenceHolds() const {
  if (watch_.wd >= 0) return detail::NamesUnchanged(watch_);
  FileStamp now;
  return ScopeStampOfNative(folder_, now) && now == stamp_;
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
  const detail::FolderNames* names = names_.load(std::memory_order_acquire);
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
  bool fresh = false;
  names = ReadNames(fresh);
  if (!names) {
    // The folder cannot be read now (a later lookup tries again): a name
    // is found only as it stands, as an open finds it in a folder it
    // cannot search.
    if (looked || !IsOneComponent(utf8) || !exists()) return false;
    byCall = true;
    native = std::move(path);
    return !S_ISDIR(st.st_mode);
  }
  const detail::FolderNames::Entry* found = Search(*names, raw, utf8, decoded);
  // Kept names that lack the name say so only while the folder stands as
  // they were read; else the folder's names as they are now answer.
  std::shared_ptr<const detail::FolderNames> now;
  if (!found && !fresh && !AbsenceHolds()) {
    now = detail::ReadFolderNamesNow(folder_, stamp_.size);
    if (now) found = Search(*now, raw, utf8, decoded);
    byCall = true;
    if (found) names = now.get();
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
  // Where the watch watches the folder's names, it decides: the listing
  // holds while it gives the same word (and the path names the same
  // folder), whatever the age of the folder's times. Confirmed once in a
  // round of the watch's kept stamps, it holds for the rest of the round
  // while the word stands: the folder's stamp would answer as it did.
  if (kept && kept->watch_.wd >= 0) {
    const std::uint64_t confirmed = kept->confirmedRound_.load(std::memory_order_relaxed);
    std::uint64_t round = 0;
    if (confirmed != 0 && detail::NamesUnchanged(kept->watch_, &round) && round == confirmed)
      return kept;
  }
  if (kept && (kept->watch_.wd >= 0 || kept->trust_.Holds())) {
    FileStamp now;
    detail::NamesWatch watch;
    std::uint64_t round = 0;
    const bool exists = detail::WatchedFolderStamp(kept->folder_, now, watch, &round);
    if (kept->watch_.wd >= 0) {
      if (exists && watch == kept->watch_ && now.device == kept->stamp_.device &&
          now.inode == kept->stamp_.inode) {
        kept->confirmedRound_.store(round, std::memory_order_relaxed);
        return kept;
      }
    } else if (exists && now == kept->stamp_ && watch.wd < 0) {
      // A listing taken before the names were watched is taken again once
      // they are (at most once a folder).
      return kept;
    }
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
  } else {
    std::uint64_t round = 0;
    if (!detail::WatchedFolderStamp(fresh->folder_, fresh->stamp_, fresh->watch_, &round) ||
        !fresh->stamp_.isDirectory)
      return nullptr;
    if (fresh->watch_.wd >= 0) fresh->confirmedRound_.store(round, std::memory_order_relaxed);
  }
  // A later call takes it while the watch gives the same word on the
  // folder's names, or where they are not watched while the folder keeps a
  // settled stamp.
  fresh->trust_ = TrustNow(StampIsSettled(fresh->stamp_, NowRealtimeNs()));
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
