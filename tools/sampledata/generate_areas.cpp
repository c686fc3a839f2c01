// The postal-code index (QVADnn.YDB) and the reverse-geocoding grid
// (nn.GDB) of one prefecture.
#include <algorithm>
#include <map>

#include "common/message.h"
#include "common/sjis_text.h"
#include "tools/gdbbuild/gdb_writer.h"
#include "tools/sampledata/generate.h"
#include "tools/ydbbuild/ydb_writer.h"

namespace sampledata {

int WritePostalCodeIndex(const Description& d, const std::string& prefectureCode,
                         const RecordPositions& positions, const std::string& path, char* msg) {
  std::map<uint32_t, std::vector<uint32_t>> codes;
  for (std::size_t i = 0; i < d.oaza.size(); ++i) {
    const OazaRow& r = d.oaza[i];
    if (r.postalCode.empty() || r.placeCode.compare(0, 2, prefectureCode) != 0) continue;
    codes[static_cast<uint32_t>(std::stoul(r.postalCode))].push_back(positions.oaza[i]);
  }
  std::vector<ydbbuild::PostalEntry> entries;
  for (auto& [code, records] : codes) entries.push_back({code, std::move(records)});
  // A prefecture without postal codes gets no index (its search finds
  // nothing there, as for any prefecture without one).
  if (entries.empty()) return 1;
  return ydbbuild::WritePostalIndexFile(path.c_str(), entries, msg);
}

int WriteReverseGeocodingGrid(const Description& d, const std::string& prefectureCode,
                              const std::string& path, char* msg) {
  std::vector<gdbbuild::GridArea> areas;
  for (const AreaRow& a : d.areas) {
    if (a.placeCode.compare(0, 2, prefectureCode) != 0) continue;
    const OazaRow& r = d.oaza[static_cast<std::size_t>(a.row)];
    const MunicipalityRow& m = d.municipalities[static_cast<std::size_t>(r.municipality)];
    const PrefectureRow& p = d.prefectures[static_cast<std::size_t>(m.parent)];
    // The oaza of a municipality without oaza ("大字なし") shows as empty,
    // as in every other result line.
    const bool noOaza = FindSubstring("大字なし", r.oazaName.c_str()) != 0;
    gdbbuild::GridArea area;
    area.code = a.code;
    area.nameRow = r.placeCode + "," + p.name + "," + m.county + m.name + "," + m.countyKana +
                   m.kana + "," + (noOaza ? "" : r.oazaName) + "," + (noOaza ? "" : r.oazaKana) +
                   "," + r.chomeName + "," + r.chomeKana;
    for (const auto& [latitude, longitude] : a.outline)
      area.outline.push_back({static_cast<double>(longitude), static_cast<double>(latitude)});
    areas.push_back(std::move(area));
  }
  if (areas.empty()) return 1;
  return gdbbuild::WriteGridFile(path.c_str(), areas, gdbbuild::GridOptions(), msg);
}

}  // namespace sampledata
