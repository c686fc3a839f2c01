#pragma once
// Fixed-size records on one heap block, numbered from 1 (CRecordArray), and
// the growable list built on it (CRecordList).
//
// Records are raw bytes; neither class interprets them. Every operation
// answers 1 for success and 0 (or a null pointer) for failure; nothing
// throws. Pointers from GetPtr/GetBuffer die after any Add that grows.
//
// Either class may also use records that stand in the caller's memory
// (View): nothing is allocated or copied, the records are read and written
// where they stand, and the first growth moves them into a block of the
// array's own. The caller keeps that memory alive (and lets nobody else
// write to it) until the array is freed, created again or grown.

#include <cstdint>

class CRecordArray {
 public:
  CRecordArray();
  ~CRecordArray();
  CRecordArray(const CRecordArray&) = delete;
  CRecordArray& operator=(const CRecordArray&) = delete;

  // Refused (old buffer kept) when either argument is 0. Otherwise the old
  // buffer goes and a new one of capacity x element size bytes is taken;
  // on failure the capacity is 0. New records are zero-filled, unless
  // zeroed is false: then they hold whatever the memory held, for an owner
  // that writes every record before it reads it (a fresh block's pages are
  // then not touched until used).
  int Create(uint32_t capacity, uint16_t elementSize, bool zeroed = true);
  // Uses capacity x element size bytes at records (see above) as the
  // records, in place. Refused (nothing changed) for a null pointer or when
  // either number is 0.
  int View(void* records, uint32_t capacity, uint16_t elementSize);
  // Frees the buffer (a viewed one is only let go); the element size is
  // kept.
  void Free();
  // Exchanges the buffers, capacities and element sizes of two arrays.
  void Swap(CRecordArray& other) noexcept;

  // Record n, 1 to the capacity.
  int GetAt(uint32_t n, void* out) const;
  int SetAt(uint32_t n, const void* in);
  void* GetPtr(uint32_t n);
  const void* GetPtr(uint32_t n) const;

  uint32_t GetCapacity() const { return capacity_; }
  uint32_t GetElementSize() const { return elementSize_; }
  uint32_t GetByteSize() const;
  void* GetBuffer() { return buffer_; }
  const void* GetBuffer() const { return buffer_; }

  // Only upwards: a new block, the old records copied, the old block freed.
  // Refused without a buffer, for 0 or a capacity not above the current one;
  // on failure the old block stays as it was.
  int Grow(uint32_t newCapacity);
  // 1 when every byte is zero; 0 for an array of no bytes.
  int IsAllZero() const;

  // Typed access: 0 (nothing copied) unless the element size equals the
  // width of the type. "Long" is the 4-byte signed integer.
  int GetShort(uint32_t n, int16_t* out) const;
  int GetUShort(uint32_t n, uint16_t* out) const;
  int GetInt(uint32_t n, int32_t* out) const;
  int GetLong(uint32_t n, int32_t* out) const;
  int GetDword(uint32_t n, uint32_t* out) const;
  int GetDouble(uint32_t n, double* out) const;
  int SetShort(uint32_t n, int16_t value);
  int SetUShort(uint32_t n, uint16_t value);
  int SetInt(uint32_t n, int32_t value);
  int SetLong(uint32_t n, int32_t value);
  int SetDword(uint32_t n, uint32_t value);
  int SetDouble(uint32_t n, double value);

 private:
  uint32_t elementSize_;
  uint32_t capacity_;
  unsigned char* buffer_;
  bool viewed_ = false;  // buffer_ is the caller's (View), not to be freed
};

class CRecordList {
 public:
  CRecordList();
  ~CRecordList() = default;
  CRecordList(const CRecordList&) = delete;
  CRecordList& operator=(const CRecordList&) = delete;

  // Refused (nothing changed) for a growth step of 0. zeroed as for
  // CRecordArray::Create (a list reads no record above its count).
  int Create(uint32_t initialCapacity, uint16_t elementSize, uint32_t growthStep,
             bool zeroed = true);
  // The first count of capacity records at records, in place (see above);
  // refused (nothing changed) for a growth step of 0, a count above the
  // capacity or what CRecordArray::View refuses.
  int View(void* records, uint32_t capacity, uint32_t count, uint16_t elementSize,
           uint32_t growthStep);
  void Free();

  // Exchanges the whole state of two lists (records, count, growth step).
  void Swap(CRecordList& other) noexcept;

  // Appends a copy; a full list first grows by exactly the growth step.
  int Add(const void* in);
  // n consecutive Adds; 0 for n = 0 or at the first failure (records
  // already added stay).
  int AddMany(const void* in, uint32_t n);

  // Records 1 to the capacity (above the count: allocated, not in use).
  int GetAt(uint32_t n, void* out) const { return array_.GetAt(n, out); }
  int SetAt(uint32_t n, const void* in) { return array_.SetAt(n, in); }
  // Records 1 to the count only.
  void* GetPtr(uint32_t n);
  const void* GetPtr(uint32_t n) const;
  // Records first .. first + n - 1; 0 for n = 0 or at the first failure.
  int GetRange(uint32_t first, void* out, uint32_t n) const;
  int SetRange(uint32_t first, const void* in, uint32_t n);

  uint32_t GetCount() const { return count_; }
  // Unchecked: records above the capacity are still never touched.
  void SetCount(uint32_t count) { count_ = count; }
  // Removes the last n records; answers the new count (0 when n >= count).
  uint32_t DropLast(uint32_t n);

  uint32_t GetCapacity() const { return array_.GetCapacity(); }
  uint32_t GetByteSize() const { return array_.GetByteSize(); }
  uint32_t GetElementSize() const { return elementSize_; }
  uint32_t GetGrowthStep() const { return growthStep_; }
  void* GetBuffer() { return array_.GetBuffer(); }
  const void* GetBuffer() const { return array_.GetBuffer(); }

  // Ascending quicksort of records first..last on the double at the start
  // of each record. Not stable. Does nothing for records under 8 bytes or
  // a range outside 1..capacity.
  void SortByDoubleKey(uint32_t first, uint32_t last);

  int GetShort(uint32_t n, int16_t* out) const;
  int GetUShort(uint32_t n, uint16_t* out) const;
  int GetInt(uint32_t n, int32_t* out) const;
  int GetLong(uint32_t n, int32_t* out) const;
  int GetDword(uint32_t n, uint32_t* out) const;
  int GetDouble(uint32_t n, double* out) const;
  int SetShort(uint32_t n, int16_t value);
  int SetUShort(uint32_t n, uint16_t value);
  int SetInt(uint32_t n, int32_t value);
  int SetLong(uint32_t n, int32_t value);
  int SetDword(uint32_t n, uint32_t value);
  int SetDouble(uint32_t n, double value);

 private:
  template <typename T>
  int GetTyped(uint32_t n, T* out) const;
  template <typename T>
  int SetTyped(uint32_t n, T value);

  uint32_t count_;
  uint32_t growthStep_;
  CRecordArray array_;
  uint32_t elementSize_;
};
