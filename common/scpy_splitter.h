#pragma once
// Line splitters that keep their arrays between splits: CScpySEX2 cuts a
// line at blanks and understands double-quoted fields, and gives the fields
// by 1-based number as text or as numbers. CScpyBase holds the storage and
// a plain blank splitter.
//
// Field starts and lengths are 32-bit, so a line of any length is split
// whole. The arrays grow by the initial capacity when a line has more
// fields. Nothing throws: a failed allocation gives 0.

#include <cstddef>
#include <cstdint>

class CScpyBase {
 public:
  CScpyBase() = default;
  virtual ~CScpyBase();
  CScpyBase(const CScpyBase&) = delete;
  CScpyBase& operator=(const CScpyBase&) = delete;

  // No splitting rule of its own: both return 0.
  virtual int Split(const char* text);
  virtual int Resplit(const char* text);

  // Frees every block and sets the counters to 0.
  void Destroy();
  // Destroy, then copies the text and allocates `capacity` entries in each
  // field array and a work buffer of `workSize` bytes; the growth step is
  // the capacity. 0 (everything freed) for a null text, a capacity or size
  // <= 0, or a failed allocation.
  int Init(const char* text, int capacity, int workSize);
  // Stores field `index` (0-based), growing the arrays when the index is at
  // or beyond the capacity. 0 when growth is impossible.
  int SetField(int index, int start, int length, int quoted);

  // Cuts the trimmed line at runs of blanks, without quote handling (first
  // use: 256 fields, a 512-byte work buffer).
  int SplitAtBlanks(const char* text);
  // Destroy, then SplitAtBlanks.
  int ResplitAtBlanks(const char* text);

 protected:
  // Replaces the text copy by the text, trimmed of blanks; count 0.
  int ReplaceText(const char* text);
  // Moves the field arrays to `cap` entries each; 0 without memory.
  int GrowFields(std::size_t cap);
  // The splitting loop: quotes understood when `quotes` is true.
  int SplitLoop(bool quotes);

  int initialised_ = 0;
  int count_ = 0;
  int textSize_ = 0;
  int capacity_ = 0;
  int workSize_ = 0;
  int growth_ = 0;
  char* text_ = nullptr;
  int32_t* starts_ = nullptr;
  int32_t* lengths_ = nullptr;
  int32_t* quoted_ = nullptr;
  char* work_ = nullptr;
};

class CScpySEX2 : public CScpyBase {
 public:
  CScpySEX2() = default;
  ~CScpySEX2() override;

  // Trims the line and cuts it into fields: a field that begins with a
  // double quote runs to the next double quote (quotes not kept, blanks
  // inside kept, marked quoted), any other field to the next blank; runs of
  // blanks separate once; a closing quote ends a field even without a blank
  // after it. A quoted field without its closing quote is not stored. An
  // empty line gives one empty field. The first split allocates 2,048
  // fields and a 2,048-byte work buffer; later splits keep the arrays.
  int Split(const char* text) override;
  // Destroy, then Split (the arrays start again at their first size).
  int Resplit(const char* text) override;

  int GetCount() const { return count_; }
  // Copies field N into out: 0 for a null out, N outside 1..count, or
  // limit >= 0 and a field length >= limit (-1: no limit).
  int GetField(char* out, int n, int limit) const;
  // GetField, then the field's quoted flag (0 when the field is refused).
  int GetFieldQuoted(char* out, int n, int32_t* quoted, int limit) const;
  // Byte length of field N; 0 outside 1..count.
  int GetFieldLength(int n) const;
  // Start of field N in the text copy; for N = count + 1 the end of the
  // text; null otherwise.
  const char* GetFieldPointer(int n) const;
  void ResetCount() { count_ = 0; }

  // The field read into the work buffer (it must be shorter than the
  // buffer) and converted; 1 only when the whole field, at least one
  // character, is consumed and the value fits the type. Integers read with
  // base 0: "0x10" is 16, "010" is 8. The unsigned getters refuse a
  // negative number.
  int GetDouble(int n, double* out);
  int GetInt(int n, int32_t* out);
  int GetShort(int n, int16_t* out);
  int GetUnsigned(int n, uint32_t* out);
  int GetUShort(int n, uint16_t* out);
  int GetByte(int n, uint8_t* out);
  // The same, 1 only when the value also lies within [lower, upper]; the
  // out value is written only then.
  int GetDoubleInRange(int n, double* out, double lower, double upper);
  int GetIntInRange(int n, int32_t* out, int32_t lower, int32_t upper);
  int GetShortInRange(int n, int16_t* out, int16_t lower, int16_t upper);
  int GetUnsignedInRange(int n, uint32_t* out, uint32_t lower, uint32_t upper);
  int GetUShortInRange(int n, uint16_t* out, uint16_t lower, uint16_t upper);
  int GetByteInRange(int n, uint8_t* out, uint8_t lower, uint8_t upper);

 private:
  // Reads field N into the work buffer; null when refused.
  const char* FieldToWork(int n);
  bool ReadSigned(int n, int64_t lower, int64_t upper, int32_t* out);
  bool ReadUnsigned(int n, uint32_t upper, uint32_t* out);
};
