#pragma once
// Writer of the highway data file (HIGHWAY.DAT): names of highway
// facilities, roads and ferry routes. Laid out from the file's format table:
//
//   header, 34 bytes: bytes 2-5 the magic 20 10 11 01; then three
//     (offset, size) pairs of big-endian 32-bit word counts (1 word = 2
//     bytes) from the file start: name table at bytes 10-17, facility
//     blocks at 18-25, short name table at 26-33. Other bytes are 0.
//   name table: u16 count, u16 start of the name area (words from the
//     section); 12-byte records ascending by key {u16 key, 2 bytes 0, u32
//     name offset (words from the name area), u32 0}; the name area.
//   short name table: the same with 4-byte records {u16 key, u16 offset}.
//   name entry: u8 L1, u8 L2, name 1 and name 2 as UTF-16 little-endian.
//   facility blocks: u16 key record count K, u16 block count B, u16 start
//     of the block index (words); K 6-byte key records ascending by key
//     {u16 key, u16 block number, 1 byte 0, u8 entry index}; B 8-byte
//     index records ascending by block number {u16 number, u32 offset
//     (words from the section), u16 size (words)}; the blocks. A block is
//     1 byte 0, u8 entry count, 16-byte entries (byte 3 flags, bytes 14-15
//     data offset in words from the block start, other bytes as given),
//     and each entry's data: the optional parts of its flags in the order
//     0x80, 0x40, 0x20, 0x10, a pad byte when their length is odd, the name
//     entry and a u32 value.
// All numbers are big-endian; sections and entry data start on a word.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace hwbuild {

struct NameRecord {
  std::uint16_t key = 0;
  std::u16string name1;
  std::u16string name2;
  int extraLength = 0;  // added to the stored L1 (to make broken files)
};

struct Entry {
  std::uint8_t flags = 0;
  // The optional parts of the flags, concatenated in flag order (0x80: 3
  // bytes, 0x40: 4 + 6n bytes, n = its byte 3, 0x20: 8 bytes, 0x10: 3
  // bytes); checked against the flags.
  std::string parts;
  std::u16string name1;
  std::u16string name2;
  std::uint32_t value = 0;
  std::array<std::uint8_t, 16> head{};  // entry bytes other than 3 and 14-15
};

struct Block {
  std::uint16_t number = 0;
  std::vector<Entry> entries;
};

struct KeyRecord {
  std::uint16_t key = 0;
  std::uint16_t block = 0;
  std::uint8_t index = 0;
};

struct Image {
  std::vector<NameRecord> names;       // ascending by key
  std::vector<NameRecord> shortNames;  // ascending by key
  std::vector<KeyRecord> keys;         // ascending by key, equal keys in this order
  std::vector<Block> blocks;           // ascending by number
};

// The whole file; false with *error set when the image breaks the format
// (keys out of order, a name over 255 bytes, a part of the wrong length, a
// section beyond the reach of its offsets).
bool BuildHighwayFile(const Image& image, std::string* out, std::string* error);

// Builds and writes the file: aside, then renamed over path, so that a
// failure leaves path as it was.
bool WriteHighwayFile(const char* path, const Image& image, std::string* error);

}  // namespace hwbuild
