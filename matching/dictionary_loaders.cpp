#include "matching/dictionary_loaders.h"

#include "matching/normalize.h"

namespace {

// Normalises one text of a pair in place; false when the result does not fit.
bool NormalizeField(char* text, void* dictionary) {
  return NormalizeSearchText(nullptr, static_cast<CCharDictionary*>(dictionary), text,
                             kPairTextSize) != 0;
}

}  // namespace

int LoadReplacementDictionary(const char* path, CRecordList* list, CCharDictionary* dictionary,
                              char* msg, int withHeader, int tenThousandToMan) {
  return LoadReplacementPairs(path, list, msg, withHeader, tenThousandToMan,
                              PairTextFixup{NormalizeField, dictionary});
}

int LoadReplacementDictionaryText(const char* path, CRecordList* list, CCharDictionary* dictionary,
                                  char* msg) {
  return LoadReplacementPairsText(path, list, msg, PairTextFixup{NormalizeField, dictionary});
}
