// tixbuild: writes the address index (.TIX) of a prefecture's table
// database.
//
//   tixbuild [--kind 1|2] <database .NDB> <index .TIX>
//
// Kind 1 (the default) starts the file with its magic, kind 2 with check
// bytes. Exit code 0 on success, 1 on a usage error, 2 when the database
// cannot be read or the index cannot be written.

#include <cstdio>
#include <string>
#include <vector>

#include "common/allocation_guard.h"
#include "plat/cp932.h"
#include "plat/path.h"
#include "tools/tixbuild/address_tree.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: tixbuild [--kind 1|2] <database .NDB> <index .TIX>\n");
  return 1;
}

int Run(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  int kind = 1;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--kind") {
      if (i + 1 >= args.size()) return Usage();
      const std::string& value = args[++i];
      if (value == "1") {
        kind = 1;
      } else if (value == "2") {
        kind = 2;
      } else {
        return Usage();
      }
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 2) return Usage();

  // Paths from the command line are UTF-8; the file layer takes CP932.
  const std::string ndbPath = plat::path::FromNative(positional[0]);
  const std::string tixPath = plat::path::FromNative(positional[1]);
  std::string error;
  if (!tixbuild::BuildIndexFromDatabase(ndbPath.c_str(), tixPath.c_str(), kind, &error)) {
    std::fprintf(stderr, "tixbuild: %s: %s\n", positional[1].c_str(), error.c_str());
    return 2;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return RunProgram("tixbuild", [&] { return Run(argc, argv); });
}
