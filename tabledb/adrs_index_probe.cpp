// The data-folder probe of the address index kind and the precision
// classes of coordinate scales.

#include <cstdio>
#include <cstring>

#include "common/file_access.h"
#include "common/sjis_text.h"
#include "plat/file.h"
#include "tabledb/adrs_engine.h"

int ProbeIndexFile(const char* path) {
  plat::File file;
  if (!OpenFileForRead(&file, path)) return 0;
  unsigned char header[kTixHeaderSize];
  uint64_t length = 0;
  if (!ReadBytesFromFile(&file, header, kTixHeaderSize) || !file.GetLength(length)) return 0;
  if (std::memcmp(header, kTixMagic, kTixMagicLength) == 0) return 1;
  unsigned char check[kTixCheckLength];
  if (IndexHeaderCheckValue(static_cast<uint32_t>(length), header, check) &&
      std::memcmp(header, check, kTixCheckLength) == 0) {
    return 2;
  }
  return 0;
}

int ProbeIndexFiles(const char* dataFolder) {
  if (!dataFolder) return 0;
  // The folder with its backslash, and room for "QVAD%02d.TIX".
  char folder[CAdrsEngine::kPathSize + 2];
  const std::size_t n = std::strlen(dataFolder);
  if (n >= CAdrsEngine::kPathSize) return 0;
  std::memcpy(folder, dataFolder, n + 1);
  AppendBackslash(folder);
  for (int i = 1; i <= 47; ++i) {
    char path[sizeof folder + 16];
    std::snprintf(path, sizeof path, "%sQVAD%02d.TIX", folder, i);
    const int kind = ProbeIndexFile(path);
    if (kind != 0) return kind;
  }
  return 0;
}

namespace {

struct ScaleRow {
  const char* scale;
  const char* shortCode;
  int code;
  int precision;
};

constexpr ScaleRow kScaleRows[] = {
    {"10000", "1", 1, 1}, {"2000", "20", 20, 2}, {"25000", "2", 2, 3},
    {"50000", "3", 3, 4}, {"70000", "7", 7, 5},  {"80000", "8", 8, 6},
};

constexpr int kUnknownPrecision = 7;

}  // namespace

int PrecisionFromScale(const char* text, int shortCodes) {
  if (!text) return kUnknownPrecision;
  for (const ScaleRow& row : kScaleRows) {
    if (std::strcmp(text, row.scale) == 0) return row.precision;
    if (shortCodes && std::strcmp(text, row.shortCode) == 0) return row.precision;
  }
  return kUnknownPrecision;
}

int PrecisionFromScaleCode(int32_t code) {
  const int low = static_cast<int>(static_cast<uint32_t>(code) & 0xFFu);
  for (const ScaleRow& row : kScaleRows) {
    if (low == row.code) return row.precision;
  }
  return kUnknownPrecision;
}
