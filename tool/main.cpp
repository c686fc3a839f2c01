// kort: batch address search, one job per run:
//   kort <job file> <result file> <status file>
// With a name missing or empty it ends at once and prints nothing, so that a
// wrong call leaves every file and the console as they were.
#include "tool/kort_app.h"

int main(int argc, char** argv) { return RunKort(argc, argv); }
