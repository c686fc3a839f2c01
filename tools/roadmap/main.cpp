// genroadmap: writes the map file (ALLDATA.KWI) and the highway data file
// (HIGHWAY.DAT) of a road map from its text description.
//
//   genroadmap <description file> <output folder>

#include <cstdio>
#include <string>

#include "common/allocation_guard.h"
#include "plat/cp932.h"
#include "tools/image_file.h"
#include "tools/roadmap/highway_writer.h"
#include "tools/roadmap/roadmap_description.h"

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
  if (!plat::cp932::FromUtf8(argv[2], folder)) {
    std::fprintf(stderr, "genroadmap: the output folder has no CP932 form\n");
    return 1;
  }
  const std::string mapPath = folder + "\\ALLDATA.KWI";
  const std::string highwayPath = folder + "\\HIGHWAY.DAT";
  if (!builder::WriteImageFile(mapPath.c_str(), mapText, &error, "cannot create ALLDATA.KWI",
                               "cannot write ALLDATA.KWI") ||
      !hwbuild::WriteHighwayFile(highwayPath.c_str(), d.highway, &error)) {
    std::fprintf(stderr, "genroadmap: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return RunProgram("genroadmap", [&] { return Run(argc, argv); });
}
