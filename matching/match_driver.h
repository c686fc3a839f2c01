#pragma once
// The matching driver: which prefecture's data an address text is matched
// against, and the one result line of the match.
//
// A text that begins with a prefecture name (kanji, or the hiragana
// reading for search-text kinds 2 to 4) is matched against that prefecture
// only. Otherwise every prefecture with data is tried with its name put in
// front of the text; a prefecture that gets beyond its own name (level 2 or
// more) is a candidate; the deepest candidate wins (ties: the lower
// prefecture number) and is used when it is the only one or reached the
// oaza level or deeper; it is then matched once more and written.
//
// Per prefecture the folder's QVAD%02d.NDB and QVAD%02d.TIX are opened (a
// prefecture without them is skipped), with the change files
// QAD_CH%02d.CDB/.CIX/.CDI, and closed again before the next.
//
// Whatever is still a single-byte character after the normalisation, and
// everything after it, is not matched; it stays part of the unmatched rest
// of the line.

#include <cstdint>
#include <string>

class CAdrsContext;
class CCharDictionary;
class CEditText;
class CRecordList;

// 1: a result line was written. 0: nothing matched (no message). -1: an
// error, with its message in message (kMessageSize bytes). The text is not
// changed; the data folder gets a "\" when it lacks one.
int RunAddressMatching(const char* text, int32_t flags, int32_t numberUnitValue,
                       const char* dataFolder, CAdrsContext* context,
                       CCharDictionary* unificationDictionary, CRecordList* replacementList,
                       CRecordList* extraReplacementList, char* message);

// Forgets the prefecture names the scan without a prefecture name keeps
// per folder, as a new process starts without them (for tests: they are
// then taken from the store of derived values, or read again).
void ForgetKeptPrefectureNames();

// The folder with a trailing "\" (null counts as "").
std::string FolderWithBackslash(const char* folder);

// The edit text by the context's search-text kind: unset or 1 gives
// *useKanjiNames 1; 2 gives 0; 3 turns katakana into hiragana, 4 half-width
// katakana into hiragana, then 0. 0 for a failed conversion or another
// kind.
int ApplySearchTextKind(CAdrsContext* context, CEditText* editText, int32_t* useKanjiNames);

// The kanji name (useKanjiNames 1) or the reading of prefecture number
// (1..47) into out (kPrefectureTextSize bytes); "" for another number.
char* GetPrefectureNameByKind(int32_t number, char* out, int32_t useKanjiNames);

// The 1-based byte position of the first character that is not a
// double-byte character (a lead byte just before the end counts as single),
// walking from the start; 0 when there is none.
int FindFirstSingleByteChar(const char* text);
// Cuts the edit text's current text at FindFirstSingleByteChar; 1 (also
// when there is nothing to cut), 0 for a failed edit.
int TruncateEditTextAtSingleByte(CEditText* editText);
// The same on a plain text (cut with a NUL); returns the text.
char* TruncateAtSingleByte(char* text);

// 1 when the text fits the context's search-text kind: unset or 1 any
// text; 2 double-byte hiragana and full-width digits only; 3 katakana and
// full-width digits only; 4 half-width katakana (0xA1..0xDF) and ASCII
// digits only. 0 otherwise.
int CheckSearchTextKind(CAdrsContext* context, const char* text);
