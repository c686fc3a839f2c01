#pragma once
// Writer of the binary pair files that hold the character dictionaries:
//
//   header form (unification dictionary "TVXBT_T", replacement list
//   "TVXBT_O"): 32 bytes
//     0  8  header text, NUL-terminated, NUL-padded
//     8  4  unused (written as 0)
//    12  4  pair count, 32-bit little-endian
//    16 16  unused (written as 0)
//   then the pairs to the end of the file;
//   headerless form: the pairs from byte 0, no count.
//
//   pair: search string, then replacement string; each a 32-bit
//   little-endian byte length L (0..511) and L bytes, every byte the bitwise
//   complement of the Shift-JIS text; nothing stored after the last pair.
//
// The unification dictionary is looked up by binary search, so its pairs
// are written in ascending unsigned byte order of the search text (equal
// texts keep their input order) unless the caller asks to keep the order.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dictbuild {

enum class PairFileForm {
  kUnification,  // header "TVXBT_T", pairs sorted by search text
  kReplacement,  // header "TVXBT_O", input order
  kHeaderless,   // no header, input order
};

// Texts are Shift-JIS bytes.
struct TextPair {
  std::string search;
  std::string replacement;
};

inline constexpr std::size_t kMaxStoredLength = 511;

struct BuildOptions {
  // Keep the input order in the unification form as well (for damaged files).
  bool keepOrder = false;
};

// The bytes of a pair file. False (image untouched) with a reason when a
// text is longer than 511 bytes or holds a NUL.
bool BuildPairFileImage(PairFileForm form, const std::vector<TextPair>& pairs, std::string* image,
                        std::string* error, BuildOptions options = {});

// Builds the image and writes it to the CP932 path: aside, then renamed over
// it, so that a failure leaves the path as it was.
bool WritePairFile(const char* path, PairFileForm form, const std::vector<TextPair>& pairs,
                   std::string* error, BuildOptions options = {});

// Reads the pair list of the builder's input: UTF-8 text, one pair a line
// "search<TAB>replacement" (the replacement may be empty, a line without TAB
// has an empty one); empty lines and lines beginning with "#" are skipped; a
// CR before the line end is dropped. Texts are converted to CP932; a text
// without a CP932 form is an error naming the line.
bool ParsePairList(std::string_view utf8, std::vector<TextPair>* pairs, std::string* error);

// The pairs with every other CP932 code of a character that has more than
// one: the NEC-selected IBM extensions (0xED40-0xEEFC), the IBM extensions
// (0xFA40-0xFC4B) and the NEC special row (0x87) hold characters that also
// stand elsewhere (﨑 is 0xFAB1 and 0xED95, 髙 0xFBFC and 0xEEE0, ∵ 0x81E6,
// 0x879A and 0xFA5B). Each pair whose search text is one such character is
// followed by a pair with each other code and the same replacement, so a
// dictionary written from one UTF-8 text serves input typed with any code.
std::vector<TextPair> WithAlternateCodes(const std::vector<TextPair>& pairs);

}  // namespace dictbuild
