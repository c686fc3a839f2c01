#include "matching/match_driver.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/file_access.h"
#include "common/lru_map.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/path_util.h"
#include "common/record_array.h"
#include "common/record_stack.h"
#include "common/sjis_text.h"
#include "common/width_kana.h"
#include "matching/adrs_context.h"
#include "matching/adrs_engine.h"
#include "matching/data_folder_cache.h"
#include "matching/edit_text.h"
#include "matching/name_candidates.h"
#include "matching/name_compare.h"
#include "matching/normalize.h"
#include "matching/prefecture_lookup.h"
#include "matching/prefecture_names.h"
#include "matching/result_line.h"
#include "plat/file_stamp.h"
#include "tabledb/file_cache.h"
#include "tabledb/table_database.h"
#include "tabledb/tix_format.h"

namespace {

constexpr char kInitFailed[] = "初期化に失敗しました！";

// A candidate of the scan: 16 bytes, prefecture (4), level (4), reference
// (4), entry (2), two unused bytes.
constexpr uint16_t kCandidateSize = 16;
struct Candidate {
  int32_t prefecture = 0;
  int32_t level = 0;
  int32_t reference = 0;
  int16_t entry = 0;
};

void StoreCandidate(const Candidate& c, unsigned char* out) {
  std::memset(out, 0, kCandidateSize);
  std::memcpy(out, &c.prefecture, 4);
  std::memcpy(out + 4, &c.level, 4);
  std::memcpy(out + 8, &c.reference, 4);
  std::memcpy(out + 12, &c.entry, 2);
}

Candidate LoadCandidate(const unsigned char* in) {
  Candidate c;
  std::memcpy(&c.prefecture, in, 4);
  std::memcpy(&c.level, in + 4, 4);
  std::memcpy(&c.reference, in + 8, 4);
  std::memcpy(&c.entry, in + 12, 2);
  return c;
}

// One prefecture's database and engine, closed again on every path. The
// engine object and its switches live for the whole call.
class PrefectureFiles {
 public:
  PrefectureFiles(CAdrsEngine* engine, CTableDatabase* database)
      : engine_(engine), database_(database) {}
  ~PrefectureFiles() { Close(); }
  void Close() {
    engine_->Close();
    database_->Close();
  }

 private:
  CAdrsEngine* engine_;
  CTableDatabase* database_;
};

// Everything one match of the driver needs besides the prefecture.
struct MatchSetup {
  const char* work;  // the trimmed input
  std::string folder;
  int32_t flags;
  int32_t numberUnitValue;
  CAdrsContext* context;
  CCharDictionary* dictionary;  // the pair in use (narrowed or passed in)
  CRecordList* list;
  CCharDictionary* fullDictionary;  // the pair passed in
  CRecordList* fullList;
  CRecordList* extraList;
  int32_t useKanjiNames;
  char* message;
};

// The engine's attachments for prefecture j, in the driver's order. With
// switches false the history-check and kana switches stay as they are.
void SetUpEngine(CAdrsEngine* engine, CTableDatabase* database, const MatchSetup& s,
                 int32_t prefecture, bool switches) {
  engine->AllocateWorkLists();
  engine->SetSearchFlags(static_cast<uint32_t>(s.flags));
  engine->SetDatabase(database);
  engine->SetContext(s.context);
  engine->SetDictionaries(s.dictionary, s.list);
  engine->SetExtraReplacementList(s.extraList);
  engine->SetNumberUnitMatching(s.numberUnitValue);
  engine->SetChangeHistoryFiles(NumberedFilePath(s.folder, "QAD_CH%02d.CDB", prefecture).c_str(),
                                NumberedFilePath(s.folder, "QAD_CH%02d.CIX", prefecture).c_str());
  engine->SetChangeCodeIndexFile(NumberedFilePath(s.folder, "QAD_CH%02d.CDI", prefecture).c_str());
  // The reference library hands its county-optional switch and analysis
  // depth per call; otherwise the engine keeps its own defaults.
  if (s.context->GetEngineCountyOptional() != CAdrsContext::kEngineSettingUnset) {
    engine->SetCountyOptional(s.context->GetEngineCountyOptional());
  }
  if (s.context->GetEngineAnalyzeDepth() != CAdrsContext::kEngineSettingUnset) {
    engine->SetAnalyzeDepth(s.context->GetEngineAnalyzeDepth());
  }
  if (!switches) return;
  int32_t calc = 0;
  if (!s.context->GetCalculationSwitch(&calc)) calc = 0;
  engine->SetHistoryCheck(calc);
  int32_t kind = 0;
  const int kindSet = s.context->GetSearchTextKind(&kind);
  engine->SetKanaMatching(kindSet && kind != 1 ? 1 : 0);
}

// The text of a match of prefecture j: with a name in front (the name by
// the search-text kind, normalised with the dictionaries passed in) or the
// input alone.
std::string MatchText(const MatchSetup& s, int32_t prefecture, bool withName) {
  if (!withName) return s.work;
  // The normalised name depends on the folder's dictionaries alone: kept
  // with them.
  FolderDictionaries* kept = LeasedFolderDictionaries(s.fullDictionary, s.fullList);
  const std::string key =
      "name in front " + std::to_string(s.useKanjiNames) + " " + std::to_string(prefecture);
  if (kept) {
    if (auto it = kept->derived.find(key); it != kept->derived.end()) return it->second + s.work;
  }
  char name[kPrefectureTextSize * 4] = {};
  GetPrefectureNameByKind(prefecture, name, s.useKanjiNames);
  NormalizeSearchText(s.fullList, s.fullDictionary, name, sizeof name);
  if (kept) kept->derived[key] = name;
  return std::string(name) + s.work;
}

struct MatchOutcome {
  int32_t level = 0;
  int32_t reference = 0;
  int16_t entry = 0;
};

// Prepares the edit text and runs the matcher. 1 when the match ran, 0 with
// the message when the edit text cannot be prepared or a read failed. The
// text that the cut at a single-byte character takes off stays part of the
// unmatched rest.
int MatchOnePrefecture(CAdrsEngine* engine, CEditText* edit, const MatchSetup& s,
                       const std::string& text, bool checkKind, MatchOutcome* out) {
  int32_t useKanji = 1;
  if (!edit->Init(text.c_str(), CEditText::kDefaultRecordCapacity,
                  CEditText::kDefaultStoreCapacity) ||
      (!ApplySearchTextKind(s.context, edit, &useKanji) && checkKind)) {
    SetMessage(s.message, kInitFailed);
    return 0;
  }
  NormalizeEditText(nullptr, s.dictionary, edit);
  std::string cutTail;
  const int cut = FindFirstSingleByteChar(edit->GetText());
  if (cut > 0) {
    cutTail = edit->GetOriginalPointer(cut);
    TruncateEditTextAtSingleByte(edit);
  }
  int32_t level = 0;
  int32_t reference = 0;
  int16_t entry = 0;
  if (!engine->MatchAddress(edit, &level, &reference, &entry, s.message, s.work)) return 0;
  if (level > 0 && !cutTail.empty() && engine->GetUnmatchedText()[0] == '\0')
    engine->SetUnmatchedText(cutTail.c_str());
  out->level = level;
  out->reference = reference;
  out->entry = entry;
  return 1;
}

// Which prefectures have their database in a folder listing, with the
// native path of each database found, and of its index when the listing
// has it. A listing never changes, so the
// answer is kept with the listings last asked about; a database it found
// missing is missing in a later call only while the listing's absences
// hold (plat::FolderListing::AbsenceHolds: the change watch has seen no
// change of the folder's names, or a direct look finds the folder as
// listed), else the listing is asked again.
using PrefectureFlags = std::array<bool, kPrefectureCount + 1>;
struct ListedPrefectures {
  PrefectureFlags flags{};
  std::array<std::string, kPrefectureCount + 1> ndbNative;
  PrefectureFlags hasIndex{};  // of the prefectures with a database
  std::array<std::string, kPrefectureCount + 1> tixNative;
  // Whether every prefecture has both files (nothing found missing).
  bool All() const {
    for (int32_t j = 1; j <= kPrefectureCount; ++j)
      if (!flags[static_cast<std::size_t>(j)] || !hasIndex[static_cast<std::size_t>(j)])
        return false;
    return true;
  }
};

// The name of prefecture j's file of the extension ("NDB", "TIX"), as the
// listing is asked for it.
struct PrefectureFileName {
  char text[11] = "QVAD00.NDB";
  PrefectureFileName(int32_t j, const char* extension) {
    text[4] = static_cast<char>('0' + j / 10 % 10);
    text[5] = static_cast<char>('0' + j % 10);
    std::memcpy(text + 7, extension, 3);
  }
};
std::shared_ptr<const ListedPrefectures> PrefecturesInListing(
    const std::shared_ptr<const plat::FolderListing>& listing) {
  static std::mutex mutex;
  static auto* kept =
      new std::map<std::shared_ptr<const plat::FolderListing>, std::shared_ptr<ListedPrefectures>>;
  std::shared_ptr<const ListedPrefectures> found;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (auto it = kept->find(listing); it != kept->end()) found = it->second;
  }
  if (found && (found->All() || listing->AbsenceHolds())) return found;
  auto listed = std::make_shared<ListedPrefectures>();
  for (int32_t j = 1; j <= kPrefectureCount; ++j) {
    const auto at = static_cast<std::size_t>(j);
    listed->flags[at] = listing->Find(PrefectureFileName(j, "NDB").text, listed->ndbNative[at]);
    if (!listed->flags[at]) {
      listed->ndbNative[at].clear();
      continue;
    }
    listed->hasIndex[at] = listing->Find(PrefectureFileName(j, "TIX").text, listed->tixNative[at]);
    if (!listed->hasIndex[at]) listed->tixNative[at].clear();
  }
  std::lock_guard<std::mutex> lock(mutex);
  if (kept->size() >= 16) kept->clear();
  (*kept)[listing] = listed;
  return listed;
}

// Whether each prefecture has data: its database is in the folder.
PrefectureFlags PrefecturesWithData(const MatchSetup& s,
                                    const std::shared_ptr<const plat::FolderListing>& listing) {
  if (listing) return PrefecturesInListing(listing)->flags;
  PrefectureFlags flags{};
  for (int32_t j = 1; j <= kPrefectureCount; ++j)
    flags[static_cast<std::size_t>(j)] =
        FileExists(NumberedFilePath(s.folder, "QVAD%02d.NDB", j).c_str());
  return flags;
}

// Whether prefecture j has data.
bool PrefectureHasData(const MatchSetup& s,
                       const std::shared_ptr<const plat::FolderListing>& listing, int32_t j) {
  const std::string ndb = NumberedFilePath(s.folder, "QVAD%02d.NDB", j);
  return listing ? listing->Contains(ndb.c_str() + s.folder.size()) : FileExists(ndb.c_str());
}

// ---- The prefectures a text without a prefecture name can reach ----
//
// A prefecture is a candidate of the scan only when its municipality level
// takes a row, and a row is taken only when its name can begin the text
// after the prefecture name (matching/name_candidates.h). The steps of the
// normalisation work character by character, or on runs of numerals that
// end at a unit word or at the end of the text, so the text after the name
// is the same for every prefecture: the input normalised alone. Each
// prefecture's name table (of its one prefecture row) is kept per folder
// with the stamps of the files it was read from, in the process and in the
// store of derived values (matching/prefecture_lookup.h); a prefecture is
// left out of the scan when its name would not begin the text, or when its
// name is the row's name and none of its municipality names can begin the
// rest.
// Wherever that cannot be told (another number of prefecture rows, a row
// that does not read, a name that the normalisation changes), the
// prefecture is matched as before.

struct PrefectureNames : PrefectureLookup {
  std::string ndbNative;  // the files the stamps are of
  std::string tixNative;
  plat::KeptTrust trust;  // whether they may answer a later call
};

// Whether both files' stamps are settled (plat::StampIsSettled): only then
// are names read from them kept, or kept ones taken.
bool StampsSettled(const plat::FileStamp& ndb, const plat::FileStamp& tix) {
  const int64_t now = plat::NowRealtimeNs();
  return plat::StampIsSettled(ndb, now) && plat::StampIsSettled(tix, now);
}

struct FolderPrefectures {
  // Provided (not defaulted), so that make_shared does not zero the whole
  // object (tens of KB) before its members are initialised.
  FolderPrefectures() {}  // NOLINT(modernize-use-equals-default)
  std::mutex mutex;
  // The folder's listing the files were found through: while it is the
  // same, each path still names the file it named.
  std::shared_ptr<const plat::FolderListing> listing;
  std::array<PrefectureNames, kPrefectureCount + 1> prefectures;
  // The stored entries, read at the folder's first use.
  bool stored = false;
  FolderPrefectureLookups fromFile;
  // The names put in front of a text, read with the entries or made.
  FolderPrefectureNames names;
};

// The kept names of a folder, by folder, index kind, kana switch and extra
// pairs; beyond kKeptNameFolders keys the one used least recently is let
// go, one at a time.
constexpr std::size_t kKeptNameFolders = 64;

struct KeptFolders {
  std::mutex mutex;
  LruMap<std::shared_ptr<FolderPrefectures>> byKey{kKeptNameFolders};
};

KeptFolders& Folders() {
  static auto* kept = new KeptFolders;  // never destroyed: used until exit
  return *kept;
}

std::shared_ptr<FolderPrefectures> KeptFolderPrefectures(const std::string& key) {
  KeptFolders& folders = Folders();
  std::lock_guard<std::mutex> lock(folders.mutex);
  if (auto* found = folders.byKey.Find(key)) return *found;
  auto made = folders.byKey.Put(key, std::make_shared<FolderPrefectures>());
  folders.byKey.Trim();
  return made;
}

bool SameStamps(const PrefectureLookup& p, const plat::FileStamp& ndb, const plat::FileStamp& tix) {
  return p.files && p.ndb == ndb && p.tix == tix;
}

// Whether the files of the kept names are as they were read.
bool FilesUnchanged(const PrefectureNames& p) {
  plat::FileStamp ndb;
  plat::FileStamp tix;
  return p.files && p.trust.Holds() && plat::WatchedStampOfNative(p.ndbNative, ndb) &&
         plat::WatchedStampOfNative(p.tixNative, tix) && SameStamps(p, ndb, tix);
}

// The names of prefecture j read from its files (none when the files are
// missing); true when they were read, false when taken as they were.
// The database's native path is the one the listing gave (never empty).
bool ReadPrefectureNames(const MatchSetup& s, const ListedPrefectures& listed,
                         const FolderPrefectureLookups& fromFile, int32_t j, PrefectureNames* p) {
  PrefectureNames now;
  now.ndbNative = listed.ndbNative[static_cast<std::size_t>(j)];
  now.tixNative = listed.tixNative[static_cast<std::size_t>(j)];
  plat::FileStamp ndbStamp;
  plat::FileStamp tixStamp;
  // Stamped as the call stamps its files (a name the listing found by a
  // status call in this call is stamped by that call).
  if (!listed.hasIndex[static_cast<std::size_t>(j)] ||
      !plat::WatchedStampOfNative(now.ndbNative, ndbStamp) ||
      !plat::WatchedStampOfNative(now.tixNative, tixStamp)) {
    *p = PrefectureNames();
    return false;
  }
  // The same files as the kept names or the store's, under stamps
  // that tell any change.
  const bool settled = StampsSettled(ndbStamp, tixStamp);
  if (SameStamps(*p, ndbStamp, tixStamp) && p->trust.Holds() && p->ndbNative == now.ndbNative &&
      p->tixNative == now.tixNative)
    return false;
  if (const PrefectureLookup& stored = fromFile[static_cast<std::size_t>(j)];
      settled && SameStamps(stored, ndbStamp, tixStamp)) {
    static_cast<PrefectureLookup&>(now) = stored;
    now.trust = plat::TrustNow(true);
    *p = std::move(now);
    return false;
  }
  *p = PrefectureNames();
  const std::string ndb = NumberedFilePath(s.folder, "QVAD%02d.NDB", j);
  const std::string tix = NumberedFilePath(s.folder, "QVAD%02d.TIX", j);
  const std::shared_ptr<CCachedFile> ndbImage = AcquireCachedFile(ndb.c_str());
  const std::shared_ptr<CCachedFile> tixImage = AcquireCachedFile(tix.c_str());
  if (!ndbImage || !tixImage) return false;
  // Stamped as the images read them.
  p->files = true;
  p->ndb = ndbImage->GetStamp();
  p->tix = tixImage->GetStamp();
  p->ndbNative = ndbImage->GetNative();
  p->tixNative = tixImage->GetNative();
  p->trust = plat::TrustNow(StampsSettled(p->ndb, p->tix));
  // The database and the engine are far larger than a frame should be.
  const auto database = std::make_unique<CTableDatabase>();
  const auto engine = std::make_unique<CAdrsEngine>();
  if (database->Open(ndb.c_str())) {
    PrefectureFiles files(engine.get(), database.get());
    if (engine->Open(tix.c_str(), s.context->GetIndexKind())) {
      SetUpEngine(engine.get(), database.get(), s, j, true);
      std::shared_ptr<const NameTable> cities;
      p->known = engine->SinglePrefectureCities(&p->name, &cities, &p->count) != 0;
      p->cities = std::move(cities);
    }
  }
  return true;
}

// The input as the scan's match of every prefecture has it after the
// prefecture name: prepared and normalised alone. False when that cannot
// stand for them (a step failed, or the name and the input may not fit one
// edit text).
bool NormalisedAlone(const MatchSetup& s, std::string* out) {
  if (std::strlen(s.work) + 2 * kPrefectureTextSize >
      static_cast<std::size_t>(kMaxSearchTextLength))
    return false;
  CEditText edit;
  int32_t useKanji = 1;
  if (!edit.Init(s.work, CEditText::kDefaultRecordCapacity, CEditText::kDefaultStoreCapacity) ||
      !ApplySearchTextKind(s.context, &edit, &useKanji))
    return false;
  NormalizeEditText(nullptr, s.dictionary, &edit);
  if (!TruncateEditTextAtSingleByte(&edit)) return false;
  *out = edit.GetText();
  return true;
}

// The name when normalising it again with the dictionary leaves it as it
// is and it holds no single-byte character; "" otherwise.
std::string AgainForm(const std::string& name, CCharDictionary* dictionary) {
  char again[kPrefectureTextSize * 4] = {};
  if (name.size() >= sizeof again) return std::string();
  std::memcpy(again, name.c_str(), name.size() + 1);
  if (NormalizeSearchText(nullptr, dictionary, again, sizeof again) && name == again &&
      FindFirstSingleByteChar(again) == 0)
    return name;
  return std::string();
}

// The name of prefecture j as MatchText puts it in front of the input.
std::string NameInFront(const MatchSetup& s, int32_t j) {
  char text[kPrefectureTextSize * 4] = {};
  GetPrefectureNameByKind(j, text, s.useKanjiNames);
  NormalizeSearchText(s.fullList, s.fullDictionary, text, sizeof text);
  return text;
}

// The forms of every prefecture's name with the folder's dictionaries
// (s.fullDictionary and s.fullList), whose files stand as `dictionaries`.
void MakePrefectureNames(const MatchSetup& s, const std::string& dictionaries,
                         FolderPrefectureNames* names) {
  // As an input that no entry changes narrows them; on the heap, as it is
  // far larger than a frame should be.
  const auto none = std::make_unique<CCharDictionary>();
  names->dictionaries = dictionaries;
  names->useKanjiNames = s.useKanjiNames;
  for (int32_t j = 1; j <= kPrefectureCount; ++j) {
    PrefectureNameForms& f = names->forms[static_cast<std::size_t>(j)];
    f.name = NameInFront(s, j);
    f.again = !AgainForm(f.name, s.fullDictionary).empty();
    f.againEmpty = !AgainForm(f.name, none.get()).empty();
  }
}

// The name of prefecture j as the scan puts it in front of the input
// (MatchText), when the normalisation of the edit text leaves it as it is
// and it holds no single-byte character; "" otherwise. The forms are the
// folder's kept ones (null when there are none); else what depends on the
// folder's dictionaries alone is kept with them.
std::string NormalisedPrefectureName(const MatchSetup& s, int32_t j, FolderDictionaries* kept,
                                     const PrefectureNameForms* forms) {
  // Again as the edit text is normalised: with the dictionary in use, which
  // is the folder's own or, narrowed to this input, may be empty.
  const bool own = s.dictionary == s.fullDictionary;
  const bool empty = s.dictionary != nullptr && s.dictionary->GetCount() == 0;
  if (forms) {
    if (own) return forms->again ? forms->name : std::string();
    if (empty) return forms->againEmpty ? forms->name : std::string();
    return AgainForm(forms->name, s.dictionary);
  }
  const std::string key = "prefecture " + std::to_string(s.useKanjiNames) + " " + std::to_string(j);
  std::string name;
  if (kept && kept->derived.count(key)) {
    name = kept->derived[key];
  } else {
    name = NameInFront(s, j);
    if (kept) kept->derived[key] = name;
  }
  const std::string againKey = key + (own ? " again" : " again empty");
  if (kept && (own || empty)) {
    if (auto it = kept->derived.find(againKey); it != kept->derived.end()) return it->second;
  }
  const std::string result = AgainForm(name, s.dictionary);
  if (kept && (own || empty)) kept->derived[againKey] = result;
  return result;
}

// Marks in skip[j] the prefectures with data that the scan can leave out.
void PrefecturesToLeaveOut(const MatchSetup& s,
                           const std::shared_ptr<const plat::FolderListing>& listing,
                           std::array<bool, kPrefectureCount + 1>* skip) {
  skip->fill(false);
  std::string rest;
  if (!listing || !NormalisedAlone(s, &rest)) return;
  int32_t kind = 0;
  const int32_t kana = s.context->GetSearchTextKind(&kind) && kind != 1 ? 1 : 0;
  const std::string signature = ExtraPairsSignature(s.extraList);
  const std::string key = s.folder + "|" + std::to_string(s.context->GetIndexKind()) + "|" +
                          std::to_string(kana) + "|" +
                          std::to_string(std::hash<std::string>{}(signature));
  const auto folder = KeptFolderPrefectures(key);
  std::lock_guard<std::mutex> lock(folder->mutex);
  const CNameCandidateSource& source = CurrentNameCandidateSource();
  if (!source.UsesTables()) return;
  // The query of the municipality level on the rest (MatchCity).
  NameQuery query;
  query.AddText(rest.c_str(), s.extraList);
  if (s.list != nullptr) query.AddText(ReplacedText(s.list, rest.c_str()).c_str(), s.extraList);
  FolderDictionaries* kept = LeasedFolderDictionaries(s.fullDictionary, s.fullList);
  // The names in front are kept with the stamps of the folder's dictionary
  // files (when the dictionaries in use are the folder's, loaded from them).
  const std::string dictionaries = kept ? kept->filesStamp : std::string();
  bool namesMade = false;
  if (!dictionaries.empty() && (folder->names.dictionaries != dictionaries ||
                                folder->names.useKanjiNames != s.useKanjiNames)) {
    folder->names.dictionaries = dictionaries;
    if (!LoadPrefectureNames(plat::DerivedFolderOf(kept->folderStamp, kept->nativeFolder),
                             kept->fileStamps, s.useKanjiNames, &folder->names)) {
      MakePrefectureNames(s, dictionaries, &folder->names);
      namesMade = true;
    }
  }
  const bool keptNames = !dictionaries.empty();
  std::vector<uint16_t> rows;
  const bool sameNames = folder->listing == listing;
  folder->listing = listing;
  const auto listed = PrefecturesInListing(listing);
  const PrefectureFlags& withData = listed->flags;
  // Every prefecture's database and index are stamped below: through the
  // folder at once.
  {
    const std::string& native = listing->NativeFolder();
    std::vector<std::string> names;
    auto add = [&](const std::string& file) {
      if (file.size() > native.size() + 1 && file.compare(0, native.size(), native) == 0 &&
          file[native.size()] == '/')
        names.push_back(file.substr(native.size() + 1));
    };
    for (int32_t j = 1; j <= kPrefectureCount; ++j) {
      if (!withData[static_cast<std::size_t>(j)]) continue;
      add(listed->ndbNative[static_cast<std::size_t>(j)]);
      if (listed->hasIndex[static_cast<std::size_t>(j)])
        add(listed->tixNative[static_cast<std::size_t>(j)]);
    }
    plat::StampFolderFilesInScope(native, names);
  }
  // Where the folder's lookups are kept between processes: the folder, and
  // the index kind, kana switch and extra pairs whole (made when they are
  // read or kept).
  auto placeOf = [&] {
    PrefectureLookupPlace place;
    place.folder = plat::DerivedFolderOf(listing->Stamp(), listing->NativeFolder());
    place.item =
        std::to_string(s.context->GetIndexKind()) + "|" + std::to_string(kana) + "|" + signature;
    return place;
  };
  if (!folder->stored) {
    folder->stored = true;
    // Taken for the files as they stand now: each prefecture's database
    // and index (both, or neither, as PrefectureLookupSources has them).
    std::vector<plat::FileStamp> sources(2 * static_cast<std::size_t>(kPrefectureCount));
    for (int32_t j = 1; j <= kPrefectureCount; ++j) {
      const auto at = static_cast<std::size_t>(j);
      if (!withData[at] || !listed->hasIndex[at]) continue;
      plat::FileStamp ndb, tix;
      if (plat::WatchedStampOfNative(listed->ndbNative[at], ndb) &&
          plat::WatchedStampOfNative(listed->tixNative[at], tix)) {
        sources[2 * (at - 1)] = ndb;
        sources[2 * (at - 1) + 1] = tix;
      }
    }
    LoadPrefectureLookups(placeOf(), sources, &folder->fromFile);
  }
  bool read = false;
  for (int32_t j = 1; j <= kPrefectureCount; ++j) {
    PrefectureNames& p = folder->prefectures[static_cast<std::size_t>(j)];
    if (!withData[static_cast<std::size_t>(j)]) {  // no database: nothing kept
      if (p.files) p = PrefectureNames();          // (names are kept only with files)
      continue;
    }
    // The usual case: the same names, their files unchanged.
    if (!(sameNames && FilesUnchanged(p)) &&
        ReadPrefectureNames(s, *listed, folder->fromFile, j, &p) && p.trust.settled)
      read = true;
    if (!p.known) continue;
    // The prefecture name as the scan puts it in front and normalises it.
    const std::string name = NormalisedPrefectureName(
        s, j, kept, keptNames ? &folder->names.forms[static_cast<std::size_t>(j)] : nullptr);
    if (name.empty()) continue;
    const std::string text = name + rest;
    if (text.compare(0, p.name.size(), p.name) != 0) {
      (*skip)[static_cast<std::size_t>(j)] = true;  // no prefecture row begins the text
      continue;
    }
    if (p.name != name) continue;
    source.Select(p.cities.get(), query, p.count, &rows);
    if (rows.empty()) (*skip)[static_cast<std::size_t>(j)] = true;
  }
  // What was read or made afresh is kept for the next process (the store
  // keeps it only while every file's stamp is settled).
  if (read) {
    for (int32_t j = 1; j <= kPrefectureCount; ++j) {
      const PrefectureNames& p = folder->prefectures[static_cast<std::size_t>(j)];
      folder->fromFile[static_cast<std::size_t>(j)] = static_cast<const PrefectureLookup&>(p);
    }
    StorePrefectureLookups(placeOf(), folder->fromFile);
  }
  if (namesMade)
    StorePrefectureNames(plat::DerivedFolderOf(kept->folderStamp, kept->nativeFolder),
                         kept->fileStamps, folder->names);
}

}  // namespace

void ForgetKeptPrefectureNames() {
  KeptFolders& folders = Folders();
  std::lock_guard<std::mutex> lock(folders.mutex);
  folders.byKey.Clear();
}

// ---- Helpers ----

std::string FolderWithBackslash(const char* folder) {
  std::string out = folder ? folder : "";
  const char* last = GetLastCharPtr(out.c_str());
  if (!(last[0] == '\\' && last[1] == '\0')) out += '\\';
  return out;
}

int ApplySearchTextKind(CAdrsContext* context, CEditText* editText, int32_t* useKanjiNames) {
  int32_t kind = 1;
  if (context && !context->GetSearchTextKind(&kind)) kind = 1;
  switch (kind) {
    case 1:
      *useKanjiNames = 1;
      return 1;
    case 2:
      *useKanjiNames = 0;
      return 1;
    case 3:
      if (!editText->KatakanaToHiragana()) return 0;
      *useKanjiNames = 0;
      return 1;
    case 4:
      if (!editText->HalfKanaToHiragana()) return 0;
      *useKanjiNames = 0;
      return 1;
    default:
      return 0;
  }
}

char* GetPrefectureNameByKind(int32_t number, char* out, int32_t useKanjiNames) {
  return useKanjiNames == 1 ? GetPrefectureName(number, out) : GetPrefectureKana(number, out);
}

int FindFirstSingleByteChar(const char* text) {
  if (!text) return 0;
  for (int i = 0; text[i] != '\0'; i += 2) {
    if (!IsLeadByte(static_cast<unsigned char>(text[i])) || text[i + 1] == '\0') return i + 1;
  }
  return 0;
}

int TruncateEditTextAtSingleByte(CEditText* editText) {
  if (!editText) return 0;
  const int position = FindFirstSingleByteChar(editText->GetText());
  if (position == 0) return 1;
  return editText->Truncate(position);
}

char* TruncateAtSingleByte(char* text) {
  const int position = FindFirstSingleByteChar(text);
  if (position > 0) text[position - 1] = '\0';
  return text;
}

int CheckSearchTextKind(CAdrsContext* context, const char* text) {
  int32_t kind = 1;
  if (!context || !context->GetSearchTextKind(&kind)) kind = 1;
  if (kind == 1) return 1;
  if (!text) return 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  if (kind == 4) {
    for (; *p; ++p)
      if (!((*p >= 0xA1 && *p <= 0xDF) || (*p >= '0' && *p <= '9'))) return 0;
    return 1;
  }
  if (kind != 2 && kind != 3) return 0;
  while (*p) {
    if (!IsLeadByte(*p) || p[1] == '\0') return 0;
    const char* c = reinterpret_cast<const char*>(p);
    const int ok = IsFullWidthDigitAt(c) || (kind == 2 ? IsHiraganaAt(c) : IsKatakanaAt(c));
    if (!ok) return 0;
    p += 2;
  }
  return 1;
}

namespace {

// 8-9. The deepest candidate of the scan, the earlier one on a tie; false
// when there is none, or when several stopped above the oaza level (a
// candidate is used alone or from the oaza level on).
bool ChooseCandidate(CRecordList& candidates, Candidate* best) {
  const uint32_t count = candidates.GetCount();
  if (count == 0) return false;
  *best = LoadCandidate(static_cast<const unsigned char*>(candidates.GetPtr(1)));
  for (uint32_t n = 2; n <= count; ++n) {
    const Candidate c = LoadCandidate(static_cast<const unsigned char*>(candidates.GetPtr(n)));
    if (c.level > best->level) *best = c;
  }
  return count == 1 || best->level >= 3;
}

// 10. The final pass over the chosen prefecture, its name put in front by
// the search-text kind as in the scan: 1 with the result line written, 0
// when it matched nothing beyond the prefecture, -1 after a failure.
int FinalPass(const MatchSetup& s, CEditText* edit, CTableDatabase* database, CAdrsEngine* engine,
              int32_t prefecture) {
  const std::string ndb = NumberedFilePath(s.folder, "QVAD%02d.NDB", prefecture);
  const std::string tix = NumberedFilePath(s.folder, "QVAD%02d.TIX", prefecture);
  if (!database->Open(ndb.c_str())) {
    SetMessage(s.message, kMsgFileOpen, ndb.c_str());
    return -1;
  }
  PrefectureFiles files(engine, database);
  if (!engine->Open(tix.c_str(), s.context->GetIndexKind())) {
    SetMessage(s.message, kMsgFileOpen, tix.c_str());
    return -1;
  }
  SetUpEngine(engine, database, s, prefecture, false);
  MatchOutcome m;
  if (!MatchOnePrefecture(engine, edit, s, MatchText(s, prefecture, true), true, &m)) return -1;
  // A final pass that does not get beyond the prefecture matched nothing.
  if (m.level < 2) return 0;
  return WriteMatchResultLine(engine, database, s.context, m.level, m.reference, m.entry, s.message)
             ? 1
             : -1;
}

}  // namespace

// ---- The driver ----

namespace {

// 1-2. The trimmed text, empty when there is nothing to do.
std::string TrimmedText(const char* text) {
  std::string work(text);
  TrimBlanks(work.data());
  work.resize(std::strlen(work.c_str()));
  return work;
}

// The database and index paths must fit the path buffers of the table
// database and the address index: a data folder too long for them fails as
// a file that cannot be opened, naming the path, never as missing data.
bool FolderPathsFit(const char* dataFolder, char* message) {
  const std::string longest =
      NumberedFilePath(FolderWithBackslash(dataFolder), "QVAD%02d.NDB", kPrefectureCount);
  if (longest.size() > kTdbMaxPathLength || longest.size() >= CTixFile::kPathSize) {
    SetMessage(message, kMsgFileOpen, longest.c_str());
    return false;
  }
  return true;
}

// 5. The prefecture named at the head of the text, 0 when none is.
int32_t PrefectureAtHead(const CEditText& edit, int32_t useKanji) {
  const char* text = edit.GetText();
  for (int32_t i = 1; i <= kPrefectureCount; ++i) {
    const std::string_view name = useKanji == 1 ? PrefectureNameView(i) : PrefectureKanaView(i);
    if (std::strncmp(text, name.data(), name.size()) == 0) return i;
  }
  return 0;
}

// Opens prefecture j's database and index and sets the engine up for the
// scan; false (both closed) when a file does not open.
bool OpenPrefecture(const MatchSetup& s, int32_t j, CTableDatabase* database, CAdrsEngine* engine) {
  const std::string ndb = NumberedFilePath(s.folder, "QVAD%02d.NDB", j);
  const std::string tix = NumberedFilePath(s.folder, "QVAD%02d.TIX", j);
  if (!database->Open(ndb.c_str())) return false;
  if (!engine->Open(tix.c_str(), s.context->GetIndexKind())) {
    engine->Close();
    database->Close();
    return false;
  }
  SetUpEngine(engine, database, s, j, true);
  return true;
}

// 7, a prefecture named in the text: its match alone. 1 with the result
// line written, 0 when nothing matched, -1 after a failure.
int MatchNamedPrefecture(const MatchSetup& s,
                         const std::shared_ptr<const plat::FolderListing>& listing, int32_t fixed,
                         CEditText* edit, CTableDatabase* database, CAdrsEngine* engine) {
  if (!PrefectureHasData(s, listing, fixed) || !OpenPrefecture(s, fixed, database, engine))
    return 0;
  PrefectureFiles files(engine, database);
  MatchOutcome m;
  if (!MatchOnePrefecture(engine, edit, s, MatchText(s, fixed, false), false, &m)) return -1;
  if (m.level <= 0) return 0;
  return WriteMatchResultLine(engine, database, s.context, m.level, m.reference, m.entry, s.message)
             ? 1
             : -1;
}

// 6-7. The scan: every prefecture with data that the scan cannot leave
// out, in order, its candidates (deeper than the prefecture) added to the
// list. 1 when it ran, -1 after a failure. The engine and database stay
// open on the last prefecture matched, *held (0 when none): the final
// pass over that prefecture would repeat its match step for step.
int ScanPrefectures(const MatchSetup& s, const std::shared_ptr<const plat::FolderListing>& listing,
                    CEditText* edit, CTableDatabase* database, CAdrsEngine* engine,
                    CRecordList* candidates, int32_t* held) {
  std::array<bool, kPrefectureCount + 1> leaveOut{};
  PrefecturesToLeaveOut(s, listing, &leaveOut);
  const PrefectureFlags withData = PrefecturesWithData(s, listing);
  *held = 0;
  for (int32_t j = 1; j <= kPrefectureCount; ++j) {
    const auto at = static_cast<std::size_t>(j);
    if (leaveOut[at] || !withData[at]) continue;
    if (*held != 0) {
      engine->Close();
      database->Close();
      *held = 0;
    }
    if (!OpenPrefecture(s, j, database, engine)) continue;
    MatchOutcome m;
    if (!MatchOnePrefecture(engine, edit, s, MatchText(s, j, true), true, &m)) return -1;
    *held = j;
    if (m.level > 1) {
      unsigned char record[kCandidateSize];
      StoreCandidate({j, m.level, m.reference, m.entry}, record);
      if (!candidates->Add(record)) {
        SetMessage(s.message, kMsgWorkMemory);
        return -1;
      }
    }
  }
  return 1;
}

// 6-10 for a text without a prefecture name.
int MatchWithoutPrefectureName(const MatchSetup& s,
                               const std::shared_ptr<const plat::FolderListing>& listing,
                               CEditText* edit, CTableDatabase* database, CAdrsEngine* engine) {
  CRecordList candidates;
  struct FreeList {
    CRecordList& l;
    ~FreeList() { l.Free(); }
  } freeCandidates{candidates};
  if (!candidates.Create(10, kCandidateSize, 128)) {
    SetMessage(s.message, kMsgWorkMemory);
    return -1;
  }
  PrefectureFiles files(engine, database);
  int32_t held = 0;
  if (ScanPrefectures(s, listing, edit, database, engine, &candidates, &held) < 0) return -1;
  // 8-9. The deepest candidate; 10. the final pass over its prefecture.
  // Several prefectures reached no deeper than the municipality: the
  // reference library reports the municipality as not determined (2).
  if (candidates.GetCount() == 0) return 0;
  Candidate best{};
  if (!ChooseCandidate(candidates, &best)) return s.context->IsLibraryProfile() ? 2 : 0;
  if (best.prefecture == held) {
    // The engine holds the final pass's match already.
    return WriteMatchResultLine(engine, database, s.context, best.level, best.reference, best.entry,
                                s.message)
               ? 1
               : -1;
  }
  files.Close();
  return FinalPass(s, edit, database, engine, best.prefecture);
}

}  // namespace

int RunAddressMatching(const char* text, int32_t flags, int32_t numberUnitValue,
                       const char* dataFolder, CAdrsContext* context,
                       CCharDictionary* unificationDictionary, CRecordList* replacementList,
                       CRecordList* extraReplacementList, char* message) {
  // 1-2. Nothing to do without text or with the matching switched off.
  if (!text || !context) return 0;
  const std::string work = TrimmedText(text);
  if (work.empty()) return 0;
  if (!context->IsMatchingEnabled()) return 0;
  if (!FolderPathsFit(dataFolder, message)) return -1;

  // 3. The edit text and the search-text kind.
  CEditText edit;
  int32_t useKanji = 1;
  if (!edit.Init(work.c_str(), CEditText::kDefaultRecordCapacity,
                 CEditText::kDefaultStoreCapacity) ||
      !ApplySearchTextKind(context, &edit, &useKanji)) {
    SetMessage(message, kInitFailed);
    return -1;
  }

  // 4. The dictionary entries that change this input.
  CCharDictionary narrowDictionary;
  CRecordList narrowList;
  struct FreeNarrowed {
    CCharDictionary& d;
    CRecordList& l;
    ~FreeNarrowed() {
      d.Free();
      l.Free();
    }
  } freeNarrowed{narrowDictionary, narrowList};
  MatchSetup s{work.c_str(),    FolderWithBackslash(dataFolder),
               flags,           numberUnitValue,
               context,         unificationDictionary,
               replacementList, unificationDictionary,
               replacementList, extraReplacementList,
               useKanji,        message};
  if (SelectApplicableDictionaryEntries(&narrowList, &narrowDictionary, replacementList,
                                        unificationDictionary, &edit)) {
    s.dictionary = &narrowDictionary;
    s.list = &narrowList;
  }

  // 7. Which prefectures have data: one listing of the folder, kept while
  // the folder is unchanged.
  // The database and the engine are far larger than a frame should be.
  const auto database = std::make_unique<CTableDatabase>();
  const auto engine = std::make_unique<CAdrsEngine>();
  const auto listing = plat::GetFolderListing(s.folder.c_str());
  const int32_t fixed = PrefectureAtHead(edit, useKanji);
  if (fixed) return MatchNamedPrefecture(s, listing, fixed, &edit, database.get(), engine.get());
  return MatchWithoutPrefectureName(s, listing, &edit, database.get(), engine.get());
}
