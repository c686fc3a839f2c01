// The readers through which the result builder reads back what the number
// levels of the address engine found in the change sources.

#include "matching/adrs_engine.h"
#include "matching/change_code_records.h"

int CAdrsEngine::GetChangeRecord(uint32_t n, ChangeRecord* record, char* name1, char* name2,
                                 char* sortForm1, char* sortForm2) {
  if (!history_ || !record) return 0;
  return history_->GetRecord(n, record, name1, name2, sortForm1, sortForm2);
}

int CAdrsEngine::ReadChangeCodeLot(uint32_t cityEntry, uint32_t areaEntry, uint32_t blockEntry,
                                   uint32_t changeRecord, ChangeCodeLot* lot) {
  if (!codeIndex_ || !lot) return 0;
  *lot = ChangeCodeLot();
  ChangeCodeTable lots;
  uint32_t first = 0;
  if (!codeIndex_->ReadCityEntry(cityEntry, lot->cityCode, nullptr, nullptr, nullptr, nullptr) ||
      !codeIndex_->ReadAreaEntry(areaEntry, lot->areaCode, nullptr, nullptr, nullptr, nullptr) ||
      !codeIndex_->ReadBlockEntry(blockEntry, lot->blockCode, lot->blockName, lot->blockSecondName,
                                  &lots.position, &lots.count, &lots.size, &lots.wide) ||
      lots.count == 0 || !ReadChildPosition(codeIndex_, lots, 0, &first)) {
    return 0;
  }
  uint32_t base1 = 0;
  uint32_t base2 = 0;
  if (!codeIndex_->ReadChangeRecord(first, 0, &base1, &base2, lot->lotCode, lot->lotName,
                                    lot->lotSecondName, &lot->latitude, &lot->longitude,
                                    &lot->precisionDigit, &lot->precisionCode, &lot->classCode)) {
    return 0;
  }
  if (changeRecord != first &&
      !codeIndex_->ReadChangeRecord(changeRecord, 1, &base1, &base2, lot->lotCode, lot->lotName,
                                    lot->lotSecondName, &lot->latitude, &lot->longitude,
                                    &lot->precisionDigit, &lot->precisionCode, &lot->classCode)) {
    return 0;
  }
  return 1;
}
