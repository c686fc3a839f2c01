#pragma once
// Preparing a file-status record for a status query.

#include "plat/file.h"

// Zeroes the three time stamps (created, modified, accessed: 24 bytes in
// all) of the record; returns the record. A null record gives null.
plat::FileStatus* ClearFileStatusTimes(plat::FileStatus* status);
