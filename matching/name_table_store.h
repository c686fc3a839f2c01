#pragma once
// The name tables of the levels (matching/name_candidates.h) kept between
// processes, so that a process that compares the rows of one municipality
// takes that list's finished table instead of reading every row's names.
//
// Each table is a value of its own in the store of derived values
// (plat/derived_store.h): under the key of its folder (the folder, and
// what else all its tables share) and its identity (what it lists, the
// stamps of the database and index files it was read from, the index
// kind, the rows and the kana switch). A table is used only when it holds
// a finished table of its rows; anything else is as if the table were not
// there: the table is made from the rows again and kept anew. A process
// that makes a table adds it at once, in a transaction of its own: the
// tables of other municipalities are neither read nor rewritten.

#include <cstdint>
#include <memory>
#include <string>

#include "matching/name_candidates.h"
#include "plat/derived_store.h"

class CNameTableStore {
 public:
  // The store of the key (the folder and what else all its tables share).
  explicit CNameTableStore(std::string key);

  // The table of the identity (of rows 1..count) in the store; false when
  // it is not there or does not decode.
  bool Find(const std::string& identity, uint16_t count, NameTable* table) const;
  // Keeps a complete table of the identity; false when it is not kept (no
  // store).
  bool Add(const std::string& identity, const NameTable& table) const;

 private:
  const std::string key_;
};

// The store's key of the table of the identity under the key (it refers
// to both).
plat::DerivedKey NameTableStoreKey(const std::string& key, const std::string& identity);

// The process's store of a key.
std::shared_ptr<CNameTableStore> ProcessNameTableStore(const std::string& key);
