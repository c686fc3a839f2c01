#include "tools/sampledata/generate.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <utility>

#include "common/message.h"
#include "common/sjis_text.h"
#include "matching/datum_converter.h"
#include "matching/normalize.h"
#include "plat/file.h"
#include "plat/path.h"
#include "tabledb/code_index_files.h"
#include "matching/dictionary_loaders.h"
#include "tabledb/dictionaries.h"
#include "tools/dictbuild/pair_file_writer.h"
#include "tools/gridbuild/grid_file_writer.h"

namespace sampledata {


// ---- Names and folders ----

int PrefectureNumber(const std::string& code) {
  if (code.size() != 2 || code[0] < '0' || code[0] > '9' || code[1] < '0' || code[1] > '9') {
    return 0;
  }
  const int n = (code[0] - '0') * 10 + (code[1] - '0');
  return n >= 1 && n <= 47 ? n : 0;
}

std::string PrefectureFileName(const char* format, int prefecture) {
  char name[64];
  std::snprintf(name, sizeof name, format, prefecture);
  return name;
}

std::string WithSeparator(const std::string& folder) {
  if (folder.empty()) return folder;
  const char* last = GetLastCharPtr(folder.c_str());
  if (last[1] == '\0' && (*last == '\\' || *last == '/')) return folder;
  return folder + '\\';
}

int MakeFolders(const std::string& folder, char* msg) {
  // Every separator that begins a character ends a folder to create; the
  // walk goes forward, so a 0x5C trail byte is never taken for one.
  std::string path = WithSeparator(folder);
  std::size_t i = 0;
  while (i < path.size()) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsLeadByte(c) && i + 1 < path.size()) {
      i += 2;
      continue;
    }
    if ((c == '\\' || c == '/') && i > 0) {
      const std::string head = path.substr(0, i);
      if (!plat::path::MakeDir(head.c_str())) {
        SetMessage(msg, "フォルダの作成に失敗しました！(%s)", head.c_str());
        return 0;
      }
    }
    ++i;
  }
  return 1;
}

// ---- Dictionaries ----

namespace {

std::vector<dictbuild::TextPair> ToPairs(const std::vector<TextPair>& pairs) {
  std::vector<dictbuild::TextPair> out;
  out.reserve(pairs.size());
  for (const TextPair& p : pairs) out.push_back({p.search, p.replacement});
  return out;
}

int WritePairs(const std::string& path, dictbuild::PairFileForm form,
               const std::vector<dictbuild::TextPair>& pairs, char* msg) {
  std::string error;
  if (!dictbuild::WritePairFile(path.c_str(), form, pairs, &error)) {
    SetMessage(msg, "ファイルの作成に失敗しました！(%s) %s", path.c_str(), error.c_str());
    return 0;
  }
  return 1;
}

}  // namespace

int WriteDictionaryFiles(const Description& d, const std::string& folder, char* msg) {
  // A character with two CP932 codes is unified under both.
  return WritePairs(folder + kUnificationDictionaryFile, dictbuild::PairFileForm::kUnification,
                    dictbuild::WithAlternateCodes(ToPairs(d.unification)), msg) &&
         WritePairs(folder + kReplacementDictionaryFile, dictbuild::PairFileForm::kReplacement,
                    ToPairs(d.replacements), msg);
}

int WriteUserReplacementFile(const Description& d, const std::string& folder, char* msg) {
  const std::string path = folder + kUserReplacementFile;
  std::string text;
  for (const std::string& line : d.userReplacementLines) text += line + "\r\n";
  plat::File file;
  if (!file.Open(path.c_str(), plat::ModeCreate | plat::ModeWrite)) {
    SetMessage(msg, "ファイルの作成に失敗しました！(%s)", path.c_str());
    return 0;
  }
  const bool written = file.Write(text.data(), text.size());
  if (!file.Close() || !written) {
    plat::File::Remove(path.c_str());
    SetMessage(msg, "ファイルへの書き込みに失敗しました!(%s)", path.c_str());
    return 0;
  }
  return 1;
}

int CSampleDictionaries::Load(const std::string& folder, char* msg) {
  return LoadUnificationDictionary((folder + kUnificationDictionaryFile).c_str(), &unification, msg,
                                   1) &&
         LoadReplacementDictionary((folder + kReplacementDictionaryFile).c_str(), &replacements,
                                   &unification, msg, 1);
}

int CSampleDictionaries::Normalize(const std::string& text, std::string* out) {
  if (text.empty()) {
    out->clear();
    return 1;
  }
  char buffer[kMaxSearchTextLength + 1];
  if (text.size() >= sizeof buffer) return 0;
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  if (!NormalizeSearchText(&replacements, &unification, buffer, sizeof buffer)) return 0;
  *out = buffer;
  return 1;
}

// ---- Datum grid ----

int WriteGridParameterFile(const Description& d, const std::string& folder, char* msg) {
  // Every point of the description, with the three meshes that the
  // interpolation needs beside its own.
  std::set<std::pair<int32_t, int32_t>> meshes;
  auto add = [&](int32_t latitude, int32_t longitude) {
    int32_t row = 0;
    int32_t column = 0;
    if (!gridbuild::MeshOfPoint(latitude, longitude, &row, &column)) return false;
    for (int32_t dr = 0; dr <= 1; ++dr) {
      for (int32_t dc = 0; dc <= 1; ++dc) meshes.insert({row + dr, column + dc});
    }
    return true;
  };
  bool ok = true;
  for (const auto& r : d.prefectures) ok = ok && add(r.latitude, r.longitude);
  for (const auto& r : d.municipalities) ok = ok && add(r.latitude, r.longitude);
  for (const auto& r : d.oaza) ok = ok && add(r.latitude, r.longitude);
  for (const auto& r : d.blocks) ok = ok && add(r.latitude, r.longitude);
  for (const auto& r : d.changes) ok = ok && add(r.latitude, r.longitude);
  for (const auto& r : d.changeCodes) ok = ok && add(r.latitude, r.longitude);
  const std::string path = folder + "TKY2JGD.PAR";
  if (!ok) {
    SetMessage(msg, "ファイルの作成に失敗しました！(%s) point without mesh", path.c_str());
    return 0;
  }

  // The shift of a mesh is the one the three-parameter conversion gives at
  // its south-west corner: a smooth field that agrees with how the
  // description's Tokyo-datum positions were made.
  CDatumConverter converter;
  std::vector<gridbuild::GridEntry> entries;
  for (const auto& [row, column] : meshes) {
    const double latitude = row / 12.0;
    const double longitude = 100.0 + column / 8.0;
    double jgdLongitude = 0;
    double jgdLatitude = 0;
    int method = -1;
    if (!converter.TokyoToJgd(longitude, latitude, &jgdLongitude, &jgdLatitude, &method)) {
      SetMessage(msg, "ファイルの作成に失敗しました！(%s) conversion failed", path.c_str());
      return 0;
    }
    gridbuild::GridEntry e;
    e.meshCode = gridbuild::MeshCode(row, column);
    e.latitudeShift = (jgdLatitude - latitude) * 3600.0;
    e.longitudeShift = (jgdLongitude - longitude) * 3600.0;
    entries.push_back(e);
  }
  std::string error;
  if (!gridbuild::WriteGridFile(path.c_str(), entries, &error)) {
    SetMessage(msg, "ファイルの作成に失敗しました！(%s) %s", path.c_str(), error.c_str());
    return 0;
  }
  return 1;
}

// ---- The whole folder ----

int GenerateDataFolder(const Description& d, const std::string& folderIn,
                       const GenerateOptions& options, char* msg) {
  if (options.indexKind != 1 && options.indexKind != 2) {
    SetMessage(msg, "パラメータに無効な値が渡されました！(%s)", "index kind");
    return 0;
  }
  const std::string folder = WithSeparator(folderIn);
  if (folder.empty()) {
    SetMessage(msg, "パラメータに無効な値が渡されました！(%s)", "folder");
    return 0;
  }
  if (!MakeFolders(folder, msg) || !WriteDictionaryFiles(d, folder, msg) ||
      !WriteUserReplacementFile(d, folder, msg) || !WriteGridParameterFile(d, folder, msg)) {
    return 0;
  }
  CSampleDictionaries dictionaries;
  if (!dictionaries.Load(folder, msg)) return 0;

  for (const PrefectureRow& p : d.prefectures) {
    const int n = PrefectureNumber(p.code);
    if (n == 0) {
      SetMessage(msg, "パラメータに無効な値が渡されました！(%s)", p.code.c_str());
      return 0;
    }
    const std::string ndb = folder + PrefectureFileName("QVAD%02d.NDB", n);
    RecordPositions positions;
    if (!WriteTableDatabase(d, p.code, ndb, &dictionaries, &positions, msg) ||
        !WriteAddressIndexFile(d, p.code, positions, folder + PrefectureFileName("QVAD%02d.TIX", n),
                               options.indexKind, msg) ||
        !BuildCodeIndexFiles(ndb.c_str(), msg) || !WriteNameIndexFiles(ndb, msg) ||
        !WriteChangeHistoryFiles(d, p.code, folder, options.creationTime, msg) ||
        !WriteChangeCodeIndexFile(d, p.code, folder, options.creationTime, msg) ||
        !WritePostalCodeIndex(d, p.code, positions, folder + PrefectureFileName("QVAD%02d.YDB", n),
                              msg) ||
        !WriteReverseGeocodingGrid(d, p.code, folder + PrefectureFileName("%02d.GDB", n), msg)) {
      return 0;
    }
  }
  return 1;
}

}  // namespace sampledata
