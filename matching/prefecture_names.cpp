#include "matching/prefecture_names.h"

#include <array>
#include <cstring>

#include "common/sjis_text.h"

namespace {

// Index = code - 1.
const char* const kPrefectureNames[kPrefectureCount] = {
    "北海道", "青森県", "岩手県", "宮城県", "秋田県", "山形県",   "福島県", "茨城県",
    "栃木県", "群馬県", "埼玉県", "千葉県", "東京都", "神奈川県", "新潟県", "富山県",
    "石川県", "福井県", "山梨県", "長野県", "岐阜県", "静岡県",   "愛知県", "三重県",
    "滋賀県", "京都府", "大阪府", "兵庫県", "奈良県", "和歌山県", "鳥取県", "島根県",
    "岡山県", "広島県", "山口県", "徳島県", "香川県", "愛媛県",   "高知県", "福岡県",
    "佐賀県", "長崎県", "熊本県", "大分県", "宮崎県", "鹿児島県", "沖縄県",
};

const char* const kPrefectureKana[kPrefectureCount] = {
    "ほっかいどう", "あおもりけん", "いわてけん",   "みやぎけん",   "あきたけん",   "やまがたけん",
    "ふくしまけん", "いばらきけん", "とちぎけん",   "ぐんまけん",   "さいたまけん", "ちばけん",
    "とうきょうと", "かながわけん", "にいがたけん", "とやまけん",   "いしかわけん", "ふくいけん",
    "やまなしけん", "ながのけん",   "ぎふけん",     "しずおかけん", "あいちけん",   "みえけん",
    "しがけん",     "きょうとふ",   "おおさかふ",   "ひょうごけん", "ならけん",     "わかやまけん",
    "とっとりけん", "しまねけん",   "おかやまけん", "ひろしまけん", "やまぐちけん", "とくしまけん",
    "かがわけん",   "えひめけん",   "こうちけん",   "ふくおかけん", "さがけん",     "ながさきけん",
    "くまもとけん", "おおいたけん", "みやざきけん", "かごしまけん", "おきなわけん",
};

struct NameCode {
  const char* name;
  int32_t code;
};

// The 47 texts of a table with their codes, in unsigned byte order.
struct SortedNames {
  NameCode entries[kPrefectureCount];

  explicit SortedNames(const char* const (&table)[kPrefectureCount]) {
    // Insertion sort: 47 entries, sorted once.
    for (int32_t i = 0; i < kPrefectureCount; ++i) {
      NameCode item = {table[i], i + 1};
      int32_t j = i;
      while (j > 0 && CompareStrings(entries[j - 1].name, item.name) > 0) {
        entries[j] = entries[j - 1];
        --j;
      }
      entries[j] = item;
    }
  }

  int32_t Find(const char* text) const {
    if (!text) return 0;
    int32_t lo = 0;
    int32_t hi = kPrefectureCount - 1;
    while (lo <= hi) {
      const int32_t mid = lo + (hi - lo) / 2;
      const int c = CompareStrings(text, entries[mid].name);
      if (c == 0) return entries[mid].code;
      if (c < 0) {
        hi = mid - 1;
      } else {
        lo = mid + 1;
      }
    }
    return 0;
  }
};

const SortedNames& NamesByBytes() {
  static const SortedNames sorted(kPrefectureNames);
  return sorted;
}

const SortedNames& KanaByBytes() {
  static const SortedNames sorted(kPrefectureKana);
  return sorted;
}

char* CopyEntry(const char* const (&table)[kPrefectureCount], int32_t code, char* out) {
  if (!out) return out;
  out[0] = '\0';
  if (code < 1 || code > kPrefectureCount) return out;
  std::memcpy(out, table[code - 1], std::strlen(table[code - 1]) + 1);
  return out;
}

}  // namespace

char* GetPrefectureName(int32_t code, char* out) { return CopyEntry(kPrefectureNames, code, out); }

char* GetPrefectureKana(int32_t code, char* out) { return CopyEntry(kPrefectureKana, code, out); }

namespace {

// The texts of a table with their lengths, measured once.
struct Views {
  explicit Views(const char* const (&table)[kPrefectureCount]) {
    for (int32_t i = 0; i < kPrefectureCount; ++i) view[static_cast<std::size_t>(i)] = table[i];
  }
  std::string_view At(int32_t code) const {
    return code < 1 || code > kPrefectureCount ? std::string_view()
                                               : view[static_cast<std::size_t>(code - 1)];
  }
  std::array<std::string_view, kPrefectureCount> view;
};

}  // namespace

std::string_view PrefectureNameView(int32_t code) {
  static const Views names(kPrefectureNames);
  return names.At(code);
}

std::string_view PrefectureKanaView(int32_t code) {
  static const Views kana(kPrefectureKana);
  return kana.At(code);
}

int32_t FindPrefectureCode(const char* name) { return NamesByBytes().Find(name); }

int32_t FindPrefectureCodeByKana(const char* reading) { return KanaByBytes().Find(reading); }
