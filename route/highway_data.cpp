#include "route/highway_data.h"

#include "common/be_bytes.h"
#include "plat/cp932.h"

namespace {

constexpr std::size_t kHeaderBytes = 34;
constexpr std::size_t kNameRecordBytes = 12;
constexpr std::size_t kShortRecordBytes = 4;
constexpr std::size_t kKeyRecordBytes = 6;
constexpr std::size_t kIndexRecordBytes = 8;
constexpr std::size_t kEntryBytes = 16;

std::uint32_t Be32(const std::uint8_t* p) { return static_cast<std::uint32_t>(LoadBe(p, 4)); }
std::uint16_t Be16(const std::uint8_t* p) { return static_cast<std::uint16_t>(LoadBe(p, 2)); }

// Name 1 of a name entry held in `size` bytes: taken only when the entry
// has its two length bytes and both names.
bool NameFromBytes(const std::uint8_t* p, std::size_t size, std::string* name1) {
  if (size < 2) return false;
  const std::size_t l1 = p[0];
  const std::size_t l2 = p[1];
  if (l1 + l2 + 2 > size) return false;
  *name1 = plat::cp932::FromUtf16LeBytes(p + 2, l1);
  return true;
}

// Binary search over `count` records ascending by key: the index of a record
// with the key, -1 when there is none or keyAt (the key of record i as an
// unsigned 16-bit number, negative when it cannot be read) fails.
template <typename KeyAt>
long FindKey(long count, std::uint16_t key, KeyAt keyAt) {
  long lo = 0;
  long hi = count - 1;
  while (lo <= hi) {
    const long mid = lo + (hi - lo) / 2;
    const std::int32_t k = keyAt(mid);
    if (k < 0) return -1;
    if (k == key) return mid;
    if (k < key)
      lo = mid + 1;
    else
      hi = mid - 1;
  }
  return -1;
}

}  // namespace

bool HighwayData::readAt(std::uint64_t pos, void* buf, std::size_t n) {
  if (pos > fileLength_ || n > fileLength_ - pos) return false;
  return file_.Seek(static_cast<std::int64_t>(pos), plat::SeekOrigin::Begin) &&
         file_.Read(buf, n) == n;
}

bool HighwayData::readTableHead(std::uint32_t offsetWords, std::uint32_t sizeWords, Table* t) {
  std::uint8_t head[4];
  const std::uint64_t start = 2ull * offsetWords;
  if (!readAt(start, head, sizeof head)) return false;
  t->start = static_cast<std::uint32_t>(start);
  t->end = std::min<std::uint64_t>(start + 2ull * sizeWords, fileLength_);
  t->count = Be16(head);
  t->areaStart = Be16(head + 2);
  return true;
}

bool HighwayData::openHighwayData(const char* path) {
  closeHighwayData();
  std::uint8_t header[kHeaderBytes];
  if (!path || !file_.Open(path, plat::ModeRead | plat::ShareDenyWrite) ||
      !file_.GetLength(fileLength_) || !readAt(0, header, sizeof header) || header[2] != 0x20 ||
      header[3] != 0x10 || header[4] != 0x11 || header[5] != 0x01 ||
      !readTableHead(Be32(header + 10), Be32(header + 14), &names_) ||
      !readTableHead(Be32(header + 26), Be32(header + 30), &shortNames_)) {
    closeHighwayData();
    return false;
  }
  // Facility section: head, key records and block index, as far as the
  // head says ((4 x B + index start) words).
  std::uint8_t head[6];
  facilStart_ = 0;
  const std::uint64_t start = 2ull * Be32(header + 18);
  if (start > 0xFFFFFFFFu || !readAt(start, head, sizeof head)) {
    closeHighwayData();
    return false;
  }
  facilStart_ = static_cast<std::uint32_t>(start);
  keyCount_ = Be16(head);
  blockCount_ = Be16(head + 2);
  indexStart_ = 2u * Be16(head + 4);
  const std::size_t loaded = indexStart_ + kIndexRecordBytes * blockCount_;
  // The key records must lie before the block index inside what is loaded.
  if (sizeof head + kKeyRecordBytes * keyCount_ > indexStart_) {
    closeHighwayData();
    return false;
  }
  facil_.resize(loaded);
  if (!readAt(start, facil_.data(), loaded)) {
    closeHighwayData();
    return false;
  }
  return true;
}

void HighwayData::closeHighwayData() {
  file_.Close();
  fileLength_ = 0;
  names_ = Table{};
  shortNames_ = Table{};
  facil_.clear();
  facil_.shrink_to_fit();
  keyCount_ = blockCount_ = 0;
  indexStart_ = 0;
  cache_.clear();
  blockReads_ = 0;
}

long HighwayData::findOnDisk(const Table& t, std::size_t recordBytes, std::uint16_t key,
                             std::uint8_t* record) {
  if (!file_.IsOpen()) return -1;
  return FindKey(t.count, key, [&](long i) -> std::int32_t {
    if (!readAt(t.start + 4ull + static_cast<std::uint64_t>(i) * recordBytes, record, recordBytes))
      return -1;
    return Be16(record);
  });
}

bool HighwayData::readNameEntry(const Table& t, std::uint64_t pos, std::string* name1) {
  // What the entry may occupy: up to the end of its section.
  if (pos >= t.end) return false;
  const std::uint64_t available = t.end - pos;
  std::uint8_t lengths[2];
  if (available < 2 || !readAt(pos, lengths, 2)) return false;
  const std::size_t need = 2u + lengths[0] + lengths[1];
  if (need > available) return false;
  std::vector<std::uint8_t> bytes(need);
  return readAt(pos, bytes.data(), need) && NameFromBytes(bytes.data(), need, name1);
}

std::string HighwayData::getName(std::int64_t key) {
  std::string name;
  if (key < 0 || key > 0xFFFF) return name;
  std::uint8_t rec[kNameRecordBytes];
  if (findOnDisk(names_, sizeof rec, static_cast<std::uint16_t>(key), rec) < 0) return name;
  const std::uint64_t pos = names_.start + 2ull * names_.areaStart + 2ull * Be32(rec + 4);
  if (!readNameEntry(names_, pos, &name)) name.clear();
  return name;
}

const HighwayData::Block* HighwayData::block(std::uint16_t number) {
  for (auto it = cache_.rbegin(); it != cache_.rend(); ++it)
    if ((*it)->number == number) return it->get();
  // Binary search of the block index.
  const std::uint8_t* index = facil_.data() + indexStart_;
  const long at = FindKey(blockCount_, number, [&](long i) -> std::int32_t {
    return Be16(index + static_cast<std::size_t>(i) * kIndexRecordBytes);
  });
  const std::uint8_t* found =
      at < 0 ? nullptr : index + static_cast<std::size_t>(at) * kIndexRecordBytes;
  if (!found) return nullptr;
  auto blk = std::make_unique<Block>();
  blk->number = number;
  blk->bytes.resize(2u * Be16(found + 6));
  ++blockReads_;
  if (!readAt(facilStart_ + 2ull * Be32(found + 2), blk->bytes.data(), blk->bytes.size()))
    return nullptr;
  cache_.push_back(std::move(blk));
  return cache_.back().get();
}

std::vector<HighwayData::Facility> HighwayData::findFacilities(std::uint16_t key) {
  std::vector<Facility> out;
  if (!file_.IsOpen()) return out;
  const std::uint8_t* keys = facil_.data() + 6;
  auto keyAt = [&](long i) { return Be16(keys + static_cast<std::size_t>(i) * kKeyRecordBytes); };
  const long hit = FindKey(keyCount_, key, [&](long i) -> std::int32_t { return keyAt(i); });
  if (hit < 0) return out;
  long first = hit;
  long last = hit;
  while (first > 0 && keyAt(first - 1) == key) --first;
  while (last + 1 < static_cast<long>(keyCount_) && keyAt(last + 1) == key) ++last;
  for (long i = first; i <= last; ++i) {
    const std::uint8_t* rec = keys + static_cast<std::size_t>(i) * kKeyRecordBytes;
    const Block* blk = block(Be16(rec + 2));
    if (!blk) continue;
    Facility f;
    f.index = rec[5];
    const std::size_t size = blk->bytes.size();
    const std::size_t count = size >= 2 ? blk->bytes[1] : 0;
    const std::size_t entryAt = 2 + kEntryBytes * static_cast<std::size_t>(f.index);
    if (static_cast<std::size_t>(f.index) < count && entryAt + kEntryBytes <= size) {
      f.entry = blk->bytes.data() + entryAt;
      const std::size_t dataAt = 2u * Be16(f.entry + 14);
      if (dataAt < size) {
        f.data = blk->bytes.data() + dataAt;
        f.dataSize = size - dataAt;
      }
    }
    out.push_back(f);
  }
  return out;
}

bool HighwayData::readFacilityNameRecord(const Facility& f, std::string* name,
                                         std::uint32_t* value) {
  if (!f.entry || !f.data) return false;
  const std::uint8_t flags = f.entry[3];
  std::size_t pos = 0;
  if (flags & 0x80) pos += 3;
  if (flags & 0x40) {
    if (pos + 4 > f.dataSize) return false;
    pos += 4 + 6u * f.data[pos + 3];
  }
  if (flags & 0x20) pos += 8;
  if (flags & 0x10) pos += 3;
  if (pos % 2) ++pos;
  if (pos > f.dataSize) return false;
  const std::uint8_t* p = f.data + pos;
  const std::size_t size = f.dataSize - pos;
  std::string n;
  if (!NameFromBytes(p, size, &n)) return false;
  const std::size_t valueAt = 2u + p[0] + p[1];
  if (valueAt + 4 > size) return false;
  *name = std::move(n);
  *value = Be32(p + valueAt);
  return true;
}

HighwayData::FacilityName HighwayData::getFacilityName(std::uint32_t code) {
  FacilityName out;
  if (code & 0x8000) {
    std::uint8_t rec[kShortRecordBytes];
    if (findOnDisk(shortNames_, sizeof rec, static_cast<std::uint16_t>(code & 0x7FFF), rec) < 0)
      return out;
    const std::uint64_t pos =
        shortNames_.start + 2ull * shortNames_.areaStart + 2ull * Be16(rec + 2);
    if (!readNameEntry(shortNames_, pos, &out.name)) out.name.clear();
    return out;
  }
  if (code > 0xFFFF) return out;
  const auto found = findFacilities(static_cast<std::uint16_t>(code));
  if (found.empty() || !readFacilityNameRecord(found.front(), &out.name, &out.value))
    out = FacilityName{};
  return out;
}
