#include "matching/edit_text.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/copy_out.h"
#include "common/kanji_numeral.h"
#include "common/sjis_internal.h"
#include "common/sjis_text.h"
#include "common/width_kana.h"

namespace {

using sjis_internal::CharLen;

// The unit words of the number-and-unit step, in the order they are tried.
// A unit word and its length in bytes.
struct UnitWord {
  template <std::size_t N>
  constexpr UnitWord(const char (&s)[N]) : text(s), length(static_cast<int>(N - 1)) {}
  const char* text;
  int length;
};
constexpr UnitWord kUnitWords[] = {"条", "丁", "番", "区", "線", "号", "ノ", "地割", "－"};

// The numeral step of an edit text: every unit word in turn, its places
// from the front, then the end of the text; the numeral run before each
// (when of one kind) rewritten to full-width digits.
class NumeralRunRewriter {
 public:
  explicit NumeralRunRewriter(CEditText* text) : text_(text) {}

  int Run() {
    if (!Look()) return 0;
    if (!anyNumeral_) return 1;  // nothing to rewrite
    for (const UnitWord& unit : kUnitWords) {
      const char* word = unit.text;
      const int wordLength = unit.length;
      int n = 0;
      for (;;) {
        const int offset = NextWordAfterRun(word, wordLength, n);
        if (offset == -2) return 0;
        if (offset < 0) break;
        int shift = 0;
        if (!ConvertRunBefore(offset, &shift)) return 0;
        n = offset + shift + wordLength;
      }
      int shift = 0;
      if (!ConvertRunBefore(text_->GetLength(), &shift)) return 0;
    }
    return 1;
  }

 private:
  // For the current version: at each character start k, whether the first
  // k bytes end in a numeral run of one kind (-1 inside a character) and
  // where that run starts; the character starts where one ends; the heads
  // already seen to need no change. They hold until an edit. False for a
  // text longer than an edit text holds.
  bool Look() {
    if (current_) return true;
    const char* t = text_->GetText();
    const std::size_t length = std::strlen(t);
    if (length > static_cast<std::size_t>(CEditText::kMaxLength)) return false;
    current_ = true;
    length_ = length;
    unchanged_.clear();
    runEndCount_ = 0;
    std::fill(uniformAt_.begin(), uniformAt_.begin() + static_cast<std::ptrdiff_t>(length + 1), -1);
    int kind = 0;  // 1 full-width digits, 2 other numerals
    bool mixed = false;
    int16_t runStart = 0;
    for (std::size_t i = 0; i < length;) {
      uniformAt_[i] = kind != 0 && !mixed ? 1 : 0;
      runStartAt_[i] = runStart;
      if (uniformAt_[i] == 1) runEnds_[runEndCount_++] = static_cast<int16_t>(i);
      if (KanjiDigitValue(t + i) < 0) {
        kind = 0;
        mixed = false;
      } else {
        const int k = IsFullWidthDigitAt(t + i) ? 1 : 2;
        if (kind == 0) runStart = static_cast<int16_t>(i);
        if (kind != 0 && k != kind) mixed = true;
        kind = k;
        anyNumeral_ = true;
      }
      i += static_cast<std::size_t>(CharLen(t + i));
    }
    uniformAt_[length] = kind != 0 && !mixed ? 1 : 0;
    runStartAt_[length] = runStart;
    return true;
  }

  // The next place from byte n on where the word follows a numeral run of
  // one kind; -1 when there is none, -2 when the text cannot be looked at.
  // The word is of whole characters, so it is found only at character
  // starts; a place where no such run ends before it would change nothing.
  int NextWordAfterRun(const char* word, int wordLength, int n) {
    if (!Look()) return -2;
    const char* t = text_->GetText();
    for (int r = 0; r < runEndCount_; ++r) {
      const int k = runEnds_[static_cast<std::size_t>(r)];
      // The whole word within the text (length_ bytes) from k.
      if (k >= n && static_cast<std::size_t>(k + wordLength) <= length_ && t[k] == word[0] &&
          std::memcmp(t + k, word, static_cast<std::size_t>(wordLength)) == 0)
        return k;
    }
    return -1;
  }

  // Rewrites the numeral run that ends the first headLength bytes of the
  // current text when it is of one kind; *shift gets the change in length.
  // Only the run changes: a run of full-width digits without a leading
  // zero reads back as itself.
  int ConvertRunBefore(int headLength, int* shift) {
    *shift = 0;
    if (!Look()) return 0;
    const char* t = text_->GetText();
    const std::size_t at = static_cast<std::size_t>(headLength);
    const bool known = at <= length_ && uniformAt_[at] >= 0;
    const int uniform = known ? uniformAt_[at] : EndsWithUniformNumeralRun(t, at);
    if (!uniform) return 1;
    for (const int k : unchanged_)
      if (k == headLength) return 1;
    const int start = known ? runStartAt_[at] : 0;
    if (known && IsFullWidthDigitAt(t + start) &&
        (headLength - start == 2 || static_cast<unsigned char>(t[start + 1]) != 0x4F)) {
      unchanged_.push_back(headLength);
      return 1;
    }
    const std::string run(t + start, at - static_cast<std::size_t>(start));
    char rewritten[kNumeralWorkArea];
    TrailingNumeralToDigits(run.c_str(), rewritten, sizeof rewritten);
    const std::string head(t, at);
    const std::string converted = rewritten[0] == '\0'
                                      ? std::string()
                                      : head.substr(0, static_cast<std::size_t>(start)) + rewritten;
    const int p = converted.empty() || converted == head
                      ? headLength
                      : CommonPrefixLength(head.c_str(), converted.c_str());
    if (p >= headLength) {
      unchanged_.push_back(headLength);
      return 1;
    }
    if (!text_->Replace(p + 1, headLength - p, converted.c_str() + p)) return 0;
    current_ = false;
    *shift = static_cast<int>(converted.size()) - headLength;
    return 1;
  }

  CEditText* text_;
  bool current_ = false;
  bool anyNumeral_ = false;
  std::size_t length_ = 0;
  std::array<signed char, CEditText::kMaxLength + 1> uniformAt_;
  std::array<int16_t, CEditText::kMaxLength + 1> runStartAt_;
  std::array<int16_t, CEditText::kMaxLength + 1> runEnds_;
  int runEndCount_ = 0;
  std::vector<int> unchanged_;
};

}  // namespace

struct CEditText::SpareStores {
  static constexpr std::size_t kKept = 8;
  std::vector<std::pair<std::vector<EditRecord>, std::vector<char>>> kept;
};

CEditText::SpareStores& CEditText::Spares() {
  thread_local SpareStores spares;
  return spares;
}

CEditText::CEditText() : count_(0), mark_(0) {
  empty_[0] = '\0';
  // The thread's spares are made before any edit text that gives its
  // stores back to them, and so end after it.
  Spares();
  Clear();
}

CEditText::~CEditText() {
  Clear();
  SpareStores& spares = Spares();
  if (records_.capacity() == 0 || store_.capacity() == 0 ||
      spares.kept.size() >= SpareStores::kKept)
    return;
  try {
    spares.kept.emplace_back(std::move(records_), std::move(store_));
  } catch (...) {
  }
}

void CEditText::Clear() {
  count_ = 0;
  mark_ = 0;
  records_.clear();
  store_.clear();
}

int CEditText::Init(const char* text, uint32_t recordCapacity, uint32_t storeCapacity) {
  Clear();
  if (text == nullptr) return 0;
  const std::size_t length = std::strlen(text);
  if (length > static_cast<std::size_t>(kMaxLength)) return 0;
  if (recordCapacity == 0 || storeCapacity == 0) return 0;
  if (SpareStores& spares = Spares(); records_.capacity() == 0 && !spares.kept.empty()) {
    records_.swap(spares.kept.back().first);
    store_.swap(spares.kept.back().second);
    spares.kept.pop_back();
  }
  try {
    records_.reserve(recordCapacity);
    store_.reserve(storeCapacity);
  } catch (...) {
    Clear();
    return 0;
  }
  if (PushVersion(text, static_cast<uint32_t>(length), 0, 0, 0, 0) != 1) {
    Clear();
    return 0;
  }
  count_ = 1;
  return 1;
}

uint32_t CEditText::PushVersion(const char* text, uint32_t length, uint32_t position,
                                uint32_t newLength, uint32_t oldLength, int32_t mark) {
  const std::size_t recordCount = records_.size();
  const std::size_t storeCount = store_.size();
  if (recordCount >= UINT32_MAX || storeCount + length + 2 > UINT32_MAX) return 0;
  EditRecord record{};
  record.textStart = static_cast<uint32_t>(storeCount + 1);
  record.position = position;
  record.newLength = newLength;
  record.oldLength = oldLength;
  record.mark = mark;
  try {
    // The text, its NUL and one spare byte.
    store_.insert(store_.end(), text, text + length);
    store_.push_back('\0');
    store_.push_back('\0');
    records_.push_back(record);
  } catch (...) {
    // Leave both stores as they were, so that later edits still work.
    records_.resize(recordCount);
    store_.resize(storeCount);
    return 0;
  }
  return static_cast<uint32_t>(records_.size());
}

int CEditText::Commit(const char* text, uint32_t length, uint32_t position, uint32_t newLength,
                      uint32_t oldLength) {
  if (length > static_cast<uint32_t>(kMaxLength)) return 0;
  if (PushVersion(text, length, position, newLength, oldLength, mark_) != count_ + 1) return 0;
  ++count_;
  return 1;
}

int CEditText::GetEditRecord(uint32_t n, EditRecord* record) const {
  if (n == 0 || n > records_.size()) return 0;
  *record = records_[n - 1];
  return 1;
}

const char* CEditText::GetVersionText(uint32_t n) const {
  if (n == 0 || n > count_ || n > records_.size()) return nullptr;
  const uint32_t start = records_[n - 1].textStart;
  if (start == 0 || start > store_.size()) return nullptr;
  return store_.data() + (start - 1);
}

uint32_t CEditText::VersionLength(uint32_t n) const {
  const char* text = GetVersionText(n);
  return text ? static_cast<uint32_t>(std::strlen(text)) : 0;
}

const char* CEditText::GetText() const { return count_ == 0 ? nullptr : GetVersionText(count_); }

int CEditText::GetLength() const {
  // The current version is the last in the store: its text, its NUL and
  // one spare byte end the store (texts hold no NUL).
  if (count_ != 0 && count_ == records_.size()) {
    const uint32_t start = records_[count_ - 1].textStart;
    if (start != 0 && start + 1 <= store_.size())
      return static_cast<int>(store_.size() - (start - 1) - 2);
  }
  const char* text = GetText();
  return text ? static_cast<int>(std::strlen(text)) : 0;
}

int CEditText::IsEmpty() const {
  const char* text = GetText();
  return (text == nullptr || text[0] == '\0') ? 1 : 0;
}

const char* CEditText::GetPointer(int position) const {
  const char* text = GetText();
  if (text == nullptr) return nullptr;
  if (position < 1 || position > GetLength() + 1) return empty_;
  return text + position - 1;
}

int CEditText::Replace(int position, int count, const char* text) {
  if (position <= 0 || count <= 0 || text == nullptr) return 0;
  const char* current = GetText();
  if (current == nullptr) return 0;
  const std::size_t length = std::strlen(current);
  const std::size_t a = static_cast<std::size_t>(position);
  const std::size_t b = static_cast<std::size_t>(count);
  if (length < a || length < a + b - 1) return 0;
  const std::size_t insert = std::strlen(text);
  const std::size_t result = length - b + insert;
  if (result > static_cast<std::size_t>(kMaxLength)) return 0;

  char work[kMaxLength + 1];
  std::memcpy(work, current, a - 1);
  std::memcpy(work + a - 1, text, insert);
  std::memcpy(work + a - 1 + insert, current + a - 1 + b, length - (a - 1 + b));
  work[result] = '\0';
  return Commit(work, static_cast<uint32_t>(result), static_cast<uint32_t>(a),
                static_cast<uint32_t>(insert), static_cast<uint32_t>(b));
}

int CEditText::Delete(int position, int count) {
  if (position <= 0) return 0;
  if (position > GetLength()) return 1;
  return Replace(position, count, "");
}

int CEditText::Truncate(int position) {
  if (position <= 0) return 0;
  const int length = GetLength();
  if (position > length) return 1;
  return Replace(position, length - position + 1, "");
}

int CEditText::Append(const char* text) {
  if (text == nullptr) return 0;
  if (text[0] == '\0') return 1;
  const char* current = GetText();
  if (current == nullptr) return 0;
  const std::size_t length = std::strlen(current);
  const std::size_t insert = std::strlen(text);
  if (length + insert > static_cast<std::size_t>(kMaxLength)) return 0;
  char work[kMaxLength + 1];
  std::memcpy(work, current, length);
  std::memcpy(work + length, text, insert + 1);
  return Commit(work, static_cast<uint32_t>(length + insert), static_cast<uint32_t>(length + 1),
                static_cast<uint32_t>(insert), 0);
}

int CEditText::ReplaceAll(const char* searchText, const char* replacementText) {
  if (searchText == nullptr || replacementText == nullptr) return 0;
  if (searchText[0] == '\0' || std::strcmp(searchText, replacementText) == 0) return 1;
  // Copies: the texts may point into this object's store, which moves.
  const std::string search = searchText;
  const std::string replacement = replacementText;
  const int searchLength = static_cast<int>(search.size());
  const int replacementLength = static_cast<int>(replacement.size());
  int n = 0;
  for (;;) {
    const char* current = GetText();
    if (current == nullptr) return 0;
    const int offset = FindSubstringFrom(search.c_str(), current, n);
    if (offset < n) return 1;
    if (!Replace(offset + 1, searchLength, replacement.c_str())) return 0;
    n = offset + replacementLength;
  }
}

int CEditText::SetText(const char* text) {
  if (text == nullptr) return 0;
  const char* current = GetText();
  if (current == nullptr) return 0;
  if (text[0] == '\0') return Truncate(1);
  const int b = CommonPrefixLength(current, text);
  const int currentLength = static_cast<int>(std::strlen(current));
  const int textLength = static_cast<int>(std::strlen(text));
  if (b == currentLength && b == textLength) return 1;
  if (b == currentLength) return Append(text + b);
  if (b == textLength) return Truncate(b + 1);
  // The current text is about to move: take the replacement out first.
  const std::string rest = text + b;
  return Replace(b + 1, currentLength - b, rest.c_str());
}

int16_t CEditText::BeginMark() {
  mark_ = static_cast<int16_t>(static_cast<uint16_t>(mark_) + 1u);
  return mark_;
}

void CEditText::RollbackTo(int16_t m) {
  if (m > mark_) return;
  while (count_ >= 1) {
    EditRecord record{};
    if (!GetEditRecord(count_, &record)) break;
    if (static_cast<int16_t>(record.mark) < m) break;
    if (!Undo()) break;
  }
  mark_ = m;
}

int CEditText::Undo() {
  if (count_ == 0) return 0;
  EditRecord record{};
  if (!GetEditRecord(count_, &record)) return 0;
  store_.resize(record.textStart == 0 ? 0 : record.textStart - 1);
  records_.pop_back();
  --count_;
  return 1;
}

const char* CEditText::GetOriginalPointer(int position) const {
  if (count_ == 0 || position < 1) return empty_;
  uint32_t a = static_cast<uint32_t>(position);
  for (uint32_t v = count_; v >= 2; --v) {
    if (VersionLength(v) < a) return empty_;
    EditRecord record{};
    if (!GetEditRecord(v, &record)) return empty_;
    if (record.newLength == record.oldLength || record.position > a) continue;
    if (record.newLength == 0) {
      a += record.oldLength;
    } else if (a < record.position + record.newLength) {
      a = record.position;
    } else {
      a = a + record.oldLength - record.newLength;
    }
  }
  const char* input = GetVersionText(1);
  if (input == nullptr || std::strlen(input) < a) return empty_;
  return input + a - 1;
}

template <typename Convert>
int CEditText::ConvertChars(Convert convert) {
  const char* text = GetText();
  if (text == nullptr) return 0;
  int textLength = GetLength();
  int i = 1;
  while (i <= textLength) {
    const char* p = text + i - 1;
    int length = CharLen(p);
    char converted[kConvertedSize];
    if (convert(p, &length, converted)) {
      const int convertedLength = static_cast<int>(std::strlen(converted));
      if (convertedLength != length || std::memcmp(p, converted, length) != 0) {
        if (!Replace(i, length, converted)) return 0;
        text = GetText();  // the new version
        textLength = GetLength();
        length = convertedLength;
      }
    }
    i += length;
  }
  return 1;
}

int CEditText::ToFullWidth() {
  return ConvertChars([](const char* p, int* length, char* converted) {
    if (*length == 2) return false;
    uint16_t code = 0;
    *length = static_cast<int>(ReadCharCode(p, &code) - p);
    CharCodeToString(SymbolCodeToFullWidth(DigitCodeToFullWidth(
                         LetterCodeToFullWidth(HalfKanaCodeToFullWidth(code)))),
                     converted);
    return true;
  });
}

int CEditText::KatakanaToHiragana() {
  return ConvertChars([](const char* p, int* length, char* converted) {
    if (*length != 2 || !IsKatakanaAt(p)) return false;
    converted[0] = p[0];
    converted[1] = p[1];
    converted[2] = '\0';
    KatakanaToHiraganaAt(converted);
    return true;
  });
}

int CEditText::SmallHiraganaToLarge() {
  return ConvertChars([](const char* p, int* length, char* converted) {
    if (*length != 2 || !IsHiraganaAt(p)) return false;
    CharCodeToString(SmallHiraganaCodeToLarge(GetCharCode(p)), converted);
    return true;
  });
}

int CEditText::HalfKanaToHiragana() {
  const HalfKanaHiraganaRow* table = GetHalfKanaHiraganaTable();
  const int rows = GetHalfKanaHiraganaTableSize();
  return ConvertChars([&](const char* p, int* length, char* converted) {
    if (*length == 2) return false;
    for (int r = 0; r < rows; ++r) {
      const std::size_t rowLength = std::strlen(table[r].halfKana);
      if (std::strncmp(p, table[r].halfKana, rowLength) != 0) continue;
      *length = static_cast<int>(rowLength);
      CopyCut(converted, kConvertedSize, table[r].hiragana);
      return true;
    }
    return false;
  });
}

int CEditText::NumeralsBeforeUnitsToDigits() {
  const char* text = GetText();
  if (text == nullptr) return 0;
  if (text[0] == '\0') return 1;
  return NumeralRunRewriter(this).Run();
}
