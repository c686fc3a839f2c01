#pragma once
// Generator of the sample address data folder from its text description
// (description.h): every file the system reads, in CP932, written with the
// system's own writers and the builders in tools/.
//
// Per prefecture NN of the description:
//   QVADNN.NDB             TC_Todoufuken, TC_Shikutyoson, TC_Oaza, TC_Gaiku
//                          and the empty TC_Chiban, rows in description order;
//   QVADNN.TIX             the address index, of the kind asked for;
//   QVADNN_CD1.INX .. _CD5.INX, QVADNN_CDG.INX and QVADNN_CDG.TIX
//                          the code indexes (tabledb/code_index_files.h);
//   QVADNN_SHI/_OAZA/_HSHI/_HOAZA.SIF   the name indexes;
//   QAD_CHNN.CDB/.CIX      the change history (when the prefecture has one);
//   QAD_CHNN.CDI           the change-code index (likewise);
//   QVADNN.YDB             the postal-code index;
//   NN.GDB                 the reverse-geocoding grid of the areas.tsv outlines;
// and once per folder: 文字統一.BIN, 文字置換.BIN, ユーザー置換.TXT and a
// synthetic TKY2JGD.PAR that covers every point of the description.
//
// The normalised names (正規...) are the address normaliser's result on
// the display name or reading, with the unification dictionary and the
// replacement list read back from the files just written (the form the
// matcher compares its normalised input with).
//
// The output depends only on the description and the options: the time
// fields of the change files are pinned, so two runs give the same bytes.
//
// Functions return 1 on success and 0 on failure with one message in the
// caller's buffer of kMessageSize bytes. Folders are CP932 paths; a
// missing separator at the end is added.

#include <cstdint>
#include <string>
#include <vector>

#include "common/record_array.h"
#include "common/record_stack.h"
#include "tools/sampledata/description.h"
#include "tools/staged_output.h"

namespace sampledata {

// The creation time written into the change files: 2024-04-01 00:00:00 UTC.
inline constexpr uint32_t kPinnedCreationTime = 1711929600u;

struct GenerateOptions {
  int indexKind = 2;  // address index: 1 (magic "TVXADI") or 2 (check bytes)
  uint32_t creationTime = kPinnedCreationTime;
  // Prefectures written at the same time, each by a worker process (1:
  // one after the other in this process). The files are the same.
  int jobs = 1;
};

// Record-header positions of the rows written into one prefecture's
// database, one per description row (0 for rows of other prefectures).
struct RecordPositions {
  std::vector<uint32_t> prefectures;
  std::vector<uint32_t> municipalities;
  std::vector<uint32_t> oaza;
  std::vector<uint32_t> blocks;
};

// The dictionaries as the system loads them from the written files.
class CSampleDictionaries {
 public:
  CSampleDictionaries() = default;
  CSampleDictionaries(const CSampleDictionaries&) = delete;
  CSampleDictionaries& operator=(const CSampleDictionaries&) = delete;

  // Reads 文字統一.BIN and 文字置換.BIN of the folder (both with header).
  int Load(const std::string& folder, char* msg);
  // The normalised form of a CP932 text ("" stays ""); 0 when refused.
  int Normalize(const std::string& text, std::string* out);

  CCharDictionary unification;
  CRecordList replacements;
};

// The prefecture number of a two-digit code (1-47); 0 otherwise.
int PrefectureNumber(const std::string& code);
// "QVAD13.NDB", "QAD_CH13.CDB", ...: format with one %02d.
std::string PrefectureFileName(const char* format, int prefecture);
// The folder with a separator at its end.
std::string WithSeparator(const std::string& folder);
// Writes the lines (CP932), each ended by CR LF, aside and renames the file
// over path; a failed write leaves path as it was.
int WriteTextLines(const std::string& path, const std::vector<std::string>& lines, char* msg);
// The same, written aside into files only: the caller commits them.
int StageTextLines(const std::string& path, const std::vector<std::string>& lines,
                   builder::StagedFiles* files, char* msg);
// Creates the folder and the folders above it.
int MakeFolders(const std::string& folder, char* msg);

// ---- The whole folder ----

// The folder is written aside (a hidden folder beside it) and put in its
// place only when every file is complete: an earlier folder there is
// replaced whole, and a failure leaves it as it was (or no folder). An
// existing folder that holds folders is refused (it is no data folder), and
// so is one that holds names that this run does not write, byte for byte
// (the message names them): its files are not someone else's to lose.
int GenerateDataFolder(const Description& d, const std::string& folder,
                       const GenerateOptions& options, char* msg);
// The two halves of GenerateDataFolder, for a caller that writes other
// outputs aside before any of them is put in place.
int GenerateDataFolderAside(const Description& d, const std::string& folder,
                            const GenerateOptions& options, builder::StagedFolder* staged,
                            char* msg);
int CommitDataFolder(builder::StagedFolder* staged, const std::string& folder, char* msg);

// ---- Steps (the folder ends in a separator) ----

int WriteDictionaryFiles(const Description& d, const std::string& folder, char* msg);
int WriteUserReplacementFile(const Description& d, const std::string& folder, char* msg);
// Each point's mesh and its east, north and north-east neighbours, with
// the shift that the three-parameter conversion gives at each mesh's
// south-west corner.
int WriteGridParameterFile(const Description& d, const std::string& folder, char* msg);

int WriteTableDatabase(const Description& d, const std::string& prefectureCode,
                       const std::string& path, CSampleDictionaries* dictionaries,
                       RecordPositions* positions, char* msg);
// Change history pair and change-code index of one prefecture; 1 and no
// file when the description has no record of the prefecture.
int WriteChangeHistoryFiles(const Description& d, const std::string& prefectureCode,
                            const std::string& folder, uint32_t creationTime, char* msg);
int WriteChangeCodeIndexFile(const Description& d, const std::string& prefectureCode,
                             const std::string& folder, uint32_t creationTime, char* msg);

// The address index of one prefecture: the tree of the description's rows
// (each under the parent the description gives it, children in row order)
// with the record positions of its database.
int WriteAddressIndexFile(const Description& d, const std::string& prefectureCode,
                          const RecordPositions& positions, const std::string& path, int kind,
                          char* msg);
// The postal-code index QVADnn.YDB: every row with a 郵便番号, by code,
// with its record position (no file when the prefecture has none).
int WritePostalCodeIndex(const Description& d, const std::string& prefectureCode,
                         const RecordPositions& positions, const std::string& path, char* msg);
// The reverse-geocoding grid nn.GDB of the prefecture's areas (no file
// when it has none); each area's name row: 地名コード, 都道府県名, 郡名 +
// 市区町村名, their readings, 大字通称名 and its reading (empty for
// "大字なし"), 字丁目名 and its reading.
int WriteReverseGeocodingGrid(const Description& d, const std::string& prefectureCode,
                              const std::string& path, char* msg);
// The four name indexes beside a database ("...QVADnn.NDB" ->
// "...QVADnn_SHI.SIF", ...).
int WriteNameIndexFiles(const std::string& ndbPath, char* msg);

}  // namespace sampledata
