#include "toll/toll_facil.h"

#include "common/be_bytes.h"
#include "plat/cp932.h"

namespace {
constexpr int kFacilRecordSize = 14;
constexpr int kCoordRecordSize = 8;
}  // namespace

bool TollFacil::readHeader() {
  headerRead_ = false;
  unsigned char h[22];
  if (!readAt(0, h, 16)) return false;
  version_ = static_cast<int>(LoadBe(h + 2, 2));
  const int s = version_ >= 35 ? 4 : 0;
  const std::size_t need = static_cast<std::size_t>(16 + s + (version_ >= 34 ? 2 : 0));
  if (!readAt(0, h, need)) return false;
  tableOffset_ = 2 * static_cast<int64_t>(LoadBe(h, 2));
  day_ = static_cast<uint32_t>(LoadBe(h + 8, 4));
  extra_ = s ? static_cast<uint32_t>(LoadBe(h + 12, 4)) : 0;
  count_ = static_cast<int32_t>(LoadBe(h + 12 + s, 2));
  nameOffset_ = 2 * static_cast<int64_t>(LoadBe(h + 14 + s, 2));
  coordOffset_ = version_ >= 34 ? 2 * static_cast<int64_t>(LoadBe(h + 16 + s, 2)) : -1;
  headerRead_ = true;
  return true;
}

bool TollFacil::findRecord(int64_t tableOffset, int number, int recordSize, unsigned char* record) {
  // The table is in ascending number, usually without gaps: try the record
  // at number-1 first. Number 0 has no such place.
  if (number >= 1 && number <= count_) {
    if (readAt(tableOffset + static_cast<int64_t>(number - 1) * recordSize, record,
               static_cast<std::size_t>(recordSize)) &&
        static_cast<int>(LoadBe(record, 2)) == number)
      return true;
  }
  return searchRecords(tableOffset, count_, recordSize, number, record, nullptr);
}

int TollFacil::readFacility(int number, TollFacilRecord* out) {
  if (!headerRead_) return kNoData;
  unsigned char r[kFacilRecordSize];
  if (!findRecord(tableOffset_, number, kFacilRecordSize, r)) return kNotFound;
  TollFacilRecord rec;
  rec.number = static_cast<uint16_t>(LoadBe(r, 2));
  rec.kind = r[2];
  rec.kind2 = r[3];
  rec.valueA = static_cast<int32_t>(LoadBe(r + 4, 2));
  rec.valueB = static_cast<int32_t>(LoadBe(r + 6, 2));
  rec.valueD = r[8] == 255 ? -1 : r[8];
  rec.valueC = static_cast<int32_t>(LoadBe(r + 10, 2));
  rec.nameOffset = 2 * static_cast<int32_t>(LoadBe(r + 12, 2));
  const int64_t entry = nameOffset_ + rec.nameOffset;
  unsigned char lengths[2];
  if (!readAt(entry, lengths, 2)) return kNoData;
  unsigned char text[510];
  const std::size_t total = static_cast<std::size_t>(lengths[0]) + lengths[1];
  if (!readAt(entry + 2, text, total)) return kNoData;
  rec.name = plat::cp932::FromUtf16LeBytes(text, lengths[0]);
  rec.name2 = plat::cp932::FromUtf16LeBytes(text + lengths[0], lengths[1]);
  *out = std::move(rec);
  return 0;
}

int TollFacil::readCoordinates(int number, int32_t* first, int32_t* second) {
  if (!headerRead_ || coordOffset_ < 0) return kNoData;
  unsigned char r[kCoordRecordSize];
  if (!findRecord(coordOffset_, number, kCoordRecordSize, r)) return kNotFound;
  *second = static_cast<int32_t>(LoadBe(r + 2, 3) & 0x7FFFFF);
  *first = static_cast<int32_t>(LoadBe(r + 5, 3) & 0x7FFFFF);
  return 0;
}
