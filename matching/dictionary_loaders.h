#pragma once
// The dictionary loaders that normalise what they read: the replacement
// lists, whose headerless binary and text forms hold texts that must be
// brought to the normalised form (matching/normalize.h) before they can be
// compared with normalised input. The raw pair-file reading, the file
// formats and the limits are those of tabledb/dictionaries.h.

#include <string>

#include "common/record_array.h"
#include "common/record_stack.h"
#include "tabledb/dictionaries.h"

// withHeader 1: header "TVXBT_O"; strings stored as read, except that with
// tenThousandToMan set (kort; Gazref passes 0) every "１００００" of a search
// string becomes "万". withHeader 0: headerless pairs, both strings
// normalised with the unification dictionary (NormalizeSearchText without
// a replacement list). File order is kept.
int LoadReplacementDictionary(const char* path, CRecordList* list, CCharDictionary* dictionary,
                              char* msg, int withHeader, int tenThousandToMan = 1);

// Text form into a list in file order, both fields normalised with the
// unification dictionary. A file without pairs gives an empty list.
int LoadReplacementDictionaryText(const char* path, CRecordList* list, CCharDictionary* dictionary,
                                  char* msg);

// The unification and replacement dictionaries of a data folder (ending in
// a backslash) for one search, both with headers; freed with the object.
struct SearchDictionaries {
  CCharDictionary unification;
  CRecordList replacements;
  SearchDictionaries() = default;
  SearchDictionaries(const SearchDictionaries&) = delete;
  SearchDictionaries& operator=(const SearchDictionaries&) = delete;
  ~SearchDictionaries() {
    unification.Free();
    replacements.Free();
  }
  // 1, or 0 with the loader's message.
  int Load(const std::string& folder, char* message) {
    return LoadUnificationDictionary((folder + kUnificationDictionaryFile).c_str(), &unification,
                                     message, 1) &&
           LoadReplacementDictionary((folder + kReplacementDictionaryFile).c_str(), &replacements,
                                     &unification, message, 1);
  }
};
