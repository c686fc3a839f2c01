#pragma once
// A step shared by the file classes of the table database (CTableDatabase,
// CTagDb, CRecordIndexFile). Internal to the table database library.

#include <cstdint>

#include "common/file_access.h"
#include "plat/file.h"

namespace tabledb_detail {

// Creates (or truncates) the file at path and writes the header bytes at
// its start. When the header cannot be written, the file is closed and
// removed again. 1 for success.
inline int CreateWithHeader(plat::File* file, const char* path, const unsigned char* header,
                            uint32_t size) {
  if (!OpenNewFileForReadWrite(file, path)) return 0;
  if (WriteBytesToFileAt(file, 0, header, size)) return 1;
  file->Close();
  plat::File::Remove(path);
  return 0;
}

}  // namespace tabledb_detail
