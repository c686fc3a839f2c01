#include "route/tvx_values.h"

#include <cstring>

#include "common/allocation_guard.h"

namespace {

// The mask of the bits first..last of a word.
constexpr std::uint32_t Bits(unsigned first, unsigned last) {
  return ((last == 31 ? 0xFFFFFFFFu : ((1u << (last + 1)) - 1u)) >> first) << first;
}

// Replaces the field of bits first..last with value << first, unmasked.
std::uint32_t Replace(std::uint32_t word, unsigned first, unsigned last, std::uint32_t value) {
  return (word & ~Bits(first, last)) | (value << first);
}

}  // namespace

void CDateTime::set(int year, int month, int day, int hour, int minute) {
  word_ = ((static_cast<std::uint32_t>(year) + 48u) << 21) |
          ((static_cast<std::uint32_t>(month) - 1u) << 17) |
          ((static_cast<std::uint32_t>(day) - 1u) << 12) | (static_cast<std::uint32_t>(hour) << 6) |
          static_cast<std::uint32_t>(minute);
}

void CDateTime::setYear(int year) {
  word_ = Replace(word_, 21, 31, static_cast<std::uint32_t>(year) + 48u);
}
void CDateTime::setMon(int month) {
  word_ = Replace(word_, 17, 20, static_cast<std::uint32_t>(month) - 1u);
}
void CDateTime::setDay(int day) {
  word_ = Replace(word_, 12, 16, static_cast<std::uint32_t>(day) - 1u);
}
void CDateTime::setHour(int hour) {
  word_ = Replace(word_, 6, 10, static_cast<std::uint32_t>(hour));
}
void CDateTime::setMin(int minute) {
  word_ = Replace(word_, 0, 5, static_cast<std::uint32_t>(minute));
}

namespace TvxRoute {

NodeBase::~NodeBase() { delete[] name_; }

NodeBase::NodeBase(const NodeBase& other) : LonLat(other) { setName(other.name_); }

NodeBase& NodeBase::operator=(const NodeBase& other) {
  LonLat::operator=(other);
  setName(other.name_);
  return *this;
}

void NodeBase::setName(const char* name) {
  // The copy is made before the old name is freed: name may be the node's own.
  char* copy = nullptr;
  if (name != nullptr) {
    const std::size_t len = std::strlen(name);
    // Without memory the node is left without a name.
    copy = CatchAllocationFailure(static_cast<char*>(nullptr), [&] {
      char* made = new char[len + 1];
      std::memcpy(made, name, len + 1);
      return made;
    });
  }
  delete[] name_;
  name_ = copy;
}

void Releasable::Release() { delete this; }

}  // namespace TvxRoute
