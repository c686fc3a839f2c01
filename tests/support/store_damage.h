#pragma once
// Damage done to the store of derived values (plat/derived_store.h) in its
// file, as a failing disk or another program might do it.

#include <string>
#include <string_view>
#include <vector>

namespace testutil {

// Changes one byte in the middle of every copy of value's bytes in the
// store file at storePath (the value's record, and any earlier copy the
// store left on pages it no longer uses), in place: the record no longer
// fits its checksum. The number of copies changed; 0 when value is shorter
// than 16 bytes, is not in the file, or the file could not be written.
int DamageValueInStoreFile(const std::string& storePath, std::string_view value);

// The offsets in the bytes of a store file of the size field of every use
// record: the node of a key of the store (48 bytes) whose head gives 16
// bytes of data, and a use record that says it is 16 bytes long (the
// records of the present state and the copies on pages of earlier ones).
// Setting bit 15 of the 16-bit field there (16 becomes 32,784) damages the
// record's size as a flipped bit on the disk would.
std::vector<std::size_t> UseRecordSizeOffsets(const std::string& file);

}  // namespace testutil
