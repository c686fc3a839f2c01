#pragma once
// The checksum the cache files of the matcher carry over their bytes
// (name tables, dictionary images): eight bytes at a time, then the tail.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

inline uint64_t CacheChecksum(const char* data, std::size_t size) {
  uint64_t hash = 0x9E3779B97F4A7C15ull ^ size;
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t word = 0;
    std::memcpy(&word, data + i, 8);
    hash = (hash ^ word) * 0xff51afd7ed558ccdull;
    hash ^= hash >> 32;
  }
  uint64_t tail = 0;
  std::memcpy(&tail, data + i, size - i);
  hash = (hash ^ tail ^ (size - i)) * 0xc4ceb9fe1a85ec53ull;
  hash ^= hash >> 29;
  return hash;
}

inline uint64_t CacheChecksum(const std::string& bytes) {
  return CacheChecksum(bytes.data(), bytes.size());
}
