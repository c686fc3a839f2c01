#include "plat/config.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "plat/crt.h"
#include "plat/file.h"
#include "plat/file_stamp.h"
#include "plat/path.h"
#include "profile_lines.h"
#include "sjis_walk.h"

namespace plat {
namespace {

// Blanks, tabs and CR are all below 0x40: never trail bytes, so cutting
// them from either end is safe.
std::string_view Trim(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// Offset of the first single-byte `c` at a character start, or npos.
std::size_t FindChar(std::string_view s, char c) {
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t n = detail::CharLen(s, i);
    if (n == 1 && s[i] == c) return i;
    i += n;
  }
  return std::string_view::npos;
}

// The program folder does not change while the process runs: null when it
// cannot be told.
const std::string* CachedProgramFolder() {
  static const std::pair<bool, std::string> kept = [] {
    std::string folder;
    const bool ok = path::ProgramFolder(folder);
    return std::make_pair(ok, folder);
  }();
  return kept.first ? &kept.second : nullptr;
}

// The lines of a configuration file as text mode reads them, kept while the
// file's stamp is unchanged and was settled when they were read (else they
// answer only the scope that read them: plat/file_stamp.h); null when the
// file does not exist or does not open. The file's folder is listed once (a
// missing file costs no folder scan per call), and while that listing holds,
// the name is not looked up in it again (a name it lacked, while its
// absences hold: the change watch has seen no change of the folder's names,
// or a direct look finds the folder as listed).
std::shared_ptr<const std::vector<std::string>> ConfigurationLines(const std::string& path) {
  struct Kept {
    std::string folder;                            // the path up to its name ("" for a bare name)
    std::shared_ptr<const FolderListing> listing;  // the name was looked up in
    bool listed = false;                           // the name is in it
    std::string native;
    FileStamp stamp;
    std::shared_ptr<const std::vector<std::string>> lines;
    KeptTrust trust;  // of the lines
  };
  static std::mutex mutex;
  static auto* kept = new std::map<std::string, std::shared_ptr<const Kept>, std::less<>>;
  auto keep = [&path](Kept k) {
    auto entry = std::make_shared<const Kept>(std::move(k));
    std::lock_guard<std::mutex> lock(mutex);
    (*kept)[path] = std::move(entry);
  };

  std::shared_ptr<const Kept> was;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (auto it = kept->find(path); it != kept->end()) was = it->second;
  }
  // A kept path's folder is the path up to its name.
  const std::size_t after = was ? was->folder.size() : detail::AfterLastSeparator(path);
  Kept now;
  if (after > 0) {
    if (!was) now.folder = path.substr(0, after);
    const std::string& folder = was ? was->folder : now.folder;
    auto listing = GetFolderListing(folder.c_str());
    if (!listing) return nullptr;
    if (was && listing == was->listing && (was->listed || listing->AbsenceHolds())) {
      // The same listing: the name finds what it found.
      if (!was->listed) return nullptr;
      FileStamp stamp;
      if (!WatchedStampOfNative(was->native, stamp)) return nullptr;
      if (was->lines && stamp == was->stamp && was->trust.Holds()) return was->lines;
      now.native = was->native;
    }
    now.folder = folder;
    now.listing = std::move(listing);
    if (now.native.empty() && !now.listing->Find(path.c_str() + after, now.native)) {
      keep(std::move(now));  // listed = false
      return nullptr;
    }
    now.listed = true;
  } else {
    FileStamp unused;
    if (!StampOfPath(path.c_str(), now.native, unused)) return nullptr;
  }
  if (!WatchedStampOfNative(now.native, now.stamp)) return nullptr;
  if (was && was->lines && was->native == now.native && was->stamp == now.stamp &&
      was->trust.Holds()) {
    now.lines = was->lines;
    now.trust = was->trust;
  } else {
    now.trust = TrustNow(StampIsSettled(now.stamp, NowRealtimeNs()));
    File f;
    if (!f.Open(path.c_str(), ModeRead | TypeText)) return nullptr;
    auto lines = std::make_shared<std::vector<std::string>>();
    std::string line;
    while (f.ReadString(line)) lines->push_back(line);
    now.lines = std::move(lines);
  }
  auto lines = now.lines;
  keep(std::move(now));
  return lines;
}

}  // namespace

int ReadProfileInt(const char* section, const char* key, int defaultValue, const char* file) {
  if (!section || !key || !file || !*file) return defaultValue;
  const std::size_t length = std::strlen(file);
  const bool hasDrive = length >= 2 && file[1] == ':';
  std::string path;
  if (detail::AfterLastSeparator(std::string_view(file, length)) == 0 && !hasDrive) {
    const std::string* folder = CachedProgramFolder();
    if (!folder) return defaultValue;
    // Made at once: one allocation.
    path.reserve(folder->size() + 1 + length);
    path += *folder;
    path += '\\';
  }
  path.append(file, length);
  const auto lines = ConfigurationLines(path);
  if (!lines) return defaultValue;
  return detail::ProfileIntInLines(*lines, section, key, defaultValue);
}

namespace detail {

int ProfileIntInLines(const std::vector<std::string>& lines, const char* section, const char* key,
                      int defaultValue) {
  const std::string_view wantSection = Trim(section);
  const std::string_view wantKey = Trim(key);
  bool inSection = false;
  for (const std::string& line : lines) {
    std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';') continue;
    if (t.front() == '[') {
      std::string_view name = t.substr(1);
      std::size_t close = FindChar(name, ']');
      if (close != std::string_view::npos) name = name.substr(0, close);
      inSection = EqualNoCaseSjis(Trim(name), wantSection);
      continue;
    }
    if (!inSection) continue;
    std::size_t eq = FindChar(t, '=');
    if (eq == std::string_view::npos) continue;
    if (!EqualNoCaseSjis(Trim(t.substr(0, eq)), wantKey)) continue;
    std::string value(Trim(t.substr(eq + 1)));
    return crt::AtoI32(value.c_str());
  }
  return defaultValue;
}

}  // namespace detail

}  // namespace plat
