#include "matching/name_candidates.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
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
using Section = NameTableHeader::Section;

// The head of a text: its first character when that is a double-byte one;
// -1 for a text that begins otherwise (or is empty).
int HeadOf(const char* text) {
  if (text == nullptr || text[0] == '\0' || text[1] == '\0' || CharLen(text) != 2) return -1;
  return (static_cast<unsigned char>(text[0]) << 8) | static_cast<unsigned char>(text[1]);
}

// The room of a name edited by the extra pairs.
constexpr std::size_t kEditedSize = static_cast<std::size_t>(kMaxSearchTextLength) + 1;

// The name after the extra pairs, as the tolerant comparison edits it, in
// out (kEditedSize bytes); false when the edit fails (the comparison then
// refuses the name).
bool EditedName(const CRecordList* extra, const char* name, char* out) {
  const std::size_t length = std::strlen(name);
  if (length > static_cast<std::size_t>(kMaxSearchTextLength)) return false;
  std::memcpy(out, name, length + 1);
  return ApplyReplacementPairs(extra, out, kEditedSize) != 0;
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

template <typename T>
void SortUnique(std::vector<T>* v) {
  std::sort(v->begin(), v->end());
  v->erase(std::unique(v->begin(), v->end()), v->end());
}

// The same for entries of a 16-bit key above a row, in time linear in the
// list: a table's names are added row by row, so the list usually stands
// in ascending rows already, and a stable sort by key (two passes, a byte
// at a time, low byte first) then puts it in (key, row) order. A list that
// does not stand so is sorted whole.
void SortUniqueByKey(std::vector<uint32_t>* v) {
  const std::size_t n = v->size();
  bool rowsAscend = true;
  for (std::size_t i = 1; i < n && rowsAscend; ++i)
    rowsAscend = ((*v)[i - 1] & 0xFFFFu) <= ((*v)[i] & 0xFFFFu);
  if (!rowsAscend || n < 64) {
    std::sort(v->begin(), v->end());
  } else {
    std::vector<uint32_t> other(n);
    std::vector<uint32_t>* from = v;
    std::vector<uint32_t>* to = &other;
    for (const int shift : {16, 24}) {
      std::size_t starts[257] = {};
      for (const uint32_t e : *from) ++starts[((e >> shift) & 0xFFu) + 1];
      for (int b = 1; b <= 256; ++b) starts[b] += starts[b - 1];
      for (const uint32_t e : *from) (*to)[starts[(e >> shift) & 0xFFu]++] = e;
      std::swap(from, to);
    }
    // Two passes: the sorted list is back in *v.
  }
  v->erase(std::unique(v->begin(), v->end()), v->end());
}

template <typename V>
void Release(V* v) {
  V().swap(*v);
}

// The first element of the list not below value (the list ascending; in
// a list that is not, some element: never one outside it).
template <typename T>
std::size_t LowerBound(const NameTableList<T>& list, T value) {
  std::size_t lo = 0;
  std::size_t hi = list.size();
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (list[mid] < value)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

// Appends the rows (the low 16 bits) of the entries first..last.
template <typename T>
void AppendRows(const NameTableList<T>& list, T first, T last, std::vector<uint16_t>* rows) {
  for (std::size_t i = LowerBound(list, first); i < list.size(); ++i) {
    const T entry = list[i];
    if (entry > last) break;
    rows->push_back(static_cast<uint16_t>(entry & 0xFFFFu));
  }
}

// The rows listed under a 16-bit key (heads, windows).
void AppendKeyRows(const NameTableList<uint32_t>& list, uint16_t key, std::vector<uint16_t>* rows) {
  const uint32_t first = static_cast<uint32_t>(key) << 16;
  AppendRows(list, first, first | 0xFFFFu, rows);
}

// Appends the rows of 1..count whose key begins one of the query's keys,
// ascending: for each key, every prefix of it (of one character or more)
// is looked up among the table's keys, up to the first prefix that no key
// begins with. (A table keeps no empty key: those names are filed by their
// heads.)
void KeyedRows(const NameTable& t, const NameQuery& query, uint16_t count,
               std::vector<uint16_t>* rows) {
  std::vector<uint64_t> marked((static_cast<std::size_t>(count) >> 6) + 1, 0);
  const std::size_t n = t.KeyCount();
  for (const std::string& key : query.keys) {
    const std::string_view whole(key);
    std::size_t low = 0;  // the entries before low are below every prefix still to come
    for (std::size_t length = 2; length <= whole.size(); length += 2) {
      const std::string_view prefix = whole.substr(0, length);
      std::size_t lo = low;
      std::size_t hi = n;
      while (lo < hi) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (t.KeyAt(mid) < prefix)
          lo = mid + 1;
        else
          hi = mid;
      }
      low = lo;
      std::size_t i = lo;
      for (; i < n && t.KeyAt(i) == prefix; ++i) {
        const uint16_t row = t.KeyRowAt(i);
        if (row <= count) marked[row >> 6] |= uint64_t{1} << (row & 63);
      }
      // No key begins with this prefix: none begins with a longer one.
      if (i == n || t.KeyAt(i).substr(0, prefix.size()) != prefix) break;
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
        (table->Keyed() && (!query.keyed || query.unkeyed))) {
      EveryRowSource().Select(nullptr, query, count, rows);
      return;
    }
    const NameTableList<uint16_t> always = table->Always();
    for (std::size_t i = 0; i < always.size(); ++i) rows->push_back(always[i]);
    if (query.numeral) {
      const NameTableList<uint16_t> numerals = table->Numerals();
      for (std::size_t i = 0; i < numerals.size(); ++i) rows->push_back(numerals[i]);
    }
    const NameTableList<uint32_t> heads = table->Heads();
    const NameTableList<uint64_t> pairs = table->Pairs();
    for (const uint16_t head : query.heads) {
      AppendKeyRows(heads, head, rows);
      const uint64_t first = static_cast<uint64_t>(head) << 32;
      AppendRows(pairs, first, first | 0xFFFFFFFFu, rows);
    }
    for (const uint32_t pair : query.pairs) {
      AppendKeyRows(heads, static_cast<uint16_t>(pair >> 16), rows);
      const uint64_t first = static_cast<uint64_t>(pair) << 16;
      AppendRows(pairs, first, first | 0xFFFFu, rows);
    }
    const NameTableList<uint32_t> windows = table->Windows();
    for (const uint16_t window : query.windows) AppendKeyRows(windows, window, rows);
    SortUnique(rows);
    // Rows outside 1..count (in an image that lists some) are never tried.
    while (!rows->empty() && rows->back() > count) rows->pop_back();
    if (!rows->empty() && rows->front() == 0) rows->erase(rows->begin());
    if (table->Keyed()) {
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

void NameTable::Reserve(std::size_t rows, bool keys) {
  if (keys) {
    // (Some rows are named otherwise than written: a key or two each.)
    keys_.reserve(rows + rows / 4 + 16);
    keyBytes_.resize(rows * 16);
  } else {
    heads_.reserve(rows);
    pairs_.reserve(rows);
  }
}

void NameTable::AddHead(uint16_t row, const char* text, bool withSecond) {
  const int head = HeadOf(text);
  if (head < 0) {
    always_.push_back(row);
  } else if (const int second = withSecond ? SecondOf(text) : -1; second < 0) {
    heads_.push_back((static_cast<uint32_t>(head) << 16) | row);
  } else {
    const uint64_t both = (static_cast<uint64_t>(head) << 16) | static_cast<uint64_t>(second);
    pairs_.push_back((both << 16) | row);
  }
}

void NameTable::AddName(uint16_t row, const char* name, const CRecordList* extra,
                        bool withHeadAlone, bool withWindows, bool withSecond) {
  AddHead(row, name, withSecond);
  if (KanjiDigitValue(name) >= 0) numerals_.push_back(row);
  if (HasPairs(extra)) {
    // The pairs are applied only to a name they can change: the name no
    // pair changes gives its own heads again (the name's are already in,
    // and so is its first character's unless it is asked for alone).
    const bool leftAlone = ReplacementPairsLeaveAlone(extra, name);
    char edited[kEditedSize];
    if (!leftAlone && EditedName(extra, name, edited)) AddHead(row, edited, withSecond);
    if (withHeadAlone && name[0] != '\0') {
      char first[3] = {};
      std::memcpy(first, name, static_cast<std::size_t>(std::clamp(CharLen(name), 1, 2)));
      if (leftAlone) {
        AddHead(row, first, withSecond);
      } else if (EditedName(extra, first, edited)) {
        AddHead(row, edited, withSecond);
      }
    }
  }
  if (withWindows) {
    for (std::size_t i = 0; name[i] != '\0' && name[i + 1] != '\0'; ++i) {
      windows_.push_back((static_cast<uint32_t>(static_cast<unsigned char>(name[i])) << 24) |
                         (static_cast<uint32_t>(static_cast<unsigned char>(name[i + 1])) << 16) |
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

// A bit for the lowest six bits of each unit word kanji: a code whose bit
// is clear is none of them (most are told so by one look).
constexpr uint64_t kUnitWordBits = [] {
  uint64_t bits = 0;
  for (const uint16_t c : kUnitWordKanji) bits |= uint64_t{1} << (c & 63);
  return bits;
}();

bool IsUnitWordKanji(uint16_t code) {
  return ((kUnitWordBits >> (code & 63)) & 1u) != 0 && IsOneOf(code, kUnitWordKanji);
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

// The kanji of JIS levels 1 and 2.
constexpr uint16_t kLevelOneFirst = 0x889F;
constexpr uint16_t kLevelOneLast = 0x9872;
constexpr uint16_t kLevelTwoFirst = 0x989F;
constexpr uint16_t kLevelTwoLast = 0xEAA4;

void NameKeyRules::Finish() {
  std::sort(loose.begin(), loose.end());
  loose.erase(std::unique(loose.begin(), loose.end()), loose.end());
  firm.assign(65536 / 64, 0);
  auto set = [this](uint32_t code, bool on) {
    const uint64_t bit = uint64_t{1} << (code & 63);
    firm[code >> 6] = on ? firm[code >> 6] | bit : firm[code >> 6] & ~bit;
  };
  for (const auto& [first, last] :
       {std::pair{kLevelOneFirst, kLevelOneLast}, std::pair{kLevelTwoFirst, kLevelTwoLast}}) {
    for (uint32_t code = first; code <= last && code % 64 != 0; ++code) set(code, true);
    for (uint32_t word = (first + 63u) / 64; word < (last + 1u) / 64; ++word) firm[word] = ~0ull;
    for (uint32_t code = (last + 1u) / 64 * 64; code <= last; ++code) set(code, true);
  }
  for (const uint16_t code : loose) set(code, false);
  for (const uint16_t code : kVariantWordKanji) set(code, false);
  for (const uint16_t code : KanjiNumeralCodes()) set(code, false);
  // A code is looked up only after a lead byte and before a byte that is
  // no NUL: the bits of the other codes in the ranges (a first byte of
  // half-width kana, a second byte 0) are cleared, so that a set bit also
  // says that the code is a character of two bytes.
  for (uint32_t word = 0xA000u / 64; word < 0xE000u / 64; ++word) firm[word] = 0;
  for (uint32_t lead = 0x81; lead <= 0xFC; ++lead) set(lead << 8, false);
}

namespace {

// The firm characters of the text's bytes in order, up to its first 々 or
// NUL (a lead byte at the bytes' end stands before their end, as before a
// NUL), into out; firm(code, at) tells a character of two bytes.
template <typename Firm>
std::size_t FirmCharacters(const unsigned char* p, const unsigned char* end, char* out, Firm firm) {
  std::size_t used = 0;
  while (p < end) {
    const unsigned c = *p;
    if (!IsLeadByte(static_cast<unsigned char>(c))) {
      if (c == 0) break;
      ++p;
      continue;
    }
    if (p + 1 == end || p[1] == 0) break;  // a lead byte alone ends the text
    const unsigned code = (c << 8) | p[1];
    if (code == kIterationMark) break;
    if (firm(code, p)) {
      out[used] = static_cast<char>(c);
      out[used + 1] = static_cast<char>(p[1]);
      used += 2;
    }
    p += 2;
  }
  return used;
}

// The same by the finished rules' bits, which are set for firm characters
// of two bytes only (a lead byte, then no NUL): a firm character, the most
// common, is told by one look at its bit.
[[gnu::always_inline]] inline std::size_t FirmCharactersByBits(const unsigned char* p,
                                                               const unsigned char* end,
                                                               const uint64_t* bits, char* out) {
  std::size_t used = 0;
  while (end - p >= 2) {
    const unsigned code = (static_cast<unsigned>(p[0]) << 8) | p[1];
    if (((bits[code >> 6] >> (code & 63)) & 1u) != 0) {
      std::memcpy(out + used, p, 2);
      used += 2;
      p += 2;
      continue;
    }
    if (!IsLeadByte(p[0])) {
      if (p[0] == 0) return used;
      ++p;
      continue;
    }
    if (p[1] == 0 || code == kIterationMark) return used;
    p += 2;
  }
  // One byte left at most: a single-byte character or a lead byte alone,
  // neither of them firm.
  return used;
}

// The firm characters by the rules' lists (rules not finished), one
// character at a time.
[[gnu::noinline]] std::size_t FirmCharactersListed(const NameKeyRules& rules,
                                                   const unsigned char* begin,
                                                   const unsigned char* end, char* out) {
  return FirmCharacters(begin, end, out, [&rules](unsigned code, const unsigned char* at) {
    const bool levelOneOrTwo = (code >= kLevelOneFirst && code <= kLevelOneLast) ||
                               (code >= kLevelTwoFirst && code <= kLevelTwoLast);
    return levelOneOrTwo && !IsOneOf(static_cast<uint16_t>(code), kVariantWordKanji) &&
           !std::binary_search(rules.loose.begin(), rules.loose.end(),
                               static_cast<uint16_t>(code)) &&
           KanjiDigitValue(reinterpret_cast<const char*>(at)) < 0;
  });
}

// KeyInto's steps (inlined into AddKey, which makes a table's many keys).
[[gnu::always_inline]] inline std::size_t KeyBytesInto(const NameKeyRules& rules,
                                                       std::string_view text, bool name,
                                                       char* out) {
  const auto* const begin = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = begin + text.size();
  const std::size_t used = rules.firm.empty()
                               ? FirmCharactersListed(rules, begin, end, out)
                               : FirmCharactersByBits(begin, end, rules.firm.data(), out);
  if (!name) return used;
  std::size_t kept = used;
  while (kept > 0 && IsUnitWordKanji(CodeAt(out + kept - 2))) kept -= 2;
  return kept;
}

}  // namespace

std::size_t NameKeyRules::KeyInto(std::string_view text, bool name, char* out) const {
  return KeyBytesInto(*this, text, name, out);
}

void NameKeyRules::KeyOf(const char* text, bool name, std::string* key) const {
  key->clear();
  if (text == nullptr) return;
  const std::string_view bytes(text);
  key->resize(bytes.size());
  key->resize(KeyInto(bytes, name, key->data()));
}

bool NameTable::AddKey(uint16_t row, const char* name, const NameKeyRules& rules) {
  keyed_ = true;
  if (name == nullptr) return false;
  return AddKey(row, std::string_view(name), rules);
}

bool NameTable::AddKey(uint16_t row, std::string_view name, const NameKeyRules& rules) {
  keyed_ = true;
  // Room for the name's bytes and eight more (read with the key's first
  // bytes below), made in steps.
  const std::size_t room = name.size() + 8;
  if (keyBytes_.size() - keyUsed_ < room)
    keyBytes_.resize(std::max(2 * keyBytes_.size(), keyUsed_ + room + 256));
  char* const key = keyBytes_.data() + keyUsed_;
  const std::size_t length = KeyBytesInto(rules, name, true, key);
  if (length == 0) return false;
  // Its first eight bytes, zeros past its end.
  std::memset(key + length, 0, 8);
  uint64_t head;
  std::memcpy(&head, key, 8);
  head = __builtin_bswap64(head);
  keys_.push_back({head, static_cast<uint32_t>(keyUsed_), row});
  keyUsed_ += length;
  return true;
}

namespace {

// The element size of each section of an image.
constexpr std::size_t kElementSize[NameTableHeader::kSectionCount] = {4, 8, 4, 2, 2, 4, 2, 1};

constexpr std::size_t AlignUp(std::size_t n) { return (n + 7) & ~std::size_t{7}; }

// A key while the keys are sorted, as one number: eight of its bytes from
// where the sort has come to (big-endian, zeros past its end, which no key
// byte is) above its row above the entry it is.
using KeyEntry = unsigned __int128;

uint64_t ChunkOf(KeyEntry e) { return static_cast<uint64_t>(e >> 64); }
uint16_t RowOf(KeyEntry e) { return static_cast<uint16_t>(static_cast<uint64_t>(e) >> 32); }
uint32_t IndexOf(KeyEntry e) { return static_cast<uint32_t>(e); }

// The keys as added: key i is the bytes from its start to the next key's
// (the end of the bytes for the last).
template <typename Added>
struct AddedKeys {
  const char* bytes;
  std::size_t size;
  const std::vector<Added>& keys;
  std::string_view At(std::size_t i) const {
    const std::size_t end = i + 1 < keys.size() ? keys[i + 1].start : size;
    return std::string_view(bytes + keys[i].start, end - keys[i].start);
  }
};

uint64_t ChunkOf(std::string_view key, std::size_t at) {
  if (at + 8 <= key.size()) {
    uint64_t chunk;
    std::memcpy(&chunk, key.data() + at, 8);
    return __builtin_bswap64(chunk);
  }
  uint64_t chunk = 0;
  for (std::size_t k = at; k < at + 8; ++k)
    chunk = (chunk << 8) | (k < key.size() ? static_cast<unsigned char>(key[k]) : 0u);
  return chunk;
}

KeyEntry WithChunk(KeyEntry e, uint64_t chunk) {
  return (static_cast<KeyEntry>(chunk) << 64) | static_cast<uint64_t>(e);
}

template <typename Keys>
void SortKeys(KeyEntry* begin, KeyEntry* end, std::size_t at, const Keys& keys);

// Entries sorted by the eight bytes of their keys from byte at: those that
// agree in them are sorted by the bytes after them, unless their keys end
// there (equal keys, by row).
template <typename Keys>
void SortTies(KeyEntry* begin, KeyEntry* end, std::size_t at, const Keys& keys) {
  for (KeyEntry* run = begin; run != end;) {
    KeyEntry* next = run + 1;
    while (next != end && ChunkOf(*next) == ChunkOf(*run)) ++next;
    if (next - run > 1 && (ChunkOf(*run) & 0xFFu) != 0) SortKeys(run, next, at + 8, keys);
    run = next;
  }
}

// Sorts entries whose keys agree before byte at: by the eight bytes from
// there, then row; then their ties.
template <typename Keys>
void SortKeys(KeyEntry* begin, KeyEntry* end, std::size_t at, const Keys& keys) {
  for (KeyEntry* e = begin; e != end; ++e) *e = WithChunk(*e, ChunkOf(keys.At(IndexOf(*e)), at));
  std::sort(begin, end);
  SortTies(begin, end, at, keys);
}

// The keys' entries (the first eight bytes of each key above its row
// above its place as added) into order, ascending as std::sort puts them:
// placed by their first bytes (a count, then one pass), the entries of
// each first byte then sorted on their own, so that a table's many keys
// are not all compared with each other.
template <typename Added>
void PlaceKeys(const std::vector<Added>& keys, KeyEntry* order) {
  const std::size_t n = keys.size();
  uint32_t starts[257] = {};
  for (std::size_t i = 0; i < n; ++i) ++starts[(keys[i].head >> 56) + 1];
  for (int b = 1; b <= 256; ++b) starts[b] += starts[b - 1];
  uint32_t next[256];
  std::memcpy(next, starts, sizeof next);
  for (std::size_t i = 0; i < n; ++i) {
    order[next[keys[i].head >> 56]++] =
        WithChunk((static_cast<uint64_t>(keys[i].row) << 32) | i, keys[i].head);
  }
  for (int b = 0; b < 256; ++b) {
    if (starts[b + 1] - starts[b] > 1) std::sort(order + starts[b], order + starts[b + 1]);
  }
}

}  // namespace

void NameTable::Finish(uint16_t count) {
  if (complete) return;
  SortUniqueByKey(&heads_);
  SortUniqueByKey(&windows_);
  SortUnique(&pairs_);
  SortUnique(&numerals_);
  SortUnique(&always_);

  // The keys ascending by key, then row, each (key, row) once.
  const AddedKeys<AddedKey> added{keyBytes_.data(), keyUsed_, keys_};
  const std::size_t keys = keys_.size();
  // (Not set before: PlaceKeys writes each entry.)
  const std::unique_ptr<KeyEntry[]> order(new KeyEntry[keys]);
  PlaceKeys(keys_, order.get());
  SortTies(order.get(), order.get() + keys, 0, added);
  std::size_t kept = 0;
  std::size_t keyBytes = keyUsed_;  // every key's bytes, less those of the repeats
  for (std::size_t k = 0; k < keys; ++k) {
    if (kept > 0 && RowOf(order[kept - 1]) == RowOf(order[k])) {
      const std::string_view key = added.At(IndexOf(order[k]));
      if (added.At(IndexOf(order[kept - 1])) == key) {
        keyBytes -= key.size();
        continue;
      }
    }
    if (kept != k) order[kept] = order[k];
    ++kept;
  }

  NameTableHeader header{};
  header.magic = NameTableHeader::kMagic;
  header.format = NameTableHeader::kFormat;
  header.rows = count;
  header.keyed = keyed_ ? 1 : 0;
  const std::size_t counts[NameTableHeader::kSectionCount] = {
      heads_.size(),         pairs_.size(), windows_.size(), numerals_.size(), always_.size(),
      keyed_ ? kept + 1 : 0, kept,          keyBytes};
  std::size_t size = sizeof header;
  for (uint32_t s = 0; s < NameTableHeader::kSectionCount; ++s) {
    header.sections[s] = {static_cast<uint32_t>(size), static_cast<uint32_t>(counts[s])};
    size = AlignUp(size + counts[s] * kElementSize[s]);
  }
  header.size = static_cast<uint32_t>(size);

  // (Not set before: the header and every list are written below, and
  // the zeros after each list. A word more than the image: the key bytes
  // are copied eight at a time, each key's last eight past its end, which
  // the next key's bytes, the zeros after the list or that word take.)
  auto words = std::make_shared_for_overwrite<uint64_t[]>(size / 8 + 1);
  char* const image = reinterpret_cast<char*>(words.get());
  std::memcpy(image, &header, sizeof header);
  auto put = [&](Section s, const auto& list) {
    if (!list.empty())
      std::memcpy(image + header.sections[s].offset, list.data(), list.size() * sizeof list[0]);
  };
  put(NameTableHeader::kHeads, heads_);
  put(NameTableHeader::kPairs, pairs_);
  put(NameTableHeader::kWindows, windows_);
  put(NameTableHeader::kNumerals, numerals_);
  put(NameTableHeader::kAlways, always_);
  if (keyed_) {
    char* starts = image + header.sections[NameTableHeader::kKeyStarts].offset;
    char* rows = image + header.sections[NameTableHeader::kKeyRows].offset;
    char* bytes = image + header.sections[NameTableHeader::kKeyBytes].offset;
    uint32_t at = 0;
    for (std::size_t k = 0; k < kept; ++k) {
      const std::string_view key = added.At(IndexOf(order[k]));
      const uint16_t row = RowOf(order[k]);
      std::memcpy(starts + 4 * k, &at, 4);
      std::memcpy(rows + 2 * k, &row, 2);
      // (The added bytes hold eight more after each key: AddKey's room.)
      for (std::size_t c = 0; c < key.size(); c += 8) {
        uint64_t chunk;
        std::memcpy(&chunk, key.data() + c, 8);
        std::memcpy(bytes + at + c, &chunk, 8);
      }
      at += static_cast<uint32_t>(key.size());
    }
    std::memcpy(starts + 4 * kept, &at, 4);
  }
  for (uint32_t s = 0; s < NameTableHeader::kSectionCount; ++s) {
    const std::size_t end = header.sections[s].offset + counts[s] * kElementSize[s];
    std::memset(image + end, 0, AlignUp(end) - end);
  }

  Release(&heads_);
  Release(&pairs_);
  Release(&windows_);
  Release(&numerals_);
  Release(&always_);
  Release(&keyBytes_);
  keyUsed_ = 0;
  Release(&keys_);
  header_ = header;
  image_ = image;
  hold_ = std::move(words);
  complete = true;
}

std::string_view NameTable::KeyAt(std::size_t i) const {
  const NameTableList<uint32_t> starts = List<uint32_t>(NameTableHeader::kKeyStarts);
  const NameTableHeader::Extent& bytes = header_.sections[NameTableHeader::kKeyBytes];
  // Kept within the key bytes whatever the starts say.
  const uint32_t end = std::min(starts[i + 1], bytes.count);
  const uint32_t begin = std::min(starts[i], end);
  return std::string_view(image_ + bytes.offset + begin, end - begin);
}

void NameTable::AppendTo(std::string* out) const {
  out->resize(AlignUp(out->size()), '\0');
  if (image_ != nullptr) {
    out->append(image_, header_.size);
    return;
  }
  // No table yet: the image of an empty one of no rows.
  NameTableHeader header{};
  header.magic = NameTableHeader::kMagic;
  header.format = NameTableHeader::kFormat;
  header.size = sizeof header;
  for (NameTableHeader::Extent& e : header.sections) e = {sizeof header, 0};
  out->append(reinterpret_cast<const char*>(&header), sizeof header);
}

bool NameTable::View(const char* image, std::size_t size, uint16_t count,
                     std::shared_ptr<const void> hold) {
  NameTableHeader header;
  if (image == nullptr || reinterpret_cast<std::uintptr_t>(image) % 8 != 0 || size < sizeof header)
    return false;
  std::memcpy(&header, image, sizeof header);
  if (header.magic != NameTableHeader::kMagic || header.format != NameTableHeader::kFormat ||
      header.rows != count || header.size != size || header.keyed > 1)
    return false;
  for (uint32_t s = 0; s < NameTableHeader::kSectionCount; ++s) {
    const NameTableHeader::Extent& e = header.sections[s];
    if (e.offset % 8 != 0 || e.offset < sizeof header || e.offset > size ||
        e.count > (size - e.offset) / kElementSize[s])
      return false;
  }
  const uint32_t starts = header.sections[NameTableHeader::kKeyStarts].count;
  const uint32_t rows = header.sections[NameTableHeader::kKeyRows].count;
  const uint32_t bytes = header.sections[NameTableHeader::kKeyBytes].count;
  if (header.keyed ? starts != rows + 1 : (starts | rows | bytes) != 0) return false;
  NameTable viewed;
  viewed.complete = true;
  viewed.extraSignature = std::move(extraSignature);
  viewed.keyed_ = header.keyed != 0;
  viewed.header_ = header;
  viewed.image_ = image;
  viewed.hold_ = std::move(hold);
  *this = std::move(viewed);
  return true;
}

bool NameTable::View(CDerivedBytesReader* in, uint16_t count, std::shared_ptr<const void> hold) {
  const char* zeros = nullptr;
  const std::size_t padding = (8 - reinterpret_cast<std::uintptr_t>(in->Here()) % 8) % 8;
  if (!in->GetBytes(padding, &zeros)) return false;
  for (std::size_t k = 0; k < padding; ++k) {
    if (zeros[k] != '\0') return false;
  }
  uint32_t size = 0;
  const char* image = nullptr;
  if (in->Remaining() < sizeof(NameTableHeader)) return false;
  std::memcpy(&size, in->Here() + offsetof(NameTableHeader, size), sizeof size);
  return in->GetBytes(size, &image) && View(image, size, count, std::move(hold));
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
