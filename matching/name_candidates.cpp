#include "matching/name_candidates.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

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
  for (std::size_t i = 1; i < n && rowsAscend; ++i)
    rowsAscend = (*v)[i - 1].second <= (*v)[i].second;
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

// The entry i of a keyed table's keys.
std::string_view KeyAt(const NameTable& t, std::size_t i) {
  const uint32_t begin = i == 0 ? 0 : t.keyEnds[i - 1];
  return std::string_view(t.keyBytes).substr(begin, t.keyEnds[i] - begin);
}

// Appends the rows of 1..count whose key begins one of the query's keys,
// ascending: for each key, every prefix of it (of one character or more)
// is looked up among the table's keys, up to the first prefix that no key
// begins with. (A table keeps no empty key: those names are filed by their
// heads.)
void KeyedRows(const NameTable& t, const NameQuery& query, uint16_t count,
               std::vector<uint16_t>* rows) {
  std::vector<uint64_t> marked((static_cast<std::size_t>(count) >> 6) + 1, 0);
  const std::size_t n = t.keyRows.size();
  for (const std::string& key : query.keys) {
    const std::string_view whole(key);
    std::size_t low = 0;  // the entries before low are below every prefix still to come
    for (std::size_t length = 2; length <= whole.size(); length += 2) {
      const std::string_view prefix = whole.substr(0, length);
      std::size_t lo = low;
      std::size_t hi = n;
      while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (KeyAt(t, mid) < prefix)
          lo = mid + 1;
        else
          hi = mid;
      }
      low = lo;
      std::size_t i = lo;
      for (; i < n && KeyAt(t, i) == prefix; ++i) {
        const uint16_t row = t.keyRows[i];
        if (row <= count) marked[row >> 6] |= uint64_t{1} << (row & 63);
      }
      // No key begins with this prefix: none begins with a longer one.
      if (i == n || KeyAt(t, i).substr(0, prefix.size()) != prefix) break;
    }
  }
  for (std::size_t word = 0; word < marked.size(); ++word) {
    for (uint64_t bits = marked[word]; bits != 0; bits &= bits - 1) {
      const auto row =
          static_cast<uint16_t>(word * 64 + static_cast<std::size_t>(__builtin_ctzll(bits)));
      if (row >= 1 && row <= count) rows->push_back(row);
    }
  }
}

class CTableSource : public CNameCandidateSource {
 public:
  bool UsesTables() const override { return true; }
  void Select(const NameTable* table, const NameQuery& query, uint16_t count,
              std::vector<uint16_t>* rows) const override {
    rows->clear();
    if (table == nullptr || !table->complete || query.everything ||
        (table->keyed && (!query.keyed || query.unkeyed))) {
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
    if (table->keyed) {
      KeyedRows(*table, query, count, rows);
      SortUnique(rows);
    }
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

namespace {

uint16_t CodeAt(const char* p) {
  return static_cast<uint16_t>((static_cast<unsigned char>(p[0]) << 8) |
                               static_cast<unsigned char>(p[1]));
}

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

constexpr uint16_t kIterationMark = 0x8158;  // 々

constexpr uint16_t CodeOf(const char (&c)[3]) {
  return static_cast<uint16_t>((static_cast<unsigned char>(c[0]) << 8) |
                               static_cast<unsigned char>(c[1]));
}

// Kanji that variant forms take or drop on one side: the aza words, the
// direction and street words.
constexpr uint16_t kVariantWordKanji[] = {CodeOf("大"), CodeOf("字"), CodeOf("上"),
                                          CodeOf("下"), CodeOf("東"), CodeOf("西"),
                                          CodeOf("入"), CodeOf("通"), CodeOf("町")};
// Kanji of the oaza level's unit words (地割 条町 番町 番丁 線 区 号 条 町 村 番).
constexpr uint16_t kUnitWordKanji[] = {CodeOf("地"), CodeOf("割"), CodeOf("条"), CodeOf("町"),
                                       CodeOf("番"), CodeOf("丁"), CodeOf("線"), CodeOf("区"),
                                       CodeOf("号"), CodeOf("村")};

template <std::size_t N>
bool IsOneOf(uint16_t code, const uint16_t (&codes)[N]) {
  for (const uint16_t c : codes) {
    if (c == code) return true;
  }
  return false;
}

}  // namespace

void NameKeyRules::AddPairs(const CRecordList* list) {
  if (!HasPairs(list)) return;
  for (uint32_t n = 1; n <= list->GetCount(); ++n) {
    PairRecord pair;
    if (list->GetElementSize() != sizeof pair || !list->GetAt(n, &pair)) {
      unbounded = true;
      return;
    }
    pair.search[kPairTextSize - 1] = '\0';
    pair.replacement[kPairTextSize - 1] = '\0';
    for (const char* text : {pair.search, pair.replacement}) {
      for (const char* p = text; *p;) {
        if (!IsLeadByte(static_cast<unsigned char>(*p))) {
          ++p;  // a single-byte character: never firm
          continue;
        }
        if (p[1] == '\0' || CodeAt(p) == kIterationMark) {
          unbounded = true;  // a lone lead byte, or the mark that ends keys
          return;
        }
        loose.push_back(CodeAt(p));
        p += 2;
      }
    }
  }
}

void NameKeyRules::Finish() {
  std::sort(loose.begin(), loose.end());
  loose.erase(std::unique(loose.begin(), loose.end()), loose.end());
  notFirm.assign(65536 / 64, 0);
  for (const uint16_t code : loose) notFirm[code >> 6] |= uint64_t{1} << (code & 63);
  for (const uint16_t code : kVariantWordKanji) notFirm[code >> 6] |= uint64_t{1} << (code & 63);
}

void NameKeyRules::KeyOf(const char* text, bool name, std::string* key) const {
  key->clear();
  if (text == nullptr) return;
  for (const char* p = text; *p;) {
    if (!IsLeadByte(static_cast<unsigned char>(*p)) || p[1] == '\0') {
      ++p;
      continue;
    }
    const uint16_t code = CodeAt(p);
    if (code == kIterationMark) break;
    const bool levelOneOrTwo =
        (code >= 0x889F && code <= 0x9872) || (code >= 0x989F && code <= 0xEAA4);
    const bool listed = notFirm.empty() ? IsOneOf(code, kVariantWordKanji) ||
                                              std::binary_search(loose.begin(), loose.end(), code)
                                        : ((notFirm[code >> 6] >> (code & 63)) & 1u) != 0;
    if (levelOneOrTwo && !listed && KanjiDigitValue(p) < 0) key->append(p, 2);
    p += 2;
  }
  if (name) {
    while (!key->empty() && IsOneOf(CodeAt(key->data() + key->size() - 2), kUnitWordKanji))
      key->resize(key->size() - 2);
  }
}

bool NameTable::AddKey(uint16_t row, const char* name, const NameKeyRules& rules) {
  keyed = true;
  thread_local std::string key;
  rules.KeyOf(name, true, &key);
  if (key.empty()) return false;
  keyBytes += key;
  keyEnds.push_back(static_cast<uint32_t>(keyBytes.size()));
  keyRows.push_back(row);
  return true;
}

void NameTable::Finish() {
  if (keyed) {
    // Ascending by key, then row, each once. The first eight bytes of a
    // key, as a number (a shorter key padded with zeros, which no key
    // byte is), order most keys alone.
    const std::size_t n = keyRows.size();
    std::vector<std::pair<uint64_t, uint32_t>> order(n);
    for (std::size_t i = 0; i < n; ++i) {
      const std::string_view key = KeyAt(*this, i);
      uint64_t head = 0;
      for (std::size_t k = 0; k < 8; ++k)
        head = (head << 8) | (k < key.size() ? static_cast<unsigned char>(key[k]) : 0u);
      order[i] = {head, static_cast<uint32_t>(i)};
    }
    std::sort(order.begin(), order.end(), [&](const auto& a, const auto& b) {
      if (a.first != b.first) return a.first < b.first;
      const std::string_view ka = KeyAt(*this, a.second);
      const std::string_view kb = KeyAt(*this, b.second);
      return ka != kb ? ka < kb : keyRows[a.second] < keyRows[b.second];
    });
    std::string bytes;
    std::vector<uint32_t> ends;
    std::vector<uint16_t> rows;
    bytes.reserve(keyBytes.size());
    ends.reserve(n);
    rows.reserve(n);
    for (std::size_t k = 0; k < n; ++k) {
      const std::string_view key = KeyAt(*this, order[k].second);
      const uint16_t row = keyRows[order[k].second];
      if (!rows.empty() && rows.back() == row &&
          std::string_view(bytes).substr(ends.size() > 1 ? ends[ends.size() - 2] : 0) == key)
        continue;
      bytes.append(key);
      ends.push_back(static_cast<uint32_t>(bytes.size()));
      rows.push_back(row);
    }
    keyBytes = std::move(bytes);
    keyEnds = std::move(ends);
    keyRows = std::move(rows);
  }
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

// The same for (16-bit key, row): an element read as one number, key
// above row, must exceed the one before.
bool ReadFinishedList(CDerivedBytesReader* in, std::vector<std::pair<uint16_t, uint16_t>>* list,
                      uint16_t count) {
  uint32_t size = 0;
  const char* at = nullptr;
  if (!in->Get(&size) || in->Remaining() / 4 < size || !in->GetBytes(size * 4u, &at)) return false;
  list->resize(size);
  std::pair<uint16_t, uint16_t>* out = list->data();
  uint32_t previous = 0;
  for (uint32_t i = 0; i < size; ++i, at += 4) {
    uint16_t key = 0;
    uint16_t row = 0;
    std::memcpy(&key, at, 2);
    std::memcpy(&row, at + 2, 2);
    const uint32_t both = (static_cast<uint32_t>(key) << 16) | row;
    if (row == 0 || row > count || (i > 0 && both <= previous)) return false;
    out[i] = {key, row};
    previous = both;
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

namespace {

// A list in the bytes CDerivedBytesWriter::PutList gives (a count, then
// each element's numbers in turn), written in one step.
template <typename T>
void AppendList(std::string* out, const std::vector<T>& list) {
  const auto size = static_cast<uint32_t>(list.size());
  const std::size_t at = out->size();
  out->resize(at + sizeof size + list.size() * sizeof(T));
  char* p = out->data() + at;
  std::memcpy(p, &size, sizeof size);
  if (size > 0) std::memcpy(p + sizeof size, list.data(), list.size() * sizeof(T));
}

template <typename Key>
void AppendList(std::string* out, const std::vector<std::pair<Key, uint16_t>>& list) {
  constexpr std::size_t kElement = sizeof(Key) + sizeof(uint16_t);
  const auto size = static_cast<uint32_t>(list.size());
  const std::size_t at = out->size();
  out->resize(at + sizeof size + list.size() * kElement);
  char* p = out->data() + at;
  std::memcpy(p, &size, sizeof size);
  p += sizeof size;
  for (const auto& e : list) {
    std::memcpy(p, &e.first, sizeof(Key));
    std::memcpy(p + sizeof(Key), &e.second, sizeof(uint16_t));
    p += kElement;
  }
}

}  // namespace

void NameTable::AppendTo(std::string* out) const {
  out->reserve(out->size() + 32 + 4 * byHead.size() + 6 * byPair.size() + 4 * byWindow.size() +
               2 * (numeral.size() + always.size() + keyRows.size()) + 4 * keyEnds.size() +
               keyBytes.size());
  AppendList(out, byHead);
  AppendList(out, byPair);
  AppendList(out, byWindow);
  AppendList(out, numeral);
  AppendList(out, always);
  CDerivedBytesWriter w(out);
  w.Put(static_cast<uint8_t>(keyed ? 1 : 0));
  if (keyed) {
    AppendList(out, keyRows);
    AppendList(out, keyEnds);
    w.PutText(keyBytes);
  }
}

namespace {

// The keys as AppendTo writes them, checked: rows in 1..count, ends
// ascending within the bytes and of whole characters, the entries
// ascending by key, then row, without repeats.
bool ReadFinishedKeys(CDerivedBytesReader* in, NameTable* t, uint16_t count) {
  uint8_t keyed = 0;
  if (!in->Get(&keyed) || keyed > 1) return false;
  t->keyed = keyed == 1;
  t->keyRows.clear();
  t->keyEnds.clear();
  t->keyBytes.clear();
  if (!t->keyed) return true;
  if (!in->GetList(&t->keyRows) || !in->GetList(&t->keyEnds) || !in->GetText(&t->keyBytes) ||
      t->keyRows.size() != t->keyEnds.size())
    return false;
  uint32_t begin = 0;
  for (std::size_t i = 0; i < t->keyRows.size(); ++i) {
    const uint32_t end = t->keyEnds[i];
    if (t->keyRows[i] == 0 || t->keyRows[i] > count || end <= begin || end > t->keyBytes.size() ||
        (end - begin) % 2 != 0)
      return false;
    if (i > 0) {
      const std::string_view previous = KeyAt(*t, i - 1);
      const std::string_view key = KeyAt(*t, i);
      if (previous > key || (previous == key && t->keyRows[i - 1] >= t->keyRows[i])) return false;
    }
    begin = end;
  }
  return begin == t->keyBytes.size();
}

}  // namespace

bool NameTable::ReadFrom(CDerivedBytesReader* in, uint16_t count) {
  complete = ReadFinishedList(in, &byHead, count) && ReadFinishedList(in, &byPair, count) &&
             ReadFinishedList(in, &byWindow, count) && ReadFinishedList(in, &numeral, count) &&
             ReadFinishedList(in, &always, count) && ReadFinishedKeys(in, this, count);
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

void NameQuery::AddKeyText(const char* text, const NameKeyRules& rules) {
  if (text == nullptr) return;
  keyed = true;
  if (rules.unbounded) {
    unkeyed = true;
    return;
  }
  std::string key;
  rules.KeyOf(text, false, &key);
  keys.push_back(std::move(key));
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
