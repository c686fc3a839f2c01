#include "plat/derived_store.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <lmdb.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#define XXH_INLINE_ALL
#include <strings.h>
#include <xxhash.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <utility>
#include <vector>

#include "derived_store_detail.h"
#include "folder_names.h"
#include "remote_file_systems.h"
#include "plat/aside.h"
#include "plat/path.h"
#include "profile_lines.h"
#include "program_path.h"
#include "syscall_count.h"
#include "write_aside.h"

namespace plat {
namespace {

constexpr char kStoreName[] = "store.mdb";
constexpr char kLockSuffix[] = "-lock";
// The two tables of the environment: the values, and when each was last
// used. The use records are apart so that noting a use never copies a
// value's pages.
constexpr char kValuesTable[] = "kort-values-2";
constexpr char kUsesTable[] = "kort-uses-2";

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kDefaultBoundMiB = 256;
constexpr std::uint64_t kMaxBoundMiB = 65536;

// A value is noted as used at most once in this many seconds (by the first
// call that finds its record older). Letting go orders values by their
// last use; an order that may be off by this much among values used within
// the same few minutes lets go of values that were both recently used,
// while a value unused for longer always goes before them. It costs a busy
// value one write in that time, never one per read.
constexpr std::int64_t kUseInterval = 600;

// How often a long-lived process checks that the store it has open is
// still the one in the cache folder (the folder may have been deleted, the
// store replaced).
constexpr std::int64_t kRecheckNs = 1'000'000'000;

// ---- Keys ----
//
// The key: build (8 bytes), folder (8: a hash of its device and inode),
// kind (16, zero-padded), format (4), item (8: a hash), 4 zero bytes. The
// build and the folder lead, so that the values of one build, and of one
// folder within it, lie together in key order: letting go of such a group
// takes whole pages. The folder and item themselves are kept in the value
// and compared on every read, so that a hash clash only misses.
constexpr std::size_t kKindSize = 16;
constexpr std::size_t kKeySize = 48;
constexpr std::size_t kBuildAt = 0;
constexpr std::size_t kFolderAt = 8;
constexpr std::size_t kKindAt = 16;
constexpr std::size_t kFormatAt = 32;
constexpr std::size_t kItemAt = 36;

using KeyBytes = std::array<char, kKeySize>;

std::uint64_t Hash(const void* data, std::size_t size) { return XXH3_64bits(data, size); }

std::uint64_t FolderHash(std::uint64_t device, std::uint64_t inode) {
  const std::uint64_t both[2] = {device, inode};
  return Hash(both, sizeof both);
}

bool KindOk(std::string_view kind) {
  return !kind.empty() && kind.size() <= kKindSize &&
         std::all_of(kind.begin(), kind.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

template <typename T>
void Store(char* at, T v) {
  std::memcpy(at, &v, sizeof v);
}
template <typename T>
T Load(const char* at) {
  T v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

KeyBytes KeyOf(const DerivedKey& key, std::uint64_t build) {
  KeyBytes k{};
  Store(k.data() + kBuildAt, build);
  Store(k.data() + kFolderAt, FolderHash(key.folder.device, key.folder.inode));
  std::memcpy(k.data() + kKindAt, key.kind.data(), key.kind.size());
  Store(k.data() + kFormatAt, key.format);
  Store(k.data() + kItemAt, Hash(key.item.data(), key.item.size()));
  return k;
}

// ---- Records ----
//
// A value's record: a head, the stamps of its sources, the folder's path
// and the item, the value's bytes (at a multiple of 8 from the record's
// start) and last a checksum (XXH3) of everything before it.
//
//    0 u32 magic "KDV2"          4 u32 head size (where the value begins)
//    8 u64 record size          16 u64 folder device   24 u64 folder inode
//   32 u32 format               36 u32 number of sources
//   40 u32 path length          44 u32 item length
//   48 sources (48 bytes each: size, modified, changed, device, inode,
//      flags), path, item, zeros to a multiple of 8
//   head: the value; record size - 8: the checksum
constexpr std::uint32_t kValueMagic = 0x3256444b;  // "KDV2"
constexpr std::size_t kValueHead = 48;
constexpr std::size_t kSourceSize = 48;
constexpr std::size_t kChecksumSize = 8;

// A use record: the last use (seconds), the record's size and a checksum
// of the two.
constexpr std::size_t kUseSize = 16;

std::size_t HeadSize(std::size_t sources, std::size_t path, std::size_t item) {
  return (kValueHead + sources * kSourceSize + path + item + 7) / 8 * 8;
}

void PutSource(char* at, const FileStamp& s) {
  Store(at, s.size);
  Store(at + 8, s.modifiedNs);
  Store(at + 16, s.changedNs);
  Store(at + 24, s.device);
  Store(at + 32, s.inode);
  Store(at + 40, std::uint64_t{s.isDirectory ? 1u : 0u});
}

void WriteUse(char* at, std::int64_t used) {
  Store(at, used);
  Store(at + 8, static_cast<std::uint32_t>(kUseSize));
  Store(at + 12, static_cast<std::uint32_t>(Hash(at, 12)));
}

// The last use a record holds; false when it is not a sound use record.
bool ReadUse(const MDB_val& v, std::int64_t* used) {
  if (v.mv_size != kUseSize) return false;
  const char* at = static_cast<const char*>(v.mv_data);
  if (Load<std::uint32_t>(at + 8) != kUseSize ||
      Load<std::uint32_t>(at + 12) != static_cast<std::uint32_t>(Hash(at, 12)))
    return false;
  *used = Load<std::int64_t>(at);
  return true;
}

MDB_val Val(const void* data, std::size_t size) { return MDB_val{size, const_cast<void*>(data)}; }

// The lock file the store was made with: a record of the uses table under
// a key of zeros (no value has it), written when the store is made. LMDB
// makes a lock file anew wherever it finds none: a process that finds
// another lock file beside the store than the one the store names (the
// lock file was removed, and a process made a new one) does not use the
// store, since processes under the two lock files would not see each
// other's readers; the next writer puts a new store in its place.
//   0 u64 device   8 u64 inode   16 u32 record size (32)   20 u32 magic
//   24 u64 checksum of the 24 bytes before
constexpr std::size_t kLockRecordSize = 32;
constexpr std::uint32_t kLockMagic = 0x314c444b;  // "KDL1"
const KeyBytes kLockRecordKey{};

void WriteLockRecord(char* at, std::uint64_t device, std::uint64_t inode) {
  Store(at, device);
  Store(at + 8, inode);
  Store(at + 16, static_cast<std::uint32_t>(kLockRecordSize));
  Store(at + 20, kLockMagic);
  Store(at + 24, Hash(at, 24));
}

enum class LockRecord { kMatches, kMissing, kOther };

// Whether the store names the lock file of that device and inode.
LockRecord ReadLockRecord(MDB_txn* txn, MDB_dbi uses, std::uint64_t device, std::uint64_t inode) {
  MDB_val k = Val(kLockRecordKey.data(), kKeySize);
  MDB_val v;
  const int rc = mdb_get(txn, uses, &k, &v);
  if (rc == MDB_NOTFOUND) return LockRecord::kMissing;
  if (rc != MDB_SUCCESS || v.mv_size != kLockRecordSize) return LockRecord::kOther;
  const char* at = static_cast<const char*>(v.mv_data);
  if (Load<std::uint32_t>(at + 16) != kLockRecordSize ||
      Load<std::uint32_t>(at + 20) != kLockMagic || Load<std::uint64_t>(at + 24) != Hash(at, 24))
    return LockRecord::kOther;
  return Load<std::uint64_t>(at) == device && Load<std::uint64_t>(at + 8) == inode
             ? LockRecord::kMatches
             : LockRecord::kOther;
}

bool PutLockRecord(MDB_txn* txn, MDB_dbi uses, std::uint64_t device, std::uint64_t inode) {
  char record[kLockRecordSize];
  WriteLockRecord(record, device, inode);
  MDB_val k = Val(kLockRecordKey.data(), kKeySize);
  MDB_val v = Val(record, kLockRecordSize);
  return mdb_put(txn, uses, &k, &v, 0) == MDB_SUCCESS;
}

std::atomic<std::int64_t> testClock{0};
std::atomic<std::uint64_t> testBuild{0};
std::atomic<std::int64_t> testFileSystem{0};

std::int64_t NowSeconds() {
  if (const std::int64_t t = testClock.load(std::memory_order_relaxed)) return t;
  struct timespec ts {};
  clock_gettime(CLOCK_REALTIME_COARSE, &ts);  // no system call (vDSO)
  return static_cast<std::int64_t>(ts.tv_sec);
}

std::int64_t MonotonicNs() {
  struct timespec ts {};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Bumped in a child after fork: an environment, transaction or value the
// parent had is not the child's to use, end or write.
std::atomic<unsigned> forkGeneration{0};

void RegisterForkHandler() {
  static const bool registered = [] {
    pthread_atfork(nullptr, nullptr, [] { forkGeneration.fetch_add(1); });
    return true;
  }();
  (void)registered;
}

uid_t User() {
  static const uid_t user = geteuid();
  return user;
}

// A file or folder of the user's own that nobody else can write to.
bool OwnAndClosed(const struct stat& st) {
  return st.st_uid == User() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool ParseMiB(const char* text, std::uint64_t& mib) {
  if (!text || !*text) return false;
  std::uint64_t n = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9' || n > kMaxBoundMiB) return false;
    n = n * 10 + static_cast<std::uint64_t>(*p - '0');
  }
  if (n < 1 || n > kMaxBoundMiB) return false;
  mib = n;
  return true;
}

// The key CacheMaxMB of [AdrsLib] in adrslib.ini beside the program; 0
// when there is none. The file is read here by its exact name, not through
// the layer's folder listings: the store is opened while a folder's names
// are being read, which may be the program's own folder.
int IniBoundMiB() {
  const std::string* program = detail::ProgramNativePath();
  if (!program) return 0;
  const std::string path = program->substr(0, program->rfind('/') + 1) + "adrslib.ini";
  detail::CountSystemCalls();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return 0;
  std::string bytes;
  char buffer[4096];
  for (;;) {
    detail::CountSystemCalls();
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || bytes.size() > (1u << 20)) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  detail::CountSystemCalls();
  close(fd);
  // Text mode: 0x1A ends the data; CR before LF is trimmed with the blanks.
  bytes = bytes.substr(0, bytes.find('\x1a'));
  std::vector<std::string> lines;
  for (std::size_t at = 0; at <= bytes.size();) {
    const std::size_t end = std::min(bytes.find('\n', at), bytes.size());
    lines.push_back(bytes.substr(at, end - at));
    at = end + 1;
  }
  return detail::ProfileIntInLines(lines, "AdrsLib", "CacheMaxMB", 0);
}

// The size of the store's map, and so the most its file may take: the
// bound and a quarter more. The values are held to three quarters of the
// bound; the rest is room for the pages a write copies, pages readers
// still see, and pages freed in runs too short for a value of many pages.
std::uint64_t MapSizeOf(std::uint64_t bound) { return bound + bound / 4; }

std::uint64_t Build() {
  if (const std::uint64_t b = testBuild.load(std::memory_order_relaxed)) return b;
  return DerivedBuild();
}

// ---- The environment ----

// The open environment of one cache folder.
struct Env {
  MDB_env* env = nullptr;
  MDB_dbi values = 0;
  MDB_dbi uses = 0;
  std::string folder;
  std::uint64_t bound = 0;
  std::size_t pageSize = 4096;
  // Where the map begins and how large it is.
  std::atomic<const char*> map{nullptr};
  std::atomic<std::uint64_t> mapSize{0};
  dev_t device = 0;  // of store.mdb as opened
  ino_t inode = 0;
  dev_t lockDevice = 0;  // of store.mdb-lock as opened
  ino_t lockInode = 0;
  unsigned generation = 0;
  // Opened for reading only (a job's reads): a writer opens the store anew.
  bool readOnly = false;
  // Its file holds more pages than the bound allows (grown by a process
  // with a larger bound): read, but replaced by the next writer.
  bool overBound = false;
  // It could not make room for values although it held little, or another
  // process grew it past this process's map: replaced by the next writer
  // (readers still read it).
  std::atomic<bool> full{false};
  // A record failed its check or the store answered an error: nothing more
  // is read from it or written into it.
  std::atomic<bool> damaged{false};
  std::atomic<std::int64_t> checkedNs{0};

  ~Env() {
    if (env && generation == forkGeneration.load()) mdb_env_close(env);
  }
};

std::atomic<bool> foundDamaged{false};

void MarkDamaged(Env& env) {
  env.damaged.store(true);
  foundDamaged.store(true);
}

struct EnvHolder {
  std::mutex mutex;
  std::shared_ptr<Env> current;
  // A reader that found no store to use does not look again for a second
  // (a writer always looks).
  std::string absentFolder;
  std::int64_t absentSinceNs = 0;
};

EnvHolder& Holder() {
  static EnvHolder* holder = [] {
    RegisterForkHandler();
    return new EnvHolder;  // never destroyed: threads may use it at exit
  }();
  return *holder;
}

// One writer at a time in the process (LMDB's writer lock is the
// processes').
std::mutex& WriteMutex() {
  static auto* mutex = new std::mutex;
  return *mutex;
}

std::atomic<bool> inPlace{false};

// Whether the folder is on this machine's file system: on one of other
// machines the store's lock cannot hold (LMDB's locks and shared map need
// one machine's kernel), and the store is not kept there.
bool LocalFolder(const std::string& folder) {
  if (const std::int64_t t = testFileSystem.load(std::memory_order_relaxed))
    return !detail::RemoteFileSystem(t);
  struct statfs fs {};
  detail::CountSystemCalls();
  if (statfs(folder.c_str(), &fs) != 0) return false;
  return !detail::RemoteFileSystem(static_cast<std::int64_t>(fs.f_type));
}

// 0: a regular file of the user's own, closed to others; 1: missing; -1:
// anything else. st gets what was found.
int CheckFile(const std::string& path, struct stat& st) {
  detail::CountSystemCalls();
  if (lstat(path.c_str(), &st) != 0) return errno == ENOENT ? 1 : -1;
  return S_ISREG(st.st_mode) && OwnAndClosed(st) ? 0 : -1;
}

// The state of the store that a transaction begun now reads or builds on.
struct State {
  std::uint64_t lastTransaction = 0;
  std::uint64_t usedBytes = 0;  // the pages of that state
};

bool StateOf(const Env& env, State& state) {
  MDB_envinfo info{};
  if (mdb_env_info(env.env, &info) != MDB_SUCCESS) return false;
  state.lastTransaction = info.me_last_txnid;
  state.usedBytes = (static_cast<std::uint64_t>(info.me_last_pgno) + 1) * env.pageSize;
  return true;
}

// Where the store's map begins in this process: LMDB does not tell, so it
// is worked out from a page it hands out (a page begins at a multiple of
// the page size from the map's start and names its own number). Only
// compared with, never read: a page that misnames itself gives a start
// that every later check fails, and the store is then taken as damaged.
bool FindMap(Env& env) {
  MDB_txn* txn = nullptr;
  if (mdb_txn_begin(env.env, nullptr, MDB_RDONLY, &txn) != MDB_SUCCESS) return false;
  MDB_cursor* cursor = nullptr;
  MDB_val k, v;
  constexpr MDB_dbi kMainTable = 1;  // the table of the named tables
  bool found = false;
  if (mdb_cursor_open(txn, kMainTable, &cursor) == MDB_SUCCESS) {
    if (mdb_cursor_get(cursor, &k, &v, MDB_FIRST) == MDB_SUCCESS) {
      const auto at = reinterpret_cast<std::uintptr_t>(k.mv_data);
      const std::uintptr_t page = at - at % env.pageSize;
      const std::uint64_t number = Load<std::uint64_t>(reinterpret_cast<const char*>(page));
      if (number < env.mapSize.load() / env.pageSize) {
        env.map.store(reinterpret_cast<const char*>(page - number * env.pageSize));
        found = true;
      }
    }
    mdb_cursor_close(cursor);
  }
  mdb_txn_abort(txn);
  return found;
}

enum class Opened { kOk, kNone, kDamaged };

// Opens the store of the folder; with create, makes the folder and the
// store when they are missing. kDamaged: a store file of the user's own
// that is no store (of another kind or version, cut short).
Opened TryOpen(const std::string& folder, bool create, std::shared_ptr<Env>& out,
               bool readOnly = false) {
  out.reset();
  if (create && !detail::MakeFolderAndParent(folder)) return Opened::kNone;
  struct stat st;
  detail::CountSystemCalls();
  if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || !OwnAndClosed(st) ||
      !LocalFolder(folder))
    return Opened::kNone;
  const std::string path = folder + "/" + kStoreName;
  const std::string lockPath = path + kLockSuffix;
  struct stat lockBefore {};
  const int data = CheckFile(path, st);
  const int lock = CheckFile(lockPath, lockBefore);
  if (data < 0 || (data == 1 && !create) || lock < 0) return Opened::kNone;

  auto env = std::make_shared<Env>();
  env->folder = folder;
  env->generation = forkGeneration.load();
  env->readOnly = readOnly && !create;
  // (Only a writer needs the bound: a reader maps what the file holds.)
  env->bound = env->readOnly ? 0 : CacheBoundBytes();
  if (mdb_env_create(&env->env) != MDB_SUCCESS) {
    env->env = nullptr;
    return Opened::kNone;
  }
  // NOMETASYNC: the data pages reach the disk before the new root does, so
  // that a crash of the system leaves the last state or the one before.
  // NOTLS: read transactions are the store's own, not tied to a thread.
  // RDONLY: a reader takes none of a writer's buffers and descriptors.
  const unsigned flags =
      MDB_NOSUBDIR | MDB_NOTLS | MDB_NOMETASYNC | (env->readOnly ? MDB_RDONLY : 0u);
  detail::CountSystemCalls(10);
  if (mdb_env_set_maxdbs(env->env, 2) != MDB_SUCCESS ||
      (!env->readOnly && mdb_env_set_mapsize(env->env, static_cast<std::size_t>(
                                                           MapSizeOf(env->bound))) != MDB_SUCCESS))
    return Opened::kNone;
  if (const int rc = mdb_env_open(env->env, path.c_str(), flags, 0600); rc != MDB_SUCCESS)
    return rc == MDB_INVALID || rc == MDB_VERSION_MISMATCH ? Opened::kDamaged : Opened::kNone;
  // The file opened is the user's own (it may have been made just now), and
  // holds every page its last state names: a file cut short is no store
  // (its map would fault past the end).
  int fd = -1;
  MDB_envinfo info{};
  MDB_stat stat{};
  detail::CountSystemCalls();
  if (mdb_env_info(env->env, &info) != MDB_SUCCESS ||
      mdb_env_stat(env->env, &stat) != MDB_SUCCESS ||
      mdb_env_get_fd(env->env, &fd) != MDB_SUCCESS || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      !OwnAndClosed(st))
    return Opened::kNone;
  env->pageSize = stat.ms_psize;
  env->mapSize.store(info.me_mapsize);
  const std::uint64_t used = (static_cast<std::uint64_t>(info.me_last_pgno) + 1) * stat.ms_psize;
  if (static_cast<std::uint64_t>(st.st_size) < used || env->pageSize < 512) return Opened::kDamaged;
  env->overBound = !env->readOnly && used > MapSizeOf(env->bound);
  env->device = st.st_dev;
  env->inode = st.st_ino;
  // The lock file: the one that was there (or, made now, the one there
  // now), the user's own.
  struct stat lockAfter {};
  if (CheckFile(lockPath, lockAfter) != 0 || (lock == 0 && (lockAfter.st_dev != lockBefore.st_dev ||
                                                            lockAfter.st_ino != lockBefore.st_ino)))
    return Opened::kNone;
  env->lockDevice = lockAfter.st_dev;
  env->lockInode = lockAfter.st_ino;
  // Reader slots of processes that died inside a read transaction.
  int dead = 0;
  mdb_reader_check(env->env, &dead);
  // The two tables: opened in a read transaction when they are there,
  // else, in a store made just now, made in a write transaction (only with
  // create). The store names the lock file it was made with.
  MDB_txn* txn = nullptr;
  if (mdb_txn_begin(env->env, nullptr, MDB_RDONLY, &txn) != MDB_SUCCESS) return Opened::kNone;
  int rc = mdb_dbi_open(txn, kValuesTable, 0, &env->values);
  if (rc == MDB_SUCCESS) rc = mdb_dbi_open(txn, kUsesTable, 0, &env->uses);
  if (rc == MDB_SUCCESS) {
    const LockRecord lockRecord = ReadLockRecord(txn, env->uses, env->lockDevice, env->lockInode);
    // (Committed: the tables' handles of a read transaction stay open only
    // when it is.)
    if (mdb_txn_commit(txn) != MDB_SUCCESS) return Opened::kNone;
    if (lockRecord != LockRecord::kMatches) return Opened::kDamaged;
    if (!FindMap(*env)) return Opened::kDamaged;
    out = std::move(env);
    return Opened::kOk;
  }
  mdb_txn_abort(txn);
  // A store file that was there holds other tables (an earlier version's)
  // or none: it is replaced, not added to.
  if (rc == MDB_INCOMPATIBLE || (rc == MDB_NOTFOUND && data == 0)) return Opened::kDamaged;
  if (rc != MDB_NOTFOUND || !create) return Opened::kNone;
  if (mdb_txn_begin(env->env, nullptr, 0, &txn) != MDB_SUCCESS) return Opened::kNone;
  rc = mdb_dbi_open(txn, kValuesTable, MDB_CREATE, &env->values);
  if (rc == MDB_SUCCESS) rc = mdb_dbi_open(txn, kUsesTable, MDB_CREATE, &env->uses);
  // (Another process may have made the store meanwhile: its record stands.)
  LockRecord lockRecord = LockRecord::kOther;
  if (rc == MDB_SUCCESS) {
    lockRecord = ReadLockRecord(txn, env->uses, env->lockDevice, env->lockInode);
    if (lockRecord == LockRecord::kMissing &&
        PutLockRecord(txn, env->uses, env->lockDevice, env->lockInode))
      lockRecord = LockRecord::kMatches;
  }
  if (rc != MDB_SUCCESS || lockRecord != LockRecord::kMatches) {
    mdb_txn_abort(txn);
    return rc == MDB_INCOMPATIBLE || lockRecord == LockRecord::kOther ? Opened::kDamaged
                                                                      : Opened::kNone;
  }
  // (txn is freed by its commit, whatever it answers.)
  if (mdb_txn_commit(txn) != MDB_SUCCESS) return Opened::kNone;
  if (!FindMap(*env)) return Opened::kDamaged;
  out = std::move(env);
  return Opened::kOk;
}

// Puts a new, empty store in the folder's place: made aside (a folder of
// its own, named as every writer's aside), its lock file renamed over the
// old one first and then its store file, so that a process opening the
// store meanwhile finds a lock file that no process of the old store
// holds. A process that has the old store open finishes on it and opens
// the new one at its next check.
bool ReplaceStore(const std::string& folder) {
  const std::string path = folder + "/" + kStoreName;
  RemoveAbandonedAsides(path);
  const std::string aside = NextAsideName(path);
  detail::CountSystemCalls();
  if (mkdir(aside.c_str(), 0700) != 0) return false;
  const std::string fresh = aside + "/" + kStoreName;
  bool made = false;
  {
    // Made as any new store is (its tables and the record of its lock
    // file), and closed before it is put in place.
    std::shared_ptr<Env> env;
    made = TryOpen(aside, true, env) == Opened::kOk;
  }
  detail::CountSystemCalls(2);
  made = made && rename((fresh + kLockSuffix).c_str(), (path + kLockSuffix).c_str()) == 0 &&
         rename(fresh.c_str(), path.c_str()) == 0;
  RemoveTree(aside);
  return made;
}

// The process's store of the cache folder (opened, or with create made,
// on first need); null when there is none, or (for a reader) when the one
// open is damaged.
std::shared_ptr<Env> Acquire(bool create) {
  const std::string folder = CacheFolder();
  if (folder.empty()) return nullptr;
  EnvHolder& holder = Holder();
  std::lock_guard<std::mutex> lock(holder.mutex);
  std::shared_ptr<Env>& env = holder.current;
  if (env) {
    bool keep = env->folder == folder && env->generation == forkGeneration.load();
    // A long-lived process notices within a second that the store it has
    // open is no longer the folder's (deleted, replaced, its lock file
    // replaced); a writer looks each time, so that it never writes to a
    // store nobody will read, nor under another lock than the readers'.
    const std::int64_t now = MonotonicNs();
    if (keep && (create || now - env->checkedNs.load(std::memory_order_relaxed) > kRecheckNs)) {
      struct stat st, lockSt;
      const std::string path = folder + "/" + kStoreName;
      keep = CheckFile(path, st) == 0 && st.st_dev == env->device && st.st_ino == env->inode &&
             CheckFile(path + kLockSuffix, lockSt) == 0 && lockSt.st_dev == env->lockDevice &&
             lockSt.st_ino == env->lockInode;
      env->checkedNs.store(now, std::memory_order_relaxed);
    }
    if (!keep) env.reset();
  }
  if (env && create && env->readOnly && !env->damaged.load()) {
    // A job that read through a reader's environment writes through a
    // writer's. The reader's stays open for the rest of the process: closing
    // it would let go of the process's locks on the lock file, which the
    // writer's holds too.
    static auto* readers = new std::vector<std::shared_ptr<Env>>;
    readers->push_back(std::move(env));
  }
  if (env && !env->damaged.load() && !(create && (env->overBound || env->full.load()))) return env;
  if (env && !create) return nullptr;  // damaged: no store until it is replaced
  const std::int64_t now = MonotonicNs();
  if (!create && !env && holder.absentFolder == folder && now - holder.absentSinceNs < kRecheckNs)
    return nullptr;
  // A writer puts a new store in place of a damaged one, or of one grown
  // past its bound; a store file of the user's own that does not open as
  // one is replaced likewise.
  const bool replace = env != nullptr;
  env.reset();
  std::shared_ptr<Env> opened;
  // A job's reads (values used in place) take a reader's environment.
  Opened result = replace ? Opened::kDamaged : TryOpen(folder, create, opened, inPlace.load());
  // (A writer replaces a store grown past its bound as soon as it opens it.)
  if (result == Opened::kOk && create && opened->overBound) {
    opened.reset();
    result = Opened::kDamaged;
  }
  if (result == Opened::kDamaged && create && ReplaceStore(folder))
    result = TryOpen(folder, create, opened);
  if (result != Opened::kOk || !opened) {
    holder.absentFolder = folder;
    holder.absentSinceNs = now;
    return nullptr;
  }
  holder.absentFolder.clear();
  opened->checkedNs.store(now, std::memory_order_relaxed);
  env = opened;
  return env;
}

// Lets the process's store go when it is env (a later need opens the
// folder's store again).
void Drop(const std::shared_ptr<Env>& env) {
  EnvHolder& holder = Holder();
  std::lock_guard<std::mutex> lock(holder.mutex);
  if (holder.current == env) holder.current.reset();
}

// Begins a transaction. A reader table full of dead processes' slots is
// cleared and the transaction tried again. (When another process has grown
// the store beyond this process's map, the transaction is refused: the map
// is not moved under the process's other readers, and the next writer of
// this process replaces the store.)
int Begin(Env& env, unsigned flags, MDB_txn** txn) {
  int rc = mdb_txn_begin(env.env, nullptr, flags, txn);
  if (rc == MDB_READERS_FULL) {
    int dead = 0;
    mdb_reader_check(env.env, &dead);
    rc = mdb_txn_begin(env.env, nullptr, flags, txn);
  }
  if (rc == MDB_MAP_RESIZED) env.full.store(true);
  return rc;
}

void End(MDB_txn* txn, bool commit, int* rc = nullptr) {
  // A transaction is gone after its commit or abort, whatever they answer.
  const int result = commit ? mdb_txn_commit(txn) : (mdb_txn_abort(txn), MDB_SUCCESS);
  if (rc) *rc = result;
}

// Whether a transaction just begun reads the state the store file holds:
// the lock file's count of transactions belongs to this store file (a lock
// file made for another store file, or replaced under the processes that
// use it, is not used). A writer's is the next one exactly.
bool SameStore(const Env& env, MDB_txn* txn, bool writer, State& state) {
  if (!StateOf(env, state)) return false;
  const std::uint64_t id = mdb_txn_id(txn);
  if (writer) return id == state.lastTransaction + 1;
  return id <= state.lastTransaction && state.lastTransaction - id < 64;
}

// ---- Checks of what the store holds ----

// Whether the bytes at data lie within the pages of the state (past the
// two meta pages).
bool WithinState(const Env& env, const State& state, const void* data, std::size_t size) {
  const auto p = reinterpret_cast<std::uintptr_t>(data);
  const auto map = reinterpret_cast<std::uintptr_t>(env.map.load(std::memory_order_relaxed));
  const std::uint64_t end = std::min<std::uint64_t>(state.usedBytes, env.mapSize.load());
  if (p < map + 2 * env.pageSize || p > map + end) return false;
  return size <= map + end - p;
}

// A record large enough to stand on pages of its own stands just past a
// page head; that head names the page, says it begins such a run and how
// many pages the run takes. Letting go of the record frees them by that
// count: it must be the record's own.
bool OverflowHeadSound(const Env& env, const void* data, std::size_t size) {
  constexpr std::size_t kPageHead = 16;  // number, 2 bytes, flags, page count
  constexpr std::uint16_t kOverflowPage = 0x04;
  const char* p = static_cast<const char*>(data);
  const std::uint64_t offset =
      reinterpret_cast<std::uintptr_t>(p) -
      reinterpret_cast<std::uintptr_t>(env.map.load(std::memory_order_relaxed));
  if (offset % env.pageSize != kPageHead) return true;  // within a page of keys
  const char* page = p - kPageHead;
  const std::uint64_t pages = (kPageHead - 1 + size) / env.pageSize + 1;
  return Load<std::uint64_t>(page) == offset / env.pageSize &&
         (Load<std::uint16_t>(page + 10) & kOverflowPage) != 0 &&
         Load<std::uint32_t>(page + 12) == pages;
}

// What a sound value record holds.
struct Record {
  const char* at = nullptr;
  std::size_t size = 0;
  std::size_t head = 0;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint32_t format = 0;
  std::uint32_t sources = 0;
  std::string_view path;
  std::string_view item;
  std::string_view value;
};

// Whether v is a whole, sound value record: its size as it says, its
// checksum right, its parts within it. Nothing past its head is read
// before its size is known to be the record's.
bool ReadRecord(const Env& env, const State& state, const MDB_val& v, Record& r) {
  if (v.mv_size < kValueHead + kChecksumSize || !WithinState(env, state, v.mv_data, kValueHead))
    return false;
  const char* at = static_cast<const char*>(v.mv_data);
  if (Load<std::uint32_t>(at) != kValueMagic || Load<std::uint64_t>(at + 8) != v.mv_size ||
      !WithinState(env, state, at, v.mv_size) || !OverflowHeadSound(env, at, v.mv_size))
    return false;
  if (Load<std::uint64_t>(at + v.mv_size - kChecksumSize) != Hash(at, v.mv_size - kChecksumSize))
    return false;
  r.at = at;
  r.size = v.mv_size;
  r.head = Load<std::uint32_t>(at + 4);
  r.device = Load<std::uint64_t>(at + 16);
  r.inode = Load<std::uint64_t>(at + 24);
  r.format = Load<std::uint32_t>(at + 32);
  r.sources = Load<std::uint32_t>(at + 36);
  const std::uint32_t pathLength = Load<std::uint32_t>(at + 40);
  const std::uint32_t itemLength = Load<std::uint32_t>(at + 44);
  const std::uint64_t parts =
      kValueHead + std::uint64_t{r.sources} * kSourceSize + pathLength + itemLength;
  if (parts > r.head || r.head % 8 != 0 || r.head > v.mv_size - kChecksumSize) return false;
  const char* after = at + kValueHead + std::size_t{r.sources} * kSourceSize;
  r.path = std::string_view(after, pathLength);
  r.item = std::string_view(after + pathLength, itemLength);
  r.value = std::string_view(at + r.head, v.mv_size - kChecksumSize - r.head);
  return true;
}

// Whether the record was derived from files with exactly these stamps.
bool SourcesMatch(const Record& r, DerivedSources sources) {
  if (r.sources != sources.size()) return false;
  char bytes[kSourceSize];
  const char* at = r.at + kValueHead;
  for (const FileStamp& s : sources) {
    PutSource(bytes, s);
    if (std::memcmp(bytes, at, kSourceSize) != 0) return false;
    at += kSourceSize;
  }
  return true;
}

// The one rule of what may be kept and trusted: every file present has a
// settled stamp now.
bool SourcesSettled(DerivedSources sources) {
  const std::int64_t now = NowRealtimeNs();
  for (const FileStamp& s : sources) {
    if (!(s == FileStamp()) && !StampIsSettled(s, now)) return false;
  }
  return true;
}

// ---- The thread's state: what it reads, what it will write ----

// A read transaction and the state it reads: values used in place hold it.
struct Snapshot {
  std::shared_ptr<Env> env;
  MDB_txn* txn = nullptr;
  State state;
  unsigned generation = 0;
  // Ends the transaction now, while values got from it may still be held
  // (by a job that no longer reads them).
  void Retire() {
    if (txn && generation == forkGeneration.load()) End(txn, false);
    txn = nullptr;
  }
  ~Snapshot() { Retire(); }
};

// A value put and not yet written.
struct Pending {
  KeyBytes key{};
  std::string head;    // the record's head (MakeHead)
  DerivedBytes value;  // its bytes, held until they are written
  // The whole record's size, checksum included.
  std::size_t Size() const { return head.size() + value.bytes.size() + kChecksumSize; }
};

struct ThreadState {
  unsigned generation = 0;
  std::shared_ptr<Snapshot> snapshot;
  std::vector<Pending> values;
  std::vector<KeyBytes> uses;  // values read whose use is due
  // The state of the thread as the current process's: a child of fork
  // drops what its parent's thread had (ending nothing of it).
  ThreadState& Current() {
    const unsigned g = forkGeneration.load();
    if (generation != g) {
      // The parent's transaction is never ended here (its reader slot is
      // the parent's): what holds it is left as it is.
      if (snapshot) new std::shared_ptr<Snapshot>(std::move(snapshot));
      snapshot.reset();
      values.clear();
      uses.clear();
      generation = g;
    }
    return *this;
  }
};

thread_local ThreadState threadState;

// The thread's snapshot of the process's store; a new one when there is
// none, the store changed or it cannot be trusted. Null without a store.
std::shared_ptr<Snapshot> SnapshotOf(ThreadState& ts) {
  if (ts.snapshot && !ts.snapshot->env->damaged.load()) return ts.snapshot;
  ts.snapshot.reset();
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::shared_ptr<Env> env = Acquire(false);
    if (!env) return nullptr;
    auto snapshot = std::make_shared<Snapshot>();
    snapshot->env = env;
    snapshot->generation = forkGeneration.load();
    if (Begin(*env, MDB_RDONLY, &snapshot->txn) != MDB_SUCCESS) {
      snapshot->txn = nullptr;
      return nullptr;
    }
    if (SameStore(*env, snapshot->txn, false, snapshot->state)) {
      ts.snapshot = std::move(snapshot);
      return ts.snapshot;
    }
    // A lock file not of this store file: opened again.
    snapshot.reset();
    Drop(env);
  }
  return nullptr;
}

// Ends the thread's read state unless values are used in place.
void EndSnapshot(ThreadState& ts) {
  if (!inPlace.load()) ts.snapshot.reset();
}

// ---- Writing ----

// Pages of the two tables in the transaction, in bytes.
std::uint64_t BytesInUse(MDB_txn* txn, const Env& env) {
  MDB_stat values{};
  MDB_stat uses{};
  if (mdb_stat(txn, env.values, &values) != MDB_SUCCESS ||
      mdb_stat(txn, env.uses, &uses) != MDB_SUCCESS)
    return UINT64_MAX;
  const std::uint64_t pages = static_cast<std::uint64_t>(values.ms_branch_pages) +
                              values.ms_leaf_pages + values.ms_overflow_pages +
                              uses.ms_branch_pages + uses.ms_leaf_pages + uses.ms_overflow_pages;
  return pages * values.ms_psize;
}

// The same in a read transaction of its own; UINT64_MAX when it cannot be
// read.
std::uint64_t BytesInUse(Env& env) {
  MDB_txn* txn = nullptr;
  if (Begin(env, MDB_RDONLY, &txn) != MDB_SUCCESS) return UINT64_MAX;
  const std::uint64_t bytes = BytesInUse(txn, env);
  End(txn, false);
  return bytes;
}

enum class Wrote { kOk, kFull, kDamaged, kStale, kFailed };

// The values' budget: three quarters of the bound. The rest is room for
// the pages a transaction copies and the pages readers still see.
std::uint64_t Budget(const Env& env) { return env.bound / 4 * 3; }

// A sound record under key in the table (true when there is none):
// nothing is replaced or let go whose record fails its check, since the
// store would free or move pages by what it says.
bool RecordUnderKeySound(Env& env, const State& state, MDB_txn* txn, MDB_dbi table,
                         const KeyBytes& key, bool* present = nullptr) {
  MDB_val k = Val(key.data(), kKeySize);
  MDB_val v;
  const int rc = mdb_get(txn, table, &k, &v);
  if (present) *present = rc == MDB_SUCCESS;
  if (rc == MDB_NOTFOUND) return true;
  if (rc != MDB_SUCCESS) return false;
  if (table == env.uses) {
    std::int64_t used = 0;
    return ReadUse(v, &used);
  }
  Record r;
  return ReadRecord(env, state, v, r);
}

// Begins a write transaction of the store file the process has open, and
// the state it builds on.
Wrote BeginWrite(Env& env, MDB_txn** txn, State& state) {
  const int rc = Begin(env, 0, txn);
  if (rc != MDB_SUCCESS) return rc == MDB_MAP_FULL ? Wrote::kFull : Wrote::kFailed;
  if (SameStore(env, *txn, true, state)) return Wrote::kOk;
  End(*txn, false);
  return Wrote::kStale;
}

// Lets go of values, in transactions of their own, until the tables take
// at most target bytes: whole groups of other builds first, then of other
// data folders (each group the least recently used first), then the
// values of key's folder the least recently used first; each transaction
// deletes what it lets go of in key order.
Wrote LetGo(Env& env, const KeyBytes& key, std::uint64_t target) {
  for (int round = 0; round < 8; ++round) {
    MDB_txn* txn = nullptr;
    State state;
    if (const Wrote begun = BeginWrite(env, &txn, state); begun != Wrote::kOk) return begun;
    int rc = MDB_SUCCESS;
    const std::uint64_t inUse = BytesInUse(txn, env);
    if (inUse == UINT64_MAX) {
      End(txn, false);
      return Wrote::kDamaged;
    }
    if (inUse <= target) {
      End(txn, false);
      return Wrote::kOk;
    }
    struct Candidate {
      KeyBytes key;
      std::int64_t used = 0;
      std::uint64_t bytes = 0;
      int tier = 0;
      std::int64_t groupUsed = 0;  // the latest use in its group
    };
    std::vector<Candidate> all;
    MDB_cursor* cursor = nullptr;
    bool sound = mdb_cursor_open(txn, env.uses, &cursor) == MDB_SUCCESS;
    MDB_val k, v;
    for (rc = sound ? mdb_cursor_get(cursor, &k, &v, MDB_FIRST) : MDB_NOTFOUND;
         sound && rc == MDB_SUCCESS; rc = mdb_cursor_get(cursor, &k, &v, MDB_NEXT)) {
      Candidate c;
      if (k.mv_size == kKeySize && std::memcmp(k.mv_data, kLockRecordKey.data(), kKeySize) == 0)
        continue;  // the store's own record
      if (k.mv_size != kKeySize || !ReadUse(v, &c.used)) {
        sound = false;
        break;
      }
      std::memcpy(c.key.data(), k.mv_data, kKeySize);
      MDB_val value;
      MDB_val vk = Val(c.key.data(), kKeySize);
      Record r;
      if (mdb_get(txn, env.values, &vk, &value) != MDB_SUCCESS ||
          !ReadRecord(env, state, value, r)) {
        sound = false;
        break;
      }
      c.bytes = value.mv_size + kKeySize + kUseSize + 32;
      const bool sameBuild = std::memcmp(c.key.data() + kBuildAt, key.data() + kBuildAt, 8) == 0;
      const bool sameFolder = std::memcmp(c.key.data() + kFolderAt, key.data() + kFolderAt, 8) == 0;
      c.tier = !sameBuild ? 0 : !sameFolder ? 1 : 2;
      all.push_back(c);
    }
    if (cursor) mdb_cursor_close(cursor);
    if (!sound || (rc != MDB_SUCCESS && rc != MDB_NOTFOUND)) {
      End(txn, false);
      return Wrote::kDamaged;
    }
    // The latest use of each group (a build, or a folder of this build).
    std::map<std::string, std::int64_t> latest;
    auto groupOf = [](const Candidate& c) {
      return std::string(c.key.data(), c.tier == 0 ? 8 : c.tier == 1 ? 16 : kKeySize);
    };
    for (const Candidate& c : all) {
      std::int64_t& l = latest[groupOf(c)];
      l = std::max(l, c.used);
    }
    for (Candidate& c : all) c.groupUsed = c.tier == 2 ? c.used : latest[groupOf(c)];
    std::sort(all.begin(), all.end(), [](const Candidate& a, const Candidate& b) {
      return std::tie(a.tier, a.groupUsed, a.used, a.key) <
             std::tie(b.tier, b.groupUsed, b.used, b.key);
    });
    // What goes: until the estimate reaches the target, then the rest of
    // the group of the last one taken (groups go whole).
    std::vector<KeyBytes> gone;
    std::uint64_t freed = 0;
    const std::uint64_t wanted = inUse - target;
    std::string lastGroup;
    for (const Candidate& c : all) {
      if (freed >= wanted && (c.tier == 2 || groupOf(c) != lastGroup)) break;
      gone.push_back(c.key);
      freed += c.bytes;
      lastGroup = groupOf(c);
    }
    if (gone.empty()) {
      End(txn, false);
      return Wrote::kOk;  // nothing left to let go of
    }
    std::sort(gone.begin(), gone.end());
    for (const KeyBytes& g : gone) {
      MDB_val gk = Val(g.data(), kKeySize);
      rc = mdb_del(txn, env.values, &gk, nullptr);
      if (rc == MDB_SUCCESS || rc == MDB_NOTFOUND) rc = mdb_del(txn, env.uses, &gk, nullptr);
      if (rc != MDB_SUCCESS && rc != MDB_NOTFOUND) break;
      rc = MDB_SUCCESS;
    }
    if (rc != MDB_SUCCESS) {
      End(txn, false);
      return rc == MDB_MAP_FULL || rc == MDB_TXN_FULL ? Wrote::kFull : Wrote::kDamaged;
    }
    End(txn, true, &rc);
    if (rc != MDB_SUCCESS) return rc == MDB_MAP_FULL ? Wrote::kFull : Wrote::kFailed;
    if (gone.size() == all.size()) return Wrote::kOk;
  }
  return Wrote::kOk;
}

// Writes the values and notes the uses in one transaction.
Wrote PutAll(Env& env, const std::vector<Pending>& values, const std::vector<KeyBytes>& uses) {
  MDB_txn* txn = nullptr;
  State state;
  if (const Wrote begun = BeginWrite(env, &txn, state); begun != Wrote::kOk) return begun;
  int rc = MDB_SUCCESS;
  const std::int64_t now = NowSeconds();
  char use[kUseSize];
  WriteUse(use, now);
  Wrote result = Wrote::kOk;
  for (const Pending& p : values) {
    if (!RecordUnderKeySound(env, state, txn, env.values, p.key) ||
        !RecordUnderKeySound(env, state, txn, env.uses, p.key)) {
      result = Wrote::kDamaged;
      break;
    }
    MDB_val k = Val(p.key.data(), kKeySize);
    MDB_val v = Val(nullptr, p.Size());
    rc = mdb_put(txn, env.values, &k, &v, MDB_RESERVE);
    if (rc == MDB_SUCCESS) {
      // The record made where it is kept: head, value, and the checksum of
      // the two.
      char* out = static_cast<char*>(v.mv_data);
      std::memcpy(out, p.head.data(), p.head.size());
      if (!p.value.bytes.empty())
        std::memcpy(out + p.head.size(), p.value.bytes.data(), p.value.bytes.size());
      const std::size_t summed = p.Size() - kChecksumSize;
      Store(out + summed, Hash(out, summed));
      MDB_val u = Val(use, kUseSize);
      rc = mdb_put(txn, env.uses, &k, &u, 0);
    }
    if (rc != MDB_SUCCESS) break;
  }
  if (result == Wrote::kOk && rc == MDB_SUCCESS) {
    for (const KeyBytes& key : uses) {
      bool present = false;
      if (!RecordUnderKeySound(env, state, txn, env.values, key, &present) ||
          !RecordUnderKeySound(env, state, txn, env.uses, key)) {
        result = Wrote::kDamaged;
        break;
      }
      if (!present) continue;  // let go of meanwhile
      MDB_val k = Val(key.data(), kKeySize);
      MDB_val u = Val(use, kUseSize);
      rc = mdb_put(txn, env.uses, &k, &u, 0);
      if (rc != MDB_SUCCESS) break;
    }
  }
  if (result != Wrote::kOk || rc != MDB_SUCCESS) {
    End(txn, false);
    if (result != Wrote::kOk) return result;
    return rc == MDB_MAP_FULL || rc == MDB_TXN_FULL ? Wrote::kFull : Wrote::kDamaged;
  }
  End(txn, true, &rc);
  if (rc == MDB_SUCCESS) return Wrote::kOk;
  return rc == MDB_MAP_FULL ? Wrote::kFull : Wrote::kFailed;
}

// Holds the store file's own lock while the process writes: writers of
// every process exclude each other by it whatever lock file they found (a
// lock file removed under running processes leaves two groups of them).
class FileLock {
 public:
  explicit FileLock(Env& env) {
    if (mdb_env_get_fd(env.env, &fd_) != MDB_SUCCESS) fd_ = -1;
    detail::CountSystemCalls();
    while (fd_ >= 0 && flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        fd_ = -1;
        break;
      }
    }
  }
  ~FileLock() {
    if (fd_ < 0) return;
    detail::CountSystemCalls();
    flock(fd_, LOCK_UN);
  }
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Writes the values and uses: room is made first, then one transaction.
// A store found damaged, past its bound or unable to make room is
// replaced by a new one (only for values: uses alone are not worth a new
// store). False when not everything was written.
bool Write(std::vector<Pending> values, std::vector<KeyBytes> uses) {
  if (values.empty() && uses.empty()) return true;
  std::lock_guard<std::mutex> writer(WriteMutex());
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::shared_ptr<Env> env = Acquire(!values.empty());
    if (!env) return false;
    // A value larger than half the bound is not kept.
    bool all = true;
    std::uint64_t need = 0;
    for (auto it = values.begin(); it != values.end();) {
      if (it->Size() > env->bound / 2) {
        it = values.erase(it);
        all = false;
      } else {
        need += it->Size() + kKeySize + kUseSize + 64;
        ++it;
      }
    }
    if (values.empty() && uses.empty()) return all;
    Wrote w = Wrote::kOk;
    {
      FileLock lock(*env);
      if (!lock.Held()) return false;
      const std::uint64_t budget = Budget(*env);
      // The bytes the tables take now (UINT64_MAX when that cannot be
      // read).
      auto inUse = [&] { return BytesInUse(*env); };
      // Room at once for this write and an eighth more, so that not every
      // new value lets go of others.
      if (!values.empty()) {
        const std::uint64_t bytes = inUse();
        if (bytes == UINT64_MAX)
          w = Wrote::kDamaged;
        else if (bytes + need > budget)
          w = LetGo(*env, values.front().key, budget - std::min(budget, need + budget / 8));
      }
      if (w == Wrote::kOk) w = PutAll(*env, values, uses);
      if (w == Wrote::kFull && !values.empty()) {
        // No room although the values are held to the budget. The pages a
        // transaction frees come back only once a later one has been
        // committed and no reader sees them any more, and a value of many
        // pages needs them in one run: the pages just let go of, or those
        // dead readers held. Once more, after two more transactions that
        // let go: the first one's pages come back for the values.
        int dead = 0;
        mdb_reader_check(env->env, &dead);
        for (int round = 0; round < 2 && (w == Wrote::kFull); ++round) {
          const std::uint64_t bytes = inUse();
          if (bytes == UINT64_MAX) {
            w = Wrote::kDamaged;
            break;
          }
          const Wrote let = LetGo(*env, values.front().key, bytes - std::min(bytes, need));
          if (let != Wrote::kOk) w = let;
        }
        if (w == Wrote::kFull) w = PutAll(*env, values, uses);
        // A store that holds little and still cannot take the values cannot
        // make room at all: a new store takes its place. Otherwise this
        // write is given up.
        if (w == Wrote::kFull) {
          const std::uint64_t bytes = inUse();
          if (bytes != UINT64_MAX && bytes > budget / 4) return false;
          env->full.store(true);
        }
      }
      if (w == Wrote::kFull && values.empty()) return false;
    }
    switch (w) {
      case Wrote::kOk:
        return all;
      case Wrote::kFailed:
        return false;
      case Wrote::kStale:
        Drop(env);
        break;
      case Wrote::kDamaged:
        MarkDamaged(*env);
        if (values.empty()) return false;
        break;
      case Wrote::kFull:
        break;  // replaced by the next Acquire
    }
  }
  return false;
}

// The head of a value's record (its size the value's offset in it).
std::string MakeHead(const DerivedKey& key, DerivedSources sources, std::size_t valueSize) {
  const std::string_view path = key.folder.path;
  const std::size_t head = HeadSize(sources.size(), path.size(), key.item.size());
  std::string r(head, '\0');
  char* at = r.data();
  Store(at, kValueMagic);
  Store(at + 4, static_cast<std::uint32_t>(head));
  Store(at + 8, static_cast<std::uint64_t>(head + valueSize + kChecksumSize));
  Store(at + 16, key.folder.device);
  Store(at + 24, key.folder.inode);
  Store(at + 32, key.format);
  Store(at + 36, static_cast<std::uint32_t>(sources.size()));
  Store(at + 40, static_cast<std::uint32_t>(path.size()));
  Store(at + 44, static_cast<std::uint32_t>(key.item.size()));
  char* p = at + kValueHead;
  for (const FileStamp& s : sources) {
    PutSource(p, s);
    p += kSourceSize;
  }
  if (!path.empty()) std::memcpy(p, path.data(), path.size());
  p += path.size();
  if (!key.item.empty()) std::memcpy(p, key.item.data(), key.item.size());
  return r;
}

// A copy of bytes, 8-byte aligned.
DerivedBytes CopyOf(std::string_view bytes) {
  const std::size_t words = (bytes.size() + 7) / 8;
  std::shared_ptr<std::uint64_t[]> block(new std::uint64_t[words == 0 ? 1 : words]);
  if (!bytes.empty()) std::memcpy(block.get(), bytes.data(), bytes.size());
  return {std::string_view(reinterpret_cast<const char*>(block.get()), bytes.size()),
          std::shared_ptr<const void>(block, block.get())};
}

bool InScope() { return CurrentScopeId() != 0; }

}  // namespace

std::string CacheFolder() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg && xdg[0] == '/') return std::string(xdg) + "/kort";
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') return std::string();
  return std::string(home) + "/.cache/kort";
}

std::uint64_t CacheBoundBytes() {
  std::uint64_t mib = kDefaultBoundMiB;
  if (!ParseMiB(std::getenv("KORT_CACHE_MAX_MB"), mib)) {
    const int ini = IniBoundMiB();
    if (ini >= 1 && static_cast<std::uint64_t>(ini) <= kMaxBoundMiB)
      mib = static_cast<std::uint64_t>(ini);
  }
  return mib * kMiB;
}

DerivedFolder DerivedFolderAt(const std::string& native) {
  FileStamp stamp;
  if (!WatchedStampOfNative(native, stamp)) return {};
  return DerivedFolderOf(stamp, native);
}

bool GetDerived(const DerivedKey& key, DerivedSources sources, DerivedBytes& value) {
  value = {};
  if (!KindOk(key.kind) || !key.folder.Known() || Build() == 0 || !SourcesSettled(sources))
    return false;
  ThreadState& ts = threadState.Current();
  const std::shared_ptr<Snapshot> snapshot = SnapshotOf(ts);
  if (!snapshot) return false;
  Env& env = *snapshot->env;
  const KeyBytes bytes = KeyOf(key, Build());
  MDB_val k = Val(bytes.data(), kKeySize);
  MDB_val v;
  bool found = false;
  Record r;
  std::int64_t last = 0;
  int rc = mdb_get(snapshot->txn, env.values, &k, &v);
  if (rc == MDB_SUCCESS) {
    MDB_val u;
    // The value and its use record, each whole and sound.
    if (!ReadRecord(env, snapshot->state, v, r) ||
        mdb_get(snapshot->txn, env.uses, &k, &u) != MDB_SUCCESS || !ReadUse(u, &last)) {
      MarkDamaged(env);
    } else {
      found = r.device == key.folder.device && r.inode == key.folder.inode &&
              r.format == key.format && r.item == key.item && SourcesMatch(r, sources);
    }
  } else if (rc != MDB_NOTFOUND) {
    MarkDamaged(env);
  }
  if (found) {
    if (NowSeconds() - last >= kUseInterval &&
        std::find(ts.uses.begin(), ts.uses.end(), bytes) == ts.uses.end())
      ts.uses.push_back(bytes);
    const bool aligned = reinterpret_cast<std::uintptr_t>(r.value.data()) % 8 == 0;
    if (inPlace.load() && aligned)
      value = {r.value, snapshot};
    else
      value = CopyOf(r.value);
  }
  if (!InScope() && !inPlace.load()) {
    EndSnapshot(ts);
    if (!ts.uses.empty()) Write({}, std::exchange(ts.uses, {}));
  }
  return found;
}

bool PutDerived(const DerivedKey& key, DerivedSources sources, std::string_view value) {
  return PutDerived(key, sources, std::string(value));
}

namespace {

// Puts the held value under key for sources.
bool PutHeld(const DerivedKey& key, DerivedSources sources, DerivedBytes value) {
  const std::size_t valueSize = value.bytes.size();
  if (!KindOk(key.kind) || !key.folder.Known() || Build() == 0 || !SourcesSettled(sources) ||
      key.folder.path.size() > UINT32_MAX || key.item.size() > UINT32_MAX ||
      sources.size() > UINT32_MAX)
    return false;
  const std::uint64_t size =
      HeadSize(sources.size(), key.folder.path.size(), key.item.size()) + valueSize;
  // (The bound itself is the open store's: larger values are left out when
  // the values are written.)
  if (size > kMaxBoundMiB * kMiB / 2 || CacheFolder().empty()) return false;
  Pending p;
  p.key = KeyOf(key, Build());
  p.head = MakeHead(key, sources, valueSize);
  p.value = std::move(value);
  ThreadState& ts = threadState.Current();
  // A later put of the same key within the call replaces the earlier one.
  ts.values.erase(std::remove_if(ts.values.begin(), ts.values.end(),
                                 [&](const Pending& q) { return q.key == p.key; }),
                  ts.values.end());
  ts.values.push_back(std::move(p));
  if (InScope() || inPlace.load()) return true;
  EndSnapshot(ts);
  return Write(std::exchange(ts.values, {}), std::exchange(ts.uses, {}));
}

}  // namespace

bool PutDerived(const DerivedKey& key, DerivedSources sources, std::string&& value) {
  auto owned = std::make_shared<const std::string>(std::move(value));
  return PutHeld(key, sources, {*owned, owned});
}

bool PutDerived(const DerivedKey& key, DerivedSources sources, DerivedBytes value) {
  if (!value.hold) return PutDerived(key, sources, value.bytes);
  return PutHeld(key, sources, std::move(value));
}

void WriteDerivedValues() {
  ThreadState& ts = threadState.Current();
  // A job that used values in place is done with them: its read
  // transaction ends first, so that the pages it saw may be reused.
  if (ts.snapshot && inPlace.load()) ts.snapshot->Retire();
  ts.snapshot.reset();
  if (ts.values.empty() && ts.uses.empty()) return;
  Write(std::exchange(ts.values, {}), std::exchange(ts.uses, {}));
}

void UseDerivedValuesInPlace() { inPlace.store(true); }

std::uint64_t DerivedBuild() {
  static const std::uint64_t build = [] {
    FileStamp s;
    if (!StampOfModule(reinterpret_cast<const void*>(&DerivedBuild), s)) return std::uint64_t{0};
    const std::uint64_t parts[5] = {s.size, static_cast<std::uint64_t>(s.modifiedNs),
                                    static_cast<std::uint64_t>(s.changedNs), s.device, s.inode};
    const std::uint64_t h = Hash(parts, sizeof parts);
    return h == 0 ? std::uint64_t{1} : h;
  }();
  return build;
}

bool NamesDerivedStoreFile(const char* path) {
  if (!path || !*path) return false;
  // Only a name that could be one of the two is looked at further (in any
  // case: the file layer finds a file under another case).
  std::string plain;
  if (!path::ToNative(path, plain)) return false;
  const std::string element = plain.substr(plain.rfind('/') + 1);
  const std::string lock = std::string(kStoreName) + kLockSuffix;
  auto same = [](const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
  };
  if (!same(element, kStoreName) && !same(element, lock)) return false;
  const std::string folder = CacheFolder();
  if (folder.empty()) return false;
  // The name as the file layer would open or create it: its folder
  // resolved, its last element the file found in another case when only
  // such a file exists.
  std::string native;
  if (!path::Resolve(path, true, native) || native.empty()) return false;
  const std::string name = native.substr(native.rfind('/') + 1);
  const std::string holder = detail::FolderOfNative(native);
  struct stat a, b;
  detail::CountSystemCalls(2);
  if (stat(holder.c_str(), &a) != 0 || stat(folder.c_str(), &b) != 0 || a.st_dev != b.st_dev ||
      a.st_ino != b.st_ino)
    return false;
  return name == kStoreName || name == lock;
}

namespace detail {

void DerivedStoreCallEnded() {
  ThreadState& ts = threadState.Current();
  if (inPlace.load()) return;  // written once, when the job is done
  EndSnapshot(ts);
  if (!ts.values.empty() || !ts.uses.empty())
    Write(std::exchange(ts.values, {}), std::exchange(ts.uses, {}));
}

void SetDerivedStoreClock(std::int64_t seconds) { testClock.store(seconds); }

void SetDerivedStoreBuild(std::uint64_t build) { testBuild.store(build); }

void SetCacheFileSystemType(std::int64_t type) { testFileSystem.store(type); }

bool StoreAllowedOnFileSystem(std::int64_t type) { return !RemoteFileSystem(type); }

std::uint64_t DerivedStoreBytesInUse() {
  std::shared_ptr<Env> env = Acquire(false);
  if (!env) return 0;
  const std::uint64_t bytes = BytesInUse(*env);
  return bytes == UINT64_MAX ? 0 : bytes;
}

std::vector<DerivedEntry> DerivedStoreEntries() {
  std::vector<DerivedEntry> out;
  std::shared_ptr<Env> env = Acquire(false);
  if (!env) return out;
  MDB_txn* txn = nullptr;
  if (Begin(*env, MDB_RDONLY, &txn) != MDB_SUCCESS) return out;
  State state;
  StateOf(*env, state);
  MDB_cursor* cursor = nullptr;
  if (mdb_cursor_open(txn, env->values, &cursor) == MDB_SUCCESS) {
    MDB_val k, v;
    for (int rc = mdb_cursor_get(cursor, &k, &v, MDB_FIRST); rc == MDB_SUCCESS;
         rc = mdb_cursor_get(cursor, &k, &v, MDB_NEXT)) {
      Record r;
      if (k.mv_size != kKeySize || !ReadRecord(*env, state, v, r)) continue;
      const char* key = static_cast<const char*>(k.mv_data);
      DerivedEntry e;
      e.kind.assign(key + kKindAt, strnlen(key + kKindAt, kKindSize));
      e.build = Load<std::uint64_t>(key + kBuildAt);
      e.format = r.format;
      e.folder.assign(r.path);
      e.device = r.device;
      e.inode = r.inode;
      e.item.assign(r.item);
      e.size = r.value.size();
      MDB_val used;
      if (mdb_get(txn, env->uses, &k, &used) == MDB_SUCCESS) ReadUse(used, &e.used);
      out.push_back(std::move(e));
    }
    mdb_cursor_close(cursor);
  }
  End(txn, false);
  return out;
}

std::uint64_t DerivedStoreLastTransaction() {
  std::shared_ptr<Env> env = Acquire(false);
  State state;
  if (!env || !StateOf(*env, state)) return 0;
  return state.lastTransaction;
}

bool DerivedStoreFoundDamaged() { return foundDamaged.load(); }

void ForgetDerivedStore() {
  ThreadState& ts = threadState.Current();
  ts.snapshot.reset();
  ts.values.clear();
  ts.uses.clear();
  foundDamaged.store(false);
  inPlace.store(false);
  EnvHolder& holder = Holder();
  std::lock_guard<std::mutex> lock(holder.mutex);
  holder.current.reset();
  holder.absentFolder.clear();
}

}  // namespace detail

namespace {

// The running program's file, by the name the system gave for it when the
// process first asked (as a shared library is stamped by the name it was
// loaded from), and by the system's link itself when that name is gone.
bool StampOfProgram(FileStamp& stamp) {
  const std::string* program = detail::ProgramNativePath();
  if (program && StampOfNative(*program, stamp)) return true;
  return StampOfNative("/proc/self/exe", stamp);
}

}  // namespace

bool StampOfModule(const void* address, FileStamp& stamp) {
  Dl_info info{};
  // A statically linked program has no module table: the address is then
  // the program's own. The program itself may also be named as it was
  // started (relative, or by the bare name found on the search path).
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr || info.dli_fname[0] != '/')
    return StampOfProgram(stamp);
  return StampOfNative(std::string(info.dli_fname), stamp);
}

}  // namespace plat
