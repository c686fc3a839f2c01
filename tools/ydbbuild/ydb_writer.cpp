#include "tools/ydbbuild/ydb_writer.h"

#include "common/message.h"
#include "tools/image_file.h"

namespace ydbbuild {
namespace {

constexpr uint32_t kHeaderSize = 256;
constexpr uint32_t kMaxCode = 9999999;

}  // namespace

int BuildPostalIndexImage(const std::vector<PostalEntry>& entries, std::string* image, char* msg) {
  if (!image || entries.empty() || entries.size() > 65535) {
    SetMessage(msg, "postal index: %zu entries (1 to 65535 allowed)", entries.size());
    return 0;
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const PostalEntry& e = entries[i];
    if (e.code > kMaxCode || (i > 0 && e.code <= entries[i - 1].code)) {
      SetMessage(msg, "postal index: code %u is out of range or out of order", e.code);
      return 0;
    }
    if (e.records.empty() || e.records.size() > 65535) {
      SetMessage(msg, "postal index: code %u has %zu records", e.code, e.records.size());
      return 0;
    }
  }
  const uint32_t n = static_cast<uint32_t>(entries.size());
  std::string out = "TVXYDB";
  out.append(4, '\0');
  builder::AppendLe(&out, entries.back().code, 4);
  builder::AppendLe(&out, entries.front().code, 4);
  builder::AppendLe(&out, kHeaderSize, 4);
  builder::AppendLe(&out, n, 2);
  out.resize(kHeaderSize, '\0');
  uint32_t listOffset = 0;
  for (const PostalEntry& e : entries) {
    builder::AppendLe(&out, e.code, 4);
    builder::AppendLe(&out, listOffset, 4);
    builder::AppendLe(&out, e.records.size(), 2);
    listOffset += static_cast<uint32_t>(e.records.size()) * 4;
  }
  for (const PostalEntry& e : entries)
    for (uint32_t record : e.records) builder::AppendLe(&out, record, 4);
  *image = std::move(out);
  return 1;
}

int WritePostalIndexFile(const char* path, const std::vector<PostalEntry>& entries, char* msg) {
  std::string image;
  if (!BuildPostalIndexImage(entries, &image, msg)) return 0;
  return builder::WriteImageFileWithMessage(path, image, msg) ? 1 : 0;
}

}  // namespace ydbbuild
