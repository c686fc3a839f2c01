#pragma once
// The address index of a prefecture (QVAD%02d.TIX): its header, entries
// and levels, the check value of a kind-2 header and the probe of a data
// folder's index kind.
//
// Index file, little-endian and unaligned:
//   0   6  lead bytes: "TVXADI" (index kind 1), or, in index kind 2, five
//          check bytes (IndexHeaderCheckValue) and one further byte
//   6  40  five level ranges, in the order prefecture, municipality, oaza,
//          aza/chome, block: byte offset of the level's first entry (4),
//          number of entries (4)
//   46     the entries
// Entry, 10 bytes: the record position (record-header position in the
// .NDB) of the entry's row in its level's table (4), child base (4: byte
// offset of the first child from the start of the next level), child
// count (2). Entry N (1-based) of the prefecture level lies at level
// offset + (N - 1) x 10; entry N under a parent of the level above at
// level offset + child base + (N - 1) x 10.
//
// The levels point at TC_Todoufuken, TC_Shikutyoson, TC_Oaza (oaza rows),
// TC_Oaza (aza/chome rows) and TC_Gaiku rows.
//

#include <cstddef>
#include <cstdint>
#include <memory>

#include "common/path_util.h"
#include "tabledb/data_source.h"

inline constexpr uint32_t kTixHeaderSize = 46;
inline constexpr uint32_t kTixEntrySize = 10;
inline constexpr int kTixLevelCount = 5;
// The lead bytes of an index of kind 1.
inline constexpr char kTixMagic[] = "TVXADI";
inline constexpr uint32_t kTixMagicLength = 6;
// Check bytes at the start of a kind-2 index.
inline constexpr int kTixCheckLength = 5;

// Levels of the address tree, as indexes of TixHeader::levels.
enum TixLevel : int {
  kTixPrefecture = 0,
  kTixCity = 1,
  kTixOaza = 2,
  kTixChome = 3,
  kTixBlock = 4,
};

struct TixLevelRange {
  uint32_t offset = 0;  // byte offset of the level's first entry
  uint32_t count = 0;   // entries in the level
};

// The decoded header.
struct TixHeader {
  unsigned char lead[kTixMagicLength] = {};
  TixLevelRange levels[kTixLevelCount];
};

struct TixEntry {
  uint32_t record = 0;     // record position of the row
  uint32_t childBase = 0;  // first child, from the start of the next level
  uint16_t childCount = 0;
};

// Field by field from 46 (10) bytes.
void DecodeTixHeader(const unsigned char* bytes, TixHeader* header);
void DecodeTixEntry(const unsigned char* bytes, TixEntry* entry);

// The five check bytes of a kind-2 header over the file length and the
// 46 header bytes; 0 for a null header or output.
int IndexHeaderCheckValue(uint32_t length, const unsigned char* header, unsigned char* out);

// The index kind of a data folder: the kind of the first of QVAD01.TIX to
// QVAD47.TIX that opens, has 46 bytes and carries the magic (1) or
// consistent check bytes (2); 0 when none qualifies.
int ProbeIndexFiles(const char* dataFolder);
// The kind of one index file by the same tests; 0 when it does not open or
// qualify.
int ProbeIndexFile(const char* path);

// An open address index: the header read once, entries read through a
// window of the file. Every operation answers 1 for success and 0 for
// failure; nothing throws.
class CTixFile {
 public:
  // Paths hold at most this many bytes with their NUL.
  static constexpr std::size_t kPathSize = kPathBufferSize;

  CTixFile() { path_[0] = '\0'; }
  CTixFile(const CTixFile&) = delete;
  CTixFile& operator=(const CTixFile&) = delete;

  // Closes first, then opens the index read-only through a 64 KB window
  // (others may read and write it) and reads its header. Kind 1 requires
  // the magic, kind 2 the check bytes over the file's size; any other kind,
  // a null or over-long path fails. On failure the file is left closed.
  int Open(const char* path, int32_t kind);
  void Close();
  int IsOpen() const { return open_; }
  // The shared image of the index file while it is open on one; else null.
  const std::shared_ptr<CCachedFile>& GetSharedImage() const { return file_.GetSharedImage(); }
  int32_t GetKind() const { return kind_; }
  const char* GetPath() const { return path_; }
  // The decoded header (all zero while closed).
  const TixHeader& Header() const { return header_; }
  // Entry n (1-based) of a level (TixLevel) under a child base (0 at the
  // prefecture level). A read that fails (outside the file, n = 0, closed)
  // gives "ファイルの読み込みに失敗しました!(%s)" with the index path.
  int ReadEntry(int level, uint32_t childBase, uint16_t n, TixEntry* entry, char* msg);
  // Entries first to first + count - 1 of a level under a child base, in
  // a few reads instead of one each, into entries (count of them): the
  // number read, which stops at the first entry ReadEntry would not read
  // (with its message then). Entries past 65535 are never read.
  uint32_t ReadEntries(int level, uint32_t childBase, uint16_t first, uint32_t count,
                       TixEntry* entries, char* msg);

 private:
  int32_t open_ = 0;
  int32_t kind_ = 0;
  CDataSource file_;
  TixHeader header_;
  char path_[kPathSize];  // read up to its NUL (only that is set)
};
