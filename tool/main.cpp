// kort: batch address search, one job per run:
//   kort <job file> <result file> <status file>
// With a name missing or empty it ends at once and prints nothing, so that a
// wrong call leaves every file and the console as they were.
#include <string>

#include "plat/path.h"
#include "tool/kort_app.h"

int main(int argc, char** argv) {
  // Without the program's folder the data folder cannot be found: the job
  // then ends with a status that says so.
  std::string programFolder;
  const bool known = plat::path::ProgramFolder(programFolder);
  CkortApp app;
  app.InitInstance(argc, argv, known ? programFolder.c_str() : nullptr);
  return app.ExitInstance();
}
