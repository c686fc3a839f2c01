#pragma once
// The dictionary loaders that normalise what they read: the replacement
// lists, whose headerless binary and text forms hold texts that must be
// brought to the normalised form (matching/normalize.h) before they can be
// compared with normalised input. The raw pair-file reading, the file
// formats and the limits are those of tabledb/dictionaries.h.

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
