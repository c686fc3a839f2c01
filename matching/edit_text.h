#pragma once
// CEditText: the address text under normalisation and matching, kept as a
// stack of versions. Every change pushes a full copy of the new text with an
// edit record (where the change begins, bytes inserted, bytes removed, the
// mark counter), so that
//  - the newest versions can be dropped again (Undo, RollbackTo a mark), and
//  - any byte position of the current text maps back to the byte of the
//    first version (the caller's input) it came from (GetOriginalPointer).
//
// Texts are Shift-JIS; positions are 1-based byte positions. A version holds
// at most kMaxLength (511) bytes: Init with a longer text and every edit
// whose result would be longer answer 0 and change nothing.
//
// Pointers from GetText, GetVersionText and GetPointer point into the text
// store and are valid until the next edit, Undo, RollbackTo or Clear.

#include <cstdint>
#include <vector>

#include "common/record_array.h"

class CEditText {
 public:
  static constexpr int kMaxLength = 511;
  // Initial capacities the matching driver uses.
  static constexpr uint32_t kDefaultRecordCapacity = 32;
  static constexpr uint32_t kDefaultStoreCapacity = 1024;

  CEditText();
  ~CEditText();
  CEditText(const CEditText&) = delete;
  CEditText& operator=(const CEditText&) = delete;

  // Clear, then the text as version 1. 0 (nothing kept) for a null or
  // over-long text, a capacity of 0 or a failed allocation. The stores
  // keep their memory across Clear and Init, so that an edit text used
  // for one address after another allocates once.
  int Init(const char* text, uint32_t recordCapacity = kDefaultRecordCapacity,
           uint32_t storeCapacity = kDefaultStoreCapacity);
  // No text: version count 0, mark counter 0, both stores emptied.
  void Clear();

  uint32_t GetVersionCount() const { return count_; }
  int16_t GetMarkCounter() const { return mark_; }
  // Current text; null when there is none.
  const char* GetText() const;
  // Text of version n (1 = the input); null for 0 or a version that does
  // not exist.
  const char* GetVersionText(uint32_t n) const;
  int GetLength() const;
  int IsEmpty() const;
  // Byte `position` of the current text; null when there is no text, ""
  // for a position outside 1 .. length + 1.
  const char* GetPointer(int position) const;

  // count bytes at position replaced by text; 0 for position or count 0, a
  // null text, no current text, a range beyond the text, or a result over
  // kMaxLength bytes.
  int Replace(int position, int count, const char* text);
  // 0 for position 0; 1 without change for a position beyond the text;
  // else Replace by "" (0 when position + count - 1 is beyond the text).
  int Delete(int position, int count);
  // Everything from position on removed; 0 for position 0, 1 without change
  // for a position beyond the text.
  int Truncate(int position);
  // 0 for a null text; 1 without a new version for an empty one.
  int Append(const char* text);
  // Every occurrence left to right; an inserted replacement is not
  // searched again. 1 at once for an empty search text or one equal to
  // the replacement; 0 at the first failed edit (earlier edits stay).
  int ReplaceAll(const char* search, const char* replacement);
  // Makes the current text equal to text with at most one edit (append,
  // truncate or one replacement after the common prefix). 0 without a
  // current text.
  int SetText(const char* text);

  // Mark counter + 1 (16-bit wrap); answers the new value.
  int16_t BeginMark();
  // Drops every version made since mark m was begun and sets the counter
  // to m; nothing happens for m above the counter.
  void RollbackTo(int16_t m);
  // Drops the newest version (0 when there is none).
  int Undo();

  // The byte of version 1 that position a of the current text came from:
  // a position inside an inserted or converted stretch maps to the first
  // byte of what the stretch replaced. "" for a position that does not
  // exist (also 0, or beyond the current text or the input).
  const char* GetOriginalPointer(int position) const;

  // Character conversions of the whole text; every changed character is a
  // version of its own. 0 at the first failed edit (earlier ones stay).
  int ToFullWidth();
  int KatakanaToHiragana();
  int HalfKanaToHiragana();
  int SmallHiraganaToLarge();
  // Kanji numerals and full-width digits before a unit word (条 丁 番 区 線
  // 号 ノ 地割 －) and at the end of the text to full-width digits, when
  // the run is of one kind: 三丁目 -> ３丁目, 十五番地 -> １５番地.
  int NumeralsBeforeUnitsToDigits();

 private:
  struct EditRecord {
    uint32_t textStart;  // 1-based index of the version's first byte in the store
    uint32_t position;   // where the change begins in the previous version
    uint32_t newLength;  // bytes inserted
    uint32_t oldLength;  // bytes removed
    int32_t mark;        // mark counter when made (read as 16-bit)
  };
  static_assert(sizeof(EditRecord) == 20, "edit records are 20 bytes");

  // Appends a version; returns its number (count + 1) or 0. A failure
  // leaves both stores as they were.
  uint32_t PushVersion(const char* text, uint32_t length, uint32_t position, uint32_t newLength,
                       uint32_t oldLength, int32_t mark);
  // Pushes text as the next version and raises the count.
  int Commit(const char* text, uint32_t length, uint32_t position, uint32_t newLength,
             uint32_t oldLength);
  int GetEditRecord(uint32_t n, EditRecord* record) const;
  uint32_t VersionLength(uint32_t n) const;
  // Walks the text by characters: convert(p, &length, converted) answers
  // true when the `length` bytes at p (one character, unless convert sets
  // another length) become the text it wrote into converted
  // (kConvertedSize bytes); they are replaced when they differ. 0 at the
  // first failed edit.
  static constexpr int kConvertedSize = 8;
  template <typename Convert>
  int ConvertChars(Convert convert);

  // The stores of this thread's ended edit texts, taken up again by Init
  // (an edit text then costs no allocation).
  struct SpareStores;
  static SpareStores& Spares();

  uint32_t count_;
  int16_t mark_;
  char empty_[1];
  // Edit record n at index n - 1; the texts one after another, each with
  // its NUL and a spare byte.
  std::vector<EditRecord> records_;
  std::vector<char> store_;
};
