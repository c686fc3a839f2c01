#include "tool/keyword_numbers.h"

#include <cstdio>
#include <cstring>
#include <set>

#include "common/code_parse.h"
#include "common/file_access.h"
#include "common/kanji_numeral.h"
#include "common/le_bytes.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/number_parse.h"
#include "common/sjis_internal.h"
#include "common/sjis_text.h"
#include "common/width_kana.h"
#include "matching/adrs_context.h"
#include "matching/adrs_listing.h"
#include "matching/change_code_records.h"
#include "matching/normalize.h"
#include "matching/result_format.h"
#include "tabledb/change_code_index.h"
#include "tabledb/change_history.h"
#include "tabledb/place_code_registry.h"
#include "tabledb/table_database.h"
#include "tabledb/table_names.h"

using sjis_internal::CharLen;

namespace {

constexpr const char* kOazaTable = kTableOaza;
constexpr const char* kBlockTable = kTableBlock;
constexpr char kPlaceCode[] = "地名コード";
constexpr char kBlockCode[] = "街区番号コード";
constexpr char kBlockNumber[] = "街区番号";
constexpr char kStatus[] = "状態フラグ";
constexpr char kLatitude[] = "緯度";
constexpr char kLongitude[] = "経度";
constexpr const char* kFileOpenError = kMsgFileOpen;
constexpr const char* kFileReadError = kMsgFileRead;
constexpr const char* kRegistryError = kMsgMemory;
constexpr char kRegistryName[] = "地名コード登録";
constexpr char kHyphen[] = "－";
constexpr int32_t kAbolishedClass = 3;

bool BeginsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// The character starts of a text, found walking forward.
std::vector<std::size_t> CharStarts(const std::string& text) {
  std::vector<std::size_t> starts;
  for (std::size_t at = 0; at < text.size();
       at += static_cast<std::size_t>(CharLen(text.c_str() + at)))
    starts.push_back(at);
  return starts;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  if (suffix.empty()) return true;
  if (suffix.size() > text.size()) return false;
  const std::size_t from = text.size() - suffix.size();
  for (std::size_t start : CharStarts(text)) {
    if (start == from) return text.compare(from, suffix.size(), suffix) == 0;
  }
  return false;
}

bool Contains(const std::string& text, const std::string& part) {
  return part.empty() || FindSubstring(part.c_str(), text.c_str()) != 0;
}

// Byte offsets of the hyphens of a word, walking by characters.
std::vector<std::size_t> HyphenOffsets(const std::string& word) {
  std::vector<std::size_t> offsets;
  for (std::size_t start : CharStarts(word)) {
    if (word.compare(start, 2, kHyphen) == 0 && CharLen(word.c_str() + start) == 2)
      offsets.push_back(start);
  }
  return offsets;
}

// The aza text occurs in the names, and after its last occurrence only
// nothing, "丁" or "丁目" follows.
bool AzaTextEndsNames(const std::string& names, const std::string& aza) {
  if (aza.empty()) return true;
  std::size_t last = std::string::npos;
  for (std::size_t start : CharStarts(names)) {
    if (names.compare(start, aza.size(), aza) == 0) last = start;
  }
  if (last == std::string::npos) return false;
  const std::string rest = names.substr(last + aza.size());
  return rest.empty() || rest == "丁" || rest == "丁目";
}

bool Register(CPlaceCodeRegistry* registry, const std::string& code, char* message) {
  if (!registry || registry->Register(1, code.c_str())) return true;
  SetMessage(message, kRegistryError, kRegistryName);
  return false;
}

// A TC_Gaiku record of the place.
struct Block {
  uint32_t record = 0;
  std::string text;  // 街区番号, or the code's number in full-width digits
  std::string code;  // 街区番号コード padded to five digits
  std::string status;
  int32_t latitude = 0;
  int32_t longitude = 0;
  int32_t footerKind = 0;  // 住居表示フラグ, read for the library profile only
};

// The blocks of the place in index order; -1 on a failure. withFooterKind:
// read each block's 住居表示フラグ too.
int CollectBlocks(CTableDatabase* database, plat::File* blockIndex, const std::string& place,
                  bool withFooterKind, char* message, std::vector<Block>* blocks) {
  uint64_t length = 0;
  if (!blockIndex->GetLength(length)) return -1;
  const uint32_t slots = static_cast<uint32_t>(length / 4 > 0x3FFFFFFF ? 0x3FFFFFFF : length / 4);
  const uint32_t first = FindFirstInSortedIndexFile(database, blockIndex, 1, slots, kBlockTable,
                                                    kPlaceCode, place.c_str());
  for (uint32_t n = first; first != 0 && n <= slots; ++n) {
    unsigned char bytes[4];
    if (!ReadBytesFromFileAt(blockIndex, (n - 1) * 4, bytes, 4)) {
      SetMessage(message, kFileReadError, "_CD4.INX");
      return -1;
    }
    Block b;
    b.record = static_cast<uint32_t>(LoadLe(bytes, 4));
    std::string code, text;
    if (!ReadStringField(database, b.record, kBlockTable, kPlaceCode, &code, message)) return -1;
    if (code != place) break;
    if (!ReadStringField(database, b.record, kBlockTable, kStatus, &b.status, message) ||
        !ReadStringField(database, b.record, kBlockTable, kBlockNumber, &b.text, message) ||
        !ReadStringField(database, b.record, kBlockTable, kBlockCode, &b.code, message) ||
        !ReadIntField(database, b.record, kBlockTable, kLatitude, &b.latitude, message) ||
        !ReadIntField(database, b.record, kBlockTable, kLongitude, &b.longitude, message))
      return -1;
    if (withFooterKind) {
      std::string flag;
      if (!ReadStringField(database, b.record, kBlockTable, "住居表示フラグ", &flag, message)) {
        return -1;
      }
      b.footerKind = FooterKindOf(flag.c_str());
    }
    // A letter-coded block code ("A0001") reads as the code it stands for.
    int32_t value = 0;
    uint32_t letterCoded = 0;
    if (!ParseIntInRange(b.code.c_str(), &value, -2147483647, 2147483647)) {
      if (!ParseCode5(b.code.c_str(), &letterCoded)) {
        SetFieldValueErrorMessage(message, database, kBlockTable, kBlockCode);
        return -1;
      }
      value = static_cast<int32_t>(letterCoded);
    }
    if (b.text.empty()) b.text = FullWidthNumber(value);
    if (b.code.size() < 5) b.code.insert(0, 5 - b.code.size(), '0');
    blocks->push_back(std::move(b));
  }
  return 0;
}

// Status 3 and above marks an abolished block ("A" is a current one).
bool IsAbolishedBlock(const Block& b) {
  return b.status != "A" && ParseStatusText(b.status.c_str()) >= kAbolishedClass;
}

// The number test of a block text on a number-driven call.
bool BlockNumberPasses(const KeywordNumberArgs& n, const std::string& text) {
  if (n.firstCall) return true;
  const std::string number = n.blockNumber ? n.blockNumber : "";
  return n.numberMode == 1 ? BeginsWith(text, number) : Contains(text, number);
}

// Fills a copy of the aza row as a block row.
KeywordRow BlockRow(const KeywordRow& aza, const std::string& name, const std::string& code,
                    int32_t latitude, int32_t longitude, const std::string& status,
                    int32_t footerKind) {
  KeywordRow row = aza;
  row.footerKind = footerKind;
  std::snprintf(row.block, sizeof row.block, "%s", name.c_str());
  row.lot[0] = '\0';
  std::snprintf(row.code, sizeof row.code, "%s", code.c_str());
  std::snprintf(row.status, sizeof row.status, "%s", status.c_str());
  row.latitude = latitude;
  row.longitude = longitude;
  return row;
}

// Opens the stage's files and runs the walk with the visitor made for the
// open database and block index.
template <typename MakeVisitor>
int RunNumberStage(const char* workFile, const char* cityIndexFile, const char* blockIndexFile,
                   const KeywordStageArgs& args, const KeywordNumberArgs& numbers,
                   MakeVisitor makeVisitor) {
  plat::File work;
  if (!OpenFileForRead(&work, workFile)) {
    SetMessage(args.message, kFileOpenError, workFile);
    return -1;
  }
  uint64_t length = 0;
  if (!work.GetLength(length)) return -1;
  if (length == 0) return 0;
  plat::File cityIndex, blockIndex;
  if (!OpenFileForRead(&cityIndex, cityIndexFile)) {
    SetMessage(args.message, kFileOpenError, cityIndexFile);
    return -1;
  }
  if (!OpenFileForRead(&blockIndex, blockIndexFile)) {
    SetMessage(args.message, kFileOpenError, blockIndexFile);
    return -1;
  }
  CTableDatabase database;
  if (!database.Open(args.databasePath)) {
    SetMessage(args.message, kFileOpenError, args.databasePath);
    return -1;
  }
  KeywordStageTally tally;
  auto skipPlace = [&](const char* place) {
    return !numbers.firstCall && numbers.registryA && numbers.registryA->Find(place);
  };
  const int walk = WalkAzaRecords(&work, 0, &cityIndex, &database, args, skipPlace,
                                  makeVisitor(&database, &blockIndex, &tally));
  database.Close();
  return tally.Result(walk);
}

// The change-code index blocks of a place; calls row(name, key, record) for
// each block that gives a row. -1 on a read failure, 0 when the place has
// no area entry, 1 when it has.
template <typename Row>
int CodeIndexBlocks(CChangeCodeIndex* x, const std::string& place, char* message, Row row) {
  const uint32_t area = x->FindArea(place.c_str());
  if (area == 0) return 0;
  ChangeCodeTable blocks;
  if (!x->ReadAreaEntry(area, nullptr, &blocks.position, &blocks.count, &blocks.size,
                        &blocks.wide)) {
    SetMessage(message, kFileReadError, x->GetPath());
    return -1;
  }
  for (uint32_t i = 0; i < blocks.count; ++i) {
    uint32_t block = 0;
    char blockCode[kChangeCodeTextSize];
    char name[kChangeCodeNameSize];
    ChangeCodeTable lots;
    if (!ReadChildPosition(x, blocks, i, &block) ||
        !x->ReadBlockEntry(block, blockCode, name, nullptr, &lots.position, &lots.count, &lots.size,
                           &lots.wide)) {
      SetMessage(message, kFileReadError, x->GetPath());
      return -1;
    }
    CChangeCodeRecords records(x, lots);
    for (uint32_t k = 0; k < lots.count; ++k) {
      ChangeCodeRecord record;
      if (!records.Read(k, &record)) {
        SetMessage(message, kFileReadError, x->GetPath());
        return -1;
      }
      const int r = row(name, blockCode, record);
      if (r <= 0) return r < 0 ? -1 : 2;  // 2: stop
    }
  }
  return 1;
}

// Index kind 1: the blocks that pass, sorted by block text (stable: equal
// texts keep index order); a block replaced by one of status "A" is left out.
int WriteSortedBlocks(const KeywordStageArgs& args, const KeywordNumberArgs& numbers,
                      const KeywordRow& aza, const std::string& place, std::vector<Block>& blocks,
                      KeywordStageTally* tally) {
  std::vector<Block> kept;
  for (Block& b : blocks) {
    if (IsAbolishedBlock(b) || !BlockNumberPasses(numbers, b.text)) continue;
    std::size_t at = kept.size();
    while (at > 0 && CompareStrings(kept[at - 1].text.c_str(), b.text.c_str()) > 0) --at;
    kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(at), std::move(b));
  }
  for (std::size_t i = 0; i < kept.size(); ++i) {
    bool replaced = false;
    for (const Block& other : kept)
      replaced = replaced || (other.text == kept[i].text && other.status == "A");
    if (replaced && kept[i].status == "0") continue;
    const Block& b = kept[i];
    KeywordRow row = BlockRow(aza, b.text, place + b.code, b.latitude, b.longitude,
                              b.status == "A" ? "0" : b.status, b.footerKind);
    if (const int w = tally->Write(args, &row, kOazaTable); w <= 0) return w;
  }
  if (numbers.firstCall && !Register(numbers.registryA, place, args.message)) return -1;
  return 1;
}

// Index kind 2: TC_Gaiku in index order, then the change-code index; the
// town row itself when neither has a block.
int WriteIndexOrderBlocks(const KeywordStageArgs& args, const KeywordNumberArgs& numbers,
                          const KeywordRow& aza, const std::string& place,
                          const std::vector<Block>& blocks, KeywordStageTally* tally) {
  std::string previous;
  for (const Block& b : blocks) {
    if (IsAbolishedBlock(b)) continue;
    const std::string key = place + b.code;
    const bool repeat =
        key == previous || (numbers.registryC && numbers.registryC->Find(key.c_str()));
    previous = key;
    if (repeat || !BlockNumberPasses(numbers, b.text)) continue;
    KeywordRow row = BlockRow(aza, b.text, key, b.latitude, b.longitude,
                              b.status == "A" ? "0" : b.status, b.footerKind);
    if (const int w = tally->Write(args, &row, kOazaTable); w <= 0) return w;
    if (!Register(numbers.registryC, key, args.message)) return -1;
  }
  if (!blocks.empty() && numbers.firstCall && !Register(numbers.registryA, place, args.message))
    return -1;
  int area = 0;
  if (numbers.codeIndex) {
    area = CodeIndexBlocks(
        numbers.codeIndex, place, args.message,
        [&](const char* name, const char* blockCode, const ChangeCodeRecord& record) -> int {
          const std::string key = place + blockCode;
          if (record.classCode >= kAbolishedClass || key == previous ||
              (numbers.registryC && numbers.registryC->Find(key.c_str())) ||
              !BlockNumberPasses(numbers, name))
            return 1;
          previous = key;
          char status[16];
          std::snprintf(status, sizeof status, "%d", record.classCode);
          KeywordRow row = BlockRow(aza, name, key, static_cast<int32_t>(record.number1),
                                    static_cast<int32_t>(record.number2), status, record.digit);
          if (const int w = tally->Write(args, &row, kOazaTable); w <= 0) return w;
          return Register(numbers.registryC, key, args.message) ? 1 : -1;
        });
    if (area < 0) return -1;
    if (area == 2) return 0;
    if (area == 1 && numbers.firstCall && !Register(numbers.registryA, place, args.message))
      return -1;
  }
  if (blocks.empty() && area == 0 && numbers.firstCall) {
    KeywordRow row = aza;
    if (const int w = tally->Write(args, &row, kOazaTable); w <= 0) return w;
  }
  return 1;
}

}  // namespace

// ---- Block stage ----

int WriteBlockHitsFromFile(const char* workFile, const char* cityIndexFile,
                           const char* blockIndexFile, const KeywordStageArgs& args,
                           const KeywordNumberArgs& numbers) {
  const bool kind2 = args.context->GetIndexKind() == 2;
  return RunNumberStage(
      workFile, cityIndexFile, blockIndexFile, args, numbers,
      [&](CTableDatabase* database, plat::File* blockIndex, KeywordStageTally* tally) {
        return
            [&, database, blockIndex, tally](uint32_t, KeywordRow* aza, const std::string&) -> int {
              const std::string place = aza->code;
              std::vector<Block> blocks;
              if (CollectBlocks(database, blockIndex, place, args.context->IsLibraryProfile() != 0,
                                args.message, &blocks) < 0)
                return -1;
              if (!kind2) return WriteSortedBlocks(args, numbers, *aza, place, blocks, tally);
              return WriteIndexOrderBlocks(args, numbers, *aza, place, blocks, tally);
            };
      });
}

// ---- Change-history stage ----

namespace {

// A numbered record of the change files, as the row needs it.
struct ChangeCandidate {
  std::string name1, name2, sort1, sort2, parts;
  int32_t latitude = 0, longitude = 0, classCode = 0;
  int32_t digit = 0;  // precision digit: the footer kind
};

bool ChangeNumberPasses(const KeywordNumberArgs& n, const std::string& names,
                        const ChangeCandidate& c) {
  if (n.firstCall) return true;
  const std::string aza = n.azaText ? n.azaText : "";
  const std::string first = n.firstNumber ? n.firstNumber : "";
  const std::string second = n.secondNumber ? n.secondNumber : "";
  switch (n.numberMode) {
    case 2:
      return Contains(names, aza) && Contains(c.sort1, first) && Contains(c.sort2, second);
    case 3:
      return AzaTextEndsNames(names, aza) && (first.empty() || c.sort1 == first) &&
             BeginsWith(c.sort2, second);
    case 4:
      return AzaTextEndsNames(names, aza) && BeginsWith(c.sort1, first);
    case 5:
      return EndsWith(c.sort1, first) && BeginsWith(c.sort2, second);
    default:
      return true;
  }
}

// Calls take(candidate) for every numbered record of the place in the
// change history; take answers 1 go on, 0 stop, -1 failure.
template <typename Take>
int HistoryCandidates(CChangeHistory* h, const std::string& place, char* message, Take take) {
  const uint32_t p = h->FindByCode(place.c_str());
  if (p == 0) return 1;
  ChangeKeyEntry code;
  if (!h->GetKeyEntry(CChangeHistory::kByCode, p, &code)) {
    SetMessage(message, kFileReadError, h->GetDataPath());
    return -1;
  }
  for (uint32_t k = 0; k < code.count; ++k) {
    ChangeKeyEntry group;
    if (!h->GetKeyEntry(CChangeHistory::kByCodeAndName, code.first + k, &group)) {
      SetMessage(message, kFileReadError, h->GetDataPath());
      return -1;
    }
    for (uint32_t j = 0; j < group.count; ++j) {
      const uint32_t r = h->GetRecordNumber(CChangeHistory::kByCodeAndNames, group.first + j);
      ChangeRecord record;
      char name1[kChangeTextSize], name2[kChangeTextSize], sort1[kChangeTextSize],
          sort2[kChangeTextSize];
      if (r == 0 || !h->GetRecord(r, &record, name1, name2, sort1, sort2)) {
        SetMessage(message, kFileReadError, h->GetDataPath());
        return -1;
      }
      if (name2[0] == '\0' || record.classCode >= kAbolishedClass) continue;
      ChangeCandidate c;
      c.name1 = name1;
      c.name2 = name2;
      c.sort1 = sort1;
      c.sort2 = sort2;
      char part[kCodePartTextSize];
      c.parts = FormatCodePart(part, static_cast<int32_t>(record.blockNumber));
      c.parts += FormatCodePart(part, static_cast<int32_t>(record.lotNumber));
      c.latitude = static_cast<int32_t>(record.coordinate1);
      c.longitude = static_cast<int32_t>(record.coordinate2);
      c.classCode = record.classCode;
      c.digit = ChangeRecordPrecisionDigit(record);
      const int r2 = take(c);
      if (r2 <= 0) return r2;
    }
  }
  return 1;
}

}  // namespace

int WriteChangeHitsFromFile(const char* workFile, const char* cityIndexFile,
                            const char* blockIndexFile, const KeywordStageArgs& args,
                            const KeywordNumberArgs& numbers) {
  const bool kind2 = args.context->GetIndexKind() == 2;
  return RunNumberStage(
      workFile, cityIndexFile, blockIndexFile, args, numbers,
      [&](CTableDatabase*, plat::File*, KeywordStageTally* tally) {
        return [&, tally](uint32_t, KeywordRow* aza, const std::string& names) -> int {
          const std::string place = aza->code;
          int rows = 0;
          std::string previous;
          // The change history and the change-code index may both hold a
          // lot: each is written once per place.
          std::set<std::string> written;
          auto take = [&](const ChangeCandidate& c) -> int {
            const std::string key = place + c.parts;
            if (written.count(key) != 0) return 1;
            if (numbers.registryB) {
              const bool repeat = key == previous || numbers.registryB->Find(key.c_str());
              previous = key;
              if (repeat) return 1;
            }
            if (!ChangeNumberPasses(numbers, names, c)) return 1;
            KeywordRow row = BlockRow(*aza, c.name1, key, c.latitude, c.longitude, "", c.digit);
            std::snprintf(row.lot, sizeof row.lot, "%s", c.name2.c_str());
            std::snprintf(row.status, sizeof row.status, "%d", c.classCode);
            if (const int w = tally->Write(args, &row, kOazaTable); w <= 0) return w;
            ++rows;
            written.insert(key);
            return Register(numbers.registryB, key, args.message) ? 1 : -1;
          };
          if (numbers.history) {
            const int r = HistoryCandidates(numbers.history, place, args.message, take);
            if (r <= 0) return r;
          }
          if (kind2 && numbers.codeIndex) {
            const int r =
                CodeIndexBlocks(numbers.codeIndex, place, args.message,
                                [&](const char* name, const char* blockCode,
                                    const ChangeCodeRecord& record) -> int {
                                  if (record.name[0] == '\0' || record.classCode >= kAbolishedClass)
                                    return 1;
                                  ChangeCandidate c;
                                  c.name1 = c.sort1 = name;
                                  c.name2 = c.sort2 = record.name;
                                  c.parts = std::string(blockCode) + record.code;
                                  c.latitude = static_cast<int32_t>(record.number1);
                                  c.longitude = static_cast<int32_t>(record.number2);
                                  c.classCode = record.classCode;
                                  c.digit = record.digit;
                                  return take(c);
                                });
            if (r < 0) return -1;
            if (r == 2) return 0;
          }
          if (numbers.firstCall) {
            if (rows == 0) {
              KeywordRow row = *aza;
              if (const int w = tally->Write(args, &row, kOazaTable); w <= 0) return w;
            }
            if (!Register(numbers.registryA, place, args.message)) return -1;
          }
          return 1;
        };
      });
}

// ---- Number analysis ----

int32_t NumeralWordValue(const std::string& word) {
  if (word.empty()) return -1;
  for (std::size_t start : CharStarts(word)) {
    if (KanjiDigitValue(word.c_str() + start) < 0) return -1;
  }
  return KanjiNumeralToInt(word.c_str());
}

int SplitTrailingNumeral(const char* word, std::string* head, std::string* numeral) {
  head->clear();
  numeral->clear();
  if (!word) return 0;
  const std::string text = word;
  const std::vector<std::size_t> starts = CharStarts(text);
  std::size_t cut = text.size();
  int kind = 0;  // 1 full-width digits, 2 other numeral characters
  for (std::size_t i = starts.size(); i > 0; --i) {
    const char* p = text.c_str() + starts[i - 1];
    if (KanjiDigitValue(p) < 0) break;
    const int k = IsFullWidthDigitAt(p) ? 1 : 2;
    if (kind == 0) kind = k;
    if (k != kind) break;
    cut = starts[i - 1];
  }
  if (cut == text.size()) return 0;
  *head = text.substr(0, cut);
  *numeral = text.substr(cut);
  return 1;
}

BlockNumberWords AnalyzeBlockNumbers(const std::vector<std::string>& words) {
  BlockNumberWords out;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::vector<std::size_t> hyphens = HyphenOffsets(words[i]);
    if (hyphens.empty()) continue;
    const std::size_t from = hyphens[0] + 2;
    const std::size_t to = hyphens.size() > 1 ? hyphens[1] : words[i].size();
    const int32_t value = NumeralWordValue(words[i].substr(from, to - from));
    if (value < 1) continue;
    out.hyphenWord = static_cast<int>(i) + 1;
    out.hyphenHead = words[i].substr(0, hyphens[0]);
    out.hyphenValue = value;
    return out;
  }
  for (std::size_t i = 0; i < words.size(); ++i) {
    const int32_t value = NumeralWordValue(words[i]);
    if (value >= 1) out.numerals.push_back({static_cast<int>(i) + 1, value});
  }
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (KanjiDigitValue(words[i].c_str()) >= 0) continue;
    std::string head, numeral;
    if (!SplitTrailingNumeral(words[i].c_str(), &head, &numeral)) continue;
    const int32_t value = NumeralWordValue(numeral);
    if (value >= 1) out.trailing.push_back({static_cast<int>(i) + 1, value, head.size()});
  }
  return out;
}

ChangeNumberWords AnalyzeChangeNumbers(const std::vector<std::string>& words) {
  ChangeNumberWords out;
  auto asNumber = [](const std::string& part) {
    const int32_t value = NumeralWordValue(part);
    return value >= 0 ? FullWidthNumber(value) : part;
  };
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& w = words[i];
    const std::vector<std::size_t> hyphens = HyphenOffsets(w);
    if (hyphens.empty()) continue;
    out.hyphenCount += hyphens.size() > 1 ? 2 : 1;
    out.word = static_cast<int>(i) + 1;
    out.head = w.substr(0, hyphens[0]);
    const std::size_t firstEnd = hyphens.size() > 1 ? hyphens[1] : w.size();
    out.first = asNumber(w.substr(hyphens[0] + 2, firstEnd - hyphens[0] - 2));
    out.second.clear();
    if (hyphens.size() > 1) {
      const std::size_t secondEnd = hyphens.size() > 2 ? hyphens[2] : w.size();
      out.second = asNumber(w.substr(hyphens[1] + 2, secondEnd - hyphens[1] - 2));
    }
  }
  return out;
}
