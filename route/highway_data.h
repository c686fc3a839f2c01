#pragma once
// Reader of the highway data file (HIGHWAY.DAT): names of highway
// facilities, roads and ferry routes. Numbers in the file are big-endian;
// offsets and sizes count 16-bit words; names are UTF-16 (little-endian)
// and come out as CP932 text ('?' for a character CP932 lacks).
//
// The name table and the short name table are searched on disk; the
// facility key records and block index are loaded at open; facility blocks
// are read on first use and kept until close.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "plat/file.h"

class HighwayData {
 public:
  // One facility record: its 16-byte entry and the entry's data up to the
  // end of its block (both null when the block has no such entry; data
  // null also when the entry's data offset lies outside the block).
  // Pointers stay valid until closeHighwayData.
  struct Facility {
    const std::uint8_t* data = nullptr;
    std::size_t dataSize = 0;
    const std::uint8_t* entry = nullptr;
    int index = 0;  // entry index within the block
  };
  struct FacilityName {
    std::string name;
    std::uint32_t value = 0;
  };

  HighwayData() = default;
  ~HighwayData() { closeHighwayData(); }
  HighwayData(const HighwayData&) = delete;
  HighwayData& operator=(const HighwayData&) = delete;

  // Opens the file (CP932 path) and checks its header; false, with the file
  // closed, when it is missing, too short, of another magic or a section
  // head cannot be read.
  bool openHighwayData(const char* path);
  void closeHighwayData();

  // Name 1 of the name table's entry for key; "" when the key is missing
  // (keys above 0xFFFF never are present) or the entry cannot be read.
  std::string getName(std::int64_t key);
  // Every key record with this key, in file order, with its entry and data.
  std::vector<Facility> findFacilities(std::uint16_t key);
  // Name and value of a facility code: bit 15 set: short name table (code &
  // 0x7FFF), value 0; else the first facility record's name record.
  FacilityName getFacilityName(std::uint32_t code);

  // Decodes the name record at the end of a facility's data (after the
  // optional parts that the entry's flags select); false when it does not
  // lie inside the data.
  static bool readFacilityNameRecord(const Facility& f, std::string* name, std::uint32_t* value);

  // Blocks read from the file since open (each block is read once).
  int blockReads() const { return blockReads_; }

 private:
  struct Table {
    std::uint32_t start = 0;  // byte position of the section
    std::uint64_t end = 0;    // byte position after the section (bounded by the file)
    std::uint16_t count = 0;
    std::uint16_t areaStart = 0;  // words from the section start
  };
  struct Block {
    std::uint16_t number = 0;
    std::vector<std::uint8_t> bytes;
  };

  bool readAt(std::uint64_t pos, void* buf, std::size_t n);
  bool readTableHead(std::uint32_t offsetWords, std::uint32_t sizeWords, Table* t);
  // Name 1 of the name entry at a byte position inside a table's section.
  bool readNameEntry(const Table& t, std::uint64_t pos, std::string* name1);
  // Record number of `key` in a table on disk, -1 when absent.
  long findOnDisk(const Table& t, std::size_t recordBytes, std::uint16_t key, std::uint8_t* record);
  const Block* block(std::uint16_t number);

  plat::File file_;
  std::uint64_t fileLength_ = 0;
  Table names_;
  Table shortNames_;
  std::uint32_t facilStart_ = 0;
  std::vector<std::uint8_t> facil_;  // key records and block index
  std::uint16_t keyCount_ = 0;
  std::uint16_t blockCount_ = 0;
  std::uint32_t indexStart_ = 0;  // bytes from the section start
  std::vector<std::unique_ptr<Block>> cache_;
  int blockReads_ = 0;
};
