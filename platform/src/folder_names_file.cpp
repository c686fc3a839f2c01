#include "folder_names_file.h"

#include <cstring>

#include "plat/derived_store.h"

namespace plat::detail {
namespace {

constexpr std::uint32_t kFormat = 4;

template <typename T>
void Put(std::string& out, T v) {
  out.append(reinterpret_cast<const char*>(&v), sizeof v);
}

class Reader {
 public:
  explicit Reader(std::string_view s) : s_(s) {}
  template <typename T>
  bool Get(T& v) {
    if (s_.size() - at_ < sizeof v) return false;
    std::memcpy(&v, s_.data() + at_, sizeof v);
    at_ += sizeof v;
    return true;
  }
  bool Bytes(std::size_t n, std::string_view& v) {
    if (s_.size() - at_ < n) return false;
    v = s_.substr(at_, n);
    at_ += n;
    return true;
  }
  bool AtEnd() const { return at_ == s_.size(); }

 private:
  std::string_view s_;
  std::size_t at_ = 0;
};

}  // namespace

DerivedKey FolderNamesStoreKey(const std::string& folder, const FileStamp& stamp) {
  return {"foldernames", DerivedFolderOf(stamp, folder), kFormat, {}};
}

namespace {

constexpr std::size_t kHead = 16;  // names, slots, names' bytes, 0
constexpr std::size_t kSlack = 8;

std::size_t Up8(std::size_t n) { return (n + 7) / 8 * 8; }

}  // namespace

std::string EncodeFolderNames(const std::vector<ListedName>& names) {
  std::size_t textBytes = 0;
  for (const ListedName& n : names) textBytes += n.name.size() + 1;
  std::vector<FolderNames::Entry> entries;
  entries.reserve(names.size());
  std::uint32_t at = 0;
  for (const ListedName& n : names) {
    entries.push_back({at, static_cast<std::uint32_t>(n.name.size()), n.directory, n.followed});
    at += static_cast<std::uint32_t>(n.name.size() + 1);
  }
  const std::vector<std::uint32_t> slots = FolderNames::MakeSlots(
      entries.size(), [&](std::size_t i) { return names[i].name; });
  const std::size_t entryBytes = entries.size() * sizeof(FolderNames::Entry);
  const std::size_t slotBytes = slots.size() * sizeof(std::uint32_t);
  std::string out;
  out.reserve(kHead + Up8(entryBytes) + Up8(slotBytes) + Up8(textBytes + kSlack));
  const std::uint32_t head[4] = {static_cast<std::uint32_t>(entries.size()),
                                 static_cast<std::uint32_t>(slots.size()),
                                 static_cast<std::uint32_t>(textBytes), 0};
  out.append(reinterpret_cast<const char*>(head), sizeof head);
  out.append(reinterpret_cast<const char*>(entries.data()), entryBytes);
  out.append(Up8(entryBytes) - entryBytes, '\0');
  out.append(reinterpret_cast<const char*>(slots.data()), slotBytes);
  out.append(Up8(slotBytes) - slotBytes, '\0');
  for (const ListedName& n : names) {
    out.append(n.name);
    out.push_back('\0');
  }
  out.append(Up8(textBytes + kSlack) - textBytes, '\0');
  return out;
}

bool DecodeFolderNames(std::string_view bytes, FolderNamesView& view) {
  view = FolderNamesView{};
  if (bytes.size() < kHead || reinterpret_cast<std::uintptr_t>(bytes.data()) % 8 != 0) return false;
  std::uint32_t head[4];
  std::memcpy(head, bytes.data(), sizeof head);
  const std::uint64_t count = head[0], slotCount = head[1], textBytes = head[2];
  const std::uint64_t entryBytes = Up8(count * sizeof(FolderNames::Entry));
  const std::uint64_t slotBytes = Up8(slotCount * sizeof(std::uint32_t));
  // The slots: a power of two, more than the names.
  if (head[3] != 0 || slotCount < 16 || (slotCount & (slotCount - 1)) != 0 || slotCount <= count ||
      kHead + entryBytes + slotBytes + Up8(textBytes + kSlack) != bytes.size())
    return false;
  const char* text = bytes.data() + kHead + entryBytes + slotBytes;
  const std::span<const FolderNames::Entry> entries(
      reinterpret_cast<const FolderNames::Entry*>(bytes.data() + kHead), count);
  const std::span<const std::uint32_t> slots(
      reinterpret_cast<const std::uint32_t*>(bytes.data() + kHead + entryBytes), slotCount);
  if (std::memchr(text, '/', textBytes)) return false;
  for (const FolderNames::Entry& e : entries) {
    // Within the names' bytes, with its NUL; not a name a folder lists.
    if (e.length == 0 || e.at >= textBytes || e.length >= textBytes - e.at ||
        text[e.at + e.length] != '\0' || (text[e.at] == '.' && e.length == 1) ||
        (e.length == 2 && text[e.at] == '.' && text[e.at + 1] == '.'))
      return false;
  }
  bool free = false;
  for (const std::uint32_t slot : slots) {
    if (slot > count) return false;
    free = free || slot == 0;
  }
  if (!free) return false;
  view.text = text;
  view.entries = entries;
  view.slots = slots;
  return true;
}

}  // namespace plat::detail
