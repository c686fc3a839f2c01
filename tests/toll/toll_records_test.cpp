// The exported value types: shared result handles across threads and
// copies of names and arrays.

#include "toll/toll_records.h"

#include <gtest/gtest.h>

#include <boost/weak_ptr.hpp>
#include <thread>

namespace {

TEST(TollResultHandle, ACopyDroppedOnAnotherThreadLeavesTheRecordAlive) {
  TollResult result(new TollResultRaw);
  result->code = -25;
  result->items.v.resize(3);
  EXPECT_EQ(result.use_count(), 1);
  {
    TollResult copy = result;
    EXPECT_EQ(result.use_count(), 2);
    EXPECT_EQ(copy.get(), result.get());
    std::thread worker([moved = std::move(copy)]() mutable { moved = TollResult(); });
    worker.join();
  }
  EXPECT_EQ(result.use_count(), 1);
  EXPECT_EQ(result->code, -25);
  EXPECT_EQ((*result).items.v.size(), 3u);
}

TEST(TollResultHandle, ManyThreadsCopyAndDropAndTheLastHandleFreesOnce) {
  TollResult result(new TollResultRaw);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([handle = result]() {
      for (int k = 0; k < 1000; ++k) {
        TollResult local = handle;
        TollResult other;
        other = local;
        EXPECT_TRUE(other);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(result.use_count(), 1);
  result = TollResult();  // the last handle: the record goes (LeakSanitizer checks it is freed)
  EXPECT_FALSE(result);
  EXPECT_EQ(result.get(), nullptr);
}

TEST(TollRecords, CopiesAreDeepAndDefaultsAsDocumented) {
  FacilName a;
  a.name = "東京";
  a.name2 = "東名高速道路";
  FacilName b(a);
  a.name[0] = 'x';
  EXPECT_EQ(b.name, std::string("東京"));
  FacilName c;
  c = b;
  b.name2.clear();
  EXPECT_EQ(c.name2, std::string("東名高速道路"));
  DiscountName d;
  EXPECT_TRUE(d.name.empty());
  d.name = "深夜割引";
  DiscountName e(d);
  d.name.clear();
  EXPECT_EQ(e.name, std::string("深夜割引"));

  TollInputParam in;
  EXPECT_EQ(in.vehicleClass, 3);
  in.items.v.push_back({5, 1, 2, 0});
  TollInputParam copy = in;
  in.items.v[0].facility = 9;
  EXPECT_EQ(copy.items.v[0].facility, 5);

  TollResultRaw raw;
  EXPECT_EQ(raw.code, 0);
  raw.profs.v.push_back(TollResultRaw::Prof());
  raw.profs.v[0].discounts3 = {0x40102};
  TollResultRaw::tProfAry profs(raw.profs);
  raw.profs.v[0].discounts3.clear();
  EXPECT_EQ(profs.v[0].discounts3.size(), 1u);
  EXPECT_EQ(profs.v[0].fee1, -1);
  TollResultRaw::Item item;
  EXPECT_EQ(item.reserved[0] + item.reserved[1] + item.reserved[2], 0);
}

}  // namespace
