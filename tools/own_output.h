#pragma once
// The check of a builder that replaces an output folder whole: an earlier
// folder of that name is replaced only when it holds nothing but the
// builder's own output, so that no file of anyone else's is lost with it.
//
// A name is the builder's own only when this run writes it, byte for byte.
// A near name is someone else's: QVAD99.NDB (other digits), qvad13.ndb
// (other case) or QVAD13.NDB.bak (another extension) beside a new
// QVAD13.NDB. So is a name that an earlier run wrote from another
// description (a prefecture this one lacks): the folder is refused, and
// the reason names what is to be moved or removed first.

#include <dirent.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "plat/path.h"

namespace builder {

namespace own_output_detail {

// The names in a native folder ("." and ".." left out), sorted; false when
// it cannot be read.
inline bool NamesIn(const std::string& native, std::vector<std::string>* names) {
  DIR* dir = ::opendir(native.c_str());
  if (dir == nullptr) return false;
  while (const struct dirent* entry = ::readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    names->push_back(entry->d_name);
  }
  ::closedir(dir);
  std::sort(names->begin(), names->end());
  return true;
}

}  // namespace own_output_detail

// True when the native folder `earlier` holds only names of the builder's
// own output, whose new form is the native folder `fresh`. Otherwise false
// with a reason that names the other names (the first few, CP932).
inline bool HoldsOwnOutputOnly(const std::string& earlier, const std::string& fresh,
                               std::string* reason) {
  using namespace own_output_detail;
  std::vector<std::string> names, own;
  if (!NamesIn(earlier, &names) || !NamesIn(fresh, &own)) {
    if (reason) *reason = "the folder cannot be read";
    return false;
  }
  const std::set<std::string> written(own.begin(), own.end());
  std::vector<std::string> others;
  for (const std::string& name : names) {
    if (written.count(name) == 0) others.push_back(name);
  }
  if (others.empty()) return true;
  if (reason) {
    constexpr std::size_t kNamed = 5;
    std::string text =
        "the folder holds names that this run does not write (it replaces a folder only when it "
        "writes every name there; move or remove them first): ";
    for (std::size_t i = 0; i < others.size() && i < kNamed; ++i) {
      if (i > 0) text += ", ";
      text += plat::path::FromNative(others[i]);
    }
    if (others.size() > kNamed) {
      text += " and " + std::to_string(others.size() - kNamed) + " more";
    }
    *reason = text;
  }
  return false;
}

}  // namespace builder
