#include "matching/data_folder_cache.h"

#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "common/file_access.h"
#include "common/sjis_text.h"
#include "matching/dictionary_image.h"
#include "matching/dictionary_loaders.h"
#include "plat/file_stamp.h"
#include "tabledb/dictionaries.h"
#include "tabledb/tix_format.h"

namespace {

constexpr int kDictionaryFileCount = 3;
const char* const kDictionaryFileNames[kDictionaryFileCount] = {
    kUnificationDictionaryFile, kReplacementDictionaryFile, kUserReplacementFile};

// How the dictionary files of a folder stood when they were looked at.
struct DictionaryFiles {
  bool present[kDictionaryFileCount] = {};
  std::string native[kDictionaryFileCount];
  plat::FileStamp stamp[kDictionaryFileCount];  // a missing file's is the default
  // The folder that holds them (not part of what they are: a file added
  // beside them changes the folder, not them).
  plat::FileStamp folder;
  std::string nativeFolder;
  bool operator==(const DictionaryFiles& o) const {
    for (int i = 0; i < kDictionaryFileCount; ++i) {
      if (present[i] != o.present[i] || native[i] != o.native[i] || !(stamp[i] == o.stamp[i]))
        return false;
    }
    return true;
  }
};

struct KeptDictionaries {
  DictionaryFiles files;
  std::shared_ptr<FolderDictionaries> dictionaries;
  std::shared_ptr<std::mutex> inUse;
};

struct KeptProbe {
  std::shared_ptr<const plat::FolderListing> listing;
  std::vector<std::pair<std::string, plat::FileStamp>> looked;  // index files read
  int kind = 0;
  plat::KeptTrust trust;  // the index files read had settled stamps
  bool lacked = false;    // the listing lacked an index file asked before the kind was found
};

struct FolderCache {
  std::mutex mutex;
  std::map<std::string, KeptDictionaries> dictionaries;
  std::map<std::string, KeptProbe> probes;
};

FolderCache& Folders() {
  static FolderCache* cache = new FolderCache;  // never destroyed: used until exit
  return *cache;
}

int LoadDictionaries(const std::string& folder, FolderDictionaries* d, char* message) {
  const std::string unify = folder + kUnificationDictionaryFile;
  if (!LoadUnificationDictionary(unify.c_str(), &d->unification, message, 1)) return 0;
  const std::string replace = folder + kReplacementDictionaryFile;
  if (!LoadReplacementDictionary(replace.c_str(), &d->replacements, &d->unification, message, 1))
    return 0;
  const std::string user = folder + kUserReplacementFile;
  if (FileExists(user.c_str())) {
    if (!LoadReplacementDictionaryText(user.c_str(), &d->extra, &d->unification, message)) return 0;
    d->hasExtra = true;
  }
  return 1;
}

// 0 when the folder cannot be listed.
int LookAtDictionaryFiles(const std::string& folder, DictionaryFiles* files) {
  const auto listing = plat::GetFolderListing(folder.c_str());
  if (!listing) return 0;
  files->folder = listing->Stamp();
  files->nativeFolder = listing->NativeFolder();
  for (int i = 0; i < kDictionaryFileCount; ++i) {
    files->present[i] = listing->Find(kDictionaryFileNames[i], files->native[i]) &&
                        plat::WatchedStampOfNative(files->native[i], files->stamp[i]);
    if (!files->present[i]) {
      files->native[i].clear();
      files->stamp[i] = plat::FileStamp{};
    }
  }
  return 1;
}

// Whether every file present has a settled stamp (plat::StampIsSettled):
// only then is what was loaded from them kept in the process for a later
// call (the store of derived values applies the same rule to what it
// keeps for a later process).
bool FilesSettled(const DictionaryFiles& files) {
  const int64_t now = plat::NowRealtimeNs();
  for (int i = 0; i < kDictionaryFileCount; ++i)
    if (files.present[i] && !plat::StampIsSettled(files.stamp[i], now)) return false;
  return true;
}

// The files' presence, names and stamps as one text.
std::string FilesStampText(const DictionaryFiles& files) {
  std::string out;
  for (int i = 0; i < kDictionaryFileCount; ++i) {
    const plat::FileStamp& s = files.stamp[i];
    out += files.present[i] ? '1' : '0';
    out += files.native[i];
    out += '|';
    for (const uint64_t n : {static_cast<uint64_t>(s.size), static_cast<uint64_t>(s.modifiedNs),
                             static_cast<uint64_t>(s.changedNs), static_cast<uint64_t>(s.device),
                             static_cast<uint64_t>(s.inode)}) {
      out += std::to_string(n);
      out += '|';
    }
  }
  return out;
}

// Whether the image of dictionaries just loaded may be kept under the
// files' stamps: the files they came from are those looked at and stand as
// they were then (a file changed while it was read is loaded again by the
// next process rather than kept under the stamp of another content).
bool ImageFitsFiles(const DictionaryFiles& files, const FolderDictionaries& d) {
  if (!files.present[0] || !files.present[1] || files.present[2] != d.hasExtra) return false;
  for (int i = 0; i < kDictionaryFileCount; ++i) {
    plat::FileStamp now;
    if (files.present[i] && !(plat::StampOfNative(files.native[i], now) && now == files.stamp[i]))
      return false;
  }
  return true;
}

// LoadFolderDictionaries with the files already looked at (null when the
// folder could not be: then there is no image either way). Files changed
// too recently for their stamps to tell them (FilesSettled) are loaded
// from the files, and neither an image nor their stamps' text is kept.
int LoadThroughImage(const std::string& folder, const DictionaryFiles* files, FolderDictionaries* d,
                     char* msg, bool* fromImage) {
  if (fromImage) *fromImage = false;
  if (files && !FilesSettled(*files)) files = nullptr;
  const plat::DerivedFolder derivedFolder =
      files ? plat::DerivedFolderOf(files->folder, files->nativeFolder) : plat::DerivedFolder();
  const plat::DerivedSources sources =
      files ? plat::DerivedSources(files->stamp) : plat::DerivedSources();
  if (files) {
    d->filesStamp = FilesStampText(*files);
    for (int i = 0; i < kDictionaryFileCount; ++i) d->fileStamps[i] = files->stamp[i];
    d->folderStamp = files->folder;
    d->nativeFolder = files->nativeFolder;
    if (ReadDictionaryImage(derivedFolder, sources, d)) {
      if (fromImage) *fromImage = true;
      return 1;
    }
  }
  if (!LoadDictionaries(folder, d, msg)) return 0;
  if (files && ImageFitsFiles(*files, *d)) WriteDictionaryImage(derivedFolder, sources, *d);
  return 1;
}

std::string WithBackslash(const char* folder) {
  std::string out = folder;
  const char* last = GetLastCharPtr(out.c_str());
  if (!(last[0] == '\\' && last[1] == '\0')) out += '\\';
  return out;
}

}  // namespace

namespace {
thread_local FolderDictionaries* leased = nullptr;
}  // namespace

CDictionaryLease::~CDictionaryLease() {
  if (current_ && leased == dictionaries_.get()) leased = previous_;
}

FolderDictionaries* LeasedFolderDictionaries(const CCharDictionary* unification,
                                             const CRecordList* replacements) {
  if (leased == nullptr || &leased->unification != unification ||
      &leased->replacements != replacements)
    return nullptr;
  return leased;
}

void CDictionaryLease::MakeCurrent() {
  if (!current_) previous_ = leased;
  current_ = true;
  leased = dictionaries_.get();
}

int LeaseFolderDictionaries(const std::string& folder, CDictionaryLease* lease, char* msg) {
  if (!lease) return 0;
  FolderCache& cache = Folders();
  DictionaryFiles files;
  const int listed = LookAtDictionaryFiles(folder, &files);
  if (listed) {
    std::lock_guard<std::mutex> lock(cache.mutex);
    auto it = cache.dictionaries.find(folder);
    if (it != cache.dictionaries.end() && it->second.files == files) {
      std::unique_lock<std::mutex> use(*it->second.inUse, std::try_to_lock);
      if (use.owns_lock()) {
        lease->dictionaries_ = it->second.dictionaries;
        lease->inUse_ = it->second.inUse;
        lease->lock_ = std::move(use);
        lease->MakeCurrent();
        return 1;
      }
    }
  }
  auto loaded = std::make_shared<FolderDictionaries>();
  if (!LoadThroughImage(folder, listed ? &files : nullptr, loaded.get(), msg, nullptr)) return 0;
  lease->dictionaries_ = loaded;
  lease->MakeCurrent();
  // Kept for later calls only under settled stamps.
  if (!listed || loaded->filesStamp.empty()) return 1;
  auto inUse = std::make_shared<std::mutex>();
  lease->inUse_ = inUse;
  lease->lock_ = std::unique_lock<std::mutex>(*inUse);
  std::lock_guard<std::mutex> lock(cache.mutex);
  auto it = cache.dictionaries.find(folder);
  // Kept, unless the kept ones are of the same files (and were in use).
  if (it == cache.dictionaries.end() || !(it->second.files == files))
    cache.dictionaries[folder] = KeptDictionaries{files, loaded, inUse};
  return 1;
}

int LoadFolderDictionaries(const std::string& folder, FolderDictionaries* dictionaries, char* msg,
                           bool* fromImage) {
  if (!dictionaries) return 0;
  DictionaryFiles files;
  const int listed = LookAtDictionaryFiles(folder, &files);
  return LoadThroughImage(folder, listed ? &files : nullptr, dictionaries, msg, fromImage);
}

int ProbeIndexFilesCached(const char* dataFolder) {
  if (!dataFolder || std::strlen(dataFolder) >= CTixFile::kPathSize)
    return ProbeIndexFiles(dataFolder);
  const std::string folder = WithBackslash(dataFolder);
  const auto listing = plat::GetFolderListing(folder.c_str());
  if (!listing) return ProbeIndexFiles(dataFolder);
  FolderCache& cache = Folders();
  KeptProbe kept;
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    auto it = cache.probes.find(folder);
    if (it != cache.probes.end()) kept = it->second;
  }
  // The kind found, and the index files found missing before it, hold
  // while the folder is as listed.
  if (kept.listing == listing && kept.trust.Holds() && (!kept.lacked || listing->AbsenceHolds())) {
    bool same = true;
    for (const auto& [native, stamp] : kept.looked) {
      plat::FileStamp now;
      if (!plat::WatchedStampOfNative(native, now) || !(now == stamp)) {
        same = false;
        break;
      }
    }
    if (same) return kept.kind;
  }
  KeptProbe fresh;
  fresh.listing = listing;
  bool settled = true;
  for (int i = 1; i <= 47 && fresh.kind == 0; ++i) {
    char name[] = "QVAD00.TIX";
    name[4] = static_cast<char>('0' + i / 10);
    name[5] = static_cast<char>('0' + i % 10);
    std::string native;
    plat::FileStamp stamp;
    if (!listing->Find(name, native) || !plat::WatchedStampOfNative(native, stamp)) {
      fresh.lacked = true;
      continue;
    }
    fresh.looked.emplace_back(native, stamp);
    settled = settled && plat::StampIsSettled(stamp, plat::NowRealtimeNs());
    fresh.kind = ProbeIndexFile((folder + name).c_str());
  }
  fresh.trust = plat::TrustNow(settled);
  std::lock_guard<std::mutex> lock(cache.mutex);
  cache.probes[folder] = fresh;
  return fresh.kind;
}
