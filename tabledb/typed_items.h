#pragma once
// Self-describing items in a file or a data source: texts with a 7-byte
// header, byte objects with a 32-bit length, and chains of typed value
// nodes whose value bytes are stored scrambled with a rolling byte key.
// The tree file (tabledb/tag_db.h) keeps its names and values in these
// items. The module also holds the parser for the field type keywords and
// a width test for input texts.
//
// Layouts (little-endian, positions absolute from the start of the file):
//   text item     u32 length n, smallest byte (255 for ""), largest byte
//                 (0 for ""), width class (0 empty, 1 single-byte only,
//                 2 double-byte only, 3 mixed), then the n bytes
//   object item   u32 length n, then the n bytes
//   value node    u32 type code (1-9), u32 reserved, u32 previous node,
//                 u32 next node (0 for the last); the value follows the
//                 16-byte node directly: for codes 1-8 the value's bytes
//                 (1, 1, 2, 2, 4, 4, 4, 8) scrambled, for code 9 the 4-byte
//                 position of a text item appended before the node
//
// Every helper answers 1 (or a non-zero position) for success and 0 for a
// null argument or a failed seek, read, write or allocation; nothing
// throws. Stored lengths are checked against the file before anything is
// allocated or read, and text readers take the size of the caller's buffer.

#include <cstddef>
#include <cstdint>

#include "plat/file.h"

class CDataSource;

inline constexpr uint32_t kTextItemHeaderSize = 7;
inline constexpr uint32_t kValueNodeSize = 16;

// Text comparison modes of MatchTextItem.
enum : int {
  kMatchTextEqual = 1,     // same length, byte range, width class and bytes
  kMatchTextPrefix = 2,    // the stored text begins with the text
  kMatchTextContains = 3,  // the stored text contains the text
  kMatchTextSuffix = 4,    // the stored text ends with the text
};

struct ValueNode {
  int32_t type = 0;
  uint32_t reserved = 0;
  uint32_t previous = 0;
  uint32_t next = 0;
};

// ---- Text items in a file ----

// Appends a text item at the end of the file; its position to *position.
int AppendTextItem(plat::File* file, const char* text, uint32_t* position);
// Reads the text item at position into text (textSize bytes, NUL
// included); a text that does not fit is refused (text "").
int ReadTextItem(plat::File* file, uint32_t position, char* text, std::size_t textSize);
// Rewrites the item at position in place when its stored length is at
// least the new text's, else appends a new item (also for position 0);
// the resulting position to *newPosition.
int ReplaceTextItem(plat::File* file, uint32_t position, const char* text, uint32_t* newPosition);
// Compares the stored text with a text by mode (kMatchText...). Fails at
// once when the stored text is shorter, or when the byte ranges of the two
// texts do not overlap (this check is skipped for an empty text, which is a
// prefix, part and suffix of every text).
int MatchTextItem(plat::File* file, uint32_t position, const char* text, int mode);

// ---- Object items in a file ----

int AppendObjectItem(plat::File* file, const void* bytes, uint32_t length, uint32_t* position);
// Reads the object into buffer (bufferSize bytes); a longer object is
// refused. Its length to *length.
int ReadObjectItem(plat::File* file, uint32_t position, void* buffer, uint32_t bufferSize,
                   uint32_t* length);
// Allocates a block of the stored length (malloc; the caller frees it with
// free()) and reads the object into it; an empty object gives a null block.
int ReadObjectItemAlloc(plat::File* file, uint32_t position, void** block, uint32_t* length);
// In place when the new length does not exceed the stored one, else
// appended (also for position 0).
int ReplaceObjectItem(plat::File* file, uint32_t position, const void* bytes, uint32_t length,
                      uint32_t* newPosition);

// ---- Value nodes in a file ----

int ReadValueNode(plat::File* file, uint32_t position, ValueNode* node);
int WriteValueNode(plat::File* file, uint32_t position, const ValueNode& node);
// Appends a node of the type (previous set, next 0) at the end of the file
// and links it after the previous node (0: none); the node's position.
uint32_t AppendValueNode(plat::File* file, uint32_t previous, int32_t type);
// A node of codes 1 to 8, then the value's bytes scrambled with the key.
uint32_t AppendUcharValue(plat::File* file, uint32_t previous, unsigned char value,
                          unsigned char key);
uint32_t AppendCharValue(plat::File* file, uint32_t previous, char value, unsigned char key);
uint32_t AppendWordValue(plat::File* file, uint32_t previous, uint16_t value, unsigned char key);
uint32_t AppendShortValue(plat::File* file, uint32_t previous, int16_t value, unsigned char key);
uint32_t AppendDwordValue(plat::File* file, uint32_t previous, uint32_t value, unsigned char key);
uint32_t AppendIntValue(plat::File* file, uint32_t previous, int32_t value, unsigned char key);
uint32_t AppendFloatValue(plat::File* file, uint32_t previous, float value, unsigned char key);
uint32_t AppendDoubleValue(plat::File* file, uint32_t previous, double value, unsigned char key);
// The text item, then a node of code 9, then the text's 4-byte position.
uint32_t AppendTextValue(plat::File* file, uint32_t previous, const char* text);
// Reads the node at position and the value stored directly after its 16
// bytes: for codes 1-8 the value's bytes unscrambled with the key into
// buffer (little-endian, *length = 1 to 8), for code 9 the text (NUL
// included in bufferSize; *length = the text's length, the key unused).
int ReadNodeValue(plat::File* file, uint32_t position, int32_t* type, void* buffer,
                  uint32_t bufferSize, uint32_t* length, unsigned char key);

// ---- Scrambling ----

// Byte i (0-based) of the value is combined by exclusive-or with the key
// plus i (8-bit, wrapping). WriteScrambled writes the scrambled bytes at
// the file's current position; ReadScrambled reads length bytes there and
// restores them.
int WriteScrambled(plat::File* file, const void* bytes, uint32_t length, unsigned char key);
int ReadScrambled(plat::File* file, void* buffer, uint32_t length, unsigned char key);

// ---- Keywords and width test ----

// Blanks trimmed and ASCII letters upper-cased: "UCHAR" 1, "CHAR" 2,
// "WORD" 3, "SHORT" 4, "DWORD" 5, "INT" 6, "FLOAT" 7, "DOUBLE" 8,
// "STRING" 9; any other keyword fails.
int ParseTypeName(const char* keyword, int32_t* code);
// Copies the text into copy (copySize bytes) and tests its width: an empty
// text gives 2 when flag bit 0 (1) is set, else 0; flags 4 and 2 together
// give 0; with flag 4 the copy is turned to full width and the result is 2
// unless it then holds double-byte characters only; otherwise the copy is
// turned to half width and the result is 2 unless it then holds single-byte
// characters only. 0 means the text passes. Without a text or copy, or when
// the text does not fit the copy, the result is 1.
int CheckTextWidth(const char* text, char* copy, std::size_t copySize, int flags);

// ---- Items in a data source ----

int ReadTextItemAt(CDataSource* source, uint32_t position, char* text, std::size_t textSize);
// At the end, i.e. at the source's size.
int AppendTextItemAt(CDataSource* source, const char* text, uint32_t* position);
int ReplaceTextItemAt(CDataSource* source, uint32_t position, const char* text,
                      uint32_t* newPosition);
int AppendObjectItemAt(CDataSource* source, const void* bytes, uint32_t length, uint32_t* position);
int ReadObjectItemAt(CDataSource* source, uint32_t position, void* buffer, uint32_t bufferSize,
                     uint32_t* length);
int ReadObjectItemAllocAt(CDataSource* source, uint32_t position, void** block, uint32_t* length);
int ReplaceObjectItemAt(CDataSource* source, uint32_t position, const void* bytes, uint32_t length,
                        uint32_t* newPosition);
