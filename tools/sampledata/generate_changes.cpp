// The change files of one prefecture: the change history pair
// QAD_CHnn.CDB/.CIX and the change-code index QAD_CHnn.CDI.
#include <cstdio>
#include <string>

#include "common/message.h"
#include "tabledb/change_code_index_builder.h"
#include "tabledb/change_history_builder.h"
#include "tools/sampledata/generate.h"

namespace sampledata {
namespace {

bool InPrefecture(const std::string& code, const std::string& prefecture) {
  return code.compare(0, prefecture.size(), prefecture) == 0;
}

const char* OrNull(const std::string& s) { return s.empty() ? nullptr : s.c_str(); }

}  // namespace

int WriteChangeHistoryFiles(const Description& d, const std::string& prefectureCode,
                            const std::string& folder, uint32_t creationTime, char* msg) {
  const int n = PrefectureNumber(prefectureCode);
  const std::string cdb = folder + PrefectureFileName("QAD_CH%02d.CDB", n);
  const std::string cix = folder + PrefectureFileName("QAD_CH%02d.CIX", n);
  uint32_t count = 0;
  for (const ChangeRow& r : d.changes) count += InPrefecture(r.placeCode, prefectureCode) ? 1 : 0;
  if (count == 0) return 1;

  CChangeHistoryBuilder builder;
  if (!builder.Init(count, 16, 200)) {
    SetMessage(msg, "作業用メモリの確保に失敗しました！");
    return 0;
  }
  for (const ChangeRow& r : d.changes) {
    if (!InPrefecture(r.placeCode, prefectureCode)) continue;
    // Coordinate 1 is the latitude; empty names are made by the reader.
    if (!builder.AddRecord(r.placeCode.c_str(), r.blockCode.c_str(), r.lotCode.c_str(),
                           static_cast<uint32_t>(r.latitude), static_cast<uint32_t>(r.longitude),
                           r.scale.c_str(), r.blockName.c_str(), r.lotName.c_str(),
                           r.blockSort.c_str(), r.lotSort.c_str(), r.status, OrNull(r.digit))) {
      SetMessage(msg, "%s line %d: 変更履歴の追加に失敗しました！",
                 DescriptionFileName(DescriptionFile::Changes), r.line);
      return 0;
    }
  }
  builder.PinCreationTime(creationTime);
  return builder.SortByNames(msg) && builder.WriteCompiledData(cdb.c_str(), cix.c_str(), msg);
}

int WriteChangeCodeIndexFile(const Description& d, const std::string& prefectureCode,
                             const std::string& folder, uint32_t creationTime, char* msg) {
  const int n = PrefectureNumber(prefectureCode);
  const std::string cdi = folder + PrefectureFileName("QAD_CH%02d.CDI", n);
  uint32_t count = 0;
  for (const ChangeCodeRow& r : d.changeCodes) {
    count += InPrefecture(r.placeCode, prefectureCode) ? 1 : 0;
  }
  if (count == 0) return 1;

  // Room for the prefecture's rows; the lists grow when needed.
  ChangeCodeIndexCapacities c;
  c.cityBytes = c.cityBytesGrowth = 1024;
  c.areaBytes = c.areaBytesGrowth = 4096;
  c.blockBytes = c.blockBytesGrowth = 8192;
  c.changeBytes = c.changeBytesGrowth = 16384;
  c.cityEntries = c.cityEntriesGrowth = 64;
  c.areaEntries = c.areaEntriesGrowth = 256;
  c.blockEntries = c.blockEntriesGrowth = 1024;
  c.changeEntries = c.changeEntriesGrowth = 4096;
  CChangeCodeIndexBuilder builder;
  if (!builder.Init(c)) {
    SetMessage(msg, "作業用メモリの確保に失敗しました！");
    return 0;
  }
  builder.PinCreationTime(creationTime);

  // The rows stand in the index's order: a new city, area or block begins
  // where its code changes.
  std::string city, area, block;
  for (const ChangeCodeRow& r : d.changeCodes) {
    if (!InPrefecture(r.placeCode, prefectureCode)) continue;
    const std::string rowCity = r.placeCode.substr(0, 5);
    const std::string rowArea = r.placeCode.substr(5, 6);
    bool ok = true;
    bool opened = false;
    if (rowCity != city) {
      ok = builder.AddCity(rowCity.c_str()) != 0;
      city = rowCity;
      opened = true;
    }
    if (ok && (opened || rowArea != area)) {
      ok = builder.AddArea(rowArea.c_str()) != 0;
      area = rowArea;
      opened = true;
    }
    if (ok && (opened || r.blockCode != block)) {
      ok = builder.AddBlock(r.blockCode.c_str(), r.blockName.c_str(), OrNull(r.blockName2)) != 0;
      block = r.blockCode;
    }
    char digit[16];
    char status[16];
    std::snprintf(digit, sizeof digit, "%d", static_cast<int>(r.digit));
    std::snprintf(status, sizeof status, "%d", static_cast<int>(r.status));
    // Number 1 is the latitude, number 2 the longitude (given first).
    if (!ok ||
        !builder.AddChange(r.lotCode.c_str(), r.lotName.c_str(), OrNull(r.lotName2),
                           static_cast<uint32_t>(r.longitude), static_cast<uint32_t>(r.latitude),
                           r.scale.c_str(), digit, status)) {
      SetMessage(msg, "%s line %d: 変更コード索引の追加に失敗しました！",
                 DescriptionFileName(DescriptionFile::ChangeCodes), r.line);
      return 0;
    }
  }
  if (!builder.WriteChangeHistoryIndex(cdi.c_str())) {
    SetMessage(msg, "ファイルの作成に失敗しました！(%s)", cdi.c_str());
    return 0;
  }
  return 1;
}

}  // namespace sampledata
