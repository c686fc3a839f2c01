#include "common/file_names.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/copy_out.h"
#include "common/file_access.h"
#include "common/path_util.h"
#include "common/sjis_text.h"
#include "plat/path.h"

namespace {

constexpr int kMaxUniqueTries = 1000;

bool IsUrlSafe(unsigned char b) {
  return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '*' ||
         b == '-' || b == '.' || b == '@' || b == '_';
}

}  // namespace

int MakeUniqueFileName(const char* path, char* out, const char* extension, std::size_t outSize) {
  if (!path || !out || outSize == 0) return 0;
  out[0] = '\0';
  std::string drive, folder, title;
  plat::path::SplitPath(path, &drive, &folder, &title, nullptr);
  if (!IsFolder((drive + folder).c_str())) return 0;
  // The candidate is built in a work copy of its own size, so that the
  // caller's buffer is only written with a finished name.
  std::string work(path);
  if (extension && extension[0] != '\0') {
    work.resize(work.size() + std::strlen(extension) + 2);
    ReplaceFileExtension(work.data(), extension, work.size());
    work.resize(std::strlen(work.c_str()));
  }
  for (int i = 1; i <= kMaxUniqueTries; ++i) {
    const std::string newTitle = title + "_" + std::to_string(i);
    std::string candidate = work;
    candidate.resize(work.size() + newTitle.size() + 1);
    ReplaceFileTitle(candidate.data(), newTitle.c_str(), candidate.size());
    candidate.resize(std::strlen(candidate.c_str()));
    if (!FileExists(candidate.c_str())) {
      if (candidate.size() >= outSize) return 0;
      std::memcpy(out, candidate.c_str(), candidate.size() + 1);
      return 1;
    }
  }
  return 0;
}

char* FolderOfPathOrDefault(char* out, const char* defaultText, const char* path,
                            std::size_t outSize) {
  std::string drive, folder;
  plat::path::SplitPath(path ? path : "", &drive, &folder, nullptr, nullptr);
  std::string result =
      folder.empty() ? std::string(defaultText ? defaultText : "") : drive + folder;
  TrimBlanks(result.data());
  result.resize(std::strlen(result.c_str()));
  ToUpperAscii(result.data());
  return CopyWholeOrEmpty(out, outSize, result);
}

char* UrlEncode(const char* text, char* out, std::size_t outSize) {
  std::string result;
  for (const char* p = text ? text : ""; *p; ++p) {
    const unsigned char b = static_cast<unsigned char>(*p);
    char piece[4];
    if (IsUrlSafe(b))
      std::snprintf(piece, sizeof piece, "%c", b);
    else
      std::snprintf(piece, sizeof piece, "%%%02x", b);
    result += piece;
  }
  return CopyWholeOrEmpty(out, outSize, result);
}

char* InvertStringBytes(char* text) {
  if (!text) return text;
  for (char* p = text; *p; ++p) *p = static_cast<char>(~static_cast<unsigned char>(*p));
  return text;
}

char* SwapNibblesString(char* text) {
  if (!text) return text;
  for (char* p = text; *p; ++p) {
    const unsigned char b = static_cast<unsigned char>(*p);
    *p = static_cast<char>(static_cast<unsigned char>((b << 4) | (b >> 4)));
  }
  return text;
}
