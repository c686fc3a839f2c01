#pragma once
// The address tree of a prefecture's table database, as the address index
// holds it:
//   level 1  TC_Todoufuken rows;
//   level 2  TC_Shikutyoson rows, under the prefecture whose 都道府県コード
//            is the first 2 bytes of their 行政JISコード;
//   level 3  TC_Oaza rows with 大字代表点フラグ "1" (oaza rows), under the
//            municipality whose 行政JISコード is the first 5 bytes of their
//            地名コード;
//   level 4  TC_Oaza rows with 大字代表点フラグ "0" (aza/chome rows, also
//            the placeholder row of an oaza without chome), under the oaza
//            row whose 地名コード has the same first 8 bytes;
//   level 5  TC_Gaiku rows, under the aza/chome row of the same 地名コード.
// Children keep the order of the table's record chain. Every node carries
// the record-header position of its row.

#include <string>
#include <vector>

#include "tools/tixbuild/tix_writer.h"

class CTableDatabase;

namespace tixbuild {

// Reads the four tables of an open database. Refused (false, with a reason)
// when a table or field is missing, a value cannot be read, a code is too
// short, a flag is neither "0" nor "1", a parent code is not unique, or a
// row has no parent.
bool CollectAddressTree(CTableDatabase* database, std::vector<Node>* prefectures,
                        std::string* error);

// Opens the database, collects its tree and writes the index of that kind.
bool BuildIndexFromDatabase(const char* ndbPath, const char* tixPath, int kind, std::string* error);

}  // namespace tixbuild
