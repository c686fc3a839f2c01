#pragma once
// The name tables of the levels (matching/name_candidates.h) kept between
// processes, so that a process that compares the rows of one municipality
// takes that list's finished table instead of reading every row's names.
//
// Each table is a value of its own in the store of derived values
// (plat/derived_store.h), of the data folder of its files: its item is
// what it lists (the list, the index kind, the rows, the kana switch and
// the pairs it was made with), its sources the database and index files
// it was read from. A table is used only when it holds a finished table of
// its rows; anything else is as if the table were not there: the table is
// made from the rows again and kept anew. A process that makes a table
// adds it with the other values of its call: the tables of other
// municipalities are neither read nor rewritten.

#include <cstdint>
#include <string>

#include "matching/name_candidates.h"
#include "plat/derived_store.h"
#include "plat/file_stamp.h"

// Where a table is kept.
struct StoredNameTableId {
  std::string folder;        // the native data folder of its files
  std::string item;          // what it lists and how (see above)
  plat::FileStamp files[2];  // the database and the index it was read from
};

// The table of the id (of rows 1..count) in the store; false when it is
// not there or does not decode.
bool FindStoredNameTable(const StoredNameTableId& id, uint16_t count, NameTable* table);

// Keeps a complete table of the id; false when it will not be kept (no
// store, files changed too recently).
bool KeepStoredNameTable(const StoredNameTableId& id, const NameTable& table);

// The store's key of the table of the id in the folder.
plat::DerivedKey NameTableStoreKey(const StoredNameTableId& id, const plat::DerivedFolder& folder);
