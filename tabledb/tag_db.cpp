#include "tabledb/tag_db.h"

#include <cstring>

#include "common/copy_out.h"
#include "common/file_access.h"
#include "common/le_bytes.h"
#include "tabledb/db_file.h"
#include "tabledb/typed_items.h"

namespace {

const char kTagMagic[5] = {'T', 'A', 'G', 'D', 'B'};

}  // namespace

void EncodeTagNode(const TagNode& node, unsigned char* out) {
  const uint32_t fields[8] = {node.reserved,   node.name,      node.value,    node.parent,
                              node.firstChild, node.lastChild, node.previous, node.next};
  for (int i = 0; i < 8; ++i) StoreLe(out + 4 * i, fields[i], 4);
}

void DecodeTagNode(const unsigned char* in, TagNode* node) {
  uint32_t* fields[8] = {&node->reserved,   &node->name,      &node->value,    &node->parent,
                         &node->firstChild, &node->lastChild, &node->previous, &node->next};
  for (int i = 0; i < 8; ++i) *fields[i] = static_cast<uint32_t>(LoadLe(in + 4 * i, 4));
}

void EncodeTagDbHeader(const TagDbHeader& header, unsigned char* out) {
  std::memcpy(out, kTagMagic, 5);
  StoreLe(out + 5, header.firstTop, 4);
  StoreLe(out + 9, header.lastTop, 4);
  std::memcpy(out + 13, header.reserved, sizeof header.reserved);
}

int DecodeTagDbHeader(const unsigned char* in, TagDbHeader* header) {
  if (std::memcmp(in, kTagMagic, 5) != 0) return 0;
  header->firstTop = static_cast<uint32_t>(LoadLe(in + 5, 4));
  header->lastTop = static_cast<uint32_t>(LoadLe(in + 9, 4));
  std::memcpy(header->reserved, in + 13, sizeof header->reserved);
  return 1;
}

// ---------------------------------------------------------------------------
// Linking, shared by the file and the memory tree

namespace {

// Appends a node under the parent (kTagTopLevel: top level) and links it
// after the last child. Tree supplies ReadHeader, WriteHeader, ReadNode,
// WriteNode and AppendNodeBytes.
template <typename Tree>
uint32_t LinkNewChild(Tree& tree, uint32_t parent) {
  TagDbHeader header;
  TagNode parentNode;
  uint32_t last = 0;
  if (parent == kTagTopLevel) {
    if (!tree.ReadHeader(&header)) return 0;
    last = header.lastTop;
  } else {
    if (parent == 0 || !tree.ReadNode(parent, &parentNode)) return 0;
    last = parentNode.lastChild;
  }
  TagNode lastNode;
  if (last != 0 && !tree.ReadNode(last, &lastNode)) return 0;

  TagNode node;
  node.parent = parent;
  node.previous = last;
  unsigned char bytes[kTagNodeSize];
  EncodeTagNode(node, bytes);
  const uint32_t position = tree.AppendNodeBytes(bytes);
  if (position == 0) return 0;

  if (last != 0) {
    lastNode.next = position;
    if (!tree.WriteNode(last, lastNode)) return 0;
  }
  if (parent == kTagTopLevel) {
    if (header.firstTop == 0) header.firstTop = position;
    header.lastTop = position;
    if (!tree.WriteHeader(header)) return 0;
  } else {
    // Read the parent again: in a damaged tree its last child may be the
    // parent itself, just rewritten above.
    if (!tree.ReadNode(parent, &parentNode)) return 0;
    if (parentNode.firstChild == 0) parentNode.firstChild = position;
    parentNode.lastChild = position;
    if (!tree.WriteNode(parent, parentNode)) return 0;
  }
  return position;
}

// Adapter giving CTagDb the AppendNodeBytes that LinkNewChild needs.
struct TagDbLinker {
  CTagDb& tree;
  plat::File& file;
  int ReadHeader(TagDbHeader* header) { return tree.ReadHeader(header); }
  int WriteHeader(const TagDbHeader& header) { return tree.WriteHeader(header); }
  int ReadNode(uint32_t position, TagNode* node) { return tree.ReadNode(position, node); }
  int WriteNode(uint32_t position, const TagNode& node) { return tree.WriteNode(position, node); }
  uint32_t AppendNodeBytes(const unsigned char* bytes) {
    uint32_t end = 0;
    if (!SeekFileToEndGetPos(&file, &end)) return 0;
    if (end == 0 || static_cast<uint64_t>(end) + kTagNodeSize > UINT32_MAX) return 0;
    return WriteBytesToFile(&file, bytes, kTagNodeSize) ? end : 0;
  }
};

}  // namespace

// ---------------------------------------------------------------------------
// CTagDb

CTagDb::CTagDb() : open_(0), path_{} {}

CTagDb::~CTagDb() { Close(); }

int CTagDb::Create(const char* path) {
  Close();
  if (!path || strnlen(path, kTagDbMaxPathLength + 1) > kTagDbMaxPathLength) return 0;
  unsigned char bytes[kTagDbHeaderSize];
  EncodeTagDbHeader(TagDbHeader{}, bytes);
  if (!tabledb_detail::CreateWithHeader(&file_, path, bytes, kTagDbHeaderSize)) return 0;
  std::strcpy(path_, path);
  open_ = 1;
  return 1;
}

int CTagDb::OpenForUpdate(const char* path) { return OpenWith(path, 1); }

int CTagDb::Open(const char* path) { return OpenWith(path, 0); }

int CTagDb::OpenWith(const char* path, int forUpdate) {
  Close();
  if (!path || strnlen(path, kTagDbMaxPathLength + 1) > kTagDbMaxPathLength) return 0;
  const int opened =
      forUpdate ? OpenFileForReadWrite(&file_, path) : OpenFileForReadDenyWrite(&file_, path);
  if (!opened) return 0;
  open_ = 1;
  TagDbHeader header;
  if (!ReadHeader(&header)) {
    Close();
    return 0;
  }
  std::strcpy(path_, path);
  return 1;
}

void CTagDb::Close() {
  if (file_.IsOpen()) file_.Close();
  open_ = 0;
  path_[0] = '\0';
}

char* CTagDb::GetPath(char* buffer, std::size_t bufferSize) const {
  return CopyWholeOrEmpty(buffer, bufferSize, path_, std::strlen(path_));
}

uint32_t CTagDb::GetLength() {
  uint64_t len = 0;
  if (!open_ || !file_.GetLength(len)) return 0;
  return static_cast<uint32_t>(len);
}

int CTagDb::ReadHeader(TagDbHeader* header) {
  unsigned char bytes[kTagDbHeaderSize];
  if (!open_ || !header || !ReadBytesFromFileAt(&file_, 0, bytes, kTagDbHeaderSize)) return 0;
  return DecodeTagDbHeader(bytes, header);
}

int CTagDb::WriteHeader(const TagDbHeader& header) {
  if (!open_) return 0;
  unsigned char bytes[kTagDbHeaderSize];
  EncodeTagDbHeader(header, bytes);
  return WriteBytesToFileAt(&file_, 0, bytes, kTagDbHeaderSize);
}

uint32_t CTagDb::GetFirstTopNode() {
  TagDbHeader header;
  return ReadHeader(&header) ? header.firstTop : 0;
}

int CTagDb::ReadNode(uint32_t position, TagNode* node) {
  unsigned char bytes[kTagNodeSize];
  if (!open_ || !node || position == 0) return 0;
  if (!ReadBytesFromFileAt(&file_, position, bytes, kTagNodeSize)) return 0;
  DecodeTagNode(bytes, node);
  return 1;
}

int CTagDb::WriteNode(uint32_t position, const TagNode& node) {
  if (!open_ || position == 0) return 0;
  unsigned char bytes[kTagNodeSize];
  EncodeTagNode(node, bytes);
  return WriteBytesToFileAt(&file_, position, bytes, kTagNodeSize);
}

uint32_t CTagDb::AddTopNode() { return AddChild(kTagTopLevel); }

uint32_t CTagDb::AddChild(uint32_t parent) {
  if (!open_) return 0;
  TagDbLinker linker{*this, file_};
  return LinkNewChild(linker, parent);
}

int CTagDb::SetName(uint32_t node, const char* name) {
  TagNode record;
  if (!name || !ReadNode(node, &record)) return 0;
  uint32_t position = 0;
  if (!ReplaceTextItem(&file_, record.name, name, &position)) return 0;
  record.name = position;
  return WriteNode(node, record);
}

uint32_t CTagDb::AddNamedChild(uint32_t parent, const char* name) {
  if (!name) return 0;
  const uint32_t node = AddChild(parent);
  return node != 0 && SetName(node, name) ? node : 0;
}

uint32_t CTagDb::AddNamedChildWithText(uint32_t parent, const char* name, const char* text) {
  if (!text) return 0;
  const uint32_t node = AddNamedChild(parent, name);
  TagNode record;
  uint32_t position = 0;
  if (node == 0 || !ReadNode(node, &record) || !AppendTextItem(&file_, text, &position)) return 0;
  record.value = position;
  return WriteNode(node, record) ? node : 0;
}

uint32_t CTagDb::AddNamedChildWithObject(uint32_t parent, const char* name, const void* bytes,
                                         uint32_t length) {
  if (!bytes) return 0;
  const uint32_t node = AddNamedChild(parent, name);
  TagNode record;
  if (node == 0 || !ReadNode(node, &record)) return 0;
  const uint32_t position = AppendObject(bytes, length);
  if (position == 0) return 0;
  record.value = position;
  return WriteNode(node, record) ? node : 0;
}

uint32_t CTagDb::AppendObject(const void* bytes, uint32_t length) {
  uint32_t position = 0;
  if (!open_ || !AppendObjectItem(&file_, bytes, length, &position)) return 0;
  return position;
}

int CTagDb::ReadTextAt(uint32_t position, char* text, std::size_t textSize) {
  EmptyText(text, textSize);
  if (!text || textSize == 0) return 0;
  if (position == 0) return 1;
  return ReadTextItem(&file_, position, text, textSize);
}

int CTagDb::GetName(uint32_t node, char* name, std::size_t nameSize, TagNode* nodeOut) {
  TagNode record;
  EmptyText(name, nameSize);
  if (!ReadNode(node, &record) || !ReadTextAt(record.name, name, nameSize)) return 0;
  if (nodeOut) *nodeOut = record;
  return 1;
}

int CTagDb::GetNameAndText(uint32_t node, char* name, std::size_t nameSize, char* text,
                           std::size_t textSize, TagNode* nodeOut) {
  TagNode record;
  EmptyText(text, textSize);
  if (!GetName(node, name, nameSize, &record)) return 0;
  if (!ReadTextAt(record.value, text, textSize)) return 0;
  if (nodeOut) *nodeOut = record;
  return 1;
}

int CTagDb::GetNameAndObject(uint32_t node, char* name, std::size_t nameSize, void* bytes,
                             uint32_t bufferSize, uint32_t* length, TagNode* nodeOut) {
  if (!length) return 0;
  *length = 0;
  TagNode record;
  if (!GetName(node, name, nameSize, &record)) return 0;
  if (record.value != 0 && !ReadObjectItem(&file_, record.value, bytes, bufferSize, length))
    return 0;
  if (nodeOut) *nodeOut = record;
  return 1;
}

// ---------------------------------------------------------------------------
// CTagTree

namespace {

struct TagTreeLinker {
  CTagTree& tree;
  uint32_t (*append)(CTagTree&, const unsigned char*);
  int ReadHeader(TagDbHeader* header) { return tree.ReadHeader(header); }
  int WriteHeader(const TagDbHeader& header) { return tree.WriteHeader(header); }
  int ReadNode(uint32_t position, TagNode* node) { return tree.ReadNode(position, node); }
  int WriteNode(uint32_t position, const TagNode& node) { return tree.WriteNode(position, node); }
  uint32_t AppendNodeBytes(const unsigned char* bytes) { return append(tree, bytes); }
};

}  // namespace

int CTagTree::Create(uint32_t initialSize) {
  if (initialSize == 0) return 0;
  if (!bytes_.Create(initialSize, 1, initialSize)) return 0;
  unsigned char header[kTagDbHeaderSize];
  EncodeTagDbHeader(TagDbHeader{}, header);
  if (AppendBytes(header, kTagDbHeaderSize) != 1) {
    bytes_.Free();
    return 0;
  }
  return 1;
}

const unsigned char* CTagTree::GetBytes() const {
  return static_cast<const unsigned char*>(bytes_.GetPtr(1));
}

int CTagTree::ReadBytes(uint32_t position, void* out, uint32_t count) const {
  if (count == 0) return 1;
  if (!out || position == 0) return 0;
  if (static_cast<uint64_t>(position) + count - 1 > bytes_.GetCount()) return 0;
  std::memcpy(out, bytes_.GetPtr(position), count);
  return 1;
}

int CTagTree::WriteBytes(uint32_t position, const void* in, uint32_t count) {
  if (count == 0) return 1;
  if (!in || position == 0) return 0;
  if (static_cast<uint64_t>(position) + count - 1 > bytes_.GetCount()) return 0;
  std::memcpy(bytes_.GetPtr(position), in, count);
  return 1;
}

uint32_t CTagTree::AppendBytes(const void* in, uint32_t count) {
  if (!in || count == 0) return 0;
  const uint32_t position = bytes_.GetCount() + 1;
  if (static_cast<uint64_t>(bytes_.GetCount()) + count > UINT32_MAX) return 0;
  if (!bytes_.AddMany(in, count)) return 0;
  return position;
}

int CTagTree::CheckHeader() {
  TagDbHeader header;
  return ReadHeader(&header);
}

int CTagTree::ReadHeader(TagDbHeader* header) {
  unsigned char bytes[kTagDbHeaderSize];
  if (!header || !ReadBytes(1, bytes, kTagDbHeaderSize)) return 0;
  return DecodeTagDbHeader(bytes, header);
}

int CTagTree::WriteHeader(const TagDbHeader& header) {
  unsigned char bytes[kTagDbHeaderSize];
  EncodeTagDbHeader(header, bytes);
  return WriteBytes(1, bytes, kTagDbHeaderSize);
}

uint32_t CTagTree::GetFirstTopNode() {
  TagDbHeader header;
  return ReadHeader(&header) ? header.firstTop : 0;
}

uint32_t CTagTree::AppendText(const char* text) {
  if (!text) return 0;
  const std::size_t length = std::strlen(text);
  if (length >= UINT32_MAX - 4) return 0;
  unsigned char header[4];
  StoreLe(header, static_cast<uint32_t>(length + 1), 4);
  const uint32_t position = AppendBytes(header, 4);
  if (position == 0) return 0;
  // The bytes and their NUL in one piece.
  return AppendBytes(text, static_cast<uint32_t>(length + 1)) != 0 ? position : 0;
}

uint32_t CTagTree::AppendObject(const void* bytes, uint32_t length) {
  if (!bytes || length > UINT32_MAX - 4) return 0;
  unsigned char header[4];
  StoreLe(header, length, 4);
  const uint32_t position = AppendBytes(header, 4);
  if (position == 0) return 0;
  if (length > 0 && AppendBytes(bytes, length) == 0) return 0;
  return position;
}

int CTagTree::ReadText(uint32_t position, char* text, std::size_t textSize) {
  EmptyText(text, textSize);
  if (!text || textSize == 0) return 0;
  if (position == 0) return 1;
  unsigned char header[4];
  if (!ReadBytes(position, header, 4)) return 0;
  const uint32_t stored = static_cast<uint32_t>(LoadLe(header, 4));
  // The stored length counts the NUL; the text itself is one byte shorter.
  if (stored == 0 || stored > textSize) return 0;
  if (!ReadBytes(position + 4, text, stored - 1)) return 0;
  text[stored - 1] = '\0';
  return 1;
}

int CTagTree::ReadObject(uint32_t position, void* buffer, uint32_t bufferSize, uint32_t* length) {
  if (!length) return 0;
  *length = 0;
  if (position == 0) return 1;
  unsigned char header[4];
  if (!ReadBytes(position, header, 4)) return 0;
  const uint32_t stored = static_cast<uint32_t>(LoadLe(header, 4));
  if (stored > bufferSize || (!buffer && stored > 0)) return 0;
  if (!ReadBytes(position + 4, buffer, stored)) return 0;
  *length = stored;
  return 1;
}

int CTagTree::ReadNode(uint32_t position, TagNode* node) {
  unsigned char bytes[kTagNodeSize];
  if (!node || !ReadBytes(position, bytes, kTagNodeSize)) return 0;
  DecodeTagNode(bytes, node);
  return 1;
}

int CTagTree::WriteNode(uint32_t position, const TagNode& node) {
  unsigned char bytes[kTagNodeSize];
  EncodeTagNode(node, bytes);
  return WriteBytes(position, bytes, kTagNodeSize);
}

uint32_t CTagTree::ReplaceText(uint32_t position, const char* text) {
  const std::size_t length = std::strlen(text);
  if (length >= UINT32_MAX - 4) return 0;
  const uint32_t wanted = static_cast<uint32_t>(length + 1);
  if (position != 0) {
    unsigned char header[4];
    if (!ReadBytes(position, header, 4)) return 0;
    const uint32_t stored = static_cast<uint32_t>(LoadLe(header, 4));
    if (stored >= wanted && static_cast<uint64_t>(position) + 4 + stored - 1 <= bytes_.GetCount()) {
      StoreLe(header, wanted, 4);
      if (!WriteBytes(position, header, 4) || !WriteBytes(position + 4, text, wanted)) return 0;
      return position;
    }
  }
  return AppendText(text);
}

uint32_t CTagTree::ReplaceObject(uint32_t position, const void* bytes, uint32_t length) {
  if (position != 0) {
    unsigned char header[4];
    if (!ReadBytes(position, header, 4)) return 0;
    const uint32_t stored = static_cast<uint32_t>(LoadLe(header, 4));
    if (length <= stored && static_cast<uint64_t>(position) + 4 + stored - 1 <= bytes_.GetCount()) {
      StoreLe(header, length, 4);
      if (!WriteBytes(position, header, 4) || !WriteBytes(position + 4, bytes, length)) return 0;
      return position;
    }
  }
  return AppendObject(bytes, length);
}

int CTagTree::GetName(uint32_t node, char* name, std::size_t nameSize, TagNode* nodeOut) {
  TagNode record;
  EmptyText(name, nameSize);
  if (!ReadNode(node, &record) || !ReadText(record.name, name, nameSize)) return 0;
  if (nodeOut) *nodeOut = record;
  return 1;
}

int CTagTree::GetNameAndText(uint32_t node, char* name, std::size_t nameSize, char* text,
                             std::size_t textSize, TagNode* nodeOut) {
  TagNode record;
  EmptyText(text, textSize);
  if (!GetName(node, name, nameSize, &record)) return 0;
  if (!ReadText(record.value, text, textSize)) return 0;
  if (nodeOut) *nodeOut = record;
  return 1;
}

int CTagTree::GetNameAndObject(uint32_t node, char* name, std::size_t nameSize, void* bytes,
                               uint32_t bufferSize, uint32_t* length, TagNode* nodeOut) {
  if (!length) return 0;
  *length = 0;
  TagNode record;
  if (!GetName(node, name, nameSize, &record)) return 0;
  if (!ReadObject(record.value, bytes, bufferSize, length)) return 0;
  if (nodeOut) *nodeOut = record;
  return 1;
}

int CTagTree::SetName(uint32_t node, const char* name) {
  TagNode record;
  if (!name || !ReadNode(node, &record)) return 0;
  const uint32_t position = ReplaceText(record.name, name);
  if (position == 0) return 0;
  record.name = position;
  return WriteNode(node, record);
}

int CTagTree::SetNameAndText(uint32_t node, const char* name, const char* text) {
  TagNode record;
  if (!text || !SetName(node, name) || !ReadNode(node, &record)) return 0;
  const uint32_t position = ReplaceText(record.value, text);
  if (position == 0) return 0;
  record.value = position;
  return WriteNode(node, record);
}

int CTagTree::SetNameAndObject(uint32_t node, const char* name, const void* bytes,
                               uint32_t length) {
  TagNode record;
  if (!bytes || !SetName(node, name) || !ReadNode(node, &record)) return 0;
  const uint32_t position = ReplaceObject(record.value, bytes, length);
  if (position == 0) return 0;
  record.value = position;
  return WriteNode(node, record);
}

uint32_t CTagTree::AddTopNode() { return AddChild(kTagTopLevel); }

uint32_t CTagTree::AddChild(uint32_t parent) {
  if (!CheckHeader()) return 0;
  TagTreeLinker linker{*this, [](CTagTree& tree, const unsigned char* bytes) {
                         return tree.AppendBytes(bytes, kTagNodeSize);
                       }};
  return LinkNewChild(linker, parent);
}

uint32_t CTagTree::AddNamedChild(uint32_t parent, const char* name) {
  if (!name) return 0;
  const uint32_t node = AddChild(parent);
  return node != 0 && SetName(node, name) ? node : 0;
}

uint32_t CTagTree::AddNamedChildWithText(uint32_t parent, const char* name, const char* text) {
  if (!text) return 0;
  const uint32_t node = AddNamedChild(parent, name);
  return node != 0 && SetNameAndText(node, name, text) ? node : 0;
}

uint32_t CTagTree::AddNamedChildWithObject(uint32_t parent, const char* name, const void* bytes,
                                           uint32_t length) {
  if (!bytes) return 0;
  const uint32_t node = AddNamedChild(parent, name);
  return node != 0 && SetNameAndObject(node, name, bytes, length) ? node : 0;
}
