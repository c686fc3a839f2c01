#include "tabledb/name_index.h"

#include <cstring>
#include <memory>
#include <vector>

#include "common/allocation_guard.h"
#include "common/field_split.h"
#include "common/file_access.h"
#include "common/heap_buffer.h"
#include "common/le_bytes.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/path_util.h"
#include "common/sjis_internal.h"
#include "common/sjis_text.h"
#include "plat/path.h"
#include "tabledb/table_database.h"
#include "tabledb/table_names.h"

using sjis_internal::CharLen;

namespace {

constexpr uint32_t kBucketTableBytes = kNameIndexBucketCount * kNameIndexBucketSize;
// Entries collected before one write while the final file is built.
constexpr uint32_t kEntryChunk = 512;
// The builder reads a record's text into a buffer this large, so that a
// text too long for the index is refused by the add step, not misread.
constexpr std::size_t kBuildTextSize = 65536;

const char* OrEmpty(const char* text) { return text ? text : ""; }

// 1 when the 1-based byte offset starts a character of text (found by
// walking forward from the beginning).
bool IsCharacterStart(const char* text, std::size_t offset) {
  if (offset == 0) return false;
  std::size_t pos = 0;
  while (pos + 1 < offset) {
    const int n = CharLen(text + pos);
    if (n == 0) return false;
    pos += static_cast<std::size_t>(n);
  }
  return pos + 1 == offset && text[pos] != '\0';
}

// pattern occurs in text at or after the character starting at offset.
bool OccursFrom(const char* pattern, const char* text, uint8_t offset) {
  return IsCharacterStart(text, offset) && FindSubstringAt(pattern, text, offset) != 0;
}

// text ends with the whole characters of pattern.
bool EndsWith(const char* text, const char* pattern) {
  const std::size_t textLength = std::strlen(text);
  const std::size_t patternLength = std::strlen(pattern);
  if (textLength < patternLength) return false;
  const std::size_t start = textLength - patternLength;
  if (std::memcmp(text + start, pattern, patternLength) != 0) return false;
  return patternLength == 0 || IsCharacterStart(text, start + 1);
}

void EncodeHeader(const NameIndexHeader& in, unsigned char out[kNameIndexHeaderSize]) {
  std::memcpy(out, in.magic, 4);
  std::memcpy(out + 4, in.tableName, kNameIndexTableNameSize);
  out[4 + kNameIndexTableNameSize] = in.fieldCount;
}

void DecodeHeader(const unsigned char in[kNameIndexHeaderSize], NameIndexHeader* out) {
  std::memcpy(out->magic, in, 4);
  std::memcpy(out->tableName, in + 4, kNameIndexTableNameSize);
  out->tableName[kNameIndexTableNameSize - 1] = '\0';
  out->fieldCount = in[4 + kNameIndexTableNameSize];
}

// Bucket c of the builder's table: record c + 1, three u32 values.
struct BuildBucket {
  uint32_t count;
  uint32_t first;
  uint32_t last;
};

bool LoadBuildBucket(const CRecordArray& buckets, uint16_t code, BuildBucket* out) {
  if (buckets.GetElementSize() != kNameIndexBuildBucketSize) return false;
  const auto* p = static_cast<const unsigned char*>(buckets.GetPtr(uint32_t{code} + 1));
  if (!p) return false;
  out->count = static_cast<uint32_t>(LoadLe(p, 4));
  out->first = static_cast<uint32_t>(LoadLe(p + 4, 4));
  out->last = static_cast<uint32_t>(LoadLe(p + 8, 4));
  return true;
}

bool StoreBuildBucket(CRecordArray* buckets, uint16_t code, const BuildBucket& in) {
  auto* p = static_cast<unsigned char*>(buckets->GetPtr(uint32_t{code} + 1));
  if (!p) return false;
  StoreLe(p, in.count, 4);
  StoreLe(p + 4, in.first, 4);
  StoreLe(p + 8, in.last, 4);
  return true;
}

// Length of the file, refused when a node more would not have a 32-bit
// position.
bool EndForNewNode(plat::File* file, uint32_t* position) {
  uint64_t length = 0;
  if (!file->GetLength(length) || length + kNameIndexNodeSize > UINT32_MAX) return false;
  *position = static_cast<uint32_t>(length);
  return true;
}

void Report(NameIndexProgress progress, const char* format, long done, long total) {
  if (!progress) return;
  char text[kMessageSize];
  SetMessage(text, format, done, total);
  progress(text);
}

void CloseAndRemove(plat::File* file, const char* path) {
  file->Close();
  RemoveFile(path);
}

// ---- The search, shared by its three output forms ----

// Reads a bucket or reports the index read failure.
bool ReadBucketOrReport(plat::File* index, uint16_t code, NameIndexBucket* bucket, uint32_t table,
                        const char* indexPath, char* message) {
  if (ReadNameIndexBucket(index, code, bucket, table)) return true;
  SetMessage(message, kMsgFileRead, indexPath);
  return false;
}

// The words of an all-words key; the lead word is the one whose first
// character has the fewest entries (the first of equals).
bool SplitSearchWords(plat::File* index, const char* key, uint32_t table, const char* indexPath,
                      char* message, std::vector<std::string>* words, std::size_t* lead) {
  auto split = std::make_unique<CBlankFieldList>();
  std::unique_ptr<char[]> field(new char[std::strlen(key) + 1]);
  if (!split->Split(key)) {
    SetMessage(message, kMsgWorkMemory);
    return false;
  }
  uint32_t fewest = 0;
  for (int n = 1; n <= split->GetCount(); ++n) {
    words->emplace_back(split->GetField(field.get(), n));
    NameIndexBucket bucket;
    if (!ReadBucketOrReport(index, CharacterCode(field.get()), &bucket, table, indexPath, message))
      return false;
    if (n == 1 || bucket.count < fewest) {
      fewest = bucket.count;
      *lead = words->size() - 1;
    }
  }
  return true;
}

// Whether a record's text, found through an entry whose character stands
// at `offset` of it, matches in the match mode; `whole` when the entry's
// characters are the whole search text.
bool Matches(int matchMode, bool whole, const char* text, const char* recordText, uint8_t offset,
             const std::vector<std::string>& words, std::size_t lead) {
  if (whole && matchMode != kNameIndexAllWords) return true;
  if (matchMode == kNameIndexStartsWith) return offset == 1 && FindSubstring(text, recordText) == 1;
  if (matchMode == kNameIndexContains) return OccursFrom(text, recordText, offset);
  if (matchMode == kNameIndexEndsWith) return EndsWith(recordText, text);
  if (matchMode != kNameIndexAllWords) return false;
  bool accept = OccursFrom(text, recordText, offset);
  for (std::size_t w = 0; accept && w < words.size(); ++w)
    if (w != lead) accept = FindSubstring(words[w].c_str(), recordText) != 0;
  return accept;
}

// Sink: Begin(message) once the index and the database are open,
// Accept(record, text, message) per matching record, End(message) after
// the last; each answers false after writing its message.
template <typename Sink>
int RunSearch(const char* indexPath, const char* databasePath, const char* key, int characterMode,
              int matchMode, char* message, Sink& sink) {
  indexPath = OrEmpty(indexPath);
  databasePath = OrEmpty(databasePath);
  plat::File index;
  if (!OpenFileForRead(&index, indexPath)) {
    SetMessage(message, kMsgFileOpen, indexPath);
    return 0;
  }
  CTableDatabase database;
  if (!database.Open(databasePath)) {
    SetMessage(message, kMsgFileOpen, databasePath);
    return 0;
  }
  if (!sink.Begin(message)) return 0;
  if (key == nullptr || key[0] == '\0') return sink.End(message) ? 1 : 0;

  NameIndexHeader header;
  uint32_t offsets[kNameIndexMaxFields];
  if (!ReadNameIndexHeader(&index, &header, offsets)) {
    SetMessage(message, kMsgFileRead, indexPath);
    return 0;
  }
  const uint32_t table = NameIndexBucketTablePosition(header.fieldCount);

  // The search text: the whole key, or in the all-words mode the word whose
  // first character has the fewest entries (the first of equals).
  std::vector<std::string> words;
  std::size_t lead = 0;
  std::string search;
  if (matchMode == kNameIndexAllWords) {
    if (!SplitSearchWords(&index, key, table, indexPath, message, &words, &lead)) return 0;
    search = words[lead];
  } else {
    search = key;
  }

  const char* text = search.c_str();
  const int first = CharLen(text);
  const uint16_t c1 = CharacterCode(text);
  uint16_t c2 = 0;
  bool whole = text[first] == '\0';
  if (characterMode == kNameIndexCharacterPair && !whole) {
    c2 = CharacterCode(text + first);
    whole = text[first + CharLen(text + first)] == '\0';
  }

  NameIndexBucket bucket;
  if (!ReadBucketOrReport(&index, c1, &bucket, table, indexPath, message)) return 0;
  if (bucket.count == 0) return sink.End(message) ? 1 : 0;
  uint64_t indexLength = 0;
  const uint64_t entryBytes = uint64_t{bucket.count} * kNameIndexEntrySize;
  if (!index.GetLength(indexLength) || bucket.first == 0 ||
      bucket.first + entryBytes > indexLength) {
    SetMessage(message, kMsgFileRead, indexPath);
    return 0;
  }
  CHeapBuffer entryBuffer;
  auto* entries =
      static_cast<unsigned char*>(entryBuffer.Allocate(bucket.count, kNameIndexEntrySize));
  if (!entries) {
    SetMessage(message, kMsgWorkMemory);
    return 0;
  }
  if (!ReadBytesFromFileAt(&index, bucket.first, entries, static_cast<uint32_t>(entryBytes))) {
    SetMessage(message, kMsgFileRead, indexPath);
    return 0;
  }

  uint32_t lastAccepted = 0;
  char recordText[kNameIndexTextSize];
  for (uint32_t i = 0; i < bucket.count; ++i) {
    NameIndexEntry entry;
    DecodeNameIndexEntry(entries + uint64_t{i} * kNameIndexEntrySize, &entry);
    if (entry.record == lastAccepted) continue;
    if (c2 != 0 && entry.nextCode != c2) continue;
    if (!GetIndexedText(recordText, sizeof recordText, &database, entry.record, offsets,
                        header.fieldCount)) {
      SetMessage(message, kMsgFileRead, databasePath);
      return 0;
    }
    if (!Matches(matchMode, whole, text, recordText, entry.offset, words, lead)) continue;
    if (!sink.Accept(entry.record, recordText, message)) return 0;
    lastAccepted = entry.record;
  }
  return sink.End(message) ? 1 : 0;
}

// Runs a search under the entry's allocation rule (common/allocation_guard.h).
template <typename Sink>
int RunSearchSafely(const char* indexPath, const char* databasePath, const char* key,
                    int characterMode, int matchMode, char* message, Sink& sink) {
  return CatchAllocationFailure(message, 0, [&] {
    return RunSearch(indexPath, databasePath, key, characterMode, matchMode, message, sink);
  });
}

class FileSink {
 public:
  explicit FileSink(const char* path) : path_(OrEmpty(path)) {}
  ~FileSink() { Abort(); }

  bool Begin(char* message) {
    if (!OpenNewFileForReadWrite(&file_, path_)) {
      SetMessage(message, kMsgFileOpen, path_);
      return false;
    }
    created_ = true;
    return true;
  }
  bool Accept(uint32_t record, const char*, char* message) {
    unsigned char bytes[4];
    StoreLe(bytes, record, 4);
    if (WriteBytesToFile(&file_, bytes, 4)) return true;
    SetMessage(message, kMsgFileWrite, path_);
    return false;
  }
  bool End(char* message) {
    if (file_.Close()) {
      created_ = false;  // finished: kept
      return true;
    }
    SetMessage(message, kMsgFileWrite, path_);
    return false;
  }
  // Closes and removes an output file that was not finished.
  void Abort() {
    if (!created_) return;
    CloseAndRemove(&file_, path_);
    created_ = false;
  }

 private:
  const char* path_;
  plat::File file_;
  bool created_ = false;
};

class ArraySink {
 public:
  explicit ArraySink(CStringArray* array) : array_(array) {}
  bool Begin(char*) { return true; }
  bool Accept(uint32_t, const char* text, char*) {
    array_->emplace_back(text);
    return true;
  }
  bool End(char*) { return true; }

 private:
  CStringArray* array_;
};

class ListSink {
 public:
  explicit ListSink(CRecordList* list) : list_(list) {}
  bool Begin(char*) { return true; }
  bool Accept(uint32_t record, const char*, char* message) {
    if (list_->Add(&record)) return true;
    SetMessage(message, kMsgWorkMemory);
    return false;
  }
  bool End(char*) { return true; }

 private:
  CRecordList* list_;
};

// The builder's failures after the intermediate file exists.
int FailIntermediate(plat::File* file, const char* path) {
  CloseAndRemove(file, path);
  return 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Character codes and bytes

uint16_t CharacterCode(const char* text) {
  if (text == nullptr || text[0] == '\0') return 0;
  const auto first = static_cast<unsigned char>(text[0]);
  if (CharLen(text) == 2)
    return static_cast<uint16_t>(first | static_cast<unsigned char>(text[1]) << 8);
  return static_cast<uint16_t>(static_cast<int16_t>(static_cast<int8_t>(first)));
}

void EncodeNameIndexEntry(const NameIndexEntry& in, unsigned char out[kNameIndexEntrySize]) {
  StoreLe(out, in.nextCode, 2);
  StoreLe(out + 2, in.record, 4);
  out[6] = in.length;
  out[7] = in.offset;
}

void DecodeNameIndexEntry(const unsigned char in[kNameIndexEntrySize], NameIndexEntry* out) {
  out->nextCode = static_cast<uint16_t>(LoadLe(in, 2));
  out->record = static_cast<uint32_t>(LoadLe(in + 2, 4));
  out->length = in[6];
  out->offset = in[7];
}

void EncodeNameIndexNode(const NameIndexNode& in, unsigned char out[kNameIndexNodeSize]) {
  StoreLe(out, in.next, 4);
  EncodeNameIndexEntry(in.entry, out + 4);
}

void DecodeNameIndexNode(const unsigned char in[kNameIndexNodeSize], NameIndexNode* out) {
  out->next = static_cast<uint32_t>(LoadLe(in, 4));
  DecodeNameIndexEntry(in + 4, &out->entry);
}

// ---------------------------------------------------------------------------
// File-level helpers

uint32_t NameIndexBucketTablePosition(int fieldCount) {
  return kNameIndexHeaderSize + 4 * static_cast<uint32_t>(fieldCount);
}

int CreateNameIndexFile(plat::File* file, const char* path, const char* tableName,
                        const uint32_t* fieldOffsets, int fieldCount) {
  if (!file || !tableName || fieldCount < 0 || fieldCount > kNameIndexMaxFields ||
      (fieldCount > 0 && !fieldOffsets) ||
      strnlen(tableName, kNameIndexTableNameSize) >= kNameIndexTableNameSize)
    return 0;
  NameIndexHeader header;
  std::memcpy(header.tableName, tableName, std::strlen(tableName));
  header.fieldCount = static_cast<uint8_t>(fieldCount);
  unsigned char bytes[kNameIndexHeaderSize + 4 * kNameIndexMaxFields];
  EncodeHeader(header, bytes);
  for (int i = 0; i < fieldCount; ++i)
    StoreLe(bytes + kNameIndexHeaderSize + 4 * i, fieldOffsets[i], 4);
  if (!OpenNewFileForReadWrite(file, path)) return 0;
  if (!WriteBytesToFile(file, bytes, NameIndexBucketTablePosition(fieldCount)) ||
      !FillFileBytes(file, 0, kBucketTableBytes, 65536)) {
    CloseAndRemove(file, path);
    return 0;
  }
  return 1;
}

int ReadNameIndexHeader(plat::File* file, NameIndexHeader* header, uint32_t* fieldOffsets) {
  if (!file || !header || !fieldOffsets) return 0;
  unsigned char bytes[kNameIndexHeaderSize];
  if (!ReadBytesFromFileAt(file, 0, bytes, kNameIndexHeaderSize)) return 0;
  DecodeHeader(bytes, header);
  if (std::memcmp(header->magic, "N-SI", 4) != 0) return 0;
  unsigned char offsets[4 * kNameIndexMaxFields];
  const uint32_t n = header->fieldCount;
  if (n > 0 && !ReadBytesFromFile(file, offsets, 4 * n)) return 0;
  for (uint32_t i = 0; i < n; ++i)
    fieldOffsets[i] = static_cast<uint32_t>(LoadLe(offsets + 4 * i, 4));
  return 1;
}

int RewriteNameIndexHeader(plat::File* file, const NameIndexHeader& header) {
  unsigned char bytes[kNameIndexHeaderSize];
  EncodeHeader(header, bytes);
  return WriteBytesToFileAt(file, 0, bytes, kNameIndexHeaderSize);
}

int ReadNameIndexBucket(plat::File* file, uint16_t code, NameIndexBucket* bucket,
                        uint32_t tablePosition) {
  const uint64_t position = tablePosition + uint64_t{code} * kNameIndexBucketSize;
  if (!bucket || position > UINT32_MAX) return 0;
  unsigned char bytes[kNameIndexBucketSize];
  if (!ReadBytesFromFileAt(file, static_cast<uint32_t>(position), bytes, kNameIndexBucketSize))
    return 0;
  bucket->count = static_cast<uint32_t>(LoadLe(bytes, 4));
  bucket->first = static_cast<uint32_t>(LoadLe(bytes + 4, 4));
  return 1;
}

int WriteNameIndexBucket(plat::File* file, uint16_t code, const NameIndexBucket& bucket,
                         uint32_t tablePosition) {
  const uint64_t position = tablePosition + uint64_t{code} * kNameIndexBucketSize;
  if (position > UINT32_MAX) return 0;
  unsigned char bytes[kNameIndexBucketSize];
  StoreLe(bytes, bucket.count, 4);
  StoreLe(bytes + 4, bucket.first, 4);
  return WriteBytesToFileAt(file, static_cast<uint32_t>(position), bytes, kNameIndexBucketSize);
}

int ReadNameIndexNode(plat::File* file, uint32_t position, NameIndexNode* node) {
  unsigned char bytes[kNameIndexNodeSize];
  if (!node || position == 0 || !ReadBytesFromFileAt(file, position, bytes, kNameIndexNodeSize))
    return 0;
  DecodeNameIndexNode(bytes, node);
  return 1;
}

int WriteNameIndexNode(plat::File* file, uint32_t position, const NameIndexNode& node) {
  if (position == 0) return 0;
  unsigned char bytes[kNameIndexNodeSize];
  EncodeNameIndexNode(node, bytes);
  return WriteBytesToFileAt(file, position, bytes, kNameIndexNodeSize);
}

int AppendNameIndexNode(plat::File* file, uint16_t code, const NameIndexNode& node,
                        uint32_t tablePosition) {
  NameIndexBucket bucket;
  uint32_t position = 0;
  if (!file || !ReadNameIndexBucket(file, code, &bucket, tablePosition) ||
      bucket.count == UINT32_MAX || !EndForNewNode(file, &position))
    return 0;
  NameIndexNode added = node;
  added.next = 0;
  if (!WriteNameIndexNode(file, position, added)) return 0;
  if (bucket.count == 0) {
    bucket.first = position;
  } else {
    // The walk follows count - 1 links; a chain that ends early is damaged.
    uint32_t last = bucket.first;
    NameIndexNode current;
    if (!ReadNameIndexNode(file, last, &current)) return 0;
    for (uint32_t i = 1; i < bucket.count; ++i) {
      if (current.next == 0) return 0;
      last = current.next;
      if (!ReadNameIndexNode(file, last, &current)) return 0;
    }
    current.next = position;
    if (!WriteNameIndexNode(file, last, current)) return 0;
  }
  ++bucket.count;
  return WriteNameIndexBucket(file, code, bucket, tablePosition);
}

// ---------------------------------------------------------------------------
// The builder's bucket table

int InitNameIndexBuckets(CRecordArray* buckets) {
  if (!buckets) return 0;
  return buckets->Create(kNameIndexBucketCount, kNameIndexBuildBucketSize);
}

int AppendNameIndexNodeFast(plat::File* file, uint16_t code, CRecordArray* buckets,
                            const NameIndexNode& node) {
  BuildBucket bucket;
  uint32_t position = 0;
  if (!file || !buckets || !LoadBuildBucket(*buckets, code, &bucket) ||
      bucket.count == UINT32_MAX || !EndForNewNode(file, &position))
    return 0;
  NameIndexNode added = node;
  added.next = 0;
  if (!WriteNameIndexNode(file, position, added)) return 0;
  if (bucket.count == 0) {
    bucket.first = position;
  } else {
    // The link is the first field of the last node.
    unsigned char link[4];
    StoreLe(link, position, 4);
    if (bucket.last == 0 || !WriteBytesToFileAt(file, bucket.last, link, 4)) return 0;
  }
  ++bucket.count;
  bucket.last = position;
  return StoreBuildBucket(buckets, code, bucket) ? 1 : 0;
}

int AddTextToNameIndex(plat::File* file, CRecordArray* buckets, const char* text, uint32_t record) {
  if (!text) return 0;
  const std::size_t length = strnlen(text, kNameIndexTextSize);
  if (length >= kNameIndexTextSize) return 0;
  std::size_t offset = 0;
  while (offset < length) {
    const int n = CharLen(text + offset);
    NameIndexNode node;
    node.entry.nextCode = CharacterCode(text + offset + n);
    node.entry.record = record;
    node.entry.length = static_cast<uint8_t>(length);
    node.entry.offset = static_cast<uint8_t>(offset + 1);
    if (!AppendNameIndexNodeFast(file, CharacterCode(text + offset), buckets, node)) return 0;
    offset += static_cast<std::size_t>(n);
  }
  return 1;
}

int WriteNameIndexBuckets(plat::File* file, const CRecordArray& buckets, uint32_t tablePosition) {
  CHeapBuffer heap;
  auto* bytes = static_cast<unsigned char*>(heap.Allocate(kBucketTableBytes, 1));
  if (!file || !bytes) return 0;
  for (uint32_t c = 0; c < kNameIndexBucketCount; ++c) {
    BuildBucket bucket;
    if (!LoadBuildBucket(buckets, static_cast<uint16_t>(c), &bucket)) return 0;
    StoreLe(bytes + c * kNameIndexBucketSize, bucket.count, 4);
    StoreLe(bytes + c * kNameIndexBucketSize + 4, bucket.first, 4);
  }
  return WriteBytesToFileAt(file, tablePosition, bytes, kBucketTableBytes);
}

int GetIndexedText(char* output, std::size_t outputSize, CTableDatabase* database, uint32_t record,
                   const uint32_t* fieldOffsets, int fieldCount) {
  if (!output || outputSize == 0) return 0;
  output[0] = '\0';
  if (!database || fieldCount < 0 || (fieldCount > 0 && !fieldOffsets)) return 0;
  std::size_t used = 0;
  for (int i = 0; i < fieldCount; ++i) {
    if (!database->GetStringAt(record, fieldOffsets[i], output + used, outputSize - used)) {
      output[0] = '\0';
      return 0;
    }
    used += std::strlen(output + used);
  }
  return 1;
}

// ---------------------------------------------------------------------------
// Searches

int SearchNameIndexToFile(const char* outputPath, const char* key, const char* databasePath,
                          const char* indexPath, int characterMode, int matchMode, char* message) {
  FileSink sink(outputPath);
  return RunSearchSafely(indexPath, databasePath, key, characterMode, matchMode, message, sink);
}

int SearchNameIndexToArray(CStringArray* array, const char* indexPath, const char* databasePath,
                           const char* key, int characterMode, int matchMode, char* message) {
  if (!array) {
    SetMessage(message, kMsgWorkMemory);
    return 0;
  }
  array->clear();
  if (key == nullptr || key[0] == '\0') return 1;
  ArraySink sink(array);
  if (RunSearchSafely(indexPath, databasePath, key, characterMode, matchMode, message, sink))
    return 1;
  array->clear();
  return 0;
}

int SearchNameIndexToList(CRecordList* list, const char* indexPath, const char* databasePath,
                          const char* key, int characterMode, int matchMode, char* message) {
  if (!list || list->GetElementSize() != 4) {
    SetMessage(message, kMsgWorkMemory);
    return 0;
  }
  if (key == nullptr || key[0] == '\0') return 1;
  const uint32_t before = list->GetCount();
  ListSink sink(list);
  if (RunSearchSafely(indexPath, databasePath, key, characterMode, matchMode, message, sink))
    return 1;
  list->DropLast(list->GetCount() - before);
  return 0;
}

// ---------------------------------------------------------------------------
// Building

// The offsets of the named string fields, in the order of the names.
bool ReadFieldOffsets(CTableDatabase* database, const char* databasePath, const char* tableName,
                      const CRecordList& fieldNames, uint32_t* offsets, char* message) {
  const uint32_t nameCount = fieldNames.GetCount();
  const uint32_t elementSize = fieldNames.GetElementSize();
  for (uint32_t i = 1; i <= nameCount; ++i) {
    const auto* element = static_cast<const char*>(fieldNames.GetPtr(i));
    char name[kTdbNameSize] = {};
    const std::size_t length = element ? strnlen(element, elementSize) : 0;
    if (element) std::memcpy(name, element, length < kTdbNameSize ? length : kTdbNameSize - 1);
    int32_t type = 0;
    uint32_t offset = 0;
    // Names of 256 bytes or more, and names beyond the 255th, are no
    // field of the index.
    if (!element || length >= kTdbNameSize || i > static_cast<uint32_t>(kNameIndexMaxFields) ||
        !database->FindField(tableName, name, &type, nullptr, &offset, nullptr)) {
      SetMessage(message, "フィールド情報の取得に失敗しました！(%s:%s)", databasePath, name);
      return false;
    }
    if (type != kTdbString) {
      SetMessage(message, "フィールドのデータタイプが文字列ではありません！(%s:%s)", databasePath,
                 name);
      return false;
    }
    offsets[i - 1] = offset;
  }
  return true;
}

// The record count of the table and its first record; the message when the
// table is missing, empty or unreadable.
bool FindRecordChain(CTableDatabase* database, const char* databasePath, const char* tableName,
                     uint32_t* total, uint32_t* first, char* message) {
  if (!CountTableRecords(database, tableName, total)) {
    if (database->FindTable(tableName) == 0)
      SetMessage(message, "テーブルが見つかりません！(%s)", databasePath);
    else
      SetMessage(message, "インデックスの取得に失敗しました！(%s)", databasePath);
    return false;
  }
  if (*total == 0) {
    SetMessage(message, "レコードがありません！");
    return false;
  }
  const uint32_t tablePosition = database->FindTable(tableName);
  if (tablePosition == 0) {
    SetMessage(message, "テーブルが見つかりません！(%s)", databasePath);
    return false;
  }
  TdbTableEntry entry;
  if (!database->ReadTableEntry(tablePosition, &entry)) {
    SetMessage(message, "テーブルの取得に失敗しました！(%s)", databasePath);
    return false;
  }
  if (entry.firstRecord == 0) {
    SetMessage(message, "テーブルが存在しません！(%s)", databasePath);
    return false;
  }
  *first = entry.firstRecord;
  return true;
}

int BuildIntermediateNameIndex(const char* databasePath, const char* tableName,
                               const CRecordList& fieldNames, const char* intermediatePath,
                               char* message, NameIndexProgress progress) {
  databasePath = OrEmpty(databasePath);
  tableName = OrEmpty(tableName);
  intermediatePath = OrEmpty(intermediatePath);
  CTableDatabase database;
  if (!database.Open(databasePath)) {
    SetMessage(message, kMsgFileOpen, databasePath);
    return 0;
  }
  const uint32_t nameCount = fieldNames.GetCount();
  if (nameCount == 0) {
    SetMessage(message, "検索文字列フィールドが設定されていません！");
    return 0;
  }

  // Field offsets, in the order of the names.
  uint32_t offsets[kNameIndexMaxFields];
  if (!ReadFieldOffsets(&database, databasePath, tableName, fieldNames, offsets, message)) return 0;
  const int fieldCount = static_cast<int>(nameCount);

  CRecordArray buckets;
  CHeapBuffer textHeap;
  auto* text = static_cast<char*>(textHeap.Allocate(kBuildTextSize, 1));
  if (!text || !InitNameIndexBuckets(&buckets)) {
    SetMessage(message, kMsgWorkMemory);
    return 0;
  }
  plat::File file;
  if (!CreateNameIndexFile(&file, intermediatePath, tableName, offsets, fieldCount)) {
    SetMessage(message, kMsgFileOpen, intermediatePath);
    return 0;
  }

  uint32_t total = 0;
  uint32_t record = 0;
  if (!FindRecordChain(&database, databasePath, tableName, &total, &record, message))
    return FailIntermediate(&file, intermediatePath);

  // The chain was just counted, so the walk takes exactly total steps.
  for (uint32_t n = 1; n <= total; ++n) {
    if (n % 1000 == 0)
      Report(progress, "中間ファイル作成中：%ld/%ld", static_cast<long>(n),
             static_cast<long>(total));
    TdbRecordHeader recordHeader;
    if (record == 0 || !database.ReadRecordHeader(record, &recordHeader)) {
      SetMessage(message, "インデックスの取得に失敗しました！(%s)", databasePath);
      return FailIntermediate(&file, intermediatePath);
    }
    if (!GetIndexedText(text, kBuildTextSize, &database, record, offsets, fieldCount)) {
      SetMessage(message, "文字列の取得に失敗しました！(%s：%ldレコード目)", intermediatePath,
                 static_cast<long>(n));
      return FailIntermediate(&file, intermediatePath);
    }
    if (!AddTextToNameIndex(&file, &buckets, text, record)) {
      SetMessage(message, "文字列の追加に失敗しました！(%s：%ldレコード目)", intermediatePath,
                 static_cast<long>(n));
      return FailIntermediate(&file, intermediatePath);
    }
    record = recordHeader.nextRecord;
  }

  if (!WriteNameIndexBuckets(&file, buckets, NameIndexBucketTablePosition(fieldCount)) ||
      !file.Close()) {
    SetMessage(message, "インデックスの書き込みに失敗しました！(%s)", intermediatePath);
    return FailIntermediate(&file, intermediatePath);
  }
  return 1;
}

// The intermediate file read once, whole: its buckets and nodes are decoded
// from memory (a bucket or node beyond its end fails as a read of the file
// would).
class IntermediateImage {
 public:
  void Load(plat::File* source, uint64_t length, uint32_t table) {
    table_ = table;
    if (length > UINT32_MAX) length = 0;
    // Without memory for the copy every read of it fails.
    CatchAllocationFailure(0, [&] {
      bytes_.resize(static_cast<std::size_t>(length));
      return 1;
    });
    if (bytes_.size() != length ||
        (length > 0 &&
         !ReadBytesFromFileAt(source, 0, bytes_.data(), static_cast<uint32_t>(length)))) {
      bytes_.clear();
    }
  }
  int ReadBucket(uint16_t code, NameIndexBucket* bucket) const {
    const uint64_t position = table_ + uint64_t{code} * kNameIndexBucketSize;
    if (position + kNameIndexBucketSize > bytes_.size()) return 0;
    bucket->count = static_cast<uint32_t>(LoadLe(bytes_.data() + position, 4));
    bucket->first = static_cast<uint32_t>(LoadLe(bytes_.data() + position + 4, 4));
    return 1;
  }
  int ReadNode(uint32_t position, NameIndexNode* node) const {
    if (position == 0 || uint64_t{position} + kNameIndexNodeSize > bytes_.size()) return 0;
    DecodeNameIndexNode(bytes_.data() + position, node);
    return 1;
  }

 private:
  std::vector<unsigned char> bytes_;
  uint32_t table_ = 0;
};

// Writes the entries of a bucket's node chain at *end of the target, in
// chunks; *end moves past them.
bool CopyChainEntries(const IntermediateImage& image, const NameIndexBucket& bucket,
                      plat::File* target, uint32_t* end, const char* indexPath, char* message) {
  unsigned char chunk[kEntryChunk * kNameIndexEntrySize];
  uint32_t write = *end;
  uint32_t node = bucket.first;
  uint32_t held = 0;
  for (uint32_t k = 0; k < bucket.count; ++k) {
    NameIndexNode current;
    if (!image.ReadNode(node, &current)) {
      SetMessage(message, "中間ファイルへの読み込みに失敗しました！");
      return false;
    }
    EncodeNameIndexEntry(current.entry, chunk + held * kNameIndexEntrySize);
    node = current.next;
    if (++held == kEntryChunk || k + 1 == bucket.count) {
      if (!WriteBytesToFileAt(target, write, chunk, held * kNameIndexEntrySize)) {
        SetMessage(message, kMsgDataWrite, indexPath);
        return false;
      }
      write += held * kNameIndexEntrySize;
      *end = write;
      held = 0;
    }
  }
  return true;
}

int BuildStringIndex(const char* indexPath, const char* intermediatePath, char* message,
                     NameIndexProgress progress) {
  indexPath = OrEmpty(indexPath);
  intermediatePath = OrEmpty(intermediatePath);
  plat::File source;
  if (!OpenFileForRead(&source, intermediatePath)) {
    SetMessage(message, kMsgFileOpen, intermediatePath);
    return 0;
  }
  NameIndexHeader header;
  uint32_t offsets[kNameIndexMaxFields];
  uint64_t sourceLength = 0;
  if (!ReadNameIndexHeader(&source, &header, offsets) || !source.GetLength(sourceLength)) {
    SetMessage(message, kMsgFileRead, intermediatePath);
    return 0;
  }
  plat::File target;
  if (!CreateNameIndexFile(&target, indexPath, header.tableName, offsets, header.fieldCount)) {
    SetMessage(message, kMsgFileCreate, indexPath);
    return 0;
  }

  const uint32_t table = NameIndexBucketTablePosition(header.fieldCount);
  // A chain cannot hold more nodes than the intermediate file.
  const uint64_t maxNodes = sourceLength / kNameIndexNodeSize;
  IntermediateImage image;
  image.Load(&source, sourceLength, table);
  uint32_t end = 0;  // the target's length, kept as it grows
  if (!SeekFileToEndGetPos(&target, &end)) {
    SetMessage(message, "ファイルのシークに失敗しました！");
    CloseAndRemove(&target, indexPath);
    return 0;
  }
  for (uint32_t c = 0; c < kNameIndexBucketCount; ++c) {
    const auto code = static_cast<uint16_t>(c);
    if (c % 1000 == 0)
      Report(progress, "インデックスファイル作成中：%ld/%ld", static_cast<long>(c), 65535L);
    NameIndexBucket bucket;
    if (!image.ReadBucket(code, &bucket)) {
      SetMessage(message, "インデックスレコードの読み込みに失敗しました！");
      CloseAndRemove(&target, indexPath);
      return 0;
    }
    if (bucket.count == 0) continue;  // the new table holds zeros already
    if (bucket.count > maxNodes) {
      SetMessage(message, "中間ファイルへの読み込みに失敗しました！");
      CloseAndRemove(&target, indexPath);
      return 0;
    }
    const uint32_t start = end;
    if (start + uint64_t{bucket.count} * kNameIndexEntrySize > UINT32_MAX) {
      SetMessage(message, kMsgDataWrite, indexPath);
      CloseAndRemove(&target, indexPath);
      return 0;
    }
    if (!CopyChainEntries(image, bucket, &target, &end, indexPath, message)) {
      CloseAndRemove(&target, indexPath);
      return 0;
    }
    NameIndexBucket written;
    written.count = bucket.count;
    written.first = start;
    if (!WriteNameIndexBucket(&target, code, written, table)) {
      SetMessage(message, "インデックスの作成に失敗しました！");
      CloseAndRemove(&target, indexPath);
      return 0;
    }
  }
  if (!target.Close()) {
    SetMessage(message, kMsgDataWrite, indexPath);
    RemoveFile(indexPath);
    return 0;
  }
  return 1;
}

int BuildNameIndex(const char* databasePath, const char* tableName, const char* const* fieldNames,
                   int fieldCount, const char* indexPath, char* message) {
  CRecordList names;
  if (fieldCount < 0 || (fieldCount > 0 && !fieldNames) ||
      !names.Create(fieldCount > 0 ? static_cast<uint32_t>(fieldCount) : 1, kTdbNameSize, 1)) {
    SetMessage(message, kMsgWorkMemory);
    return 0;
  }
  for (int i = 0; i < fieldCount; ++i) {
    // Longer names are cut to a whole element without its NUL, which no
    // field matches.
    char element[kTdbNameSize] = {};
    const char* name = OrEmpty(fieldNames[i]);
    const std::size_t length = strnlen(name, kTdbNameSize);
    std::memcpy(element, name, length);
    if (!names.Add(element)) {
      SetMessage(message, kMsgWorkMemory);
      return 0;
    }
  }
  std::string folder;
  std::string intermediate;
  if (!plat::path::TempFolder(folder) ||
      !plat::path::MakeTempFileName(folder.c_str(), "SIF", intermediate)) {
    SetMessage(message, kMsgFileCreate, folder.c_str());
    return 0;
  }
  const int built = BuildIntermediateNameIndex(databasePath, tableName, names, intermediate.c_str(),
                                               message, nullptr) &&
                    BuildStringIndex(indexPath, intermediate.c_str(), message, nullptr);
  RemoveFile(intermediate.c_str());
  return built;
}

// ---------------------------------------------------------------------------
// The address data set's name indexes

const AddressNameIndexDefinition kAddressNameIndexes[kAddressNameIndexCount] = {
    {"_SHI.SIF", kTableCity, {"正規郡名", "正規市区町村名"}},
    {"_OAZA.SIF", kTableOaza, {"正規大字通称名", "正規字丁目名"}},
    {"_HSHI.SIF", kTableCity, {"正規かな読み郡名", "正規かな読み市区町村名"}},
    {"_HOAZA.SIF", kTableOaza, {"正規かな読み大字通称名", "正規かな読み字丁目名"}},
};
