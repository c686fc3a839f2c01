#include "gazref/facility_search.h"

#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "common/allocation_guard.h"
#include "common/kanji_numeral.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/number_format.h"
#include "common/record_array.h"
#include "common/sjis_text.h"
#include "common/width_kana.h"
#include "common/work_memory.h"
#include "gazref/facility_candidates.h"
#include "gazref/search_sink.h"
#include "matching/match_driver.h"
#include "tabledb/dictionaries.h"
#include "tabledb/table_database.h"

namespace {

constexpr char kLabel[] = "SHISETSU_FINDLISTFIRST";
constexpr const char* kMemoryMessage = kMsgMemory;
constexpr char kEmptyMessage[] = "条件にあてはまる施設はありません！";
constexpr char kUnusedCategory[] = "使用しない";
constexpr char kToiletCategory[] = "公衆トイレ";

constexpr uint32_t kCandidateCapacity = 10000;
constexpr uint32_t kListGrowth = 128;
// Longest text of a record field, NUL included.
constexpr std::size_t kRecordTextSize = 1024;

// Bytes of the list's strings with their NULs.
uint32_t VariantPoolBytes(const CWorkMemory& list) {
  uint32_t bytes = 0;
  for (uint32_t n = 1; n <= list.GetCount(); ++n) {
    const char* s = list.GetString(static_cast<int32_t>(n));
    if (s) bytes += static_cast<uint32_t>(std::strlen(s)) + 1;
  }
  return bytes;
}

// One whole search: the conditions, the lists that live across passes and
// the database that the row step reads.
class FacilitySearch {
 public:
  enum PassResult { kGoOn, kEnd, kFailed };

  FacilitySearch(CAdrsContext* output, const FacilityConditions& conditions, const char* folder,
                 int32_t maximum, int32_t* overflow, char* msg)
      : output_(output),
        conditions_(conditions),
        folder_(folder),
        databasePath_(FolderWithBackslash(folder) + kFacilityDatabaseFile),
        maximum_(maximum),
        overflow_(overflow),
        msg_(msg) {}

  int Create() {
    if (!candidates_.Create(kCandidateCapacity, sizeof(uint32_t), kListGrowth) ||
        !variants_.Create(kVariantListEntries, kVariantListPoolBytes)) {
      SetMessage(msg_, kMemoryMessage, kLabel);
      return 0;
    }
    // Without the pairs the search goes on without their spellings.
    if (!LoadFacilityReplacementDictionary(
            (FolderWithBackslash(folder_) + kFacilityReplacementFile).c_str(), &pairs_, nullptr)) {
      pairs_.Free();
    }
    return 1;
  }

  // The caller's name: appended as entry 1, one pass.
  PassResult First(const char* name) {
    if (!variants_.AddString(name)) return MemoryFailure();
    return Pass(name);
  }

  // The replacement spellings, one pass each in list order.
  PassResult Replacements(const char* name) {
    if (!ExpandReplacementVariants(&variants_, pairs_, 1, name)) return MemoryFailure();
    for (uint32_t p = 2;; ++p) {
      const char* s = variants_.GetStringAt(p);
      if (!s) return kGoOn;
      const std::string variant = s;
      const PassResult r = Pass(variant.c_str());
      if (r != kGoOn) return r;
    }
  }

  // A pass for the text when it is a new spelling of the name (an empty
  // text is a conversion that could not be made).
  PassResult TryVariant(const char* name, const std::string& text) {
    if (text.empty() || text == name || IsInVariantList(variants_, text.c_str())) return kGoOn;
    if (!variants_.AddString(text.c_str())) return MemoryFailure();
    return Pass(text.c_str());
  }

 private:
  PassResult MemoryFailure() {
    SetMessage(msg_, kMemoryMessage, kLabel);
    return kFailed;
  }

  PassResult Pass(const char* variant) {
    candidates_.SetCount(0);
    FacilityConditions c = conditions_;
    c.name = variant;
    if (!SelectFacilityCandidates(&candidates_, folder_, kFacilityTable, fields_, c, msg_) ||
        !SortCandidatesByDistance(&candidates_, folder_, kFacilityTable, fields_.latitude,
                                  fields_.longitude, c.latitude, c.longitude, c.radius, msg_)) {
      return kFailed;
    }
    const bool fullPoint = c.latitude >= kPresentThreshold && c.longitude >= kPresentThreshold &&
                           c.radius >= kPresentThreshold;
    *overflow_ = 0;
    int64_t rows = 0;
    for (uint32_t n = 1; n <= candidates_.GetCount(); ++n) {
      uint32_t id = 0;
      candidates_.GetDword(n, &id);
      if (written_.count(id) != 0) continue;
      FacilityRecord record;
      double distance = 0;
      if (!ReadFacilityRecord(id, &database_, databasePath_.c_str(), kFacilityTable, &record,
                              c.latitude, c.longitude, &distance, msg_)) {
        return kFailed;
      }
      if (record.major == kUnusedCategory) continue;
      if (record.major == kToiletCategory && !fullPoint) continue;
      const std::string row = FormatFacilityRow(record, distance);
      const RowOutcome outcome =
          WriteCountedRow(output_, row.c_str(), &rows, maximum_, overflow_, kLabel, msg_);
      if (outcome != kRowWritten) return outcome == kRowOverflow ? kEnd : kFailed;
      if (!Remember(id)) {
        SetMessage(msg_, "検索結果の登録に失敗しました！[%s]", kLabel);
        return kFailed;
      }
    }
    return kGoOn;
  }

  // Its contract answers a failed allocation with 0 (the row cannot be
  // registered), so it is the allocation guard's entry for this purpose;
  // the caller then names the registration in its message.
  int Remember(uint32_t id) {
    return CatchAllocationFailure(msg_, 0, [&] {
      written_.insert(id);
      return 1;
    });
  }

  CAdrsContext* output_;
  FacilityConditions conditions_;
  const char* folder_;
  std::string databasePath_;
  int32_t maximum_;
  int32_t* overflow_;
  char* msg_;
  FacilityFieldNames fields_;
  CRecordList candidates_;
  CWorkMemory variants_;
  CRecordList pairs_;
  // The records written so far, over all passes.
  std::set<uint32_t> written_;
  CTableDatabase database_;
};

// The name with its numerals rewritten (digits or kanji); "" when the
// result does not fit the work area.
std::string Numerals(const char* name, char* (*convert)(const char*, char*, std::size_t)) {
  std::vector<char> out(kNumeralWorkArea);
  convert(name, out.data(), out.size());
  return std::string(out.data());
}

// The text converted to half (full) width in a work area; "" when the text
// does not fit it (a refused conversion leaves the text as it was).
std::string Width(const std::string& text, bool full) {
  std::vector<char> work(kReplaceWorkArea);
  if (text.size() >= work.size()) return std::string();
  std::memcpy(work.data(), text.c_str(), text.size() + 1);
  if (full) {
    ToFullWidth(work.data(), work.size());
  } else {
    ToHalfWidthAscii(work.data());
  }
  return std::string(work.data());
}

}  // namespace

int SplitPrefectureName(const char* text, char* prefecture, const char** rest) {
  text = TextOrEmpty(text);
  for (int32_t code = 1; code <= kPrefectureCount; ++code) {
    char name[kPrefectureTextSize];
    GetPrefectureName(code, name);
    const std::size_t length = std::strlen(name);
    if (std::strncmp(name, text, length) == 0) {
      if (prefecture) std::strcpy(prefecture, name);
      if (rest) *rest = text + length;
      return static_cast<int>(length);
    }
  }
  if (prefecture) prefecture[0] = '\0';
  if (rest) *rest = text;
  return 0;
}

int IsInVariantList(const CWorkMemory& list, const char* text) {
  return list.FindString(text) != 0 ? 1 : 0;
}

int ExpandReplacementVariants(CWorkMemory* list, const CRecordList& pairs, uint32_t firstPair,
                              const char* text) {
  const std::size_t length = std::strlen(text);
  if (length >= static_cast<std::size_t>(kReplaceWorkArea)) return 1;
  std::vector<char> variant(kReplaceWorkArea);
  PairRecord pair;
  for (uint32_t j = firstPair; j <= pairs.GetCount(); ++j) {
    if (!pairs.GetAt(j, &pair) || pair.search[0] == '\0') continue;
    if (FindSubstring(pair.search, text) == 0) continue;
    std::memcpy(variant.data(), text, length + 1);
    ReplaceAll(variant.data(), pair.search, pair.replacement, variant.size());
    if (IsInVariantList(*list, variant.data())) continue;
    const uint32_t bytes = static_cast<uint32_t>(std::strlen(variant.data())) + 1;
    if (list->GetCount() >= kVariantListEntries ||
        VariantPoolBytes(*list) + bytes > kVariantListPoolBytes) {
      continue;
    }
    if (!list->AddString(variant.data())) return 0;
    if (!ExpandReplacementVariants(list, pairs, j + 1, variant.data())) return 0;
  }
  return 1;
}

int ReadFacilityRecord(uint32_t recordId, CTableDatabase* database, const char* databasePath,
                       const char* table, FacilityRecord* record, double latitude, double longitude,
                       double* distance, char* msg) {
  if (!database->IsOpen() && !database->Open(databasePath)) {
    SetMessage(msg, kMsgFileOpen, databasePath);
    return 0;
  }
  struct TextField {
    const char* field;
    std::string* out;
  };
  const TextField texts[] = {{"名称", &record->name},     {"名称よみ", &record->kana},
                             {"行政名", &record->area},   {"大分類", &record->major},
                             {"中分類", &record->middle}, {"小分類", &record->minor}};
  std::vector<char> text(kRecordTextSize);
  bool ok = database->GetDouble(recordId, table, "緯度", &record->latitude) &&
            database->GetDouble(recordId, table, "経度", &record->longitude) &&
            database->GetDouble(recordId, table, "行政JISコード", &record->cityCode);
  for (const TextField& t : texts) {
    if (!ok) break;
    ok = database->GetString(recordId, table, t.field, text.data(), text.size()) != 0;
    if (ok) t.out->assign(text.data());
  }
  if (!ok) {
    SetMessage(msg, "データベースのレコードの取得に失敗しました！[DATABASE:%s][TABLE:%s]",
               databasePath, table);
    return 0;
  }
  *distance = 0;
  if (latitude >= kPresentThreshold || longitude >= kPresentThreshold) {
    *distance = SearchPointPlane(latitude, longitude)
                    .DistanceTo(record->latitude * 0.001, record->longitude * 0.001);
  }
  return 1;
}

std::string FormatFacilityRow(const FacilityRecord& record, double distance) {
  char number[kSjisWorkArea];
  char prefecture[kPrefectureTextSize];
  const char* rest = "";
  SplitPrefectureName(record.area.c_str(), prefecture, &rest);
  std::string row = record.name + "," + record.kana + ",";
  row += FormatDouble(number, record.latitude, 0, 0);
  row += ",";
  row += FormatDouble(number, record.longitude, 0, 0);
  row += ",";
  row += prefecture;
  row += ",";
  row += rest;
  row += ",";
  row += FormatDouble(number, record.cityCode, 0, 0);
  row += "," + record.major + "," + record.middle + "," + record.minor + ",";
  row += FormatDouble(number, distance, 0, 0);
  return row;
}

int FindFacilities(CAdrsContext* output, const char* major, const char* middle, const char* minor,
                   const char* name, const char* area, int32_t latitude, int32_t longitude,
                   double radius, const char* folder, int32_t maximum, int32_t* overflow,
                   char* msg) {
  if (maximum < 0) {
    SetMessage(msg, "最大検索数が不正です！[%s]", kLabel);
    return 0;
  }
  int32_t ownOverflow = 0;
  if (!overflow) overflow = &ownOverflow;
  FacilityConditions conditions;
  conditions.major = TextOrEmpty(major);
  conditions.middle = TextOrEmpty(middle);
  conditions.minor = TextOrEmpty(minor);
  conditions.area = TextOrEmpty(area);
  conditions.latitude = latitude * 0.001;
  conditions.longitude = longitude * 0.001;
  conditions.radius = radius;
  name = TextOrEmpty(name);
  folder = TextOrEmpty(folder);

  FacilitySearch search(output, conditions, folder, maximum, overflow, msg);
  if (!search.Create()) return 0;
  using R = FacilitySearch::PassResult;
  R r = search.First(name);
  if (r != R::kGoOn) return r == R::kEnd ? 1 : 0;
  if (*name == '\0') return 1;
  r = search.Replacements(name);
  if (r != R::kGoOn) return r == R::kEnd ? 1 : 0;

  const std::string digits = Numerals(name, KanjiNumeralsToDigits);
  const bool digitsDiffer = !digits.empty() && digits != name;
  const std::string spellings[] = {digits, Numerals(name, KanjiNumeralsToKanji),
                                   digitsDiffer ? Width(digits, false) : std::string(),
                                   Width(name, false), Width(name, true)};
  for (const std::string& spelling : spellings) {
    r = search.TryVariant(name, spelling);
    if (r != R::kGoOn) return r == R::kEnd ? 1 : 0;
  }
  return 1;
}

int FindFacilities(ResultSink&& out, const FacilityQuery& q) {
  return RunSearchOnSink(std::move(out), kLabel, kEmptyMessage, q.msg, [&](CAdrsContext* output) {
    return FindFacilities(output, q.major, q.middle, q.minor, q.name, q.area, q.latitude,
                          q.longitude, q.radius, q.folder, q.maximum, q.overflow, q.msg);
  });
}
