#include "tools/tollbuild/toll_description.h"

#include <charconv>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

namespace tollbuild {
namespace {

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    std::size_t j = i;
    while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r') ++j;
    if (j > i) out.push_back(line.substr(i, j - i));
    i = j;
  }
  return out;
}

bool Number(const std::string& text, int64_t lower, int64_t upper, int64_t* out) {
  int base = 10;
  std::size_t start = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    start = 2;
  }
  int64_t v = 0;
  const char* first = text.data() + start;
  const char* last = text.data() + text.size();
  const auto r = std::from_chars(first, last, v, base);
  if (r.ec != std::errc() || r.ptr != last || first == last) return false;
  if (v < lower || v > upper) return false;
  *out = v;
  return true;
}

// "hh:mm" as hour x 256 + minute.
bool Clock(const std::string& text, uint16_t* out) {
  int64_t h = 0, m = 0;
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos || !Number(text.substr(0, colon), 0, 48, &h) ||
      !Number(text.substr(colon + 1), 0, 59, &m))
    return false;
  *out = static_cast<uint16_t>(h * 256 + m);
  return true;
}

bool Utf16(const std::string& utf8, std::u16string* out) {
  out->clear();
  if (utf8 == "-") return true;  // an empty name
  std::size_t i = 0;
  while (i < utf8.size()) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    uint32_t cp = 0;
    int more = 0;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      more = 1;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      more = 2;
    } else {
      return false;  // nothing beyond the BMP here
    }
    if (i + static_cast<std::size_t>(more) >= utf8.size()) return false;
    for (int k = 1; k <= more; ++k) {
      const unsigned char t = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    out->push_back(static_cast<char16_t>(cp));
    i += static_cast<std::size_t>(more) + 1;
  }
  return true;
}

// Day letters: 日 (day 0, bit 15) to 土 (day 6, bit 9), 祝 holidays (bit 8).
bool Days(const std::string& utf8, uint16_t* word) {
  static const char16_t kLetters[] = u"日月火水木金土祝";
  std::u16string text;
  if (!Utf16(utf8, &text)) return false;
  *word = 0;
  for (char16_t c : text) {
    int k = 0;
    while (k < 8 && kLetters[k] != c) ++k;
    if (k == 8) return false;
    *word = static_cast<uint16_t>(*word | (1u << (15 - k)));
  }
  return true;
}

struct Parser {
  FacilDat* facil;
  TollDat* toll;
  std::map<std::string, int> lists;  // list name -> index
  std::map<int, std::vector<int>> listRowItems;
  std::string error;
  int line = 0;

  bool Fail(const std::string& what) {
    error = "line " + std::to_string(line) + ": " + what;
    return false;
  }
  bool Num(const std::string& text, int64_t lower, int64_t upper, int64_t* out, const char* what) {
    if (!Number(text, lower, upper, out))
      return Fail(std::string("bad ") + what + " \"" + text + "\"");
    return true;
  }
  bool ListRef(const std::string& name, bool optional, int* out) {
    if (optional && name == "-") {
      *out = -1;
      return true;
    }
    const auto found = lists.find(name);
    if (found == lists.end()) return Fail("unknown fee list \"" + name + "\"");
    *out = found->second;
    return true;
  }

  // The number of fields a line kind takes, its kind word included.
  bool Need(const std::vector<std::string>& f, std::size_t n) {
    if (f.size() != n) return Fail(f[0] + " needs " + std::to_string(n - 1) + " fields");
    return true;
  }

  // One description line, read by the reader of its kind.
  bool Line(const std::vector<std::string>& f) {
    using Reader = bool (Parser::*)(const std::vector<std::string>&);
    static const std::map<std::string, Reader> kReaders = {
        {"header", &Parser::HeaderLine},     {"class", &Parser::ClassLine},
        {"facility", &Parser::FacilityLine}, {"list", &Parser::ListLine},
        {"row", &Parser::RowLine},           {"group", &Parser::GroupLine},
        {"pair", &Parser::PairLine},         {"single", &Parser::SingleLine},
        {"link", &Parser::LinkLine},         {"rule", &Parser::RuleLine},
        {"name", &Parser::NameLine},
    };
    const auto found = kReaders.find(f[0]);
    if (found == kReaders.end()) return Fail("unknown line kind \"" + f[0] + "\"");
    return (this->*found->second)(f);
  }

  bool HeaderLine(const std::vector<std::string>& f) {
    int64_t v[3] = {};
    if (!Need(f, 4) || !Num(f[1], 0, 0xFFFFFFFF, &v[0], "conversion day") ||
        !Num(f[2], 0, 0xFFFFFFFF, &v[1], "further value") ||
        !Num(f[3], 0, 255, &v[2], "class byte"))
      return false;
    facil->day = toll->day = static_cast<uint32_t>(v[0]);
    facil->extra = toll->extra = static_cast<uint32_t>(v[1]);
    toll->classByte = static_cast<uint8_t>(v[2]);
    return true;
  }

  bool ClassLine(const std::vector<std::string>& f) {
    int64_t v[2] = {};
    if (!Need(f, 3) || !Num(f[1], 0, 15, &v[0], "vehicle class") ||
        !Num(f[2], 0, 15, &v[1], "column"))
      return false;
    toll->classes.emplace_back(static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]));
    return true;
  }

  bool FacilityLine(const std::vector<std::string>& f) {
    int64_t v[9] = {};
    if (!Need(f, 12)) return false;
    FacilEntry e;
    if (!Num(f[1], 0, 0x7FFF, &v[0], "facility number") || !Num(f[2], 0, 255, &v[1], "kind") ||
        !Num(f[3], 0, 255, &v[2], "second kind byte") || !Num(f[4], 0, 0xFFFF, &v[3], "value A") ||
        !Num(f[5], 0, 0xFFFF, &v[4], "value B") || !Num(f[7], 0, 0xFFFF, &v[6], "value C") ||
        !Num(f[10], 0, 0x7FFFFF, &v[7], "first coordinate") ||
        !Num(f[11], 0, 0x7FFFFF, &v[8], "second coordinate"))
      return false;
    if (f[6] == "-")
      v[5] = 255;
    else if (!Num(f[6], 0, 254, &v[5], "group"))
      return false;
    if (!Utf16(f[8], &e.name) || !Utf16(f[9], &e.name2)) return Fail("bad name");
    for (const FacilEntry& other : facil->facilities)
      if (other.number == v[0]) return Fail("facility " + f[1] + " given twice");
    e.number = static_cast<uint16_t>(v[0]);
    e.kind = static_cast<uint8_t>(v[1]);
    e.kind2 = static_cast<uint8_t>(v[2]);
    e.valueA = static_cast<uint16_t>(v[3]);
    e.valueB = static_cast<uint16_t>(v[4]);
    e.valueD = static_cast<uint8_t>(v[5]);
    e.valueC = static_cast<uint16_t>(v[6]);
    e.first = static_cast<uint32_t>(v[7]);
    e.second = static_cast<uint32_t>(v[8]);
    facil->facilities.push_back(e);
    return true;
  }

  bool ListLine(const std::vector<std::string>& f) {
    int64_t v[2] = {};
    if (f.size() != 5 && f.size() != 6) return Fail("list needs 4 or 5 fields");
    if (lists.count(f[1])) return Fail("fee list \"" + f[1] + "\" given twice");
    FeeList l;
    if (!Num(f[2], 0, 255, &v[0], "rule group")) return false;
    l.flags = static_cast<uint32_t>(v[0]) << 24;
    if (f[3] != "-") {
      std::stringstream items(f[3]);
      std::string item;
      while (std::getline(items, item, ',')) {
        if (!Num(item, 1, 24, &v[1], "rule item")) return false;
        l.flags |= 1u << (24 - v[1]);
      }
    }
    if (f[4] == "yen")
      l.valueFlags = 1;
    else if (f[4] == "tens")
      l.valueFlags = 0;
    else
      return Fail("value unit must be yen or tens");
    if (f.size() == 6) {
      if (f[5] != "one-row") return Fail("unknown list option \"" + f[5] + "\"");
      l.flags |= 1;
    }
    l.rowMask = 0;
    lists[f[1]] = static_cast<int>(toll->lists.size());
    toll->lists.push_back(l);
    return true;
  }

  bool RowLine(const std::vector<std::string>& f) {
    int64_t v[2] = {};
    if (f.size() < 4) return Fail("row needs a list, an item and values");
    int list = 0;
    if (!ListRef(f[1], false, &list) || !Num(f[2], 1, 16, &v[0], "row item")) return false;
    FeeList& l = toll->lists[static_cast<std::size_t>(list)];
    std::vector<int>& items = listRowItems[list];
    if (!items.empty() && items.back() >= v[0]) return Fail("rows must follow in item order");
    std::vector<int16_t> row;
    for (std::size_t k = 3; k < f.size(); ++k) {
      if (!Num(f[k], -32768, 32767, &v[1], "fee value")) return false;
      row.push_back(static_cast<int16_t>(v[1]));
    }
    if (!l.rows.empty() && l.rows.front().size() != row.size())
      return Fail("every row of a list has the same number of columns");
    items.push_back(static_cast<int>(v[0]));
    l.rowMask = static_cast<uint16_t>(l.rowMask | (1u << (16 - v[0])));
    l.rows.push_back(row);
    return true;
  }

  bool GroupLine(const std::vector<std::string>& f) {
    int64_t v[2] = {};
    if (f.size() < 3 || !Num(f[1], 0, 254, &v[0], "group"))
      return f.size() < 3 ? Fail("group needs keys") : false;
    if (v[0] != static_cast<int64_t>(toll->groups.size()))
      return Fail("groups must be numbered 0, 1, ... in order");
    Group g;
    for (std::size_t k = 2; k < f.size(); ++k) {
      if (!Num(f[k], 0, 0xFFFF, &v[1], "toll-point key")) return false;
      g.keys.push_back(static_cast<uint16_t>(v[1]));
    }
    toll->groups.push_back(g);
    return true;
  }

  bool PairLine(const std::vector<std::string>& f) {
    int64_t v[3] = {};
    int list = 0;
    if (!Need(f, 5) || !Num(f[1], 0, 254, &v[0], "group") || !Num(f[2], 0, 0xFFFF, &v[1], "key") ||
        !Num(f[3], 0, 0xFFFF, &v[2], "key") || !ListRef(f[4], false, &list))
      return false;
    if (v[0] >= static_cast<int64_t>(toll->groups.size())) return Fail("pair of an unknown group");
    toll->groups[static_cast<std::size_t>(v[0])].pairs.push_back(
        {static_cast<uint16_t>(v[1]), static_cast<uint16_t>(v[2]), list});
    return true;
  }

  bool SingleLine(const std::vector<std::string>& f) {
    int64_t v[1] = {};
    int list = 0;
    if (!Need(f, 3) || !Num(f[1], 0, 0xFFFF, &v[0], "fee key") || !ListRef(f[2], false, &list))
      return false;
    toll->facilityFees.push_back({static_cast<uint16_t>(v[0]), list});
    return true;
  }

  bool LinkLine(const std::vector<std::string>& f) {
    int64_t v[6] = {};
    int list = 0;
    if (!Need(f, 8) || !Num(f[1], 0, 0xFFFF, &v[0], "facility") ||
        !Num(f[2], 0, 0xFFFF, &v[1], "facility") || !Num(f[3], 0, 255, &v[2], "link kind") ||
        !Num(f[4], 0, 255, &v[3], "second byte") || !Num(f[5], 0, 1, &v[4], "flag") ||
        !Num(f[6], 0, 0x3FFF, &v[5], "minutes") || !ListRef(f[7], true, &list))
      return false;
    Link l;
    l.first = static_cast<uint16_t>(v[0]);
    l.second = static_cast<uint16_t>(v[1]);
    l.kind = static_cast<uint8_t>(v[2]);
    l.byte2 = static_cast<uint8_t>(v[3]);
    l.timeWord = static_cast<uint16_t>((v[4] << 15) | v[5]);
    l.list = list;
    toll->links.push_back(l);
    return true;
  }

  bool RuleLine(const std::vector<std::string>& f) {
    int64_t v[7] = {};
    if (!Need(f, 12)) return false;
    Rule r;
    uint16_t days = 0;
    if (!Num(f[1], 0, 255, &v[0], "rule group") || !Num(f[2], 0, 255, &v[1], "rule item"))
      return false;
    if (!Days(f[3], &days)) return Fail("bad day letters \"" + f[3] + "\"");
    if (!Num(f[4], 0, 7, &v[2], "mode")) return false;
    uint16_t bits = 0;
    if (f[5] != "-") {
      for (char c : f[5]) {
        if (c == 'E')
          bits |= 0x04;  // considered only with the first option byte
        else if (c == 'X')
          bits |= 0x08;  // exclusive
        else if (c == 'R')
          bits |= 0x80;  // exempt from the same-date repeat exclusion
        else
          return Fail("rule flags are E, X and R");
      }
    }
    if (!Clock(f[6], &r.windowStart) || !Clock(f[7], &r.windowEnd)) return Fail("bad window hh:mm");
    if (f[8] == "-")
      r.p = 255;
    else if (!Num(f[8], 0, 254, &v[3], "value P"))
      return false;
    else
      r.p = static_cast<uint8_t>(v[3]);
    if (f[9] == "-")
      r.q = 255;
    else if (!Num(f[9], 1, 16, &v[4], "row Q"))
      return false;
    else
      r.q = static_cast<uint8_t>(v[4]);
    if (!Num(f[10], 0, 1000, &v[5], "rate") || !Num(f[11], 0, 255, &v[6], "rounding unit"))
      return false;
    r.first = static_cast<uint8_t>(v[0]);
    r.second = static_cast<uint8_t>(v[1]);
    r.dayWord = static_cast<uint16_t>(days | (v[2] << 4) | bits);
    r.rate = static_cast<uint16_t>(v[5]);
    r.roundingUnit = static_cast<uint8_t>(v[6]);
    toll->rules.push_back(r);
    return true;
  }

  bool NameLine(const std::vector<std::string>& f) {
    int64_t v[3] = {};
    DiscountNameEntry n;
    if (!Need(f, 5) || !Num(f[1], 1, 2, &v[0], "name table") ||
        !Num(f[2], 0, 255, &v[1], "key byte") || !Num(f[3], 0, 255, &v[2], "key byte"))
      return false;
    // The transit table is looked up by (first byte, 0): another second
    // byte could never be found.
    if (v[0] == 2 && v[2] != 0) return Fail("a transit name's second key byte must be 0");
    if (!Utf16(f[4], &n.name)) return Fail("bad name");
    n.first = static_cast<uint8_t>(v[1]);
    n.second = static_cast<uint8_t>(v[2]);
    (v[0] == 1 ? toll->names1 : toll->names2).push_back(n);
    return true;
  }
};

}  // namespace

bool ParseTollDescription(const std::string& utf8, int version, FacilDat* facil, TollDat* toll,
                          std::string* error) {
  *facil = FacilDat();
  *toll = TollDat();
  facil->version = toll->version = version;
  Parser p{facil, toll, {}, {}, {}, 0};
  std::stringstream in(utf8);
  std::string text;
  while (std::getline(in, text)) {
    ++p.line;
    const std::vector<std::string> f = Fields(text);
    if (f.empty() || f[0][0] == '#') continue;
    if (!p.Line(f)) {
      *error = p.error;
      return false;
    }
  }
  for (std::size_t k = 0; k < toll->lists.size(); ++k)
    if (toll->lists[k].rows.empty()) {
      *error = "a fee list has no rows";
      return false;
    }
  return true;
}

bool LoadTollDescription(const std::string& nativePath, int version, FacilDat* facil, TollDat* toll,
                         std::string* error) {
  std::ifstream in(nativePath, std::ios::binary);
  if (!in) {
    *error = "cannot open " + nativePath;
    return false;
  }
  std::stringstream all;
  all << in.rdbuf();
  return ParseTollDescription(all.str(), version, facil, toll, error);
}

}  // namespace tollbuild
