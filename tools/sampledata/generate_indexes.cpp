// The index files of one prefecture's database: the address index (.TIX),
// the code indexes (.INX) and the name indexes (.SIF).
#include <string>
#include <vector>

#include "common/message.h"
#include "tabledb/data_source.h"
#include "tabledb/name_index.h"
#include "tabledb/table_database.h"
#include "tabledb/table_sorter.h"
#include "tools/sampledata/generate.h"
#include "tools/tixbuild/tix_writer.h"

namespace sampledata {
namespace {

// "...QVAD13.NDB" without its extension.
std::string WithoutExtension(const std::string& path) {
  return path.size() > 4 ? path.substr(0, path.size() - 4) : path;
}

}  // namespace

int WriteAddressIndexFile(const Description& d, const std::string& prefectureCode,
                          const RecordPositions& positions, const std::string& path, int kind,
                          char* msg) {
  // The description's parent links make the tree (two oaza rows may share
  // the first 8 characters of their codes, so codes alone cannot).
  std::vector<tixbuild::Node> prefectures;
  for (std::size_t p = 0; p < d.prefectures.size(); ++p) {
    if (d.prefectures[p].code != prefectureCode) continue;
    tixbuild::Node pref{positions.prefectures[p], {}};
    for (std::size_t m = 0; m < d.municipalities.size(); ++m) {
      if (d.municipalities[m].parent != static_cast<int>(p)) continue;
      tixbuild::Node city{positions.municipalities[m], {}};
      for (std::size_t o = 0; o < d.oaza.size(); ++o) {
        if (!d.oaza[o].IsOaza() || d.oaza[o].municipality != static_cast<int>(m)) continue;
        tixbuild::Node oaza{positions.oaza[o], {}};
        for (std::size_t c = o + 1; c < d.oaza.size() && !d.oaza[c].IsOaza(); ++c) {
          if (d.oaza[c].parent != static_cast<int>(o)) continue;
          tixbuild::Node chome{positions.oaza[c], {}};
          for (std::size_t b = 0; b < d.blocks.size(); ++b) {
            if (d.blocks[b].parent == static_cast<int>(c)) {
              chome.children.push_back({positions.blocks[b], {}});
            }
          }
          oaza.children.push_back(std::move(chome));
        }
        city.children.push_back(std::move(oaza));
      }
      pref.children.push_back(std::move(city));
    }
    prefectures.push_back(std::move(pref));
  }
  std::string error;
  if (!tixbuild::WriteIndexFile(path.c_str(), prefectures, kind, &error)) {
    SetMessage(msg, "ファイルの作成に失敗しました！(%s) %s", path.c_str(), error.c_str());
    return 0;
  }
  return 1;
}

namespace {

// The positions ordered by two keys, written to the file at path.
int BuildTwoKeyFile(CTableDatabase* db, const CodeIndexDefinition& def, const std::string& path) {
  uint32_t records = 0;
  if (!CountTableRecords(db, def.table, &records)) return 0;
  CDataSource source;
  if (!source.CreateMemory(records > 0 ? 4 * records : 4, 4096)) return 0;
  {
    CTableSorter sorter;
    if (!sorter.Setup(&source, db, def.table, 2) || sorter.AddKey(def.field, kSortAscending) == 0 ||
        sorter.AddKey(def.secondField, kSortAscending) == 0 || !sorter.Build(nullptr, nullptr)) {
      return 0;
    }
  }
  return source.SaveToFile(path.c_str());
}

}  // namespace

int WriteCodeIndexFiles(const std::string& ndbPath, char* msg) {
  CTableDatabase db;
  if (!db.Open(ndbPath.c_str())) {
    SetMessage(msg, "ファイルオープンエラー!(%s)", ndbPath.c_str());
    return 0;
  }
  const std::string base = WithoutExtension(ndbPath);
  for (const CodeIndexDefinition& def : kCodeIndexes) {
    std::vector<std::string> paths = {base + def.suffix + ".INX"};
    // The group-code index is read under both names.
    if (std::string(def.suffix) == "_CDG") paths.push_back(base + def.suffix + ".TIX");
    for (const std::string& path : paths) {
      const int ok = def.secondField != nullptr ? BuildTwoKeyFile(&db, def, path)
                                                : BuildSortedPositionFile(&db, def.table, def.field,
                                                                          path.c_str(), nullptr);
      if (!ok) {
        SetMessage(msg, "ファイルの作成に失敗しました！(%s)", path.c_str());
        return 0;
      }
    }
  }
  return 1;
}

int WriteNameIndexFiles(const std::string& ndbPath, char* msg) {
  const std::string base = WithoutExtension(ndbPath);
  for (const AddressNameIndexDefinition& def : kAddressNameIndexes) {
    const std::string path = base + def.suffix;
    if (!BuildNameIndex(ndbPath.c_str(), def.table, def.fields, 2, path.c_str(), msg)) return 0;
  }
  return 1;
}

}  // namespace sampledata
