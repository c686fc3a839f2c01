// Shape thinning: one Douglas-Peucker pass per tolerance.

#include "route/shape_thinning.h"

#include <utility>

namespace {

// A pass handles at most this many points (its records keep a 16-bit
// source index).
constexpr std::size_t kMaxPassPoints = 65534;

struct Candidate {
  std::uint16_t index;  // in the pass's source list
  bool kept;
};

// One pass: the points of `source` that the tolerance keeps, in order.
void ThinPass(const std::vector<TmpItemAry::Point>& source, long double squaredTolerance,
              std::vector<TmpItemAry::Point>& out) {
  out.clear();
  if (source.size() < 2 || source.size() > kMaxPassPoints) return;
  std::vector<Candidate> cand;
  cand.reserve(source.size());
  cand.push_back({0, true});
  for (std::size_t i = 1; i < source.size(); ++i) {
    const TmpItemAry::Point& last = source[cand.back().index];
    if (source[i].x != last.x || source[i].y != last.y)
      cand.push_back({static_cast<std::uint16_t>(i), false});
  }
  if (cand.size() == 1)
    cand.push_back({static_cast<std::uint16_t>(source.size() - 1), true});
  else
    cand.back().kept = true;
  if (cand.size() > 2) {
    // Ranges of candidates still to split, kept on a stack of our own.
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    ranges.emplace_back(0, cand.size() - 1);
    while (!ranges.empty()) {
      const auto [first, last] = ranges.back();
      ranges.pop_back();
      if (last - first < 2) continue;
      const TmpItemAry::Point& a = source[cand[first].index];
      const TmpItemAry::Point& b = source[cand[last].index];
      std::size_t best = 0;
      long double bestDistance = squaredTolerance;
      for (std::size_t k = first + 1; k < last; ++k) {
        const long double d = CRPFShapeThinn::squaredDistance(source[cand[k].index], a, b);
        if (d > bestDistance) {
          bestDistance = d;
          best = k;
        }
      }
      if (best == 0) continue;
      cand[best].kept = true;
      ranges.emplace_back(best, last);
      ranges.emplace_back(first, best);
    }
  }
  for (const Candidate& c : cand)
    if (c.kept) out.push_back(source[c.index]);
}

}  // namespace

long double CRPFShapeThinn::squaredDistance(const TmpItemAry::Point& p, const TmpItemAry::Point& a,
                                            const TmpItemAry::Point& b) {
  const long double px = p.x, py = p.y, ax = a.x, ay = a.y, bx = b.x, by = b.y;
  if (a.x == b.x && a.y == b.y) return (px - ax) * (px - ax) + (py - ay) * (py - ay);
  long double u = ((by - ay) * (py - ay) + (bx - ax) * (px - ax)) /
                  ((by - ay) * (by - ay) + (bx - ax) * (bx - ax));
  if (u < 0) u = 0;
  if (u > 1) u = 1;
  const long double dy = py - (ay + u * (by - ay));
  const long double dx = px - (ax + u * (bx - ax));
  return dy * dy + dx * dx;
}

void CRPFShapeThinn::visitPoints(std::vector<TmpItemAry::Point>& points) {
  for (TmpItemAry::Point& p : points) p.level = 0;
  std::vector<TmpItemAry::Point> source(points), kept;
  // Without a tolerance array there is nothing to thin by.
  const std::int32_t count = tolerances_ ? count_ : 0;
  for (std::int32_t d = 0; d < count; ++d) {
    const double t = tolerances_[d];
    const long double squared = t < 1 ? 1.0L : static_cast<long double>(t * t);
    ThinPass(source, squared, kept);
    std::size_t cursor = 0;
    for (TmpItemAry::Point& p : points) {
      if (cursor >= kept.size()) break;
      if (p.level == d && p.x == kept[cursor].x && p.y == kept[cursor].y) {
        p.level = d + 1;
        ++cursor;
      }
    }
    source.swap(kept);
  }
}
