#include "common/kanji_numeral.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/copy_out.h"
#include "common/number_format.h"
#include "common/sjis_internal.h"
#include "common/sjis_text.h"
#include "common/width_kana.h"

using sjis_internal::CharLen;
using sjis_internal::TrimmedBlanks;

const char* const DigitKanjiTable[10][2] = {
    {"１", "一"}, {"２", "二"}, {"３", "三"}, {"４", "四"}, {"５", "五"},
    {"６", "六"}, {"７", "七"}, {"８", "八"}, {"９", "九"}, {"０", "十"},
};

namespace {

constexpr std::size_t kWorkLimit = static_cast<std::size_t>(kNumeralWorkArea);
// A place beyond every int32 value: any further non-zero digit is refused.
constexpr int64_t kPlaceCap = 10000000000LL;

struct NumeralChar {
  const char* text;
  int value;
};

constexpr NumeralChar kNumerals[] = {
    {"０", 0}, {"１", 1},  {"２", 2},   {"３", 3},    {"４", 4},     {"５", 5},
    {"６", 6}, {"７", 7},  {"８", 8},   {"９", 9},    {"一", 1},     {"二", 2},
    {"三", 3}, {"四", 4},  {"五", 5},   {"六", 6},    {"七", 7},     {"八", 8},
    {"九", 9}, {"十", 10}, {"百", 100}, {"千", 1000}, {"万", 10000}, {"億", 100000000},
    {"〇", 0}, {"零", 0},  {"壱", 1},   {"弐", 2},    {"参", 3},     {"伍", 5},
};

bool SameChar(const char* p, const char* twoBytes) {
  return p[0] == twoBytes[0] && p[1] == twoBytes[1];
}

// The numeral characters by their two bytes, in ascending order (the first
// entry of a character that is listed twice), and the lead bytes they use.
struct NumeralTable {
  struct Entry {
    uint16_t code;
    int value;
  };
  Entry entries[sizeof kNumerals / sizeof kNumerals[0]] = {};
  std::size_t count = 0;
  bool leads[256] = {};
  constexpr NumeralTable() {
    for (const NumeralChar& n : kNumerals) {
      const auto lead = static_cast<unsigned char>(n.text[0]);
      const auto trail = static_cast<unsigned char>(n.text[1]);
      const auto code = static_cast<uint16_t>(lead << 8 | trail);
      leads[lead] = true;
      bool listed = false;
      for (std::size_t k = 0; k < count; ++k) listed = listed || entries[k].code == code;
      if (listed) continue;
      std::size_t i = count++;
      for (; i > 0 && entries[i - 1].code > code; --i) entries[i] = entries[i - 1];
      entries[i] = Entry{code, n.value};
    }
  }
};
constexpr NumeralTable kNumeralTable;

// Their codes alone.
struct NumeralCodes {
  uint16_t codes[sizeof kNumerals / sizeof kNumerals[0]] = {};
  std::size_t count = 0;
  constexpr NumeralCodes() {
    for (std::size_t k = 0; k < kNumeralTable.count; ++k)
      codes[count++] = kNumeralTable.entries[k].code;
  }
};
constexpr NumeralCodes kNumeralCodes;

// The same characters by lead byte and trail byte: the value, -1 for a
// character that is no numeral.
struct NumeralsByLead {
  static constexpr int kSlots = 16;
  signed char slot[256] = {};
  int values[kSlots][256] = {};
  constexpr NumeralsByLead() {
    for (signed char& s : slot) s = -1;
    for (auto& row : values)
      for (int& v : row) v = -1;
    int used = 0;
    for (std::size_t k = 0; k < kNumeralTable.count; ++k) {
      const auto lead = static_cast<unsigned char>(kNumeralTable.entries[k].code >> 8);
      const auto trail = static_cast<unsigned char>(kNumeralTable.entries[k].code & 0xFF);
      if (slot[lead] < 0) slot[lead] = static_cast<signed char>(used++);
      values[slot[lead]][trail] = kNumeralTable.entries[k].value;
    }
  }
};
constexpr NumeralsByLead kNumeralsByLead;
static_assert(
    [] {
      int leads = 0;
      for (bool used : kNumeralTable.leads) leads += used ? 1 : 0;
      return leads <= NumeralsByLead::kSlots;
    }(),
    "more lead bytes than slots");

// Starts of the characters of a text, found walking forward.
std::vector<std::size_t> CharStarts(const std::string& s) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < s.size();) {
    starts.push_back(i);
    i += static_cast<std::size_t>(CharLen(s.c_str() + i));
  }
  return starts;
}

std::string FullWidthCopy(const char* text) {
  std::vector<char> buf(std::strlen(text) * 2 + 1);
  std::memcpy(buf.data(), text, std::strlen(text) + 1);
  ToFullWidth(buf.data(), buf.size());
  return std::string(buf.data());
}

// Value of a numeral text that is already full width; -1 when it does not
// read or exceeds 2,147,483,647.
int64_t ReadNumeral(const std::string& s) {
  const std::vector<std::size_t> starts = CharStarts(s);
  int64_t result = 0, place = 1;
  bool bareUnit = false;
  for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
    const int v = KanjiDigitValue(s.c_str() + *it);
    if (v < 0) return -1;
    if (v < 10) {
      result += v * place;
      place = place * 10 > kPlaceCap ? kPlaceCap : place * 10;
      bareUnit = false;
    } else {
      if (v < place) return -1;
      if (bareUnit) result += place;
      place = v;
      bareUnit = true;
    }
    if (result > INT32_MAX) return -1;
  }
  if (bareUnit) result += place;
  return result > INT32_MAX ? -1 : result;
}

std::string FullWidthDigits(int64_t value) {
  char buf[24];
  FormatDecimal(buf, sizeof buf, static_cast<long>(value));
  std::string r;
  for (const char* p = buf; *p; ++p) {
    r += static_cast<char>(0x82);
    r += static_cast<char>(0x4F + (*p - '0'));
  }
  return r;
}

std::string KanjiOf(int64_t value) {
  char buf[64];
  IntToKanjiNumeral(buf, static_cast<int32_t>(value));
  return buf;
}

using ValueWriter = std::string (*)(int64_t);

// The full-width copy of the text with every readable numeral run rewritten.
std::string RewriteRuns(const char* text, ValueWriter write) {
  const std::string full = FullWidthCopy(text);
  std::string out, run;
  auto flush = [&] {
    if (run.empty()) return;
    const int64_t v = ReadNumeral(run);
    out += v >= 0 ? write(v) : run;
    run.clear();
  };
  for (std::size_t i = 0; i < full.size();) {
    const int cl = CharLen(full.c_str() + i);
    if (KanjiDigitValue(full.c_str() + i) >= 0) {
      run.append(full, i, static_cast<std::size_t>(cl));
    } else {
      flush();
      out.append(full, i, static_cast<std::size_t>(cl));
    }
    i += static_cast<std::size_t>(cl);
  }
  flush();
  return out;
}

// Copies a result into out when it fits (outSize 0: the work area).
char* StoreResult(char* out, const std::string& s, std::size_t outSize) {
  return CopyWholeOrEmpty(out, outSize == 0 ? kWorkLimit : outSize, s);
}

bool IsFullWidthDigit(const char* p) { return IsFullWidthDigitAt(p) != 0; }

// Splits off the trailing numeral run; `uniform` keeps the run to one kind
// (full-width digits or other numerals).
void SplitTrailingRun(const char* text, bool uniform, std::string* head, std::string* run) {
  const std::string s = text;
  const std::vector<std::size_t> starts = CharStarts(s);
  std::size_t cut = s.size();
  int kind = -1;  // 1 full-width digit, 2 other numeral
  for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
    const char* p = s.c_str() + *it;
    if (KanjiDigitValue(p) < 0) break;
    const int k = IsFullWidthDigit(p) ? 1 : 2;
    if (uniform && kind >= 0 && k != kind) break;
    kind = k;
    cut = *it;
  }
  *head = s.substr(0, cut);
  *run = s.substr(cut);
}

char* TrailingRewrite(const char* text, char* out, std::size_t outSize, bool uniform,
                      ValueWriter write) {
  if (!out) return out;
  if (!text) return StoreResult(out, std::string(), outSize);
  std::string head, run;
  SplitTrailingRun(text, uniform, &head, &run);
  if (!run.empty()) run = RewriteRuns(run.c_str(), write);
  return StoreResult(out, head + run, outSize);
}

// Rewrites a text in place when the result stays within the work area.
char* CommitInPlace(char* text, const std::string& s) {
  if (s.size() < kWorkLimit) std::memcpy(text, s.c_str(), s.size() + 1);
  return text;
}

std::string AsciiDigitsToKanjiString(const char* text) {
  std::string r;
  char one[3];
  for (const char* p = text; *p;) {
    const int cl = CharLen(p);
    if (cl == 1)
      r += AsciiDigitToKanji(one, static_cast<unsigned char>(*p));
    else
      r.append(p, static_cast<std::size_t>(cl));
    p += cl;
  }
  return r;
}

// ---- Number readings ----

const char* const kDigitWords[10] = {"", "ｲﾁ", "ﾆ", "ｻﾝ", "ﾖﾝ", "ｺﾞ", "ﾛｸ", "ﾅﾅ", "ﾊﾁ", "ｷｭｳ"};
const char* const kDecimalWords[10] = {"ｾﾞﾛ", "ｲﾁ", "ﾆｲ", "ｻﾝ", "ﾖﾝ",
                                       "ｺﾞｳ", "ﾛｸ", "ﾅﾅ", "ﾊﾁ", "ｷｭｳ"};
const char* const kGroupWords[6] = {"", "ﾏﾝ", "ｵｸ", "ﾁｮｳ", "ｹｲ", "ｶﾞｲ"};
constexpr int kMaxIntegerDigits = 24;  // groups 0 to 5

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The reading of a text of digits with an optional '.'; false when the
// text is not such a text.
bool ReadingOf(const std::string& text, std::string* reading) {
  if (text.empty()) return false;
  for (char c : text)
    if (!(c == '.' || (c >= '0' && c <= '9'))) return false;
  const std::size_t dot = text.find('.');
  const int L = static_cast<int>(dot == std::string::npos ? text.size() : dot);
  if (L > kMaxIntegerDigits) return false;
  std::string out;
  bool decimal = false;
  for (int i = 0; i < static_cast<int>(text.size()); ++i) {
    const char c = text[static_cast<std::size_t>(i)];
    if (c == '.') {
      out += "ﾃﾝ";
      decimal = true;
      continue;
    }
    const int d = c - '0';
    if (decimal) {
      out += kDecimalWords[d];
      continue;
    }
    const int r = L - i - 1;
    const int m = r % 4, g = r / 4;
    std::string word = kDigitWords[d];
    if (d == 1 && m != 0) word.clear();
    switch (m) {
      case 1:
        if (d != 0) out += word + "ｼﾞｭｳ";
        break;
      case 2:
        if (d == 3)
          out += word + "ﾋﾞｬｸ";
        else if (d == 6)
          out += "ﾛｯﾋﾟｬｸ";
        else if (d == 8)
          out += "ﾊｯﾋﾟｬｸ";
        else if (d != 0)
          out += word + "ﾋｬｸ";
        break;
      case 3:
        if (d != 0) out += word + (d == 3 ? "ｾﾞﾝ" : "ｾﾝ");
        break;
      default: {
        if (g == 3 || g == 4) {
          if (d == 1) word = "ｲｯ";
          if (d == 8) word = "ﾊｯ";
          if (g == 4 && d == 6) word = "ﾛｯ";
          if (d == 0 && EndsWith(out, "ｼﾞｭｳ"))
            out.replace(out.size() - std::strlen("ｼﾞｭｳ"), std::string::npos, "ｼﾞｭｯ");
        }
        out += word;
        // The group word only for a group that is not all zeros.
        bool groupSet = false;
        for (int k = i; k >= 0 && k > i - 4; --k)
          if (text[static_cast<std::size_t>(k)] != '0') groupSet = true;
        if (g >= 1 && groupSet) out += kGroupWords[g];
        break;
      }
    }
  }
  *reading = out;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------

int KanjiDigitValue(const char* p) {
  if (!p || CharLen(p) != 2) return -1;
  const auto lead = static_cast<unsigned char>(p[0]);
  const int slot = kNumeralsByLead.slot[lead];
  if (slot < 0) return -1;
  return kNumeralsByLead.values[slot][static_cast<unsigned char>(p[1])];
}

std::span<const uint16_t> KanjiNumeralCodes() { return {kNumeralCodes.codes, kNumeralCodes.count}; }

int32_t KanjiNumeralToInt(const char* text) {
  if (!text) return -1;
  return static_cast<int32_t>(ReadNumeral(FullWidthCopy(text)));
}

char* KanjiNumeralsToDigits(const char* text, char* out) {
  return KanjiNumeralsToDigits(text, out, 0);
}
char* KanjiNumeralsToDigits(const char* text, char* out, std::size_t outSize) {
  if (!out) return out;
  return StoreResult(out, text ? RewriteRuns(text, FullWidthDigits) : std::string(), outSize);
}

char* KanjiNumeralsToKanji(const char* text, char* out) {
  return KanjiNumeralsToKanji(text, out, 0);
}
char* KanjiNumeralsToKanji(const char* text, char* out, std::size_t outSize) {
  if (!out) return out;
  return StoreResult(out, text ? RewriteRuns(text, KanjiOf) : std::string(), outSize);
}

char* TrailingNumeralToDigits(const char* text, char* out) {
  return TrailingNumeralToDigits(text, out, 0);
}
char* TrailingNumeralToDigits(const char* text, char* out, std::size_t outSize) {
  return TrailingRewrite(text, out, outSize, true, FullWidthDigits);
}

char* TrailingNumeralToKanji(const char* text, char* out) {
  return TrailingNumeralToKanji(text, out, 0);
}
char* TrailingNumeralToKanji(const char* text, char* out, std::size_t outSize) {
  return TrailingRewrite(text, out, outSize, false, KanjiOf);
}

char* IntToKanjiNumeral(char* out, int32_t value) {
  if (!out) return out;
  static const char* const kDigits[10] = {"〇", "一", "二", "三", "四",
                                          "五", "六", "七", "八", "九"};
  static const char* const kUnits[3] = {"十", "百", "千"};
  static const char* const kGroups[4] = {"", "万", "億", "兆"};
  int64_t n = value;
  std::string sign;
  if (n < 0) {
    sign = "－";
    n = -n;
  }
  if (n == 0) {
    std::strcpy(out, "〇");
    return out;
  }
  std::string r;
  for (int g = 0; n > 0 && g < 4; ++g, n /= 10000) {
    const int group = static_cast<int>(n % 10000);
    if (group == 0) continue;
    std::string t;
    const int digits[4] = {group / 1000, group / 100 % 10, group / 10 % 10, group % 10};
    for (int k = 0; k < 3; ++k) {
      if (digits[k] == 0) continue;
      if (digits[k] != 1) t += kDigits[digits[k]];
      t += kUnits[2 - k];
    }
    if (digits[3] != 0) t += kDigits[digits[3]];
    r = t + kGroups[g] + r;
  }
  r = sign + r;
  std::memcpy(out, r.c_str(), r.size() + 1);
  return out;
}

char* DigitToKanji(char* out, int32_t digit) {
  if (!out) return out;
  static const char* const kDigits[10] = {"〇", "一", "二", "三", "四",
                                          "五", "六", "七", "八", "九"};
  std::strcpy(out, digit >= 0 && digit <= 9 ? kDigits[digit] : "");
  return out;
}

int KanjiDigitToFullWidthDigitAt(char* p) {
  if (!p || CharLen(p) != 2) return 0;
  for (const auto& row : DigitKanjiTable) {
    if (SameChar(p, row[1])) {
      p[0] = row[0][0];
      p[1] = row[0][1];
      return 1;
    }
  }
  return 0;
}

int FullWidthDigitToKanjiDigitAt(char* p) {
  if (!p || CharLen(p) != 2) return 0;
  for (const auto& row : DigitKanjiTable) {
    if (SameChar(p, row[0])) {
      p[0] = row[1][0];
      p[1] = row[1][1];
      return 1;
    }
  }
  return 0;
}

char* AsciiDigitToKanji(char* out, unsigned char b) {
  if (!out) return out;
  static const char* const kDigits[10] = {"○",  "一", "二", "三", "四",
                                          "五", "六", "七", "八", "九"};
  if (b >= '0' && b <= '9')
    std::strcpy(out, kDigits[b - '0']);
  else if (b == '.')
    std::strcpy(out, "、");
  else {
    out[0] = static_cast<char>(b);
    out[1] = '\0';
  }
  return out;
}

char* AsciiDigitsToKanji(char* text) {
  if (!text) return text;
  return CommitInPlace(text, AsciiDigitsToKanjiString(text));
}

char* KanjiDigitToAscii(char* out, const char* p) {
  if (!out) return out;
  out[0] = '\0';
  if (!p) return out;
  static const char* const kFrom[12] = {"一", "二", "三", "四", "五", "六",
                                        "七", "八", "九", "〇", "、", "・"};
  static const char kTo[12] = {'1', '2', '3', '4', '5', '6', '7', '8', '9', '0', '.', '.'};
  const int cl = CharLen(p);
  if (cl == 2) {
    for (int i = 0; i < 12; ++i) {
      if (SameChar(p, kFrom[i])) {
        out[0] = kTo[i];
        out[1] = '\0';
        return out;
      }
    }
  }
  std::memcpy(out, p, static_cast<std::size_t>(cl));
  out[cl] = '\0';
  return out;
}

char* KanjiDigitsToAscii(char* text) {
  if (!text) return text;
  std::string r;
  char one[3];
  for (const char* p = text; *p; p += CharLen(p)) r += KanjiDigitToAscii(one, p);
  return CommitInPlace(text, r);
}

char* IntToKanjiDigits(int32_t value, char* out) {
  if (!out) return out;
  char buf[16];
  FormatDecimal(buf, sizeof buf, static_cast<long>(value));
  return StoreResult(out, AsciiDigitsToKanjiString(buf), 0);
}

char* DoubleToKanjiDigits(double value, int width, int precision, char* out) {
  if (!out) return out;
  char buf[kSjisWorkArea];
  FormatDouble(buf, value, width, precision);
  return StoreResult(out, AsciiDigitsToKanjiString(TrimmedBlanks(buf).c_str()), 0);
}

char* NumberReading(char* text) {
  if (!text) return text;
  std::string reading;
  if (!ReadingOf(text, &reading)) return text;
  return CommitInPlace(text, reading);
}

char* NumberReadingsInText(char* text) {
  if (!text) return text;
  std::string s = text;
  // Runs are replaced one after another, each search starting after the
  // previous replacement, so a run that keeps its digits is passed over.
  for (std::size_t i = 0; i < s.size();) {
    const int cl = CharLen(s.c_str() + i);
    if (cl != 1 || s[i] < '0' || s[i] > '9') {
      i += static_cast<std::size_t>(cl);
      continue;
    }
    std::size_t end = i;
    while (end < s.size() && s[end] >= '0' && s[end] <= '9') ++end;
    std::string reading;
    if (ReadingOf(s.substr(i, end - i), &reading)) {
      s.replace(i, end - i, reading);
      i += reading.size();
    } else {
      i = end;
    }
  }
  return CommitInPlace(text, s);
}

int EndsWithUniformNumeralRun(const char* text) {
  if (text == nullptr) return 0;
  return EndsWithUniformNumeralRun(text, std::strlen(text));
}

int EndsWithUniformNumeralRun(const char* text, std::size_t length) {
  if (text == nullptr || length < 2) return 0;
  // The last character is a numeral only if the last two bytes are one
  // (numerals are double-byte): most texts are settled without a walk.
  if (KanjiDigitValue(text + length - 2) < 0) return 0;
  // Walking forward: the kind of the numeral run that ends at the current
  // character (0 none, 1 full-width digits, 2 other numerals) and whether
  // that run mixes the kinds.
  int kind = 0;
  bool mixed = false;
  for (std::size_t i = 0; i < length && text[i] != '\0';) {
    const char* p = text + i;
    int cl = CharLen(p);
    if (cl == 2 && i + 1 >= length) cl = 1;  // cut from its trail byte
    const int value = cl == 2 ? KanjiDigitValue(p) : -1;
    if (value < 0) {
      kind = 0;
      mixed = false;
    } else {
      const int k = IsFullWidthDigitAt(p) ? 1 : 2;
      if (kind != 0 && k != kind) mixed = true;
      kind = k;
    }
    i += static_cast<std::size_t>(cl);
  }
  return kind != 0 && !mixed ? 1 : 0;
}
