// Word tables and shared helpers of the name levels of the matcher.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "common/kanji_numeral.h"
#include "common/sjis_internal.h"
#include "common/sjis_text.h"
#include "common/width_kana.h"
#include "matching/edit_text.h"
#include "matching/name_levels.h"
#include "matching/normalize.h"
#include "tabledb/tc_access.h"

namespace {

constexpr NameWord kOazaPrefixes[] = {{"大字", 0}, {"字", 0}, {nullptr, 0}};
constexpr NameWord kOazaPrefixesKana[] = {{"おおあざ", 0}, {nullptr, 0}};
constexpr NameWord kChomePrefixes[] = {{"大字", 0}, {"小字", 0}, {"字", 0}, {nullptr, 0}};
constexpr NameWord kChomePrefixesKana[] = {{"おおあざ", 0}, {"こあざ", 0}, {nullptr, 0}};

constexpr NameWord kOazaUnits[] = {{"地割", 1}, {"条町", 1}, {"番町", 1}, {"番丁", 1},
                                   {"線", 1},   {"区", 1},   {"号", 1},   {"条", 1},
                                   {"町", 0},   {"村", 0},   {"番", 1},   {nullptr, 0}};
// Readings in their normalised form (small kana made large).
constexpr NameWord kOazaUnitsKana[] = {{"ちわり", 1}, {"じようちよう", 1}, {"ばんちよう", 1},
                                       {"ちよう", 0}, {"まち", 0},         {"むら", 0},
                                       {nullptr, 0}};

constexpr NameWord kChomeUnits[] = {{"丁目", 0}, {"丁", 0}, {"番", 0}, {"地割", 0},
                                    {"線", 0},   {"区", 0}, {"号", 0}, {nullptr, 0}};
constexpr NameWord kChomeUnitsKana[] = {{"ちようめ", 0}, {"ちよう", 0}, {"ばん", 0}, {"ちわり", 0},
                                        {"せん", 0},     {"ごう", 0},   {nullptr, 0}};

constexpr NameWord kSeparators[] = {{"－", 0}, {"の", 0}, {"ノ", 0}, {nullptr, 0}};
constexpr NameWord kSeparatorsKana[] = {{"－", 0}, {nullptr, 0}};

constexpr NameWord kStreetWords[] = {{"町", 0}, {"通り", 0}, {"通", 0}, {nullptr, 0}};
constexpr NameWord kStreetWordsKana[] = {{"まち", 0}, {"とおり", 0}, {nullptr, 0}};

using sjis_internal::CharLen;

// The text with its iteration marks written out (see ExpandRepeatMarks).
std::string Expanded(const char* text) {
  std::string out;
  // Start offsets in `out` of the characters written so far.
  std::string::size_type last = std::string::npos;
  std::string::size_type beforeLast = std::string::npos;
  for (const char* p = text; *p;) {
    const bool mark = std::strncmp(p, "々", 2) == 0;
    const bool pair = mark && std::strncmp(p + 2, "々", 2) == 0;
    std::string piece;
    int step = CharLen(p);
    if (pair && beforeLast != std::string::npos) {
      piece = out.substr(beforeLast);
      step = 4;
    } else if (mark && last != std::string::npos) {
      piece = out.substr(last);
    } else {
      piece = std::string(p, static_cast<std::size_t>(step));
    }
    // Each character of the piece becomes a character of the output.
    for (std::size_t i = 0; i < piece.size();) {
      const std::size_t len = static_cast<std::size_t>(CharLen(piece.c_str() + i));
      beforeLast = last;
      last = out.size();
      out.append(piece, i, len);
      i += len;
    }
    p += step;
  }
  return out;
}

// ParseNumberUnit on a copy; the text unchanged when it cannot be rewritten.
std::string NumberUnitForm(const std::string& text) {
  char buffer[kMaxSearchTextLength + 1];
  if (text.size() > static_cast<std::size_t>(kMaxSearchTextLength)) return text;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  if (!ParseNumberUnit(buffer, sizeof buffer)) return text;
  return buffer;
}

}  // namespace

const NameWord* OazaPrefixWords(int kana) { return kana ? kOazaPrefixesKana : kOazaPrefixes; }
const NameWord* ChomePrefixWords(int kana) { return kana ? kChomePrefixesKana : kChomePrefixes; }
const NameWord* OazaUnitWords(int kana) { return kana ? kOazaUnitsKana : kOazaUnits; }
const NameWord* ChomeUnitWords(int kana) { return kana ? kChomeUnitsKana : kChomeUnits; }
const NameWord* SeparatorWords(int kana) { return kana ? kSeparatorsKana : kSeparators; }
const NameWord* StreetWords(int kana) { return kana ? kStreetWordsKana : kStreetWords; }

int MatchWordAt(const char* text, const NameWord* words) {
  if (text == nullptr || words == nullptr) return 0;
  for (; words->text != nullptr; ++words) {
    const std::size_t n = std::strlen(words->text);
    if (std::strncmp(text, words->text, n) == 0) return static_cast<int>(n);
  }
  return 0;
}

int NumeralKindAt(const char* p) {
  if (p == nullptr || CharLen(p) != 2) return 0;
  if (IsFullWidthDigitAt(p)) return 1;
  return KanjiDigitValue(p) >= 0 ? 2 : 0;
}

int NumberGoesOnPastName(const char* after, const char* name) {
  if (after == nullptr || name == nullptr || name[0] == '\0') return 0;
  const int a = NumeralKindAt(after);
  const int b = NumeralKindAt(GetLastCharPtr(name));
  return (a != 0 && a == b) ? 1 : 0;
}

int ExpandRepeatMarks(const char* text, char* out, std::size_t outSize) {
  if (out == nullptr || outSize == 0) return 0;
  out[0] = '\0';
  if (text == nullptr) return 1;
  const std::string expanded = Expanded(text);
  if (expanded.size() >= outSize) return 0;
  std::memcpy(out, expanded.c_str(), expanded.size() + 1);
  return 1;
}

int WrittenPrefixEquals(const CEditText* text, int n, const char* name) {
  if (text == nullptr || name == nullptr || n < 0) return 0;
  const char* whole = text->GetOriginalPointer(1);
  const char* tail = text->GetOriginalPointer(n + 1);
  const std::size_t wholeLength = std::strlen(whole);
  const std::size_t tailLength = std::strlen(tail);
  // The tail must be a proper tail of the whole written text.
  if (tailLength >= wholeLength ||
      std::memcmp(whole + (wholeLength - tailLength), tail, tailLength) != 0) {
    return 0;
  }
  const std::string head(whole, wholeLength - tailLength);
  if (head == name) return 1;
  const std::string expandedHead = Expanded(head.c_str());
  const std::string expandedName = Expanded(name);
  if (expandedHead == expandedName) return 1;
  return NumberUnitForm(expandedHead) == NumberUnitForm(expandedName) ? 1 : 0;
}

int SkipWrittenName(CEditText* text, const char* name) {
  if (text == nullptr || name == nullptr || name[0] == '\0') return 0;
  const std::size_t nameLength = std::strlen(name);
  const std::string written = text->GetOriginalPointer(1);
  if (written.compare(0, nameLength, name) != 0) return 0;
  const std::string after = written.substr(nameLength);
  const uint32_t versions = text->GetVersionCount();
  while (!text->IsEmpty()) {
    const char* current = text->GetText();
    if (!text->Delete(1, CharLen(current))) break;
    if (after == text->GetOriginalPointer(1)) return 1;
  }
  if (text->IsEmpty() && after.empty()) return 1;
  while (text->GetVersionCount() > versions) {
    if (!text->Undo()) break;
  }
  return 0;
}

int SkipSeparator(CEditText* text, int kana) {
  if (text == nullptr || text->IsEmpty()) return 0;
  const char* current = text->GetText();
  const int n = MatchWordAt(current, SeparatorWords(kana));
  if (n == 0) return 0;
  if (current[n] != '\0' && NumeralKindAt(current + n) == 0) return 0;
  return text->Delete(1, n) ? n : 0;
}

// An oaza name as the matcher compares it: a placeholder of a district
// without oaza matches nothing, so it becomes empty; any other name loses
// a leading 大字 (おおあざ). The placeholder test comes first, so that a
// placeholder beginning with 大字 (大字なし地区) is not cut into a name.
void PrepareOazaName(char* name, int kana) {
  // A placeholder holds the bytes of 大字なし (おおあざなし), and a leading
  // 大字 (おおあざ) is the same word: most names hold no such word and stay
  // as they are.
  if (OazaNameLeftAsIs(name, kana)) return;
  if (IsNoOazaName(name, kana)) {
    name[0] = '\0';
    return;
  }
  const char* prefix = kana ? "おおあざ" : "大字";
  const std::size_t n = std::strlen(prefix);
  if (std::strncmp(name, prefix, n) == 0) std::memmove(name, name + n, std::strlen(name + n) + 1);
}

bool OazaNameWordAbsent(std::string_view bytes, int kana) {
  return bytes.find(kana ? "おおあざ" : "大字") == std::string_view::npos;
}

// A chome name as the matcher compares it: a placeholder becomes empty.
void PrepareChomeName(char* name, int kana) {
  if (IsNoChomeName(name, kana)) name[0] = '\0';
}
