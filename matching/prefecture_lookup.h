#pragma once
// What the scan of a text without a prefecture name knows of each
// prefecture of a data folder before it matches any (see
// PrefecturesToLeaveOut in match_driver.cpp): the prefecture row's name and
// its municipalities' name table, with the stamps of the two files they
// were read from.
//
// A process keeps them per folder; between processes they are kept in the
// store of derived values (plat/derived_store.h) under the folder's key
// (the folder, index kind, kana switch and extra pairs) and the build that
// wrote them (a changed program derives again), so that a new process
// reads one value instead of opening every prefecture's database and
// index. A value that does not decode is ignored. Each prefecture's
// entry is used only while both its files have the stamps it was made
// from; the prefecture names put in front of a text, only while the
// folder's dictionary files have the stamps they were made with.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

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
// unknown, when they are not such a value; the names are then none kept).
std::string EncodePrefectureLookups(const FolderPrefectureLookups& lookups,
                                    const FolderPrefectureNames& names = FolderPrefectureNames());
bool DecodePrefectureLookups(std::string_view bytes, FolderPrefectureLookups* out,
                             FolderPrefectureNames* names = nullptr);

// The store's key of the value of the key (of this build and format: other
// builds sharing the store keep values of their own).
plat::DerivedKey PrefectureLookupStoreKey(const std::string& key);

// Reads the key's value; false when there is none that decodes.
bool LoadPrefectureLookups(const std::string& key, FolderPrefectureLookups* out,
                           FolderPrefectureNames* names);
// Writes it; false when there is no cache folder to write to.
bool StorePrefectureLookups(const std::string& key, const FolderPrefectureLookups& lookups,
                            const FolderPrefectureNames& names);
