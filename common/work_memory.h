#pragma once
// Work memory: a doubly linked list of fixed 80-byte entries kept in one
// record array, each entry optionally owning a NUL-terminated string in a
// shared string pool (a second record array, of bytes).
//
// Entries are numbered in the order they are taken (1, 2, 3 ...) and never
// reused; the list order is kept by links and may differ from the numbering
// after insertions. An unlinked entry keeps its number and its string and
// stays readable; the count (the highest number taken) never drops.
//
// Strings are stored with their NUL one after another from pool position 1.
// A replacement longer than the old string is stored anew at the pool's end;
// the old bytes stay unused until Reset.
//
// Both arrays grow when full: the entries by 32,768, the pool by 32,768
// bytes (or more for a longer string). Pointers from GetString die when the
// pool grows. Every operation reports failure with 0 or null and no
// message; nothing throws.

#include <cstddef>
#include <cstdint>

#include "common/record_array.h"

// One entry, as GetEntry / SetEntry copy it.
struct WorkMemoryEntry {
  int32_t inList;               // 1 while linked, 0 after it was unlinked
  int32_t stringOffset;         // 1-based pool position of the string, 0 for none
  int32_t userWord1;            // free for the caller
  int32_t userWord2;            // free for the caller
  int32_t next;                 // entry number of the next entry in list order, 0 at the end
  int32_t previous;             // entry number of the previous entry, 0 at the start
  unsigned char userBytes[56];  // free for the caller
};
static_assert(sizeof(WorkMemoryEntry) == 80, "work memory entries are 80 bytes");

class CWorkMemory {
 public:
  static constexpr uint32_t kEntryGrowth = 32768;
  static constexpr uint32_t kPoolGrowth = 32768;
  // Longest line LoadTextFile and GetTrimmedSpanAt handle in one piece.
  static constexpr int kLineSize = 8192;

  CWorkMemory();
  ~CWorkMemory();
  CWorkMemory(const CWorkMemory&) = delete;
  CWorkMemory& operator=(const CWorkMemory&) = delete;

  // Frees earlier storage, then allocates room for entryCapacity entries and
  // poolBytes string bytes. A failure leaves nothing allocated.
  int Create(uint32_t entryCapacity, uint32_t poolBytes);
  void Free();
  // Empties the list and the pool; the storage is kept.
  void Reset();
  // Re-creates this memory as a copy of the source: every entry with its
  // number, links and caller fields, the string pool and the list's ends.
  // 0, and this memory freed, when the source was never created or the
  // storage cannot be had. Copying a memory onto itself gives 1.
  int CopyFrom(const CWorkMemory& source);
  uint32_t GetByteSize() const;

  int32_t GetFirst() const { return first_; }
  int32_t GetLast() const { return last_; }
  uint32_t GetCount() const { return count_; }

  // Entry N, 1 to the entry capacity (also entries not yet taken).
  int GetEntry(uint32_t n, WorkMemoryEntry* out) const;
  int SetEntry(uint32_t n, const WorkMemoryEntry* in);
  // The text (textSize bytes, NUL included) is emptied first, then entry N
  // and its string are copied out; a string that does not fit the text is
  // refused (0, text empty).
  int GetEntryAndString(uint32_t n, WorkMemoryEntry* out, char* text, std::size_t textSize) const;

  // Appends a new linked entry without string (caller fields zeroed) at the
  // end of the list; its number, or 0.
  int32_t AddEntry();
  // AddEntry, then the text as its string. When the string cannot be stored
  // the entry stays linked without one and the result is 0.
  int32_t AddString(const char* text);
  // Links a copy of entry N (its caller words and bytes, no string) before
  // it; the new number, or 0. N must be a linked entry (1..count).
  int32_t InsertBefore(int32_t n);
  // InsertBefore, then the text as the new entry's string (0 when that
  // fails, the entry staying linked).
  int32_t InsertStringBefore(int32_t n, const char* text);
  // Copies the text with its NUL to the pool's end; its 1-based offset, or 0.
  int32_t StoreString(const char* text);

  // The string of entry N; null when N is outside 1..count or it has none.
  char* GetString(int32_t n);
  const char* GetString(int32_t n) const;
  // Replaces the string of entry N: in place when the old one is at least
  // as long, else stored anew. The string's offset, or 0 when N is bad or
  // the entry has no string.
  int32_t SetString(int32_t n, const char* text);
  // Exchanges the strings of two entries (links and caller fields stay);
  // N = M gives 1.
  int SwapStrings(int32_t n, int32_t m);

  // Unlink the first, the last or entry N; the count does not drop. 0 for
  // an empty list, and for an N outside 1..count or not linked.
  int RemoveFirst();
  int RemoveLast();
  int Remove(int32_t n);

  // The entry at list position P (1-based); 0 for P = 0 or past the end.
  int32_t GetIndexAt(uint32_t p) const;
  const char* GetStringAt(uint32_t p) const;
  // For the string at list position P: start = 1-based position of its
  // blank-trimmed text within it, end = position of that text's last byte
  // (start itself when the trimmed text is empty).
  int GetTrimmedSpanAt(uint32_t p, int32_t* start, int32_t* end) const;
  // 1-based byte position of the text in entry N's string (Shift-JIS aware),
  // 0 when absent or N has no string.
  int32_t FindInString(int32_t n, const char* text) const;
  // The first entry in list order whose string equals the text, or 0.
  int32_t FindString(const char* text) const;
  // Appends every line of a text file (pieces of up to 8,191 bytes) as a
  // string entry. *count ends one above the number of lines stored (a size
  // for the entry capacity). 0 when the file does not open or a line cannot
  // be added.
  int LoadTextFile(const char* path, uint32_t* count);

 private:
  // 1 when N names an entry taken so far.
  bool IsTaken(int32_t n) const { return n >= 1 && static_cast<uint32_t>(n) <= count_; }
  int ReadEntry(int32_t n, WorkMemoryEntry* out) const;
  int WriteEntry(int32_t n, const WorkMemoryEntry& in);
  // Grows the entry array when every entry is taken.
  int MakeRoomForEntry();
  // Takes entry count + 1 and writes it; its number or 0.
  int32_t TakeEntry(const WorkMemoryEntry& entry);
  const char* StringAtOffset(int32_t offset) const;
  int SetStringOffset(int32_t n, int32_t offset);

  int32_t state_;
  uint32_t count_;
  uint32_t poolFill_;
  int32_t first_;
  int32_t last_;
  CRecordArray entries_;
  CRecordArray pool_;
};
