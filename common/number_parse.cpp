#include "common/number_parse.h"

#include <cstring>
#include <string>
#include <vector>

#include "common/sjis_internal.h"
#include "common/sjis_text.h"
#include "plat/crt.h"

using sjis_internal::TrimmedBlanks;

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads text as a double within [lower, upper] (as doubles); the value is
// reported also when it is out of range. 1 ok, 0 out of range, -1 not numeric.
int ReadDouble(const char* text, double lower, double upper, double* value) {
  if (!IsNumericText(text)) return -1;
  *value = plat::crt::StrToD(text, nullptr);
  return lower <= *value && *value <= upper ? 1 : 0;
}

template <typename T>
int ParseIntegral(const char* text, T* out, T lower, T upper) {
  if (!text || !out) return 0;
  double v = 0.0;
  if (ReadDouble(text, static_cast<double>(lower), static_cast<double>(upper), &v) != 1) return 0;
  *out = static_cast<T>(v);  // within the bounds, so within T
  return 1;
}

// Runs a parser on a piece of a text held in a buffer of the text's size.
template <typename Pick, typename Parse>
int OnPiece(const char* text, Pick pick, Parse parse) {
  if (!text) return 0;
  std::vector<char> piece(std::strlen(text) + 1, '\0');
  pick(piece.data());
  return parse(piece.data());
}

}  // namespace

int IsNumericText(const char* text) {
  if (!text) return 0;
  const std::string t = TrimmedBlanks(text);
  if (t.empty()) return 0;
  if (t.size() == 1) return IsDigit(t[0]) ? 1 : 0;
  int dots = 0, lowerE = 0, upperE = 0, lowerX = 0, upperX = 0;
  for (char c : t) {
    if (IsDigit(c) || c == '+' || c == '-') continue;
    switch (c) {
      case '.':
        ++dots;
        break;
      case 'e':
        ++lowerE;
        break;
      case 'E':
        ++upperE;
        break;
      case 'x':
        ++lowerX;
        break;
      case 'X':
        ++upperX;
        break;
      default:
        return 0;
    }
  }
  if (dots > 1 || lowerE > 1 || upperE > 1 || lowerX > 1 || upperX > 1) return 0;
  const char last = t.back();
  if (last == 'e' || last == 'E' || last == 'x' || last == 'X') return 0;
  return 1;
}

int ParseDoubleInRange(const char* text, double* out, double lower, double upper) {
  if (!text || !out) return 0;
  double v = 0.0;
  const int r = ReadDouble(text, lower, upper, &v);
  if (r < 0) return 0;
  *out = v;
  return r;
}

int ParseFloatInRange(const char* text, float* out, float lower, float upper) {
  if (!text || !out || !IsNumericText(text)) return 0;
  const float v = static_cast<float>(plat::crt::StrToD(text, nullptr));
  *out = v;
  return lower <= v && v <= upper ? 1 : 0;
}

int ParseIntInRange(const char* text, int32_t* out, int32_t lower, int32_t upper) {
  return ParseIntegral(text, out, lower, upper);
}
int ParseUShortInRange(const char* text, uint16_t* out, uint16_t lower, uint16_t upper) {
  return ParseIntegral(text, out, lower, upper);
}
int ParseShortInRange(const char* text, int16_t* out, int16_t lower, int16_t upper) {
  return ParseIntegral(text, out, lower, upper);
}
int ParseUIntInRange(const char* text, uint32_t* out, uint32_t lower, uint32_t upper) {
  return ParseIntegral(text, out, lower, upper);
}
int ParseByteInRange(const char* text, uint8_t* out, uint8_t lower, uint8_t upper) {
  return ParseIntegral(text, out, lower, upper);
}

int ParseDoubleStrict(const char* text, double* out, double lower, double upper) {
  if (!text || !out || !IsNumericText(text)) return 0;
  const std::string t = TrimmedBlanks(text);
  char* end = nullptr;
  const double v = plat::crt::StrToD(t.c_str(), &end);
  if (!end || end == t.c_str() || *end != '\0') return 0;
  if (!(lower <= v && v <= upper)) return 0;
  *out = v;
  return 1;
}

int ParseUIntStrict(const char* text, uint32_t* out, uint32_t lower, uint32_t upper) {
  if (!out) return 0;
  double v = 0.0;
  if (!ParseDoubleStrict(text, &v, static_cast<double>(lower), static_cast<double>(upper)))
    return 0;
  *out = static_cast<uint32_t>(v);
  return 1;
}

// ---- Wrappers on a blank-separated word ----

#define KORT_WORD_PARSER(Name, Parser, T)                                     \
  int Name(const char* text, int n, T* out, T lower, T upper) {               \
    return OnPiece(                                                           \
        text, [&](char* piece) { GetBlankSeparatedWord(piece, text, n); },    \
        [&](const char* piece) { return Parser(piece, out, lower, upper); }); \
  }

KORT_WORD_PARSER(ParseWordDoubleInRange, ParseDoubleInRange, double)
KORT_WORD_PARSER(ParseWordIntInRange, ParseIntInRange, int32_t)
KORT_WORD_PARSER(ParseWordUShortInRange, ParseUShortInRange, uint16_t)
KORT_WORD_PARSER(ParseWordShortInRange, ParseShortInRange, int16_t)
KORT_WORD_PARSER(ParseWordUIntInRange, ParseUIntInRange, uint32_t)
#undef KORT_WORD_PARSER

// ---- Wrappers on a substring ----

#define KORT_SUBSTRING_PARSER(Name, Parser, T)                                \
  int Name(const char* text, int pos, int count, T* out, T lower, T upper) {  \
    return OnPiece(                                                           \
        text, [&](char* piece) { CopySubstring(piece, text, pos, count); },   \
        [&](const char* piece) { return Parser(piece, out, lower, upper); }); \
  }

KORT_SUBSTRING_PARSER(ParseSubstringDoubleInRange, ParseDoubleInRange, double)
KORT_SUBSTRING_PARSER(ParseSubstringIntInRange, ParseIntInRange, int32_t)
KORT_SUBSTRING_PARSER(ParseSubstringUShortInRange, ParseUShortInRange, uint16_t)
KORT_SUBSTRING_PARSER(ParseSubstringShortInRange, ParseShortInRange, int16_t)
KORT_SUBSTRING_PARSER(ParseSubstringUIntInRange, ParseUIntInRange, uint32_t)
#undef KORT_SUBSTRING_PARSER
