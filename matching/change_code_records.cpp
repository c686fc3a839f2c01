#include "matching/change_code_records.h"

bool ReadChildPosition(CChangeCodeIndex* index, const ChangeCodeTable& table, uint32_t i,
                       uint32_t* position) {
  return index->ChildPosition(table.position, table.size, table.wide, i + 1, position) != 0;
}

bool CChangeCodeRecords::Read(uint32_t k, ChangeCodeRecord* r) {
  return ReadChildPosition(index_, table_, k, &r->position) &&
         index_->ReadChangeRecord(r->position, k > 0 ? 1 : 0, &base1_, &base2_, r->code, r->name,
                                  r->second, &r->number1, &r->number2, &r->digit, &r->scale,
                                  &r->classCode) != 0;
}
