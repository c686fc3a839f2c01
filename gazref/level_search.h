#pragma once
// The level walk of the reference library's multi-level address search:
// one prefecture's address index walked level by level (municipality,
// oaza, aza/chome, block and lot) while the address text is consumed name
// by name, writing one 14-field row per entry the text leads to, or adding
// fallback candidates where a level wrote nothing.
//
// Row (FormatRow), fields 1-based:
//   1 prefecture, 2 county + municipality, 3 their readings, 4 oaza,
//   5 its reading, 6 aza/chome, 7 its reading, 8 block (with its footer),
//   9 lot (with its footer), 10 latitude, 11 longitude, 12 code,
//   13 state flag, 14 level (3 oaza, 4 aza/chome, 5 block, 6 lot).
// Fields deeper than the row's level are empty. Codes: oaza 地名コード
// without its characters 9 to 11; aza/chome 地名コード; block 地名コード +
// the block code padded to 5; lot 地名コード + block code + lot code.
//
// Every level answers 1 (success, also a skip) or 0 (failure: the search
// ends; the message is in the caller's buffer). The caller's stop flag is
// read (atomically) after every descent and between siblings; once it is
// 1 every level returns 1 at once. A writer that finds the row limit
// reached sets the stop flag to 1 and writes nothing.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "common/record_array.h"
#include "common/record_stack.h"
#include "matching/adrs_context.h"
#include "tabledb/place_code_registry.h"
#include "tabledb/tix_format.h"

class CAdrsEngine;
class CEditText;

// Candidate kinds.
enum LevelCandidateKind : uint8_t {
  kCandidateOaza = 1,
  kCandidateChome = 2,
  kCandidateBlock = 3,
};

// A fallback candidate: the oaza or aza/chome record position, or the
// block level's child base and count with the place code and block text;
// row is the formatted row of the level the text stopped at.
struct LevelCandidate {
  uint8_t prefecture = 0;
  uint8_t kind = 0;
  uint32_t key = 0;
  uint16_t childCount = 0;
  std::string placeCode;
  std::string blockText;
  std::string row;
};

// The fallback list of one search. Candidates are written only when the
// whole search wrote no row directly (the expandable flag, cleared by the
// first such row).
class CCandidateSet {
 public:
  void SetPrefecture(uint8_t code) { prefecture_ = code; }
  uint8_t GetPrefecture() const { return prefecture_; }
  int32_t IsExpandable() const { return expandable_; }
  void ClearExpandable() { expandable_ = 0; }
  std::size_t Count() const { return candidates_.size(); }
  const LevelCandidate& At(std::size_t i) const { return candidates_[i]; }
  // Adds the candidate under the current prefecture unless an equal one
  // (prefecture, kind, key, child count and texts) is held.
  void Add(LevelCandidate candidate);

 private:
  uint8_t prefecture_ = 0;
  int32_t expandable_ = 1;
  std::vector<LevelCandidate> candidates_;
};

// One municipality the pre-scan found at the head of the text.
struct PrescanTriple {
  std::string cityCode;  // 行政JISコード
  std::string name;      // 正規郡名 + 正規市区町村名
  std::string rest;      // the rest of the text as the user wrote it
};
using PrescanList = std::vector<PrescanTriple>;

// The fields of a row (or any text) cut at every ",".
std::vector<std::string> SplitRowFields(const std::string& row);

// The stop flag read and written atomically (another thread may set it).
inline int32_t ReadStopFlag(int32_t* flag) {
  return std::atomic_ref<int32_t>(*flag).load(std::memory_order_relaxed);
}
inline void WriteStopFlag(int32_t* flag, int32_t value) {
  std::atomic_ref<int32_t>(*flag).store(value, std::memory_order_relaxed);
}

class CLevelCollector {
 public:
  // Name texts, in row order with the prefecture reading second.
  enum Name {
    kPrefecture = 0,
    kPrefectureReading,
    kCity,
    kCityReading,
    kOaza,
    kOazaReading,
    kChome,
    kChomeReading,
    kBlock,
    kLot,
    kNameCount
  };

  CLevelCollector() { Clear(); }
  CLevelCollector(const CLevelCollector&) = delete;
  CLevelCollector& operator=(const CLevelCollector&) = delete;

  // Empties every text and number, drops the references; the free-descent
  // switch becomes 1.
  void Clear();
  // The candidate set of the search, given the prefecture code.
  void AttachCandidateSet(CCandidateSet* set, uint8_t prefecture);
  // Clear, then the writer, dictionaries, row counter, row limit (negative:
  // none), stop flag, free-descent switch and engine; both code registries
  // emptied.
  int Setup(CAdrsContext* writer, CCharDictionary* unification, CRecordList* replacements,
            int32_t* rowCount, int32_t maxRows, int32_t* stopFlag, int32_t freeDescent,
            CAdrsEngine* engine);
  // The level and the names given (null keeps a name as it is).
  void SetLevelFields(int32_t level, const char* const names[kNameCount]);
  void SetName(Name n, const std::string& text) { names_[n] = text; }
  const std::string& GetName(Name n) const { return names_[n]; }
  int32_t GetLevel() const { return level_; }
  void SetLevel(int32_t level) { level_ = level; }
  void SetRowCode(const std::string& code, int32_t latitude, int32_t longitude, int32_t state);
  // The row of the current level; names deeper than the level are written
  // empty.
  std::string FormatRow() const;
  int32_t IsStopped() const { return stopFlag_ ? ReadStopFlag(stopFlag_) : 1; }

  // ---- Levels ----
  int PrescanCityLevel(CEditText* text, PrescanList* list, char* msg);
  int SearchCities(CEditText* text, char* msg);
  int SearchOaza(CEditText* text, const TixEntry& city, char* msg);
  int SearchChome(CEditText* text, const TixEntry& oaza, char* msg);
  int SearchBlocksAndLots(CEditText* text, const TixEntry& chome, char* msg);

  // ---- Fillers: 1 filled, -1 skipped by the state flag, 0 failed ----
  int FillPrefecture(uint32_t record, char* msg);
  int FillCity(uint32_t record, char* msg);
  int FillOaza(uint32_t record, char* msg);
  int FillChome(uint32_t record, char* msg);
  int FillPlaceName(uint32_t record, bool chome, char* msg);

  // ---- Row writers ----
  int WriteOazaRow(uint32_t record, char* msg);
  int WriteChomeRow(uint32_t record, char* msg);
  // Blocks of TC_Gaiku under an aza/chome (its child base and count) whose
  // number equals (exact) or begins with the block text or its normalised
  // form; an empty text in prefix mode takes every block.
  int ListBlocks(uint32_t childBase, uint16_t childCount, const std::string& blockText, bool exact,
                 char* msg);
  // The blocks of the place code in the change-code index, compared alike.
  int ListHistoryBlocks(const std::string& placeCode, const std::string& blockText, bool exact,
                        char* msg);
  // The lots under the change-code index block at blockPosition.
  int ListHistoryLots(const std::string& placeCode, uint32_t blockPosition,
                      const std::string& lotText, bool exact, char* msg);

  // ---- Comparisons (normalised texts; 0 for no match) ----
  int MatchCityName(CEditText* text, const char* replaced, const std::string& county,
                    const std::string& city) const;
  int MatchCityStart(const char* text, const char* replaced, const std::string& county,
                     const std::string& city) const;
  int MatchOazaName(const char* text, const char* name) const;
  int MatchChomeName(const char* text, const char* name) const;
  // 1 when the rest of the text (current or as written) begins the name.
  static int StartsName(const CEditText* text, const char* name);

 private:
  int Kana() const;
  // The row limit: 1 (and the stop flag set) when no more rows may be
  // written.
  bool LimitReached();
  int WriteRow(const char* table, char* msg);
  // The replaced copy of the text (the engine's extra replacement list
  // applied), "" when there is no such list.
  std::string ReplacedCopy(const CEditText* text) const;
  // The block fields of a change-code index block: field 8 its name with
  // the block footer; 0 when the entry cannot be read.
  int FillHistoryBlock(uint32_t blockPosition, char* msg);
  int ReadCityNames(uint32_t record, std::string* county, std::string* city, char* msg);
  void SetMatchedRows(uint32_t chomeRecord);
  void AddCandidate(uint8_t kind, uint32_t key, uint16_t childCount, const std::string& placeCode,
                    const std::string& blockText);

  int32_t state_ = 0;
  CAdrsContext* writer_ = nullptr;
  CCharDictionary* unification_ = nullptr;
  CRecordList* replacements_ = nullptr;
  int32_t* rowCount_ = nullptr;
  int32_t maxRows_ = -1;
  int32_t* stopFlag_ = nullptr;
  int32_t freeDescent_ = 1;
  CAdrsEngine* engine_ = nullptr;
  CCandidateSet* candidates_ = nullptr;
  std::string names_[kNameCount];
  int32_t level_ = 0;
  std::string code_;
  int32_t latitude_ = 0;
  int32_t longitude_ = 0;
  int32_t stateFlag_ = 0;
  CPlaceCodeRegistry blockCodes_;
  CPlaceCodeRegistry lotCodes_;
  // Records of the entries the walk stands on (the matched rows the result
  // line builder reads).
  uint32_t prefectureRecord_ = 0;
  uint32_t cityRecord_ = 0;
};
