#include "gazref/facility_lists.h"

#include <cstring>
#include <memory>
#include <utility>

#include "common/field_split.h"
#include "common/file_access.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/path_util.h"
#include "common/text_file_ops.h"
#include "gazref/facility_candidates.h"
#include "gazref/facility_search.h"
#include "gazref/facility_tree.h"
#include "gazref/search_sink.h"
#include "matching/match_driver.h"
#include "plat/crt.h"
#include "plat/output_file.h"
#include "plat/path.h"
#include "tabledb/tag_db.h"

namespace {

constexpr char kCategoryLabel[] = "BUNRUI_FINDLISTFIRST";
constexpr char kAreaLabel[] = "GYOSEI_FINDLISTFIRST";
constexpr char kCollectLabel[] = "GYOSEI_FINDLISTFIRST_SUB";

constexpr const char* kOpenMessage = kMsgFileOpen;
constexpr const char* kReadMessage = kMsgFileRead;
constexpr char kStoreMessage[] = "検索結果の登録に失敗しました！[%s]";

// Longest line (without its line feed) of the area lines and of the sorted
// lines.
constexpr std::size_t kAreaLineMax = 511;
constexpr std::size_t kSortedLineMax = 1023;

const char* const kExcludedCategories[] = {"公衆トイレ", "使用しない", "その他"};

// Opens the tree and finds its "STRING" node.
int OpenListTree(CTagDb* tree, const char* treePath, TagNode* stringNode, char* msg) {
  if (!tree->Open(treePath)) {
    SetMessage(msg, kOpenMessage, treePath);
    return 0;
  }
  int found = 0;
  if (!FindTreeGroup(tree, "STRING", stringNode, &found)) {
    SetMessage(msg, kReadMessage, treePath);
    return 0;
  }
  if (!found) {
    SetMessage(msg, "インデックスのレコードが見つかりません！[INDEX:%s][RECORD:%s]", treePath,
               "STRING");
    return 0;
  }
  return 1;
}

// The first three words of the category text.
int SplitCategoryWords(const char* text, std::string words[3], const char* label, char* msg) {
  auto fields = std::make_unique<CBlankFieldList>();
  fields->Split(TextOrEmpty(text));
  if (fields->GetCount() == 0) {
    SetMessage(msg, kMsgMemory, label);
    return 0;
  }
  std::string word(std::strlen(TextOrEmpty(text)) + 1, '\0');
  for (int n = 0; n < 3; ++n) {
    fields->GetField(word.data(), n + 1);
    words[n] = word.c_str();
  }
  return 1;
}

// From the "STRING" node down by each non-empty word: *level becomes the
// node whose children are listed, *depth the levels left below them.
// *found 0 when a word names no node. 0 on a read failure.
int DescendByWords(CTagDb* tree, const std::string* words, int wordCount, TagNode* level,
                   int* depth, int* found) {
  *depth = 3;
  *found = 1;
  for (int n = 0; n < wordCount; ++n) {
    if (words[n].empty()) continue;
    --*depth;
    if (!FindTreeChild(tree, level->firstChild, words[n].c_str(), level, found)) return 0;
    if (!*found) return 1;
  }
  return 1;
}

// A name that cannot be written as one line of a text file.
bool BreaksLine(const std::string& name) {
  return name.find_first_of("\r\n\x1a") != std::string::npos;
}

// What writing the leaf names came to.
enum LeafWrite { kLeavesWritten, kLeafNotWritten, kTreeNotRead };

// Writes the names of the nodes `depth` levels below the node (its own at
// depth 0), one a line.
LeafWrite WriteLeafNames(plat::File* file, CTagDb* tree, const TagNode& node,
                         const std::string& name, int depth) {
  if (depth < 1) {
    return !BreaksLine(name) && WriteLineToFile(file, name.c_str()) ? kLeavesWritten
                                                                    : kLeafNotWritten;
  }
  TreeChain chain(tree, node.firstChild);
  uint32_t child = 0;
  std::string childName;
  TagNode record;
  while (chain.Next(&child, &childName, &record)) {
    const LeafWrite written = WriteLeafNames(file, tree, record, childName, depth - 1);
    if (written != kLeavesWritten) return written;
  }
  return chain.Failed() ? kTreeNotRead : kLeavesWritten;
}

// The working folder made for one call, and removed with the working
// files on every return.
class WorkFolderScope {
 public:
  WorkFolderScope() : path_(AreaWorkFolder()) {}
  ~WorkFolderScope() {
    if (!made_) return;
    for (const char* file : {kAreaCollectFile, kAreaSortFile, kAreaListFile}) {
      const std::string path = path_ + file;
      if (FileExists(path.c_str())) RemoveFile(path.c_str());
    }
    plat::path::RemoveDir(path_.c_str());
  }
  WorkFolderScope(const WorkFolderScope&) = delete;
  WorkFolderScope& operator=(const WorkFolderScope&) = delete;

  int Make(char* msg) {
    if (path_.empty() || !MakeFolder(path_.c_str())) {
      SetMessage(msg, kMsgFileCreate, path_.c_str());
      return 0;
    }
    made_ = true;
    return 1;
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  bool made_ = false;
};

}  // namespace

std::string AreaWorkFolder() {
  std::string temp;
  if (!plat::path::TempFolder(temp)) return std::string();
  return temp + "gazref-" + std::to_string(plat::crt::ProcessId()) + "\\";
}

bool SubtreeHasArea(CTagDb* tree, const TagNode& node, const std::string& name,
                    const char* prefecture, const char* municipality, int depth, bool* readFailed) {
  if (depth < 1) {
    char head[kPrefectureTextSize];
    const char* rest = "";
    SplitPrefectureName(name.c_str(), head, &rest);
    if (*TextOrEmpty(prefecture) == '\0') return true;
    return std::strcmp(prefecture, head) == 0 &&
           (*TextOrEmpty(municipality) == '\0' || std::strcmp(municipality, rest) == 0);
  }
  TreeChain chain(tree, node.firstChild);
  uint32_t child = 0;
  std::string childName;
  TagNode record;
  while (chain.Next(&child, &childName, &record)) {
    if (SubtreeHasArea(tree, record, childName, prefecture, municipality, depth - 1, readFailed))
      return true;
    if (*readFailed) return false;
  }
  if (chain.Failed()) *readFailed = true;
  return false;
}

int ListCategories(CAdrsContext* output, const char* categoryText, const char* prefecture,
                   const char* municipality, const char* folder, int32_t maximum, int32_t* overflow,
                   char* msg) {
  if (maximum < 0) {
    SetMessage(msg, "最大検索数が不正です[%s]", kCategoryLabel);
    return 0;
  }
  int32_t ownOverflow = 0;
  if (!overflow) overflow = &ownOverflow;
  const std::string treePath = FolderWithBackslash(folder) + kFacilityListTreeFile;
  CTagDb tree;
  TagNode level;
  std::string words[3];
  if (!OpenListTree(&tree, treePath.c_str(), &level, msg) ||
      !SplitCategoryWords(categoryText, words, kCategoryLabel, msg)) {
    return 0;
  }
  int depth = 3;
  int found = 0;
  if (!DescendByWords(&tree, words, 2, &level, &depth, &found)) {
    SetMessage(msg, kReadMessage, treePath.c_str());
    return 0;
  }
  if (!found) return 1;
  *overflow = 0;
  int64_t count = 0;
  TreeChain chain(&tree, level.firstChild);
  uint32_t node = 0;
  std::string name;
  TagNode record;
  while (chain.Next(&node, &name, &record)) {
    if (*TextOrEmpty(prefecture) != '\0') {
      bool readFailed = false;
      if (!SubtreeHasArea(&tree, record, name, prefecture, municipality, depth, &readFailed)) {
        if (!readFailed) continue;
        SetMessage(msg, kReadMessage, treePath.c_str());
        return 0;
      }
    }
    bool excluded = false;
    for (const char* skip : kExcludedCategories) excluded = excluded || name == skip;
    if (excluded) continue;
    const RowOutcome outcome =
        WriteCountedRow(output, name.c_str(), &count, maximum, overflow, kCategoryLabel, msg);
    if (outcome != kRowWritten) return outcome == kRowOverflow ? 1 : 0;
  }
  if (chain.Failed()) {
    SetMessage(msg, kReadMessage, treePath.c_str());
    return 0;
  }
  return 1;
}

int SortUniqueTextFile(const char* inputPath, const char* outputPath, const std::string& workFolder,
                       char* msg) {
  const std::string sortedPath = workFolder + kAreaSortFile;
  if (!SortTextFileAscending(sortedPath.c_str(), inputPath)) {
    SetMessage(msg, kOpenMessage, inputPath);
    return 0;
  }
  plat::File sorted;
  if (!OpenTextFileForRead(&sorted, sortedPath.c_str())) {
    RemoveFile(sortedPath.c_str());
    SetMessage(msg, kOpenMessage, outputPath);
    return 0;
  }
  plat::OutputFile output;
  if (!OpenOutputTextFileWithError(&output, outputPath, msg)) {
    sorted.Close();
    RemoveFile(sortedPath.c_str());
    return 0;
  }
  const auto fail = [&](const char* format, const char* path) {
    sorted.Close();
    output.Discard();
    RemoveFile(sortedPath.c_str());
    SetMessage(msg, format, path);
    return 0;
  };
  std::string line;
  std::string last;
  bool first = true;
  while (sorted.ReadString(line)) {
    if (line.size() > kSortedLineMax) return fail(kReadMessage, sortedPath.c_str());
    if (!first && line == last) continue;
    if (!WriteLineToFile(&output.Stream(), line.c_str())) {
      return fail(kMsgFileWrite, outputPath);
    }
    last = line;
    first = false;
  }
  if (sorted.Failed()) return fail(kReadMessage, sortedPath.c_str());
  sorted.Close();
  if (!output.Commit()) return fail(kMsgFileWrite, outputPath);
  RemoveFile(sortedPath.c_str());
  if (msg) msg[0] = '\0';
  return 1;
}

int CollectAreaNames(const char* outputPath, const char* treePath, const char* categoryText,
                     const std::string& workFolder, char* msg) {
  CTagDb tree;
  TagNode level;
  std::string words[3];
  if (!OpenListTree(&tree, treePath, &level, msg) ||
      !SplitCategoryWords(categoryText, words, kCollectLabel, msg)) {
    return 0;
  }
  const std::string workPath = workFolder + kAreaCollectFile;
  plat::File work;
  if (!OpenNewTextFileForWriteWithError(&work, workPath.c_str(), msg)) return 0;
  const auto fail = [&](const char* format, const char* argument) {
    work.Close();
    RemoveFile(workPath.c_str());
    SetMessage(msg, format, argument);
    return 0;
  };
  int depth = 3;
  int found = 0;
  if (!DescendByWords(&tree, words, 3, &level, &depth, &found)) return fail(kReadMessage, treePath);
  if (!found) {
    tree.Close();
    work.Close();
    RemoveFile(workPath.c_str());
    plat::OutputFile empty;
    if (!OpenOutputTextFileWithError(&empty, outputPath, msg)) return 0;
    if (empty.Commit()) return 1;
    SetMessage(msg, kMsgFileWrite, outputPath);
    return 0;
  }
  TreeChain chain(&tree, level.firstChild);
  uint32_t node = 0;
  std::string name;
  TagNode record;
  // A chain that cannot be read (a looping chain, a name too long for a
  // line of the list) is a read failure of the tree.
  while (chain.Next(&node, &name, &record)) {
    const LeafWrite written = WriteLeafNames(&work, &tree, record, name, depth);
    if (written == kTreeNotRead) return fail(kReadMessage, treePath);
    if (written == kLeafNotWritten) return fail(kStoreMessage, kCollectLabel);
  }
  if (chain.Failed()) return fail(kReadMessage, treePath);
  tree.Close();
  if (!work.Close()) return fail(kStoreMessage, kCollectLabel);
  const int sorted = SortUniqueTextFile(workPath.c_str(), outputPath, workFolder, msg);
  RemoveFile(workPath.c_str());
  if (!sorted) {
    SetMessage(msg, "中間ファイルの作成に失敗しました！[%s]", outputPath);
    return 0;
  }
  return 1;
}

int ListAreas(CAdrsContext* output, const char* categoryText, const char* folder, int32_t maximum,
              int32_t* overflow, char* msg) {
  if (maximum < 0) {
    SetMessage(msg, "最大検索数が不正です！[%s]", kAreaLabel);
    return 0;
  }
  int32_t ownOverflow = 0;
  if (!overflow) overflow = &ownOverflow;
  WorkFolderScope work;
  if (!work.Make(msg)) return 0;
  const std::string listPath = work.Path() + kAreaListFile;
  const std::string treePath = FolderWithBackslash(folder) + kFacilityListTreeFile;
  if (!CollectAreaNames(listPath.c_str(), treePath.c_str(), categoryText, work.Path(), msg)) {
    return 0;
  }
  plat::File list;
  if (!OpenTextFileForRead(&list, listPath.c_str())) {
    SetMessage(msg, kOpenMessage, listPath.c_str());
    return 0;
  }
  // The flag is cleared with the first name: a category word that names no
  // node leaves an empty list and the flag as the caller set it.
  int64_t count = 0;
  std::string line;
  while (list.ReadString(line)) {
    if (count == 0) *overflow = 0;
    if (line.size() > kAreaLineMax) {
      SetMessage(msg, kReadMessage, listPath.c_str());
      return 0;
    }
    char prefecture[kPrefectureTextSize];
    const char* rest = "";
    SplitPrefectureName(line.c_str(), prefecture, &rest);
    const std::string row = std::string(prefecture) + "," + rest;
    const RowOutcome outcome =
        WriteCountedRow(output, row.c_str(), &count, maximum, overflow, kAreaLabel, msg);
    if (outcome == kRowFailed) return 0;
    if (outcome == kRowOverflow) break;
  }
  if (list.Failed()) {
    SetMessage(msg, kReadMessage, listPath.c_str());
    return 0;
  }
  return 1;
}

int ListCategories(ResultSink&& out, const CategoryQuery& q) {
  return RunSearchOnSink(std::move(out), kCategoryLabel, "条件にあてはまる分類はありません！",
                         q.msg, [&](CAdrsContext* output) {
                           return ListCategories(output, q.categoryText, q.prefecture,
                                                 q.municipality, q.folder, q.maximum, q.overflow,
                                                 q.msg);
                         });
}

int ListAreas(ResultSink&& out, const AreaQuery& q) {
  return RunSearchOnSink(
      std::move(out), kAreaLabel, "条件にあてはまる都道府県市区町村名はありません！", q.msg,
      [&](CAdrsContext* output) {
        return ListAreas(output, q.categoryText, q.folder, q.maximum, q.overflow, q.msg);
      });
}
