#include "tool/keyword_search.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "common/allocation_guard.h"
#include "common/file_access.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/number_parse.h"
#include "common/path_util.h"
#include "common/record_array.h"
#include "common/record_stack.h"
#include "common/sjis_text.h"
#include "matching/dictionary_loaders.h"
#include "matching/match_driver.h"
#include "matching/match_entries.h"
#include "matching/normalize.h"
#include "matching/result_channel.h"
#include "plat/file.h"
#include "plat/path.h"
#include "tabledb/change_code_index.h"
#include "tabledb/change_history.h"
#include "tabledb/dictionaries.h"
#include "tabledb/name_index.h"
#include "tabledb/place_code_registry.h"
#include "tool/keyword_numbers.h"
#include "tool/keyword_rows.h"
#include "tool/result_sink.h"

namespace {

constexpr const char* kInvalidParameter = kMsgInvalidParameter;
constexpr const char* kFileOpenError = kMsgFileOpen;
constexpr const char* kNoData = kMsgNoTargetData;
constexpr char kNoTempFolder[] = "作業用フォルダの取得に失敗しました！";
constexpr char kNoTempFile[] = "作業用ファイルの取得に失敗しました！";
constexpr const char* kRegistryInitError = kMsgMemory;
constexpr char kDatumParameterFile[] = "TKY2JGD.PAR";
constexpr char kFullWidthBlank[] = "　";
constexpr char kOazaWord[] = "大字";
constexpr int kOrderLineSize = 512;

std::string g_dataset = "VRG_BASIC";

// Every full-width blank of the text turned into " " (whole characters).
std::string FullWidthBlanksToBlanks(const char* text) {
  std::string out;
  for (const char* p = text; *p;) {
    const unsigned char b = static_cast<unsigned char>(*p);
    const int len = ((b >= 0x81 && b <= 0x9F) || b >= 0xE0) && p[1] != '\0' ? 2 : 1;
    if (len == 2 && std::memcmp(p, kFullWidthBlank, 2) == 0)
      out += ' ';
    else
      out.append(p, static_cast<std::size_t>(len));
    p += len;
  }
  return out;
}

// The text without its leading and trailing ASCII blanks.
std::string TrimmedCopy(const std::string& text) {
  std::size_t b = 0;
  std::size_t e = text.size();
  while (b < e && text[b] == ' ') ++b;
  while (e > b && text[e - 1] == ' ') --e;
  return text.substr(b, e - b);
}

// NormalizeSearchWords on a text of any length.
void NormalizeWords(CCharDictionary* unification, CRecordList* replacements, std::string* text) {
  std::vector<char> buffer(text->size() * 4 + 1024, '\0');
  std::memcpy(buffer.data(), text->data(), text->size());
  NormalizeSearchWords(unification, replacements, buffer.data(), buffer.size());
  *text = buffer.data();
}

// Removes the work file however the prefecture's stages end, memory
// running out included: by its native name, taken when the object is made,
// with nothing allocated while a failure unwinds.
class WorkFile {
 public:
  explicit WorkFile(std::string path) : path_(std::move(path)) {
    // The entry for this purpose: without the native name the file is
    // removed by its own name (see the destructor).
    CatchAllocationFailure(0, [&] {
      if (!plat::path::ToNative(path_.c_str(), native_)) native_.clear();
      return 0;
    });
  }
  ~WorkFile() {
    if (!native_.empty()) {
      plat::File::RemoveRegularNativeWithoutMemory(native_.c_str());
      return;
    }
    // A destructor lets no failure out: a file that cannot be looked for
    // for want of memory stays.
    CatchAllocationFailure(0, [&] { return DeleteFileIfExists(path_.c_str()); });
  }
  WorkFile(const WorkFile&) = delete;
  WorkFile& operator=(const WorkFile&) = delete;
  const char* Path() const { return path_.c_str(); }
  void Remove() const { DeleteFileIfExists(path_.c_str()); }

 private:
  std::string path_;
  std::string native_;
};

std::string PrefectureFile(const std::string& folder, int32_t prefecture, const char* tail) {
  return NumberedFilePath(folder, (std::string("QVAD%02d") + tail).c_str(), prefecture);
}

// One prefecture's stages; the row count so far, or a negative value.
struct PrefectureSearch {
  KeywordStageArgs args;
  std::string key;
  std::string cityIndexSif, oazaIndexSif, cd2, cd4, cd5;

  // The name-index search into the work file; false (message set) on failure.
  bool IndexSearch(const WorkFile& work, const std::string& index) const {
    return SearchNameIndexToFile(work.Path(), key.c_str(), args.databasePath, index.c_str(),
                                 kNameIndexCharacterPair, kNameIndexAllWords, args.message) != 0;
  }

  // Municipality stage (with the oaza filter unless filter is false), then
  // for representative 1 or 0 the oaza stage. 1 go on, 0 stop (interrupted),
  // -1 failure.
  int Run(const WorkFile& work, bool filter, int32_t representative) const {
    if (!IndexSearch(work, cityIndexSif)) return -1;
    int result = WriteMunicipalityHitsFromFile(work.Path(), filter ? cd5.c_str() : "", args);
    if (result < 0) return -1;
    if (*args.interrupted == 1) return 0;
    if (representative < 0) return 1;
    if (!IndexSearch(work, oazaIndexSif)) return -1;
    result = WriteOazaHitsFromFile(work.Path(), representative, cd2.c_str(), args);
    if (result < 0) return -1;
    return *args.interrupted == 1 ? 0 : 1;
  }
};

std::string ChangeFile(const std::string& folder, int32_t prefecture, const char* extension) {
  return NumberedFilePath(folder, (std::string("QAD_CH%02d") + extension).c_str(), prefecture);
}

// The stage sequences of search types 3 and 4 for one prefecture; each
// answers 1 go on, 0 stop (interrupted), -1 failure.
struct NumberStages {
  const PrefectureSearch& s;
  const WorkFile& work;
  const std::vector<std::string>& words;
  CPlaceCodeRegistry* registryA;
  CPlaceCodeRegistry* registryB;
  CPlaceCodeRegistry* registryC;

  // The words without word n (and without word m), then the extra text.
  std::string WordsWithout(int n, int m = 0, const std::string& extra = "") const {
    std::string out;
    for (std::size_t i = 0; i < words.size(); ++i) {
      const int w = static_cast<int>(i) + 1;
      if (w == n || w == m) continue;
      if (!out.empty()) out += ' ';
      out += words[i];
    }
    if (!extra.empty()) (out += ' ') += extra;
    return out;
  }

  // Index search in the oaza index with the words' key, then the stage
  // (block or change) with those words. 1 also when the key is empty.
  template <typename Stage>
  int Call(const std::string& callWords, bool keyNeeded, Stage stage) const {
    PrefectureSearch call = s;
    call.args.words = callWords.c_str();
    BuildIndexKey(call.key, callWords.c_str(), s.args.prefectureRestriction,
                  s.args.municipalityRestriction);
    if (keyNeeded && TrimmedCopy(call.key).empty()) return 1;
    if (!call.IndexSearch(work, s.oazaIndexSif)) return -1;
    const int result = stage(call.args);
    if (result < 0) return -1;
    return *s.args.interrupted == 1 ? 0 : 1;
  }

  // The call of a number stage with the numbers n.
  auto Stage(decltype(&WriteBlockHitsFromFile) stage, const KeywordNumberArgs& n) const {
    return [this, stage, n](const KeywordStageArgs& args) {
      return stage(work.Path(), s.cd2.c_str(), s.cd4.c_str(), args, n);
    };
  }

  int Blocks(const BlockNumberWords& numbers, const std::string& cdiPath) const {
    CChangeCodeIndex codeIndex;
    char scratch[kMessageSize];
    if (s.args.context->GetIndexKind() == 2 && s.args.context->UsesChangeHistory())
      codeIndex.Open(cdiPath.c_str(), scratch);
    KeywordNumberArgs base;
    base.registryA = registryA;
    base.registryC = registryC;
    base.codeIndex = codeIndex.IsOpen() ? &codeIndex : nullptr;
    int r = s.Run(work, true, -1);
    if (r <= 0) return r;
    auto block = [&](const KeywordNumberArgs& n) { return Stage(WriteBlockHitsFromFile, n); };
    r = Call(WordsWithout(0), false, block(base));
    if (r <= 0) return r;
    base.firstCall = 0;
    if (numbers.hyphenWord != 0) {
      KeywordNumberArgs n = base;
      const std::string value = FullWidthNumber(numbers.hyphenValue);
      n.azaText = numbers.hyphenHead.c_str();
      n.blockNumber = value.c_str();
      n.numberMode = 1;
      return Call(WordsWithout(numbers.hyphenWord, 0, numbers.hyphenHead), true, block(n));
    }
    for (const auto& numeral : numbers.numerals) {
      KeywordNumberArgs n = base;
      const std::string value = FullWidthNumber(numeral.value);
      n.blockNumber = value.c_str();
      r = Call(WordsWithout(numeral.word), true, block(n));
      work.Remove();
      if (r <= 0) return r;
    }
    for (const auto& trailing : numbers.trailing) {
      KeywordNumberArgs n = base;
      const std::string head =
          words[static_cast<std::size_t>(trailing.word - 1)].substr(0, trailing.headLength);
      const std::string value = FullWidthNumber(trailing.value);
      n.azaText = head.c_str();
      n.blockNumber = value.c_str();
      n.numberMode = 1;
      r = Call(WordsWithout(trailing.word, 0, head), true, block(n));
      if (r <= 0) return r;
    }
    return 1;
  }

  int Changes(const ChangeNumberWords& numbers, const std::string& cdb, const std::string& cix,
              const std::string& cdi) const {
    if (!s.args.context->UsesChangeHistory()) return 1;
    CChangeHistory history;
    CChangeCodeIndex codeIndex;
    char scratch[kMessageSize];
    history.Open(cdb.c_str(), cix.c_str(), scratch);
    if (!history.IsOpen() || s.args.context->GetIndexKind() == 2)
      codeIndex.Open(cdi.c_str(), scratch);
    if (!history.IsOpen() && !codeIndex.IsOpen()) return 1;
    KeywordNumberArgs base;
    base.registryA = registryA;
    base.registryC = registryC;
    base.history = history.IsOpen() ? &history : nullptr;
    base.codeIndex = codeIndex.IsOpen() ? &codeIndex : nullptr;
    base.numberMode = 2;
    int r = s.Run(work, true, -1);
    work.Remove();
    if (r <= 0) return r;
    auto change = [&](const KeywordNumberArgs& n) { return Stage(WriteChangeHitsFromFile, n); };
    r = Call(WordsWithout(0), false, change(base));
    if (r <= 0) return r;
    base.firstCall = 0;
    if (numbers.hyphenCount == 0) return MarkedWords(base, history, change);
    if (numbers.hyphenCount == 2) {
      KeywordNumberArgs n = base;
      n.azaText = numbers.head.c_str();
      n.firstNumber = numbers.first.c_str();
      n.secondNumber = numbers.second.c_str();
      n.numberMode = 3;
      r = Call(WordsWithout(numbers.word, 0, numbers.head), false, change(n));
      work.Remove();
      return r;
    }
    KeywordNumberArgs a = base;
    a.azaText = numbers.head.c_str();
    a.firstNumber = numbers.first.c_str();
    a.numberMode = 4;
    r = Call(WordsWithout(numbers.word, 0, numbers.head), true, change(a));
    if (r <= 0) return r;
    KeywordNumberArgs b = base;
    b.firstNumber = numbers.head.c_str();
    b.secondNumber = numbers.first.c_str();
    b.numberMode = 5;
    return Call(WordsWithout(numbers.word), true, change(b));
  }

  // Hyphen count 0: the words that can be a first or a second number name.
  template <typename Change>
  int MarkedWords(const KeywordNumberArgs& base, CChangeHistory& history, Change change) const {
    std::vector<int> marks(words.size(), 0);
    std::vector<std::string> numbers(words.size());
    for (std::size_t i = 0; i < words.size(); ++i) {
      if (history.IsOpen()) {
        if (history.IsFirstNumberName(words[i].c_str())) marks[i] |= 1;
        if (history.IsSecondNumberName(words[i].c_str())) marks[i] |= 2;
      }
      const int32_t value = NumeralWordValue(words[i]);
      numbers[i] = value >= 0 ? FullWidthNumber(value) : words[i];
    }
    KeywordNumberArgs withB = base;
    withB.registryB = registryB;
    for (std::size_t i = 0; i < words.size(); ++i) {
      if (marks[i] == 0) continue;
      bool seen = false;
      for (std::size_t j = 0; j < i; ++j) seen = seen || (marks[j] != 0 && words[j] == words[i]);
      if (seen) continue;
      const int word = static_cast<int>(i) + 1;
      for (const int bit : {1, 2}) {
        if ((marks[i] & bit) == 0) continue;
        KeywordNumberArgs n = withB;
        (bit == 1 ? n.firstNumber : n.secondNumber) = numbers[i].c_str();
        const int r = Call(WordsWithout(word), true, change(n));
        if (r <= 0) return r;
      }
    }
    for (std::size_t i = 0; i < words.size(); ++i) {
      for (std::size_t j = i + 1; j < words.size(); ++j) {
        const int wi = static_cast<int>(i) + 1, wj = static_cast<int>(j) + 1;
        KeywordNumberArgs n = withB;
        if ((marks[i] & 1) && (marks[j] & 2)) {
          n.firstNumber = numbers[i].c_str();
          n.secondNumber = numbers[j].c_str();
        } else if ((marks[j] & 1) && (marks[i] & 2) && numbers[i] != numbers[j]) {
          n.firstNumber = numbers[j].c_str();
          n.secondNumber = numbers[i].c_str();
        } else {
          continue;
        }
        const int r = Call(WordsWithout(wi, wj), true, change(n));
        if (r <= 0) return r;
      }
    }
    return 1;
  }
};

}  // namespace

// ---- Work files ----

bool NameWorkFileBySystem(const char* tempFolder, int32_t /*prefecture*/, std::string* out) {
  return plat::path::MakeTempFileName(tempFolder, "ZUB", *out);
}

bool NameWorkFileByPrefecture(const char* tempFolder, int32_t prefecture, std::string* out) {
  *out = NumberedFilePath(tempFolder, "QVAD%02d.#W#", prefecture);
  return true;
}

// ---- Helpers ----

int LoadPrefectureOrder(const char* fileName, int32_t order[48], char* message) {
  for (int32_t i = 0; i <= 47; ++i) order[i] = i;
  if (!fileName || !*fileName) return 1;
  plat::File file;
  if (!OpenTextFileForRead(&file, fileName)) {
    SetMessage(message, kFileOpenError, fileName);
    return 0;
  }
  bool listed[48] = {};
  int next = 1;
  std::string line;
  while (file.ReadString(line)) {
    if (line.size() > kOrderLineSize) line.resize(kOrderLineSize);
    int32_t p = 0;
    if (!ParseIntInRange(line.c_str(), &p, 1, 47) || listed[p]) continue;
    listed[p] = true;
    order[next++] = p;
  }
  for (int32_t p = 1; p <= 47; ++p) {
    if (!listed[p]) order[next++] = p;
  }
  return 1;
}

std::string& BuildIndexKey(std::string& out, const char* words, const char* /*prefecture*/,
                           const char* municipalityRestriction) {
  std::vector<std::string> parts = SplitKeywordWords(words);
  if (parts.empty()) parts = SplitKeywordWords(municipalityRestriction);
  out.clear();
  for (const std::string& part : parts) {
    if (!out.empty()) out += ' ';
    out += part;
  }
  return out;
}

std::string& RemoveWordAt(const char* text, int n, std::string& out) {
  const std::vector<std::string> words = SplitKeywordWords(text);
  out.clear();
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (static_cast<int>(i) + 1 == n) continue;
    if (!out.empty()) out += ' ';
    out += words[i];
  }
  return out;
}

int DeleteFileIfExists(const char* path) {
  if (!path || !plat::path::PathExists(path)) return 1;
  return RemoveFile(path);
}

// ---- Driver ----

namespace {

// The search words and the two restriction texts as the stages take them
// (full-width blanks turned into blanks, normalized), and whether they are
// read as kana.
struct KeywordTexts {
  std::string words;
  std::string prefecture;
  std::string municipality;
  int32_t kana = 1;

  bool Empty() const {
    return TrimmedCopy(words).empty() && TrimmedCopy(prefecture).empty() &&
           TrimmedCopy(municipality).empty();
  }
};

// The work file of one prefecture's stages, named in the temporary
// folder; false (message set) when there is none.
bool NameWorkFile(KeywordWorkFileNamer namer, int32_t prefecture, std::string* name,
                  char* message) {
  std::string temp;
  if (!plat::path::TempFolder(temp)) {
    SetMessage(message, kNoTempFolder);
    return false;
  }
  if (temp.empty() || temp.back() != '\\') temp += '\\';
  if (!namer || !namer(temp.c_str(), prefecture, name)) {
    SetMessage(message, kNoTempFile);
    return false;
  }
  return true;
}

// The stages of the search type for one prefecture (whose key is set):
// 1 go on, 0 stop (interrupted), -1 failure.
struct TypeStages {
  int32_t searchType;
  const std::string& folder;
  const std::vector<std::string>& words;
  const BlockNumberWords& blockNumbers;
  const ChangeNumberWords& changeNumbers;
  CPlaceCodeRegistry* registries;  // three
  char* message;

  int Run(PrefectureSearch& s, const WorkFile& work, int32_t p) const {
    if (searchType <= 2)
      return searchType == 0 ? s.Run(work, false, -1) : s.Run(work, true, searchType == 1 ? 1 : 0);
    if (!registries[0].ResetBuckets() || (searchType == 4 && !registries[1].ResetBuckets())) {
      SetMessage(message, kRegistryInitError, "地名コード登録初期化");
      return -1;
    }
    s.cd4 = PrefectureFile(folder, p, "_CD4.INX");
    NumberStages stages{s, work, words, &registries[0], &registries[1], &registries[2]};
    if (searchType == 3) return stages.Blocks(blockNumbers, ChangeFile(folder, p, ".CDI"));
    return stages.Changes(changeNumbers, ChangeFile(folder, p, ".CDB"),
                          ChangeFile(folder, p, ".CIX"), ChangeFile(folder, p, ".CDI"));
  }
};

}  // namespace

int SearchByKeyword(const char* searchText, const char* dataFolder, CAdrsContext* context,
                    int32_t searchType, CCharDictionary* unification, CRecordList* replacements,
                    int32_t rowLimit, int32_t* interrupted, char* message,
                    const char* prefectureRestriction, const char* municipalityRestriction,
                    int32_t restrictionMode, const char* prefectureOrderFile,
                    KeywordWorkFileNamer namer) {
  if (searchType < 0 || searchType > 4) return 0;
  KeywordTexts t;
  if (restrictionMode == 1) {
    t.prefecture = FullWidthBlanksToBlanks(prefectureRestriction ? prefectureRestriction : "");
    t.municipality =
        FullWidthBlanksToBlanks(municipalityRestriction ? municipalityRestriction : "");
  }
  const std::string text = searchText ? searchText : "";
  if (context->GetOutputStyle() == 2) {
    std::string whole = FullWidthBlanksToBlanks((t.prefecture + t.municipality + text).c_str());
    std::string compact;
    for (char c : whole)
      if (c != ' ') compact += c;
    if (!CheckSearchTextKind(context, compact.c_str())) return 0;
  }
  int32_t order[48];
  if (!LoadPrefectureOrder(prefectureOrderFile, order, message)) return -1;

  t.words = FullWidthBlanksToBlanks(text.c_str());
  for (std::string* part : {&t.words, &t.prefecture, &t.municipality}) {
    if (TrimmedCopy(*part).empty()) continue;
    if (!IsKanaReadingText(part->c_str())) t.kana = 0;
    NormalizeWords(unification, replacements, part);
  }
  int32_t kind = 0;
  if (context->GetOutputStyle() == 2 && context->GetSearchTextKind(&kind))
    t.kana = kind == 1 ? 0 : 1;
  if (t.Empty()) return 0;
  const std::vector<std::string> wordList = SplitKeywordWords(t.words.c_str());
  const BlockNumberWords blockNumbers = AnalyzeBlockNumbers(wordList);
  const ChangeNumberWords changeNumbers = AnalyzeChangeNumbers(wordList);
  CPlaceCodeRegistry registries[3];

  const std::string folder = dataFolder ? dataFolder : "";
  const TypeStages stages{searchType,    folder,     wordList, blockNumbers,
                          changeNumbers, registries, message};
  int32_t counter = 0;
  *interrupted = 0;
  for (int i = 1; i <= 47; ++i) {
    const int32_t p = order[i];
    const std::string database = PrefectureFile(folder, p, ".NDB");
    if (!FileExists(database.c_str())) continue;
    std::string workName;
    if (!NameWorkFile(namer, p, &workName, message)) return -1;
    const WorkFile work(workName);

    PrefectureSearch s;
    s.args.context = context;
    s.args.databasePath = database.c_str();
    s.args.unification = unification;
    s.args.replacements = replacements;
    s.args.counter = &counter;
    s.args.limit = rowLimit;
    s.args.interrupted = interrupted;
    s.args.message = message;
    s.args.prefectureRestriction = t.prefecture.c_str();
    s.args.municipalityRestriction = t.municipality.c_str();
    s.args.words = t.words.c_str();
    s.args.kana = t.kana;
    s.args.restrictionMode = restrictionMode;
    s.cityIndexSif = PrefectureFile(folder, p, t.kana ? "_HSHI.SIF" : "_SHI.SIF");
    s.oazaIndexSif = PrefectureFile(folder, p, t.kana ? "_HOAZA.SIF" : "_OAZA.SIF");
    s.cd2 = PrefectureFile(folder, p, "_CD2.INX");
    s.cd5 = PrefectureFile(folder, p, "_CD5.INX");
    BuildIndexKey(s.key, t.words.c_str(), t.prefecture.c_str(), t.municipality.c_str());
    if (TrimmedCopy(s.key).empty()) continue;

    const int result = stages.Run(s, work, p);
    if (result < 0) return -1;
    if (result == 0) return counter;
  }
  return counter;
}

// ---- Entry core ----

int KeywordSearchCore(CAdrsContext* context, int32_t searchType, char* searchText,
                      const char* dataFolder, int32_t rowLimit, int32_t* interrupted, char* message,
                      const char* prefectureRestriction, const char* municipalityRestriction,
                      int32_t restrictionMode, const char* datasetName,
                      const char* prefectureOrderFile) {
  if (!searchText || std::strlen(searchText) > static_cast<std::size_t>(kKeywordTextMaxLength)) {
    SetMessage(message, kInvalidParameter, "検索文字列");
    return 0;
  }
  if (!interrupted) {
    SetMessage(message, kInvalidParameter, "検索中断フラグ");
    return 0;
  }
  *interrupted = 0;
  const char* prefR = prefectureRestriction ? prefectureRestriction : "";
  const char* cityR = municipalityRestriction ? municipalityRestriction : "";
  if (std::strlen(prefR) > static_cast<std::size_t>(kKeywordTextMaxLength) ||
      std::strlen(cityR) > static_cast<std::size_t>(kKeywordTextMaxLength)) {
    SetMessage(message, kInvalidParameter, "検索文字列");
    return 0;
  }
  const std::string folder = FolderWithBackslash(dataFolder);

  SearchDictionaries d;
  if (!d.Load(folder, message)) return 0;
  PrepareContextForDataset(context, datasetName, folder.c_str());

  int result = SearchByKeyword(searchText, folder.c_str(), context, searchType, &d.unification,
                               &d.replacements, rowLimit, interrupted, message, prefR, cityR,
                               restrictionMode, prefectureOrderFile);
  if (result < 0) return 0;
  if (result == 0 && FindSubstring(kOazaWord, searchText) != 0) {
    ReplaceAll(searchText, kOazaWord, "", std::strlen(searchText) + 1);
    result = SearchByKeyword(searchText, folder.c_str(), context, searchType, &d.unification,
                             &d.replacements, rowLimit, interrupted, message, prefR, cityR,
                             restrictionMode, prefectureOrderFile);
    if (result < 0) return 0;
  }
  if (result > 0) {
    if (message) message[0] = '\0';
    return 1;
  }
  SetMessage(message, kNoData, searchText);
  return 0;
}

int KeywordSearchWithOptions(CAdrsContext* context, int32_t searchType, char* searchText,
                             const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                             char* message, const char* prefectureRestriction,
                             const char* municipalityRestriction, int32_t restrictionMode,
                             const char* datasetName, int32_t searchTextKind, int32_t datum,
                             int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                             int32_t readingFormat, const char* prefectureOrderFile) {
  if (!SetOutputOptions(context, message, searchTextKind, datum, coordinateFormat, chomeFormat,
                        numberFormat, readingFormat))
    return 0;
  context->SetOutputStyle(2);
  context->SetDatumParameterFile((FolderWithBackslash(dataFolder) + kDatumParameterFile).c_str());
  return KeywordSearchCore(context, searchType, searchText, dataFolder, rowLimit, interrupted,
                           message, prefectureRestriction, municipalityRestriction, restrictionMode,
                           datasetName, prefectureOrderFile);
}

// ---- Entries ----

namespace {

// Everything a keyword search takes. Every entry fills it from its own
// arguments; the short forms leave what they do not take as it stands (no
// restriction, the dataset set by SetKeywordSearchDataset, no prefecture
// order file, the context's output options as they are).
struct KeywordQuery {
  int32_t searchType = 0;
  char* searchText = nullptr;
  const char* dataFolder = nullptr;
  int32_t rowLimit = 0;
  int32_t* interrupted = nullptr;
  char* message = nullptr;
  const char* prefectureRestriction = "";
  const char* municipalityRestriction = "";
  int32_t restrictionMode = 0;
  const char* datasetName = GetKeywordSearchDataset();
  const char* prefectureOrderFile = "";
  // The six output options, set first (and checked) when withOptions.
  bool withOptions = false;
  int32_t searchTextKind = 0;
  int32_t datum = 0;
  int32_t coordinateFormat = 0;
  int32_t chomeFormat = 0;
  int32_t numberFormat = 0;
  int32_t readingFormat = 0;

  KeywordQuery(int32_t type, char* text, const char* folder, int32_t limit, int32_t* flag,
               char* msg)
      : searchType(type),
        searchText(text),
        dataFolder(folder),
        rowLimit(limit),
        interrupted(flag),
        message(msg) {}

  KeywordQuery& Restricted(const char* prefecture, const char* municipality, int32_t mode = 1) {
    prefectureRestriction = prefecture;
    municipalityRestriction = municipality;
    restrictionMode = mode;
    return *this;
  }
  KeywordQuery& Dataset(const char* name, const char* orderFile) {
    datasetName = name;
    prefectureOrderFile = orderFile;
    return *this;
  }
  KeywordQuery& Ordered(const char* orderFile) { return Dataset(datasetName, orderFile); }
  KeywordQuery& Options(int32_t kind, int32_t outDatum, int32_t coordinate, int32_t chome,
                        int32_t number, int32_t reading) {
    withOptions = true;
    searchTextKind = kind;
    datum = outDatum;
    coordinateFormat = coordinate;
    chomeFormat = chome;
    numberFormat = number;
    readingFormat = reading;
    return *this;
  }
};

// The one run of every entry: the query's search into the sink.
int RunKeywordSearch(ResultSink&& sink, const KeywordQuery& q) {
  return RunOnSink(sink, q.message, [&q](CAdrsContext* context) {
    if (!q.withOptions) {
      return KeywordSearchCore(context, q.searchType, q.searchText, q.dataFolder, q.rowLimit,
                               q.interrupted, q.message, q.prefectureRestriction,
                               q.municipalityRestriction, q.restrictionMode, q.datasetName,
                               q.prefectureOrderFile);
    }
    return KeywordSearchWithOptions(context, q.searchType, q.searchText, q.dataFolder, q.rowLimit,
                                    q.interrupted, q.message, q.prefectureRestriction,
                                    q.municipalityRestriction, q.restrictionMode, q.datasetName,
                                    q.searchTextKind, q.datum, q.coordinateFormat, q.chomeFormat,
                                    q.numberFormat, q.readingFormat, q.prefectureOrderFile);
  });
}

}  // namespace

int KeywordSearchPlainToFile(const char* resultFile, int32_t searchType, char* searchText,
                             const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                             char* message, const char* prefectureRestriction,
                             const char* municipalityRestriction, int32_t restrictionMode,
                             const char* datasetName, const char* prefectureOrderFile) {
  KeywordQuery q(searchType, searchText, dataFolder, rowLimit, interrupted, message);
  q.Restricted(prefectureRestriction, municipalityRestriction, restrictionMode)
      .Dataset(datasetName, prefectureOrderFile);
  return RunKeywordSearch(FileSink(resultFile), q);
}
int KeywordSearchPlainToArray(CStringArray* array, int32_t searchType, char* searchText,
                              const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                              char* message, const char* prefectureRestriction,
                              const char* municipalityRestriction, int32_t restrictionMode,
                              const char* datasetName, const char* prefectureOrderFile) {
  KeywordQuery q(searchType, searchText, dataFolder, rowLimit, interrupted, message);
  q.Restricted(prefectureRestriction, municipalityRestriction, restrictionMode)
      .Dataset(datasetName, prefectureOrderFile);
  return RunKeywordSearch(ArraySink(array), q);
}
int KeywordSearchPlainToBuffer(char* buffer, int32_t bufferSize, int32_t searchType,
                               char* searchText, const char* dataFolder, int32_t rowLimit,
                               int32_t* interrupted, char* message,
                               const char* prefectureRestriction,
                               const char* municipalityRestriction, int32_t restrictionMode,
                               const char* datasetName, const char* prefectureOrderFile) {
  KeywordQuery q(searchType, searchText, dataFolder, rowLimit, interrupted, message);
  q.Restricted(prefectureRestriction, municipalityRestriction, restrictionMode)
      .Dataset(datasetName, prefectureOrderFile);
  return RunKeywordSearch(BufferSink(buffer, bufferSize), q);
}

int KeywordSearchToFile(const char* resultFile, int32_t searchType, char* searchText,
                        const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                        char* message, const char* prefectureRestriction,
                        const char* municipalityRestriction, int32_t restrictionMode,
                        const char* datasetName, int32_t searchTextKind, int32_t datum,
                        int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                        int32_t readingFormat, const char* prefectureOrderFile) {
  KeywordQuery q(searchType, searchText, dataFolder, rowLimit, interrupted, message);
  q.Restricted(prefectureRestriction, municipalityRestriction, restrictionMode)
      .Dataset(datasetName, prefectureOrderFile)
      .Options(searchTextKind, datum, coordinateFormat, chomeFormat, numberFormat, readingFormat);
  return RunKeywordSearch(FileSink(resultFile), q);
}
int KeywordSearchToArray(CStringArray* array, int32_t searchType, char* searchText,
                         const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                         char* message, const char* prefectureRestriction,
                         const char* municipalityRestriction, int32_t restrictionMode,
                         const char* datasetName, int32_t searchTextKind, int32_t datum,
                         int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                         int32_t readingFormat, const char* prefectureOrderFile) {
  KeywordQuery q(searchType, searchText, dataFolder, rowLimit, interrupted, message);
  q.Restricted(prefectureRestriction, municipalityRestriction, restrictionMode)
      .Dataset(datasetName, prefectureOrderFile)
      .Options(searchTextKind, datum, coordinateFormat, chomeFormat, numberFormat, readingFormat);
  return RunKeywordSearch(ArraySink(array), q);
}
int KeywordSearchToBuffer(char* buffer, int32_t bufferSize, int32_t searchType, char* searchText,
                          const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                          char* message, const char* prefectureRestriction,
                          const char* municipalityRestriction, int32_t restrictionMode,
                          const char* datasetName, int32_t searchTextKind, int32_t datum,
                          int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                          int32_t readingFormat, const char* prefectureOrderFile) {
  KeywordQuery q(searchType, searchText, dataFolder, rowLimit, interrupted, message);
  q.Restricted(prefectureRestriction, municipalityRestriction, restrictionMode)
      .Dataset(datasetName, prefectureOrderFile)
      .Options(searchTextKind, datum, coordinateFormat, chomeFormat, numberFormat, readingFormat);
  return RunKeywordSearch(BufferSink(buffer, bufferSize), q);
}

void SetKeywordSearchDataset(const char* datasetName) {
  g_dataset = datasetName ? datasetName : "";
}
const char* GetKeywordSearchDataset() { return g_dataset.c_str(); }

int SimpleKeywordSearchPlainToFile(const char* resultFile, int32_t searchType, char* searchText,
                                   const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                                   char* message) {
  return RunKeywordSearch(FileSink(resultFile), KeywordQuery(searchType, searchText, dataFolder,
                                                             rowLimit, interrupted, message));
}
int SimpleKeywordSearchPlainToArray(CStringArray* array, int32_t searchType, char* searchText,
                                    const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                                    char* message) {
  return RunKeywordSearch(ArraySink(array), KeywordQuery(searchType, searchText, dataFolder,
                                                         rowLimit, interrupted, message));
}
int SimpleKeywordSearchPlainToBuffer(char* buffer, int32_t bufferSize, int32_t searchType,
                                     char* searchText, const char* dataFolder, int32_t rowLimit,
                                     int32_t* interrupted, char* message) {
  return RunKeywordSearch(
      BufferSink(buffer, bufferSize),
      KeywordQuery(searchType, searchText, dataFolder, rowLimit, interrupted, message));
}
int SimpleKeywordSearchToFile(const char* resultFile, int32_t searchType, char* searchText,
                              const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                              char* message, int32_t searchTextKind, int32_t datum,
                              int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                              int32_t readingFormat) {
  KeywordQuery q(searchType, searchText, dataFolder, rowLimit, interrupted, message);
  q.Options(searchTextKind, datum, coordinateFormat, chomeFormat, numberFormat, readingFormat);
  return RunKeywordSearch(FileSink(resultFile), q);
}
int SimpleKeywordSearchToArray(CStringArray* array, int32_t searchType, char* searchText,
                               const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                               char* message, int32_t searchTextKind, int32_t datum,
                               int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                               int32_t readingFormat) {
  KeywordQuery q(searchType, searchText, dataFolder, rowLimit, interrupted, message);
  q.Options(searchTextKind, datum, coordinateFormat, chomeFormat, numberFormat, readingFormat);
  return RunKeywordSearch(ArraySink(array), q);
}
int SimpleKeywordSearchToBuffer(char* buffer, int32_t bufferSize, int32_t searchType,
                                char* searchText, const char* dataFolder, int32_t rowLimit,
                                int32_t* interrupted, char* message, int32_t searchTextKind,
                                int32_t datum, int32_t coordinateFormat, int32_t chomeFormat,
                                int32_t numberFormat, int32_t readingFormat) {
  KeywordQuery q(searchType, searchText, dataFolder, rowLimit, interrupted, message);
  q.Options(searchTextKind, datum, coordinateFormat, chomeFormat, numberFormat, readingFormat);
  return RunKeywordSearch(BufferSink(buffer, bufferSize), q);
}

int OrderedKeywordSearchToFile(const char* resultFile, int32_t searchType, char* searchText,
                               const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                               char* message, int32_t searchTextKind, int32_t datum,
                               int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                               int32_t readingFormat, const char* prefectureOrderFile) {
  KeywordQuery q(searchType, searchText, dataFolder, rowLimit, interrupted, message);
  q.Ordered(prefectureOrderFile)
      .Options(searchTextKind, datum, coordinateFormat, chomeFormat, numberFormat, readingFormat);
  return RunKeywordSearch(FileSink(resultFile), q);
}
int OrderedKeywordSearchToArray(CStringArray* array, int32_t searchType, char* searchText,
                                const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                                char* message, int32_t searchTextKind, int32_t datum,
                                int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                                int32_t readingFormat, const char* prefectureOrderFile) {
  KeywordQuery q(searchType, searchText, dataFolder, rowLimit, interrupted, message);
  q.Ordered(prefectureOrderFile)
      .Options(searchTextKind, datum, coordinateFormat, chomeFormat, numberFormat, readingFormat);
  return RunKeywordSearch(ArraySink(array), q);
}
int OrderedKeywordSearchToBuffer(char* buffer, int32_t bufferSize, int32_t searchType,
                                 char* searchText, const char* dataFolder, int32_t rowLimit,
                                 int32_t* interrupted, char* message, int32_t searchTextKind,
                                 int32_t datum, int32_t coordinateFormat, int32_t chomeFormat,
                                 int32_t numberFormat, int32_t readingFormat,
                                 const char* prefectureOrderFile) {
  KeywordQuery q(searchType, searchText, dataFolder, rowLimit, interrupted, message);
  q.Ordered(prefectureOrderFile)
      .Options(searchTextKind, datum, coordinateFormat, chomeFormat, numberFormat, readingFormat);
  return RunKeywordSearch(BufferSink(buffer, bufferSize), q);
}

// The restricted forms take the two texts with restriction mode 1.
int RestrictedKeywordSearchPlainToFile(const char* resultFile, int32_t searchType, char* searchText,
                                       const char* dataFolder, int32_t rowLimit,
                                       int32_t* interrupted, char* message,
                                       const char* prefectureRestriction,
                                       const char* municipalityRestriction) {
  KeywordQuery q(searchType, searchText, dataFolder, rowLimit, interrupted, message);
  return RunKeywordSearch(FileSink(resultFile),
                          q.Restricted(prefectureRestriction, municipalityRestriction));
}
int RestrictedKeywordSearchPlainToArray(CStringArray* array, int32_t searchType, char* searchText,
                                        const char* dataFolder, int32_t rowLimit,
                                        int32_t* interrupted, char* message,
                                        const char* prefectureRestriction,
                                        const char* municipalityRestriction) {
  KeywordQuery q(searchType, searchText, dataFolder, rowLimit, interrupted, message);
  return RunKeywordSearch(ArraySink(array),
                          q.Restricted(prefectureRestriction, municipalityRestriction));
}
int RestrictedKeywordSearchPlainToBuffer(char* buffer, int32_t bufferSize, int32_t searchType,
                                         char* searchText, const char* dataFolder, int32_t rowLimit,
                                         int32_t* interrupted, char* message,
                                         const char* prefectureRestriction,
                                         const char* municipalityRestriction) {
  KeywordQuery q(searchType, searchText, dataFolder, rowLimit, interrupted, message);
  return RunKeywordSearch(BufferSink(buffer, bufferSize),
                          q.Restricted(prefectureRestriction, municipalityRestriction));
}
