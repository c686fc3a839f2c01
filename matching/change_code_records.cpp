#include "matching/change_code_records.h"

bool ReadChildPosition(CChangeCodeIndex* index, const ChangeCodeTable& table, uint32_t i,
                       uint32_t* position) {
  uint32_t offset = 0;
  if (!index->ReadChildOffset(table.position, i, table.wide, &offset)) return false;
  const uint64_t p = uint64_t{table.position} + table.size + offset;
  if (p > UINT32_MAX) return false;
  *position = static_cast<uint32_t>(p);
  return true;
}

bool CChangeCodeRecords::Read(uint32_t k, ChangeCodeRecord* r) {
  return ReadChildPosition(index_, table_, k, &r->position) &&
         index_->ReadChangeRecord(r->position, k > 0 ? 1 : 0, &base1_, &base2_, r->code, r->name,
                                  r->second, &r->number1, &r->number2, &r->digit, &r->scale,
                                  &r->classCode) != 0;
}
