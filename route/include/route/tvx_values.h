#pragma once
// The small value types of the route library's interface: a date and time
// packed into one 32-bit word, an integer longitude/latitude pair and the
// base of every node (position and name). Hosts build and read them
// directly.

#include <cstdint>

#include "route/tvx_export.h"

// A date and time in one word: minute in bits 0-5, hour 6-10, bit 11 zero,
// day - 1 in 12-16, month - 1 in 17-20, year - 2000 in 21-31. All ones
// means no data. Packed real dates compare in time order as unsigned
// numbers.
class TVXROUTE_API CDateTime {
 public:
  static constexpr std::uint32_t kNoData = 0xFFFFFFFFu;

  CDateTime(std::uint32_t word = kNoData) : word_(word) {}
  // The arguments are not checked; the year field receives year - 2000 for
  // the years 2000 to 4047 (the carry out of the word is lost).
  CDateTime(int year, int month, int day, int hour, int minute) {
    set(year, month, day, hour, minute);
  }
  CDateTime(const CDateTime& other) = default;
  CDateTime& operator=(const CDateTime& other) = default;
  ~CDateTime() {}

  void set(int year, int month, int day, int hour, int minute);
  operator unsigned int() const { return word_; }

  int getYear() const { return static_cast<int>((word_ >> 21) + 2000u); }
  int getMon() const { return static_cast<int>(((word_ >> 17) & 0xFu) + 1u); }
  int getDay() const { return static_cast<int>(((word_ >> 12) & 0x1Fu) + 1u); }
  int getHour() const { return static_cast<int>((word_ >> 6) & 0x1Fu); }
  int getMin() const { return static_cast<int>(word_ & 0x3Fu); }

  // Each setter replaces its field. The value is not masked: one too wide
  // for its field runs on into the fields above it.
  void setYear(int year);
  void setMon(int month);
  void setDay(int day);
  void setHour(int hour);
  void setMin(int minute);

  bool isNoData() const { return word_ == kNoData; }
  void setNoData() { word_ = kNoData; }

 private:
  std::uint32_t word_;
};

namespace TvxRoute {

// A position in the integer units of the map data: longitude and latitude
// in 1/1024 arc-second on the Tokyo datum (degrees x 3600 x 1024); (-1, -1)
// = not set.
class TVXROUTE_API LonLat {
 public:
  LonLat(int lon = -1, int lat = -1) : lon(lon), lat(lat) {}
  LonLat(const LonLat& other) = default;
  LonLat& operator=(const LonLat& other) = default;

  std::int32_t lon;
  std::int32_t lat;
};

// The position and the name of a condition or result node. The name is a
// heap copy owned by the node, zero-terminated, null when there is none.
class TVXROUTE_API NodeBase : public LonLat {
 public:
  ~NodeBase();

  const char* getName() const { return name_; }
  // Stores a fresh copy of name, or no name for null. The node's own name
  // may be passed.
  void setName(const char* name);

 protected:
  NodeBase() = default;
  NodeBase(const NodeBase& other);
  NodeBase& operator=(const NodeBase& other);

 private:
  char* name_ = nullptr;
};

// Release() of the library's objects: ends the object with its virtual
// destructor, so that it is freed by the library that made it.
class TVXROUTE_API Releasable {
 public:
  void Release();

 protected:
  Releasable() = default;
  virtual ~Releasable() = default;
};

// Release() for a pointer that may be null: does nothing for null.
template <typename T>
void Release(T* object) {
  if (object != nullptr) object->Release();
}

}  // namespace TvxRoute
