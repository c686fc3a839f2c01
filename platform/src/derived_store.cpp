#include "plat/derived_store.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <lmdb.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <tuple>
#include <utility>
#include <vector>

#include "derived_store_detail.h"
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
constexpr char kValuesTable[] = "kort-values-1";
constexpr char kUsesTable[] = "kort-uses-1";

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kDefaultBoundMiB = 256;
constexpr std::uint64_t kMaxBoundMiB = 65536;

// A value is noted as used at most once in this many seconds (by the first
// read scope that finds its record older). Letting go orders values by
// their last use; an order that may be off by this much among values used
// within the same few minutes lets go of values that were both recently
// used, while a value unused for longer always goes before them. It costs
// a busy value one write transaction in that time, never one per read.
constexpr std::int64_t kUseInterval = 600;

// How often a long-lived process checks that the store it has open is
// still the one in the cache folder (the folder may have been deleted).
constexpr std::int64_t kRecheckNs = 1'000'000'000;

// The store's key: kind (16 bytes, zero-padded), folder hash, build,
// format, item hash. The folder and item themselves head the value and
// are compared on every read, so that a hash clash only misses.
constexpr std::size_t kKindSize = 16;
constexpr std::size_t kKeySize = kKindSize + 8 + 8 + 4 + 8;
constexpr std::size_t kFolderAt = kKindSize;
constexpr std::size_t kBuildAt = kFolderAt + 8;
constexpr std::size_t kFormatAt = kBuildAt + 8;
constexpr std::size_t kItemAt = kFormatAt + 4;
constexpr std::size_t kValueHead = 8;  // folder length, item length

std::uint64_t Hash(std::string_view s) {
  std::uint64_t h = 0xCBF29CE484222325ull;  // FNV-1a, then mixed
  for (const char c : s) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  return h ^ (h >> 33);
}

using KeyBytes = std::array<char, kKeySize>;

bool KindOk(std::string_view kind) {
  return !kind.empty() && kind.size() <= kKindSize &&
         std::all_of(kind.begin(), kind.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

KeyBytes KeyOf(const DerivedKey& key) {
  KeyBytes k{};
  std::memcpy(k.data(), key.kind.data(), key.kind.size());
  const std::uint64_t folder = Hash(key.folder);
  const std::uint64_t item = Hash(key.item);
  std::memcpy(k.data() + kFolderAt, &folder, 8);
  std::memcpy(k.data() + kBuildAt, &key.build, 8);
  std::memcpy(k.data() + kFormatAt, &key.format, 4);
  std::memcpy(k.data() + kItemAt, &item, 8);
  return k;
}

MDB_val Val(const void* data, std::size_t size) { return MDB_val{size, const_cast<void*>(data)}; }

std::atomic<std::int64_t> testClock{0};

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

// Bumped in a child after fork: an environment the parent opened is not
// the child's to use (nor to close).
std::atomic<unsigned> forkGeneration{0};

uid_t User() {
  static const uid_t user = geteuid();
  return user;
}

// A file or folder of the user's own that nobody else can write to.
bool OwnAndClosed(const struct stat& st) {
  return st.st_uid == User() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// 0: a regular file of the user's own, closed to others; 1: missing; -1:
// anything else.
int CheckFile(const std::string& path) {
  struct stat st;
  detail::CountSystemCalls();
  if (lstat(path.c_str(), &st) != 0) return errno == ENOENT ? 1 : -1;
  return S_ISREG(st.st_mode) && OwnAndClosed(st) ? 0 : -1;
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

// The open environment of one cache folder.
struct Env {
  MDB_env* env = nullptr;
  MDB_dbi values = 0;
  MDB_dbi uses = 0;
  std::string folder;
  std::uint64_t bound = 0;
  dev_t device = 0;
  ino_t inode = 0;
  unsigned generation = 0;
  std::atomic<std::int64_t> checkedNs{0};

  ~Env() {
    if (env && generation == forkGeneration.load()) mdb_env_close(env);
  }
};

struct EnvHolder {
  std::mutex mutex;
  std::shared_ptr<Env> current;
};

EnvHolder& Holder() {
  static EnvHolder* holder = [] {
    pthread_atfork(nullptr, nullptr, [] { forkGeneration.fetch_add(1); });
    return new EnvHolder;  // never destroyed: threads may use it at exit
  }();
  return *holder;
}

bool StatOfStore(const std::string& folder, struct stat& st) {
  detail::CountSystemCalls();
  return lstat((folder + "/" + kStoreName).c_str(), &st) == 0;
}

// Opens the store of the folder; with create, makes the folder and the
// store when they are missing. Null when there is none to use; *damaged
// then tells a store file of the user's own that is no store (of another
// kind or version, cut short).
std::shared_ptr<Env> TryOpen(const std::string& folder, bool create, bool* damaged) {
  *damaged = false;
  if (create && !detail::MakeFolderAndParent(folder)) return nullptr;
  struct stat st;
  detail::CountSystemCalls();
  if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || !OwnAndClosed(st)) return nullptr;
  const std::string path = folder + "/" + kStoreName;
  const int data = CheckFile(path);
  if (data < 0 || (data == 1 && !create) || CheckFile(path + kLockSuffix) < 0) return nullptr;

  auto env = std::make_shared<Env>();
  env->folder = folder;
  env->generation = forkGeneration.load();
  env->bound = CacheBoundBytes();
  if (mdb_env_create(&env->env) != MDB_SUCCESS) return nullptr;
  // NOMETASYNC: the data pages reach the disk before the new root does, so
  // that a crash of the system leaves the last state or the one before.
  // NOTLS: a read scope may stand while its thread writes.
  const unsigned flags = MDB_NOSUBDIR | MDB_NOTLS | MDB_NOMETASYNC;
  detail::CountSystemCalls(12);
  if (mdb_env_set_maxdbs(env->env, 2) != MDB_SUCCESS ||
      mdb_env_set_mapsize(env->env, static_cast<std::size_t>(env->bound)) != MDB_SUCCESS)
    return nullptr;
  if (const int rc = mdb_env_open(env->env, path.c_str(), flags, 0600); rc != MDB_SUCCESS) {
    *damaged = rc == MDB_INVALID || rc == MDB_VERSION_MISMATCH;
    return nullptr;
  }
  // The file opened is the user's own (it may have been made just now), and
  // holds every page its last state names: a file cut short is no store
  // (its map would fault past the end).
  int fd = -1;
  MDB_envinfo info{};
  MDB_stat stat{};
  detail::CountSystemCalls();
  // (The last state is read first: a writer only ever makes the file
  // longer before it names more pages.)
  if (mdb_env_info(env->env, &info) != MDB_SUCCESS ||
      mdb_env_stat(env->env, &stat) != MDB_SUCCESS ||
      mdb_env_get_fd(env->env, &fd) != MDB_SUCCESS || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      !OwnAndClosed(st))
    return nullptr;
  if (static_cast<std::uint64_t>(st.st_size) <
      (static_cast<std::uint64_t>(info.me_last_pgno) + 1) * stat.ms_psize) {
    *damaged = true;
    return nullptr;
  }
  env->device = st.st_dev;
  env->inode = st.st_ino;
  // The two tables: opened in a read transaction when they are there,
  // else made in a write transaction (only with create).
  MDB_txn* txn = nullptr;
  if (mdb_txn_begin(env->env, nullptr, MDB_RDONLY, &txn) != MDB_SUCCESS) return nullptr;
  int rc = mdb_dbi_open(txn, kValuesTable, 0, &env->values);
  if (rc == MDB_SUCCESS) rc = mdb_dbi_open(txn, kUsesTable, 0, &env->uses);
  if (rc == MDB_SUCCESS) return mdb_txn_commit(txn) == MDB_SUCCESS ? env : nullptr;
  mdb_txn_abort(txn);
  if (rc != MDB_NOTFOUND || !create) return nullptr;
  if (mdb_txn_begin(env->env, nullptr, 0, &txn) != MDB_SUCCESS) return nullptr;
  if (mdb_dbi_open(txn, kValuesTable, MDB_CREATE, &env->values) != MDB_SUCCESS ||
      mdb_dbi_open(txn, kUsesTable, MDB_CREATE, &env->uses) != MDB_SUCCESS) {
    mdb_txn_abort(txn);
    return nullptr;
  }
  return mdb_txn_commit(txn) == MDB_SUCCESS ? env : nullptr;
}

// TryOpen; a writer replaces a damaged store file with a new store (the
// file is the user's own, in the user's own folder: nobody else's).
std::shared_ptr<Env> Open(const std::string& folder, bool create) {
  bool damaged = false;
  std::shared_ptr<Env> env = TryOpen(folder, create, &damaged);
  if (env || !damaged || !create) return env;
  const std::string path = folder + "/" + kStoreName;
  detail::CountSystemCalls(2);
  if (unlink(path.c_str()) != 0) return nullptr;
  unlink((path + kLockSuffix).c_str());
  return TryOpen(folder, create, &damaged);
}

// The process's store of the cache folder (opened, or with create made,
// on first need); null when there is none.
std::shared_ptr<Env> Acquire(bool create) {
  const std::string folder = CacheFolder();
  if (folder.empty()) return nullptr;
  EnvHolder& holder = Holder();
  // The store open already, while it is still the folder's.
  auto kept = [&]() -> std::shared_ptr<Env> {
    std::shared_ptr<Env>& env = holder.current;
    if (!env) return nullptr;
    bool keep = env->folder == folder && env->generation == forkGeneration.load();
    // A long-lived process notices within a second that the store it has
    // open is no longer the folder's (deleted, replaced); a writer looks
    // each time, so that it never writes to a store nobody will read.
    const std::int64_t now = MonotonicNs();
    if (keep && (create || now - env->checkedNs.load(std::memory_order_relaxed) > kRecheckNs)) {
      struct stat st;
      keep = StatOfStore(folder, st) && st.st_dev == env->device && st.st_ino == env->inode;
      env->checkedNs.store(now, std::memory_order_relaxed);
    }
    if (!keep) env.reset();
    return env;
  };
  std::lock_guard<std::mutex> lock(holder.mutex);
  if (std::shared_ptr<Env> env = kept()) return env;
  std::shared_ptr<Env> env = Open(folder, create);
  if (env) {
    env->checkedNs.store(MonotonicNs(), std::memory_order_relaxed);
    holder.current = env;
  }
  return env;
}

// Begins a transaction. When another process has grown the store beyond
// this process's map (its bound was larger), the map takes the new size,
// which LMDB allows only while the process has no transaction of the
// store: when nobody but the holder and the caller has it (nobody can take
// it while the holder's lock is held), no other transaction can be open.
int Begin(const std::shared_ptr<Env>& env, unsigned flags, MDB_txn** txn) {
  int rc = mdb_txn_begin(env->env, nullptr, flags, txn);
  if (rc != MDB_MAP_RESIZED) return rc;
  EnvHolder& holder = Holder();
  std::lock_guard<std::mutex> lock(holder.mutex);
  if (holder.current != env || env.use_count() != 2 ||
      mdb_env_set_mapsize(env->env, 0) != MDB_SUCCESS)
    return rc;
  return mdb_txn_begin(env->env, nullptr, flags, txn);
}

std::uint64_t Pages(const MDB_stat& s) {
  return static_cast<std::uint64_t>(s.ms_branch_pages) + s.ms_leaf_pages + s.ms_overflow_pages;
}

// The bytes the two tables take in the transaction.
std::uint64_t BytesInUse(MDB_txn* txn, const Env& env) {
  MDB_stat values{};
  MDB_stat uses{};
  if (mdb_stat(txn, env.values, &values) != MDB_SUCCESS ||
      mdb_stat(txn, env.uses, &uses) != MDB_SUCCESS)
    return UINT64_MAX;
  return (Pages(values) + Pages(uses)) * values.ms_psize;
}

// Lets go of values until the tables take at most target bytes: those of
// other builds first, then those of other data folders than the one of
// key, each the least recently used first. False on a failure of the
// transaction.
bool LetGo(MDB_txn* txn, const Env& env, const KeyBytes& key, std::uint64_t target) {
  if (BytesInUse(txn, env) <= target) return true;
  struct Candidate {
    int tier;
    std::int64_t used;
    KeyBytes key;
  };
  std::vector<Candidate> all;
  MDB_cursor* cursor = nullptr;
  if (mdb_cursor_open(txn, env.uses, &cursor) != MDB_SUCCESS) return false;
  MDB_val k, v;
  for (int rc = mdb_cursor_get(cursor, &k, &v, MDB_FIRST); rc == MDB_SUCCESS;
       rc = mdb_cursor_get(cursor, &k, &v, MDB_NEXT)) {
    if (k.mv_size != kKeySize) continue;
    Candidate c{};
    std::memcpy(c.key.data(), k.mv_data, kKeySize);
    if (v.mv_size == sizeof c.used) std::memcpy(&c.used, v.mv_data, sizeof c.used);
    const bool sameBuild = std::memcmp(c.key.data() + kBuildAt, key.data() + kBuildAt, 8) == 0;
    const bool sameFolder = std::memcmp(c.key.data() + kFolderAt, key.data() + kFolderAt, 8) == 0;
    c.tier = !sameBuild ? 0 : !sameFolder ? 1 : 2;
    all.push_back(c);
  }
  mdb_cursor_close(cursor);
  std::sort(all.begin(), all.end(), [](const Candidate& a, const Candidate& b) {
    return std::tie(a.tier, a.used, a.key) < std::tie(b.tier, b.used, b.key);
  });
  for (const Candidate& c : all) {
    MDB_val gone = Val(c.key.data(), kKeySize);
    int rc = mdb_del(txn, env.values, &gone, nullptr);
    if (rc != MDB_SUCCESS && rc != MDB_NOTFOUND) return false;
    rc = mdb_del(txn, env.uses, &gone, nullptr);
    if (rc != MDB_SUCCESS && rc != MDB_NOTFOUND) return false;
    if (BytesInUse(txn, env) <= target) return true;
  }
  return true;
}

// Notes now as the last use of each key that still has a value.
void NoteUses(Env& env, const std::vector<KeyBytes>& keys) {
  MDB_txn* txn = nullptr;
  if (mdb_txn_begin(env.env, nullptr, 0, &txn) != MDB_SUCCESS) return;
  const std::int64_t now = NowSeconds();
  for (const KeyBytes& key : keys) {
    MDB_val k = Val(key.data(), kKeySize);
    MDB_val v;
    if (mdb_get(txn, env.values, &k, &v) != MDB_SUCCESS) continue;
    MDB_val used = Val(&now, sizeof now);
    if (mdb_put(txn, env.uses, &k, &used, 0) != MDB_SUCCESS) {
      mdb_txn_abort(txn);
      return;
    }
  }
  mdb_txn_commit(txn);
}

// One try at keeping the value: false with *full when the map is full.
bool TryPut(const std::shared_ptr<Env>& shared, const KeyBytes& key, const DerivedKey& dk,
            std::string_view value, bool* full) {
  *full = false;
  Env& env = *shared;
  MDB_txn* txn = nullptr;
  int rc = Begin(shared, 0, &txn);
  if (rc != MDB_SUCCESS) return false;
  const std::size_t size = kValueHead + dk.folder.size() + dk.item.size() + value.size();
  // The tables are kept to three quarters of the bound: the rest is room
  // for pages a transaction copies and pages readers still see.
  const std::uint64_t budget = env.bound / 4 * 3;
  MDB_val k = Val(key.data(), kKeySize);
  MDB_val old;
  std::uint64_t freed = 0;
  if (mdb_get(txn, env.values, &k, &old) == MDB_SUCCESS) freed = old.mv_size;
  const std::uint64_t need = size + 512;
  if (BytesInUse(txn, env) + need > budget + freed) {
    // Some room at once, so that not every new value lets go of one.
    const std::uint64_t target = budget - std::min(budget, need + budget / 8);
    if (!LetGo(txn, env, key, target)) {
      mdb_txn_abort(txn);
      return false;
    }
  }
  MDB_val v = Val(nullptr, size);
  rc = mdb_put(txn, env.values, &k, &v, MDB_RESERVE);
  if (rc == MDB_SUCCESS) {
    char* out = static_cast<char*>(v.mv_data);
    const auto folderSize = static_cast<std::uint32_t>(dk.folder.size());
    const auto itemSize = static_cast<std::uint32_t>(dk.item.size());
    std::memcpy(out, &folderSize, 4);
    std::memcpy(out + 4, &itemSize, 4);
    out += kValueHead;
    if (!dk.folder.empty()) std::memcpy(out, dk.folder.data(), dk.folder.size());
    out += dk.folder.size();
    if (!dk.item.empty()) std::memcpy(out, dk.item.data(), dk.item.size());
    out += dk.item.size();
    if (!value.empty()) std::memcpy(out, value.data(), value.size());
    const std::int64_t now = NowSeconds();
    MDB_val used = Val(&now, sizeof now);
    rc = mdb_put(txn, env.uses, &k, &used, 0);
  }
  if (rc == MDB_SUCCESS)
    rc = mdb_txn_commit(txn);
  else
    mdb_txn_abort(txn);
  *full = rc == MDB_MAP_FULL || rc == MDB_TXN_FULL;
  return rc == MDB_SUCCESS;
}

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

struct DerivedStore::Scope {
  std::shared_ptr<Env> env;
  MDB_txn* txn = nullptr;
  std::vector<KeyBytes> used;  // values to note as used when the scope ends
};

DerivedStore::DerivedStore() = default;

DerivedStore::~DerivedStore() {
  if (!scope_) return;
  if (scope_->txn) mdb_txn_abort(scope_->txn);
  if (!scope_->used.empty()) NoteUses(*scope_->env, scope_->used);
  delete scope_;
}

bool DerivedStore::Get(const DerivedKey& key, std::string_view& value) {
  value = {};
  if (!KindOk(key.kind)) return false;
  if (!scope_) {
    std::shared_ptr<Env> env = Acquire(false);
    if (!env) return false;
    MDB_txn* txn = nullptr;
    if (Begin(env, MDB_RDONLY, &txn) != MDB_SUCCESS) return false;
    scope_ = new Scope{std::move(env), txn, {}};
  }
  const KeyBytes bytes = KeyOf(key);
  MDB_val k = Val(bytes.data(), kKeySize);
  MDB_val v;
  if (mdb_get(scope_->txn, scope_->env->values, &k, &v) != MDB_SUCCESS || v.mv_size < kValueHead)
    return false;
  const char* at = static_cast<const char*>(v.mv_data);
  std::uint32_t folderSize = 0;
  std::uint32_t itemSize = 0;
  std::memcpy(&folderSize, at, 4);
  std::memcpy(&itemSize, at + 4, 4);
  const std::uint64_t head = kValueHead + std::uint64_t{folderSize} + itemSize;
  if (head > v.mv_size || std::string_view(at + kValueHead, folderSize) != key.folder ||
      std::string_view(at + kValueHead + folderSize, itemSize) != key.item)
    return false;
  value = std::string_view(at + head, v.mv_size - head);
  MDB_val used;
  std::int64_t last = 0;
  if (mdb_get(scope_->txn, scope_->env->uses, &k, &used) == MDB_SUCCESS &&
      used.mv_size == sizeof last)
    std::memcpy(&last, used.mv_data, sizeof last);
  if (NowSeconds() - last >= kUseInterval &&
      std::find(scope_->used.begin(), scope_->used.end(), bytes) == scope_->used.end())
    scope_->used.push_back(bytes);
  return true;
}

bool DerivedStore::Put(const DerivedKey& key, std::string_view value) {
  if (!KindOk(key.kind)) return false;
  std::shared_ptr<Env> env = Acquire(true);
  if (!env) return false;
  const std::uint64_t size = kValueHead + key.folder.size() + key.item.size() + value.size();
  if (size > env->bound / 2 || key.folder.size() > UINT32_MAX || key.item.size() > UINT32_MAX)
    return false;
  const KeyBytes bytes = KeyOf(key);
  bool full = false;
  if (TryPut(env, bytes, key, value, &full)) return true;
  if (!full) return false;
  // The map is full: readers that died may hold old pages, and pages
  // copied by transactions take room. Once more after letting go of half.
  int dead = 0;
  mdb_reader_check(env->env, &dead);
  MDB_txn* txn = nullptr;
  if (Begin(env, 0, &txn) != MDB_SUCCESS) return false;
  if (!LetGo(txn, *env, bytes, env->bound / 4) || mdb_txn_commit(txn) != MDB_SUCCESS) {
    mdb_txn_abort(txn);
    return false;
  }
  return TryPut(env, bytes, key, value, &full);
}

namespace detail {

void SetDerivedStoreClock(std::int64_t seconds) { testClock.store(seconds); }

std::uint64_t DerivedStoreBytesInUse() {
  std::shared_ptr<Env> env = Acquire(false);
  if (!env) return 0;
  MDB_txn* txn = nullptr;
  if (mdb_txn_begin(env->env, nullptr, MDB_RDONLY, &txn) != MDB_SUCCESS) return 0;
  const std::uint64_t bytes = BytesInUse(txn, *env);
  mdb_txn_abort(txn);
  return bytes;
}

std::vector<DerivedEntry> DerivedStoreEntries() {
  std::vector<DerivedEntry> out;
  std::shared_ptr<Env> env = Acquire(false);
  if (!env) return out;
  MDB_txn* txn = nullptr;
  if (mdb_txn_begin(env->env, nullptr, MDB_RDONLY, &txn) != MDB_SUCCESS) return out;
  MDB_cursor* cursor = nullptr;
  if (mdb_cursor_open(txn, env->values, &cursor) == MDB_SUCCESS) {
    MDB_val k, v;
    for (int rc = mdb_cursor_get(cursor, &k, &v, MDB_FIRST); rc == MDB_SUCCESS;
         rc = mdb_cursor_get(cursor, &k, &v, MDB_NEXT)) {
      if (k.mv_size != kKeySize || v.mv_size < kValueHead) continue;
      const char* key = static_cast<const char*>(k.mv_data);
      const char* value = static_cast<const char*>(v.mv_data);
      DerivedEntry e;
      e.kind.assign(key, strnlen(key, kKindSize));
      std::memcpy(&e.build, key + kBuildAt, 8);
      std::memcpy(&e.format, key + kFormatAt, 4);
      std::uint32_t folderSize = 0;
      std::uint32_t itemSize = 0;
      std::memcpy(&folderSize, value, 4);
      std::memcpy(&itemSize, value + 4, 4);
      if (kValueHead + std::uint64_t{folderSize} + itemSize > v.mv_size) continue;
      e.folder.assign(value + kValueHead, folderSize);
      e.item.assign(value + kValueHead + folderSize, itemSize);
      e.size = v.mv_size - kValueHead - folderSize - itemSize;
      MDB_val used;
      if (mdb_get(txn, env->uses, &k, &used) == MDB_SUCCESS && used.mv_size == sizeof e.used)
        std::memcpy(&e.used, used.mv_data, sizeof e.used);
      out.push_back(std::move(e));
    }
    mdb_cursor_close(cursor);
  }
  mdb_txn_abort(txn);
  return out;
}

std::uint64_t DerivedStoreLastTransaction() {
  std::shared_ptr<Env> env = Acquire(false);
  MDB_envinfo info{};
  if (!env || mdb_env_info(env->env, &info) != MDB_SUCCESS) return 0;
  return info.me_last_txnid;
}

void ForgetDerivedStore() {
  EnvHolder& holder = Holder();
  std::lock_guard<std::mutex> lock(holder.mutex);
  holder.current.reset();
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
