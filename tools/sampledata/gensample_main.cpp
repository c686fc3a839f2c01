// gensample: writes the sample address data folder from its description.
//
//   gensample [--kind 1|2] [--scale N] [--jobs N] [--description <folder>] <output folder>
//   gensample --national [--seed N] [--percent P] [--addresses <folder>]
//             [--kind 1|2] [--jobs N] [--description <folder>] <output folder>
//
// --jobs N (1 to 64) writes N prefectures at a time, each in a worker
// process; the files are the same bytes as with one.
// --scale N (1 to 100) copies every municipality N - 1 times under new
// names and codes (tools/sampledata/corpus.h): more municipalities in the
// same two prefectures, for the benchmarks.
// --national writes a data set of the country's shape instead
// (tools/sampledata/national.h): 47 prefectures, about 1,900
// municipalities and 120,000 town rows made up from the seed (default 1),
// with the description's dictionaries; --percent P keeps P percent of the
// municipalities; --addresses writes the three lists of test addresses
// drawn from it (5,000 of each kind) into that folder.
// The output folder is written aside (a hidden folder beside it) and put in
// place only when every file is complete, replacing an earlier folder
// whole; a run that fails leaves the earlier folder (and address lists) as
// they were, or none. A folder that holds names that this run does not
// write, byte for byte (a file of the user's, however near its name is to
// one of gensample's), is refused and kept as it is. The
// folders above it are created. The address index is of kind 2 unless
// --kind says 1. The description folder defaults to the one of this source
// tree.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "common/allocation_guard.h"
#include "common/message.h"
#include "plat/cp932.h"
#include "plat/path.h"
#include "tools/sampledata/corpus.h"
#include "tools/sampledata/description.h"
#include "tools/sampledata/generate.h"
#include "tools/sampledata/national.h"
#include "tools/staged_output.h"

namespace {

int Usage() {
  std::fprintf(
      stderr,
      "usage: gensample [--kind 1|2] [--scale N] [--jobs N] [--description <folder>] <output "
      "folder>\n"
      "       gensample --national [--seed N] [--percent P] [--addresses <folder>]\n"
      "                 [--kind 1|2] [--jobs N] [--description <folder>] <output folder>\n");
  return 2;
}

// A UTF-8 argument as a CP932 path (a name whose CP932 form would be
// another name keeps its own characters).
bool Cp932Argument(const char* utf8, std::string* out) {
  *out = plat::path::FromNative(utf8);
  return !out->empty();
}

int Run(int argc, char** argv) {
  sampledata::GenerateOptions options;
  std::string description = sampledata::DefaultDescriptionFolder();
  std::string output;
  int scale = 1;
  bool national = false;
  sampledata::NationalOptions nationalOptions;
  std::string addresses;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--kind") == 0 && i + 1 < argc) {
      const char* kind = argv[++i];
      if (std::strcmp(kind, "1") != 0 && std::strcmp(kind, "2") != 0) return Usage();
      options.indexKind = kind[0] - '0';
    } else if (std::strcmp(argv[i], "--scale") == 0 && i + 1 < argc) {
      scale = std::atoi(argv[++i]);
      if (scale < 1 || scale > 100) return Usage();
    } else if (std::strcmp(argv[i], "--jobs") == 0 && i + 1 < argc) {
      options.jobs = std::atoi(argv[++i]);
      if (options.jobs < 1 || options.jobs > 64) return Usage();
    } else if (std::strcmp(argv[i], "--national") == 0) {
      national = true;
    } else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
      char* end = nullptr;
      const unsigned long seed = std::strtoul(argv[++i], &end, 10);
      if (*end != '\0' || end == argv[i] || seed > 0xFFFFFFFFul) return Usage();
      nationalOptions.seed = static_cast<uint32_t>(seed);
    } else if (std::strcmp(argv[i], "--percent") == 0 && i + 1 < argc) {
      nationalOptions.percent = std::atoi(argv[++i]);
      if (nationalOptions.percent < 1 || nationalOptions.percent > 100) return Usage();
    } else if (std::strcmp(argv[i], "--addresses") == 0 && i + 1 < argc) {
      if (!Cp932Argument(argv[++i], &addresses)) return Usage();
    } else if (std::strcmp(argv[i], "--description") == 0 && i + 1 < argc) {
      if (!Cp932Argument(argv[++i], &description)) return Usage();
    } else if (argv[i][0] == '-' || !output.empty()) {
      return Usage();
    } else if (!Cp932Argument(argv[i], &output)) {
      return Usage();
    }
  }
  if (output.empty() || (national && scale != 1) || (!national && !addresses.empty())) {
    return Usage();
  }

  char msg[kMessageSize] = "";
  sampledata::Description d;
  bool ok = sampledata::LoadDescription(description.c_str(), &d, msg);
  if (ok && national) {
    sampledata::Description sample = std::move(d);
    ok = sampledata::MakeNationalDescription(sample, nationalOptions, &d, msg);
  } else if (ok) {
    ok = sampledata::ScaleDescription(&d, scale, msg);
  }
  // Every output is written aside first and put in place only when all of
  // them are complete: a run that fails leaves what an earlier run wrote.
  builder::StagedFolder data;
  builder::StagedFiles addressFiles;
  ok = ok && sampledata::GenerateDataFolderAside(d, output, options, &data, msg);
  if (ok && !addresses.empty()) {
    ok = sampledata::StageNationalAddresses(
        sampledata::MakeNationalAddresses(d, nationalOptions.seed, 5000), addresses, &addressFiles,
        msg);
  }
  ok = ok && sampledata::CommitDataFolder(&data, output, msg);
  if (ok && !addressFiles.Commit()) {
    SetMessage(msg, "ファイルへの書き込みに失敗しました!(%s)", addresses.c_str());
    ok = false;
  }
  if (ok && national) {
    std::printf("gensample: %zu prefectures, %zu municipalities, %zu town rows, %zu blocks\n",
                d.prefectures.size(), d.municipalities.size(), d.oaza.size(), d.blocks.size());
  }
  if (!ok) {
    std::fprintf(stderr, "gensample: %s\n", plat::cp932::ToUtf8Display(msg).c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return RunProgram("gensample", [&] { return Run(argc, argv); });
}
