#pragma once
// The sorted code index files beside a prefecture's table database
// QVAD%02d.NDB: each a headerless array of 32-bit little-endian
// record-header positions of one table, ascending by one STRING field
// (unsigned bytes), written by the table sorter (tabledb/table_sorter.h)
// and searched by the halving search of tabledb/tc_access.h.
//
//   file                   records          ordered by     used by
//   QVAD%02d_CD1.INX       TC_Todoufuken    都道府県コード   result lines
//   QVAD%02d_CD2.INX       TC_Shikutyoson   行政JISコード    result lines, keyword search
//   QVAD%02d_CD3.INX       TC_Oaza          地名コード       group-code lookup, result lines
//   QVAD%02d_CD4.INX       TC_Gaiku         地名コード       keyword search (blocks)
//                                           then 街区番号コード (the rows of one block stand
//                                           together)
//   QVAD%02d_CD5.INX       TC_Oaza          行政JISコード    keyword search (oaza filter)
//   QVAD%02d_CDG.INX       TC_Oaza          グループコード   group-code listing
//   QVAD%02d_CDG.TIX       the same content as _CDG.INX      the engine's group index
// Records with equal keys keep the order the sorter leaves them in; the
// searches step back to the first of a run.

#include <cstdint>

#include "tabledb/table_names.h"

struct CodeIndexFile {
  const char* suffix;     // appended to the database's file title
  const char* extension;  // with its dot
  const char* table;
  const char* field;
  const char* secondField;  // orders records with equal keys; null for none
};

inline constexpr int kCodeIndexFileCount = 7;
inline constexpr CodeIndexFile kCodeIndexFiles[kCodeIndexFileCount] = {
    {"_CD1", ".INX", kTablePrefecture, kFieldPrefectureCode, nullptr},
    {"_CD2", ".INX", kTableCity, kFieldCityCode, nullptr},
    {"_CD3", ".INX", kTableOaza, kFieldPlaceCode, nullptr},
    {"_CD4", ".INX", kTableBlock, kFieldPlaceCode, "街区番号コード"},
    {"_CD5", ".INX", kTableOaza, kFieldCityCode, nullptr},
    {"_CDG", ".INX", kTableOaza, kFieldGroupCode, nullptr},
    {"_CDG", ".TIX", kTableOaza, kFieldGroupCode, nullptr},
};

// Writes every file of kCodeIndexFiles beside the database at
// databasePath (CP932; the files are named from its file title). 1 on
// success; else 0 with "ファイルオープンエラー!(%s)" (the database) or
// "ファイルの作成に失敗しました！(%s)" (the index file that failed), and the
// files this call had written are removed again.
int BuildCodeIndexFiles(const char* databasePath, char* msg);
