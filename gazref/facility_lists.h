#pragma once
// The category list and the administrative-area list over the tree file
// 施設検索.TDB of the facility data folder (top node → its first child →
// "STRING" → 大分類 → 中分類 → 小分類 → administrative names such as
// 東京都千代田区), which help a host build the conditions of the facility
// search.
//
// The category text holds up to three blank-separated category names
// (大分類, 中分類, 小分類; a double-quoted word may hold blanks).
//
// Category list: one row per category name one level below the named ones
// (the category list reads the first two words only), in tree order,
// without "公衆トイレ", "使用しない" and "その他"; with a prefecture filter
// only categories with at least one administrative name below them that
// begins with that prefecture (and, with a municipality filter too, whose
// rest equals it).
//
// Administrative-area list: one row "prefecture,rest" per administrative
// name below the named categories, each name once, in ascending byte
// order of the names; a name that begins with no prefecture gives an
// empty first field. The list goes through three working files (the
// names as collected, sorted, without repetitions), which lie in a folder
// of this process under the temporary folder; every call removes them and
// the folder before it returns, failures included.
//
// A category word that names no node gives no row, success and an
// untouched overflow flag. The maximum counts rows; the list that would
// write one row more sets the overflow flag to 1 (else it is set to 0).
// Lines of the working files longer than 511 bytes (area lines) or 1,023
// bytes (sorted lines) are refused with "ファイルの読み込みに失敗しました!(%s)",
// as is a tree that cannot be read (a sibling chain that loops, a name of
// 1,024 bytes or more).
//
// Functions answer 1 for success and 0 for failure with one message in the
// caller's buffer (kMessageSize bytes, null for none); rows written before
// a failure stay in the array (the file forms delete their file).

#include <cstdint>
#include <string>

#include "matching/adrs_context.h"
#include "tool/result_sink.h"

class CTagDb;
struct TagNode;

// Working files of the administrative-area list.
inline constexpr char kAreaCollectFile[] = "$GYOSEI_FINDLISTFIRST_SUB$.$#$";
inline constexpr char kAreaSortFile[] = "$TXT_DELDUB$.#$#$#";
inline constexpr char kAreaListFile[] = "$GYOSEI_FINDLISTFIRST$.$$$";

// The working folder of this process: the temporary folder +
// "gazref-<process id>\"; "" when the temporary folder is unknown.
std::string AreaWorkFolder();

// A negative maximum fails with "最大検索数が不正です[BUNRUI_FINDLISTFIRST]".
int ListCategories(CAdrsContext* output, const char* categoryText, const char* prefecture,
                   const char* municipality, const char* folder, int32_t maximum, int32_t* overflow,
                   char* msg);
// What the category list takes, in the order of the exports' arguments.
struct CategoryQuery {
  const char* categoryText;
  const char* prefecture;
  const char* municipality;
  const char* folder;
  int32_t maximum;
  int32_t* overflow;
  char* msg;
};
// ListCategories into the sink (gazref/search_sink.h). Empty result:
// "条件にあてはまる分類はありません！".
int ListCategories(ResultSink&& out, const CategoryQuery& query);

// A negative maximum fails with "最大検索数が不正です！[GYOSEI_FINDLISTFIRST]".
int ListAreas(CAdrsContext* output, const char* categoryText, const char* folder, int32_t maximum,
              int32_t* overflow, char* msg);
// What the administrative-area list takes, in the order of the exports'
// arguments.
struct AreaQuery {
  const char* categoryText;
  const char* folder;
  int32_t maximum;
  int32_t* overflow;
  char* msg;
};
// ListAreas into the sink. Empty result:
// "条件にあてはまる都道府県市区町村名はありません！".
int ListAreas(ResultSink&& out, const AreaQuery& query);

// Whether an administrative name `depth` levels below the node (the node's
// own name at depth 0) passes the filters: the prefecture filter empty, or
// equal to the name's prefecture and the municipality filter empty or
// equal to the rest. *readFailed is set when the tree cannot be read.
bool SubtreeHasArea(CTagDb* tree, const TagNode& node, const std::string& name,
                    const char* prefecture, const char* municipality, int depth, bool* readFailed);

// Writes the administrative names below the categories of the text into
// outputPath, sorted and each once, through the working files of
// workFolder (ending in '\'). A word that names no node gives an empty
// output file.
int CollectAreaNames(const char* outputPath, const char* treePath, const char* categoryText,
                     const std::string& workFolder, char* msg);

// The lines of the input in ascending byte order, each once, into the
// output (through a sorted working file in workFolder). An empty input
// gives an empty output; on success the message is cleared.
int SortUniqueTextFile(const char* inputPath, const char* outputPath, const std::string& workFolder,
                       char* msg);
