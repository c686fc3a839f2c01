#include "folder_names_file.h"

#include <cstddef>
#include <cstring>
#include <memory>

#include "plat/derived_store.h"

namespace plat::detail {
namespace {

constexpr std::uint32_t kFormat = 4;
constexpr std::size_t kHead = 16;  // names, slots, names' bytes, 0
constexpr std::size_t kSlack = 8;

std::size_t Up8(std::size_t n) { return (n + 7) / 8 * 8; }

// The value of count names (nameOf(i), in listing order), their kinds
// (entryOf(i, at): the entry of name i at offset at of the names' bytes) and
// the slots of their index, in 8-byte words made for it (every byte
// written here: the parts, the zeros between them and after the names).
template <typename NameOf, typename EntryOf>
DerivedBytes Encode(std::size_t count, NameOf&& nameOf, EntryOf&& entryOf,
                    std::span<const std::uint32_t> slots) {
  std::size_t textBytes = 0;
  for (std::size_t i = 0; i < count; ++i) textBytes += nameOf(i).size() + 1;
  const std::size_t entryBytes = count * sizeof(FolderNames::Entry);
  const std::size_t slotBytes = slots.size() * sizeof(std::uint32_t);
  const std::size_t slotsAt = kHead + Up8(entryBytes);
  const std::size_t textAt = slotsAt + Up8(slotBytes);
  const std::size_t size = textAt + Up8(textBytes + kSlack);
  auto words = std::make_shared_for_overwrite<std::uint64_t[]>(size / 8);
  char* const bytes = reinterpret_cast<char*>(words.get());
  // The last word of each part first: the zeros after its end.
  words[slotsAt / 8 - 1] = 0;
  if (slotBytes > 0) words[textAt / 8 - 1] = 0;
  const std::size_t textWords = textAt + (textBytes & ~std::size_t{7});
  std::memset(bytes + textWords, 0, size - textWords);
  const std::uint32_t head[4] = {static_cast<std::uint32_t>(count),
                                 static_cast<std::uint32_t>(slots.size()),
                                 static_cast<std::uint32_t>(textBytes), 0};
  std::memcpy(bytes, head, sizeof head);
  if (slotBytes > 0) std::memcpy(bytes + slotsAt, slots.data(), slotBytes);
  char* entry = bytes + kHead;
  char* text = bytes + textAt;
  std::uint32_t at = 0;
  for (std::size_t i = 0; i < count; ++i) {
    // (Field by field, over zeros: the bytes between them stay zeros.)
    const FolderNames::Entry e = entryOf(i, at);
    std::memset(entry, 0, sizeof e);
    std::memcpy(entry + offsetof(FolderNames::Entry, at), &e.at, sizeof e.at);
    std::memcpy(entry + offsetof(FolderNames::Entry, length), &e.length, sizeof e.length);
    entry[offsetof(FolderNames::Entry, directory)] = e.directory ? 1 : 0;
    entry[offsetof(FolderNames::Entry, followed)] = e.followed ? 1 : 0;
    entry += sizeof e;
    const std::string_view name = nameOf(i);
    std::memcpy(text + at, name.data(), name.size());
    text[at + name.size()] = '\0';
    at += e.length + 1;
  }
  return {std::string_view(bytes, size), std::move(words)};
}

}  // namespace

DerivedKey FolderNamesStoreKey(const std::string& folder, const FileStamp& stamp) {
  return {"foldernames", DerivedFolderOf(stamp, folder), kFormat, {}};
}

std::string EncodeFolderNames(const std::vector<ListedName>& names) {
  const auto nameOf = [&](std::size_t i) { return names[i].name; };
  const DerivedBytes value = Encode(
      names.size(), nameOf,
      [&](std::size_t i, std::uint32_t at) {
        return FolderNames::Entry{at, static_cast<std::uint32_t>(names[i].name.size()),
                                  names[i].directory, names[i].followed};
      },
      FolderNames::MakeSlots(names.size(), nameOf));
  return std::string(value.bytes);
}

DerivedBytes EncodeFolderNames(const FolderNames& names) {
  const auto nameOf = [&](std::size_t i) { return names.Name(names.list[i]); };
  // The index of the names goes with them only when they made it (in the
  // same order, by the same hash): a job asks for a name or two, which a
  // walk of the names answers for less than hashing every one of them.
  const bool indexed = names.indexed.load(std::memory_order_acquire);
  return Encode(
      names.list.size(), nameOf,
      [&](std::size_t i, std::uint32_t at) {
        const FolderNames::Entry& e = names.list[i];
        return FolderNames::Entry{at, e.length, e.directory, e.followed};
      },
      indexed ? names.index : std::span<const std::uint32_t>());
}

bool DecodeFolderNames(std::string_view bytes, FolderNamesView& view) {
  view = FolderNamesView{};
  if (bytes.size() < kHead || reinterpret_cast<std::uintptr_t>(bytes.data()) % 8 != 0) return false;
  std::uint32_t head[4];
  std::memcpy(head, bytes.data(), sizeof head);
  const std::uint64_t count = head[0], slotCount = head[1], textBytes = head[2];
  const std::uint64_t entryBytes = Up8(count * sizeof(FolderNames::Entry));
  const std::uint64_t slotBytes = Up8(slotCount * sizeof(std::uint32_t));
  // The slots: none (no index kept), or a power of two, more than the names.
  const bool slotsFit =
      slotCount == 0 || (slotCount >= 16 && (slotCount & (slotCount - 1)) == 0 && slotCount > count);
  if (head[3] != 0 || !slotsFit ||
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
