#include "plat/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string_view>
#include <vector>

#include "sjis_walk.h"
#include "write_aside.h"

namespace plat::reg {
namespace {

// One process-wide lock: a rewrite reads, edits and replaces the file.
std::mutex& StoreMutex() {
  static std::mutex mu;
  return mu;
}

// Blanks, tabs and CR are below 0x40, never trail bytes: safe to cut.
std::string_view Trim(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// "[path]": the closing bracket is the last character (found by walking
// forward, since ']' is also a trail byte).
bool ParseKeyLine(std::string_view line, std::string_view& path) {
  std::string_view t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return false;
  std::size_t i = 1, lastClose = std::string_view::npos, lastStart = 0;
  while (i < t.size()) {
    std::size_t n = detail::CharLen(t, i);
    lastStart = i;
    if (n == 1 && t[i] == ']') lastClose = i;
    i += n;
  }
  if (lastClose == std::string_view::npos || lastClose != lastStart) return false;
  path = t.substr(1, lastClose - 1);
  return true;
}

// "\"name\"=data": '"' (0x22) is never a trail byte.
bool ParseValueLine(std::string_view line, std::string_view& name, std::string_view& data) {
  std::string_view t = Trim(line);
  if (t.empty() || t.front() != '"') return false;
  std::size_t close = t.find('"', 1);
  if (close == std::string_view::npos) return false;
  name = t.substr(1, close - 1);
  std::string_view rest = Trim(t.substr(close + 1));
  if (rest.empty() || rest.front() != '=') return false;
  data = Trim(rest.substr(1));
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseData(std::string_view data, Value& out) {
  if (data.size() >= 2 && data.front() == '"' && data.back() == '"') {
    out.type = kTypeString;
    out.dword = 0;
    out.text.assign(data.substr(1, data.size() - 2));
    return true;
  }
  constexpr std::string_view kDword = "dword:";
  if (data.size() <= kDword.size() || data.size() > kDword.size() + 8 ||
      !detail::EqualNoCaseSjis(data.substr(0, kDword.size()), kDword))
    return false;
  std::uint32_t v = 0;
  for (char c : data.substr(kDword.size())) {
    int d = HexDigit(c);
    if (d < 0) return false;
    v = v * 16 + static_cast<std::uint32_t>(d);
  }
  out.type = kTypeDword;
  out.dword = v;
  out.text.clear();
  return true;
}

bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
  lines.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return errno == ENOENT;  // no file yet: no values
  std::string all;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) all.append(buf, n);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  if (!ok) return false;
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find('\n', start);
    if (end == std::string::npos) end = all.size();
    std::string line = all.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return true;
}

bool WriteLines(const std::string& path, const std::vector<std::string>& lines) {
  // $XDG_CONFIG_HOME (or ~/.config) may not exist yet either.
  if (!detail::MakeFolderAndParent(path.substr(0, path.rfind('/')))) return false;
  std::string all;
  for (const std::string& line : lines) all += line + "\n";
  return detail::WriteAside(path, all);
}

struct Found {
  bool keyFound = false;
  std::size_t keyEnd = 0;  // one past the last line of the first matching key
  bool valueFound = false;
  std::size_t valueLine = 0;
};

Found Find(const std::vector<std::string>& lines, std::string_view keyPath, std::string_view name) {
  Found f;
  bool inKey = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string_view path, valueName, data;
    if (ParseKeyLine(lines[i], path)) {
      inKey = detail::EqualNoCaseSjis(path, keyPath);
      if (inKey && !f.keyFound) {
        f.keyFound = true;
        f.keyEnd = i + 1;
      }
      continue;
    }
    if (!inKey) continue;
    if (f.keyEnd == i) f.keyEnd = i + 1;  // still inside the first matching key
    if (!f.valueFound && ParseValueLine(lines[i], valueName, data) &&
        detail::EqualNoCaseSjis(valueName, name)) {
      f.valueFound = true;
      f.valueLine = i;
    }
  }
  return f;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

bool SetLine(const char* keyPath, const char* name, const std::string& data) {
  if (!keyPath || !name) return false;
  const std::string_view key = keyPath, valueName = name;
  if (HasLineBreak(key) || HasLineBreak(valueName) ||
      valueName.find('"') != std::string_view::npos || HasLineBreak(data))
    return false;
  std::string path;
  if (!StorePath(path)) return false;
  std::lock_guard<std::mutex> lock(StoreMutex());
  std::vector<std::string> lines;
  if (!ReadLines(path, lines)) return false;
  const std::string line = "\"" + std::string(valueName) + "\"=" + data;
  const Found f = Find(lines, key, valueName);
  if (f.valueFound) {
    lines[f.valueLine] = line;
  } else if (f.keyFound) {
    // After the key's last value, before any blank lines that close it.
    std::size_t at = f.keyEnd;
    while (at > 0 && Trim(lines[at - 1]).empty()) --at;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), line);
  } else {
    if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
    lines.push_back("[" + std::string(key) + "]");
    lines.push_back(line);
  }
  return WriteLines(path, lines);
}

}  // namespace

bool StorePath(std::string& nativePath) {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') {
    nativePath = std::string(xdg) + "/kort/registry";
    return true;
  }
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') return false;
  nativePath = std::string(home) + "/.config/kort/registry";
  return true;
}

bool QueryValue(const char* keyPath, const char* name, Value& out) {
  if (!keyPath || !name) return false;
  std::string path;
  if (!StorePath(path)) return false;
  std::vector<std::string> lines;
  {
    std::lock_guard<std::mutex> lock(StoreMutex());
    if (!ReadLines(path, lines)) return false;
  }
  const Found f = Find(lines, keyPath, name);
  if (!f.valueFound) return false;
  std::string_view valueName, data;
  ParseValueLine(lines[f.valueLine], valueName, data);
  return ParseData(data, out);
}

bool SetDword(const char* keyPath, const char* name, std::uint32_t value) {
  char data[32];
  std::snprintf(data, sizeof data, "dword:%08x", static_cast<unsigned>(value));
  return SetLine(keyPath, name, data);
}

bool SetString(const char* keyPath, const char* name, const char* text) {
  if (!text) return false;
  return SetLine(keyPath, name, "\"" + std::string(text) + "\"");
}

bool DeleteValue(const char* keyPath, const char* name) {
  if (!keyPath || !name) return false;
  std::string path;
  if (!StorePath(path)) return false;
  std::lock_guard<std::mutex> lock(StoreMutex());
  std::vector<std::string> lines;
  if (!ReadLines(path, lines)) return false;
  const Found f = Find(lines, keyPath, name);
  if (!f.valueFound) return false;
  lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(f.valueLine));
  return WriteLines(path, lines);
}

}  // namespace plat::reg
