#pragma once
// The script language of gazref_host: one call a line.
//
//   # a comment; blank lines are skipped
//   GZR_SetAddr_AnalyzeExClass 7
//   GZR_Border_GetCode buf 128446464 503165554 "${DATA}" buf
//   .same GZR_GetAddrTotal GZR_GetAddrFwTotal
//   .rows addr            (also fw, shisetsu, bunrui, gyosei)
//
// A call is an export name and one argument per parameter, the kind of each
// taken from the signature table (Signatures()):
//   int, double   a decimal number;
//   text          a word or a "quoted text" (\" and \\ inside quotes);
//   writable text the same, passed in a buffer the call may rewrite;
//   out buffer    "buf" for a zeroed buffer of kHostBufferSize bytes;
//   int flag      a number, passed by pointer.
// Every pointer kind also takes "null". ${NAME} anywhere in an argument is
// the environment variable NAME. Texts are written in UTF-8 and passed as
// CP932; what comes back is printed in UTF-8.
//
// Output: the line echoed after "> ", then "= " and the return value (or
// "= void"), then "  #n: value" for each writable, out or flag argument n
// (from 1). ".same A B" prints "same" or "different" (the two names'
// addresses); ".rows R" prints the total and "row i: " with the record's
// fields joined by "," for each row. An error prints "error: ..." and the
// script goes on.

#include <cstddef>
#include <string>
#include <vector>

inline constexpr std::size_t kHostBufferSize = 4096;

// Splits a script line into words (quotes removed, escapes undone,
// environment variables expanded). A quoted word is marked so that "null"
// in quotes stays a text. False with a reason for an unclosed quote or an
// unset variable.
struct ScriptWord {
  std::string text;
  bool quoted = false;
};
bool SplitScriptLine(const std::string& line, std::vector<ScriptWord>* words, std::string* error);

// Looks up exports by name in a loaded library.
class SymbolSource {
 public:
  virtual ~SymbolSource() = default;
  virtual void* Find(const char* name) = 0;
};

// Runs one script line; its output goes to out. False when the line was an
// error.
bool RunScriptLine(SymbolSource* symbols, const std::string& line, std::string* out);
