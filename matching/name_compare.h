#pragma once
// Variant-tolerant comparison of a table name (oaza, aza or chome) with the
// start of the rest of the input address. Both texts are normalised
// (matching/normalize.h). When the plain comparison fails, the name may
// still match in a variant form:
//  - the same number in other numerals (五 against ５);
//  - after the user's extra replacement pairs, or the replacement list;
//  - without the prefixes 大字 and 字 (おおあざ and あざ in kana readings);
//  - with the iteration mark 々 written out (佐々木 against 佐佐木);
//  - without a connecting kana (の け つ) between two kanji (一の瀬, 一瀬);
//  - where the matcher switches it on (street-style addresses, as in
//    Kyoto): with the direction words 上る 上がる 下る 下がる 西入る 東入る
//    通り, and with a 町 or 通 dropped on either side.
// Results are byte counts of the input that the name consumed (0 = no
// match); an empty name matches every input with 0 bytes.
//
// Texts may be of any length; the edit-text steps cover inputs of up to
// 511 bytes (a longer input only takes the steps that need no edit text).

#include <cstdint>
#include <string>

#include "common/record_array.h"
#include "common/record_stack.h"
#include "tabledb/dictionaries.h"

// kanaSwitch set: CompareNameVariantsKana, else CompareNameVariantsKanji.
int CompareNameVariants(const char* input, const char* name, CCharDictionary* dictionary,
                        const CRecordList* list, int direction, int kanaSwitch,
                        const CRecordList* extraList, int* variantFlag);

// The kanji comparison. direction 1 switches the direction words on.
// *variantFlag is 0 when the plain comparison (or the one after the
// numeral normalisation of the name) matched, 1 when a later step did.
int CompareNameVariantsKanji(const char* input, const char* name, CCharDictionary* dictionary,
                             const CRecordList* list, int direction, const CRecordList* extraList,
                             int* variantFlag);

// The comparison of kana readings (dictionary and list are not read).
int CompareNameVariantsKana(const char* input, const char* name, CCharDictionary* dictionary,
                            const CRecordList* list, const CRecordList* extraList,
                            int* variantFlag);

// 1 when the name matches the start of the input: as bytes, or character by
// character where a run of full-width digits and a run of kanji numerals of
// the same value count as equal, or (with extra pairs) after the extra pairs
// were applied to both texts, when they left the rest of the input as it
// was. *consumed gets the input bytes. The name itself is not changed.
int ComparePrefixTolerant(const char* input, const char* name, const CRecordList* extraList,
                          int* consumed);

// While it lives, comparisons on this thread with this list as their extra
// pairs take the pairs as they stood when it began, instead of reading the
// whole list again at every comparison. For a stretch of work that does not
// change the list (one match of an address). Scopes nest.
class CExtraPairsScope {
 public:
  explicit CExtraPairsScope(const CRecordList* list);
  ~CExtraPairsScope();
  CExtraPairsScope(const CExtraPairsScope&) = delete;
  CExtraPairsScope& operator=(const CExtraPairsScope&) = delete;

 private:
  const CRecordList* previous_;
};

// What the comparisons read of an extra pair list: the texts of its pairs
// ("" for none or an empty list). Equal signatures edit alike.
std::string ExtraPairsSignature(const CRecordList* list);

// The first pair of the list with a search text that occurs in the input
// before its last byte: the 1-based position of its first occurrence, the
// pair in *pair; 0 for none (or a list of other records).
int FirstOccurringPair(const CRecordList* list, const char* input, PairRecord* pair);

// The text with its first 々 (at a position above 2) written out: the
// character before it in its place, or, for 々々 at a position above 4,
// the two characters before them. Empty when there is nothing to expand or
// the characters before are not double-byte.
std::string ExpandIterationMark(const std::string& text);

// 1 and the name without its first connecting kana (の, then け, then つ;
// each its first occurrence) that stands between two kanji of JIS levels 1
// and 2; 0 for names of 5 bytes or fewer, or when there is none. out needs
// room for the name.
int DropConnectingKana(const char* name, char* out);

// Length of the last listed variant that the text starts with; 0 for none.
int MatchLongestVariant(const char* text, const char* const* variants, int count);

// The matched length n of text, extended over the rest of a direction word
// that the matched part ends in: 上 + る / がる, 下 + る / がる, 通 + り,
// 西入 / 東入 + る. n unchanged below 2 or from the text's length on.
int ExtendOverDirectionWord(const char* text, int n);
