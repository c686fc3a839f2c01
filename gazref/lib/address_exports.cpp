// The address searches: the hierarchy listings by names and by code, the
// keyword searches and the address analysis, each as an array export and a
// result-file twin (suffix FL).
//
// Every export runs the same sequence: it sets how the full-form record's
// final number is read, empties the address rows, takes the current
// options, runs the library's entry and refreshes the address total (0
// after a file search, whose rows went to the file).

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

// The sequence around an entry. fuyoFromCode < 0 leaves the switch as it
// is (the analysis exports other than GZR_Jyusyo_Analyze_v2).
template <typename Entry>
int RunSearch(int32_t fuyoFromCode, Entry entry) {
  GazrefState& state = State();
  if (fuyoFromCode >= 0) state.FuyoFromCode = fuyoFromCode;
  ClearAddrResults(&state);
  const int result = entry(state.Options, CurrentFooters());
  RefreshAddrTotal(&state);
  return result;
}

// ---- Listings: the plain exports pass DeleteGun and SkipAzaNasi with the
// change history on; the ZEB exports pass 0 for all three. ----

struct ListingSwitches {
  int32_t deleteGun;
  int32_t skipAzaNasi;
  int32_t useChangeHistory;
};

ListingSwitches PlainListing(const GazrefOptions& o) { return {o.DeleteGun, o.SkipAzaNasi, 1}; }
ListingSwitches ZebListing(const GazrefOptions&) { return {0, 0, 0}; }

using SwitchChoice = ListingSwitches (*)(const GazrefOptions&);

int ListNamesToArray(SwitchChoice choose, const char* text, const char* folder, int maxRows,
                     int* interrupted, char* message) {
  return RunSearch(0, [&](const GazrefOptions& o, const AddressFooters& f) {
    const ListingSwitches s = choose(o);
    return ListByNamesToArrayGz(&State().AddrResultArray, text, folder, maxRows, interrupted, f,
                                o.DefaultAzaMode, s.deleteGun, s.skipAzaNasi,
                                s.useChangeHistory, message);
  });
}

int ListNamesToFile(SwitchChoice choose, const char* resultFile, const char* text,
                    const char* folder, int maxRows, int* interrupted, char* message) {
  return RunSearch(0, [&](const GazrefOptions& o, const AddressFooters& f) {
    const ListingSwitches s = choose(o);
    return ListByNamesToFileGz(resultFile, text, folder, maxRows, interrupted, f,
                               o.DefaultAzaMode, s.deleteGun, s.skipAzaNasi, s.useChangeHistory,
                               message);
  });
}

int ListCodeToArray(SwitchChoice choose, const char* code, const char* folder, int maxRows,
                    int* interrupted, char* message) {
  return RunSearch(0, [&](const GazrefOptions& o, const AddressFooters& f) {
    const ListingSwitches s = choose(o);
    return ListByCodeToArrayGz(&State().AddrResultArray, code, folder, maxRows, interrupted, f,
                               o.DefaultAzaMode, s.deleteGun, s.skipAzaNasi, s.useChangeHistory,
                               message);
  });
}

int ListCodeToFile(SwitchChoice choose, const char* resultFile, const char* code,
                   const char* folder, int maxRows, int* interrupted, char* message) {
  return RunSearch(0, [&](const GazrefOptions& o, const AddressFooters& f) {
    const ListingSwitches s = choose(o);
    return ListByCodeToFileGz(resultFile, code, folder, maxRows, interrupted, f,
                              o.DefaultAzaMode, s.deleteGun, s.skipAzaNasi, s.useChangeHistory,
                              message);
  });
}

// ---- Keyword searches: restriction mode 0 (TVX, ZEB_FindAll) or 1 (WUL,
// ZEB_Find, which read the final number from the code). ----

struct KeywordCall {
  int32_t searchType;
  const char* prefecture;
  const char* municipality;
  char* text;
  const char* folder;
  int32_t maxRows;
  int32_t* interrupted;
  char* message;
  int32_t restrictionMode;
  int32_t useChangeHistory;
};

int KeywordToArray(const KeywordCall& c) {
  return RunSearch(c.restrictionMode, [&](const GazrefOptions& o, const AddressFooters& f) {
    return KeywordSearchToArrayGz(&State().AddrResultArray, c.searchType, c.text, c.folder,
                                  c.maxRows, c.interrupted, f, o.DefaultAzaMode, c.message,
                                  c.prefecture, c.municipality, c.restrictionMode,
                                  c.useChangeHistory);
  });
}

int KeywordToFile(const char* resultFile, const KeywordCall& c) {
  return RunSearch(c.restrictionMode, [&](const GazrefOptions& o, const AddressFooters& f) {
    return KeywordSearchToFileGz(resultFile, c.searchType, c.text, c.folder, c.maxRows,
                                 c.interrupted, f, o.DefaultAzaMode, c.message, c.prefecture,
                                 c.municipality, c.restrictionMode, c.useChangeHistory);
  });
}

// ---- Analysis ----

int AnalyzeToArray(int32_t fuyoFromCode, char* text, const char* folder, int countyOptional,
                   char* message) {
  return RunSearch(fuyoFromCode, [&](const GazrefOptions& o, const AddressFooters& f) {
    return AnalyzeAddressToArrayGz(&State().AddrResultArray, text, 0, folder, countyOptional, f,
                                   o.DefaultAzaMode, o.AnalyzeExClass, message);
  });
}

int AnalyzeToFile(const char* resultFile, char* text, const char* folder, int countyOptional,
                  char* message) {
  return RunSearch(-1, [&](const GazrefOptions& o, const AddressFooters& f) {
    return AnalyzeAddressToFileGz(resultFile, text, 0, folder, countyOptional, f,
                                  o.DefaultAzaMode, o.AnalyzeExClass, message);
  });
}

int FoundOrNot(int result) { return result == 1 ? 1 : 0; }

}  // namespace

// ---- Listings by names ----

GZR_API int GZR_Jyusyo_FindListFirst(const char* text, const char* dataFolder, int maxRows,
                                     int* interrupted, char* message) {
  return ListNamesToArray(PlainListing, text, dataFolder, maxRows, interrupted, message);
}
GZR_API int GZR_Jyusyo_FindListFirstFL(const char* resultFile, const char* text,
                                       const char* dataFolder, int maxRows, int* interrupted,
                                       char* message) {
  return ListNamesToFile(PlainListing, resultFile, text, dataFolder, maxRows, interrupted,
                         message);
}
GZR_API int GZR_ZEB_Jyusyo_FindListFirst(const char* text, const char* dataFolder, int maxRows,
                                         int* interrupted, char* message) {
  return ListNamesToArray(ZebListing, text, dataFolder, maxRows, interrupted, message);
}
GZR_API int GZR_ZEB_Jyusyo_FindListFirstFL(const char* resultFile, const char* text,
                                           const char* dataFolder, int maxRows, int* interrupted,
                                           char* message) {
  return ListNamesToFile(ZebListing, resultFile, text, dataFolder, maxRows, interrupted, message);
}

// ---- Listings by code ----

GZR_API int GZR_Jyusyo_FindListFirst_Code(const char* code, const char* dataFolder, int maxRows,
                                          int* interrupted, char* message) {
  return ListCodeToArray(PlainListing, code, dataFolder, maxRows, interrupted, message);
}
GZR_API int GZR_Jyusyo_FindListFirst_CodeFL(const char* resultFile, const char* code,
                                            const char* dataFolder, int maxRows,
                                            int* interrupted, char* message) {
  return ListCodeToFile(PlainListing, resultFile, code, dataFolder, maxRows, interrupted,
                        message);
}
GZR_API int GZR_ZEB_Jyusyo_FindListFirst_Code(const char* code, const char* dataFolder,
                                              int maxRows, int* interrupted, char* message) {
  return ListCodeToArray(ZebListing, code, dataFolder, maxRows, interrupted, message);
}
GZR_API int GZR_ZEB_Jyusyo_FindListFirst_CodeFL(const char* resultFile, const char* code,
                                                const char* dataFolder, int maxRows,
                                                int* interrupted, char* message) {
  return ListCodeToFile(ZebListing, resultFile, code, dataFolder, maxRows, interrupted, message);
}

// ---- Keyword searches ----

GZR_API int GZR_TVX_FindAllFirst(int searchType, char* text, const char* dataFolder, int maxRows,
                                 int* interrupted, char* message) {
  return KeywordToArray(
      {searchType, nullptr, nullptr, text, dataFolder, maxRows, interrupted, message, 0, 1});
}
GZR_API int GZR_TVX_FindAllFirstFL(const char* resultFile, int searchType, char* text,
                                   const char* dataFolder, int maxRows, int* interrupted,
                                   char* message) {
  return KeywordToFile(resultFile, {searchType, nullptr, nullptr, text, dataFolder, maxRows,
                                    interrupted, message, 0, 1});
}
GZR_API int GZR_ZEB_FindAllFirst(int searchType, char* text, const char* dataFolder, int maxRows,
                                 int* interrupted, char* message) {
  return KeywordToArray(
      {searchType, nullptr, nullptr, text, dataFolder, maxRows, interrupted, message, 0, 0});
}
GZR_API int GZR_ZEB_FindAllFirstFL(const char* resultFile, int searchType, char* text,
                                   const char* dataFolder, int maxRows, int* interrupted,
                                   char* message) {
  return KeywordToFile(resultFile, {searchType, nullptr, nullptr, text, dataFolder, maxRows,
                                    interrupted, message, 0, 0});
}
GZR_API int GZR_WUL_FindFirst(int searchType, const char* prefecture, const char* municipality,
                              char* text, const char* dataFolder, int maxRows, int* interrupted,
                              char* message) {
  return KeywordToArray({searchType, prefecture, municipality, text, dataFolder, maxRows,
                         interrupted, message, 1, 1});
}
GZR_API int GZR_WUL_FindFirstFL(const char* resultFile, int searchType, const char* prefecture,
                                const char* municipality, char* text, const char* dataFolder,
                                int maxRows, int* interrupted, char* message) {
  return KeywordToFile(resultFile, {searchType, prefecture, municipality, text, dataFolder,
                                    maxRows, interrupted, message, 1, 1});
}
GZR_API int GZR_ZEB_FindFirst(int searchType, const char* prefecture, const char* municipality,
                              char* text, const char* dataFolder, int maxRows, int* interrupted,
                              char* message) {
  return KeywordToArray({searchType, prefecture, municipality, text, dataFolder, maxRows,
                         interrupted, message, 1, 0});
}
GZR_API int GZR_ZEB_FindFirstFL(const char* resultFile, int searchType, const char* prefecture,
                                const char* municipality, char* text, const char* dataFolder,
                                int maxRows, int* interrupted, char* message) {
  return KeywordToFile(resultFile, {searchType, prefecture, municipality, text, dataFolder,
                                    maxRows, interrupted, message, 1, 0});
}

// ---- Address analysis ----

GZR_API int GZR_Jyusyo_AnalyzeFL(const char* resultFile, char* text, const char* dataFolder,
                                 char* message) {
  return FoundOrNot(AnalyzeToFile(resultFile, text, dataFolder, 0, message));
}
GZR_API int GZR_Jyusyo_Analyze(char* text, const char* dataFolder, char* message) {
  return FoundOrNot(AnalyzeToArray(-1, text, dataFolder, 0, message));
}
GZR_API int GZR_Jyusyo_AnalyzeFL_v2(const char* resultFile, char* text, const char* dataFolder,
                                    int countyOptional, char* message) {
  return AnalyzeToFile(resultFile, text, dataFolder, countyOptional, message);
}
GZR_API int GZR_Jyusyo_Analyze_v2(char* text, const char* dataFolder, int countyOptional,
                                  char* message) {
  return AnalyzeToArray(0, text, dataFolder, countyOptional, message);
}
