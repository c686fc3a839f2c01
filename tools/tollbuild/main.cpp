// gentoll: writes FACIL.DAT and TOLL.DAT of one format version from a toll
// data set's text description. The two files replace the folder's earlier
// pair only when both are complete; other files in the folder are kept,
// also those whose names differ from the two only in case.
//
//   gentoll <description file> <output folder> <format version>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/allocation_guard.h"
#include "plat/cp932.h"
#include "plat/path.h"
#include "tools/staged_output.h"
#include "tools/tollbuild/toll_description.h"
#include "tools/tollbuild/toll_writers.h"

namespace {

int Run(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: gentoll <description file> <output folder> <format version>\n");
    return 2;
  }
  const int version = std::atoi(argv[3]);
  if (version < 33 || version > 35) {
    std::fprintf(stderr, "gentoll: format version must be 33, 34 or 35\n");
    return 2;
  }
  tollbuild::FacilDat facil;
  tollbuild::TollDat toll;
  std::string error;
  if (!tollbuild::LoadTollDescription(argv[1], version, &facil, &toll, &error)) {
    std::fprintf(stderr, "gentoll: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  std::string facilImage, tollImage;
  if (!tollbuild::BuildFacilDat(facil, &facilImage, &error) ||
      !tollbuild::BuildTollDat(toll, &tollImage, &error)) {
    std::fprintf(stderr, "gentoll: %s\n", error.c_str());
    return 1;
  }
  const std::string folder = plat::path::FromNative(argv[2]);
  // Both files are written aside and renamed into place together: a run
  // that fails leaves the earlier pair as it was.
  const std::string facilPath = folder + "\\FACIL.DAT";
  const std::string tollPath = folder + "\\TOLL.DAT";
  builder::StagedFiles files;
  builder::StageFailure failure = builder::StageFailure::kNone;
  const bool facilStaged = files.Add(facilPath.c_str(), facilImage, &failure);
  if (!facilStaged || !files.Add(tollPath.c_str(), tollImage, &failure)) {
    std::fprintf(stderr, "gentoll: cannot %s %s\n",
                 failure == builder::StageFailure::kCreate ? "create" : "write",
                 facilStaged ? "TOLL.DAT" : "FACIL.DAT");
    return 1;
  }
  if (!files.Commit()) {
    std::fprintf(stderr, "gentoll: cannot put FACIL.DAT and TOLL.DAT in place\n");
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return RunProgram("gentoll", [&] { return Run(argc, argv); });
}
