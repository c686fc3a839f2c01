#pragma once
// The name tables of the levels (matching/name_candidates.h) kept between
// processes, so that a process that compares the rows of one municipality
// takes that list's finished table instead of reading every row's names.
//
// The tables of one data folder (and one set of extra pairs) share one
// cache file (plat/cache_file.h) named after the folder's key; within it
// each table is a section named by its identity: what it lists, the stamps
// of the database and index files it was read from, the index kind, the
// rows and the kana switch. The file begins with its key whole, the stamp
// of the build that wrote it and a directory of the sections; every
// directory entry and every section carries a checksum, and a section is
// used only when it checks, names the identity asked for and holds a
// finished table of its rows. Anything else is as if the table were not
// there: the table is made from the rows again and the file rewritten.
//
// A process reads the file's first bytes (the header, and the directory
// when it is small), the directory entries it looks up and the sections it
// uses, nothing else. It writes the tables it made: the file again with the
// tables added (the first few times at once, later only when what it made
// has grown by half the file, so that a long process does not rewrite a
// large file for every table). A file beyond its size limit starts again
// with the new tables.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "matching/name_candidates.h"
#include "plat/cache_file.h"

class CNameTableStore {
 public:
  // The store of the file of the key (the folder and what else all its
  // tables share).
  explicit CNameTableStore(std::string key);

  // The table of the identity (of rows 1..count) in the file; false when
  // it is not there or does not check.
  bool Find(const std::string& identity, uint16_t count, NameTable* table);
  // Adds a complete table of the identity, written out by the rule above;
  // false when nothing is written now (deferred, or no cache folder).
  bool Add(const std::string& identity, const NameTable& table);
  // Writes the tables added and not yet written; false when there were
  // none or the file could not be written.
  bool Flush();

  // The name of the key's cache file (of this build and format).
  static std::string FileName(const std::string& key);

 private:
  struct Entry;
  bool OpenLocked();
  // The bytes of directory entry i.
  bool EntryBytesLocked(uint64_t i, char* out);
  bool FindLocked(const std::string& identity, uint16_t count, NameTable* table);
  bool WriteLocked();

  std::mutex mutex_;
  const std::string key_;
  const std::string fileName_;
  bool opened_ = false;  // the file was looked at (reader_ open when it checked)
  plat::CacheFileReader reader_;
  uint64_t directoryAt_ = 0;
  std::string directory_;  // the entries of the open file, when in its first bytes
  uint64_t entryCount_ = 0;
  // Sections made here and not yet in the file, by identity checksum.
  std::map<uint64_t, std::string> pending_;
  std::size_t pendingBytes_ = 0;
  int writes_ = 0;
  bool unwritable_ = false;
};

// The process's store of a key.
std::shared_ptr<CNameTableStore> ProcessNameTableStore(const std::string& key);
