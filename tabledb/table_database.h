#pragma once
// CTableDatabase: an open table database file (.NDB, layout in
// tabledb/tdb_format.h): tables by name, typed fields by name, records by
// the position of their record header.
//
// Every operation answers 1 (or a non-zero position) for success and 0 for
// failure and writes no message: callers compose their own texts (with
// GetPath as the DATABASE value). Nothing throws. Operations on a closed
// database fail.
//
// A database opened for reading reads the file's shared image
// (tabledb/file_cache.h: filled once per process while the file is
// unchanged) and keeps its table directory (tables, field entries and
// field offsets) in memory from the first lookup to Close, so that a field
// read costs no system call. A database opened for update (or created)
// holds a copy of the file's bytes from open to close: reads come from the
// copy, every write goes to the file at once (one positioned write) and
// then to the copy, so a failed write is reported by the call that made
// it. It keeps the descriptions of the last five fields looked up (the
// field cache, emptied by Close and, for a table, by DropTable and
// AddField). Others who write the file meanwhile are not seen.
//
// Records are named by the file position of their 20-byte record header.
// Field offsets inside a record are 1-based byte offsets.
//
// Safety against damaged files: every chain walk (tables, fields, records)
// stops after as many steps as the file could hold items and then fails,
// so a cycle is an error, never a hang; every getter is given the size of
// the caller's buffer and fails rather than write past it; record bytes are
// only read or written inside the record's own data.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/heap_buffer.h"
#include "common/le_bytes.h"
#include "common/path_util.h"
#include "plat/file.h"
#include "tabledb/file_cache.h"
#include "tabledb/tdb_format.h"

// Longest database path kept (bytes, without the NUL).
inline constexpr std::size_t kTdbMaxPathLength = kPathBufferSize - 1;

// A record whose header was read once (CTableDatabase::ReadRecord), so
// that several of its fields are read without reading the header again:
// where its data lie and, in a database read from an image that holds
// them whole, the image's bytes of them. Valid while the database stays
// open as it was when the record was read and nothing rewrites the
// record's header; a view read from another opening of the database (or
// kept past a Close) reads through the file as it is now and never
// through the bytes it names.
struct TdbRecordView {
  uint32_t dataPosition = 0;  // 0: no field of the record can be read
  uint32_t dataSize = 0;
  const unsigned char* data = nullptr;  // the data in the image, or null
  uint64_t image = 0;                   // the number of that image
};

// A text of a record where it stands in a database's image (ViewStringsAt):
// its stored bytes, valid while the image lives (the database's image is
// held by whoever opened it), and their count. A NUL among the bytes ends
// the text the getters copy out; an empty text has no bytes.
struct TdbTextView {
  const char* bytes = nullptr;
  uint32_t length = 0;
};

class CTableDatabase {
 public:
  CTableDatabase();
  ~CTableDatabase();
  CTableDatabase(const CTableDatabase&) = delete;
  CTableDatabase& operator=(const CTableDatabase&) = delete;

  // ---- Lifecycle (every open first closes) ----

  // Creates (or truncates) the file, writes the header "DB" + zeros and
  // leaves the database open for update with no record buffer: records can
  // be added only after UpdateMaxRecordSize. A file whose header cannot be
  // written is removed again.
  int Create(const char* path);
  // Opens for reading (others may read and write). Requires "DB" at the
  // start and a largest record size above 0 (and not beyond the file's
  // length); allocates the record buffer of that size. Running out of
  // memory for the file's image or the record buffer throws std::bad_alloc
  // (closed again): it is never answered as a file that does not open.
  int Open(const char* path);
  // The same with the file opened for reading and writing.
  int OpenForUpdate(const char* path);
  // Closes the file, frees the record buffer, clears the path and empties
  // the field cache.
  void Close();
  int IsOpen() const { return open_; }
  // The shared image a database opened for reading reads; else null.
  const std::shared_ptr<CCachedFile>& GetSharedImage() const { return image_; }
  // Copies the path into buffer (bufferSize bytes); "" when it does not fit.
  char* GetPath(char* buffer, std::size_t bufferSize) const;

  // ---- Header, tables and fields ----

  // ReadHeader also requires the magic "DB".
  int ReadHeader(TdbHeader* header);
  int WriteHeader(const TdbHeader* header);
  uint32_t GetFirstTablePosition();
  int ReadTableEntry(uint32_t position, TdbTableEntry* entry);
  int WriteTableEntry(uint32_t position, const TdbTableEntry* entry);
  // Position of the first table entry of that name (bytes compared); 0 when
  // none or the chain cannot be read.
  uint32_t FindTable(const char* name);
  // Appends a table entry linked at the end of the table chain; its
  // position, or 0 when a table of that name exists, the name is longer
  // than 255 bytes or a step fails.
  uint32_t CreateTable(const char* name);
  // Unlinks the table's entry (its bytes stay in the file).
  int DropTable(const char* name);
  uint32_t GetFirstFieldPosition(const char* table);
  int ReadFieldEntry(uint32_t position, TdbFieldEntry* entry);
  int WriteFieldEntry(uint32_t position, const TdbFieldEntry* entry);
  // Appends the non-empty notes, then a field entry linked at the end of
  // the table's field chain; its position, or 0 when the table does not
  // exist, the type is not one of 1-9, 2006, 2008, 10010, 10011, 15010,
  // 15011 (type 500 cannot be defined), a name or note is too long or a
  // write fails. Null notes are empty. Names are not checked for
  // duplicates.
  uint32_t AddField(const char* table, const char* field, int32_t type, int32_t declaredLength,
                    const char* note1, const char* note2, double number1, double number2);
  // Copies the field's second note into text (emptied first) and answers
  // the field entry's position; 0 when the table or field does not exist or
  // the note does not fit textSize bytes.
  uint32_t GetFieldNote(const char* table, const char* field, char* text, std::size_t textSize);
  // Sum of the field sizes along the entry's field chain; 0 when there is
  // no field or a field entry cannot be read.
  uint32_t GetRecordSize(const TdbTableEntry* entry);
  // Largest record size over all tables, nothing written; 0 on failure.
  uint32_t GetMaxRecordSize();
  // Rewrites every table entry, stores the largest record size in the
  // header and reallocates the record buffer to it; 0 when there is no
  // table or a step fails.
  int UpdateMaxRecordSize();
  // Looks a field up by table and field name: type code, declared length,
  // 1-based offset in the record and size (outs may be null). All four are
  // 0 when it fails.
  int FindField(const char* table, const char* field, int32_t* type, int32_t* declaredLength,
                uint32_t* offset, uint32_t* size);
  // The field's offset when it is there with that type code; 0 otherwise.
  int FindTyped(const char* table, const char* field, int32_t type, uint32_t* offset);

  // ---- Records ----

  int ReadRecordHeader(uint32_t position, TdbRecordHeader* header);
  int WriteRecordHeader(uint32_t position, const TdbRecordHeader* header);
  // Appends a record header (data position and size 0) linked at the end of
  // the table's record chain; its position.
  uint32_t AppendRecordHeader(const char* table);
  // Appends a record of the table's record size, all bytes 0, linked at the
  // end of its record chain; the record header's position. Fails, with
  // nothing linked, when there is no record buffer or the table's record
  // size is 0 or larger than the buffer.
  uint32_t AddRecord(const char* table);
  // The whole data of a record (as many bytes as its header says); 0 when
  // the data position is 0 or the data do not fit bufferSize bytes.
  int ReadRecordData(uint32_t record, void* buffer, uint32_t bufferSize);
  // Writes the header's data size bytes from data (dataSize bytes); 0 when
  // the data position is 0 or dataSize is smaller than the record.
  int WriteRecordData(uint32_t record, const void* data, uint32_t dataSize);
  // count bytes at the 1-based offset of the record's data; 0 when the
  // header cannot be read, the data position is 0 or the bytes do not lie
  // inside the record's data.
  int ReadRecordBytes(uint32_t record, uint32_t offset, uint32_t count, void* buffer);
  int WriteRecordBytes(uint32_t record, uint32_t offset, uint32_t count, const void* buffer);
  // Raw read at a file position.
  int ReadBytesAtPosition(uint32_t position, void* buffer, uint32_t count);

  // ---- Typed values by record and 1-based offset ----
  // A STRING member holding position 0 reads as "". Text getters take the
  // size of each text buffer and fail (text "") when a stored text does not
  // fit with its NUL. Text setters refuse texts of 65536 bytes or more;
  // they rewrite a stored item in place when it is at least as long, else
  // append a new one and store its position.

  int GetUcharAt(uint32_t record, uint32_t offset, unsigned char* value);
  int SetUcharAt(uint32_t record, uint32_t offset, unsigned char value);
  int GetCharAt(uint32_t record, uint32_t offset, char* value);
  int SetCharAt(uint32_t record, uint32_t offset, char value);
  int GetWordAt(uint32_t record, uint32_t offset, uint16_t* value);
  int SetWordAt(uint32_t record, uint32_t offset, uint16_t value);
  int GetShortAt(uint32_t record, uint32_t offset, int16_t* value);
  int SetShortAt(uint32_t record, uint32_t offset, int16_t value);
  int GetDwordAt(uint32_t record, uint32_t offset, uint32_t* value);
  int SetDwordAt(uint32_t record, uint32_t offset, uint32_t value);
  int GetIntAt(uint32_t record, uint32_t offset, int32_t* value);
  int SetIntAt(uint32_t record, uint32_t offset, int32_t value);
  int GetDoubleAt(uint32_t record, uint32_t offset, double* value);
  int SetDoubleAt(uint32_t record, uint32_t offset, double value);
  int GetQuadAt(uint32_t record, uint32_t offset, int32_t values[4]);
  int SetQuadAt(uint32_t record, uint32_t offset, const int32_t values[4]);
  int GetStringAt(uint32_t record, uint32_t offset, char* text, std::size_t textSize);
  int SetStringAt(uint32_t record, uint32_t offset, const char* text);
  int GetStringPairAt(uint32_t record, uint32_t offset, char* text1, char* text2,
                      std::size_t textSize);
  int SetStringPairAt(uint32_t record, uint32_t offset, const char* text1, const char* text2);
  int GetStringTripleAt(uint32_t record, uint32_t offset, char* text1, char* text2, char* text3,
                        std::size_t textSize);
  int SetStringTripleAt(uint32_t record, uint32_t offset, const char* text1, const char* text2,
                        const char* text3);

  // ---- Typed values of a record read once ----
  // ReadRecord reads the record's header; the getters below then read the
  // record's fields by offset, each with the result, the failure and the
  // outputs of the getter of the same name by record position (above and
  // below) on that record. A view of a record whose header does not read,
  // or that has no data, fails every read, as those getters do. ReadRecord
  // answers 0 then (and for a null view), 1 otherwise.

  int ReadRecord(uint32_t record, TdbRecordView* view);
  int GetUcharAt(const TdbRecordView& record, uint32_t offset, unsigned char* value);
  int GetCharAt(const TdbRecordView& record, uint32_t offset, char* value);
  int GetWordAt(const TdbRecordView& record, uint32_t offset, uint16_t* value);
  int GetShortAt(const TdbRecordView& record, uint32_t offset, int16_t* value);
  int GetDwordAt(const TdbRecordView& record, uint32_t offset, uint32_t* value);
  int GetIntAt(const TdbRecordView& record, uint32_t offset, int32_t* value);
  int GetDoubleAt(const TdbRecordView& record, uint32_t offset, double* value);
  int GetQuadAt(const TdbRecordView& record, uint32_t offset, int32_t values[4]);
  int GetStringAt(const TdbRecordView& record, uint32_t offset, char* text, std::size_t textSize);
  int GetStringPairAt(const TdbRecordView& record, uint32_t offset, char* text1, char* text2,
                      std::size_t textSize);
  // The texts at several offsets (n of each), each as GetStringAt reads
  // it, in turn up to the first that does not read: 1 when every one
  // reads (and for n = 0); 0 then, the texts after that one left as they
  // were (and without offsets or texts).
  int GetStringsAt(const TdbRecordView& record, const uint32_t* offsets, char* const* texts, int n,
                   std::size_t textSize);
  // The same texts where they stand in the image, without copying them:
  // 1 when every one reads (texts[i] then holds the bytes GetStringsAt
  // would copy into the i-th text, before its NUL); 0 where GetStringsAt
  // answers 0 (texts left as they may be); -1 when the record's data are
  // not viewed in this database's image (no image, another image, data
  // cut short by the file's end): GetStringsAt then reads them.
  int ViewStringsAt(const TdbRecordView& record, const uint32_t* offsets, TdbTextView* texts, int n,
                    std::size_t textSize);
  int GetStringTripleAt(const TdbRecordView& record, uint32_t offset, char* text1, char* text2,
                        char* text3, std::size_t textSize);
  int ReadObjectAt(const TdbRecordView& record, uint32_t offset, void* buffer, uint32_t bufferSize,
                   uint32_t* length);
  int ReadObjectAllocAt(const TdbRecordView& record, uint32_t offset, void** block,
                        uint32_t* length);

  // ---- Typed values by record, table and field name ----
  // The field must exist and have the accessor's type code; otherwise 0
  // without reading.

  int GetUchar(uint32_t record, const char* table, const char* field, unsigned char* value);
  int SetUchar(uint32_t record, const char* table, const char* field, unsigned char value);
  int GetChar(uint32_t record, const char* table, const char* field, char* value);
  int SetChar(uint32_t record, const char* table, const char* field, char value);
  int GetWord(uint32_t record, const char* table, const char* field, uint16_t* value);
  int SetWord(uint32_t record, const char* table, const char* field, uint16_t value);
  int GetShort(uint32_t record, const char* table, const char* field, int16_t* value);
  int SetShort(uint32_t record, const char* table, const char* field, int16_t value);
  int GetDword(uint32_t record, const char* table, const char* field, uint32_t* value);
  int SetDword(uint32_t record, const char* table, const char* field, uint32_t value);
  int GetInt(uint32_t record, const char* table, const char* field, int32_t* value);
  int SetInt(uint32_t record, const char* table, const char* field, int32_t value);
  int GetDouble(uint32_t record, const char* table, const char* field, double* value);
  int SetDouble(uint32_t record, const char* table, const char* field, double value);
  int GetString(uint32_t record, const char* table, const char* field, char* text,
                std::size_t textSize);
  int SetString(uint32_t record, const char* table, const char* field, const char* text);
  int GetQuad(uint32_t record, const char* table, const char* field, int32_t values[4]);
  int SetQuad(uint32_t record, const char* table, const char* field, const int32_t values[4]);
  // Type 10010; the ...Triple2 forms demand 10011.
  int GetStringTriple(uint32_t record, const char* table, const char* field, char* text1,
                      char* text2, char* text3, std::size_t textSize);
  int SetStringTriple(uint32_t record, const char* table, const char* field, const char* text1,
                      const char* text2, const char* text3);
  int GetStringTriple2(uint32_t record, const char* table, const char* field, char* text1,
                       char* text2, char* text3, std::size_t textSize);
  int SetStringTriple2(uint32_t record, const char* table, const char* field, const char* text1,
                       const char* text2, const char* text3);
  // Type 15010; the ...Pair2 forms demand 15011.
  int GetStringPair(uint32_t record, const char* table, const char* field, char* text1, char* text2,
                    std::size_t textSize);
  int SetStringPair(uint32_t record, const char* table, const char* field, const char* text1,
                    const char* text2);
  int GetStringPair2(uint32_t record, const char* table, const char* field, char* text1,
                     char* text2, std::size_t textSize);
  int SetStringPair2(uint32_t record, const char* table, const char* field, const char* text1,
                     const char* text2);
  // Type 500 (objects, see below).
  int GetObject(uint32_t record, const char* table, const char* field, void* buffer,
                uint32_t bufferSize, uint32_t* length);
  int GetObjectAlloc(uint32_t record, const char* table, const char* field, void** block,
                     uint32_t* length);
  int SetObject(uint32_t record, const char* table, const char* field, const void* bytes,
                uint32_t length);

  // ---- Derived reads over STRING fields (type 9) ----

  // The stored 16-bit length, without reading the text (0 for position 0).
  int GetStringLength(uint32_t record, const char* table, const char* field, uint32_t* length);
  // Characters of the text (a double-byte character counts once).
  int GetStringCharCount(uint32_t record, const char* table, const char* field, uint32_t* count);
  // Smallest and largest value over all the table's records (the first
  // record sets both; an empty table gives 0 and 0); 0 when a record
  // cannot be read.
  int GetStringLengthRange(const char* table, const char* field, uint32_t* smallest,
                           uint32_t* largest);
  int GetStringCharCountRange(const char* table, const char* field, uint32_t* smallest,
                              uint32_t* largest);

  // ---- Objects by offset (type 500) ----
  // A field holding position 0 reads as success with length 0.

  // Reads the object into buffer; 0 when it is longer than bufferSize.
  int ReadObjectAt(uint32_t record, uint32_t offset, void* buffer, uint32_t bufferSize,
                   uint32_t* length);
  // Allocates a block of the stored length (malloc; the caller frees it
  // with free()) and reads the object into it; *block is null for an empty
  // object and after a failure.
  int ReadObjectAllocAt(uint32_t record, uint32_t offset, void** block, uint32_t* length);
  int WriteObjectAt(uint32_t record, uint32_t offset, const void* bytes, uint32_t length);

 private:
  struct CacheSlot {
    char table[81];
    char field[81];
    int32_t type;
    int32_t declaredLength;
    uint32_t offset;
    uint32_t size;
  };
  static constexpr int kCacheSlots = 5;
  static constexpr std::size_t kCacheNameMax = 80;

  friend int CountTableRecords(CTableDatabase* database, const char* table, uint32_t* count);

  int OpenWith(const char* path, int forUpdate);
  int FileLength(uint32_t* length);
  // Most items of itemSize bytes the file could hold: the bound of a walk.
  uint32_t WalkLimit(uint32_t itemSize);
  int ReadRaw(uint32_t position, void* buffer, uint32_t count);
  int WriteRaw(uint32_t position, const void* buffer, uint32_t count);
  int AppendRaw(const void* buffer, uint32_t count, uint32_t* position);
  // 1 with *position the table's entry (0 when there is none); 0 when the
  // chain cannot be read.
  int LookupTable(const char* name, uint32_t* position);
  int LookupFieldEntry(const char* table, const char* field, uint32_t* position,
                       TdbFieldEntry* entry, uint32_t* offset);
  int ComputeRecordSize(const TdbTableEntry* entry, uint32_t* size);
  // Walks the table's record chain; 0 when it cannot be read or is longer
  // than the file allows. visit(position) returns 0 to fail the walk.
  template <typename Visit>
  int WalkRecords(const char* table, Visit visit);

  int StoreString(uint32_t oldPosition, const char* text, uint32_t* newPosition);
  int LoadString(uint32_t position, char* text, std::size_t textSize);
  // LoadString through ReadRaw (text emptied before, position not 0).
  int LoadStoredString(uint32_t position, char* text, std::size_t textSize);
  // ReadRecordHeader, and the same through ReadRaw.
  int ReadHeaderAt(uint32_t position, TdbRecordHeader* header);
  // GetIntAt's steps for a field that does not lie in the view's image.
  int GetIntThrough(const TdbRecordView& record, uint32_t offset, int32_t* value);
  int ReadStoredRecordHeader(uint32_t position, TdbRecordHeader* header);
  // The image's bytes of the field at the offset of a record read once,
  // when the view's data lie in this image and the field lies within them;
  // null otherwise (the field is then read as FieldBytes reads it).
  const unsigned char* ViewedBytes(const TdbRecordView& record, uint32_t offset,
                                   uint32_t count) const;
  int LoadStringLength(uint32_t position, uint32_t* length);
  // count bytes at the 1-based offset of a record's data, the record named
  // by its position (ReadRecordBytes) or read once (a view): the one step
  // every typed getter of either kind takes to the record's bytes.
  int FieldBytes(uint32_t record, uint32_t offset, uint32_t count, unsigned char* buffer);
  int FieldBytes(const TdbRecordView& record, uint32_t offset, uint32_t count,
                 unsigned char* buffer);
  // The typed getters over either kind of record (Record: uint32_t or
  // TdbRecordView).
  template <typename Record, typename T>
  int GetValueOf(const Record& record, uint32_t offset, T* value);
  template <typename Record>
  int GetQuadOf(const Record& record, uint32_t offset, int32_t values[4]);
  template <typename Record>
  int GetStringsOf(const Record& record, uint32_t offset, char* const* texts, int n,
                   std::size_t textSize);
  template <typename Record>
  int ReadObjectOf(const Record& record, uint32_t offset, void* buffer, uint32_t bufferSize,
                   uint32_t* length);
  template <typename Record>
  int ReadObjectAllocOf(const Record& record, uint32_t offset, void** block, uint32_t* length);
  int GetStrings(uint32_t record, uint32_t offset, char* const* texts, int n, std::size_t textSize);
  int SetStrings(uint32_t record, uint32_t offset, const char* const* texts, int n);
  int GetStringsByName(uint32_t record, const char* table, const char* field, int32_t type,
                       char* const* texts, int n, std::size_t textSize);
  int SetStringsByName(uint32_t record, const char* table, const char* field, int32_t type,
                       const char* const* texts, int n);
  template <typename T>
  int GetValueAt(uint32_t record, uint32_t offset, T* value);
  template <typename T>
  int SetValueAt(uint32_t record, uint32_t offset, T value);
  template <typename T>
  int GetValue(uint32_t record, const char* table, const char* field, int32_t type, T* value);
  template <typename T>
  int SetValue(uint32_t record, const char* table, const char* field, int32_t type, T value);
  int StringLengthAt(uint32_t record, uint32_t offset, uint32_t* length);
  int StringCharCountAt(uint32_t record, uint32_t offset, uint32_t* count);
  int StringRange(const char* table, const char* field, int chars, uint32_t* smallest,
                  uint32_t* largest);

  // The table directory of a database opened for reading: every table in
  // chain order with the positions of its field entries. Their names,
  // types, sizes and offsets are in the directory's layout.
  struct DirectoryTable {
    uint32_t position;
    std::vector<uint32_t> fieldPositions;
  };
  // 1 when the directory is built (once per image); 0 when the database is
  // not read from an image or a chain cannot be read whole (then the walks
  // read the file as for update).
  int DirectoryReady();
  const DirectoryTable* DirectoryFind(const char* name);
  // What a field look-up needs of a directory: the tables' names and their
  // fields' names, types, sizes and offsets, packed, in the directory's
  // order. Files of one layout (every prefecture's file of a data set, the
  // same set in several folders) share one copy, so that look-ups in any
  // of them meet the same few cache lines.
  struct LayoutField {
    uint32_t nameAt;  // in the layout's names
    int32_t type;
    int32_t declaredLength;
    uint32_t offset;
    uint32_t size;
  };
  struct LayoutTable {
    uint32_t nameAt;
    std::vector<LayoutField> fields;
  };
  struct Layout {
    std::uint64_t number = 0;  // never given to another layout in the process
    std::string names;         // every name, each followed by a NUL
    std::vector<LayoutTable> tables;
    const char* Name(uint32_t at) const { return names.data() + at; }
    // The index of the table's first field of the name; fields.size() for
    // none. The names lie together: a walk over them is short.
    std::size_t FirstField(const LayoutTable& table, const char* name) const {
      std::size_t i = 0;
      while (i < table.fields.size() && std::strcmp(Name(table.fields[i].nameAt), name) != 0) ++i;
      return i;
    }
  };
  // The layout made, or one of the same content still in use by another
  // directory.
  static std::shared_ptr<const Layout> SharedLayout(std::shared_ptr<Layout> made);
  // The first field of the name in the first table of the name; null for
  // none. The directory must be ready.
  const LayoutField* FindLayoutField(const char* table, const char* field);

  int CacheLookup(const char* table, const char* field, CacheSlot* found) const;
  void CacheInsert(const CacheSlot& slot);
  void ClearCacheForTable(const char* table);
  void ClearCache();

  int open_;
  char path_[kTdbMaxPathLength + 1];
  CHeapBuffer recordHeap_;
  unsigned char* recordBuffer_;
  uint32_t recordBufferSize_;
  plat::File file_;
  // The bytes of the file of a database opened for update (mirrored_ 1;
  // 0 when the file could not be read whole: then reads go to the file).
  std::vector<unsigned char> mirror_;
  int mirrored_ = 0;
  // The shared image of a database opened for reading (file_ stays closed).
  std::shared_ptr<CCachedFile> image_;
  int directoryState_;  // 0 not built, 1 built, -1 cannot be built
  // Shared by every database open on the same image.
  struct Directory {
    std::vector<DirectoryTable> tables;
    std::shared_ptr<const Layout> layout;
  };
  std::shared_ptr<const Directory> directory_;
  CacheSlot cache_[kCacheSlots];
  int nextSlot_;  // 1..5: the slot a full cache replaces next
};

// ---- Reads of a record read once, here to be inlined into loops over many
// records (a name table's rows) ----

namespace tdb_detail {

// The checks of LoadStoredString (position not 0) on the image's bytes
// where they stand: 1 with the text's length and bytes (none when it is
// empty), 0 where that read fails. A length and text in one block already
// filled are found with one look.
[[gnu::always_inline]] inline int FindImageText(CCachedFile& image, uint32_t position,
                                                std::size_t textSize, uint32_t* length,
                                                const unsigned char** bytes) {
  uint32_t run = 0;
  const unsigned char* stored = image.FilledRun(position, &run);
  if (stored == nullptr || run < 2) {
    stored = image.Bytes(position, 2);
    if (!stored) return 0;
    run = 2;
  }
  *length = LoadLeValue<uint16_t>(stored);
  *bytes = nullptr;
  if (*length == 0) return 1;
  if (static_cast<std::size_t>(*length) + 1 > textSize) return 0;
  *bytes = *length + 2 <= run ? stored + 2 : image.Bytes(position + 2, *length);
  return *bytes != nullptr;
}

}  // namespace tdb_detail

// (Every read by record position and every record read once takes it.)
[[gnu::always_inline]] inline int CTableDatabase::ReadHeaderAt(uint32_t position,
                                                               TdbRecordHeader* header) {
  if (header && open_ && image_) {
    // ReadRaw's step, on the image's bytes where they stand.
    const unsigned char* bytes = image_->Bytes(position, kTdbRecordHeaderSize);
    if (!bytes) return 0;
    DecodeTdbRecordHeader(bytes, header);
    return 1;
  }
  return ReadStoredRecordHeader(position, header);
}

inline int CTableDatabase::ReadRecord(uint32_t record, TdbRecordView* view) {
  if (!view) return 0;
  *view = TdbRecordView{};
  // ReadHeaderAt's steps, the header's two values taken where they stand
  // in the image.
  uint32_t dataPosition = 0;
  uint32_t dataSize = 0;
  if (open_ && image_) {
    const unsigned char* bytes = image_->Bytes(record, kTdbRecordHeaderSize);
    if (!bytes) return 0;
    TdbRecordHeader header;
    DecodeTdbRecordHeader(bytes, &header);
    dataPosition = header.dataPosition;
    dataSize = header.dataSize;
  } else {
    TdbRecordHeader header;
    if (!ReadStoredRecordHeader(record, &header)) return 0;
    dataPosition = header.dataPosition;
    dataSize = header.dataSize;
  }
  if (dataPosition == 0) return 0;
  view->dataPosition = dataPosition;
  view->dataSize = dataSize;
  // Data that do not lie in the image whole (cut short by the file's end)
  // are read field by field, so that a field inside the file still reads.
  if (image_) {
    view->data = image_->Bytes(dataPosition, dataSize);
    view->image = image_->GetId();
  }
  return 1;
}

// (The typed getters read a few bytes each.)
[[gnu::always_inline]] inline const unsigned char* CTableDatabase::ViewedBytes(
    const TdbRecordView& record, uint32_t offset, uint32_t count) const {
  if (record.data == nullptr || offset == 0 ||
      static_cast<uint64_t>(offset) - 1 + count > record.dataSize || !image_ ||
      image_->GetId() != record.image)
    return nullptr;
  return record.data + offset - 1;
}

inline int CTableDatabase::GetIntAt(const TdbRecordView& r, uint32_t o, int32_t* v) {
  if (v == nullptr) return 0;
  if (const unsigned char* bytes = ViewedBytes(r, o, sizeof *v)) {
    // (The common case, without the general path's steps.)
    *v = LoadLeValue<int32_t>(bytes);
    return 1;
  }
  return GetIntThrough(r, o, v);
}

inline int CTableDatabase::ViewStringsAt(const TdbRecordView& record, const uint32_t* offsets,
                                         TdbTextView* texts, int n, std::size_t textSize) {
  if (n <= 0) return 1;
  if (offsets == nullptr || texts == nullptr || textSize == 0) return 0;
  // GetStringsAt's steps where the view's data lie in the image: a field
  // outside the data does not read there either.
  if (record.data == nullptr || !image_ || image_->GetId() != record.image) return -1;
  CCachedFile& image = *image_;
  const unsigned char* const data = record.data;
  const uint64_t dataSize = record.dataSize;
  for (int i = 0; i < n; ++i) {
    const uint32_t offset = offsets[i];
    if (offset == 0 || static_cast<uint64_t>(offset) + 3 > dataSize) return 0;
    const uint32_t position = LoadLeValue<uint32_t>(data + offset - 1);
    uint32_t length = 0;
    const unsigned char* bytes = nullptr;
    if (position != 0 && !tdb_detail::FindImageText(image, position, textSize, &length, &bytes))
      return 0;
    texts[i] = {reinterpret_cast<const char*>(bytes), length};
  }
  return 1;
}

// Counts the records in the named table's chain into *count. 1 for success
// (an empty table gives 1 and 0); 0 when the table is unknown, a record
// header cannot be read or the chain is longer than the file allows (a
// cycle). A caller that walks the chain itself can bound its walk by this
// count.
int CountTableRecords(CTableDatabase* database, const char* table, uint32_t* count);
