#include "gazref/address_search.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/allocation_guard.h"
#include "common/csv_fields.h"
#include "common/file_access.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/path_util.h"
#include "common/record_array.h"
#include "common/sjis_text.h"
#include "gazref/facility_lists.h"
#include "gazref/search_outputs.h"
#include "matching/dictionary_loaders.h"
#include "matching/match_driver.h"
#include "plat/file.h"
#include "plat/path.h"
#include "tabledb/dictionaries.h"
#include "tabledb/tc_access.h"
#include "tabledb/tix_format.h"
#include "tool/csv_sort.h"
#include "tool/hierarchy_listing.h"
#include "tool/keyword_search.h"

namespace {

// The work areas of the entries, NUL included.
constexpr std::size_t kWorkTextSize = 512;
constexpr char kNotDetermined[] = "市区町村が特定できません！[%s]";
constexpr int32_t kLevelOaza = 3;
constexpr int32_t kLevelChome = 4;

// A text the entry copies into a work area: null counts as "", too long is
// refused under its name.
bool FitsWorkArea(const char* text, const char* name, char* message) {
  if (text && std::strlen(text) >= kWorkTextSize) {
    SetMessage(message, kMsgInvalidParameter, name);
    return false;
  }
  return true;
}

// The context in the library's profile for one search.
void SetUpContext(CAdrsContext* context, const std::string& folder, const AddressFooters& footers,
                  int32_t defaultAzaMode, int32_t useChangeHistory) {
  context->EnableLibraryProfile();
  context->SetIndexKind(ProbeIndexFiles(folder.c_str()));
  context->SetFooters(footers.gaiku, footers.zyukyo, footers.oyaban, footers.koban);
  context->SetAzaModeSwitch(defaultAzaMode);
  context->SetDefaultAzaMode(defaultAzaMode);
  context->SetUseChangeHistory(useChangeHistory);
}

// ---- Outputs: a result file or the caller's array ----

class FileOutput : public ResultFileOutput {
 public:
  using ResultFileOutput::ResultFileOutput;
  // The first row, into a work area.
  int FirstRow(char* row, char* message) {
    plat::File in;
    if (!OpenTextFileForReadDenyWrite(&in, path_)) {
      SetMessage(message, kMsgFileOpen, path_);
      return 0;
    }
    const int ok = ReadLineFromFile(&in, row, static_cast<int>(kWorkTextSize));
    in.Close();
    if (!ok) SetMessage(message, kMsgFileRead, path_);
    return ok;
  }
  // Empties the output for another run.
  int Restart(char* message) {
    RemoveFile(path_);
    return Create(message);
  }
};

class ArrayOutput : public ResultArrayOutput {
 public:
  using ResultArrayOutput::ResultArrayOutput;
  int FirstRow(char* row, char*) {
    std::snprintf(row, kWorkTextSize, "%s", array_->empty() ? "" : array_->front().c_str());
    CutAtCharBoundary(row, kWorkTextSize - 1);
    return 1;
  }
  int Restart(char*) {
    if (!array_->empty()) array_->erase(array_->begin());
    return 1;
  }
};

// ---- Listings ----

struct ListingArgs {
  const char* text;
  const char* dataFolder;
  int32_t maxRows;
  int32_t* interrupted;
  const AddressFooters* footers;
  int32_t defaultAzaMode;
  int32_t deleteGun;
  int32_t skipAzaNasi;
  int32_t useChangeHistory;
  char* message;
};

// byCode: the listing by code, whose placeholder step takes the row's code
// instead of going one name deeper.
template <typename Output>
int RunListing(Output& out, const ListingArgs& a, bool byCode) {
  char* message = a.message;
  if (out.Missing()) {
    SetMessage(message, kMsgInvalidParameter, out.Name());
    return 0;
  }
  if (!a.interrupted) {
    SetMessage(message, kMsgInvalidParameter, "検索中断フラグ");
    return 0;
  }
  if (!FitsWorkArea(a.text, byCode ? "コード" : "検索文字列", message) ||
      !FitsWorkArea(a.dataFolder, "データフォルダ", message)) {
    return 0;
  }
  *a.interrupted = 0;
  // The text grows by 3 bytes per placeholder step; there are at most two.
  std::string text = a.text ? a.text : "";
  const std::string folder = FolderWithBackslash(a.dataFolder);
  int32_t rows = 0;
  int32_t level = 0;
  {
    SearchDictionaries dictionaries;
    if (!dictionaries.Load(folder, message)) return 0;
    if (!out.Create(message)) return 0;
    ListingVariant variant;
    variant.countyInBrackets = a.deleteGun;
    variant.readFlfc = false;
    variant.lotRegistryAlways = true;
    for (;;) {
      CAdrsContext context;
      out.Select(&context);
      SetUpContext(&context, folder, *a.footers, a.defaultAzaMode, a.useChangeHistory);
      rows = byCode ? ListByCode(text.c_str(), folder.c_str(), &context, a.maxRows, a.interrupted,
                                 &level, message, 1, variant)
                    : ListByNames(text.c_str(), folder.c_str(), &context,
                                  &dictionaries.unification, &dictionaries.replacements,
                                  a.maxRows, a.interrupted, &level, message, 1, variant);
      if (rows < 0) {
        out.Discard();
        return 0;
      }
      out.Close();
      if (!a.skipAzaNasi || rows != 1 || (level != kLevelOaza && level != kLevelChome)) break;
      char row[kWorkTextSize] = "";
      if (!out.FirstRow(row, message)) return 0;
      char field[kWorkTextSize] = "";
      GetDelimitedField(field, row, ",", 1);
      const int placeholder =
          level == kLevelOaza ? IsNoOazaName(field, 0) : IsNoChomeName(field, 0);
      if (!placeholder) break;
      if (byCode) {
        char code[kWorkTextSize] = "";
        GetDelimitedField(code, row, ",", 5);
        text = code;
      } else {
        text += " \"\"";
      }
      if (!out.Restart(message)) return 0;
    }
  }
  if (rows == 0) {
    SetMessage(message, kMsgNoTargetData, text.c_str());
    return 0;
  }
  if (message) message[0] = '\0';
  return out.Sort(ListingSortField(level), message);
}

// ---- Keyword search ----

// The keyword search's work file "QVAD%02d.#W#" of a prefecture lives in
// this process's own working folder under the temporary folder, so that
// two processes searching at once never write into each other's file.
bool NameWorkFileInProcessFolder(const char* /*tempFolder*/, int32_t prefecture,
                                 std::string* out) {
  const std::string folder = AreaWorkFolder();
  return !folder.empty() && NameWorkFileByPrefecture(folder.c_str(), prefecture, out);
}

// Makes the working folder for one search and removes it afterwards (the
// search removes each work file itself); a folder that was there already
// stays.
class ProcessWorkFolderScope {
 public:
  ProcessWorkFolderScope() : path_(AreaWorkFolder()) {
    made_ = !path_.empty() && !IsFolder(path_.c_str()) && MakeFolder(path_.c_str());
  }
  ~ProcessWorkFolderScope() {
    if (made_) plat::path::RemoveDir(path_.c_str());
  }
  ProcessWorkFolderScope(const ProcessWorkFolderScope&) = delete;
  ProcessWorkFolderScope& operator=(const ProcessWorkFolderScope&) = delete;

 private:
  std::string path_;
  bool made_ = false;
};

struct KeywordArgs {
  int32_t searchType;
  char* text;
  const char* dataFolder;
  int32_t maxRows;
  int32_t* interrupted;
  const AddressFooters* footers;
  int32_t defaultAzaMode;
  char* message;
  const char* prefectureRestriction;
  const char* municipalityRestriction;
  int32_t restrictionMode;
  int32_t useChangeHistory;
};

template <typename Output>
int RunKeywordSearch(Output& out, const KeywordArgs& a) {
  char* message = a.message;
  if (out.Missing()) {
    SetMessage(message, kMsgInvalidParameter, out.Name());
    return 0;
  }
  if (!a.text) {
    SetMessage(message, kMsgInvalidParameter, "検索文字列");
    return 0;
  }
  if (!a.interrupted) {
    SetMessage(message, kMsgInvalidParameter, "検索中断フラグ");
    return 0;
  }
  if (!FitsWorkArea(a.text, "検索文字列", message) ||
      !FitsWorkArea(a.dataFolder, "データフォルダ", message)) {
    return 0;
  }
  *a.interrupted = 0;
  const char* prefecture = a.prefectureRestriction ? a.prefectureRestriction : "";
  const char* municipality = a.municipalityRestriction ? a.municipalityRestriction : "";
  const std::string folder = FolderWithBackslash(a.dataFolder);
  int rows = 0;
  {
    SearchDictionaries dictionaries;
    if (!dictionaries.Load(folder, message)) return 0;
    if (!out.Create(message)) return 0;
    CAdrsContext context;
    out.Select(&context);
    SetUpContext(&context, folder, *a.footers, a.defaultAzaMode, a.useChangeHistory);
    const ProcessWorkFolderScope workFolder;
    auto search = [&] {
      return SearchByKeyword(a.text, folder.c_str(), &context, a.searchType,
                             &dictionaries.unification, &dictionaries.replacements, a.maxRows,
                             a.interrupted, message, prefecture, municipality, a.restrictionMode,
                             nullptr, NameWorkFileInProcessFolder);
    };
    rows = search();
    if (rows == 0 && FindSubstring("大字", a.text) > 0) {
      ReplaceAll(a.text, "大字", "");
      rows = search();
    }
    if (rows < 0) {
      out.Discard();
      return 0;
    }
    out.Close();
  }
  if (rows == 0) {
    SetMessage(message, kMsgNoTargetData, a.text);
    return 0;
  }
  if (message) message[0] = '\0';
  return 1;
}

// ---- Address analysis ----

struct AnalysisArgs {
  char* text;
  const char* dataFolder;
  int32_t countyOptional;
  const AddressFooters* footers;
  int32_t defaultAzaMode;
  int32_t analyzeClass;
  char* message;
};

int AnalyzeCore(CAdrsContext* context, const AnalysisArgs& a) {
  char* message = a.message;
  if (!a.text) {
    SetMessage(message, kMsgInvalidParameter, "検索文字列");
    return -1;
  }
  if (!FitsWorkArea(a.text, "検索文字列", message) ||
      !FitsWorkArea(a.dataFolder, "データフォルダ", message)) {
    return -1;
  }
  const std::string folder = FolderWithBackslash(a.dataFolder);
  SearchDictionaries dictionaries;
  if (!dictionaries.Load(folder, message)) return -1;
  // The change-history switch keeps its initial value (on).
  SetUpContext(context, folder, *a.footers, a.defaultAzaMode, 1);
  context->SetEngineCountyOptional(a.countyOptional);
  context->SetEngineAnalyzeDepth(a.analyzeClass);
  auto run = [&] {
    return RunAddressMatching(a.text, 0, 0, folder.c_str(), context, &dictionaries.unification,
                              &dictionaries.replacements, nullptr, message);
  };
  int result = run();
  for (const char* word : {"大字", "字"}) {
    if (result != 0 || FindSubstring(word, a.text) == 0) continue;
    ReplaceAll(a.text, word, "");
    result = run();
  }
  if (result < 0) return -1;
  if (result == 0) {
    SetMessage(message, kMsgNoTargetData, a.text);
    return 0;
  }
  if (result == 2) {
    SetMessage(message, kNotDetermined, a.text);
    return 2;
  }
  if (message) message[0] = '\0';
  return result;
}

}  // namespace

// ---------------------------------------------------------------------------

int ListByNamesToFileGz(const char* resultFile, const char* searchText, const char* dataFolder,
                        int32_t maxRows, int32_t* interrupted, const AddressFooters& footers,
                        int32_t defaultAzaMode, int32_t deleteGun, int32_t skipAzaNasi,
                        int32_t useChangeHistory, char* message) {
  FileOutput out(resultFile);
  const ListingArgs a{searchText, dataFolder, maxRows,      interrupted,      &footers,
                      defaultAzaMode, deleteGun, skipAzaNasi, useChangeHistory, message};
  return CatchAllocationFailure(message, 0, [&] { return RunListing(out, a, false); });
}

int ListByNamesToArrayGz(CStringArray* array, const char* searchText, const char* dataFolder,
                         int32_t maxRows, int32_t* interrupted, const AddressFooters& footers,
                         int32_t defaultAzaMode, int32_t deleteGun, int32_t skipAzaNasi,
                         int32_t useChangeHistory, char* message) {
  ArrayOutput out(array);
  const ListingArgs a{searchText, dataFolder, maxRows,      interrupted,      &footers,
                      defaultAzaMode, deleteGun, skipAzaNasi, useChangeHistory, message};
  return CatchAllocationFailure(message, 0, [&] { return RunListing(out, a, false); });
}

int ListByCodeToFileGz(const char* resultFile, const char* code, const char* dataFolder,
                       int32_t maxRows, int32_t* interrupted, const AddressFooters& footers,
                       int32_t defaultAzaMode, int32_t deleteGun, int32_t skipAzaNasi,
                       int32_t useChangeHistory, char* message) {
  FileOutput out(resultFile);
  const ListingArgs a{code,           dataFolder, maxRows,     interrupted,      &footers,
                      defaultAzaMode, deleteGun,  skipAzaNasi, useChangeHistory, message};
  return CatchAllocationFailure(message, 0, [&] { return RunListing(out, a, true); });
}

int ListByCodeToArrayGz(CStringArray* array, const char* code, const char* dataFolder,
                        int32_t maxRows, int32_t* interrupted, const AddressFooters& footers,
                        int32_t defaultAzaMode, int32_t deleteGun, int32_t skipAzaNasi,
                        int32_t useChangeHistory, char* message) {
  ArrayOutput out(array);
  const ListingArgs a{code,           dataFolder, maxRows,     interrupted,      &footers,
                      defaultAzaMode, deleteGun,  skipAzaNasi, useChangeHistory, message};
  return CatchAllocationFailure(message, 0, [&] { return RunListing(out, a, true); });
}

int KeywordSearchToFileGz(const char* resultFile, int32_t searchType, char* searchText,
                          const char* dataFolder, int32_t maxRows, int32_t* interrupted,
                          const AddressFooters& footers, int32_t defaultAzaMode, char* message,
                          const char* prefectureRestriction, const char* municipalityRestriction,
                          int32_t restrictionMode, int32_t useChangeHistory) {
  FileOutput out(resultFile);
  const KeywordArgs a{searchType, searchText, dataFolder, maxRows, interrupted, &footers,
                      defaultAzaMode, message, prefectureRestriction, municipalityRestriction,
                      restrictionMode, useChangeHistory};
  return CatchAllocationFailure(message, 0, [&] { return RunKeywordSearch(out, a); });
}

int KeywordSearchToArrayGz(CStringArray* array, int32_t searchType, char* searchText,
                           const char* dataFolder, int32_t maxRows, int32_t* interrupted,
                           const AddressFooters& footers, int32_t defaultAzaMode, char* message,
                           const char* prefectureRestriction, const char* municipalityRestriction,
                           int32_t restrictionMode, int32_t useChangeHistory) {
  ArrayOutput out(array);
  const KeywordArgs a{searchType, searchText, dataFolder, maxRows, interrupted, &footers,
                      defaultAzaMode, message, prefectureRestriction, municipalityRestriction,
                      restrictionMode, useChangeHistory};
  return CatchAllocationFailure(message, 0, [&] { return RunKeywordSearch(out, a); });
}

int AnalyzeAddressToFileGz(const char* resultFile, char* addressText, int32_t /*matchFlags*/,
                           const char* dataFolder, int32_t countyOptional,
                           const AddressFooters& footers, int32_t defaultAzaMode,
                           int32_t analyzeClass, char* message) {
  FileOutput out(resultFile);
  if (out.Missing()) {
    SetMessage(message, kMsgInvalidParameter, out.Name());
    return -1;
  }
  if (!out.Create(message)) return -1;
  const AnalysisArgs a{addressText, dataFolder, countyOptional, &footers,
                       defaultAzaMode, analyzeClass, message};
  int result = -1;
  {
    CAdrsContext context;
    out.Select(&context);
    result = CatchAllocationFailure(message, -1, [&] { return AnalyzeCore(&context, a); });
  }
  if (result == 1) {
    out.Close();
  } else {
    out.Discard();
  }
  return result;
}

int AnalyzeAddressToArrayGz(CStringArray* array, char* addressText, int32_t /*matchFlags*/,
                            const char* dataFolder, int32_t countyOptional,
                            const AddressFooters& footers, int32_t defaultAzaMode,
                            int32_t analyzeClass, char* message) {
  if (!array) {
    SetMessage(message, kMsgInvalidParameter, "結果格納配列");
    return -1;
  }
  const AnalysisArgs a{addressText, dataFolder, countyOptional, &footers,
                       defaultAzaMode, analyzeClass, message};
  CAdrsContext context;
  context.SetOutputArray(array);
  return CatchAllocationFailure(message, -1, [&] { return AnalyzeCore(&context, a); });
}
