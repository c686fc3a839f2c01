#include "tabledb/change_bytes.h"

#include <cstring>

#include "common/code_parse.h"
#include "common/number_parse.h"
#include "common/record_array.h"

namespace change_bytes {

int ReadPlainDigits(const char* text, std::size_t maxLength, uint32_t* value) {
  if (text == nullptr || text[0] == '\0') return 0;
  uint64_t v = 0;
  std::size_t n = 0;
  for (; text[n] != '\0'; ++n) {
    if (n >= maxLength || !IsAsciiDigit(static_cast<unsigned char>(text[n]))) return 0;
    v = v * 10 + static_cast<unsigned>(text[n] - '0');
    if (v > UINT32_MAX) return 0;
  }
  *value = static_cast<uint32_t>(v);
  return 1;
}

std::size_t MakeFullWidthNumber(uint32_t number, bool zeroIsEmpty, char* out) {
  if (number == 0 && zeroIsEmpty) {
    out[0] = '\0';
    return 0;
  }
  char digits[16];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number != 0);
  std::size_t len = 0;
  while (n > 0) {
    // "０" is 0x82 0x4F; the other digits follow it.
    out[len++] = static_cast<char>(0x82);
    out[len++] = static_cast<char>(0x4F + (digits[--n] - '0'));
  }
  out[len] = '\0';
  return len;
}

int ParsePlaceCode(const char* code, uint16_t* city, uint16_t* part1, uint16_t* part2) {
  if (code == nullptr || std::strlen(code) != 11) return 0;
  char cityText[6], part1Text[4], part2Text[4];
  std::memcpy(cityText, code, 5);
  cityText[5] = '\0';
  std::memcpy(part1Text, code + 5, 3);
  part1Text[3] = '\0';
  std::memcpy(part2Text, code + 8, 3);
  part2Text[3] = '\0';
  return ParseUShortInRange(cityText, city, 1000, 47999) && ParseCode3(part1Text, part1) &&
         ParseCode3(part2Text, part2);
}

int ScaleCodeFromText(const char* text) {
  if (text == nullptr) return 0;
  static const struct {
    const char* text;
    int code;
  } kScales[] = {{"10000", 1}, {"25000", 2}, {"50000", 3},
                 {"70000", 7}, {"80000", 8}, {"2000", 20}};
  for (const auto& s : kScales) {
    if (std::strcmp(text, s.text) == 0) return s.code;
  }
  return 0;
}

int AppendBytes(CRecordList* list, const void* bytes, uint32_t n) {
  if (n == 0) return 1;
  const uint32_t before = list->GetCount();
  if (list->AddMany(bytes, n)) return 1;
  const uint32_t added = list->GetCount() - before;
  if (added != 0) list->DropLast(added);
  return 0;
}

}  // namespace change_bytes
