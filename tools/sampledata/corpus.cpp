#include "tools/sampledata/corpus.h"

#include <cstdio>
#include <map>
#include <set>

#include "common/message.h"

namespace sampledata {
namespace {

// Two-kanji prefixes of the copies and their readings: 100 of them.
constexpr const char* kFirst[10] = {"東", "西", "南", "北", "上", "下", "新", "古", "大", "小"};
constexpr const char* kFirstKana[10] = {"ひがし", "にし", "みなみ", "きた", "かみ",
                                        "しも",   "しん", "ふる",   "おお", "こ"};
constexpr const char* kSecond[10] = {"山", "川", "田", "野", "原", "森", "林", "村", "里", "浜"};
constexpr const char* kSecondKana[10] = {"やま", "かわ",   "た",   "の",   "はら",
                                         "もり", "はやし", "むら", "さと", "はま"};

constexpr const char* kKanjiDigits[10] = {"〇", "一", "二", "三", "四",
                                          "五", "六", "七", "八", "九"};
constexpr const char* kWideDigits[10] = {"０", "１", "２", "３", "４",
                                         "５", "６", "７", "８", "９"};

std::string WideNumber(int n) {
  std::string s;
  for (char c : std::to_string(n)) s += kWideDigits[c - '0'];
  return s;
}

// Kanji numeral of 1..99 as written in chome names (十, 二十一).
std::string KanjiNumber(int n) {
  std::string s;
  if (n >= 20) s += kKanjiDigits[n / 10];
  if (n >= 10) s += "十";
  if (n % 10 != 0) s += kKanjiDigits[n % 10];
  return s;
}

// The number of a chome name "<kanji numeral>丁目"; 0 for another name.
int ChomeNumber(const std::string& name) {
  static const std::string kChome = "丁目";
  if (name.size() <= kChome.size() ||
      name.compare(name.size() - kChome.size(), kChome.size(), kChome) != 0)
    return 0;
  const std::string numeral = name.substr(0, name.size() - kChome.size());
  for (int n = 1; n < 100; ++n) {
    if (KanjiNumber(n) == numeral) return n;
  }
  return 0;
}

// The number of a block code ("00012"); 0 when it holds anything but digits.
int BlockNumber(const std::string& code) {
  if (code.empty()) return 0;
  int n = 0;
  for (char c : code) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n;
}

// Copy number `copy` (1 or more) of a municipality: the next free code of
// its prefecture and a name prefix made of the copy number.
bool RenameCopy(MunicipalityRow* m, int copy, const std::string& pref, int* nextCode,
                std::set<std::string>* usedCodes, char* msg) {
  std::string code;
  do {
    if (*nextCode > 999) {
      SetMessage(msg, "prefecture %s has no free municipality code", pref.c_str());
      return false;
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%03d", (*nextCode)++);
    code = pref + buffer;
  } while (usedCodes->count(code));
  usedCodes->insert(code);
  const int p = copy - 1;
  const std::string prefix = std::string(kFirst[p / 10]) + kSecond[p % 10];
  const std::string prefixKana = std::string(kFirstKana[p / 10]) + kSecondKana[p % 10];
  m->code = code;
  if (m->county.empty()) {
    m->name = prefix + m->name;
    m->kana = prefixKana + m->kana;
  } else {
    m->county = prefix + m->county;
    m->countyKana = prefixKana + m->countyKana;
  }
  return true;
}

// The town rows of municipality `from` and the blocks under them, copied to
// municipality `to`.
void CopyTownRows(const std::string& from, const std::string& to, const std::vector<OazaRow>& towns,
                  const std::map<std::string, std::vector<BlockRow>>& blocksOf,
                  std::vector<OazaRow>* oaza, std::vector<BlockRow>* blocks) {
  for (OazaRow r : towns) {
    const std::string oldPlace = r.placeCode;
    r.cityCode = to;
    r.placeCode = to + r.placeCode.substr(from.size());
    if (r.groupCode.compare(0, from.size(), from) == 0)
      r.groupCode = to + r.groupCode.substr(from.size());
    r.parent = -1;
    r.municipality = -1;
    oaza->push_back(r);
    if (r.IsOaza()) continue;  // blocks hang under aza/chome rows
    const auto b = blocksOf.find(oldPlace);
    if (b == blocksOf.end()) continue;
    for (BlockRow row : b->second) {
      row.placeCode = r.placeCode;
      row.parent = -1;
      blocks->push_back(row);
    }
  }
}

// Sixty lot addresses of a block, written in the eight forms in turn (one
// of them names a municipality that does not exist).
void AddLotAddresses(const Description& d, const BlockRow& b, int* serial,
                     std::vector<std::string>* out) {
  if (b.parent < 0) return;
  const OazaRow& chome = d.oaza[static_cast<std::size_t>(b.parent)];
  if (chome.municipality < 0) return;
  const MunicipalityRow& m = d.municipalities[static_cast<std::size_t>(chome.municipality)];
  if (m.parent < 0) return;
  const PrefectureRow& p = d.prefectures[static_cast<std::size_t>(m.parent)];
  const int block = BlockNumber(b.code);
  if (block == 0) return;
  const std::string city = m.county + m.name;
  const std::string town = chome.oazaName;
  const int chomeNumber = ChomeNumber(chome.chomeName);
  const std::string blockName = b.name.empty() ? WideNumber(block) : b.name;
  for (int lot = 1; lot <= 60; ++lot) {
    ++*serial;
    const std::string n = std::to_string(lot);
    const std::string w = WideNumber(lot);
    std::string numbers;      // "1-2-3" after the town
    std::string wideNumbers;  // "１－２－３"
    if (chomeNumber > 0) {
      numbers = std::to_string(chomeNumber) + "-";
      wideNumbers = WideNumber(chomeNumber) + "－";
    } else {
      numbers = chome.chomeName;
      wideNumbers = chome.chomeName;
    }
    numbers += std::to_string(block) + "-" + n;
    wideNumbers += WideNumber(block) + "－" + w;
    const std::string halfChome =
        chomeNumber > 0 ? std::to_string(chomeNumber) + "丁目" : chome.chomeName;
    switch (*serial % 8) {
      case 0:  // not in the data: a municipality that does not exist
        out->push_back(p.name + "幻野市" + town + numbers);
        break;
      case 1:
        out->push_back(p.name + city + town + chome.chomeName + blockName + "番" + w + "号");
        break;
      case 2:
        out->push_back(city + town + chome.chomeName + blockName + "番地" + w);
        break;
      case 3:
        out->push_back(p.name + city + town + halfChome + std::to_string(block) + "番" + n + "号");
        break;
      case 4:
        out->push_back(p.name + city + town + numbers);
        break;
      case 5:
        out->push_back(city + town + wideNumbers);
        break;
      case 6:
        out->push_back(p.name + city + town + chome.chomeName + KanjiNumber(block) + "番" +
                       KanjiNumber(lot) + "号");
        break;
      default:
        out->push_back(city + town + halfChome + std::to_string(block) + "-" + n);
        break;
    }
  }
}

}  // namespace

int ScaleDescription(Description* d, int factor, char* msg) {
  if (!d || factor < 1 || factor > 100) {
    SetMessage(msg, "scale factor %d: 1 to 100", factor);
    return 0;
  }
  if (factor == 1) return 1;
  std::set<std::string> usedCodes;
  for (const MunicipalityRow& m : d->municipalities) usedCodes.insert(m.code);

  // The rows of each municipality, in their order.
  std::map<std::string, std::vector<OazaRow>> oazaOf;
  for (const OazaRow& r : d->oaza) oazaOf[r.cityCode].push_back(r);
  std::map<std::string, std::vector<BlockRow>> blocksOf;  // by aza/chome place code
  for (const BlockRow& b : d->blocks) blocksOf[b.placeCode].push_back(b);

  std::vector<MunicipalityRow> municipalities;
  std::vector<OazaRow> oaza;
  std::vector<BlockRow> blocks;
  std::size_t i = 0;
  while (i < d->municipalities.size()) {
    // One prefecture's run of municipalities.
    std::size_t end = i;
    while (end < d->municipalities.size() &&
           d->municipalities[end].prefectureCode == d->municipalities[i].prefectureCode)
      ++end;
    const std::string pref = d->municipalities[i].prefectureCode;
    int nextCode = 0;
    for (int copy = 0; copy < factor; ++copy) {
      for (std::size_t k = i; k < end; ++k) {
        MunicipalityRow m = d->municipalities[k];
        const std::string from = m.code;
        if (copy > 0 && !RenameCopy(&m, copy, pref, &nextCode, &usedCodes, msg)) return 0;
        m.parent = -1;
        municipalities.push_back(m);
        CopyTownRows(from, m.code, oazaOf[from], blocksOf, &oaza, &blocks);
      }
    }
    i = end;
  }
  d->municipalities = std::move(municipalities);
  d->oaza = std::move(oaza);
  d->blocks = std::move(blocks);
  return ValidateDescription(d, msg);
}

std::vector<std::string> MakeAddressCorpus(const Description& d) {
  std::vector<std::string> out;
  int serial = 0;
  for (const BlockRow& b : d.blocks) AddLotAddresses(d, b, &serial, &out);
  // Block numbers under every aza/chome, most of them not in the data.
  for (const OazaRow& r : d.oaza) {
    if (r.IsOaza() || r.municipality < 0) continue;
    const MunicipalityRow& m = d.municipalities[static_cast<std::size_t>(r.municipality)];
    if (m.parent < 0) continue;
    const PrefectureRow& p = d.prefectures[static_cast<std::size_t>(m.parent)];
    const int chomeNumber = ChomeNumber(r.chomeName);
    const std::string head =
        (serial % 3 == 0 ? std::string() : p.name) + m.county + m.name + r.oazaName;
    for (int block = 1; block <= 12; ++block) {
      ++serial;
      if (chomeNumber > 0 && serial % 2 == 0)
        out.push_back(head + std::to_string(chomeNumber) + "-" + std::to_string(block));
      else
        out.push_back(head + r.chomeName + WideNumber(block) + "番地");
    }
  }
  // Towns alone, with and without the prefecture.
  for (const OazaRow& r : d.oaza) {
    if (r.municipality < 0) continue;
    const MunicipalityRow& m = d.municipalities[static_cast<std::size_t>(r.municipality)];
    if (m.parent < 0) continue;
    const PrefectureRow& p = d.prefectures[static_cast<std::size_t>(m.parent)];
    const std::string city = m.county + m.name;
    out.push_back(p.name + city + r.oazaName + r.chomeName);
    out.push_back(city + r.oazaName + r.chomeName);
    out.push_back(p.name + m.name + r.oazaName);
  }
  return out;
}

}  // namespace sampledata
