#include "gazref/multi_level_search.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/allocation_guard.h"
#include "common/char_class.h"
#include "common/file_access.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/number_parse.h"
#include "common/path_util.h"
#include "common/sjis_text.h"
#include "matching/dictionary_loaders.h"
#include "matching/edit_text.h"
#include "matching/match_driver.h"
#include "matching/normalize.h"
#include "matching/prefecture_names.h"
#include "plat/file.h"
#include "tabledb/tix_format.h"
#include "tool/csv_sort.h"
#include "tool/result_sink.h"

namespace {

// Field 12 of a row: its code.
constexpr int32_t kSortField = 12;

std::string Trimmed(const char* text) {
  std::vector<char> work(text ? std::strlen(text) + 1 : 1, '\0');
  if (text) std::memcpy(work.data(), text, work.size());
  TrimBlanks(work.data());
  return work.data();
}

// The edit text of one run: the text normalised with the unification
// dictionary, cut at its first full-width blank.
int StartRunText(CEditText* text, const std::string& run, CCharDictionary* unification) {
  if (!text->Init(run.c_str(), CEditText::kDefaultRecordCapacity,
                  CEditText::kDefaultStoreCapacity)) {
    return 0;
  }
  NormalizeEditText(nullptr, unification, text);
  if (const int blank = FindSubstring("　", text->GetText()); blank > 0) text->Truncate(blank);
  return 1;
}

// The search of one call: the writer, the dictionaries, the collector and
// the candidate set.
struct SearchRun {
  SearchRun(std::string folderPath, CAdrsContext* w, CCharDictionary* u, CRecordList* r,
            int32_t limit, int32_t* stop, char* msg)
      : folder(std::move(folderPath)),
        writer(w),
        unification(u),
        replacements(r),
        maxRows(limit),
        stopFlag(stop),
        message(msg) {}
  std::string folder;
  CAdrsContext* writer;
  CCharDictionary* unification;
  CRecordList* replacements;
  int32_t maxRows;
  int32_t* stopFlag;
  char* message;
  int32_t rows = 0;
  CCandidateSet candidates;
  CLevelCollector collector;
  CPrefectureFiles files;

  int Setup(int32_t code, int32_t freeDescent) {
    collector.AttachCandidateSet(&candidates, static_cast<uint8_t>(code));
    if (!collector.Setup(writer, unification, replacements, &rows, maxRows, stopFlag, freeDescent,
                         &files.Engine())) {
      SetMessage(message, kMsgMemory, "地名コード登録");
      return 0;
    }
    return 1;
  }

  // One prefecture of a run; -1 on failure.
  int SearchPrefecture(int32_t code, CEditText* text, int16_t mark, int32_t freeDescent,
                       int32_t kana) {
    const int opened = files.Open(folder, code, true, writer, unification, replacements);
    if (opened < 0) {
      SetMessage(message, kMsgWorkMemory);
      return -1;
    }
    if (opened == 0) return 1;
    int result = 1;
    if (!Setup(code, freeDescent)) {
      result = -1;
    } else {
      files.Engine().SetKanaMatching(kana);
      text->RollbackTo(mark);
      if (!collector.SearchCities(text, message)) result = -1;
    }
    files.Close();
    return result;
  }

  // Writes the rows of every candidate (a candidate whose rows cannot be
  // written is passed over). 0 with the memory message when memory runs out
  // while a prefecture's files open.
  int ExpandCandidates() {
    int32_t open = 0;
    for (std::size_t i = 0; i < candidates.Count(); ++i) {
      if (ReadStopFlag(stopFlag)) break;
      const LevelCandidate& c = candidates.At(i);
      if (c.prefecture != open) {
        files.Close();
        open = 0;
        const int opened =
            files.Open(folder, c.prefecture, true, writer, unification, replacements);
        if (opened < 0) {
          SetMessage(message, kMsgWorkMemory);
          return 0;
        }
        if (opened == 0) continue;
        open = c.prefecture;
      }
      std::vector<std::string> fields = SplitRowFields(c.row);
      fields.resize(14);
      int32_t level = 0;
      if (!ParseIntInRange(fields[13].c_str(), &level, INT32_MIN, INT32_MAX)) level = 0;
      char reading[kPrefectureTextSize] = "";
      GetPrefectureKana(FindPrefectureCode(fields[0].c_str()), reading);
      if (!Setup(c.prefecture, 0)) continue;
      const char* names[CLevelCollector::kNameCount] = {
          fields[0].c_str(), reading,           fields[1].c_str(), fields[2].c_str(),
          fields[3].c_str(), fields[4].c_str(), fields[5].c_str(), fields[6].c_str(),
          fields[7].c_str(), fields[8].c_str()};
      collector.SetLevelFields(level, names);
      char scratch[kMessageSize] = "";
      switch (c.kind) {
        case kCandidateOaza:
          collector.WriteOazaRow(c.key, scratch);
          break;
        case kCandidateChome:
          collector.WriteChomeRow(c.key, scratch);
          break;
        case kCandidateBlock:
          if (collector.ListBlocks(c.key, c.childCount, c.blockText, true, scratch) &&
              !collector.IsStopped()) {
            collector.ListHistoryBlocks(c.placeCode, c.blockText, true, scratch);
          }
          break;
        default:
          break;
      }
    }
    files.Close();
    return 1;
  }
};

// The prefecture at the head of the text: its code (negative when found by
// its reading) and the bytes of the name; 0 when none.
int32_t PrefectureAtHead(const std::string& text, std::size_t* length) {
  for (int32_t code = 1; code <= kPrefectureCount; ++code) {
    char name[kPrefectureTextSize];
    GetPrefectureName(code, name);
    if (*name && text.compare(0, std::strlen(name), name) == 0) {
      *length = std::strlen(name);
      return code;
    }
    GetPrefectureKana(code, name);
    if (*name && text.compare(0, std::strlen(name), name) == 0) {
      *length = std::strlen(name);
      return -code;
    }
  }
  return 0;
}

}  // namespace

int IsKanaOnlyText(const char* text) {
  return IsStringOfCharClasses(text ? text : "", kMaskKana | kMaskHiragana);
}

// ---------------------------------------------------------------------------
// Prefecture files

CPrefectureFiles::CPrefectureFiles()
    : database_(std::make_unique<CTableDatabase>()), engine_(std::make_unique<CAdrsEngine>()) {}

int CPrefectureFiles::Open(const std::string& folder, int32_t code, bool withHistory,
                           CAdrsContext* writer, CCharDictionary* unification,
                           CRecordList* replacements) {
  Close();
  if (!database_->Open(NumberedFilePath(folder, "QVAD%02d.NDB", code).c_str())) return 0;
  if (!engine_->Open(NumberedFilePath(folder, "QVAD%02d.TIX", code).c_str(),
                     writer->GetIndexKind())) {
    Close();
    return 0;
  }
  if (!engine_->AllocateWorkLists()) {
    Close();
    return -1;
  }
  engine_->SetDatabase(database_.get());
  engine_->SetContext(writer);
  engine_->SetDictionaries(unification, replacements);
  if (withHistory) {
    engine_->SetChangeHistoryFiles(NumberedFilePath(folder, "QAD_CH%02d.CDB", code).c_str(),
                                   NumberedFilePath(folder, "QAD_CH%02d.CIX", code).c_str());
    engine_->SetChangeCodeIndexFile(NumberedFilePath(folder, "QAD_CH%02d.CDI", code).c_str());
  }
  engine_->SetCountyOptional(withHistory ? 1 : 0);
  engine_->SetHistoryCheck(1);
  code_ = code;
  return 1;
}

void CPrefectureFiles::Close() {
  engine_->Close();
  database_->Close();
  code_ = 0;
}

// ---------------------------------------------------------------------------
// Pre-scan

int PrescanCities(const char* text, const char* dataFolder, CAdrsContext* writer,
                  CCharDictionary* unification, CRecordList* replacements, int32_t kana,
                  PrescanList* list, char* message) {
  const std::string folder = FolderWithBackslash(dataFolder);
  CEditText edit;
  if (!StartRunText(&edit, text ? text : "", unification)) {
    SetMessage(message, kMsgWorkMemory);
    return 0;
  }
  int32_t rows = 0;
  int32_t ownStop = 0;
  CCandidateSet candidates;
  CLevelCollector collector;
  for (int32_t code = 1; code <= kPrefectureCount; ++code) {
    CPrefectureFiles files;
    const int opened = files.Open(folder, code, false, writer, unification, replacements);
    if (opened < 0) {
      SetMessage(message, kMsgWorkMemory);
      return 0;
    }
    if (opened == 0) continue;
    collector.AttachCandidateSet(&candidates, static_cast<uint8_t>(code));
    if (!collector.Setup(writer, unification, replacements, &rows, -1, &ownStop, 0,
                         &files.Engine())) {
      SetMessage(message, kMsgWorkMemory);
      return 0;
    }
    files.Engine().SetKanaMatching(kana ? 1 : 0);
    if (!collector.PrescanCityLevel(&edit, list, message)) return 0;
  }
  return 1;
}

// ---------------------------------------------------------------------------
// Driver

int MultiLevelSearch(const char* prefecture, const char* address, const char* dataFolder,
                     CAdrsContext* writer, CCharDictionary* unification, CRecordList* replacements,
                     int32_t maxRows, int32_t* stopFlag, char* message) {
  std::string given = Trimmed(prefecture);
  std::string text = Trimmed(address);
  SearchRun run(FolderWithBackslash(Trimmed(dataFolder).c_str()), writer, unification, replacements,
                maxRows, stopFlag, message);
  if (given.empty() && text.empty()) return 0;
  int32_t givenCode = 0;
  if (!given.empty()) {
    givenCode = FindPrefectureCode(given.c_str());
    if (givenCode == 0) givenCode = -FindPrefectureCodeByKana(given.c_str());
    if (givenCode == 0) return 0;
  }
  std::size_t headLength = 0;
  const int32_t headCode = PrefectureAtHead(text, &headLength);
  if (headCode != 0) {
    if (givenCode == 0) {
      givenCode = headCode;
    } else if (std::abs(givenCode) != std::abs(headCode)) {
      return 0;
    }
    text.erase(0, headLength);
  }
  PrescanList prescan;
  int32_t first = std::abs(givenCode);
  int32_t last = first;
  if (givenCode == 0) {
    if (!PrescanCities(text.c_str(), run.folder.c_str(), writer, unification, replacements,
                       IsKanaOnlyText(text.c_str()), &prescan, message)) {
      return -1;
    }
    first = 1;
    last = kPrefectureCount;
  }
  WriteStopFlag(stopFlag, 0);
  const int32_t freeDescent = headCode == 0 && prescan.empty() ? 1 : 0;
  const std::size_t runs = prescan.empty() ? 1 : prescan.size();
  for (std::size_t r = 0; r < runs; ++r) {
    std::string runText = text;
    int32_t from = first, to = last;
    if (!prescan.empty()) {
      runText = prescan[r].name + prescan[r].rest;
      from = to = std::atoi(prescan[r].cityCode.c_str()) / 1000;
    }
    CEditText edit;
    if (!StartRunText(&edit, runText, unification)) {
      SetMessage(message, kMsgInvalidParameter, "検索文字列");
      return -1;
    }
    const int16_t mark = edit.BeginMark();
    const int32_t kana = IsKanaOnlyText(runText.c_str());
    for (int32_t code = from; code <= to; ++code) {
      if (run.SearchPrefecture(code, &edit, mark, freeDescent, kana) < 0) return -1;
      if (ReadStopFlag(stopFlag)) break;
    }
    if (ReadStopFlag(stopFlag)) break;
  }
  if (!ReadStopFlag(stopFlag) && run.candidates.IsExpandable() && run.candidates.Count() > 0) {
    if (!run.ExpandCandidates()) return -1;
  }
  return run.rows;
}

// ---------------------------------------------------------------------------
// Entries

namespace {

// Everything the search takes. The message quotes the text as the caller
// passed it (array form) or its blank-free copy (file form).
struct MultiLevelArgs {
  const char* prefecture;
  const char* address;
  const char* dataFolder;
  int32_t maxRows;
  int32_t* stopFlag;
  const AddressFooters* footers;
  int32_t defaultAzaMode;
  char* message;
  bool quoteAsPassed;
};

int RunMultiLevel(ResultSink& out, const MultiLevelArgs& a) {
  char* message = a.message;
  if (!out.Check(message)) return 0;
  if (!a.stopFlag) {
    SetMessage(message, kMsgInvalidParameter, "検索中断フラグ");
    return 0;
  }
  const char* address = a.address;
  std::vector<char> text(address ? std::strlen(address) + 1 : 1, '\0');
  if (address) std::memcpy(text.data(), address, text.size());
  RemoveAllBlanks(text.data());
  if (!CheckSearchTextLength(text.data(), message)) return 0;
  const std::string folder = FolderWithBackslash(a.dataFolder);
  int32_t rows = 0;
  {
    SearchDictionaries dictionaries;
    if (!dictionaries.Load(folder, message)) return 0;
    if (!out.Create(message)) return 0;
    CAdrsContext writer;
    out.Attach(&writer);
    writer.EnableLibraryProfile();
    writer.SetIndexKind(ProbeIndexFiles(folder.c_str()));
    const AddressFooters& footers = *a.footers;
    writer.SetFooters(footers.gaiku, footers.zyukyo, footers.oyaban, footers.koban);
    writer.SetAzaModeSwitch(a.defaultAzaMode != 0 ? 1 : 0);
    writer.SetDefaultAzaMode(a.defaultAzaMode);
    rows = MultiLevelSearch(a.prefecture, text.data(), folder.c_str(), &writer,
                            &dictionaries.unification, &dictionaries.replacements, a.maxRows,
                            a.stopFlag, message);
    if (rows < 0 || !out.Close(message)) {
      out.Discard();
      return 0;
    }
  }
  if (rows == 0) {
    SetMessage(message, kMsgNoTargetData, a.quoteAsPassed ? (address ? address : "") : text.data());
    return 0;
  }
  if (message) message[0] = '\0';
  return out.Sort(kSortField, message);
}

// Running out of memory fails the search with the memory message (a file
// sink then deletes the file it created).
int RunGuarded(ResultSink&& out, const MultiLevelArgs& a) {
  return CatchAllocationFailure(a.message, 0, [&] { return RunMultiLevel(out, a); });
}

}  // namespace

int FindListFirst2Array(CStringArray* array, const char* prefecture, const char* address,
                        const char* dataFolder, int32_t maxRows, int32_t* stopFlag,
                        const AddressFooters& footers, int32_t defaultAzaMode, char* message) {
  return RunGuarded(ArraySink(array), {prefecture, address, dataFolder, maxRows, stopFlag, &footers,
                                       defaultAzaMode, message, true});
}

int FindListFirst2File(const char* resultFile, const char* prefecture, const char* address,
                       const char* dataFolder, int32_t maxRows, int32_t* stopFlag,
                       const AddressFooters& footers, int32_t defaultAzaMode, char* message) {
  return RunGuarded(FileSink(resultFile), {prefecture, address, dataFolder, maxRows, stopFlag,
                                           &footers, defaultAzaMode, message, false});
}
