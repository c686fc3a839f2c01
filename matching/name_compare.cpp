#include "matching/name_compare.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "common/kanji_numeral.h"
#include "common/sjis_internal.h"
#include "common/sjis_text.h"
#include "common/width_kana.h"
#include "matching/edit_text.h"
#include "matching/normalize.h"

namespace {

using sjis_internal::CharLen;

bool StartsWith(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

int Length(const char* text) { return static_cast<int>(std::strlen(text)); }

// Direction words, shortest first. The Kyoto forms 上ル / 上ガル and
// 下ル / 下ガル read 上る / 上がる and 下る / 下がる once normalised.
const char* const kUp[] = {"上", "上る", "上がる"};
const char* const kDown[] = {"下", "下る", "下がる"};
const char* const kWestIn[] = {"西入", "西入る"};
const char* const kEastIn[] = {"東入", "東入る"};
const char* const kStreet[] = {"通", "通り"};

struct WordList {
  const char* const* words;
  int count;
};
const WordList kDirectionLists[] = {{kUp, 3}, {kDown, 3}, {kWestIn, 2}, {kEastIn, 2}, {kStreet, 2}};

// A run of numerals at p: full-width digits (kind 1) or kanji numerals
// (kind 2), ending where the kind changes; kind 0 and length 0 when p is
// not a numeral. *length gets the run's bytes.
void FindNumeralRun(const char* p, int* kind, int* length) {
  *kind = 0;
  *length = 0;
  if (KanjiDigitValue(p) < 0) return;
  *kind = IsFullWidthDigitAt(p) ? 1 : 2;
  const char* q = p;
  while (CharLen(q) == 2 && KanjiDigitValue(q) >= 0 && (IsFullWidthDigitAt(q) ? 1 : 2) == *kind)
    q += 2;
  *length = static_cast<int>(q - p);
}

// The value of a run found by FindNumeralRun when it reads as a number,
// else -1.
int32_t NumeralRunValue(const char* p, int length) {
  return KanjiNumeralToInt(std::string(p, static_cast<std::size_t>(length)).c_str());
}

// The text with `count` bytes at the 1-based position removed.
std::string Without(const std::string& text, int position, int count) {
  std::string out = text;
  out.erase(static_cast<std::size_t>(position - 1), static_cast<std::size_t>(count));
  return out;
}

// Byte offset of the start of the character before the one at offset `at`
// (found walking forward), -1 when there is none.
int PreviousCharStart(const char* text, int at) {
  int previous = -1;
  for (int i = 0; i < at && text[i];) {
    previous = i;
    i += CharLen(text + i);
  }
  return previous;
}

}  // namespace

std::string ExpandIterationMark(const std::string& text) {
  const int p = FindSubstring("々", text.c_str());
  if (p <= 2) return std::string();
  const char* s = text.c_str();
  const int mark = p - 1;  // 0-based
  const int one = PreviousCharStart(s, mark);
  if (one < 0 || mark - one != 2) return std::string();
  std::string out = text;
  if (StartsWith(s + mark, "々々") && p > 4) {
    const int two = PreviousCharStart(s, one);
    if (two < 0 || one - two != 2) return std::string();
    out.replace(static_cast<std::size_t>(mark), 4, text, static_cast<std::size_t>(two), 4);
  } else {
    out.replace(static_cast<std::size_t>(mark), 2, text, static_cast<std::size_t>(one), 2);
  }
  return out;
}

namespace {

// Hashes texts as views, so that a lookup by a C string makes no copy.
struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    return std::hash<std::string_view>{}(text);
  }
};

bool IsLevelOneOrTwoKanji(const char* p) {
  if (CharLen(p) != 2) return false;
  const uint16_t code = GetCharCode(p);
  return (code >= 0x889F && code <= 0x9872) || (code >= 0x989F && code <= 0xEAA4);
}

// Matches the name against an edit text that was made from the input,
// and maps the end of the match back into the input: the bytes of the
// input consumed. 0 for no match. With `direction` the match is first
// extended over a direction word of the edited text.
int MatchThroughEdits(const CEditText& edited, const char* input, const char* name,
                      const CRecordList* extraList, int direction) {
  int consumed = 0;
  if (!ComparePrefixTolerant(edited.GetText(), name, extraList, &consumed)) return 0;
  if (direction == 1) consumed = ExtendOverDirectionWord(edited.GetText(), consumed);
  const char* rest = edited.GetOriginalPointer(consumed + 1);
  return Length(input) - Length(rest);
}

// Bytes of the street word (通, 通り or 町) at p; 0 for none.
int StreetWordLength(const char* p) {
  const int k = MatchLongestVariant(p, kStreet, 2);
  return k > 0 ? k : StartsWith(p, "町") ? 2 : 0;
}

// The direction walk of street-style addresses.
int WalkDirectionWords(const char* input, const char* name) {
  int i = 0;
  int j = 0;
  while (name[j]) {
    if (CharLen(name + j) != 2) return 0;
    const bool inputDouble = CharLen(input + i) == 2;
    if (inputDouble && input[i] == name[j] && input[i + 1] == name[j + 1]) {
      bool moved = false;
      for (const WordList& list : kDirectionLists) {
        if (!StartsWith(name + j, list.words[0])) continue;
        j += MatchLongestVariant(name + j, list.words, list.count);
        i += MatchLongestVariant(input + i, list.words, list.count);
        moved = true;
        break;
      }
      if (!moved) {
        i += 2;
        j += 2;
      }
      continue;
    }
    if (const int k = StreetWordLength(name + j); k > 0) {
      j += k;
      continue;
    }
    if (const int k = inputDouble ? StreetWordLength(input + i) : 0; k > 0) {
      i += k;
      continue;
    }
    return 0;
  }
  return i;
}

// 1 when the first characters of input and name match.
bool FirstCharactersMatch(const char* input, const char* name, const CRecordList* extraList) {
  const std::string first(name, static_cast<std::size_t>(CharLen(name)));
  int consumed = 0;
  return ComparePrefixTolerant(input, first.c_str(), extraList, &consumed) != 0;
}

// What the comparisons keep per thread for the extra pairs: the edited
// input (with the input it was made from) and the edited names, both with
// the pairs they were made with.
struct KeptEdits {
  std::string input;
  std::string pairs;  // PairsSignature of the list
  CEditText edited;
  bool ready = false;
  int uses = 0;  // marks begun since Init (the mark counter is 16-bit)
  std::unordered_map<std::string, std::pair<int, std::string>, TextHash, std::equal_to<>> names;
  // The list of the scope that checked the pairs against it (null for none).
  const CRecordList* checkedList = nullptr;
  // Other pairs: nothing kept stands.
  void ChangePairs(const std::string& signature) {
    pairs = signature;
    ready = false;
    names.clear();
    checkedList = nullptr;
  }
};

KeptEdits& Kept() {
  thread_local KeptEdits kept;
  return kept;
}

// What the edits depend on: the two texts of each pair record (as the
// edits read them, up to their NUL), the bytes of other records.
void PairsSignature(const CRecordList* list, std::string* out) {
  const uint32_t pairCount = list->GetCount();
  const uint32_t pairSize = list->GetElementSize();
  out->assign(reinterpret_cast<const char*>(&pairSize), sizeof pairSize);
  for (uint32_t n = 1; n <= pairCount; ++n) {
    const auto* record = static_cast<const char*>(list->GetPtr(n));
    if (!record) continue;
    if (pairSize != sizeof(PairRecord)) {
      out->append(record, pairSize);
      continue;
    }
    for (const std::size_t at : {offsetof(PairRecord, search), offsetof(PairRecord, replacement)}) {
      out->append(record + at, strnlen(record + at, kPairTextSize - 1));
      *out += '\0';
    }
  }
}

// The list of the innermost CExtraPairsScope of this thread (null for none).
thread_local const CRecordList* scopedList = nullptr;

// True when the innermost scope is of the list and the kept pairs are still
// the ones it checked.
bool ScopeCovers(const KeptEdits& kept, const CRecordList* list) {
  return list != nullptr && list == scopedList && kept.checkedList == list;
}

}  // namespace

int MatchLongestVariant(const char* text, const char* const* variants, int count) {
  if (text == nullptr || variants == nullptr) return 0;
  for (int k = count - 1; k >= 0; --k)
    if (variants[k] != nullptr && StartsWith(text, variants[k])) return Length(variants[k]);
  return 0;
}

int ExtendOverDirectionWord(const char* text, int n) {
  if (text == nullptr || n < 2 || n >= Length(text)) return n;
  // The last character of the matched part, found walking forward.
  const int last = PreviousCharStart(text, n);
  if (last < 0 || n - last != 2) return n;
  const char* at = text + last;
  if (StartsWith(at, "上") || StartsWith(at, "下")) {
    const char* const* words = StartsWith(at, "上") ? kUp : kDown;
    if (StartsWith(at, words[2])) return n + 4;
    if (StartsWith(at, words[1])) return n + 2;
    return n;
  }
  if (StartsWith(at, "通")) return StartsWith(at, "通り") ? n + 2 : n;
  if (n >= 4) {
    const int before = PreviousCharStart(text, last);
    if (before >= 0 && last - before == 2) {
      if (StartsWith(text + before, "西入る") || StartsWith(text + before, "東入る")) return n + 2;
    }
  }
  return n;
}

int DropConnectingKana(const char* name, char* out) {
  if (name == nullptr || out == nullptr) return 0;
  const int length = Length(name);
  if (length <= 5) return 0;
  for (const char* kana : {"の", "け", "つ"}) {
    const int p = FindSubstring(kana, name);
    if (p <= 2) continue;
    const int at = p - 1;
    const int before = PreviousCharStart(name, at);
    if (before < 0 || at - before != 2 || !IsLevelOneOrTwoKanji(name + before)) continue;
    if (!IsLevelOneOrTwoKanji(name + at + 2)) continue;
    const std::string result = Without(name, p, 2);
    std::memcpy(out, result.c_str(), result.size() + 1);
    return 1;
  }
  return 0;
}

namespace {

// The name at the front of the input, character by character, a numeral
// run of one kind matching a run of the other kind of the same value: the
// bytes of the input it takes, or -1.
int NumeralTolerantPrefix(const char* input, const char* name) {
  int i = 0;
  int j = 0;
  while (name[j] && CharLen(input + i) == 2 && CharLen(name + j) == 2) {
    // The same character: the same kind of numeral, if any.
    if (input[i] == name[j] && input[i + 1] == name[j + 1]) {
      i += 2;
      j += 2;
      continue;
    }
    int inputKind = 0;
    int nameKind = 0;
    int inputRun = 0;
    int nameRun = 0;
    FindNumeralRun(input + i, &inputKind, &inputRun);
    if (inputKind != 0) FindNumeralRun(name + j, &nameKind, &nameRun);
    // Runs of two kinds (a run of neither kind is none) count as equal when
    // both read as the same number.
    bool sameNumber = false;
    if (inputKind != 0 && nameKind != 0 && inputKind != nameKind) {
      const int32_t inputValue = NumeralRunValue(input + i, inputRun);
      sameNumber = inputValue >= 0 && inputValue == NumeralRunValue(name + j, nameRun);
    }
    if (!sameNumber) break;
    i += inputRun;
    j += nameRun;
  }
  return name[j] == '\0' ? i : -1;
}

// The name at the front of the input with the user's extra pairs on both
// texts: the bytes of the input it takes, or -1. Both sides are the same
// for every call of a level against one input (the input) or of a level
// across inputs (a name): the edited input is kept per thread with the
// input and the pairs it was made from, and each comparison works on it
// between a mark and its rollback; the edited names are kept per thread
// with the pairs. Inside a CExtraPairsScope of the list the kept pairs were
// checked when the scope began.
int ExtraPairsPrefix(const char* input, const char* name, int nameLength,
                     const CRecordList* extraList) {
  if (extraList == nullptr || extraList->GetCount() == 0) return -1;
  KeptEdits& kept = Kept();
  if (!ScopeCovers(kept, extraList)) {
    thread_local std::string pairs;
    PairsSignature(extraList, &pairs);
    if (kept.pairs != pairs) kept.ChangePairs(pairs);
  }
  if (!kept.ready || kept.uses >= 30000 || kept.input != input) {
    kept.ready = false;
    if (!kept.edited.Init(input) || !ApplyReplacementPairsToEditText(extraList, &kept.edited))
      return -1;
    kept.input = input;
    kept.ready = true;
    kept.uses = 0;
  }
  if (nameLength > kMaxSearchTextLength) return -1;
  if (kept.names.size() > 65536) kept.names.clear();
  auto found = kept.names.find(std::string_view(name, static_cast<std::size_t>(nameLength)));
  if (found == kept.names.end()) {
    std::string editedName(static_cast<std::size_t>(kMaxSearchTextLength) + 1, '\0');
    std::memcpy(editedName.data(), name, static_cast<std::size_t>(nameLength) + 1);
    const int ok = ApplyReplacementPairs(extraList, editedName.data(), editedName.size());
    editedName.resize(std::strlen(editedName.c_str()));
    found = kept.names.emplace(name, std::make_pair(ok, std::move(editedName))).first;
  }
  if (!found->second.first) return -1;
  const std::string& editedName = found->second.second;
  CEditText& edited = kept.edited;
  if (!StartsWith(edited.GetText(), editedName.c_str())) return -1;
  ++kept.uses;
  const int16_t mark = edited.BeginMark();
  struct Rollback {
    CEditText& e;
    int16_t m;
    ~Rollback() { e.RollbackTo(m); }
  } rollback{edited, mark};
  if (!editedName.empty() && !edited.Delete(1, static_cast<int>(editedName.size()))) return -1;
  const char* rest = edited.GetOriginalPointer(1);
  // The pairs must have left the rest of the input as it was.
  if (std::strcmp(edited.GetText(), rest) != 0) return -1;
  return Length(input) - Length(rest);
}

}  // namespace

int ComparePrefixTolerant(const char* input, const char* name, const CRecordList* extraList,
                          int* consumed) {
  if (consumed) *consumed = 0;
  if (input == nullptr || name == nullptr) return 0;
  const int nameLength = Length(name);
  int taken = StartsWith(input, name) ? nameLength : NumeralTolerantPrefix(input, name);
  if (taken < 0) taken = ExtraPairsPrefix(input, name, nameLength, extraList);
  if (taken < 0) return 0;
  if (consumed) *consumed = taken;
  return 1;
}

int CompareNameVariants(const char* input, const char* name, CCharDictionary* dictionary,
                        const CRecordList* list, int direction, int kanaSwitch,
                        const CRecordList* extraList, int* variantFlag) {
  if (kanaSwitch)
    return CompareNameVariantsKana(input, name, dictionary, list, extraList, variantFlag);
  return CompareNameVariantsKanji(input, name, dictionary, list, direction, extraList, variantFlag);
}

namespace {

// The count of a comparison at the front of the input, over a direction
// word that follows when the direction is 1.
int FinishedCount(const char* input, int consumed, int direction) {
  return direction == 1 ? ExtendOverDirectionWord(input, consumed) : consumed;
}

// Step 4 of the kanji comparison: the name after the replacement pairs
// (*name2), the input after them, and the first pair that occurs in the
// input (input3, the input mappable back), its first occurrence only. The
// count of the input matched, 0 for none.
int ReplacementListVariants(const char* input, const char* name, const CRecordList* list,
                            int direction, const CRecordList* extraList, CEditText* input3,
                            std::string* name2) {
  if (list == nullptr || list->GetCount() == 0 || Length(name) > kMaxSearchTextLength) return 0;
  int consumed = 0;
  char replaced[kMaxSearchTextLength + 1];
  std::memcpy(replaced, name, static_cast<std::size_t>(Length(name)) + 1);
  if (ApplyReplacementPairs(list, replaced, sizeof replaced)) *name2 = replaced;
  if (*name2 != name && ComparePrefixTolerant(input, name2->c_str(), extraList, &consumed))
    return FinishedCount(input, consumed, direction);

  CEditText edited;
  if (edited.Init(input) && ApplyReplacementPairsToEditText(list, &edited)) {
    if (ComparePrefixTolerant(edited.GetText(), name2->c_str(), extraList, &consumed)) {
      consumed = Length(input) - Length(edited.GetOriginalPointer(consumed + 1));
      return FinishedCount(input, consumed, direction);
    }
  }

  PairRecord pair;
  if (const int p = input3 != nullptr ? FirstOccurringPair(list, input, &pair) : 0; p > 0) {
    if (input3->Replace(p, Length(pair.search), pair.replacement)) {
      // The count is mapped back through the replacement, so it changes
      // only when the replaced text lies inside the match.
      const int matched = MatchThroughEdits(*input3, input, name2->c_str(), extraList, 0);
      if (matched > 0) return matched;
    }
  }
  return 0;
}

// Steps 6 and 7 of the kanji comparison: without 大字, then without 字,
// first in the name, then in the input. The count of the input matched, 0
// for none.
int WithoutAzaWords(CEditText* input3, const char* input, const std::string& name2,
                    const CRecordList* extraList, int direction) {
  for (const char* prefix : {"大字", "字"}) {
    const int prefixLength = Length(prefix);
    const int inName = FindSubstring(prefix, name2.c_str());
    if (inName > 0) {
      const std::string shorter = Without(name2, inName, prefixLength);
      const int matched = MatchThroughEdits(*input3, input, shorter.c_str(), extraList, direction);
      if (matched > 0) return matched;
    }
    const int inInput = FindSubstring(prefix, input3->GetText());
    if (inInput > 0) {
      const int16_t mark = input3->BeginMark();
      if (input3->Delete(inInput, prefixLength)) {
        const int matched = MatchThroughEdits(*input3, input, name2.c_str(), extraList, direction);
        input3->RollbackTo(mark);
        if (matched > 0) return matched;
      } else {
        input3->RollbackTo(mark);
      }
    }
  }
  return 0;
}

}  // namespace

int CompareNameVariantsKanji(const char* input, const char* name, CCharDictionary* dictionary,
                             const CRecordList* list, int direction, const CRecordList* extraList,
                             int* variantFlag) {
  int dummyFlag = 0;
  int& flag = variantFlag ? *variantFlag : dummyFlag;
  flag = 0;
  if (input == nullptr || name == nullptr) return 0;
  const int inputLength = Length(input);
  auto finish = [direction](const char* text, int consumed) {
    return direction == 1 ? ExtendOverDirectionWord(text, consumed) : consumed;
  };
  int consumed = 0;

  // 1. Plain, numerals in either form, extra pairs.
  if (ComparePrefixTolerant(input, name, extraList, &consumed)) return finish(input, consumed);

  // 2. The name with its numerals normalised.
  if (FindSubstring("００", input) > 0 && Length(name) <= kMaxSearchTextLength) {
    char normalised[kMaxSearchTextLength + 1];
    std::memcpy(normalised, name, static_cast<std::size_t>(Length(name)) + 1);
    if (NormalizeSearchText(nullptr, dictionary, normalised, sizeof normalised) &&
        ComparePrefixTolerant(input, normalised, extraList, &consumed))
      return finish(input, consumed);
  }

  // 3. Everything further is a variant.
  flag = 1;
  std::string name2 = name;
  // The input with the changes of the steps below, mappable back to it.
  CEditText input3;
  const bool haveInput3 = input3.Init(input) != 0;

  // 4. The replacement list.
  if (const int matched = ReplacementListVariants(input, name, list, direction, extraList,
                                                  haveInput3 ? &input3 : nullptr, &name2);
      matched > 0)
    return matched;

  // 5. The first characters must agree.
  if (!FirstCharactersMatch(input, name, extraList)) return 0;

  // 6, 7. Without 大字, then without 字: first in the name, then in the input.
  if (haveInput3) {
    if (const int matched = WithoutAzaWords(&input3, input, name2, extraList, direction);
        matched > 0)
      return matched;
  }

  // 8, 9. The iteration mark written out, in the name and in the input.
  const std::string expandedName = ExpandIterationMark(name);
  if (!expandedName.empty() &&
      ComparePrefixTolerant(input, expandedName.c_str(), extraList, &consumed))
    return consumed;
  const std::string expandedInput = ExpandIterationMark(input);
  if (!expandedInput.empty() &&
      ComparePrefixTolerant(expandedInput.c_str(), name, extraList, &consumed))
    return consumed;

  // 10, 11. A connecting kana dropped from the name, then from the input.
  std::string dropped(static_cast<std::size_t>(std::max(Length(name), inputLength)) + 1, '\0');
  if (DropConnectingKana(name, dropped.data()) &&
      ComparePrefixTolerant(input, dropped.c_str(), extraList, &consumed))
    return finish(input, consumed);
  if (DropConnectingKana(input, dropped.data()) &&
      ComparePrefixTolerant(dropped.c_str(), name, extraList, &consumed)) {
    if (direction == 1) consumed = ExtendOverDirectionWord(dropped.c_str(), consumed);
    return inputLength + consumed - Length(dropped.c_str());
  }

  // 12, 13. Street-style direction words.
  if (direction != 1) return 0;
  return WalkDirectionWords(input, name);
}

int CompareNameVariantsKana(const char* input, const char* name, CCharDictionary* /*dictionary*/,
                            const CRecordList* /*list*/, const CRecordList* extraList,
                            int* variantFlag) {
  int dummyFlag = 0;
  int& flag = variantFlag ? *variantFlag : dummyFlag;
  flag = 0;
  if (input == nullptr || name == nullptr) return 0;
  int consumed = 0;
  if (ComparePrefixTolerant(input, name, extraList, &consumed)) return consumed;
  flag = 1;
  if (!FirstCharactersMatch(input, name, extraList)) return 0;

  std::string n = name;
  std::string i = input;
  for (const char* prefix : {"おおあざ", "あざ"}) {
    const int prefixLength = Length(prefix);
    const int inName = FindSubstring(prefix, n.c_str());
    if (inName > 0) {
      n = Without(n, inName, prefixLength);
      if (ComparePrefixTolerant(i.c_str(), n.c_str(), extraList, &consumed)) return consumed;
    }
    const int inInput = FindSubstring(prefix, i.c_str());
    if (inInput > 0) {
      i = Without(i, inInput, prefixLength);
      if (ComparePrefixTolerant(i.c_str(), n.c_str(), extraList, &consumed))
        return consumed + prefixLength;
    }
  }
  return 0;
}

CExtraPairsScope::CExtraPairsScope(const CRecordList* list) : previous_(scopedList) {
  scopedList = nullptr;
  if (list == nullptr || list->GetCount() == 0) return;
  KeptEdits& kept = Kept();
  std::string pairs;
  PairsSignature(list, &pairs);
  if (kept.pairs != pairs) kept.ChangePairs(pairs);
  kept.checkedList = list;
  scopedList = list;
}

CExtraPairsScope::~CExtraPairsScope() { scopedList = previous_; }

std::string ExtraPairsSignature(const CRecordList* list) {
  std::string signature;
  if (list != nullptr && list->GetCount() > 0) PairsSignature(list, &signature);
  return signature;
}

int FirstOccurringPair(const CRecordList* list, const char* input, PairRecord* pair) {
  if (list == nullptr || input == nullptr || pair == nullptr) return 0;
  const int inputLength = Length(input);
  for (uint32_t n = 1; n <= list->GetCount(); ++n) {
    if (list->GetElementSize() != sizeof *pair || !list->GetAt(n, pair)) return 0;
    pair->search[kPairTextSize - 1] = '\0';
    pair->replacement[kPairTextSize - 1] = '\0';
    if (pair->search[0] == '\0') continue;
    const int p = FindSubstring(pair->search, input);
    if (p == 0 || p >= inputLength) continue;
    return p;
  }
  return 0;
}
