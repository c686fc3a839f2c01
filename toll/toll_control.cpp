#include "toll/toll_control.h"

#include "toll/toll_calendar.h"

namespace {

TollPassage Passage(const TollSectionHalf& h) {
  TollPassage p;
  p.facility = h.facil.number;
  p.time = h.time;
  p.dayOfWeek = h.dayOfWeek;
  p.holiday = h.holiday;
  return p;
}

TimeWindowRule Window(const TollDiscountRule& r) {
  TimeWindowRule w;
  w.dayWord = r.dayWord;
  w.windowStart = r.windowStart;
  w.windowEnd = r.windowEnd;
  return w;
}

// The date part of a packed time.
uint32_t DateOf(uint32_t packed) { return packed >> 12; }

// Minutes from a to b, both packed.
int64_t MinutesBetween(uint32_t a, uint32_t b) {
  const auto minuteOfDay = [](uint32_t t) {
    return static_cast<int64_t>(((t >> 6) & 0x1F) * 60 + (t & 0x3F));
  };
  return static_cast<int64_t>(daysBetween(a, b)) * 1440 + minuteOfDay(b) - minuteOfDay(a);
}

// Rule keys whose discounts are not for vehicle classes other than 0, 1 and 3.
bool SkippedForClass(int group, int item) {
  const int key = group * 256 + item;
  return key == 0x108 || key == 0x109 || key == 0x208 || key == 0x209 || key == 0x1007;
}

}  // namespace

int32_t roundFee(int32_t amount, int32_t unit) {
  if (unit == 0) unit = 10;
  if (unit == 1) return amount;
  const int32_t r = amount % unit;
  if (r < unit / 2) return amount - r;
  return amount - r + unit;
}

int32_t applyDiscountRate(int32_t amount, int32_t rate, int32_t unit) {
  // The exact value amount x (1000 - rate) / 1000, rounded down.
  const int64_t product = static_cast<int64_t>(amount) * (1000 - static_cast<int64_t>(rate));
  int64_t q = product / 1000;
  if (product % 1000 != 0 && product < 0) --q;
  return roundFee(static_cast<int32_t>(q), unit);
}

TollControl::~TollControl() {
  table_.close();
  facil_.close();
}

int TollControl::open(const char* tollPath, const char* facilPath, bool check) {
  if (!table_.open(tollPath)) return kTollNoTable;
  if (!facil_.open(facilPath)) return kTollNoFacil;
  if (check) {
    const int c = CheckTollData(table_, facil_);
    if (c != 0) return c;
  }
  const int h = table_.readHeader();
  if (h != 0) return h;
  if (!facil_.readHeader()) return kTollNoFacility;
  return kTollOk;
}

int TollControl::facility(int number, TollFacilRecord* out) {
  return facil_.readFacility(number, out);
}

int TollControl::facilityCoordinates(int number, int32_t* first, int32_t* second) {
  return facil_.readCoordinates(number, first, second);
}

bool TollControl::discountName(int table, int first, int second, std::string* name) {
  return table_.discountName(table, first, second, name);
}

TollSection* TollControl::takeSection(int facility, int code) {
  for (TollSection& s : sections_) {
    if (s.taken) continue;
    if ((s.entrance.code == code && s.entrance.facil.number == facility &&
         s.entrance.facil.number != 0) ||
        (s.exit.code == code && s.exit.facil.number == facility && s.exit.facil.number != 0)) {
      s.taken = 1;
      return &s;
    }
  }
  return nullptr;
}

TollSection* TollControl::openSection() {
  for (TollSection& s : sections_)
    if (s.state == kSectionOpen) return &s;
  return nullptr;
}

bool TollControl::kind4Link(int from, int to) const { return !table_.linksOf(from, to, 4).empty(); }

TollSectionHalf TollControl::half(std::size_t item, const TollFacilRecord& facil, int code) const {
  const TollInputParam::Item& in = input_->items.v[item];
  TollSectionHalf h;
  h.facil = facil;
  h.time = in.time;
  h.dayOfWeek = in.dayOfWeek;
  h.holiday = in.holiday;
  h.code = code;
  return h;
}

int TollControl::calc(const TollInputParam& input) {
  input_ = &input;
  sections_.clear();
  points_.clear();
  code_ = 0;
  total1_ = total2_ = total3_ = 0;
  column_ = table_.classColumn(input.vehicleClass);
  int c = checkPairs();
  if (c == 0) c = buildSections();
  for (std::size_t i = 0; c == 0 && i < sections_.size(); ++i) {
    if (sections_[i].state == kSectionComplete && sections_[i].entrance.code != 4)
      c = computeFees(sections_[i], i);
  }
  if (c == 0) c = linkFees();
  if (c != 0) return c;
  for (const TollSection& s : sections_) {
    total1_ += s.fee1;
    total2_ += s.fee2;
    total3_ += s.fee3;
  }
  return kTollOk;
}

// Reads the facility of every point and checks each pair of consecutive
// points as soon as both are read, so that an impossible pair is reported
// before a later point that cannot be read.
int TollControl::checkPairs() {
  const std::vector<TollInputParam::Item>& items = input_->items.v;
  for (std::size_t i = 0; i < items.size(); ++i) {
    TollFacilRecord r;
    if (facil_.readFacility(items[i].facility, &r) != 0) return kTollNoFacility;
    points_.push_back(r);
    if (i == 0) continue;
    const TollFacilRecord& a = points_[i - 1];
    const int f = a.kind;
    const int g = points_[i].kind;
    const bool sameArea = ((f ^ g) & 0x20) == 0;
    if ((f & 0x02) && (g & 0x02) && sameArea) {
      bool linked = false;
      for (const TollLink& l : table_.linksTouching(a.number)) linked = linked || l.kind == 4;
      if (!linked) return kTollBadSequence;
      continue;
    }
    if (((f & 0x01) && (g & 0x01) && sameArea) || ((f & 0x02) && (g & 0x04) && !(g & 0x01)) ||
        ((f & 0x04) && !(f & 0x02) && (g & 0x01)))
      return kTollBadSequence;
  }
  return 0;
}

// The section builders for point i; false ends the calculation.
// B3 (code 3, complete) and B2 (code 2, open): inside an open section only a
// kind-4 link from its entrance lets the point pass.
bool TollControl::passOrAppend(std::size_t i, int code, int32_t state) {
  const TollFacilRecord& point = points_[i];
  if (TollSection* open = openSection())
    return kind4Link(open->entrance.facil.number, point.number);
  TollSection s;
  s.entrance = half(i, point, code);
  s.state = state;
  sections_.push_back(s);
  return true;
}

bool TollControl::appendEntranceOnly(std::size_t i) {  // B6
  TollSection s;
  s.entrance = half(i, points_[i], 6);
  s.state = kSectionEntranceOnly;
  sections_.push_back(s);
  return true;
}

bool TollControl::closeSection(std::size_t i, int code) {  // B1 (code 1), B5 (code 5)
  const TollFacilRecord& point = points_[i];
  if (TollSection* open = openSection()) {
    open->exit = half(i, point, code);
    open->state = (code == 5 || open->entrance.code == 2) ? kSectionComplete : kSectionDropped;
    return true;
  }
  TollSection s;
  s.exit = half(i, point, code);
  s.state = kSectionDropped;
  sections_.push_back(s);
  return true;
}

bool TollControl::passLinkPoint(std::size_t i) {  // B4
  const TollFacilRecord& point = points_[i];
  bool junction = false;
  for (const TollLink& l : table_.linksTouching(point.number)) junction = junction || l.kind == 100;
  if (!junction) {
    TollSection s;
    s.entrance = half(i, point, 4);
    s.state = kSectionComplete;
    sections_.push_back(s);
  } else if (TollSection* open = openSection()) {
    open->passed.push_back(point.number);
  } else {
    TollSection s;
    s.state = kSectionOpen;
    s.passed.push_back(point.number);
    sections_.push_back(s);
  }
  return true;
}

// The builders that point i's kind calls for, in order.
bool TollControl::buildSection(std::size_t i) {
  const TollFacilRecord& point = points_[i];
  const int k = point.kind;
  auto single = [&]() { return passOrAppend(i, 3, kSectionComplete); };
  auto opening = [&]() { return passOrAppend(i, 2, kSectionOpen); };
  if ((k & 0x20) && (k & 0x04) && (k & 0x02)) return single() && opening() && appendEntranceOnly(i);
  if ((k & 0x20) && (k & 0x04) && (k & 0x01)) {
    bool ok = closeSection(i, 5);
    const TollFacilRecord* prev = i > 0 ? &points_[i - 1] : nullptr;
    const bool skipClose1 = prev && (prev->kind & 0x01) && (prev->kind & 0x10) &&
                            !table_.linksOf(prev->number, point.number, 6).empty();
    if (ok && !skipClose1) ok = closeSection(i, 1);
    return ok && single();
  }
  if ((k & 0x20) && (k & 0x02) && !(k & 0x04)) return appendEntranceOnly(i);
  if ((k & 0x20) && (k & 0x01) && !(k & 0x04) && !(k & 0x02)) return closeSection(i, 5);
  if ((k & 0x04) && (k & 0x02)) return single() && opening();
  if ((k & 0x04) && (k & 0x01)) return closeSection(i, 1) && single();
  if (k & 0x02) return opening();
  if (k & 0x01) return closeSection(i, 1);
  if (!(k & 0x04)) return (k & 0x08) ? passLinkPoint(i) : false;
  return single();
}

int TollControl::buildSections() {
  for (std::size_t i = 0; i < points_.size(); ++i)
    if (!buildSection(i)) return kTollBadSequence;
  for (TollSection& s : sections_)
    if (s.state != kSectionComplete && s.state != kSectionDropped) s.state = kSectionDropped;
  return 0;
}

int TollControl::computeFees(TollSection& section, std::size_t index) {
  const TollSectionHalf& in = section.entrance;
  uint32_t offset = 0, words = 0;
  if (in.code == 3) {
    if (!table_.facilityFeeList(in.facil.valueC, &offset, &words)) return kTollNoFeeList;
  } else if (!table_.groupFeeList(in.facil.valueD, in.facil.valueB, section.exit.facil.valueB,
                                  &offset, &words)) {
    if (in.facil.valueB != section.exit.facil.valueB) return kTollNoFeeList;
    const std::vector<TollLink> uturn =
        table_.linksOf(in.facil.number, section.exit.facil.number, 5);
    if (uturn.empty()) return kTollNoFeeList;
    offset = uturn.front().listOffset;
    words = uturn.front().listWords;
  }
  TollTable::FeeDataList list;
  if (!table_.readFeeList(offset, words, &list)) return kTollNoFeeList;

  const bool free = in.code == 3 && (in.facil.kind & 0x40) && input_->option1 == 0;
  if (free) {
    section.fee1 = section.fee2 = section.fee3 = 0;
  } else {
    int32_t base = 0;
    if (TollTable::feeValue(list, 1, column_, &base) != 0) return kTollNoFeeList;
    section.fee3 = base;
    section.fee1 = section.fee2 = base < 0 ? 0 : base;
    // A free section runs no discount rules: an exclusive rule would
    // otherwise charge for it.
    const int c = discountLoop(section, index, list, section.entrance, &section.exit, nullptr);
    if (c != 0) return c;
  }

  // The half-fee rule.
  const int vehicleClass = input_->vehicleClass;
  if ((vehicleClass == 1 || vehicleClass == 3) && input_->option2 == 1) {
    const int32_t half = section.fee2 / 2;
    if (half == section.fee3) {
      section.discount3 = kHalfFee;
    } else if (half < section.fee3) {
      section.discount3 = kHalfFee;
      TollDiscountRule rule;
      section.fee3 = table_.findRule(list.group(), 1, &rule) ? roundFee(half, rule.roundingUnit)
                                                             : roundFee(half, 0);
    }
  }
  return 0;
}

bool TollControl::repeatExcluded(const TollDiscountRule& rule, std::size_t index,
                                 const TollSectionHalf& entry, const TollSectionHalf* exit) {
  // A section holds the rule when its third fee came from it, whatever
  // identifier a later step (the half-fee rule) left on the section.
  const auto holds = [&](const TollSection& s) {
    return s.group3 == rule.first && s.item3 == rule.second;
  };
  // A trip continued over a link from the previous section's entrance is
  // the same trip: it keeps the discount, whatever held it earlier.
  if (index > 0) {
    const TollSection& previous = sections_[index - 1];
    if (holds(previous) &&
        !table_.linksOf(previous.entrance.facil.number, entry.facil.number).empty())
      return false;
  }
  const TimeWindowRule window = Window(rule);
  const TollPassage none;
  // The date a rule counts for: the entrance's when the rule applies to
  // that passage alone, else the exit's.
  auto dateFor = [&](const TollSectionHalf& in, const TollSectionHalf* out) {
    if (ruleApplies(window, Passage(in), none) || !out) return DateOf(in.time);
    return DateOf(out->time);
  };
  const uint32_t today = dateFor(entry, exit);
  for (std::size_t k = 0; k < index; ++k) {
    const TollSection& other = sections_[k];
    if (holds(other) && dateFor(other.entrance, &other.exit) == today) return true;
  }
  return false;
}

// Runs the discount rules of a list's items for one section (link == null)
// or for one link evaluated into target.
int TollControl::discountLoop(TollSection& target, std::size_t index,
                              const TollTable::FeeDataList& list, const TollSectionHalf& entry,
                              const TollSectionHalf* exit, const TollLink* link) {
  const int vehicleClass = input_->vehicleClass;
  const bool classWithAll = vehicleClass == 0 || vehicleClass == 1 || vehicleClass == 3;
  bool exclusive = false;
  for (uint8_t item : list.items) {
    if (!link && !classWithAll && SkippedForClass(list.group(), item)) continue;
    TollDiscountRule rule;
    if (!table_.findRule(list.group(), item, &rule)) return kTollNoDiscount;
    const bool always = (rule.dayWord & 0x08) != 0;
    if (!always && exclusive) continue;
    if (!link && (rule.dayWord & 0x04) && input_->option1 == 0) continue;
    const TollPassage none;
    const bool applies =
        link ? ruleApplies(Window(rule), Passage(*exit), none)
             : ruleApplies(Window(rule), Passage(entry), exit ? Passage(*exit) : none);
    if (!applies) continue;
    if (!(rule.dayWord & 0x80) && repeatExcluded(rule, index, entry, exit)) continue;
    int32_t value = 0;
    const int got = rule.q != 255 ? TollTable::feeValue(list, rule.q, column_, &value)
                                  : TollTable::feeValue(list, -1, column_, &value);
    if (got != 0) return kTollNoDiscount;
    if ((list.flags & 1) || rule.q == 255)
      value = applyDiscountRate(value, rule.rate, rule.roundingUnit);
    const bool take =
        always ? (!exclusive || value < target.fee3) : (!exclusive && value < target.fee3);
    if (!take) continue;
    target.fee3 = value;
    if (link) {
      const int32_t id = kLinkFee + link->kind * 256 + link->byte2;
      target.discount3 = id;
      target.group3 = link->kind;
      target.item3 = link->byte2;
      if (!(link->timeWord & 0x8000) && value < target.fee2) {
        target.fee2 = value;
        target.discount2 = id;
      }
    } else {
      target.discount3 = kThirdFeeRule + rule.key();
      target.group3 = rule.first;
      target.item3 = rule.second;
      if (!(rule.dayWord & 0x04) && value < target.fee2) {
        target.fee2 = value;
        target.discount2 = kSecondFeeRule + rule.key();
      }
    }
    if (always) exclusive = true;
  }
  return 0;
}

int TollControl::evaluateLinks(const std::vector<TollLink>& links, const TollSectionHalf& entry,
                               const TollSectionHalf& exit, TollSection& target,
                               std::size_t index) {
  for (const TollLink& link : links) {
    if (link.kind >= 110 && link.kind <= 150) continue;
    if ((link.timeWord & 0x8000) && input_->option1 == 0) continue;
    const int minutes = link.timeWord & 0x3FFF;
    if (minutes != 0 && MinutesBetween(entry.time, exit.time) > minutes) continue;
    // Passing links and junctions carry no fee list: nothing to add.
    if (link.listWords == 0) continue;
    TollTable::FeeDataList list;
    if (!table_.readFeeList(link.listOffset, link.listWords, &list)) return kTollNoFeeList;
    const int32_t id = kLinkFee + link.kind * 256 + link.byte2;
    if (list.hasRow(1)) {
      int32_t value = 0;
      if (TollTable::feeValue(list, 1, column_, &value) != 0) return kTollNoDiscount;
      target.fee3 = value;
      target.discount3 = id;
      if (!(link.timeWord & 0x8000)) {
        target.fee2 = value;
        target.discount2 = id;
      }
    }
    const int c = discountLoop(target, index, list, entry, &exit, &link);
    if (c != 0) return c;
  }
  return 0;
}

int TollControl::linkFees() {
  for (std::size_t s = 0; s < sections_.size(); ++s) {
    const TollSectionHalf& in = sections_[s].entrance;
    if (in.facil.number == 0 || !(in.facil.kind2 & 0x01)) continue;
    const int from = in.facil.number;
    const std::vector<TollLink> own = table_.linksOf(from, sections_[s].exit.facil.number);
    if (!own.empty()) {
      const TollSectionHalf exit = sections_[s].exit;
      const int c = evaluateLinks(own, in, exit, sections_[s], s);
      if (c != 0) return c;
    }
    for (std::size_t t = s + 1; t < sections_.size(); ++t) {
      const TollSectionHalf entry = sections_[s].entrance;
      const std::vector<TollLink> toEntrance =
          table_.linksOf(from, sections_[t].entrance.facil.number);
      if (!toEntrance.empty()) {
        const TollSectionHalf other = sections_[t].entrance;
        const int c = evaluateLinks(toEntrance, entry, other, sections_[t], t);
        if (c != 0) return c;
        break;
      }
      const std::vector<TollLink> toExit = table_.linksOf(from, sections_[t].exit.facil.number);
      if (!toExit.empty()) {
        const TollSectionHalf other = sections_[t].exit;
        const int c = evaluateLinks(toExit, entry, other, sections_[t], t);
        if (c != 0) return c;
        break;
      }
    }
  }
  return 0;
}
