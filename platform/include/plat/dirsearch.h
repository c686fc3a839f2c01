#pragma once
// Directory search with Windows wildcards ('*' any run, '?' one character,
// "*.*" everything), ASCII case-insensitive, Shift-JIS aware. Directories
// are reported too, "." and ".." included. Names come back in CP932.

#include <memory>
#include <string>

namespace plat {

struct DirEntry {
  std::string name;  // CP932, without folder
  bool isDirectory = false;
};

class DirSearch {
 public:
  DirSearch();
  ~DirSearch();
  DirSearch(const DirSearch&) = delete;
  DirSearch& operator=(const DirSearch&) = delete;

  // pattern: CP932 folder + name pattern, e.g. "C:\data\*.NDB" style but
  // without the drive. False when the folder does not exist.
  bool Open(const char* pattern);
  // Next match; false when there are no more. Matches come in a fixed
  // order: "." and "..", then by name with ASCII letters folded.
  bool Next(DirEntry& entry);
  void Close();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The wildcard match used by DirSearch (CP932 name against CP932 pattern).
bool MatchesPattern(const char* name, const char* pattern);

}  // namespace plat
