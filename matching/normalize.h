#pragma once
// Address text normalisation: the fixed sequence of steps that brings the
// input address and the names of the address tables to one canonical form,
// so that a plain byte comparison decides most matches:
//   1. single-byte characters to full width (ｶﾞ as one character);
//   2. katakana to hiragana (ヴ ヵ ヶ stay);
//   3. small hiragana to large;
//   4. with a unification dictionary: every character through it, then
//      every "‐" to "－";
//   5. steps 2 and 3 again;
//   6. numerals before the unit words (条 丁 番 区 線 号 ノ 地割 －) and at
//      the end of the text to full-width digits, when the run is of one kind;
//   7. with a replacement list: every pair in list order as a replace-all.
// The sequence exists on a text buffer (NormalizeSearchText) and on a
// CEditText (NormalizeEditText), whose every change stays mappable to the
// caller's input; both give the same bytes.
//
// Dictionaries hold 516-byte pair records (tabledb/dictionaries.h): the
// unification dictionary is a CCharDictionary sorted by search text, the
// replacement list a CRecordList in file order. Either may be null (or
// empty): its step is skipped.
//
// Length limit: a search text holds at most kMaxSearchTextLength (511)
// bytes, the most a CEditText version holds. The text-buffer functions take
// the caller's buffer size (NUL included); an input over the limit, or a
// result (or the result of any step) over the limit or not fitting the
// buffer, is refused: the function answers 0 and leaves the text as it was.

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/kanji_numeral.h"
#include "common/record_array.h"
#include "common/record_stack.h"
#include "matching/edit_text.h"
#include "tabledb/dictionaries.h"

inline constexpr int kMaxSearchTextLength = CEditText::kMaxLength;

// 1 for a text of at most kMaxSearchTextLength bytes; otherwise (also for
// null) 0 with "パラメータに無効な値が渡されました！(検索文字列)" in msg.
int CheckSearchTextLength(const char* text, char* msg);

// The whole sequence on a text in a buffer of textSize bytes, in place.
int NormalizeSearchText(const CRecordList* list, CCharDictionary* dictionary, char* text,
                        std::size_t textSize);
// The same sequence as edits of the edit text (a step whose edit fails stops
// there and the next step goes on). 0 only when there is no text.
int NormalizeEditText(const CRecordList* list, CCharDictionary* dictionary, CEditText* text);

// A blank-separated search text (double-quoted words allowed) word by word:
// "萬" becomes "万"; every word other than a bare "千" or "万" is normalised;
// the words are joined with one blank.
int NormalizeSearchWords(CCharDictionary* dictionary, const CRecordList* list, char* text,
                         std::size_t textSize);

// Fills outList and outDictionary with the entries that change this input:
// a private copy of the input goes through the sequence (without the
// replacement list), the dictionary records that replace one of its
// characters are kept (their flag words in the full dictionary are set to
// 0, all others to 1), then the pairs that change the normalised copy, in
// list order, each applied in turn. Normalising the input with the two out
// containers then gives the same text as with the full ones. The out
// containers are freed first; a kept list stays freed (empty) when no
// entry applies. 0 when an edit or a container operation fails.
int SelectApplicableDictionaryEntries(CRecordList* outList, CCharDictionary* outDictionary,
                                      const CRecordList* list, CCharDictionary* dictionary,
                                      const CEditText* input);

// Every character looked up in the dictionary and replaced by its
// canonical form when found.
int UnifyCharacters(CCharDictionary* dictionary, char* text, std::size_t textSize);
// The same as edits; the inserted text is not looked up again. 1 at once
// for an empty (or null) dictionary; 0 at a failed edit.
int UnifyEditTextCharacters(CCharDictionary* dictionary, CEditText* text);

// Every pair in list order as a replace-all (pairs with an empty search text
// change nothing).
int ApplyReplacementPairs(const CRecordList* list, char* text, std::size_t textSize);
// The text with every pair of the list applied; the text unchanged when
// there is no list, the text is longer than a search text or the result
// does not fit one.
std::string ReplacedText(const CRecordList* list, const char* text);
// The same as edits; 0 at the first failure.
int ApplyReplacementPairsToEditText(const CRecordList* list, CEditText* text);
// Whether ApplyReplacementPairs would leave the text as it is because no
// pair's search text can occur in it (its bytes are nowhere in the text);
// false when a pair may apply (or a record cannot be seen).
bool ReplacementPairsLeaveAlone(const CRecordList* list, const char* text);

// Step 6 on a text buffer: 四条 -> ４条, 十五番地 -> １５番地, 二十三 at the
// end -> ２３; 十万 (does not read) and １二 (mixed) stay.
int ParseNumberUnit(char* text, std::size_t textSize);

// (EndsWithUniformNumeralRun, the test of step 6, is in
// common/kanji_numeral.h.)

// 1 when the text holds only hiragana, full-width digits, ASCII digits and
// ASCII blanks, and at least one double-byte character.
int IsKanaReadingText(const char* text);
// 1 when the text holds only hiragana and ASCII blanks, and at least one
// hiragana.
int IsHiraganaText(const char* text);

// ASCII digits to ０-９; every other single-byte character through the
// width tables one at a time (so a voiced mark is not joined to the kana
// before it: ｶﾞ gives カﾞ); double-byte characters copied. Returns the
// text, unchanged when the result does not fit the buffer.
char* ToFullWidthText(char* text, std::size_t textSize);
// "%ld" of the value through ToFullWidthText (-12 gives －１２).
std::string FullWidthNumber(int32_t value);

// 1 and the value for a non-empty text of full-width digits ０-９ only
// whose value fits 32 bits; else 0 (value untouched).
int FullWidthDigitsToInt(const char* text, int32_t* value);
