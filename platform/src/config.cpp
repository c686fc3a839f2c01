#include "plat/config.h"

#include <string>
#include <string_view>

#include "plat/crt.h"
#include "plat/file.h"
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

}  // namespace

int ReadProfileInt(const char* section, const char* key, int defaultValue, const char* file) {
  if (!section || !key || !file || !*file) return defaultValue;
  std::string path = file;
  const bool hasDrive = path.size() >= 2 && path[1] == ':';
  if (detail::AfterLastSeparator(path) == 0 && !hasDrive) {
    std::string folder;
    if (!path::ProgramFolder(folder)) return defaultValue;
    path = folder + "\\" + path;
  }
  File f;
  if (!f.Open(path.c_str(), ModeRead | TypeText)) return defaultValue;
  const std::string_view wantSection = Trim(section);
  const std::string_view wantKey = Trim(key);
  bool inSection = false;
  std::string line;
  while (f.ReadString(line)) {
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
