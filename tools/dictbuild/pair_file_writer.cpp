#include "tools/dictbuild/pair_file_writer.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "plat/cp932.h"
#include "tools/image_file.h"

namespace dictbuild {

namespace {

constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kHeaderTextField = 8;
constexpr std::size_t kCountOffset = 12;

void PutString(std::string& out, const std::string& text) {
  builder::AppendLe(&out, text.size(), 4);
  for (unsigned char b : text) out += static_cast<char>(static_cast<unsigned char>(~b));
}

bool CheckText(const std::string& text, std::size_t index, std::string* error) {
  const char* problem = nullptr;
  if (text.size() > kMaxStoredLength) problem = "is longer than 511 bytes";
  if (text.find('\0') != std::string::npos) problem = "holds a NUL byte";
  if (problem == nullptr) return true;
  if (error) *error = "pair " + std::to_string(index + 1) + ": a text " + problem;
  return false;
}

bool UnsignedLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  });
}

}  // namespace

bool BuildPairFileImage(PairFileForm form, const std::vector<TextPair>& pairs, std::string* image,
                        std::string* error, BuildOptions options) {
  if (image == nullptr) return false;
  for (std::size_t i = 0; i < pairs.size(); ++i) {
    if (!CheckText(pairs[i].search, i, error) || !CheckText(pairs[i].replacement, i, error))
      return false;
  }
  if (pairs.size() > UINT32_MAX) {
    if (error) *error = "too many pairs";
    return false;
  }

  std::vector<const TextPair*> order;
  order.reserve(pairs.size());
  for (const TextPair& pair : pairs) order.push_back(&pair);
  if (form == PairFileForm::kUnification && !options.keepOrder) {
    std::stable_sort(order.begin(), order.end(), [](const TextPair* a, const TextPair* b) {
      return UnsignedLess(a->search, b->search);
    });
  }

  std::string out;
  if (form != PairFileForm::kHeaderless) {
    const char* text = form == PairFileForm::kUnification ? "TVXBT_T" : "TVXBT_O";
    out.assign(kHeaderSize, '\0');
    std::memcpy(out.data(), text, std::min(std::strlen(text), kHeaderTextField - 1));
    StoreLe(reinterpret_cast<unsigned char*>(out.data()) + kCountOffset, pairs.size(), 4);
  }
  for (const TextPair* pair : order) {
    PutString(out, pair->search);
    PutString(out, pair->replacement);
  }
  *image = std::move(out);
  return true;
}

bool WritePairFile(const char* path, PairFileForm form, const std::vector<TextPair>& pairs,
                   std::string* error, BuildOptions options) {
  std::string image;
  if (!BuildPairFileImage(form, pairs, &image, error, options)) return false;
  return builder::WriteImageFile(path, image, error, "cannot create the file",
                                 "cannot write the file");
}

bool ParsePairList(std::string_view utf8, std::vector<TextPair>* pairs, std::string* error) {
  if (pairs == nullptr) return false;
  std::vector<TextPair> result;
  std::size_t lineNumber = 0;
  while (!utf8.empty()) {
    ++lineNumber;
    const std::size_t end = utf8.find('\n');
    std::string_view line = utf8.substr(0, end);
    utf8 = end == std::string_view::npos ? std::string_view() : utf8.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;

    const std::size_t tab = line.find('\t');
    const std::string_view search = line.substr(0, tab);
    const std::string_view replacement =
        tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
    TextPair pair;
    if (!plat::cp932::FromUtf8(search, pair.search) ||
        !plat::cp932::FromUtf8(replacement, pair.replacement)) {
      if (error) *error = "line " + std::to_string(lineNumber) + ": a text has no CP932 form";
      return false;
    }
    result.push_back(std::move(pair));
  }
  *pairs = std::move(result);
  return true;
}

namespace {

// The codes of the rows that repeat characters found elsewhere, by the
// UTF-8 form they decode to.
const std::map<std::string, std::vector<std::string>>& RepeatedRowCodes() {
  static const std::map<std::string, std::vector<std::string>> codes = [] {
    std::map<std::string, std::vector<std::string>> m;
    for (int lead : {0x87, 0xED, 0xEE, 0xFA, 0xFB, 0xFC}) {
      for (int trail = 0x40; trail <= 0xFC; ++trail) {
        if (trail == 0x7F) continue;
        const std::string code{static_cast<char>(lead), static_cast<char>(trail)};
        std::string utf8;
        if (plat::cp932::ToUtf8(code, utf8) && !utf8.empty()) m[utf8].push_back(code);
      }
    }
    return m;
  }();
  return codes;
}

}  // namespace

std::vector<TextPair> WithAlternateCodes(const std::vector<TextPair>& pairs) {
  std::vector<TextPair> out;
  for (const TextPair& pair : pairs) {
    out.push_back(pair);
    std::string utf8;
    if (pair.search.size() != 2 || !plat::cp932::ToUtf8(pair.search, utf8)) continue;
    // The code the text encodes to, then the repeated rows' codes.
    std::string canonical;
    std::vector<std::string> alternates;
    if (plat::cp932::FromUtf8(utf8, canonical) && canonical != pair.search)
      alternates.push_back(canonical);
    const auto found = RepeatedRowCodes().find(utf8);
    if (found != RepeatedRowCodes().end()) {
      for (const std::string& code : found->second) {
        if (code != pair.search && code != canonical) alternates.push_back(code);
      }
    }
    for (const std::string& code : alternates) out.push_back({code, pair.replacement});
  }
  return out;
}

}  // namespace dictbuild
