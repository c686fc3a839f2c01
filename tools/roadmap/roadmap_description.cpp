#include "tools/roadmap/roadmap_description.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>

#include "outside/kiwi_text.h"
#include "plat/cp932.h"

namespace roadmap {
namespace {

// Decimal, or hexadecimal after "0x".
template <typename T>
bool Int(std::string_view text, T lo, T hi, T* out) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  T v{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v, base);
  if (ec != std::errc() || end != text.data() + text.size() || v < lo || v > hi) return false;
  *out = v;
  return true;
}

// Degrees with a fraction, rounded to whole arc-seconds.
bool Degrees(std::string_view text, double lo, double hi, std::int32_t* seconds) {
  double v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || !(v >= lo && v <= hi)) return false;
  *seconds = static_cast<std::int32_t>(std::llround(v * 3600.0));
  return true;
}

bool Utf16Name(std::string_view utf8, std::u16string* out) {
  out->clear();
  if (utf8 == "-") return true;
  std::string sjis;
  return plat::cp932::FromUtf8(utf8, sjis) && plat::cp932::ToUtf16(sjis, *out);
}

bool HexBytes(std::string_view hex, std::string* out) {
  if (hex.size() % 2) return false;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    unsigned v = 0;
    const auto [end, ec] = std::from_chars(hex.data() + i, hex.data() + i + 2, v, 16);
    if (ec != std::errc() || end != hex.data() + i + 2) return false;
    out->push_back(static_cast<char>(v));
  }
  return true;
}

const Tile* FindTile(const Description& d, std::uint32_t number) {
  for (const Tile& t : d.tiles)
    if (t.number == number) return &t;
  return nullptr;
}

class Reader {
 public:
  explicit Reader(Description* d) : d_(d) {}
  // One description line, read by the reader of its record kind.
  bool Line(const std::vector<std::string_view>& f, std::string_view raw);
  bool Finish();
  std::string error;

 private:
  bool TileLine(const std::vector<std::string_view>& f);
  bool RoadLine(const std::vector<std::string_view>& f, std::string_view raw);
  bool HighwayNameLine(const std::vector<std::string_view>& f);
  bool HighwayBlockLine(const std::vector<std::string_view>& f);
  bool HighwayEntryLine(const std::vector<std::string_view>& f);
  // The records of the last road.
  bool LinkLine(const std::vector<std::string_view>& f, Road* road);
  bool CrossingLine(const std::vector<std::string_view>& f, std::string_view raw, Road* road);
  bool FacilityLine(const std::vector<std::string_view>& f, Road* road);
  bool BorderLine(const std::vector<std::string_view>& f, Road* road);

  bool Fail(const std::string& what) {
    error = what;
    return false;
  }
  Description* d_;
  std::vector<std::pair<std::uint16_t, hwbuild::KeyRecord>> keys_;
  std::uint32_t nextLink_ = 0;
};

bool Reader::Line(const std::vector<std::string_view>& f, std::string_view raw) {
  const std::string_view kind = f[0];
  if (kind == "tile") return TileLine(f);
  if (kind == "road") return RoadLine(f, raw);
  if (kind == "hname" || kind == "hshort") return HighwayNameLine(f);
  if (kind == "hblock") return HighwayBlockLine(f);
  if (kind == "hentry") return HighwayEntryLine(f);
  if (kind != "link" && kind != "crossing" && kind != "border" && kind != "facility")
    return Fail("unknown record " + std::string(kind));
  if (d_->roads.empty()) return Fail("link, crossing, border or facility before road");
  Road& road = d_->roads.back();
  if (kind == "link") return LinkLine(f, &road);
  if (kind == "crossing") return CrossingLine(f, raw, &road);
  if (kind == "facility") return FacilityLine(f, &road);
  return BorderLine(f, &road);
}

bool Reader::TileLine(const std::vector<std::string_view>& f) {
  Tile t;
  std::int32_t east = 0, north = 0;
  if (f.size() != 6 || !Int<std::uint32_t>(f[1], 1, 0xFFFFFF, &t.number) ||
      !Degrees(f[2], -180, 180, &t.west) || !Degrees(f[3], -90, 90, &t.south) ||
      !Degrees(f[4], -180, 180, &east) || !Degrees(f[5], -90, 90, &north))
    return Fail("tile <number> <west> <south> <east> <north>");
  t.width = east - t.west;
  t.height = north - t.south;
  if (t.width < 1 || t.width > 65535 || t.height < 1 || t.height > 65535)
    return Fail("tile extent out of range");
  d_->tiles.push_back(t);
  return true;
}

bool Reader::RoadLine(const std::vector<std::string_view>& f, std::string_view raw) {
  Road r;
  std::uint32_t first = 0;
  if (f.size() < 6 || !Int<std::uint32_t>(f[1], 1, 0xFFFFFF, &r.tile) ||
      !Int<std::uint32_t>(f[2], 0, 0xFFFFFFF0u, &first) ||
      !Int<std::int32_t>(f[3], -1, 0x7FFFFFFF, &r.nameNo) ||
      !Int<std::int32_t>(f[4], 0, 0xFFFF, &r.roadNo))
    return Fail("road <tile> <first link> <name number> <road number> <label>");
  if (!FindTile(*d_, r.tile)) return Fail("road in an unknown tile");
  r.label = std::string(raw.substr(static_cast<std::size_t>(f[5].data() - raw.data())));
  d_->roads.push_back(std::move(r));
  nextLink_ = first;
  return true;
}

bool Reader::HighwayNameLine(const std::vector<std::string_view>& f) {
  const std::string_view kind = f[0];
  hwbuild::NameRecord n;
  if (f.size() != 4 || !Int<std::uint16_t>(f[1], 0, 0xFFFF, &n.key) || !Utf16Name(f[2], &n.name1) ||
      !Utf16Name(f[3], &n.name2))
    return Fail(std::string(kind) + " <key> <name 1> <name 2>");
  (kind == "hname" ? d_->highway.names : d_->highway.shortNames).push_back(std::move(n));
  return true;
}

bool Reader::HighwayBlockLine(const std::vector<std::string_view>& f) {
  hwbuild::Block b;
  if (f.size() != 2 || !Int<std::uint16_t>(f[1], 0, 0xFFFF, &b.number))
    return Fail("hblock <number>");
  d_->highway.blocks.push_back(std::move(b));
  return true;
}

bool Reader::HighwayEntryLine(const std::vector<std::string_view>& f) {
  hwbuild::Entry e;
  std::uint16_t key = 0;
  if (d_->highway.blocks.empty()) return Fail("hentry before hblock");
  if (f.size() < 6 || !Int<std::uint16_t>(f[1], 0, 0xFFFF, &key) ||
      !Int<std::uint8_t>(f[2], 0, 0xFF, &e.flags) ||
      !Int<std::uint32_t>(f[3], 0, 0xFFFFFFFFu, &e.value) || !Utf16Name(f[4], &e.name1) ||
      !Utf16Name(f[5], &e.name2))
    return Fail("hentry <key> <flags> <value> <name 1> <name 2> <hex parts...>");
  for (std::size_t i = 6; i < f.size(); ++i)
    if (!HexBytes(f[i], &e.parts)) return Fail("hentry parts are hexadecimal bytes");
  hwbuild::Block& b = d_->highway.blocks.back();
  keys_.push_back({key, {key, b.number, static_cast<std::uint8_t>(b.entries.size())}});
  b.entries.push_back(std::move(e));
  return true;
}

bool Reader::LinkLine(const std::vector<std::string_view>& f, Road* road) {
  Link l;
  l.number = nextLink_++;
  if (f.size() < 5 || !Int(f[1], 0, 255, &l.roadType) || !Int(f[2], 0, 255, &l.attribute))
    return Fail("link <road type> <attribute> <lon>,<lat> ...");
  for (std::size_t i = 3; i < f.size(); ++i) {
    const std::size_t comma = f[i].find(',');
    std::int32_t x = 0, y = 0;
    if (comma == std::string_view::npos || !Degrees(f[i].substr(0, comma), -180, 180, &x) ||
        !Degrees(f[i].substr(comma + 1), -90, 90, &y))
      return Fail("a point is <lon>,<lat> in degrees");
    l.points.emplace_back(x, y);
  }
  if (!road->links.empty() && road->links.back().points.back() != l.points.front())
    return Fail("a link must start where the link before it ends");
  road->links.push_back(std::move(l));
  return true;
}

bool Reader::CrossingLine(const std::vector<std::string_view>& f, std::string_view raw,
                          Road* road) {
  int node = 0;
  if (f.size() < 3 || !Int(f[1], 0, 16, &node)) return Fail("crossing <node> <name>");
  road->crossings.emplace_back(
      node, std::string(raw.substr(static_cast<std::size_t>(f[2].data() - raw.data()))));
  return true;
}

bool Reader::FacilityLine(const std::vector<std::string_view>& f, Road* road) {
  Facility fac;
  if (f.size() != 6 || !Int(f[1], 0, 16, &fac.node) ||
      !Int<std::uint16_t>(f[2], 0, 0xFFFF, &fac.number) ||
      !Int<std::uint16_t>(f[3], 0, 0xFFFF, &fac.entering) ||
      !Int<std::uint16_t>(f[4], 0, 0xFFFF, &fac.leaving) ||
      !Int<std::uint16_t>(f[5], 0, 0xFFFF, &fac.passing))
    return Fail("facility <node> <facility> <entering toll> <leaving toll> <passing toll>");
  road->facilities.push_back(fac);
  return true;
}

bool Reader::BorderLine(const std::vector<std::string_view>& f, Road* road) {
  Border b;
  if (f.size() < 3 || !Int(f[1], 0, 16, &b.node)) return Fail("border <node> <link number> ...");
  for (std::size_t i = 2; i < f.size(); ++i) {
    std::uint32_t link = 0;
    if (!Int<std::uint32_t>(f[i], 0, 0xFFFFFFFFu, &link))
      return Fail("border <node> <link number> ...");
    b.links.push_back(link);
  }
  road->borders.push_back(std::move(b));
  return true;
}

bool Reader::Finish() {
  // Key records ascending by key; equal keys keep the order of the entries.
  for (std::size_t i = 1; i < keys_.size(); ++i)
    for (std::size_t j = i; j > 0 && keys_[j - 1].first > keys_[j].first; --j)
      std::swap(keys_[j - 1], keys_[j]);
  for (const auto& k : keys_) d_->highway.keys.push_back(k.second);
  for (const Road& r : d_->roads)
    if (r.links.empty()) return Fail("a road without links");
  return true;
}

}  // namespace

bool LoadDescription(const std::string& nativePath, Description* out, std::string* error) {
  std::ifstream in(nativePath, std::ios::binary);
  if (!in) {
    *error = "cannot open " + nativePath;
    return false;
  }
  Description d;
  Reader reader(&d);
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto f = KiwiFields(line);
    if (f.empty() || f[0][0] == '#') continue;
    if (!reader.Line(f, line)) {
      *error = "line " + std::to_string(lineNo) + ": " + reader.error;
      return false;
    }
  }
  if (!reader.Finish()) {
    *error = reader.error;
    return false;
  }
  *out = std::move(d);
  return true;
}

bool MapFileText(const Description& d, std::string* out, std::string* error) {
  std::ostringstream s;
  s << "KIWI 1\n";
  for (const Tile& t : d.tiles)
    s << "TILE " << t.number << ' ' << t.west << ' ' << t.south << ' ' << t.width << ' ' << t.height
      << '\n';
  for (const Road& r : d.roads) {
    const Tile* tile = FindTile(d, r.tile);
    s << "# " << r.label << '\n'
      << "ROAD " << r.tile << ' ' << r.links.front().number << ' ' << r.nameNo << ' ' << r.roadNo
      << '\n';
    for (const Link& l : r.links) {
      s << "LINK " << l.roadType << ' ' << l.attribute;
      for (std::size_t i = 0; i < l.points.size(); ++i) {
        const std::int32_t x = l.points[i].first - tile->west;
        const std::int32_t y = l.points[i].second - tile->south;
        if (x < 0 || y < 0 || x > tile->width || y > tile->height) {
          *error = "link " + std::to_string(l.number) + " leaves its tile";
          return false;
        }
        if (i > 0) {
          // Cut a long step into equal steps of at most 127 seconds.
          const std::int32_t px = l.points[i - 1].first - tile->west;
          const std::int32_t py = l.points[i - 1].second - tile->south;
          const std::int32_t longest = std::max(std::abs(x - px), std::abs(y - py));
          const std::int32_t steps = (longest + 126) / 127;
          for (std::int32_t k = 1; k < steps; ++k)
            s << ' ' << px + (x - px) * k / steps << ',' << py + (y - py) * k / steps;
        }
        s << ' ' << x << ',' << y;
      }
      s << '\n';
    }
    for (const auto& [node, name] : r.crossings) s << "NODE " << node << " GUIDE " << name << '\n';
    for (const Facility& fac : r.facilities)
      s << "NODE " << fac.node << " FACILITY " << fac.number << ' ' << fac.entering << ' '
        << fac.leaving << ' ' << fac.passing << '\n';
    for (const Border& b : r.borders) {
      s << "NODE " << b.node << " BORDER";
      std::uint32_t target = 0;
      std::ostringstream places;
      for (std::uint32_t link : b.links) {
        bool found = false;
        for (const Road& other : d.roads) {
          // Records are numbered per tile in file order.
          int record = 0;
          for (const Road& before : d.roads) {
            if (&before == &other) break;
            if (before.tile == other.tile) ++record;
          }
          if (link >= other.links.front().number && link <= other.links.back().number) {
            if (target != 0 && target != other.tile) {
              *error = "a border leads into two tiles";
              return false;
            }
            target = other.tile;
            places << ' ' << record << ':' << link - other.links.front().number;
            found = true;
          }
        }
        if (!found) {
          *error = "a border leads to link " + std::to_string(link) + ", which no road has";
          return false;
        }
      }
      s << ' ' << target << places.str() << '\n';
    }
  }
  *out = s.str();
  return true;
}

}  // namespace roadmap
