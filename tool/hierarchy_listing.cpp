#include "tool/hierarchy_listing.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/file_access.h"
#include "common/le_bytes.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/number_parse.h"
#include "common/path_util.h"
#include "common/record_array.h"
#include "common/scpy_splitter.h"
#include "common/sjis_text.h"
#include "matching/adrs_engine.h"
#include "matching/adrs_listing.h"
#include "matching/dictionary_loaders.h"
#include "matching/match_driver.h"
#include "matching/match_entries.h"
#include "matching/normalize.h"
#include "plat/config.h"
#include "plat/file.h"
#include "tabledb/dictionaries.h"
#include "tabledb/place_code_registry.h"
#include "tabledb/table_database.h"
#include "tabledb/table_names.h"
#include "tabledb/tc_access.h"
#include "tool/csv_sort.h"
#include "tool/result_sink.h"

namespace {

constexpr const char* kInvalidParameter = kMsgInvalidParameter;
constexpr const char* kNoData = kMsgNoTargetData;
constexpr char kBadCodeLength[] = "コードの長さを確認してください！(%s)";
constexpr char kConversionFailed[] = "世界測地系変換に失敗しました！";
constexpr const char* kMemoryFailed = kMsgWorkMemory;
constexpr char kDatumParameterFile[] = "TKY2JGD.PAR";
constexpr char kIniFile[] = "adrslib.ini";
constexpr char kIniSection[] = "AdrsLib";
constexpr char kIniLotKey[] = "FLFC";

constexpr const char* kOazaTable = kTableOaza;
constexpr char kGroupCodeField[] = "グループコード";

constexpr int kFirstPrefecture = 1;
constexpr int kLastPrefecture = 47;
constexpr int kMaxNames = 5;
// A name and its NUL in the buffer every name is copied into.
constexpr int kNameSize = 256;
// Rows of this status and above are abolished.
constexpr int32_t kAbolishedStatus = 3;
constexpr uint32_t kIndexSlotSize = 4;

enum Level : int32_t {
  kLevelNone = 0,
  kLevelPrefectures = 1,
  kLevelCities = 2,
  kLevelOaza = 3,
  kLevelChome = 4,
  kLevelBlocks = 5,
  kLevelLots = 6,
};

// What a scan hands each prefecture's engine before its lister runs.
struct ScanSetup {
  int firstPrefecture = kFirstPrefecture;
  int lastPrefecture = kLastPrefecture;
  bool changeFiles = false;  // QAD_CH%02d.CDB/.CIX/.CDI
  bool groupIndex = false;   // QVAD%02d_CDG.TIX in group-index mode 1
  bool registry = false;     // a place-code registry, emptied per prefecture
  int32_t countyInBrackets = 0;
};

// One prefecture's open data for a lister.
struct Prefecture {
  int number = 0;
  CAdrsEngine* engine = nullptr;
  CTableDatabase* database = nullptr;
  CPlaceCodeRegistry* registry = nullptr;
};

// Whether a database that did not open is a file that opens but cannot be
// read as a database (a damaged or truncated one), not a missing or locked
// one.
bool IsDamagedDatabase(const char* path) {
  plat::File file;
  return OpenFileForRead(&file, path) != 0;
}

// The per-prefecture scan shared by every level: opens each prefecture of
// the range that has its files, runs list(prefecture, &count) (1, or 0
// with its message) and stops after a prefecture that set the interrupted
// flag. A database that opens as a file but not as a database fails the
// scan with "ファイルの読み込みに失敗しました!(%s)" and its path. The line
// count, or -1 after a failure.
template <typename List>
int32_t ScanPrefectures(const std::string& folder, CAdrsContext* context, const ScanSetup& setup,
                        const int32_t* interrupted, char* message, List list) {
  int32_t count = 0;
  CPlaceCodeRegistry registry;
  for (int i = setup.firstPrefecture; i <= setup.lastPrefecture; ++i) {
    const std::string ndb = NumberedFilePath(folder, "QVAD%02d.NDB", i);
    if (!FileExists(ndb.c_str())) continue;
    if (setup.registry) registry.ResetBuckets();
    // The database and the engine are far larger than a frame should be.
    const auto database = std::make_unique<CTableDatabase>();
    if (!database->Open(ndb.c_str())) {
      if (!IsDamagedDatabase(ndb.c_str())) continue;
      SetMessage(message, kMsgFileRead, ndb.c_str());
      return -1;
    }
    const auto engine = std::make_unique<CAdrsEngine>();
    if (!engine->Open(NumberedFilePath(folder, "QVAD%02d.TIX", i).c_str(),
                      context->GetIndexKind())) {
      database->Close();
      continue;
    }
    engine->SetDatabase(database.get());
    engine->SetContext(context);
    engine->SetCountyInBrackets(setup.countyInBrackets);
    if (setup.changeFiles) {
      engine->SetChangeHistoryFiles(NumberedFilePath(folder, "QAD_CH%02d.CDB", i).c_str(),
                                    NumberedFilePath(folder, "QAD_CH%02d.CIX", i).c_str());
      engine->SetChangeCodeIndexFile(NumberedFilePath(folder, "QAD_CH%02d.CDI", i).c_str());
    }
    if (setup.groupIndex) {
      engine->SetGroupIndexFile(1, NumberedFilePath(folder, "QVAD%02d_CDG.TIX", i).c_str());
    }
    Prefecture prefecture{i, engine.get(), database.get(), setup.registry ? &registry : nullptr};
    const int ok = list(prefecture, &count);
    engine->Close();
    database->Close();
    if (!ok) return -1;
    if (*interrupted == 1) break;
  }
  return count;
}

// Whether the lot level lists each lot once (with a place-code registry).
bool LotRegistry(int32_t lotListing, const ListingVariant& variant) {
  if (variant.lotRegistryAlways) return true;
  if (lotListing != 1) return false;
  return !variant.readFlfc || plat::ReadProfileInt(kIniSection, kIniLotKey, 0, kIniFile) == 0;
}

// The scan of a level: the change files from the aza/chome level down, the
// county variant at the municipality level, and a registry so that each
// block is listed once (a block that TC_Gaiku and the change files both
// hold too) and, by the switch, FLFC and the variant, each lot.
ScanSetup SetupForLevel(int32_t level, int32_t lotListing, const ListingVariant& variant) {
  ScanSetup setup;
  setup.changeFiles = level >= kLevelChome;
  setup.countyInBrackets = level == kLevelCities ? variant.countyInBrackets : 0;
  setup.registry =
      level == kLevelBlocks || (level == kLevelLots && LotRegistry(lotListing, variant));
  return setup;
}

int32_t ScanForPrefectures(const std::string& folder, CAdrsContext* context, int32_t maxLines,
                           int32_t* interrupted, char* message) {
  return ScanPrefectures(
      folder, context, ScanSetup(), interrupted, message, [&](const Prefecture& p, int32_t* count) {
        return p.engine->ListPrefectures(context, count, maxLines, interrupted, message);
      });
}

// ---- By names ----

// The names of a listing text, normalised. False when a name cannot be
// taken (too long): such a text matches nothing.
bool TakeNames(const CScpySEX2& split, CCharDictionary* dictionary, CRecordList* replacements,
               std::vector<std::string>* names) {
  for (int i = 1; i <= split.GetCount(); ++i) {
    char name[kNameSize];
    if (!split.GetField(name, i, kNameSize)) return false;
    NormalizeSearchText(replacements, dictionary, name, sizeof name);
    names->push_back(name);
  }
  return true;
}

// ---- By code: the group-code lister ----

// 状態フラグ as a number: the integer field, or the number its text holds;
// 0 when it cannot be read.
int32_t ReadStatusValue(CTableDatabase* database, uint32_t record) {
  char scratch[kMessageSize] = "";
  int32_t value = 0;
  if (ReadIntField(database, record, kOazaTable, "状態フラグ", &value, scratch)) return value;
  std::string text;
  if (ReadStringField(database, record, kOazaTable, "状態フラグ", &text, scratch)) {
    return ParseStatusText(text.c_str());
  }
  return 0;
}

// The aza/chome rows of one prefecture's TC_Oaza whose グループコード is the
// code, through the group-code index file (4-byte record positions sorted
// by グループコード): rows that are not oaza rows and not abolished, one
// line each. 1, or 0 with a message.
int ListGroupCode(const Prefecture& p, plat::File* index, const std::string& code,
                  CAdrsContext* context, int32_t* count, int32_t maxLines, int32_t* interrupted,
                  char* message) {
  CTableDatabase* db = p.database;
  *interrupted = 0;
  uint64_t length = 0;
  if (!index->GetLength(length)) return 1;
  const uint32_t slots = static_cast<uint32_t>(length / kIndexSlotSize);
  const uint32_t first =
      FindFirstInSortedIndexFile(db, index, 1, slots, kOazaTable, kGroupCodeField, code.c_str());
  if (first == 0) return 1;
  for (uint32_t slot = first; slot <= slots; ++slot) {
    unsigned char bytes[kIndexSlotSize];
    if (!ReadBytesFromFileAt(index, (slot - 1) * kIndexSlotSize, bytes, kIndexSlotSize)) return 1;
    const uint32_t record = static_cast<uint32_t>(LoadLe(bytes, kIndexSlotSize));
    std::string group, oazaFlag, cityCode, name, placeCode, kana;
    if (!ReadStringField(db, record, kOazaTable, kGroupCodeField, &group, message)) return 0;
    if (group != code) return 1;
    if (!ReadStringField(db, record, kOazaTable, "大字代表点フラグ", &oazaFlag, message)) return 0;
    if (oazaFlag != "0") continue;
    if (!ReadStringField(db, record, kOazaTable, "行政JISコード", &cityCode, message)) return 0;
    const int32_t status = ReadStatusValue(db, record);
    if (status >= kAbolishedStatus) continue;
    if (!ReadStringField(db, record, kOazaTable, "字丁目名", &name, message) ||
        !ReadStringField(db, record, kOazaTable, "地名コード", &placeCode, message)) {
      return 0;
    }
    if (maxLines >= 0 && *count >= maxLines) {
      *interrupted = 1;
      return 1;
    }
    int32_t latitude = 0, longitude = 0;
    if (!ReadStringField(db, record, kOazaTable, "かな読み字丁目名", &kana, message) ||
        !ReadIntField(db, record, kOazaTable, "緯度", &latitude, message) ||
        !ReadIntField(db, record, kOazaTable, "経度", &longitude, message)) {
      return 0;
    }
    char lat[kCoordinateTextSize] = "";
    char lon[kCoordinateTextSize] = "";
    CoordinateRequest request{latitude, longitude, lat, sizeof lat, lon, sizeof lon};
    if (!context->FormatCoordinates(&request)) {
      SetMessage(message, kConversionFailed);
      return 0;
    }
    std::string line = name + "," + kana + "," + lat + "," + lon + "," + placeCode + "," +
                       std::to_string(static_cast<long>(status));
    if (context->GetOutputStyle() == 2) {
      const int has = p.engine->HasBlocksOrLots(placeCode.c_str(), message);
      if (has < 0) return 0;
      line += has == 1 ? ",1" : ",0";
    }
    if (!context->WriteLine(line.c_str())) {
      SetListingWriteError(message, DatabasePath(db).c_str(), kOazaTable);
      return 0;
    }
    ++*count;
  }
  return 1;
}

// ---- Cores ----

// The core's frame: the interrupted flag, the context for the dataset, the
// dispatch (lines written or -1) and the not-found message.
template <typename Dispatch>
int RunListingCore(const char* text, const char* dataFolder, int32_t* interrupted, char* message,
                   Dispatch dispatch) {
  if (!interrupted) {
    SetMessage(message, kInvalidParameter, "検索中断フラグ");
    return 0;
  }
  *interrupted = 0;
  const std::string folder = FolderWithBackslash(dataFolder);
  const int32_t lines = dispatch(folder);
  if (lines < 0) return 0;
  if (lines == 0) {
    SetMessage(message, kNoData, text ? text : "");
    return 0;
  }
  // Lookups of prefectures without the place may have left a text behind.
  if (message) message[0] = '\0';
  return 1;
}

// Sets the options of a validating entry, in order; 0 with the name of the
// first refused. Then output style 2 and the datum parameter file.
int SetListingOptions(CAdrsContext* context, const char* dataFolder, char* message,
                      const int32_t* searchTextKind, int32_t datum, int32_t coordinateFormat) {
  if (searchTextKind && !context->SetListingTextKind(*searchTextKind)) {
    SetMessage(message, kInvalidParameter, "検索文字列区分");
    return 0;
  }
  if (!context->SetDatum(datum)) {
    SetMessage(message, kInvalidParameter, "出力測地系");
    return 0;
  }
  if (!context->SetCoordinateFormat(coordinateFormat)) {
    SetMessage(message, kInvalidParameter, "出力座標書式");
    return 0;
  }
  context->SetOutputStyle(2);
  context->SetDatumParameterFile((FolderWithBackslash(dataFolder) + kDatumParameterFile).c_str());
  return 1;
}

// ---- The run of every entry ----

// Everything a listing takes. The validating entries set the options;
// the others keep the context's defaults.
struct ListingQuery {
  bool byCode;
  const char* text;
  const char* dataFolder;
  int32_t maxLines;
  int32_t* interrupted;
  char* message;
  const char* datasetName;
  int32_t lotListing;
  bool validate = false;
  int32_t searchTextKind = 0;
  int32_t datum = 0;
  int32_t coordinateFormat = 0;

  ListingQuery& Options(int32_t outDatum, int32_t coordinate) {
    validate = true;
    datum = outDatum;
    coordinateFormat = coordinate;
    return *this;
  }
  ListingQuery& Options(int32_t kind, int32_t outDatum, int32_t coordinate) {
    searchTextKind = kind;
    return Options(outDatum, coordinate);
  }
};

// The core into the sink, which is then sorted for the level listed.
int RunListing(ResultSink&& sink, const ListingQuery& q) {
  int32_t level = 0;
  return RunOnSink(
      sink, q.message,
      [&](CAdrsContext* context) {
        if (q.validate && !SetListingOptions(context, q.dataFolder, q.message,
                                             q.byCode ? nullptr : &q.searchTextKind, q.datum,
                                             q.coordinateFormat)) {
          return 0;
        }
        return (q.byCode ? ListByCodeCore : ListByNamesCore)(context, q.text, q.dataFolder,
                                                             q.maxLines, q.interrupted, q.message,
                                                             q.datasetName, q.lotListing, &level);
      },
      [&] { return sink.Sort(ListingSortField(level), q.message); });
}

}  // namespace

// ---------------------------------------------------------------------------
// Dispatchers

int32_t ListingSortField(int32_t level) { return level >= kLevelBlocks ? 1 : 2; }

int32_t ListByNames(const char* text, const char* dataFolder, CAdrsContext* context,
                    CCharDictionary* dictionary, CRecordList* replacements, int32_t maxLines,
                    int32_t* interrupted, int32_t* level, char* message, int32_t lotListing,
                    const ListingVariant& variant) {
  *level = kLevelNone;
  std::string work = text ? text : "";
  TrimBlanks(work.data());
  work.resize(std::strlen(work.c_str()));
  const int32_t kana = IsKanaReadingText(work.c_str()) ? 1 : 0;
  CScpySEX2 split;
  if (!split.Split(work.c_str())) {
    SetMessage(message, kMemoryFailed);
    return -1;
  }
  const std::string folder = FolderWithBackslash(dataFolder);
  const int count = split.GetCount();
  char first[kNameSize] = "";
  if (count == 1 && split.GetField(first, 1, kNameSize) && first[0] == '\0') {
    *level = kLevelPrefectures;
    return ScanForPrefectures(folder, context, maxLines, interrupted, message);
  }
  // More than five names, or none left (an unclosed quote): nothing to list.
  if (count > kMaxNames || count < 1) return 0;
  *level = kLevelPrefectures + count;
  std::vector<std::string> names;
  if (!TakeNames(split, dictionary, replacements, &names)) return 0;
  auto name = [&](int i) { return names[static_cast<std::size_t>(i)].c_str(); };

  const ScanSetup setup = SetupForLevel(*level, lotListing, variant);
  return ScanPrefectures(
      folder, context, setup, interrupted, message, [&](const Prefecture& p, int32_t* lines) {
        CAdrsEngine& e = *p.engine;
        switch (*level) {
          case kLevelCities:
            return e.ListCitiesByName(name(0), kana, context, lines, maxLines, interrupted,
                                      message);
          case kLevelOaza:
            return e.ListOazaByName(name(0), name(1), kana, context, lines, maxLines, interrupted,
                                    message);
          case kLevelChome:
            return e.ListChomeByName(name(0), name(1), name(2), kana, context, lines, maxLines,
                                     interrupted, message);
          case kLevelBlocks:
            return e.ListBlocksByName(name(0), name(1), name(2), name(3), kana, context, lines,
                                      maxLines, interrupted, p.registry, message);
          default:
            return e.ListLotsByName(name(0), name(1), name(2), name(3), name(4), kana, context,
                                    lines, maxLines, interrupted, p.registry, message);
        }
      });
}

int32_t ListByCode(const char* code, const char* dataFolder, CAdrsContext* context,
                   int32_t maxLines, int32_t* interrupted, int32_t* level, char* message,
                   int32_t lotListing, const ListingVariant& variant) {
  *level = kLevelNone;
  std::string work = code ? code : "";
  TrimBlanks(work.data());
  work.resize(std::strlen(work.c_str()));
  switch (work.size()) {
    case 0:
      *level = kLevelPrefectures;
      break;
    case 2:
      *level = kLevelCities;
      break;
    case 5:
      *level = kLevelOaza;
      break;
    case 6:
    case 7:
      *level = kLevelChome;
      break;
    case 11:
      *level = kLevelBlocks;
      break;
    case 16:
      *level = kLevelLots;
      break;
    default:
      SetMessage(message, kBadCodeLength, work.c_str());
      return -1;
  }
  const std::string folder = FolderWithBackslash(dataFolder);
  if (*level == kLevelPrefectures) {
    return ScanForPrefectures(folder, context, maxLines, interrupted, message);
  }
  const char* c = work.c_str();
  ScanSetup setup = SetupForLevel(*level, lotListing, variant);
  if (*level == kLevelChome) {
    return ScanPrefectures(
        folder, context, setup, interrupted, message, [&](const Prefecture& p, int32_t* lines) {
          plat::File index;
          if (!OpenFileForRead(&index,
                               NumberedFilePath(folder, "QVAD%02d_CDG.INX", p.number).c_str())) {
            return 1;
          }
          return ListGroupCode(p, &index, work, context, lines, maxLines, interrupted, message);
        });
  }
  char digits[3] = "";
  int32_t prefecture = 0;
  CopySubstring(digits, c, 1, 2);
  if (!ParseIntInRange(digits, &prefecture, kFirstPrefecture, kLastPrefecture)) return 0;
  setup.firstPrefecture = setup.lastPrefecture = static_cast<int>(prefecture);
  setup.groupIndex = *level == kLevelOaza;
  return ScanPrefectures(
      folder, context, setup, interrupted, message, [&](const Prefecture& p, int32_t* lines) {
        CAdrsEngine& e = *p.engine;
        switch (*level) {
          case kLevelCities:
            return e.ListCitiesByCode(c, context, lines, maxLines, interrupted, message);
          case kLevelOaza:
            return e.ListOazaByCode(c, context, lines, maxLines, interrupted, message);
          case kLevelBlocks:
            return e.ListBlocksByCode(c, context, lines, maxLines, interrupted, p.registry,
                                      message);
          default:
            return e.ListLotsByCode(c, context, lines, maxLines, interrupted, p.registry, message);
        }
      });
}

// ---------------------------------------------------------------------------
// Cores

int ListByNamesCore(CAdrsContext* context, const char* text, const char* dataFolder,
                    int32_t maxLines, int32_t* interrupted, char* message, const char* datasetName,
                    int32_t lotListing, int32_t* level) {
  return RunListingCore(text, dataFolder, interrupted, message,
                        [&](const std::string& folder) -> int32_t {
                          SearchDictionaries dictionaries;
                          if (!dictionaries.Load(folder, message)) return -1;
                          PrepareContextForDataset(context, datasetName, folder.c_str());
                          return ListByNames(text, folder.c_str(), context,
                                             &dictionaries.unification, &dictionaries.replacements,
                                             maxLines, interrupted, level, message, lotListing);
                        });
}

int ListByCodeCore(CAdrsContext* context, const char* code, const char* dataFolder,
                   int32_t maxLines, int32_t* interrupted, char* message, const char* datasetName,
                   int32_t lotListing, int32_t* level) {
  return RunListingCore(code, dataFolder, interrupted, message,
                        [&](const std::string& folder) -> int32_t {
                          PrepareContextForDataset(context, datasetName, folder.c_str());
                          return ListByCode(code, folder.c_str(), context, maxLines, interrupted,
                                            level, message, lotListing);
                        });
}

// ---------------------------------------------------------------------------
// Entries: by names

int ListByNamesToFile(const char* resultFile, const char* searchText, const char* dataFolder,
                      int32_t maxLines, int32_t* interrupted, char* message,
                      const char* datasetName, int32_t searchTextKind, int32_t datum,
                      int32_t coordinateFormat, int32_t lotListing) {
  ListingQuery q{false,       searchText, dataFolder,  maxLines,
                 interrupted, message,    datasetName, lotListing};
  return RunListing(FileSink(resultFile), q.Options(searchTextKind, datum, coordinateFormat));
}

int ListByNamesToArray(CStringArray* array, const char* text, const char* dataFolder,
                       int32_t maxLines, int32_t* interrupted, char* message,
                       const char* datasetName, int32_t searchTextKind, int32_t datum,
                       int32_t coordinateFormat, int32_t lotListing) {
  ListingQuery q{false, text, dataFolder, maxLines, interrupted, message, datasetName, lotListing};
  return RunListing(ArraySink(array), q.Options(searchTextKind, datum, coordinateFormat));
}

int ListByNamesToBuffer(char* buffer, int32_t bufferSize, const char* text, const char* dataFolder,
                        int32_t maxLines, int32_t* interrupted, char* message,
                        const char* datasetName, int32_t searchTextKind, int32_t datum,
                        int32_t coordinateFormat, int32_t lotListing) {
  ListingQuery q{false, text, dataFolder, maxLines, interrupted, message, datasetName, lotListing};
  return RunListing(BufferSink(buffer, bufferSize),
                    q.Options(searchTextKind, datum, coordinateFormat));
}

int ListByNamesToFilePlain(const char* resultFile, const char* text, const char* dataFolder,
                           int32_t maxLines, int32_t* interrupted, char* message,
                           const char* datasetName, int32_t lotListing) {
  return RunListing(FileSink(resultFile), {false, text, dataFolder, maxLines, interrupted, message,
                                           datasetName, lotListing});
}

int ListByNamesToArrayPlain(CStringArray* array, const char* text, const char* dataFolder,
                            int32_t maxLines, int32_t* interrupted, char* message,
                            const char* datasetName, int32_t lotListing) {
  return RunListing(ArraySink(array), {false, text, dataFolder, maxLines, interrupted, message,
                                       datasetName, lotListing});
}

int ListByNamesToBufferPlain(char* buffer, int32_t bufferSize, const char* text,
                             const char* dataFolder, int32_t maxLines, int32_t* interrupted,
                             char* message, const char* datasetName, int32_t lotListing) {
  return RunListing(BufferSink(buffer, bufferSize), {false, text, dataFolder, maxLines, interrupted,
                                                     message, datasetName, lotListing});
}

// ---------------------------------------------------------------------------
// Entries: by code

int ListByCodeToFile(const char* resultFile, const char* searchText, const char* dataFolder,
                     int32_t maxLines, int32_t* interrupted, char* message, const char* datasetName,
                     int32_t datum, int32_t coordinateFormat, int32_t lotListing) {
  ListingQuery q{true,        searchText, dataFolder,  maxLines,
                 interrupted, message,    datasetName, lotListing};
  return RunListing(FileSink(resultFile), q.Options(datum, coordinateFormat));
}

int ListByCodeToArray(CStringArray* array, const char* code, const char* dataFolder,
                      int32_t maxLines, int32_t* interrupted, char* message,
                      const char* datasetName, int32_t datum, int32_t coordinateFormat,
                      int32_t lotListing) {
  ListingQuery q{true, code, dataFolder, maxLines, interrupted, message, datasetName, lotListing};
  return RunListing(ArraySink(array), q.Options(datum, coordinateFormat));
}

int ListByCodeToBuffer(char* buffer, int32_t bufferSize, const char* code, const char* dataFolder,
                       int32_t maxLines, int32_t* interrupted, char* message,
                       const char* datasetName, int32_t datum, int32_t coordinateFormat,
                       int32_t lotListing) {
  ListingQuery q{true, code, dataFolder, maxLines, interrupted, message, datasetName, lotListing};
  return RunListing(BufferSink(buffer, bufferSize), q.Options(datum, coordinateFormat));
}

int ListByCodeToFilePlain(const char* resultFile, const char* code, const char* dataFolder,
                          int32_t maxLines, int32_t* interrupted, char* message,
                          const char* datasetName, int32_t lotListing) {
  return RunListing(FileSink(resultFile), {true, code, dataFolder, maxLines, interrupted, message,
                                           datasetName, lotListing});
}

int ListByCodeToArrayPlain(CStringArray* array, const char* code, const char* dataFolder,
                           int32_t maxLines, int32_t* interrupted, char* message,
                           const char* datasetName, int32_t lotListing) {
  return RunListing(ArraySink(array), {true, code, dataFolder, maxLines, interrupted, message,
                                       datasetName, lotListing});
}

int ListByCodeToBufferPlain(char* buffer, int32_t bufferSize, const char* code,
                            const char* dataFolder, int32_t maxLines, int32_t* interrupted,
                            char* message, const char* datasetName, int32_t lotListing) {
  return RunListing(BufferSink(buffer, bufferSize), {true, code, dataFolder, maxLines, interrupted,
                                                     message, datasetName, lotListing});
}

// ---------------------------------------------------------------------------
// Short forms

int ListByNamesToFileDefault(const char* resultFile, const char* text, const char* dataFolder,
                             int32_t maxLines, int32_t* interrupted, char* message,
                             int32_t searchTextKind, int32_t datum, int32_t coordinateFormat,
                             int32_t lotListing) {
  return ListByNamesToFile(resultFile, text, dataFolder, maxLines, interrupted, message,
                           kDefaultDatasetName, searchTextKind, datum, coordinateFormat,
                           lotListing);
}
int ListByNamesToArrayDefault(CStringArray* array, const char* text, const char* dataFolder,
                              int32_t maxLines, int32_t* interrupted, char* message,
                              int32_t searchTextKind, int32_t datum, int32_t coordinateFormat,
                              int32_t lotListing) {
  return ListByNamesToArray(array, text, dataFolder, maxLines, interrupted, message,
                            kDefaultDatasetName, searchTextKind, datum, coordinateFormat,
                            lotListing);
}
int ListByNamesToBufferDefault(char* buffer, int32_t bufferSize, const char* text,
                               const char* dataFolder, int32_t maxLines, int32_t* interrupted,
                               char* message, int32_t searchTextKind, int32_t datum,
                               int32_t coordinateFormat, int32_t lotListing) {
  return ListByNamesToBuffer(buffer, bufferSize, text, dataFolder, maxLines, interrupted, message,
                             kDefaultDatasetName, searchTextKind, datum, coordinateFormat,
                             lotListing);
}
int ListByNamesToFilePlainDefault(const char* resultFile, const char* text, const char* dataFolder,
                                  int32_t maxLines, int32_t* interrupted, char* message,
                                  int32_t lotListing) {
  return ListByNamesToFilePlain(resultFile, text, dataFolder, maxLines, interrupted, message,
                                kDefaultDatasetName, lotListing);
}
int ListByNamesToArrayPlainDefault(CStringArray* array, const char* text, const char* dataFolder,
                                   int32_t maxLines, int32_t* interrupted, char* message,
                                   int32_t lotListing) {
  return ListByNamesToArrayPlain(array, text, dataFolder, maxLines, interrupted, message,
                                 kDefaultDatasetName, lotListing);
}
int ListByNamesToBufferPlainDefault(char* buffer, int32_t bufferSize, const char* text,
                                    const char* dataFolder, int32_t maxLines, int32_t* interrupted,
                                    char* message, int32_t lotListing) {
  return ListByNamesToBufferPlain(buffer, bufferSize, text, dataFolder, maxLines, interrupted,
                                  message, kDefaultDatasetName, lotListing);
}

int ListByCodeToFileDefault(const char* resultFile, const char* code, const char* dataFolder,
                            int32_t maxLines, int32_t* interrupted, char* message, int32_t datum,
                            int32_t coordinateFormat, int32_t lotListing) {
  return ListByCodeToFile(resultFile, code, dataFolder, maxLines, interrupted, message,
                          kDefaultDatasetName, datum, coordinateFormat, lotListing);
}
int ListByCodeToArrayDefault(CStringArray* array, const char* code, const char* dataFolder,
                             int32_t maxLines, int32_t* interrupted, char* message, int32_t datum,
                             int32_t coordinateFormat, int32_t lotListing) {
  return ListByCodeToArray(array, code, dataFolder, maxLines, interrupted, message,
                           kDefaultDatasetName, datum, coordinateFormat, lotListing);
}
int ListByCodeToBufferDefault(char* buffer, int32_t bufferSize, const char* code,
                              const char* dataFolder, int32_t maxLines, int32_t* interrupted,
                              char* message, int32_t datum, int32_t coordinateFormat,
                              int32_t lotListing) {
  return ListByCodeToBuffer(buffer, bufferSize, code, dataFolder, maxLines, interrupted, message,
                            kDefaultDatasetName, datum, coordinateFormat, lotListing);
}
int ListByCodeToFilePlainDefault(const char* resultFile, const char* code, const char* dataFolder,
                                 int32_t maxLines, int32_t* interrupted, char* message,
                                 int32_t lotListing) {
  return ListByCodeToFilePlain(resultFile, code, dataFolder, maxLines, interrupted, message,
                               kDefaultDatasetName, lotListing);
}
int ListByCodeToArrayPlainDefault(CStringArray* array, const char* code, const char* dataFolder,
                                  int32_t maxLines, int32_t* interrupted, char* message,
                                  int32_t lotListing) {
  return ListByCodeToArrayPlain(array, code, dataFolder, maxLines, interrupted, message,
                                kDefaultDatasetName, lotListing);
}
int ListByCodeToBufferPlainDefault(char* buffer, int32_t bufferSize, const char* code,
                                   const char* dataFolder, int32_t maxLines, int32_t* interrupted,
                                   char* message, int32_t lotListing) {
  return ListByCodeToBufferPlain(buffer, bufferSize, code, dataFolder, maxLines, interrupted,
                                 message, kDefaultDatasetName, lotListing);
}
