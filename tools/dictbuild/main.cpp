// dictbuild: writes a binary pair file (character dictionary) from a UTF-8
// pair list.
//
//   dictbuild unification|replacement|headerless [--keep-order] <list> <output>
//
// The list holds one pair a line, "search<TAB>replacement", in UTF-8; see
// pair_file_writer.h. Exit code 0 on success, 1 on a usage error, 2 when the
// list cannot be read or the file cannot be written.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/allocation_guard.h"
#include "plat/cp932.h"
#include "plat/file.h"
#include "plat/path.h"
#include "tools/dictbuild/pair_file_writer.h"

namespace {

int Usage() {
  std::fprintf(
      stderr,
      "usage: dictbuild unification|replacement|headerless [--keep-order] <list> <output>\n");
  return 1;
}

bool ReadWhole(const std::string& path, std::string* out) {
  plat::File file;
  if (!file.Open(path.c_str(), plat::ModeRead)) return false;
  char piece[4096];
  for (;;) {
    const std::size_t got = file.Read(piece, sizeof piece);
    if (file.Failed()) return false;
    if (got == 0) return true;
    out->append(piece, got);
  }
}

int Run(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  dictbuild::BuildOptions options;
  std::vector<std::string> positional;
  for (const std::string& arg : args) {
    if (arg == "--keep-order") {
      options.keepOrder = true;
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 3) return Usage();

  dictbuild::PairFileForm form;
  if (positional[0] == "unification") {
    form = dictbuild::PairFileForm::kUnification;
  } else if (positional[0] == "replacement") {
    form = dictbuild::PairFileForm::kReplacement;
  } else if (positional[0] == "headerless") {
    form = dictbuild::PairFileForm::kHeaderless;
  } else {
    return Usage();
  }

  // Paths from the command line are UTF-8; the file layer takes CP932.
  const std::string listPath = plat::path::FromNative(positional[1]);
  const std::string outputPath = plat::path::FromNative(positional[2]);
  std::string text;
  if (!ReadWhole(listPath, &text)) {
    std::fprintf(stderr, "dictbuild: cannot read %s\n", positional[1].c_str());
    return 2;
  }
  std::vector<dictbuild::TextPair> pairs;
  std::string error;
  if (!dictbuild::ParsePairList(text, &pairs, &error) ||
      !dictbuild::WritePairFile(outputPath.c_str(), form, pairs, &error, options)) {
    std::fprintf(stderr, "dictbuild: %s: %s\n", positional[2].c_str(), error.c_str());
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return RunProgram("dictbuild", [&] { return Run(argc, argv); });
}
