#include "common/path_util.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/copy_out.h"
#include "common/file_access.h"
#include "common/sjis_text.h"
#include "common/wildcard.h"
#include "plat/dirsearch.h"
#include "plat/file.h"
#include "plat/output_file.h"
#include "plat/path.h"

std::string NumberedFilePath(const std::string& folder, const char* format, int number) {
  // Filled in directly for the numbers 0 to 99: this runs for every
  // prefecture of every match.
  const char* field = format;
  while (*field != '\0' &&
         !(field[0] == '%' && field[1] == '0' && field[2] == '2' && field[3] == 'd'))
    ++field;
  if (*field == '\0') field = nullptr;
  if (field != nullptr && number >= 0 && number <= 99) {
    std::string out;
    out.reserve(folder.size() + std::strlen(format));
    out += folder;
    out.append(format, static_cast<std::size_t>(field - format));
    out += static_cast<char>('0' + number / 10);
    out += static_cast<char>('0' + number % 10);
    out += field + 4;
    return out;
  }
  char name[64];
  std::snprintf(name, sizeof name, format, number);
  return folder + name;
}

namespace {

constexpr uint32_t kCopyPieceSize = 4096;

struct PathParts {
  std::string drive, folder, title, extension;
};

PathParts Split(const char* path) {
  PathParts p;
  plat::path::SplitPath(path ? path : "", &p.drive, &p.folder, &p.title, &p.extension);
  return p;
}

const char* OrEmpty(const char* text) { return text ? text : ""; }

// Rewrites a path in place when the result fits; otherwise leaves it.
char* Rewrite(char* path, std::size_t pathSize, const std::string& result) {
  if (!path) return path;
  if (result.size() < pathSize) std::memcpy(path, result.c_str(), result.size() + 1);
  return path;
}

std::string WithExtension(const PathParts& p, const char* newExtension) {
  return p.drive + p.folder + p.title + "." + OrEmpty(newExtension);
}

// A path prepared for comparison: upper case, trimmed, split.
PathParts ComparablePath(const char* path) {
  std::string s = OrEmpty(path);
  ToUpperAscii(s.data());
  TrimBlanks(s.data());
  s.resize(std::strlen(s.c_str()));
  return Split(s.c_str());
}

}  // namespace

// ---- Splitting and joining ----

char* ExtractDrive(const char* path, char* out, std::size_t outSize) {
  return CopyWholeOrEmpty(out, outSize, Split(path).drive);
}

char* ExtractFolder(const char* path, char* out, std::size_t outSize) {
  return CopyWholeOrEmpty(out, outSize, Split(path).folder);
}

char* ExtractDriveAndFolder(const char* path, char* out, std::size_t outSize) {
  const PathParts p = Split(path);
  return CopyWholeOrEmpty(out, outSize, p.drive + p.folder);
}

char* ExtractFileTitle(const char* path, char* out, std::size_t outSize) {
  return CopyWholeOrEmpty(out, outSize, Split(path).title);
}

char* ExtractExtension(const char* path, char* out, std::size_t outSize) {
  return CopyWholeOrEmpty(out, outSize, Split(path).extension);
}

char* ExtractFileName(const char* path, char* out, std::size_t outSize) {
  const PathParts p = Split(path);
  return CopyWholeOrEmpty(out, outSize, p.title + p.extension);
}

char* RemoveFileExtension(char* path) {
  if (!path) return path;
  const PathParts p = Split(path);
  // Never longer than the path.
  return Rewrite(path, std::strlen(path) + 1, p.drive + p.folder + p.title);
}

char* ReplaceFileTitle(char* path, const char* newTitle, std::size_t pathSize) {
  if (!path) return path;
  const PathParts p = Split(path);
  return Rewrite(path, pathSize, p.drive + p.folder + OrEmpty(newTitle) + p.extension);
}

char* ReplaceFileExtension(char* path, const char* newExtension, std::size_t pathSize) {
  if (!path) return path;
  return Rewrite(path, pathSize, WithExtension(Split(path), newExtension));
}

char* ReplaceFileExtensionCopy(char* out, const char* path, const char* newExtension,
                               std::size_t outSize) {
  return CopyWholeOrEmpty(out, outSize, WithExtension(Split(path), newExtension));
}

char* AppendToFileTitle(char* path, const char* suffix, std::size_t pathSize) {
  if (!path) return path;
  const PathParts p = Split(path);
  return Rewrite(path, pathSize, p.drive + p.folder + p.title + OrEmpty(suffix) + p.extension);
}

char* MakePathInFolder(char* out, const char* path, const char* folder, std::size_t outSize) {
  const PathParts p = Split(path);
  const std::string& useFolder = p.folder.empty() ? std::string(OrEmpty(folder)) : p.folder;
  return CopyWholeOrEmpty(out, outSize, p.drive + useFolder + p.title + p.extension);
}

char* CompletePath(char* out, const char* folder, const char* path, const char* extension,
                   int upper, std::size_t outSize) {
  const PathParts p = Split(path);
  std::string result = p.drive;
  result += p.folder.empty() ? std::string(OrEmpty(folder)) : p.folder;
  result += p.title;
  result += p.extension.empty() ? "." + std::string(OrEmpty(extension)) : p.extension;
  TrimBlanks(result.data());
  result.resize(std::strlen(result.c_str()));
  if (upper == 1) ToUpperAscii(result.data());
  return CopyWholeOrEmpty(out, outSize, result);
}

int IsSamePath(const char* a, const char* b) {
  const PathParts pa = ComparablePath(a);
  const PathParts pb = ComparablePath(b);
  return WildcardCompare(pa.drive.c_str(), pb.drive.c_str()) &&
                 WildcardCompare(pa.folder.c_str(), pb.folder.c_str()) &&
                 WildcardCompare(pa.title.c_str(), pb.title.c_str()) &&
                 WildcardCompare(pa.extension.c_str(), pb.extension.c_str())
             ? 1
             : 0;
}

// ---- Folders ----

int MakeFolder(const char* path) {
  if (!IsNonBlankPath(path)) return 0;
  return plat::path::MakeDir(path) ? 1 : 0;
}

int ChangeFolder(const char* path) {
  if (!IsNonBlankPath(path)) return 0;
  return plat::path::ChangeDir(path) ? 1 : 0;
}

int IsFolder(const char* path) {
  if (!IsNonBlankPath(path)) return 0;
  return plat::path::IsDirectory(path) ? 1 : 0;
}

// ---- Files ----

int RemoveFile(const char* path) {
  if (!IsNonBlankPath(path)) return 0;
  return plat::File::Remove(path) ? 1 : 0;
}

int RenameFile(const char* oldPath, const char* newPath) {
  if (!IsNonBlankPath(oldPath) || !IsNonBlankPath(newPath)) return 0;
  return plat::File::Rename(oldPath, newPath) ? 1 : 0;
}

int CopyFile(const char* target, const char* source) {
  plat::File in;
  if (!OpenFileForReadDenyWrite(&in, source)) return 0;
  if (target && std::strcmp(target, source) == 0) return 1;
  // Another spelling of the source (other letter case) names the same file
  // here: creating the target would empty the source before it is read.
  std::string sourceNative, targetNative;
  if (target && plat::path::Resolve(source, false, sourceNative) &&
      plat::path::Resolve(target, true, targetNative) && sourceNative == targetNative)
    return 0;
  plat::OutputFile out;
  if (!OpenOutputFileForReadWrite(&out, target)) return 0;
  unsigned char piece[kCopyPieceSize];
  for (;;) {
    const std::size_t got = in.Read(piece, sizeof piece);
    if (in.Failed() ||
        (got > 0 && !WriteBytesToFile(&out.Stream(), piece, static_cast<uint32_t>(got)))) {
      out.Discard();
      return 0;
    }
    if (got == 0) break;
  }
  in.Close();
  if (!out.Commit()) return 0;
  return 1;
}

void DeleteFilesMatching(const char* pattern) {
  if (!IsNonBlankPath(pattern)) return;
  plat::DirSearch search;
  if (!search.Open(pattern)) return;
  const PathParts p = Split(pattern);
  const std::string root = p.drive + p.folder;
  plat::DirEntry entry;
  while (search.Next(entry)) {
    if (entry.isDirectory) continue;  // the dot entries are folders too
    const std::string full = root + entry.name;
    if (FileExists(full.c_str())) plat::File::Remove(full.c_str());
  }
}

int ListFilesToTextFile(const char* output, const char* folder, const char* name,
                        const char* extension) {
  const std::string pattern = std::string(OrEmpty(folder)) + OrEmpty(name) + OrEmpty(extension);
  plat::DirSearch search;
  plat::DirEntry entry;
  if (!IsNonBlankPath(pattern.c_str()) || !search.Open(pattern.c_str()) || !search.Next(entry))
    return 0;
  plat::OutputFile out;
  if (!OpenOutputTextFile(&out, output)) return 0;
  // The first match is listed as well as every further one.
  do {
    const std::string line = std::string(OrEmpty(folder)) + entry.name;
    if (!WriteLineToFile(&out.Stream(), line.c_str())) {
      out.Discard();
      return 0;
    }
  } while (search.Next(entry));
  return out.Commit() ? 1 : 0;
}
