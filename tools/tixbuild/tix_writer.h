#pragma once
// Writer of the address index file (.TIX): a tree of 10-byte entries in
// five levels (prefecture, municipality, oaza, aza/chome, block).
//
//   offset size
//     0     6  "TVXADI" (kind 1), or five check bytes and one byte 0 (kind 2)
//     6     8  per level, five times: byte offset of the level's first
//              entry (4), number of entries in the level (4)
//    46        the entries, level after level
//
//   entry: record position of the row (4), child base (4: byte offset of
//   the first child counted from the start of the next level; 0 for an
//   entry without children), child count (2).
//
// The entries of one level are written in the order of their parents, and
// the children of one parent one after another in the order given, so that
// a parent's children are its child count entries from its child base.
// All numbers are little-endian.

#include <cstdint>
#include <string>
#include <vector>

namespace tixbuild {

// A node of the address tree: the record-header position of its row in
// the .NDB and its children one level down.
struct Node {
  uint32_t record = 0;
  std::vector<Node> children;
};

inline constexpr int kLevels = 5;
inline constexpr uint32_t kHeaderBytes = 46;
inline constexpr uint32_t kEntryBytes = 10;

// The check bytes of a kind-2 header (bytes 0-4) over the file length and
// the header's 32-bit values at offsets 6 to 42.
void ComputeCheckBytes(uint32_t fileLength, const unsigned char* header, unsigned char out[5]);

// The file's bytes for the prefecture nodes (level 1) and everything below
// them. Refused (false, with a reason) for a kind other than 1 or 2, more
// than 65,535 entries under one parent or on the prefecture level, a node
// below the block level, or a file beyond 4 GB.
bool BuildIndexImage(const std::vector<Node>& prefectures, int kind, std::string* image,
                     std::string* error);

// BuildIndexImage, then the file at a CP932 path, written aside and renamed
// over it: a failure leaves the path as it was.
bool WriteIndexFile(const char* path, const std::vector<Node>& prefectures, int kind,
                    std::string* error);

}  // namespace tixbuild
