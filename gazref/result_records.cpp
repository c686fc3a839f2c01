#include "gazref/result_records.h"

#include <algorithm>
#include <initializer_list>

#include "plat/crt.h"

namespace {

// One member of a record and the field (from 1) it is read from: a text
// member or a number member.
template <typename Record>
struct FieldMap {
  std::string Record::*text = nullptr;
  int32_t Record::*number = nullptr;
  int32_t field = 0;
};

template <typename Record>
FieldMap<Record> Text(std::string Record::*member, int32_t field) {
  return {member, nullptr, field};
}
template <typename Record>
FieldMap<Record> Number(int32_t Record::*member, int32_t field) {
  return {nullptr, member, field};
}

// Fills the members in the order of the map.
template <typename Record>
void LoadRecord(Record* record, const CStringArray& rows, int32_t total, int32_t row,
                std::initializer_list<FieldMap<Record>> map) {
  const int32_t count = static_cast<int32_t>(std::min<std::size_t>(rows.size(), INT32_MAX));
  const bool inRange = row >= 0 && row < total && row < count;
  for (const FieldMap<Record>& entry : map) {
    if (!inRange) {
      if (entry.number) record->*entry.number = 0;
      continue;
    }
    const std::string field = GetCsvField(rows[static_cast<std::size_t>(row)], entry.field - 1);
    if (entry.text) {
      record->*entry.text = field;
    } else {
      record->*entry.number = ReadFieldNumber(field);
    }
  }
}

}  // namespace

std::string GetCsvField(const std::string& text, int32_t k) {
  std::size_t start = 0;
  for (int32_t i = 0; i < k; ++i) {
    const std::size_t comma = text.find(',', start);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  const std::size_t end = text.find(',', start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

int32_t ReadFieldNumber(const std::string& field) { return plat::crt::AtoL32(field.c_str()); }

void LoadAddrRecord(AddrRecord* record, const CStringArray& rows, int32_t total, int32_t row) {
  using R = AddrRecord;
  LoadRecord<R>(record, rows, total, row,
                {Text(&R::AddrStr, 1), Text(&R::YomiStr, 2), Number(&R::Lat, 3), Number(&R::Lon, 4),
                 Text(&R::GJis, 5)});
}

void LoadAddrFwRecord(AddrFwRecord* record, const CStringArray& rows, int32_t total, int32_t row) {
  using R = AddrFwRecord;
  LoadRecord<R>(record, rows, total, row,
                {Text(&R::AddrStr, 1), Text(&R::Addr2ndStr, 2), Text(&R::Addr3rdStr, 4),
                 Text(&R::Addr4thStr, 6), Text(&R::Addr5thStr, 8), Text(&R::Addr6thStr, 9),
                 Text(&R::Yomi2ndStr, 3), Text(&R::Yomi3rdStr, 5), Text(&R::Yomi4thStr, 7),
                 Number(&R::Lat, 10), Number(&R::Lon, 11), Text(&R::GJis, 12),
                 Number(&R::Status, 13), Number(&R::Fuyo, 14)});
}

void LoadShisetsuRecord(ShisetsuRecord* record, const CStringArray& rows, int32_t total,
                        int32_t row) {
  using R = ShisetsuRecord;
  LoadRecord<R>(
      record, rows, total, row,
      {Text(&R::NameStr, 1), Text(&R::YomiStr, 2), Number(&R::Lat, 3), Number(&R::Lon, 4),
       Text(&R::AddrStr, 5), Text(&R::Addr2ndStr, 6), Text(&R::GJis, 7), Text(&R::strBunruiLStr, 8),
       Text(&R::strBunruiMStr, 9), Text(&R::strBunruiSStr, 10), Number(&R::Distance, 11)});
}

int32_t RecordFuyo(const AddrFwRecord& record, int32_t fuyoFromCode) {
  return fuyoFromCode == 1 ? ReadFieldNumber(record.GJis) : record.Fuyo;
}
