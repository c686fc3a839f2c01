#include "tabledb/tix_format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/file_access.h"
#include "common/le_bytes.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/sjis_text.h"
#include "plat/file.h"

namespace {

// The longest data folder the probe takes (with its NUL).
constexpr std::size_t kTixFolderSize = CTixFile::kPathSize;
constexpr uint32_t kIndexWindowSize = 65536;

}  // namespace

// ---------------------------------------------------------------------------
// Header and entries

void DecodeTixHeader(const unsigned char* bytes, TixHeader* header) {
  std::memcpy(header->lead, bytes, kTixMagicLength);
  for (int level = 0; level < kTixLevelCount; ++level) {
    const unsigned char* p = bytes + kTixMagicLength + 8 * level;
    header->levels[level].offset = static_cast<uint32_t>(LoadLe(p, 4));
    header->levels[level].count = static_cast<uint32_t>(LoadLe(p + 4, 4));
  }
}

void DecodeTixEntry(const unsigned char* bytes, TixEntry* entry) {
  entry->record = static_cast<uint32_t>(LoadLe(bytes, 4));
  entry->childBase = static_cast<uint32_t>(LoadLe(bytes + 4, 4));
  entry->childCount = static_cast<uint16_t>(LoadLe(bytes + 8, 2));
}

int IndexHeaderCheckValue(uint32_t length, const unsigned char* header, unsigned char* out) {
  if (!header || !out) return 0;
  auto d = [header](int offset) { return static_cast<uint32_t>(LoadLe(header + offset, 4)); };
  const uint32_t len = length;
  uint32_t b[kTixCheckLength];
  if (len & 1u) {
    b[0] = d(10) + d(14) + d(26) + d(30);
    b[1] = len + d(34) + d(38);
    b[2] = d(22) + d(26) + d(38);
    b[3] = (d(10) + d(18) + d(26) + d(34) + d(42)) >> 4;
    b[4] = len + d(6) + d(14) + 2u * d(30);
  } else {
    b[0] = d(18) + d(26) + d(38);
    b[1] = len + d(34);
    b[2] = (len + d(30) + d(34)) >> 2;
    b[3] = d(6) + d(14) + d(26);
    b[4] = (d(10) + 2u * d(18) + d(34)) >> 4;
  }
  for (int i = 0; i < kTixCheckLength; ++i) out[i] = static_cast<unsigned char>(b[i] & 0xFFu);
  return 1;
}

// ---------------------------------------------------------------------------
// Index kind of a data folder

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
  char folder[kTixFolderSize + 2];
  const std::size_t n = std::strlen(dataFolder);
  if (n >= kTixFolderSize) return 0;
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

// ---------------------------------------------------------------------------
// The open index

int CTixFile::Open(const char* path, int32_t kind) {
  Close();
  if (kind != 1 && kind != 2) return 0;
  if (!path || std::strlen(path) >= kPathSize) return 0;
  if (!file_.OpenSharedImage(path)) {
    return 0;
  }
  unsigned char bytes[kTixHeaderSize];
  int good = file_.ReadAt(0, bytes, kTixHeaderSize);
  if (good) {
    if (kind == 1) {
      good = std::memcmp(bytes, kTixMagic, kTixMagicLength) == 0;
    } else {
      unsigned char check[kTixCheckLength];
      good = IndexHeaderCheckValue(file_.GetSize(), bytes, check) &&
             std::memcmp(bytes, check, kTixCheckLength) == 0;
    }
  }
  if (!good) {
    Close();
    return 0;
  }
  DecodeTixHeader(bytes, &header_);
  std::memcpy(path_, path, std::strlen(path) + 1);
  kind_ = kind;
  open_ = 1;
  return 1;
}

void CTixFile::Close() {
  file_.Close();
  open_ = 0;
  kind_ = 0;
  path_[0] = '\0';
  header_ = TixHeader();
}

int CTixFile::ReadEntry(int level, uint32_t childBase, uint16_t n, TixEntry* entry, char* msg) {
  // Worked out in 64 bits: a position beyond 32 bits cannot be read and
  // must not wrap onto another entry.
  const uint64_t position = static_cast<uint64_t>(header_.levels[level].offset) + childBase +
                            (static_cast<uint64_t>(n) - 1) * kTixEntrySize;
  unsigned char bytes[kTixEntrySize];
  if (!open_ || n == 0 || !entry || position > UINT32_MAX ||
      !file_.ReadAt(static_cast<uint32_t>(position), bytes, kTixEntrySize)) {
    SetMessage(msg, kMsgFileRead, path_);
    return 0;
  }
  DecodeTixEntry(bytes, entry);
  return 1;
}

uint32_t CTixFile::ReadEntries(int level, uint32_t childBase, uint16_t first, uint32_t count,
                               TixEntry* entries, char* msg) {
  constexpr uint32_t kRun = 64;  // entries read at once
  unsigned char bytes[kRun * kTixEntrySize];
  uint32_t done = 0;
  while (done < count) {
    const uint32_t n = static_cast<uint32_t>(first) + done;
    const uint32_t run = std::min(kRun, count - done);
    // A run that does not read whole (or lies past entry 65535) is read
    // entry by entry, so that it stops where ReadEntry does.
    const uint64_t position = static_cast<uint64_t>(header_.levels[level].offset) + childBase +
                              (static_cast<uint64_t>(n) - 1) * kTixEntrySize;
    if (open_ && n != 0 && n + run - 1 <= UINT16_MAX && entries != nullptr &&
        position + run * kTixEntrySize - 1 <= UINT32_MAX &&
        file_.ReadAt(static_cast<uint32_t>(position), bytes, run * kTixEntrySize)) {
      for (uint32_t k = 0; k < run; ++k)
        DecodeTixEntry(bytes + k * kTixEntrySize, &entries[done + k]);
      done += run;
      continue;
    }
    for (uint32_t k = 0; k < run; ++k, ++done) {
      if (n + k > UINT16_MAX || !ReadEntry(level, childBase, static_cast<uint16_t>(n + k),
                                           entries == nullptr ? nullptr : &entries[done], msg))
        return done;
    }
  }
  return done;
}
