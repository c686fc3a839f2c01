#pragma once
// The name levels of the address matcher (prefecture, municipality, oaza,
// aza/chome): the values a level reports of its best candidate, the word
// tables, and the helpers the levels share. The levels themselves are
// members of CAdrsEngine (matching/adrs_engine.h), defined in
// matching/name_levels.cpp; MatchAddress in matching/match_cascade.cpp.
//
// Texts are CP932 and normalised (matching/normalize.h); the "written form"
// of a stretch of the edit text is what the caller wrote there
// (CEditText::GetOriginalPointer).

#include <cstddef>
#include <cstdint>
#include <string_view>

class CEditText;

// The best candidate of MatchOaza or MatchChome, as the level above weighs
// it. Consumed counts are bytes of the normalised text.
struct NameLevelResult {
  int32_t level = 0;   // 3 oaza .. 8 lot; 0 for none
  int32_t parent = 0;  // meaning by level as MatchAddress reports it
  int16_t entry = 0;
  int32_t oazaConsumed = 0;  // MatchOaza only
  int32_t variantKind = 0;   // MatchOaza only: an OazaVariant (candidate_compare.h)
  int32_t chomeConsumed = 0;
  int32_t chomeRoute = 1;  // 0: the chome row came through the control code
  int32_t status = 0;
  int32_t precision = INT32_MAX;  // precision class, smaller is better
};

// The word tables. Each list ends with a null text.
struct NameWord {
  const char* text;
  int needsNumber;  // oaza unit words: a numeral must end the text before it
};
// Prefixes skipped before the oaza level: 大字 字 (kana おおあざ).
const NameWord* OazaPrefixWords(int kana);
// Prefixes skipped before the chome level: 大字 小字 字 (kana おおあざ こあざ).
const NameWord* ChomePrefixWords(int kana);
// Unit words that may stand for the rest of an oaza name after a number:
// 地割 条町 番町 番丁 線 区 号 条 町 村 番 (kana ちわり じようちよう ばんちよう
// ちよう まち むら); all but 町 and 村 (ちよう まち むら) need a number.
const NameWord* OazaUnitWords(int kana);
// Unit words a chome name may end in and be written without: 丁目 丁 番
// 地割 線 区 号 (kana ちようめ ちよう ばん ちわり せん ごう).
const NameWord* ChomeUnitWords(int kana);
// Separators after an oaza unit word and after a chome name: － の ノ
// (kana －).
const NameWord* SeparatorWords(int kana);
// Street words skipped in the second pass over a street district: 町 通り
// 通 (kana まち とおり).
const NameWord* StreetWords(int kana);

// An oaza name (in place) as the matcher compares it: a placeholder
// (IsNoOazaName) becomes empty, any other name loses a leading 大字
// (kana おおあざ).
void PrepareOazaName(char* name, int kana);
// Whether PrepareOazaName leaves the name of these bytes (the text they
// hold up to a NUL among them) as it is: true for every name whose bytes
// hold no 大字 (おおあざ), which both the placeholder and the dropped
// prefix begin with; false for the others, some of which it leaves alone.
bool OazaNameLeftAsIs(std::string_view bytes, int kana);
// A chome name as the matcher compares it: a placeholder becomes empty.
void PrepareChomeName(char* name, int kana);

// Length of the first word of the list that the text begins with; 0 for
// none.
int MatchWordAt(const char* text, const NameWord* words);

// 1 when p stands on a full-width digit ０-９, 2 on another numeral
// character (一 十 百 千 万 〇 ...), 0 otherwise (also at the end).
int NumeralKindAt(const char* p);
// The reference library's name for the same test.
inline int NumeralClassAt(const char* p) { return NumeralKindAt(p); }

// The boundary test after a name match: 1 when the number in the text goes
// on past the name, that is the character at `after` is a numeral of the
// same kind as the last character of the name ("１" must not match the head
// of "１２"). 0 for an empty name.
int NumberGoesOnPastName(const char* after, const char* name);

// The text with its iteration marks written out: 々 becomes a copy of the
// character before it, 々々 a copy of the two before it; a 々 at the very
// start stays, and 々々 after a single character counts as two single
// marks. 0 (out = "") when the result does not fit outSize bytes.
int ExpandRepeatMarks(const char* text, char* out, std::size_t outSize);

// 1 when the first n bytes of the edit text at the cursor were written by
// the caller as the name: the written form of those bytes equals the name
// as it stands, or after both had their iteration marks written out, or
// after both went through the number-and-unit rewriting as well.
int WrittenPrefixEquals(const CEditText* text, int n, const char* name);

// Moves the cursor past the name as the caller wrote it: the written form
// at the cursor must begin with the name; characters are then consumed one
// by one until the written form at the cursor is what followed the name.
// 1 when that point is reached (or the text runs out and nothing followed
// the name); otherwise the text is left as it was and 0 answered; 0 for an
// empty name.
int SkipWrittenName(CEditText* text, const char* name);

// Removes one separator at the cursor when the end of the text or a
// numeral follows it; the bytes removed (0 for none or a failed edit).
int SkipSeparator(CEditText* text, int kana);
