// genfacility: writes the sample facility data folder from its description.
//
//   genfacility [--description <folder>] <output folder>
//
// The output folder is written aside and put in place, replacing an earlier
// one whole, only when every file is complete; the folders above it are
// created. The description folder defaults to the one of this source
// tree.
#include <cstdio>
#include <cstring>
#include <string>

#include "common/allocation_guard.h"
#include "common/message.h"
#include "plat/cp932.h"
#include "plat/path.h"
#include "tools/facilitydata/facility_description.h"
#include "tools/facilitydata/facility_generate.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: genfacility [--description <folder>] <output folder>\n");
  return 2;
}

int Run(int argc, char** argv) {
  std::string description = facilitydata::DefaultFacilityDescriptionFolder();
  std::string output;
  for (int i = 1; i < argc; ++i) {
    std::string* target = &output;
    if (std::strcmp(argv[i], "--description") == 0 && i + 1 < argc) {
      target = &description;
      ++i;
    } else if (argv[i][0] == '-' || !output.empty()) {
      return Usage();
    }
    *target = plat::path::FromNative(argv[i]);
    if (target->empty()) return Usage();
  }
  if (output.empty()) return Usage();

  char msg[kMessageSize] = "";
  facilitydata::FacilityDescription d;
  if (!facilitydata::LoadFacilityDescription(description.c_str(), &d, msg) ||
      !facilitydata::GenerateFacilityFolder(d, output, nullptr, msg)) {
    std::fprintf(stderr, "genfacility: %s\n", plat::cp932::ToUtf8Display(msg).c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  return RunProgram("genfacility", [&] { return Run(argc, argv); });
}
