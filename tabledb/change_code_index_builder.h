#pragma once
// Writer of the change-code index QAD_CH%02d.CDI (the format is described
// in change_code_index.h). The tree is fed in tree order: a city, its
// areas, each area's blocks, each block's change records, every level in
// ascending order of its code text. Each entry is encoded when it is
// added; its child count and offsets are appended when it is closed (when
// the next entry of the same or a higher level begins, or at the write).
//
// After a failed Add or Close the content is not consistent and the caller
// abandons the file.

#include <cstdint>

#include "common/record_array.h"

// Initial sizes and growth steps of the builder's lists: bytes of the
// encoded entries per level, and 20-byte entry records per level.
struct ChangeCodeIndexCapacities {
  uint32_t cityBytes = 1u << 20;
  uint32_t cityBytesGrowth = 1u << 20;
  uint32_t areaBytes = 10u << 20;
  uint32_t areaBytesGrowth = 10u << 20;
  uint32_t blockBytes = 20u << 20;
  uint32_t blockBytesGrowth = 20u << 20;
  uint32_t changeBytes = 40u << 20;
  uint32_t changeBytesGrowth = 40u << 20;
  uint32_t cityEntries = 3000;
  uint32_t cityEntriesGrowth = 500;
  uint32_t areaEntries = 30000;
  uint32_t areaEntriesGrowth = 5000;
  uint32_t blockEntries = 300000;
  uint32_t blockEntriesGrowth = 50000;
  uint32_t changeEntries = 3000000;
  uint32_t changeEntriesGrowth = 500000;
};

class CChangeCodeIndexBuilder {
 public:
  CChangeCodeIndexBuilder();
  ~CChangeCodeIndexBuilder() = default;
  CChangeCodeIndexBuilder(const CChangeCodeIndexBuilder&) = delete;
  CChangeCodeIndexBuilder& operator=(const CChangeCodeIndexBuilder&) = delete;

  // Sizes the eight lists (the defaults fit a prefecture); on failure
  // everything is released.
  int Init();
  int Init(const ChangeCodeIndexCapacities& capacities);
  // Numbers to 0, lists released.
  void Reset();

  // A city code of 1000 to 47999.
  int AddCity(const char* cityCode);
  // Six characters: two parts, each three digits or three other characters.
  int AddArea(const char* areaCode);
  // A block code of 1 to 5 digits (up to 99999) or 5 other characters. A
  // name that only repeats the code's number is not stored; an empty name
  // is made from the code, so a code of other characters needs a name. A
  // second name is stored when it differs from the name. Names below 64
  // bytes.
  int AddBlock(const char* blockCode, const char* name, const char* secondName);
  // A change record under the open block: code and names as for a block;
  // number 1 is the latitude, number 2 the longitude; scale "10000",
  // "25000", "50000", "70000", "80000" or "2000"; precision digit 0 to 3;
  // class (the status) 0 to 7.
  int AddChange(const char* code, const char* name, const char* secondName, uint32_t number2,
                uint32_t number1, const char* scaleText, const char* digitText,
                const char* classText);

  // Close the open entry of a level (lower levels first). An entry without
  // children cannot be closed (0).
  int CloseCity();
  int CloseArea();
  int CloseBlock();

  // Closes everything and writes the file; on failure no file is left.
  int WriteChangeHistoryIndex(const char* path);

  // Creation time written into the header: the pinned value, else the
  // present time (seconds since 1970, low 32 bits).
  void PinCreationTime(uint32_t seconds);
  void UnpinCreationTime();

 private:
  struct EntryRecord;
  enum { kCity, kArea, kBlock, kChange, kLevels };

  int AddEntry(int level, const unsigned char* bytes, uint32_t size);
  int CloseLevel(int level);
  int GetEntry(int level, uint32_t n, EntryRecord* entry) const;
  int SetEntry(int level, uint32_t n, const EntryRecord& entry);
  // Encodes a code with its names: the code bytes and flag byte 1.
  int EncodeCodeAndNames(const char* code, const char* name, const char* secondName,
                         unsigned char* codeBytes, uint32_t* codeSize, uint32_t* codeForm,
                         unsigned char* flag1, unsigned char* nameBytes, uint32_t* nameSize);

  // Current entry and first child of each level: record numbers, 0 for none.
  uint32_t current_[kLevels];
  uint32_t firstChild_[kLevels];
  uint32_t base1_;
  uint32_t base2_;
  CRecordList bytes_[kLevels];
  CRecordList entries_[kLevels];
  bool timePinned_;
  uint32_t pinnedTime_;
};
