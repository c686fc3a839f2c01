// The national-shape data set: made from its seed alone, of the country's
// size and shape, with names shared as real names are, every row in the
// forms the description reader accepts, and a data folder the matcher
// answers from.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/message.h"
#include "generated_data.h"
#include "matching/match_entries.h"
#include "matching/name_candidates.h"
#include "matching/normalize.h"
#include "plat/cp932.h"
#include "plat/path.h"
#include "support/test_util.h"
#include "tools/sampledata/generate.h"
#include "tools/sampledata/national.h"

using namespace sampledata;
using gendata::FolderBytes;
using gendata::Sample;
using testutil::Show;
using testutil::Sjis;

namespace {

Description National(const NationalOptions& options) {
  Description d;
  char msg[kMessageSize] = "";
  EXPECT_EQ(MakeNationalDescription(Sample(), options, &d, msg), 1) << Show(msg);
  return d;
}

// The rows of three prefectures (01, 13, 47) only: the per-prefecture
// files cost the same whatever the share, so the folder tests write few.
Description ThreePrefectures(const NationalOptions& options) {
  const Description all = National(options);
  auto kept = [](const std::string& code) {
    return code.compare(0, 2, "01") == 0 || code.compare(0, 2, "13") == 0 ||
           code.compare(0, 2, "47") == 0;
  };
  Description d;
  d.unification = all.unification;
  d.replacements = all.replacements;
  d.userReplacementLines = all.userReplacementLines;
  for (const PrefectureRow& r : all.prefectures)
    if (kept(r.code)) d.prefectures.push_back(r);
  for (const MunicipalityRow& r : all.municipalities)
    if (kept(r.code)) d.municipalities.push_back(r);
  for (const OazaRow& r : all.oaza)
    if (kept(r.cityCode)) d.oaza.push_back(r);
  for (const BlockRow& r : all.blocks)
    if (kept(r.placeCode)) d.blocks.push_back(r);
  char msg[kMessageSize] = "";
  EXPECT_EQ(ValidateDescription(&d, msg), 1) << Show(msg);
  return d;
}

// The whole set, made once.
const Description& FullSet() {
  static const Description d = National(NationalOptions{});
  return d;
}

std::string Generate(const testutil::TempDir& dir, const char* name, const Description& d,
                     int jobs) {
  const std::string folder = dir.path() + "\\" + name + "\\" + Sjis(u8"住所");
  GenerateOptions options;
  options.jobs = jobs;
  char msg[kMessageSize] = "";
  EXPECT_EQ(GenerateDataFolder(d, folder, options, msg), 1) << Show(msg);
  return folder;
}

// The level column of a 17-column result line; 0 when nothing matched.
int MatchLevel(const std::string& folder, const std::string& address) {
  char buffer[4096] = "";
  char message[kMessageSize] = "";
  char text[kMaxSearchTextLength + 1];
  std::snprintf(text, sizeof text, "%s", address.c_str());
  if (!MatchAddressesToBuffer(buffer, sizeof buffer, text, 0, 1, folder.c_str(), message, 0, 1, 1,
                              1, 1, 1, 1, "VRG_EXTEND"))
    return 0;
  const std::vector<std::string> columns = testutil::CsvFields(buffer);
  return columns.size() == 17 ? std::atoi(columns[13].c_str()) : -1;
}

}  // namespace

// One seed gives the same files and addresses whether the prefectures are
// written one after the other or by worker processes; another seed gives
// other data.
TEST(NationalData, SameSeedGivesSameBytesInAnyNumberOfWorkers) {
  NationalOptions options;
  options.seed = 7;
  options.percent = 10;
  const Description a = ThreePrefectures(options);
  const Description b = ThreePrefectures(options);
  options.seed = 8;
  const Description other = ThreePrefectures(options);

  testutil::TempDir dir;
  const auto one = FolderBytes(Generate(dir, "one", a, 1));
  const auto workers = FolderBytes(Generate(dir, "workers", b, 3));
  ASSERT_GE(one.size(), 3u * 12u);
  ASSERT_EQ(one.size(), workers.size());
  for (const auto& [name, bytes] : one) {
    const auto it = workers.find(name);
    ASSERT_NE(it, workers.end()) << name;
    EXPECT_TRUE(it->second == bytes) << name << " differs";
  }
  ASSERT_FALSE(a.oaza.empty());
  bool differs = a.oaza.size() != other.oaza.size();
  for (std::size_t i = 0; !differs && i < a.oaza.size(); ++i)
    differs = a.oaza[i].oazaName != other.oaza[i].oazaName;
  EXPECT_TRUE(differs);

  const NationalAddresses first = MakeNationalAddresses(a, 7, 300);
  const NationalAddresses second = MakeNationalAddresses(b, 7, 300);
  EXPECT_EQ(first.withPrefecture, second.withPrefecture);
  EXPECT_EQ(first.withoutPrefecture, second.withoutPrefecture);
  EXPECT_EQ(first.notInData, second.notInData);
  EXPECT_NE(MakeNationalAddresses(a, 8, 300).withPrefecture, first.withPrefecture);
}

// 47 prefectures, about 1,900 municipalities and 120,000 town rows, a thin
// block level; every prefecture has its municipalities and towns.
TEST(NationalData, HasTheCountrysSize) {
  const Description& d = FullSet();
  ASSERT_EQ(d.prefectures.size(), 47u);
  for (std::size_t p = 0; p < 47; ++p) {
    char code[3];
    std::snprintf(code, sizeof code, "%02d", static_cast<int>(p + 1));
    EXPECT_EQ(d.prefectures[p].code, code);
  }
  EXPECT_GE(d.municipalities.size(), 1800u);
  EXPECT_LE(d.municipalities.size(), 2000u);
  EXPECT_GE(d.oaza.size(), 110000u);
  EXPECT_LE(d.oaza.size(), 130000u);
  EXPECT_LE(d.blocks.size(), d.oaza.size() / 3);
  EXPECT_GT(d.blocks.size(), 0u);

  std::vector<int> municipalities(47, 0);
  std::vector<int> towns(47, 0);
  for (const MunicipalityRow& m : d.municipalities)
    ++municipalities[static_cast<std::size_t>(m.parent)];
  for (const OazaRow& r : d.oaza) {
    const int p = d.municipalities[static_cast<std::size_t>(r.municipality)].parent;
    ++towns[static_cast<std::size_t>(p)];
  }
  for (std::size_t p = 0; p < 47; ++p) {
    EXPECT_GE(municipalities[p], 10) << p + 1;
    EXPECT_GE(towns[p], 500) << p + 1;
  }
  // Hokkaido has by far the most municipalities.
  EXPECT_GE(municipalities[0], 150);
}

// Municipalities as large as real ones: towns per municipality spread as
// in the public postal code list (tens for most, a long tail), the largest
// beyond a thousand (富山市 with the list's 1,122 towns, each an oaza), and
// some of one town; every municipality's oaza codes stay distinct past the
// 99th oaza and, in the letter form, past the 999th.
TEST(NationalData, MunicipalitiesAreAsLargeAsRealOnes) {
  const Description& d = FullSet();
  std::vector<int> towns(d.municipalities.size(), 0);
  std::vector<int> oaza(d.municipalities.size(), 0);
  for (const OazaRow& r : d.oaza) {
    ++towns[static_cast<std::size_t>(r.municipality)];
    if (r.IsOaza()) ++oaza[static_cast<std::size_t>(r.municipality)];
  }
  std::vector<int> sorted = towns;
  std::sort(sorted.begin(), sorted.end());
  const std::size_t n = sorted.size();
  EXPECT_GE(sorted[n / 2], 20) << "median";
  EXPECT_LE(sorted[n / 2], 60) << "median";
  EXPECT_LE(sorted[n / 10], 10) << "tenth percentile";
  EXPECT_GE(sorted[n * 9 / 10], 100) << "ninetieth percentile";
  EXPECT_EQ(sorted[0], 2) << "a one-town municipality: an oaza and its one row";
  EXPECT_GE(sorted[n - 1], 1100);
  EXPECT_GE(sorted[n - 5], 400) << "a long tail, not one outlier";

  const auto toyama =
      std::find_if(d.municipalities.begin(), d.municipalities.end(), [](const MunicipalityRow& m) {
        return m.prefectureCode == "16" && m.name == Sjis(u8"富山市");
      });
  ASSERT_NE(toyama, d.municipalities.end());
  const std::size_t t = static_cast<std::size_t>(toyama - d.municipalities.begin());
  // The list's 1,122 towns of 富山市 are oaza, each with its rows.
  EXPECT_EQ(oaza[t], 1122);
  EXPECT_GE(towns[t], 2 * 1122);
  EXPECT_EQ(towns[t], sorted[n - 1]) << "the largest";
  EXPECT_GT(oaza[t], 99);
  std::set<std::string> codes;
  int lettered = 0;
  for (const OazaRow& r : d.oaza) {
    if (r.municipality == static_cast<int>(t) && r.IsOaza()) {
      EXPECT_TRUE(codes.insert(r.placeCode).second) << r.placeCode;
      // Past the 999th oaza the serial is a capital letter and two digits.
      if (r.placeCode[5] >= 'A' && r.placeCode[5] <= 'Z') ++lettered;
    }
  }
  EXPECT_EQ(lettered, 1122 - 999);

  // A smaller share keeps the named municipality at its size.
  NationalOptions options;
  options.percent = 5;
  const Description small = National(options);
  int smallToyama = 0;
  for (const OazaRow& r : small.oaza) {
    const MunicipalityRow& m = small.municipalities[static_cast<std::size_t>(r.municipality)];
    if (m.prefectureCode == "16" && m.name == Sjis(u8"富山市") && r.IsOaza()) ++smallToyama;
  }
  EXPECT_EQ(smallToyama, 1122);
}

// The same town name in many municipalities, municipality names in several
// prefectures, the ward names in every large city; readings of real length.
TEST(NationalData, SharesNamesAcrossMunicipalitiesAndPrefectures) {
  const Description& d = FullSet();
  std::map<std::string, std::set<int>> townIn;  // oaza name -> municipalities
  std::size_t kanaChars = 0;
  std::size_t oazaRows = 0;
  for (const OazaRow& r : d.oaza) {
    if (!r.IsOaza()) continue;
    townIn[r.oazaName].insert(r.municipality);
    kanaChars += r.oazaKana.size() / 2;
    ++oazaRows;
  }
  int widelyShared = 0;
  std::size_t rowsWithSharedName = 0;
  for (const auto& [name, in] : townIn) {
    if (in.size() >= 100) ++widelyShared;
    if (in.size() >= 2) rowsWithSharedName += in.size();
  }
  EXPECT_GE(widelyShared, 20);
  EXPECT_GE(townIn[Sjis(u8"本町")].size(), 150u);
  EXPECT_GE(rowsWithSharedName * 100, oazaRows * 30);  // at least 30 % of the oaza
  EXPECT_LE(rowsWithSharedName * 100, oazaRows * 90);
  const double averageKana = static_cast<double>(kanaChars) / static_cast<double>(oazaRows);
  EXPECT_GE(averageKana, 3.0);
  EXPECT_LE(averageKana, 8.0);

  std::map<std::string, std::set<int>> municipalityIn;  // name -> prefectures
  for (const MunicipalityRow& m : d.municipalities) municipalityIn[m.name].insert(m.parent);
  int inSeveralPrefectures = 0;
  for (const auto& [name, in] : municipalityIn) {
    if (in.size() >= 2 && name.compare(name.size() - 2, 2, Sjis(u8"区")) != 0)
      ++inSeveralPrefectures;
  }
  EXPECT_GE(inSeveralPrefectures, 20);
  EXPECT_GE(municipalityIn[Sjis(u8"北区")].size(), 10u);
  EXPECT_GE(municipalityIn[Sjis(u8"府中市")].size() + municipalityIn[Sjis(u8"府中町")].size(), 2u);
}

namespace {

// The header line of a committed description file (UTF-8).
std::string HeaderOf(DescriptionFile file) {
  std::string native;
  const std::string path = DefaultDescriptionFolder() + "\\" + DescriptionFileName(file);
  if (!plat::path::ToNative(path.c_str(), native)) return std::string();
  const std::string text = testutil::ReadBytes(native);
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end == std::string::npos ? end : end - start);
    if (!line.empty() && line[0] != '#') return line;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return std::string();
}

// One UTF-8 line of tab-separated CP932 fields; false when a field has no
// UTF-8 form.
bool Utf8Line(const std::vector<std::string>& fields, std::string* out) {
  out->clear();
  for (std::size_t i = 0; i < fields.size(); ++i) {
    std::string utf8;
    if (!plat::cp932::ToUtf8(fields[i], utf8)) return false;
    *out += (i ? "\t" : "") + utf8;
  }
  *out += "\n";
  return true;
}

// Parses the lines with the description reader's field checks.
void ExpectReaderAccepts(DescriptionFile file, const std::vector<std::vector<std::string>>& rows) {
  std::string text = HeaderOf(file) + "\n";
  ASSERT_GT(text.size(), 1u);
  std::string line;
  for (const auto& fields : rows) {
    ASSERT_TRUE(Utf8Line(fields, &line)) << Show(fields[0]);
    text += line;
  }
  Description parsed;
  char msg[kMessageSize] = "";
  EXPECT_EQ(ParseDescriptionText(file, text, &parsed, msg), 1) << Show(msg);
}

std::string Number(int32_t n) { return std::to_string(n); }

}  // namespace

// Every row is valid CP932 text in the fields, codes and forms of the
// committed description: the reader's own field checks accept them all
// (names full width, readings hiragana, codes of their parents, scale
// texts, postal codes, coordinates within Japan).
TEST(NationalData, RowsPassTheDescriptionReadersFieldChecks) {
  const Description& d = FullSet();
  std::vector<std::vector<std::string>> rows;
  for (const PrefectureRow& r : d.prefectures)
    rows.push_back({r.code, r.name, r.kana, Number(r.latitude), Number(r.longitude)});
  ExpectReaderAccepts(DescriptionFile::Prefectures, rows);
  rows.clear();
  for (const MunicipalityRow& r : d.municipalities)
    rows.push_back({r.prefectureCode, r.code, r.county, r.name, r.countyKana, r.kana,
                    Number(r.latitude), Number(r.longitude), r.status});
  ExpectReaderAccepts(DescriptionFile::Municipalities, rows);
  rows.clear();
  for (const OazaRow& r : d.oaza)
    rows.push_back({r.cityCode, r.placeCode, r.groupCode, r.representative, r.oazaName, r.oazaKana,
                    r.chomeName, r.chomeKana, Number(r.control), r.status, r.precision,
                    r.postalCode, Number(r.latitude), Number(r.longitude)});
  ExpectReaderAccepts(DescriptionFile::Oaza, rows);
  rows.clear();
  for (const BlockRow& r : d.blocks)
    rows.push_back({r.placeCode, r.code, r.name, r.status, r.residenceFlag, r.precision,
                    Number(r.latitude), Number(r.longitude)});
  ExpectReaderAccepts(DescriptionFile::Blocks, rows);

  const NationalAddresses a = MakeNationalAddresses(d, 1, 2000);
  for (const auto* list : {&a.withPrefecture, &a.withoutPrefecture, &a.notInData}) {
    ASSERT_EQ(list->size(), 2000u);
    for (const std::string& address : *list) {
      std::string utf8;
      EXPECT_TRUE(plat::cp932::ToUtf8(address, utf8)) << Show(address);
      EXPECT_LE(address.size(), static_cast<std::size_t>(kMaxSearchTextLength));
    }
  }
}

// A small set of the same shape is a data folder the matcher answers
// from: the listed addresses reach their town, the altered ones do not.
TEST(NationalData, MatcherFindsTheListedAddressesOnly) {
  NationalOptions options;
  options.percent = 5;
  const Description d = ThreePrefectures(options);
  testutil::TempDir dir;
  const std::string folder = Generate(dir, "small", d, 1);
  const NationalAddresses a = MakeNationalAddresses(d, 1, 60);
  for (const std::string& address : a.withPrefecture)
    EXPECT_GE(MatchLevel(folder, address), 3) << Show(address);
  for (const std::string& address : a.withoutPrefecture)
    EXPECT_GE(MatchLevel(folder, address), 3) << Show(address);
  for (const std::string& address : a.notInData) {
    const int level = MatchLevel(folder, address);
    EXPECT_GE(level, 0) << Show(address);
    EXPECT_LE(level, 2) << Show(address);
  }
}

// The addresses of chosen rows (the benchmarks draw rows by municipality
// size) are written as the lists are: each names its row's prefecture when
// asked to, and the matcher finds its town; oaza rows are passed over.
TEST(NationalData, AddressesOfChosenRowsAreFoundAtTheirTown) {
  NationalOptions options;
  options.percent = 5;
  const Description d = ThreePrefectures(options);
  testutil::TempDir dir;
  const std::string folder = Generate(dir, "rows", d, 1);
  std::vector<std::size_t> rows;
  std::size_t chosen = 0;
  std::size_t oazaRow = d.oaza.size();
  for (std::size_t i = 0; i < d.oaza.size(); ++i) {
    if (d.oaza[i].IsOaza()) {
      if (oazaRow == d.oaza.size()) oazaRow = i;
    } else if (i % 13 == 0) {
      rows.push_back(i);
      ++chosen;
    }
  }
  ASSERT_GE(chosen, 20u);
  ASSERT_LT(oazaRow, d.oaza.size());
  rows.push_back(oazaRow);
  const std::vector<std::string> with = NationalAddressesOfRows(d, rows, true, 7);
  const std::vector<std::string> without = NationalAddressesOfRows(d, rows, false, 7);
  ASSERT_EQ(with.size(), chosen) << "the oaza row is passed over";
  ASSERT_EQ(without.size(), chosen);
  EXPECT_EQ(NationalAddressesOfRows(d, rows, true, 7), with) << "the same for the same seed";
  for (std::size_t n = 0; n < chosen; ++n) {
    const OazaRow& r = d.oaza[rows[n]];
    const MunicipalityRow& m = d.municipalities[static_cast<std::size_t>(r.municipality)];
    const std::string& prefecture = d.prefectures[static_cast<std::size_t>(m.parent)].name;
    EXPECT_EQ(with[n].compare(0, prefecture.size(), prefecture), 0) << Show(with[n]);
    EXPECT_NE(with[n].find(m.name + r.oazaName), std::string::npos) << Show(with[n]);
    EXPECT_GE(MatchLevel(folder, with[n]), 3) << Show(with[n]);
    EXPECT_GE(MatchLevel(folder, without[n]), 3) << Show(without[n]);
  }
}

namespace {

// The oaza names of the municipality (CP932 name) of the prefecture.
std::vector<std::string> OazaNamesOf(const Description& d, const std::string& prefecture,
                                     const std::string& name) {
  std::vector<std::string> names;
  for (const OazaRow& r : d.oaza) {
    const MunicipalityRow& m = d.municipalities[static_cast<std::size_t>(r.municipality)];
    if (r.IsOaza() && m.prefectureCode == prefecture && m.name == name) names.push_back(r.oazaName);
  }
  return names;
}

// The names that hold one of the (CP932) characters.
int NamesWithAnyOf(const std::vector<std::string>& names, const std::vector<std::string>& chars) {
  int count = 0;
  for (const std::string& n : names) {
    bool found = false;
    for (std::size_t i = 0; i + 1 < n.size() && !found; i += 2) {
      for (const std::string& c : chars) found = found || n.compare(i, 2, c) == 0;
    }
    if (found) ++count;
  }
  return count;
}

std::vector<std::string> Chars(const char8_t* utf8) {
  const std::string text = Sjis(utf8);
  std::vector<std::string> chars;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) chars.push_back(text.substr(i, 2));
  return chars;
}

}  // namespace

// The towns of a large municipality are named as the postal code list names
// 富山市's: under the names of former municipalities (八尾町…, 婦中町…: a
// few of them with about a hundred towns each, a few more with tens,
// together some 40 %), in families of names made from one another with a
// word in front or after (松田, 松田新町, 下松田), with connecting kana (の, ノ,
// 之; ケ, ヶ, が) and numerals; names that differ only in kana read alike
// (ヶ and ケ, ノ, 之 and の) are one name. Many of them share their firm key,
// which is what the oaza level's table looks them up by.
TEST(NationalData, LargeMunicipalitiesNameTheirTownsAsThePostalListDoes) {
  const Description& d = FullSet();
  const std::vector<std::string> names = OazaNamesOf(d, "16", Sjis(u8"富山市"));
  ASSERT_EQ(names.size(), 1122u);

  // Former municipalities: the names by their first two characters.
  std::map<std::string, int> byHead;
  std::size_t bytes = 0;
  for (const std::string& n : names) {
    bytes += n.size();
    if (n.size() > 4) ++byHead[n.substr(0, 4)];
  }
  std::vector<int> groups;
  for (const auto& [head, count] : byHead)
    if (count >= 15) groups.push_back(count);
  std::sort(groups.rbegin(), groups.rend());
  ASSERT_GE(groups.size(), 5u);
  EXPECT_GE(groups[0], 80);
  EXPECT_GE(groups[2], 40) << "three large formers";
  int underFormers = 0;
  for (const int g : groups) underFormers += g;
  EXPECT_GE(underFormers * 100, 30 * 1122);
  EXPECT_LE(underFormers * 100, 55 * 1122);
  const double meanLength = static_cast<double>(bytes) / 2.0 / 1122.0;
  EXPECT_GE(meanLength, 3.0);
  EXPECT_LE(meanLength, 5.5);

  // Families: a name that is another town's name with words in front or
  // after it.
  const std::set<std::string> all(names.begin(), names.end());
  int family = 0;
  for (const std::string& n : names) {
    for (const std::string& m : all) {
      if (m.size() >= 4 && m.size() < n.size() &&
          (n.compare(0, m.size(), m) == 0 || n.compare(n.size() - m.size(), m.size(), m) == 0)) {
        ++family;
        break;
      }
    }
  }
  EXPECT_GE(family * 100, 20 * 1122);
  int directionHeads = 0;
  for (const std::string& n : names) {
    for (const std::string& c : Chars(u8"上下中東西北南新"))
      directionHeads += n.compare(0, 2, c) == 0;
  }
  EXPECT_GE(directionHeads * 100, 10 * 1122);

  // Kana and numerals.
  EXPECT_GE(NamesWithAnyOf(names, Chars(u8"の")), 1);
  EXPECT_GE(NamesWithAnyOf(names, Chars(u8"ノ之")), 1);
  EXPECT_GE(NamesWithAnyOf(names, Chars(u8"のノ之")), 6);
  EXPECT_GE(NamesWithAnyOf(names, Chars(u8"ケヶが")), 12);
  EXPECT_GE(NamesWithAnyOf(names, Chars(u8"ヶ")), 1);
  EXPECT_GE(NamesWithAnyOf(names, Chars(u8"一二三四五六七八九十百千")) * 100, 10 * 1122);

  // One name for the names that read alike.
  std::set<std::string> readAlike;
  for (std::string n : names) {
    std::string folded;
    for (std::size_t i = 0; i + 1 < n.size(); i += 2) {
      const std::string c = n.substr(i, 2);
      folded += c == Sjis(u8"ヶ")                        ? Sjis(u8"ケ")
                : c == Sjis(u8"ノ") || c == Sjis(u8"之") ? Sjis(u8"の")
                                                         : c;
    }
    EXPECT_TRUE(readAlike.insert(folded).second) << Show(n);
  }

  // Firm keys shared by several names, few names without one.
  NameKeyRules rules;
  rules.Finish();
  std::map<std::string, int> keys;
  for (const std::string& n : names) {
    std::string key;
    rules.KeyOf(n.c_str(), true, &key);
    ++keys[key];
  }
  int sharing = 0;
  for (const auto& [key, count] : keys)
    if (!key.empty() && count > 1) sharing += count;
  EXPECT_GE(sharing * 100, 15 * 1122);
  EXPECT_LE(keys[""] * 100, 5 * 1122);
}

// The other large municipalities are made of merged ones too: their towns
// stand under the names of their formers.
TEST(NationalData, OtherLargeMunicipalitiesHaveFormerMunicipalities) {
  const Description& d = FullSet();
  std::vector<int> rows(d.municipalities.size(), 0);
  for (const OazaRow& r : d.oaza) ++rows[static_cast<std::size_t>(r.municipality)];
  int large = 0;
  for (std::size_t m = 0; m < d.municipalities.size(); ++m) {
    const MunicipalityRow& city = d.municipalities[m];
    if (rows[m] < 500 || city.name == Sjis(u8"富山市")) continue;
    ++large;
    const std::vector<std::string> names = OazaNamesOf(d, city.prefectureCode, city.name);
    std::map<std::string, int> byHead;
    int most = 0;
    for (const std::string& n : names)
      if (n.size() > 4) most = std::max(most, ++byHead[n.substr(0, 4)]);
    EXPECT_GE(most * 10, static_cast<int>(names.size())) << city.code;
  }
  EXPECT_GE(large, 3);
}

// The named municipality's towns are made from the seed like the rest: the
// same names for the same seed, others for another seed.
TEST(NationalData, SameSeedGivesTheSameTownsOfTheLargestMunicipality) {
  NationalOptions options;
  options.seed = 3;
  options.percent = 5;
  const std::vector<std::string> first = OazaNamesOf(National(options), "16", Sjis(u8"富山市"));
  const std::vector<std::string> again = OazaNamesOf(National(options), "16", Sjis(u8"富山市"));
  options.seed = 4;
  const std::vector<std::string> other = OazaNamesOf(National(options), "16", Sjis(u8"富山市"));
  ASSERT_EQ(first.size(), 1122u);
  EXPECT_EQ(again, first);
  ASSERT_EQ(other.size(), 1122u);
  EXPECT_NE(other, first);
}
