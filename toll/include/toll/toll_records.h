#pragma once
// The value types through which a client hands a route's toll points to
// the toll library and receives the fees back, and the handler interface
// through which the result arrives. Text is CP932.

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "toll/toll_export.h"

class Toll;

// The array wrappers of the records: each holds exactly one vector, copied
// and freed with the wrapper.
template <typename T>
class TollArray {
 public:
  TollArray() = default;
  TollArray(const TollArray& other) = default;
  TollArray& operator=(const TollArray& other) = default;
  ~TollArray() = default;
  std::vector<T> v;
};

// Input of one calculation, filled by the client.
class TOLL_API TollInputParam {
 public:
  // One toll-relevant point of the route, in driving order.
  struct Item {
    int32_t facility = 0;  // facility number; only the low 15 bits count
    uint32_t time = 0;  // passing time, packed (minute 0-5, hour 6-10, day-1 12-16, month-1 17-20,
                        // year-2000 21-31)
    int32_t dayOfWeek = 1;  // 0 to 6 as the route library's TravelClock::Week gives them
    uint8_t holiday = 0;    // 1 when the passing date is a holiday
  };
  using tItemAry = TollArray<Item>;

  int32_t vehicleClass = 3;  // 0 to 6
  uint8_t option1 = 0;       // first option byte (ETC discounts)
  uint8_t option2 = 0;       // second option byte (1: the half-fee rule)
  tItemAry items;
};

// The outcome of one calculation: created by the worker, read-only once
// handed out. Fees and totals are in yen.
class TOLL_API TollResultRaw {
 public:
  // One toll section, in route order.
  struct Item {
    int32_t entrance = 0;  // facility number, 0 when the section has none
    int32_t entranceKind = 0;
    int32_t exit = 0;
    int32_t exitKind = 0;
    int32_t discount2 = 0;  // identifier of the discount that gave fee2, 0 for none
    int32_t fee1 = 0;       // undiscounted fee
    int32_t fee2 = 0;
    int32_t discount3 = 0;  // identifier of the discount that gave fee3 (0x80000: half fee)
    int32_t fee3 = 0;
    int32_t reserved[3] = {0, 0, 0};
  };
  // One input item.
  struct Prof {
    int32_t facility = 0;
    uint8_t kind = 0;
    int32_t fee1 = -1;  // -1 when none
    std::vector<int32_t> discounts2;
    int32_t fee2 = -1;
    std::vector<int32_t> discounts3;
    int32_t fee3 = -1;
  };
  using tItemAry = TollArray<Item>;
  using tProfAry = TollArray<Prof>;

  int32_t code = 0;    // 0, or the negative code of the step that failed
  int32_t total1 = 0;  // undiscounted (yen)
  int32_t total2 = 0;  // with the discounts of the second fee (yen)
  int32_t total3 = 0;  // with the discounts of the third fee (yen)
  tItemAry items;
  tProfAry profs;
};

// A handle sharing one TollResultRaw; the count is changed atomically, so
// handles may be copied and dropped on different threads.
class TOLL_API TollResult {
 public:
  TollResult();
  explicit TollResult(TollResultRaw* raw);
  TollResult(const TollResult& other);
  TollResult& operator=(const TollResult& other);
  ~TollResult();

  TollResultRaw* operator->() const { return p_.operator->(); }
  TollResultRaw& operator*() const { return *p_; }
  explicit operator bool() const { return static_cast<bool>(p_); }
  TollResultRaw* get() const { return p_.get(); }
  long use_count() const { return p_.use_count(); }

 private:
  boost::shared_ptr<TollResultRaw> p_;
};

// The two names of one facility.
class TOLL_API FacilName {
 public:
  FacilName();
  FacilName(const FacilName& other);
  FacilName& operator=(const FacilName& other);
  ~FacilName();
  std::string name;
  std::string name2;
};

// A discount's display name.
class TOLL_API DiscountName {
 public:
  DiscountName();
  DiscountName(const DiscountName& other);
  DiscountName& operator=(const DiscountName& other);
  ~DiscountName();
  std::string name;
};

// Implemented by the client. Only onResult is called by the library; the
// dispatcher routes the others by message type, so all four exist.
class TOLL_API TollHandler {
 public:
  virtual ~TollHandler() = default;
  // The calculation ended; the int is always 0, the outcome is the record's code.
  virtual void onResult(Toll* toll, int reserved, TollResult result) = 0;
  virtual void onCancel(Toll* toll) = 0;
  virtual void onError(Toll* toll, int code) = 0;
  virtual void onNotify(Toll* toll) = 0;
};
