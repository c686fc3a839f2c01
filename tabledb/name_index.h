#pragma once
// Name index files (.SIF): the STRING fields of one table of a table
// database made searchable by any character they contain.
//
// For every character of every record's indexed text (the record's indexed
// STRING fields joined in field order) the file holds an 8-byte entry in
// the bucket of that character's code. A search reads the bucket of the
// key's first character (or, for an all-words search, of its rarest word's
// first character), checks each candidate record's text against the key
// and hands on the matching records' positions.
//
// Final file, little-endian, unaligned:
//   magic "N-SI" (4) | table name (256, NUL-padded) | field count n (1) |
//   n field offsets (u32, 1-based offsets in the record) |
//   bucket table at 261 + 4n: 65,536 x {entry count u32, position of the
//   bucket's first entry u32 (0 when empty)} |
//   entries, each bucket's together, in the order they were added.
// Entry (8): code of the following character (u16, 0 after the last) |
//   record-header position of the record in the database (u32) |
//   length of the indexed text (u8) | 1-based byte offset of the character
//   in the text (u8).
// The intermediate file of the first build pass has the same header and
// bucket table (second number: the bucket's first node), then 12-byte
// nodes: position of the next node of the same bucket (u32, 0 at the end
// of the chain) and the 8 entry bytes.
//
// An indexed text has fewer than 256 bytes: the builder refuses a record
// whose text is longer, since the length and offset bytes cannot hold it.
// Readers require the magic "N-SI".
//
// Every operation answers 1 for success and 0 for failure; nothing throws.
// Message buffers hold kMessageSize bytes (null: no message); the search
// and build operations write one message on failure.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/record_array.h"
#include "plat/file.h"

class CTableDatabase;

// The string array of the array search form (the same type as the search
// context's channel array).
using CStringArray = std::vector<std::string>;

inline constexpr uint32_t kNameIndexHeaderSize = 261;
inline constexpr uint32_t kNameIndexTableNameSize = 256;
inline constexpr uint32_t kNameIndexBucketCount = 65536;
inline constexpr uint32_t kNameIndexBucketSize = 8;
inline constexpr uint32_t kNameIndexEntrySize = 8;
inline constexpr uint32_t kNameIndexNodeSize = 12;
// Size of a bucket record of the in-memory bucket table of the builder:
// entry count, first node, last node.
inline constexpr uint16_t kNameIndexBuildBucketSize = 12;
// The field count is one byte.
inline constexpr int kNameIndexMaxFields = 255;
// An indexed text and its NUL.
inline constexpr std::size_t kNameIndexTextSize = 256;

// Match modes.
enum NameIndexMatchMode : int {
  kNameIndexStartsWith = 1,
  kNameIndexContains = 2,
  kNameIndexEndsWith = 3,
  kNameIndexAllWords = 4,  // every blank-separated word of the key occurs
};
// Character modes: 2 also filters the first character's entries by the
// key's second character; any other value uses the first character only.
inline constexpr int kNameIndexFirstCharacter = 1;
inline constexpr int kNameIndexCharacterPair = 2;

struct NameIndexHeader {
  char magic[4] = {'N', '-', 'S', 'I'};
  char tableName[kNameIndexTableNameSize] = {};  // NUL-terminated once read
  uint8_t fieldCount = 0;
};

struct NameIndexEntry {
  uint16_t nextCode = 0;
  uint32_t record = 0;
  uint8_t length = 0;
  uint8_t offset = 0;
};

struct NameIndexNode {
  uint32_t next = 0;
  NameIndexEntry entry;
};

struct NameIndexBucket {
  uint32_t count = 0;
  uint32_t first = 0;
};

// Receives a progress text; the builders call it every 1,000 steps.
using NameIndexProgress = void (*)(const char* text);

// The bucket code of the character at the start of text: a double-byte
// character gives its two bytes read as a little-endian value (first byte
// in the low half); a single byte gives its value sign-extended (0x00-0x7F
// stay, 0x80-0xFF give 0xFF80-0xFFFF). A lead byte right before the NUL is
// a single byte. 0 for an empty or null text. (Not the character code of
// the width and kana conversions, which puts the first byte high.)
uint16_t CharacterCode(const char* text);

// ---- Entry and node bytes ----

void EncodeNameIndexEntry(const NameIndexEntry& in, unsigned char out[kNameIndexEntrySize]);
void DecodeNameIndexEntry(const unsigned char in[kNameIndexEntrySize], NameIndexEntry* out);
void EncodeNameIndexNode(const NameIndexNode& in, unsigned char out[kNameIndexNodeSize]);
void DecodeNameIndexNode(const unsigned char in[kNameIndexNodeSize], NameIndexNode* out);

// ---- File-level helpers (the file is open; positions are absolute) ----

// Position of the bucket table of a file with n field offsets: 261 + 4n.
uint32_t NameIndexBucketTablePosition(int fieldCount);

// Creates (or truncates) the file and writes the header with the table
// name, the field offsets and an all-zero bucket table. 0 for a table name
// of 256 bytes or more, a field count outside 0..255 or a failed step; a
// file that was created is then closed and removed again.
int CreateNameIndexFile(plat::File* file, const char* path, const char* tableName,
                        const uint32_t* fieldOffsets, int fieldCount);
// Reads the 261-byte header from the start and then the field offsets
// into fieldOffsets (room for kNameIndexMaxFields values). 0 when a read
// fails or the magic is not "N-SI".
int ReadNameIndexHeader(plat::File* file, NameIndexHeader* header, uint32_t* fieldOffsets);
// Writes the 261 header bytes at the start.
int RewriteNameIndexHeader(plat::File* file, const NameIndexHeader& header);
// The bucket of code at tablePosition + 8 x code.
int ReadNameIndexBucket(plat::File* file, uint16_t code, NameIndexBucket* bucket,
                        uint32_t tablePosition);
int WriteNameIndexBucket(plat::File* file, uint16_t code, const NameIndexBucket& bucket,
                         uint32_t tablePosition);
int ReadNameIndexNode(plat::File* file, uint32_t position, NameIndexNode* node);
int WriteNameIndexNode(plat::File* file, uint32_t position, const NameIndexNode& node);
// Appends the node (its next position set to 0) at the end of the file and
// links it into the chain of the bucket of code in the file's bucket table,
// walking the chain from its first node to its last; the bucket's count
// grows by one. 0 when the chain is shorter than its count or a step fails.
int AppendNameIndexNode(plat::File* file, uint16_t code, const NameIndexNode& node,
                        uint32_t tablePosition);

// ---- The builder's in-memory bucket table ----
// 65,536 records of kNameIndexBuildBucketSize bytes (entry count, first
// node position, last node position), record c + 1 for code c.

// Creates the table with every bucket empty; 0 when memory runs out.
int InitNameIndexBuckets(CRecordArray* buckets);
// The same as AppendNameIndexNode with the in-memory last node in place of
// the walk: the node goes to the end of the file, the bucket's last node
// (when there is one) is rewritten with the new node as its next, and the
// in-memory bucket is updated. 0 when the file would grow past 32-bit
// positions or a step fails.
int AppendNameIndexNodeFast(plat::File* file, uint16_t code, CRecordArray* buckets,
                            const NameIndexNode& node);
// Adds a node for every character of text (record position record): the
// following character's code, the text's length and the character's
// 1-based offset. An empty text adds nothing; a text of 256 bytes or more
// is refused with nothing added.
int AddTextToNameIndex(plat::File* file, CRecordArray* buckets, const char* text, uint32_t record);
// Writes the count and first position of every bucket at tablePosition.
int WriteNameIndexBuckets(plat::File* file, const CRecordArray& buckets, uint32_t tablePosition);

// The record's indexed text: the texts of the STRING fields at the given
// 1-based offsets, joined in order, into output (outputSize bytes). 0 (and
// output "") when a text cannot be read or the whole does not fit.
int GetIndexedText(char* output, std::size_t outputSize, CTableDatabase* database, uint32_t record,
                   const uint32_t* fieldOffsets, int fieldCount);

// ---- Searches ----
// characterMode: kNameIndexCharacterPair or another value (first character
// only); matchMode: NameIndexMatchMode. A one- (or, with the character
// pair, two-) character key accepts every record of its bucket in every
// mode but the all-words mode. A record is given once even when its text
// holds the key's first character several times. An empty (or null) key
// succeeds with no matches. The ends-with test compares whole characters
// (the key's first byte must start a character of the record's text). A
// record whose indexed text does not fit kNameIndexTextSize bytes is a read
// failure; so is an all-words key that the blank splitter refuses (more
// than 1,024 words or 65,536 bytes: the memory message). On failure every
// file is closed, the file form's output file is removed, the array is left
// empty and the list is cut back to its count before the call.

// Writes the 4-byte positions of the matching records to a new output file.
int SearchNameIndexToFile(const char* outputPath, const char* key, const char* databasePath,
                          const char* indexPath, int characterMode, int matchMode, char* message);
// Empties the array and adds the indexed text of each matching record.
int SearchNameIndexToArray(CStringArray* array, const char* indexPath, const char* databasePath,
                           const char* key, int characterMode, int matchMode, char* message);
// Appends the position of each matching record to a list of 4-byte
// records (a list of another element size is refused).
int SearchNameIndexToList(CRecordList* list, const char* indexPath, const char* databasePath,
                          const char* key, int characterMode, int matchMode, char* message);

// ---- Building ----

// Reads the table and writes the intermediate file. fieldNames is a list
// of NUL-terminated field names (one per record; at most 255 names, each
// a STRING field of the table). Records are visited in table order;
// progress gets "中間ファイル作成中：<n>/<total>" at every 1,000th record. On
// any failure after the intermediate file was created it is removed again.
int BuildIntermediateNameIndex(const char* databasePath, const char* tableName,
                               const CRecordList& fieldNames, const char* intermediatePath,
                               char* message, NameIndexProgress progress);
// Writes the final file from the intermediate one (which stays); progress
// gets "インデックスファイル作成中：<code>/65535" at codes 0, 1000, 2000 ... On
// any failure after the final file was created it is removed again.
int BuildStringIndex(const char* indexPath, const char* intermediatePath, char* message,
                     NameIndexProgress progress);
// Both passes in one call: the intermediate file is a temporary file (in
// $TMPDIR, else /tmp) that is always removed. The result depends only on
// the database, the table and the fields; a failure leaves no new file.
int BuildNameIndex(const char* databasePath, const char* tableName, const char* const* fieldNames,
                   int fieldCount, const char* indexPath, char* message);

// ---- The four name indexes of an address data set ----
// Beside "%sQVAD%02d.NDB": "%sQVAD%02d" + suffix, over the table's two
// normalised name (or reading) fields.
struct AddressNameIndexDefinition {
  const char* suffix;
  const char* table;
  const char* fields[2];
};
inline constexpr int kAddressNameIndexCount = 4;
extern const AddressNameIndexDefinition kAddressNameIndexes[kAddressNameIndexCount];
