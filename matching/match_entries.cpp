#include "matching/match_entries.h"

#include <cstring>
#include <string>

#include "common/allocation_guard.h"
#include "common/file_access.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/path_util.h"
#include "common/record_array.h"
#include "common/record_stack.h"
#include "common/sjis_text.h"
#include "matching/adrs_engine.h"
#include "matching/data_folder_cache.h"
#include "matching/match_driver.h"
#include "matching/normalize.h"
#include "matching/result_channel.h"
#include "plat/config.h"
#include "plat/file.h"
#include "plat/file_stamp.h"
#include "tabledb/dictionaries.h"

namespace {

constexpr char kDatasetBasic[] = "VRG_BASIC";
constexpr char kDatumParameterFile[] = "TKY2JGD.PAR";
constexpr char kIniFile[] = "adrslib.ini";
constexpr char kIniSection[] = "AdrsLib";
constexpr char kIniCalcKey[] = "Calc";
constexpr char kOaza[] = "大字";
constexpr char kAza[] = "字";

constexpr int32_t kEstimationBit = 0x10;
constexpr int32_t kBit8 = 0x100;

}  // namespace

// ---- Steps ----

void PrepareContextForDataset(CAdrsContext* context, const char* datasetName,
                              const char* dataFolder) {
  if (!context) return;
  context->SetIndexKind(ProbeIndexFilesCached(FolderWithBackslash(dataFolder).c_str()));
  context->SetEstimationFlag(0);
  const int32_t on = std::strcmp(datasetName ? datasetName : "", kDatasetBasic) == 0 ? 0 : 1;
  context->SetUseChangeHistory(on);
  context->SetMatchingEnabled(on);
  context->SetReverseGeocodingEnabled(on);
}

int32_t ApplyMatchFlagRules(CAdrsContext* context, int32_t flags, int32_t calc) {
  const int32_t style = context->GetOutputStyle();
  if (style == 2) {
    int32_t estimation = 0;
    if (context->GetEstimationFlag(&estimation)) {
      context->SetCalculationSwitch(calc == 0 ? 1 : 0);
      if (estimation == 1) flags |= kEstimationBit;
    }
  } else if (style == 1) {
    if (calc != 0) flags |= kEstimationBit;
  }
  int32_t formatted = 0;
  if (context->GetFormattedOutputSwitch(&formatted) && formatted == 1) flags |= kBit8;
  return flags;
}

int MatchAddressCore(CAdrsContext* context, char* text, int32_t flags, int32_t numberUnitValue,
                     const char* dataFolder, char* message, const char* datasetName) {
  // The files of the call are checked against the change watch once.
  plat::StampScope stamps;
  const int32_t calc = plat::ReadProfileInt(kIniSection, kIniCalcKey, 0, kIniFile);
  flags = ApplyMatchFlagRules(context, flags, calc);
  if (!text) {
    SetMessage(message, kMsgInvalidParameter, "検索文字列");
    return 0;
  }
  if (!CheckSearchTextLength(text, message)) return 0;

  const std::string folder = FolderWithBackslash(dataFolder);
  // The folder's dictionaries, loaded once and reused while unchanged.
  CDictionaryLease lease;
  if (!LeaseFolderDictionaries(folder, &lease, message)) return 0;
  FolderDictionaries& dictionaries = *lease.Get();
  PrepareContextForDataset(context, datasetName, folder.c_str());

  auto run = [&] {
    return RunAddressMatching(text, flags, numberUnitValue, folder.c_str(), context,
                              &dictionaries.unification, &dictionaries.replacements,
                              dictionaries.hasExtra ? &dictionaries.extra : nullptr, message);
  };
  int result = run();
  // Retries while nothing matched: without every 大字, then without every 字.
  for (const char* word : {kOaza, kAza}) {
    if (result != 0 || FindSubstring(word, text) == 0) continue;
    ReplaceAll(text, word, "");
    result = run();
  }
  if (result < 0) return 0;
  if (result > 0) return 1;
  SetMessage(message, kMsgNoTargetData, text);
  return 0;
}

int ValidateMatchOptions(CAdrsContext* context, char* text, int32_t flags, int32_t numberUnitValue,
                         const char* dataFolder, char* message, int32_t estimationFlag,
                         int32_t searchTextKind, int32_t datum, int32_t coordinateFormat,
                         int32_t chomeFormat, int32_t numberFormat, int32_t readingFormat,
                         const char* datasetName) {
  if (!context->SetEstimationFlag(estimationFlag)) {
    SetMessage(message, kMsgInvalidParameter, "推定機能フラグ");
    return 0;
  }
  if (!SetOutputOptions(context, message, searchTextKind, datum, coordinateFormat, chomeFormat,
                        numberFormat, readingFormat))
    return 0;
  context->SetOutputStyle(2);
  context->SetDatumParameterFile((FolderWithBackslash(dataFolder) + kDatumParameterFile).c_str());
  return MatchAddressCore(context, text, flags, numberUnitValue, dataFolder, message, datasetName);
}

// ---- Entries with options ----

int MatchAddressesToFile(const char* resultFile, char* text, int32_t flags, int32_t numberUnitValue,
                         const char* dataFolder, char* message, int32_t estimationFlag,
                         int32_t searchTextKind, int32_t datum, int32_t coordinateFormat,
                         int32_t chomeFormat, int32_t numberFormat, int32_t readingFormat,
                         const char* datasetName) {
  return WithResultFile(resultFile, message, [&](CAdrsContext* context) {
    return ValidateMatchOptions(context, text, flags, numberUnitValue, dataFolder, message,
                                estimationFlag, searchTextKind, datum, coordinateFormat,
                                chomeFormat, numberFormat, readingFormat, datasetName);
  });
}

int MatchAddressesToArray(CStringArray* array, char* text, int32_t flags, int32_t numberUnitValue,
                          const char* dataFolder, char* message, int32_t estimationFlag,
                          int32_t searchTextKind, int32_t datum, int32_t coordinateFormat,
                          int32_t chomeFormat, int32_t numberFormat, int32_t readingFormat,
                          const char* datasetName) {
  return WithResultArray(array, message, [&](CAdrsContext* context) {
    return ValidateMatchOptions(context, text, flags, numberUnitValue, dataFolder, message,
                                estimationFlag, searchTextKind, datum, coordinateFormat,
                                chomeFormat, numberFormat, readingFormat, datasetName);
  });
}

int MatchAddressesToBuffer(char* buffer, int32_t bufferSize, char* text, int32_t flags,
                           int32_t numberUnitValue, const char* dataFolder, char* message,
                           int32_t estimationFlag, int32_t searchTextKind, int32_t datum,
                           int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                           int32_t readingFormat, const char* datasetName) {
  return WithResultBuffer(buffer, bufferSize, message, [&](CAdrsContext* context) {
    return ValidateMatchOptions(context, text, flags, numberUnitValue, dataFolder, message,
                                estimationFlag, searchTextKind, datum, coordinateFormat,
                                chomeFormat, numberFormat, readingFormat, datasetName);
  });
}

// ---- Entries without options ----

int MatchAddressToFilePlain(const char* resultFile, char* text, int32_t flags,
                            int32_t numberUnitValue, const char* dataFolder, char* message,
                            const char* datasetName) {
  return WithResultFile(resultFile, message, [&](CAdrsContext* context) {
    return MatchAddressCore(context, text, flags, numberUnitValue, dataFolder, message,
                            datasetName);
  });
}

int MatchAddressToArrayPlain(CStringArray* array, char* text, int32_t flags,
                             int32_t numberUnitValue, const char* dataFolder, char* message,
                             const char* datasetName) {
  return WithResultArray(array, message, [&](CAdrsContext* context) {
    return MatchAddressCore(context, text, flags, numberUnitValue, dataFolder, message,
                            datasetName);
  });
}

int MatchAddressToBufferPlain(char* buffer, int32_t bufferSize, char* text, int32_t flags,
                              int32_t numberUnitValue, const char* dataFolder, char* message,
                              const char* datasetName) {
  return WithResultBuffer(buffer, bufferSize, message, [&](CAdrsContext* context) {
    return MatchAddressCore(context, text, flags, numberUnitValue, dataFolder, message,
                            datasetName);
  });
}
