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

#include <cstdint>
#include <string>
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
  // From Finish: a bit per double-byte code, set for the kanji that are
  // never firm whatever the numerals (the pairs' and the words' above).
  std::vector<uint64_t> notFirm;

  // The rules of the two pair lists (either may be null).
  void AddPairs(const CRecordList* list);
  void Finish();
  // The key of the text (a name: trailing loose and unit characters dropped).
  void KeyOf(const char* text, bool name, std::string* key) const;
};

// The first characters of the names of one list of rows (rows 1-based).
struct NameTable {
  bool complete = false;
  std::string extraSignature;  // the extra pairs the table was made with
  // (head, row): names whose second character does not bound them (a
  // numeral, a single-byte character, none).
  std::vector<std::pair<uint16_t, uint16_t>> byHead;
  // (head and second character, row): the other names.
  std::vector<std::pair<uint32_t, uint16_t>> byPair;
  std::vector<std::pair<uint16_t, uint16_t>> byWindow;  // (two bytes anywhere, row), sorted
  std::vector<uint16_t> numeral;  // rows with a name that begins with a numeral
  std::vector<uint16_t> always;   // rows no head bounds
  // The firm keys of the rows' names (NameKeyRules), ascending with their
  // rows, none empty: entry i is the bytes keyEnds[i - 1] (0 for the first)
  // to keyEnds[i] of keyBytes, of row keyRows[i]. In a keyed table the
  // lists above hold only the names whose key is empty.
  bool keyed = false;
  std::string keyBytes;
  std::vector<uint32_t> keyEnds;
  std::vector<uint16_t> keyRows;

  // Adds a name of the row as the level compares it: its head, its head
  // after the extra pairs (withHeadAlone: also of its first character
  // alone), and, with windows, every two bytes of it (for the rows a
  // replacement pair could change). withSecond: the level compares the
  // name with the tolerant comparison alone, so that its second character
  // bounds it too (a level with variant forms that only need the first
  // character to agree keys the name by its head).
  void AddName(uint16_t row, const char* name, const CRecordList* extra, bool withHeadAlone,
               bool withWindows, bool withSecond = false);
  // Adds the firm key of a name of the row (the table is then keyed);
  // false for a name whose key is empty, which is not kept: such a name
  // is to be added by its heads (AddName).
  bool AddKey(uint16_t row, const char* name, const NameKeyRules& rules);
  // Sorts and folds the lists; the table is complete from then on.
  void Finish();

  // A complete table as bytes for a cache file (without its extra pairs,
  // which the file's key names), and back: ReadFrom takes a table of rows
  // 1..count and refuses bytes that are no finished table of them (cut
  // short, a list out of order or with a repeat, a row out of range).
  void AppendTo(std::string* out) const;
  bool ReadFrom(CDerivedBytesReader* in, uint16_t count);
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
