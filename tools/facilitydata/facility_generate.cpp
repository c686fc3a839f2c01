#include "tools/facilitydata/facility_generate.h"

#include "common/file_access.h"
#include "common/message.h"
#include "tabledb/data_source.h"
#include "tabledb/name_index.h"
#include "tabledb/table_database.h"
#include "tabledb/table_sorter.h"
#include "tabledb/tag_db.h"
#include "tools/nibbuild/nib_writer.h"
#include "tools/staged_output.h"

namespace facilitydata {
namespace {

constexpr const char* kStringFields[] = {"名称",   "名称よみ", "行政名",
                                         "大分類", "中分類",   "小分類"};
constexpr const char* kDoubleFields[] = {"緯度", "経度", "行政JISコード"};

int WriteDatabase(const FacilityDescription& d, const std::string& path, std::vector<uint32_t>* ids,
                  char* msg) {
  CTableDatabase db;
  int ok = db.Create(path.c_str()) && db.CreateTable(kFacilityTable) != 0;
  for (const char* f : kStringFields) {
    ok = ok && db.AddField(kFacilityTable, f, kTdbString, 0, nullptr, nullptr, 0, 0) != 0;
  }
  for (const char* f : kDoubleFields) {
    ok = ok && db.AddField(kFacilityTable, f, kTdbDouble, 0, nullptr, nullptr, 0, 0) != 0;
  }
  ok = ok && db.UpdateMaxRecordSize();
  for (const FacilityRow& r : d.facilities) {
    if (!ok) break;
    const uint32_t record = db.AddRecord(kFacilityTable);
    const char* texts[] = {r.name.c_str(),  r.kana.c_str(),   r.area.c_str(),
                           r.major.c_str(), r.middle.c_str(), r.minor.c_str()};
    const double numbers[] = {static_cast<double>(r.latitude), static_cast<double>(r.longitude),
                              static_cast<double>(r.cityCode)};
    ok = record != 0;
    for (int i = 0; ok && i < 6; ++i)
      ok = db.SetString(record, kFacilityTable, kStringFields[i], texts[i]);
    for (int i = 0; ok && i < 3; ++i)
      ok = db.SetDouble(record, kFacilityTable, kDoubleFields[i], numbers[i]);
    ids->push_back(record);
  }
  db.Close();
  if (!ok) {
    SetMessage(msg, "データベースの作成に失敗しました！[DATABASE:%s]", path.c_str());
    return 0;
  }
  return 1;
}

// A tree file of the sorted category keys (and the 行政名 key for the value
// tree) under the top node 施設検索.
int WriteTree(const std::string& ndb, const std::string& path, int records, char* msg) {
  CTableDatabase db;
  CDataSource source;
  CTableSorter sorter;
  CTagDb tree;
  const char* keys[] = {"大分類", "中分類", "小分類", "行政名"};
  const uint32_t keyCount = records ? 3 : 4;
  int ok = db.Open(ndb.c_str()) && source.CreateMemory(4096, 4096) &&
           sorter.Setup(&source, &db, kFacilityTable, keyCount);
  for (uint32_t k = 0; ok && k < keyCount; ++k) ok = sorter.AddKey(keys[k], kSortAscending) != 0;
  ok = ok && sorter.Build(nullptr, nullptr) && tree.Create(path.c_str());
  const uint32_t top = ok ? tree.AddNamedChild(kTagTopLevel, kFacilityTable) : 0;
  ok = top != 0 &&
       (records ? sorter.ExportRecordTree(&tree, top) : sorter.ExportValueTree(&tree, top));
  tree.Close();
  if (!ok) {
    plat::File::Remove(path.c_str());
    SetMessage(msg, "ファイルの作成に失敗しました！(%s)", path.c_str());
    return 0;
  }
  return 1;
}

int WriteGridIndex(const FacilityDescription& d, const std::vector<uint32_t>& ids,
                   const std::string& path, char* msg) {
  std::vector<nibbuild::NibPoint> points;
  for (std::size_t k = 0; k < d.facilities.size(); ++k) {
    points.push_back({ids[k], static_cast<double>(d.facilities[k].longitude),
                      static_cast<double>(d.facilities[k].latitude)});
  }
  nibbuild::NibLayout layout;
  layout.table = kFacilityTable;
  layout.xField = "経度";
  layout.yField = "緯度";
  layout.columns = kFacilityGridColumns;
  layout.rows = kFacilityGridRows;
  layout.maxPointsPerCell = kFacilityGridCellPoints;
  layout.maxDepth = kFacilityGridDepth;
  std::string error;
  if (!nibbuild::SetAreaFromPoints(&layout, points) ||
      !nibbuild::WriteNibFile(path.c_str(), layout, points, &error)) {
    SetMessage(msg, "ファイルの作成に失敗しました！(%s)", path.c_str());
    return 0;
  }
  return 1;
}

int WritePriorityTable(const FacilityDescription& d, const std::string& path, char* msg) {
  plat::File file;
  if (!OpenNewTextFileForWriteWithError(&file, path.c_str(), msg)) return 0;
  int ok = 1;
  for (const std::string& line : d.priorityLines) ok = ok && WriteLineToFile(&file, line.c_str());
  ok = file.Close() && ok;
  if (!ok) {
    plat::File::Remove(path.c_str());
    SetMessage(msg, "ファイルへの書き込みに失敗しました!(%s)", path.c_str());
    return 0;
  }
  return 1;
}

}  // namespace

int GenerateFacilityFolder(const FacilityDescription& d, const std::string& folder,
                           std::vector<uint32_t>* recordIds, char* msg) {
  if (folder.empty() || d.facilities.empty()) {
    SetMessage(msg, "パラメータに無効な値が渡されました！(%s)", "folder");
    return 0;
  }
  // Written aside and put in place when every file is complete.
  builder::StagedFolder staged;
  std::string reason;
  if (!staged.Begin(folder, &reason)) {
    SetMessage(msg, "フォルダの作成に失敗しました！(%s) %s", folder.c_str(), reason.c_str());
    return 0;
  }
  const std::string base = staged.path();
  const std::string ndb = base + "施設検索.NDB";
  std::vector<uint32_t> ids;
  if (!WriteDatabase(d, ndb, &ids, msg)) return 0;
  const char* nameField[] = {"名称"};
  const char* areaField[] = {"行政名"};
  if (!BuildNameIndex(ndb.c_str(), kFacilityTable, nameField, 1, (base + "名称.SIF").c_str(),
                      msg) ||
      !BuildNameIndex(ndb.c_str(), kFacilityTable, areaField, 1, (base + "行政.SIF").c_str(),
                      msg) ||
      !WriteTree(ndb, base + "分類.TDB", 1, msg) ||
      !WriteTree(ndb, base + "施設検索.TDB", 0, msg) ||
      !WriteGridIndex(d, ids, base + "範囲.NIB", msg)) {
    return 0;
  }
  std::string error;
  const std::string pairPath = base + "施設置換.BIN";
  if (!dictbuild::WritePairFile(pairPath.c_str(), dictbuild::PairFileForm::kHeaderless, d.pairs,
                                &error)) {
    SetMessage(msg, "ファイルの作成に失敗しました！(%s)", pairPath.c_str());
    return 0;
  }
  if (!WritePriorityTable(d, base + "表示優先.tbl", msg)) return 0;
  if (!staged.Commit(&reason)) {
    SetMessage(msg, "フォルダの作成に失敗しました！(%s) %s", folder.c_str(), reason.c_str());
    return 0;
  }
  if (recordIds) *recordIds = std::move(ids);
  return 1;
}

}  // namespace facilitydata
