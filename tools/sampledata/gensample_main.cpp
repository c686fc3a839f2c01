// gensample: writes the sample address data folder from its description.
//
//   gensample [--kind 1|2] [--scale N] [--description <folder>] <output folder>
//
// --scale N (1 to 100) copies every municipality N - 1 times under new
// names and codes (tools/sampledata/corpus.h): a data set N times the
// sample, for the benchmarks.
// The output folder (and the folders above it) is created; the files in it
// are replaced. The address index is of kind 2 unless --kind says 1. The
// description folder defaults to the one of this source tree.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/message.h"
#include "plat/cp932.h"
#include "tools/sampledata/corpus.h"
#include "tools/sampledata/description.h"
#include "tools/sampledata/generate.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: gensample [--kind 1|2] [--scale N] [--description <folder>] <output folder>\n");
  return 2;
}

// A UTF-8 argument as a CP932 path.
bool Cp932Argument(const char* utf8, std::string* out) {
  return plat::cp932::FromUtf8(utf8, *out) && !out->empty();
}

}  // namespace

int main(int argc, char** argv) {
  sampledata::GenerateOptions options;
  std::string description = sampledata::DefaultDescriptionFolder();
  std::string output;
  int scale = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--kind") == 0 && i + 1 < argc) {
      const char* kind = argv[++i];
      if (std::strcmp(kind, "1") != 0 && std::strcmp(kind, "2") != 0) return Usage();
      options.indexKind = kind[0] - '0';
    } else if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc) {
      scale = std::atoi(argv[++i]);
      if (scale < 1 || scale > 100) return Usage();
    } else if (std::strcmp(argv[i], "--description") == 0 && i + 1 < argc) {
      if (!Cp932Argument(argv[++i], &description)) return Usage();
    } else if (argv[i][0] == '-' || !output.empty()) {
      return Usage();
    } else if (!Cp932Argument(argv[i], &output)) {
      return Usage();
    }
  }
  if (output.empty()) return Usage();

  char msg[kMessageSize] = "";
  sampledata::Description d;
  if (!sampledata::LoadDescription(description.c_str(), &d, msg) ||
      !sampledata::ScaleDescription(&d, scale, msg) ||
      !sampledata::GenerateDataFolder(d, output, options, msg)) {
    std::fprintf(stderr, "gensample: %s\n", plat::cp932::ToUtf8Display(msg).c_str());
    return 1;
  }
  return 0;
}
