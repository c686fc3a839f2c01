#pragma once
// Postal-code search: every address whose seven-digit postal code equals
// the text, or begins with it, through each prefecture's postal-code index
// QVAD%02d.YDB beside its QVAD%02d.NDB.
//
// Index file (little-endian): "TVXYDB" at 0; at 10 the highest and at 14
// the lowest code (u32, the seven digits read as a number); at 18 the offset
// T of the code table (u32) and at 22 the number N of entries (u16); the
// header is 256 bytes. Code entry i (10 bytes, ascending by code) at
// T + (i - 1) x 10: code (u32), list offset L (u32), count C (u16). Record
// reference j of the entry lies at 256 + N x 10 + L + (j - 1) x 4: a u32
// record-header position of TC_Oaza.
//
// The result line, one per address (aza/chome rows, 大字代表点フラグ "0", of
// 状態フラグ 2 or less): 都道府県名, 郡名 + 市区町村名, their readings,
// 大字通称名 and its reading (both empty when the name holds "大字なし"),
// 字丁目名, its reading, 地名コード, latitude, longitude. The validating
// entries (output style 2) rewrite the names by the output formats and
// write the coordinates converted and formatted; the plain entries write
// the stored names and the stored integer coordinates. Lines come in
// prefecture order 1 to 47, entries by ascending code, and records in the
// order of their entry's list; they are not sorted.
//
// The text loses every "〒", "ー", "-", "－", "ｰ", "―" and "‐" (whole
// characters), then must be 1 to 7 ASCII digits: seven are the code; fewer
// are a prefix (padded with 0 and with 9 for the range). Any other text
// finds nothing. A prefecture whose files are missing, do not open, or
// whose index lacks the magic is passed over.

#include <cstdint>

#include "common/path_util.h"
#include "matching/adrs_context.h"
#include "tabledb/data_source.h"

class CTableDatabase;

inline constexpr uint32_t kYdbHeaderSize = 256;

struct YdbCodeEntry {
  uint32_t code = 0;
  uint32_t listOffset = 0;
  uint16_t count = 0;
};

class CYdbIndex {
 public:
  CYdbIndex();
  ~CYdbIndex();
  CYdbIndex(const CYdbIndex&) = delete;
  CYdbIndex& operator=(const CYdbIndex&) = delete;

  // Closes first; reads the 256-byte header (window 65,536 bytes); 0 (and
  // closed) unless it begins with "TVXYDB".
  int Open(const char* path);
  void Close();
  int GetHeader(unsigned char out[kYdbHeaderSize]) const;
  void SetDatabase(CTableDatabase* database) { database_ = database; }
  // 1 when open with a database; else the message.
  int CheckReady(char* message) const;
  // Entry i, 1 to N; 0 outside or on a failed read.
  int ReadCodeEntry(uint32_t i, YdbCodeEntry* out);
  // Record reference j, 1 to the entry's count; 0 outside or on a failed read.
  int ReadRecordNumber(const YdbCodeEntry& entry, uint32_t j, uint32_t* out);
  // The first entry whose code is not below the code; 0 when none.
  uint32_t FindCodeEntry(uint32_t code);
  // The search in this prefecture: lines through the context, counted in
  // *lineCounter; a non-negative maximum stops it (interrupted 1). 1, or 0
  // with a message.
  int Search(const char* text, CAdrsContext* context, int32_t* lineCounter, int32_t maximum,
             int32_t* interrupted, char* message);

 private:
  uint32_t EntryCount() const;

  int32_t open_ = 0;
  CDataSource source_;
  char path_[kPathBufferSize] = {};
  CTableDatabase* database_ = nullptr;
  unsigned char header_[kYdbHeaderSize] = {};
};

// ---- Entries (1, or 0 with a message in kJobMessageSize bytes) ----
// SearchPostalCodeToFile (tool/search_entries.h) validates 出力測地系,
// 出力座標書式, 出力字丁目書式, 出力数字書式 and 出力よみ書式 in this order.

int SearchPostalCodeToArray(CStringArray* array, const char* postalCode, const char* dataFolder,
                            char* message, const char* datasetName, int32_t datum,
                            int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                            int32_t readingFormat);
int SearchPostalCodeToBuffer(char* buffer, int32_t bufferSize, const char* postalCode,
                             const char* dataFolder, char* message, const char* datasetName,
                             int32_t datum, int32_t coordinateFormat, int32_t chomeFormat,
                             int32_t numberFormat, int32_t readingFormat);
int SearchPostalCodeToFilePlain(const char* resultFile, const char* postalCode,
                                const char* dataFolder, char* message, const char* datasetName);
int SearchPostalCodeToArrayPlain(CStringArray* array, const char* postalCode,
                                 const char* dataFolder, char* message, const char* datasetName);
int SearchPostalCodeToBufferPlain(char* buffer, int32_t bufferSize, const char* postalCode,
                                  const char* dataFolder, char* message, const char* datasetName);
