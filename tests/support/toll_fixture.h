#pragma once
// The fee fixture of the toll calculation's and the toll library's tests:
// #10 and #11 entrances (key 1) and #20 exit (key 2) of group 0; the pair
// costs 1,000 yen in column 0 (classes 0 to 3), rule (1,2) takes 30 % off
// on every day and holiday.

#include <cstdint>
#include <utility>
#include <vector>

#include "tools/tollbuild/toll_writers.h"

namespace tolltest {

inline tollbuild::FacilEntry Facility(uint16_t number, uint8_t kind, uint16_t b, uint8_t d,
                                      uint16_t c = 0, uint8_t kind2 = 0) {
  tollbuild::FacilEntry e;
  e.number = number;
  e.kind = kind;
  e.kind2 = kind2;
  e.valueB = b;
  e.valueD = d;
  e.valueC = c;
  e.name = u"料金所";
  e.name2 = u"高速道路";
  return e;
}

inline tollbuild::FeeList List(uint32_t flags, std::vector<int16_t> row, uint16_t mask = 0x8000) {
  tollbuild::FeeList l;
  l.flags = flags;
  l.valueFlags = 1;
  l.rowMask = mask;
  l.rows = {std::move(row)};
  return l;
}

struct FeeFixture {
  tollbuild::FacilDat facil;
  tollbuild::TollDat toll;
  FeeFixture() {
    facil.version = toll.version = 35;
    facil.day = toll.day = 20150401;
    facil.facilities = {Facility(10, 0x02, 1, 0), Facility(11, 0x02, 1, 0),
                        Facility(20, 0x01, 2, 0)};
    toll.classes = {{0, 0}, {1, 0}, {2, 0}, {3, 0}};
    toll.lists = {List(0x01400000, {1000})};
    tollbuild::Group g;
    g.keys = {1, 2};
    g.pairs = {{1, 2, 0}};
    toll.groups = {g};
    toll.rules = {{1, 2, 0xFF00, 0, 0, 255, 255, 300, 0}};
  }
};

}  // namespace tolltest
