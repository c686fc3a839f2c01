// gazref_host: loads libGazref.so with dlopen (it is not linked in), runs a
// script of calls by export name and prints what they return (see
// host_script.h for the script).
//
//   gazref_host [-l library] [script]
//
// The script is read from the file, else from standard input. The library
// is the one given, else libGazref.so beside the program, else the one of
// the install layout (../lib), else whatever the loader finds by that name.
// Exit status: 0, 1 when a line was an error, 2 when the library or the
// script cannot be opened.

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "gazref/host/host_script.h"

namespace {

class LoadedLibrary : public SymbolSource {
 public:
  explicit LoadedLibrary(void* handle) : handle_(handle) {}
  ~LoadedLibrary() override { dlclose(handle_); }
  void* Find(const char* name) override { return dlsym(handle_, name); }

 private:
  void* handle_;
};

std::string ProgramFolder() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (n <= 0) return ".";
  std::string text(path, static_cast<std::size_t>(n));
  const std::size_t slash = text.rfind('/');
  return slash == std::string::npos ? "." : text.substr(0, slash);
}

void* OpenLibrary(const std::string& given, std::string* error) {
  if (!given.empty()) {
    void* handle = dlopen(given.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) *error = dlerror();
    return handle;
  }
  const std::string folder = ProgramFolder();
  for (const std::string& path :
       {folder + "/libGazref.so", folder + "/../lib/libGazref.so", std::string("libGazref.so")}) {
    if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
    *error = dlerror();
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  std::string library;
  std::string scriptPath;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-l" && i + 1 < argc) {
      library = argv[++i];
    } else if (scriptPath.empty() && arg != "-l") {
      scriptPath = arg;
    } else {
      std::cerr << "usage: gazref_host [-l library] [script]\n";
      return 2;
    }
  }
  std::string error;
  void* handle = OpenLibrary(library, &error);
  if (!handle) {
    std::cerr << "gazref_host: cannot load the library: " << error << "\n";
    return 2;
  }
  LoadedLibrary lib(handle);
  std::ifstream file;
  if (!scriptPath.empty()) {
    file.open(scriptPath);
    if (!file) {
      std::cerr << "gazref_host: cannot open " << scriptPath << "\n";
      return 2;
    }
  }
  std::istream& in = scriptPath.empty() ? std::cin : file;
  bool ok = true;
  std::string line;
  while (std::getline(in, line)) {
    std::string out;
    ok = RunScriptLine(&lib, line, &out) && ok;
    std::cout << out << std::flush;
  }
  return ok ? 0 : 1;
}
