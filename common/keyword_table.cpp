#include "common/keyword_table.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/sjis_text.h"
#include "common/tokenizer.h"

int LookupKeyword(char* word, int32_t* value, char* matched, const KeywordTableRow* table,
                  int rowCount) {
  if (value) *value = 0;
  if (matched) matched[0] = '\0';
  if (!word || !table) return 0;
  for (int i = 0; i < rowCount; ++i) {
    const KeywordTableRow& row = table[i];
    const std::size_t nameLength = strnlen(row.name, sizeof row.name);
    if (row.prefix == 1) {
      std::string upper(word);
      ToUpperAscii(upper.data());
      if (upper.compare(0, nameLength, row.name, nameLength) == 0 && upper.size() >= nameLength) {
        if (value) *value = row.value;
        if (matched) std::strcpy(matched, word);
        return 1;
      }
      continue;
    }
    ToUpperAscii(word);
    if (std::strlen(word) == nameLength && std::strncmp(word, row.name, nameLength) == 0) {
      if (value) *value = row.value;
      return 1;
    }
  }
  return 0;
}

int ParseKeywordFlags(const char* list, int32_t* flags, char* matchedWords,
                      const KeywordTableRow* table, int rowCount) {
  if (flags) *flags = 0;
  if (matchedWords) matchedWords[0] = '\0';
  if (!list) return 0;
  CTokenizer words;
  if (!words.Set(list, "|", 0)) return 0;
  std::string joined;
  char word[CTokenizer::kTextSize];
  char matched[CTokenizer::kTextSize];
  for (int n = 1; words.GetField(word, n); ++n) {
    if (word[0] == '\0') continue;
    int32_t value = 0;
    if (!LookupKeyword(word, &value, matched, table, rowCount)) return 0;
    if (flags) *flags |= value;
    if (matched[0] != '\0') {
      if (!joined.empty()) joined += '|';
      joined += matched;
    }
  }
  // The joined words are the list's own words, so they fit its size.
  if (matchedWords) std::snprintf(matchedWords, CTokenizer::kTextSize, "%s", joined.c_str());
  return 1;
}
