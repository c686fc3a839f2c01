#pragma once
// CAdrsEngine, the per-prefecture object that opens the address index
// (QVAD%02d.TIX, format and entry readers in tabledb/tix_format.h) and
// carries everything one address search needs beside the table database:
// the attached database, context and dictionaries, the change-history
// readers and the state of the last match.
//
// Every operation answers 1 (or a value) for success and 0 for failure;
// nothing throws. The entry readers and CheckReady write a message into the
// caller's buffer (kMessageSize bytes, null for none); Open and the setters
// write none.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/record_array.h"
#include "matching/name_candidates.h"
#include "tabledb/change_code_index.h"
#include "tabledb/change_history.h"
#include "tabledb/data_source.h"
#include "tabledb/tix_format.h"

class CAdrsContext;
class CCharDictionary;
class CEditText;
class CPlaceCodeRegistry;
class CTableDatabase;
struct NameLevelResult;
struct NameTable;

// Precision class (1 to 7) of a coordinate scale text: "10000" or "1" 1,
// "2000" or "20" 2, "25000" or "2" 3, "50000" or "3" 4, "70000" or "7" 5,
// "80000" or "8" 6, anything else 7. With shortCodes 0 (the reference
// library's form) only the scale texts are known and the short codes give 7.
int PrecisionFromScale(const char* text, int shortCodes = 1);
// The same over the low 8 bits of a scale code: 1 gives 1, 20 gives 2, 2
// gives 3, 3 gives 4, 7 gives 5, 8 gives 6, any other 7.
int PrecisionFromScaleCode(int32_t code);

// Writes the address tree of one data set (DumpAddressTree) into a new
// text file: the index kind is probed in the index's folder
// (ProbeIndexFiles). 0 with "ファイルの作成に失敗しました！(%s)" (the output),
// "ファイルオープンエラー!(%s)" (the database or the index) or the dump's
// message; the output file is removed again after a failure. Defined in
// matching/.
int DumpDatasetToFile(const char* ndbPath, const char* tixPath, const char* outputFile, char* msg);

// ---- Work records of the number levels (in-memory, fixed layouts) ----

// What a neighbour of an estimate is (the found flag of its records).
enum NeighbourKind : uint8_t {
  kNeighbourBlockRow = 1,      // reference: entry number of a TC_Gaiku block
  kNeighbourChangeRecord = 2,  // reference: change-history record number
  kNeighbourCodeIndexLot = 3,  // reference: lot-candidate number (change-code index)
  kNeighbourNone = 255,        // absent / dropped
};

#pragma pack(push, 1)
// A record of the lower and upper neighbour lists of the estimation.
struct NeighbourRecord {
  uint8_t found;      // NeighbourKind
  int32_t reference;  // by the kind
  int32_t latitude;   // milliseconds of arc, Tokyo datum
  int32_t longitude;
  int32_t number;  // the neighbour's block or lot number
  int32_t status;
  int32_t precision;  // precision class
};
static_assert(sizeof(NeighbourRecord) == 25, "neighbour records are 25 bytes");

// One neighbour inside an estimation record.
struct EstimateNeighbour {
  uint8_t found;  // NeighbourKind; kNeighbourNone for none
  int32_t reference;
  int32_t latitude;
  int32_t longitude;
  int32_t number;
};
static_assert(sizeof(EstimateNeighbour) == 17, "estimate neighbours are 17 bytes");

// A record of the estimation list. An estimated block keeps the child base
// and the block count of its aza/chome; an estimated lot keeps the key range
// of its block's records: the first record and the count (change history),
// or the block entry position and its child count (change-code index).
struct EstimateRecord {
  uint32_t parent;
  uint16_t count;
  EstimateNeighbour lower;
  EstimateNeighbour upper;
  int32_t requested;  // the number asked for
};
static_assert(sizeof(EstimateRecord) == 44, "estimation records are 44 bytes");

// A record of the lot-candidate list: file positions in the change-code
// index of a lot's city, area and block entries and of its change record.
struct LotCandidateRecord {
  uint32_t cityEntry;
  uint32_t areaEntry;
  uint32_t blockEntry;
  uint32_t changeRecord;
};
static_assert(sizeof(LotCandidateRecord) == 16, "lot candidates are 16 bytes");
#pragma pack(pop)

// A lot of the change-code index read back from a lot-candidate record.
struct ChangeCodeLot {
  char cityCode[kChangeCodeTextSize];   // 5 digits
  char areaCode[kChangeCodeTextSize];   // 6 characters
  char blockCode[kChangeCodeTextSize];  // 5 characters
  char blockName[kChangeCodeNameSize];
  char blockSecondName[kChangeCodeNameSize];
  char lotCode[kChangeCodeTextSize];
  char lotName[kChangeCodeNameSize];
  char lotSecondName[kChangeCodeNameSize];
  uint32_t latitude;   // number 1
  uint32_t longitude;  // number 2
  int precisionDigit;
  int precisionCode;  // scale code (1, 2, 3, 7, 8 or 20)
  int classCode;      // the status
};

// The outcome of the block or the lot level (MatchBlock, MatchLot).
// (level, parent, entry) as MatchAddress reports them for levels 5 to 8;
// consumed, status and precision class are the values the level weighed
// its winner by: at the block level the bytes of the normalised text the
// block number (or name) took with its suffix word, at the lot level the
// length of the lot text (0 for an estimated lot).
struct NumberMatch {
  int32_t level = 0;
  int32_t parent = 0;
  int16_t entry = 0;
  int32_t consumed = 0;
  int32_t status = 0;
  int32_t precision = 0;
};

class CEditText;

struct StoredNameTableId;

class CAdrsEngine {
 public:
  // Paths and match texts hold at most this many bytes with their NUL.
  static constexpr std::size_t kPathSize = kPathBufferSize;
  static constexpr std::size_t kTextSize = 512;
  // Record sizes of the work lists.
  static constexpr uint16_t kNeighbourRecordSize = 25;
  static constexpr uint16_t kEstimateRecordSize = 44;
  static constexpr uint16_t kLotCandidateRecordSize = 16;

  CAdrsEngine();
  ~CAdrsEngine();
  CAdrsEngine(const CAdrsEngine&) = delete;
  CAdrsEngine& operator=(const CAdrsEngine&) = delete;

  // ---- Index file ----

  // Closes first, then opens the index read-only through the file's shared
  // image (tabledb/file_cache.h) and reads its header. Kind 1 requires
  // the magic, kind 2 the check bytes over the file's size; any other kind
  // fails. On failure the engine is left closed.
  int Open(const char* path, int32_t kind);
  // Closes the index, detaches the database, closes the readers opened from
  // file names (and forgets their paths) or detaches attached ones, frees
  // the work lists, detaches the dictionary and the replacement list and
  // clears the match state. The switches, the extra replacement list and
  // the context stay.
  void Close();
  int IsOpen() const { return index_.IsOpen(); }
  int32_t GetIndexKind() const { return index_.GetKind(); }
  const char* GetIndexPath() const { return index_.GetPath(); }
  // The header while open; 0 when closed.
  int GetHeader(TixHeader* header) const;

  // 1 when the index is open and a database is attached; else 0 with
  // "インデックスファイルがオープンされていません！" or
  // "データベースがセットされていません！".
  int CheckReady(char* msg) const;
  // Entry n (1-based) of the prefecture level, or entry n under the child
  // base of a parent one level up. A read that fails (outside the file,
  // n = 0) gives "ファイルの読み込みに失敗しました!(%s)" with the index path.
  int ReadPrefectureEntry(uint16_t n, TixEntry* entry, char* msg);
  int ReadCityEntry(uint32_t childBase, uint16_t n, TixEntry* entry, char* msg);
  int ReadOazaEntry(uint32_t childBase, uint16_t n, TixEntry* entry, char* msg);
  int ReadChomeEntry(uint32_t childBase, uint16_t n, TixEntry* entry, char* msg);
  int ReadBlockEntry(uint32_t childBase, uint16_t n, TixEntry* entry, char* msg);
  // Oaza entries first to first + count - 1 under the child base, read a
  // run at a time: the number read, up to the first that ReadOazaEntry
  // would not read (with its message); 0 when CheckReady fails.
  uint32_t ReadOazaEntries(uint32_t childBase, uint16_t first, uint32_t count, TixEntry* entries,
                           char* msg);

  // ---- Child lookups by name and by code (matching/adrs_engine_find.cpp) ----
  // Each walks the entries 1..childCount under a parent (the prefecture
  // level: 1..the prefecture count of the header; the FindNext... forms
  // start at *entry, 0 counting as 1), reads each entry's row in the
  // database and stops at the first that passes the test: *entry = its
  // number, 1. A read that fails gives 0 with the reader's message; when no
  // entry passes, 0 with "データベースに値が見つかりません！[DATABASE:%s]
  // [TABLE:%s][FIELD:%s][VALUE:%s]" (VALUE: the name or code asked for).
  // Every lookup first runs CheckReady. kana = 1 compares the readings.
  //
  //   lookup                 compares                          message names
  //   FindPrefectureByName   正規都道府県名 (正規かな読み都道府県名) equal
  //                                                  TC_Todoufuken 都道府県名
  //   FindCityByName         正規郡名 + 正規市区町村名 (the readings) equal
  //                                                  TC_Shikutyoson 市区町村名
  //   FindOazaByName, FindNextOazaByName
  //                          正規大字通称名 (正規かな読み大字通称名) equal;
  //                          a placeholder name (IsNoOazaName) finds the
  //                          first placeholder row     TC_Oaza 大字通称名
  //   FindChomeByName        正規字丁目名 (正規かな読み字丁目名), likewise
  //                          with IsNoChomeName        TC_Oaza 字丁目名
  //   FindPrefectureByCode   first 2 bytes of 都道府県コード
  //                                                  TC_Todoufuken 都道府県コード
  //   FindCityByCode         first 5 bytes of 行政JISコード
  //                                                  TC_Shikutyoson 行政JISコード
  //   FindOazaByPlaceCode    first 8 bytes of 地名コード  TC_Oaza 地名コード
  //   FindOazaByGroupCode, FindNextOazaByGroupCode
  //                          first 8 bytes of グループコード TC_Oaza グループコード
  //   FindChomeByPlaceCode   first 11 bytes of 地名コード TC_Oaza 地名コード
  // "First n bytes equal" compares up to n bytes or the end of either text.
  // The oaza lookups walk oaza entries (ReadOazaEntry), the chome lookups
  // aza/chome entries (ReadChomeEntry).
  int FindPrefectureByName(const char* name, int32_t kana, uint16_t* entry, char* msg);
  int FindCityByName(const char* name, int32_t kana, uint32_t childBase, uint16_t childCount,
                     uint16_t* entry, char* msg);
  int FindOazaByName(const char* name, int32_t kana, uint32_t childBase, uint16_t childCount,
                     uint16_t* entry, char* msg);
  int FindNextOazaByName(const char* name, int32_t kana, uint32_t childBase, uint16_t childCount,
                         uint16_t* entry, char* msg);
  int FindChomeByName(const char* name, int32_t kana, uint32_t childBase, uint16_t childCount,
                      uint16_t* entry, char* msg);
  int FindPrefectureByCode(const char* code, uint16_t* entry, char* msg);
  int FindCityByCode(const char* code, uint32_t childBase, uint16_t childCount, uint16_t* entry,
                     char* msg);
  int FindOazaByPlaceCode(const char* code, uint32_t childBase, uint16_t childCount,
                          uint16_t* entry, char* msg);
  int FindOazaByGroupCode(const char* code, uint32_t childBase, uint16_t childCount,
                          uint16_t* entry, char* msg);
  int FindNextOazaByGroupCode(const char* code, uint32_t childBase, uint16_t childCount,
                              uint16_t* entry, char* msg);
  int FindChomeByPlaceCode(const char* code, uint32_t childBase, uint16_t childCount,
                           uint16_t* entry, char* msg);

  // ---- Attachments (none is owned) ----

  int SetDatabase(CTableDatabase* database);
  CTableDatabase* GetDatabase() const { return database_; }
  int SetContext(CAdrsContext* context);
  CAdrsContext* GetContext() const { return context_; }
  void SetDictionaries(CCharDictionary* dictionary, CRecordList* replacementList);
  void SetExtraReplacementList(CRecordList* list);
  // The lists attached (null for none).
  CRecordList* GetReplacementList() const { return replacementList_; }
  CRecordList* GetExtraReplacementList() const { return extraReplacementList_; }

  // ---- Change history (.CDB/.CIX) ----

  // Uses the caller's open reader (null detaches); a reader the engine had
  // opened from file names is closed first.
  int AttachChangeHistory(CChangeHistory* reader);
  // Keeps both paths for the engine's own reader, which opens on the next
  // HasChangeHistory. 0 (nothing changed) for a null or over-long path.
  int SetChangeHistoryFiles(const char* dataPath, const char* indexPath);
  // 0 when the attached context does not use the change history. With file
  // names, the first call after they were set tries to open the pair (once,
  // whatever the outcome) and every call answers whether it is open;
  // otherwise 1 when a reader is attached. Defined in matching/.
  int HasChangeHistory();
  // The reader in use (null when none).
  CChangeHistory* GetChangeHistory() const { return history_; }

  // ---- Change-code index (.CDI), in the same ways ----

  int AttachChangeCodeIndex(CChangeCodeIndex* reader);
  int SetChangeCodeIndexFile(const char* path);
  // With the context's change-code switch. Defined in matching/.
  int HasChangeCodeIndex();
  CChangeCodeIndex* GetChangeCodeIndex() const { return codeIndex_; }

  // ---- Work lists ----

  // Creates the lower and upper neighbour lists, the estimation list and
  // the lot-candidate list; when one cannot be made the others are freed
  // and 0 is answered.
  int AllocateWorkLists();
  // Appends a lot candidate (city, area and block entry positions, change
  // record position); the new count, 0 when the list cannot grow.
  uint32_t AddLotCandidate(uint32_t cityEntry, uint32_t areaEntry, uint32_t blockEntry,
                           uint32_t changeRecord);
  // Lot candidate n (1-based); 0 when there is no such record.
  int GetLotCandidate(uint32_t n, uint32_t* cityEntry, uint32_t* areaEntry, uint32_t* blockEntry,
                      uint32_t* changeRecord) const;
  // Copies estimation record n (1-based, kEstimateRecordSize bytes); 0 when
  // there is no such record.
  int GetEstimateRecord(uint32_t n, void* record) const;
  // Appends an estimation record; the new count, 0 when the list cannot
  // grow.
  uint32_t AddEstimateRecord(const EstimateRecord& record);
  // The neighbour lists of the estimation (kNeighbourRecordSize records),
  // which the block and lot levels fill and sort in place.
  CRecordList& GetLowerNeighbours() { return lowerNeighbours_; }
  CRecordList& GetUpperNeighbours() { return upperNeighbours_; }
  // The unification dictionary set by SetDictionaries (null for none).
  CCharDictionary* GetUnificationDictionary() const { return unification_; }

  // ---- Change sources for the result builder (readers defined in matching/) ----

  // Change record n with its texts through CChangeHistory::GetRecord (text
  // buffers of kChangeTextSize bytes, null to skip); 0 when no change
  // history is attached or the read fails.
  int GetChangeRecord(uint32_t n, ChangeRecord* record, char* name1, char* name2, char* sortForm1,
                      char* sortForm2);
  // The path of the change history's index file (the one named when the
  // reader was set from file names, else the attached reader's own) or of
  // the change-code index, copied into out (size bytes, cut at a character
  // boundary); "" when none is attached. Returns out.
  char* GetChangeHistoryPath(char* out, std::size_t size) const;
  char* GetChangeCodeIndexPath(char* out, std::size_t size) const;
  // Reads back a lot found through the change-code index from the four
  // positions of its lot-candidate record: the city, area and block
  // entries, the block's first change record (which sets the coordinate
  // bases) and, when it is another one, the lot's own record. 0 when no
  // index is attached or a step fails.
  int ReadChangeCodeLot(uint32_t cityEntry, uint32_t areaEntry, uint32_t blockEntry,
                        uint32_t changeRecord, ChangeCodeLot* lot);

  // ---- Switches (kept over Close) ----

  // Status filter = bits 0-3, estimation switch = bit 4, bit-8 switch =
  // bit 8.
  int SetSearchFlags(uint32_t flags);
  int32_t GetStatusFilter() const { return statusFilter_; }
  int32_t GetEstimationSwitch() const { return estimationSwitch_; }
  int32_t GetOptionBit8() const { return bit8Switch_; }
  // 0 off, any other value on (kept as 1).
  int SetNumberUnitMatching(int32_t value);
  int32_t GetNumberUnitMatching() const { return numberUnitSwitch_; }
  // 0 or 1; any other value is refused with 0.
  int SetKanaMatching(int32_t value);
  int32_t GetKanaMatching() const { return kanaSwitch_; }
  int SetHistoryCheck(int32_t value);
  int32_t GetHistoryCheck() const { return historyCheck_; }
  // The deepest level the match cascade tries (4: every level): the oaza
  // level runs from depth 1, the aza/chome level from 2, the block level
  // from 3 and the lot level at 4. The reference library's name for the
  // same setting is SetAnalyzeDepth.
  int SetMatchDepth(int32_t depth);
  int SetAnalyzeDepth(int32_t depth) { return SetMatchDepth(depth); }
  int32_t GetMatchDepth() const { return matchDepth_; }
  // Whether the municipality level also accepts a municipality written
  // without its county name (1, the default; the reference library sets it
  // per search). Any value but 0 or 1 is refused with 0.
  int SetCountyOptional(int32_t value);
  int32_t GetCountyOptional() const { return countyOptional_; }
  // Whether the municipality listers write a county as
  // "市区町村名（郡名）" (readings likewise) with integer coordinates: only
  // the value 1 switches it on (default 0). Kept over Close.
  int SetCountyInBrackets(int32_t value);
  int32_t GetCountyInBrackets() const { return countyInBrackets_; }
  int32_t GetEstimationRange() const { return estimationRange_; }
  double GetEstimationDistanceLimit() const { return estimationDistanceLimit_; }
  int32_t GetGroupIndexMode() const { return groupIndexMode_; }
  // Mode 1 keeps the path of the group-code index; any other mode empties
  // it. 0 (nothing changed) for mode 1 with a null or over-long path.
  int SetGroupIndexFile(int32_t mode, const char* path);
  const char* GetGroupIndexPath() const { return groupIndexPath_; }

  // ---- Hierarchy listings (defined in matching/) ----
  //
  // Each lister writes one CSV line per child of a node of the address
  // tree through context->WriteLine (line layouts in matching/adrs_listing.h)
  // and adds 1 to *count per line. Rows whose 状態フラグ is 3 or more are
  // not listed. When limit is not negative and *count has reached it while
  // another line would follow, *truncated is set to 1 and the lister stops
  // with 1. Names are compared in their normalised form (kana = 1: the
  // readings); a code lister reads as much of the code as its level needs.
  //
  // Result: 1 when the listing ran to its end, stopped at the limit, or the
  // parent was not found (the lookup's not-found text is then left in msg
  // and nothing is written); 0 after a failed read, coordinate conversion,
  // registration or write, with its message. Lines written before a
  // failure stay written and counted.
  //
  // The block and lot listers take a place-code registry or null: with one,
  // a block or lot whose code the registry holds is passed over and every
  // code written is registered, so repeated calls write each code once.
  // Blocks come from TC_Gaiku, then the change history, then the
  // change-code index; lots from the change history, then the change-code
  // index (each source only while HasChangeHistory / HasChangeCodeIndex).
  int ListPrefectures(CAdrsContext* context, int32_t* count, int32_t limit, int32_t* truncated,
                      char* msg);
  int ListCitiesByName(const char* prefecture, int32_t kana, CAdrsContext* context, int32_t* count,
                       int32_t limit, int32_t* truncated, char* msg);
  // city: 郡名 followed by 市区町村名.
  int ListOazaByName(const char* prefecture, const char* city, int32_t kana, CAdrsContext* context,
                     int32_t* count, int32_t limit, int32_t* truncated, char* msg);
  // The aza/chome of every oaza entry of that name, in entry order.
  int ListChomeByName(const char* prefecture, const char* city, const char* oaza, int32_t kana,
                      CAdrsContext* context, int32_t* count, int32_t limit, int32_t* truncated,
                      char* msg);
  // For every oaza entry of that name in entry order, the blocks of its
  // first chome of that name; an oaza without that chome ends the walk.
  int ListBlocksByName(const char* prefecture, const char* city, const char* oaza,
                       const char* chome, int32_t kana, CAdrsContext* context, int32_t* count,
                       int32_t limit, int32_t* truncated, CPlaceCodeRegistry* registry, char* msg);
  int ListLotsByName(const char* prefecture, const char* city, const char* oaza, const char* chome,
                     const char* block, int32_t kana, CAdrsContext* context, int32_t* count,
                     int32_t limit, int32_t* truncated, CPlaceCodeRegistry* registry, char* msg);
  // Prefecture code: the first 2 characters.
  int ListCitiesByCode(const char* code, CAdrsContext* context, int32_t* count, int32_t limit,
                       int32_t* truncated, char* msg);
  // Municipality code: the first 5 characters.
  int ListOazaByCode(const char* code, CAdrsContext* context, int32_t* count, int32_t limit,
                     int32_t* truncated, char* msg);
  // An 11-character place code: its group code (from the database's _CD3
  // index), every oaza entry of the municipality with that group code, and
  // under each the chome of that place code (oaza without it passed over).
  int ListBlocksByCode(const char* code, CAdrsContext* context, int32_t* count, int32_t limit,
                       int32_t* truncated, CPlaceCodeRegistry* registry, char* msg);
  // A place code followed by a 5-character block code.
  int ListLotsByCode(const char* code, CAdrsContext* context, int32_t* count, int32_t limit,
                     int32_t* truncated, CPlaceCodeRegistry* registry, char* msg);

  // Whether rows would be listed, nothing written: 1 yes, 0 no, -1 after a
  // failed read (message in msg).
  // Any chome reached by a place code as ListBlocksByCode reaches them has
  // blocks (from any of the three sources).
  int HasBlocksOrLots(const char* code, char* msg);
  // The chome entry (its child base and count) with that place code has a
  // block to list.
  int HasBlocksOrLotsUnderChome(uint32_t childBase, uint16_t childCount, const char* placeCode,
                                char* msg);
  // The block of that name under the place code has a lot to list.
  int HasLotsForBlock(const char* placeCode, const char* blockName, char* msg);

  // Group-index mode 1 only (else "グループコード取得の初期化がされていません！"):
  // the 行政JISコード of the first TC_Oaza row of the group code in the
  // group-code index file (SetGroupIndexFile) into code (codeSize bytes).
  // 0 with "ファイルオープンエラー!(%s)", the not-found text (TC_Oaza,
  // グループコード) or a read failure's message.
  int LookupCityCodeByGroupCode(const char* groupCode, char* code, std::size_t codeSize, char* msg);

  // ---- Tree dump (defined in matching/) ----

  // The whole tree from the prefectures down to the aza/chome, depth first
  // in entry order, as tagged lines (matching/adrs_listing.h) written
  // through the context; rows of every status. 0 after a failed read or
  // write (message in msg); lines already written stay.
  int DumpAddressTree(CAdrsContext* context, char* msg);

  // ---- State of the last match ----

  void ResetMatchState();
  void SetChomeRow(int32_t row) { chomeRow_ = row; }
  int32_t GetChomeRow() const { return chomeRow_; }
  void SetOazaLevelRow(int32_t row) { oazaLevelRow_ = row; }
  int32_t GetOazaLevelRow() const { return oazaLevelRow_; }
  void SetMatchedRows(int32_t cityRow, int32_t nameRow) {
    matchedCityRow_ = cityRow;
    matchedNameRow_ = nameRow;
  }
  int32_t GetMatchedCityRow() const { return matchedCityRow_; }
  int32_t GetMatchedNameRow() const { return matchedNameRow_; }
  void SetMatchedPrefectureRow(int32_t row) { matchedPrefectureRow_ = row; }
  int32_t GetMatchedPrefectureRow() const { return matchedPrefectureRow_; }
  // Rest texts: a text longer than kTextSize - 1 bytes is cut at a
  // character boundary; null gives "".
  void SetUnmatchedText(const char* text);
  const char* GetUnmatchedText() const { return unmatchedText_; }
  void SetRestAfterOaza(const char* text);
  const char* GetRestAfterOaza() const { return restAfterOaza_; }
  void SetRestAfterChome(const char* text);
  const char* GetRestAfterChome() const { return restAfterChome_; }
  void SetRestAfterBlock(const char* text);
  const char* GetRestAfterBlock() const { return restAfterBlock_; }
  void SetRestAfterLot(const char* text);
  const char* GetRestAfterLot() const { return restAfterLot_; }
  // The special-name pair: a place name found in the raw input and the
  // 11-digit place code it stands for (texts cut like the rests).
  void SetSpecialName(const char* name, const char* placeCode);
  const char* GetSpecialName() const { return specialName_; }
  const char* GetSpecialNameCode() const { return specialNameCode_; }

  // ---- Number levels of the matcher (defined in matching/) ----

  // The block under an aza/chome (childBase and count of its TC_Gaiku
  // entries; placeCode its 地名コード) at the head of the edit text, from
  // the TC_Gaiku rows, the change history and the change-code index, by
  // number (with the estimation from the nearest numbers when the switch is
  // on) or by name. 1 with the result (and the rest after the block kept,
  // GetRestAfterBlock), 0 when nothing matched (also when a mild read
  // failure ended the level: the message is set), -1 when a read failed
  // (message set). The edit text is given back as it came.
  int MatchBlock(uint32_t childBase, uint16_t count, const char* placeCode, CEditText* text,
                 NumberMatch* result, char* msg);
  // The lot under the block blockText of placeCode at the head of the edit
  // text, from the change history and the change-code index. Results as
  // MatchBlock's; the rest after the lot is kept (GetRestAfterLot), emptied
  // when it is only a trailing word ("－", "の", "番地", ...). The edit text
  // is given back as it came.
  int MatchLot(const char* placeCode, const char* blockText, CEditText* text, NumberMatch* result,
               char* msg);

  // The normalised text that followed the best aza/chome candidate when it
  // went no deeper.
  void SetTextAfterChome(const char* text);
  const char* GetTextAfterChome() const { return textAfterChome_; }

  // ---- Address matching (defined in matching/) ----

  // Matches the normalised edit text (cursor at its start) against the
  // prefecture: 1 when the match ran, with the level reached (0 nothing,
  // 1 prefecture ... 8 lot), parent and entry as the result builder reads
  // them, and the unmatched rest in GetUnmatchedText; 0 with the message
  // when a read of the data failed. rawInput (or null) is the caller's line,
  // searched for the special names. The edit text is left as it was given.
  int MatchAddress(CEditText* text, int32_t* level, int32_t* parent, int16_t* entry, char* msg,
                   const char* rawInput);
  // The name levels: 1 with a candidate, 0 with none, -1 after a failed
  // read (message set). Each walks the entries under the parent given by
  // child base and count and leaves the edit text as it found it.
  int MatchPrefecture(CEditText* text, int32_t* level, int32_t* parent, int16_t* entry, char* msg);
  // For an index of one prefecture row: that row's name (by the kana
  // switch), the name table of its municipalities and their count. 0 when
  // the index holds another number of prefecture rows or a row does not read.
  int SinglePrefectureCities(std::string* name, std::shared_ptr<const NameTable>* table,
                             uint16_t* count);
  int MatchCity(CEditText* text, uint32_t childBase, uint16_t count, int32_t* level,
                int32_t* parent, int16_t* entry, char* msg);
  // Where the name table of `what` ("municipality names", "oaza names")
  // under childBase is kept between processes (matching/name_table_store.h).
  // False when it is not kept (a file not read through an image).
  bool NameTableIdentity(const char* what, uint32_t childBase, uint16_t count, int kana,
                         StoredNameTableId* id);
  // The name tables of the municipality rows and of the oaza rows under
  // childBase, made from the rows now as the levels make them (neither
  // kept nor stored); null when the rows are not kept.
  std::shared_ptr<const NameTable> MadeCityTable(uint32_t childBase, uint16_t count, int kana);
  std::shared_ptr<const NameTable> MadeOazaTable(uint32_t childBase, uint16_t count, int kana);
  int MatchOaza(CEditText* text, uint32_t childBase, uint16_t count, NameLevelResult* result,
                char* msg);
  // numberGoesOn: the number in the text went on past the oaza name.
  int MatchChome(CEditText* text, uint32_t childBase, uint16_t count, int numberGoesOn,
                 NameLevelResult* result, char* msg);

 private:
  // The steps of MatchOaza (with the oaza level), on the state of one call.
  struct OazaTry;
  void OazaCandidates(const OazaTry& t, uint16_t count, std::vector<uint16_t>* candidates);
  int TryOazaRow(OazaTry& t, uint32_t n);
  int OazaControlRoute(OazaTry& t, uint32_t record);
  int OazaNameRoute(OazaTry& t, uint32_t record);
  int OazaNumeralRoutes(OazaTry& t);
  int OazaChomeLevel(OazaTry& t, int numberGoesOn, NameLevelResult* chome);
  int WeighOazaCandidate(OazaTry& t, int numberGoesOn, int32_t variant, int32_t consumed,
                         int32_t controlRoute, bool alone);
  // The test of one child lookup (defined with the lookups).
  struct ChildTest;
  int FindChild(int level, uint32_t childBase, uint32_t first, uint32_t count,
                const ChildTest& test, uint16_t* entry, char* msg);
  int ReadEntryAt(int level, uint32_t childBase, uint16_t n, TixEntry* entry, char* msg);
  // The municipality rows under childBase (entries and names by the kana
  // switch), read once per index and database image; null when they are
  // not kept (a file not read through an image, or a row that does not
  // read).
  struct CityRow;
  // With visitsBefore, rows not kept yet are read only by the call after
  // that many calls that asked for them (null before then).
  std::shared_ptr<const std::vector<CityRow>> KeptCityRows(uint32_t childBase, uint16_t count,
                                                           int kana, int visitsBefore = 0);
  // The name tables of the municipality rows under childBase and of the
  // oaza rows under childBase (matching/name_candidates.h), kept once per
  // index and database image, switch and extra pairs: taken from the
  // folder's store when they are there, else made (and stored); null when
  // they are not kept.
  // rows: the rows read so far (null: none yet), read here when the table
  // must be made from them.
  std::shared_ptr<const NameTable> KeptCityTable(uint32_t childBase, uint16_t count, int kana,
                                                 std::shared_ptr<const std::vector<CityRow>>* rows);
  // The key the rows are kept under with the database's image.
  std::string CityRowsKey(uint32_t childBase, uint16_t count, int kana) const;

  std::shared_ptr<const NameTable> KeptOazaTable(uint32_t childBase, uint16_t count, int kana);
  // What the two tables hold: the names of the rows.
  void BuildCityTable(uint16_t count, int kana, const std::vector<CityRow>& rows, NameTable* table);
  void BuildOazaTable(uint32_t childBase, uint16_t count, int kana, NameTable* table);
  // ExtraPairsSignature of the extra list, once per match.
  const std::string& ExtraSignature();
  // The oaza tables hold the names' firm keys, which follow both pair
  // lists: the rules of the keys and the signature of both lists (the
  // extra list's, then the replacement list's), once per match.
  const NameKeyRules& KeyRules();
  const std::string& OazaSignature();
  void FreeWorkLists();
  void CloseOwnChangeHistory();
  void CloseOwnChangeCodeIndex();

  // Index file.
  CTixFile index_;
  int32_t groupIndexMode_;
  char groupIndexPath_[kPathSize];

  // Switches of the matcher.
  int32_t statusFilter_;
  int32_t estimationSwitch_;
  int32_t historyCheck_;
  int32_t bit8Switch_;
  int32_t kanaSwitch_;
  int32_t numberUnitSwitch_;
  int32_t matchDepth_;
  int32_t countyOptional_;
  int32_t countyInBrackets_;

  CTableDatabase* database_;

  // Change history: the reader in use, either ownHistory_ opened from the
  // two paths or the caller's.
  int32_t historyFromFiles_;
  CChangeHistory* history_;
  CChangeHistory ownHistory_;
  int32_t historyOpenPending_;
  char historyDataPath_[kPathSize];
  char historyIndexPath_[kPathSize];

  // Change-code index, likewise.
  int32_t codeIndexFromFile_;
  CChangeCodeIndex* codeIndex_;
  CChangeCodeIndex ownCodeIndex_;
  int32_t codeIndexOpenPending_;
  char codeIndexPath_[kPathSize];

  // Estimation parameters.
  int32_t estimationRange_;
  double estimationDistanceLimit_;

  // Work lists.
  CRecordList estimationList_;
  CRecordList lowerNeighbours_;
  CRecordList upperNeighbours_;
  CRecordList lotCandidates_;

  CCharDictionary* unification_;
  CRecordList* replacementList_;
  CRecordList* extraReplacementList_;
  std::string extraSignature_;
  std::size_t extraSignatureHash_ = 0;  // of extraSignature_, for the tables' keys
  bool extraSignatureReady_ = false;
  // The key rules of the pairs, shared with the other engines of the process
  // that match with the same pairs.
  std::shared_ptr<const NameKeyRules> keyRules_;
  std::string oazaSignature_;
  std::size_t oazaSignatureHash_ = 0;  // of oazaSignature_

  // Match state.
  int32_t chomeRow_;
  int32_t oazaLevelRow_;
  int32_t matchedCityRow_;
  int32_t matchedNameRow_;
  int32_t matchedPrefectureRow_;
  char unmatchedText_[kTextSize];
  char restAfterOaza_[kTextSize];
  char restAfterChome_[kTextSize];
  char restAfterBlock_[kTextSize];
  char restAfterLot_[kTextSize];
  char specialName_[kTextSize];
  char specialNameCode_[kTextSize];
  char textAfterChome_[kTextSize];

  CAdrsContext* context_;
};
