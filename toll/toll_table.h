#pragma once
// Reader of TOLL.DAT: the fee tables of the toll network. The header, the
// class map and the record counts are read once; the link table is kept in
// memory; every other lookup seeks and reads its few records. Integers are
// big-endian; discount names are UTF-16 stored low byte first and come out
// as CP932.

#include <cstdint>
#include <string>
#include <vector>

#include "toll/toll_file.h"

class TollFacil;

// One discount rule (14-byte record).
struct TollDiscountRule {
  uint8_t first = 0;   // rule group
  uint8_t second = 0;  // item number
  uint16_t dayWord = 0;
  uint16_t windowStart = 0;  // hour x 256 + minute
  uint16_t windowEnd = 0;
  uint8_t p = 255;           // 255 = none
  uint8_t q = 255;           // row of the discounted fee, 255 = none
  uint16_t rate = 0;         // per mille
  uint8_t roundingUnit = 0;  // 0 = 10, 1 = no rounding, else the unit
  int key() const { return first * 256 + second; }
};

// One link between two facilities (12-byte record).
struct TollLink {
  uint16_t first = 0;
  uint16_t second = 0;
  uint8_t kind = 0;
  uint8_t byte2 = 0;
  uint16_t timeWord = 0;    // bit 15 a flag, bits 0-13 minutes
  uint32_t listOffset = 0;  // words from the fee data area
  uint32_t listWords = 0;
};

class TollTable : public TollFile {
 public:
  static constexpr int kBadHeader = -50;
  static constexpr int kNoValue = -80;

  // One decoded fee list.
  class FeeDataList {
   public:
    virtual ~FeeDataList() = default;
    uint32_t flags = 0;      // bits 31-24 rule group; bit 23 .. 0 = items 1 .. 24 with rules
    uint8_t valueFlags = 0;  // bit 0: yen as stored, else x 10
    uint8_t rowCount = 0;
    uint16_t rowMask = 0;         // bit 16-n: item n has a row
    int rowLength = 0;            // values per row
    std::vector<uint8_t> items;   // item numbers whose rules apply, in order
    std::vector<int32_t> values;  // row after row
    int group() const { return static_cast<int>(flags >> 24); }
    bool hasRow(int item) const { return item >= 1 && item <= 16 && (rowMask >> (16 - item)) & 1; }
  };

  // 0; kBadHeader when the class block has more than 16 entries or the
  // header, the class block or a table count lies outside the file.
  int readHeader();

  int formatVersion() const { return version_; }
  uint32_t conversionDay() const { return day_; }

  // The column of a vehicle class within a fee row (0 when unmapped or out of range).
  int classColumn(int vehicleClass) const;
  uint8_t classByte() const { return classByte_; }

  bool findRule(int first, int second, TollDiscountRule* rule, int* index = nullptr);
  // Offset and length (in words) of a facility's own fee list.
  bool facilityFeeList(int key, uint32_t* offset, uint32_t* words);
  // Offset and length of the fee list between keys a and b of a group;
  // false for a negative or unknown group, equal keys or an absent key.
  bool groupFeeList(int group, int keyA, int keyB, uint32_t* offset, uint32_t* words);

  int linkCount() const { return static_cast<int>(links_.size()); }
  std::vector<TollLink> linksTouching(int facility) const;
  std::vector<TollLink> linksOf(int first, int second) const;
  std::vector<TollLink> linksOf(int first, int second, int kind) const;

  // Decodes the list of `words` 16-bit units at offset; false for length 0,
  // a list too short for its head, no rows, or a list outside the file.
  bool readFeeList(uint32_t offset, uint32_t words, FeeDataList* out);
  // 0 and the value, or kNoValue: item -1 takes column as an index into
  // all values; item 0, an item without a row or a column outside the row
  // give kNoValue.
  static int feeValue(const FeeDataList& list, int item, int column, int32_t* value);

  // Discount names: table 1 (the first table, present with the rule block)
  // or 2 (the second, present with the link block).
  bool discountName(int table, int first, int second, std::string* name);

 private:
  struct SubTable {
    int64_t offset = 0;  // byte offset of the record count
    int32_t count = 0;
  };
  bool readCount(SubTable* table, int64_t offset);
  // Binary search of a table of recordSize-byte records keyed by their first two bytes.
  bool searchKey(const SubTable& table, int recordSize, int key, unsigned char* record, int* index);

  int version_ = 0;
  uint32_t day_ = 0;
  uint32_t extra_ = 0;
  uint8_t classMap_[16] = {};
  uint8_t classByte_ = 0;
  SubTable rules_, linkTable_, facilityIndex_, groupIndex_, names1_, names2_;
  int64_t feeArea_ = 0;
  std::vector<TollLink> links_;
};

// Compares the format versions and conversion days of the two files: 0;
// -25 when the versions differ; -26 when the days differ; -50 (TOLL.DAT)
// or -60 (FACIL.DAT) when a file is too short to tell.
int CheckTollData(TollTable& table, TollFacil& facil);
