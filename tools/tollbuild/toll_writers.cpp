#include "tools/tollbuild/toll_writers.h"

#include <algorithm>
#include <map>

#include "common/be_bytes.h"

namespace tollbuild {
namespace {

void Put(std::string* out, uint64_t value, int bytes) {
  unsigned char b[8];
  StoreBe(b, value, bytes);
  out->append(reinterpret_cast<const char*>(b), static_cast<std::size_t>(bytes));
}

void PutAt(std::string* out, std::size_t at, uint64_t value, int bytes) {
  unsigned char b[8];
  StoreBe(b, value, bytes);
  out->replace(at, static_cast<std::size_t>(bytes), reinterpret_cast<const char*>(b),
               static_cast<std::size_t>(bytes));
}

void PutUtf16Le(std::string* out, const std::u16string& text) {
  for (char16_t u : text) {
    out->push_back(static_cast<char>(u & 0xFF));
    out->push_back(static_cast<char>(u >> 8));
  }
}

void AlignWord(std::string* out) {
  if (out->size() % 2) out->push_back('\0');
}

// Word offset of the current end, which must fit 16 bits.
bool WordHere(const std::string& out, uint16_t* words, std::string* error, const char* what) {
  if (out.size() / 2 > 0xFFFF) {
    *error = std::string(what) + " starts beyond the 16-bit word offsets";
    return false;
  }
  *words = static_cast<uint16_t>(out.size() / 2);
  return true;
}

std::string EncodeList(const FeeList& list) {
  std::string out;
  Put(&out, list.flags, 4);
  out.push_back(static_cast<char>(list.valueFlags));
  out.push_back(static_cast<char>(list.rows.size()));
  Put(&out, list.rowMask, 2);
  for (const auto& row : list.rows)
    for (int16_t v : row) Put(&out, static_cast<uint16_t>(v), 2);
  return out;
}

template <typename T>
void SortByKey(std::vector<T>* records) {
  std::stable_sort(records->begin(), records->end(), [](const T& a, const T& b) {
    return a.first * 256 + a.second < b.first * 256 + b.second;
  });
}

// A table of discount names: count, 6-byte records, then the names.
void PutNames(std::string* out, std::vector<DiscountNameEntry> names) {
  SortByKey(&names);
  Put(out, names.size(), 2);
  std::size_t textAt = 2 + 6 * names.size();
  for (const DiscountNameEntry& n : names) {
    out->push_back(static_cast<char>(n.first));
    out->push_back(static_cast<char>(n.second));
    Put(out, textAt / 2, 2);
    Put(out, 2 * n.name.size(), 2);
    textAt += 2 * n.name.size();
  }
  for (const DiscountNameEntry& n : names) PutUtf16Le(out, n.name);
  AlignWord(out);
}

}  // namespace

bool BuildFacilDat(const FacilDat& spec, std::string* image, std::string* error) {
  const int s = spec.version >= 35 ? 4 : 0;
  const bool coords = spec.version >= 34;
  const std::size_t headerBytes = static_cast<std::size_t>(16 + s + (coords ? 2 : 0));
  std::vector<FacilEntry> facilities = spec.facilities;
  std::stable_sort(facilities.begin(), facilities.end(),
                   [](const FacilEntry& a, const FacilEntry& b) { return a.number < b.number; });

  std::string out;
  Put(&out, headerBytes / 2, 2);
  Put(&out, static_cast<uint16_t>(spec.version), 2);
  Put(&out, 0, 4);
  Put(&out, spec.day, 4);
  if (s) Put(&out, spec.extra, 4);
  Put(&out, facilities.size(), 2);
  const std::size_t nameAreaField = out.size();
  Put(&out, 0, 2);
  const std::size_t coordField = out.size();
  if (coords) Put(&out, 0, 2);

  // Facility records; their name offsets are filled in below.
  std::vector<std::size_t> recordAt;
  for (const FacilEntry& f : facilities) {
    recordAt.push_back(out.size());
    Put(&out, f.number, 2);
    out.push_back(static_cast<char>(f.kind));
    out.push_back(static_cast<char>(f.kind2));
    Put(&out, f.valueA, 2);
    Put(&out, f.valueB, 2);
    out.push_back(static_cast<char>(f.valueD));
    out.push_back('\0');
    Put(&out, f.valueC, 2);
    Put(&out, 0, 2);
  }
  uint16_t nameArea = 0;
  if (!WordHere(out, &nameArea, error, "the name area")) return false;
  PutAt(&out, nameAreaField, nameArea, 2);
  const std::size_t nameStart = out.size();
  for (std::size_t k = 0; k < facilities.size(); ++k) {
    const FacilEntry& f = facilities[k];
    if (f.name.size() > 127 || f.name2.size() > 127) {
      *error = "a facility name is longer than 127 characters";
      return false;
    }
    const std::size_t rel = (out.size() - nameStart) / 2;
    if (rel > 0xFFFF) {
      *error = "the name area is larger than the 16-bit word offsets reach";
      return false;
    }
    PutAt(&out, recordAt[k] + 12, rel, 2);
    out.push_back(static_cast<char>(2 * f.name.size()));
    out.push_back(static_cast<char>(2 * f.name2.size()));
    PutUtf16Le(&out, f.name);
    PutUtf16Le(&out, f.name2);
    AlignWord(&out);
  }
  if (coords) {
    uint16_t coordTable = 0;
    if (!WordHere(out, &coordTable, error, "the coordinate table")) return false;
    PutAt(&out, coordField, coordTable, 2);
    for (const FacilEntry& f : facilities) {
      Put(&out, f.number, 2);
      Put(&out, f.second & 0xFFFFFF, 3);
      Put(&out, f.first & 0xFFFFFF, 3);
    }
  }
  *image = std::move(out);
  return true;
}

namespace {

// The toll table image as it is written: the bytes so far, the fee area
// that follows them and where each fee list lies in it.
struct TollDatWriter {
  const TollDat& spec;
  std::string* error;
  std::string out;
  std::string feeArea;
  std::vector<uint32_t> listOffset;  // words from the fee area
  std::vector<uint32_t> listWords;

  bool Fail(const char* what) {
    *error = what;
    return false;
  }
  bool ValidList(int list) const {
    return list >= 0 && static_cast<std::size_t>(list) < spec.lists.size();
  }
  // A reference to a fee list: its offset (3 bytes) and length in words;
  // 4 zero bytes for none.
  void PutListRef(int list) {
    if (list < 0) {
      Put(&out, 0, 4);
      return;
    }
    Put(&out, listOffset[static_cast<std::size_t>(list)], 3);
    out.push_back(static_cast<char>(listWords[static_cast<std::size_t>(list)]));
  }
  // The offset word of the table that starts here, into the header at `field`.
  bool MarkTable(std::size_t field, const char* what) {
    uint16_t word = 0;
    if (!WordHere(out, &word, error, what)) return false;
    PutAt(&out, field, word, 2);
    return true;
  }

  // Class block: length in words, 2 bytes, the entry count, the kept byte, the entries.
  void PutClasses() {
    const std::size_t classBytes = 6 + spec.classes.size();
    Put(&out, (classBytes + 1) / 2, 2);
    Put(&out, 0, 2);
    out.push_back(static_cast<char>(spec.classes.size()));
    out.push_back(static_cast<char>(spec.classByte));
    for (const auto& [vehicleClass, column] : spec.classes)
      out.push_back(static_cast<char>((vehicleClass << 4) | (column & 0x0F)));
    AlignWord(&out);
  }

  // Fee data offsets (words from the area) of every list, in list order.
  void BuildFeeArea() {
    for (const FeeList& l : spec.lists) {
      listOffset.push_back(static_cast<uint32_t>(feeArea.size() / 2));
      const std::string bytes = EncodeList(l);
      listWords.push_back(static_cast<uint32_t>((bytes.size() + 1) / 2));
      feeArea += bytes;
      AlignWord(&feeArea);
    }
  }

  // Facility fee index.
  bool PutFacilityFees(std::size_t field) {
    if (!MarkTable(field, "the facility fee index")) return false;
    std::vector<FeeRef> facilityFees = spec.facilityFees;
    std::stable_sort(facilityFees.begin(), facilityFees.end(),
                     [](const FeeRef& a, const FeeRef& b) { return a.key < b.key; });
    Put(&out, facilityFees.size(), 2);
    for (const FeeRef& f : facilityFees) {
      if (!ValidList(f.list)) return Fail("a facility fee names no fee list");
      Put(&out, f.key, 2);
      PutListRef(f.list);
    }
    return true;
  }

  // Group fee index, then each group's table: its keys in ascending order
  // and one entry per unordered pair, taken from the last toll point down
  // for the larger position and upwards for the smaller one:
  // (0,n-1) (1,n-1) .. (n-2,n-1), (0,n-2) .. (n-3,n-2), .., (0,1).
  bool PutGroupFees(std::size_t field) {
    if (!MarkTable(field, "the group fee index")) return false;
    const std::size_t groupIndexStart = out.size();
    Put(&out, spec.groups.size(), 2);
    std::vector<std::size_t> groupRecordAt;
    for (const Group& g : spec.groups) {
      groupRecordAt.push_back(out.size());
      Put(&out, 0, 4);
      Put(&out, g.keys.size(), 2);
    }
    for (std::size_t gi = 0; gi < spec.groups.size(); ++gi) {
      PutAt(&out, groupRecordAt[gi], (out.size() - groupIndexStart) / 2, 4);
      if (!PutGroupTable(spec.groups[gi])) return false;
    }
    return true;
  }

  bool PutGroupTable(const Group& g) {
    std::vector<uint16_t> keys = g.keys;
    std::sort(keys.begin(), keys.end());
    for (uint16_t k : keys) Put(&out, k, 2);
    std::map<std::pair<uint16_t, uint16_t>, int> byPair;
    for (const GroupPair& p : g.pairs) {
      if (std::find(keys.begin(), keys.end(), p.keyA) == keys.end() ||
          std::find(keys.begin(), keys.end(), p.keyB) == keys.end() || p.keyA == p.keyB ||
          !ValidList(p.list))
        return Fail("a group pair names a key outside its group, equal keys or no fee list");
      byPair[{std::min(p.keyA, p.keyB), std::max(p.keyA, p.keyB)}] = p.list;
    }
    for (std::size_t j = keys.size(); j-- > 1;) {
      for (std::size_t i = 0; i < j; ++i) {
        const auto found = byPair.find({keys[i], keys[j]});
        PutListRef(found == byPair.end() ? -1 : found->second);
      }
    }
    return true;
  }

  // The rule table and the first discount-name table.
  bool PutRules(std::size_t ruleField) {
    std::vector<Rule> rules = spec.rules;
    SortByKey(&rules);
    if (!MarkTable(ruleField, "the rule table")) return false;
    Put(&out, rules.size(), 2);
    for (const Rule& r : rules) {
      out.push_back(static_cast<char>(r.first));
      out.push_back(static_cast<char>(r.second));
      Put(&out, r.dayWord, 2);
      Put(&out, r.windowStart, 2);
      Put(&out, r.windowEnd, 2);
      out.push_back(static_cast<char>(r.p));
      out.push_back(static_cast<char>(r.q));
      Put(&out, r.rate, 2);
      out.push_back(static_cast<char>(r.roundingUnit));
      out.push_back('\0');
    }
    if (!MarkTable(ruleField + 4, "the first discount-name table")) return false;
    PutNames(&out, spec.names1);
    return true;
  }

  // The link table and the second discount-name table.
  bool PutLinks(std::size_t linkField) {
    std::vector<Link> links = spec.links;
    std::stable_sort(links.begin(), links.end(), [](const Link& a, const Link& b) {
      return a.first != b.first ? a.first < b.first : a.second < b.second;
    });
    if (!MarkTable(linkField, "the link table")) return false;
    Put(&out, links.size(), 2);
    for (const Link& l : links) {
      if (l.list != -1 && !ValidList(l.list)) return Fail("a link names an unknown fee list");
      Put(&out, l.first, 2);
      Put(&out, l.second, 2);
      out.push_back(static_cast<char>(l.kind));
      out.push_back(static_cast<char>(l.byte2));
      Put(&out, l.timeWord, 2);
      PutListRef(l.list);
    }
    if (!MarkTable(linkField + 4, "the second discount-name table")) return false;
    PutNames(&out, spec.names2);
    return true;
  }
};

}  // namespace

bool BuildTollDat(const TollDat& spec, std::string* image, std::string* error) {
  const int s = spec.version >= 35 ? 4 : 0;
  const int t = 26 + s + (spec.ruleBlock ? 8 : 0);
  const std::size_t headerBytes = static_cast<std::size_t>(t + (spec.linkBlock ? 6 : 0));
  for (const FeeList& l : spec.lists) {
    if (l.rows.size() > 255 || EncodeList(l).size() > 2 * 255) {
      *error = "a fee list is longer than 255 words";
      return false;
    }
  }

  TollDatWriter w{spec, error, {}, {}, {}, {}};
  std::string& out = w.out;
  Put(&out, (headerBytes + 1) / 2, 2);
  Put(&out, static_cast<uint16_t>(spec.version), 2);
  Put(&out, 0, 4);
  Put(&out, spec.day, 4);
  if (s) Put(&out, spec.extra, 4);
  const std::size_t fields = out.size();  // 12 + s
  out.resize(headerBytes, '\0');
  out[static_cast<std::size_t>(24 + s)] =
      static_cast<char>((spec.ruleBlock ? 0x80 : 0) | (spec.linkBlock ? 0x40 : 0));
  AlignWord(&out);

  w.PutClasses();
  w.BuildFeeArea();
  if (!w.PutFacilityFees(fields) || !w.PutGroupFees(fields + 4)) return false;
  if (spec.ruleBlock && !w.PutRules(static_cast<std::size_t>(26 + s))) return false;
  if (spec.linkBlock && !w.PutLinks(static_cast<std::size_t>(t))) return false;

  AlignWord(&out);
  PutAt(&out, fields + 8, out.size() / 2, 4);
  out += w.feeArea;
  *image = std::move(out);
  return true;
}

}  // namespace tollbuild
