// genroadmap: writes the map file (ALLDATA.KWI) and the highway data file
// (HIGHWAY.DAT) of a road map from its text description.
//
//   genroadmap <description file> <output folder>

#include <cstdio>
#include <string>

#include "common/allocation_guard.h"
#include "plat/cp932.h"
#include "plat/path.h"
#include "tools/roadmap/highway_writer.h"
#include "tools/roadmap/roadmap_description.h"
#include "tools/staged_output.h"

namespace {

int Run(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: genroadmap <description file> <output folder>\n");
    return 2;
  }
  roadmap::Description d;
  std::string error, mapText, folder;
  if (!roadmap::LoadDescription(argv[1], &d, &error) ||
      !roadmap::MapFileText(d, &mapText, &error)) {
    std::fprintf(stderr, "genroadmap: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  folder = plat::path::FromNative(argv[2]);
  std::string highwayBytes;
  if (!hwbuild::BuildHighwayFile(d.highway, &highwayBytes, &error)) {
    std::fprintf(stderr, "genroadmap: %s\n", error.c_str());
    return 1;
  }
  // Both files are written aside and renamed into place together: a run
  // that fails leaves the earlier pair as it was (and the folder's other
  // files, such as the toll data copied beside them, are kept).
  const std::string mapPath = folder + "\\ALLDATA.KWI";
  const std::string highwayPath = folder + "\\HIGHWAY.DAT";
  builder::StagedFiles files;
  builder::StageFailure failure = builder::StageFailure::kNone;
  const bool mapStaged = files.Add(mapPath.c_str(), mapText, &failure);
  if (!mapStaged || !files.Add(highwayPath.c_str(), highwayBytes, &failure)) {
    std::fprintf(stderr, "genroadmap: cannot %s %s\n",
                 failure == builder::StageFailure::kCreate ? "create" : "write",
                 mapStaged ? "HIGHWAY.DAT" : "ALLDATA.KWI");
    return 1;
  }
  if (!files.Commit()) {
    std::fprintf(stderr, "genroadmap: cannot put ALLDATA.KWI and HIGHWAY.DAT in place\n");
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return RunProgram("genroadmap", [&] { return Run(argc, argv); });
}
