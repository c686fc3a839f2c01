#include "common/file_status.h"

plat::FileStatus* ClearFileStatusTimes(plat::FileStatus* status) {
  if (!status) return status;
  status->created = 0;
  status->modified = 0;
  status->accessed = 0;
  return status;
}
