#include "outside/kiwi.h"

#include <charconv>
#include <cstdio>
#include <string_view>

#include "outside/kiwi_text.h"
#include "plat/cp932.h"
#include "plat/file.h"

using kiwi_detail::RoadRecord;
using kiwi_detail::Tile;

namespace {

constexpr std::int32_t kUnitsPerTileStep = 1024;  // 1 arc-second in route units
constexpr std::uint32_t kChainEnd = 0x01FFFFFFu;
constexpr int kMaxLinksPerRecord = 16;
constexpr int kMaxRecordsPerTile = 4096;
constexpr int kMaxNodesPerRecord = 512;
constexpr int kMaxInnerPoints = 1023;
constexpr std::uint32_t kMaxTileNumber = 0xFFFFFF;

void PutBe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void SetBe(std::uint8_t* at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * (bytes - 1 - i)));
}

template <typename T>
bool Number(std::string_view text, T lo, T hi, T* out) {
  T value{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi)
    return false;
  *out = value;
  return true;
}

struct Point {
  int x = 0, y = 0;
};

bool ParsePoint(std::string_view text, int width, int height, Point* p) {
  const std::size_t comma = text.find(',');
  return comma != std::string_view::npos && Number(text.substr(0, comma), 0, width, &p->x) &&
         Number(text.substr(comma + 1), 0, height, &p->y);
}

// A border crossing waiting for every tile to be known.
struct PendingBorder {
  std::size_t tileIndex = 0;
  int record = 0;
  int node = 0;
  std::uint32_t target = 0;
  std::vector<std::pair<int, int>> links;  // (record, place) in the target tile
  int lineNo = 0;
};

// Road record under construction: points of its links until it is closed.
struct OpenRoad {
  std::size_t tileIndex = 0;
  int record = -1;
  std::vector<std::vector<Point>> links;  // shape points per link
  std::vector<std::pair<std::uint8_t, std::uint8_t>> kinds;
  std::vector<int> linkLines;  // the line of each LINK record
  std::vector<std::pair<int, std::u16string>> guides;
  std::vector<PendingBorder> borders;
};

class Loader {
 public:
  bool Load(std::string_view text, std::vector<std::shared_ptr<Tile>>* tiles, std::string* error);

 private:
  bool Fail(const char* what) {
    char buf[256];
    std::snprintf(buf, sizeof buf, "地図ファイルの%d行目が正しくありません(%s)", lineNo_, what);
    *error_ = buf;
    return false;
  }
  // One line of the map description, read by the reader of its kind.
  bool Line(const std::vector<std::string_view>& f, std::string_view raw);
  bool TileLine(const std::vector<std::string_view>& f);
  bool RoadLine(const std::vector<std::string_view>& f);
  bool LinkLine(const std::vector<std::string_view>& f);
  bool NodeLine(const std::vector<std::string_view>& f, std::string_view raw);
  bool FacilityNode(const std::vector<std::string_view>& f, int node);
  bool GuideNode(const std::vector<std::string_view>& f, std::string_view raw, int node);
  bool BorderNode(const std::vector<std::string_view>& f, int node);
  bool CloseRoad();
  bool ResolveBorders();
  Tile& CurrentTile() { return *tiles_[road_.tileIndex]; }

  std::vector<std::shared_ptr<Tile>> tiles_;
  std::vector<PendingBorder> borders_;
  OpenRoad road_;
  std::string* error_ = nullptr;
  int lineNo_ = 0;
};

bool Loader::Load(std::string_view text, std::vector<std::shared_ptr<Tile>>* tiles,
                  std::string* error) {
  error_ = error;
  bool header = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view raw = text.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo_;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    const auto f = KiwiFields(raw);
    if (f.empty() || f[0][0] == '#') continue;
    if (!header) {
      if (f.size() != 2 || f[0] != "KIWI" || f[1] != "1") return Fail("先頭はKIWI 1");
      header = true;
      continue;
    }
    if (!Line(f, raw)) return false;
  }
  if (!header) {
    lineNo_ = 1;
    return Fail("先頭はKIWI 1");
  }
  if (!CloseRoad() || !ResolveBorders()) return false;
  if (tiles_.empty()) return Fail("タイルがありません");
  *tiles = std::move(tiles_);
  return true;
}

bool Loader::Line(const std::vector<std::string_view>& f, std::string_view raw) {
  const std::string_view kind = f[0];
  if (kind == "TILE") return TileLine(f);
  if (kind == "ROAD") return RoadLine(f);
  if (road_.record < 0) return Fail("ROAD の前に LINK または NODE があります");
  if (kind == "LINK") return LinkLine(f);
  if (kind == "NODE") return NodeLine(f, raw);
  return Fail("不明な行です");
}

bool Loader::TileLine(const std::vector<std::string_view>& f) {
  if (!CloseRoad()) return false;
  auto tile = std::make_shared<Tile>();
  std::int32_t west = 0, south = 0, width = 0, height = 0;
  if (f.size() != 6 || !Number<std::uint32_t>(f[1], 1, kMaxTileNumber, &tile->number) ||
      !Number(f[2], -648000, 648000, &west) || !Number(f[3], -324000, 324000, &south) ||
      !Number(f[4], 1, 65535, &width) || !Number(f[5], 1, 65535, &height))
    return Fail("TILE 番号 西端 南端 幅 高さ");
  tile->range = {west * kUnitsPerTileStep, south * kUnitsPerTileStep, width * kUnitsPerTileStep,
                 height * kUnitsPerTileStep};
  for (const auto& other : tiles_) {
    const KwRect& a = tile->range;
    const KwRect& b = other->range;
    if (other->number == tile->number) return Fail("タイル番号が重複しています");
    if (a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height)
      return Fail("タイルが重なっています");
  }
  tiles_.push_back(std::move(tile));
  return true;
}

bool Loader::RoadLine(const std::vector<std::string_view>& f) {
  if (!CloseRoad()) return false;
  std::uint32_t number = 0, first = 0;
  KwRouteData data;
  if ((f.size() != 3 && f.size() != 5) ||
      !Number<std::uint32_t>(f[1], 1, kMaxTileNumber, &number) ||
      !Number<std::uint32_t>(f[2], 0, 0xFFFFFFF0u, &first) ||
      (f.size() == 5 && (!Number<std::int32_t>(f[3], -1, 0x7FFFFFFF, &data.nameNo) ||
                         !Number<std::int32_t>(f[4], 0, 0x7FFFFFFF, &data.roadNo))))
    return Fail("ROAD タイル 先頭リンク番号 [名称番号 路線番号]");
  std::size_t index = 0;
  while (index < tiles_.size() && tiles_[index]->number != number) ++index;
  if (index == tiles_.size()) return Fail("ROAD のタイルがありません");
  if (tiles_[index]->records.size() >= static_cast<std::size_t>(kMaxRecordsPerTile))
    return Fail("道路が多すぎます");
  road_ = OpenRoad{};
  road_.tileIndex = index;
  road_.record = static_cast<int>(tiles_[index]->records.size());
  tiles_[index]->records.emplace_back();
  tiles_[index]->records.back().firstLink = first;
  tiles_[index]->records.back().routeData = std::move(data);
  return true;
}

bool Loader::LinkLine(const std::vector<std::string_view>& f) {
  const Tile& tile = CurrentTile();
  const int width = tile.range.width / kUnitsPerTileStep;
  const int height = tile.range.height / kUnitsPerTileStep;
  int type = 0, attr = 0;
  if (f.size() < 5 || !Number(f[1], 0, 255, &type) || !Number(f[2], 0, 255, &attr))
    return Fail("LINK 種別 属性 点 点 ...");
  if (road_.links.size() >= static_cast<std::size_t>(kMaxLinksPerRecord))
    return Fail("一つの道路のリンクが多すぎます");
  std::vector<Point> points;
  for (std::size_t i = 3; i < f.size(); ++i) {
    Point p;
    if (!ParsePoint(f[i], width, height, &p)) return Fail("点がタイルの外か書式が違います");
    if (!points.empty() && (p.x - points.back().x < -128 || p.x - points.back().x > 127 ||
                            p.y - points.back().y < -128 || p.y - points.back().y > 127))
      return Fail("点の間隔が大きすぎます");
    points.push_back(p);
  }
  if (points.size() - 2 > static_cast<std::size_t>(kMaxInnerPoints)) return Fail("点が多すぎます");
  if (!road_.links.empty() && (road_.links.back().back().x != points.front().x ||
                               road_.links.back().back().y != points.front().y))
    return Fail("前のリンクの終点から始まっていません");
  road_.links.push_back(std::move(points));
  road_.kinds.emplace_back(static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(attr));
  road_.linkLines.push_back(lineNo_);
  return true;
}

bool Loader::NodeLine(const std::vector<std::string_view>& f, std::string_view raw) {
  int node = 0;
  if (f.size() < 4 || !Number(f[1], 0, kMaxLinksPerRecord, &node))
    return Fail("NODE 番号 GUIDE 名称 / NODE 番号 BORDER タイル 道路:位置 ...");
  if (f[2] == "FACILITY") return FacilityNode(f, node);
  for (const auto& g : road_.guides)
    if (g.first == node) return Fail("ノードが重複しています");
  for (const auto& b : road_.borders)
    if (b.node == node) return Fail("ノードが重複しています");
  if (f[2] == "GUIDE") return GuideNode(f, raw, node);
  if (f[2] == "BORDER") return BorderNode(f, node);
  return Fail("NODE の種類は GUIDE か BORDER");
}

bool Loader::FacilityNode(const std::vector<std::string_view>& f, int node) {
  KwFacility fac;
  fac.node = node;
  if (f.size() != 7 || !Number<std::uint16_t>(f[3], 0, 0xFFFF, &fac.facility) ||
      !Number<std::uint16_t>(f[4], 0, 0xFFFF, &fac.entering) ||
      !Number<std::uint16_t>(f[5], 0, 0xFFFF, &fac.leaving) ||
      !Number<std::uint16_t>(f[6], 0, 0xFFFF, &fac.passing))
    return Fail("NODE 番号 FACILITY 施設番号 入口料金 出口料金 通過料金");
  auto& facilities =
      CurrentTile().records[static_cast<std::size_t>(road_.record)].routeData.facilities;
  for (const KwFacility& other : facilities)
    if (other.node == node) return Fail("ノードが重複しています");
  facilities.push_back(fac);
  return true;
}

bool Loader::GuideNode(const std::vector<std::string_view>& f, std::string_view raw, int node) {
  const auto at = static_cast<std::size_t>(f[3].data() - raw.data());
  std::string_view name = raw.substr(at);
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
  std::string sjis;
  std::u16string units;
  if (!plat::cp932::FromUtf8(name, sjis) || !plat::cp932::ToUtf16(sjis, units) ||
      units.size() > 0x7FFF)
    return Fail("名称を変換できません");
  road_.guides.emplace_back(node, std::move(units));
  return true;
}

bool Loader::BorderNode(const std::vector<std::string_view>& f, int node) {
  PendingBorder b;
  b.tileIndex = road_.tileIndex;
  b.record = road_.record;
  b.node = node;
  b.lineNo = lineNo_;
  if (f.size() < 5 || !Number<std::uint32_t>(f[3], 1, kMaxTileNumber, &b.target))
    return Fail("BORDER タイル 道路:位置 ...");
  for (std::size_t i = 4; i < f.size(); ++i) {
    const std::size_t colon = f[i].find(':');
    int rec = 0, place = 0;
    if (colon == std::string_view::npos ||
        !Number(f[i].substr(0, colon), 0, kMaxRecordsPerTile - 1, &rec) ||
        !Number(f[i].substr(colon + 1), 0, kMaxLinksPerRecord - 1, &place))
      return Fail("BORDER の行き先は 道路:位置");
    b.links.emplace_back(rec, place);
  }
  road_.borders.push_back(std::move(b));
  return true;
}

// Encodes the open road record's bytes.
bool Loader::CloseRoad() {
  if (road_.record < 0) return true;
  Tile& tile = CurrentTile();
  RoadRecord& rec = tile.records[static_cast<std::size_t>(road_.record)];
  const int m = static_cast<int>(road_.links.size());
  if (m == 0) return Fail("リンクのない道路があります");
  if (rec.firstLink > 0xFFFFFFFFu - static_cast<std::uint32_t>(m)) return Fail("リンク番号");
  // Link numbers are unique over the whole map: the first link that
  // repeats a number of a road read before is named by its line.
  for (int k = 0; k < m; ++k) {
    const std::uint32_t number = rec.firstLink + static_cast<std::uint32_t>(k);
    for (const auto& t : tiles_)
      for (const RoadRecord& other : t->records)
        if (other.linkCount > 0 && number >= other.firstLink &&
            number - other.firstLink < static_cast<std::uint32_t>(other.linkCount)) {
          lineNo_ = road_.linkLines[static_cast<std::size_t>(k)];
          return Fail("リンク番号が重複しています");
        }
  }
  rec.linkCount = m;
  for (int k = 0; k < m; ++k) {
    rec.links.push_back(road_.kinds[static_cast<std::size_t>(k)].first);
    rec.links.push_back(road_.kinds[static_cast<std::size_t>(k)].second);
    rec.links.push_back(0);
    rec.links.push_back(0);
    const auto& pts = road_.links[static_cast<std::size_t>(k)];
    PutBe(rec.segments, static_cast<std::uint32_t>(pts.size() - 2), 2);
    PutBe(rec.segments, static_cast<std::uint32_t>(pts[0].x), 2);
    PutBe(rec.segments, static_cast<std::uint32_t>(pts[0].y), 2);
    for (std::size_t i = 1; i + 1 < pts.size(); ++i) {
      rec.segments.push_back(
          static_cast<std::uint8_t>(static_cast<std::int8_t>(pts[i].x - pts[i - 1].x)));
      rec.segments.push_back(
          static_cast<std::uint8_t>(static_cast<std::int8_t>(pts[i].y - pts[i - 1].y)));
    }
    // The last inner point's step to the end point must fit as well: it is
    // the next segment's start, checked when the link was read.
  }
  const Point& end = road_.links.back().back();
  PutBe(rec.segments, 0, 2);
  PutBe(rec.segments, static_cast<std::uint32_t>(end.x), 2);
  PutBe(rec.segments, static_cast<std::uint32_t>(end.y), 2);
  rec.nodes.assign(static_cast<std::size_t>(m + 1) * 8, 0);
  for (const auto& [node, name] : road_.guides) {
    if (node > m) return Fail("ノード番号が道路のノード数を超えています");
    const std::size_t offset = tile.guide.size();
    if (offset > 0xFFFFFF) return Fail("案内データが大きすぎます");
    PutBe(tile.guide, static_cast<std::uint32_t>(name.size() * 2), 2);
    for (char16_t u : name) {
      tile.guide.push_back(static_cast<std::uint8_t>(u & 0xFF));
      tile.guide.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    SetBe(&rec.nodes[static_cast<std::size_t>(node) * 8 + 4],
          0x20000000u | static_cast<std::uint32_t>(offset), 4);
  }
  for (const KwFacility& fac : rec.routeData.facilities)
    if (fac.node > m) return Fail("ノード番号が道路のノード数を超えています");
  for (auto& b : road_.borders) {
    if (b.node > m) return Fail("ノード番号が道路のノード数を超えています");
    borders_.push_back(std::move(b));
  }
  road_ = OpenRoad{};
  return true;
}

bool Loader::ResolveBorders() {
  for (const PendingBorder& b : borders_) {
    lineNo_ = b.lineNo;
    const Tile* target = nullptr;
    for (const auto& t : tiles_)
      if (t->number == b.target) target = t.get();
    if (!target || target->number == tiles_[b.tileIndex]->number)
      return Fail("BORDER の行き先のタイルがありません");
    for (const auto& [rec, place] : b.links)
      if (rec >= static_cast<int>(target->records.size()) ||
          place >= target->records[static_cast<std::size_t>(rec)].linkCount)
        return Fail("BORDER の行き先のリンクがありません");
    RoadRecord& rec = tiles_[b.tileIndex]->records[static_cast<std::size_t>(b.record)];
    const std::size_t chainStart = rec.nodes.size() / 8;
    if (chainStart + b.links.size() > static_cast<std::size_t>(kMaxNodesPerRecord))
      return Fail("ノードが多すぎます");
    rec.nodes.resize(rec.nodes.size() + b.links.size() * 8, 0);
    // Path node, then one chain node per further candidate, then the end word.
    std::size_t at = static_cast<std::size_t>(b.node);
    for (std::size_t i = 0; i < b.links.size(); ++i) {
      const std::size_t next = chainStart + i;
      std::uint8_t* n = &rec.nodes[at * 8];
      n[0] = 0x20;
      SetBe(n + 1, b.target, 3);
      SetBe(n + 4,
            (static_cast<std::uint32_t>(b.links[i].second) << 21) |
                (static_cast<std::uint32_t>(b.links[i].first) << 9) |
                static_cast<std::uint32_t>(next),
            4);
      at = next;
    }
    std::uint8_t* last = &rec.nodes[at * 8];
    last[0] = 0x20;
    SetBe(last + 1, b.target, 3);
    SetBe(last + 4, kChainEnd, 4);
  }
  return true;
}

void FillView(const RoadRecord& rec, int record, int place, KwRoad::Link* view) {
  view->link = &rec.links[static_cast<std::size_t>(place) * 4];
  view->attrIndex = 1;
  view->firstLinkNo = rec.firstLink;
  view->segmentCount = rec.linkCount;
  view->segments = rec.segments.data();
  view->segmentBytes = rec.segments.size();
  view->nodes = rec.nodes.data();
  view->nodeCount = static_cast<int>(rec.nodes.size() / 8);
  view->place = place;
  view->record = record;
}

}  // namespace

std::vector<std::string_view> KiwiFields(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

KwPoint KwBase::xy2LL(int x, int y) const {
  return {tile_->range.x + x * kUnitsPerTileStep, tile_->range.y + y * kUnitsPerTileStep};
}

bool KwRoad::findLink(std::uint32_t linkNo, Link* view) const {
  const auto& records = tile_->records;
  for (std::size_t r = 0; r < records.size(); ++r) {
    const RoadRecord& rec = records[r];
    if (linkNo >= rec.firstLink &&
        linkNo - rec.firstLink < static_cast<std::uint32_t>(rec.linkCount)) {
      if (view) FillView(rec, static_cast<int>(r), static_cast<int>(linkNo - rec.firstLink), view);
      return true;
    }
  }
  return false;
}

bool KwRoad::getLink(int place, int record, Link* view) const {
  if (record < 0 || record >= static_cast<int>(tile_->records.size())) return false;
  const RoadRecord& rec = tile_->records[static_cast<std::size_t>(record)];
  if (place < 0 || place >= rec.linkCount) return false;
  if (view) FillView(rec, record, place, view);
  return true;
}

KwInnerPtr<KwRoad> KwRoad::adjRoad(KiwiHandle* handle, Node* node) const {
  if (!handle || !node || !node->data || (node->data[0] & 0x20) == 0) return {};
  const std::uint32_t number = (static_cast<std::uint32_t>(node->data[1]) << 16) |
                               (static_cast<std::uint32_t>(node->data[2]) << 8) | node->data[3];
  if (number == tile_->number) return {};
  return handle->roadOfTile(number);
}

const KwRouteData* KwRoad::routeData(int record) const {
  if (record < 0 || record >= static_cast<int>(tile_->records.size())) return nullptr;
  return &tile_->records[static_cast<std::size_t>(record)].routeData;
}

KwInnerPtr<KwRoad> KwMap::getRoad() const {
  return KwInnerPtr<KwRoad>(std::make_shared<KwRoad>(tile_));
}

bool KiwiHandle::init(const char* path) {
  tiles_.clear();
  lastError_.clear();
  plat::File file;
  std::uint64_t length = 0;
  if (!path || !file.Open(path, plat::ModeRead | plat::ShareDenyWrite) || !file.GetLength(length) ||
      length > (64u << 20)) {
    char buf[512];
    std::snprintf(buf, sizeof buf, "地図ファイルを開けません(%s)", path ? path : "");
    lastError_ = buf;
    return false;
  }
  std::string text(static_cast<std::size_t>(length), '\0');
  if (file.Read(text.data(), text.size()) != text.size()) {
    lastError_ = "地図ファイルを読めません";
    return false;
  }
  std::vector<std::shared_ptr<Tile>> tiles;
  Loader loader;
  if (!loader.Load(text, &tiles, &lastError_)) return false;
  for (auto& t : tiles) tiles_.push_back(std::move(t));
  return true;
}

std::shared_ptr<const Tile> KiwiHandle::tileAt(int x, int y) const {
  for (const auto& t : tiles_) {
    const KwRect& r = t->range;
    if (static_cast<std::int64_t>(x) >= r.x &&
        static_cast<std::int64_t>(x) <= static_cast<std::int64_t>(r.x) + r.width &&
        static_cast<std::int64_t>(y) >= r.y &&
        static_cast<std::int64_t>(y) <= static_cast<std::int64_t>(r.y) + r.height)
      return t;
  }
  return nullptr;
}

KwInnerPtr<KwMap> KiwiHandle::getMap(int level, int x, int y) const {
  if (level != Pelvo::P2) return {};
  auto tile = tileAt(x, y);
  if (!tile) return {};
  return KwInnerPtr<KwMap>(std::make_shared<KwMap>(std::move(tile)));
}

KwInnerPtr<KwGuide> KiwiHandle::getGuide(int level, int x, int y) const {
  if (level != Pelvo::P2) return {};
  auto tile = tileAt(x, y);
  if (!tile) return {};
  return KwInnerPtr<KwGuide>(std::make_shared<KwGuide>(std::move(tile)));
}

KwInnerPtr<KwRoad> KiwiHandle::roadOfTile(std::uint32_t number) const {
  for (const auto& t : tiles_)
    if (t->number == number) return KwInnerPtr<KwRoad>(std::make_shared<KwRoad>(t));
  return {};
}

std::vector<std::uint32_t> KiwiHandle::tileNumbers() const {
  std::vector<std::uint32_t> out;
  for (const auto& t : tiles_) out.push_back(t->number);
  return out;
}

KiwiHandleForALLDATA::KiwiHandleForALLDATA(int /*cacheSize*/, bool /*shared*/) {}
