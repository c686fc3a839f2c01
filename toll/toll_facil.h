#pragma once
// Reader of FACIL.DAT: the toll facilities by facility number, with their
// kind flags, the numbers the fee calculation uses, two names and (in
// format version 34 and later) a coordinate pair. Integers are big-endian;
// the names are UTF-16 stored low byte first and come out as CP932.

#include <cstdint>
#include <string>

#include "toll/toll_file.h"

// One facility record as handed to callers.
struct TollFacilRecord {
  uint16_t number = 0;
  uint8_t kind = 0;   // kind flags: 0x01 exit, 0x02 entrance, 0x04 own fee, 0x08 link point, ...
  uint8_t kind2 = 0;  // second kind byte (bit 0: link fees start here)
  int32_t valueA = 0;
  int32_t valueB = 0;      // toll-point key within a fee group
  int32_t valueD = -1;     // fee group, -1 when the file holds 255
  int32_t valueC = 0;      // key of the facility's own fee list
  int32_t nameOffset = 0;  // byte offset into the name area
  std::string name;
  std::string name2;
};

class TollFacil : public TollFile {
 public:
  // Lookup results.
  static constexpr int kNotFound = -30;
  static constexpr int kNoData = -60;

  // Reads the header fields; false when the file is too short to hold them
  // (a lookup then answers kNoData).
  bool readHeader();

  int formatVersion() const { return version_; }
  uint32_t conversionDay() const { return day_; }
  int32_t recordCount() const { return count_; }
  bool hasCoordinates() const { return coordOffset_ >= 0; }

  // 0 and the record with both names; kNotFound when the number is not in
  // the table; kNoData without a usable header or when the record's name
  // entry lies outside the file.
  int readFacility(int number, TollFacilRecord* out);
  // 0 and the two 23-bit values; kNoData when the file has no coordinate
  // table (or no usable header); kNotFound when the number is absent.
  int readCoordinates(int number, int32_t* first, int32_t* second);

 private:
  // Finds the record of number among count records of recordSize bytes at
  // tableOffset; its bytes go to record. False when absent.
  bool findRecord(int64_t tableOffset, int number, int recordSize, unsigned char* record);

  bool headerRead_ = false;
  int version_ = 0;
  uint32_t day_ = 0;
  uint32_t extra_ = 0;
  int64_t tableOffset_ = 0;
  int32_t count_ = 0;
  int64_t nameOffset_ = 0;
  int64_t coordOffset_ = -1;
};
