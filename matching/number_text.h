#pragma once
// Text helpers of the block and lot levels of the matcher: the number at
// the head of the text, the words that may follow a block number, the
// comparison form of block and lot numbers, the words that may be left
// after a lot, and the placing of an estimate between its neighbours.

#include <cstdint>
#include <string>

#include "common/record_stack.h"
#include "matching/adrs_engine.h"

// The run of numerals at the head of a text.
struct NumberRun {
  int kind = 0;    // 1 full-width digits, 2 kanji numerals, 3 ASCII digits
  int length = 0;  // bytes of the run
  int32_t value = 0;
  // The number asked for, in full width: ASCII digits as they stand, the
  // other runs as the digits of their value.
  std::string requested;
};

// Reads one run of full-width digits, kanji numerals (一 十 百 〇 ...) or
// ASCII digits at the head of text; the run ends where the kind changes.
// 1 with the run; 0 when there is none, when a kanji run has no value
// (十万) or when the value does not fit 32 bits.
int ClassifyNumberRun(const char* text, NumberRun* run);

// Leading "０" removed while the text is longer than one character
// ("０１２" -> "１２", "００" -> "０", "０" stays).
std::string StripLeadingZeros(const std::string& text);

// The bytes of the word that follows a block number at the head of text:
// "－", "の", "ノ", "番地", "番", "地割", "線", "号", "街区", tried in this
// order. A word counts when the text ends after it, goes on with a numeral
// or the word is "－"; a unit word (after the first three) followed by "－"
// or "の" counts with that character. 0 when none counts.
int MeasureNumberSuffix(const char* text);

// 1 when the rest after a lot is only one of the words "－", "の", "番地",
// "番", "地割", "線", "号", "街区", compared after the rest is normalised
// (full width, kana, the unification dictionary when given, "‐" as "－"),
// so that "-" and "ﾉ" count as well.
int IsTrailingLotWord(const char* rest, CCharDictionary* dictionary);

// The point of an estimate: with both neighbours at numbers N1 and N2, the
// point at the requested number n on the line between them
// ((p1 x (N2 - n) + p2 x (n - N1)) / (N2 - N1), truncated toward zero); with
// equal numbers, or one neighbour only, that first neighbour's point. 0
// when the record has no neighbour.
int EstimatePoint(const EstimateRecord& record, int32_t* latitude, int32_t* longitude);
