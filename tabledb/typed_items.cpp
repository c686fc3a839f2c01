#include "tabledb/typed_items.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/allocation_guard.h"
#include "common/file_access.h"
#include "common/le_bytes.h"
#include "common/sjis_text.h"
#include "common/width_kana.h"
#include "tabledb/data_source.h"

namespace {

// The two stores the items live in, behind one small interface: positioned
// reads and writes and the current length.
class FileStore {
 public:
  explicit FileStore(plat::File* file) : file_(file) {}
  bool Valid() const { return file_ != nullptr && file_->IsOpen(); }
  int Length(uint32_t* length) {
    uint64_t len = 0;
    if (!file_->GetLength(len) || len > UINT32_MAX) return 0;
    *length = static_cast<uint32_t>(len);
    return 1;
  }
  int ReadAt(uint32_t position, void* buffer, uint32_t count) {
    return count == 0 ? 1 : ReadBytesFromFileAt(file_, position, buffer, count);
  }
  int WriteAt(uint32_t position, const void* buffer, uint32_t count) {
    return count == 0 ? 1 : WriteBytesToFileAt(file_, position, buffer, count);
  }

 private:
  plat::File* file_;
};

class SourceStore {
 public:
  explicit SourceStore(CDataSource* source) : source_(source) {}
  bool Valid() const { return source_ != nullptr; }
  int Length(uint32_t* length) {
    *length = source_->GetSize();
    return 1;
  }
  int ReadAt(uint32_t position, void* buffer, uint32_t count) {
    return source_->ReadAt(position, buffer, count);
  }
  int WriteAt(uint32_t position, const void* buffer, uint32_t count) {
    return source_->WriteAt(position, buffer, count);
  }

 private:
  CDataSource* source_;
};

// 1 when count bytes from position lie inside the store.
template <typename Store>
int FitsInStore(Store& store, uint32_t position, uint64_t count) {
  uint32_t length = 0;
  if (!store.Length(&length)) return 0;
  return static_cast<uint64_t>(position) + count <= length ? 1 : 0;
}

// Writes the bytes at the store's end; where to *position.
template <typename Store>
int AppendToStore(Store& store, const void* bytes, uint32_t count, uint32_t* position) {
  uint32_t end = 0;
  if (!store.Length(&end)) return 0;
  if (static_cast<uint64_t>(end) + count > UINT32_MAX) return 0;
  if (!store.WriteAt(end, bytes, count)) return 0;
  *position = end;
  return 1;
}

// ---- Text items ----

void EncodeTextHeader(const char* text, uint32_t length, unsigned char* out) {
  StoreLe(out, length, 4);
  int smallest = 255;
  int largest = 0;
  GetByteValueRange(text, &smallest, &largest);
  out[4] = static_cast<unsigned char>(smallest);
  out[5] = static_cast<unsigned char>(largest);
  out[6] = static_cast<unsigned char>(GetCharWidthClass(text));
}

// Writes header and bytes of a text item at position.
template <typename Store>
int WriteTextItemAt(Store& store, uint32_t position, const char* text, uint32_t length) {
  unsigned char header[kTextItemHeaderSize];
  EncodeTextHeader(text, length, header);
  return store.WriteAt(position, header, kTextItemHeaderSize) &&
                 store.WriteAt(position + kTextItemHeaderSize, text, length)
             ? 1
             : 0;
}

// The text's length; false when an item of it would not fit 32-bit
// positions.
bool TextLength(const char* text, uint32_t* length) {
  const std::size_t len = std::strlen(text);
  if (len > UINT32_MAX - kTextItemHeaderSize) return false;
  *length = static_cast<uint32_t>(len);
  return true;
}

template <typename Store>
int AppendText(Store& store, const char* text, uint32_t* position) {
  uint32_t length = 0;
  if (!store.Valid() || !text || !position || !TextLength(text, &length)) return 0;
  uint32_t end = 0;
  if (!store.Length(&end)) return 0;
  if (static_cast<uint64_t>(end) + kTextItemHeaderSize + length > UINT32_MAX) return 0;
  if (!WriteTextItemAt(store, end, text, length)) return 0;
  *position = end;
  return 1;
}

// The stored length of the text item at position, checked against the
// store.
template <typename Store>
int StoredTextLength(Store& store, uint32_t position, uint32_t* length) {
  unsigned char header[4];
  if (!store.ReadAt(position, header, 4)) return 0;
  *length = static_cast<uint32_t>(LoadLe(header, 4));
  return FitsInStore(store, position, static_cast<uint64_t>(kTextItemHeaderSize) + *length);
}

template <typename Store>
int ReadText(Store& store, uint32_t position, char* text, std::size_t textSize) {
  if (!text || textSize == 0) return 0;
  text[0] = '\0';
  uint32_t length = 0;
  if (!store.Valid() || !StoredTextLength(store, position, &length)) return 0;
  if (static_cast<uint64_t>(length) + 1 > textSize) return 0;
  if (!store.ReadAt(position + kTextItemHeaderSize, text, length)) {
    text[0] = '\0';
    return 0;
  }
  text[length] = '\0';
  return 1;
}

template <typename Store>
int ReplaceText(Store& store, uint32_t position, const char* text, uint32_t* newPosition) {
  uint32_t length = 0;
  if (!store.Valid() || !text || !newPosition || !TextLength(text, &length)) return 0;
  if (position != 0) {
    uint32_t stored = 0;
    if (!StoredTextLength(store, position, &stored)) return 0;
    if (stored >= length) {
      if (!WriteTextItemAt(store, position, text, length)) return 0;
      *newPosition = position;
      return 1;
    }
  }
  return AppendText(store, text, newPosition);
}

// ---- Object items ----

template <typename Store>
int AppendObject(Store& store, const void* bytes, uint32_t length, uint32_t* position) {
  if (!store.Valid() || !bytes || !position) return 0;
  uint32_t end = 0;
  if (!store.Length(&end)) return 0;
  if (static_cast<uint64_t>(end) + 4 + length > UINT32_MAX) return 0;
  unsigned char header[4];
  StoreLe(header, length, 4);
  if (!store.WriteAt(end, header, 4) || !store.WriteAt(end + 4, bytes, length)) return 0;
  *position = end;
  return 1;
}

template <typename Store>
int StoredObjectLength(Store& store, uint32_t position, uint32_t* length) {
  unsigned char header[4];
  if (!store.ReadAt(position, header, 4)) return 0;
  *length = static_cast<uint32_t>(LoadLe(header, 4));
  return FitsInStore(store, position, static_cast<uint64_t>(4) + *length);
}

template <typename Store>
int ReadObject(Store& store, uint32_t position, void* buffer, uint32_t bufferSize,
               uint32_t* length) {
  if (!store.Valid() || !length) return 0;
  *length = 0;
  uint32_t stored = 0;
  if (!StoredObjectLength(store, position, &stored)) return 0;
  if (stored > bufferSize || (!buffer && stored > 0)) return 0;
  if (!store.ReadAt(position + 4, buffer, stored)) return 0;
  *length = stored;
  return 1;
}

template <typename Store>
int ReadObjectAlloc(Store& store, uint32_t position, void** block, uint32_t* length) {
  if (!store.Valid() || !block || !length) return 0;
  *block = nullptr;
  *length = 0;
  uint32_t stored = 0;
  if (!StoredObjectLength(store, position, &stored)) return 0;
  if (stored == 0) return 1;
  // Without memory for the block the answer is 0.
  return CatchAllocationFailure(0, [&] {
    void* data = AllocateBlock(stored);
    if (!store.ReadAt(position + 4, data, stored)) {
      std::free(data);
      return 0;
    }
    *block = data;
    *length = stored;
    return 1;
  });
}

template <typename Store>
int ReplaceObject(Store& store, uint32_t position, const void* bytes, uint32_t length,
                  uint32_t* newPosition) {
  if (!store.Valid() || !bytes || !newPosition) return 0;
  if (position != 0) {
    uint32_t stored = 0;
    if (!StoredObjectLength(store, position, &stored)) return 0;
    if (length <= stored) {
      unsigned char header[4];
      StoreLe(header, length, 4);
      if (!store.WriteAt(position, header, 4) || !store.WriteAt(position + 4, bytes, length))
        return 0;
      *newPosition = position;
      return 1;
    }
  }
  return AppendObject(store, bytes, length, newPosition);
}

// ---- Value nodes ----

// Byte i is combined with the key plus i; the operation is its own inverse.
void ScrambleBytes(unsigned char* bytes, uint32_t length, unsigned char key) {
  for (uint32_t i = 0; i < length; ++i) {
    bytes[i] ^= static_cast<unsigned char>(key + i);
  }
}

void EncodeValueNode(const ValueNode& node, unsigned char* out) {
  StoreLe(out, static_cast<uint32_t>(node.type), 4);
  StoreLe(out + 4, node.reserved, 4);
  StoreLe(out + 8, node.previous, 4);
  StoreLe(out + 12, node.next, 4);
}

void DecodeValueNode(const unsigned char* in, ValueNode* node) {
  node->type = static_cast<int32_t>(static_cast<uint32_t>(LoadLe(in, 4)));
  node->reserved = static_cast<uint32_t>(LoadLe(in + 4, 4));
  node->previous = static_cast<uint32_t>(LoadLe(in + 8, 4));
  node->next = static_cast<uint32_t>(LoadLe(in + 12, 4));
}

// Size of the stored value of codes 1-8 (4 for the text position of code
// 9); 0 for any other code.
uint32_t ValueSize(int32_t type) {
  static const uint32_t kSizes[10] = {0, 1, 1, 2, 2, 4, 4, 4, 8, 4};
  return type >= 1 && type <= 9 ? kSizes[type] : 0;
}

// A node of the type followed by the value's bytes (scrambled when asked).
uint32_t AppendNodeWithValue(plat::File* file, uint32_t previous, int32_t type,
                             const unsigned char* value, uint32_t size, bool scramble,
                             unsigned char key) {
  const uint32_t node = AppendValueNode(file, previous, type);
  if (node == 0) return 0;
  uint32_t end = 0;
  if (!SeekFileToEndGetPos(file, &end) || end != node + kValueNodeSize) return 0;
  if (scramble) {
    if (!WriteScrambled(file, value, size, key)) return 0;
  } else if (!WriteBytesToFile(file, value, size)) {
    return 0;
  }
  return node;
}

template <typename T>
uint32_t AppendTypedValue(plat::File* file, uint32_t previous, int32_t type, T value,
                          unsigned char key) {
  unsigned char bytes[sizeof(T)];
  StoreLeValue(bytes, value);
  return AppendNodeWithValue(file, previous, type, bytes, sizeof(T), true, key);
}

}  // namespace

// ---------------------------------------------------------------------------
// Text and object items in a file

int AppendTextItem(plat::File* file, const char* text, uint32_t* position) {
  FileStore store(file);
  return AppendText(store, text, position);
}

int ReadTextItem(plat::File* file, uint32_t position, char* text, std::size_t textSize) {
  FileStore store(file);
  return ReadText(store, position, text, textSize);
}

int ReplaceTextItem(plat::File* file, uint32_t position, const char* text, uint32_t* newPosition) {
  FileStore store(file);
  return ReplaceText(store, position, text, newPosition);
}

int MatchTextItem(plat::File* file, uint32_t position, const char* text, int mode) {
  FileStore store(file);
  if (!store.Valid() || !text) return 0;
  unsigned char header[kTextItemHeaderSize];
  if (!store.ReadAt(position, header, kTextItemHeaderSize)) return 0;
  const uint32_t stored = static_cast<uint32_t>(LoadLe(header, 4));
  if (!FitsInStore(store, position, static_cast<uint64_t>(kTextItemHeaderSize) + stored)) return 0;
  const std::size_t length = std::strlen(text);
  if (stored < length) return 0;
  int smallest = 255;
  int largest = 0;
  GetByteValueRange(text, &smallest, &largest);
  // The byte-range test only says something about a text that has bytes:
  // an empty text lies inside every stored text.
  if (length > 0 && (header[5] < smallest || largest < header[4])) return 0;
  if (mode < kMatchTextEqual || mode > kMatchTextSuffix) return 0;
  if (mode == kMatchTextEqual) {
    if (stored != length || header[4] != smallest || header[5] != largest ||
        header[6] != GetCharWidthClass(text))
      return 0;
  }
  if (length == 0 && mode != kMatchTextEqual) return 1;

  // Without memory for the stored text the answer is 0.
  return CatchAllocationFailure(0, [&] {
    std::vector<char> copy(static_cast<std::size_t>(stored) + 1);
    char* bytes = copy.data();
    int result = 0;
    if (store.ReadAt(position + kTextItemHeaderSize, bytes, stored)) {
      bytes[stored] = '\0';
      switch (mode) {
        case kMatchTextEqual:
        case kMatchTextPrefix:
          result = std::memcmp(bytes, text, length) == 0 ? 1 : 0;
          break;
        case kMatchTextContains:
          result = FindSubstring(text, bytes) > 0 ? 1 : 0;
          break;
        case kMatchTextSuffix: {
          // The tail must start on a character of the stored text: walk
          // forward from its start to find out.
          const std::size_t tail = stored - length;
          std::size_t at = 0;
          while (at < tail) at += IsLeadByte(static_cast<unsigned char>(bytes[at])) ? 2 : 1;
          result = at == tail && std::memcmp(bytes + tail, text, length) == 0 ? 1 : 0;
          break;
        }
        default:
          break;
      }
    }
    return result;
  });
}

int AppendObjectItem(plat::File* file, const void* bytes, uint32_t length, uint32_t* position) {
  FileStore store(file);
  return AppendObject(store, bytes, length, position);
}

int ReadObjectItem(plat::File* file, uint32_t position, void* buffer, uint32_t bufferSize,
                   uint32_t* length) {
  FileStore store(file);
  return ReadObject(store, position, buffer, bufferSize, length);
}

int ReadObjectItemAlloc(plat::File* file, uint32_t position, void** block, uint32_t* length) {
  FileStore store(file);
  return ReadObjectAlloc(store, position, block, length);
}

int ReplaceObjectItem(plat::File* file, uint32_t position, const void* bytes, uint32_t length,
                      uint32_t* newPosition) {
  FileStore store(file);
  return ReplaceObject(store, position, bytes, length, newPosition);
}

// ---------------------------------------------------------------------------
// Value nodes

int ReadValueNode(plat::File* file, uint32_t position, ValueNode* node) {
  unsigned char bytes[kValueNodeSize];
  if (!file || !node || !ReadBytesFromFileAt(file, position, bytes, kValueNodeSize)) return 0;
  DecodeValueNode(bytes, node);
  return 1;
}

int WriteValueNode(plat::File* file, uint32_t position, const ValueNode& node) {
  unsigned char bytes[kValueNodeSize];
  EncodeValueNode(node, bytes);
  return file && WriteBytesToFileAt(file, position, bytes, kValueNodeSize) ? 1 : 0;
}

uint32_t AppendValueNode(plat::File* file, uint32_t previous, int32_t type) {
  FileStore store(file);
  if (!store.Valid()) return 0;
  ValueNode before;
  if (previous != 0 && !ReadValueNode(file, previous, &before)) return 0;
  ValueNode node;
  node.type = type;
  node.previous = previous;
  unsigned char bytes[kValueNodeSize];
  EncodeValueNode(node, bytes);
  uint32_t position = 0;
  if (!AppendToStore(store, bytes, kValueNodeSize, &position)) return 0;
  if (previous != 0) {
    before.next = position;
    if (!WriteValueNode(file, previous, before)) return 0;
  }
  return position;
}

uint32_t AppendUcharValue(plat::File* file, uint32_t previous, unsigned char value,
                          unsigned char key) {
  return AppendTypedValue<unsigned char>(file, previous, 1, value, key);
}

uint32_t AppendCharValue(plat::File* file, uint32_t previous, char value, unsigned char key) {
  return AppendTypedValue<unsigned char>(file, previous, 2, static_cast<unsigned char>(value), key);
}

uint32_t AppendWordValue(plat::File* file, uint32_t previous, uint16_t value, unsigned char key) {
  return AppendTypedValue<uint16_t>(file, previous, 3, value, key);
}

uint32_t AppendShortValue(plat::File* file, uint32_t previous, int16_t value, unsigned char key) {
  return AppendTypedValue<int16_t>(file, previous, 4, value, key);
}

uint32_t AppendDwordValue(plat::File* file, uint32_t previous, uint32_t value, unsigned char key) {
  return AppendTypedValue<uint32_t>(file, previous, 5, value, key);
}

uint32_t AppendIntValue(plat::File* file, uint32_t previous, int32_t value, unsigned char key) {
  return AppendTypedValue<int32_t>(file, previous, 6, value, key);
}

uint32_t AppendFloatValue(plat::File* file, uint32_t previous, float value, unsigned char key) {
  return AppendTypedValue<float>(file, previous, 7, value, key);
}

uint32_t AppendDoubleValue(plat::File* file, uint32_t previous, double value, unsigned char key) {
  return AppendTypedValue<double>(file, previous, 8, value, key);
}

uint32_t AppendTextValue(plat::File* file, uint32_t previous, const char* text) {
  uint32_t textPosition = 0;
  if (!AppendTextItem(file, text, &textPosition)) return 0;
  unsigned char bytes[4];
  StoreLe(bytes, textPosition, 4);
  return AppendNodeWithValue(file, previous, 9, bytes, 4, false, 0);
}

int ReadNodeValue(plat::File* file, uint32_t position, int32_t* type, void* buffer,
                  uint32_t bufferSize, uint32_t* length, unsigned char key) {
  if (!type || !buffer || !length) return 0;
  *length = 0;
  ValueNode node;
  if (!ReadValueNode(file, position, &node)) return 0;
  const uint32_t size = ValueSize(node.type);
  if (size == 0 || static_cast<uint64_t>(position) + kValueNodeSize > UINT32_MAX) return 0;
  // The value lies after the whole node, where the writers put it.
  const uint32_t valuePosition = position + kValueNodeSize;
  if (node.type == 9) {
    unsigned char bytes[4];
    if (!ReadBytesFromFileAt(file, valuePosition, bytes, 4)) return 0;
    char* text = static_cast<char*>(buffer);
    if (!ReadTextItem(file, static_cast<uint32_t>(LoadLe(bytes, 4)), text, bufferSize)) return 0;
    *length = static_cast<uint32_t>(std::strlen(text));
  } else {
    if (size > bufferSize) return 0;
    if (!SeekFileTo(file, valuePosition) || !ReadScrambled(file, buffer, size, key)) return 0;
    *length = size;
  }
  *type = node.type;
  return 1;
}

// ---------------------------------------------------------------------------
// Scrambling

int WriteScrambled(plat::File* file, const void* bytes, uint32_t length, unsigned char key) {
  if (!file || (!bytes && length > 0)) return 0;
  const auto* in = static_cast<const unsigned char*>(bytes);
  unsigned char piece[256];
  for (uint32_t done = 0; done < length;) {
    const uint32_t n = length - done < sizeof piece ? length - done : sizeof piece;
    std::memcpy(piece, in + done, n);
    // The key runs on over the pieces: byte i takes key + i.
    ScrambleBytes(piece, n, static_cast<unsigned char>(key + done));
    if (!WriteBytesToFile(file, piece, n)) return 0;
    done += n;
  }
  return 1;
}

int ReadScrambled(plat::File* file, void* buffer, uint32_t length, unsigned char key) {
  if (!file || (!buffer && length > 0)) return 0;
  if (length == 0) return 1;
  if (!ReadBytesFromFile(file, buffer, length)) return 0;
  ScrambleBytes(static_cast<unsigned char*>(buffer), length, key);
  return 1;
}

// ---------------------------------------------------------------------------
// Keywords and width test

int ParseTypeName(const char* keyword, int32_t* code) {
  if (!keyword || !code) return 0;
  char word[32];
  // Leading and trailing blanks do not count; anything longer than the
  // longest keyword cannot be one.
  while (*keyword == ' ') ++keyword;
  std::size_t length = std::strlen(keyword);
  while (length > 0 && keyword[length - 1] == ' ') --length;
  if (length == 0 || length >= sizeof word) return 0;
  std::memcpy(word, keyword, length);
  word[length] = '\0';
  ToUpperAscii(word);
  static const struct {
    const char* name;
    int32_t code;
  } kTypes[] = {{"UCHAR", 1}, {"CHAR", 2},  {"WORD", 3},   {"SHORT", 4}, {"DWORD", 5},
                {"INT", 6},   {"FLOAT", 7}, {"DOUBLE", 8}, {"STRING", 9}};
  for (const auto& type : kTypes) {
    if (std::strcmp(word, type.name) == 0) {
      *code = type.code;
      return 1;
    }
  }
  return 0;
}

int CheckTextWidth(const char* text, char* copy, std::size_t copySize, int flags) {
  if (!text || !copy || copySize == 0) return 1;
  const std::size_t length = std::strlen(text);
  if (length + 1 > copySize) return 1;
  std::memcpy(copy, text, length + 1);
  if (length == 0) return (flags & 1) ? 2 : 0;
  if ((flags & 4) && (flags & 2)) return 0;
  if (flags & 4) {
    ToFullWidth(copy, copySize);
    return GetCharWidthClass(copy) == 2 ? 0 : 2;
  }
  ToHalfWidthAsciiKana(copy);
  return GetCharWidthClass(copy) == 1 ? 0 : 2;
}

// ---------------------------------------------------------------------------
// Items in a data source

int ReadTextItemAt(CDataSource* source, uint32_t position, char* text, std::size_t textSize) {
  SourceStore store(source);
  return ReadText(store, position, text, textSize);
}

int AppendTextItemAt(CDataSource* source, const char* text, uint32_t* position) {
  SourceStore store(source);
  return AppendText(store, text, position);
}

int ReplaceTextItemAt(CDataSource* source, uint32_t position, const char* text,
                      uint32_t* newPosition) {
  SourceStore store(source);
  return ReplaceText(store, position, text, newPosition);
}

int AppendObjectItemAt(CDataSource* source, const void* bytes, uint32_t length,
                       uint32_t* position) {
  SourceStore store(source);
  return AppendObject(store, bytes, length, position);
}

int ReadObjectItemAt(CDataSource* source, uint32_t position, void* buffer, uint32_t bufferSize,
                     uint32_t* length) {
  SourceStore store(source);
  return ReadObject(store, position, buffer, bufferSize, length);
}

int ReadObjectItemAllocAt(CDataSource* source, uint32_t position, void** block, uint32_t* length) {
  SourceStore store(source);
  return ReadObjectAlloc(store, position, block, length);
}

int ReplaceObjectItemAt(CDataSource* source, uint32_t position, const void* bytes, uint32_t length,
                        uint32_t* newPosition) {
  SourceStore store(source);
  return ReplaceObject(store, position, bytes, length, newPosition);
}
