#pragma once
// The 47 prefectures by their JIS X 0401 code (1..47): kanji name and
// hiragana reading, and the lookups from a whole name or reading back to
// its code.

#include <cstdint>
#include <string_view>

inline constexpr int32_t kPrefectureCount = 47;
// Out buffers of the name getters hold at least this many bytes (the
// longest reading is 12 bytes).
inline constexpr int kPrefectureTextSize = 16;

// Copy the name or reading of code 1..47 into out (kPrefectureTextSize
// bytes) and return out; any other code gives the empty text.
char* GetPrefectureName(int32_t code, char* out);
char* GetPrefectureKana(int32_t code, char* out);
// The same texts in place (empty for any other code).
std::string_view PrefectureNameView(int32_t code);
std::string_view PrefectureKanaView(int32_t code);

// The code of a whole name (or reading), found by binary search in byte
// order; 0 when the text is no full name.
int32_t FindPrefectureCode(const char* name);
int32_t FindPrefectureCodeByKana(const char* reading);
