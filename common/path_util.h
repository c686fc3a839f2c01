#pragma once
// Paths, folders and file management: taking CP932 paths apart into drive,
// folder, file title and extension and putting them together, making and
// testing folders, and copying, renaming, deleting and listing files.
//
// Path parts are those of plat::path::SplitPath: drive ("X:"), folder with
// its trailing separator ('\' or '/'), file title, extension with its dot;
// the split is Shift-JIS aware. The parts have no length limit inside.
//
// Helpers that write a text take the size of the caller's buffer (NUL
// included). A result that does not fit is refused: an out buffer receives
// "", a path rewritten in place stays as it was. They return the out
// buffer (or the path).

#include <cstddef>
#include <string>

// The size of the path buffers that the table database, the address index
// and the change files keep (NUL included): the system's own limit on a
// path, so a data folder deep in the file system still fits. A longer path
// could not be opened anyway.
inline constexpr std::size_t kPathBufferSize = 4096;

// ---- Splitting and joining ----

// folder + format with its one "%02d" filled by number: the per-prefecture
// file names of a data folder ("QVAD%02d.NDB").
std::string NumberedFilePath(const std::string& folder, const char* format, int number);

char* ExtractDrive(const char* path, char* out, std::size_t outSize);
char* ExtractFolder(const char* path, char* out, std::size_t outSize);  // without the drive
char* ExtractDriveAndFolder(const char* path, char* out, std::size_t outSize);
char* ExtractFileTitle(const char* path, char* out, std::size_t outSize);
char* ExtractExtension(const char* path, char* out, std::size_t outSize);  // with its dot
char* ExtractFileName(const char* path, char* out, std::size_t outSize);   // title + extension

// In place: drive + folder + title.
char* RemoveFileExtension(char* path);
// In place: drive + folder + new title + the old extension.
char* ReplaceFileTitle(char* path, const char* newTitle, std::size_t pathSize);
// In place: drive + folder + title + "." + new extension (given without its
// dot); a path without an extension gains one.
char* ReplaceFileExtension(char* path, const char* newExtension, std::size_t pathSize);
// The same into out, the path left as it is.
char* ReplaceFileExtensionCopy(char* out, const char* path, const char* newExtension,
                               std::size_t outSize);
// In place: drive + folder + title + suffix + extension.
char* AppendToFileTitle(char* path, const char* suffix, std::size_t pathSize);
// A path without a folder part is put into the folder (drive + folder +
// title + extension); a path with one is copied as it is.
char* MakePathInFolder(char* out, const char* path, const char* folder, std::size_t outSize);
// Completes a path: the default folder when it has no folder part, "." and
// the default extension when it has no extension; then blanks trimmed at
// both ends and, with upper 1, ASCII letters made upper case.
char* CompletePath(char* out, const char* folder, const char* path, const char* extension,
                   int upper, std::size_t outSize);
// 1 when both paths name the same file: drive, folder, title and extension
// compared one by one, without case and blanks at the ends, with "?" and "*"
// as wildcards (WildcardCompare).
int IsSamePath(const char* a, const char* b);

// ---- Folders ----

// Creates one folder level; 1 also when it exists already.
int MakeFolder(const char* path);
// Makes the folder the working folder of the process.
int ChangeFolder(const char* path);
// 1 when the path is a folder that can be entered (the working folder is
// not changed).
int IsFolder(const char* path);

// ---- Files ----

int RemoveFile(const char* path);
// Renames or moves a file; fails when the new path exists.
int RenameFile(const char* oldPath, const char* newPath);
// Copies the source to the target in pieces of 4,096 bytes. The same text
// for both gives 1 without copying; a failed copy leaves what the target
// path named before (a target it made is removed again, an earlier file is
// replaced only by a whole copy).
int CopyFile(const char* target, const char* source);
// Deletes every file (not folder) that the wildcard path matches; files that
// cannot be deleted are left.
void DeleteFilesMatching(const char* pattern);
// Writes folder + name of every match of folder + name + extension (folders
// included) as one line of a new text file. 0 when nothing matches (no
// output is made) or a write fails (the output path is left as it was).
int ListFilesToTextFile(const char* output, const char* folder, const char* name,
                        const char* extension);
