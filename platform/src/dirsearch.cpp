#include "plat/dirsearch.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "plat/path.h"
#include "sjis_walk.h"
#include "syscall_count.h"

namespace plat {
namespace {

using detail::CharLen;

bool SameChar(std::string_view a, std::size_t i, std::size_t na, std::string_view b, std::size_t j,
              std::size_t nb) {
  if (na != nb) return false;
  if (na == 1)
    return detail::FoldAscii(static_cast<unsigned char>(a[i])) ==
           detail::FoldAscii(static_cast<unsigned char>(b[j]));
  return a[i] == b[j] && a[i + 1] == b[j + 1];
}

// '*' and '?' are below 0x40, so they are never trail bytes: seen at a
// character start they are always wildcards.
bool Match(std::string_view name, std::string_view pat) {
  std::size_t n = 0, p = 0;
  std::size_t starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pat.size() && pat[p] == '*') {
      starP = ++p;
      starN = n;
      continue;
    }
    if (p < pat.size()) {
      std::size_t np = CharLen(pat, p);
      std::size_t nn = CharLen(name, n);
      if ((np == 1 && pat[p] == '?') || SameChar(pat, p, np, name, n, nn)) {
        p += np;
        n += nn;
        continue;
      }
    }
    if (starP == std::string_view::npos) return false;
    // Let the last '*' take one more character and try again from there.
    starN += CharLen(name, starN);
    n = starN;
    p = starP;
  }
  while (p < pat.size() && pat[p] == '*') ++p;
  return p == pat.size();
}

// Sort key of a listed name: ASCII letters folded, stepping characters.
std::string FoldedKey(std::string_view name) {
  std::string key(name);
  std::size_t i = 0;
  while (i < key.size()) {
    std::size_t n = CharLen(key, i);
    if (n == 1) key[i] = static_cast<char>(detail::FoldAscii(static_cast<unsigned char>(key[i])));
    i += n;
  }
  return key;
}

struct Listed {
  int rank;  // "." first, ".." next, then the names
  std::string key;
  DirEntry entry;
};

// Listing order: "." and "..", then by the folded name, equal folds by
// their bytes (std::string compares bytes as unsigned).
bool ListsBefore(const Listed& a, const Listed& b) {
  if (a.rank != b.rank) return a.rank < b.rank;
  if (a.key != b.key) return a.key < b.key;
  return a.entry.name < b.entry.name;
}

}  // namespace

struct DirSearch::Impl {
  std::vector<DirEntry> entries;
  std::size_t next = 0;
};

DirSearch::DirSearch() = default;
DirSearch::~DirSearch() = default;

bool DirSearch::Open(const char* pattern) {
  Close();
  if (!pattern) return false;
  std::string_view s = pattern;
  std::string native;
  // Refuses a drive letter or a UNC name like any other path.
  if (!path::ToNative(pattern, native)) return false;
  std::size_t cut = detail::AfterLastSeparator(s);
  std::string folder(s.substr(0, cut));
  std::string namePattern(s.substr(cut));
  if (namePattern == "*.*") namePattern = "*";
  if (folder.empty()) {
    native = ".";
  } else if (!path::Resolve(folder.c_str(), false, native)) {
    return false;
  }
  DIR* d = (::plat::detail::CountSystemCalls(), ::opendir)(native.c_str());
  if (!d) return false;
  std::vector<Listed> listed;
  while (const dirent* ent = (::plat::detail::CountSystemCalls(), ::readdir)(d)) {
    DirEntry e;
    e.name = path::FromNative(ent->d_name);
    if (!Match(e.name, namePattern)) continue;
    if (ent->d_type == DT_DIR) {
      e.isDirectory = true;
    } else if (ent->d_type == DT_UNKNOWN || ent->d_type == DT_LNK) {
      struct stat st;
      e.isDirectory =
          (::plat::detail::CountSystemCalls(), ::fstatat)(::dirfd(d), ent->d_name, &st, 0) == 0 &&
          S_ISDIR(st.st_mode);
    }
    int rank = e.name == "." ? 0 : e.name == ".." ? 1 : 2;
    std::string key = FoldedKey(e.name);
    listed.push_back(Listed{rank, std::move(key), std::move(e)});
  }
  (::plat::detail::CountSystemCalls(), ::closedir)(d);
  std::sort(listed.begin(), listed.end(), ListsBefore);
  auto impl = std::make_unique<Impl>();
  for (Listed& l : listed) impl->entries.push_back(std::move(l.entry));
  impl_ = std::move(impl);
  return true;
}

bool DirSearch::Next(DirEntry& entry) {
  if (!impl_ || impl_->next >= impl_->entries.size()) return false;
  entry = impl_->entries[impl_->next++];
  return true;
}

void DirSearch::Close() { impl_.reset(); }

bool MatchesPattern(const char* name, const char* pattern) {
  if (!name || !pattern) return false;
  std::string_view pat = pattern;
  if (pat == "*.*") pat = "*";
  return Match(name, pat);
}

}  // namespace plat
