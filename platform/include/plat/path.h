#pragma once
// Paths at the OS boundary. Inside the system a path is CP932 bytes built
// with '\'. Here it is decoded to Unicode first and only then are '\'
// characters turned into '/', so a 0x5C trail byte (表 = 95 5C) survives.
// Names on disk are UTF-8; a name that does not exist exactly is resolved
// component by component with an ASCII case-insensitive match, and as a
// last resort under its raw CP932 bytes.

#include <cstddef>
#include <string>
#include <string_view>

namespace plat::path {

// CP932 path -> native UTF-8 path ('/' separators). False for a drive
// letter ("C:...") or a UNC name. Bytes carried from a native name (see
// FromNative) come back as they were; other undecodable bytes are kept raw (single
// byte 0x5C still becomes '/'). Trailing blanks and dots are dropped from
// the last element, as Win32 does ("a.txt " is "a.txt").
bool ToNative(const char* cp932, std::string& native);
// Native path -> existing native path, resolving case (see above). With
// forCreate the last component need not exist (its folder must), and an
// existing other-case file of that name is chosen.
bool Resolve(const char* cp932, bool forCreate, std::string& native);
// Native (UTF-8) text -> CP932, for names from the command line, the
// environment, the program path and folder listings: a character is CP932
// only where its CP932 form converts back to it; any other keeps its bytes,
// carried (cp932::FromNativeName) so that ToNative and Resolve give back
// exactly the native name and never another file's ("res¥old.txt" is no
// "res\old.txt", "a〜" no "a～").
std::string FromNative(const std::string& native);

// Full path of the running program in Windows form ('\' separators), CP932.
bool ProgramPath(std::string& out);
// Its folder, without the trailing '\'.
bool ProgramFolder(std::string& out);
// $TMPDIR when it is a directory, else /tmp; Windows form, trailing '\'.
bool TempFolder(std::string& out);
// Creates <folder><prefix>XXXX.TMP exclusively (empty) and gives its path.
bool MakeTempFileName(const char* folder, const char* prefix, std::string& out);

// True when the text's last character is '\\' or '/' (Shift-JIS aware: the
// trail byte 0x5C of a double-byte character is no separator).
bool EndsWithSeparator(std::string_view text);

bool MakeDir(const char* path);  // one level; an existing folder is success
bool RemoveDir(const char* path);
bool IsDirectory(const char* path);
bool PathExists(const char* path);  // file or directory
bool ChangeDir(const char* path);
bool GetCurrentDir(std::string& out);  // CP932, Windows form

// Splits a CP932 path like the run-time _splitpath: drive "X:" (only when
// the second byte is ':'), folder with its trailing separator, title,
// extension with its dot. Both separators; Shift-JIS aware. Null outputs
// are skipped.
void SplitPath(const char* path, std::string* drive, std::string* dir, std::string* title,
               std::string* ext);

}  // namespace plat::path
