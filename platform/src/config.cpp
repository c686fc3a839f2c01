#include "plat/config.h"

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

// The program folder does not change while the process runs.
bool CachedProgramFolder(std::string& out) {
  static const std::pair<bool, std::string> kept = [] {
    std::string folder;
    const bool ok = path::ProgramFolder(folder);
    return std::make_pair(ok, folder);
  }();
  if (!kept.first) return false;
  out = kept.second;
  return true;
}

// The lines of a configuration file as text mode reads them, kept while the
// file's stamp is unchanged; null when the file does not exist or does not
// open. The file's folder is listed once (a missing file costs no folder
// scan per call), and while that listing holds, the name is not looked up
// in it again.
std::shared_ptr<const std::vector<std::string>> ConfigurationLines(const std::string& path) {
  struct Kept {
    std::string folder;                            // the path up to its name ("" for a bare name)
    std::shared_ptr<const FolderListing> listing;  // the name was looked up in
    bool listed = false;                           // the name is in it
    std::string native;
    FileStamp stamp;
    std::shared_ptr<const std::vector<std::string>> lines;
  };
  static std::mutex mutex;
  static std::map<std::string, Kept, std::less<>>* kept =
      new std::map<std::string, Kept, std::less<>>;

  Kept now;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (auto it = kept->find(path); it != kept->end()) now = it->second;
  }
  const std::size_t after = detail::AfterLastSeparator(path);
  std::string native;
  bool relisted = false;
  if (after > 0) {
    if (now.folder.empty()) now.folder = path.substr(0, after);
    const auto listing = GetFolderListing(now.folder.c_str());
    if (!listing) return nullptr;
    if (listing != now.listing) {
      relisted = true;
      now.listing = listing;
      now.listed = listing->Find(path.c_str() + after, native);
      if (!now.listed) {
        std::lock_guard<std::mutex> lock(mutex);
        (*kept)[path] = Kept{now.folder, listing, false, {}, {}, nullptr};
        return nullptr;
      }
    } else if (!now.listed) {
      return nullptr;
    } else {
      native = now.native;
    }
  } else {
    FileStamp unused;
    if (!StampOfPath(path.c_str(), native, unused)) return nullptr;
  }
  FileStamp stamp;
  if (!WatchedStampOfNative(native, stamp)) return nullptr;
  if (now.lines && now.native == native && now.stamp == stamp) {
    if (relisted) {  // the listing it was found in, for the next call
      std::lock_guard<std::mutex> lock(mutex);
      (*kept)[path] = now;
    }
    return now.lines;
  }
  File f;
  if (!f.Open(path.c_str(), ModeRead | TypeText)) return nullptr;
  auto lines = std::make_shared<std::vector<std::string>>();
  std::string line;
  while (f.ReadString(line)) lines->push_back(line);
  std::lock_guard<std::mutex> lock(mutex);
  (*kept)[path] = Kept{now.folder, now.listing, now.listed, native, stamp, lines};
  return lines;
}

}  // namespace

int ReadProfileInt(const char* section, const char* key, int defaultValue, const char* file) {
  if (!section || !key || !file || !*file) return defaultValue;
  std::string path = file;
  const bool hasDrive = path.size() >= 2 && path[1] == ':';
  if (detail::AfterLastSeparator(path) == 0 && !hasDrive) {
    std::string folder;
    if (!CachedProgramFolder(folder)) return defaultValue;
    path = folder + "\\" + path;
  }
  const auto lines = ConfigurationLines(path);
  if (!lines) return defaultValue;
  const std::string_view wantSection = Trim(section);
  const std::string_view wantKey = Trim(key);
  bool inSection = false;
  for (const std::string& line : *lines) {
    std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';') continue;
    if (t.front() == '[') {
      std::string_view name = t.substr(1);
      std::size_t close = FindChar(name, ']');
      if (close != std::string_view::npos) name = name.substr(0, close);
      inSection = detail::EqualNoCaseSjis(Trim(name), wantSection);
      continue;
    }
    if (!inSection) continue;
    std::size_t eq = FindChar(t, '=');
    if (eq == std::string_view::npos) continue;
    if (!detail::EqualNoCaseSjis(Trim(t.substr(0, eq)), wantKey)) continue;
    std::string value(Trim(t.substr(eq + 1)));
    return crt::AtoI32(value.c_str());
  }
  return defaultValue;
}

}  // namespace plat
