#pragma once
// Which rows of a name level (the municipalities of a prefecture, the oaza
// rows of a municipality) a level compares with the text at its cursor.
//
// Every comparison a level makes between a row's name and the text accepts
// the row only when the two begin alike: the same first character, a
// numeral at the head of both (numerals of either script count as equal),
// or the same first character after the user's extra replacement pairs were
// applied to both. Past a first character that is no numeral, a second
// character that is a double-byte non-numeral must be the same too. A name table keeps, per row,
// the first characters its names can begin with in those forms; a query holds the first characters
// of the texts the level compares. The rows that can pass are the rows that
// share one of them with the query, the rows with a numeral at the head
// when the query has one, and the rows whose acceptance no first character
// bounds (an empty name, a name whose head is a single-byte character):
// those are always tried. A query that cannot be bounded either asks for
// every row.
//
// The oaza level's table of kanji names files them instead by their firm
// keys (NameKeyRules below), and by their heads only the names whose key
// is empty: the rows that can pass are those whose key begins the key of
// one of the texts the level compares, found by a binary search for each
// prefix of that key, and those of the names without a key that the heads
// give; many names that share their first characters (the towns of a
// former municipality under its name) then no longer all come to be
// compared.
//
// The levels then try exactly those rows in ascending order with their
// usual comparisons, so the result is the one of trying every row. Where a
// row of the level could not be read while the table was built, the table
// is incomplete and every row is tried (so that the read fails where it
// always did).

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CDerivedBytesReader;
class CRecordList;

// The firm key of a name: what every comparison of the oaza level keeps.
// A firm character is a kanji of JIS levels 1 and 2 that no variant form
// of the comparisons touches: no numeral (numerals of either script count
// as equal), none of 大 字 (the aza words dropped anywhere), 上 下 東 西 入
// 通 町 (direction and street words, skipped or taken on one side only),
// and none that a pair of the user's extra pairs or of the replacement
// list holds (the pairs change only runs of such characters). Every
// variant form adds, drops or changes characters that are not firm only:
// kana (connecting kana), numerals, pair texts, aza, direction and street
// words. The key of a text is its firm characters in order, up to its
// first 々 (the iteration mark is written out in one variant, which makes
// characters firm that were not; the text with its first mark written out
// is a text of its own in a query). The key of a name also drops its
// trailing characters that are not firm or are those of a unit word (町 村
// 番 条 地割 ...): a name that ends in a unit word matches a text that has a
// number in its place. So a name the level takes for a text has a key
// that begins the text's key (or that of one of the query's texts).
struct NameKeyRules {
  bool unbounded = false;       // a pair no key can follow (a lone lead byte, 々)
  std::vector<uint16_t> loose;  // characters of the pairs, sorted
  // From Finish: a bit per double-byte code, set for the firm kanji (so
  // that a key is made with one look per character).
  std::vector<uint64_t> firm;

  // The rules of the two pair lists (either may be null).
  void AddPairs(const CRecordList* list);
  void Finish();
  // The key of the text (a name: trailing loose and unit characters dropped).
  void KeyOf(const char* text, bool name, std::string* key) const;
  // The same for a text given by its bytes (a NUL among them ends it),
  // written to out, which has room for the text's bytes (a key is never
  // longer); its length. The bytes after the key up to the text's length
  // may be written too.
  std::size_t KeyInto(std::string_view text, bool name, char* out) const;
};

// The head of a table's image (NameTable below): what it is, the rows it
// lists, and where each of its lists lies. Numbers are in the machine's
// own byte order (an image is only read by the build that wrote it).
struct NameTableHeader {
  enum Section : uint32_t {
    kHeads,      // uint32: head << 16 | row
    kPairs,      // uint64: (head << 16 | second character) << 16 | row
    kWindows,    // uint32: two bytes << 16 | row
    kNumerals,   // uint16: rows
    kAlways,     // uint16: rows
    kKeyStarts,  // uint32: where each key begins in the key bytes, and where the last ends
    kKeyRows,    // uint16: the row of each key
    kKeyBytes,   // the keys' bytes
    kSectionCount
  };
  static constexpr uint32_t kMagic = 0x4E544254;  // "TBTN"
  static constexpr uint16_t kFormat = 1;
  struct Extent {
    uint32_t offset;  // from the image's start, a multiple of 8
    uint32_t count;   // elements
  };
  uint32_t magic;
  uint16_t format;
  uint16_t rows;   // the table lists rows 1..rows
  uint32_t size;   // of the whole image, a multiple of 8
  uint32_t keyed;  // 0 or 1
  Extent sections[kSectionCount];
};

// A list of a table's image, read element by element (the image's bytes
// hold no objects of the element type: each is copied out as it is read).
template <typename T>
class NameTableList {
 public:
  NameTableList() = default;
  NameTableList(const char* at, std::size_t size) : at_(at), size_(size) {}
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T operator[](std::size_t i) const {
    T value;
    std::memcpy(&value, at_ + i * sizeof(T), sizeof(T));
    return value;
  }

 private:
  const char* at_ = nullptr;
  std::size_t size_ = 0;
};

// An allocator that leaves new elements unset (a vector of bytes made
// larger with it writes nothing into them).
template <typename T>
struct UnsetAllocator : std::allocator<T> {
  using value_type = T;
  template <typename U>
  struct rebind {
    using other = UnsetAllocator<U>;
  };
  UnsetAllocator() = default;
  template <typename U>
  UnsetAllocator(const UnsetAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

// The first characters of the names of one list of rows (rows 1-based).
//
// A table is made row by row (AddName, AddKey), then finished (Finish),
// which lays its lists out in one flat image: a NameTableHeader, then each
// list at an offset that is a multiple of 8, zeros between. The heads,
// pairs and windows are numbers with the row in their low 16 bits,
// ascending (so in the order of their keys, then rows); the numeral and
// always lists are ascending rows; the keys are ascending by key, then
// row, each entry once. A finished table owns its image; a table read
// from the store of derived values views the stored image in place
// (View), without reading its lists: they are read only where a query
// looks, and every row they give is kept to 1..count there.
struct NameTable {
  bool complete = false;       // finished, or viewing an image
  std::string extraSignature;  // the extra pairs the table was made with

  // Room for the names of this many rows, filed by keys or by heads.
  void Reserve(std::size_t rows, bool keys);
  // Adds a name of the row as the level compares it: its head, its head
  // after the extra pairs (withHeadAlone: also of its first character
  // alone), and, with windows, every two bytes of it (for the rows a
  // replacement pair could change). withSecond: the level compares the
  // name with the tolerant comparison alone, so that its second character
  // bounds it too (a level with variant forms that only need the first
  // character to agree keys the name by its head). The heads of a name
  // whose second character does not bound it (a numeral, a single-byte
  // character, none) go to the heads, the others to the pairs.
  void AddName(uint16_t row, const char* name, const CRecordList* extra, bool withHeadAlone,
               bool withWindows, bool withSecond = false);
  // Adds the firm key of a name of the row (the table is then keyed);
  // false for a name whose key is empty, which is not kept: such a name
  // is to be added by its heads (AddName). In a keyed table the other
  // lists hold only the names whose key is empty.
  bool AddKey(uint16_t row, const char* name, const NameKeyRules& rules);
  // The same for a name given by its bytes, which a NUL among them ends.
  bool AddKey(uint16_t row, std::string_view name, const NameKeyRules& rules);
  // Sorts and folds the lists into the image of a table of rows
  // 1..count; the table is complete from then on (nothing more is added).
  void Finish(uint16_t count);

  // Appends the image of a complete table (without its extra pairs, which
  // the store's key names), first padding out with zeros to a multiple of
  // 8 bytes, so that the image starts 8-aligned from the start of out.
  void AppendTo(std::string* out) const;
  // Views an image of a table of rows 1..count in place: image is 8-aligned
  // and stays as it is while hold lives (the table keeps hold). Checks the
  // image's structure only (its magic and format, the count, every list
  // within the size and aligned, the key lists of one length); false, the
  // table left as it was, for anything else. The lists' contents are not
  // read here: the bytes come from the store, which checks them whole.
  bool View(const char* image, std::size_t size, uint16_t count, std::shared_ptr<const void> hold);
  // The same for the image at the reader's place, after the zeros that
  // align it (in a value AppendTo wrote into from its start, read at an
  // 8-aligned address); the reader is left after it.
  bool View(CDerivedBytesReader* in, uint16_t count, std::shared_ptr<const void> hold);

  // The lists of a complete table (empty ones before).
  bool Keyed() const { return keyed_; }
  NameTableList<uint32_t> Heads() const { return List<uint32_t>(NameTableHeader::kHeads); }
  NameTableList<uint64_t> Pairs() const { return List<uint64_t>(NameTableHeader::kPairs); }
  NameTableList<uint32_t> Windows() const { return List<uint32_t>(NameTableHeader::kWindows); }
  NameTableList<uint16_t> Numerals() const { return List<uint16_t>(NameTableHeader::kNumerals); }
  NameTableList<uint16_t> Always() const { return List<uint16_t>(NameTableHeader::kAlways); }
  std::size_t KeyCount() const { return header_.sections[NameTableHeader::kKeyRows].count; }
  // Key i (below KeyCount()): its bytes, never beyond the key bytes.
  std::string_view KeyAt(std::size_t i) const;
  uint16_t KeyRowAt(std::size_t i) const { return List<uint16_t>(NameTableHeader::kKeyRows)[i]; }
  // The image (empty before the table is complete).
  std::string_view Image() const {
    return image_ == nullptr ? std::string_view() : std::string_view(image_, header_.size);
  }
  // What keeps Image()'s bytes (which never change) where they are.
  const std::shared_ptr<const void>& Hold() const { return hold_; }

 private:
  template <typename T>
  NameTableList<T> List(NameTableHeader::Section s) const {
    if (image_ == nullptr) return {};
    return NameTableList<T>(image_ + header_.sections[s].offset, header_.sections[s].count);
  }
  void AddHead(uint16_t row, const char* text, bool withSecond);

  bool keyed_ = false;
  // While the table is made: the lists as added.
  std::vector<uint32_t> heads_;
  std::vector<uint64_t> pairs_;
  std::vector<uint32_t> windows_;
  std::vector<uint16_t> numerals_;
  std::vector<uint16_t> always_;
  // The keys' bytes one after another (keyUsed_ of them, room after
  // them), and of each key its first eight bytes as a number (big-endian,
  // zeros past its end), where it begins and its row.
  std::vector<char, UnsetAllocator<char>> keyBytes_;
  std::size_t keyUsed_ = 0;
  struct AddedKey {
    uint64_t head;
    uint32_t start;
    uint16_t row;
  };
  std::vector<AddedKey> keys_;
  // Once complete: the image, what keeps it, and its header.
  std::shared_ptr<const void> hold_;
  const char* image_ = nullptr;
  NameTableHeader header_{};
};

// What a level compares its rows with.
struct NameQuery {
  bool everything = false;
  bool numeral = false;
  std::vector<uint16_t> heads;    // texts whose second character bounds nothing
  std::vector<uint32_t> pairs;    // heads and second characters of the others
  std::vector<uint16_t> windows;  // rows holding one of these two bytes anywhere
  // The firm keys of the texts the names are compared with; a keyed table
  // then gives only rows whose key begins one of them. unkeyed: the keys
  // bound nothing (rules that no key can follow).
  bool keyed = false;
  bool unkeyed = false;
  std::vector<std::string> keys;

  // A text the names are compared with (tolerantly: numerals and extra
  // pairs); plainOnly: compared by bytes only.
  void AddText(const char* text, const CRecordList* extra, bool plainOnly = false);
  // The search texts of a replacement list whose pairs may change a name.
  void AddChangingPairs(const CRecordList* list);
  // A text the names' firm keys are compared with (the first such call
  // makes the query keyed, unless the rules are unbounded).
  void AddKeyText(const char* text, const NameKeyRules& rules);
};

// Where a level takes its rows from.
class CNameCandidateSource {
 public:
  virtual ~CNameCandidateSource() = default;
  // Whether Select reads a table (when not, the levels build none).
  virtual bool UsesTables() const = 0;
  // The rows of 1..count to try, ascending.
  virtual void Select(const NameTable* table, const NameQuery& query, uint16_t count,
                      std::vector<uint16_t>* rows) const = 0;
};

// The source of this thread: the tables, unless a scope set another.
const CNameCandidateSource& CurrentNameCandidateSource();

// Every row, in order: the plain scan.
const CNameCandidateSource& EveryRowSource();

// Sets the source of this thread while it lives.
class CNameCandidateSourceScope {
 public:
  explicit CNameCandidateSourceScope(const CNameCandidateSource* source);
  ~CNameCandidateSourceScope();
  CNameCandidateSourceScope(const CNameCandidateSourceScope&) = delete;
  CNameCandidateSourceScope& operator=(const CNameCandidateSourceScope&) = delete;

 private:
  const CNameCandidateSource* previous_;
};
