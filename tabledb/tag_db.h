#pragma once
// Tree files of named nodes: CTagDb keeps the tree in a file that begins
// with "TAGDB", CTagTree the same structure in a growable memory block.
// Each node has a name and optionally a value (a text or a byte object);
// children are kept in the order they were added. The table sorter writes
// its key trees into a CTagDb (tabledb/table_sorter.h).
//
// File layout (little-endian; positions absolute, 0 meaning none):
//   header (128)  "TAGDB", first top-level node @5, last top-level node @9,
//                 115 reserved bytes
//   node (32)     reserved, name position @4, value position @8 (a leaf of
//                 a record tree holds a record position there instead),
//                 parent @12 (0xFFFFFFFF for a top-level node), first child
//                 @16, last child @20, previous sibling @24, next sibling
//                 @28
// Nodes and values are appended at the end. CTagDb stores texts as text
// items (tabledb/typed_items.h: 7-byte header, then the bytes) and objects
// as a 32-bit length and the bytes. CTagTree numbers its bytes from 1 (the
// header lies at 1 to 128) and stores a text as a 32-bit length counting a
// NUL, the bytes and the NUL.
//
// A text replaced by a text no longer than itself is rewritten in place;
// a longer one is appended and the node takes the new position (objects
// likewise). Every operation answers 1 (or a non-zero position) for
// success and 0 for failure, without a message; a failed write may leave a
// partly linked node behind. Text outs take the size of the caller's
// buffer; absent texts read as "".

#include <cstddef>
#include <cstdint>

#include "common/record_array.h"
#include "plat/file.h"

inline constexpr uint32_t kTagDbHeaderSize = 128;
inline constexpr uint32_t kTagNodeSize = 32;
// The parent of a top-level node, and the parent argument that adds one.
inline constexpr uint32_t kTagTopLevel = 0xFFFFFFFFu;
// Longest path a CTagDb keeps (bytes, without the NUL).
inline constexpr std::size_t kTagDbMaxPathLength = 511;

struct TagNode {
  uint32_t reserved = 0;
  uint32_t name = 0;
  uint32_t value = 0;
  uint32_t parent = 0;
  uint32_t firstChild = 0;
  uint32_t lastChild = 0;
  uint32_t previous = 0;
  uint32_t next = 0;
};

struct TagDbHeader {
  uint32_t firstTop = 0;
  uint32_t lastTop = 0;
  unsigned char reserved[115] = {};
};

void EncodeTagNode(const TagNode& node, unsigned char* out);
void DecodeTagNode(const unsigned char* in, TagNode* node);
// Magic and all; Decode fails (0) when the magic is not "TAGDB".
void EncodeTagDbHeader(const TagDbHeader& header, unsigned char* out);
int DecodeTagDbHeader(const unsigned char* in, TagDbHeader* header);

class CTagDb {
 public:
  CTagDb();
  ~CTagDb();
  CTagDb(const CTagDb&) = delete;
  CTagDb& operator=(const CTagDb&) = delete;

  // Closes, creates (or truncates) the file and writes the header (magic,
  // zeros); a file whose header cannot be written is removed.
  int Create(const char* path);
  // Open for reading and writing / for reading (others may only read);
  // both require the magic and leave the object closed on failure.
  int OpenForUpdate(const char* path);
  int Open(const char* path);
  void Close();
  int IsOpen() const { return open_; }
  // Copies the path into buffer (bufferSize bytes); "" when it does not fit.
  char* GetPath(char* buffer, std::size_t bufferSize) const;
  // The file's length; 0 when closed.
  uint32_t GetLength();

  int ReadHeader(TagDbHeader* header);
  int WriteHeader(const TagDbHeader& header);
  uint32_t GetFirstTopNode();
  int ReadNode(uint32_t position, TagNode* node);
  int WriteNode(uint32_t position, const TagNode& node);

  // Appends a zeroed node, links it after the parent's last child (or as
  // its only child) and rewrites the parent (the header for a top-level
  // node); the new node's position. AddChild(kTagTopLevel) adds a
  // top-level node.
  uint32_t AddTopNode();
  uint32_t AddChild(uint32_t parent);
  int SetName(uint32_t node, const char* name);
  uint32_t AddNamedChild(uint32_t parent, const char* name);
  uint32_t AddNamedChildWithText(uint32_t parent, const char* name, const char* text);
  uint32_t AddNamedChildWithObject(uint32_t parent, const char* name, const void* bytes,
                                   uint32_t length);
  // Appends an object item; its position.
  uint32_t AppendObject(const void* bytes, uint32_t length);

  // The node's name, value text or value object; nodeOut (optional)
  // receives the node record as well.
  int GetName(uint32_t node, char* name, std::size_t nameSize, TagNode* nodeOut = nullptr);
  int GetNameAndText(uint32_t node, char* name, std::size_t nameSize, char* text,
                     std::size_t textSize, TagNode* nodeOut = nullptr);
  int GetNameAndObject(uint32_t node, char* name, std::size_t nameSize, void* bytes,
                       uint32_t bufferSize, uint32_t* length, TagNode* nodeOut = nullptr);

 private:
  int OpenWith(const char* path, int forUpdate);
  int ReadTextAt(uint32_t position, char* text, std::size_t textSize);

  int open_;
  char path_[kTagDbMaxPathLength + 1];
  plat::File file_;
};

class CTagTree {
 public:
  CTagTree() = default;
  ~CTagTree() = default;
  CTagTree(const CTagTree&) = delete;
  CTagTree& operator=(const CTagTree&) = delete;

  // A block of initialSize bytes growing by initialSize, holding the
  // header (magic, zeros) at positions 1 to 128.
  int Create(uint32_t initialSize);
  void Free() { bytes_.Free(); }
  // Bytes in use (the highest position).
  uint32_t GetSize() const { return bytes_.GetCount(); }
  // Bytes 1 .. n of the block; null before Create.
  const unsigned char* GetBytes() const;

  // 1 when the header holds the magic.
  int CheckHeader();
  int ReadHeader(TagDbHeader* header);
  int WriteHeader(const TagDbHeader& header);
  uint32_t GetFirstTopNode();

  // A text (length counting the NUL, the bytes, the NUL) or an object (its
  // length, the bytes) appended; its position.
  uint32_t AppendText(const char* text);
  uint32_t AppendObject(const void* bytes, uint32_t length);
  int ReadText(uint32_t position, char* text, std::size_t textSize);
  int ReadObject(uint32_t position, void* buffer, uint32_t bufferSize, uint32_t* length);
  int ReadNode(uint32_t position, TagNode* node);
  int WriteNode(uint32_t position, const TagNode& node);

  int GetName(uint32_t node, char* name, std::size_t nameSize, TagNode* nodeOut = nullptr);
  int GetNameAndText(uint32_t node, char* name, std::size_t nameSize, char* text,
                     std::size_t textSize, TagNode* nodeOut = nullptr);
  int GetNameAndObject(uint32_t node, char* name, std::size_t nameSize, void* bytes,
                       uint32_t bufferSize, uint32_t* length, TagNode* nodeOut = nullptr);
  int SetName(uint32_t node, const char* name);
  int SetNameAndText(uint32_t node, const char* name, const char* text);
  int SetNameAndObject(uint32_t node, const char* name, const void* bytes, uint32_t length);

  uint32_t AddTopNode();
  uint32_t AddChild(uint32_t parent);
  uint32_t AddNamedChild(uint32_t parent, const char* name);
  uint32_t AddNamedChildWithText(uint32_t parent, const char* name, const char* text);
  uint32_t AddNamedChildWithObject(uint32_t parent, const char* name, const void* bytes,
                                   uint32_t length);

 private:
  int ReadBytes(uint32_t position, void* out, uint32_t count) const;
  int WriteBytes(uint32_t position, const void* in, uint32_t count);
  uint32_t AppendBytes(const void* in, uint32_t count);
  // Text replacement by the in-place rule; the resulting position.
  uint32_t ReplaceText(uint32_t position, const char* text);
  uint32_t ReplaceObject(uint32_t position, const void* bytes, uint32_t length);

  CRecordList bytes_;
};
