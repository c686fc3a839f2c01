#include "matching/name_candidates.h"

#include <algorithm>
#include <cstring>

#include "common/kanji_numeral.h"
#include "common/record_stack.h"
#include "common/sjis_internal.h"
#include "matching/derived_bytes.h"
#include "matching/edit_text.h"
#include "matching/normalize.h"

namespace {

using sjis_internal::CharLen;

// The head of a text: its first character when that is a double-byte one;
// -1 for a text that begins otherwise (or is empty).
int HeadOf(const char* text) {
  if (text == nullptr || text[0] == '\0' || text[1] == '\0' || CharLen(text) != 2) return -1;
  return (static_cast<unsigned char>(text[0]) << 8) | static_cast<unsigned char>(text[1]);
}

// The name after the extra pairs, as the tolerant comparison edits it;
// false when the edit fails (the comparison then refuses the name).
bool EditedName(const CRecordList* extra, const char* name, std::string* out) {
  const std::size_t length = std::strlen(name);
  if (length > static_cast<std::size_t>(kMaxSearchTextLength)) return false;
  std::string buffer(static_cast<std::size_t>(kMaxSearchTextLength) + 1, '\0');
  std::memcpy(buffer.data(), name, length + 1);
  if (!ApplyReplacementPairs(extra, buffer.data(), buffer.size())) return false;
  *out = buffer.c_str();
  return true;
}

// The second character of a text with a head, when it bounds a comparison:
// a double-byte character that is no numeral, after a head that is none
// either; -1 otherwise.
int SecondOf(const char* text) {
  if (KanjiDigitValue(text) >= 0) return -1;
  const char* second = text + 2;
  if (KanjiDigitValue(second) >= 0) return -1;
  return HeadOf(second);
}

bool HasPairs(const CRecordList* list) { return list != nullptr && list->GetCount() > 0; }

void SortUnique(std::vector<uint16_t>* v) {
  std::sort(v->begin(), v->end());
  v->erase(std::unique(v->begin(), v->end()), v->end());
}

template <typename Key>
void SortUnique(std::vector<std::pair<Key, uint16_t>>* v) {
  std::sort(v->begin(), v->end());
  v->erase(std::unique(v->begin(), v->end()), v->end());
}

// The same for 16-bit keys, in time linear in the list: a table's names
// are added row by row, so the list usually stands in ascending rows
// already, and a stable sort by key (two passes, a byte at a time, low
// byte first) then puts it in (key, row) order. A list that does not
// stand so is sorted whole.
void SortUnique(std::vector<std::pair<uint16_t, uint16_t>>* v) {
  const std::size_t n = v->size();
  bool rowsAscend = true;
  for (std::size_t i = 1; i < n && rowsAscend; ++i) rowsAscend = (*v)[i - 1].second <= (*v)[i].second;
  if (!rowsAscend || n < 64) {
    std::sort(v->begin(), v->end());
  } else {
    std::vector<std::pair<uint16_t, uint16_t>> other(n);
    std::vector<std::pair<uint16_t, uint16_t>>* from = v;
    std::vector<std::pair<uint16_t, uint16_t>>* to = &other;
    for (const int shift : {0, 8}) {
      std::size_t starts[257] = {};
      for (const auto& e : *from) ++starts[((e.first >> shift) & 0xFFu) + 1];
      for (int b = 1; b <= 256; ++b) starts[b] += starts[b - 1];
      for (const auto& e : *from) (*to)[starts[(e.first >> shift) & 0xFFu]++] = e;
      std::swap(from, to);
    }
    // Two passes: the sorted list is back in *v.
  }
  v->erase(std::unique(v->begin(), v->end()), v->end());
}

// Appends the rows listed under keys first..last.
template <typename Key>
void AppendRange(const std::vector<std::pair<Key, uint16_t>>& table, Key first, Key last,
                 std::vector<uint16_t>* rows) {
  auto it = std::lower_bound(table.begin(), table.end(), std::make_pair(first, uint16_t{0}));
  for (; it != table.end() && it->first <= last; ++it) rows->push_back(it->second);
}

class CTableSource : public CNameCandidateSource {
 public:
  bool UsesTables() const override { return true; }
  void Select(const NameTable* table, const NameQuery& query, uint16_t count,
              std::vector<uint16_t>* rows) const override {
    rows->clear();
    if (table == nullptr || !table->complete || query.everything) {
      EveryRowSource().Select(nullptr, query, count, rows);
      return;
    }
    rows->insert(rows->end(), table->always.begin(), table->always.end());
    if (query.numeral) rows->insert(rows->end(), table->numeral.begin(), table->numeral.end());
    for (const uint16_t head : query.heads) {
      AppendRange(table->byHead, head, head, rows);
      const uint32_t first = static_cast<uint32_t>(head) << 16;
      AppendRange(table->byPair, first, first | 0xFFFFu, rows);
    }
    for (const uint32_t pair : query.pairs) {
      const uint16_t head = static_cast<uint16_t>(pair >> 16);
      AppendRange(table->byHead, head, head, rows);
      AppendRange(table->byPair, pair, pair, rows);
    }
    for (const uint16_t window : query.windows) AppendRange(table->byWindow, window, window, rows);
    SortUnique(rows);
    while (!rows->empty() && rows->back() > count) rows->pop_back();
  }
};

class CEveryRowSource : public CNameCandidateSource {
 public:
  bool UsesTables() const override { return false; }
  void Select(const NameTable*, const NameQuery&, uint16_t count,
              std::vector<uint16_t>* rows) const override {
    rows->resize(count);
    for (uint16_t n = 1; n <= count; ++n) (*rows)[n - 1] = n;
  }
};

const CTableSource tableSource;
const CEveryRowSource everyRowSource;
thread_local const CNameCandidateSource* currentSource = nullptr;

}  // namespace

void NameTable::AddName(uint16_t row, const char* name, const CRecordList* extra,
                        bool withHeadAlone, bool withWindows, bool withSecond) {
  auto addHead = [&](const char* text) {
    const int head = HeadOf(text);
    if (head < 0) {
      always.push_back(row);
    } else if (const int second = withSecond ? SecondOf(text) : -1; second < 0) {
      byHead.emplace_back(static_cast<uint16_t>(head), row);
    } else {
      byPair.emplace_back((static_cast<uint32_t>(head) << 16) | static_cast<uint32_t>(second), row);
    }
  };
  addHead(name);
  if (KanjiDigitValue(name) >= 0) numeral.push_back(row);
  if (HasPairs(extra)) {
    // The pairs are applied only to a name they can change: the name no
    // pair changes gives its own heads again (the name's are already in,
    // and so is its first character's unless it is asked for alone).
    const bool leftAlone = ReplacementPairsLeaveAlone(extra, name);
    std::string edited;
    if (!leftAlone && EditedName(extra, name, &edited)) addHead(edited.c_str());
    if (withHeadAlone && name[0] != '\0') {
      const std::string first(name, static_cast<std::size_t>(std::max(1, CharLen(name))));
      if (leftAlone) {
        addHead(first.c_str());
      } else if (EditedName(extra, first.c_str(), &edited)) {
        addHead(edited.c_str());
      }
    }
  }
  if (withWindows) {
    for (std::size_t i = 0; name[i] != '\0' && name[i + 1] != '\0'; ++i) {
      byWindow.emplace_back(static_cast<uint16_t>((static_cast<unsigned char>(name[i]) << 8) |
                                                  static_cast<unsigned char>(name[i + 1])),
                            row);
    }
  }
}

void NameTable::Finish() {
  SortUnique(&byHead);
  SortUnique(&byPair);
  SortUnique(&byWindow);
  SortUnique(&numeral);
  SortUnique(&always);
  byHead.shrink_to_fit();
  byPair.shrink_to_fit();
  byWindow.shrink_to_fit();
  complete = true;
}

namespace {

// A list as AppendTo writes it (a count, then the elements), read and
// checked in one pass: false unless it is a finished list, ascending
// without repeats, every row in 1..count.
template <typename Key>
bool ReadFinishedList(CDerivedBytesReader* in, std::vector<std::pair<Key, uint16_t>>* list,
                      uint16_t count) {
  constexpr std::size_t kElement = sizeof(Key) + sizeof(uint16_t);
  uint32_t size = 0;
  const char* at = nullptr;
  if (!in->Get(&size) || in->Remaining() / kElement < size || !in->GetBytes(size * kElement, &at))
    return false;
  list->resize(size);
  std::pair<Key, uint16_t>* out = list->data();
  std::pair<Key, uint16_t> previous{};
  for (uint32_t i = 0; i < size; ++i, at += kElement) {
    std::pair<Key, uint16_t> e;
    std::memcpy(&e.first, at, sizeof(Key));
    std::memcpy(&e.second, at + sizeof(Key), sizeof(uint16_t));
    if (e.second == 0 || e.second > count || (i > 0 && !(previous < e))) return false;
    out[i] = e;
    previous = e;
  }
  return true;
}

bool ReadFinishedList(CDerivedBytesReader* in, std::vector<uint16_t>* rows, uint16_t count) {
  uint32_t size = 0;
  const char* at = nullptr;
  if (!in->Get(&size) || in->Remaining() / sizeof(uint16_t) < size ||
      !in->GetBytes(size * sizeof(uint16_t), &at))
    return false;
  rows->resize(size);
  if (size > 0) std::memcpy(rows->data(), at, size * sizeof(uint16_t));
  for (uint32_t i = 0; i < size; ++i) {
    if ((*rows)[i] == 0 || (*rows)[i] > count) return false;
    if (i > 0 && (*rows)[i - 1] >= (*rows)[i]) return false;
  }
  return true;
}

}  // namespace

void NameTable::AppendTo(std::string* out) const {
  CDerivedBytesWriter w(out);
  w.PutList(byHead);
  w.PutList(byPair);
  w.PutList(byWindow);
  w.PutList(numeral);
  w.PutList(always);
}

bool NameTable::ReadFrom(CDerivedBytesReader* in, uint16_t count) {
  complete = ReadFinishedList(in, &byHead, count) && ReadFinishedList(in, &byPair, count) &&
             ReadFinishedList(in, &byWindow, count) && ReadFinishedList(in, &numeral, count) &&
             ReadFinishedList(in, &always, count);
  return complete;
}

void NameQuery::AddText(const char* text, const CRecordList* extra, bool plainOnly) {
  if (text == nullptr) return;
  auto addHead = [&](const char* t) {
    if (t[0] == '\0') return;  // only an empty name begins an empty text
    const int head = HeadOf(t);
    if (head < 0) {
      everything = true;
    } else if (const int second = SecondOf(t); second < 0) {
      heads.push_back(static_cast<uint16_t>(head));
    } else {
      pairs.push_back((static_cast<uint32_t>(head) << 16) | static_cast<uint32_t>(second));
    }
  };
  addHead(text);
  if (plainOnly) return;
  if (KanjiDigitValue(text) >= 0) numeral = true;
  if (HasPairs(extra)) {
    CEditText edited;
    if (edited.Init(text) && ApplyReplacementPairsToEditText(extra, &edited))
      addHead(edited.GetText());
  }
}

void NameQuery::AddChangingPairs(const CRecordList* list) {
  if (!HasPairs(list)) return;
  for (uint32_t n = 1; n <= list->GetCount(); ++n) {
    PairRecord pair;
    if (list->GetElementSize() != sizeof pair || !list->GetAt(n, &pair)) {
      everything = true;
      return;
    }
    pair.search[kPairTextSize - 1] = '\0';
    if (pair.search[0] == '\0') continue;  // changes nothing
    if (pair.search[1] == '\0') {
      everything = true;
      return;
    }
    windows.push_back(static_cast<uint16_t>((static_cast<unsigned char>(pair.search[0]) << 8) |
                                            static_cast<unsigned char>(pair.search[1])));
  }
}

const CNameCandidateSource& CurrentNameCandidateSource() {
  return currentSource != nullptr ? *currentSource : tableSource;
}

const CNameCandidateSource& EveryRowSource() { return everyRowSource; }

CNameCandidateSourceScope::CNameCandidateSourceScope(const CNameCandidateSource* source)
    : previous_(currentSource) {
  currentSource = source;
}

CNameCandidateSourceScope::~CNameCandidateSourceScope() { currentSource = previous_; }
