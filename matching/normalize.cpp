#include "matching/normalize.h"

#include <vector>

#include "common/kanji_numeral.h"
#include "common/sjis_text.h"
#include "common/width_kana.h"

namespace {

int CharLength(const char* p) {
  const unsigned char b = static_cast<unsigned char>(p[0]);
  if (b == 0) return 0;
  return (IsLeadByte(b) && p[1] != '\0') ? 2 : 1;
}

}  // namespace

int EndsWithUniformNumeralRun(const char* text) {
  if (text == nullptr) return 0;
  // Character starts, found walking forward.
  std::vector<const char*> starts;
  for (const char* p = text; *p; p += CharLength(p)) starts.push_back(p);
  int kind = 0;  // 1 full-width digit, 2 other numeral
  for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
    if (KanjiDigitValue(*it) < 0) return kind != 0 ? 1 : 0;
    const int k = IsFullWidthDigitAt(*it) ? 1 : 2;
    if (kind != 0 && k != kind) return 0;
    kind = k;
  }
  return kind != 0 ? 1 : 0;
}
