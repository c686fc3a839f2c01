#include "tabledb/code_index_files.h"

#include "common/message.h"
#include "common/message_texts.h"
#include "plat/file.h"
#include "tabledb/table_database.h"
#include "tabledb/table_sorter.h"
#include "tabledb/tc_access.h"

int BuildCodeIndexFiles(const char* databasePath, char* msg) {
  CTableDatabase database;
  if (!databasePath || !database.Open(databasePath)) {
    SetMessage(msg, kMsgFileOpen, databasePath ? databasePath : "");
    return 0;
  }
  char written[kCodeIndexFileCount][kCodeIndexPathSize];
  for (int i = 0; i < kCodeIndexFileCount; ++i) {
    const CodeIndexFile& f = kCodeIndexFiles[i];
    const int made =
        MakeCodeIndexPath(databasePath, f.suffix, written[i], sizeof written[i], f.extension) &&
        BuildSortedPositionFile(&database, f.table, f.field, written[i], nullptr, f.secondField);
    if (!made) {
      SetMessage(msg, kMsgFileCreate, written[i]);
      for (int k = 0; k < i; ++k) plat::File::Remove(written[k]);
      return 0;
    }
  }
  return 1;
}
