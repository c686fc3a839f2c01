#pragma once
// HIGHWAY.DAT files made by the writer of tools/roadmap for the route
// library's tests.

#include <gtest/gtest.h>

#include <string>

#include "plat/cp932.h"
#include "route/highway_data.h"
#include "support/test_util.h"
#include "tools/roadmap/highway_writer.h"

namespace hwtest {

// UTF-8 text (u8"") as UTF-16.
inline std::u16string U16(std::u8string_view utf8) {
  std::u16string out;
  plat::cp932::ToUtf16(testutil::Sjis(utf8), out);
  return out;
}

inline hwbuild::NameRecord Name(std::uint16_t key, std::u8string_view name1,
                                std::u8string_view name2 = u8"") {
  return hwbuild::NameRecord{key, U16(name1), U16(name2), 0};
}

// An entry of flags 0x20 (kind block: kind, code) with a name and value.
inline hwbuild::Entry KindEntry(std::uint8_t kind, std::uint16_t code, std::u8string_view name,
                                std::uint32_t value) {
  hwbuild::Entry e;
  e.flags = 0x20;
  e.parts = std::string{static_cast<char>(kind),
                        static_cast<char>(code >> 8),
                        static_cast<char>(code & 0xFF),
                        0,
                        0,
                        0,
                        0,
                        0};
  e.name1 = U16(name);
  e.value = value;
  return e;
}

// Writes the image as HIGHWAY.DAT into a fresh folder and opens it.
class HighwayFile {
 public:
  bool Write(const hwbuild::Image& image) {
    std::string error;
    if (!hwbuild::BuildHighwayFile(image, &bytes_, &error)) {
      ADD_FAILURE() << error;
      return false;
    }
    return WriteBytes(bytes_);
  }
  bool WriteBytes(const std::string& bytes) {
    return testutil::WriteBytes(dir_.Native("HIGHWAY.DAT"), bytes);
  }
  std::string Path() const { return dir_.Sys("HIGHWAY.DAT"); }
  const std::string& bytes() const { return bytes_; }

 private:
  testutil::TempDir dir_;
  std::string bytes_;
};

}  // namespace hwtest
