#include "tools/roadmap/highway_writer.h"

#include "common/be_bytes.h"
#include "tools/image_file.h"

namespace hwbuild {
namespace {

void Put(std::string* out, std::uint64_t value, int bytes) {
  unsigned char b[8];
  StoreBe(b, value, bytes);
  out->append(reinterpret_cast<const char*>(b), static_cast<std::size_t>(bytes));
}

void PadToWord(std::string* out) {
  if (out->size() % 2) out->push_back('\0');
}

bool NameEntry(const NameRecord& n, std::string* out, std::string* error) {
  const std::size_t l1 = n.name1.size() * 2 + static_cast<std::size_t>(n.extraLength);
  const std::size_t l2 = n.name2.size() * 2;
  if (l1 > 255 || l2 > 255) {
    *error = "name longer than 255 bytes";
    return false;
  }
  out->push_back(static_cast<char>(l1));
  out->push_back(static_cast<char>(l2));
  for (const std::u16string* s : {&n.name1, &n.name2})
    for (char16_t u : *s) {
      out->push_back(static_cast<char>(u & 0xFF));
      out->push_back(static_cast<char>(u >> 8));
    }
  return true;
}

// A name table: head, records of `recordBytes`, name area.
bool NameTable(const std::vector<NameRecord>& names, bool shortForm, std::string* out,
               std::string* error) {
  const std::size_t recordBytes = shortForm ? 4 : 12;
  if (names.size() > 0xFFFF) {
    *error = "too many names";
    return false;
  }
  const std::size_t areaStart = 4 + names.size() * recordBytes;  // even
  if (areaStart / 2 > 0xFFFF) {
    *error = "name table too large";
    return false;
  }
  std::string area;
  std::string records;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0 && names[i].key < names[i - 1].key) {
      *error = "name keys out of order";
      return false;
    }
    const std::size_t offset = area.size() / 2;
    if (shortForm && offset > 0xFFFF) {
      *error = "short name area too large";
      return false;
    }
    Put(&records, names[i].key, 2);
    if (shortForm) {
      Put(&records, offset, 2);
    } else {
      Put(&records, 0, 2);
      Put(&records, offset, 4);
      Put(&records, 0, 4);
    }
    if (!NameEntry(names[i], &area, error)) return false;
    PadToWord(&area);
  }
  Put(out, names.size(), 2);
  Put(out, areaStart / 2, 2);
  *out += records;
  *out += area;
  return true;
}

bool PartsMatchFlags(const Entry& e) {
  std::size_t want = 0;
  if (e.flags & 0x80) want += 3;
  if (e.flags & 0x40) {
    if (e.parts.size() < want + 4) return false;
    want += 4 + 6 * static_cast<unsigned char>(e.parts[want + 3]);
  }
  if (e.flags & 0x20) want += 8;
  if (e.flags & 0x10) want += 3;
  return e.parts.size() == want;
}

bool FacilitySection(const Image& image, std::string* out, std::string* error) {
  const std::size_t k = image.keys.size();
  const std::size_t b = image.blocks.size();
  if (k > 0xFFFF || b > 0xFFFF) {
    *error = "too many facility records";
    return false;
  }
  const std::size_t indexStart = 6 + 6 * k;  // even
  if (indexStart / 2 > 0xFFFF) {
    *error = "facility key records too large";
    return false;
  }
  std::string keys;
  for (std::size_t i = 0; i < k; ++i) {
    const KeyRecord& r = image.keys[i];
    if (i > 0 && r.key < image.keys[i - 1].key) {
      *error = "facility keys out of order";
      return false;
    }
    Put(&keys, r.key, 2);
    Put(&keys, r.block, 2);
    keys.push_back('\0');
    keys.push_back(static_cast<char>(r.index));
  }
  std::string index;
  std::string blocks;
  const std::size_t blocksStart = indexStart + 8 * b;
  for (std::size_t i = 0; i < b; ++i) {
    const Block& blk = image.blocks[i];
    if (i > 0 && blk.number <= image.blocks[i - 1].number) {
      *error = "block numbers out of order";
      return false;
    }
    if (blk.entries.size() > 255) {
      *error = "too many entries in a block";
      return false;
    }
    std::string bytes(2 + 16 * blk.entries.size(), '\0');
    bytes[1] = static_cast<char>(blk.entries.size());
    for (std::size_t e = 0; e < blk.entries.size(); ++e) {
      const Entry& en = blk.entries[e];
      if (!PartsMatchFlags(en)) {
        *error = "entry parts do not match the flags";
        return false;
      }
      PadToWord(&bytes);
      const std::size_t dataOffset = bytes.size() / 2;
      if (dataOffset > 0xFFFF) {
        *error = "block too large";
        return false;
      }
      char* head = &bytes[2 + 16 * e];
      for (int j = 0; j < 16; ++j)
        head[j] = static_cast<char>(en.head[static_cast<std::size_t>(j)]);
      head[3] = static_cast<char>(en.flags);
      head[14] = static_cast<char>(dataOffset >> 8);
      head[15] = static_cast<char>(dataOffset & 0xFF);
      bytes += en.parts;
      if (en.parts.size() % 2) bytes.push_back('\0');
      if (!NameEntry(NameRecord{0, en.name1, en.name2, 0}, &bytes, error)) return false;
      Put(&bytes, en.value, 4);
    }
    PadToWord(&bytes);
    const std::size_t offset = (blocksStart + blocks.size()) / 2;
    if (offset > 0xFFFFFFFFu || bytes.size() / 2 > 0xFFFF) {
      *error = "block too large";
      return false;
    }
    Put(&index, blk.number, 2);
    Put(&index, offset, 4);
    Put(&index, bytes.size() / 2, 2);
    blocks += bytes;
  }
  Put(out, k, 2);
  Put(out, b, 2);
  Put(out, indexStart / 2, 2);
  *out += keys;
  *out += index;
  *out += blocks;
  return true;
}

}  // namespace

bool BuildHighwayFile(const Image& image, std::string* out, std::string* error) {
  std::string names, facilities, shortNames;
  if (!NameTable(image.names, false, &names, error) ||
      !FacilitySection(image, &facilities, error) ||
      !NameTable(image.shortNames, true, &shortNames, error))
    return false;
  PadToWord(&names);
  PadToWord(&facilities);
  PadToWord(&shortNames);
  std::string file;
  Put(&file, 0, 2);
  file += "\x20\x10\x11\x01";
  Put(&file, 0, 4);
  std::size_t at = 34;
  for (const std::string* section : {&names, &facilities, &shortNames}) {
    Put(&file, at / 2, 4);
    Put(&file, section->size() / 2, 4);
    at += section->size();
  }
  file += names;
  file += facilities;
  file += shortNames;
  *out = std::move(file);
  return true;
}

bool WriteHighwayFile(const char* path, const Image& image, std::string* error) {
  std::string bytes;
  std::string why;
  if (!BuildHighwayFile(image, &bytes, &why)) {
    if (error) *error = why;
    return false;
  }
  return builder::WriteImageFile(path, bytes, error, "cannot create the highway data file",
                                 "cannot write the highway data file");
}

}  // namespace hwbuild
