#pragma once
// Damage done to the store of derived values (plat/derived_store.h) in its
// file, as a failing disk or another program might do it.

#include <string>
#include <string_view>

namespace testutil {

// Changes one byte in the middle of every copy of value's bytes in the
// store file at storePath (the value's record, and any earlier copy the
// store left on pages it no longer uses), in place: the record no longer
// fits its checksum. The number of copies changed; 0 when value is shorter
// than 16 bytes, is not in the file, or the file could not be written.
int DamageValueInStoreFile(const std::string& storePath, std::string_view value);

}  // namespace testutil
