// The address searches: the hierarchy listings by names and by code, the
// keyword searches and the address analysis, each as an array export and a
// result-file twin (suffix FL).
//
// Every export runs the same sequence: it sets how the full-form record's
// final number is read, empties the address rows, takes the current
// options, runs the library's entry and refreshes the address total (0
// after a file search, whose rows went to the file).

#include <utility>

#include "gazref/address_search.h"
#include "gazref/gazref_state.h"
#include "gazref/lib/export.h"

namespace {

GazrefState& State() { return TheGazrefState(); }

// The four footers as they stand now.
AddressFooters CurrentFooters() {
  const GazrefOptions& o = State().Options;
  AddressFooters f;
  f.gaiku = o.Footers[static_cast<int>(Footer::Gaiku)].c_str();
  f.zyukyo = o.Footers[static_cast<int>(Footer::Zyukyo)].c_str();
  f.oyaban = o.Footers[static_cast<int>(Footer::Oyaban)].c_str();
  f.koban = o.Footers[static_cast<int>(Footer::Koban)].c_str();
  return f;
}

// The sequence around an entry: the search into the sink with the current
// footers and default aza mode. fuyoFromCode < 0 leaves the switch as it is
// (the analysis exports other than GZR_Jyusyo_Analyze_v2).
template <typename Query>
int RunSearch(int32_t fuyoFromCode, int (*search)(ResultSink&&, const Query&), ResultSink&& out,
              Query query) {
  GazrefState& state = State();
  if (fuyoFromCode >= 0) state.FuyoFromCode = fuyoFromCode;
  ClearAddrResults(&state);
  query.footers = CurrentFooters();
  query.defaultAzaMode = state.Options.DefaultAzaMode;
  const int result = search(std::move(out), query);
  RefreshAddrTotal(&state);
  return result;
}

// The address rows of the library, which the array exports fill.
ArraySink AddressRows() { return ArraySink(&State().AddrResultArray); }

// ---- Listings: the plain exports pass DeleteGun and SkipAzaNasi with the
// change history on; the ZEB exports pass 0 for all three. ----

int List(ResultSink&& out, bool zeb, bool byCode, const char* text, const char* folder, int maxRows,
         int* interrupted, char* message) {
  const GazrefOptions& o = State().Options;
  AddressListingQuery q;
  q.byCode = byCode;
  q.text = text;
  q.dataFolder = folder;
  q.maxRows = maxRows;
  q.interrupted = interrupted;
  q.deleteGun = zeb ? 0 : o.DeleteGun;
  q.skipAzaNasi = zeb ? 0 : o.SkipAzaNasi;
  q.useChangeHistory = zeb ? 0 : 1;
  q.message = message;
  return RunSearch(0, ListAddressesGz, std::move(out), q);
}

// ---- Keyword searches: restriction mode 0 (TVX, ZEB_FindAll) or 1 (WUL,
// ZEB_Find, which read the final number from the code); the ZEB exports
// without the change history. ----

int Keyword(ResultSink&& out, bool zeb, int searchType, const char* prefecture,
            const char* municipality, char* text, const char* folder, int maxRows, int* interrupted,
            char* message, int32_t restrictionMode) {
  AddressKeywordQuery q;
  q.searchType = searchType;
  q.text = text;
  q.dataFolder = folder;
  q.maxRows = maxRows;
  q.interrupted = interrupted;
  q.message = message;
  q.prefectureRestriction = prefecture;
  q.municipalityRestriction = municipality;
  q.restrictionMode = restrictionMode;
  q.useChangeHistory = zeb ? 0 : 1;
  return RunSearch(restrictionMode, KeywordSearchGz, std::move(out), q);
}

// ---- Analysis ----

int Analyze(ResultSink&& out, int32_t fuyoFromCode, char* text, const char* folder,
            int countyOptional, char* message) {
  AddressAnalysisQuery q;
  q.text = text;
  q.dataFolder = folder;
  q.countyOptional = countyOptional;
  q.analyzeClass = State().Options.AnalyzeExClass;
  q.message = message;
  return RunSearch(fuyoFromCode, AnalyzeAddressGz, std::move(out), q);
}

int FoundOrNot(int result) { return result == 1 ? 1 : 0; }

}  // namespace

// ---- Listings by names ----

GZR_API int GZR_Jyusyo_FindListFirst(const char* text, const char* dataFolder, int maxRows,
                                     int* interrupted, char* message) {
  return List(AddressRows(), false, false, text, dataFolder, maxRows, interrupted, message);
}
GZR_API int GZR_Jyusyo_FindListFirstFL(const char* resultFile, const char* text,
                                       const char* dataFolder, int maxRows, int* interrupted,
                                       char* message) {
  return List(FileSink(resultFile), false, false, text, dataFolder, maxRows, interrupted, message);
}
GZR_API int GZR_ZEB_Jyusyo_FindListFirst(const char* text, const char* dataFolder, int maxRows,
                                         int* interrupted, char* message) {
  return List(AddressRows(), true, false, text, dataFolder, maxRows, interrupted, message);
}
GZR_API int GZR_ZEB_Jyusyo_FindListFirstFL(const char* resultFile, const char* text,
                                           const char* dataFolder, int maxRows, int* interrupted,
                                           char* message) {
  return List(FileSink(resultFile), true, false, text, dataFolder, maxRows, interrupted, message);
}

// ---- Listings by code ----

GZR_API int GZR_Jyusyo_FindListFirst_Code(const char* code, const char* dataFolder, int maxRows,
                                          int* interrupted, char* message) {
  return List(AddressRows(), false, true, code, dataFolder, maxRows, interrupted, message);
}
GZR_API int GZR_Jyusyo_FindListFirst_CodeFL(const char* resultFile, const char* code,
                                            const char* dataFolder, int maxRows, int* interrupted,
                                            char* message) {
  return List(FileSink(resultFile), false, true, code, dataFolder, maxRows, interrupted, message);
}
GZR_API int GZR_ZEB_Jyusyo_FindListFirst_Code(const char* code, const char* dataFolder, int maxRows,
                                              int* interrupted, char* message) {
  return List(AddressRows(), true, true, code, dataFolder, maxRows, interrupted, message);
}
GZR_API int GZR_ZEB_Jyusyo_FindListFirst_CodeFL(const char* resultFile, const char* code,
                                                const char* dataFolder, int maxRows,
                                                int* interrupted, char* message) {
  return List(FileSink(resultFile), true, true, code, dataFolder, maxRows, interrupted, message);
}

// ---- Keyword searches ----

GZR_API int GZR_TVX_FindAllFirst(int searchType, char* text, const char* dataFolder, int maxRows,
                                 int* interrupted, char* message) {
  return Keyword(AddressRows(), false, searchType, nullptr, nullptr, text, dataFolder, maxRows,
                 interrupted, message, 0);
}
GZR_API int GZR_TVX_FindAllFirstFL(const char* resultFile, int searchType, char* text,
                                   const char* dataFolder, int maxRows, int* interrupted,
                                   char* message) {
  return Keyword(FileSink(resultFile), false, searchType, nullptr, nullptr, text, dataFolder,
                 maxRows, interrupted, message, 0);
}
GZR_API int GZR_ZEB_FindAllFirst(int searchType, char* text, const char* dataFolder, int maxRows,
                                 int* interrupted, char* message) {
  return Keyword(AddressRows(), true, searchType, nullptr, nullptr, text, dataFolder, maxRows,
                 interrupted, message, 0);
}
GZR_API int GZR_ZEB_FindAllFirstFL(const char* resultFile, int searchType, char* text,
                                   const char* dataFolder, int maxRows, int* interrupted,
                                   char* message) {
  return Keyword(FileSink(resultFile), true, searchType, nullptr, nullptr, text, dataFolder,
                 maxRows, interrupted, message, 0);
}
GZR_API int GZR_WUL_FindFirst(int searchType, const char* prefecture, const char* municipality,
                              char* text, const char* dataFolder, int maxRows, int* interrupted,
                              char* message) {
  return Keyword(AddressRows(), false, searchType, prefecture, municipality, text, dataFolder,
                 maxRows, interrupted, message, 1);
}
GZR_API int GZR_WUL_FindFirstFL(const char* resultFile, int searchType, const char* prefecture,
                                const char* municipality, char* text, const char* dataFolder,
                                int maxRows, int* interrupted, char* message) {
  return Keyword(FileSink(resultFile), false, searchType, prefecture, municipality, text,
                 dataFolder, maxRows, interrupted, message, 1);
}
GZR_API int GZR_ZEB_FindFirst(int searchType, const char* prefecture, const char* municipality,
                              char* text, const char* dataFolder, int maxRows, int* interrupted,
                              char* message) {
  return Keyword(AddressRows(), true, searchType, prefecture, municipality, text, dataFolder,
                 maxRows, interrupted, message, 1);
}
GZR_API int GZR_ZEB_FindFirstFL(const char* resultFile, int searchType, const char* prefecture,
                                const char* municipality, char* text, const char* dataFolder,
                                int maxRows, int* interrupted, char* message) {
  return Keyword(FileSink(resultFile), true, searchType, prefecture, municipality, text, dataFolder,
                 maxRows, interrupted, message, 1);
}

// ---- Address analysis ----

GZR_API int GZR_Jyusyo_AnalyzeFL(const char* resultFile, char* text, const char* dataFolder,
                                 char* message) {
  return FoundOrNot(Analyze(FileSink(resultFile), -1, text, dataFolder, 0, message));
}
GZR_API int GZR_Jyusyo_Analyze(char* text, const char* dataFolder, char* message) {
  return FoundOrNot(Analyze(AddressRows(), -1, text, dataFolder, 0, message));
}
GZR_API int GZR_Jyusyo_AnalyzeFL_v2(const char* resultFile, char* text, const char* dataFolder,
                                    int countyOptional, char* message) {
  return Analyze(FileSink(resultFile), -1, text, dataFolder, countyOptional, message);
}
GZR_API int GZR_Jyusyo_Analyze_v2(char* text, const char* dataFolder, int countyOptional,
                                  char* message) {
  return Analyze(AddressRows(), 0, text, dataFolder, countyOptional, message);
}
