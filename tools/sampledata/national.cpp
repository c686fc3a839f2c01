#include "tools/sampledata/national.h"

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/message.h"
#include "plat/cp932.h"
#include "tools/sampledata/generate.h"

namespace sampledata {
namespace {

// ---- Random numbers: the same sequence on every platform ----

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {  // splitmix64
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. n - 1 (n > 0).
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
  bool Percent(int percent) { return Below(100) < percent; }
  // A value within -spread .. +spread.
  int32_t Around(int32_t spread) { return Below(2 * spread + 1) - spread; }

 private:
  uint64_t state_;
};

struct Word {
  const char* name;
  const char* kana;
};

template <std::size_t N>
const Word& Pick(Random& r, const Word (&words)[N]) {
  return words[r.Below(static_cast<int>(N))];
}

// ---- Prefectures: name, reading, seat (degrees), municipalities ----

struct Prefecture {
  const char* name;
  const char* kana;
  double latitude;
  double longitude;
  int municipalities;  // cities, towns and villages (a ward city counts once)
};

constexpr Prefecture kPrefectures[47] = {
    {"北海道", "ほっかいどう", 43.06, 141.35, 179}, {"青森県", "あおもりけん", 40.82, 140.74, 40},
    {"岩手県", "いわてけん", 39.70, 141.15, 33},    {"宮城県", "みやぎけん", 38.27, 140.87, 35},
    {"秋田県", "あきたけん", 39.72, 140.10, 25},    {"山形県", "やまがたけん", 38.24, 140.36, 35},
    {"福島県", "ふくしまけん", 37.75, 140.47, 59},  {"茨城県", "いばらきけん", 36.34, 140.45, 44},
    {"栃木県", "とちぎけん", 36.57, 139.88, 25},    {"群馬県", "ぐんまけん", 36.39, 139.06, 35},
    {"埼玉県", "さいたまけん", 35.86, 139.65, 63},  {"千葉県", "ちばけん", 35.61, 140.12, 54},
    {"東京都", "とうきょうと", 35.69, 139.69, 62},  {"神奈川県", "かながわけん", 35.45, 139.64, 33},
    {"新潟県", "にいがたけん", 37.90, 139.02, 30},  {"富山県", "とやまけん", 36.70, 137.21, 15},
    {"石川県", "いしかわけん", 36.59, 136.63, 19},  {"福井県", "ふくいけん", 36.07, 136.22, 17},
    {"山梨県", "やまなしけん", 35.66, 138.57, 27},  {"長野県", "ながのけん", 36.65, 138.18, 77},
    {"岐阜県", "ぎふけん", 35.39, 136.72, 42},      {"静岡県", "しずおかけん", 34.98, 138.38, 35},
    {"愛知県", "あいちけん", 35.18, 136.91, 54},    {"三重県", "みえけん", 34.73, 136.51, 29},
    {"滋賀県", "しがけん", 35.00, 135.87, 19},      {"京都府", "きょうとふ", 35.02, 135.76, 26},
    {"大阪府", "おおさかふ", 34.69, 135.52, 43},    {"兵庫県", "ひょうごけん", 34.69, 135.18, 41},
    {"奈良県", "ならけん", 34.69, 135.83, 39},      {"和歌山県", "わかやまけん", 34.23, 135.17, 30},
    {"鳥取県", "とっとりけん", 35.50, 134.24, 19},  {"島根県", "しまねけん", 35.47, 133.05, 19},
    {"岡山県", "おかやまけん", 34.66, 133.93, 27},  {"広島県", "ひろしまけん", 34.40, 132.46, 23},
    {"山口県", "やまぐちけん", 34.19, 131.47, 19},  {"徳島県", "とくしまけん", 34.07, 134.56, 24},
    {"香川県", "かがわけん", 34.34, 134.04, 17},    {"愛媛県", "えひめけん", 33.84, 132.77, 20},
    {"高知県", "こうちけん", 33.56, 133.53, 34},    {"福岡県", "ふくおかけん", 33.61, 130.42, 60},
    {"佐賀県", "さがけん", 33.25, 130.30, 20},      {"長崎県", "ながさきけん", 32.74, 129.87, 21},
    {"熊本県", "くまもとけん", 32.79, 130.74, 45},  {"大分県", "おおいたけん", 33.24, 131.61, 18},
    {"宮崎県", "みやざきけん", 31.91, 131.42, 26},  {"鹿児島県", "かごしまけん", 31.56, 130.56, 43},
    {"沖縄県", "おきなわけん", 26.21, 127.68, 41},
};

// The wards of the large cities, per prefecture (prefecture number, wards
// of each such city); Tokyo's special wards stand without a county.
struct WardCities {
  int prefecture;
  int wards[3];
};
constexpr WardCities kWardCities[] = {
    {1, {10, 0, 0}}, {4, {5, 0, 0}},  {11, {10, 0, 0}}, {12, {6, 0, 0}},  {14, {18, 7, 3}},
    {15, {8, 0, 0}}, {22, {3, 7, 0}}, {23, {16, 0, 0}}, {26, {11, 0, 0}}, {27, {24, 7, 0}},
    {28, {9, 0, 0}}, {33, {4, 0, 0}}, {34, {8, 0, 0}},  {40, {7, 7, 0}},  {43, {5, 0, 0}},
};
constexpr int kTokyo = 13;
constexpr int kTokyoSpecialWards = 23;

// ---- Name elements (no numeral, no kana, nothing the normaliser rewrites) ----

constexpr Word kFirst[] = {
    {"松", "まつ"}, {"高", "たか"},   {"大", "おお"},   {"小", "お"},     {"中", "なか"},
    {"上", "かみ"}, {"下", "しも"},   {"北", "きた"},   {"南", "みなみ"}, {"東", "ひがし"},
    {"西", "にし"}, {"新", "にい"},   {"本", "もと"},   {"山", "やま"},   {"川", "かわ"},
    {"石", "いし"}, {"岩", "いわ"},   {"長", "なが"},   {"平", "ひら"},   {"青", "あお"},
    {"白", "しら"}, {"黒", "くろ"},   {"赤", "あか"},   {"金", "かな"},   {"宮", "みや"},
    {"若", "わか"}, {"桜", "さくら"}, {"柏", "かしわ"}, {"梅", "うめ"},   {"竹", "たけ"},
    {"藤", "ふじ"}, {"福", "ふく"},   {"吉", "よし"},   {"豊", "とよ"},   {"富", "とみ"},
    {"栗", "くり"}, {"杉", "すぎ"},   {"森", "もり"},   {"鶴", "つる"},   {"亀", "かめ"},
    {"鹿", "しか"}, {"熊", "くま"},   {"浅", "あさ"},   {"深", "ふか"},   {"古", "ふる"},
    {"今", "いま"}, {"桑", "くわ"},   {"芦", "あし"},   {"荻", "おぎ"},   {"菅", "すが"},
    {"葛", "くず"}, {"久", "く"},     {"美", "み"},     {"春", "はる"},   {"秋", "あき"},
    {"朝", "あさ"}, {"日", "ひ"},     {"月", "つき"},   {"星", "ほし"},   {"駒", "こま"},
    {"志", "し"},   {"安", "あ"},     {"伊", "い"},     {"加", "か"},     {"佐", "さ"},
    {"多", "た"},   {"奈", "な"},     {"那", "な"},     {"糸", "いと"},   {"稲", "いな"},
};

constexpr Word kSecond[] = {
    {"田", "た"},   {"山", "やま"}, {"川", "かわ"}, {"野", "の"},     {"原", "はら"},
    {"沢", "さわ"}, {"島", "しま"}, {"崎", "さき"}, {"浜", "はま"},   {"岡", "おか"},
    {"谷", "や"},   {"井", "い"},   {"津", "つ"},   {"村", "むら"},   {"木", "き"},
    {"戸", "と"},   {"尾", "お"},   {"倉", "くら"}, {"橋", "はし"},   {"見", "み"},
    {"瀬", "せ"},   {"江", "え"},   {"浦", "うら"}, {"口", "ぐち"},   {"里", "さと"},
    {"坂", "さか"}, {"塚", "つか"}, {"森", "もり"}, {"林", "ばやし"}, {"宮", "みや"},
    {"城", "しろ"}, {"部", "べ"},   {"根", "ね"},   {"場", "ば"},     {"沼", "ぬま"},
    {"淵", "ぶち"}, {"内", "うち"}, {"生", "う"},   {"形", "がた"},   {"賀", "が"},
};

// Endings of town names and their readings ("" = the stem alone).
constexpr Word kTownEndings[] = {
    {"", ""},       {"", ""},           {"", ""},
    {"", ""},       {"町", "まち"},     {"町", "ちょう"},
    {"台", "だい"}, {"が丘", "がおか"}, {"新田", "しんでん"},
    {"町", "まち"},
};

// Municipality names met in several prefectures.
constexpr Word kSharedMunicipalities[] = {
    {"府中", "ふちゅう"}, {"伊達", "だて"},       {"朝日", "あさひ"},   {"美里", "みさと"},
    {"大和", "やまと"},   {"昭和", "しょうわ"},   {"清水", "しみず"},   {"高森", "たかもり"},
    {"南部", "なんぶ"},   {"東山", "ひがしやま"}, {"中川", "なかがわ"}, {"小松", "こまつ"},
    {"松川", "まつかわ"}, {"川島", "かわしま"},   {"池田", "いけだ"},   {"山田", "やまだ"},
    {"吉田", "よしだ"},   {"大野", "おおの"},     {"日高", "ひだか"},   {"泉", "いずみ"},
    {"太子", "たいし"},   {"白石", "しろいし"},   {"高野", "こうや"},   {"明和", "めいわ"},
    {"森", "もり"},       {"長島", "ながしま"},   {"加美", "かみ"},     {"湯沢", "ゆざわ"},
};

// Ward names met in every large city.
constexpr Word kSharedWards[] = {
    {"中央", "ちゅうおう"}, {"北", "きた"}, {"南", "みなみ"}, {"東", "ひがし"}, {"西", "にし"},
};

// Town names met in many municipalities.
constexpr Word kSharedTowns[] = {
    {"本町", "ほんまち"},
    {"中央", "ちゅうおう"},
    {"栄町", "さかえまち"},
    {"元町", "もとまち"},
    {"緑町", "みどりちょう"},
    {"旭町", "あさひまち"},
    {"幸町", "さいわいちょう"},
    {"新町", "しんまち"},
    {"東町", "ひがしまち"},
    {"西町", "にしまち"},
    {"南町", "みなみまち"},
    {"北町", "きたまち"},
    {"錦町", "にしきちょう"},
    {"寿町", "ことぶきちょう"},
    {"昭和町", "しょうわまち"},
    {"大手町", "おおてまち"},
    {"末広町", "すえひろちょう"},
    {"宮下", "みやした"},
    {"駅前", "えきまえ"},
    {"港町", "みなとまち"},
    {"曙町", "あけぼのちょう"},
    {"若葉", "わかば"},
    {"桜町", "さくらまち"},
    {"松原", "まつばら"},
    {"泉町", "いずみちょう"},
    {"日吉町", "ひよしちょう"},
    {"住吉町", "すみよしちょう"},
    {"八幡町", "やはたまち"},
    {"宮町", "みやまち"},
    {"城東", "じょうとう"},
    {"大町", "おおまち"},
    {"仲町", "なかまち"},
    {"横町", "よこまち"},
    {"田町", "たまち"},
    {"上町", "かみまち"},
    {"東", "ひがし"},
    {"西", "にし"},
    {"南", "みなみ"},
    {"北", "きた"},
    {"緑ケ丘", "みどりがおか"},
};

constexpr Word kChome[] = {
    {"一丁目", "いっちょうめ"},   {"二丁目", "にちょうめ"},   {"三丁目", "さんちょうめ"},
    {"四丁目", "よんちょうめ"},   {"五丁目", "ごちょうめ"},   {"六丁目", "ろくちょうめ"},
    {"七丁目", "ななちょうめ"},   {"八丁目", "はっちょうめ"}, {"九丁目", "きゅうちょうめ"},
    {"十丁目", "じゅっちょうめ"},
};

// ---- Variants of town names, as the postal code list's names vary ----
//
// In a large municipality the list's names come in families: a name and
// its neighbours named after it (松田, 松田新, 松田新町, 松田南町; 高野, 高野東,
// 高野西; a stem only with words in front: 上栗岡, 下栗岡, 中栗岡), many of
// them under the name of a former municipality (婦中町…, 八尾町…), with
// connecting kana (藤の木, 岩ノ沢, 秋ケ島, 星ヶ丘, 月見が丘, 二ツ森) and
// numerals (五沢, 三田, 一番町).

// Words in front of a name.
constexpr Word kHeadWords[] = {
    {"上", "かみ"}, {"上", "かみ"},   {"上", "かみ"}, {"下", "しも"}, {"下", "しも"},
    {"中", "なか"}, {"中", "なか"},   {"西", "にし"}, {"西", "にし"}, {"東", "ひがし"},
    {"北", "きた"}, {"南", "みなみ"}, {"新", "しん"}, {"新", "しん"}, {"本", "ほん"},
};

// Words after a name.
constexpr Word kTailWords[] = {
    {"町", "まち"},         {"町", "まち"},         {"町", "まち"},
    {"町", "ちょう"},       {"町", "ちょう"},       {"新", "しん"},
    {"新", "しん"},         {"新町", "しんまち"},   {"新町", "しんまち"},
    {"本町", "ほんまち"},   {"東", "ひがし"},       {"西", "にし"},
    {"南", "みなみ"},       {"北", "きた"},         {"中", "なか"},
    {"東町", "ひがしまち"}, {"西町", "にしまち"},   {"北町", "きたまち"},
    {"南町", "みなみまち"}, {"栄町", "さかえまち"}, {"緑町", "みどりちょう"},
    {"旭町", "あさひまち"}, {"新田", "しんでん"},   {"出", "で"},
    {"村", "むら"},         {"東部", "とうぶ"},     {"南部", "なんぶ"},
};

// Kana between two elements (之, ノ and の read alike; ケ, ヶ and が too).
constexpr Word kLinks[] = {
    {"の", "の"}, {"ノ", "の"}, {"之", "の"}, {"ケ", "が"},
    {"ケ", "が"}, {"ヶ", "が"}, {"が", "が"}, {"ツ", "つ"},
};

// Numerals at the head of a name (五沢, 三田, 八尾).
constexpr Word kNumerals[] = {
    {"一", "いち"}, {"二", "ふた"}, {"三", "み"}, {"四", "よ"}, {"五", "ご"},   {"六", "む"},
    {"七", "なな"}, {"八", "や"},   {"九", "く"}, {"十", "と"}, {"百", "もも"}, {"千", "ち"},
};

// Characters that no generated name holds: altered names are not in the data.
constexpr const char* kAlien[] = {"霞", "鷺", "蛍", "雀", "鴎", "鶯", "燕", "蓮", "椿", "楓"};

struct Name {
  std::string name;
  std::string kana;
};

// Two or three elements ("松田", "高野川").
Name Stem(Random& r) {
  const Word& a = Pick(r, kFirst);
  const Word& b = Pick(r, kSecond);
  Name n{std::string(a.name) + b.name, std::string(a.kana) + b.kana};
  if (r.Percent(12)) {
    const Word& c = Pick(r, kSecond);
    n.name += c.name;
    n.kana += c.kana;
  }
  return n;
}

Name Join(const Word& w, const char* suffix, const char* suffixKana) {
  return Name{std::string(w.name) + suffix, std::string(w.kana) + suffixKana};
}
Name Join(const Name& n, const char* suffix, const char* suffixKana) {
  return Name{n.name + suffix, n.kana + suffixKana};
}

int32_t Milliseconds(double degrees) { return static_cast<int32_t>(degrees * 3600000.0 + 0.5); }

int32_t Clamp(int32_t v, int32_t lower, int32_t upper) {
  return v < lower ? lower : v > upper ? upper : v;
}

struct Point {
  int32_t latitude;
  int32_t longitude;
  Point Near(Random& r, int32_t spread) const {
    return Point{Clamp(latitude + r.Around(spread), kMinLatitude, kMaxLatitude),
                 Clamp(longitude + r.Around(spread), kMinLongitude, kMaxLongitude)};
  }
};

// ---- Town names ----

// The name with the kana that read alike made one (ヶ as ケ, ノ and 之 as
// の), by characters: two names of one municipality never differ only so.
std::string ReadAlike(const std::string& name) {
  std::string out;
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t n =
        i + 1 < name.size() && plat::cp932::IsLeadByte(static_cast<unsigned char>(name[i])) ? 2 : 1;
    const std::string c = name.substr(i, n);
    out += c == "ヶ" ? std::string("ケ") : c == "ノ" || c == "之" ? std::string("の") : c;
    i += n;
  }
  return out;
}

// The town names of one municipality, unique within it, drawn as the postal
// list's names come: in families (a name and names made from it with a word
// in front or after it: 松田, 松田新, 松田新町, 下松田, 東松田; 高野, 高野東),
// some 40 % of them under the name of a former municipality (八尾町…,
// 婦中町…) when the municipality has merged ones, the larger formers holding
// most of those; now and then with kana between two elements (藤の木, 岩ノ沢,
// 秋ケ島, 星ヶ丘, 月見が丘, 二ツ森), a numeral at the head (五沢, 三田) or a
// numbered town (一番町).
class TownNames {
 public:
  TownNames(Random& random, int formers) : random_(random), groups_(1) {
    for (int k = 0; k < formers; ++k) {
      Name former;
      do {
        former = random_.Percent(15) ? NumeralStem() : Stem(random_);
        if (random_.Percent(55)) former = Join(former, "町", "まち");
      } while (!taken_.insert(ReadAlike(former.name)).second);
      groups_.push_back(Group{former, {}});
    }
  }

  Name Next() {
    for (;;) {
      Group& g = groups_[PickGroup()];
      if (g.pending.empty()) StartFamily(&g, &g == &groups_[0]);
      Name n = g.pending.back();
      g.pending.pop_back();
      n = Name{g.former.name + n.name, g.former.kana + n.kana};
      if (taken_.insert(ReadAlike(n.name)).second) return n;
    }
  }

 private:
  struct Group {
    Name former;                // empty for the towns under no former name
    std::vector<Name> pending;  // the rest of the current family, last first
  };

  // No former name, or one: the first three formers weigh four times the
  // others (in the list's largest municipality three formers hold about a
  // hundred towns each, four others twenty or so).
  std::size_t PickGroup() {
    if (groups_.size() == 1 || !random_.Percent(40)) return 0;
    const int formers = static_cast<int>(groups_.size()) - 1;
    const int heavy = formers < 3 ? formers : 3;
    int at = random_.Below(4 * heavy + (formers - heavy));
    if (at < 4 * heavy) return static_cast<std::size_t>(1 + at / 4);
    return static_cast<std::size_t>(1 + heavy + (at - 4 * heavy));
  }

  Name NumeralStem() {
    const Word& a = Pick(random_, kNumerals);
    const Word& b = Pick(random_, kSecond);
    return Join(a, b.name, b.kana);
  }

  // The stem of a family.
  Name Base() {
    const int kind = random_.Below(100);
    if (kind < 6) return NumeralStem();
    if (kind < 12) {
      const Word& a = Pick(random_, kFirst);
      const Word& link = Pick(random_, kLinks);
      const Word& b = random_.Percent(50) ? Pick(random_, kSecond) : Pick(random_, kFirst);
      return Name{std::string(a.name) + link.name + b.name,
                  std::string(a.kana) + link.kana + b.kana};
    }
    return Stem(random_);
  }

  // A name made from the stem with a word in front, after it, or both.
  Name Variant(const Name& base) {
    const int kind = random_.Below(100);
    Name n = base;
    if (kind < 45 || kind >= 95) {
      const Word& w = Pick(random_, kHeadWords);
      if (!n.name.starts_with(w.name))
        n = Name{std::string(w.name) + n.name, std::string(w.kana) + n.kana};
    }
    if (kind >= 45) {
      const Word& w = Pick(random_, kTailWords);
      n = Join(n, w.name, w.kana);
    }
    return n;
  }

  // The names of a new family, into g->pending (their first name last).
  void StartFamily(Group* g, bool plain) {
    if (plain && random_.Percent(45)) {
      const Word& w = Pick(random_, kSharedTowns);
      g->pending.push_back(Name{w.name, w.kana});
      return;
    }
    if (random_.Percent(1)) {
      static constexpr Word kNumbered[] = {{"一", "いち"}, {"二", "に"},   {"三", "さん"},
                                           {"五", "ご"},   {"七", "なな"}, {"十", "じゅう"}};
      g->pending.push_back(Join(Pick(random_, kNumbered), "番町", "ばんまち"));
      return;
    }
    const Name base = Base();
    const int size = random_.Below(100);
    const int count = size < 55   ? 1
                      : size < 80 ? 2 + random_.Below(2)
                      : size < 95 ? 4 + random_.Below(3)
                                  : 7 + random_.Below(4);
    std::vector<Name> family;
    std::set<std::string> names;
    if (count == 1 || random_.Percent(60)) {
      const Word& e = Pick(random_, kTownEndings);
      family.push_back(count == 1 ? Join(base, e.name, e.kana) : base);
      names.insert(family.back().name);
    }
    for (int tries = 0; static_cast<int>(family.size()) < count && tries < 4 * count; ++tries) {
      const Name n = Variant(base);
      if (names.insert(n.name).second) family.push_back(n);
    }
    g->pending.assign(family.rbegin(), family.rend());
  }

  Random& random_;
  std::vector<Group> groups_;  // [0]: the towns under no former name
  std::set<std::string> taken_;
};

// The most oaza of a municipality: the serial of a place code takes three
// digits, or a capital letter and two digits (Z99 = 3599).
constexpr int kMaxOaza = 3599;

// ---- Towns per municipality ----
//
// The sizes follow the distribution of towns per municipality of the
// public postal code list (about 1,900 municipalities, about 120,000
// towns): most municipalities have tens of towns, a long tail reaches
// hundreds, and the largest have more than a thousand. The list itself is
// not read here (it is not at hand when the set is made): the
// distribution is modelled by the quantiles below, a heavy-tailed curve
// fitted to those totals, and drawn deterministically from the seed; a
// municipality's kind shifts its draw (villages smaller, cities larger).
// A town of a draw is one TC_Oaza row (an oaza row or an aza/chome row
// under it), as the benchmarks count them. A few municipalities are given
// their size by name, the list's largest: 富山市 has its 1,122 towns, and
// those are counted as the list counts them, each an oaza (a town of the
// list is an oaza-level name) with its rows, so that its oaza table is as
// large as the list's names make it.

// (per mille of the municipalities, towns at that point): the towns of a
// draw interpolate linearly between two points.
struct TownQuantile {
  int permille;
  int towns;
};
constexpr TownQuantile kTownQuantiles[] = {
    {0, 2},    {50, 4},   {100, 8},   {200, 14},  {300, 22},  {400, 30},  {500, 40},   {600, 52},
    {700, 68}, {800, 94}, {900, 143}, {950, 204}, {980, 308}, {995, 473}, {1000, 900},
};

// Municipalities whose size is given: the prefecture, the name (a city),
// its reading and its towns (oaza).
struct NamedMunicipality {
  int prefecture;
  const char* name;
  const char* kana;
  int towns;
};
constexpr NamedMunicipality kNamedMunicipalities[] = {
    {16, "富山", "とやま", 1122},
};

// One municipality to be written, before its towns.
struct PlannedMunicipality {
  MunicipalityRow row;
  int towns;               // its TC_Oaza rows, or its oaza where oazaTowns
  bool urban;              // wards and cities: more chome
  bool oazaTowns = false;  // towns counted as the list counts them: oaza
};

class NationalBuilder {
 public:
  NationalBuilder(const NationalOptions& o, Description* out)
      : options_(o), random_(0x6E6174696F6E616Cull ^ o.seed), out_(out) {}

  void Build() {
    for (int p = 1; p <= 47; ++p) AddPrefecture(p);
    // Some 120,000 TC_Oaza rows for the whole set.
    for (PlannedMunicipality& m : planned_) {
      out_->municipalities.push_back(m.row);
      AddTowns(m);
    }
  }

 private:
  static std::string Code(const char* format, int a, int b = 0) {
    char text[32];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
  }

  int Scaled(int count) const {
    const int n = (count * options_.percent + 50) / 100;
    return n < 1 ? 1 : n;
  }

  void AddPrefecture(int number) {
    const Prefecture& p = kPrefectures[number - 1];
    PrefectureRow row;
    row.code = Code("%02d", number);
    row.name = p.name;
    row.kana = p.kana;
    row.latitude = Milliseconds(p.latitude);
    row.longitude = Milliseconds(p.longitude);
    row.line = number;
    out_->prefectures.push_back(row);
    seat_ = Point{row.latitude, row.longitude};
    // Hokkaido spreads wider than the others.
    spread_ = Milliseconds(number == 1 ? 1.5 : 0.45);
    used_.clear();

    int total = Scaled(p.municipalities);
    if (total < 2) total = 2;
    // Wards of the large cities (each city counts as one municipality).
    int wardCities = 0;
    for (const WardCities& w : kWardCities) {
      if (w.prefecture != number) continue;
      for (int c = 0; c < 3 && w.wards[c] > 0 && wardCities + 1 < total; ++c) {
        AddWardCity(row.code, c, Scaled(w.wards[c]) < 2 ? 2 : Scaled(w.wards[c]));
        ++wardCities;
      }
    }
    // Tokyo's special wards count among its municipalities.
    int specialWards = 0;
    if (number == kTokyo) {
      specialWards =
          Scaled(kTokyoSpecialWards) < total - 1 ? Scaled(kTokyoSpecialWards) : total - 1;
      for (int k = 0; k < specialWards; ++k) {
        Plan(row.code, Code("%03d", 101 + k), Name{}, Join(UniqueStem("区"), "区", "く"),
             DrawTowns(110), true);
      }
    }
    const int rest = total - wardCities - specialWards;
    const int cities = rest * 4 / 10 > 0 ? rest * 4 / 10 : 1;
    int k = 0;
    for (const NamedMunicipality& named : kNamedMunicipalities) {
      if (named.prefecture != number || k >= cities) continue;
      used_.insert(std::string(named.name) + "市");
      Plan(row.code, Code("%03d", 201 + k++), Name{},
           Join(Word{named.name, named.kana}, "市", "し"), named.towns, true);
      planned_.back().oazaTowns = true;
    }
    for (; k < cities; ++k) {
      Plan(row.code, Code("%03d", 201 + k), Name{}, MunicipalityName("市", "し"), DrawTowns(130),
           true);
    }
    // Towns and villages in counties of three to seven.
    int towns = rest - cities;
    for (int county = 0; towns > 0; ++county) {
      int size = 3 + random_.Below(5);
      if (size > towns) size = towns;
      const Name countyName = Join(UniqueStem("郡"), "郡", "ぐん");
      for (int k = 0; k < size; ++k) {
        const bool village = random_.Percent(20);
        const Name n = village ? MunicipalityName("村", random_.Percent(50) ? "むら" : "そん")
                               : MunicipalityName("町", random_.Percent(50) ? "まち" : "ちょう");
        Plan(row.code, Code("%03d", 300 + county * 10 + k + 1), countyName, n,
             DrawTowns(village ? 35 : 75), false);
      }
      towns -= size;
    }
  }

  void AddWardCity(const std::string& prefectureCode, int city, int wards) {
    const Name cityName = MunicipalityName("市", "し");
    std::set<std::string> names;
    for (int k = 0; k < wards; ++k) {
      Name n;
      if (k < static_cast<int>(std::size(kSharedWards))) {
        n = Join(kSharedWards[k], "区", "く");
      } else {
        do n = Join(Stem(random_), "区", "く");
        while (!names.insert(n.name).second);
      }
      names.insert(n.name);
      Plan(prefectureCode, Code("%03d", 101 + city * 30 + k), cityName, n, DrawTowns(110), true);
    }
  }

  // A stem not yet used in this prefecture under the same ending.
  Name UniqueStem(const char* ending) {
    for (;;) {
      Name n = Stem(random_);
      if (used_.insert(n.name + ending).second) return n;
    }
  }

  // A city, town or village name; now and then one that other
  // prefectures also have.
  Name MunicipalityName(const char* suffix, const char* suffixKana) {
    if (random_.Percent(8)) {
      const Word& w = Pick(random_, kSharedMunicipalities);
      if (used_.insert(std::string(w.name) + suffix).second) return Join(w, suffix, suffixKana);
    }
    return Join(UniqueStem(suffix), suffix, suffixKana);
  }

  // The towns of a municipality whose kind makes it percent of the size
  // of the whole list's draw (at least two: an oaza and its one row).
  int DrawTowns(int percent) {
    const int at = random_.Below(1000);
    std::size_t q = 1;
    while (kTownQuantiles[q].permille < at) ++q;
    const TownQuantile& low = kTownQuantiles[q - 1];
    const TownQuantile& high = kTownQuantiles[q];
    const int towns =
        low.towns + (high.towns - low.towns) * (at - low.permille) / (high.permille - low.permille);
    const int scaled = (towns * percent + 50) / 100;
    return scaled < 2 ? 2 : scaled;
  }

  void Plan(const std::string& prefectureCode, const std::string& serial, const Name& county,
            const Name& name, int towns, bool urban) {
    PlannedMunicipality m;
    m.row.prefectureCode = prefectureCode;
    m.row.code = prefectureCode + serial;
    m.row.county = county.name;
    m.row.countyKana = county.kana;
    m.row.name = name.name;
    m.row.kana = name.kana;
    const Point at = seat_.Near(random_, spread_);
    m.row.latitude = at.latitude;
    m.row.longitude = at.longitude;
    m.row.status = "0";
    m.row.line = static_cast<int>(planned_.size()) + 1;
    m.towns = towns;
    m.urban = urban;
    planned_.push_back(std::move(m));
  }

  OazaRow TownRow(const MunicipalityRow& m, int oaza, int sub, const Name& town, const Point& at) {
    OazaRow r;
    r.cityCode = m.code;
    r.placeCode = m.code + Serial(oaza) + Code("%03d", sub);
    // The group code holds two digits of serial: oaza 1 and 101 share one.
    r.groupCode = m.code + Code("%02d", oaza % 100);
    r.oazaName = town.name;
    r.oazaKana = town.kana;
    r.status = "0";
    r.precision = "2000";
    r.latitude = at.latitude;
    r.longitude = at.longitude;
    r.line = static_cast<int>(out_->oaza.size()) + 1;
    return r;
  }

  // A count of rows of at most room that does not leave exactly one.
  static int Fit(int count, int room) {
    if (count > room) count = room;
    if (room - count == 1) count = count > 1 ? count - 1 : count + 1;
    return count;
  }

  // The three characters of an oaza's serial in its place code: digits up
  // to 999, then a capital letter and two digits (A00 = 1000).
  static std::string Serial(int oaza) {
    if (oaza <= 999) return Code("%03d", oaza);
    return std::string(1, static_cast<char>('A' + (oaza - 1000) / 100)) +
           Code("%02d", (oaza - 1000) % 100);
  }

  void AddTowns(const PlannedMunicipality& m) {
    const MunicipalityRow& city = m.row;
    const Point centre{city.latitude, city.longitude};
    // A large municipality is mostly made of merged ones whose names live
    // on in front of their towns' names, as in the postal list (富山市
    // 婦中町…, 八尾町…): one former municipality per 250 towns (per
    // 160 where the towns are counted as oaza), under which some 40 % of
    // the oaza are named, so that many names share their first characters.
    TownNames names(random_, m.oazaTowns ? m.towns / 160 : m.towns / 250);
    int rows = 0;
    // Oaza until the municipality has its towns: its oaza where they are
    // counted so; else its rows, the rows of each oaza cut to fit and never
    // leaving room for one row alone (an oaza needs two), so that the
    // municipality has exactly its towns.
    for (int oaza = 1; oaza <= kMaxOaza && (m.oazaTowns ? oaza <= m.towns : rows + 1 < m.towns);
         ++oaza) {
      const Name town = names.Next();
      const Point at = centre.Near(random_, Milliseconds(0.04));
      OazaRow head = TownRow(city, oaza, 0, town, at);
      head.representative = "1";
      out_->oaza.push_back(head);
      ++rows;
      // Rows left for this oaza's aza/chome: always at least one.
      const int room = m.oazaTowns ? 10 : m.towns - rows > 1 ? m.towns - rows : 1;
      const int kind = random_.Below(100);
      // The list's towns of a merged municipality are mostly oaza without
      // chome (one placeholder row each).
      const int withChome = m.oazaTowns ? 10 : m.urban ? 55 : 20;
      const int plain = m.oazaTowns ? 85 : m.urban ? 35 : 45;
      if (kind < withChome) {
        int chome = 1 + random_.Below(random_.Percent(80) ? 5 : 10);
        chome = Fit(chome, room);
        for (int k = 1; k <= chome; ++k) {
          AddChild(city, oaza, k, town, at, kChome[k - 1].name, kChome[k - 1].kana, "1");
          ++rows;
        }
      } else if ((kind < withChome + plain && room != 2) || room < 2) {
        AddChild(city, oaza, 0, town, at, "", "", "0");  // placeholder
        ++rows;
      } else {
        int azas = 2 + random_.Below(6);
        azas = Fit(azas, room);
        std::set<std::string> azaNames;
        for (int k = 1; k <= azas; ++k) {
          Name aza;
          do aza = Stem(random_);
          while (!azaNames.insert(aza.name).second);
          AddChild(city, oaza, k, town, at, aza.name.c_str(), aza.kana.c_str(), "0");
          ++rows;
        }
      }
    }
  }

  void AddChild(const MunicipalityRow& city, int oaza, int sub, const Name& town,
                const Point& oazaPoint, const char* name, const char* kana, const char* residence) {
    const Point at = sub == 0 ? oazaPoint : oazaPoint.Near(random_, Milliseconds(0.004));
    OazaRow r = TownRow(city, oaza, sub, town, at);
    r.representative = "0";
    r.chomeName = name;
    r.chomeKana = kana;
    r.postalCode =
        Code("%03d%04d", (std::atoi(city.code.c_str()) * 7) % 1000, (oaza * 10 + sub % 10) % 10000);
    out_->oaza.push_back(r);
    // A thin block level: a few blocks under one row in eight.
    if (random_.Below(8) != 0) return;
    const int blocks = 1 + random_.Below(4);
    for (int b = 1; b <= blocks; ++b) {
      BlockRow row;
      row.placeCode = r.placeCode;
      row.code = Code("%05d", b);
      row.status = "0";
      row.residenceFlag = residence;
      row.precision = "2000";
      const Point p = at.Near(random_, Milliseconds(0.0005));
      row.latitude = p.latitude;
      row.longitude = p.longitude;
      row.line = static_cast<int>(out_->blocks.size()) + 1;
      out_->blocks.push_back(row);
    }
  }

  const NationalOptions options_;
  Random random_;
  Description* out_;
  std::vector<PlannedMunicipality> planned_;
  std::set<std::string> used_;  // names of the current prefecture with their ending
  Point seat_{0, 0};
  int32_t spread_ = 0;
};

// ---- Addresses ----

std::string Half(int n) { return std::to_string(n); }

std::string Wide(int n) {
  static const char* const kWide[10] = {"０", "１", "２", "３", "４", "５", "６", "７", "８", "９"};
  std::string s;
  for (char c : std::to_string(n)) s += kWide[c - '0'];
  return s;
}

// The chome number of a row (1-10), 0 for an aza or a placeholder.
int ChomeNumber(const OazaRow& r) {
  for (int k = 0; k < static_cast<int>(std::size(kChome)); ++k) {
    if (r.chomeName == kChome[k].name) return k + 1;
  }
  return 0;
}

// The town and number part of an address on the row, in one of the ways
// people write it.
std::string TownAndNumbers(Random& random, const std::string& oaza, const OazaRow& r) {
  const int chome = ChomeNumber(r);
  const int block = 1 + random.Below(30);
  const int lot = 1 + random.Below(20);
  switch (random.Below(4)) {
    case 0:  // 本町一丁目１２番５号
      return oaza + r.chomeName + Wide(block) + "番" + Wide(lot) + "号";
    case 1:  // 本町1丁目12-5
      return oaza + (chome > 0 ? Half(chome) + "丁目" : r.chomeName) + Half(block) + "-" +
             Half(lot);
    case 2:  // 本町１－１２－５
      return oaza + (chome > 0 ? Wide(chome) + "－" : r.chomeName) + Wide(block) + "－" + Wide(lot);
    default:  // 本町一丁目１２番地
      return oaza + r.chomeName + Wide(block) + "番地";
  }
}

// The name with its first character replaced by one that no name holds.
std::string Altered(Random& random, const std::string& name) {
  const std::string alien = kAlien[random.Below(static_cast<int>(std::size(kAlien)))];
  return name.size() < 2 ? alien : alien + name.substr(2);  // names are full width
}

// The address of an aza/chome row as a user writes it: wards with their
// city, towns and villages with or without their county, the prefecture
// in front or not; alter 1 alters the municipality's name, 2 the town's.
std::string WrittenAddress(Random& random, const Description& d, const OazaRow& r, bool prefecture,
                           int alter) {
  const MunicipalityRow& m = d.municipalities[static_cast<std::size_t>(r.municipality)];
  const PrefectureRow& p = d.prefectures[static_cast<std::size_t>(m.parent)];
  const bool ward = !m.county.empty() && m.code[2] == '1';
  std::string city = (ward || (!m.county.empty() && random.Percent(50))) ? m.county : "";
  std::string name = m.name;
  std::string oaza = r.oazaName;
  if (alter == 1) name = Altered(random, name);
  if (alter == 2) oaza = Altered(random, oaza);
  city += name;
  return (prefecture ? p.name : std::string()) + city + TownAndNumbers(random, oaza, r);
}

}  // namespace

int MakeNationalDescription(const Description& dictionaries, const NationalOptions& options,
                            Description* out, char* msg) {
  if (!out || options.percent < 1 || options.percent > 100) {
    SetMessage(msg, "national share %d: 1 to 100 percent", options.percent);
    return 0;
  }
  *out = Description{};
  out->unification = dictionaries.unification;
  out->replacements = dictionaries.replacements;
  out->userReplacementLines = dictionaries.userReplacementLines;
  NationalBuilder(options, out).Build();
  return ValidateDescription(out, msg);
}

NationalAddresses MakeNationalAddresses(const Description& d, uint32_t seed, int perKind) {
  NationalAddresses out;
  std::vector<std::size_t> rows;  // aza/chome rows under a municipality
  for (std::size_t i = 0; i < d.oaza.size(); ++i) {
    if (!d.oaza[i].IsOaza() && d.oaza[i].municipality >= 0) rows.push_back(i);
  }
  if (rows.empty() || perKind <= 0) return out;
  Random random(0x61646472657373ull ^ seed);
  auto make = [&](bool prefecture, int alter) {
    const OazaRow& r =
        d.oaza[rows[static_cast<std::size_t>(random.Below(static_cast<int>(rows.size())))]];
    return WrittenAddress(random, d, r, prefecture, alter);
  };
  for (int i = 0; i < perKind; ++i) out.withPrefecture.push_back(make(true, 0));
  for (int i = 0; i < perKind; ++i) out.withoutPrefecture.push_back(make(false, 0));
  // Not in the data: a town altered (two in three) or a municipality, with
  // and without the prefecture.
  for (int i = 0; i < perKind; ++i) out.notInData.push_back(make(i % 2 == 0, i % 3 == 0 ? 1 : 2));
  return out;
}

std::vector<std::string> NationalAddressesOfRows(const Description& d,
                                                 const std::vector<std::size_t>& rows,
                                                 bool withPrefecture, uint32_t seed) {
  std::vector<std::string> out;
  Random random(0x726f7773ull ^ seed);
  for (const std::size_t i : rows) {
    if (i < d.oaza.size() && !d.oaza[i].IsOaza() && d.oaza[i].municipality >= 0)
      out.push_back(WrittenAddress(random, d, d.oaza[i], withPrefecture, 0));
  }
  return out;
}

int StageNationalAddresses(const NationalAddresses& a, const std::string& folder,
                           builder::StagedFiles* files, char* msg) {
  const std::string base = WithSeparator(folder);
  return MakeFolders(base, msg) &&
         StageTextLines(base + kAddressesWithPrefectureFile, a.withPrefecture, files, msg) &&
         StageTextLines(base + kAddressesWithoutPrefectureFile, a.withoutPrefecture, files, msg) &&
         StageTextLines(base + kAddressesNotInDataFile, a.notInData, files, msg);
}

int WriteNationalAddresses(const NationalAddresses& a, const std::string& folder, char* msg) {
  builder::StagedFiles files;
  if (!StageNationalAddresses(a, folder, &files, msg)) return 0;
  if (!files.Commit()) {
    SetMessage(msg, "ファイルへの書き込みに失敗しました!(%s)", folder.c_str());
    return 0;
  }
  return 1;
}

}  // namespace sampledata
