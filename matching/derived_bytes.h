#pragma once
// Values derived from data files, put into bytes for the store of derived
// values (plat/derived_store.h) and read back with every length checked.
// Numbers are in the machine's own byte order: a value is only read by the
// build that wrote it (the store keys values by their build).

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "plat/derived_store.h"

class CDerivedBytesWriter {
 public:
  explicit CDerivedBytesWriter(std::string* out) : out_(out) {}
  template <typename T>
  void Put(const T& value) {
    static_assert(std::is_trivially_copyable_v<T>);
    out_->append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  void PutText(const std::string& text) {
    Put(static_cast<uint32_t>(text.size()));
    out_->append(text);
  }
  // A count, then the elements: numbers, or pairs of numbers.
  template <typename T>
  void PutList(const std::vector<T>& list) {
    Put(static_cast<uint32_t>(list.size()));
    for (const T& element : list) PutElement(element);
  }

 private:
  template <typename T>
  void PutElement(const T& value) {
    Put(value);
  }
  template <typename A, typename B>
  void PutElement(const std::pair<A, B>& pair) {
    Put(pair.first);
    Put(pair.second);
  }

  std::string* out_;
};

class CDerivedBytesReader {
 public:
  CDerivedBytesReader(const char* begin, const char* end) : p_(begin), end_(end) {}
  bool AtEnd() const { return p_ == end_; }
  std::size_t Remaining() const { return static_cast<std::size_t>(end_ - p_); }
  // Where the next byte is read.
  const char* Here() const { return p_; }
  template <typename T>
  bool Get(T* value) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (static_cast<std::size_t>(end_ - p_) < sizeof(T)) return false;
    std::memcpy(value, p_, sizeof(T));
    p_ += sizeof(T);
    return true;
  }
  // The next size bytes, in place.
  bool GetBytes(std::size_t size, const char** at) {
    if (static_cast<std::size_t>(end_ - p_) < size) return false;
    *at = p_;
    p_ += size;
    return true;
  }
  bool GetText(std::string* text) {
    uint32_t size = 0;
    if (!Get(&size) || static_cast<std::size_t>(end_ - p_) < size) return false;
    text->assign(p_, size);
    p_ += size;
    return true;
  }
  template <typename T>
  bool GetList(std::vector<T>* list) {
    uint32_t size = 0;
    if (!Get(&size) || static_cast<std::size_t>(end_ - p_) / ElementSize<T>::value < size)
      return false;
    // The bytes of all of them are there: read without a check each.
    list->resize(size);
    for (T& element : *list) TakeElement(&element);
    return true;
  }

 private:
  template <typename T>
  struct ElementSize : std::integral_constant<std::size_t, sizeof(T)> {};
  template <typename A, typename B>
  struct ElementSize<std::pair<A, B>> : std::integral_constant<std::size_t, sizeof(A) + sizeof(B)> {
  };
  template <typename T>
  void Take(T* value) {
    std::memcpy(value, p_, sizeof(T));
    p_ += sizeof(T);
  }
  template <typename T>
  void TakeElement(T* value) {
    Take(value);
  }
  template <typename A, typename B>
  void TakeElement(std::pair<A, B>* pair) {
    Take(&pair->first);
    Take(&pair->second);
  }

  const char* p_;
  const char* end_;
};

// A copy of bytes at an 8-aligned address, there while its hold lives (for
// bytes whose images are viewed in place, such as a name table's).
inline plat::DerivedBytes AlignedCopy(std::string_view bytes) {
  const std::shared_ptr<uint64_t[]> words(
      new uint64_t[std::max<std::size_t>(1, (bytes.size() + 7) / 8)]);
  char* const data = reinterpret_cast<char*>(words.get());
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  return {std::string_view(data, bytes.size()), std::shared_ptr<const void>(words, data)};
}
