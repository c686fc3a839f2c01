#pragma once
// The character dictionaries that drive the normalisation of address text:
//  - the unification dictionary (文字統一.BIN): one character -> its
//    canonical form, kept in a CCharDictionary sorted by search text;
//  - the replacement list (文字置換.BIN): text -> text, in file order;
//  - the extra replacement list (ユーザー置換.TXT, optional, text form);
//  - the facility replacement list (a headerless pair file).
// All hold 516-byte pair records.
//
// Binary pair files: an optional 32-byte header (NUL-terminated text in 8
// bytes, "TVXBT_T" or "TVXBT_O"; the pair count as a 32-bit little-endian
// value at offset 12; the other bytes unused), then pairs to the end of the
// file. A pair is the search string, then the replacement string, each a
// 32-bit little-endian byte length followed by that many bytes, every byte
// the complement of the Shift-JIS text; no terminator is stored.
//
// Text form: one pair a line, blanks at both ends of a line removed, empty
// lines and lines beginning with ";" skipped; the search text runs to the
// first ",", the replacement to the next "," or the end of the line.
//
// Limits: a text is at most 255 bytes (the record's fields hold 256 with the
// NUL); a longer string in a binary file, or a longer field (also after its
// normalisation) or a line over 511 bytes in a text file, refuses the load
// with the read-failure message. Every loader frees its container on
// failure, writes one message into msg (kMessageSize bytes, null for none)
// and answers 0; files are closed on every path.

#include <cstddef>
#include <cstdint>

#include "common/record_array.h"
#include "common/record_stack.h"

inline constexpr int kPairTextSize = 256;
inline constexpr int kPairMaxTextLength = kPairTextSize - 1;

// The element of every dictionary and replacement list.
struct PairRecord {
  char search[kPairTextSize];       // NUL-terminated Shift-JIS
  char replacement[kPairTextSize];  // NUL-terminated Shift-JIS
  int32_t flag;                     // 0 after loading
};
static_assert(sizeof(PairRecord) == 516, "pair records are 516 bytes");

// File names inside the data folder.
inline constexpr char kUnificationDictionaryFile[] = "文字統一.BIN";
inline constexpr char kReplacementDictionaryFile[] = "文字置換.BIN";
inline constexpr char kUserReplacementFile[] = "ユーザー置換.TXT";

// Header texts of the two header-form files.
inline constexpr char kUnificationHeaderText[] = "TVXBT_T";
inline constexpr char kReplacementHeaderText[] = "TVXBT_O";
inline constexpr uint32_t kPairFileHeaderSize = 32;

// Byte comparison (unsigned, as strcmp) of two NUL-terminated texts: of two
// pair records by their search texts, or of a record and a key text. The
// comparator of every sort and search of the dictionaries.
int32_t CompareDictionaryKeys(const void* a, const void* b);

// withHeader 1 (the shipped files): header "TVXBT_T"; pairs kept in file
// order unless they are out of order, when they are sorted. withHeader 0:
// headerless pairs, sorted by search text when more than one was read.
int LoadUnificationDictionary(const char* path, CCharDictionary* dictionary, char* msg,
                              int withHeader);

// A change applied in place to both texts of every pair a loader reads
// (each in a kPairTextSize buffer); false refuses the load with the
// read-failure message. A null apply changes nothing. The loaders that
// normalise (matching/dictionary_loaders.h) pass the normalisation.
struct PairTextFixup {
  bool (*apply)(char* text, void* context) = nullptr;
  void* context = nullptr;
};

// withHeader 1: header "TVXBT_O"; strings stored as read, except that with
// tenThousandToMan set every "１００００" of a search string becomes "万".
// withHeader 0: headerless pairs, both strings through headerlessFixup.
// File order is kept.
int LoadReplacementPairs(const char* path, CRecordList* list, char* msg, int withHeader,
                         int tenThousandToMan, PairTextFixup headerlessFixup);

// Text form into a list in file order, both fields through fixup. A file
// without pairs gives an empty list.
int LoadReplacementPairsText(const char* path, CRecordList* list, char* msg, PairTextFixup fixup);

// Text form into a dictionary, not normalised, sorted by search text when
// more than one pair was read.
int LoadUnificationDictionaryText(const char* path, CCharDictionary* dictionary, char* msg);

// Headerless binary form, strings stored as read.
int LoadFacilityReplacementDictionary(const char* path, CRecordList* list, char* msg);

// Walks the pairs of a headerless file from its start without storing them
// and counts the complete ones.
int CountDictionaryFilePairs(const char* path, uint32_t* count, char* msg);
