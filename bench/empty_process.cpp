// The empty C++ program the cost of a kort job is measured against: it
// starts, touches the C++ runtime once and exits. Built as the project's
// programs are by default.
#include <string>

int main(int argc, char** argv) {
  const std::string name = argc > 0 ? argv[0] : "";
  return name.empty() ? 1 : 0;
}
