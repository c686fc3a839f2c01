#pragma once
// The running program's native path, shared by the layer's services that
// need it (the program's folder, the program's stamp).

#include <string>

namespace plat::detail {

// The name the system gives for the running program's file
// (/proc/self/exe), read at the first call of the process that succeeds
// and kept: the program's name does not change while it runs. Null while
// it cannot be read.
const std::string* ProgramNativePath();

}  // namespace plat::detail
