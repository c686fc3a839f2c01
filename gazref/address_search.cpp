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
#include "tool/result_sink.h"

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

// ---- Listings ----

int RunListing(ResultSink& out, const AddressListingQuery& a) {
  char* message = a.message;
  const bool byCode = a.byCode;
  if (!out.Check(message)) return 0;
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
      out.Attach(&context);
      SetUpContext(&context, folder, a.footers, a.defaultAzaMode, a.useChangeHistory);
      rows = byCode ? ListByCode(text.c_str(), folder.c_str(), &context, a.maxRows, a.interrupted,
                                 &level, message, 1, variant)
                    : ListByNames(text.c_str(), folder.c_str(), &context, &dictionaries.unification,
                                  &dictionaries.replacements, a.maxRows, a.interrupted, &level,
                                  message, 1, variant);
      if (rows < 0 || !out.Close(message)) {
        out.Discard();
        return 0;
      }
      if (!a.skipAzaNasi || rows != 1 || (level != kLevelOaza && level != kLevelChome)) break;
      std::string first;
      if (!out.FirstRow(&first, message)) return 0;
      char row[kWorkTextSize] = "";
      std::snprintf(row, sizeof row, "%s", first.c_str());
      CutAtCharBoundary(row, kWorkTextSize - 1);
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
bool NameWorkFileInProcessFolder(const char* /*tempFolder*/, int32_t prefecture, std::string* out) {
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

int RunKeywordSearch(ResultSink& out, const AddressKeywordQuery& a) {
  char* message = a.message;
  if (!out.Check(message)) return 0;
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
    out.Attach(&context);
    SetUpContext(&context, folder, a.footers, a.defaultAzaMode, a.useChangeHistory);
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
    if (rows < 0 || !out.Close(message)) {
      out.Discard();
      return 0;
    }
  }
  if (rows == 0) {
    SetMessage(message, kMsgNoTargetData, a.text);
    return 0;
  }
  if (message) message[0] = '\0';
  return 1;
}

// ---- Address analysis ----

int AnalyzeCore(CAdrsContext* context, const AddressAnalysisQuery& a) {
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
  SetUpContext(context, folder, a.footers, a.defaultAzaMode, 1);
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

// The analysis into the output, which is kept only when the analysis found
// the address (1).
int RunAnalysis(ResultSink& out, const AddressAnalysisQuery& a) {
  if (!out.Check(a.message) || !out.Create(a.message)) return -1;
  int result = -1;
  {
    CAdrsContext context;
    out.Attach(&context);
    result = AnalyzeCore(&context, a);
  }
  if (result == 1 && !out.Close(a.message)) result = -1;
  if (result != 1) out.Discard();
  return result;
}

}  // namespace

// ---------------------------------------------------------------------------
// Entries: running out of memory fails them with the memory message (a
// file sink then deletes the file it created).

int ListAddressesGz(ResultSink&& out, const AddressListingQuery& query) {
  return CatchAllocationFailure(query.message, 0, [&] { return RunListing(out, query); });
}

int KeywordSearchGz(ResultSink&& out, const AddressKeywordQuery& query) {
  return CatchAllocationFailure(query.message, 0, [&] { return RunKeywordSearch(out, query); });
}

int AnalyzeAddressGz(ResultSink&& out, const AddressAnalysisQuery& query) {
  return CatchAllocationFailure(query.message, -1, [&] { return RunAnalysis(out, query); });
}
