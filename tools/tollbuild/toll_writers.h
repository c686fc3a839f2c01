#pragma once
// Writers of the two toll data files, FACIL.DAT and TOLL.DAT, from the
// file layouts (all integers big-endian, names UTF-16 stored low byte
// first). Used by the sample toll data generator and by the tests, which
// read the files back with the library's readers.
//
// FACIL.DAT: header (s = 4 from version 35 on)
//   0 u16 header length in words   2 u16 version   4 u32 (0)   8 u32 conversion day
//   12 u32 further value (version 35+)   12+s u16 record count
//   14+s u16 name area (words)   16+s u16 coordinate table (words, version 34+)
// then the 14-byte facility records in ascending number, the name area
// (per facility: u8 name bytes, u8 second-name bytes, both names; each
// entry starts on a word), and from version 34 the 8-byte coordinate records.
//
// TOLL.DAT: header (t = 26+s, or 34+s with the rule block)
//   0 u16 header length in words   2 u16 version   4 u32 (0)   8 u32 day
//   12 u32 further value (35+)   12+s u16 facility fee index (words)
//   16+s u16 group fee index (words)   20+s u32 fee data area (words)
//   24+s u8 table flags (0x80 rules, 0x40 links)
//   26+s u16 rule table, 30+s u16 first name table (with 0x80)
//   t u16 link table, t+4 u16 second name table (with 0x40)
// then the class block, the tables (each a u16 count and its records) and
// the fee data area with every fee list once.

#include <cstdint>
#include <string>
#include <vector>

namespace tollbuild {

struct FacilEntry {
  uint16_t number = 0;
  uint8_t kind = 0;
  uint8_t kind2 = 0;
  uint16_t valueA = 0;
  uint16_t valueB = 0;
  uint8_t valueD = 255;  // 255 = no group
  uint16_t valueC = 0;
  std::u16string name;
  std::u16string name2;
  uint32_t first = 0;  // coordinates, 23 bits each (written as given, 24 bits)
  uint32_t second = 0;
};

struct FacilDat {
  int version = 35;
  uint32_t day = 0;
  uint32_t extra = 0;
  std::vector<FacilEntry> facilities;  // written in ascending number
};

// One fee list: rows of 16-bit values (one per class column) for the items
// whose bits are set in rowMask, in item order.
struct FeeList {
  uint32_t flags = 0;      // bits 31-24 rule group; bit 23 .. 0 = items 1 .. 24
  uint8_t valueFlags = 1;  // bit 0: yen as stored, else tens
  uint16_t rowMask = 0x8000;
  std::vector<std::vector<int16_t>> rows;
};

struct FeeRef {
  uint16_t key = 0;  // facility fee key (value C)
  int list = -1;     // index into TollDat::lists
};

struct GroupPair {
  uint16_t keyA = 0;
  uint16_t keyB = 0;
  int list = -1;
};

struct Group {
  std::vector<uint16_t> keys;    // toll-point keys (value B), any order
  std::vector<GroupPair> pairs;  // absent pairs get an empty entry
};

struct Rule {
  uint8_t first = 0;
  uint8_t second = 0;
  uint16_t dayWord = 0;
  uint16_t windowStart = 0;
  uint16_t windowEnd = 0;
  uint8_t p = 255;
  uint8_t q = 255;
  uint16_t rate = 0;
  uint8_t roundingUnit = 0;
};

struct Link {
  uint16_t first = 0;
  uint16_t second = 0;
  uint8_t kind = 0;
  uint8_t byte2 = 0;
  uint16_t timeWord = 0;
  int list = -1;  // -1: no fee list (offset and length 0)
};

struct DiscountNameEntry {
  uint8_t first = 0;
  uint8_t second = 0;
  std::u16string name;
};

struct TollDat {
  int version = 35;
  uint32_t day = 0;
  uint32_t extra = 0;
  uint8_t classByte = 0;
  std::vector<std::pair<uint8_t, uint8_t>> classes;  // (vehicle class, column), written as given
  bool ruleBlock = true;
  bool linkBlock = true;
  std::vector<FeeList> lists;
  std::vector<FeeRef> facilityFees;
  std::vector<Group> groups;  // group number = position
  std::vector<Rule> rules;
  std::vector<Link> links;
  std::vector<DiscountNameEntry> names1;
  std::vector<DiscountNameEntry> names2;
};

// The file images. False (with a message) when something does not fit
// the format: a list longer than 255 words, a table past the 16-bit word
// offsets, a pair naming a key that is not in its group, a bad list index.
bool BuildFacilDat(const FacilDat& spec, std::string* image, std::string* error);
bool BuildTollDat(const TollDat& spec, std::string* image, std::string* error);

}  // namespace tollbuild
