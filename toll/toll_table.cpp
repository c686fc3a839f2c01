#include "toll/toll_table.h"

#include <algorithm>

#include "common/be_bytes.h"
#include "plat/cp932.h"
#include "toll/toll_facil.h"

namespace {
constexpr int kFacilityIndexRecord = 6;
constexpr int kGroupIndexRecord = 6;
constexpr int kRuleRecord = 14;
constexpr int kLinkRecord = 12;
constexpr int kNameRecord = 6;
}  // namespace

bool TollTable::readCount(SubTable* table, int64_t offset) {
  unsigned char c[2];
  table->offset = offset;
  table->count = 0;
  if (!readAt(offset, c, 2)) return false;
  table->count = static_cast<int32_t>(LoadBe(c, 2));
  return true;
}

int TollTable::readHeader() {
  version_ = 0;
  day_ = 0;
  extra_ = 0;
  classByte_ = 0;
  for (uint8_t& c : classMap_) c = 0;
  rules_ = linkTable_ = facilityIndex_ = groupIndex_ = names1_ = names2_ = SubTable();
  feeArea_ = 0;
  links_.clear();
  unsigned char h[44];
  if (!readAt(0, h, 4)) return kBadHeader;
  version_ = static_cast<int>(LoadBe(h + 2, 2));
  const int s = version_ >= 35 ? 4 : 0;
  if (!readAt(0, h, static_cast<std::size_t>(26 + s))) return kBadHeader;
  const uint8_t tableFlags = h[24 + s];
  const bool hasRules = (tableFlags & 0x80) != 0;
  const bool hasLinks = (tableFlags & 0x40) != 0;
  const int t = 26 + s + (hasRules ? 8 : 0);
  if (!readAt(0, h, static_cast<std::size_t>(t + (hasLinks ? 6 : 0)))) return kBadHeader;

  day_ = static_cast<uint32_t>(LoadBe(h + 8, 4));
  extra_ = s ? static_cast<uint32_t>(LoadBe(h + 12, 4)) : 0;

  // Class block.
  const int64_t classBlock = 2 * static_cast<int64_t>(LoadBe(h, 2));
  unsigned char cb[6 + 255];
  if (!readAt(classBlock, cb, 6)) return kBadHeader;
  const int n = cb[4];
  if (n > 16) return kBadHeader;
  if (!readAt(classBlock + 6, cb + 6, static_cast<std::size_t>(n))) return kBadHeader;
  classByte_ = cb[5];
  for (int i = 0; i < n; ++i) {
    const int vehicleClass = cb[6 + i] >> 4;
    classMap_[vehicleClass] = static_cast<uint8_t>(cb[6 + i] & 0x0F);
  }
  for (int i = n; i < 16; ++i) classMap_[i] = 0;

  if (!readCount(&facilityIndex_, 2 * static_cast<int64_t>(LoadBe(h + 12 + s, 2))))
    return kBadHeader;
  if (!readCount(&groupIndex_, 2 * static_cast<int64_t>(LoadBe(h + 16 + s, 2)))) return kBadHeader;
  feeArea_ = 2 * static_cast<int64_t>(LoadBe(h + 20 + s, 4));
  if (hasRules) {
    if (!readCount(&rules_, 2 * static_cast<int64_t>(LoadBe(h + 26 + s, 2)))) return kBadHeader;
    if (!readCount(&names1_, 2 * static_cast<int64_t>(LoadBe(h + 30 + s, 2)))) return kBadHeader;
  }
  if (hasLinks) {
    if (!readCount(&linkTable_, 2 * static_cast<int64_t>(LoadBe(h + t, 2)))) return kBadHeader;
    if (!readCount(&names2_, 2 * static_cast<int64_t>(LoadBe(h + t + 4, 2)))) return kBadHeader;
    std::vector<unsigned char> raw(static_cast<std::size_t>(linkTable_.count) * kLinkRecord);
    if (!raw.empty() && !readAt(linkTable_.offset + 2, raw.data(), raw.size())) return kBadHeader;
    links_.reserve(static_cast<std::size_t>(linkTable_.count));
    for (int32_t i = 0; i < linkTable_.count; ++i) {
      const unsigned char* r = raw.data() + static_cast<std::size_t>(i) * kLinkRecord;
      TollLink link;
      link.first = static_cast<uint16_t>(LoadBe(r, 2));
      link.second = static_cast<uint16_t>(LoadBe(r + 2, 2));
      link.kind = r[4];
      link.byte2 = r[5];
      link.timeWord = static_cast<uint16_t>(LoadBe(r + 6, 2));
      link.listOffset = static_cast<uint32_t>(LoadBe(r + 8, 3));
      link.listWords = r[11];
      links_.push_back(link);
    }
  }
  return 0;
}

int TollTable::classColumn(int vehicleClass) const {
  if (vehicleClass < 0 || vehicleClass > 15) return 0;
  return classMap_[vehicleClass];
}

bool TollTable::searchKey(const SubTable& table, int recordSize, int key, unsigned char* record,
                          int* index) {
  int64_t at = 0;
  if (!searchRecords(table.offset + 2, table.count, recordSize, key, record, &at)) return false;
  if (index) *index = static_cast<int>(at);
  return true;
}

bool TollTable::findRule(int first, int second, TollDiscountRule* rule, int* index) {
  if (first < 0 || first > 255 || second < 0 || second > 255) return false;
  unsigned char r[kRuleRecord];
  if (!searchKey(rules_, kRuleRecord, first * 256 + second, r, index)) return false;
  rule->first = r[0];
  rule->second = r[1];
  rule->dayWord = static_cast<uint16_t>(LoadBe(r + 2, 2));
  rule->windowStart = static_cast<uint16_t>(LoadBe(r + 4, 2));
  rule->windowEnd = static_cast<uint16_t>(LoadBe(r + 6, 2));
  rule->p = r[8];
  rule->q = r[9];
  rule->rate = static_cast<uint16_t>(LoadBe(r + 10, 2));
  rule->roundingUnit = r[12];
  return true;
}

bool TollTable::facilityFeeList(int key, uint32_t* offset, uint32_t* words) {
  if (key < 0 || key > 0xFFFF) return false;
  unsigned char r[kFacilityIndexRecord];
  if (!searchKey(facilityIndex_, kFacilityIndexRecord, key, r, nullptr)) return false;
  *offset = static_cast<uint32_t>(LoadBe(r + 2, 3));
  *words = r[5];
  return true;
}

bool TollTable::groupFeeList(int group, int keyA, int keyB, uint32_t* offset, uint32_t* words) {
  if (group < 0 || group >= groupIndex_.count || keyA == keyB) return false;
  unsigned char r[kGroupIndexRecord];
  if (!readAt(groupIndex_.offset + 2 + static_cast<int64_t>(group) * kGroupIndexRecord, r,
              sizeof r))
    return false;
  const int64_t start = groupIndex_.offset + 2 * static_cast<int64_t>(LoadBe(r, 4));
  const int64_t n = static_cast<int64_t>(LoadBe(r + 4, 2));
  // Positions of the keys among the group's n ascending toll-point keys.
  unsigned char k[2];
  int64_t f = 0, g = 0;
  if (!searchRecords(start, n, 2, keyA, k, &f) || !searchRecords(start, n, 2, keyB, k, &g))
    return false;
  const int64_t i = std::min(f, g);
  const int64_t j = std::max(f, g);
  const int64_t h = n - j;
  const int64_t x = n * (h - 1) + i - ((h - 1) * (h - 1)) / 2 - h / 2;
  unsigned char e[4];
  if (!readAt(start + 2 * n + 4 * x, e, sizeof e)) return false;
  *offset = static_cast<uint32_t>(LoadBe(e, 3));
  *words = e[3];
  return true;
}

std::vector<TollLink> TollTable::linksTouching(int facility) const {
  std::vector<TollLink> out;
  for (const TollLink& l : links_)
    if (l.first == facility || l.second == facility) out.push_back(l);
  return out;
}

std::vector<TollLink> TollTable::linksOf(int first, int second) const {
  const auto less = [](const TollLink& a, const TollLink& b) {
    return a.first != b.first ? a.first < b.first : a.second < b.second;
  };
  if (first < 0 || first > 0xFFFF || second < 0 || second > 0xFFFF) return {};
  TollLink wanted;
  wanted.first = static_cast<uint16_t>(first);
  wanted.second = static_cast<uint16_t>(second);
  const auto range = std::equal_range(links_.begin(), links_.end(), wanted, less);
  return std::vector<TollLink>(range.first, range.second);
}

std::vector<TollLink> TollTable::linksOf(int first, int second, int kind) const {
  std::vector<TollLink> out;
  for (const TollLink& l : linksOf(first, second))
    if (l.kind == kind) out.push_back(l);
  return out;
}

bool TollTable::readFeeList(uint32_t offset, uint32_t words, FeeDataList* out) {
  if (words == 0) return false;
  const std::size_t length = 2 * static_cast<std::size_t>(words);
  if (length < 8) return false;
  std::vector<unsigned char> raw(length);
  if (!readAt(feeArea_ + 2 * static_cast<int64_t>(offset), raw.data(), length)) return false;
  FeeDataList list;
  list.flags = static_cast<uint32_t>(LoadBe(raw.data(), 4));
  list.valueFlags = raw[4];
  list.rowCount = raw[5];
  list.rowMask = static_cast<uint16_t>(LoadBe(raw.data() + 6, 2));
  if (list.rowCount == 0) return false;
  for (int bit = 23; bit >= 0; --bit)
    if ((list.flags >> bit) & 1) list.items.push_back(static_cast<uint8_t>(24 - bit));
  const std::size_t count = (length - 8) / 2;
  list.rowLength = static_cast<int>(count / list.rowCount);
  list.values.reserve(count);
  for (std::size_t k = 0; k < count; ++k) {
    int32_t v = static_cast<int16_t>(LoadBe(raw.data() + 8 + 2 * k, 2));
    if (v == -32768) v = 0;
    if (!(list.valueFlags & 1)) v *= 10;
    list.values.push_back(v);
  }
  *out = std::move(list);
  return true;
}

int TollTable::feeValue(const FeeDataList& list, int item, int column, int32_t* value) {
  if (item == -1) {
    if (column < 0 || static_cast<std::size_t>(column) >= list.values.size()) return kNoValue;
    *value = list.values[static_cast<std::size_t>(column)];
    return 0;
  }
  if (!list.hasRow(item) || column < 0 || column >= list.rowLength) return kNoValue;
  int k = 0;
  if (!(list.flags & 1))
    for (int before = 1; before < item; ++before)
      if (list.hasRow(before)) ++k;
  const std::size_t at =
      static_cast<std::size_t>(column) + static_cast<std::size_t>(k) * list.rowLength;
  if (at >= list.values.size()) return kNoValue;
  *value = list.values[at];
  return 0;
}

bool TollTable::discountName(int table, int first, int second, std::string* name) {
  const SubTable& t = table == 1 ? names1_ : names2_;
  if ((table != 1 && table != 2) || first < 0 || first > 255 || second < 0 || second > 255)
    return false;
  unsigned char r[kNameRecord];
  if (!searchKey(t, kNameRecord, first * 256 + second, r, nullptr)) return false;
  const int64_t at = t.offset + 2 * static_cast<int64_t>(LoadBe(r + 2, 2));
  std::vector<unsigned char> text(LoadBe(r + 4, 2));
  if (!text.empty() && !readAt(at, text.data(), text.size())) return false;
  *name = plat::cp932::FromUtf16LeBytes(text.data(), text.size());
  return true;
}

int CheckTollData(TollTable& table, TollFacil& facil) {
  int tollVersion = 0, facilVersion = 0;
  uint32_t tollDay = 0, facilDay = 0;
  if (!table.readVersionAndDay(&tollVersion, &tollDay)) return TollTable::kBadHeader;
  if (!facil.readVersionAndDay(&facilVersion, &facilDay)) return TollFacil::kNoData;
  if (tollVersion != facilVersion) return -25;
  if (tollDay != facilDay) return -26;
  return 0;
}
