#include "matching/normalize.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/copy_out.h"
#include "common/kanji_numeral.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/scpy_splitter.h"
#include "common/sjis_internal.h"
#include "common/sjis_text.h"
#include "common/width_kana.h"

namespace {

constexpr std::size_t kLimit = static_cast<std::size_t>(kMaxSearchTextLength);
constexpr char kHyphen[] = "‐";      // 81 5D
constexpr char kFullMinus[] = "－";  // 81 7C
constexpr uint32_t kOutGrowthStep = 128;

// The unit words of the number-and-unit step, in the order they are tried.
const char* const kUnitWords[] = {"条", "丁", "番", "区", "線", "号", "ノ", "地割", "－"};

using sjis_internal::CharLen;

// A text step on a work string: false when its result would pass the limit.
// The in-place routines of the common library work on a buffer that can
// hold the longest result they may produce (they refuse anything longer).
constexpr std::size_t kWorkSize = static_cast<std::size_t>(kReplaceWorkArea);

bool RunInBuffer(std::string& work, char* (*fn)(char*, std::size_t)) {
  char buffer[kWorkSize];
  std::memcpy(buffer, work.c_str(), work.size() + 1);
  fn(buffer, sizeof buffer);
  work = buffer;
  return work.size() <= kLimit;
}

char* ConvertToFullWidthSized(char* text, std::size_t size) {
  return ConvertToFullWidth(text, size);
}
char* KatakanaToHiraganaSized(char* text, std::size_t) { return KatakanaToHiragana(text); }
char* SmallHiraganaToLargeSized(char* text, std::size_t) { return SmallHiraganaToLarge(text); }

// Replace-all of one pair on a work string; false when the result would
// pass the limit.
bool ReplaceAllIn(std::string& work, const char* search, const char* replacement) {
  return sjis_internal::ReplaceAllIn(work, search, replacement, kLimit + 1);
}

// The dictionary's "=" search over all its records (the lowest record equal
// to the key, by the probes of CCharDictionary::BinarySearch in their
// order), comparing the stored records in place instead of copies.
uint32_t FindEqualRecord(const CCharDictionary* dictionary, const char* key) {
  const uint32_t count = dictionary->GetCount();
  if (count == 0 || dictionary->RecordAt(count) == nullptr) return 0;
  auto at = [&](uint32_t n) { return CompareDictionaryKeys(dictionary->RecordAt(n), key); };
  auto firstEqual = [&](uint32_t n, uint32_t floor) {
    while (n > floor && at(n - 1) == 0) --n;
    return n;
  };
  uint32_t lo = 1;
  uint32_t hi = count;
  for (;;) {
    int32_t c = at(lo);
    if (c == 0) return lo;
    if (c > 0 || lo == hi) return 0;
    c = at(hi);
    if (c == 0) return firstEqual(hi, lo + 1);
    if (c < 0 || hi == lo + 1) return 0;
    const uint32_t m = static_cast<uint32_t>((static_cast<uint64_t>(lo) + hi) / 2);
    c = at(m);
    if (c == 0) return firstEqual(m, lo + 1);
    if (c < 0) {
      lo = m;
    } else {
      hi = m;
    }
  }
}

// Whether the search text of a stored pair record (its first field, cut
// at its last byte) cannot be found in the text: its bytes are nowhere in
// it, and it does not end in a lead byte without its trail byte (which a
// search compares as a character). An empty search text finds nothing.
bool CannotOccurIn(const char* storedSearch, const char* text) {
  const std::string_view search(storedSearch, strnlen(storedSearch, kPairTextSize - 1));
  if (search.empty()) return true;
  std::size_t last = 0;
  for (std::size_t i = 0; i < search.size();
       i += static_cast<std::size_t>(CharLen(search.data() + i)))
    last = i;
  if (last + 1 == search.size() && IsLeadByte(static_cast<unsigned char>(search[last])))
    return false;
  return std::string_view(text).find(search) == std::string_view::npos;
}

// The flag word of stored pair record n (which must exist).
int32_t StoredFlag(const CCharDictionary* dictionary, uint32_t n) {
  int32_t flag = 0;
  std::memcpy(&flag, static_cast<const char*>(dictionary->RecordAt(n)) + offsetof(PairRecord, flag),
              sizeof flag);
  return flag;
}

// The replacement of a character, or null when the dictionary has none.
// *record gets the record number.
const PairRecord* LookUp(CCharDictionary* dictionary, const char* p, int length, PairRecord* pair,
                         uint32_t* record) {
  char key[3] = {p[0], length == 2 ? p[1] : '\0', '\0'};
  const uint32_t n = FindEqualRecord(dictionary, key);
  if (record) *record = n;
  if (n == 0 || !dictionary->GetAt(n, pair)) return nullptr;
  pair->search[kPairTextSize - 1] = '\0';
  pair->replacement[kPairTextSize - 1] = '\0';
  return pair;
}

// Containers of other records than pair records are never read.
bool IsPairDictionary(const CCharDictionary* dictionary) {
  return dictionary != nullptr && dictionary->GetRecordSize() == sizeof(PairRecord);
}

bool IsPairList(const CRecordList* list) {
  return list != nullptr && list->GetElementSize() == sizeof(PairRecord);
}

bool HasRecords(CCharDictionary* dictionary) {
  return IsPairDictionary(dictionary) && dictionary->GetCount() > 0;
}

bool UnifyIn(CCharDictionary* dictionary, std::string& work) {
  if (!HasRecords(dictionary)) return true;
  std::string out;
  for (const char* p = work.c_str(); *p;) {
    const int length = CharLen(p);
    PairRecord pair;
    if (LookUp(dictionary, p, length, &pair, nullptr)) {
      out += pair.replacement;
    } else {
      out.append(p, static_cast<std::size_t>(length));
    }
    p += length;
  }
  if (out.size() > kLimit) return false;
  work = out;
  return true;
}

bool ApplyPairsIn(const CRecordList* list, std::string& work) {
  if (!IsPairList(list)) return true;
  for (uint32_t n = 1; n <= list->GetCount(); ++n) {
    PairRecord pair;
    if (!list->GetAt(n, &pair)) return false;
    pair.search[kPairTextSize - 1] = '\0';
    pair.replacement[kPairTextSize - 1] = '\0';
    if (!ReplaceAllIn(work, pair.search, pair.replacement)) return false;
  }
  return true;
}

bool ParseNumberUnitIn(std::string& work) {
  if (work.empty()) return true;
  char converted[kNumeralWorkArea];
  for (const char* word : kUnitWords) {
    int n = 0;
    for (;;) {
      const int k = FindSubstringFrom(word, work.c_str(), n);
      if (k < n) break;
      int at = k;
      if (EndsWithUniformNumeralRun(work.c_str(), static_cast<std::size_t>(k))) {
        const std::string head = work.substr(0, static_cast<std::size_t>(k));
        TrailingNumeralToDigits(head.c_str(), converted, sizeof converted);
        if (converted[0] != '\0' && head != converted) {
          work = converted + work.substr(static_cast<std::size_t>(k));
          at = k + static_cast<int>(std::strlen(converted)) - static_cast<int>(head.size());
        }
      }
      // On one character after the start of the word.
      n = at + 2;
    }
    if (EndsWithUniformNumeralRun(work.c_str())) {
      TrailingNumeralToDigits(work.c_str(), converted, sizeof converted);
      if (converted[0] != '\0') work = converted;
    }
  }
  return work.size() <= kLimit;
}

bool NormalizeIn(const CRecordList* list, CCharDictionary* dictionary, std::string& work) {
  if (!RunInBuffer(work, ConvertToFullWidthSized)) return false;
  if (!RunInBuffer(work, KatakanaToHiraganaSized)) return false;
  if (!RunInBuffer(work, SmallHiraganaToLargeSized)) return false;
  if (dictionary != nullptr) {
    if (!UnifyIn(dictionary, work)) return false;
    if (!ReplaceAllIn(work, kHyphen, kFullMinus)) return false;
  }
  if (!RunInBuffer(work, KatakanaToHiraganaSized)) return false;
  if (!RunInBuffer(work, SmallHiraganaToLargeSized)) return false;
  if (!ParseNumberUnitIn(work)) return false;
  return ApplyPairsIn(list, work);
}

// Runs a work-string step on a caller's buffer: 1 and the result stored
// when every check passes, else 0 and the text unchanged.
template <typename Step>
int OnBuffer(char* text, std::size_t textSize, Step step) {
  if (text == nullptr) return 0;
  const std::size_t length = std::strlen(text);
  if (length > kLimit) return 0;
  std::string work(text, length);
  if (!step(work)) return 0;
  if (work.size() > kLimit || work.size() + 1 > textSize) return 0;
  std::memcpy(text, work.c_str(), work.size() + 1);
  return 1;
}

}  // namespace

int CheckSearchTextLength(const char* text, char* msg) {
  if (text != nullptr && std::strlen(text) <= kLimit) return 1;
  SetMessage(msg, kMsgInvalidParameter, "検索文字列");
  return 0;
}

int NormalizeSearchText(const CRecordList* list, CCharDictionary* dictionary, char* text,
                        std::size_t textSize) {
  return OnBuffer(text, textSize,
                  [&](std::string& work) { return NormalizeIn(list, dictionary, work); });
}

int NormalizeEditText(const CRecordList* list, CCharDictionary* dictionary, CEditText* text) {
  if (text == nullptr || text->GetText() == nullptr) return 0;
  text->ToFullWidth();
  text->KatakanaToHiragana();
  text->SmallHiraganaToLarge();
  if (dictionary != nullptr) {
    if (HasRecords(dictionary)) UnifyEditTextCharacters(dictionary, text);
    text->ReplaceAll(kHyphen, kFullMinus);
  }
  text->KatakanaToHiragana();
  text->SmallHiraganaToLarge();
  text->NumeralsBeforeUnitsToDigits();
  if (IsPairList(list) && list->GetCount() > 0) ApplyReplacementPairsToEditText(list, text);
  return 1;
}

int NormalizeSearchWords(CCharDictionary* dictionary, const CRecordList* list, char* text,
                         std::size_t textSize) {
  return OnBuffer(text, textSize, [&](std::string& work) {
    CScpySEX2 words;
    if (!words.Split(work.c_str())) return false;
    std::string joined;
    char word[kMaxSearchTextLength + 1];
    for (int n = 1; n <= words.GetCount(); ++n) {
      if (!words.GetField(word, n, static_cast<int>(sizeof word))) return false;
      std::string w = word;
      if (!ReplaceAllIn(w, "萬", "万")) return false;
      if (w != "千" && w != "万") {
        std::memcpy(word, w.c_str(), w.size() + 1);
        if (!NormalizeSearchText(list, dictionary, word, sizeof word)) return false;
        w = word;
      }
      if (n > 1) joined += ' ';
      joined += w;
    }
    work = joined;
    return true;
  });
}

int SelectApplicableDictionaryEntries(CRecordList* outList, CCharDictionary* outDictionary,
                                      const CRecordList* list, CCharDictionary* dictionary,
                                      const CEditText* input) {
  if (outList == nullptr || outDictionary == nullptr || input == nullptr) return 0;
  const char* inputText = input->GetText();
  if (inputText == nullptr) return 0;
  CEditText q;
  if (!q.Init(inputText)) return 0;
  outList->Free();
  outDictionary->Free();

  if (!q.ToFullWidth() || !q.KatakanaToHiragana() || !q.SmallHiraganaToLarge()) return 0;

  if (HasRecords(dictionary)) {
    const uint32_t count = dictionary->GetCount();
    PairRecord pair;
    for (uint32_t n = 1; n <= count; ++n) {
      if (dictionary->RecordAt(n) == nullptr) return 0;
      if (StoredFlag(dictionary, n) == 1) continue;  // already so
      if (!dictionary->GetAt(n, &pair)) return 0;
      pair.flag = 1;
      if (!dictionary->SetAt(n, &pair)) return 0;
    }
    // The unification walk, marking every record that replaced a character.
    int i = 1;
    while (i <= q.GetLength()) {
      const char* p = q.GetPointer(i);
      const int length = CharLen(p);
      uint32_t record = 0;
      if (LookUp(dictionary, p, length, &pair, &record) == nullptr) {
        i += length;
        continue;
      }
      const std::string replacement = pair.replacement;
      pair.flag = 0;
      if (!dictionary->SetAt(record, &pair)) return 0;
      if (!q.Replace(i, length, replacement.c_str())) return 0;
      i += static_cast<int>(replacement.size());
    }
    uint32_t kept = 0;
    for (uint32_t n = 1; n <= count; ++n)
      if (StoredFlag(dictionary, n) == 0) ++kept;
    if (!outDictionary->Create(kept == 0 ? 1 : kept,
                               static_cast<uint16_t>(dictionary->GetRecordSize()), kOutGrowthStep))
      return 0;
    for (uint32_t n = 1; n <= count && kept > 0; ++n) {
      if (StoredFlag(dictionary, n) != 0) continue;
      if (!dictionary->GetAt(n, &pair) || !outDictionary->Add(&pair)) return 0;
    }
  }
  // The rest of the sequence, so that the pairs are tested against the text
  // they will meet.
  if (dictionary != nullptr && !q.ReplaceAll(kHyphen, kFullMinus)) return 0;
  if (!q.KatakanaToHiragana() || !q.SmallHiraganaToLarge() || !q.NumeralsBeforeUnitsToDigits())
    return 0;

  if (IsPairList(list) && list->GetCount() > 0) {
    for (uint32_t n = 1; n <= list->GetCount(); ++n) {
      const auto* stored = static_cast<const char*>(list->GetPtr(n));
      if (stored != nullptr && CannotOccurIn(stored, q.GetText())) continue;  // changes nothing
      PairRecord pair;
      if (!list->GetAt(n, &pair)) return 0;
      pair.search[kPairTextSize - 1] = '\0';
      pair.replacement[kPairTextSize - 1] = '\0';
      const std::string before = q.GetText();
      if (!q.ReplaceAll(pair.search, pair.replacement)) return 0;
      if (before == q.GetText()) continue;
      if (outList->GetCapacity() == 0 &&
          !outList->Create(kOutGrowthStep, static_cast<uint16_t>(list->GetElementSize()),
                           kOutGrowthStep))
        return 0;
      if (!outList->Add(&pair)) return 0;
    }
  }
  return 1;
}

int UnifyCharacters(CCharDictionary* dictionary, char* text, std::size_t textSize) {
  return OnBuffer(text, textSize, [&](std::string& work) { return UnifyIn(dictionary, work); });
}

int UnifyEditTextCharacters(CCharDictionary* dictionary, CEditText* text) {
  if (text == nullptr || text->GetText() == nullptr) return 0;
  if (!HasRecords(dictionary)) return 1;
  int i = 1;
  while (i <= text->GetLength()) {
    const int length = CharLen(text->GetPointer(i));
    PairRecord pair;
    if (LookUp(dictionary, text->GetPointer(i), length, &pair, nullptr) == nullptr) {
      i += length;
      continue;
    }
    if (!text->Replace(i, length, pair.replacement)) return 0;
    i += static_cast<int>(std::strlen(pair.replacement));
  }
  return 1;
}

int ApplyReplacementPairs(const CRecordList* list, char* text, std::size_t textSize) {
  return OnBuffer(text, textSize, [&](std::string& work) { return ApplyPairsIn(list, work); });
}

std::string ReplacedText(const CRecordList* list, const char* text) {
  if (list == nullptr || std::strlen(text) > static_cast<std::size_t>(kMaxSearchTextLength))
    return text;
  char buffer[kMaxSearchTextLength + 1];
  std::memcpy(buffer, text, std::strlen(text) + 1);
  if (!ApplyReplacementPairs(list, buffer, sizeof buffer)) return text;
  return buffer;
}

bool ReplacementPairsLeaveAlone(const CRecordList* list, const char* text) {
  if (!IsPairList(list)) return true;
  for (uint32_t n = 1; n <= list->GetCount(); ++n) {
    const auto* stored = static_cast<const char*>(list->GetPtr(n));
    if (stored == nullptr || !CannotOccurIn(stored, text)) return false;
  }
  return true;
}

int ApplyReplacementPairsToEditText(const CRecordList* list, CEditText* text) {
  if (text == nullptr || text->GetText() == nullptr) return 0;
  if (!IsPairList(list)) return 1;
  for (uint32_t n = 1; n <= list->GetCount(); ++n) {
    const auto* stored = static_cast<const char*>(list->GetPtr(n));
    if (stored != nullptr && CannotOccurIn(stored, text->GetText())) continue;
    PairRecord pair;
    if (!list->GetAt(n, &pair)) return 0;
    pair.search[kPairTextSize - 1] = '\0';
    pair.replacement[kPairTextSize - 1] = '\0';
    if (!text->ReplaceAll(pair.search, pair.replacement)) return 0;
  }
  return 1;
}

int ParseNumberUnit(char* text, std::size_t textSize) {
  return OnBuffer(text, textSize, [](std::string& work) { return ParseNumberUnitIn(work); });
}

int IsKanaReadingText(const char* text) {
  if (text == nullptr) return 0;
  int doubleBytes = 0;
  for (const char* p = text; *p;) {
    const int length = CharLen(p);
    if (length == 2) {
      if (!IsHiraganaAt(p) && !IsFullWidthDigitAt(p)) return 0;
      ++doubleBytes;
    } else if (!(*p == ' ' || (*p >= '0' && *p <= '9'))) {
      return 0;
    }
    p += length;
  }
  return doubleBytes > 0 ? 1 : 0;
}

int IsHiraganaText(const char* text) {
  if (text == nullptr) return 0;
  int hiragana = 0;
  for (const char* p = text; *p;) {
    const int length = CharLen(p);
    if (length == 2 && IsHiraganaAt(p)) {
      ++hiragana;
    } else if (*p != ' ') {
      return 0;
    }
    p += length;
  }
  return hiragana > 0 ? 1 : 0;
}

char* ToFullWidthText(char* text, std::size_t textSize) {
  if (text == nullptr) return text;
  std::string out;
  for (const char* p = text; *p;) {
    const int length = CharLen(p);
    if (length == 2) {
      out.append(p, 2);
    } else if (*p >= '0' && *p <= '9') {
      out += static_cast<char>(0x82);
      out += static_cast<char>(0x4F + (*p - '0'));
    } else {
      char one[4] = {*p, '\0'};
      ToFullWidth(one, sizeof one);
      out += one;
    }
    p += length;
  }
  if (out.size() + 1 > textSize) return text;
  std::memcpy(text, out.c_str(), out.size() + 1);
  return text;
}

std::string FullWidthNumber(int32_t value) {
  char digits[32];
  FormatDecimal(digits, sizeof digits, value);
  ToFullWidthText(digits, sizeof digits);
  return digits;
}

int FullWidthDigitsToInt(const char* text, int32_t* value) {
  if (text == nullptr || text[0] == '\0') return 0;
  int64_t result = 0;
  for (const char* p = text; *p; p += 2) {
    if (CharLen(p) != 2 || !IsFullWidthDigitAt(p)) return 0;
    result = result * 10 + (static_cast<unsigned char>(p[1]) - 0x4F);
    if (result > INT32_MAX) return 0;
  }
  if (value) *value = static_cast<int32_t>(result);
  return 1;
}
