#include "folder_names.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <unordered_map>

#include "folder_names_file.h"
#include "folder_records.h"
#include "names_watch.h"
#include "plat/derived_store.h"
#include "syscall_count.h"

namespace plat::detail {
namespace {

std::atomic<std::uint64_t> namesReads{0};

}  // namespace

void StampFromStat(const struct stat& st, FileStamp& stamp) {
  stamp.size = static_cast<std::uint64_t>(st.st_size);
  stamp.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  stamp.changedNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  stamp.device = static_cast<std::uint64_t>(st.st_dev);
  stamp.inode = static_cast<std::uint64_t>(st.st_ino);
  stamp.isDirectory = S_ISDIR(st.st_mode);
}

// One pass: every component between two separators must be non-empty and
// neither "." nor "..".
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

std::string FolderOfNative(const std::string& native) {
  const std::size_t slash = native.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : native.substr(0, slash);
}

std::string JoinNative(const std::string& folder, std::string_view name) {
  std::string out;
  out.reserve(folder.size() + 1 + name.size());
  out += folder;
  if (!folder.empty() && folder.back() != '/') out.push_back('/');
  out += name;
  return out;
}

bool FolderNames::FromStore(const std::string& folder, const FileStamp& stamp) {
  if (stamp.size < kFolderNamesMinSize) return false;
  DerivedBytes bytes;
  FolderNamesView view;
  if (!GetDerived(FolderNamesStoreKey(folder, stamp), std::span(&stamp, 1), bytes) ||
      !DecodeFolderNames(bytes.bytes, view))
    return false;
  // Searched where they stand, through the index kept with them, if any
  // (else one is made here when they are searched often enough).
  text = view.text;
  list = view.entries;
  index = view.slots;
  hold = std::move(bytes.hold);
  if (!index.empty()) {
    indexed.store(true, std::memory_order_release);
  } else {
    keptFolder = folder;
    keptStamp = stamp;
  }
  return true;
}

// When the names are the folder's at the stamp (it stands as stamped after
// they were read; the store keeps them only under a settled stamp, which
// any later change is bound to change).
void FolderNames::KeepInStore(const std::string& folder, const FileStamp& stamp) {
  if (!complete || stamp.size < kFolderNamesMinSize || !StampIsSettled(stamp, NowRealtimeNs()))
    return;
  FileStamp now;
  if (!StampOfNative(folder, now) || !(now == stamp)) return;
  // (Kept without their index: names just read have not made it.)
  if (PutDerived(FolderNamesStoreKey(folder, stamp), std::span(&stamp, 1),
                 EncodeFolderNames(*this))) {
    keptFolder = folder;
    keptStamp = stamp;
  }
}

void FolderNames::KeepIndexInStore() const {
  PutDerived(FolderNamesStoreKey(keptFolder, keptStamp), std::span(&keptStamp, 1),
             EncodeFolderNames(*this));
}

// Reads the names of a native folder; false when it does not open.
// sizeHint: the folder's size in bytes, which most file systems make
// grow with its names.
bool FolderNames::Read(const std::string& folder, std::uint64_t sizeHint) {
  const int fd = OpenFolderRecords(folder.c_str());
  if (fd < 0) return false;
  namesReads.fetch_add(1, std::memory_order_relaxed);
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
    CountSystemCalls();
    const ssize_t n = ::getdents64(fd, block.get() + used, capacity - used - kSlack);
    if (n < 0 && errno == EINTR) continue;
    complete = n == 0;
    if (n <= 0) break;  // the end, or a failure: the names read so far
    ForEachFolderRecord(block.get() + used, static_cast<std::size_t>(n),
                        [&](std::string_view name, unsigned char type) {
                          if (name == "." || name == "..") return;
                          entries.push_back({static_cast<std::uint32_t>(name.data() - block.get()),
                                             static_cast<std::uint32_t>(name.size()),
                                             type == DT_DIR, type == DT_UNKNOWN || type == DT_LNK});
                        });
    used += static_cast<std::size_t>(n);
  }
  CountSystemCalls();
  ::close(fd);
  std::memset(block.get() + used, 0, kSlack);  // what FoldedHash may read past the last name
  ViewOwn();
  return true;
}

namespace {

// Names kept by native folder; past kKeptFolders folders the whole set is
// let go (a process works in a few folders).
constexpr std::size_t kKeptFolders = 64;

struct KeptNames {
  FileStamp stamp;
  KeptTrust trust;
  std::shared_ptr<const FolderNames> names;
  // The watch's word on the names they were read or used under (wd -1:
  // none; the trust decides).
  NamesWatch watch;
};

struct KeptFolders {
  std::mutex mutex;
  std::unordered_map<std::string, KeptNames> byFolder;
};

KeptFolders& Kept() {
  static auto* kept = new KeptFolders;  // never destroyed: used until exit
  return *kept;
}

}  // namespace

std::shared_ptr<const FolderNames> ReadFolderNamesNow(const std::string& folder,
                                                      std::uint64_t sizeHint) {
  auto names = std::make_shared<FolderNames>();
  if (!names->Read(folder.empty() ? std::string(".") : folder, sizeHint)) return nullptr;
  return names;
}

std::shared_ptr<const FolderNames> NamesOfFolder(const std::string& folder, const FileStamp& stamp,
                                                 bool* kept, const NamesWatch* watch) {
  if (kept) *kept = false;
  if (!IsPlainAbsolute(folder)) return ReadFolderNamesNow(folder, stamp.size);
  const NamesWatch caller = watch ? *watch : NamesWatch{};
  KeptFolders& cache = Kept();
  KeptNames was;
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (const auto it = cache.byFolder.find(folder);
        it != cache.byFolder.end() && it->second.stamp == stamp)
      was = it->second;
  }
  // Names kept under a word of the watch answer while it gives that word,
  // and never once it has reported a change (whatever the stamp says);
  // others answer under the racy-stamp rule, and from here on under the
  // caller's word: their names are the folder's at the stamp the caller
  // has just taken under it.
  bool changed = false;
  if (was.names) {
    if (was.watch.wd >= 0) {
      changed = !NamesUnchanged(was.watch);
    } else if (was.trust.Holds()) {
      if (caller.wd >= 0) {
        std::lock_guard<std::mutex> lock(cache.mutex);
        if (const auto it = cache.byFolder.find(folder);
            it != cache.byFolder.end() && it->second.names == was.names)
          it->second.watch = caller;
      }
    } else {
      was.names = nullptr;
    }
    if (was.names && !changed) {
      if (kept) *kept = true;
      return was.names;
    }
  }
  // A large folder's names come from the store under a settled stamp.
  const bool settled = StampIsSettled(stamp, NowRealtimeNs());
  auto names = std::make_shared<FolderNames>();
  if (settled && !changed && names->FromStore(folder, stamp)) {
    names->complete = true;
    if (kept) *kept = true;
  } else {
    // (Names not taken from the store are left as they were made.)
    if (!names->Read(folder, stamp.size)) return nullptr;
    names->KeepInStore(folder, stamp);
  }
  // Names cut short by a failed read answer this lookup only.
  if (!names->complete) return names;
  std::lock_guard<std::mutex> lock(cache.mutex);
  if (cache.byFolder.size() >= kKeptFolders && !cache.byFolder.count(folder))
    cache.byFolder.clear();
  cache.byFolder.insert_or_assign(folder, KeptNames{stamp, TrustNow(settled), names, caller});
  return names;
}

void ForgetKeptFolderNames() {
  KeptFolders& cache = Kept();
  std::lock_guard<std::mutex> lock(cache.mutex);
  cache.byFolder.clear();
}

std::uint64_t FolderNamesReads() { return namesReads.load(std::memory_order_relaxed); }

}  // namespace plat::detail
