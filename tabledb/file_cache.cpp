#include "tabledb/file_cache.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "common/allocation_guard.h"
#include "common/lru_map.h"

namespace {

constexpr std::size_t kMissingLimit = 4096;

struct ImageCache {
  std::mutex mutex;
  // The images by path as given, the least recently asked for let go
  // first once more than CachedFileLimit() are kept (never one a reader
  // holds).
  LruMap<std::shared_ptr<CCachedFile>> byPath{CachedFileLimit()};
  // Paths found missing, with the listing of their folder that lacks them:
  // missing while the folder's listing is that one. Entries hold no file
  // open: room for the missing files (change files of prefectures without
  // changes) of many national folders, the least recently asked for let go
  // first.
  LruMap<std::shared_ptr<const plat::FolderListing>> missing{kMissingLimit};
};

ImageCache& Images() {
  static ImageCache* cache = new ImageCache;  // never destroyed: used until exit
  return *cache;
}

// The byte offset just past the last separator of a CP932 path (found
// walking forward, so that a trail byte 0x5C is no separator); 0 for none.
std::size_t NameOffset(const char* path) {
  std::size_t name = 0;
  for (std::size_t i = 0; path[i] != '\0';) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) && path[i + 1] != '\0') {
      i += 2;
      continue;
    }
    if (c == '\\' || c == '/') name = i + 1;
    ++i;
  }
  return name;
}

// The length of the folder part of a path whose listing can tell whether
// the name is there; 0 when it cannot (no folder part, a name such as "."
// or "..").
std::size_t ListedFolderSize(const char* path) {
  const std::size_t name = NameOffset(path);
  if (name == 0 || path[name] == '\0') return 0;
  if (std::strcmp(path + name, ".") == 0 || std::strcmp(path + name, "..") == 0) return 0;
  return name;
}

}  // namespace

CCachedFile::~CCachedFile() { std::free(data_); }

int CCachedFile::Open(const std::string& native) {
  static std::atomic<uint64_t> lastId{0};
  id_ = lastId.fetch_add(1, std::memory_order_relaxed) + 1;
  if (!file_.Open(native)) return 0;
  if (file_.Stamp().size > UINT32_MAX - 1) return 0;
  native_ = native;
  size_ = static_cast<uint32_t>(file_.Stamp().size);
  trust_ = plat::TrustNow(plat::StampIsSettled(file_.Stamp(), plat::NowRealtimeNs()));
  // The block is reserved whole but only the blocks read are touched.
  // Running out of memory for it (a failed mapping of a large block
  // included) throws std::bad_alloc to the caller's entry: the file is there,
  // so it is never answered as a file that does not open.
  data_ = static_cast<unsigned char*>(AllocateBlock(size_));
  blockCount_ =
      static_cast<uint32_t>((static_cast<uint64_t>(size_) + kBlockSize - 1) >> kBlockShift);
  filled_.reset(new std::atomic<uint8_t>[blockCount_ == 0 ? 1 : blockCount_]);
  for (uint32_t i = 0; i < blockCount_; ++i) filled_[i].store(0, std::memory_order_relaxed);
  return 1;
}

int CCachedFile::FillBlocks(uint32_t first, uint32_t last) {
  std::lock_guard<std::mutex> lock(fillMutex_);
  uint32_t b = first;
  while (b <= last) {
    if (filled_[b].load(std::memory_order_relaxed)) {
      ++b;
      continue;
    }
    // One read for the run of missing blocks.
    uint32_t end = b;
    while (end + 1 <= last && !filled_[end + 1].load(std::memory_order_relaxed)) ++end;
    const uint64_t from = static_cast<uint64_t>(b) << kBlockShift;
    const uint64_t to = std::min<uint64_t>(static_cast<uint64_t>(end + 1) << kBlockShift, size_);
    if (!file_.ReadAt(from, data_ + from, static_cast<std::size_t>(to - from))) return 0;
    for (uint32_t k = b; k <= end; ++k) filled_[k].store(1, std::memory_order_release);
    b = end + 1;
  }
  return 1;
}

const unsigned char* CCachedFile::FilledBytes(uint32_t position, uint32_t count) {
  if (static_cast<uint64_t>(position) + count > size_) return nullptr;
  if (count == 0) return data_ + position;
  const uint32_t first = position >> kBlockShift;
  const uint32_t last =
      static_cast<uint32_t>((static_cast<uint64_t>(position) + count - 1) >> kBlockShift);
  for (uint32_t b = first; b <= last; ++b) {
    if (!filled_[b].load(std::memory_order_acquire)) {
      if (!FillBlocks(b, last)) return nullptr;
      break;
    }
  }
  return data_ + position;
}

int CCachedFile::ReadAt(uint32_t position, void* buffer, uint32_t count) {
  if (!buffer && count > 0) return 0;
  const unsigned char* bytes = Bytes(position, count);
  if (!bytes) return 0;
  if (count > 0) std::memcpy(buffer, bytes, count);
  return 1;
}

std::shared_ptr<const void> CCachedFile::GetDerived() const {
  std::lock_guard<std::mutex> lock(derivedMutex_);
  return derived_;
}

std::shared_ptr<const void> CCachedFile::SetDerived(std::shared_ptr<const void> value) {
  std::lock_guard<std::mutex> lock(derivedMutex_);
  if (!derived_) derived_ = std::move(value);
  return derived_;
}

std::shared_ptr<const void> CCachedFile::GetDerived(const std::string& name) const {
  std::lock_guard<std::mutex> lock(derivedMutex_);
  const auto it = derivedByName_.find(name);
  return it == derivedByName_.end() ? nullptr : it->second;
}

std::shared_ptr<const void> CCachedFile::SetDerived(const std::string& name,
                                                    std::shared_ptr<const void> value) {
  std::lock_guard<std::mutex> lock(derivedMutex_);
  return derivedByName_.emplace(name, std::move(value)).first->second;
}

int CCachedFile::IsCurrent() const {
  plat::FileStamp now;
  return MayAnswer() && plat::WatchedStampOfNative(native_, now) && now == GetStamp() ? 1 : 0;
}

std::shared_ptr<CCachedFile> AcquireCachedFile(const char* path) {
  if (!path || !*path) return nullptr;
  ImageCache& cache = Images();
  std::shared_ptr<CCachedFile> kept;
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (auto* found = cache.byPath.Find(path)) kept = *found;
  }
  plat::FileStamp now;
  if (kept && !kept->MayAnswer()) kept = nullptr;  // opened again, as if never kept
  if (kept) {
    // The usual case: the file is where it was and unchanged.
    if (plat::WatchedStampOfNative(kept->GetNative(), now) && now == kept->GetStamp()) return kept;
  }
  // The folder part, in a buffer of the thread's that stops allocating
  // once it has grown to the paths asked for.
  thread_local std::string folder;
  folder.assign(path, kept ? 0 : ListedFolderSize(path));
  if (!folder.empty()) {
    std::shared_ptr<const plat::FolderListing> lacking;
    {
      std::lock_guard<std::mutex> lock(cache.mutex);
      if (auto* found = cache.missing.Find(path)) lacking = *found;
    }
    // Missing while the listing is the same one and its absences hold (the
    // change watch has seen no change of the folder's names, or a direct
    // look at the folder in this call finds it as listed).
    if (lacking && plat::GetFolderListing(folder.c_str()) == lacking && lacking->AbsenceHolds())
      return nullptr;
  }
  std::string native;
  // A file opened first is found through its folder's listing, which the
  // process keeps (a name it lacks is missing without a search of the
  // folder); else as File::Open finds it.
  // A name the listing finds is a file (not a folder); the image stamps it
  // when it opens it.
  std::shared_ptr<const plat::FolderListing> listing =
      folder.empty() ? nullptr : plat::GetFolderListing(folder.c_str());
  const bool found = listing ? listing->Find(path + folder.size(), native)
                             : plat::StampOfPath(path, native, now) && !now.isDirectory;
  if (!found) {
    // Known missing from here on while the folder is unchanged.
    if (listing) {
      std::lock_guard<std::mutex> lock(cache.mutex);
      cache.missing.Put(path, std::move(listing));
      cache.missing.Trim();
    }
    return nullptr;
  }
  if (kept && native == kept->GetNative() && plat::StampOfNative(native, now) &&
      now == kept->GetStamp())
    return kept;
  auto image = std::make_shared<CCachedFile>();
  if (!image->Open(native)) return nullptr;
  // The next check of this file is a watched one from here on.
  plat::FileStamp watched;
  plat::WatchedStampOfNative(native, watched);
  std::lock_guard<std::mutex> lock(cache.mutex);
  cache.byPath.Put(path, image);
  // An image whose count is 1 is held by the cache alone, and only the
  // cache, under its lock, hands out new holds.
  cache.byPath.Trim([](const std::shared_ptr<CCachedFile>& held) { return held.use_count() > 1; });
  return image;
}

std::size_t CachedFileLimit() {
  static const std::size_t limit = [] {
    const std::size_t open = plat::OpenFileLimit();
    return open == 0 ? std::size_t{1024} : std::clamp<std::size_t>(open / 2, 512, 1024);
  }();
  return limit;
}

std::size_t CachedFileCount() {
  ImageCache& cache = Images();
  std::lock_guard<std::mutex> lock(cache.mutex);
  return cache.byPath.size();
}
