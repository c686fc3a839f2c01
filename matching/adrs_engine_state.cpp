// The address engine's match state beyond its file side: the special-name
// pair, the estimation list, and the readers through which the result
// builder reads back what the number levels found in the change sources.

#include <cstring>

#include "common/sjis_text.h"
#include "tabledb/adrs_engine.h"

namespace {

// Copies the whole characters of text that fit into out (size bytes with
// the NUL), the character starts found walking forward.
char* CopyCut(char* out, std::size_t size, const char* text) {
  if (!out || size == 0) return out;
  std::size_t n = 0;
  if (text) {
    for (;;) {
      const unsigned char b = static_cast<unsigned char>(text[n]);
      if (b == 0) break;
      const std::size_t len = (IsLeadByte(b) && text[n + 1] != '\0') ? 2 : 1;
      if (n + len >= size) break;
      n += len;
    }
    std::memmove(out, text, n);
  }
  out[n] = '\0';
  return out;
}

}  // namespace

void CAdrsEngine::SetSpecialName(const char* name, const char* placeCode) {
  CopyCut(specialName_, kTextSize, name);
  CopyCut(specialNameCode_, kTextSize, placeCode);
}

uint32_t CAdrsEngine::AddEstimateRecord(const EstimateRecord& record) {
  unsigned char bytes[kEstimateRecordSize];
  std::memcpy(bytes, &record, sizeof bytes);
  if (estimationList_.GetElementSize() != kEstimateRecordSize || !estimationList_.Add(bytes)) {
    return 0;
  }
  return estimationList_.GetCount();
}

int CAdrsEngine::GetChangeRecord(uint32_t n, ChangeRecord* record, char* name1, char* name2,
                                 char* sortForm1, char* sortForm2) {
  if (!history_ || !record) return 0;
  return history_->GetRecord(n, record, name1, name2, sortForm1, sortForm2);
}

char* CAdrsEngine::GetChangeHistoryPath(char* out, std::size_t size) const {
  const char* path = "";
  if (historyFromFiles_) {
    path = historyIndexPath_;
  } else if (history_) {
    path = history_->GetIndexPath();
  }
  return CopyCut(out, size, path);
}

char* CAdrsEngine::GetChangeCodeIndexPath(char* out, std::size_t size) const {
  const char* path = "";
  if (codeIndexFromFile_) {
    path = codeIndexPath_;
  } else if (codeIndex_) {
    path = codeIndex_->GetPath();
  }
  return CopyCut(out, size, path);
}

int CAdrsEngine::ReadChangeCodeLot(uint32_t cityEntry, uint32_t areaEntry, uint32_t blockEntry,
                                   uint32_t changeRecord, ChangeCodeLot* lot) {
  if (!codeIndex_ || !lot) return 0;
  *lot = ChangeCodeLot();
  uint32_t table = 0;
  uint32_t count = 0;
  uint32_t tableSize = 0;
  int wide = 0;
  if (!codeIndex_->ReadCityEntry(cityEntry, lot->cityCode, nullptr, nullptr, nullptr, nullptr) ||
      !codeIndex_->ReadAreaEntry(areaEntry, lot->areaCode, nullptr, nullptr, nullptr, nullptr) ||
      !codeIndex_->ReadBlockEntry(blockEntry, lot->blockCode, lot->blockName,
                                  lot->blockSecondName, &table, &count, &tableSize, &wide) ||
      count == 0) {
    return 0;
  }
  uint32_t offset = 0;
  if (!codeIndex_->ReadChildOffset(table, 0, wide, &offset)) return 0;
  const uint64_t first = static_cast<uint64_t>(table) + tableSize + offset;
  if (first > UINT32_MAX) return 0;
  uint32_t base1 = 0;
  uint32_t base2 = 0;
  if (!codeIndex_->ReadChangeRecord(static_cast<uint32_t>(first), 0, &base1, &base2,
                                    lot->lotCode, lot->lotName, lot->lotSecondName,
                                    &lot->latitude, &lot->longitude, &lot->precisionDigit,
                                    &lot->precisionCode, &lot->classCode)) {
    return 0;
  }
  if (changeRecord != first &&
      !codeIndex_->ReadChangeRecord(changeRecord, 1, &base1, &base2, lot->lotCode, lot->lotName,
                                    lot->lotSecondName, &lot->latitude, &lot->longitude,
                                    &lot->precisionDigit, &lot->precisionCode,
                                    &lot->classCode)) {
    return 0;
  }
  return 1;
}
