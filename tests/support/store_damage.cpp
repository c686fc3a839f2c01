#include "store_damage.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "test_util.h"

namespace testutil {

int DamageValueInStoreFile(const std::string& storePath, std::string_view value) {
  if (value.size() < 16) return 0;
  const std::string bytes = ReadBytes(storePath);
  std::vector<std::size_t> copies;
  for (std::size_t at = bytes.find(value); at != std::string::npos;
       at = bytes.find(value, at + value.size()))
    copies.push_back(at + value.size() / 2);
  if (copies.empty()) return 0;
  // Written where the bytes stand: the file keeps its inode and size, as a
  // process that has the store open maps it.
  const int fd = open(storePath.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  int changed = 0;
  for (const std::size_t at : copies) {
    const char flipped = static_cast<char>(~static_cast<unsigned char>(bytes[at]));
    if (pwrite(fd, &flipped, 1, static_cast<off_t>(at)) == 1) ++changed;
  }
  close(fd);
  return changed == static_cast<int>(copies.size()) ? changed : 0;
}

std::vector<std::size_t> UseRecordSizeOffsets(const std::string& file) {
  constexpr std::size_t kNodeHead = 8, kKey = 48, kUse = 16;
  std::vector<std::size_t> at;
  for (std::size_t p = 0; p + kNodeHead + kKey + kUse <= file.size(); p += 2) {
    std::uint16_t lo, hi, flags, keySize;
    std::memcpy(&lo, &file[p], 2);
    std::memcpy(&hi, &file[p + 2], 2);
    std::memcpy(&flags, &file[p + 4], 2);
    std::memcpy(&keySize, &file[p + 6], 2);
    std::uint32_t says;
    std::memcpy(&says, &file[p + kNodeHead + kKey + 8], 4);
    if (lo == kUse && hi == 0 && flags == 0 && keySize == kKey && says == kUse) at.push_back(p);
  }
  return at;
}

}  // namespace testutil
