#pragma once
// The change history of a prefecture: the data file QAD_CH%02d.CDB (magic
// "TVXC"), one ChangeRecord per block or lot with its texts, and the index
// file QAD_CH%02d.CIX (magic "TVXI"), whose tables make the records
// searchable by address code, by code and block name, and by code and both
// sort forms. CChangeHistory loads the index tables and reads records from
// the data file on demand; CChangeHistoryBuilder (change_history_builder.h)
// writes the pair.
//
// Data file: a 32-byte header ("TVXC", creation time, file length, format
// version, 16 zero bytes), then the records back to back, each the 28
// bytes of a ChangeRecord followed by its stored texts (name 1, name 2,
// sort form 1, sort form 2; each only when its length is not 0). Records
// stand in ascending order of (city code, part 1, part 2, sort form 1,
// sort form 2).
//
// Index file: a 64-byte header ("TVXI", time, file length, zeros, then the
// position and count of the code table @28/@32, the block table @36/@40,
// the record offsets @44/@48, the block name list @52 with a 16-bit count
// @56 and the lot name list @58/@62), then those tables in that order.
// Code table: 6-byte entries (first block table entry, 1-based, 4 bytes;
// number of block table entries, 2 bytes) per address code. Block table:
// 6-byte entries (first record, number of records) per block. Record
// offsets: the distance of each record from the end of the data header.
// Name lists: a length byte (below 64) and the bytes, ascending, distinct.
//
// All numbers little-endian and unsigned. All texts are CP932 bytes.

#include <cstddef>
#include <cstdint>

#include "common/path_util.h"
#include "common/record_array.h"
#include "tabledb/data_source.h"

inline constexpr uint32_t kChangeRecordSize = 28;
inline constexpr uint32_t kChangeDataHeaderSize = 32;
inline constexpr uint32_t kChangeIndexHeaderSize = 64;
// Text buffers of GetRecord and ReadRecordTexts hold at least this many
// bytes (a stored text has at most 255).
inline constexpr std::size_t kChangeTextSize = 256;
// Names in the index name lists and names searched for are shorter.
inline constexpr std::size_t kChangeNameSize = 64;

// One record of the data file. Coordinate 1 is the latitude and
// coordinate 2 the longitude, in milliseconds of arc (Tokyo datum). The
// class code is the record's status (3 and above: abolished).
struct ChangeRecord {
  uint16_t cityCode = 0;     // 1000 to 47999: characters 1-5 of the address code
  uint16_t part1 = 0;        // characters 6-8, as ParseCode3 reads them
  uint16_t part2 = 0;        // characters 9-11, likewise
  uint32_t blockNumber = 0;  // block code as ParseCode5 reads it; 0 for none
  uint32_t lotNumber = 0;    // lot code likewise; 0 for the block itself
  uint32_t coordinate1 = 0;
  uint32_t coordinate2 = 0;
  uint8_t precision = 0;  // scale code x 10 + precision digit
  uint8_t name1Length = 0;
  uint8_t name2Length = 0;
  uint8_t sortForm1Length = 0;
  uint8_t sortForm2Length = 0;
  uint8_t classCode = 0;
};

// The 28 bytes of a record, field by field.
void DecodeChangeRecord(const unsigned char* bytes, ChangeRecord* record);
void EncodeChangeRecord(const ChangeRecord& record, unsigned char* bytes);

// The scale code (precision byte / 10) and the precision digit (byte
// modulo 10).
int ChangeRecordPrecision(ChangeRecord record);
int ChangeRecordPrecisionDigit(ChangeRecord record);
// Code 1, 2, 3, 7, 8 or 20: the byte becomes code x 10 + its present digit
// (1); other codes change nothing (0).
int SetChangeRecordPrecisionCode(ChangeRecord* record, int code);
// Digit 0 to 9: the byte becomes present code x 10 + digit (1); else 0.
int SetChangeRecordPrecisionDigit(ChangeRecord* record, int digit);

// The texts of a record whose length in the record is 0: name 1 is the
// block number in full-width digits ("" for 0), name 2 likewise from the
// lot number, and each sort form a copy of its name. Stored texts are
// given by pointer and length (null or length 0 for "not stored"). Each
// output holds kChangeTextSize bytes.
void MakeChangeRecordTexts(const ChangeRecord& record, const char* stored1, const char* stored2,
                           const char* storedSort1, const char* storedSort2, char* name1,
                           char* name2, char* sortForm1, char* sortForm2);

// An entry of the code table or the block table.
struct ChangeKeyEntry {
  uint32_t first = 0;  // first block table entry / first record, 1-based
  uint16_t count = 0;
};

class CChangeHistory {
 public:
  // Search kinds: positions in the code table, the block table, or the
  // records.
  static constexpr int kByCode = 3;
  static constexpr int kByCodeAndName = 4;
  static constexpr int kByCodeAndNames = 5;

  CChangeHistory();
  ~CChangeHistory();
  CChangeHistory(const CChangeHistory&) = delete;
  CChangeHistory& operator=(const CChangeHistory&) = delete;

  // Closes first, then opens both files and loads the index tables; the
  // data file stays open. On failure one message (file open, file read or
  // work memory) and the reader stays closed.
  int Open(const char* dataPath, const char* indexPath, char* msg);
  void Close();
  int IsOpen() const { return state_; }
  const char* GetDataPath() const { return dataPath_; }
  const char* GetIndexPath() const { return indexPath_; }
  // The data header's format version; 0 when closed.
  uint32_t GetFormatVersion() const;

  // Code table entries (3), block table entries (4), records (5); 0 for
  // other kinds.
  uint32_t GetSearchCount(int kind) const;
  // The record behind a position: kind 5 the position itself, kind 4 the
  // first record of block table entry `position`, kind 3 the first record
  // of the first block entry of code table entry `position`. 0 for other
  // kinds, position 0 or an entry that cannot be read.
  uint32_t GetRecordNumber(int kind, uint32_t position) const;
  // Entry n (1-based) of the code table (3) or the block table (4).
  int GetKeyEntry(int kind, uint32_t n, ChangeKeyEntry* entry) const;

  // The 28 bytes of record n (1-based); the file is left at its texts.
  int ReadRecord(uint32_t n, ChangeRecord* record);
  // The four texts following a record just read, made where not stored.
  // Buffers of kChangeTextSize bytes; a null buffer skips that text.
  int ReadRecordTexts(const ChangeRecord& record, char* name1, char* name2, char* sortForm1,
                      char* sortForm2);
  // ReadRecord, the precision conversion of files before version 200
  // (a plain scale code c becomes c x 10, any other byte 0), then
  // ReadRecordTexts.
  int GetRecord(uint32_t n, ChangeRecord* record, char* name1, char* name2, char* sortForm1,
                char* sortForm2);

  // Searches for an 11-character address code. Names of kChangeNameSize
  // bytes or more are never found. The answer is the first equal position
  // the bisection meets, not necessarily the lowest; 0 for none.
  // A code-table position.
  uint32_t FindByCode(const char* code);
  // A block-table position whose first record has the code and sort form 1.
  uint32_t FindByCodeAndName(const char* code, const char* name);
  // A record number with the code and both sort forms.
  uint32_t FindByCodeAndNames(const char* code, const char* name, const char* secondName);

  // 1 when the text can be a block name (lot name): a whole number (also in
  // full-width digits) or a name of the block (lot) name list.
  int IsFirstNumberName(const char* text) const;
  int IsSecondNumberName(const char* text) const;

 private:
  static constexpr std::size_t kPathSize = kPathBufferSize;

  int SetTarget(const char* code, const char* name, const char* secondName, int kind);
  // Compares the record behind a position with the target: <0, 0, >0 in
  // *result. 0 when the record cannot be read.
  int CompareWithTarget(uint32_t position, int* result);
  uint32_t RangeSearch();
  static int IsListedName(const CRecordList& list, const char* text);

  int state_;
  char dataPath_[kPathSize];
  char indexPath_[kPathSize];
  unsigned char dataHeader_[kChangeDataHeaderSize];
  int searchKind_;
  int lastCompare_;
  uint16_t targetCity_;
  uint16_t targetPart1_;
  uint16_t targetPart2_;
  int middle_;
  char targetName_[kChangeNameSize];
  char targetSecondName_[kChangeNameSize];
  CDataSource dataFile_;  // the data file's shared image
  uint32_t dataLength_;
  CRecordList recordOffsets_;
  CRecordList blockTable_;
  CRecordList codeTable_;
  CRecordList blockNames_;
  CRecordList lotNames_;
};
