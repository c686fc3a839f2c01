#pragma once
// The comparators that weigh a new candidate of one level of the address
// matcher against the best one found so far at that level. Each answers 1
// when the new candidate replaces the best and 0 when the best stays.
//
// Every comparator first applies the status filter (bits 0-3 of the
// engine's search flags) to the new candidate: bit 0 refuses a status of
// 3, bit 1 refuses any other status. Then its rules are taken in order and
// the first that separates the two candidates answers.
//
// Values, all signed 32-bit:
//  - level: the level the candidate reached (2 municipality ... 8 lot; a
//    best that does not exist yet has level 0);
//  - consumed: bytes of the normalised text;
//  - status: the row's 状態フラグ as a number (3 = abolished; "A" = 10 at
//    the block level);
//  - oaza variant kind: 0 written as stored, 1 a variant, 2 through the
//    number-and-unit branch;
//  - chome-route flag: 0 when the chome row came through the control-code
//    route, 1 by name or when the candidate stopped at the oaza level;
//  - control-route flag: 1 when the row itself came through the
//    control-code route;
//  - precision class: 1 (best) to 7.

#include <cstdint>

inline constexpr int32_t kLargestValue = INT32_MAX;

// How an oaza name was matched (the oaza variant of a candidate; smaller
// is better).
enum OazaVariant : int32_t {
  kOazaAsWritten = 0,    // the name as the caller wrote it
  kOazaNameVariant = 1,  // a variant of the name (normalised, street words skipped, ...)
  kOazaNumberUnit = 2,   // a number and the unit word that ends the name
};

struct CityCandidate {
  int32_t level;
  int32_t cityConsumed;
  int32_t oazaVariant;
  int32_t oazaConsumed;
  int32_t chomeRoute;
  int32_t chomeConsumed;
  int32_t status;
};
inline constexpr CityCandidate kCityCandidateStart = {0, 0, kOazaNumberUnit, 0, 1, 0, 3};

struct OazaCandidate {
  int32_t level;
  int32_t oazaVariant;
  int32_t oazaConsumed;
  int32_t chomeRoute;
  int32_t chomeConsumed;
  int32_t status;
  int32_t controlRoute;
};
inline constexpr OazaCandidate kOazaCandidateStart = {0, kOazaNumberUnit, 0, 1, 0, 3, 0};

struct ChomeCandidate {
  int32_t level;
  int32_t chomeRoute;
  int32_t chomeConsumed;
  int32_t status;
  int32_t precision;
  int32_t controlRoute;
};
inline constexpr ChomeCandidate kChomeCandidateStart = {0, 1, 0, 3, kLargestValue, 0};

// route and precision are carried, not compared.
struct BlockCandidate {
  int32_t level;
  int32_t route;
  int32_t consumed;
  int32_t status;
  int32_t precision;
};
inline constexpr BlockCandidate kBlockCandidateStart = {0, 1, 0, 3, kLargestValue};

// precision is carried, not compared.
struct LotCandidate {
  int32_t consumed;
  int32_t status;
  int32_t precision;
};
inline constexpr LotCandidate kLotCandidateStart = {0, 3, kLargestValue};

// 1 when the status filter refuses a candidate of this status.
int IsRefusedByStatusFilter(int32_t status, int32_t filter);

// Municipality level: smaller oaza variant kind; larger municipality +
// oaza + chome consumed; smaller chome-route flag; larger level; the status
// rule (filter bits 0 and 1 clear: a status-3 best loses to a new one of
// another status, a status-3 new one loses to a best of another); a
// status-10 best stays, else a status-10 new one wins; else the best stays.
int IsBetterCityCandidate(const CityCandidate& best, const CityCandidate& candidate,
                          int32_t filter);

// Oaza level: larger control-route flag; a best of variant kind 2 loses to
// a new one of a smaller kind (and the reverse); larger oaza + chome
// consumed; smaller chome-route flag; larger level; the status rule;
// status 10 against not 10; smaller variant kind; else the best stays.
int IsBetterOazaCandidate(const OazaCandidate& best, const OazaCandidate& candidate,
                          int32_t filter);

// 1 when the chome-level rest after the candidate is empty and its
// グループコード begins with the character 8.
int IsWholeChomeGroup8(const char* chomeRest, const char* groupCode);

// For oaza candidates that went deeper: the status filter first; then,
// when both reached level 4 and
// exactly one of them is a whole chome of the 8 group (IsWholeChomeGroup8
// over its chome rest and グループコード), that one wins; otherwise
// IsBetterOazaCandidate decides.
int IsBetterOazaCandidateGroupRule(const OazaCandidate& best, const char* bestChomeRest,
                                   const char* bestGroupCode, const OazaCandidate& candidate,
                                   const char* chomeRest, const char* groupCode, int32_t filter);

// Chome level: larger control-route flag; larger chome consumed; smaller
// chome-route flag; larger level; the status rule; status 10 against not
// 10; then, unless the best has reached level 5 or deeper, the smaller
// precision class; else the best stays.
int IsBetterChomeCandidate(const ChomeCandidate& best, const ChomeCandidate& candidate,
                           int32_t filter);

// Block level (levels 5 to 8): larger level; larger consumed; the status
// rule; a status-10 best stays, else a status-10 new one wins; else the
// best stays.
int IsBetterBlockCandidate(const BlockCandidate& best, const BlockCandidate& candidate,
                           int32_t filter);
// IsBetterBlockCandidate against *best; on 1 the candidate's values become
// the best.
int TakeBetterBlockCandidate(BlockCandidate* best, const BlockCandidate& candidate, int32_t filter);

// Lot level: larger consumed wins; with any filter bit set the tie result
// answers; else a status-3 best gives way to a new one of another status
// and answers the tie result against a status-3 one, and a best of another
// status keeps its place against a status-3 one and answers the tie result
// otherwise.
int IsBetterLotCandidate(const LotCandidate& best, const LotCandidate& candidate, int32_t filter,
                         int tieResult);

// A simple keeper of the deepest result.
struct LevelResult {
  int32_t level;
  int32_t parent;
  int16_t entry;
  int32_t count;
  int32_t kind;
};
// The candidate replaces the best when its level is larger; or the levels
// are equal and the kinds equal and its count is at least the best's; or
// the levels are equal, the kinds differ and the best's kind is 1.
void TakeBetterLevelResult(LevelResult* best, const LevelResult& candidate);
