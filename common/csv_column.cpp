#include "common/csv_column.h"

#include "common/csv_fields.h"
#include "common/file_access.h"
#include "common/sjis_text.h"
#include "common/work_memory.h"
#include "plat/file.h"

namespace {
constexpr int kLineSize = 1025;  // a line of up to 1,024 bytes and its NUL
}

int LoadCsvColumn(const char* path, int n, CWorkMemory* list) {
  if (path == nullptr || list == nullptr) return 0;
  plat::File file;
  if (!OpenTextFileForReadWrite(&file, path)) return 0;
  char line[kLineSize];
  char field[kLineSize];
  int result = 1;
  while (ReadLineFromFile(&file, line, sizeof line)) {
    TrimBlanks(line);
    if (IsEmptyString(line)) continue;
    ExtractCsvField(field, line, n);
    if (list->AddString(field) == 0) {
      result = 0;
      break;
    }
  }
  if (result == 1 && file.Failed()) result = 0;
  file.Close();
  return result;
}
