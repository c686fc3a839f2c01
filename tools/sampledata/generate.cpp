#include "tools/sampledata/generate.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <utility>

#include "common/allocation_guard.h"
#include "common/message.h"
#include "common/sjis_text.h"
#include "matching/datum_converter.h"
#include "matching/dictionary_loaders.h"
#include "matching/normalize.h"
#include "plat/file.h"
#include "plat/path.h"
#include "tabledb/code_index_files.h"
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

int StageTextLines(const std::string& path, const std::vector<std::string>& lines,
                   builder::StagedFiles* files, char* msg) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  builder::StageFailure failure = builder::StageFailure::kNone;
  if (!files->Add(path.c_str(), text, &failure)) {
    SetMessage(msg,
               failure == builder::StageFailure::kCreate
                   ? "ファイルの作成に失敗しました！(%s)"
                   : "ファイルへの書き込みに失敗しました!(%s)",
               path.c_str());
    return 0;
  }
  return 1;
}

int WriteTextLines(const std::string& path, const std::vector<std::string>& lines, char* msg) {
  builder::StagedFiles files;
  if (!StageTextLines(path, lines, &files, msg)) return 0;
  if (!files.Commit()) {
    SetMessage(msg, "ファイルへの書き込みに失敗しました!(%s)", path.c_str());
    return 0;
  }
  return 1;
}

int WriteUserReplacementFile(const Description& d, const std::string& folder, char* msg) {
  return WriteTextLines(folder + kUserReplacementFile, d.userReplacementLines, msg);
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

namespace {

// Every file of one prefecture.
int GeneratePrefecture(const Description& d, const PrefectureRow& p, const std::string& folder,
                       const GenerateOptions& options, CSampleDictionaries* dictionaries,
                       char* msg) {
  const int n = PrefectureNumber(p.code);
  const std::string ndb = folder + PrefectureFileName("QVAD%02d.NDB", n);
  RecordPositions positions;
  return WriteTableDatabase(d, p.code, ndb, dictionaries, &positions, msg) &&
         WriteAddressIndexFile(d, p.code, positions, folder + PrefectureFileName("QVAD%02d.TIX", n),
                               options.indexKind, msg) &&
         BuildCodeIndexFiles(ndb.c_str(), msg) && WriteNameIndexFiles(ndb, msg) &&
         WriteChangeHistoryFiles(d, p.code, folder, options.creationTime, msg) &&
         WriteChangeCodeIndexFile(d, p.code, folder, options.creationTime, msg) &&
         WritePostalCodeIndex(d, p.code, positions, folder + PrefectureFileName("QVAD%02d.YDB", n),
                              msg) &&
         WriteReverseGeocodingGrid(d, p.code, folder + PrefectureFileName("%02d.GDB", n), msg);
}

// One worker process per prefecture, at most options.jobs at a time, the
// prefectures with the most rows first. A worker that fails hands its
// message back through a pipe. The files do not depend on the order.
int GeneratePrefecturesInWorkers(const Description& d, const std::string& folder,
                                 const GenerateOptions& options, CSampleDictionaries* dictionaries,
                                 char* msg) {
  std::vector<std::pair<std::size_t, std::size_t>> order;  // (rows, prefecture)
  for (std::size_t p = 0; p < d.prefectures.size(); ++p) order.push_back({0, p});
  for (const OazaRow& r : d.oaza) {
    if (r.municipality < 0) continue;
    const int p = d.municipalities[static_cast<std::size_t>(r.municipality)].parent;
    if (p >= 0) ++order[static_cast<std::size_t>(p)].first;
  }
  std::stable_sort(order.begin(), order.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });

  struct Worker {
    pid_t pid;
    int pipe;
  };
  std::vector<Worker> running;
  int ok = 1;
  // Waits for one worker; its message, if any, becomes the result.
  auto reap = [&]() {
    int status = 0;
    const pid_t pid = ::wait(&status);
    for (std::size_t i = 0; i < running.size(); ++i) {
      if (running[i].pid != pid) continue;
      char text[kMessageSize] = "";
      std::size_t got = 0;
      ssize_t n = 0;
      while (got + 1 < sizeof text &&
             (n = ::read(running[i].pipe, text + got, sizeof text - 1 - got)) > 0)
        got += static_cast<std::size_t>(n);
      text[got] = '\0';
      ::close(running[i].pipe);
      if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        if (ok) SetMessage(msg, "%s", text[0] ? text : "worker failed");
        ok = 0;
      }
      running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
    ok = 0;  // no child left to wait for
    running.clear();
  };
  for (const auto& [rows, p] : order) {
    while (static_cast<int>(running.size()) >= options.jobs) reap();
    if (!ok) break;
    int fds[2];
    if (::pipe(fds) != 0) {
      SetMessage(msg, "ファイルの作成に失敗しました！(%s)", "pipe");
      ok = 0;
      break;
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(fds[0]);
      char text[kMessageSize] = "";
      // Memory running out ends the worker with its message; nothing is
      // thrown back into the parent's frames, which this process shares.
      const int done = CatchAllocationFailure(text, 0, [&] {
        return GeneratePrefecture(d, d.prefectures[p], folder, options, dictionaries, text);
      });
      if (!done) {
        const std::size_t length = std::strlen(text);
        if (::write(fds[1], text, length) < 0) {
          // The exit status still tells the failure.
        }
      }
      ::_exit(done ? 0 : 1);
    }
    ::close(fds[1]);
    if (pid < 0) {
      ::close(fds[0]);
      SetMessage(msg, "ファイルの作成に失敗しました！(%s)", "fork");
      ok = 0;
      break;
    }
    running.push_back({pid, fds[0]});
  }
  while (!running.empty()) reap();
  return ok;
}

}  // namespace

int GenerateDataFolderAside(const Description& d, const std::string& folderIn,
                            const GenerateOptions& options, builder::StagedFolder* staged,
                            char* msg) {
  if (options.indexKind != 1 && options.indexKind != 2) {
    SetMessage(msg, "パラメータに無効な値が渡されました！(%s)", "index kind");
    return 0;
  }
  if (folderIn.empty()) {
    SetMessage(msg, "パラメータに無効な値が渡されました！(%s)", "folder");
    return 0;
  }
  for (const PrefectureRow& p : d.prefectures) {
    if (PrefectureNumber(p.code) == 0) {
      SetMessage(msg, "パラメータに無効な値が渡されました！(%s)", p.code.c_str());
      return 0;
    }
  }
  std::string reason;
  if (!staged->Begin(folderIn, &reason)) {
    SetMessage(msg, "フォルダの作成に失敗しました！(%s) %s", folderIn.c_str(), reason.c_str());
    return 0;
  }
  const std::string& folder = staged->path();
  if (!WriteDictionaryFiles(d, folder, msg) || !WriteUserReplacementFile(d, folder, msg) ||
      !WriteGridParameterFile(d, folder, msg)) {
    return 0;
  }
  CSampleDictionaries dictionaries;
  if (!dictionaries.Load(folder, msg)) return 0;
  if (options.jobs > 1) return GeneratePrefecturesInWorkers(d, folder, options, &dictionaries, msg);
  for (const PrefectureRow& p : d.prefectures) {
    if (!GeneratePrefecture(d, p, folder, options, &dictionaries, msg)) return 0;
  }
  return 1;
}

int CommitDataFolder(builder::StagedFolder* staged, const std::string& folder, char* msg) {
  std::string reason;
  if (!staged->Commit(&reason)) {
    SetMessage(msg, "フォルダの作成に失敗しました！(%s) %s", folder.c_str(), reason.c_str());
    return 0;
  }
  return 1;
}

int GenerateDataFolder(const Description& d, const std::string& folder,
                       const GenerateOptions& options, char* msg) {
  builder::StagedFolder staged;
  return GenerateDataFolderAside(d, folder, options, &staged, msg) &&
         CommitDataFolder(&staged, folder, msg);
}

}  // namespace sampledata
