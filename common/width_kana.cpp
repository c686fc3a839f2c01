#include "common/width_kana.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "common/sjis_internal.h"
#include "common/sjis_text.h"

using sjis_internal::CharLen;

// ---------------------------------------------------------------------------
// Tables

// The full-width forms are the code page's own: "－" is 0x817C, "￥" 0x818F,
// "￣" 0x8150, "”" 0x8168 and "’" 0x8166.
const char* const AsciiWidthTable[95][2] = {
    {" ", "　"}, {"+", "＋"}, {"-", "－"}, {"*", "＊"}, {"/", "／"},  {"=", "＝"}, {">", "＞"},
    {"<", "＜"}, {"&", "＆"}, {"|", "｜"}, {"!", "！"}, {"\"", "”"},  {"#", "＃"}, {"$", "＄"},
    {"%", "％"}, {"(", "（"}, {")", "）"}, {"^", "＾"}, {"\\", "￥"}, {"?", "？"}, {",", "，"},
    {"､", "、"}, {".", "．"}, {"'", "’"},  {":", "："}, {";", "；"},  {"@", "＠"}, {"[", "［"},
    {"]", "］"}, {"_", "＿"}, {"{", "｛"}, {"}", "｝"}, {"~", "￣"},  {"0", "０"}, {"1", "１"},
    {"2", "２"}, {"3", "３"}, {"4", "４"}, {"5", "５"}, {"6", "６"},  {"7", "７"}, {"8", "８"},
    {"9", "９"}, {"A", "Ａ"}, {"B", "Ｂ"}, {"C", "Ｃ"}, {"D", "Ｄ"},  {"E", "Ｅ"}, {"F", "Ｆ"},
    {"G", "Ｇ"}, {"H", "Ｈ"}, {"I", "Ｉ"}, {"J", "Ｊ"}, {"K", "Ｋ"},  {"L", "Ｌ"}, {"M", "Ｍ"},
    {"N", "Ｎ"}, {"O", "Ｏ"}, {"P", "Ｐ"}, {"Q", "Ｑ"}, {"R", "Ｒ"},  {"S", "Ｓ"}, {"T", "Ｔ"},
    {"U", "Ｕ"}, {"V", "Ｖ"}, {"W", "Ｗ"}, {"X", "Ｘ"}, {"Y", "Ｙ"},  {"Z", "Ｚ"}, {"a", "ａ"},
    {"b", "ｂ"}, {"c", "ｃ"}, {"d", "ｄ"}, {"e", "ｅ"}, {"f", "ｆ"},  {"g", "ｇ"}, {"h", "ｈ"},
    {"i", "ｉ"}, {"j", "ｊ"}, {"k", "ｋ"}, {"l", "ｌ"}, {"m", "ｍ"},  {"n", "ｎ"}, {"o", "ｏ"},
    {"p", "ｐ"}, {"q", "ｑ"}, {"r", "ｒ"}, {"s", "ｓ"}, {"t", "ｔ"},  {"u", "ｕ"}, {"v", "ｖ"},
    {"w", "ｗ"}, {"x", "ｘ"}, {"y", "ｙ"}, {"z", "ｚ"},
};

// Two-byte half-width forms come before the one-byte forms they begin with.
const char* const KanaWidthTable[83][2] = {
    {"ｶﾞ", "ガ"}, {"ｷﾞ", "ギ"}, {"ｸﾞ", "グ"}, {"ｹﾞ", "ゲ"}, {"ｺﾞ", "ゴ"}, {"ｻﾞ", "ザ"},
    {"ｼﾞ", "ジ"}, {"ｽﾞ", "ズ"}, {"ｾﾞ", "ゼ"}, {"ｿﾞ", "ゾ"}, {"ﾀﾞ", "ダ"}, {"ﾁﾞ", "ヂ"},
    {"ﾂﾞ", "ヅ"}, {"ﾃﾞ", "デ"}, {"ﾄﾞ", "ド"}, {"ﾊﾞ", "バ"}, {"ﾋﾞ", "ビ"}, {"ﾌﾞ", "ブ"},
    {"ﾍﾞ", "ベ"}, {"ﾎﾞ", "ボ"}, {"ﾊﾟ", "パ"}, {"ﾋﾟ", "ピ"}, {"ﾌﾟ", "プ"}, {"ﾍﾟ", "ペ"},
    {"ﾎﾟ", "ポ"}, {"ｳﾞ", "ヴ"}, {"ｧ", "ァ"},  {"ｱ", "ア"},  {"ｨ", "ィ"},  {"ｲ", "イ"},
    {"ｩ", "ゥ"},  {"ｳ", "ウ"},  {"ｪ", "ェ"},  {"ｴ", "エ"},  {"ｫ", "ォ"},  {"ｵ", "オ"},
    {"ｶ", "カ"},  {"ｷ", "キ"},  {"ｸ", "ク"},  {"ｹ", "ケ"},  {"ｺ", "コ"},  {"ｻ", "サ"},
    {"ｼ", "シ"},  {"ｽ", "ス"},  {"ｾ", "セ"},  {"ｿ", "ソ"},  {"ﾀ", "タ"},  {"ﾁ", "チ"},
    {"ｯ", "ッ"},  {"ﾂ", "ツ"},  {"ﾃ", "テ"},  {"ﾄ", "ト"},  {"ﾅ", "ナ"},  {"ﾆ", "ニ"},
    {"ﾇ", "ヌ"},  {"ﾈ", "ネ"},  {"ﾉ", "ノ"},  {"ﾊ", "ハ"},  {"ﾋ", "ヒ"},  {"ﾌ", "フ"},
    {"ﾍ", "ヘ"},  {"ﾎ", "ホ"},  {"ﾏ", "マ"},  {"ﾐ", "ミ"},  {"ﾑ", "ム"},  {"ﾒ", "メ"},
    {"ﾓ", "モ"},  {"ｬ", "ャ"},  {"ﾔ", "ヤ"},  {"ｭ", "ュ"},  {"ﾕ", "ユ"},  {"ｮ", "ョ"},
    {"ﾖ", "ヨ"},  {"ﾗ", "ラ"},  {"ﾘ", "リ"},  {"ﾙ", "ル"},  {"ﾚ", "レ"},  {"ﾛ", "ロ"},
    {"ﾜ", "ワ"},  {"ｦ", "ヲ"},  {"ﾝ", "ン"},  {"ｰ", "ー"},  {"-", "－"},
};

const char* const LetterWidthTable[52][2] = {
    {"A", "Ａ"}, {"B", "Ｂ"}, {"C", "Ｃ"}, {"D", "Ｄ"}, {"E", "Ｅ"}, {"F", "Ｆ"}, {"G", "Ｇ"},
    {"H", "Ｈ"}, {"I", "Ｉ"}, {"J", "Ｊ"}, {"K", "Ｋ"}, {"L", "Ｌ"}, {"M", "Ｍ"}, {"N", "Ｎ"},
    {"O", "Ｏ"}, {"P", "Ｐ"}, {"Q", "Ｑ"}, {"R", "Ｒ"}, {"S", "Ｓ"}, {"T", "Ｔ"}, {"U", "Ｕ"},
    {"V", "Ｖ"}, {"W", "Ｗ"}, {"X", "Ｘ"}, {"Y", "Ｙ"}, {"Z", "Ｚ"}, {"a", "ａ"}, {"b", "ｂ"},
    {"c", "ｃ"}, {"d", "ｄ"}, {"e", "ｅ"}, {"f", "ｆ"}, {"g", "ｇ"}, {"h", "ｈ"}, {"i", "ｉ"},
    {"j", "ｊ"}, {"k", "ｋ"}, {"l", "ｌ"}, {"m", "ｍ"}, {"n", "ｎ"}, {"o", "ｏ"}, {"p", "ｐ"},
    {"q", "ｑ"}, {"r", "ｒ"}, {"s", "ｓ"}, {"t", "ｔ"}, {"u", "ｕ"}, {"v", "ｖ"}, {"w", "ｗ"},
    {"x", "ｘ"}, {"y", "ｙ"}, {"z", "ｚ"},
};

const HalfKanaHiraganaRow HalfKanaHiraganaTable[80] = {
    {"ｶﾞ", "が", 1}, {"ｷﾞ", "ぎ", 1}, {"ｸﾞ", "ぐ", 1}, {"ｹﾞ", "げ", 1}, {"ｺﾞ", "ご", 1},
    {"ｻﾞ", "ざ", 1}, {"ｼﾞ", "じ", 1}, {"ｽﾞ", "ず", 1}, {"ｾﾞ", "ぜ", 1}, {"ｿﾞ", "ぞ", 1},
    {"ﾀﾞ", "だ", 1}, {"ﾁﾞ", "ぢ", 1}, {"ﾂﾞ", "づ", 1}, {"ﾃﾞ", "で", 1}, {"ﾄﾞ", "ど", 1},
    {"ﾊﾞ", "ば", 1}, {"ﾊﾟ", "ぱ", 1}, {"ﾋﾞ", "び", 1}, {"ﾋﾟ", "ぴ", 1}, {"ﾌﾞ", "ぶ", 1},
    {"ﾌﾟ", "ぷ", 1}, {"ﾍﾞ", "べ", 1}, {"ﾍﾟ", "ぺ", 1}, {"ﾎﾞ", "ぼ", 1}, {"ﾎﾟ", "ぽ", 1},
    {"ｧ", "ぁ", 1},  {"ｱ", "あ", 1},  {"ｨ", "ぃ", 1},  {"ｲ", "い", 1},  {"ｩ", "ぅ", 1},
    {"ｳ", "う", 1},  {"ｪ", "ぇ", 1},  {"ｴ", "え", 1},  {"ｫ", "ぉ", 1},  {"ｵ", "お", 1},
    {"ｶ", "か", 1},  {"ｷ", "き", 1},  {"ｸ", "く", 1},  {"ｹ", "け", 1},  {"ｺ", "こ", 1},
    {"ｻ", "さ", 1},  {"ｼ", "し", 1},  {"ｽ", "す", 1},  {"ｾ", "せ", 1},  {"ｿ", "そ", 1},
    {"ﾀ", "た", 1},  {"ﾁ", "ち", 1},  {"ｯ", "っ", 1},  {"ﾂ", "つ", 1},  {"ﾃ", "て", 1},
    {"ﾄ", "と", 1},  {"ﾅ", "な", 1},  {"ﾆ", "に", 1},  {"ﾇ", "ぬ", 1},  {"ﾈ", "ね", 1},
    {"ﾉ", "の", 1},  {"ﾊ", "は", 1},  {"ﾋ", "ひ", 1},  {"ﾌ", "ふ", 1},  {"ﾍ", "へ", 1},
    {"ﾎ", "ほ", 1},  {"ﾏ", "ま", 1},  {"ﾐ", "み", 1},  {"ﾑ", "む", 1},  {"ﾒ", "め", 1},
    {"ﾓ", "も", 1},  {"ｬ", "ゃ", 1},  {"ﾔ", "や", 1},  {"ｭ", "ゅ", 1},  {"ﾕ", "ゆ", 1},
    {"ｮ", "ょ", 1},  {"ﾖ", "よ", 1},  {"ﾗ", "ら", 1},  {"ﾘ", "り", 1},  {"ﾙ", "る", 1},
    {"ﾚ", "れ", 1},  {"ﾛ", "ろ", 1},  {"ﾜ", "わ", 1},  {"ｦ", "を", 1},  {"ﾝ", "ん", 1},
};

const HalfKanaHiraganaRow* GetHalfKanaHiraganaTable() { return HalfKanaHiraganaTable; }
int GetHalfKanaHiraganaTableSize() {
  return static_cast<int>(sizeof HalfKanaHiraganaTable / sizeof HalfKanaHiraganaTable[0]);
}

const char* const SmallHalfKanaTable[9][2] = {
    {"ｧ", "ｱ"}, {"ｨ", "ｲ"}, {"ｩ", "ｳ"}, {"ｪ", "ｴ"}, {"ｫ", "ｵ"},
    {"ｯ", "ﾂ"}, {"ｬ", "ﾔ"}, {"ｭ", "ﾕ"}, {"ｮ", "ﾖ"},
};

// Half-width kana bytes: ｦ A6, ｧ-ｫ A7-AB, ｬｭｮ AC-AE, ｯ AF, ｱ-ｵ B1-B5, ｶ B6 ...
// ﾝ DD; ﾞ DE and ﾟ DF mark the voiced and semi-voiced katakana.
const unsigned char KatakanaOrderTable[84] = {
    0xA7, 0xB1, 0xA8, 0xB2, 0xA9, 0xB3, 0xAA, 0xB4,  // 8340 ァアィイゥウェエ
    0xAB, 0xB5, 0xB6, 0xDE, 0xB7, 0xDE, 0xB8, 0xDE,  // 8348 ォオカガキギクグ
    0xB9, 0xDE, 0xBA, 0xDE, 0xBB, 0xDE, 0xBC, 0xDE,  // 8350 ケゲコゴサザシジ
    0xBD, 0xDE, 0xBE, 0xDE, 0xBF, 0xDE, 0xC0, 0xDE,  // 8358 スズセゼソゾタダ
    0xC1, 0xDE, 0xAF, 0xC2, 0xDE, 0xC3, 0xDE, 0xC4,  // 8360 チヂッツヅテデト
    0xDE, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xDE,  // 8368 ドナニヌネノハバ
    0xDF, 0xCB, 0xDE, 0xDF, 0xCC, 0xDE, 0xDF, 0xCD,  // 8370 パヒビピフブプヘ
    0xDE, 0xDF, 0xCE, 0xDE, 0xDF, 0xCF, 0xD0, 0x20,  // 8378 ベペホボポマミ(none)
    0xD1, 0xD2, 0xD3, 0xAC, 0xD4, 0xAD, 0xD5, 0xAE,  // 8380 ムメモャヤュユョ
    0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xDB, 0x20, 0xDC,  // 8388 ヨラリルレロヮワ
    0x20, 0x20, 0xA6, 0xDD,                          // 8390 ヰヱヲン
};

namespace {

constexpr unsigned char kVoicedMark = 0xDE;        // ﾞ
constexpr unsigned char kSemiVoicedMark = 0xDF;    // ﾟ
constexpr uint16_t kFirstKatakana = 0x8340;        // ァ
constexpr uint16_t kLastKatakanaInTable = 0x8393;  // ン

// Full-width forms of the single-byte signs, by byte range.
constexpr char kSymbols20[] = "　！”＃＄％＆’（）＊＋，－．／";  // 0x20-0x2F
constexpr char kSymbols3A[] = "：；＜＝＞？＠";                  // 0x3A-0x40
constexpr char kSymbols5B[] = "［￥］＾＿‘";                     // 0x5B-0x60
constexpr char kSymbols7B[] = "｛｜｝～";                        // 0x7B-0x7E
constexpr char kSymbolsA1[] = "。「」、";                        // 0xA1-0xA4
static_assert(sizeof kSymbols20 == 2 * 16 + 1 && sizeof kSymbols3A == 2 * 7 + 1 &&
                  sizeof kSymbols5B == 2 * 6 + 1 && sizeof kSymbols7B == 2 * 4 + 1 &&
                  sizeof kSymbolsA1 == 2 * 4 + 1,
              "every sign has a two-byte full-width form");

struct SymbolRange {
  unsigned char first;
  unsigned char last;
  const char* forms;
};
constexpr SymbolRange kSymbolRanges[] = {
    {0x20, 0x2F, kSymbols20}, {0x3A, 0x40, kSymbols3A}, {0x5B, 0x60, kSymbols5B},
    {0x7B, 0x7E, kSymbols7B}, {0xA1, 0xA4, kSymbolsA1},
};
constexpr uint16_t kLongVowelFull = 0x815B;       // ー
constexpr uint16_t kVoicedMarkFull = 0x814A;      // ゛
constexpr uint16_t kSemiVoicedMarkFull = 0x814B;  // ゜

inline uint16_t CodeAt(const char* forms, int index) {
  return static_cast<uint16_t>((static_cast<unsigned char>(forms[2 * index]) << 8) |
                               static_cast<unsigned char>(forms[2 * index + 1]));
}

inline bool IsSingleByteCode(uint16_t code) { return (code & 0xFF) == 0; }

// ---- Table conversions ----

enum class Direction { kHalfToFull, kFullToHalf };

// Whether a text ends in a lead byte without its trail byte.
bool HasLoneLead(const char* text) {
  for (const char* p = text; *p;) {
    const int length = CharLen(p);
    if (length == 1 && IsLeadByte(static_cast<unsigned char>(*p))) return true;
    p += length;
  }
  return false;
}

// The code of the character at p: its byte, or lead byte and trail byte.
uint16_t CharCodeAt(const char* p, int length) {
  const auto lead = static_cast<unsigned char>(p[0]);
  return length == 2 ? static_cast<uint16_t>(lead << 8 | static_cast<unsigned char>(p[1])) : lead;
}

// A table whose rows, in one direction, each search one whole character
// and replace it by a text holding no searched character, the texts all
// growing or all shrinking: then its passes (one replace-all per row, in
// order) come to one walk over the text with each character replaced by
// the first row that searches it, and the passes refuse the result exactly
// when a character is replaced and the text is, at the start or the end,
// at the limit or over it.
class TableWalk {
 public:
  TableWalk(const char* const table[][2], int rows, Direction dir) {
    const int from = dir == Direction::kHalfToFull ? 0 : 1;
    bool grows = false;
    bool shrinks = false;
    for (int i = 0; i < rows; ++i) {
      const char* search = table[i][from];
      const char* replacement = table[i][1 - from];
      const int length = search[0] == '\0' ? 0 : CharLen(search);
      if (length == 0 || search[length] != '\0' || HasLoneLead(search)) return;
      if (std::strcmp(search, replacement) == 0) continue;  // the pass changes nothing
      if (HasLoneLead(replacement)) return;
      const uint16_t code = CharCodeAt(search, length);
      if (!replacements_.count(code)) replacements_.emplace(code, replacement);
      const std::size_t replacementLength = std::strlen(replacement);
      grows = grows || replacementLength > static_cast<std::size_t>(length);
      shrinks = shrinks || replacementLength < static_cast<std::size_t>(length);
    }
    if (grows && shrinks) return;
    for (int i = 0; i < rows; ++i) {
      for (const char* p = table[i][1 - from]; *p;) {
        const int length = CharLen(p);
        if (replacements_.count(CharCodeAt(p, length))) return;
        p += length;
      }
    }
    usable_ = true;
  }
  bool Usable() const { return usable_; }
  // The passes of the table on work; false when they refuse the result.
  bool Apply(std::string& work, std::size_t limit) const {
    std::string out;
    out.reserve(work.size() * 2);
    bool replaced = false;
    for (const char* p = work.c_str(); *p;) {
      const int length = CharLen(p);
      const auto it = replacements_.find(CharCodeAt(p, length));
      if (it != replacements_.end()) {
        out += it->second;
        replaced = true;
      } else {
        out.append(p, static_cast<std::size_t>(length));
      }
      p += length;
    }
    if (!replaced) return true;
    if (work.size() >= limit || out.size() >= limit) return false;
    work.swap(out);
    return true;
  }

 private:
  bool usable_ = false;
  std::unordered_map<uint16_t, const char*> replacements_;
};

// The walk of a table in one direction, made once.
const TableWalk& WalkOf(const char* const table[][2], int rows, Direction dir) {
  static std::mutex mutex;
  static auto* walks = new std::map<std::pair<const void*, Direction>, std::unique_ptr<TableWalk>>;
  std::lock_guard<std::mutex> lock(mutex);
  auto& walk = (*walks)[{table, dir}];
  if (!walk) walk = std::make_unique<TableWalk>(table, rows, dir);
  return *walk;
}

bool ApplyTable(std::string& work, const char* const table[][2], int rows, Direction dir) {
  if (const TableWalk& walk = WalkOf(table, rows, dir); walk.Usable())
    return walk.Apply(work, kReplaceWorkArea);
  const int from = dir == Direction::kHalfToFull ? 0 : 1;
  for (int i = 0; i < rows; ++i) {
    if (!sjis_internal::ReplaceAllIn(work, table[i][from], table[i][1 - from], kReplaceWorkArea))
      return false;
  }
  return true;
}

struct TableRef {
  const char* const (*rows)[2];
  int count;
};

char* ConvertByTables(char* text, std::size_t textSize, Direction dir, TableRef first,
                      TableRef second = {nullptr, 0}) {
  if (!text) return text;
  const int cls = GetCharWidthClass(text);
  if (cls == 0) return text;
  if (dir == Direction::kHalfToFull && cls == 2) return text;
  if (dir == Direction::kFullToHalf && cls == 1) return text;
  std::string work = text;
  if (!ApplyTable(work, first.rows, first.count, dir)) return text;
  if (second.rows && !ApplyTable(work, second.rows, second.count, dir)) return text;
  sjis_internal::CommitResult(text, work, textSize, kReplaceWorkArea);
  return text;
}

constexpr TableRef kAscii{AsciiWidthTable, 95};
constexpr TableRef kKana{KanaWidthTable, 83};
constexpr TableRef kLetters{LetterWidthTable, 52};

char* ConvertHiraganaTable(char* text, std::size_t textSize, bool toHiragana) {
  if (!text) return text;
  std::string work = text;
  for (const HalfKanaHiraganaRow& row : HalfKanaHiraganaTable) {
    const char* search = toHiragana ? row.halfKana : row.hiragana;
    const char* replacement = toHiragana ? row.hiragana : row.halfKana;
    if (!sjis_internal::ReplaceAllIn(work, search, replacement, kReplaceWorkArea)) return text;
  }
  sjis_internal::CommitResult(text, work, textSize, kReplaceWorkArea);
  return text;
}

// ---- Code rewriting ----

void AppendCode(std::string& out, uint16_t code) {
  const char high = static_cast<char>(code >> 8);
  const char low = static_cast<char>(code & 0xFF);
  if (high) out += high;
  if (low) out += low;
}

// Whether the character read at p (as code) is a double-byte character.
inline bool IsDoubleByteCode(uint16_t code) {
  return !IsSingleByteCode(code) && IsLeadByte(static_cast<unsigned char>(code >> 8));
}

template <typename Fn>
std::string RewriteCodes(const char* text, Fn fn) {
  std::string out;
  out.reserve(2 * std::strlen(text) + 1);
  for (const char* p = text; *p;) {
    uint16_t code = 0;
    p = ReadCharCode(p, &code);
    AppendCode(out, fn(code));
  }
  return out;
}

std::string FullWidthOf(const char* text) {
  return RewriteCodes(text, [](uint16_t c) -> uint16_t {
    if (IsDoubleByteCode(c)) return c;
    return SymbolCodeToFullWidth(
        DigitCodeToFullWidth(LetterCodeToFullWidth(HalfKanaCodeToFullWidth(c))));
  });
}

std::string HalfWidthOf(const char* text) {
  return RewriteCodes(text, [](uint16_t c) -> uint16_t {
    if (!IsDoubleByteCode(c)) return c;
    return FullWidthSymbolCodeToHalf(
        FullWidthDigitCodeToHalf(FullWidthLetterCodeToHalf(FullWidthKatakanaCodeToHalf(c))));
  });
}

unsigned char ToLowerByte(unsigned char b) {
  return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b - 'A' + 'a') : b;
}

std::string UpperLargeOf(const char* text) {
  return RewriteCodes(text, [](uint16_t c) -> uint16_t {
    if (IsDoubleByteCode(c))
      return SmallHiraganaCodeToLarge(SmallKatakanaCodeToLarge(FullWidthLowerToUpperCode(c)));
    if (!IsSingleByteCode(c)) return c;  // kana with its mark
    const unsigned char b =
        SmallHalfKanaToLargeByte(ToUpperCharByte(static_cast<unsigned char>(c >> 8)));
    return static_cast<uint16_t>(b << 8);
  });
}

std::string LowerSmallOf(const char* text) {
  return RewriteCodes(text, [](uint16_t c) -> uint16_t {
    if (IsDoubleByteCode(c))
      return LargeHiraganaCodeToSmall(LargeKatakanaCodeToSmall(FullWidthUpperToLowerCode(c)));
    if (!IsSingleByteCode(c)) return c;  // kana with its mark
    const unsigned char b =
        LargeHalfKanaToSmallByte(ToLowerByte(static_cast<unsigned char>(c >> 8)));
    return static_cast<uint16_t>(b << 8);
  });
}

template <typename AtFn>
void ForEachDoubleByte(char* text, AtFn at) {
  for (char* p = text; *p;) {
    const int l = CharLen(p);
    if (l == 2) at(p);
    p += l;
  }
}

char* Commit(char* text, const std::string& result, std::size_t textSize) {
  sjis_internal::CommitResult(text, result, textSize, kSjisWorkArea);
  return text;
}

}  // namespace

// ---------------------------------------------------------------------------
// Whole-text conversions by table

char* ToFullWidth(char* text) { return ToFullWidthAsciiKana(text, 0); }
char* ToFullWidth(char* text, std::size_t textSize) { return ToFullWidthAsciiKana(text, textSize); }
char* ToFullWidthAsciiKana(char* text) { return ToFullWidthAsciiKana(text, 0); }
char* ToFullWidthAsciiKana(char* text, std::size_t textSize) {
  return ConvertByTables(text, textSize, Direction::kHalfToFull, kAscii, kKana);
}
char* ToHalfWidthAsciiKana(char* text) {
  return ConvertByTables(text, 0, Direction::kFullToHalf, kAscii, kKana);
}
char* ToHalfWidthAscii(char* text) {
  return ConvertByTables(text, 0, Direction::kFullToHalf, kAscii);
}
char* ToFullWidthKana(char* text) { return ToFullWidthKana(text, 0); }
char* ToFullWidthKana(char* text, std::size_t textSize) {
  return ConvertByTables(text, textSize, Direction::kHalfToFull, kKana);
}
char* ToHalfWidthKana(char* text) {
  return ConvertByTables(text, 0, Direction::kFullToHalf, kKana);
}
char* ToFullWidthLetters(char* text) { return ToFullWidthLetters(text, 0); }
char* ToFullWidthLetters(char* text, std::size_t textSize) {
  return ConvertByTables(text, textSize, Direction::kHalfToFull, kLetters);
}
char* ToHalfWidthLetters(char* text) {
  return ConvertByTables(text, 0, Direction::kFullToHalf, kLetters);
}
char* HalfKanaToHiragana(char* text) { return ConvertHiraganaTable(text, 0, true); }
char* HalfKanaToHiragana(char* text, std::size_t textSize) {
  return ConvertHiraganaTable(text, textSize, true);
}
char* HiraganaToHalfKana(char* text) { return ConvertHiraganaTable(text, 0, false); }

char* SmallHalfKanaToLarge(char* text) {
  if (!text) return text;
  std::string work = text;
  if (ApplyTable(work, SmallHalfKanaTable, 9, Direction::kHalfToFull))
    sjis_internal::CommitResult(text, work, 0, kReplaceWorkArea);
  return text;
}

// ---------------------------------------------------------------------------
// Conversions by code arithmetic

int IsHiraganaAt(const char* p) {
  if (!p) return 0;
  const unsigned char b0 = static_cast<unsigned char>(p[0]);
  if (b0 != 0x82) return 0;
  const unsigned char b1 = static_cast<unsigned char>(p[1]);
  return (b1 >= 0x9F && b1 <= 0xF1) ? 1 : 0;
}

int IsKatakanaAt(const char* p) {
  if (!p) return 0;
  const unsigned char b0 = static_cast<unsigned char>(p[0]);
  if (b0 != 0x83) return 0;
  const unsigned char b1 = static_cast<unsigned char>(p[1]);
  return (b1 >= 0x40 && b1 <= 0x96) ? 1 : 0;
}

char* KatakanaToHiraganaAt(char* p) {
  if (!p || static_cast<unsigned char>(p[0]) != 0x83) return p;
  const unsigned char b1 = static_cast<unsigned char>(p[1]);
  if (b1 >= 0x40 && b1 <= 0x7E) {
    p[0] = static_cast<char>(0x82);
    p[1] = static_cast<char>(b1 + 0x5F);
  } else if (b1 >= 0x80 && b1 <= 0x93) {
    p[0] = static_cast<char>(0x82);
    p[1] = static_cast<char>(b1 + 0x5E);
  }
  return p;
}

char* HiraganaToKatakanaAt(char* p) {
  if (!p || static_cast<unsigned char>(p[0]) != 0x82) return p;
  const unsigned char b1 = static_cast<unsigned char>(p[1]);
  if (b1 >= 0x9F && b1 <= 0xDD) {
    p[0] = static_cast<char>(0x83);
    p[1] = static_cast<char>(b1 - 0x5F);
  } else if (b1 >= 0xDE && b1 <= 0xF1) {
    p[0] = static_cast<char>(0x83);
    p[1] = static_cast<char>(b1 - 0x5E);
  }
  return p;
}

char* KatakanaToHiragana(char* text) {
  if (text) ForEachDoubleByte(text, [](char* p) { KatakanaToHiraganaAt(p); });
  return text;
}

char* HiraganaToKatakana(char* text) {
  if (text) ForEachDoubleByte(text, [](char* p) { HiraganaToKatakanaAt(p); });
  return text;
}

int IsHiraganaCode(uint16_t code) { return (code >= 0x829F && code <= 0x82F1) ? 1 : 0; }

namespace {

// Small kana codes; the large form is the next code.
constexpr uint16_t kSmallHiragana[] = {0x829F, 0x82A1, 0x82A3, 0x82A5, 0x82A7,
                                       0x82C1, 0x82E1, 0x82E3, 0x82E5, 0x82EC};
constexpr uint16_t kSmallKatakana[] = {0x8340, 0x8342, 0x8344, 0x8346, 0x8348,
                                       0x8362, 0x8383, 0x8385, 0x8387, 0x838E};
constexpr uint16_t kSmallKa = 0x8395, kLargeKa = 0x834A;  // ヵ カ
constexpr uint16_t kSmallKe = 0x8396, kLargeKe = 0x8350;  // ヶ ケ

template <std::size_t N>
bool Contains(const uint16_t (&set)[N], uint16_t code) {
  for (uint16_t c : set)
    if (c == code) return true;
  return false;
}

}  // namespace

uint16_t SmallHiraganaCodeToLarge(uint16_t code) {
  return Contains(kSmallHiragana, code) ? static_cast<uint16_t>(code + 1) : code;
}

uint16_t LargeHiraganaCodeToSmall(uint16_t code) {
  return Contains(kSmallHiragana, static_cast<uint16_t>(code - 1)) ? static_cast<uint16_t>(code - 1)
                                                                   : code;
}

uint16_t SmallKatakanaCodeToLarge(uint16_t code) {
  if (code == kSmallKa) return kLargeKa;
  if (code == kSmallKe) return kLargeKe;
  return Contains(kSmallKatakana, code) ? static_cast<uint16_t>(code + 1) : code;
}

uint16_t LargeKatakanaCodeToSmall(uint16_t code) {
  if (code == kLargeKa) return kSmallKa;
  if (code == kLargeKe) return kSmallKe;
  return Contains(kSmallKatakana, static_cast<uint16_t>(code - 1)) ? static_cast<uint16_t>(code - 1)
                                                                   : code;
}

uint16_t KatakanaCodeToHiragana(uint16_t code) {
  if (code >= 0x8340 && code <= 0x837E) return static_cast<uint16_t>(code - 0xA1);
  if (code >= 0x8380 && code <= 0x8393) return static_cast<uint16_t>(code - 0xA2);
  return code;
}

uint16_t HiraganaCodeToKatakana(uint16_t code) {
  if (code >= 0x829F && code <= 0x82DD) return static_cast<uint16_t>(code + 0xA1);
  if (code >= 0x82DE && code <= 0x82F1) return static_cast<uint16_t>(code + 0xA2);
  return code;
}

uint16_t FullWidthLowerToUpperCode(uint16_t code) {
  return (code >= 0x8281 && code <= 0x829A) ? static_cast<uint16_t>(code - 0x21) : code;
}

uint16_t FullWidthUpperToLowerCode(uint16_t code) {
  return (code >= 0x8260 && code <= 0x8279) ? static_cast<uint16_t>(code + 0x21) : code;
}

unsigned char SmallHalfKanaToLargeByte(unsigned char b) {
  if (b >= 0xA7 && b <= 0xAB) return static_cast<unsigned char>(b + 10);
  if (b >= 0xAC && b <= 0xAE) return static_cast<unsigned char>(b + 40);
  if (b == 0xAF) return 0xC2;
  return b;
}

unsigned char LargeHalfKanaToSmallByte(unsigned char b) {
  if (b >= 0xB1 && b <= 0xB5) return static_cast<unsigned char>(b - 10);
  if (b >= 0xD4 && b <= 0xD6) return static_cast<unsigned char>(b - 40);
  if (b == 0xC2) return 0xAF;
  return b;
}

uint16_t SmallHalfKanaCodeToLarge(uint16_t code) {
  if (!IsSingleByteCode(code)) return code;
  return static_cast<uint16_t>(SmallHalfKanaToLargeByte(static_cast<unsigned char>(code >> 8))
                               << 8);
}

uint16_t LargeHalfKanaCodeToSmall(uint16_t code) {
  if (!IsSingleByteCode(code)) return code;
  return static_cast<uint16_t>(LargeHalfKanaToSmallByte(static_cast<unsigned char>(code >> 8))
                               << 8);
}

// ---------------------------------------------------------------------------
// Character-code helpers

uint16_t MakeCharCode(unsigned char first, unsigned char second) {
  if (IsLeadByte(first) && second != 0) return static_cast<uint16_t>((first << 8) | second);
  const bool voiceable = (first >= 0xB6 && first <= 0xC4) || (first >= 0xCA && first <= 0xCE);
  const bool semiVoiceable = first >= 0xCA && first <= 0xCE;
  if ((second == kVoicedMark && voiceable) || (second == kSemiVoicedMark && semiVoiceable))
    return static_cast<uint16_t>((first << 8) | second);
  return static_cast<uint16_t>(first << 8);
}

uint16_t GetCharCode(const char* p) {
  if (!p || *p == '\0') return 0;
  return MakeCharCode(static_cast<unsigned char>(p[0]), static_cast<unsigned char>(p[1]));
}

const char* ReadCharCode(const char* p, uint16_t* code) {
  const uint16_t c = GetCharCode(p);
  if (code) *code = c;
  if (c == 0) return p;
  return p + (IsSingleByteCode(c) ? 1 : 2);
}

char* ReadCharCode(char* p, uint16_t* code) {
  return const_cast<char*>(ReadCharCode(static_cast<const char*>(p), code));
}

char* CharCodeToString(uint16_t code, char* out) {
  if (!out) return out;
  out[0] = static_cast<char>(code >> 8);
  if (code & 0xFF) {
    out[1] = static_cast<char>(code & 0xFF);
    out[2] = '\0';
  } else {
    out[1] = '\0';
  }
  return out;
}

char* CharCodeToStringChecked(uint16_t code, char* out) {
  if (!out) return nullptr;
  return CharCodeToString(code, out);
}

char* ByteToString(unsigned char b, char* out) {
  if (!out) return out;
  out[0] = static_cast<char>(b);
  out[1] = '\0';
  return out;
}

uint16_t StringToCharCode(const char* text) {
  if (!text || text[0] == '\0' || text[1] == '\0' || text[2] != '\0') return 0;
  return static_cast<uint16_t>((static_cast<unsigned char>(text[0]) << 8) |
                               static_cast<unsigned char>(text[1]));
}

int IsFullWidthDigitCode(uint16_t code) { return (code >= 0x824F && code <= 0x8258) ? 1 : 0; }

int IsFullWidthDigitAt(const char* p) { return IsFullWidthDigitCode(GetCharCode(p)); }

uint16_t HalfKanaCodeToFullWidth(uint16_t code) {
  const unsigned char k = static_cast<unsigned char>(code >> 8);
  const unsigned char m = static_cast<unsigned char>(code & 0xFF);
  if (k < 0xA6 || k > 0xDD) return code;
  if (k == 0xB0) return m == 0 ? kLongVowelFull : code;  // ｰ
  int p = 0;
  while (p < 84 && KatakanaOrderTable[p] != k) ++p;
  if (p == 84) return code;
  if (m == 0) return static_cast<uint16_t>(kFirstKatakana + p);
  if (m == kVoicedMark && p + 1 < 84 && KatakanaOrderTable[p + 1] == kVoicedMark)
    return static_cast<uint16_t>(kFirstKatakana + p + 1);
  if (m == kSemiVoicedMark && p + 2 < 84 && KatakanaOrderTable[p + 2] == kSemiVoicedMark)
    return static_cast<uint16_t>(kFirstKatakana + p + 2);
  return code;
}

uint16_t LetterCodeToFullWidth(uint16_t code) {
  if (!IsSingleByteCode(code)) return code;
  const unsigned char b = static_cast<unsigned char>(code >> 8);
  if (b >= 'A' && b <= 'Z') return static_cast<uint16_t>(0x8260 + (b - 'A'));
  if (b >= 'a' && b <= 'z') return static_cast<uint16_t>(0x8281 + (b - 'a'));
  return code;
}

uint16_t DigitCodeToFullWidth(uint16_t code) {
  if (!IsSingleByteCode(code)) return code;
  const unsigned char b = static_cast<unsigned char>(code >> 8);
  if (b >= '0' && b <= '9') return static_cast<uint16_t>(0x824F + (b - '0'));
  return code;
}

uint16_t SymbolCodeToFullWidth(uint16_t code) {
  if (!IsSingleByteCode(code)) return code;
  const unsigned char b = static_cast<unsigned char>(code >> 8);
  for (const SymbolRange& r : kSymbolRanges) {
    if (b >= r.first && b <= r.last) return CodeAt(r.forms, b - r.first);
  }
  if (b == 0xB0) return kLongVowelFull;
  if (b == kVoicedMark) return kVoicedMarkFull;
  if (b == kSemiVoicedMark) return kSemiVoicedMarkFull;
  return code;
}

uint16_t FullWidthKatakanaCodeToHalf(uint16_t code) {
  if (code == kLongVowelFull) return 0xB000;                               // ｰ
  if (code == 0x8394) return static_cast<uint16_t>(0xB300 | kVoicedMark);  // ヴ to ｳﾞ
  if (code < kFirstKatakana || code > kLastKatakanaInTable || code == 0x837F) return code;
  const int i = code - kFirstKatakana;
  const unsigned char e = KatakanaOrderTable[i];
  if (e == ' ') return code;
  if (e == kVoicedMark)
    return static_cast<uint16_t>((KatakanaOrderTable[i - 1] << 8) | kVoicedMark);
  if (e == kSemiVoicedMark)
    return static_cast<uint16_t>((KatakanaOrderTable[i - 2] << 8) | kSemiVoicedMark);
  return static_cast<uint16_t>(e << 8);
}

uint16_t FullWidthLetterCodeToHalf(uint16_t code) {
  if (code >= 0x8260 && code <= 0x8279) return static_cast<uint16_t>(('A' + (code - 0x8260)) << 8);
  if (code >= 0x8281 && code <= 0x829A) return static_cast<uint16_t>(('a' + (code - 0x8281)) << 8);
  return code;
}

uint16_t FullWidthDigitCodeToHalf(uint16_t code) {
  if (code >= 0x824F && code <= 0x8258) return static_cast<uint16_t>(('0' + (code - 0x824F)) << 8);
  return code;
}

uint16_t FullWidthSymbolCodeToHalf(uint16_t code) {
  if (IsSingleByteCode(code)) return code;
  for (const SymbolRange& r : kSymbolRanges) {
    for (int b = r.first; b <= r.last; ++b) {
      if (CodeAt(r.forms, b - r.first) == code) return static_cast<uint16_t>(b << 8);
    }
  }
  return code;
}

// ---------------------------------------------------------------------------
// Text rewriters by code

char* MapCharCodes(char* text, CharCodeMapFn fn) { return MapCharCodes(text, fn, 0); }

char* MapCharCodes(char* text, CharCodeMapFn fn, std::size_t textSize) {
  if (!text || !fn) return text;
  return Commit(text, RewriteCodes(text, fn), textSize);
}

char* SmallHiraganaToLarge(char* text) { return MapCharCodes(text, SmallHiraganaCodeToLarge); }
char* SmallKatakanaToLarge(char* text) { return MapCharCodes(text, SmallKatakanaCodeToLarge); }
char* HalfKanaToFullKatakana(char* text) { return MapCharCodes(text, HalfKanaCodeToFullWidth); }
char* HalfKanaToFullKatakana(char* text, std::size_t textSize) {
  return MapCharCodes(text, HalfKanaCodeToFullWidth, textSize);
}
char* FullWidthSymbolsToHalf(char* text) { return MapCharCodes(text, FullWidthSymbolCodeToHalf); }

char* ConvertToFullWidth(char* text) { return ConvertToFullWidth(text, 0); }
char* ConvertToFullWidth(char* text, std::size_t textSize) {
  if (!text) return text;
  return Commit(text, FullWidthOf(text), textSize);
}

char* ConvertToHalfWidth(char* text) {
  if (!text) return text;
  return Commit(text, HalfWidthOf(text), 0);
}

char* FoldToUpperLarge(char* text) {
  if (!text) return text;
  return Commit(text, UpperLargeOf(text), 0);
}

char* FoldToLowerSmall(char* text) {
  if (!text) return text;
  return Commit(text, LowerSmallOf(text), 0);
}

char* ConvertByFlags(char* text, int flags) { return ConvertByFlags(text, flags, 0); }

char* ConvertByFlags(char* text, int flags, std::size_t textSize) {
  if (!text) return text;
  std::string work = text;
  if (flags & kConvertFullWidth) work = FullWidthOf(work.c_str());
  if (flags & kConvertHalfWidth) work = HalfWidthOf(work.c_str());
  if (flags & kConvertUpperLarge) work = UpperLargeOf(work.c_str());
  if (flags & kConvertLowerSmall) work = LowerSmallOf(work.c_str());
  if (flags & kConvertHiraganaToKatakana)
    ForEachDoubleByte(work.data(), [](char* p) { HiraganaToKatakanaAt(p); });
  if (flags & kConvertKatakanaToHiragana)
    ForEachDoubleByte(work.data(), [](char* p) { KatakanaToHiraganaAt(p); });
  return Commit(text, work, textSize);
}

char* ToUpperFullWidthLetters(char* text) {
  if (!text) return text;
  for (char* p = text; *p;) {
    const int l = CharLen(p);
    if (l == 2) {
      char one[8] = {p[0], p[1], '\0'};
      ToHalfWidthAscii(one);
      ToUpperAscii(one);
      ToFullWidth(one);
      // Every width-table pair maps one character to one character, so the
      // round trip keeps the length; anything else is left as it was.
      if (std::strlen(one) == 2) {
        p[0] = one[0];
        p[1] = one[1];
      }
    }
    p += l;
  }
  return text;
}
