#include "matching/candidate_compare.h"

namespace {

// The answer of a rule that separates two values: 1 for the new
// candidate, 0 for the best, -1 when the rule does not separate them.
int Larger(int32_t best, int32_t candidate) {
  if (candidate > best) return 1;
  if (candidate < best) return 0;
  return -1;
}

int Smaller(int32_t best, int32_t candidate) {
  if (candidate < best) return 1;
  if (candidate > best) return 0;
  return -1;
}

// With filter bits 0 and 1 clear, a status of 3 loses against any other.
int StatusRule(int32_t bestStatus, int32_t status, int32_t filter) {
  if ((filter & 3) != 0) return -1;
  if (bestStatus == 3 && status != 3) return 1;
  if (bestStatus != 3 && status == 3) return 0;
  return -1;
}

// Status 10 against a status other than 10.
int Status10Rule(int32_t bestStatus, int32_t status) {
  if (bestStatus == 10 && status != 10) return 0;
  if (bestStatus != 10 && status == 10) return 1;
  return -1;
}

// A best of status 10 stays; else a new one of status 10 wins; else the
// best stays.
int FinalStatus10Rule(int32_t bestStatus, int32_t status) {
  if (bestStatus == 10) return 0;
  return status == 10 ? 1 : 0;
}

}  // namespace

int IsRefusedByStatusFilter(int32_t status, int32_t filter) {
  if ((filter & 1) != 0 && status == 3) return 1;
  if ((filter & 2) != 0 && status != 3) return 1;
  return 0;
}

int IsBetterCityCandidate(const CityCandidate& best, const CityCandidate& candidate,
                          int32_t filter) {
  if (IsRefusedByStatusFilter(candidate.status, filter)) return 0;
  int r;
  if ((r = Smaller(best.oazaVariant, candidate.oazaVariant)) >= 0) return r;
  // Sums of three consumed counts, each below the text length.
  const int64_t bestSum =
      static_cast<int64_t>(best.cityConsumed) + best.oazaConsumed + best.chomeConsumed;
  const int64_t sum = static_cast<int64_t>(candidate.cityConsumed) + candidate.oazaConsumed +
                      candidate.chomeConsumed;
  if (sum != bestSum) return sum > bestSum ? 1 : 0;
  if ((r = Smaller(best.chomeRoute, candidate.chomeRoute)) >= 0) return r;
  if ((r = Larger(best.level, candidate.level)) >= 0) return r;
  if ((r = StatusRule(best.status, candidate.status, filter)) >= 0) return r;
  return FinalStatus10Rule(best.status, candidate.status);
}

int IsBetterOazaCandidate(const OazaCandidate& best, const OazaCandidate& candidate,
                          int32_t filter) {
  if (IsRefusedByStatusFilter(candidate.status, filter)) return 0;
  int r;
  if ((r = Larger(best.controlRoute, candidate.controlRoute)) >= 0) return r;
  if (best.oazaVariant == kOazaNumberUnit && candidate.oazaVariant < best.oazaVariant) return 1;
  if (candidate.oazaVariant == kOazaNumberUnit && best.oazaVariant < candidate.oazaVariant)
    return 0;
  const int64_t bestSum = static_cast<int64_t>(best.oazaConsumed) + best.chomeConsumed;
  const int64_t sum = static_cast<int64_t>(candidate.oazaConsumed) + candidate.chomeConsumed;
  if (sum != bestSum) return sum > bestSum ? 1 : 0;
  if ((r = Smaller(best.chomeRoute, candidate.chomeRoute)) >= 0) return r;
  if ((r = Larger(best.level, candidate.level)) >= 0) return r;
  if ((r = StatusRule(best.status, candidate.status, filter)) >= 0) return r;
  if ((r = Status10Rule(best.status, candidate.status)) >= 0) return r;
  return Smaller(best.oazaVariant, candidate.oazaVariant) == 1 ? 1 : 0;
}

int IsWholeChomeGroup8(const char* chomeRest, const char* groupCode) {
  return (chomeRest == nullptr || chomeRest[0] == '\0') && groupCode != nullptr &&
                 groupCode[0] == '8'
             ? 1
             : 0;
}

int IsBetterOazaCandidateGroupRule(const OazaCandidate& best, const char* bestChomeRest,
                                   const char* bestGroupCode, const OazaCandidate& candidate,
                                   const char* chomeRest, const char* groupCode, int32_t filter) {
  // The filter holds here as in every comparator: a refused candidate
  // never wins on its group.
  if (IsRefusedByStatusFilter(candidate.status, filter)) return 0;
  if (best.level == 4 && candidate.level == 4) {
    const int bestMarked = IsWholeChomeGroup8(bestChomeRest, bestGroupCode);
    const int marked = IsWholeChomeGroup8(chomeRest, groupCode);
    if (bestMarked != marked) return marked;
  }
  return IsBetterOazaCandidate(best, candidate, filter);
}

int IsBetterChomeCandidate(const ChomeCandidate& best, const ChomeCandidate& candidate,
                           int32_t filter) {
  if (IsRefusedByStatusFilter(candidate.status, filter)) return 0;
  int r;
  if ((r = Larger(best.controlRoute, candidate.controlRoute)) >= 0) return r;
  if ((r = Larger(best.chomeConsumed, candidate.chomeConsumed)) >= 0) return r;
  if ((r = Smaller(best.chomeRoute, candidate.chomeRoute)) >= 0) return r;
  if ((r = Larger(best.level, candidate.level)) >= 0) return r;
  if ((r = StatusRule(best.status, candidate.status, filter)) >= 0) return r;
  if ((r = Status10Rule(best.status, candidate.status)) >= 0) return r;
  if (best.level >= 5) return 0;
  return Smaller(best.precision, candidate.precision) == 1 ? 1 : 0;
}

int IsBetterBlockCandidate(const BlockCandidate& best, const BlockCandidate& candidate,
                           int32_t filter) {
  if (IsRefusedByStatusFilter(candidate.status, filter)) return 0;
  int r;
  if ((r = Larger(best.level, candidate.level)) >= 0) return r;
  if ((r = Larger(best.consumed, candidate.consumed)) >= 0) return r;
  if ((r = StatusRule(best.status, candidate.status, filter)) >= 0) return r;
  return FinalStatus10Rule(best.status, candidate.status);
}

int TakeBetterBlockCandidate(BlockCandidate* best, const BlockCandidate& candidate,
                             int32_t filter) {
  if (!best || !IsBetterBlockCandidate(*best, candidate, filter)) return 0;
  *best = candidate;
  return 1;
}

int IsBetterLotCandidate(const LotCandidate& best, const LotCandidate& candidate, int32_t filter,
                         int tieResult) {
  if (IsRefusedByStatusFilter(candidate.status, filter)) return 0;
  int r;
  if ((r = Larger(best.consumed, candidate.consumed)) >= 0) return r;
  if (filter != 0) return tieResult;
  if (best.status == 3) return candidate.status == 3 ? tieResult : 1;
  return candidate.status == 3 ? 0 : tieResult;
}

void TakeBetterLevelResult(LevelResult* best, const LevelResult& candidate) {
  if (!best) return;
  const bool take =
      candidate.level > best->level ||
      (candidate.level == best->level && candidate.kind == best->kind &&
       candidate.count >= best->count) ||
      (candidate.level == best->level && candidate.kind != best->kind && best->kind == 1);
  if (take) *best = candidate;
}
