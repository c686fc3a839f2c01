// The index files of one prefecture's database: the address index (.TIX),
// and the name indexes (.SIF).
#include <string>
#include <vector>

#include "common/message.h"
#include "tabledb/name_index.h"
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
  // the first 8 characters of their codes, so codes alone cannot). The
  // children of each row are gathered once, in row order, so that a
  // national-size description costs one pass.
  std::vector<std::vector<std::size_t>> citiesOf(d.prefectures.size());
  std::vector<std::vector<std::size_t>> oazaOf(d.municipalities.size());
  std::vector<std::vector<std::size_t>> blocksOf(d.oaza.size());
  for (std::size_t m = 0; m < d.municipalities.size(); ++m) {
    const int p = d.municipalities[m].parent;
    if (p >= 0 && d.prefectures[static_cast<std::size_t>(p)].code == prefectureCode)
      citiesOf[static_cast<std::size_t>(p)].push_back(m);
  }
  for (std::size_t o = 0; o < d.oaza.size(); ++o) {
    const int m = d.oaza[o].municipality;
    if (d.oaza[o].IsOaza() && m >= 0) oazaOf[static_cast<std::size_t>(m)].push_back(o);
  }
  for (std::size_t b = 0; b < d.blocks.size(); ++b) {
    if (d.blocks[b].parent >= 0)
      blocksOf[static_cast<std::size_t>(d.blocks[b].parent)].push_back(b);
  }
  std::vector<tixbuild::Node> prefectures;
  for (std::size_t p = 0; p < d.prefectures.size(); ++p) {
    if (d.prefectures[p].code != prefectureCode) continue;
    tixbuild::Node pref{positions.prefectures[p], {}};
    for (const std::size_t m : citiesOf[p]) {
      tixbuild::Node city{positions.municipalities[m], {}};
      for (const std::size_t o : oazaOf[m]) {
        tixbuild::Node oaza{positions.oaza[o], {}};
        for (std::size_t c = o + 1; c < d.oaza.size() && !d.oaza[c].IsOaza(); ++c) {
          if (d.oaza[c].parent != static_cast<int>(o)) continue;
          tixbuild::Node chome{positions.oaza[c], {}};
          for (const std::size_t b : blocksOf[c])
            chome.children.push_back({positions.blocks[b], {}});
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

int WriteNameIndexFiles(const std::string& ndbPath, char* msg) {
  const std::string base = WithoutExtension(ndbPath);
  for (const AddressNameIndexDefinition& def : kAddressNameIndexes) {
    const std::string path = base + def.suffix;
    if (!BuildNameIndex(ndbPath.c_str(), def.table, def.fields, 2, path.c_str(), msg)) return 0;
  }
  return 1;
}

}  // namespace sampledata
