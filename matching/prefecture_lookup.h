#pragma once
// What the scan of a text without a prefecture name knows of each
// prefecture of a data folder before it matches any (see
// PrefecturesToLeaveOut in match_driver.cpp): the prefecture row's name and
// its municipalities' name table, with the stamps of the two files they
// were read from.
//
// A process keeps them per folder; between processes they are kept in the
// store of derived values (plat/derived_store.h), as a value of the data
// folder whose item is the index kind, kana switch and extra pairs, and
// whose sources are the stamps of every prefecture's database and index
// (PrefectureLookupSources), so that a new process reads one value instead
// of opening every prefecture's database and index. The prefecture names
// put in front of a text are a value of their own, whose sources are the
// folder's dictionary files. A value that does not decode is ignored.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "matching/name_candidates.h"
#include "matching/prefecture_names.h"
#include "plat/derived_store.h"
#include "plat/file_stamp.h"

struct PrefectureLookup {
  bool files = false;  // both files were there, with these stamps
  plat::FileStamp ndb;
  plat::FileStamp tix;
  bool known = false;  // false: the prefecture is matched
  std::string name;    // the prefecture row's name
  std::shared_ptr<const NameTable> cities;
  uint16_t count = 0;
};

using FolderPrefectureLookups = std::array<PrefectureLookup, kPrefectureCount + 1>;

// The name of each prefecture as the scan puts it in front of a text (by
// the search-text kind, normalised with the folder's dictionaries), and
// whether normalising it again leaves it as it is, with no single-byte
// character in it: `again` with the folder's unification dictionary,
// `againEmpty` with an empty one. They depend on the dictionaries alone,
// so they are kept with the stamps of the dictionary files they were made
// with.
struct PrefectureNameForms {
  std::string name;
  bool again = false;
  bool againEmpty = false;
};
struct FolderPrefectureNames {
  std::string dictionaries;  // the dictionary files' stamps; empty: none kept
  int32_t useKanjiNames = 0;
  std::array<PrefectureNameForms, kPrefectureCount + 1> forms;
};

// The bytes of the store's value, and back (false, with out left all
// unknown, when they are not such a value). The stamps of the entries are
// the value's sources: Decode gives them from sources (as
// PrefectureLookupSources lists them); hold keeps the bytes the tables
// are read from in place.
std::string EncodePrefectureLookups(const FolderPrefectureLookups& lookups);
bool DecodePrefectureLookups(std::string_view bytes, std::shared_ptr<const void> hold,
                             plat::DerivedSources sources, FolderPrefectureLookups* out);
std::string EncodePrefectureNames(const FolderPrefectureNames& names);
bool DecodePrefectureNames(std::string_view bytes, FolderPrefectureNames* names);

// The sources of the lookups: the database's and the index's stamps of
// prefectures 1 to 47 in turn (a default stamp where an entry has no
// files). Entries are always kept with both files or none.
std::vector<plat::FileStamp> PrefectureLookupSources(const FolderPrefectureLookups& lookups);

// Where the lookups of a folder are kept: the folder (DerivedFolder) and
// the item (what else they were made under).
struct PrefectureLookupPlace {
  plat::DerivedFolder folder;
  std::string item;
};

// The store's keys of the two values.
plat::DerivedKey PrefectureLookupStoreKey(const PrefectureLookupPlace& place);
std::string PrefectureNamesItem(int32_t useKanjiNames);
plat::DerivedKey PrefectureNamesStoreKey(const plat::DerivedFolder& folder,
                                         const std::string& item);

// Reads the place's value for files with the stamps of sources; false
// when there is none that decodes.
bool LoadPrefectureLookups(const PrefectureLookupPlace& place, plat::DerivedSources sources,
                           FolderPrefectureLookups* out);
// Keeps it (under the stamps of its entries); false when it will not be
// kept.
bool StorePrefectureLookups(const PrefectureLookupPlace& place,
                            const FolderPrefectureLookups& lookups);

// The names made with the dictionaries whose files have the stamps of
// dictionaries (and their folder), and back.
bool LoadPrefectureNames(const plat::DerivedFolder& folder, plat::DerivedSources dictionaries,
                         int32_t useKanjiNames, FolderPrefectureNames* names);
bool StorePrefectureNames(const plat::DerivedFolder& folder, plat::DerivedSources dictionaries,
                          const FolderPrefectureNames& names);
