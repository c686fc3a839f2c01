#include "matching/number_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/copy_out.h"
#include "common/kanji_numeral.h"
#include "common/sjis_text.h"
#include "common/width_kana.h"
#include "matching/normalize.h"

namespace {

bool IsAsciiDigit(const char* p) { return *p >= '0' && *p <= '9'; }

// A kanji numeral other than a full-width digit.
bool IsKanjiNumeral(const char* p) {
  return IsLeadByte(static_cast<unsigned char>(p[0])) && p[1] != '\0' && !IsFullWidthDigitAt(p) &&
         KanjiDigitValue(p) >= 0;
}

bool IsNumeral(const char* p) {
  return IsAsciiDigit(p) ||
         (IsLeadByte(static_cast<unsigned char>(p[0])) && p[1] != '\0' && KanjiDigitValue(p) >= 0);
}

bool StartsWith(const char* text, const char* word) {
  return std::strncmp(text, word, std::strlen(word)) == 0;
}

std::string FullWidth(std::string text) {
  // Every byte may double; room for all of them.
  std::string buffer(text.size() * 2 + 1, '\0');
  std::memcpy(buffer.data(), text.c_str(), text.size() + 1);
  ToFullWidthText(buffer.data(), buffer.size());
  return std::string(buffer.c_str());
}

}  // namespace

int ClassifyNumberRun(const char* text, NumberRun* run) {
  if (!text || !run) return 0;
  *run = NumberRun();
  const char* p = text;
  int kind = 0;
  if (IsFullWidthDigitAt(p)) {
    kind = 1;
    while (IsFullWidthDigitAt(p)) p += 2;
  } else if (IsKanjiNumeral(p)) {
    kind = 2;
    while (IsKanjiNumeral(p)) p += 2;
  } else if (IsAsciiDigit(p)) {
    kind = 3;
    while (IsAsciiDigit(p)) ++p;
  } else {
    return 0;
  }
  const std::string digits(text, static_cast<std::size_t>(p - text));
  int32_t value = 0;
  if (kind == 2) {
    value = KanjiNumeralToInt(digits.c_str());
    if (value < 0) return 0;
  } else {
    // Digit by digit, refusing a value beyond 32 bits.
    int64_t v = 0;
    const int step = kind == 1 ? 2 : 1;
    for (std::size_t i = 0; i < digits.size(); i += static_cast<std::size_t>(step)) {
      const int d = kind == 1 ? static_cast<unsigned char>(digits[i + 1]) - 0x4F : digits[i] - '0';
      v = v * 10 + d;
      if (v > INT32_MAX) return 0;
    }
    value = static_cast<int32_t>(v);
  }
  run->kind = kind;
  run->length = static_cast<int>(digits.size());
  run->value = value;
  run->requested = kind == 3 ? FullWidth(digits) : FullWidthNumber(value);
  return 1;
}

std::string StripLeadingZeros(const std::string& text) {
  std::size_t start = 0;
  while (text.size() - start > 2 && IsFullWidthDigitAt(text.c_str() + start) &&
         static_cast<unsigned char>(text[start + 1]) == 0x4F) {
    start += 2;
  }
  return text.substr(start);
}

int MeasureNumberSuffix(const char* text) {
  if (!text) return 0;
  static const char* const kWords[] = {"－", "の", "ノ", "番地", "番", "地割", "線", "号", "街区"};
  static const char* const kHyphen = "－";
  static const char* const kNo = "の";
  for (std::size_t i = 0; i < sizeof kWords / sizeof kWords[0]; ++i) {
    const char* word = kWords[i];
    if (!StartsWith(text, word)) continue;
    const int length = static_cast<int>(std::strlen(word));
    const char* after = text + length;
    if (i >= 3 && (StartsWith(after, kHyphen) || StartsWith(after, kNo))) return length + 2;
    if (*after == '\0' || IsNumeral(after) || i == 0) return length;
  }
  return 0;
}

int IsTrailingLotWord(const char* rest, CCharDictionary* dictionary) {
  if (!rest || rest[0] == '\0') return 0;
  static const char* const kWords[] = {"－", "の", "番地", "番", "地割", "線", "号", "街区"};
  char form[1024];
  if (std::strlen(rest) >= 512) return 0;
  CopyCut(form, sizeof form, rest);
  if (!NormalizeSearchText(nullptr, dictionary, form, sizeof form)) {
    CopyCut(form, sizeof form, rest);
  }
  ReplaceAll(form, "‐", "－", sizeof form);
  for (const char* word : kWords) {
    if (std::strcmp(form, word) == 0) return 1;
  }
  return 0;
}

int EstimatePoint(const EstimateRecord& record, int32_t* latitude, int32_t* longitude) {
  const EstimateNeighbour* first = nullptr;
  const EstimateNeighbour* second = nullptr;
  for (const EstimateNeighbour* n : {&record.lower, &record.upper}) {
    if (n->found == kNeighbourNone) continue;
    (first ? second : first) = n;
  }
  if (!first) return 0;
  int32_t lat = first->latitude;
  int32_t lon = first->longitude;
  if (second && second->number != first->number) {
    const double n = record.requested;
    const double n1 = first->number;
    const double n2 = second->number;
    // Between the neighbours the result lies between their points; a
    // number outside them is held to the 32-bit range.
    auto place = [&](double p1, double p2) {
      const double v = std::trunc((p1 * (n2 - n) + p2 * (n - n1)) / (n2 - n1));
      if (v >= 2147483647.0) return INT32_MAX;
      if (v <= -2147483648.0) return INT32_MIN;
      return static_cast<int32_t>(v);
    };
    lat = place(first->latitude, second->latitude);
    lon = place(first->longitude, second->longitude);
  }
  if (latitude) *latitude = lat;
  if (longitude) *longitude = lon;
  return 1;
}
