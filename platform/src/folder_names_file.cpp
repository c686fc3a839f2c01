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

namespace {

// The value of count names (nameOf(i), in listing order), their kinds
// (entryOf(i, at): the entry of name i at offset at of the names' bytes) and
// the slots of their index.
template <typename NameOf, typename EntryOf>
std::string Encode(std::size_t count, NameOf&& nameOf, EntryOf&& entryOf,
                   const std::vector<std::uint32_t>& slots) {
  std::size_t textBytes = 0;
  for (std::size_t i = 0; i < count; ++i) textBytes += nameOf(i).size() + 1;
  const std::size_t entryBytes = count * sizeof(FolderNames::Entry);
  const std::size_t slotBytes = slots.size() * sizeof(std::uint32_t);
  const std::size_t textAt = kHead + Up8(entryBytes) + Up8(slotBytes);
  std::string out;
  out.reserve(textAt + Up8(textBytes + kSlack));
  const std::uint32_t head[4] = {static_cast<std::uint32_t>(count),
                                 static_cast<std::uint32_t>(slots.size()),
                                 static_cast<std::uint32_t>(textBytes), 0};
  out.append(reinterpret_cast<const char*>(head), sizeof head);
  std::uint32_t at = 0;
  for (std::size_t i = 0; i < count; ++i) {
    FolderNames::Entry e{};
    e = entryOf(i, at);
    out.append(reinterpret_cast<const char*>(&e), sizeof e);
    at += e.length + 1;
  }
  out.append(Up8(entryBytes) - entryBytes, '\0');
  out.append(reinterpret_cast<const char*>(slots.data()), slotBytes);
  out.append(Up8(slotBytes) - slotBytes, '\0');
  out.resize(textAt + Up8(textBytes + kSlack));  // the names' bytes, then zeros
  char* text = out.data() + textAt;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view name = nameOf(i);
    std::memcpy(text, name.data(), name.size());
    text += name.size() + 1;
  }
  return out;
}

}  // namespace

std::string EncodeFolderNames(const std::vector<ListedName>& names) {
  const auto nameOf = [&](std::size_t i) { return names[i].name; };
  return Encode(
      names.size(), nameOf,
      [&](std::size_t i, std::uint32_t at) {
        return FolderNames::Entry{at, static_cast<std::uint32_t>(names[i].name.size()),
                                  names[i].directory, names[i].followed};
      },
      FolderNames::MakeSlots(names.size(), nameOf));
}

std::string EncodeFolderNames(const FolderNames& names) {
  const auto nameOf = [&](std::size_t i) { return names.Name(names.list[i]); };
  // The index of the names, as they made it (in the same order, by the same
  // hash), when they did.
  std::vector<std::uint32_t> slots =
      names.indexed.load(std::memory_order_acquire)
          ? std::vector<std::uint32_t>(names.index.begin(), names.index.end())
          : FolderNames::MakeSlots(names.list.size(), nameOf, true);
  return Encode(
      names.list.size(), nameOf,
      [&](std::size_t i, std::uint32_t at) {
        const FolderNames::Entry& e = names.list[i];
        return FolderNames::Entry{at, e.length, e.directory, e.followed};
      },
      slots);
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
  // (Checks without a branch per name or slot: one pass each.)
  bool bad = false;
  for (const FolderNames::Entry& e : entries) {
    // Within the names' bytes, with its NUL; not a name a folder lists.
    const bool inside = e.length != 0 && e.at < textBytes && e.length < textBytes - e.at;
    const std::uint64_t end = inside ? e.at + e.length : 0;
    const std::uint64_t first = inside ? e.at : 0;
    bad |=
        !inside | (text[end] != '\0') |
        ((text[first] == '.') & ((e.length == 1) | ((e.length == 2) & (text[first + 1] == '.'))));
  }
  // (The slots are checked where a search meets them: a slot that names no
  // entry ends the search, and a search ends after every slot.)
  if (bad) return false;
  view.text = text;
  view.entries = entries;
  view.slots = slots;
  return true;
}

}  // namespace plat::detail
