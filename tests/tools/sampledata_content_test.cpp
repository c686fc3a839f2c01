// The sample address data set's description as committed: it loads, its
// rows lie where their parents are, and it holds a row for every path of
// the matcher that the data set is meant to exercise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>

#include "common/message.h"
#include "common/sjis_text.h"
#include "support/test_util.h"
#include "tools/sampledata/description.h"

using namespace sampledata;
using testutil::Show;
using testutil::Sjis;

namespace {

struct Loaded {
  Description d;
  int ok = 0;
  char msg[kMessageSize] = "";
};

const Loaded& Sample() {
  static const Loaded* loaded = [] {
    auto* l = new Loaded;
    l->ok = LoadDescription(DefaultDescriptionFolder().c_str(), &l->d, l->msg);
    return l;
  }();
  return *loaded;
}

template <class V, class P>
bool Any(const V& rows, P pred) {
  return std::any_of(rows.begin(), rows.end(), pred);
}

bool Near(int32_t lat1, int32_t lon1, int32_t lat2, int32_t lon2, int32_t limit) {
  return std::abs(int64_t{lat1} - lat2) <= limit && std::abs(int64_t{lon1} - lon2) <= limit;
}

double Distance(int32_t lat1, int32_t lon1, int32_t lat2, int32_t lon2) {
  return std::hypot(static_cast<double>(lat1) - lat2, static_cast<double>(lon1) - lon2);
}

bool IsLetter(const std::string& code) { return !code.empty() && code[0] >= 'A' && code[0] <= 'Z'; }
std::string Pad5(const std::string& code) { return std::string(5 - code.size(), '0') + code; }
bool Has(const std::string& text, const char8_t* part) {
  return FindSubstring(Sjis(part).c_str(), text.c_str()) > 0;
}

using Key = std::tuple<std::string, std::string, std::string>;  // place, block, lot ("" = any)
std::set<Key> TableBlocks(const Description& d) {
  std::set<Key> out;
  for (const BlockRow& b : d.blocks) out.emplace(b.placeCode, Pad5(b.code), "");
  return out;
}
template <class Rows>
std::set<Key> Blocks(const Rows& rows) {
  std::set<Key> out;
  for (const auto& r : rows) out.emplace(r.placeCode, r.blockCode, "");
  return out;
}
template <class Rows>
std::set<Key> Lots(const Rows& rows) {
  std::set<Key> out;
  for (const auto& r : rows) {
    if (!r.lotCode.empty()) out.emplace(r.placeCode, r.blockCode, r.lotCode);
  }
  return out;
}

// Neighbouring numbers (by code) with a gap that no source fills, at a
// distance below (inside) or not below (!inside) the estimation's limit.
template <class Rows, class NumberOf, class Missing>
bool HasGapPair(const Rows& rows, NumberOf numberOf, Missing missing, bool inside) {
  std::map<std::string, std::map<int, const typename Rows::value_type*>> groups;
  for (const auto& r : rows) {
    const auto [group, n] = numberOf(r);
    if (n >= 0) groups[group].emplace(n, &r);
  }
  for (const auto& [group, numbers] : groups) {
    for (auto it = numbers.begin(); it != numbers.end() && std::next(it) != numbers.end(); ++it) {
      const auto next = std::next(it);
      if (next->first - it->first < 2 || next->first - it->first > 50) continue;
      bool gapEmpty = true;
      for (int n = it->first + 1; n < next->first; ++n) gapEmpty &= missing(group, n);
      const double dist = Distance(it->second->latitude, it->second->longitude,
                                   next->second->latitude, next->second->longitude);
      if (gapEmpty && (dist < 16000.0) == inside) return true;
    }
  }
  return false;
}

}  // namespace

TEST(SampleDescription, LoadsAndEveryRowLiesNearItsParent) {
  ASSERT_EQ(Sample().ok, 1) << Show(Sample().msg);
  const Description& d = Sample().d;
  for (const MunicipalityRow& m : d.municipalities) {
    const PrefectureRow& p = d.prefectures[m.parent];
    EXPECT_TRUE(Near(m.latitude, m.longitude, p.latitude, p.longitude, 2 * 3600000)) << m.line;
  }
  for (std::size_t i = 0; i < d.oaza.size(); ++i) {
    const OazaRow& r = d.oaza[i];
    const MunicipalityRow& m = d.municipalities[r.municipality];
    EXPECT_TRUE(Near(r.latitude, r.longitude, m.latitude, m.longitude, 720000)) << r.line;
    if (r.IsOaza()) continue;
    // An aza/chome row hangs under the nearest oaza row above it.
    ASSERT_GE(r.parent, 0) << r.line;
    for (std::size_t j = r.parent + 1; j < i; ++j) EXPECT_FALSE(d.oaza[j].IsOaza()) << r.line;
    const OazaRow& o = d.oaza[r.parent];
    EXPECT_TRUE(Near(r.latitude, r.longitude, o.latitude, o.longitude, 180000)) << r.line;
  }
  auto nearChome = [&](const auto& row) {
    const OazaRow& c = d.oaza[row.parent];
    return !c.IsOaza() && Near(row.latitude, row.longitude, c.latitude, c.longitude, 72000);
  };
  for (const BlockRow& r : d.blocks) EXPECT_TRUE(nearChome(r)) << r.line;
  for (const ChangeRow& r : d.changes) EXPECT_TRUE(nearChome(r)) << r.line;
  for (const ChangeCodeRow& r : d.changeCodes) EXPECT_TRUE(nearChome(r)) << r.line;
}

TEST(SampleDescription, HoldsEveryFeatureTheMatcherPathsNeed) {
  ASSERT_EQ(Sample().ok, 1) << Show(Sample().msg);
  const Description& d = Sample().d;
  auto cityIs = [&](const char* code, const char8_t* county, const char8_t* name) {
    return Any(d.municipalities, [&](auto& m) {
      return m.code == code && m.county == Sjis(county) && m.name == Sjis(name);
    });
  };
  auto oazaOf = [&](auto& code) {
    return Any(d.oaza, [&](auto& r) { return r.cityCode == code; });
  };
  auto children = [&](auto& o) {
    const int index = static_cast<int>(&o - d.oaza.data());
    return std::count_if(d.oaza.begin(), d.oaza.end(), [&](auto& r) { return r.parent == index; });
  };
  const std::set<Key> table = TableBlocks(d), history = Blocks(d.changes),
                      index = Blocks(d.changeCodes), historyLots = Lots(d.changes),
                      indexLots = Lots(d.changeCodes);
  auto onlyIn = [](const std::set<Key>& in, const std::set<Key>& a, const std::set<Key>& b) {
    return Any(in, [&](const Key& k) { return !a.count(k) && !b.count(k); });
  };
  auto lotOnlyIn = [](const std::set<Key>& in, const std::set<Key>& blocksOfOther,
                      const std::set<Key>& lotsOfOther) {
    return Any(in, [&](const Key& k) {
      return blocksOfOther.count(Key(std::get<0>(k), std::get<1>(k), "")) && !lotsOfOther.count(k);
    });
  };
  auto noBlockAnywhere = [&](auto& place, int n) {
    const Key key(place, Pad5(std::to_string(n)), "");
    return !history.count(key) && !index.count(key);
  };
  auto blockNumber = [](auto& b) {
    return std::make_pair(b.placeCode, IsLetter(b.code) ? -1 : std::atoi(b.code.c_str()));
  };
  auto lotNumber = [](auto& c) {
    return std::make_pair(c.placeCode + c.blockCode, c.lotCode.empty() || IsLetter(c.lotCode)
                                                         ? -1
                                                         : std::atoi(c.lotCode.c_str()));
  };
  auto noIndexLot = [&](auto& block, int n) {
    return !indexLots.count(Key(block.substr(0, 11), block.substr(11), Pad5(std::to_string(n))));
  };
  auto lettered = [](auto& place) {
    return std::any_of(place.begin() + 5, place.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
  };

  const struct Feature {
    const char* what;
    std::function<bool()> present;
  } features[] = {
      {"prefectures 13 and 26",
       [&] {
         return d.prefectures.size() == 2 && d.prefectures[0].code == "13" &&
                d.prefectures[0].name == Sjis(u8"東京都") && d.prefectures[1].code == "26" &&
                d.prefectures[1].name == Sjis(u8"京都府");
       }},
      {"real municipality codes and names",
       [&] {
         return cityIs("13101", u8"", u8"千代田区") && cityIs("13117", u8"", u8"北区") &&
                cityIs("13361", u8"", u8"大島町") && cityIs("26104", u8"京都市", u8"中京区") &&
                cityIs("26303", u8"乙訓郡", u8"大山崎町");
       }},
      {"county municipality with oaza",
       [&] { return cityIs("13303", u8"西多摩郡", u8"瑞穂町") && oazaOf("13303"); }},
      {"current municipality without oaza rows",
       [&] {
         return Any(d.municipalities, [&](auto& m) { return m.status == "0" && !oazaOf(m.code); });
       }},
      {"abolished municipality and oaza beside the successor's oaza of the same name",
       [&] {
         return Any(d.oaza, [&](auto& old) {
           return old.IsOaza() && old.status == "3" && children(old) == 0 &&
                  std::atoi(d.municipalities[old.municipality].status.c_str()) >= 3 &&
                  Any(d.oaza, [&](auto& now) {
                    return now.IsOaza() && now.status == "0" && now.oazaName == old.oazaName;
                  });
         });
       }},
      {"東京都千代田区丸の内一丁目 with postal code 1000005",
       [&] {
         return Any(d.oaza, [&](auto& r) {
           return r.cityCode == "13101" && r.oazaName == Sjis(u8"丸の内") &&
                  r.chomeName == Sjis(u8"一丁目") && r.postalCode == "1000005" &&
                  d.oaza[r.parent].oazaName == r.oazaName &&
                  d.prefectures[d.municipalities[r.municipality].parent].name == Sjis(u8"東京都");
         });
       }},
      {"北区 in both prefectures, each with oaza",
       [&] {
         std::set<std::string> prefectures;
         for (const MunicipalityRow& m : d.municipalities) {
           if (m.name == Sjis(u8"北区") && oazaOf(m.code)) prefectures.insert(m.prefectureCode);
         }
         return prefectures == std::set<std::string>{"13", "26"};
       }},
      {"（大字なし） with named aza rows",
       [&] {
         return Any(d.oaza, [&](auto& r) {
           return !r.chomeName.empty() && d.oaza[r.parent].oazaName == Sjis(u8"（大字なし）");
         });
       }},
      {"oaza stored with 大字 whose placeholder chome has blocks only in the history",
       [&] {
         return Any(d.oaza, [&](auto& r) {
           return !r.IsOaza() && r.chomeName.empty() && r.oazaName.rfind(Sjis(u8"大字"), 0) == 0 &&
                  Any(history, [&](const Key& k) { return std::get<0>(k) == r.placeCode; }) &&
                  !Any(table, [&](const Key& k) { return std::get<0>(k) == r.placeCode; });
         });
       }},
      {"Kyoto street districts with aza rows, one with a direction word, one short",
       [&] {
         auto street = [&](auto& r) {
           return r.IsOaza() && r.placeCode.compare(0, 3, "261") == 0 && r.placeCode[8] == '9' &&
                  children(r) > 0;
         };
         return Any(d.oaza, [&](auto& r) { return street(r) && Has(r.oazaName, u8"上る"); }) &&
                Any(d.oaza, [&](auto& r) { return street(r) && !Has(r.oazaName, u8"通"); });
       }},
      {"special names 船屋町 26104395000 and 舟屋町 26104397000",
       [&] {
         auto oaza = [&](const char* code, const char8_t* name) {
           return Any(d.oaza,
                      [&](auto& r) { return r.placeCode == code && r.oazaName == Sjis(name); });
         };
         return oaza("26104395000", u8"船屋町") && oaza("26104397000", u8"舟屋町");
       }},
      {"oaza of the 8 group after an oaza of the same name and municipality",
       [&] {
         for (std::size_t i = 0; i < d.oaza.size(); ++i) {
           const OazaRow& r = d.oaza[i];
           if (!r.IsOaza() || r.groupCode.size() != 6 || r.groupCode[0] != '8' || !children(r))
             continue;
           for (std::size_t j = 0; j < i; ++j) {
             if (d.oaza[j].IsOaza() && d.oaza[j].cityCode == r.cityCode &&
                 d.oaza[j].oazaName == r.oazaName) {
               return true;
             }
           }
         }
         return false;
       }},
      {"control route on an oaza and a chome; oaza 五番町",
       [&] {
         return Any(d.oaza, [](auto& r) { return r.IsOaza() && r.control == 1; }) &&
                Any(d.oaza, [](auto& r) { return !r.IsOaza() && r.control == 1; }) &&
                Any(d.oaza, [](auto& r) { return r.oazaName == Sjis(u8"五番町"); });
       }},
      {"block rows of one code: status A after another, status 3 before the current row",
       [&] {
         bool statusA = false, abolishedFirst = false;
         for (std::size_t i = 1; i < d.blocks.size(); ++i) {
           const BlockRow& a = d.blocks[i - 1];
           const BlockRow& b = d.blocks[i];
           if (a.placeCode != b.placeCode || a.code != b.code) continue;
           statusA |= b.status == "A" && a.status != "A";
           abolishedFirst |= a.status == "3" && b.status == "0";
         }
         return statusA && abolishedFirst;
       }},
      {"block pair for the estimation within the distance limit",
       [&] { return HasGapPair(d.blocks, blockNumber, noBlockAnywhere, true); }},
      {"block pair for the estimation beyond the distance limit",
       [&] { return HasGapPair(d.blocks, blockNumber, noBlockAnywhere, false); }},
      {"history lots for the lot estimation",
       [&] { return HasGapPair(d.changes, lotNumber, noIndexLot, true); }},
      {"block only in the change history", [&] { return onlyIn(history, table, index); }},
      {"block only in the change-code index", [&] { return onlyIn(index, table, history); }},
      {"lot only in the change history", [&] { return lotOnlyIn(historyLots, index, indexLots); }},
      {"lot only in the change-code index",
       [&] { return lotOnlyIn(indexLots, history, historyLots); }},
      {"named blocks and lots: history イ and 甲, letter-coded named blocks in index and table",
       [&] {
         return Any(d.changes,
                    [](auto& c) { return IsLetter(c.blockCode) && c.blockName == Sjis(u8"イ"); }) &&
                Any(d.changes,
                    [](auto& c) { return IsLetter(c.lotCode) && c.lotName == Sjis(u8"甲"); }) &&
                Any(d.changeCodes,
                    [](auto& c) { return IsLetter(c.blockCode) && !c.blockName.empty(); }) &&
                Any(d.blocks, [](auto& b) { return IsLetter(b.code) && !b.name.empty(); });
       }},
      {"letter-coded place code part in both change sources",
       [&] {
         return Any(d.changes, [&](auto& c) { return lettered(c.placeCode); }) &&
                Any(d.changeCodes, [&](auto& c) { return lettered(c.placeCode); });
       }},
      {"history digits 0 and 1, a block record, an abolished lot; index scales 2000 and 25000",
       [&] {
         return Any(d.changes, [](auto& c) { return c.digit == "0"; }) &&
                Any(d.changes, [](auto& c) { return c.digit == "1"; }) &&
                Any(d.changes, [](auto& c) { return c.lotCode.empty(); }) &&
                Any(d.changes, [](auto& c) { return !c.lotCode.empty() && c.status == 3; }) &&
                Any(d.changeCodes, [](auto& c) { return c.scale == "2000"; }) &&
                Any(d.changeCodes, [](auto& c) { return c.scale == "25000"; });
       }},
      {"dictionaries: ヶ to ケ, blank removal, user comment, empty line and pair",
       [&] {
         auto is = [](auto& s, const char8_t* t) { return s == Sjis(t); };
         const auto& user = d.userReplacementLines;
         return Any(d.unification,
                    [&](auto& p) { return is(p.search, u8"ヶ") && is(p.replacement, u8"ケ"); }) &&
                Any(d.replacements,
                    [&](auto& p) { return is(p.search, u8"　") && p.replacement.empty(); }) &&
                Any(user, [](auto& l) { return !l.empty() && l[0] == ';'; }) &&
                Any(user, [](auto& l) { return l.empty(); }) &&
                Any(user, [](auto& l) { return !l.empty() && l[0] != ';'; });
       }},
  };
  for (const Feature& f : features) EXPECT_TRUE(f.present()) << f.what;
}
