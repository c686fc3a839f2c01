#pragma once
// The bytes of a table database file (.NDB).
//
// One file holds any number of named tables. Each table has a chain of
// typed field entries and a chain of fixed-length records; texts and binary
// objects live outside the records and are reached through positions
// stored in them. All integers are little-endian and unaligned; a position
// is an unsigned 32-bit offset from the start of the file, 0 meaning none
// (position 0 always holds the header). The file only grows: every new item
// is appended at the end and nothing replaced or unlinked is reclaimed.
//
//   header (256)        "DB", reserved u32, first table @6, last table @10,
//                       largest record size @14, reserved up to 256
//   table entry (296)   name[256], reserved u32, first/last record header
//                       @260/@264, first/last field @268/@272, reserved 8,
//                       previous/next table @284/@288, reserved u32
//   field entry (300)   name[256], type @256, declared length (i32) @260,
//                       size in the record @264, note positions @268/@272,
//                       two doubles @276/@284, previous/next field @292/@296
//   record header (20)  reserved, previous, next, data position, data size
//   string item         u16 length n, then n bytes (no terminator)
//   object item         u32 length n, then n bytes
//
// The structs below are the decoded forms; they are never written or read
// as memory images: Encode/Decode move them field by field.

#include <cstdint>

#include "common/le_bytes.h"

inline constexpr uint32_t kTdbHeaderSize = 256;
inline constexpr uint32_t kTdbTableEntrySize = 296;
inline constexpr uint32_t kTdbFieldEntrySize = 300;
inline constexpr uint32_t kTdbRecordHeaderSize = 20;
// Name areas hold at most 255 bytes and a NUL.
inline constexpr uint32_t kTdbNameSize = 256;
// Longest text a string item can hold.
inline constexpr uint32_t kTdbMaxStringLength = 65535;

// Field type codes.
enum TdbFieldType : int32_t {
  kTdbUchar = 1,              // 1 byte, unsigned
  kTdbChar = 2,               // 1 byte
  kTdbWord = 3,               // unsigned 16-bit
  kTdbShort = 4,              // signed 16-bit
  kTdbDword = 5,              // unsigned 32-bit
  kTdbInt = 6,                // signed 32-bit
  kTdbFloat = 7,              // IEEE single, no typed accessor
  kTdbDouble = 8,             // IEEE double
  kTdbString = 9,             // position of a string item (0: empty text)
  kTdbObject = 500,           // position of an object item (0: none)
  kTdbQuad = 2006,            // four signed 32-bit integers
  kTdbOpaque32 = 2008,        // 32 opaque bytes, no typed accessor
  kTdbStringTriple = 10010,   // three string positions
  kTdbStringTriple2 = 10011,  // the same layout under a second code
  kTdbStringPair = 15010,     // two string positions
  kTdbStringPair2 = 15011,    // the same layout under a second code
};

// Size of a field of the type in the record; 0 for an unknown code.
uint32_t GetTdbFieldTypeSize(int32_t type);

struct TdbHeader {
  char magic[2] = {'D', 'B'};
  uint32_t reserved = 0;
  uint32_t firstTable = 0;
  uint32_t lastTable = 0;
  uint32_t maxRecordSize = 0;
  unsigned char tail[238] = {};  // reserved bytes 18..255, kept as read
};

struct TdbTableEntry {
  char name[kTdbNameSize] = {};  // always NUL-terminated once decoded
  uint32_t reserved1 = 0;
  uint32_t firstRecord = 0;
  uint32_t lastRecord = 0;
  uint32_t firstField = 0;
  uint32_t lastField = 0;
  unsigned char reserved2[8] = {};
  uint32_t prevTable = 0;
  uint32_t nextTable = 0;
  uint32_t reserved3 = 0;
};

struct TdbFieldEntry {
  char name[kTdbNameSize] = {};
  int32_t type = 0;
  int32_t declaredLength = 0;
  uint32_t size = 0;
  uint32_t note1 = 0;
  uint32_t note2 = 0;
  double number1 = 0.0;
  double number2 = 0.0;
  uint32_t prevField = 0;
  uint32_t nextField = 0;
};

struct TdbRecordHeader {
  uint32_t reserved = 0;
  uint32_t prevRecord = 0;
  uint32_t nextRecord = 0;
  uint32_t dataPosition = 0;
  uint32_t dataSize = 0;
};

// Buffers are exactly the item's size. A name is written up to its NUL (at
// most 255 bytes) and zero-padded; a decoded name is cut at byte 255 when
// the file holds no NUL in the area.
void EncodeTdbHeader(const TdbHeader& in, unsigned char* out);
void DecodeTdbHeader(const unsigned char* in, TdbHeader* out);
void EncodeTdbTableEntry(const TdbTableEntry& in, unsigned char* out);
void DecodeTdbTableEntry(const unsigned char* in, TdbTableEntry* out);
void EncodeTdbFieldEntry(const TdbFieldEntry& in, unsigned char* out);
void DecodeTdbFieldEntry(const unsigned char* in, TdbFieldEntry* out);
void EncodeTdbRecordHeader(const TdbRecordHeader& in, unsigned char* out);
// (Here, to be inlined: every field read by record position decodes one.)
inline void DecodeTdbRecordHeader(const unsigned char* in, TdbRecordHeader* out) {
  out->reserved = LoadLeValue<uint32_t>(in);
  out->prevRecord = LoadLeValue<uint32_t>(in + 4);
  out->nextRecord = LoadLeValue<uint32_t>(in + 8);
  out->dataPosition = LoadLeValue<uint32_t>(in + 12);
  out->dataSize = LoadLeValue<uint32_t>(in + 16);
}
