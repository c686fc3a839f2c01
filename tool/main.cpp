// kort: batch address search. One job per run:
//   kort <job file> <result file> <status file>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::printf("kort %s\nusage: %s <job file> <result file> <status file>\n", KORT_VERSION,
                argc > 0 ? argv[0] : "kort");
    return 0;
  }
  return 0;
}
