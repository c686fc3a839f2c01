#include "tools/tixbuild/tix_writer.h"

#include <cstring>

#include "tools/image_file.h"

namespace tixbuild {

namespace {

uint32_t Get32(const unsigned char* p) { return LoadLeValue<uint32_t>(p); }

constexpr uint32_t kMaxEntries = 65535;

}  // namespace

void ComputeCheckBytes(uint32_t fileLength, const unsigned char* header, unsigned char out[5]) {
  // Every sum wraps at 32 bits and keeps only its low byte.
  const uint32_t L = fileLength;
  const uint32_t v6 = Get32(header + 6), v10 = Get32(header + 10), v14 = Get32(header + 14);
  const uint32_t v18 = Get32(header + 18), v22 = Get32(header + 22), v26 = Get32(header + 26);
  const uint32_t v30 = Get32(header + 30), v34 = Get32(header + 34), v38 = Get32(header + 38);
  const uint32_t v42 = Get32(header + 42);
  uint32_t c[5];
  if (L % 2 == 1) {
    c[0] = v10 + v14 + v26 + v30;
    c[1] = L + v34 + v38;
    c[2] = v22 + v26 + v38;
    c[3] = (v10 + v18 + v26 + v34 + v42) >> 4;
    c[4] = L + v6 + v14 + v30 + v30;
  } else {
    c[0] = v18 + v26 + v38;
    c[1] = L + v34;
    c[2] = (L + v30 + v34) >> 2;
    c[3] = v6 + v14 + v26;
    c[4] = (v10 + v18 + v18 + v34) >> 4;
  }
  for (int i = 0; i < 5; ++i) out[i] = static_cast<unsigned char>(c[i] % 256);
}

bool BuildIndexImage(const std::vector<Node>& prefectures, int kind, std::string* image,
                     std::string* error) {
  if (kind != 1 && kind != 2) {
    *error = "the index kind must be 1 or 2";
    return false;
  }
  if (prefectures.size() > kMaxEntries) {
    *error = "more than 65535 prefecture entries";
    return false;
  }
  // The levels in writing order; a node's children are appended to the
  // next level when the node itself is reached.
  std::vector<const Node*> levels[kLevels];
  for (const Node& node : prefectures) levels[0].push_back(&node);
  std::string entries[kLevels];
  for (int level = 0; level < kLevels; ++level) {
    for (const Node* node : levels[level]) {
      uint32_t childBase = 0;
      if (!node->children.empty()) {
        if (level + 1 >= kLevels) {
          *error = "a block entry cannot have children";
          return false;
        }
        if (node->children.size() > kMaxEntries) {
          *error = "more than 65535 children under one entry";
          return false;
        }
        const uint64_t base = static_cast<uint64_t>(levels[level + 1].size()) * kEntryBytes;
        if (base > UINT32_MAX) {
          *error = "the index would be larger than 4 GB";
          return false;
        }
        childBase = static_cast<uint32_t>(base);
        for (const Node& child : node->children) levels[level + 1].push_back(&child);
      }
      builder::AppendLe(&entries[level], node->record, 4);
      builder::AppendLe(&entries[level], childBase, 4);
      builder::AppendLe(&entries[level], node->children.size(), 2);
    }
  }

  uint64_t offset = kHeaderBytes;
  std::string header(6, '\0');
  for (int level = 0; level < kLevels; ++level) {
    builder::AppendLe(&header, static_cast<uint32_t>(offset), 4);
    builder::AppendLe(&header, levels[level].size(), 4);
    offset += entries[level].size();
    if (offset > UINT32_MAX) {
      *error = "the index would be larger than 4 GB";
      return false;
    }
  }
  const uint32_t fileLength = static_cast<uint32_t>(offset);
  if (kind == 1) {
    std::memcpy(header.data(), "TVXADI", 6);
  } else {
    unsigned char check[5];
    ComputeCheckBytes(fileLength, reinterpret_cast<const unsigned char*>(header.data()), check);
    std::memcpy(header.data(), check, 5);
  }
  image->clear();
  image->reserve(fileLength);
  *image += header;
  for (const std::string& level : entries) *image += level;
  return true;
}

bool WriteIndexFile(const char* path, const std::vector<Node>& prefectures, int kind,
                    std::string* error) {
  std::string image;
  if (!BuildIndexImage(prefectures, kind, &image, error)) return false;
  return builder::WriteImageFile(path, image, error, "cannot create the index file",
                                 "cannot write the index file");
}

}  // namespace tixbuild
