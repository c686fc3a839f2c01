#include "matching/address_match.h"

#include <cstring>
#include <string>

#include "common/file_access.h"
#include "common/message.h"
#include "common/path_util.h"
#include "common/record_array.h"
#include "common/record_stack.h"
#include "common/sjis_text.h"
#include "matching/match_driver.h"
#include "matching/normalize.h"
#include "plat/config.h"
#include "plat/file.h"
#include "tabledb/adrs_engine.h"
#include "tabledb/data_folder_cache.h"
#include "tabledb/dictionaries.h"

namespace {

constexpr char kInvalidParameter[] = "パラメータに無効な値が渡されました！(%s)";
constexpr char kCreateFailed[] = "ファイルの作成に失敗しました！(%s)";
constexpr char kWriteFailed[] = "ファイルへの書き込みに失敗しました!(%s)";
constexpr char kNoData[] = "対象データがありません！[%s]";
constexpr char kDatasetBasic[] = "VRG_BASIC";
constexpr char kDatumParameterFile[] = "TKY2JGD.PAR";
constexpr char kIniFile[] = "adrslib.ini";
constexpr char kIniSection[] = "AdrsLib";
constexpr char kIniCalcKey[] = "Calc";
constexpr char kOaza[] = "大字";
constexpr char kAza[] = "字";

constexpr int32_t kEstimationBit = 0x10;
constexpr int32_t kBit8 = 0x100;

// The result file around a run on a context: created first, closed after,
// deleted again when the run answers 0 (or the file cannot be completed).
template <typename Run>
int WithResultFile(const char* resultFile, char* message, Run run) {
  if (!resultFile) {
    SetMessage(message, kInvalidParameter, "結果格納ファイル名");
    return 0;
  }
  plat::File file;
  if (!OpenNewTextFileForWrite(&file, resultFile)) {
    SetMessage(message, kCreateFailed, resultFile);
    return 0;
  }
  int result = 0;
  {
    CAdrsContext context;
    context.SetOutputFile(&file);
    result = run(&context);
  }
  if (!file.Close() && result) {
    SetMessage(message, kWriteFailed, resultFile);
    result = 0;
  }
  if (!result) RemoveFile(resultFile);
  return result;
}

template <typename Run>
int WithResultArray(CStringArray* array, char* message, Run run) {
  if (!array) {
    SetMessage(message, kInvalidParameter, "結果格納配列");
    return 0;
  }
  CAdrsContext context;
  context.SetOutputArray(array);
  return run(&context);
}

template <typename Run>
int WithResultBuffer(char* buffer, int32_t bufferSize, char* message, Run run) {
  if (!buffer) {
    SetMessage(message, kInvalidParameter, "結果格納バッファ");
    return 0;
  }
  if (bufferSize <= 0) {
    SetMessage(message, kInvalidParameter, "結果格納バッファサイズ");
    return 0;
  }
  CAdrsContext context;
  context.SetOutputBuffer(buffer, bufferSize);
  return run(&context);
}

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
  const int32_t calc = plat::ReadProfileInt(kIniSection, kIniCalcKey, 0, kIniFile);
  flags = ApplyMatchFlagRules(context, flags, calc);
  if (!text) {
    SetMessage(message, kInvalidParameter, "検索文字列");
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
  SetMessage(message, kNoData, text);
  return 0;
}

int ValidateMatchOptions(CAdrsContext* context, char* text, int32_t flags, int32_t numberUnitValue,
                         const char* dataFolder, char* message, int32_t estimationFlag,
                         int32_t searchTextKind, int32_t datum, int32_t coordinateFormat,
                         int32_t chomeFormat, int32_t numberFormat, int32_t readingFormat,
                         const char* datasetName) {
  const struct {
    int (CAdrsContext::*set)(int32_t);
    int32_t value;
    const char* name;
  } options[] = {
      {&CAdrsContext::SetEstimationFlag, estimationFlag, "推定機能フラグ"},
      {&CAdrsContext::SetSearchTextKind, searchTextKind, "検索文字列区分"},
      {&CAdrsContext::SetDatum, datum, "出力測地系"},
      {&CAdrsContext::SetCoordinateFormat, coordinateFormat, "出力座標書式"},
      {&CAdrsContext::SetChomeFormat, chomeFormat, "出力字丁目書式"},
      {&CAdrsContext::SetNumberFormat, numberFormat, "出力数字書式"},
      {&CAdrsContext::SetReadingFormat, readingFormat, "出力よみ書式"},
  };
  for (const auto& option : options) {
    if (!(context->*option.set)(option.value)) {
      SetMessage(message, kInvalidParameter, option.name);
      return 0;
    }
  }
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
