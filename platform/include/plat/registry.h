#pragma once
// The per-user registry (the values under HKEY_CURRENT_USER), kept in a
// small text file: $XDG_CONFIG_HOME/kort/registry, where XDG_CONFIG_HOME
// defaults to ~/.config (a relative value is ignored, as the XDG rules say).
//
//   [Software\Orvanta\PLW]
//   "param01"=dword:00000001
//   "label"="some text"
//
// Key paths are '\'-separated. Key paths and value names compare ASCII
// case-insensitively (double-byte characters exactly). Texts are CP932
// bytes. Lines that are none of the above are ignored and kept as they
// stand when the file is rewritten; of two values with one name in one key
// the first counts. Writes replace the whole file at once (written aside,
// then renamed), so a reader never sees half a file.

#include <cstdint>
#include <string>

namespace plat::reg {

// Value types, with their Windows numbers.
enum ValueType : std::uint32_t {
  kTypeString = 1,  // REG_SZ
  kTypeDword = 4,   // REG_DWORD
};

struct Value {
  std::uint32_t type = 0;
  std::uint32_t dword = 0;  // kTypeDword
  std::string text;         // kTypeString
};

// false when the file, the key or the value is missing or the value's line
// cannot be read.
bool QueryValue(const char* keyPath, const char* name, Value& out);
// Create or replace a value (creating the key and the file as needed).
// false when the file cannot be written, for a name holding '"', and for a
// line break in the key path, the name or the text.
bool SetDword(const char* keyPath, const char* name, std::uint32_t value);
bool SetString(const char* keyPath, const char* name, const char* text);
// false when there was no such value.
bool DeleteValue(const char* keyPath, const char* name);

// The file's native path; false when neither XDG_CONFIG_HOME nor HOME
// gives a folder.
bool StorePath(std::string& nativePath);

}  // namespace plat::reg
