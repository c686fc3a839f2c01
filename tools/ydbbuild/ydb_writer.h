#pragma once
// Writer of the postal-code index QVAD%02d.YDB of one prefecture.
//
// Layout (little-endian):
//   0     6 bytes  "TVXYDB"
//   6     4 bytes  zero
//   10    u32      highest postal code (seven digits read as a number)
//   14    u32      lowest postal code
//   18    u32      offset T of the code table: always 256
//   22    u16      number N of code entries
//   24    zero up to 256
//   256   N x 10   code entries ascending by code: u32 code, u32 list
//                  offset L counted from 256 + N x 10, u16 count C
//   256 + N x 10   the record-number lists: entry by entry, C u32 record
//                  references of TC_Oaza each (record-header positions).

#include <cstdint>
#include <string>
#include <vector>

namespace ydbbuild {

struct PostalEntry {
  uint32_t code = 0;              // 0 .. 9,999,999
  std::vector<uint32_t> records;  // in the order the search lists them
};

// The file image from entries ascending by code, each code once, each with
// 1 to 65,535 records; at most 65,535 entries. 0 with a message otherwise.
int BuildPostalIndexImage(const std::vector<PostalEntry>& entries, std::string* image, char* msg);
// BuildPostalIndexImage and the file (written aside and renamed over path;
// a failure leaves path as it was).
int WritePostalIndexFile(const char* path, const std::vector<PostalEntry>& entries, char* msg);

}  // namespace ydbbuild
