#pragma once
// Option words to flag bits through a keyword table: a "|"-separated list
// such as "all|kana1" becomes the OR of the values of its words.

#include <cstdint>

// One row of a keyword table: the name in upper case, its value, and 1 in
// `prefix` when the name need only begin the word.
struct KeywordTableRow {
  char name[64];
  int32_t value;
  int32_t prefix;
};

// Looks the word up row by row. A prefix row compares the first (name
// length) bytes of an upper-cased copy of the word; on a match the value is
// stored and `matched` receives the word as given. A whole-word row
// upper-cases the word itself in place (later rows see it so) and compares
// it whole; on a match the value is stored and `matched` stays "". 1 when a
// row matched; 0 (value 0) when none did. `matched` needs room for the word.
int LookupKeyword(char* word, int32_t* value, char* matched, const KeywordTableRow* table,
                  int rowCount);

// Every non-empty word of the "|"-separated list through LookupKeyword:
// flags = the OR of their values (starting from 0); `matchedWords` (may be
// null; 4,096 bytes) receives the non-empty matched words joined by "|".
// 0 as soon as a word is not in the table, else 1.
int ParseKeywordFlags(const char* list, int32_t* flags, char* matchedWords,
                      const KeywordTableRow* table, int rowCount);
