#pragma once
// File names and small text utilities: a free numbered file name beside a
// path, the folder of a path or a default, percent-encoding, and two
// whole-text byte transforms.
//
// Helpers that write a text take the size of the caller's buffer (NUL
// included); a result that does not fit is refused (the out buffer receives
// "").

#include <cstddef>

// A free name beside the path: its title followed by "_1", "_2", ... "_1000"
// (the path itself is never offered), with the extension replaced when one
// is given (without its dot; null or "" keeps the path's own). 0 when the
// path's folder does not exist, when no name is free or when out is too
// small.
int MakeUniqueFileName(const char* path, char* out, const char* extension, std::size_t outSize);
// Drive + folder of the path, or the default text when the path has no
// folder part; then blanks trimmed at both ends and ASCII letters made
// upper case.
char* FolderOfPathOrDefault(char* out, const char* defaultText, const char* path,
                            std::size_t outSize);
// ASCII letters and digits and "*-.@_" copied; every other byte written as
// "%" and two lower-case hex digits (each byte of a double-byte character
// on its own).
char* UrlEncode(const char* text, char* out, std::size_t outSize);
// Every byte up to the NUL replaced by its complement, in place; applying
// it twice gives the text back.
char* InvertStringBytes(char* text);
// Every byte's two 4-bit halves exchanged, in place; its own inverse.
char* SwapNibblesString(char* text);
