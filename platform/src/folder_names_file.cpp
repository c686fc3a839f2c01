#include "folder_names_file.h"

#include <cstring>

#include "plat/derived_store.h"

namespace plat::detail {
namespace {

constexpr std::uint32_t kFormat = 3;

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

std::string EncodeFolderNames(const std::vector<ListedName>& names) {
  std::size_t bytes = 0;
  for (const ListedName& n : names) bytes += n.name.size() + 1;
  std::string out;
  out.reserve(8 + names.size() + bytes);
  Put(out, static_cast<std::uint32_t>(names.size()));
  Put(out, static_cast<std::uint32_t>(bytes));
  for (const ListedName& n : names)
    out.push_back(static_cast<char>((n.directory ? kDirectory : 0) | (n.followed ? kFollowed : 0)));
  for (const ListedName& n : names) {
    out += n.name;
    out.push_back('\0');
  }
  return out;
}

bool DecodeFolderNames(std::string_view bytes, FolderNamesView& view) {
  view = FolderNamesView{};
  Reader r(bytes);
  std::uint32_t count = 0, namesLength = 0;
  std::string_view kinds, names;
  if (!r.Get(count) || !r.Get(namesLength) || !r.Bytes(count, kinds) ||
      !r.Bytes(namesLength, names) || !r.AtEnd())
    return false;
  // Names end with a NUL and hold no separator.
  if (count > 0 && (names.empty() || names.back() != '\0')) return false;
  if (count == 0 && !names.empty()) return false;
  if (std::memchr(names.data(), '/', names.size())) return false;
  for (const char k : kinds)
    if ((static_cast<std::uint8_t>(k) & ~(kDirectory | kFollowed)) != 0) return false;
  view.count = count;
  view.kinds = kinds;
  view.names = names;
  return true;
}

}  // namespace plat::detail
