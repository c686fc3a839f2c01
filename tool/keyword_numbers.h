#pragma once
// Keyword search stages with numbers: the block stage (search type 3) and
// the change-history stage (search type 4), and the number analysis of the
// search words that drives their number-driven calls.
//
// Both stages walk the aza/chome records of the work file as the oaza stage
// does (WalkAzaRecords). The first call of a prefecture (firstCall 1) runs
// with all search words; the number-driven calls pass a number taken from
// the search text and the other words, and leave out the places that
// registry A holds (places done on the first call).
//
// Block row: the aza row with field 8 the block (街区番号, or its
// 街区番号コード in full-width digits), field 12 地名コード + the block code
// padded to five digits, field 13 the block's status ("A" written as "0"),
// the block's coordinates. Change row: fields 8 and 9 the first and second
// number names, field 12 地名コード + the two code parts (FormatCodePart of
// the block and lot numbers, or the change-code index's code texts), field
// 13 the record's class code, the record's coordinates.

#include <cstdint>
#include <string>
#include <vector>

#include "tool/keyword_rows.h"

class CChangeCodeIndex;
class CChangeHistory;
class CPlaceCodeRegistry;

// The numbers of one stage call.
struct KeywordNumberArgs {
  const char* azaText = "";
  const char* blockNumber = "";   // block stage
  const char* firstNumber = "";   // change-history stage
  const char* secondNumber = "";  // change-history stage
  // Block stage: 0 the block text contains the number, 1 begins with it.
  // Change-history stage: 2 to 5 (see WriteChangeHitsFromFile).
  int32_t numberMode = 0;
  int32_t firstCall = 1;
  CPlaceCodeRegistry* registryA = nullptr;  // places done on the first call
  CPlaceCodeRegistry* registryB = nullptr;  // change rows written (may be null)
  CPlaceCodeRegistry* registryC = nullptr;  // block rows written (index kind 2)
  CChangeHistory* history = nullptr;        // open, or null
  CChangeCodeIndex* codeIndex = nullptr;    // open, or null
};

// The block stage. Address-index kind 2: the TC_Gaiku blocks in index order
// (repeats and blocks in registry C left out), then the blocks of the
// change-code index; a place with neither is written as an aza row on the
// first call. Other kinds: the place's blocks sorted by block text, an "A"
// block replacing "0" blocks of the same text. Results as the other stages.
int WriteBlockHitsFromFile(const char* workFile, const char* cityIndexFile,
                           const char* blockIndexFile, const KeywordStageArgs& args,
                           const KeywordNumberArgs& numbers);

// The change-history stage: the numbered records (second number name not
// empty, class code below 3) of the place in the change history and, for
// address-index kind 2, in the change-code index. Number modes on the
// number-driven calls (an empty number text always passes):
//   2  the aza text occurs in the oaza and aza names, the first number in
//      the first sort form, the second number in the second;
//   3  the aza text ends the names (only "丁" or "丁目" may follow its last
//      occurrence), the first number equals the first sort form, the second
//      sort form begins with the second number;
//   4  the aza text as in 3, the first sort form begins with the first number;
//   5  the first sort form ends with the first number, the second begins
//      with the second.
// A place without such a record is written as an aza row on the first call.
int WriteChangeHitsFromFile(const char* workFile, const char* cityIndexFile,
                            const char* blockIndexFile, const KeywordStageArgs& args,
                            const KeywordNumberArgs& numbers);

// ---- Number analysis ----

// 1 when the word ends in a run of numeral characters of one kind
// (full-width digits, or kanji numerals): head = the word before the run,
// numeral = the run. 0 (both "") when it does not.
int SplitTrailingNumeral(const char* word, std::string* head, std::string* numeral);
// The value of a word made only of numeral characters; -1 for any other.
int32_t NumeralWordValue(const std::string& word);

// Type 3: the hyphen form, or the all-numeral words and the words with a
// trailing numeral (each of value 1 or more). Word numbers count from 1.
struct BlockNumberWords {
  int hyphenWord = 0;  // 0: no hyphen form
  std::string hyphenHead;
  int32_t hyphenValue = 0;
  struct Numeral {
    int word;
    int32_t value;
  };
  std::vector<Numeral> numerals;
  struct Trailing {
    int word;
    int32_t value;
    std::size_t headLength;
  };
  std::vector<Trailing> trailing;
};
BlockNumberWords AnalyzeBlockNumbers(const std::vector<std::string>& words);

// Type 4: the hyphens of the words that hold "－", counted over all of
// them (one for the first hyphen of a word, one more when a second
// follows); the head and the two parts after the hyphens (numerals as
// full-width decimal digits) and the word number of the last such word.
struct ChangeNumberWords {
  int hyphenCount = 0;
  int word = 0;
  std::string head, first, second;
};
ChangeNumberWords AnalyzeChangeNumbers(const std::vector<std::string>& words);
