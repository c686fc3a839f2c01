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
#include <cstring>
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
// Whether the bytes hold the byte b: eight at a time (a word holds b
// where its bytes xor b hold a zero byte).
inline bool BytesHoldByte(std::string_view bytes, unsigned char b) {
  constexpr uint64_t kOnes = 0x0101010101010101ull;
  constexpr uint64_t kHighs = 0x8080808080808080ull;
  const uint64_t pattern = kOnes * b;
  auto holds = [pattern](uint64_t word) {
    const uint64_t x = word ^ pattern;
    return ((x - kOnes) & ~x & kHighs) != 0;
  };
  const char* const p = bytes.data();
  const std::size_t n = bytes.size();
  uint64_t word = 0;
  if (n >= 8) {
    for (std::size_t i = 0; i + 8 <= n; i += 8) {
      std::memcpy(&word, p + i, 8);
      if (holds(word)) return true;
    }
    std::memcpy(&word, p + n - 8, 8);
    return holds(word);
  }
  if (n >= 4) {
    // The first four bytes and the last four (overlapping).
    uint32_t first = 0;
    uint32_t last = 0;
    std::memcpy(&first, p, 4);
    std::memcpy(&last, p + n - 4, 4);
    return holds(first | (static_cast<uint64_t>(last) << 32));
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (static_cast<unsigned char>(p[i]) == b) return true;
  }
  return false;
}

// Whether two texts' bytes are the same (a name's few bytes: compared
// eight or four at a time, overlapping), as a == b.
inline bool SameBytes(std::string_view a, std::string_view b) {
  const std::size_t n = a.size();
  if (b.size() != n) return false;
  const char* const p = a.data();
  const char* const q = b.data();
  if (n >= 8) {
    uint64_t x = 0;
    uint64_t y = 0;
    for (std::size_t i = 0; i + 8 <= n; i += 8) {
      std::memcpy(&x, p + i, 8);
      std::memcpy(&y, q + i, 8);
      if (x != y) return false;
    }
    std::memcpy(&x, p + n - 8, 8);
    std::memcpy(&y, q + n - 8, 8);
    return x == y;
  }
  if (n >= 4) {
    uint32_t x[2] = {};
    uint32_t y[2] = {};
    std::memcpy(&x[0], p, 4);
    std::memcpy(&x[1], p + n - 4, 4);
    std::memcpy(&y[0], q, 4);
    std::memcpy(&y[1], q + n - 4, 4);
    return x[0] == y[0] && x[1] == y[1];
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (p[i] != q[i]) return false;
  }
  return true;
}

// The test of OazaNameLeftAsIs (below) for a name that holds the byte
// its word begins with.
bool OazaNameWordAbsent(std::string_view bytes, int kana);
// Whether PrepareOazaName leaves the name of these bytes (the text they
// hold up to a NUL among them) as it is: true for every name whose bytes
// hold no 大字 (おおあざ), which both the placeholder and the dropped
// prefix begin with; false for the others, some of which it leaves alone.
// (Here, to be inlined: a table's rows ask it of every name, most of
// which hold no byte of the word's first.)
inline bool OazaNameLeftAsIs(std::string_view bytes, int kana) {
  const auto first = static_cast<unsigned char>(kana ? "お"[0] : "大"[0]);
  return !BytesHoldByte(bytes, first) || OazaNameWordAbsent(bytes, kana);
}

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
